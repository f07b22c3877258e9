// Small vector arithmetic for the mesh layer.
#ifndef HOST_MESH_VEC_H
#define HOST_MESH_VEC_H

#include <cmath>

#include "mesh.h"

namespace host {
namespace mesh {

inline Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vec3 operator*(Vec3 a, double k) { return {a.x * k, a.y * k, a.z * k}; }
inline Vec3 operator*(double k, Vec3 a) { return a * k; }
inline double Dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Vec3 Cross(Vec3 a, Vec3 b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline double Length(Vec3 a) { return std::sqrt(Dot(a, a)); }
// The unit vector along `a`, or `a` itself when it has no length.
inline Vec3 Normalized(Vec3 a) {
  const double l = Length(a);
  return l > 0.0 ? a * (1.0 / l) : a;
}
inline Vec3 Lerp(Vec3 a, Vec3 b, double t) { return a + (b - a) * t; }
inline bool Finite(Vec3 a) { return std::isfinite(a.x) && std::isfinite(a.y) && std::isfinite(a.z); }

// Turns `v` by the smallest rotation that takes unit vector `from` to unit
// vector `to` (half-turns about an axis across `from` when they are opposite).
inline Vec3 RotateBetween(Vec3 from, Vec3 to, Vec3 v) {
  const Vec3 axis = Cross(from, to);
  const double c = Dot(from, to);
  if (c < -1.0 + 1e-12) {
    // Opposite: a half-turn about any axis across `from`.
    Vec3 across = Cross(from, Vec3{1.0, 0.0, 0.0});
    if (Length(across) < 1e-6) across = Cross(from, Vec3{0.0, 1.0, 0.0});
    across = Normalized(across);
    return across * (2.0 * Dot(across, v)) - v;
  }
  // Rodrigues' formula with sin = |axis|, written without the angle.
  return v * c + Cross(axis, v) + axis * (Dot(axis, v) / (1.0 + c));
}

}  // namespace mesh
}  // namespace host

#endif
