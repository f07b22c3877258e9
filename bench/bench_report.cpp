// One table of every benchmark's figures beside its target, and the same as
// JSON (make bench). Reads the JSON of scene_bench and, when given, the JSON
// of contour_bench and mesh_bench (Google Benchmark, medians of
// repetitions, CPU time).
//
//   bench_report --scene FILE [--contour FILE] [--mesh FILE] [--workbench FILE] [--batch FILE] [--out FILE]
//
// Targets (Release build, medians):
//   linear: time per object at the largest size within 1.5x that at the
//           smallest, every scene step;
//   100k scene: save <= 0.5 s, load <= 0.5 s, undo all + redo all <= 1 s,
//           every contour evaluated once <= 0.1 s;
//   host memory <= 2 KiB (2,048 bytes) resident per plain arrow, the undo
//           step of its creation included;
//   a contour through the host <= 10x the bare kernel (the default arrow);
//   Dots, 1,000,000 points: scene file saved and loaded >= 100 MB/s each
//           way (1 MB = 10^6 bytes); the field drawn <= 50 ms;
//   batch: a table of 10,000 rows into one SVG or one glb <= 2 s, whether
//           its arrows share a few shapes or all differ.
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

namespace {

using Json = nlohmann::ordered_json;

[[noreturn]] void Die(const std::string& why) {
  std::cerr << "bench_report: " << why << "\n";
  std::exit(1);
}

Json ReadJson(const std::string& path) {
  std::ifstream in(path);
  if (!in) Die("cannot read " + path);
  try {
    return Json::parse(in);
  } catch (const std::exception& e) {
    Die(path + " is no JSON: " + e.what());
  }
}

std::string Fmt(const char* format, double v) {
  char text[64];
  std::snprintf(text, sizeof text, format, v);
  return text;
}

std::string Time(double seconds) {
  if (seconds < 0) return "-";
  if (seconds >= 1.0) return Fmt("%.3f s", seconds);
  if (seconds >= 1e-3) return Fmt("%.2f ms", seconds * 1e3);
  if (seconds >= 1e-6) return Fmt("%.2f us", seconds * 1e6);
  return Fmt("%.1f ns", seconds * 1e9);
}

std::string Count(long long n) {
  if (n >= 1000000 && n % 1000000 == 0) return std::to_string(n / 1000000) + "M";
  if (n >= 1000 && n % 1000 == 0) return std::to_string(n / 1000) + "k";
  return std::to_string(n);
}

struct Row {
  std::string step;
  std::string size;
  double median = -1;     // seconds; -1: none
  double perObject = -1;  // seconds; -1: none
  std::string measured;   // the figure the target is about, when not the time
  std::string target;     // empty: no target
  int met = -1;           // 1 met, 0 short, -1 no target
  std::string shortBy;    // "2.7x" when short
};

std::vector<Row> g_rows;

Row& Add(Row row) {
  g_rows.push_back(std::move(row));
  return g_rows.back();
}

// A figure that must stay at or below `limit` (or at or above it).
void Judge(Row& row, double value, double limit, bool atMost) {
  const bool ok = atMost ? value <= limit : value >= limit;
  row.met = ok ? 1 : 0;
  if (!ok) row.shortBy = Fmt("%.1fx", atMost ? value / limit : limit / value);
}

const char* const kSteps[] = {"build", "evaluate", "save", "load", "undo", "redo"};

void SceneRows(const Json& scene) {
  const Json& scenes = scene.at("scenes");
  for (const Json& s : scenes) {
    const long long size = s.at("size").get<long long>();
    const bool large = size == 100000;
    const Json& steps = s.at("steps");
    for (const char* step : kSteps) {
      const double med = steps.at(step).at("median_s").get<double>();
      Row& r = Add({step, Count(size), med, med / static_cast<double>(size), "", "", -1, ""});
      if (!large) continue;
      const std::string name = step;
      const double limit = name == "save" || name == "load" ? 0.5 : name == "evaluate" ? 0.1 : 0.0;
      if (limit == 0.0) continue;
      r.target = Fmt("<= %.1f s", limit);
      Judge(r, med, limit, true);
    }
    const double both = steps.at("undo").at("median_s").get<double>() + steps.at("redo").at("median_s").get<double>();
    Row& r = Add({"undo all + redo all", Count(size), both, both / static_cast<double>(size), "", "", -1, ""});
    if (large) {
      r.target = "<= 1 s";
      Judge(r, both, 1.0, true);
    }
    for (const char* sub : {"save: encode only", "load: decode only"}) {
      if (!steps.contains(sub)) continue;
      const double med = steps.at(sub).at("median_s").get<double>();
      Add({std::string("  ") + sub, Count(size), med, med / static_cast<double>(size), "", "", -1, ""});
    }
    Add({"memory: heap per object", Count(size), -1, -1,
         Fmt("%.0f B", s.at("heap_bytes_per_object").get<double>()), "", -1, ""});
    Add({"memory: module blocks per object", Count(size), -1, -1,
         Fmt("%.2f", s.at("module_blocks_per_object").get<double>()), "", -1, ""});
    Add({"memory: peak resident (this size's runs)", Count(size), -1, -1,
         Fmt("%.0f MB", s.at("peak_rss_bytes").get<double>() / 1e6), "", -1, ""});
    Add({"scene file", Count(size), -1, -1,
         Fmt("%.1f MB", s.at("file_bytes").get<double>() / 1e6) + ", " +
             std::to_string(s.at("objects").get<long long>()) + " objects",
         "", -1, ""});
  }
  if (scenes.size() >= 2) {
    const Json& small = scenes.front();
    const Json& big = scenes.back();
    const std::string range = Count(small.at("size").get<long long>()) + "->" + Count(big.at("size").get<long long>());
    for (const char* step : kSteps) {
      const double a = small.at("steps").at(step).at("per_object_s").get<double>();
      const double b = big.at("steps").at(step).at("per_object_s").get<double>();
      Row& r = Add({std::string("linear: ") + step, range, -1, -1, Fmt("%.2fx", b / a), "<= 1.5x", -1, ""});
      Judge(r, b / a, 1.5, true);
    }
  }
  if (scene.contains("plain_arrows")) {
    const Json& m = scene.at("plain_arrows");
    const std::string n = Count(m.at("arrows").get<long long>());
    const double rss = m.at("rss_bytes_per_arrow").get<double>();
    Row& r = Add({"memory: resident per plain arrow", n, -1, -1, Fmt("%.0f B", rss), "<= 2048 B", -1, ""});
    Judge(r, rss, 2048, true);
    Add({"memory: heap per plain arrow", n, -1, -1, Fmt("%.0f B", m.at("heap_bytes_per_arrow").get<double>()), "",
         -1, ""});
    Add({"memory: module blocks per plain arrow", n, -1, -1,
         Fmt("%.2f", m.at("module_blocks_per_arrow").get<double>()), "", -1, ""});
  }
  if (scene.contains("dots")) {
    const Json& d = scene.at("dots");
    const long long points = d.at("points").get<long long>();
    const double mb = d.at("file_bytes").get<double>() / 1e6;
    const std::string n = Count(points);
    for (const char* step : {"save", "load"}) {
      const double med = d.at("steps").at(step).at("median_s").get<double>();
      Row& r = Add({std::string("dots: ") + step + " scene file", n, med, med / static_cast<double>(points),
                    Fmt("%.0f MB/s", mb / med), ">= 100 MB/s", -1, ""});
      Judge(r, mb / med, 100, false);
    }
    const double give = d.at("steps").at("give value").at("median_s").get<double>();
    Add({"dots: element given the value", n, give, give / static_cast<double>(points), "", "", -1, ""});
    const double draw = d.at("steps").at("draw").at("median_s").get<double>();
    Row& r = Add({"dots: field draw", n, draw, draw / static_cast<double>(points), "", "<= 50 ms", -1, ""});
    Judge(r, draw, 0.05, true);
  }
}

// The median CPU time of a Google Benchmark run, in seconds; -1 when absent.
double GbMedian(const Json& gb, const std::string& name) {
  for (const Json& b : gb.at("benchmarks")) {
    const bool median = b.value("aggregate_name", "") == "median" && b.value("run_name", "") == name;
    const bool single = !b.contains("aggregate_name") && b.value("name", "") == name;
    if (!median && !single) continue;
    const std::string unit = b.value("time_unit", "ns");
    const double scale = unit == "ns" ? 1e-9 : unit == "us" ? 1e-6 : unit == "ms" ? 1e-3 : 1.0;
    return b.at("cpu_time").get<double>() * scale;
  }
  return -1;
}

std::vector<std::string> GbNames(const Json& gb) {
  std::vector<std::string> names;
  for (const Json& b : gb.at("benchmarks")) {
    const std::string name = b.value("run_name", b.value("name", ""));
    if (!name.empty() && (names.empty() || names.back() != name)) names.push_back(name);
  }
  return names;
}

void ContourRows(const Json& gb) {
  for (const std::string& name : GbNames(gb)) {
    const double t = GbMedian(gb, name);
    Add({"contour: " + name, "1", t, t, "", "", -1, ""});
  }
  const double host = GbMedian(gb, "BM_HostContour_Default");
  const double bare = GbMedian(gb, "BM_BareOutline_Default");
  if (host > 0 && bare > 0) {
    Row& r = Add({"contour: host / bare kernel, default arrow", "1", -1, -1, Fmt("%.1fx", host / bare), "<= 10x",
                  -1, ""});
    Judge(r, host / bare, 10, true);
  }
}

void MeshRows(const Json& gb) {
  for (const std::string& name : GbNames(gb)) {
    const double t = GbMedian(gb, name);
    Add({"mesh: " + name, "1", t, t, "", "", -1, ""});
  }
}

// The workbench in Chromium (bench/workbench_bench.mjs): edit to redrawn
// previews, one request's round trip, and a soak of loopback clients.
void WorkbenchRows(const Json& w) {
  const std::string edits = Count(w.at("edits").get<long long>());
  const auto ms = [](const Json& j, const char* q) { return j.at(q).get<double>() / 1000.0; };
  Row& preview = Add({"workbench: edit to redrawn 2-D preview, p90", edits, ms(w.at("preview_ms"), "p90"), -1,
                      Fmt("p50 %.1f ms", w.at("preview_ms").at("p50").get<double>()), "<= 16 ms", -1, ""});
  Judge(preview, ms(w.at("preview_ms"), "p90"), 0.016, true);
  Row& view = Add({"workbench: edit to updated 3-D view, p90", edits, ms(w.at("view3d_ms"), "p90"), -1,
                   Fmt("p50 %.1f ms", w.at("view3d_ms").at("p50").get<double>()), "<= 33 ms", -1, ""});
  Judge(view, ms(w.at("view3d_ms"), "p90"), 0.033, true);
  Add({"workbench: one request, kept-alive connection, p90", "200", ms(w.at("round_trip_ms"), "p90"), -1,
       Fmt("p50 %.2f ms", w.at("round_trip_ms").at("p50").get<double>()), "", -1, ""});
  const Json& soak = w.at("soak");
  const std::string who = std::to_string(soak.at("clients").get<int>()) + " clients, " +
                          std::to_string(soak.at("seconds").get<int>()) + " s";
  Row& errors = Add({"workbench soak: failed requests", who, -1, -1,
                     std::to_string(soak.at("errors").get<long long>()) + " of " +
                         std::to_string(soak.at("requests").get<long long>()),
                     "0", -1, ""});
  Judge(errors, static_cast<double>(soak.at("errors").get<long long>()), 0, true);
  // Flat: the resident memory at the end within 10 % (or 8 MB) of where it
  // stood after the first tenth of the soak.
  const Json& samples = soak.at("rss_samples_bytes");
  const double settled = samples.at(std::min<std::size_t>(samples.size() - 1, 1 + samples.size() / 10)).get<double>();
  const double end = soak.at("rss_end_bytes").get<double>();
  Row& flat = Add({"workbench soak: resident memory, settled -> end", who, -1, -1,
                   Fmt("%.1f", settled / 1e6) + " -> " + Fmt("%.1f MB", end / 1e6), "flat (+10 % or 8 MB)", -1, ""});
  Judge(flat, end - settled, std::max(settled * 0.10, 8e6), true);
}

// The batch command's runs (bench/batch_bench.sh): the median wall time of
// the whole program, table read, arrows made and file written.
void BatchRows(const Json& runs) {
  for (const Json& run : runs) {
    const long long rows = run.at("rows").get<long long>();
    const std::string format = run.at("format").get<std::string>();
    const double seconds = run.at("seconds").get<double>();
    Row& r = Add({"batch " + run.at("table").get<std::string>() + " -> ." + format, Count(rows), seconds,
                  seconds / static_cast<double>(rows), Fmt("%.1f MB", run.at("bytes").get<double>() / 1e6), "", -1,
                  ""});
    if (rows >= 10000 && (format == "svg" || format == "glb")) {
      r.target = "<= 2 s";
      Judge(r, seconds, 2.0, true);
    }
  }
}

std::string CpuModel() {
  std::ifstream in("/proc/cpuinfo");
  std::string line;
  while (std::getline(in, line)) {
    if (line.compare(0, 10, "model name") == 0) {
      const std::size_t colon = line.find(':');
      if (colon != std::string::npos) return line.substr(colon + 2);
    }
  }
  return "unknown";
}

std::string Pad(const std::string& text, std::size_t width) {
  return text.size() >= width ? text : text + std::string(width - text.size(), ' ');
}

}  // namespace

int main(int argc, char** argv) {
  std::string sceneFile, contourFile, meshFile, workbenchFile, batchFile, outFile;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (i + 1 >= argc) Die(arg + " needs a value");
    const std::string value = argv[++i];
    if (arg == "--scene") sceneFile = value;
    else if (arg == "--contour") contourFile = value;
    else if (arg == "--mesh") meshFile = value;
    else if (arg == "--workbench") workbenchFile = value;
    else if (arg == "--batch") batchFile = value;
    else if (arg == "--out") outFile = value;
    else Die("unknown option " + arg);
  }
  if (sceneFile.empty())
    Die("usage: bench_report --scene FILE [--contour FILE] [--mesh FILE] [--workbench FILE] [--batch FILE] [--out FILE]");
  const Json scene = ReadJson(sceneFile);
  SceneRows(scene);
  if (!contourFile.empty()) ContourRows(ReadJson(contourFile));
  if (!meshFile.empty()) MeshRows(ReadJson(meshFile));
  if (!workbenchFile.empty()) WorkbenchRows(ReadJson(workbenchFile));
  if (!batchFile.empty()) BatchRows(ReadJson(batchFile));

  const std::time_t now = std::time(nullptr);
  char date[32];
  std::strftime(date, sizeof date, "%Y-%m-%d %H:%M UTC", std::gmtime(&now));
  std::string load;
  std::getline(std::ifstream("/proc/loadavg"), load);
  Json machine{{"date", date},
               {"load_average_at_end", load.substr(0, load.find(' ', load.find(' ', load.find(' ') + 1) + 1))},
               {"cpus", std::thread::hardware_concurrency()},
               {"cpu_model", CpuModel()},
               {"compiler", __VERSION__}};
  std::cout << "Benchmarks, " << date << ": " << machine["cpus"].get<unsigned>() << " CPUs, " << CpuModel()
            << ", g++ " << __VERSION__ << ", load average at the end " << machine["load_average_at_end"].get<std::string>()
            << "\n"
            << "Medians; contour and mesh rows are CPU time of Google Benchmark, the rest wall time.\n\n";
  const std::vector<std::string> head = {"step", "size", "median time", "per object", "measured", "target", "met?"};
  std::vector<std::vector<std::string>> cells;
  int shortCount = 0;
  for (const Row& r : g_rows) {
    const std::string met = r.met < 0 ? "" : r.met == 1 ? "met" : "SHORT " + r.shortBy;
    if (r.met == 0) ++shortCount;
    cells.push_back({r.step, r.size, Time(r.median), Time(r.perObject), r.measured, r.target, met});
  }
  std::vector<std::size_t> widths(head.size());
  for (std::size_t c = 0; c < head.size(); ++c) {
    widths[c] = head[c].size();
    for (const auto& row : cells) widths[c] = std::max(widths[c], row[c].size());
  }
  const auto print = [&](const std::vector<std::string>& row) {
    std::string line;
    for (std::size_t c = 0; c < row.size(); ++c) line += Pad(row[c], widths[c]) + "  ";
    while (!line.empty() && line.back() == ' ') line.pop_back();
    std::cout << line << "\n";
  };
  print(head);
  for (const auto& row : cells) print(row);
  std::cout << "\n" << shortCount << " target(s) short.\n";

  if (!outFile.empty()) {
    Json rows = Json::array();
    for (const Row& r : g_rows) {
      rows.push_back(Json{{"step", r.step},
                          {"size", r.size},
                          {"median_s", r.median < 0 ? Json(nullptr) : Json(r.median)},
                          {"per_object_s", r.perObject < 0 ? Json(nullptr) : Json(r.perObject)},
                          {"measured", r.measured},
                          {"target", r.target},
                          {"met", r.met < 0 ? Json(nullptr) : Json(r.met == 1)}});
    }
    std::ofstream out(outFile);
    out << Json{{"machine", machine}, {"rows", rows}, {"scene_bench", scene}}.dump(2) << "\n";
    if (!out) Die("cannot write " + outFile);
  }
  return 0;
}
