// The generators' meshes: extrusion, cloner, null, and the spline-wrap
// deformers under any of them (docs/meshes.md).
#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "extrude.h"
#include "mesh.h"
#include "mesh_internal.h"
#include "vec.h"

namespace host {
namespace mesh {

int32_t IntOf(const Object* op, int32_t id, int32_t otherwise) {
  const Value* v = op->Data().Find(id);
  return v != nullptr && v->type == HA_TYPE_INT32 ? v->i : otherwise;
}

double RealOf(const Object* op, int32_t id, double otherwise) {
  const Value* v = op->Data().Find(id);
  return v != nullptr && v->type == HA_TYPE_FLOAT ? v->f : otherwise;
}

Vec3 VecOf(const Object* op, int32_t id, Vec3 otherwise) {
  const Value* v = op->Data().Find(id);
  return v != nullptr && v->type == HA_TYPE_VECTOR ? Vec3{v->AsVector().x, v->AsVector().y, v->AsVector().z} : otherwise;
}

Object* LinkOf(const Object* op, int32_t id) {
  const Value* v = op->Data().Find(id);
  if (v == nullptr || v->type != HA_TYPE_LINK || v->link == 0) return nullptr;
  Object* target = Object::FindSerial(v->link);
  return target != nullptr && target->InTree() && target->Doc() == op->Doc() ? target : nullptr;
}

bool HasContour(const Object* op) { return op->Plugin() != nullptr && op->Plugin()->cls.get_contour != nullptr; }

bool SplinePoints(Host& host, Object* op, std::vector<Vec3>* points, bool* closed, int* splineType,
                  const Object** settings) {
  const Object* spline = op;
  if (HasContour(op)) {
    spline = host.EvaluateContour(op);
    if (spline == nullptr) return false;
  } else if (!op->IsSpline()) {
    return false;
  }
  points->clear();
  for (const ha_vector& p : const_cast<Object*>(spline)->Points()) points->push_back({p.x, p.y, p.z});
  if (points->empty()) return false;
  *closed = IntOf(spline, kSplineClosed, 0) != 0;
  *splineType = spline->SplineType();
  if (settings != nullptr) *settings = spline;
  return true;
}

bool IsDeformer(const Object* op) { return op->Type() == Osplinewrap; }

Vec3 ArrowAxis(const Object* arrow) {
  return IntOf(arrow, kArrowPlane, 0) == 1 ? Vec3{0.0, 0.0, 1.0} : Vec3{1.0, 0.0, 0.0};
}

namespace {

// The first child that is not a deformer.
Object* FirstSource(const Object* op) {
  for (Object* c = op->Down(); c != nullptr; c = c->Next()) {
    if (!IsDeformer(c)) return c;
  }
  return nullptr;
}

// An evaluation inside the layer: a mesh, none by nature (an object without
// a mesh of its own), or a failure.
struct Result {
  Evaluation eval;
  bool failed = false;  // a generator could not make its mesh (not: has none)
  Vec3 axis{1.0, 0.0, 0.0};  // the axis along which the mesh's shape runs
};

Result None(std::string reason) {
  Result r;
  r.eval.reason = std::move(reason);
  return r;
}

Result Failure(std::string reason) {
  Result r = None(std::move(reason));
  r.failed = true;
  return r;
}

// The outline's points with the intermediate points its spline settings ask
// for: interpolation 1 (natural) and 2 (uniform) split every edge into
// count + 1 equal pieces, 4 (subdivided) into pieces no longer than the
// maximum length; 0 and 3 (adaptive: straight edges need none) add none.
std::vector<Vec3> WithIntermediatePoints(const std::vector<Vec3>& pts, const Object* settings) {
  const int32_t interpolation = IntOf(settings, kSplineInterpolation, 0);
  const int32_t count = IntOf(settings, kSplinePointCount, 0);
  const double maxLength = RealOf(settings, kSplineMaxLength, 0.0);
  for (const Vec3& p : pts) {
    if (!Finite(p)) return pts;  // left to the outline check
  }
  std::vector<Vec3> out;
  for (std::size_t i = 0; i < pts.size(); ++i) {
    const Vec3 a = pts[i], b = pts[(i + 1) % pts.size()];
    long pieces = 1;
    if ((interpolation == 1 || interpolation == 2) && count > 0) {
      pieces = std::min<long>(count, kMaxIntermediatePoints) + 1;
    } else if (interpolation == 4 && maxLength > 0.0 && std::isfinite(maxLength)) {
      pieces = static_cast<long>(std::min<double>(std::ceil(Length(b - a) / maxLength), kMaxIntermediatePoints + 1));
      pieces = std::max(1L, pieces);
    }
    for (long k = 0; k < pieces; ++k) out.push_back(Lerp(a, b, static_cast<double>(k) / pieces));
  }
  return out;
}

Result EvaluateNode(Host& host, Object* op, int depth);

Result EvaluateExtrude(Host& host, Object* op) {
  Object* source = FirstSource(op);
  if (source == nullptr) return Failure("the extrusion " + Quote(op->Name()) + " has no child to extrude");
  std::vector<Vec3> pts;
  bool closed = false;
  int type = 0;
  const Object* settings = nullptr;
  if (!SplinePoints(host, source, &pts, &closed, &type, &settings))
    return Failure("the extrusion " + Quote(op->Name()) + " has nothing to extrude: its child " +
                   Quote(source->Name()) + " gives no outline");
  if (!closed)
    return Failure("the outline of " + Quote(source->Name()) + " is open: the extrusion " + Quote(op->Name()) +
                   " needs a closed one");
  std::vector<Vec3> outline;
  if (type == 0) {
    outline = WithIntermediatePoints(pts, settings);
  } else {
    // A curved spline: its smooth curve as a polygon.
    Path path;
    std::string why;
    if (!MakePath(pts, true, type, &path, &why))
      return Failure("the outline of " + Quote(source->Name()) + " cannot be drawn: " + why);
    outline.assign(path.points.begin(), path.points.end() - 1);
  }
  CapSettings start, end;
  start.rounded = IntOf(op, kExtrudeStartCap, 1) == kRoundedCap;
  start.steps = IntOf(op, kExtrudeStartSteps, kDefaultCapSteps);
  start.radius = RealOf(op, kExtrudeStartRadius, kDefaultCapRadius);
  end.rounded = IntOf(op, kExtrudeEndCap, 1) == kRoundedCap;
  end.steps = IntOf(op, kExtrudeEndSteps, kDefaultCapSteps);
  end.radius = RealOf(op, kExtrudeEndRadius, kDefaultCapRadius);
  start.steps = std::clamp(start.steps, 0, 64);
  end.steps = std::clamp(end.steps, 0, 64);
  Result r;
  r.eval = Extrude(outline, VecOf(op, kExtrudeMove, Vec3{0.0, 0.0, 20.0}), start, end);
  if (!r.eval.ok) {
    // "the outline ..." names whose outline it is.
    const std::string prefix = "the outline";
    if (r.eval.reason.rfind(prefix, 0) == 0)
      return Failure(prefix + " of " + Quote(source->Name()) + r.eval.reason.substr(prefix.size()));
    return Failure("the extrusion " + Quote(op->Name()) + ": " + r.eval.reason);
  }
  if (HasContour(source)) r.axis = ArrowAxis(source);
  return r;
}

Vec3 Place(const Placement& p, Vec3 v) {
  return p.origin + p.axes[0] * v.x + p.axes[1] * v.y + p.axes[2] * v.z;
}

Result EvaluateCloner(Host& host, Object* op, int depth) {
  Object* source = FirstSource(op);
  if (source == nullptr) return None("the cloner " + Quote(op->Name()) + " has nothing to clone");
  std::vector<Placement> placements;
  std::string why;
  if (!ClonerPlacements(host, op, &placements, &why)) return Failure(why);
  Result child = EvaluateNode(host, source, depth + 1);
  if (!child.eval.ok) {
    Result r = child.failed ? Failure(child.eval.reason) : None("the cloner " + Quote(op->Name()) + " clones " +
                                                                   Quote(source->Name()) + ", which " +
                                                                   child.eval.reason);
    return r;
  }
  Result r;
  r.eval.ok = true;
  const Mesh& one = child.eval.mesh;
  Mesh& all = r.eval.mesh;
  all.vertices.reserve(one.vertices.size() * placements.size());
  all.triangles.reserve(one.triangles.size() * placements.size());
  for (const Placement& p : placements) {
    const auto base = static_cast<uint32_t>(all.vertices.size());
    for (const Vec3& v : one.vertices) all.vertices.push_back(Place(p, v));
    for (const auto& t : one.triangles) all.triangles.push_back({t[0] + base, t[1] + base, t[2] + base});
  }
  return r;
}

Result EvaluateNull(Host& host, Object* op, int depth) {
  Result r;
  bool any = false;
  for (Object* c = op->Down(); c != nullptr; c = c->Next()) {
    if (IsDeformer(c)) continue;
    Result child = EvaluateNode(host, c, depth + 1);
    if (child.failed) return child;
    if (!child.eval.ok) continue;
    if (!any) r.axis = child.axis;
    any = true;
    r.eval.mesh.Append(child.eval.mesh);
  }
  if (!any) return None("is a null whose children have no mesh");
  r.eval.ok = true;
  return r;
}

// --- the spline wrap --------------------------------------------------------

// Cuts every triangle that crosses the plane Dot(axis, p) == c into
// triangles on either side; an edge is cut at one new point shared by both
// of its triangles, so the mesh stays closed and keeps its orientation.
void CutAt(Mesh* mesh, Vec3 axis, double c, double eps) {
  std::map<std::pair<uint32_t, uint32_t>, uint32_t> cuts;
  std::vector<double> side(mesh->vertices.size());
  for (std::size_t i = 0; i < side.size(); ++i) {
    const double s = Dot(mesh->vertices[i], axis) - c;
    side[i] = std::fabs(s) <= eps ? 0.0 : s;
  }
  const auto cut = [&](uint32_t a, uint32_t b) {
    const std::pair<uint32_t, uint32_t> key{std::min(a, b), std::max(a, b)};
    const auto found = cuts.find(key);
    if (found != cuts.end()) return found->second;
    const double sa = side[key.first], sb = side[key.second];
    const Vec3 p = Lerp(mesh->vertices[key.first], mesh->vertices[key.second], sa / (sa - sb));
    const auto index = static_cast<uint32_t>(mesh->vertices.size());
    mesh->vertices.push_back(p);
    cuts.emplace(key, index);
    return index;
  };
  const std::size_t count = mesh->triangles.size();
  for (std::size_t k = 0; k < count; ++k) {
    auto t = mesh->triangles[k];
    bool pos = false, neg = false;
    for (uint32_t v : t) {
      pos = pos || side[v] > 0.0;
      neg = neg || side[v] < 0.0;
    }
    if (!pos || !neg) continue;
    // Turn the triangle so that its first corner is the odd one out: the
    // one on the plane, or the one alone on its side.
    int zeros = 0;
    for (uint32_t v : t) zeros += side[v] == 0.0 ? 1 : 0;
    for (int turn = 0; turn < 3; ++turn) {
      const double s0 = side[t[0]], s1 = side[t[1]], s2 = side[t[2]];
      const bool odd = zeros == 1 ? s0 == 0.0 : (s0 > 0.0) != (s1 > 0.0) && (s0 > 0.0) != (s2 > 0.0);
      if (odd) break;
      t = {t[1], t[2], t[0]};
    }
    const uint32_t a = t[0], b = t[1], cc = t[2];
    if (zeros == 1) {
      const uint32_t p = cut(b, cc);
      mesh->triangles[k] = {a, b, p};
      mesh->triangles.push_back({a, p, cc});
    } else {
      const uint32_t p = cut(a, b), q = cut(a, cc);
      mesh->triangles[k] = {a, p, q};
      mesh->triangles.push_back({p, b, cc});
      mesh->triangles.push_back({p, cc, q});
    }
  }
}

}  // namespace

bool Wrap(Host& host, Object* deformer, Vec3 axis, Mesh* mesh, std::string* reason) {
  Object* spline = LinkOf(deformer, kWrapSpline);
  if (spline == nullptr) return true;  // nothing to follow: the mesh stays as it is
  Path path;
  std::string why;
  if (!ReadPath(host, spline, &path, &why)) {
    *reason = "the spline wrap " + Quote(deformer->Name()) + " cannot bend: " + why;
    return false;
  }
  const bool fit = IntOf(deformer, kWrapMode, 0) != 0;
  CutForPath(mesh, path, axis, fit);
  BendAlongPath(mesh, path, axis, fit);
  return true;
}

namespace {

Result EvaluateNode(Host& host, Object* op, int depth) {
  if (depth > 64) return Failure("the set-up under " + Quote(op->Name()) + " is nested too deep");
  Result r;
  switch (op->Type()) {
    case Oextrude:
      r = EvaluateExtrude(host, op);
      break;
    case Ocloner:
      r = EvaluateCloner(host, op, depth);
      break;
    case Onull:
      r = EvaluateNull(host, op, depth);
      break;
    case Ospline:
      return None("is a spline: it has no mesh of its own");
    case Osplinewrap:
      return None("is a deformer: it bends its parent's mesh and has none of its own");
    default:
      if (HasContour(op)) return None("is an arrow: it has no mesh of its own (an extrusion makes one of it)");
      return None("has no mesh");
  }
  if (!r.eval.ok) return r;
  for (Object* c = op->Down(); c != nullptr; c = c->Next()) {
    if (!IsDeformer(c)) continue;
    std::string why;
    if (!Wrap(host, c, r.axis, &r.eval.mesh, &why)) return Failure(why);
  }
  return r;
}

}  // namespace

bool ClonerPlacements(Host& host, Object* cloner, std::vector<Placement>* out, std::string* reason) {
  out->clear();
  const std::array<Vec3, 3> identity = {Vec3{1.0, 0.0, 0.0}, Vec3{0.0, 1.0, 0.0}, Vec3{0.0, 0.0, 1.0}};
  const bool onPath = IntOf(cloner, kClonerMode, 1) == 0;
  const int32_t count = IntOf(cloner, onPath ? kClonerPathCount : kClonerLinearCount, 3);
  if (count < 1 || count > kMaxClones) {
    *reason = "the cloner " + Quote(cloner->Name()) + " asks for " + std::to_string(count) +
              " clones: it makes 1 to " + std::to_string(kMaxClones);
    return false;
  }
  if (!onPath) {
    const Vec3 step = VecOf(cloner, kClonerLinearStep, Vec3{0.0, 250.0, 0.0});
    if (!Finite(step)) {
      *reason = "the cloner " + Quote(cloner->Name()) + " has a step that is not finite";
      return false;
    }
    for (int32_t i = 0; i < count; ++i) out->push_back({step * static_cast<double>(i), identity, 0.0});
    return true;
  }
  Object* spline = LinkOf(cloner, kClonerPath);
  if (spline == nullptr) {
    *reason = "the cloner " + Quote(cloner->Name()) + " places its clones along a path but has none";
    return false;
  }
  Path path;
  std::string why;
  if (!ReadPath(host, spline, &path, &why)) {
    *reason = "the cloner " + Quote(cloner->Name()) + " cannot place its clones: " + why;
    return false;
  }
  double rate = RealOf(cloner, kClonerRate, 0.0);
  if (!std::isfinite(rate)) rate = 0.0;
  for (int32_t i = 0; i < count; ++i) {
    double f = path.closed ? static_cast<double>(i) / count
                           : (count > 1 ? static_cast<double>(i) / (count - 1) : 0.0);
    f += rate;
    if (path.closed) f -= std::floor(f);
    const double s = f * path.Length();
    const Frame frame = FrameAt(path, s);
    // Z along the path, Y the path's normal, X across.
    out->push_back({frame.point, {Cross(frame.normal, frame.tangent), frame.normal, frame.tangent}, s});
  }
  return true;
}

namespace {

// The extent of the mesh along the axis, and the map from along the axis to
// along the path: keeping lengths from the low end, or fitting the extent
// to the whole path.
struct AxisMap {
  double lo = 0.0, hi = 0.0, length = 0.0;
  bool fit = false;
  double ToPath(double x) const { return fit ? (x - lo) / (hi - lo) * length : x - lo; }
  double ToAxis(double s) const { return fit ? lo + s / length * (hi - lo) : lo + s; }
};

AxisMap MapOf(const Mesh& mesh, const Path& path, Vec3 axis, bool fit) {
  AxisMap m;
  if (!mesh.vertices.empty()) m.lo = m.hi = Dot(mesh.vertices[0], axis);
  for (const Vec3& v : mesh.vertices) {
    m.lo = std::min(m.lo, Dot(v, axis));
    m.hi = std::max(m.hi, Dot(v, axis));
  }
  m.length = path.Length();
  m.fit = fit && m.hi > m.lo;
  return m;
}

}  // namespace

void CutForPath(Mesh* mesh, const Path& path, Vec3 axis, bool fit) {
  const AxisMap m = MapOf(*mesh, path, axis, fit);
  const double eps = 1e-9 * std::max(1.0, m.hi - m.lo);
  for (double s : path.distance) {
    const double x = m.ToAxis(s);
    if (x > m.lo + eps && x < m.hi - eps) CutAt(mesh, axis, x, eps);
  }
}

void BendAlongPath(Mesh* mesh, const Path& path, Vec3 axis, bool fit) {
  const AxisMap m = MapOf(*mesh, path, axis, fit);
  // The cross-section axes: Y (X when the axis runs along Y), and Y x axis;
  // they go to the path's normal and normal x direction.
  const Vec3 e1 = std::fabs(axis.y) < 0.99 ? Normalized(Vec3{0.0, 1.0, 0.0} - axis * axis.y)
                                           : Normalized(Vec3{1.0, 0.0, 0.0} - axis * axis.x);
  const Vec3 e2 = Cross(e1, axis);
  for (Vec3& v : mesh->vertices) {
    const double x = Dot(v, axis);
    const Frame f = FrameAt(path, m.ToPath(x));
    const Vec3 w = v - axis * x;
    v = f.point + f.normal * Dot(w, e1) + Cross(f.normal, f.tangent) * Dot(w, e2);
  }
}

Evaluation Evaluate(Host& host, Object* op) {
  Result r = EvaluateNode(host, op, 0);
  if (!r.eval.ok && !r.failed && r.eval.reason.rfind("the ", 0) != 0)
    r.eval.reason = Quote(op->Name()) + " " + r.eval.reason;
  return r.eval;
}

}  // namespace mesh
}  // namespace host
