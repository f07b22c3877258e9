// What the mesh layer's files share: reading objects' parameters and
// points, and the host parameter IDs the generators read.
#ifndef HOST_MESH_MESH_INTERNAL_H
#define HOST_MESH_MESH_INTERNAL_H

#include <cstdint>
#include <string>
#include <vector>

#include "mesh.h"

namespace host {
namespace mesh {

// Parameters of the host's objects that the generators read (docs/meshes.md),
// under the mesh layer's names; the IDs are those of hostapi/abi/ha_ids.h.
enum : int32_t {
  kSplineClosed = SPLINEOBJECT_CLOSED,
  kSplineInterpolation = SPLINEOBJECT_INTERPOLATION,
  kSplinePointCount = SPLINEOBJECT_POINT_COUNT,
  kSplineMaxLength = SPLINEOBJECT_POINT_MAX_LENGTH,
  kArrowPlane = SPLINEPRIMITIVE_PLANE,
  kExtrudeMove = EXTRUDEOBJECT_MOVE,
  kExtrudeStartCap = EXTRUDE_START_CAP,
  kExtrudeEndCap = EXTRUDE_END_CAP,
  kExtrudeStartSteps = EXTRUDE_START_FILLET,
  kExtrudeEndSteps = EXTRUDE_END_FILLET,
  kExtrudeStartRadius = EXTRUDE_START_RADIUS,
  kExtrudeEndRadius = EXTRUDE_END_RADIUS,
  kClonerMode = CLONER_MODE,
  kClonerPath = CLONER_OBJECT_LINK,
  kClonerPathCount = CLONER_OBJECT_COUNT,
  kClonerRate = CLONER_OBJECT_RATE,
  kClonerLinearCount = CLONER_LINEAR_COUNT,
  kClonerLinearStep = CLONER_LINEAR_STEP,
  kWrapSpline = SPLINEWRAP_SPLINE,
  kWrapMode = SPLINEWRAP_MODE
};

constexpr int32_t kRoundedCap = 3;  // the cap setting of a rounded cap
constexpr int kDefaultCapSteps = 5;
constexpr double kDefaultCapRadius = 5.0;
constexpr int kPathStepsPerSpan = 16;
constexpr int32_t kMaxClones = 100000;
constexpr int kMaxIntermediatePoints = 1000;  // per outline edge

inline std::string Quote(const std::string& name) { return "'" + name + "'"; }

int32_t IntOf(const Object* op, int32_t id, int32_t otherwise);
double RealOf(const Object* op, int32_t id, double otherwise);
Vec3 VecOf(const Object* op, int32_t id, Vec3 otherwise);
// The linked object when it is in the same document, else null.
Object* LinkOf(const Object* op, int32_t id);

// Whether the object answers a contour (a plug-in object such as the arrow).
bool HasContour(const Object* op);
// A spline's points as they stand: an arrow's contour (asked from the module
// through the normal contour call) or a spline object's own points, with its
// closed flag and spline type. False when it has none.
bool SplinePoints(Host& host, Object* op, std::vector<Vec3>* points, bool* closed, int* splineType,
                  const Object** settings = nullptr);

// Whether the object is a deformer (a spline wrap), which bends its parent's
// mesh and has none of its own.
bool IsDeformer(const Object* op);
// The direction an arrow points in for its plane (XY and XZ: +X; ZY: +Z).
Vec3 ArrowAxis(const Object* arrow);
// What the spline wrap `deformer` does to a mesh whose shape runs along
// `axis`: cut where its path has points, then bent along it (a mesh of
// vertices alone is only bent). Without a linked path the mesh stays as it
// is; false with the reason when the path cannot be followed.
bool Wrap(Host& host, Object* deformer, Vec3 axis, Mesh* mesh, std::string* reason);

// A polyline path from spline points (see ReadPath).
bool MakePath(std::vector<Vec3> points, bool closed, int splineType, Path* path, std::string* reason);

}  // namespace mesh
}  // namespace host

#endif
