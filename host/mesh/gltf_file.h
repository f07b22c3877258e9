// glTF 2.0 files the host writes itself, without Assimp: the binary buffer
// of views and accessors, and the file around a document and its buffer.
// Assimp's glTF writer copies its whole buffer for every mesh it adds, which
// makes files of thousands of meshes take minutes; these append.
#ifndef HOST_MESH_GLTF_FILE_H
#define HOST_MESH_GLTF_FILE_H

#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "mesh.h"
#include "vec.h"

namespace host {
namespace mesh {

// The buffer of a glTF file: views and accessors appended one after
// another, every view four-byte aligned. Each call answers the index of the
// accessor it made.
class GltfBuffer {
 public:
  // Floats of `components` per element (`type` VEC3, SCALAR, ...); min and
  // max when `bounds`; `target` the view's target (34962 vertex data, 0 none).
  int Floats(const std::vector<float>& values, int components, const char* type, bool bounds, int target);
  // Triangle indices.
  int Indices(const std::vector<uint32_t>& values);
  const std::string& Bytes() const { return bytes_; }
  const nlohmann::json& Views() const { return views_; }
  const nlohmann::json& Accessors() const { return accessors_; }
  // False once a float handed in is infinite or NaN (a value beyond a
  // 32-bit float after scaling), which no glTF reader takes.
  bool AllFinite() const { return allFinite_; }

 private:
  int View(const char* data, std::size_t size, int target);
  std::string bytes_;
  nlohmann::json views_ = nlohmann::json::array();
  nlohmann::json accessors_ = nlohmann::json::array();
  bool allFinite_ = true;
};

// The three floats of each vector times `scale`, less `less[i]` times
// `lessScale` when given (a morph target's difference from its base).
std::vector<float> FloatsOf(const std::vector<Vec3>& v, double scale, const std::vector<Vec3>* less = nullptr,
                            double lessScale = 1.0);

std::string Base64(const std::string& bytes);

// A file's name as the relative URI that names it in a glTF file: every
// byte but letters, digits and - . _ ~ percent-encoded, so that a space, a
// '#' or a '%' in the name still finds the file.
std::string UriOfFileName(const std::string& name);

// The accessors of one shaded mesh in a buffer: its positions (times
// `scale`, with their bounds), its normals and its triangles' indices.
struct GltfMeshAccessors {
  int position = -1, normal = -1, indices = -1;
};
GltfMeshAccessors WriteShadedMesh(const ShadedMesh& shaded, double scale, GltfBuffer* buffer);
// The primitive that draws those accessors as triangles.
nlohmann::json TrianglesPrimitive(const GltfMeshAccessors& a);

// The file of `gltf` (a document without its buffers, views and accessors,
// which come from `buffer`) as `format`: glb, its JSON and binary chunks in
// one file, or gltf, its buffer inside as a data URI when `binName` is
// empty, or else named `binName` (a file the caller writes beside it).
// False with the reason when a glb would be larger than its 32-bit lengths,
// or when a float of the buffer is not finite.
bool GltfFileBytes(nlohmann::json gltf, const GltfBuffer& buffer, const std::string& format,
                   const std::string& binName, std::string* bytes, std::string* error);

// The glTF file of placed copies (see WritePlacedMeshes): one node a copy
// under a root node "arrows", its placement as translation, rotation and
// scale; each mesh's vertices, normals and triangles once in the buffer,
// and one file mesh for each (mesh, colour) pair that a copy uses, the
// pairs of one mesh sharing its accessors. Every copy must name a mesh with
// triangles. A gltf file with a `binName` names that file as its buffer,
// whose bytes go to `bin`.
bool PlacedGltfBytes(const std::vector<Mesh>& meshes, const std::vector<PlacedMesh>& copies,
                     const std::string& format, const std::string& binName, double unit, std::string* bytes,
                     std::string* bin, std::string* error);

// The glTF file of an animation whose frames differ in topology (see
// WriteMeshAnimation): a parent node named `name` with one child node a
// frame, "NAME frame I", each holding its frame's mesh (a frame the same as
// the one before shares its mesh), and one animation of a STEP `scale`
// channel a child: 1 from time i / fps until the next frame's time, 0
// otherwise, so that exactly one frame shows at any time. Positions in
// metres (`unit` per scene unit).
bool FrameNodesGltfBytes(const std::vector<ShadedMesh>& frames, double fps, const std::string& name,
                         const std::string& format, double unit, std::string* bytes, std::string* error);

}  // namespace mesh
}  // namespace host

#endif  // HOST_MESH_GLTF_FILE_H
