// Whole scenes through the stand-in host, timed step by step, and the memory
// a scene takes. Not a test: it prints figures and writes them as JSON for
// bench_report (bench/README.md).
//
// A scene of N objects is built through the host paths the script console
// takes (host::Session::NewArrow, Host::CreateObject, Host::EditParameter,
// Host::PressButton, AddUserData): N arrows, made as `arrow NAME` makes them;
// every tenth is put into an extrusion by its make-extrusion button, every
// hundredth instead into a cloner of its extrusion along a shared path spline
// (clone along a spline on, the path linked, clone the extrusion on, then
// the cloner button), and one null object carries a Dots user data parameter
// whose value holds 10,000 points (read by the module from their stored
// form and set as the attribute editor sets a value). Then, each timed:
//   build     everything above, from an empty document
//   evaluate  Host::EvaluateContour once on every arrow
//   save      SaveScene to a file (encoded, written, synced, renamed)
//   load      LoadScene of that file into a new document
//   undo      Document::Undo until nothing is left to undo
//   redo      Document::Redo until nothing is left to redo
// Each size has one warm-up run and then R repetitions (a fresh session
// each); the figures are medians.
//
// Memory: the heap in use (glibc's mallinfo2) and the module's live blocks
// (the host's allocation ledger, Host::LiveAllocations) before and after the
// build, and the peak resident size (VmHWM) while the runs of one size took
// place (freed heap given back and the peak reset before them). A scene of only plain arrows,
// built first in a fresh process, gives the resident growth per arrow,
// creation's undo step included.
//
// The Dots part: a value of 1,000,000 points on a null object, saved and
// loaded through a scene file (MB/s of the file each way), and the Dots
// element's field drawn into its raster (the element is given the value,
// which asks for a redraw; the draw itself is timed).
//
//   scene_bench [--reps R] [--reps-large R] [--sizes 1000,10000,100000]
//               [--memory-arrows N] [--dots-points N] [--dir DIR]
//               [--json FILE] [--skip-scenes] [--skip-dots] [--marks]
#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "gui.h"
#include "scenefile.h"
#include "session.h"

namespace {

using Json = nlohmann::ordered_json;
using Clock = std::chrono::steady_clock;

constexpr int32_t kDotsType = 1035303;  // the Dots data type of the release-16 module
constexpr int32_t kDotsField = 2000;    // the Dots element's drawing field
constexpr int kSceneDots = 10000;       // points of the Dots value in every scene

[[noreturn]] void Die(const std::string& why) {
  std::cerr << "scene_bench: " << why << "\n";
  std::exit(1);
}

// With --marks every timed step is written to standard error with its start
// and end on the monotonic clock, for `perf record -k CLOCK_MONOTONIC` and
// `perf report --time START,END` of that step alone.
bool g_marks = false;
double Since(Clock::time_point from, const std::string& step, long long size) {
  const Clock::time_point end = Clock::now();
  if (g_marks) {
    const auto at = [](Clock::time_point p) { return std::chrono::duration<double>(p.time_since_epoch()).count(); };
    std::fprintf(stderr, "mark %s %lld %.6f,%.6f\n", step.c_str(), size, at(from), at(end));
  }
  return std::chrono::duration<double>(end - from).count();
}

double Median(std::vector<double> v) {
  if (v.empty()) return 0.0;
  std::sort(v.begin(), v.end());
  const std::size_t n = v.size();
  return n % 2 == 1 ? v[n / 2] : 0.5 * (v[n / 2 - 1] + v[n / 2]);
}

// A value of /proc/self/status in bytes ("VmRSS", "VmHWM"); 0 when absent.
long long StatusBytes(const char* key) {
  std::ifstream in("/proc/self/status");
  std::string line;
  const std::string prefix = std::string(key) + ":";
  while (std::getline(in, line)) {
    if (line.compare(0, prefix.size(), prefix) == 0) return std::atoll(line.c_str() + prefix.size()) * 1024;
  }
  return 0;
}

// Starts a new peak: freed heap goes back to the system, and the kernel's
// peak resident size (VmHWM) is reset to the present size.
void ResetPeak() {
  malloc_trim(0);
  std::ofstream("/proc/self/clear_refs") << "5";
}

// Heap bytes handed out by malloc (small blocks and mapped ones).
long long HeapInUse() {
  const struct mallinfo2 mi = mallinfo2();
  return static_cast<long long>(mi.uordblks + mi.hblkhd);
}

// The stored form of a Dots value: a count item, then a vector item a point
// (kind byte 1 + 8 bytes, kind byte 2 + 3 doubles, little-endian).
void PutLe(std::string* out, uint64_t bits) {
  for (int i = 0; i < 8; ++i) out->push_back(static_cast<char>((bits >> (8 * i)) & 0xFF));
}
std::string StoredDots(int count) {
  std::string out;
  out.reserve(9 + static_cast<std::size_t>(count) * 25);
  out.push_back('\x01');
  PutLe(&out, static_cast<uint64_t>(count));
  uint32_t seed = 12345;
  for (int i = 0; i < count; ++i) {
    out.push_back('\x02');
    // Points spread over the 400 x 300 field, the same for every run.
    seed = seed * 1664525u + 1013904223u;
    const double xyz[3] = {static_cast<double>(seed % 400), static_cast<double>((seed >> 12) % 300), 0.0};
    for (double d : xyz) {
      uint64_t bits = 0;
      std::memcpy(&bits, &d, sizeof bits);
      PutLe(&out, bits);
    }
  }
  return out;
}

// A loaded release-16 session; the host is shut down (and checked for what
// the module left behind) when it goes.
class Bench {
 public:
  Bench() : session_(host::SessionOptions{16, "", 0}) {
    std::string error;
    if (!session_.Open(&error)) Die("cannot load the plug-in: " + error);
  }
  ~Bench() {
    host::Host& h = session_.GetHost();
    h.Shutdown();
    if (!h.Leaks().empty()) Die("the module left " + std::to_string(h.Leaks().size()) + " allocations behind");
  }
  Bench(const Bench&) = delete;
  Bench& operator=(const Bench&) = delete;

  host::Session& S() { return session_; }
  host::Host& H() { return session_.GetHost(); }
  host::Document* Doc() { return session_.Doc(); }

  int32_t Id(const char* name) {
    const host::ParamDesc* p = session_.FindParam(name);
    if (p == nullptr) Die(std::string("no parameter ") + name);
    return p->id;
  }
  // `arrow NAME`: a new arrow at the top, then named.
  host::Object* Arrow(const std::string& name) {
    std::string error;
    host::Object* op = session_.NewArrow(false, &error);
    if (op == nullptr) Die("cannot make an arrow: " + error);
    op->SetName(name);
    return op;
  }
  // `object KIND NAME`.
  host::Object* Object(int32_t type, const std::string& name) {
    std::string error;
    host::Object* op = H().CreateObject(Doc(), type, false, &error);
    if (op == nullptr) Die("cannot make " + name + ": " + error);
    op->SetName(name);
    return op;
  }
  // `userdata NAME dots LABEL`, then the value set as the editor sets it.
  int32_t DotsOn(host::Object* op, const std::string& stored) {
    std::string error;
    const int32_t id = host::AddUserData(op, "Dots", kDotsType, &error);
    if (id == 0) Die("cannot add a Dots parameter: " + error);
    host::CustomValue value;
    if (!host::ReadCustomValue(kDotsType, stored, 1, &value, &error)) Die("cannot read the Dots value: " + error);
    if (!H().EditParameter(op, id, host::Value::Custom(std::move(value)))) Die("the Dots edit failed");
    return id;
  }

 private:
  host::Session session_;
};

// --- scenes --------------------------------------------------------------------

const char* const kSteps[] = {"build", "evaluate", "save", "load", "undo", "redo"};

struct SceneRun {
  std::map<std::string, double> seconds;  // by step, plus encode/decode sub-steps
  long long heapBytes = 0;                // heap growth over the build
  long long moduleBlocks = 0;             // module blocks live after the build
  long long fileBytes = 0;
  long long objects = 0;                  // objects in the built document
  long long undoSteps = 0;
};

SceneRun RunScene(int size, const std::string& dir, const std::string& dotsStored) {
  SceneRun run;
  Bench b;
  host::Host& h = b.H();
  const int32_t cloneOnSpline = b.Id("ARROW_CLONE_ON_SPLINE");
  const int32_t cloneSpline = b.Id("ARROW_CLONE_SPLINE");
  const int32_t cloneExtruded = b.Id("ARROW_CLONE_EXTRUDED");
  const int32_t makeCloner = b.Id("ARROW_MAKE_CLONER");
  const int32_t makeExtrude = b.Id("ARROW_MAKE_EXTRUDE");
  std::vector<host::Object*> arrows;
  arrows.reserve(static_cast<std::size_t>(size));

  const long long heap0 = HeapInUse();
  const std::size_t blocks0 = h.LiveAllocations();
  Clock::time_point t = Clock::now();
  host::Object* path = b.Object(Ospline, "Path");
  path->MakeSpline(4, 1);
  path->Points() = {{0, 0, 0}, {4000, 0, 3000}, {8000, 0, -2000}, {12000, 0, 0}};
  b.DotsOn(b.Object(Onull, "Marks"), dotsStored);
  for (int i = 0; i < size; ++i) {
    host::Object* a = b.Arrow("A" + std::to_string(i));
    arrows.push_back(a);
    if (i % 100 == 0) {
      h.EditParameter(a, cloneOnSpline, host::Value::Int(1));
      h.EditParameter(a, cloneSpline, host::Value::Link(path->Serial()));
      h.EditParameter(a, cloneExtruded, host::Value::Int(1));
      h.PressButton(a, makeCloner);
    } else if (i % 10 == 0) {
      h.PressButton(a, makeExtrude);
    }
  }
  run.seconds["build"] = Since(t, "build", size);
  run.heapBytes = HeapInUse() - heap0;
  run.moduleBlocks = static_cast<long long>(h.LiveAllocations() - blocks0);
  host::Document* doc = b.Doc();
  run.objects = static_cast<long long>(doc->TreeOrder().size());
  run.undoSteps = static_cast<long long>(doc->UndoSteps().size());
  if (arrows.front()->Up() == nullptr || arrows.front()->Up()->Up() == nullptr)
    Die("the first arrow is not inside a cloner's extrusion");

  t = Clock::now();
  for (host::Object* a : arrows) {
    if (h.EvaluateContour(a) == nullptr) Die("an arrow answered no contour");
  }
  run.seconds["evaluate"] = Since(t, "evaluate", size);

  const std::string file = dir + "/scene-" + std::to_string(size) + ".tlvscene";
  std::string error;
  t = Clock::now();
  if (!host::SaveScene(h.Options().interfaceVersion, *doc, file, &error)) Die("cannot save: " + error);
  run.seconds["save"] = Since(t, "save", size);
  {
    std::ifstream in(file, std::ios::binary | std::ios::ate);
    run.fileBytes = static_cast<long long>(in.tellg());
  }

  t = Clock::now();
  std::unique_ptr<host::Document> loaded = host::LoadScene(file, &error);
  run.seconds["load"] = Since(t, "load", size);
  if (loaded == nullptr) Die("cannot load: " + error);
  if (static_cast<long long>(loaded->TreeOrder().size()) != run.objects) Die("the loaded scene differs");
  loaded.reset();

  // Sub-steps: the encoding alone and the decoding alone (no file).
  std::string bytes;
  t = Clock::now();
  if (!host::EncodeScene(*doc, h.Options().interfaceVersion, &bytes, &error)) Die("cannot encode: " + error);
  run.seconds["save: encode only"] = Since(t, "save-encode-only", size);
  t = Clock::now();
  loaded = host::DecodeScene(bytes, &error);
  run.seconds["load: decode only"] = Since(t, "load-decode-only", size);
  if (loaded == nullptr) Die("cannot decode: " + error);
  loaded.reset();
  std::remove(file.c_str());

  long long undone = 0, redone = 0;
  t = Clock::now();
  while (doc->Undo()) ++undone;
  run.seconds["undo"] = Since(t, "undo", size);
  if (doc->First() != nullptr) Die("undo all left objects in the document");
  t = Clock::now();
  while (doc->Redo()) ++redone;
  run.seconds["redo"] = Since(t, "redo", size);
  if (undone != run.undoSteps || redone != undone ||
      static_cast<long long>(doc->TreeOrder().size()) != run.objects)
    Die("undo all and redo all did not give the scene back");
  return run;
}

// --- memory of plain arrows ------------------------------------------------------

Json PlainArrowMemory(int count) {
  Bench b;
  host::Host& h = b.H();
  std::vector<host::Object*> keep;
  keep.reserve(static_cast<std::size_t>(count));  // the bench's own list, outside the figures
  const long long rss0 = StatusBytes("VmRSS");
  const long long heap0 = HeapInUse();
  const std::size_t blocks0 = h.LiveAllocations();
  const Clock::time_point t = Clock::now();
  for (int i = 0; i < count; ++i) keep.push_back(b.Arrow("A" + std::to_string(i)));
  const double seconds = Since(t, "plain-arrows", count);
  const long long rss = StatusBytes("VmRSS") - rss0;
  const long long heap = HeapInUse() - heap0;
  const long long blocks = static_cast<long long>(h.LiveAllocations() - blocks0);
  if (b.Doc()->UndoSteps().size() != static_cast<std::size_t>(count)) Die("not one undo step an arrow");
  const double n = count;
  return Json{{"arrows", count},
              {"seconds", seconds},
              {"rss_bytes_per_arrow", static_cast<double>(rss) / n},
              {"heap_bytes_per_arrow", static_cast<double>(heap) / n},
              {"module_blocks_per_arrow", static_cast<double>(blocks) / n}};
}

// --- Dots ------------------------------------------------------------------------

Json RunDots(int points, int reps, const std::string& dir) {
  const std::string stored = StoredDots(points);
  std::map<std::string, std::vector<double>> samples;
  long long fileBytes = 0;
  for (int rep = 0; rep <= reps; ++rep) {  // rep 0 is the warm-up
    Bench b;
    host::Host& h = b.H();
    host::Object* null = b.Object(Onull, "Marks");
    const int32_t id = b.DotsOn(null, stored);
    const std::string file = dir + "/dots-" + std::to_string(points) + ".tlvscene";
    std::string error;
    Clock::time_point t = Clock::now();
    if (!host::SaveScene(h.Options().interfaceVersion, *b.Doc(), file, &error)) Die("cannot save the Dots scene: " + error);
    const double save = Since(t, "dots-save", points);
    {
      std::ifstream in(file, std::ios::binary | std::ios::ate);
      fileBytes = static_cast<long long>(in.tellg());
    }
    t = Clock::now();
    std::unique_ptr<host::Document> loaded = host::LoadScene(file, &error);
    const double load = Since(t, "dots-load", points);
    if (loaded == nullptr) Die("cannot load the Dots scene: " + error);
    std::vector<ha_vector> back;
    if (!host::PointsOf(*loaded->First()->Data().Find(id), &back) || back.size() != static_cast<std::size_t>(points))
      Die("the loaded Dots value differs");
    loaded.reset();
    std::remove(file.c_str());

    host::ElementHost* elementHost = host::OpenElement(null, id, &error);
    if (elementHost == nullptr) Die("cannot open the Dots element: " + error);
    // Giving the value (the module copies the points and asks for a redraw),
    // then the draw the raster's next look causes.
    t = Clock::now();
    if (!elementHost->GiveValue(null->Data().Find(id), false)) Die("the element did not take the value");
    const double give = Since(t, "dots-give-value", points);
    const long draws = elementHost->Fields().at(0).draws;
    t = Clock::now();
    const host::Raster* raster = elementHost->FieldRaster(kDotsField);
    const double draw = Since(t, "dots-draw", points);
    if (raster == nullptr || elementHost->Fields().at(0).draws != draws + 1) Die("the field was not drawn once");
    host::CloseElement(elementHost);
    if (rep == 0) continue;
    samples["save"].push_back(save);
    samples["load"].push_back(load);
    samples["give value"].push_back(give);
    samples["draw"].push_back(draw);
  }
  Json out{{"points", points}, {"file_bytes", fileBytes}, {"repetitions", reps}, {"steps", Json::object()}};
  for (const auto& [step, v] : samples) out["steps"][step] = Json{{"median_s", Median(v)}, {"samples_s", v}};
  return out;
}

std::vector<int> ParseSizes(const std::string& text) {
  std::vector<int> sizes;
  std::stringstream in(text);
  std::string word;
  while (std::getline(in, word, ',')) {
    const int n = std::atoi(word.c_str());
    if (n < 100) Die("a scene size is at least 100: " + word);
    sizes.push_back(n);
  }
  return sizes;
}

std::string Human(double seconds) {
  char text[32];
  if (seconds >= 1.0) std::snprintf(text, sizeof text, "%.3f s", seconds);
  else if (seconds >= 1e-3) std::snprintf(text, sizeof text, "%.2f ms", seconds * 1e3);
  else if (seconds >= 1e-6) std::snprintf(text, sizeof text, "%.2f us", seconds * 1e6);
  else std::snprintf(text, sizeof text, "%.1f ns", seconds * 1e9);
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  int reps = 5, repsLarge = 3, memoryArrows = 100000, dotsPoints = 1000000;
  std::vector<int> sizes = {1000, 10000, 100000};
  std::string dir = "/tmp", jsonFile;
  bool scenes = true, dots = true;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const auto value = [&]() -> std::string {
      if (i + 1 >= argc) Die(arg + " needs a value");
      return argv[++i];
    };
    if (arg == "--reps") reps = std::atoi(value().c_str());
    else if (arg == "--reps-large") repsLarge = std::atoi(value().c_str());
    else if (arg == "--sizes") sizes = ParseSizes(value());
    else if (arg == "--memory-arrows") memoryArrows = std::atoi(value().c_str());
    else if (arg == "--dots-points") dotsPoints = std::atoi(value().c_str());
    else if (arg == "--dir") dir = value();
    else if (arg == "--json") jsonFile = value();
    else if (arg == "--skip-scenes") scenes = false;
    else if (arg == "--skip-dots") dots = false;
    else if (arg == "--marks") g_marks = true;
    else Die("unknown option " + arg + " (see the head of bench/scene_bench.cpp)");
  }
  if (reps < 1 || repsLarge < 1) Die("at least one repetition");

  Json out{{"scenes", Json::array()}};
  if (scenes) {
    // First, in a fresh process: the resident growth of plain arrows.
    out["plain_arrows"] = PlainArrowMemory(memoryArrows);
    const Json& m = out["plain_arrows"];
    std::cout << "plain arrows (" << memoryArrows << "): " << m["rss_bytes_per_arrow"].get<double>()
              << " B resident, " << m["heap_bytes_per_arrow"].get<double>() << " B heap, "
              << m["module_blocks_per_arrow"].get<double>() << " module blocks per arrow\n";
    const std::string dotsStored = StoredDots(kSceneDots);
    for (int size : sizes) {
      const int r = size >= 100000 ? repsLarge : reps;
      std::map<std::string, std::vector<double>> samples;
      SceneRun last;
      ResetPeak();
      for (int rep = 0; rep <= r; ++rep) {  // rep 0 is the warm-up
        last = RunScene(size, dir, dotsStored);
        if (rep == 0) continue;
        for (const auto& [step, s] : last.seconds) samples[step].push_back(s);
      }
      Json scene{{"size", size},
                 {"repetitions", r},
                 {"objects", last.objects},
                 {"undo_steps", last.undoSteps},
                 {"file_bytes", last.fileBytes},
                 {"heap_bytes_per_object", static_cast<double>(last.heapBytes) / size},
                 {"module_blocks_per_object", static_cast<double>(last.moduleBlocks) / size},
                 {"peak_rss_bytes", StatusBytes("VmHWM")},
                 {"steps", Json::object()}};
      std::cout << "scene " << size << " (" << last.objects << " objects, " << r << " repetitions):";
      for (const auto& [step, v] : samples) {
        const double med = Median(v);
        scene["steps"][step] = Json{{"median_s", med}, {"per_object_s", med / size}, {"samples_s", v}};
      }
      for (const char* step : kSteps)
        std::cout << " " << step << " " << Human(scene["steps"][step]["median_s"].get<double>());
      std::cout << "\n";
      out["scenes"].push_back(scene);
    }
  }
  if (dots) {
    out["dots"] = RunDots(dotsPoints, reps, dir);
    std::cout << "dots " << dotsPoints << ":";
    for (const auto& [step, v] : out["dots"]["steps"].items())
      std::cout << " " << step << " " << Human(v["median_s"].get<double>());
    std::cout << "\n";
  }
  out["peak_rss_bytes"] = StatusBytes("VmHWM");
  if (!jsonFile.empty()) {
    std::ofstream f(jsonFile);
    f << out.dump(2) << "\n";
    if (!f) Die("cannot write " + jsonFile);
  }
  return 0;
}
