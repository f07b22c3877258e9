// Appending meshes and measuring them.
#include <algorithm>
#include <map>
#include <utility>

#include "mesh.h"
#include "vec.h"

namespace host {
namespace mesh {

void Mesh::Append(const Mesh& other) {
  const auto base = static_cast<uint32_t>(vertices.size());
  vertices.insert(vertices.end(), other.vertices.begin(), other.vertices.end());
  triangles.reserve(triangles.size() + other.triangles.size());
  for (const auto& t : other.triangles) triangles.push_back({t[0] + base, t[1] + base, t[2] + base});
}

Measures Measure(const Mesh& mesh) {
  Measures m;
  m.vertices = mesh.vertices.size();
  m.triangles = mesh.triangles.size();
  if (!mesh.vertices.empty()) {
    m.min = m.max = mesh.vertices.front();
    for (const Vec3& v : mesh.vertices) {
      m.min = {std::min(m.min.x, v.x), std::min(m.min.y, v.y), std::min(m.min.z, v.z)};
      m.max = {std::max(m.max.x, v.x), std::max(m.max.y, v.y), std::max(m.max.z, v.z)};
    }
  }
  // Directed edges and how often each runs.
  std::map<std::pair<uint32_t, uint32_t>, int> directed;
  bool degenerate = false;  // a triangle that names one vertex twice
  for (const auto& t : mesh.triangles) {
    const Vec3 a = mesh.vertices[t[0]], b = mesh.vertices[t[1]], c = mesh.vertices[t[2]];
    m.area += 0.5 * Length(Cross(b - a, c - a));
    m.volume += Dot(a, Cross(b, c)) / 6.0;
    if (t[0] == t[1] || t[1] == t[2] || t[0] == t[2]) degenerate = true;
    for (int i = 0; i < 3; ++i) ++directed[{t[i], t[(i + 1) % 3]}];
  }
  m.closed = !mesh.triangles.empty() && !degenerate;
  m.oriented = m.closed;
  for (const auto& [edge, count] : directed) {
    const auto back = directed.find({edge.second, edge.first});
    const int reverse = back == directed.end() ? 0 : back->second;
    if (count + reverse != 2) m.closed = false;
    if (count != 1 || reverse != 1) m.oriented = false;
  }
  if (!m.closed) m.oriented = false;
  return m;
}

}  // namespace mesh
}  // namespace host
