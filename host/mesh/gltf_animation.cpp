// An animation of one mesh as a glTF file, in the one of two forms its
// frames allow: morph targets when every frame has the first frame's
// topology, else one node a frame shown one at a time (see mesh.h).
#include <string>
#include <utility>
#include <vector>

#include "gltf_file.h"
#include "mesh.h"
#include "safe_writer.h"

namespace host {
namespace mesh {
namespace {

// Every frame shaded; false with the reason for bad settings or an empty frame.
bool ShadeFrames(const std::vector<Mesh>& frames, double fps, const std::string& format, double unit,
                 int32_t firstFrame, std::vector<ShadedMesh>* shaded, std::string* error) {
  if (format != "glb" && format != "gltf") {
    *error = "an animated mesh is written as glb or gltf, not " + format;
    return false;
  }
  if (frames.empty()) {
    *error = "no frames to write";
    return false;
  }
  if (!(fps > 0.0) || !std::isfinite(fps)) {
    *error = "frames per second must be a positive number, not " + std::to_string(fps);
    return false;
  }
  if (!IsUnit(unit)) {
    *error = "the unit must be a positive number of metres, not " + std::to_string(unit);
    return false;
  }
  for (std::size_t i = 0; i < frames.size(); ++i) {
    shaded->push_back(Shade(frames[i], kCreaseDegrees));
    if (shaded->back().vertices.empty() || shaded->back().triangles.empty()) {
      *error = "the mesh is empty at frame " + std::to_string(firstFrame + static_cast<int64_t>(i));
      return false;
    }
  }
  return true;
}

// The first frame whose topology (shaded vertex count and triangles)
// differs from the first frame's; 0 when none does.
std::size_t TopologyChange(const std::vector<ShadedMesh>& shaded) {
  for (std::size_t i = 1; i < shaded.size(); ++i) {
    if (shaded[i].vertices.size() != shaded[0].vertices.size() || shaded[i].triangles != shaded[0].triangles)
      return i;
  }
  return 0;
}

// The morph-target file: the first frame's mesh, one target a frame, and
// the weights animated LINEAR so that frame i's target alone is in at i / fps.
bool MorphBytes(const std::vector<ShadedMesh>& shaded, double fps, const std::string& name,
                const std::string& format, double unit, std::string* bytes, std::string* error) {
  const ShadedMesh& base = shaded[0];
  GltfBuffer buffer;
  nlohmann::json primitive = TrianglesPrimitive(WriteShadedMesh(base, unit, &buffer));
  nlohmann::json targets = nlohmann::json::array();
  for (const ShadedMesh& s : shaded) {
    targets.push_back(
        {{"POSITION", buffer.Floats(FloatsOf(s.vertices, unit, &base.vertices, unit), 3, "VEC3", true, 34962)},
         {"NORMAL", buffer.Floats(FloatsOf(s.normals, 1.0, &base.normals), 3, "VEC3", false, 34962)}});
  }
  // Frame i's time, and the weights there: its own target alone.
  const std::size_t n = shaded.size();
  std::vector<float> times, weights(n * n, 0.0f);
  for (std::size_t i = 0; i < n; ++i) {
    times.push_back(static_cast<float>(static_cast<double>(i) / fps));
    weights[i * n + i] = 1.0f;
  }
  const int input = buffer.Floats(times, 1, "SCALAR", true, 0);
  const int output = buffer.Floats(weights, 1, "SCALAR", false, 0);
  std::vector<float> rest(n, 0.0f);
  rest[0] = 1.0f;
  primitive["targets"] = std::move(targets);

  nlohmann::json gltf{
      {"asset", {{"version", "2.0"}, {"generator", "tolvane-host animate"}}},
      {"scene", 0},
      {"scenes", {{{"nodes", {0}}}}},
      {"nodes", {{{"name", name}, {"mesh", 0}}}},
      {"meshes",
       {{{"name", name},
         {"weights", rest},
         {"primitives", nlohmann::json::array({std::move(primitive)})}}}},
      {"animations",
       {{{"name", name + " frames"},
         {"samplers", {{{"input", input}, {"output", output}, {"interpolation", "LINEAR"}}}},
         {"channels", {{{"sampler", 0}, {"target", {{"node", 0}, {"path", "weights"}}}}}}}}},
  };
  return GltfFileBytes(std::move(gltf), buffer, format, "", bytes, error);
}

}  // namespace

bool WriteMorphAnimation(const std::vector<Mesh>& frames, double fps, const std::string& name,
                         const std::string& format, const std::string& path, std::string* error, double unit,
                         int32_t firstFrame) {
  std::vector<ShadedMesh> shaded;
  if (!ShadeFrames(frames, fps, format, unit, firstFrame, &shaded, error)) return false;
  if (const std::size_t i = TopologyChange(shaded)) {
    *error = "the mesh's topology changes at frame " + std::to_string(firstFrame + static_cast<int64_t>(i)) + " (" +
             std::to_string(shaded[i].vertices.size()) + " vertices and " + std::to_string(shaded[i].triangles.size()) +
             " triangles against " + std::to_string(shaded[0].vertices.size()) + " and " +
             std::to_string(shaded[0].triangles.size()) + " at frame " + std::to_string(firstFrame) +
             ", the animation's first): morph targets need one topology";
    return false;
  }
  std::string bytes;
  return MorphBytes(shaded, fps, name, format, unit, &bytes, error) && SaveFile(path, bytes, error);
}

bool WriteMeshAnimation(const std::vector<Mesh>& frames, double fps, const std::string& name,
                        const std::string& format, const std::string& path, std::string* error, double unit,
                        int32_t firstFrame) {
  std::vector<ShadedMesh> shaded;
  if (!ShadeFrames(frames, fps, format, unit, firstFrame, &shaded, error)) return false;
  std::string bytes;
  const bool made = TopologyChange(shaded) == 0 ? MorphBytes(shaded, fps, name, format, unit, &bytes, error)
                                                : FrameNodesGltfBytes(shaded, fps, name, format, unit, &bytes, error);
  return made && SaveFile(path, bytes, error);
}

}  // namespace mesh
}  // namespace host
