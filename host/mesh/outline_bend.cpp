// An arrow's outline as its set-up shows it: bent by the spline wraps that
// bend the arrow's extrusion, with the same bending the mesh gets, and laid
// into the plane of the path it follows.
#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "mesh.h"
#include "mesh_internal.h"
#include "vec.h"

namespace host {
namespace mesh {
namespace {

// Generators that hand their child's geometry on whole, so that a wrap
// among their children bends the arrow itself: an extrusion and a null. A
// cloner's copies are many arrows, not one outline.
bool PassesOn(const Object* op) { return op->Type() == Oextrude || op->Type() == Onull; }

// The wraps that bend the arrow's mesh, in the order they do: those among
// the children of its extrusion, then of each null above, in child order.
// Only wraps with a path count: one without leaves the mesh as it is.
std::vector<Object*> WrapsOf(Object* arrow) {
  std::vector<Object*> wraps;
  for (Object* up = arrow->Up(); up != nullptr && PassesOn(up); up = up->Up()) {
    for (Object* c = up->Down(); c != nullptr; c = c->Next()) {
      if (IsDeformer(c) && LinkOf(c, kWrapSpline) != nullptr) wraps.push_back(c);
    }
  }
  return wraps;
}

// Each edge of the outline cut into `pieces` equal pieces (the edge from
// the last point back to the first too when it is closed).
std::vector<Vec3> Subdivided(const std::vector<Vec3>& points, bool closed, int pieces) {
  std::vector<Vec3> out;
  const std::size_t n = points.size();
  const std::size_t edges = closed ? n : n - 1;
  for (std::size_t i = 0; i < edges; ++i) {
    const Vec3 a = points[i], b = points[(i + 1) % n];
    for (int k = 0; k < pieces; ++k) out.push_back(Lerp(a, b, static_cast<double>(k) / pieces));
  }
  if (!closed) out.push_back(points.back());
  return out;
}

// The coordinate (0 x, 1 y, 2 z) along which the path spreads least: the
// axis seen end-on from the plane it lies in.
int FlatCoordinate(const Path& path) {
  std::array<double, 3> lo{}, hi{};
  for (std::size_t i = 0; i < path.points.size(); ++i) {
    const std::array<double, 3> p{path.points[i].x, path.points[i].y, path.points[i].z};
    for (int k = 0; k < 3; ++k) {
      lo[k] = i == 0 ? p[k] : std::min(lo[k], p[k]);
      hi[k] = i == 0 ? p[k] : std::max(hi[k], p[k]);
    }
  }
  int flat = 2;  // XY when the path spreads alike in all three
  for (int k : {1, 0}) {
    if (hi[k] - lo[k] < hi[flat] - lo[flat]) flat = k;
  }
  return flat;
}

}  // namespace

bool BendOutlineAsWrapped(Host& host, Object* arrow, bool closed, int pieces, std::vector<Vec3>* points,
                          bool* bent, std::string* reason) {
  *bent = false;
  const std::vector<Object*> wraps = WrapsOf(arrow);
  if (wraps.empty()) return true;
  if (points->size() < 2 || pieces < 1) {
    *reason = Quote(arrow->Name()) + " has no outline to bend";
    return false;
  }
  Mesh outline;
  outline.vertices = Subdivided(*points, closed, pieces);
  const Vec3 axis = ArrowAxis(arrow);
  Path last;
  for (Object* wrap : wraps) {
    if (!Wrap(host, wrap, axis, &outline, reason)) return false;
    std::string why;
    if (!ReadPath(host, LinkOf(wrap, kWrapSpline), &last, &why)) {
      *reason = why;
      return false;
    }
  }
  // Seen along the flat axis of the last path: that coordinate dropped.
  const int flat = FlatCoordinate(last);
  for (Vec3& v : outline.vertices) (flat == 0 ? v.x : flat == 1 ? v.y : v.z) = 0.0;
  *points = std::move(outline.vertices);
  *bent = true;
  return true;
}

}  // namespace mesh
}  // namespace host
