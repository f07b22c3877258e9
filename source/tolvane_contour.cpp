// The arrow's output spline: the outline in the chosen plane and order, with
// the object's intermediate-point settings.
#include "flavour.h"
#include "tolvane.h"

namespace {

constexpr Int32 kSplineTypeLinear = 0;

// The outline record from the object's parameters, read in ascending ID
// order (the host finds the entry after the last one read first).
Arrow ReadArrow(const BaseContainer& bc) {
  Arrow a;
  a.shaftLength = bc.GetFloat(ARROW_SHAFT_LENGTH);
  a.shaftWidth = bc.GetFloat(ARROW_SHAFT_WIDTH);
  a.hasShaft = bc.GetBool(ARROW_SHAFT) ? 1 : 0;
  a.headLength = bc.GetFloat(ARROW_HEAD_LENGTH);
  a.barbWidth = bc.GetFloat(ARROW_BARB_WIDTH);
  a.tailNotch = bc.GetFloat(ARROW_TAIL_NOTCH);
  a.headTaper = bc.GetFloat(ARROW_HEAD_TAPER);
  a.tailTaper = bc.GetFloat(ARROW_TAIL_TAPER);
  a.barbSweep = bc.GetFloat(ARROW_BARB_SWEEP);
  a.fletching = bc.GetBool(ARROW_FLETCHING) ? 1 : 0;
  a.fletchLength = bc.GetFloat(ARROW_FLETCHING_LENGTH);
  a.fletchHeight = bc.GetFloat(ARROW_FLETCHING_HEIGHT);
  a.fletchSweep = bc.GetFloat(ARROW_FLETCHING_SWEEP);
  a.chevronHead = bc.GetBool(ARROW_CHEVRON) ? 1 : 0;
  a.squareBarbEnds = bc.GetBool(ARROW_CHEVRON_SQUARE_ENDS) ? 1 : 0;
  a.chevronDepth = bc.GetFloat(ARROW_CHEVRON_DEPTH);
  a.doubleHeaded = bc.GetBool(ARROW_DOUBLE_HEADED) ? 1 : 0;
  a.doubleShaftLength = bc.GetFloat(ARROW_DOUBLE_SHAFT_LENGTH);
  a.doubleShaftWidth = bc.GetFloat(ARROW_DOUBLE_SHAFT_WIDTH);
  a.roundCorners = bc.GetBool(ARROW_ROUND_CORNERS) ? 1 : 0;
  a.cornerRadius = bc.GetFloat(ARROW_CORNER_RADIUS);
  a.cornerOption = bc.GetBool(ARROW_CORNER_OPTION) ? 1 : 0;
  return a;
}

}  // namespace

SplineObject* SMPlugin::GenerateArrow(Arrow arrow) {
  // The count is settled first so the spline is allocated once, at its final size.
  const Int32 count = OutlinePointCount(arrow);
  SplineObject* spline = SplineObject::Alloc(count, kSplineTypeLinear);
  if (spline == nullptr) return nullptr;
  spline->GetDataInstance()->SetBool(SPLINEOBJECT_CLOSED, true);
  Vector* points = spline->GetPointW();
  if (points != nullptr) WriteOutline(arrow, points);
  spline->Message(HA_MSG_UPDATE);
  return spline;
}

void SMPlugin::OrientObject(SplineObject* spline, Int32 plane, Int32 reverse) {
  Vector* points = spline->GetPointW();
  if (points == nullptr) return;
  OrientPoints(points, spline->GetPointCount(), plane, reverse);
  spline->Message(HA_MSG_UPDATE);
}

SplineObject* SMPlugin::GetContour(BaseObject* op, BaseDocument*, Float, BaseThread*) {
  const BaseContainer* bc = op->GetDataInstance();
  SplineObject* spline = GenerateArrow(ReadArrow(*bc));
  if (spline == nullptr) return nullptr;
  // The object's settings read together, in ID order, then written.
  const Int32 interpolation = bc->GetInt32(ARROW_POINT_INTERPOLATION);
  const Int32 pointCount = bc->GetInt32(ARROW_POINT_COUNT);
  const Float pointAngle = bc->GetFloat(ARROW_POINT_ANGLE);
  const Float pointMaxLength = bc->GetFloat(ARROW_POINT_MAX_LENGTH);
  const Int32 plane = bc->GetInt32(ARROW_PLANE);
  const Int32 reverse = bc->GetBool(ARROW_REVERSE) ? 1 : 0;
  BaseContainer* sbc = spline->GetDataInstance();
  sbc->SetInt32(ARROW_POINT_INTERPOLATION, interpolation);
  sbc->SetInt32(ARROW_POINT_COUNT, pointCount);
  sbc->SetFloat(ARROW_POINT_ANGLE, pointAngle);
  sbc->SetFloat(ARROW_POINT_MAX_LENGTH, pointMaxLength);
  OrientObject(spline, plane, reverse);
  return spline;
}
