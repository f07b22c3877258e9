// An animation of a mesh whose topology changes from frame to frame as a
// glTF file: one node a frame under a parent, each with its frame's mesh,
// and STEP scale channels that show exactly one of them at a time.
#include <string>
#include <utility>
#include <vector>

#include "gltf_file.h"
#include "mesh.h"
#include "vec.h"

namespace host {
namespace mesh {
namespace {

bool SameVectors(const std::vector<Vec3>& a, const std::vector<Vec3>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i].x != b[i].x || a[i].y != b[i].y || a[i].z != b[i].z) return false;
  }
  return true;
}

bool SameMesh(const ShadedMesh& a, const ShadedMesh& b) {
  return a.triangles == b.triangles && SameVectors(a.vertices, b.vertices) && SameVectors(a.normals, b.normals);
}

int WriteMeshOf(const ShadedMesh& shaded, const std::string& name, double unit, GltfBuffer* buffer,
                nlohmann::json* meshes) {
  meshes->push_back({{"name", name}, {"primitives", nlohmann::json::array({TrianglesPrimitive(WriteShadedMesh(shaded, unit, buffer))})}});
  return static_cast<int>(meshes->size() - 1);
}

}  // namespace

bool FrameNodesGltfBytes(const std::vector<ShadedMesh>& frames, double fps, const std::string& name,
                         const std::string& format, double unit, std::string* bytes, std::string* error) {
  GltfBuffer buffer;
  nlohmann::json meshes = nlohmann::json::array();
  nlohmann::json nodes = nlohmann::json::array({{{"name", name}, {"children", nlohmann::json::array()}}});
  nlohmann::json samplers = nlohmann::json::array(), channels = nlohmann::json::array();
  const std::size_t n = frames.size();
  const auto time = [fps](std::size_t i) { return static_cast<float>(static_cast<double>(i) / fps); };
  int mesh = -1;
  for (std::size_t i = 0; i < n; ++i) {
    const std::string frameName = name + " frame " + std::to_string(i);
    if (i == 0 || !SameMesh(frames[i], frames[i - 1])) mesh = WriteMeshOf(frames[i], frameName, unit, &buffer, &meshes);
    const float shown = i == 0 ? 1.0f : 0.0f;
    nodes.push_back({{"name", frameName}, {"mesh", mesh}, {"scale", {shown, shown, shown}}});
    nodes[0]["children"].push_back(i + 1);
    // Hidden (scale 0) from the start, shown at its own time, hidden again
    // at the next frame's; STEP holds each value until the next key.
    std::vector<float> times, scales;
    if (i > 0) {
      times.push_back(0.0f);
      scales.insert(scales.end(), {0.0f, 0.0f, 0.0f});
    }
    times.push_back(time(i));
    scales.insert(scales.end(), {1.0f, 1.0f, 1.0f});
    if (i + 1 < n) {
      times.push_back(time(i + 1));
      scales.insert(scales.end(), {0.0f, 0.0f, 0.0f});
    }
    const int input = buffer.Floats(times, 1, "SCALAR", true, 0);
    const int output = buffer.Floats(scales, 3, "VEC3", false, 0);
    samplers.push_back({{"input", input}, {"output", output}, {"interpolation", "STEP"}});
    channels.push_back({{"sampler", samplers.size() - 1}, {"target", {{"node", i + 1}, {"path", "scale"}}}});
  }
  nlohmann::json gltf{
      {"asset", {{"version", "2.0"}, {"generator", "tolvane-host animate"}}},
      {"scene", 0},
      {"scenes", {{{"nodes", {0}}}}},
      {"nodes", nodes},
      {"meshes", meshes},
      {"animations", {{{"name", name + " frames"}, {"samplers", samplers}, {"channels", channels}}}},
  };
  return GltfFileBytes(std::move(gltf), buffer, format, "", bytes, error);
}

}  // namespace mesh
}  // namespace host
