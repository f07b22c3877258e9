// The arrow's output spline as the host sees it: a loaded module asked for its
// contour after edits made by parameter name, in both product versions. The
// geometry itself is covered by the outline kernel's own tests; these check
// that the values travel from the attribute editor through the module to the
// spline the host receives, and what the host then holds.
#include <cmath>
#include <cstdint>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "core.h"
#include "fixture.h"
#include "model.h"

namespace {

using host::Json;
using testkit::ExpectCleanShutdown;

struct XY {
  double x, y;
};

class Contour : public testkit::ArrowTest {
 protected:
  void SetAll(const std::vector<std::string>& assignments) {
    for (const std::string& a : assignments) Set(a);
  }
  Json Evaluate() { return session_->ContourJson(arrow_); }
  host::Host& TheHost() { return session_->GetHost(); }
};
INSTANTIATE_TEST_SUITE_P(Both, Contour, ::testing::Values(16, 12));

std::string Describe(const std::vector<std::string>& settings) {
  if (settings.empty()) return "defaults";
  std::string text;
  for (const std::string& s : settings) text += (text.empty() ? "" : " ") + s;
  return text;
}

// Compares the points of a contour with the expected (x, y) list, every z
// being 0. Whole expected values must match exactly; the others are given to
// three decimals and must round to them.
void ExpectPoints(const Json& contour, const std::vector<XY>& expected) {
  ASSERT_TRUE(contour.is_object()) << contour.dump();
  const Json& pts = contour.at("points");
  ASSERT_EQ(pts.size(), expected.size()) << contour.dump();
  const auto same = [](const Json& got, double want) {
    if (!got.is_number()) return false;
    const double v = got.get<double>();
    if (want == std::floor(want)) return v == want;
    return std::fabs(v - want) <= 0.0005;
  };
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_TRUE(same(pts[i][0], expected[i].x) && same(pts[i][1], expected[i].y) &&
                same(pts[i][2], 0.0))
        << "point " << i << ": got " << pts[i].dump() << ", expected (" << expected[i].x << ", "
        << expected[i].y << ", 0)";
  }
}

// ---------------------------------------------------------------------------
// Worked examples, set through the attribute editor by parameter name.

TEST_P(Contour, WorkedExamplesArriveThroughTheHost) {
  struct Example {
    std::vector<std::string> settings;
    std::vector<XY> points;
  };
  const std::vector<Example> examples = {
      {{}, {{-250, 50}, {150, 50}, {150, 100}, {250, 0}, {150, -100}, {150, -50}, {-250, -50}}},
      {{"ARROW_CHEVRON=true"},
       {{-250, 50}, {175, 50}, {150, 100}, {200, 100}, {250, 0}, {200, -100}, {150, -100},
        {175, -50}, {-250, -50}}},
      {{"ARROW_CHEVRON=true", "ARROW_CHEVRON_SQUARE_ENDS=true"},
       {{-250, 50}, {175, 50}, {150, 100}, {190, 120}, {250, 0}, {190, -120}, {150, -100},
        {175, -50}, {-250, -50}}},
      {{"ARROW_TAIL_NOTCH=50"},
       {{-200, 0}, {-250, 50}, {150, 50}, {150, 100}, {250, 0}, {150, -100}, {150, -50},
        {-250, -50}}},
      {{"ARROW_HEAD_TAPER=0.5", "ARROW_TAIL_TAPER=0.5"},
       {{-250, 25}, {150, 25}, {150, 100}, {250, 0}, {150, -100}, {150, -25}, {-250, -25}}},
      {{"ARROW_FLETCHING=true"},
       {{-250, 50}, {-300, 100}, {-200, 100}, {-150, 50}, {150, 50}, {150, 100}, {250, 0},
        {150, -100}, {150, -50}, {-150, -50}, {-200, -100}, {-300, -100}, {-250, -50}}},
      {{"ARROW_ROUND_CORNERS=true"},
       {{-250, 40}, {-240, 50}, {140, 50}, {150, 60}, {150, 90}, {158.944, 95.528},
        {241.056, 4.472}, {241.056, -4.472}, {158.944, -95.528}, {150, -90}, {150, -60},
        {140, -50}, {-240, -50}, {-250, -40}}},
      {{"ARROW_SHAFT=false"}, {{-50, 50}, {50, 0}, {-50, -50}}},
      {{"ARROW_SHAFT=false", "ARROW_CHEVRON=true"},
       {{0, 0}, {-50, 50}, {0, 50}, {50, 0}, {0, -50}, {-50, -50}}},
      {{"ARROW_DOUBLE_HEADED=true"},
       {{200, 50}, {200, 100}, {300, 0}, {200, -100}, {200, -50}, {-200, -50}, {-200, -100},
        {-300, 0}, {-200, 100}, {-200, 50}}},
  };
  for (const Example& e : examples) {
    SCOPED_TRACE(Describe(e.settings));
    std::string error;
    ASSERT_TRUE(session_->PressButton(arrow_, "ARROW_RESET", &error)) << error;
    SetAll(e.settings);
    ExpectPoints(Evaluate(), e.points);
  }
}

// ---------------------------------------------------------------------------
// Point counts of every outline kind, as the host receives them.

TEST_P(Contour, PointCountOfEveryOutlineKind) {
  struct Row {
    std::vector<std::string> settings;
    std::size_t count;
  };
  const std::vector<Row> rows = {
      {{"ARROW_DOUBLE_HEADED=true"}, 10},
      {{"ARROW_DOUBLE_HEADED=true", "ARROW_CHEVRON=true"}, 14},
      // Double-headed ignores the notch, the fins and the bevel.
      {{"ARROW_DOUBLE_HEADED=true", "ARROW_TAIL_NOTCH=20", "ARROW_FLETCHING=true",
        "ARROW_ROUND_CORNERS=true"},
       10},
      {{"ARROW_FLETCHING=true"}, 13},
      {{"ARROW_FLETCHING=true", "ARROW_TAIL_NOTCH=20"}, 14},
      {{"ARROW_FLETCHING=true", "ARROW_CHEVRON=true"}, 15},
      {{"ARROW_FLETCHING=true", "ARROW_CHEVRON=true", "ARROW_TAIL_NOTCH=20"}, 16},
      // Fletched outlines are never bevelled.
      {{"ARROW_FLETCHING=true", "ARROW_ROUND_CORNERS=true"}, 13},
      {{}, 7},
      {{"ARROW_TAIL_NOTCH=20"}, 8},
      {{"ARROW_TAIL_NOTCH=-20"}, 7},
      {{"ARROW_CHEVRON=true"}, 9},
      {{"ARROW_CHEVRON=true", "ARROW_TAIL_NOTCH=20"}, 10},
      {{"ARROW_ROUND_CORNERS=true"}, 14},
      {{"ARROW_ROUND_CORNERS=true", "ARROW_TAIL_NOTCH=20"}, 16},
      {{"ARROW_ROUND_CORNERS=true", "ARROW_CORNER_RADIUS=0"}, 7},
      {{"ARROW_SHAFT=false"}, 3},
      {{"ARROW_SHAFT=false", "ARROW_BARB_SWEEP=20"}, 4},
      {{"ARROW_SHAFT=false", "ARROW_BARB_SWEEP=-20"}, 3},
      {{"ARROW_SHAFT=false", "ARROW_CHEVRON=true"}, 6},
      {{"ARROW_SHAFT=false", "ARROW_ROUND_CORNERS=true"}, 6},
      {{"ARROW_SHAFT=false", "ARROW_ROUND_CORNERS=true", "ARROW_BARB_SWEEP=20"}, 8},
      // Without a shaft the fins have nothing to sit on.
      {{"ARROW_SHAFT=false", "ARROW_FLETCHING=true"}, 3},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(Describe(r.settings));
    std::string error;
    ASSERT_TRUE(session_->PressButton(arrow_, "ARROW_RESET", &error)) << error;
    SetAll(r.settings);
    const Json contour = Evaluate();
    ASSERT_TRUE(contour.is_object());
    EXPECT_EQ(contour["points"].size(), r.count);
  }
}

// A chevron head with round corners has no bevelled form: the sharp chevron
// outline arrives, with its sharp count.
TEST_P(Contour, ChevronWithRoundCornersGivesTheSharpChevron) {
  struct Row {
    std::vector<std::string> base;
    std::size_t count;
  };
  const std::vector<Row> rows = {{{}, 9},
                                 {{"ARROW_TAIL_NOTCH=30"}, 10},
                                 {{"ARROW_SHAFT=false"}, 6},
                                 {{"ARROW_SHAFT=false", "ARROW_BARB_SWEEP=15"}, 6}};
  for (const Row& r : rows) {
    SCOPED_TRACE(Describe(r.base));
    std::string error;
    ASSERT_TRUE(session_->PressButton(arrow_, "ARROW_RESET", &error)) << error;
    SetAll(r.base);
    Set("ARROW_CHEVRON=true");
    const Json sharp = Evaluate();
    Set("ARROW_ROUND_CORNERS=true");
    Set("ARROW_CORNER_RADIUS=12");
    const Json rounded = Evaluate();
    ASSERT_TRUE(sharp.is_object() && rounded.is_object());
    EXPECT_EQ(rounded["points"].size(), r.count);
    EXPECT_EQ(rounded["points"], sharp["points"]);
  }
}

// ---------------------------------------------------------------------------
// The spline's own settings.

TEST_P(Contour, DefaultSplineIsClosedLinearWithTheDefaultInterpolation) {
  const Json c = Evaluate();
  ASSERT_TRUE(c.is_object());
  EXPECT_EQ(c["release"], GetParam());
  EXPECT_EQ(c["closed"], true);
  EXPECT_EQ(c["spline_type"], 0);
  EXPECT_EQ(c["interpolation"], 3);
  EXPECT_EQ(c["intermediate_points"], 8);
  EXPECT_EQ(c["angle"].get<double>(), 0.08726646259971647);
  EXPECT_EQ(c["max_length"].get<double>(), 5.0);
}

TEST_P(Contour, InterpolationSettingsFollowTheObject) {
  SetAll({"ARROW_POINT_INTERPOLATION=1", "ARROW_POINT_COUNT=17", "ARROW_POINT_ANGLE=0.3125",
          "ARROW_POINT_MAX_LENGTH=12.75"});
  Json c = Evaluate();
  ASSERT_TRUE(c.is_object());
  EXPECT_EQ(c["interpolation"], 1);
  EXPECT_EQ(c["intermediate_points"], 17);
  EXPECT_EQ(c["angle"].get<double>(), 0.3125);
  EXPECT_EQ(c["max_length"].get<double>(), 12.75);
  // Values the host's own menu would not offer are still copied unchanged.
  SetAll({"ARROW_POINT_INTERPOLATION=-4", "ARROW_POINT_COUNT=0", "ARROW_POINT_ANGLE=-1.5",
          "ARROW_POINT_MAX_LENGTH=1e-300"});
  c = Evaluate();
  ASSERT_TRUE(c.is_object());
  EXPECT_EQ(c["interpolation"], -4);
  EXPECT_EQ(c["intermediate_points"], 0);
  EXPECT_EQ(c["angle"].get<double>(), -1.5);
  EXPECT_EQ(c["max_length"].get<double>(), 1e-300);
  // The settings change nothing about the outline, which stays closed and linear.
  EXPECT_EQ(c["closed"], true);
  EXPECT_EQ(c["spline_type"], 0);
  ExpectPoints(c, {{-250, 50}, {150, 50}, {150, 100}, {250, 0}, {150, -100}, {150, -50}, {-250, -50}});
}

// ---------------------------------------------------------------------------
// Plane and point order.

TEST_P(Contour, PlaneOneCarriesTheAxisOntoZ) {
  Set("ARROW_PLANE=1");
  const Json c = Evaluate();
  ASSERT_TRUE(c.is_object());
  const Json& p = c["points"];
  ASSERT_EQ(p.size(), 7u);
  // The tip (250, 0, 0) becomes (-0, 0, 250): x is negative zero, and the
  // JSON says so.
  EXPECT_EQ(p[3].dump(), "[-0.0,0.0,250.0]");
  EXPECT_NE(c.dump().find("[-0.0,0.0,250.0]"), std::string::npos);
  EXPECT_TRUE(std::signbit(p[3][0].get<double>()));
  // (150, 100, 0) becomes (0, 100, 150).
  EXPECT_EQ(p[2][0].get<double>(), 0.0);
  EXPECT_EQ(p[2][1].get<double>(), 100.0);
  EXPECT_EQ(p[2][2].get<double>(), 150.0);
  // The whole outline lies in the ZY plane.
  const std::vector<XY> flat = {{-250, 50}, {150, 50}, {150, 100}, {250, 0},
                                {150, -100}, {150, -50}, {-250, -50}};
  for (std::size_t i = 0; i < flat.size(); ++i) {
    EXPECT_EQ(p[i][0].get<double>(), 0.0) << i;
    EXPECT_EQ(p[i][1].get<double>(), flat[i].y) << i;
    EXPECT_EQ(p[i][2].get<double>(), flat[i].x) << i;
  }
}

TEST_P(Contour, PlaneTwoCarriesTheWidthOntoZ) {
  Set("ARROW_PLANE=2");
  const Json c = Evaluate();
  ASSERT_TRUE(c.is_object());
  const Json& p = c["points"];
  ASSERT_EQ(p.size(), 7u);
  // (150, 100, 0) -> (150, 0, 100) and (150, -100, 0) -> (150, 0, -100).
  EXPECT_EQ(p[2][0].get<double>(), 150.0);
  EXPECT_EQ(p[2][1].get<double>(), 0.0);
  EXPECT_EQ(p[2][2].get<double>(), 100.0);
  EXPECT_EQ(p[4][0].get<double>(), 150.0);
  EXPECT_EQ(p[4][1].get<double>(), 0.0);
  EXPECT_EQ(p[4][2].get<double>(), -100.0);
  const std::vector<XY> flat = {{-250, 50}, {150, 50}, {150, 100}, {250, 0},
                                {150, -100}, {150, -50}, {-250, -50}};
  for (std::size_t i = 0; i < flat.size(); ++i) {
    EXPECT_EQ(p[i][0].get<double>(), flat[i].x) << i;
    EXPECT_EQ(p[i][1].get<double>(), 0.0) << i;
    EXPECT_EQ(p[i][2].get<double>(), flat[i].y) << i;
  }
}

TEST_P(Contour, ReverseRunsTheDefaultOutlineTheOtherWay) {
  Set("ARROW_REVERSE=true");
  ExpectPoints(Evaluate(),
               {{-250, -50}, {150, -50}, {150, -100}, {250, 0}, {150, 100}, {150, 50}, {-250, 50}});
}

TEST_P(Contour, ReverseOfAnEvenCountMovesEveryPoint) {
  Set("ARROW_TAIL_NOTCH=50");
  Set("ARROW_REVERSE=true");
  ExpectPoints(Evaluate(), {{-250, -50}, {150, -50}, {150, -100}, {250, 0}, {150, 100}, {150, 50},
                            {-250, 50}, {-200, 0}});
}

TEST_P(Contour, PlaneAndReverseTogether) {
  Set("ARROW_PLANE=1");
  Set("ARROW_REVERSE=true");
  const Json c = Evaluate();
  ASSERT_TRUE(c.is_object());
  // The outline of plane 1, in the reverse order.
  const std::vector<std::vector<double>> expected = {
      {0, -50, -250}, {0, -50, 150}, {0, -100, 150}, {0, 0, 250},
      {0, 100, 150},  {0, 50, 150},  {0, 50, -250}};
  const Json& p = c["points"];
  ASSERT_EQ(p.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    for (int k = 0; k < 3; ++k) EXPECT_EQ(p[i][k].get<double>(), expected[i][k]) << i << "," << k;
  }
  EXPECT_EQ(p[3].dump(), "[-0.0,0.0,250.0]");
}

TEST_P(Contour, OtherPlaneValuesLeaveTheOutlineAsItIs) {
  const std::string flat = Evaluate().dump();
  for (const char* plane : {"3", "-1", "7", "-2147483648"}) {
    SCOPED_TRACE(plane);
    Set(std::string("ARROW_PLANE=") + plane);
    EXPECT_EQ(Evaluate().dump(), flat);
  }
  // With reverse on, the order changes and the plane still does not.
  Set("ARROW_PLANE=3");
  Set("ARROW_REVERSE=true");
  ExpectPoints(Evaluate(),
               {{-250, -50}, {150, -50}, {150, -100}, {250, 0}, {150, 100}, {150, 50}, {-250, 50}});
}

// ---------------------------------------------------------------------------
// Zero divisors: the spline arrives with whatever the arithmetic gives, and
// non-finite coordinates are written as strings.

bool HasString(const Json& points, const std::string& text) {
  for (const Json& p : points)
    for (const Json& c : p)
      if (c.is_string() && c.get<std::string>() == text) return true;
  return false;
}

TEST_P(Contour, ZeroDivisorsGiveNonFiniteCoordinatesWithoutACrash) {
  // A chevron whose front edge is flat (barbs reaching exactly to the axis):
  // slope 0 puts the junction of back edge and shaft at an undefined x.
  SetAll({"ARROW_CHEVRON=true", "ARROW_BARB_WIDTH=-50"});
  Json c = Evaluate();
  ASSERT_TRUE(c.is_object());
  EXPECT_EQ(c["points"].size(), 9u);
  EXPECT_TRUE(HasString(c["points"], "nan")) << c.dump();
  EXPECT_EQ(c["closed"], true);

  // Fins on a shaft of length 0 with a tapered tail: the narrowing along the
  // shaft edge divides by the length.
  std::string error;
  ASSERT_TRUE(session_->PressButton(arrow_, "ARROW_RESET", &error)) << error;
  SetAll({"ARROW_FLETCHING=true", "ARROW_SHAFT_LENGTH=0", "ARROW_TAIL_TAPER=0.5"});
  c = Evaluate();
  ASSERT_TRUE(c.is_object());
  EXPECT_EQ(c["points"].size(), 13u);
  EXPECT_TRUE(HasString(c["points"], "inf")) << c.dump();
  EXPECT_TRUE(HasString(c["points"], "-inf")) << c.dump();
  EXPECT_TRUE(HasString(c["points"], "nan")) << c.dump();
  // The strings survive the plane turn and the reversal.
  SetAll({"ARROW_PLANE=2", "ARROW_REVERSE=true"});
  c = Evaluate();
  ASSERT_TRUE(c.is_object());
  EXPECT_TRUE(HasString(c["points"], "inf") && HasString(c["points"], "-inf")) << c.dump();

  // Head length equal to the chevron depth with no sweep: the slope divides
  // by zero and is infinite, which makes the front edge upright rather than
  // undefined; the outline stays finite with the barb end above the tip.
  ASSERT_TRUE(session_->PressButton(arrow_, "ARROW_RESET", &error)) << error;
  SetAll({"ARROW_CHEVRON=true", "ARROW_CHEVRON_DEPTH=100", "ARROW_BARB_SWEEP=0"});
  ExpectPoints(Evaluate(), {{-250, 50}, {150, 50}, {150, 100}, {250, 100}, {250, 0}, {250, -100},
                            {150, -100}, {150, -50}, {-250, -50}});
}

// ---------------------------------------------------------------------------
// Repeated evaluation and failures.

TEST_P(Contour, EvaluatingAgainAfterAChangeGivesTheNewOutline) {
  host::Object* first = TheHost().EvaluateContour(arrow_);
  ASSERT_NE(first, nullptr);
  const uint64_t firstSerial = first->Serial();
  EXPECT_EQ(first->Points().size(), 7u);

  Set("ARROW_SHAFT_LENGTH=600");
  const Json c = Evaluate();
  ExpectPoints(c, {{-350, 50}, {250, 50}, {250, 100}, {350, 0}, {250, -100}, {250, -50}, {-350, -50}});

  // Each answer is a new spline; the object keeps nothing from the last one.
  host::Object* third = TheHost().EvaluateContour(arrow_);
  ASSERT_NE(third, nullptr);
  EXPECT_NE(third->Serial(), firstSerial);
  Set("ARROW_FLETCHING=true");
  Set("ARROW_SHAFT_LENGTH=400");
  EXPECT_EQ(Evaluate()["points"].size(), 13u);
  Set("ARROW_FLETCHING=false");
  ExpectPoints(Evaluate(),
               {{-250, 50}, {150, 50}, {150, 100}, {250, 0}, {150, -100}, {150, -50}, {-250, -50}});
}

TEST_P(Contour, TheModuleTellsTheNewSplineItChanged) {
  const std::size_t before = TheHost().Messages().size();
  host::Object* spline = TheHost().EvaluateContour(arrow_);
  ASSERT_NE(spline, nullptr);
  int updates = 0;
  const auto& messages = TheHost().Messages();
  for (std::size_t i = before; i < messages.size(); ++i)
    if (messages[i].serial == spline->Serial() && messages[i].type == HA_MSG_UPDATE) ++updates;
  EXPECT_GE(updates, 1);
  // Asking for the contour sends the arrow itself nothing.
  for (std::size_t i = before; i < messages.size(); ++i)
    EXPECT_NE(messages[i].serial, arrow_->Serial()) << "message " << messages[i].type;
}

TEST_P(Contour, SplineAllocationFailureGivesNoContourAndNoLeak) {
  Set("ARROW_FLETCHING=true");
  const std::size_t live = TheHost().LiveAllocations();
  TheHost().Failures().FailAllocation(1);
  EXPECT_EQ(TheHost().EvaluateContour(arrow_), nullptr);
  EXPECT_EQ(TheHost().Failures().AllocationFailuresInjected(), 1);
  // Nothing was left behind by the failed evaluation.
  EXPECT_EQ(TheHost().LiveAllocations(), live);
  EXPECT_TRUE(host::Misuses().empty());
  // The arrow is untouched and answers in full once allocation works again.
  TheHost().Failures().Off();
  const Json c = Evaluate();
  ASSERT_TRUE(c.is_object());
  EXPECT_EQ(c["points"].size(), 13u);
  EXPECT_EQ(c["interpolation"], 3);
  EXPECT_EQ(c["closed"], true);
}

// The host remembers the last handle it found live; a handle freed right
// after a good check must still be reported as misuse and fail, whether the
// handle names a container or an object, and whatever was checked between.
TEST_P(Contour, HandleFreedRightAfterAGoodCheckIsStillMisuse) {
  for (int between = 0; between < 2; ++between) {
    host::ClearMisuses();
    host::Container* bc = host::NewModuleContainer(nullptr);
    host::Object* op = host::NewLooseObject(Onull, "Scratch");
    const ha_container bh = reinterpret_cast<ha_container>(bc);
    const ha_object oh = op->Handle();
    ASSERT_EQ(host::CheckContainer(bh, "test"), bc);
    ASSERT_EQ(host::CheckObject(oh, "test"), op);
    ASSERT_TRUE(host::FreeModuleContainer(bc));
    ASSERT_TRUE(host::FreeLoose(op));
    if (between == 1) {
      EXPECT_NE(host::CheckObject(arrow_->Handle(), "test"), nullptr);
    }
    EXPECT_EQ(host::CheckContainer(bh, "test"), nullptr) << between;
    EXPECT_EQ(host::CheckObject(oh, "test"), nullptr) << between;
    EXPECT_EQ(host::Misuses().size(), 2u) << between;
    host::ClearMisuses();
  }
}

// The host's flat registries answer as an ordinary map over a long random
// run of puts, takes and lookups, with serial-like and spread keys.
TEST(FlatMap, AgreesWithAnOrderedMap) {
  for (const uint64_t stride : {uint64_t{1}, uint64_t{8}, uint64_t{4096}, uint64_t{0x9E3779B9}}) {
    host::FlatMap<uint64_t, std::unique_ptr<int>> flat;
    std::map<uint64_t, int> model;
    std::mt19937_64 rng(stride);
    for (int step = 0; step < 20000; ++step) {
      const uint64_t key = 1 + stride * (rng() % 3000);
      const int value = static_cast<int>(rng() % 1000);
      switch (rng() % 3) {
        case 0:
          flat.Put(key, std::make_unique<int>(value));
          model[key] = value;
          break;
        case 1: {
          std::unique_ptr<int> out;
          const bool had = flat.Take(key, &out);
          ASSERT_EQ(had, model.count(key) == 1) << stride << " " << step;
          if (had) {
            EXPECT_EQ(*out, model[key]);
          }
          model.erase(key);
          break;
        }
        default: {
          std::unique_ptr<int>* at = flat.Find(key);
          ASSERT_EQ(at != nullptr, model.count(key) == 1) << stride << " " << step;
          if (at != nullptr) {
            EXPECT_EQ(**at, model[key]);
          }
        }
      }
      ASSERT_EQ(flat.size(), model.size());
    }
    std::size_t seen = 0;
    flat.ForEach([&](uint64_t k, const std::unique_ptr<int>& v) {
      ++seen;
      EXPECT_EQ(*v, model.at(k));
    });
    EXPECT_EQ(seen, model.size());
  }
}

}  // namespace
