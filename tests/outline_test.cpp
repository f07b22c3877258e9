// Tests of the arrow outline kernel: outline choice, point counts, the points of
// every outline, their symmetry and winding, the bevel rules, and turning and
// reversing point arrays.
#include "../source/outline.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

namespace {

// ---------------------------------------------------------------------------
// Record layout: the 22 fields in their declared order and types.

template <typename T, typename U>
constexpr bool kSameType = std::is_same<T, U>::value;

static_assert(kSameType<decltype(Arrow::shaftLength), Float> && kSameType<decltype(Arrow::shaftWidth), Float> &&
                  kSameType<decltype(Arrow::headLength), Float> && kSameType<decltype(Arrow::barbWidth), Float> &&
                  kSameType<decltype(Arrow::chevronHead), Int32> &&
                  kSameType<decltype(Arrow::squareBarbEnds), Int32> &&
                  kSameType<decltype(Arrow::chevronDepth), Float> && kSameType<decltype(Arrow::tailNotch), Float> &&
                  kSameType<decltype(Arrow::headTaper), Float> && kSameType<decltype(Arrow::tailTaper), Float> &&
                  kSameType<decltype(Arrow::barbSweep), Float> && kSameType<decltype(Arrow::hasShaft), Int32> &&
                  kSameType<decltype(Arrow::fletching), Int32> && kSameType<decltype(Arrow::fletchLength), Float> &&
                  kSameType<decltype(Arrow::fletchHeight), Float> && kSameType<decltype(Arrow::fletchSweep), Float> &&
                  kSameType<decltype(Arrow::cornerRadius), Float> && kSameType<decltype(Arrow::roundCorners), Int32> &&
                  kSameType<decltype(Arrow::cornerOption), Int32> && kSameType<decltype(Arrow::doubleHeaded), Int32> &&
                  kSameType<decltype(Arrow::doubleShaftLength), Float> &&
                  kSameType<decltype(Arrow::doubleShaftWidth), Float>,
              "Arrow field types");

static_assert(offsetof(Arrow, shaftLength) < offsetof(Arrow, shaftWidth) &&
                  offsetof(Arrow, shaftWidth) < offsetof(Arrow, headLength) &&
                  offsetof(Arrow, headLength) < offsetof(Arrow, barbWidth) &&
                  offsetof(Arrow, barbWidth) < offsetof(Arrow, chevronHead) &&
                  offsetof(Arrow, chevronHead) < offsetof(Arrow, squareBarbEnds) &&
                  offsetof(Arrow, squareBarbEnds) < offsetof(Arrow, chevronDepth) &&
                  offsetof(Arrow, chevronDepth) < offsetof(Arrow, tailNotch) &&
                  offsetof(Arrow, tailNotch) < offsetof(Arrow, headTaper) &&
                  offsetof(Arrow, headTaper) < offsetof(Arrow, tailTaper) &&
                  offsetof(Arrow, tailTaper) < offsetof(Arrow, barbSweep) &&
                  offsetof(Arrow, barbSweep) < offsetof(Arrow, hasShaft) &&
                  offsetof(Arrow, hasShaft) < offsetof(Arrow, fletching) &&
                  offsetof(Arrow, fletching) < offsetof(Arrow, fletchLength) &&
                  offsetof(Arrow, fletchLength) < offsetof(Arrow, fletchHeight) &&
                  offsetof(Arrow, fletchHeight) < offsetof(Arrow, fletchSweep) &&
                  offsetof(Arrow, fletchSweep) < offsetof(Arrow, cornerRadius) &&
                  offsetof(Arrow, cornerRadius) < offsetof(Arrow, roundCorners) &&
                  offsetof(Arrow, roundCorners) < offsetof(Arrow, cornerOption) &&
                  offsetof(Arrow, cornerOption) < offsetof(Arrow, doubleHeaded) &&
                  offsetof(Arrow, doubleHeaded) < offsetof(Arrow, doubleShaftLength) &&
                  offsetof(Arrow, doubleShaftLength) < offsetof(Arrow, doubleShaftWidth),
              "Arrow field order");

// ---------------------------------------------------------------------------
// Helpers.

// The object's default parameter values.
Arrow DefaultArrow() {
  Arrow a{};
  a.shaftLength = 400;
  a.shaftWidth = 100;
  a.headLength = 100;
  a.barbWidth = 50;
  a.chevronHead = 0;
  a.squareBarbEnds = 0;
  a.chevronDepth = 50;
  a.tailNotch = 0;
  a.headTaper = 0;
  a.tailTaper = 0;
  a.barbSweep = 0;
  a.hasShaft = 1;
  a.fletching = 0;
  a.fletchLength = 100;
  a.fletchHeight = 50;
  a.fletchSweep = 50;
  a.cornerRadius = 10;
  a.roundCorners = 0;
  a.cornerOption = 1;
  a.doubleHeaded = 0;
  a.doubleShaftLength = 400;
  a.doubleShaftWidth = 100;
  return a;
}

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
const Vector kGuard(1.0e300, -2.5e299, 4242.0);

bool SameBits(const Vector& a, const Vector& b) { return std::memcmp(&a, &b, sizeof(Vector)) == 0; }

bool SameBits(const std::vector<Vector>& a, const std::vector<Vector>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (!SameBits(a[i], b[i])) return false;
  return true;
}

// Writes the outline into a buffer prefilled with NaN, one guard slot past the
// end; checks that the guard slot is untouched and every z is exactly 0 (an
// unwritten slot keeps its NaN z).
std::vector<Vector> Generate(const Arrow& arrow) {
  const Int32 n = OutlinePointCount(arrow);
  if (n < 1 || n > kMaxOutlinePoints) {
    ADD_FAILURE() << "point count out of range: " << n;
    return {};
  }
  std::vector<Vector> buffer(static_cast<std::size_t>(n) + 1, Vector(kNaN, kNaN, kNaN));
  buffer.back() = kGuard;
  WriteOutline(arrow, buffer.data());
  EXPECT_TRUE(SameBits(buffer.back(), kGuard)) << "point written past the end";
  buffer.pop_back();
  for (std::size_t i = 0; i < buffer.size(); ++i) EXPECT_EQ(buffer[i].z, 0.0) << "point " << i << " not written";
  return buffer;
}

void ExpectAllFinite(const std::vector<Vector>& pts) {
  for (std::size_t i = 0; i < pts.size(); ++i) {
    EXPECT_TRUE(std::isfinite(pts[i].x) && std::isfinite(pts[i].y)) << "point " << i;
  }
}

struct P2 {
  double x, y;
};

// Compares exactly when tol is 0, otherwise within tol.
void ExpectPoints(const std::vector<Vector>& actual, const std::vector<P2>& expected, double tol) {
  ASSERT_EQ(actual.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE("point " + std::to_string(i));
    if (tol == 0.0) {
      EXPECT_EQ(actual[i].x, expected[i].x);
      EXPECT_EQ(actual[i].y, expected[i].y);
    } else {
      EXPECT_NEAR(actual[i].x, expected[i].x, tol);
      EXPECT_NEAR(actual[i].y, expected[i].y, tol);
    }
    EXPECT_EQ(actual[i].z, 0.0);
  }
}

double SignedArea(const std::vector<Vector>& pts) {
  double sum = 0.0;
  for (std::size_t i = 0; i < pts.size(); ++i) {
    const Vector& p = pts[i];
    const Vector& q = pts[(i + 1) % pts.size()];
    sum += p.x * q.y - q.x * p.y;
  }
  return sum / 2.0;
}

double Dist(const Vector& a, double x, double y) { return std::hypot(a.x - x, a.y - y); }

// Deterministic generator (splitmix64) so that every run sees the same shapes.
class Rng {
 public:
  explicit Rng(std::uint64_t seed) : state_(seed) {}
  std::uint64_t Next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  double Uniform(double lo, double hi) {
    const double unit = static_cast<double>(Next() >> 11) * (1.0 / 9007199254740992.0);
    return lo + (hi - lo) * unit;
  }
  bool Chance(double p) { return Uniform(0.0, 1.0) < p; }
  Int32 Flag(double p) { return Chance(p) ? 1 : 0; }

 private:
  std::uint64_t state_;
};

// A random record within ranges that keep every outline a simple polygon: the
// barbs stand out far enough that the front edge clears the shaft, sweeps and
// notches stay well inside the shaft, chevron depths stay below the head's
// length, fins stand clear of the shaft and bevel radii are small against
// every edge. Flags are random, so every outline kind occurs.
Arrow RandomArrow(Rng& rng) {
  Arrow a{};
  a.doubleHeaded = rng.Flag(0.2);
  a.hasShaft = rng.Flag(0.75);
  a.fletching = rng.Flag(0.35);
  a.chevronHead = rng.Flag(0.4);
  a.squareBarbEnds = rng.Flag(0.5);
  a.roundCorners = rng.Flag(0.4);
  a.cornerOption = rng.Flag(0.5);

  a.shaftLength = rng.Uniform(20, 1000);
  a.shaftWidth = rng.Uniform(2, 300);
  a.doubleShaftLength = rng.Uniform(20, 1000);
  a.doubleShaftWidth = rng.Uniform(2, 300);
  a.headLength = rng.Uniform(10, 500);
  const bool single = a.doubleHeaded == 0;
  const double width = single ? a.shaftWidth : a.doubleShaftWidth;
  const double length = single ? a.shaftLength : a.doubleShaftLength;
  a.barbWidth = width * rng.Uniform(0.3, 1.5) + rng.Uniform(1, 50);

  a.tailTaper = rng.Chance(0.4) ? 0.0 : rng.Uniform(0, 0.5);
  a.headTaper = rng.Chance(0.4) ? 0.0 : rng.Uniform(0, 0.5);
  if (rng.Chance(0.3))
    a.barbSweep = 0.0;
  else
    a.barbSweep = rng.Uniform(-0.3 * a.headLength, 0.4 * std::min(a.headLength, length));
  if (rng.Chance(0.4))
    a.tailNotch = 0.0;
  else if (rng.Chance(0.15))
    a.tailNotch = -rng.Uniform(1, 50);
  else
    a.tailNotch = rng.Uniform(1e-3, 0.4 * a.shaftLength);
  a.chevronDepth = rng.Uniform(0.05, 0.8) * (a.headLength + a.barbSweep);

  a.fletchLength = rng.Uniform(0.05, 0.5) * a.shaftLength;
  a.fletchHeight = 0.3 * a.shaftWidth + rng.Uniform(1, 150);
  a.fletchSweep = rng.Chance(0.2) ? 0.0 : rng.Uniform(0, a.fletchLength);

  const double smallest = std::min({a.shaftWidth, a.barbWidth, a.headLength, a.shaftLength});
  a.cornerRadius = rng.Chance(0.15) ? -rng.Uniform(0, 10) : rng.Uniform(0.01, 0.2 * smallest);
  return a;
}

// True when the outline starts with a point on the axis: the notch point, or
// the back point of a head-only outline.
bool StartsOnAxis(const Arrow& a) {
  switch (ChooseOutline(a)) {
    case OutlineKind::Fletched:
    case OutlineKind::Shaft:
      return a.tailNotch > 0.0;
    case OutlineKind::HeadOnly:
      return a.chevronHead != 0 || a.barbSweep > 0.0;
    default:
      return false;
  }
}

// ---------------------------------------------------------------------------
// Worked examples.

struct Example {
  const char* name;
  void (*adjust)(Arrow&);
  std::vector<P2> points;
  double tol;  // 0: every value is exact
};

TEST(OutlineExamples, WorkedExamples) {
  const std::vector<Example> examples = {
      {"defaults",
       [](Arrow&) {},
       {{-250, 50}, {150, 50}, {150, 100}, {250, 0}, {150, -100}, {150, -50}, {-250, -50}},
       0.0},
      {"chevron",
       [](Arrow& a) { a.chevronHead = 1; },
       {{-250, 50}, {175, 50}, {150, 100}, {200, 100}, {250, 0}, {200, -100}, {150, -100}, {175, -50}, {-250, -50}},
       0.0},
      {"chevron with square ends",
       [](Arrow& a) {
         a.chevronHead = 1;
         a.squareBarbEnds = 1;
       },
       {{-250, 50}, {175, 50}, {150, 100}, {190, 120}, {250, 0}, {190, -120}, {150, -100}, {175, -50}, {-250, -50}},
       1e-3},
      {"tail notch 50",
       [](Arrow& a) { a.tailNotch = 50; },
       {{-200, 0}, {-250, 50}, {150, 50}, {150, 100}, {250, 0}, {150, -100}, {150, -50}, {-250, -50}},
       0.0},
      {"both tapers 0.5",
       [](Arrow& a) {
         a.headTaper = 0.5;
         a.tailTaper = 0.5;
       },
       {{-250, 25}, {150, 25}, {150, 100}, {250, 0}, {150, -100}, {150, -25}, {-250, -25}},
       0.0},
      {"fletching",
       [](Arrow& a) { a.fletching = 1; },
       {{-250, 50},
        {-300, 100},
        {-200, 100},
        {-150, 50},
        {150, 50},
        {150, 100},
        {250, 0},
        {150, -100},
        {150, -50},
        {-150, -50},
        {-200, -100},
        {-300, -100},
        {-250, -50}},
       0.0},
      {"round corners r 10",
       [](Arrow& a) { a.roundCorners = 1; },
       {{-250, 40},
        {-240, 50},
        {140, 50},
        {150, 60},
        {150, 90},
        {158.944, 95.528},
        {241.056, 4.472},
        {241.056, -4.472},
        {158.944, -95.528},
        {150, -90},
        {150, -60},
        {140, -50},
        {-240, -50},
        {-250, -40}},
       1e-3},
      {"shaft off", [](Arrow& a) { a.hasShaft = 0; }, {{-50, 50}, {50, 0}, {-50, -50}}, 0.0},
      {"shaft off, chevron",
       [](Arrow& a) {
         a.hasShaft = 0;
         a.chevronHead = 1;
       },
       {{0, 0}, {-50, 50}, {0, 50}, {50, 0}, {0, -50}, {-50, -50}},
       0.0},
      {"double-headed",
       [](Arrow& a) { a.doubleHeaded = 1; },
       {{200, 50},
        {200, 100},
        {300, 0},
        {200, -100},
        {200, -50},
        {-200, -50},
        {-200, -100},
        {-300, 0},
        {-200, 100},
        {-200, 50}},
       0.0},
  };
  for (const Example& ex : examples) {
    SCOPED_TRACE(ex.name);
    Arrow a = DefaultArrow();
    ex.adjust(a);
    EXPECT_EQ(OutlinePointCount(a), static_cast<Int32>(ex.points.size()));
    ExpectPoints(Generate(a), ex.points, ex.tol);
  }
}

// The worked example's values, followed through the formulas for a case the
// table does not list: double-headed chevron with square ends.
TEST(OutlineExamples, DoubleHeadedChevronSquareEnds) {
  Arrow a = DefaultArrow();
  a.doubleHeaded = 1;
  a.chevronHead = 1;
  a.squareBarbEnds = 1;
  // hd = 300, xsd = 200, Ybd = 100, ud = 100 / 50 = 2, xjd = 225; the square
  // barb end moves (250, 100) by c = 50 / sqrt 5 along (-1, 2) / sqrt 5.
  ExpectPoints(Generate(a),
               {{225, 50},
                {200, 100},
                {240, 120},
                {300, 0},
                {240, -120},
                {200, -100},
                {225, -50},
                {-225, -50},
                {-200, -100},
                {-240, -120},
                {-300, 0},
                {-240, 120},
                {-200, 100},
                {-225, 50}},
               1e-9);
}

TEST(OutlineExamples, HeadOnlyWithSweepAndBevel) {
  Arrow a = DefaultArrow();
  a.hasShaft = 0;
  a.barbSweep = 20;
  // Back point on the axis at the head base, barbs 20 behind it.
  ExpectPoints(Generate(a), {{-50, 0}, {-70, 50}, {50, 0}, {-70, -50}}, 0.0);

  a.roundCorners = 1;
  // beta = atan(1/2): cos = 2 / sqrt 5, sin = 1 / sqrt 5, r = 10.
  const double c = 20.0 / std::sqrt(5.0);
  const double s = 10.0 / std::sqrt(5.0);
  ExpectPoints(Generate(a),
               {{-50, 10},
                {-70, 40},
                {-(50 - c), 50 - s},
                {50 - c, s},
                {50 - c, -s},
                {-(50 - c), -(50 - s)},
                {-70, -40},
                {-50, -10}},
               1e-9);
}

// ---------------------------------------------------------------------------
// Outline choice and point counts.

void Plain(Arrow&) {}
void Chevron(Arrow& a) { a.chevronHead = 1; }
void Notch(Arrow& a) { a.tailNotch = 30; }
void NegNotch(Arrow& a) { a.tailNotch = -5; }
void Sweep(Arrow& a) { a.barbSweep = 30; }
void NegSweep(Arrow& a) { a.barbSweep = -20; }
void Bevel(Arrow& a) { a.roundCorners = 1; }
void Fletch(Arrow& a) { a.fletching = 1; }
void NoShaft(Arrow& a) { a.hasShaft = 0; }
void Double(Arrow& a) { a.doubleHeaded = 1; }

TEST(OutlineCount, TableOverAllOutlines) {
  using K = OutlineKind;
  struct Row {
    std::vector<void (*)(Arrow&)> adjust;
    K kind;
    Int32 count;
  };
  const std::vector<Row> rows = {
      // double-headed: 10 / 14, nothing else counts
      {{Double}, K::DoubleHeaded, 10},
      {{Double, Chevron}, K::DoubleHeaded, 14},
      {{Double, Notch, Sweep}, K::DoubleHeaded, 10},
      {{Double, Chevron, Notch, Sweep}, K::DoubleHeaded, 14},
      {{Double, NoShaft, Fletch, Bevel}, K::DoubleHeaded, 10},
      {{Double, Chevron, NoShaft, Fletch, Bevel}, K::DoubleHeaded, 14},
      // fletched: 13 / 15, plus 1 for a positive notch
      {{Fletch}, K::Fletched, 13},
      {{Fletch, Notch}, K::Fletched, 14},
      {{Fletch, NegNotch}, K::Fletched, 13},
      {{Fletch, Sweep}, K::Fletched, 13},
      {{Fletch, Chevron}, K::Fletched, 15},
      {{Fletch, Chevron, Notch}, K::Fletched, 16},
      {{Fletch, Chevron, NegSweep}, K::Fletched, 15},
      {{Fletch, Bevel}, K::Fletched, 13},
      {{Fletch, Bevel, Notch}, K::Fletched, 14},
      {{Fletch, Chevron, Bevel, Notch}, K::Fletched, 16},
      // shaft: 7 / 9, plus 1 for a positive notch
      {{Plain}, K::Shaft, 7},
      {{Notch}, K::Shaft, 8},
      {{NegNotch}, K::Shaft, 7},
      {{Sweep}, K::Shaft, 7},
      {{NegSweep}, K::Shaft, 7},
      {{Chevron}, K::Shaft, 9},
      {{Chevron, Notch}, K::Shaft, 10},
      {{Chevron, NegNotch, Sweep}, K::Shaft, 9},
      // bevelled shaft: 14, plus 2 for a positive notch; sweep does not count
      {{Bevel}, K::ShaftBevelled, 14},
      {{Bevel, Notch}, K::ShaftBevelled, 16},
      {{Bevel, NegNotch}, K::ShaftBevelled, 14},
      {{Bevel, Sweep}, K::ShaftBevelled, 14},
      // chevron with round corners stays sharp with the sharp count
      {{Bevel, Chevron}, K::Shaft, 9},
      {{Bevel, Chevron, Notch}, K::Shaft, 10},
      // head-only: 3 plus 1 for a positive sweep; chevron always 6
      {{NoShaft}, K::HeadOnly, 3},
      {{NoShaft, Sweep}, K::HeadOnly, 4},
      {{NoShaft, NegSweep}, K::HeadOnly, 3},
      {{NoShaft, Notch}, K::HeadOnly, 3},
      {{NoShaft, Fletch}, K::HeadOnly, 3},
      {{NoShaft, Chevron}, K::HeadOnly, 6},
      {{NoShaft, Chevron, Sweep}, K::HeadOnly, 6},
      {{NoShaft, Chevron, NegSweep, Notch}, K::HeadOnly, 6},
      // bevelled head-only: 6, plus 2 for a positive sweep
      {{NoShaft, Bevel}, K::HeadOnlyBevelled, 6},
      {{NoShaft, Bevel, Sweep}, K::HeadOnlyBevelled, 8},
      {{NoShaft, Bevel, NegSweep}, K::HeadOnlyBevelled, 6},
      {{NoShaft, Bevel, Notch}, K::HeadOnlyBevelled, 6},
      {{NoShaft, Bevel, Chevron}, K::HeadOnly, 6},
      {{NoShaft, Bevel, Chevron, Sweep}, K::HeadOnly, 6},
  };
  for (std::size_t i = 0; i < rows.size(); ++i) {
    SCOPED_TRACE("row " + std::to_string(i));
    Arrow a = DefaultArrow();
    for (auto adjust : rows[i].adjust) adjust(a);
    EXPECT_EQ(ChooseOutline(a), rows[i].kind);
    EXPECT_EQ(OutlinePointCount(a), rows[i].count);
    // Exactly that many points are written, all of them finite.
    const std::vector<Vector> pts = Generate(a);
    EXPECT_EQ(pts.size(), static_cast<std::size_t>(rows[i].count));
    ExpectAllFinite(pts);
  }
}

TEST(OutlineCount, ChoiceFollowsFlagPriority) {
  Arrow a = DefaultArrow();
  a.hasShaft = 0;
  a.fletching = 1;
  EXPECT_EQ(ChooseOutline(a), OutlineKind::HeadOnly) << "fletching needs the shaft";
  a.hasShaft = 1;
  EXPECT_EQ(ChooseOutline(a), OutlineKind::Fletched);
  a.doubleHeaded = 1;
  EXPECT_EQ(ChooseOutline(a), OutlineKind::DoubleHeaded);
  // Any non-zero flag value means on.
  a = DefaultArrow();
  a.doubleHeaded = -7;
  EXPECT_EQ(ChooseOutline(a), OutlineKind::DoubleHeaded);
  a = DefaultArrow();
  a.roundCorners = 2;
  EXPECT_EQ(ChooseOutline(a), OutlineKind::ShaftBevelled);
}

// ---------------------------------------------------------------------------
// Properties over many shapes.

TEST(OutlineProperties, RandomShapes) {
  Rng rng(0x7017A4EULL);
  int seen[6] = {0, 0, 0, 0, 0, 0};
  for (int iter = 0; iter < 3000; ++iter) {
    const Arrow a = RandomArrow(rng);
    SCOPED_TRACE("shape " + std::to_string(iter));
    const OutlineKind kind = ChooseOutline(a);
    ++seen[static_cast<int>(kind)];
    const std::vector<Vector> p = Generate(a);
    const std::size_t n = p.size();
    ASSERT_GE(n, 3u);
    ExpectAllFinite(p);

    // Clockwise seen from +Z.
    EXPECT_LT(SignedArea(p), 0.0);

    // Every point has its mirror image about the x axis in the outline.
    double scale = 0.0;
    for (const Vector& v : p) scale = std::max({scale, std::fabs(v.x), std::fabs(v.y)});
    const double tol = 1e-9 * scale;
    for (const Vector& v : p) {
      const bool found = std::any_of(p.begin(), p.end(), [&](const Vector& w) {
        return std::fabs(w.x - v.x) <= tol && std::fabs(w.y + v.y) <= tol;
      });
      EXPECT_TRUE(found) << "no mirror image of (" << v.x << ", " << v.y << ")";
    }

    if (kind == OutlineKind::DoubleHeaded) {
      // Right head written first, then its mirror in x in reverse order; each
      // head on its own is symmetric about the axis with the tip in its middle.
      const std::size_t m = n / 2;
      for (std::size_t i = 0; i < n; ++i) {
        EXPECT_EQ(p[i].x, -p[n - 1 - i].x);
        EXPECT_EQ(p[i].y, p[n - 1 - i].y);
      }
      for (std::size_t i = 0; i < m; ++i) {
        EXPECT_EQ(p[i].x, p[m - 1 - i].x);
        EXPECT_EQ(p[i].y, -p[m - 1 - i].y);
      }
      EXPECT_GT(p[0].x, 0.0);
      EXPECT_EQ(p[m / 2].y, 0.0);
      EXPECT_EQ(p[m / 2].x, (a.doubleShaftLength + 2 * a.headLength) / 2);
      // Last point: the first point mirrored in x.
      EXPECT_EQ(p[n - 1].x, -p[0].x);
      EXPECT_EQ(p[n - 1].y, p[0].y);
    } else {
      const bool axisFirst = StartsOnAxis(a);
      EXPECT_EQ(p[0].y == 0.0, axisFirst);
      const std::size_t first = axisFirst ? 1 : 0;  // first point off the axis
      // Lower half: the upper points mirrored, in reverse order.
      for (std::size_t i = first; i < n; ++i) {
        const std::size_t j = n - 1 - (i - first);
        EXPECT_EQ(p[i].x, p[j].x);
        EXPECT_EQ(p[i].y, -p[j].y);
      }
      // Last point: the mirror of the first point off the axis.
      EXPECT_EQ(p[n - 1].x, p[first].x);
      EXPECT_EQ(p[n - 1].y, -p[first].y);
      if (axisFirst) {
        // The point on the axis occurs once.
        for (std::size_t i = 1; i < n; ++i) EXPECT_FALSE(p[i].x == p[0].x && p[i].y == 0.0);
      }
      const bool bevelled = kind == OutlineKind::ShaftBevelled || kind == OutlineKind::HeadOnlyBevelled;
      if (bevelled) {
        // No point on the axis: the tip is cut off into two points.
        for (const Vector& v : p) EXPECT_NE(v.y, 0.0);
      } else {
        // The tip on the axis in the middle, at +h (shaft) or +Lh/2 (head only).
        const Vector& tip = p[first + (n - first) / 2];
        EXPECT_EQ(tip.y, 0.0);
        const double tipX = a.hasShaft != 0 ? (a.shaftLength + a.headLength) / 2 : a.headLength / 2;
        EXPECT_EQ(tip.x, tipX);
        for (const Vector& v : p) EXPECT_LE(v.x, tipX);
      }
    }
  }
  for (int k = 0; k < 6; ++k) EXPECT_GT(seen[k], 50) << "outline kind " << k << " rarely drawn";
}

TEST(OutlineProperties, CornerOptionHasNoInfluence) {
  Rng rng(42);
  for (int iter = 0; iter < 500; ++iter) {
    Arrow a = RandomArrow(rng);
    a.cornerOption = 0;
    const std::vector<Vector> off = Generate(a);
    a.cornerOption = 1;
    const std::vector<Vector> on = Generate(a);
    EXPECT_TRUE(SameBits(off, on)) << "shape " << iter;
  }
}

TEST(OutlineProperties, DoubleHeadedIgnoresSingleArrowSettings) {
  Rng rng(7);
  for (int iter = 0; iter < 200; ++iter) {
    SCOPED_TRACE("shape " + std::to_string(iter));
    Arrow a = RandomArrow(rng);
    a.doubleHeaded = 1;
    const std::vector<Vector> base = Generate(a);
    Arrow b = a;
    b.hasShaft = 1 - a.hasShaft;
    b.fletching = 1 - a.fletching;
    b.headTaper = a.headTaper + 0.3;
    b.tailTaper = a.tailTaper + 0.2;
    b.tailNotch = a.tailNotch + 25;
    b.shaftLength = a.shaftLength * 2 + 1;
    b.shaftWidth = a.shaftWidth / 2 + 3;
    b.roundCorners = 1 - a.roundCorners;
    b.cornerRadius = a.cornerRadius + 5;
    b.cornerOption = 1 - a.cornerOption;
    b.fletchLength += 10;
    b.fletchHeight += 10;
    b.fletchSweep += 10;
    EXPECT_TRUE(SameBits(base, Generate(b)));
    // The values it does use change it.
    b = a;
    b.doubleShaftWidth += 10;
    EXPECT_FALSE(SameBits(base, Generate(b)));
    b = a;
    b.doubleShaftLength += 10;
    EXPECT_FALSE(SameBits(base, Generate(b)));
  }
}

// ---------------------------------------------------------------------------
// Edge cases of single outlines.

TEST(OutlineEdges, NotchOfZeroOrLessAddsNoPoint) {
  for (double notch : {0.0, -30.0}) {
    SCOPED_TRACE(notch);
    Arrow a = DefaultArrow();
    a.tailTaper = 0.2;  // a = 10
    a.tailNotch = notch;
    const std::vector<Vector> p = Generate(a);
    ASSERT_EQ(p.size(), 7u);
    EXPECT_EQ(p[0].x, -250.0);
    EXPECT_EQ(p[0].y, 40.0);
  }
}

TEST(OutlineEdges, SweepOfZeroOrLessGivesHeadOnlyTriangle) {
  Arrow a = DefaultArrow();
  a.hasShaft = 0;
  a.barbSweep = 0;
  ExpectPoints(Generate(a), {{-50, 50}, {50, 0}, {-50, -50}}, 0.0);
  // A negative sweep moves the barbs forward of the head base (-50).
  a.barbSweep = -20;
  ExpectPoints(Generate(a), {{-30, 50}, {50, 0}, {-30, -50}}, 0.0);
  // Likewise on the shaft outline: the barb points lie ahead of the base at 150.
  a = DefaultArrow();
  a.barbSweep = -20;
  ExpectPoints(Generate(a), {{-250, 50}, {150, 50}, {170, 100}, {250, 0}, {170, -100}, {150, -50}, {-250, -50}},
               0.0);
}

TEST(OutlineEdges, FletchFollowsTaperedShaftEdge) {
  Arrow a = DefaultArrow();
  a.fletching = 1;
  a.tailTaper = 0.4;  // a = 20
  a.headTaper = 0.2;  // H = 10
  // e1 = 20/400*300 + 10/400*100 = 17.5; e2 = 20/400*350 + 2.5 = 20;
  // e3 = 20/400*450 = 22.5.
  const std::vector<Vector> p = Generate(a);
  ExpectPoints(p,
               {{-250, 30},
                {-300, 77.5},
                {-200, 80},
                {-150, 32.5},
                {150, 40},
                {150, 100},
                {250, 0},
                {150, -100},
                {150, -40},
                {-150, -32.5},
                {-200, -80},
                {-300, -77.5},
                {-250, -30}},
               1e-12);
}

TEST(OutlineEdges, ChevronBackEdgeParallelAndSquareEndsAtRightAngle) {
  // Defaults with chevron: (150, 100) to (190, 120) against (190, 120) to (250, 0).
  Arrow d = DefaultArrow();
  d.chevronHead = 1;
  d.squareBarbEnds = 1;
  const std::vector<Vector> dp = Generate(d);
  ASSERT_EQ(dp.size(), 9u);
  EXPECT_NEAR((dp[3].x - dp[2].x) * (dp[4].x - dp[3].x) + (dp[3].y - dp[2].y) * (dp[4].y - dp[3].y), 0.0, 1e-9);

  Rng rng(99);
  int checked = 0;
  for (int iter = 0; iter < 1500; ++iter) {
    Arrow a = RandomArrow(rng);
    a.chevronHead = 1;
    a.squareBarbEnds = rng.Flag(0.7);
    SCOPED_TRACE("shape " + std::to_string(iter));
    const std::vector<Vector> p = Generate(a);
    const std::size_t n = p.size();
    // Index of the (right) tip: barb end just before it, barb point before that.
    std::size_t tipIndex;
    if (ChooseOutline(a) == OutlineKind::DoubleHeaded) {
      tipIndex = 3;
    } else {
      const std::size_t first = StartsOnAxis(a) ? 1 : 0;
      tipIndex = first + (n - first) / 2;
    }
    const Vector& barb = p[tipIndex - 2];
    const Vector& end = p[tipIndex - 1];
    const Vector& tip = p[tipIndex];
    const double D = a.chevronDepth;
    const double ex = end.x - barb.x, ey = end.y - barb.y;
    const double fx = tip.x - end.x, fy = tip.y - end.y;
    const double scale = std::hypot(ex, ey) * std::hypot(fx, fy) + 1e-300;
    // The barb end lies on the front edge's line through the flat end (barb + (D, 0)).
    const double gx = barb.x + D - end.x, gy = barb.y - end.y;
    EXPECT_NEAR((gx * fy - gy * fx) / (std::hypot(fx, fy) * (std::hypot(gx, gy) + 1.0)), 0.0, 1e-9);
    if (a.squareBarbEnds != 0) {
      EXPECT_NEAR((ex * fx + ey * fy) / scale, 0.0, 1e-9) << "not a right angle";
      EXPECT_GT(end.y, barb.y);
      ++checked;
    } else {
      EXPECT_EQ(end.y, barb.y);
      EXPECT_NEAR(end.x - barb.x, D, 1e-9 * (std::fabs(barb.x) + D));
    }
    // The back edge, from where it meets the shaft edge (or the axis, head
    // only) to the barb point, runs parallel to the front edge.
    const Vector& inner = p[tipIndex - 3];
    const double bx = barb.x - inner.x, by = barb.y - inner.y;
    EXPECT_NEAR((bx * fy - by * fx) / (std::hypot(bx, by) * std::hypot(fx, fy)), 0.0, 1e-9) << "back edge";
    double innerY = 0.0;
    if (ChooseOutline(a) == OutlineKind::DoubleHeaded)
      innerY = a.doubleShaftWidth / 2;
    else if (a.hasShaft != 0)
      innerY = a.shaftWidth / 2 - a.shaftWidth * a.headTaper / 2;
    EXPECT_NEAR(inner.y, innerY, 1e-9 * a.shaftWidth);
    // The same on the lower half.
    const Vector& lowEnd = p[tipIndex + 1];
    EXPECT_EQ(lowEnd.x, end.x);
    EXPECT_EQ(lowEnd.y, -end.y);
  }
  EXPECT_GT(checked, 500);
}

// ---------------------------------------------------------------------------
// Bevel rules.

TEST(OutlineBevel, RadiusZeroOrLessGivesSharpOutline) {
  Rng rng(1234);
  for (int iter = 0; iter < 400; ++iter) {
    Arrow a = RandomArrow(rng);
    SCOPED_TRACE("shape " + std::to_string(iter));
    a.roundCorners = 0;
    const std::vector<Vector> sharp = Generate(a);
    a.roundCorners = 1;
    for (double r : {0.0, -0.0, -5.0}) {
      a.cornerRadius = r;
      EXPECT_TRUE(SameBits(sharp, Generate(a))) << "radius " << r;
    }
  }
}

TEST(OutlineBevel, DoubleHeadedFletchedAndChevronNeverBevelled) {
  Rng rng(555);
  int fletched = 0, doubled = 0, chevron = 0;
  for (int iter = 0; iter < 600; ++iter) {
    Arrow a = RandomArrow(rng);
    a.cornerRadius = std::fabs(a.cornerRadius) + 1.0;
    SCOPED_TRACE("shape " + std::to_string(iter));
    const bool keepsSharp = a.doubleHeaded != 0 || (a.hasShaft != 0 && a.fletching != 0) || a.chevronHead != 0;
    if (!keepsSharp) continue;
    fletched += a.doubleHeaded == 0 && a.hasShaft != 0 && a.fletching != 0;
    doubled += a.doubleHeaded != 0;
    chevron += a.doubleHeaded == 0 && a.chevronHead != 0;
    a.roundCorners = 0;
    const std::vector<Vector> sharp = Generate(a);
    a.roundCorners = 1;
    EXPECT_TRUE(SameBits(sharp, Generate(a)));
  }
  EXPECT_GT(fletched, 30);
  EXPECT_GT(doubled, 30);
  EXPECT_GT(chevron, 30);

  // Chevron with round corners in the defaults: exactly the sharp chevron.
  Arrow a = DefaultArrow();
  a.chevronHead = 1;
  const std::vector<Vector> sharp = Generate(a);
  a.roundCorners = 1;
  EXPECT_EQ(OutlinePointCount(a), 9);
  EXPECT_TRUE(SameBits(sharp, Generate(a)));
  a.hasShaft = 0;
  a.roundCorners = 0;
  const std::vector<Vector> sharpHead = Generate(a);
  a.roundCorners = 1;
  EXPECT_EQ(OutlinePointCount(a), 6);
  EXPECT_TRUE(SameBits(sharpHead, Generate(a)));
}

TEST(OutlineBevel, ShaftBevelIgnoresTapersAndSweep) {
  Arrow a = DefaultArrow();
  a.roundCorners = 1;
  const std::vector<Vector> base = Generate(a);
  Arrow b = a;
  b.headTaper = 0.4;
  b.tailTaper = 0.3;
  b.barbSweep = 25;
  EXPECT_TRUE(SameBits(base, Generate(b)));
  // The notch, however, is bevelled.
  b.tailNotch = 40;
  EXPECT_EQ(Generate(b).size(), 16u);
}

// Each bevel point lies at distance r from the corner it replaces.
TEST(OutlineBevel, ShaftBevelPointsLieAtRadiusFromCorners) {
  Rng rng(2024);
  for (int iter = 0; iter < 400; ++iter) {
    Arrow a = RandomArrow(rng);
    a.doubleHeaded = 0;
    a.hasShaft = 1;
    a.fletching = 0;
    a.chevronHead = 0;
    a.roundCorners = 1;
    // Small against every edge, so the two points of each corner stay apart.
    a.cornerRadius = rng.Uniform(0.01, 0.2) * std::min({a.shaftWidth, a.barbWidth, a.headLength, a.shaftLength});
    if (iter % 2 == 0) a.tailNotch = rng.Uniform(1, 0.4 * a.shaftLength);
    SCOPED_TRACE("shape " + std::to_string(iter));
    const std::vector<Vector> p = Generate(a);
    const double r = a.cornerRadius;
    const double h = (a.shaftLength + a.headLength) / 2;
    const double xb = h - a.headLength;
    const double halfW = a.shaftWidth / 2;
    const double yb = halfW + a.barbWidth;
    const double tol = 1e-9 * (h + yb);
    std::size_t k = 0;
    if (a.tailNotch > 0) {
      ASSERT_EQ(p.size(), 16u);
      EXPECT_NEAR(Dist(p[0], -(h - a.tailNotch), 0), r, tol);  // notch corner
      k = 1;
    } else {
      ASSERT_EQ(p.size(), 14u);
    }
    // Tail corner, shaft-to-head corner, head back corner, barb corner, tip.
    EXPECT_NEAR(Dist(p[k], -h, halfW), r, tol);
    EXPECT_NEAR(Dist(p[k + 1], -h, halfW), r, tol);
    EXPECT_NEAR(Dist(p[k + 2], xb, halfW), r, tol);
    EXPECT_NEAR(Dist(p[k + 3], xb, halfW), r, tol);
    EXPECT_NEAR(Dist(p[k + 4], xb, yb), r, tol);
    EXPECT_NEAR(Dist(p[k + 5], xb, yb), r, tol);
    EXPECT_NEAR(Dist(p[k + 6], h, 0), r, tol);
    EXPECT_NEAR(Dist(p[k + 7], h, 0), r, tol);
    // Along the edges: the tail edge (vertical, or the notch edge from
    // (-(h - N), 0) to (-h, W/2)), the shaft edge, the head's back edge, and
    // the front edge taken at the angle atan(Wb / Lh).
    if (a.tailNotch > 0) {
      const double nx = -(h - a.tailNotch);
      for (std::size_t i : {std::size_t{0}, std::size_t{1}}) {
        const double cross = (p[i].x - nx) * halfW - p[i].y * (-h - nx);
        EXPECT_NEAR(cross / std::hypot(a.tailNotch, halfW), 0.0, tol) << "off the notch edge: " << i;
        EXPECT_GT(p[i].x, -h);
        EXPECT_LT(p[i].x, nx);
      }
    } else {
      EXPECT_EQ(p[0].x, -h);
    }
    EXPECT_NEAR(p[k + 6].y * a.headLength, (h - p[k + 6].x) * a.barbWidth, tol * (a.headLength + a.barbWidth));
    EXPECT_EQ(p[k + 1].y, halfW);
    EXPECT_EQ(p[k + 2].y, halfW);
    EXPECT_EQ(p[k + 3].x, xb);
    EXPECT_EQ(p[k + 4].x, xb);
  }
}

// ---------------------------------------------------------------------------
// Bevels larger than an edge allows.

double DistToSegment(const Vector& p, const Vector& a, const Vector& b) {
  const double dx = b.x - a.x, dy = b.y - a.y;
  const double len2 = dx * dx + dy * dy;
  double t = len2 > 0.0 ? ((p.x - a.x) * dx + (p.y - a.y) * dy) / len2 : 0.0;
  t = std::min(1.0, std::max(0.0, t));
  return std::hypot(p.x - (a.x + t * dx), p.y - (a.y + t * dy));
}

// Signed distance of p from the line through a and b (positive on the left).
double SideOf(const Vector& p, const Vector& a, const Vector& b) {
  return ((b.x - a.x) * (p.y - a.y) - (b.y - a.y) * (p.x - a.x)) / std::hypot(b.x - a.x, b.y - a.y);
}

// True when the closed segments [a, b] and [c, d] cross or come within tol of
// each other.
bool SegmentsMeet(const Vector& a, const Vector& b, const Vector& c, const Vector& d, double tol) {
  const double s1 = SideOf(a, c, d), s2 = SideOf(b, c, d);
  const double s3 = SideOf(c, a, b), s4 = SideOf(d, a, b);
  const bool crossing = ((s1 > tol && s2 < -tol) || (s1 < -tol && s2 > tol)) &&
                        ((s3 > tol && s4 < -tol) || (s3 < -tol && s4 > tol));
  return crossing || DistToSegment(a, c, d) <= tol || DistToSegment(b, c, d) <= tol ||
         DistToSegment(c, a, b) <= tol || DistToSegment(d, a, b) <= tol;
}

// Describes where the closed outline crosses or touches itself, or where an
// edge turns straight back over the one before it; empty when it does none of
// these. Points within tol of the point before them are dropped first: a bevel
// that takes exactly half of an edge puts the points of the edge's two ends on
// one spot.
std::string SelfContact(const std::vector<Vector>& pts, double tol) {
  std::vector<Vector> p;
  for (const Vector& v : pts)
    if (p.empty() || Dist(p.back(), v.x, v.y) > tol) p.push_back(v);
  while (p.size() > 1 && Dist(p.back(), p.front().x, p.front().y) <= tol) p.pop_back();
  const std::size_t n = p.size();
  if (n < 3) return "fewer than three distinct points";
  const auto at = [&](std::size_t i) -> const Vector& { return p[i % n]; };
  const auto name = [&](std::size_t i) {
    return "(" + std::to_string(at(i).x) + ", " + std::to_string(at(i).y) + ")-(" + std::to_string(at(i + 1).x) +
           ", " + std::to_string(at(i + 1).y) + ")";
  };
  for (std::size_t i = 0; i < n; ++i) {
    if (DistToSegment(at(i + 2), at(i), at(i + 1)) <= tol || DistToSegment(at(i), at(i + 1), at(i + 2)) <= tol)
      return "edge " + name(i + 1) + " turns back over " + name(i);
    for (std::size_t j = i + 2; j < n; ++j) {
      if (i == 0 && j == n - 1) continue;  // neighbours across the closing point
      if (SegmentsMeet(at(i), at(i + 1), at(j), at(j + 1), tol))
        return "edges " + name(i) + " and " + name(j) + " meet";
    }
  }
  return "";
}

// Index of the first piece p[i] -> p[i+1] (cyclic) that runs against the same
// piece of `fine`, the outline drawn with a vanishing radius; -1 when none
// does. The pieces between two corners' bevel points lie along the edge joining
// the corners: when the points of the edge's two ends pass each other, that
// piece turns round and the outline folds over itself (a tooth), which need
// not make any two edges cross.
int ReversedPiece(const std::vector<Vector>& p, const std::vector<Vector>& fine, double tol) {
  const std::size_t n = p.size();
  for (std::size_t i = 0; i < n; ++i) {
    const Vector& a = p[i];
    const Vector& b = p[(i + 1) % n];
    const Vector& fa = fine[i];
    const Vector& fb = fine[(i + 1) % n];
    const double flen = std::hypot(fb.x - fa.x, fb.y - fa.y);
    if (flen == 0.0) continue;
    const double along = ((b.x - a.x) * (fb.x - fa.x) + (b.y - a.y) * (fb.y - fa.y)) / flen;
    if (along < -tol) return static_cast<int>(i);
  }
  return -1;
}

double Extent(const std::vector<Vector>& p) {
  double scale = 0.0;
  for (const Vector& v : p) scale = std::max({scale, std::fabs(v.x), std::fabs(v.y)});
  return scale;
}

// The outline with the same shape and, when it has a bevel, a radius too small
// to matter.
std::vector<Vector> FineOutline(Arrow a) {
  if (a.cornerRadius > 0.0)
    a.cornerRadius = 1e-7 * std::min({a.shaftWidth, a.barbWidth, a.headLength, a.shaftLength});
  return Generate(a);
}

// Radius 30 on the defaults: the head's back edge is 50 long, so its two
// corners cannot take 30 each; they take 25 and their points meet at
// (150, 75). The other corners keep 30. Head only with a sweep of 20 and
// radius 40: the back edge runs 50 from the back point up to the barb, so
// those two corners take 25; the tip keeps 40.
TEST(OutlineBevel, RadiusBeyondHalfAnEdgeIsLimitedAtThatEdge) {
  const double r5 = std::sqrt(5.0);
  struct Case {
    const char* name;
    void (*adjust)(Arrow&);
    std::vector<P2> points;
  };
  const std::vector<Case> cases = {
      {"shaft, radius 30",
       [](Arrow& a) { a.cornerRadius = 30; },
       {{-250, 20},
        {-220, 50},
        {125, 50},
        {150, 75},
        {150, 75},
        {150 + 50 / r5, 100 - 25 / r5},
        {250 - 60 / r5, 30 / r5},
        {250 - 60 / r5, -30 / r5},
        {150 + 50 / r5, -(100 - 25 / r5)},
        {150, -75},
        {150, -75},
        {125, -50},
        {-220, -50},
        {-250, -20}}},
      {"head only, sweep 20, radius 40",
       [](Arrow& a) {
         a.hasShaft = 0;
         a.barbSweep = 20;
         a.cornerRadius = 40;
       },
       {{-50, 25},
        {-70, 25},
        {-50 + 50 / r5, 50 - 25 / r5},
        {50 - 80 / r5, 40 / r5},
        {50 - 80 / r5, -40 / r5},
        {-50 + 50 / r5, -(50 - 25 / r5)},
        {-70, -25},
        {-50, -25}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Arrow a = DefaultArrow();
    a.roundCorners = 1;
    c.adjust(a);
    const std::vector<Vector> p = Generate(a);
    ExpectPoints(p, c.points, 1e-12);
    const double tol = 1e-9 * Extent(p);
    EXPECT_EQ(SelfContact(p, tol), "");
    EXPECT_EQ(ReversedPiece(p, FineOutline(a), tol), -1);
  }
}

// Whatever the radius, from none to far beyond the whole arrow, no outline
// crosses, touches or folds over itself, and the point count stays.
TEST(OutlineBevel, NoRadiusFoldsTheOutline) {
  Rng rng(0xB37E11EDULL);
  int seen[6] = {0, 0, 0, 0, 0, 0};
  int tooLarge = 0;
  for (int iter = 0; iter < 4000; ++iter) {
    Arrow a = RandomArrow(rng);
    a.roundCorners = rng.Flag(0.7);
    const double largest = std::max({a.shaftLength, a.shaftWidth, a.headLength, a.barbWidth});
    a.cornerRadius = rng.Chance(0.05) ? 0.0 : std::pow(10.0, rng.Uniform(-3, 1)) * largest;
    const OutlineKind kind = ChooseOutline(a);
    // The bevelled head-only outline measures its front edge from the unswept
    // barb corner; with the barbs swept forward (a negative sweep) the barb
    // lies ahead of that edge's start and the outline crosses itself at any
    // radius, so the sweep is turned backward for it here.
    if (kind == OutlineKind::HeadOnlyBevelled) a.barbSweep = std::fabs(a.barbSweep);
    ++seen[static_cast<int>(kind)];
    SCOPED_TRACE("shape " + std::to_string(iter) + ", radius " + std::to_string(a.cornerRadius));
    const std::vector<Vector> p = Generate(a);
    const std::vector<Vector> fine = FineOutline(a);
    ASSERT_EQ(p.size(), fine.size());
    ExpectAllFinite(p);
    const double tol = 1e-9 * Extent(p);
    EXPECT_EQ(SelfContact(p, tol), "");
    EXPECT_EQ(ReversedPiece(p, fine, tol), -1);
    if (kind == OutlineKind::ShaftBevelled || kind == OutlineKind::HeadOnlyBevelled) {
      const double shortest = std::min({a.shaftWidth, a.barbWidth, a.shaftLength});
      tooLarge += a.cornerRadius > shortest / 2;
    }
  }
  for (int k = 0; k < 6; ++k) EXPECT_GT(seen[k], 100) << "outline kind " << k << " rarely drawn";
  EXPECT_GT(tooLarge, 300);
}

// The bevelled points by their formulas with the radius as given, mirrored
// below the axis: what the outline must be, to the bit, wherever the bevels
// fit.
std::vector<Vector> UnlimitedBevel(const Arrow& a) {
  std::vector<Vector> upper;
  const auto add = [&](double x, double y) { upper.push_back(Vector(x, y, 0.0)); };
  const double r = a.cornerRadius;
  const double beta = std::atan(a.barbWidth / a.headLength);
  const double cb = std::cos(beta), sb = std::sin(beta);
  if (a.hasShaft != 0) {
    const double h = (a.shaftLength + a.headLength) / 2.0;
    const double xb = h - a.headLength;
    const double yb = (a.shaftWidth + 2.0 * a.barbWidth) / 2.0;
    const double halfW = a.shaftWidth / 2.0;
    const double N = a.tailNotch;
    if (N > 0.0) {
      const double alpha = std::atan(halfW / N);
      add(-(h - N + r * std::cos(alpha)), r * std::sin(alpha));
      add(-(h - r * std::cos(alpha)), halfW - r * std::sin(alpha));
    } else {
      add(-h, halfW - r);
    }
    add(-(h - r), halfW);
    add(xb - r, halfW);
    add(xb, halfW + r);
    add(xb, yb - r);
    add(xb + r * cb, yb - r * sb);
    add(h - r * cb, r * sb);
  } else {
    const double halfLh = a.headLength / 2.0;
    const double S = a.barbSweep;
    if (S > 0.0) add(-halfLh, r);
    add(-(halfLh + S), a.barbWidth - r);
    add(-(halfLh - r * cb), a.barbWidth - r * sb);
    add(halfLh - r * cb, r * sb);
  }
  std::vector<Vector> all = upper;
  for (std::size_t i = upper.size(); i-- > 0;) all.push_back(Vector(upper[i].x, -upper[i].y, 0.0));
  return all;
}

TEST(OutlineBevel, FittingBevelsKeepTheirExactPoints) {
  Rng rng(0xF177ULL);
  for (int iter = 0; iter < 2000; ++iter) {
    Arrow a = RandomArrow(rng);
    a.doubleHeaded = 0;
    a.fletching = 0;
    a.chevronHead = 0;
    a.roundCorners = 1;
    a.hasShaft = rng.Flag(0.6);
    // The shortest edge that carries bevel points from both its ends.
    double shortest = std::hypot(a.headLength, a.barbWidth);
    if (a.hasShaft != 0) {
      const double tail = a.tailNotch > 0 ? std::hypot(a.tailNotch, a.shaftWidth / 2) : a.shaftWidth;
      shortest = std::min({shortest, tail, a.shaftLength, a.barbWidth});
    } else {
      shortest = std::min(shortest, (a.barbSweep > 0 ? 1.0 : 2.0) * a.barbWidth);
    }
    a.cornerRadius = rng.Uniform(1e-6, 0.999) * shortest / 2;
    SCOPED_TRACE("shape " + std::to_string(iter));
    ASSERT_EQ(ChooseOutline(a), a.hasShaft != 0 ? OutlineKind::ShaftBevelled : OutlineKind::HeadOnlyBevelled);
    EXPECT_TRUE(SameBits(Generate(a), UnlimitedBevel(a)));
  }
}

// ---------------------------------------------------------------------------
// Zero divisors.

TEST(OutlineDivisors, ZeroDivisorGivesNonFiniteCoordinates) {
  struct Case {
    const char* name;
    void (*adjust)(Arrow&);
  };
  const Case cases[] = {
      {"fletched with zero shaft length", [](Arrow& a) {
         a.fletching = 1;
         a.shaftLength = 0;
       }},
      {"chevron with flat front edge (u = 0)", [](Arrow& a) {
         a.chevronHead = 1;
         a.barbWidth = -50;  // Wb + W/2 = 0
       }},
      {"double-headed chevron 0/0 slope", [](Arrow& a) {
         a.doubleHeaded = 1;
         a.chevronHead = 1;
         a.barbWidth = -50;
         a.chevronDepth = 100;  // Lh - D + S = 0
       }},
      {"head-only chevron square ends, 0/0 angle", [](Arrow& a) {
         a.hasShaft = 0;
         a.chevronHead = 1;
         a.squareBarbEnds = 1;
         a.barbWidth = 0;
         a.chevronDepth = 100;
       }},
      {"head-only bevel with zero head", [](Arrow& a) {
         a.hasShaft = 0;
         a.roundCorners = 1;
         a.headLength = 0;
         a.barbWidth = 0;
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Arrow a = DefaultArrow();
    c.adjust(a);
    const std::vector<Vector> p = Generate(a);  // also checks the guard slot and z
    const bool nonFinite = std::any_of(p.begin(), p.end(), [](const Vector& v) {
      return !std::isfinite(v.x) || !std::isfinite(v.y);
    });
    EXPECT_TRUE(nonFinite);
  }
}

TEST(OutlineDivisors, UnusedDivisorsDoNotSpoilOtherOutlines) {
  // L = 0 divides only in the fin narrowing; the plain shaft stays finite.
  Arrow a = DefaultArrow();
  a.shaftLength = 0;
  ExpectAllFinite(Generate(a));
  // Lh - D + S = 0 matters only to the chevron.
  a = DefaultArrow();
  a.chevronDepth = 100;
  ExpectAllFinite(Generate(a));
}

// ---------------------------------------------------------------------------
// Turning into another plane and reversing.

TEST(OrientPointsTest, PlaneOneCarriesAxisOntoZ) {
  const std::vector<Vector> original = Generate(DefaultArrow());
  std::vector<Vector> p = original;
  OrientPoints(p.data(), static_cast<Int32>(p.size()), 1, 0);
  // Tip (250, 0, 0) -> (-0, 0, 250).
  EXPECT_EQ(p[3].x, 0.0);
  EXPECT_TRUE(std::signbit(p[3].x));
  EXPECT_EQ(p[3].y, 0.0);
  EXPECT_EQ(p[3].z, 250.0);
  // (150, 100, 0) -> (0, 100, 150).
  EXPECT_EQ(p[2].x, 0.0);
  EXPECT_EQ(p[2].y, 100.0);
  EXPECT_EQ(p[2].z, 150.0);
  for (std::size_t i = 0; i < p.size(); ++i) {
    EXPECT_TRUE(std::signbit(p[i].x)) << i;
    EXPECT_EQ(p[i].y, original[i].y);
    EXPECT_EQ(p[i].z, original[i].x);
  }
  // A point off the plane: (x, y, z) -> (-z, y, x).
  Vector q[2] = {Vector(1, 2, 3), Vector(-4, 5, -6)};
  OrientPoints(q, 2, 1, 0);
  EXPECT_TRUE(SameBits(q[0], Vector(-3, 2, 1)));
  EXPECT_TRUE(SameBits(q[1], Vector(6, 5, -4)));
}

TEST(OrientPointsTest, PlaneTwoCarriesWidthOntoZ) {
  const std::vector<Vector> original = Generate(DefaultArrow());
  std::vector<Vector> p = original;
  OrientPoints(p.data(), static_cast<Int32>(p.size()), 2, 0);
  // (150, 100, 0) -> (150, 0, 100); (150, -100, 0) -> (150, 0, -100).
  EXPECT_EQ(p[2].x, 150.0);
  EXPECT_EQ(p[2].y, 0.0);
  EXPECT_EQ(p[2].z, 100.0);
  EXPECT_EQ(p[4].x, 150.0);
  EXPECT_EQ(p[4].y, 0.0);
  EXPECT_EQ(p[4].z, -100.0);
  for (std::size_t i = 0; i < p.size(); ++i) {
    EXPECT_EQ(p[i].x, original[i].x);
    EXPECT_TRUE(std::signbit(p[i].y)) << i;  // -0
    EXPECT_EQ(p[i].z, original[i].y);
  }
  Vector q[1] = {Vector(1, 2, 3)};
  OrientPoints(q, 1, 2, 0);
  EXPECT_TRUE(SameBits(q[0], Vector(1, -3, 2)));
}

TEST(OrientPointsTest, OtherPlanesLeavePointsAlone) {
  const std::vector<Vector> original = {Vector(1, 2, 3), Vector(-4, 5, -6), Vector(0, -0.0, 7)};
  for (Int32 plane : {0, -1, 3, 100}) {
    std::vector<Vector> p = original;
    OrientPoints(p.data(), 3, plane, 0);
    EXPECT_TRUE(SameBits(p, original)) << "plane " << plane;
  }
}

TEST(OrientPointsTest, ReverseOddCountKeepsMiddle) {
  std::vector<Vector> p = Generate(DefaultArrow());
  OrientPoints(p.data(), static_cast<Int32>(p.size()), 0, 1);
  ExpectPoints(p, {{-250, -50}, {150, -50}, {150, -100}, {250, 0}, {150, 100}, {150, 50}, {-250, 50}}, 0.0);
  // Now anticlockwise.
  EXPECT_GT(SignedArea(p), 0.0);
}

TEST(OrientPointsTest, ReverseEvenCountMovesEveryPoint) {
  for (void (*adjust)(Arrow&) : {Notch, Double}) {
    Arrow a = DefaultArrow();
    adjust(a);
    const std::vector<Vector> original = Generate(a);
    const std::size_t n = original.size();
    ASSERT_EQ(n % 2, 0u);
    std::vector<Vector> p = original;
    OrientPoints(p.data(), static_cast<Int32>(n), 0, 1);
    for (std::size_t i = 0; i < n; ++i) {
      EXPECT_TRUE(SameBits(p[i], original[n - 1 - i])) << i;
      EXPECT_FALSE(SameBits(p[i], original[i])) << "point " << i << " stayed in place";
    }
    // Reversing twice restores the order.
    OrientPoints(p.data(), static_cast<Int32>(n), 0, 1);
    EXPECT_TRUE(SameBits(p, original));
  }
}

TEST(OrientPointsTest, ReverseNonZeroFlagAndTinyCounts) {
  Vector one[2] = {Vector(1, 2, 3), kGuard};
  OrientPoints(one, 1, 0, 1);
  EXPECT_TRUE(SameBits(one[0], Vector(1, 2, 3)));
  EXPECT_TRUE(SameBits(one[1], kGuard));

  Vector two[3] = {Vector(1, 0, 0), Vector(2, 0, 0), kGuard};
  OrientPoints(two, 2, 0, -3);  // any non-zero value reverses
  EXPECT_EQ(two[0].x, 2.0);
  EXPECT_EQ(two[1].x, 1.0);
  EXPECT_TRUE(SameBits(two[2], kGuard));

  Vector untouched[1] = {kGuard};
  OrientPoints(untouched, 0, 1, 1);
  EXPECT_TRUE(SameBits(untouched[0], kGuard));
  OrientPoints(nullptr, 5, 1, 1);  // no array: nothing happens
}

TEST(OrientPointsTest, PlaneThenReverse) {
  Arrow a = DefaultArrow();
  a.chevronHead = 1;
  const std::vector<Vector> original = Generate(a);
  const std::size_t n = original.size();
  for (Int32 plane : {1, 2}) {
    std::vector<Vector> p = original;
    OrientPoints(p.data(), static_cast<Int32>(n), plane, 1);
    for (std::size_t i = 0; i < n; ++i) {
      const Vector& o = original[n - 1 - i];
      const Vector turned = plane == 1 ? Vector(-o.z, o.y, o.x) : Vector(o.x, -o.z, o.y);
      EXPECT_TRUE(SameBits(p[i], turned)) << "plane " << plane << " point " << i;
    }
  }
}

}  // namespace
