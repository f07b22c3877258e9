// Many placed copies of a few meshes, or of many, as one glTF file: a node
// a copy, each mesh written once.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "gltf_file.h"
#include "mesh.h"

namespace host {
namespace mesh {
namespace {

nlohmann::json MaterialOf(const std::array<double, 4>& rgba, std::size_t number) {
  // Not metallic: a metal takes its colour from what it reflects, and most
  // viewers light a scene with little to reflect.
  nlohmann::json material{{"name", "colour" + std::to_string(number)},
                          {"pbrMetallicRoughness",
                           {{"baseColorFactor", {rgba[0], rgba[1], rgba[2], rgba[3]}},
                            {"metallicFactor", 0.0},
                            {"roughnessFactor", 0.6}}}};
  if (rgba[3] < 1.0) material["alphaMode"] = "BLEND";
  return material;
}

}  // namespace

bool PlacedGltfBytes(const std::vector<Mesh>& meshes, const std::vector<PlacedMesh>& copies,
                     const std::string& format, const std::string& binName, double unit, std::string* bytes,
                     std::string* bin, std::string* error) {
  GltfBuffer buffer;
  std::vector<GltfMeshAccessors> written(meshes.size());
  std::vector<std::array<double, 4>> colours;
  std::map<std::pair<std::size_t, std::size_t>, std::size_t> fileMesh;  // (mesh, colour) -> file mesh
  nlohmann::json materials = nlohmann::json::array(), fileMeshes = nlohmann::json::array();
  nlohmann::json nodes = nlohmann::json::array({{{"name", "arrows"}}});
  nlohmann::json children = nlohmann::json::array();
  for (const PlacedMesh& c : copies) {
    if (c.mesh >= meshes.size() || meshes[c.mesh].triangles.empty()) {
      *error = c.mesh >= meshes.size() ? "a copy names no mesh" : "the mesh has no triangles";
      return false;
    }
    if (written[c.mesh].position < 0) written[c.mesh] = WriteShadedMesh(Shade(meshes[c.mesh], kCreaseDegrees), unit, &buffer);
    const auto known = std::find(colours.begin(), colours.end(), c.rgba);
    const auto colour = static_cast<std::size_t>(known - colours.begin());
    if (known == colours.end()) {
      colours.push_back(c.rgba);
      materials.push_back(MaterialOf(c.rgba, colours.size()));
    }
    const auto key = std::make_pair(c.mesh, colour);
    auto found = fileMesh.find(key);
    if (found == fileMesh.end()) {
      nlohmann::json primitive = TrianglesPrimitive(written[c.mesh]);
      primitive["material"] = colour;
      fileMeshes.push_back({{"name", "arrow" + std::to_string(c.mesh + 1)}, {"primitives", nlohmann::json::array({std::move(primitive)})}});
      found = fileMesh.emplace(key, fileMeshes.size() - 1).first;
    }
    nlohmann::json node{{"name", c.name}, {"mesh", found->second}};
    if (c.origin.x != 0.0 || c.origin.y != 0.0 || c.origin.z != 0.0) {
      node["translation"] = {c.origin.x * unit, c.origin.y * unit, c.origin.z * unit};
    }
    if (c.angle != 0.0) {
      // A turn about +z by the angle, as a unit quaternion (x, y, z, w).
      const double half = c.angle * 3.14159265358979323846 / 360.0;
      node["rotation"] = {0.0, 0.0, std::sin(half), std::cos(half)};
    }
    if (c.scale != 1.0) node["scale"] = {c.scale, c.scale, c.scale};
    children.push_back(nodes.size());
    nodes.push_back(std::move(node));
  }
  nodes[0]["children"] = std::move(children);
  nlohmann::json gltf{{"asset", {{"version", "2.0"}, {"generator", "tolvane-host"}}},
                      {"scene", 0},
                      {"scenes", {{{"nodes", {0}}}}},
                      {"nodes", std::move(nodes)},
                      {"meshes", std::move(fileMeshes)},
                      {"materials", std::move(materials)}};
  if (!GltfFileBytes(std::move(gltf), buffer, format, binName, bytes, error)) return false;
  if (format == "gltf" && !binName.empty()) *bin = buffer.Bytes();
  return true;
}

}  // namespace mesh
}  // namespace host
