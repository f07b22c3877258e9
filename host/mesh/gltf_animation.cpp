// An animation of one mesh written as a glTF file whose mesh morphs: one
// morph target a frame, and an animation of the weights that brings in one
// frame's target at a time.
#include <string>
#include <utility>
#include <vector>

#include "gltf_file.h"
#include "mesh.h"
#include "safe_writer.h"

namespace host {
namespace mesh {

bool WriteMorphAnimation(const std::vector<Mesh>& frames, double fps, const std::string& name,
                         const std::string& format, const std::string& path, std::string* error, double unit) {
  if (format != "glb" && format != "gltf") {
    *error = "an animated mesh is written as glb or gltf, not " + format;
    return false;
  }
  if (frames.empty() || !(fps > 0.0) || !IsUnit(unit)) {
    *error = frames.empty() ? "no frames to write" : "frames per second and the unit must be positive";
    return false;
  }
  std::vector<ShadedMesh> shaded;
  for (std::size_t i = 0; i < frames.size(); ++i) {
    shaded.push_back(Shade(frames[i], kCreaseDegrees));
    const ShadedMesh& s = shaded.back();
    if (s.vertices.empty() || s.triangles.empty()) {
      *error = "the mesh is empty at frame " + std::to_string(i) + " of the animation";
      return false;
    }
    if (s.vertices.size() != shaded[0].vertices.size() || s.triangles != shaded[0].triangles) {
      *error = "the mesh's topology changes at frame " + std::to_string(i) + " of the animation (" +
               std::to_string(s.vertices.size()) + " vertices and " + std::to_string(s.triangles.size()) +
               " triangles against " + std::to_string(shaded[0].vertices.size()) + " and " +
               std::to_string(shaded[0].triangles.size()) + " at its first): morph targets need one topology";
      return false;
    }
  }
  const ShadedMesh& base = shaded[0];
  GltfBuffer buffer;
  const int position = buffer.Floats(FloatsOf(base.vertices, unit), 3, "VEC3", true, 34962);
  const int normal = buffer.Floats(FloatsOf(base.normals, 1.0), 3, "VEC3", false, 34962);
  std::vector<uint32_t> indices;
  for (const auto& t : base.triangles) indices.insert(indices.end(), t.begin(), t.end());
  const int index = buffer.Indices(indices);
  nlohmann::json targets = nlohmann::json::array();
  for (const ShadedMesh& s : shaded) {
    targets.push_back(
        {{"POSITION", buffer.Floats(FloatsOf(s.vertices, unit, &base.vertices, unit), 3, "VEC3", true, 34962)},
         {"NORMAL", buffer.Floats(FloatsOf(s.normals, 1.0, &base.normals), 3, "VEC3", false, 34962)}});
  }
  // Frame i's time, and the weights there: its own target alone.
  const std::size_t n = frames.size();
  std::vector<float> times, weights(n * n, 0.0f);
  for (std::size_t i = 0; i < n; ++i) {
    times.push_back(static_cast<float>(static_cast<double>(i) / fps));
    weights[i * n + i] = 1.0f;
  }
  const int input = buffer.Floats(times, 1, "SCALAR", true, 0);
  const int output = buffer.Floats(weights, 1, "SCALAR", false, 0);
  std::vector<float> rest(n, 0.0f);
  rest[0] = 1.0f;

  nlohmann::json gltf{
      {"asset", {{"version", "2.0"}, {"generator", "tolvane-host animate"}}},
      {"scene", 0},
      {"scenes", {{{"nodes", {0}}}}},
      {"nodes", {{{"name", name}, {"mesh", 0}}}},
      {"meshes",
       {{{"name", name},
         {"weights", rest},
         {"primitives",
          {{{"attributes", {{"POSITION", position}, {"NORMAL", normal}}}, {"indices", index}, {"mode", 4},
            {"targets", targets}}}}}}},
      {"animations",
       {{{"name", name + " frames"},
         {"samplers", {{{"input", input}, {"output", output}, {"interpolation", "LINEAR"}}}},
         {"channels", {{{"sampler", 0}, {"target", {{"node", 0}, {"path", "weights"}}}}}}}}},
  };
  std::string bytes;
  return GltfFileBytes(std::move(gltf), buffer, format, "", &bytes, error) && SaveFile(path, bytes, error);
}

}  // namespace mesh
}  // namespace host
