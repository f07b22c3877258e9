// The stand-in host's meshes: what its generator objects (extrusions,
// cloners, spline-wrap deformers, nulls) make of their children, measured,
// and written as 3-D files. A layer beside the scene model: it reads the
// model and asks arrows for their contour through the normal contour call,
// and changes nothing. docs/meshes.md describes the semantics.
#ifndef HOST_MESH_MESH_H
#define HOST_MESH_MESH_H

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "host.h"
#include "model.h"

namespace host {
namespace mesh {

struct Vec3 {
  double x = 0.0, y = 0.0, z = 0.0;
};

// A triangle mesh: triangles index `vertices`, counter-clockwise seen from
// outside.
struct Mesh {
  std::vector<Vec3> vertices;
  std::vector<std::array<uint32_t, 3>> triangles;

  // Appends `other`'s vertices and triangles.
  void Append(const Mesh& other);
};

// What a mesh measures.
struct Measures {
  std::size_t vertices = 0;
  std::size_t triangles = 0;
  Vec3 min, max;  // bounding box (zeros for an empty mesh)
  double area = 0.0;
  double volume = 0.0;  // signed: positive when the triangles face outwards
  bool closed = false;  // every edge shared by exactly two triangles
  bool oriented = false;  // ... which run through it in opposite directions
};
Measures Measure(const Mesh& mesh);

// The answer of an evaluation: a mesh, or none and the reason.
struct Evaluation {
  bool ok = false;
  Mesh mesh;
  std::string reason;
};

// The mesh of an object and its subtree (see docs/meshes.md). `host` is the
// host whose module answers the arrows' contours.
Evaluation Evaluate(Host& host, Object* op);

// Where a cloner puts its copies: each copy is the child's mesh turned by
// `axes` (the images of the child's X, Y and Z axes) and moved to `origin`.
struct Placement {
  Vec3 origin;
  std::array<Vec3, 3> axes;
  double distance = 0.0;  // along the path (on-path mode), else 0
};
// The placements of a cloner's copies; false with the reason when it has
// none (an on-path cloner without a usable path).
bool ClonerPlacements(Host& host, Object* cloner, std::vector<Placement>* out, std::string* reason);

// A path as the mesh layer reads a spline: a polyline with the distance
// along it at each point.
struct Path {
  std::vector<Vec3> points;
  std::vector<double> distance;  // cumulative, distance[0] == 0
  // Each segment's direction and normal (the normal carried from segment to
  // segment by the smallest turn, so the frame does not twist), and at each
  // point the frame half-way between its two segments'.
  std::vector<Vec3> directions, segmentNormals;
  std::vector<Vec3> tangents, normals;
  bool closed = false;
  double Length() const { return distance.empty() ? 0.0 : distance.back(); }
};
// The path an object stands for: a spline object's points (linear, or a
// smooth curve through them for the other spline types), or an arrow's
// contour. False with the reason when it has no usable path.
bool ReadPath(Host& host, Object* op, Path* path, std::string* reason);
// The point, direction and the two cross axes at a distance along the path:
// a segment's own frame inside it, the half-way frame at a point where two
// segments meet; beyond either end the path goes straight on.
struct Frame {
  Vec3 point, tangent, normal, binormal;
};
Frame FrameAt(const Path& path, double s);

// The spline wrap's two steps (`axis` a unit vector; `fit` stretches the
// mesh's extent along the axis over the whole path, else lengths are kept
// from the mesh's low end on). CutForPath cuts the mesh across the axis
// where the path has its points, so that it can follow the bends;
// BendAlongPath moves each vertex to the path point at its distance along
// the axis, its offset from the axis carried on the path's frame.
void CutForPath(Mesh* mesh, const Path& path, Vec3 axis, bool fit);
void BendAlongPath(Mesh* mesh, const Path& path, Vec3 axis, bool fit);

// An arrow's outline as the viewer sees it in its set-up: when spline wraps
// bend the arrow's extrusion (wraps with a path among the children of its
// extrusion, and of each null above it), `points` (the arrow's contour,
// `closed` or open) is replaced by the same outline with each edge cut into
// `pieces` equal pieces, bent as the wraps bend the mesh (BendAlongPath,
// lengths kept or fitted by each wrap's mode, the outline's own extent
// along the arrow's axis standing for the mesh's), and laid into the plane
// of the last wrap's path: the one of XY, ZY and XZ whose end-on
// coordinate the path spreads least along, that coordinate set to 0. A
// fixed number of pieces keeps the point count of an animation's frames
// equal. `bent` says whether it was; without such a wrap the points stay
// as they are. False with the reason when a wrap's path cannot be followed.
constexpr int kBentOutlinePieces = 32;
bool BendOutlineAsWrapped(Host& host, Object* arrow, bool closed, int pieces, std::vector<Vec3>* points,
                          bool* bent, std::string* reason);

// The outline an extrusion sweeps: the points of a closed, flat, simple
// polygon. Checks finite points, at least three distinct points, an area,
// flatness and that no two edges meet except neighbours at their common
// point. False with the reason otherwise.
bool CheckOutline(const std::vector<Vec3>& points, std::string* reason);

// A mesh as the files carry it: a normal at every vertex, vertices split
// where faces meet at more than the crease angle (flat faces stay flat, a
// rounded cap is shaded smooth).
struct ShadedMesh {
  std::vector<Vec3> vertices, normals;  // normals of unit length
  std::vector<std::array<uint32_t, 3>> triangles;
};
constexpr double kCreaseDegrees = 40.0;
ShadedMesh Shade(const Mesh& mesh, double creaseDegrees);

// Files. `format` is glb, gltf, obj, stl or ply; `FormatOfFile` takes it from
// a file's suffix ("" when it has none of these).
std::string FormatOfFile(const std::string& path);
bool IsFormat(const std::string& format);
// The format of an export to `path`: `requested` when not empty (it must be
// a format), else the file's suffix; false with the reason when neither
// names one.
bool ChooseFormat(const std::string& path, const std::string& requested, std::string* format, std::string* error);

// Metres per scene unit. The default makes one unit a millimetre: the
// default arrow (500 units) arrives 0.5 m long, and STL files, which
// carry no unit, are in the millimetres that printing programs assume.
constexpr double kDefaultUnit = 0.001;
bool IsUnit(double unit);  // finite and positive
// Writes the mesh as one node named `name`, with normals. glTF positions
// are in metres (scene units times `unit`); OBJ, PLY and STL keep the
// scene's units and name the unit in a comment line (OBJ, PLY) or the
// header text (STL). A gltf file gets its buffer in FILE.bin beside it, an
// obj file its materials in FILE.mtl.
bool WriteMesh(const Mesh& mesh, const std::string& name, const std::string& format,
               const std::string& path, std::string* error, double unit = kDefaultUnit);
// A copy of one of several meshes in a scene: meshes[mesh] turned by
// `angle` degrees about +z (counter-clockwise seen from +z), scaled by
// `scale` and moved to `origin` (scene units), in the colour `rgba` (0 to 1).
struct PlacedMesh {
  std::size_t mesh = 0;
  Vec3 origin;
  double angle = 0.0;
  double scale = 1.0;
  std::array<double, 4> rgba{{0.8, 0.45, 0.1, 1.0}};
  std::string name;
};
// Writes every copy into one file, units as WriteMesh. glTF files get one
// node a copy named `name`, holding its placement, and each mesh once per
// colour (copies of one mesh share it); OBJ files one group a copy, its
// vertices placed, with a material a colour; STL and PLY files one mesh of
// every copy placed. False with the reason when there is no copy, a copy
// names no mesh or a mesh has no triangles, or the file cannot be written.
bool WritePlacedMeshes(const std::vector<Mesh>& meshes, const std::vector<PlacedMesh>& copies,
                       const std::string& format, const std::string& path, std::string* error,
                       double unit = kDefaultUnit);
// The bytes of that file as one file, for a download: a gltf file holds its
// buffer (as a data URI), an obj file comes without its materials.
bool MeshBytes(const Mesh& mesh, const std::string& name, const std::string& format, std::string* bytes,
               std::string* error, double unit = kDefaultUnit);
// An animation of one mesh as a glTF 2.0 file (`format` glb or gltf, a
// gltf file with its buffer inside as a data URI): the first frame's mesh
// with one morph target a frame (its positions and normals less the first
// frame's), and an animation of the mesh's weights that brings in frame i's
// target alone at time i / fps, with LINEAR interpolation, so that between
// two frames the vertices move straight from one frame's place to the
// next's. Every frame must have the first one's topology (the same
// vertices, once shaded, and the same triangles); false with the reason,
// naming the first frame that differs, otherwise. Frames are named by their
// number in the scene: frames[i] is frame `firstFrame` + i.
bool WriteMorphAnimation(const std::vector<Mesh>& frames, double fps, const std::string& name,
                         const std::string& format, const std::string& path, std::string* error,
                         double unit = kDefaultUnit, int32_t firstFrame = 0);
// An animation of one mesh in the form its frames allow. When every frame
// has the first one's topology: morph targets, as WriteMorphAnimation (one
// mesh, vertices moving smoothly between frames). When the topology changes
// (a spline wrap cuts a growing mesh at other places as it grows; a switch
// adds or takes away parts), morph targets cannot carry it, so each frame
// gets a node of its own under a parent node `name`, and STEP scale
// channels show exactly one at a time (scale 1 from its time until the next
// frame's, 0 otherwise): the mesh jumps from frame to frame instead of
// moving between them, and a frame that repeats the one before shares its
// mesh (see FrameNodesGltfBytes in gltf_file.h). False with the reason for
// an empty frame or bad settings, naming frames as WriteMorphAnimation does.
bool WriteMeshAnimation(const std::vector<Mesh>& frames, double fps, const std::string& name,
                        const std::string& format, const std::string& path, std::string* error,
                        double unit = kDefaultUnit, int32_t firstFrame = 0);

// Reads a file back through the same library, joining equal vertices; for
// the tests. False with the reason when it cannot be read.
bool ReadMeshFile(const std::string& path, Mesh* mesh, std::string* error);

}  // namespace mesh
}  // namespace host

#endif
