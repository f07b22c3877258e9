// The arrow's flat outline.
//
// Every outline is symmetric about the x axis and is built from its upper half
// (y >= 0), listed from the tail end toward the tip. It is written as: an
// optional point on the axis at the back, the upper points, an optional tip on
// the axis, then the lower half as the mirror images (x, -y) of the upper
// points in reverse order. Seen from +Z this runs clockwise. The double-headed
// outline writes its right head that way and closes with the mirror images
// (-x, y) of those points in reverse order, which draws the left head.
#include "outline.h"

#include <cmath>
#include <utility>

namespace {

constexpr Int32 kMaxUpperPoints = 8;

Vector Point(Float x, Float y) { return Vector(x, y, 0.0); }

bool On(Int32 flag) { return flag != 0; }

// One half of an outline, gathered on the stack before it is written out.
struct HalfOutline {
  Vector back;  // on the axis, written first (notch point, head-only back point)
  bool hasBack = false;
  Vector upper[kMaxUpperPoints];
  Int32 upperCount = 0;
  Vector tip;  // on the axis, written between the upper and the lower half
  bool hasTip = false;

  void SetBack(Float x) {
    back = Point(x, 0.0);
    hasBack = true;
  }
  void Add(Vector p) { upper[upperCount++] = p; }
  void Add(Float x, Float y) { Add(Point(x, y)); }
  void SetTip(Float x) {
    tip = Point(x, 0.0);
    hasTip = true;
  }
};

// Writes the half and its mirror image below the axis; answers the number of
// points written.
Int32 WriteMirrored(const HalfOutline& half, Vector* out) {
  Int32 n = 0;
  if (half.hasBack) out[n++] = half.back;
  for (Int32 i = 0; i < half.upperCount; ++i) out[n++] = half.upper[i];
  if (half.hasTip) out[n++] = half.tip;
  for (Int32 i = half.upperCount - 1; i >= 0; --i) out[n++] = Point(half.upper[i].x, -half.upper[i].y);
  return n;
}

// The chevron's outer barb end. `flat` is the end parallel to the axis, at
// depth D behind the barb point; the square form moves it along the front
// edge (angle theta) to the foot of the perpendicular from the barb point.
Vector BarbEnd(Vector flat, Float depth, Float theta, Int32 squareEnds) {
  if (!On(squareEnds)) return flat;
  const Float c = depth * std::cos(theta);
  return Point(flat.x - c * std::cos(theta), flat.y + c * std::sin(theta));
}

// The distance used at one bevelled corner: r, or `most` when that is smaller.
// Written so that a `most` that is not a number leaves r as it is.
Float LimitBevel(Float r, Float most) { return most < r ? most : r; }

// Measures shared by the single-headed shaft outlines.
struct ShaftMeasures {
  Float h;   // half the overall length: tail at -h, tip at +h
  Float xb;  // x of the head base
  Float xs;  // x of the barb points
  Float yb;  // y of the upper barb point
  Float a;   // narrowing of the half-width at the tail end
  Float hh;  // narrowing of the half-width at the head end
};

ShaftMeasures MeasureShaft(const Arrow& arrow) {
  const Float L = arrow.shaftLength;
  const Float W = arrow.shaftWidth;
  const Float Lh = arrow.headLength;
  ShaftMeasures m;
  m.h = (L + Lh) / 2.0;
  m.xb = m.h - Lh;
  m.xs = m.h - Lh - arrow.barbSweep;
  m.yb = (W + 2.0 * arrow.barbWidth) / 2.0;
  m.a = W * arrow.tailTaper / 2.0;
  m.hh = W * arrow.headTaper / 2.0;
  return m;
}

// The notch point (when there is a notch) and the outer tail corner.
void AddTail(const Arrow& arrow, const ShaftMeasures& m, HalfOutline& half) {
  if (arrow.tailNotch > 0.0) half.SetBack(-(m.h - arrow.tailNotch));
  half.Add(-m.h, arrow.shaftWidth / 2.0 - m.a);
}

// The fin's three outer points and the front of its root. A fin is a
// parallelogram: its root runs along the shaft edge from the tail end to
// x = -(h - Fl); its outer edge is the root moved back by Fs and out by Fh,
// following the tapered shaft edge.
void AddFin(const Arrow& arrow, const ShaftMeasures& m, HalfOutline& half) {
  const Float L = arrow.shaftLength;
  const Float halfW = arrow.shaftWidth / 2.0;
  const Float Fl = arrow.fletchLength;
  const Float Fh = arrow.fletchHeight;
  const Float Fs = arrow.fletchSweep;
  const Float e1 = (m.a / L) * (L - Fl) + (m.hh / L) * Fl;
  const Float e2 = (m.a / L) * (L - Fl + Fs) + (m.hh / L) * Fl;
  const Float e3 = (m.a / L) * (L + Fs);
  half.Add(-(m.h + Fs), halfW + Fh - e3);
  half.Add(-(m.h - Fl + Fs), halfW + Fh - e2);
  half.Add(-(m.h - Fl), halfW - e1);
}

// The head from the point where it meets the shaft edge on, and the tip.
void AddHead(const Arrow& arrow, const ShaftMeasures& m, HalfOutline& half) {
  const Float edgeY = arrow.shaftWidth / 2.0 - m.hh;
  if (On(arrow.chevronHead)) {
    // Slope of the front edge; the back edge runs parallel to it, D behind.
    const Float u = (arrow.barbWidth + arrow.shaftWidth / 2.0) /
                    (arrow.headLength - arrow.chevronDepth + arrow.barbSweep);
    const Float xj = m.xs + arrow.barbWidth / u + m.hh / u;
    half.Add(xj, edgeY);
    half.Add(m.xs, m.yb);
    half.Add(BarbEnd(Point(m.xs + arrow.chevronDepth, m.yb), arrow.chevronDepth, std::atan(u),
                     arrow.squareBarbEnds));
  } else {
    half.Add(m.xb, edgeY);
    half.Add(m.xs, m.yb);
  }
  half.SetTip(m.h);
}

Int32 WriteShaft(const Arrow& arrow, Vector* out) {
  const ShaftMeasures m = MeasureShaft(arrow);
  HalfOutline half;
  AddTail(arrow, m, half);
  AddHead(arrow, m, half);
  return WriteMirrored(half, out);
}

Int32 WriteFletched(const Arrow& arrow, Vector* out) {
  const ShaftMeasures m = MeasureShaft(arrow);
  HalfOutline half;
  AddTail(arrow, m, half);
  AddFin(arrow, m, half);
  AddHead(arrow, m, half);
  return WriteMirrored(half, out);
}

// Bevelled shaft outline: each corner becomes two points at distance r from it
// (less where r does not fit, see below), one along each edge meeting there.
// The tapers and the barb sweep are not used: the shaft edge is taken at
// y = W/2, the head's back edge at right angles to the axis with its barb
// corner at (xb, Yb), and the front edge at the angle atan(Wb / Lh).
Int32 WriteShaftBevelled(const Arrow& arrow, Vector* out) {
  const ShaftMeasures m = MeasureShaft(arrow);
  const Float halfW = arrow.shaftWidth / 2.0;
  const Float N = arrow.tailNotch;
  const Float r = arrow.cornerRadius;
  const Float beta = std::atan(arrow.barbWidth / arrow.headLength);
  const Float cb = std::cos(beta);
  const Float sb = std::sin(beta);
  // Every corner is bevelled, so each edge carries a bevel point from each of
  // its two ends. A distance above half the edge would put those two points
  // past each other and the outline would fold over itself (a tooth where the
  // edge runs backwards). So each corner uses r limited to half the length of
  // both its edges; where every bevel fits this is r itself and the points are
  // exactly those of the formulas below. Edge lengths: the tail edge from the
  // notch point to the tail corner (or, without a notch, the straight tail
  // W long), the shaft edge L, the head's back edge Wb, and the front edge
  // taken at the angle beta across the head's length Lh.
  const Float tailEdge = N > 0.0 ? std::hypot(N, halfW) : std::fabs(arrow.shaftWidth);
  const Float shaftEdge = std::fabs(arrow.shaftLength);
  const Float backEdge = std::fabs(arrow.barbWidth);
  const Float frontEdge = std::hypot(arrow.headLength, arrow.barbWidth);
  const Float rNotch = LimitBevel(r, tailEdge / 2.0);
  const Float rTail = LimitBevel(LimitBevel(r, tailEdge / 2.0), shaftEdge / 2.0);
  const Float rBase = LimitBevel(LimitBevel(r, shaftEdge / 2.0), backEdge / 2.0);
  const Float rBarb = LimitBevel(LimitBevel(r, backEdge / 2.0), frontEdge / 2.0);
  const Float rTip = LimitBevel(r, frontEdge / 2.0);
  HalfOutline half;
  if (N > 0.0) {
    const Float alpha = std::atan(halfW / N);
    const Float ca = std::cos(alpha);
    const Float sa = std::sin(alpha);
    half.Add(-(m.h - N + rNotch * ca), rNotch * sa);
    half.Add(-(m.h - rTail * ca), halfW - rTail * sa);
  } else {
    half.Add(-m.h, halfW - rTail);
  }
  half.Add(-(m.h - rTail), halfW);
  half.Add(m.xb - rBase, halfW);
  half.Add(m.xb, halfW + rBase);
  half.Add(m.xb, m.yb - rBarb);
  half.Add(m.xb + rBarb * cb, m.yb - rBarb * sb);
  half.Add(m.h - rTip * cb, rTip * sb);
  return WriteMirrored(half, out);
}

// Head-only outline: the head centred on the origin, base at -Lh/2, tip at
// +Lh/2, Wb being its half-width.
Int32 WriteHeadOnly(const Arrow& arrow, Vector* out) {
  const Float halfLh = arrow.headLength / 2.0;
  const Float S = arrow.barbSweep;
  const Float Wb = arrow.barbWidth;
  HalfOutline half;
  if (On(arrow.chevronHead)) {
    const Float D = arrow.chevronDepth;
    const Float theta = std::atan(Wb / (arrow.headLength - D + S));
    half.SetBack(halfLh - D);
    half.Add(-(halfLh + S), Wb);
    half.Add(BarbEnd(Point(-(halfLh + S - D), Wb), D, theta, arrow.squareBarbEnds));
  } else {
    if (S > 0.0) half.SetBack(-halfLh);
    half.Add(-(halfLh + S), Wb);
  }
  half.SetTip(halfLh);
  return WriteMirrored(half, out);
}

// Bevelled head-only outline, with the front edge at the angle atan(Wb / Lh)
// measured from the unswept barb corner (-Lh/2, Wb).
Int32 WriteHeadOnlyBevelled(const Arrow& arrow, Vector* out) {
  const Float halfLh = arrow.headLength / 2.0;
  const Float S = arrow.barbSweep;
  const Float Wb = arrow.barbWidth;
  const Float r = arrow.cornerRadius;
  const Float beta = std::atan(Wb / arrow.headLength);
  const Float cb = std::cos(beta);
  const Float sb = std::sin(beta);
  // As on the shaft outline, each corner uses r limited to half the length of
  // both its edges, or the bevel points of an edge's two ends would pass each
  // other and the outline would fold over itself. The back edge, taken at
  // right angles to the axis, runs from the back point up to the barb (Wb
  // long) when there is a sweep, otherwise from the barb down to its mirror
  // image (2 Wb long); the front edge is taken at the angle beta across Lh.
  const Float backEdge = (S > 0.0 ? 1.0 : 2.0) * std::fabs(Wb);
  const Float frontEdge = std::hypot(arrow.headLength, Wb);
  const Float rBack = LimitBevel(r, backEdge / 2.0);
  const Float rBarb = LimitBevel(LimitBevel(r, backEdge / 2.0), frontEdge / 2.0);
  const Float rTip = LimitBevel(r, frontEdge / 2.0);
  HalfOutline half;
  if (S > 0.0) half.Add(-halfLh, rBack);
  half.Add(-(halfLh + S), Wb - rBarb);
  half.Add(-(halfLh - rBarb * cb), Wb - rBarb * sb);
  half.Add(halfLh - rTip * cb, rTip * sb);
  return WriteMirrored(half, out);
}

// Double-headed outline: the right head (on a shaft of width Wd reaching to
// its base) mirrored below the axis, then all of it mirrored to the left.
Int32 WriteDoubleHeaded(const Arrow& arrow, Vector* out) {
  const Float Lh = arrow.headLength;
  const Float Wb = arrow.barbWidth;
  const Float Wd = arrow.doubleShaftWidth;
  const Float hd = (arrow.doubleShaftLength + 2.0 * Lh) / 2.0;
  const Float xbd = hd - Lh;
  const Float xsd = hd - Lh - arrow.barbSweep;
  const Float ybd = (Wd + 2.0 * Wb) / 2.0;
  HalfOutline half;
  if (On(arrow.chevronHead)) {
    const Float D = arrow.chevronDepth;
    const Float ud = (Wb + Wd / 2.0) / (Lh - D + arrow.barbSweep);
    half.Add(xsd + Wb / ud, Wd / 2.0);
    half.Add(xsd, ybd);
    half.Add(BarbEnd(Point(xsd + D, ybd), D, std::atan(ud), arrow.squareBarbEnds));
  } else {
    half.Add(xbd, Wd / 2.0);
    half.Add(xsd, ybd);
  }
  half.SetTip(hd);
  const Int32 right = WriteMirrored(half, out);
  for (Int32 k = 0; k < right; ++k) {
    const Vector& p = out[right - 1 - k];
    out[right + k] = Point(-p.x, p.y);
  }
  return 2 * right;
}

}  // namespace

OutlineKind ChooseOutline(const Arrow& arrow) {
  // Bevelled geometry is defined for the plain head only. A chevron head with
  // round corners stays sharp and keeps its sharp point count: reserving a
  // doubled count would leave points without defined coordinates.
  const bool bevel = On(arrow.roundCorners) && arrow.cornerRadius > 0.0 && !On(arrow.chevronHead);
  if (On(arrow.doubleHeaded)) return OutlineKind::DoubleHeaded;
  if (On(arrow.hasShaft)) {
    if (On(arrow.fletching)) return OutlineKind::Fletched;
    return bevel ? OutlineKind::ShaftBevelled : OutlineKind::Shaft;
  }
  return bevel ? OutlineKind::HeadOnlyBevelled : OutlineKind::HeadOnly;
}

Int32 OutlinePointCount(const Arrow& arrow) {
  const bool chevron = On(arrow.chevronHead);
  const Int32 notch = arrow.tailNotch > 0.0 ? 1 : 0;
  const Int32 sweep = arrow.barbSweep > 0.0 ? 1 : 0;
  switch (ChooseOutline(arrow)) {
    case OutlineKind::DoubleHeaded:
      return chevron ? 14 : 10;
    case OutlineKind::Fletched:
      return (chevron ? 15 : 13) + notch;
    case OutlineKind::Shaft:
      return (chevron ? 9 : 7) + notch;
    case OutlineKind::ShaftBevelled:
      return 14 + 2 * notch;
    case OutlineKind::HeadOnly:
      return chevron ? 6 : 3 + sweep;
    case OutlineKind::HeadOnlyBevelled:
      return 6 + 2 * sweep;
  }
  return 0;
}

void WriteOutline(const Arrow& arrow, Vector* points) {
  switch (ChooseOutline(arrow)) {
    case OutlineKind::DoubleHeaded:
      WriteDoubleHeaded(arrow, points);
      return;
    case OutlineKind::Fletched:
      WriteFletched(arrow, points);
      return;
    case OutlineKind::Shaft:
      WriteShaft(arrow, points);
      return;
    case OutlineKind::ShaftBevelled:
      WriteShaftBevelled(arrow, points);
      return;
    case OutlineKind::HeadOnly:
      WriteHeadOnly(arrow, points);
      return;
    case OutlineKind::HeadOnlyBevelled:
      WriteHeadOnlyBevelled(arrow, points);
      return;
  }
}

void OrientPoints(Vector* points, Int32 count, Int32 plane, Int32 reverse) {
  if (points == nullptr) return;
  if (plane == 1) {
    for (Int32 i = 0; i < count; ++i) {
      const Vector p = points[i];
      points[i] = Vector(-p.z, p.y, p.x);
    }
  } else if (plane == 2) {
    for (Int32 i = 0; i < count; ++i) {
      const Vector p = points[i];
      points[i] = Vector(p.x, -p.z, p.y);
    }
  }
  if (reverse != 0) {
    // ceil(count / 2) exchanges; for an odd count the middle point is
    // exchanged with itself.
    const Int32 exchanges = count / 2 + count % 2;
    for (Int32 i = 0; i < exchanges; ++i) std::swap(points[i], points[count - 1 - i]);
  }
}
