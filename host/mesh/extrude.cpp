// Extrusions: an outline swept along a movement vector, flat or rounded caps.
//
// The outline is taken into its own plane (2-D, counter-clockwise around its
// normal). The solid is a stack of rings from the start cap to the end cap:
// the outline itself where the side wall runs, and for a rounded cap the
// outline offset inwards (Clipper) at the steps of a quarter circle. Rings
// next to each other are stitched with triangles, and the first and last
// ring are filled by ear clipping, so every edge has exactly two triangles.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include <clipper.hpp>

#include "extrude.h"
#include "vec.h"

namespace host {
namespace mesh {
namespace {

constexpr double kPi = 3.14159265358979323846;

struct P2 {
  double x = 0.0, y = 0.0;
};
using Poly = std::vector<P2>;

double Cross2(P2 o, P2 a, P2 b) { return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x); }
double Dist2(P2 a, P2 b) { return std::hypot(a.x - b.x, a.y - b.y); }

double SignedArea(const Poly& p) {
  double a = 0.0;
  for (std::size_t i = 0; i < p.size(); ++i) {
    const P2 u = p[i], v = p[(i + 1) % p.size()];
    a += u.x * v.y - v.x * u.y;
  }
  return 0.5 * a;
}

std::string Num(double v) {
  if (std::isnan(v)) return "nan";
  if (std::isinf(v)) return v > 0 ? "inf" : "-inf";
  char text[32];
  std::snprintf(text, sizeof text, "%g", v);
  return text;
}

std::string PointText(Vec3 p) { return "(" + Num(p.x) + ", " + Num(p.y) + ", " + Num(p.z) + ")"; }

// Whether closed segments ab and cd meet, within `eps` of the cross products.
bool SegmentsMeet(P2 a, P2 b, P2 c, P2 d, double eps) {
  const double d1 = Cross2(c, d, a), d2 = Cross2(c, d, b), d3 = Cross2(a, b, c), d4 = Cross2(a, b, d);
  const auto sign = [eps](double v) { return v > eps ? 1 : (v < -eps ? -1 : 0); };
  const int s1 = sign(d1), s2 = sign(d2), s3 = sign(d3), s4 = sign(d4);
  if (s1 * s2 < 0 && s3 * s4 < 0) return true;
  // Touching or collinear: a point of one segment on the other.
  const auto within = [](P2 p, P2 q, P2 r) {  // r inside the box of pq
    return std::min(p.x, q.x) <= r.x && r.x <= std::max(p.x, q.x) && std::min(p.y, q.y) <= r.y &&
           r.y <= std::max(p.y, q.y);
  };
  if (s1 == 0 && within(c, d, a)) return true;
  if (s2 == 0 && within(c, d, b)) return true;
  if (s3 == 0 && within(a, b, c)) return true;
  if (s4 == 0 && within(a, b, d)) return true;
  return false;
}

// The fill of a counter-clockwise simple polygon by ear clipping; indices
// into `poly`.
std::vector<std::array<uint32_t, 3>> EarClip(const Poly& poly) {
  std::vector<std::array<uint32_t, 3>> out;
  std::vector<uint32_t> idx(poly.size());
  for (uint32_t i = 0; i < idx.size(); ++i) idx[i] = i;
  while (idx.size() > 3) {
    const std::size_t n = idx.size();
    std::size_t chosen = n;
    double bestCross = -std::numeric_limits<double>::infinity();
    std::size_t best = 0;
    for (std::size_t i = 0; i < n && chosen == n; ++i) {
      const uint32_t a = idx[(i + n - 1) % n], b = idx[i], c = idx[(i + 1) % n];
      const double cr = Cross2(poly[a], poly[b], poly[c]);
      if (cr > bestCross) {
        bestCross = cr;
        best = i;
      }
      if (cr <= 0.0) continue;  // reflex or straight: not an ear
      bool empty = true;
      for (std::size_t j = 0; j < n && empty; ++j) {
        const uint32_t k = idx[j];
        if (k == a || k == b || k == c) continue;
        const P2 p = poly[k];
        if (Cross2(poly[a], poly[b], p) >= 0.0 && Cross2(poly[b], poly[c], p) >= 0.0 &&
            Cross2(poly[c], poly[a], p) >= 0.0)
          empty = false;
      }
      if (empty) chosen = i;
    }
    // No clean ear (rounding): clip the most convex corner.
    if (chosen == n) chosen = best;
    out.push_back({idx[(chosen + n - 1) % n], idx[chosen], idx[(chosen + 1) % n]});
    idx.erase(idx.begin() + static_cast<std::ptrdiff_t>(chosen));
  }
  if (idx.size() == 3) out.push_back({idx[0], idx[1], idx[2]});
  return out;
}

// The outline offset inwards by `inset` (> 0): one counter-clockwise
// polygon, or empty when the offset leaves none or more than one piece.
Poly Inset(const Poly& outline, double inset, double scale) {
  ClipperLib::Path path;
  for (const P2& p : outline)
    path.push_back({static_cast<ClipperLib::cInt>(std::llround(p.x * scale)),
                    static_cast<ClipperLib::cInt>(std::llround(p.y * scale))});
  ClipperLib::Paths solution;
  try {
    ClipperLib::ClipperOffset offset(2.0, std::max(1.0, 0.02 * inset * scale));
    offset.AddPath(path, ClipperLib::jtRound, ClipperLib::etClosedPolygon);
    offset.Execute(solution, -inset * scale);
  } catch (const std::exception&) {
    return {};
  }
  if (solution.size() != 1 || solution[0].size() < 3) return {};
  Poly out;
  for (const ClipperLib::IntPoint& p : solution[0])
    out.push_back({static_cast<double>(p.X) / scale, static_cast<double>(p.Y) / scale});
  if (SignedArea(out) < 0.0) std::reverse(out.begin(), out.end());
  if (SignedArea(out) <= 0.0) return {};
  return out;
}

// One ring of the stack: a polygon at a height (fraction of the movement).
struct Ring {
  Poly poly;
  double t = 0.0;
  uint32_t first = 0;  // index of its first vertex in the mesh
};

// The outline in its plane.
struct Plane2D {
  Vec3 centre, u, v, normal;
  Poly poly;  // counter-clockwise around `normal`
  double extent = 0.0;
};

bool Flatten(const std::vector<Vec3>& points, Plane2D* out, std::string* reason) {
  for (std::size_t i = 0; i < points.size(); ++i) {
    if (!Finite(points[i])) {
      *reason = "has a point that is not finite (point " + std::to_string(i) + ": " + PointText(points[i]) + ")";
      return false;
    }
  }
  // Distinct points, in order, without the closing repeat.
  std::vector<Vec3> pts;
  for (const Vec3& p : points) {
    if (pts.empty() || Length(p - pts.back()) > 0.0) pts.push_back(p);
  }
  while (pts.size() > 1 && Length(pts.front() - pts.back()) == 0.0) pts.pop_back();
  if (pts.size() < 3) {
    *reason = "has fewer than three distinct points";
    return false;
  }
  Vec3 centre;
  for (const Vec3& p : pts) centre = centre + p;
  centre = centre * (1.0 / static_cast<double>(pts.size()));
  double extent = 0.0;
  for (const Vec3& p : pts) extent = std::max(extent, Length(p - centre));
  // Newell's normal: twice the area vector.
  Vec3 n;
  for (std::size_t i = 0; i < pts.size(); ++i) n = n + Cross(pts[i] - centre, pts[(i + 1) % pts.size()] - centre);
  if (!(Length(n) > 1e-12 * extent * extent)) {
    *reason = "encloses no area";
    return false;
  }
  n = Normalized(n);
  for (const Vec3& p : pts) {
    if (std::fabs(Dot(p - centre, n)) > 1e-9 * extent) {
      *reason = "is not flat";
      return false;
    }
  }
  // A basis of the plane with u x v = n.
  Vec3 helper = std::fabs(n.x) < 0.9 ? Vec3{1.0, 0.0, 0.0} : Vec3{0.0, 1.0, 0.0};
  const Vec3 u = Normalized(Cross(helper, n));
  const Vec3 v = Cross(n, u);
  Poly poly;
  for (const Vec3& p : pts) poly.push_back({Dot(p - centre, u), Dot(p - centre, v)});
  out->centre = centre;
  out->u = u;
  out->v = v;
  out->normal = n;
  out->poly = std::move(poly);
  out->extent = extent;
  return true;
}

// Whether the polygon is simple: edges meet only where neighbours share
// their point, and neighbours do not run back over each other. Otherwise
// false with the reason.
bool IsSimple(const Poly& poly, double eps, std::string* reason) {
  const std::size_t count = poly.size();
  for (std::size_t i = 0; i < count; ++i) {
    const P2 a = poly[i], b = poly[(i + 1) % count], c = poly[(i + 2) % count];
    if (std::fabs(Cross2(a, b, c)) <= eps && (b.x - a.x) * (c.x - b.x) + (b.y - a.y) * (c.y - b.y) < 0.0) {
      *reason = "folds back on itself at point " + std::to_string((i + 1) % count);
      return false;
    }
    for (std::size_t j = i + 2; j < count; ++j) {
      if (i == 0 && j == count - 1) continue;  // neighbours across the start
      if (SegmentsMeet(a, b, poly[j], poly[(j + 1) % count], eps)) {
        *reason = "crosses or touches itself (edges " + std::to_string(i) + " and " + std::to_string(j) + ")";
        return false;
      }
    }
  }
  return true;
}

// An outline that touches itself at single points (a pinch, a point on
// another edge) is cut there into lobes, each a simple polygon with an
// area, counter-clockwise like the whole. False with the reason of the first crossing when
// the outline is not simple and does not come apart that way.
bool SplitIntoLobes(Poly poly, double eps, double tol, int depth, std::vector<Poly>* lobes, std::string* reason) {
  std::string why;
  if (IsSimple(poly, eps, &why)) {
    // A lobe that runs the other way round is the outline turned inside
    // out there: a crossing, not a touch.
    if (SignedArea(poly) <= eps) {
      if (reason->empty()) *reason = "crosses or touches itself (a part of it runs the other way round)";
      return false;
    }
    lobes->push_back(std::move(poly));
    return true;
  }
  if (reason->empty()) *reason = why;
  if (depth > 32) return false;
  // A point that lies on an edge it does not end becomes a point of it too.
  const std::size_t limit = 2 * poly.size() + 8;
  for (bool inserted = true; inserted && poly.size() < limit;) {
    inserted = false;
    for (std::size_t k = 0; k < poly.size() && !inserted; ++k) {
      for (std::size_t i = 0; i < poly.size() && !inserted; ++i) {
        const std::size_t next = (i + 1) % poly.size();
        if (k == i || k == next) continue;
        const P2 a = poly[i], b = poly[next], p = poly[k];
        const double len = Dist2(a, b);
        if (!(len > 0.0) || Dist2(p, a) <= tol || Dist2(p, b) <= tol) continue;
        const double t = ((p.x - a.x) * (b.x - a.x) + (p.y - a.y) * (b.y - a.y)) / (len * len);
        if (t <= 0.0 || t >= 1.0 || std::fabs(Cross2(a, b, p)) / len > tol) continue;
        poly.insert(poly.begin() + static_cast<std::ptrdiff_t>(i + 1), p);
        inserted = true;
      }
    }
  }
  // Cut at the first point the outline passes twice.
  const std::size_t n = poly.size();
  for (std::size_t i = 0; i < n; ++i) {
    for (std::size_t j = i + 2; j < n; ++j) {
      if (i == 0 && j == n - 1) continue;
      if (Dist2(poly[i], poly[j]) > tol) continue;
      Poly first(poly.begin() + static_cast<std::ptrdiff_t>(i), poly.begin() + static_cast<std::ptrdiff_t>(j));
      Poly second(poly.begin() + static_cast<std::ptrdiff_t>(j), poly.end());
      second.insert(second.end(), poly.begin(), poly.begin() + static_cast<std::ptrdiff_t>(i));
      if (first.size() < 3 || second.size() < 3) return false;
      if (std::fabs(SignedArea(first)) <= eps || std::fabs(SignedArea(second)) <= eps) return false;
      return SplitIntoLobes(std::move(first), eps, tol, depth + 1, lobes, reason) &&
             SplitIntoLobes(std::move(second), eps, tol, depth + 1, lobes, reason);
    }
  }
  return false;
}

// The lobes of a flattened outline (SplitIntoLobes).
bool Lobes(const Plane2D& plane, std::vector<Poly>* lobes, std::string* reason) {
  std::string why;
  lobes->clear();
  if (SplitIntoLobes(plane.poly, 1e-12 * plane.extent * plane.extent, 1e-9 * plane.extent, 0, lobes, &why))
    return true;
  *reason = why;
  return false;
}

// Stitches ring `lower` to ring `upper` (both counter-clockwise), starting
// at the upper point nearest the lower ring's first point and always taking
// the shorter diagonal.
void Stitch(const Ring& lower, const Ring& upper, Mesh* mesh) {
  const std::size_t n = lower.poly.size(), m = upper.poly.size();
  std::size_t k0 = 0;
  for (std::size_t k = 1; k < m; ++k) {
    if (Dist2(upper.poly[k], lower.poly[0]) < Dist2(upper.poly[k0], lower.poly[0])) k0 = k;
  }
  const auto L = [&](std::size_t i) { return static_cast<uint32_t>(lower.first + i % n); };
  const auto U = [&](std::size_t k) { return static_cast<uint32_t>(upper.first + (k0 + k) % m); };
  const auto Lp = [&](std::size_t i) { return lower.poly[i % n]; };
  const auto Up = [&](std::size_t k) { return upper.poly[(k0 + k) % m]; };
  std::size_t i = 0, k = 0;
  while (i < n || k < m) {
    bool advanceLower;
    if (i == n) advanceLower = false;
    else if (k == m) advanceLower = true;
    else advanceLower = Dist2(Lp(i + 1), Up(k)) <= Dist2(Lp(i), Up(k + 1));
    if (advanceLower) {
      mesh->triangles.push_back({L(i), L(i + 1), U(k)});
      ++i;
    } else {
      mesh->triangles.push_back({L(i), U(k + 1), U(k)});
      ++k;
    }
  }
}

// The solid of one lobe, appended to `out` (facing outwards when the
// movement runs along the plane's normal).
void ExtrudeLobe(const Plane2D& plane, const Poly& lobe, Vec3 move, double height, const CapSettings& startCap,
                 const CapSettings& endCap, Mesh* out) {
  const double scale = 1e9 / plane.extent;

  // Radii: together at most 90 % of the height; each halved until its inset
  // leaves the outline one piece (or given up: a flat cap).
  double rStart = startCap.rounded ? std::max(0.0, startCap.radius) : 0.0;
  double rEnd = endCap.rounded ? std::max(0.0, endCap.radius) : 0.0;
  if (!std::isfinite(rStart)) rStart = 0.0;
  if (!std::isfinite(rEnd)) rEnd = 0.0;
  if (rStart + rEnd > 0.9 * height) {
    const double k = 0.9 * height / (rStart + rEnd);
    rStart *= k;
    rEnd *= k;
  }
  const auto rings = [&](double r, int steps, bool start, std::vector<Ring>* made) {
    made->clear();
    if (r <= 0.0 || steps < 1) {
      made->push_back({lobe, start ? 0.0 : 1.0, 0});
      return true;
    }
    // A quarter circle from the cap (inset r) to the wall (inset 0).
    for (int j = 0; j <= steps; ++j) {
      const double a = 0.5 * kPi * j / steps;
      const double inset = r - r * std::sin(a);
      const double h = r - r * std::cos(a);
      Ring ring;
      ring.t = start ? h / height : 1.0 - h / height;
      ring.poly = inset > 1e-12 * plane.extent ? Inset(lobe, inset, scale) : lobe;
      if (ring.poly.empty()) return false;
      made->push_back(std::move(ring));
    }
    if (!start) std::reverse(made->begin(), made->end());
    return true;
  };
  std::vector<Ring> bottom, top;
  for (int tries = 0; !rings(rStart, startCap.steps, true, &bottom); ++tries) rStart = tries < 8 ? rStart / 2 : 0.0;
  for (int tries = 0; !rings(rEnd, endCap.steps, false, &top); ++tries) rEnd = tries < 8 ? rEnd / 2 : 0.0;

  std::vector<Ring> stack = std::move(bottom);
  stack.insert(stack.end(), top.begin(), top.end());
  Mesh& mesh = *out;
  for (Ring& ring : stack) {
    ring.first = static_cast<uint32_t>(mesh.vertices.size());
    for (const P2& p : ring.poly)
      mesh.vertices.push_back(plane.centre + plane.u * p.x + plane.v * p.y + move * ring.t);
  }
  for (std::size_t r = 0; r + 1 < stack.size(); ++r) Stitch(stack[r], stack[r + 1], &mesh);
  // Caps: the start faces against the normal, the end along it.
  for (const auto& t : EarClip(stack.front().poly)) {
    const uint32_t f = stack.front().first;
    mesh.triangles.push_back({f + t[0], f + t[2], f + t[1]});
  }
  for (const auto& t : EarClip(stack.back().poly)) {
    const uint32_t f = stack.back().first;
    mesh.triangles.push_back({f + t[0], f + t[1], f + t[2]});
  }
}

}  // namespace

bool CheckOutline(const std::vector<Vec3>& points, std::string* reason) {
  Plane2D plane;
  std::vector<Poly> lobes;
  return Flatten(points, &plane, reason) && Lobes(plane, &lobes, reason);
}

Evaluation Extrude(const std::vector<Vec3>& outline, Vec3 move, const CapSettings& startCap,
                   const CapSettings& endCap) {
  Evaluation result;
  Plane2D plane;
  std::string why;
  std::vector<Poly> lobes;
  if (!Flatten(outline, &plane, &why) || !Lobes(plane, &lobes, &why)) {
    result.reason = "the outline " + why;
    return result;
  }
  if (!Finite(move)) {
    result.reason = "the movement " + PointText(move) + " is not finite";
    return result;
  }
  const double d = Dot(move, plane.normal);
  const double height = std::fabs(d);
  if (!(height > 1e-9 * plane.extent)) {
    result.reason = "the movement " + PointText(move) + " lies in the outline's plane";
    return result;
  }
  // Each lobe its own closed solid.
  for (const Poly& lobe : lobes) ExtrudeLobe(plane, lobe, move, height, startCap, endCap, &result.mesh);
  Mesh& mesh = result.mesh;
  // Moving against the normal turns the solid inside out: turn it back.
  if (d < 0.0) {
    for (auto& t : mesh.triangles) std::swap(t[1], t[2]);
  }
  result.ok = true;
  return result;
}

}  // namespace mesh
}  // namespace host
