// The arrow's flat outline: the shape record, the choice of outline, its point
// count, the points themselves, and turning/reversing a point array.
//
// The outline lies in the XY plane (z = 0), is centred on the origin, points
// along +X and runs clockwise seen from +Z. Everything here is a pure function
// of its arguments: no allocation, no state, no clamping and no range tests, so
// a zero divisor yields infinite or undefined coordinates by floating-point
// rules.
#ifndef TOLVANE_OUTLINE_H
#define TOLVANE_OUTLINE_H

#include <type_traits>

#include "api_types.h"

// The shape parameters of one arrow. Flags are non-zero for on; measures are in
// scene units (the tapers are fractions of the shaft half-width).
struct Arrow {
  Float shaftLength;        // L: tail end to head base (single-headed)
  Float shaftWidth;         // W: full shaft width (single-headed)
  Float headLength;         // Lh: head base to tip, along the axis
  Float barbWidth;          // Wb: barb beyond the shaft edge; head-only: half the head width
  Int32 chevronHead;        // head drawn as a chevron
  Int32 squareBarbEnds;     // chevron barb ends cut at right angles to the front edge
  Float chevronDepth;       // D: chevron thickness along the axis
  Float tailNotch;          // N: depth of the V notch in the tail end
  Float headTaper;          // Th: fraction of the half-width removed at the head end
  Float tailTaper;          // Tt: fraction of the half-width removed at the tail end
  Float barbSweep;          // S: how far the barb points lie behind the head base
  Int32 hasShaft;           // off gives the head-only outline
  Int32 fletching;          // fins on both sides of the tail end
  Float fletchLength;       // Fl: length of a fin's root along the shaft edge
  Float fletchHeight;       // Fh: how far a fin stands out
  Float fletchSweep;        // Fs: how far a fin's outer edge is shifted back
  Float cornerRadius;       // r: distance of the two bevel points from their corner (at most half an edge)
  Int32 roundCorners;       // corners bevelled
  Int32 cornerOption;       // carried along; the outline does not read it
  Int32 doubleHeaded;       // a head at both ends
  Float doubleShaftLength;  // Ld: shaft length between the two head bases
  Float doubleShaftWidth;   // Wd: shaft width of the double-headed arrow
};

static_assert(std::is_trivially_copyable<Arrow>::value && std::is_standard_layout<Arrow>::value,
              "Arrow is a plain value record");

// The outline drawn for a record. The bevelled kinds exist only with a plain
// head; the chevron head is a variant within each kind.
enum class OutlineKind : Int32 {
  DoubleHeaded,
  Fletched,
  Shaft,
  ShaftBevelled,
  HeadOnly,
  HeadOnlyBevelled,
};

// The largest point count any outline has (bevelled shaft with a notch, or
// fletched chevron with a notch).
constexpr Int32 kMaxOutlinePoints = 16;

// Which outline the record draws.
OutlineKind ChooseOutline(const Arrow& arrow);

// Number of points WriteOutline writes for the record.
Int32 OutlinePointCount(const Arrow& arrow);

// Writes exactly OutlinePointCount(arrow) points into `points`.
void WriteOutline(const Arrow& arrow, Vector* points);

// Turns the points into another plane (1: (x,y,z) -> (-z,y,x); 2: (x,y,z) ->
// (x,-z,y); any other value: unchanged), then reverses their order when
// `reverse` is non-zero. Does nothing for a null array.
void OrientPoints(Vector* points, Int32 count, Int32 plane, Int32 reverse);

#endif
