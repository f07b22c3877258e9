// Paths: a spline read as a polyline with distances, directions and a frame
// carried along it without twisting.
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "mesh.h"
#include "mesh_internal.h"
#include "vec.h"

namespace host {
namespace mesh {
namespace {

// Points of the smooth curve through `pts` (uniform Catmull-Rom), `steps`
// points per span; a closed curve runs back to its first point.
std::vector<Vec3> Smooth(const std::vector<Vec3>& pts, bool closed, int steps) {
  const std::size_t n = pts.size();
  const auto at = [&](long i) {
    if (closed) return pts[static_cast<std::size_t>((i % static_cast<long>(n) + static_cast<long>(n)) % static_cast<long>(n))];
    return pts[static_cast<std::size_t>(std::clamp(i, 0L, static_cast<long>(n) - 1))];
  };
  const long spans = closed ? static_cast<long>(n) : static_cast<long>(n) - 1;
  std::vector<Vec3> out;
  for (long i = 0; i < spans; ++i) {
    const Vec3 p0 = at(i - 1), p1 = at(i), p2 = at(i + 1), p3 = at(i + 2);
    for (int k = 0; k < steps; ++k) {
      const double t = static_cast<double>(k) / steps, t2 = t * t, t3 = t2 * t;
      out.push_back(0.5 * (2.0 * p1 + (p2 - p0) * t + (2.0 * p0 - 5.0 * p1 + 4.0 * p2 - p3) * t2 +
                           (3.0 * p1 - p0 - 3.0 * p2 + p3) * t3));
    }
  }
  out.push_back(closed ? pts.front() : pts.back());
  return out;
}

}  // namespace

bool MakePath(std::vector<Vec3> pts, bool closed, int splineType, Path* path, std::string* reason) {
  for (const Vec3& p : pts) {
    if (!Finite(p)) {
      *reason = "it has a point that is not finite";
      return false;
    }
  }
  std::vector<Vec3> distinct;
  for (const Vec3& p : pts) {
    if (distinct.empty() || Length(p - distinct.back()) > 0.0) distinct.push_back(p);
  }
  while (closed && distinct.size() > 1 && Length(distinct.front() - distinct.back()) == 0.0) distinct.pop_back();
  if (distinct.size() < 2) {
    *reason = "it has fewer than two distinct points";
    return false;
  }
  std::vector<Vec3> line;
  if (splineType == 0) {
    line = distinct;
    if (closed) line.push_back(distinct.front());
  } else {
    line = Smooth(distinct, closed, kPathStepsPerSpan);
  }
  Path p;
  p.closed = closed;
  for (const Vec3& q : line) {
    if (!p.points.empty() && Length(q - p.points.back()) == 0.0) continue;
    p.distance.push_back(p.points.empty() ? 0.0 : p.distance.back() + Length(q - p.points.back()));
    p.points.push_back(q);
  }
  if (p.points.size() < 2 || !(p.Length() > 0.0) || !std::isfinite(p.Length())) {
    *reason = "it has no length";
    return false;
  }
  // Each segment's direction, and its normal: the world's Y axis (X when the
  // path starts along Y) made square to the first direction, carried from
  // segment to segment by the smallest turn.
  const std::size_t n = p.points.size();
  for (std::size_t i = 0; i + 1 < n; ++i) p.directions.push_back(Normalized(p.points[i + 1] - p.points[i]));
  const Vec3 d0 = p.directions[0];
  const Vec3 up = std::fabs(d0.y) < 0.99 ? Vec3{0.0, 1.0, 0.0} : Vec3{1.0, 0.0, 0.0};
  p.segmentNormals.push_back(Normalized(up - d0 * Dot(up, d0)));
  for (std::size_t i = 1; i + 1 < n; ++i) {
    const Vec3 nn = RotateBetween(p.directions[i - 1], p.directions[i], p.segmentNormals[i - 1]);
    p.segmentNormals.push_back(Normalized(nn - p.directions[i] * Dot(nn, p.directions[i])));
  }
  // At each point the frame half-way between the segments that meet there
  // (a closed path's ends meet too).
  p.tangents.resize(n);
  p.normals.resize(n);
  for (std::size_t i = 0; i < n; ++i) {
    const bool inner = i > 0 && i + 1 < n;
    const std::size_t before = inner ? i - 1 : (closed ? n - 2 : (i == 0 ? 0 : n - 2));
    const std::size_t after = inner ? i : (closed ? 0 : (i == 0 ? 0 : n - 2));
    const Vec3 t = Normalized(p.directions[before] + p.directions[after]);
    p.tangents[i] = Length(t) > 0.5 ? t : p.directions[after];
    const Vec3 nn = RotateBetween(p.directions[before], p.tangents[i], p.segmentNormals[before]);
    p.normals[i] = Normalized(nn - p.tangents[i] * Dot(nn, p.tangents[i]));
  }
  *path = std::move(p);
  return true;
}

bool ReadPath(Host& host, Object* op, Path* path, std::string* reason) {
  std::string why;
  std::vector<Vec3> pts;
  bool closed = false;
  int type = 0;
  if (op == nullptr) {
    *reason = "there is no path";
    return false;
  }
  if (!SplinePoints(host, op, &pts, &closed, &type)) {
    *reason = Quote(op->Name()) + " has no points to follow";
    return false;
  }
  if (!MakePath(std::move(pts), closed, type, path, &why)) {
    *reason = "the path " + Quote(op->Name()) + " cannot be followed: " + why;
    return false;
  }
  return true;
}

Frame FrameAt(const Path& path, double s) {
  Frame f;
  const std::size_t n = path.points.size();
  const double L = path.Length();
  const double near = 1e-9 * L;
  if (s <= near || s >= L - near) {
    // At an end: the first or last segment's frame (half-way where a closed
    // path's ends meet), straight on beyond it.
    const bool start = s <= near;
    if (path.closed) {
      f.tangent = path.tangents[start ? 0 : n - 1];
      f.normal = path.normals[start ? 0 : n - 1];
    } else {
      f.tangent = path.directions[start ? 0 : n - 2];
      f.normal = path.segmentNormals[start ? 0 : n - 2];
    }
    f.point = start ? path.points[0] + f.tangent * std::min(s, 0.0)
                    : path.points[n - 1] + f.tangent * std::max(s - L, 0.0);
  } else {
    const auto it = std::upper_bound(path.distance.begin(), path.distance.end(), s);
    std::size_t j = static_cast<std::size_t>(it - path.distance.begin()) - 1;
    const double span = path.distance[j + 1] - path.distance[j];
    f.point = Lerp(path.points[j], path.points[j + 1], (s - path.distance[j]) / span);
    if (s - path.distance[j] <= near || path.distance[j + 1] - s <= near) {
      // Where two segments meet.
      if (path.distance[j + 1] - s <= near) ++j;
      f.point = path.points[j];
      f.tangent = path.tangents[j];
      f.normal = path.normals[j];
    } else {
      f.tangent = path.directions[j];
      f.normal = path.segmentNormals[j];
    }
  }
  f.binormal = Cross(f.tangent, f.normal);
  return f;
}

}  // namespace mesh
}  // namespace host
