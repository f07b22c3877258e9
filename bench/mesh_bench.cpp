// Meshes per second: the stand-in host's evaluation of an extruded arrow (the
// default arrow, flat and rounded caps), of a cloner putting 1,000 extruded
// arrows along a curved path, and of an extruded arrow bent along a path by a
// spline wrap. Each iteration is one whole evaluation: the contour asked from
// the loaded module, the outline checked, the solid built (and copied,
// placed or cut and bent).
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "mesh.h"
#include "session.h"

namespace {

void Abort(benchmark::State& state, const std::string& why) { state.SkipWithError(why.c_str()); }

// Console-like steps on a session: a path, an arrow with settings, a button.
struct SetUp {
  host::Session session{host::SessionOptions{16, "", 0}};
  std::string error;

  bool Open() { return session.Open(&error); }
  host::Object* Path() {
    host::Object* op = session.GetHost().CreateObject(session.Doc(), Ospline, false, &error);
    if (op == nullptr) return nullptr;
    op->SetName("Path");
    const std::vector<ha_vector> points = {{0, 0, 0}, {4000, 0, 3000}, {8000, 0, -2000}, {12000, 0, 0}};
    op->MakeSpline(static_cast<int32_t>(points.size()), 1);
    op->Points() = points;
    return op;
  }
  host::Object* Arrow(const std::vector<std::string>& settings, const char* button) {
    host::Object* arrow = session.NewArrow(false, &error);
    if (arrow == nullptr) return nullptr;
    for (const std::string& s : settings) {
      if (!session.ApplySetting(arrow, s, &error)) return nullptr;
    }
    if (!session.PressButton(arrow, button, &error)) return nullptr;
    return arrow;
  }
};

void Measure(benchmark::State& state, const std::vector<std::string>& settings, const char* button, bool path,
             int levelsUp) {
  SetUp s;
  if (!s.Open()) return Abort(state, "cannot open the session: " + s.error);
  if (path && s.Path() == nullptr) return Abort(state, "cannot make the path: " + s.error);
  host::Object* arrow = s.Arrow(settings, button);
  if (arrow == nullptr) return Abort(state, "cannot build the set-up: " + s.error);
  host::Object* top = arrow;
  for (int i = 0; i < levelsUp && top != nullptr; ++i) top = top->Up();
  if (top == nullptr) return Abort(state, "the set-up is not as expected");
  host::Host& h = s.session.GetHost();
  const host::mesh::Evaluation first = host::mesh::Evaluate(h, top);
  if (!first.ok) return Abort(state, "no mesh: " + first.reason);
  for (auto _ : state) {
    host::mesh::Evaluation eval = host::mesh::Evaluate(h, top);
    benchmark::DoNotOptimize(eval.mesh.vertices.data());
  }
  state.SetItemsProcessed(state.iterations());
  state.counters["triangles"] = static_cast<double>(first.mesh.triangles.size());
  h.Shutdown();
  if (!h.Leaks().empty()) Abort(state, "the module leaked");
}

void BM_Mesh_ExtrudedArrow(benchmark::State& state) { Measure(state, {}, "ARROW_MAKE_EXTRUDE", false, 1); }

void BM_Mesh_ExtrudedArrow_Rounded(benchmark::State& state) {
  Measure(state, {"ARROW_EXTRUDE_FILLET=true"}, "ARROW_MAKE_EXTRUDE", false, 1);
}

void BM_Mesh_Cloner1000_AlongPath(benchmark::State& state) {
  Measure(state,
          {"ARROW_CLONE_ON_SPLINE=true", "ARROW_CLONE_SPLINE=Path", "ARROW_CLONE_EXTRUDED=true",
           "ARROW_CLONE_COUNT=1000"},
          "ARROW_MAKE_CLONER", true, 2);
}

void BM_Mesh_WrapAlongPath(benchmark::State& state) {
  Measure(state,
          {"ARROW_SHAFT_LENGTH=800", "ARROW_EXTRUDE_FILLET=true", "ARROW_WRAP_EXTRUDED=true",
           "ARROW_WRAP_SPLINE=Path"},
          "ARROW_MAKE_SPLINE_WRAP", true, 1);
}

}  // namespace

BENCHMARK(BM_Mesh_ExtrudedArrow);
BENCHMARK(BM_Mesh_ExtrudedArrow_Rounded);
BENCHMARK(BM_Mesh_Cloner1000_AlongPath)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Mesh_WrapAlongPath)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
