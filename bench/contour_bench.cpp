// Contour evaluations per second: the whole host path (the stand-in host asks
// the loaded module for the arrow's spline, which reads the parameters,
// allocates the spline through the host, writes, orients and copies the
// settings, and the host takes it over and frees the previous one) beside the
// bare outline computation into a local buffer.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "../source/outline.h"
#include "session.h"

namespace {

// The defaults of a new arrow.
Arrow DefaultArrow() {
  Arrow a{};
  a.shaftLength = 400;
  a.shaftWidth = 100;
  a.headLength = 100;
  a.barbWidth = 50;
  a.chevronDepth = 50;
  a.hasShaft = 1;
  a.fletchLength = 100;
  a.fletchHeight = 50;
  a.fletchSweep = 50;
  a.cornerRadius = 10;
  a.cornerOption = 1;
  a.doubleShaftLength = 400;
  a.doubleShaftWidth = 100;
  return a;
}

// The largest outline: fins, a notched tail and a chevron head.
Arrow LargestArrow() {
  Arrow a = DefaultArrow();
  a.fletching = 1;
  a.tailNotch = 40;
  a.chevronHead = 1;
  return a;
}

const std::vector<std::string> kLargestSettings = {"ARROW_FLETCHING=true", "ARROW_TAIL_NOTCH=40",
                                                   "ARROW_CHEVRON=true"};

void Abort(benchmark::State& state, const std::string& why) {
  state.SkipWithError(why.c_str());
}

void HostPath(benchmark::State& state, int release, const std::vector<std::string>& settings,
              std::size_t expectedPoints) {
  host::Session session(host::SessionOptions{release, "", 0});
  std::string error;
  if (!session.Open(&error)) return Abort(state, "cannot open the session: " + error);
  host::Object* arrow = session.NewArrow(false, &error);
  if (arrow == nullptr) return Abort(state, "cannot make an arrow: " + error);
  for (const std::string& s : settings) {
    if (!session.ApplySetting(arrow, s, &error)) return Abort(state, error);
  }
  host::Host& h = session.GetHost();
  host::Object* first = h.EvaluateContour(arrow);
  if (first == nullptr || first->Points().size() != expectedPoints)
    return Abort(state, "unexpected contour");
  for (auto _ : state) {
    host::Object* spline = h.EvaluateContour(arrow);
    benchmark::DoNotOptimize(spline);
  }
  state.SetItemsProcessed(state.iterations());
  state.counters["points"] = static_cast<double>(expectedPoints);
  h.Shutdown();
  if (!h.Leaks().empty()) Abort(state, "the module leaked");
}

void BM_HostContour_Default(benchmark::State& state) { HostPath(state, 16, {}, 7); }
void BM_HostContour_Largest(benchmark::State& state) { HostPath(state, 16, kLargestSettings, 16); }
void BM_HostContour_Default_R12(benchmark::State& state) { HostPath(state, 12, {}, 7); }

void BareOutline(benchmark::State& state, Arrow arrow, Int32 expectedPoints) {
  Vector points[kMaxOutlinePoints];
  if (OutlinePointCount(arrow) != expectedPoints) return Abort(state, "unexpected count");
  for (auto _ : state) {
    benchmark::DoNotOptimize(arrow);
    const Int32 count = OutlinePointCount(arrow);
    WriteOutline(arrow, points);
    benchmark::DoNotOptimize(count);
    benchmark::DoNotOptimize(points);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations());
  state.counters["points"] = expectedPoints;
}

void BM_BareOutline_Default(benchmark::State& state) { BareOutline(state, DefaultArrow(), 7); }
void BM_BareOutline_Largest(benchmark::State& state) { BareOutline(state, LargestArrow(), 16); }

}  // namespace

BENCHMARK(BM_HostContour_Default);
BENCHMARK(BM_HostContour_Largest);
BENCHMARK(BM_HostContour_Default_R12);
BENCHMARK(BM_BareOutline_Default);
BENCHMARK(BM_BareOutline_Largest);

BENCHMARK_MAIN();
