// Every command that changes the document or touches a file, run as a
// user's console script with the Nth module allocation failing and, apart,
// with the Nth file operation failing, for N = 1, 2, ... until the command
// goes through without meeting the injected failure. Each run must end in
// one of two states:
//
//  - the command's own result: the same tree, parameters, undo stack, files
//    and editor value as a run without any failure (the reference run); or
//  - nothing changed at all (tree, every object's parameters, undo and redo
//    stacks, the files in the test's folder and the open editor's value all
//    as before the command), and the failure was reported as that kind of
//    command can report it (see Report below).
//
// Either way the host must end without a leak and without misuse of the
// interface. Everything runs in this process, one host per run. A case
// stops at its first failing N; TOLVANE_SWEEP_ALL=1 goes on through every N.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "core.h"
#include "script.h"
#include "fixture.h"

namespace {

namespace fs = std::filesystem;
using host::Json;

// How a command that did not happen must tell the user so.
enum class Report {
  // A console command with a status (scene files, user data, the editor's
  // opening, making an arrow, undo and redo): the line fails with status 1
  // and a message.
  Status,
  // A button of the arrow (the build commands, reset): the module's answer
  // to the button message is not read by the host (the handler answers true
  // for every message), and the module shows no box for it, so the only
  // report is that nothing changed: the document, its undo and redo stacks
  // included, are exactly as before (no new step, not even an empty one).
  Unchanged,
  // A parameter edit whose reaction carries the value over to a set-up built
  // earlier: the host records the edit as an undo step of its own and writes
  // the value before the module hears of it. A reaction that cannot carry
  // the value over must leave the arrow and its set-up in step, so the arrow
  // holds its old value again: the tree and every parameter as before (a
  // switch never stored before, which reads as off, may now be stored as
  // off), and the undo stack holds the host's edit step (kind-40 entries of
  // the arrow only) and nothing of the reaction.
  Reaction,
  // The load-preset button: the arrow got no update message (5), which is
  // how the host's program tells a preset load that went through from one
  // that did not; the arrow is unchanged and no undo entry was recorded.
  PresetLoad,
  // The save-preset button: the target is not written (the file a set-up
  // wrote there keeps its bytes, a new target does not appear) and no
  // temporary is left beside it; the document is unchanged.
  PresetSave,
  // A click into the Dots editor: the console's record of the click says it
  // was not used, the object's value and the editor's value keep the dots
  // they had, and no undo step is made.
  Click,
};

struct SweepCase {
  const char* what;
  bool release12;  // the command exists in release 12 too (no Dots there)
  std::vector<std::string> setup;
  std::string command;  // one console line; {DIR} is the test's own folder
  Report report;
};

// Set-ups used by several cases.
std::vector<std::string> Join(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}
const std::vector<std::string> kOnSpline = {
    "object spline P", "arrow A", "set A ARROW_CLONE_ON_SPLINE true", "set A ARROW_CLONE_SPLINE P"};
const std::vector<std::string> kWrap = {"object spline P", "arrow A", "set A ARROW_WRAP_SPLINE P"};
const std::vector<std::string> kDots = {"arrow A", "userdata A dots M", "gui open A 700001",
                                        "gui click 10 10", "gui click 30 20"};

const std::vector<SweepCase>& Cases() {
  static const std::vector<SweepCase> cases = {
      // --- the build buttons ---
      {"extrude at top level", true, {"arrow A"}, "press A ARROW_MAKE_EXTRUDE", Report::Unchanged},
      {"extrude with fillet caps, taking the arrow's deformer along",
       true,
       {"arrow A", "set A ARROW_EXTRUDE_FILLET true", "object splinewrap W", "move W under A"},
       "press A ARROW_MAKE_EXTRUDE",
       Report::Unchanged},
      {"extrude under a cloner following a path (re-aligned)",
       true,
       {"object spline P", "object cloner C", "set C 2010 int:0", "set C 1015 link:P", "arrow A",
        "move A under C"},
       "press A ARROW_MAKE_EXTRUDE",
       Report::Unchanged},
      {"cloner in a line", true, {"arrow A"}, "press A ARROW_MAKE_CLONER", Report::Unchanged},
      {"cloner on a spline, aligned", true, kOnSpline, "press A ARROW_MAKE_CLONER",
       Report::Unchanged},
      {"cloner on a spline, extruded", true, Join(kOnSpline, {"set A ARROW_CLONE_EXTRUDED true"}),
       "press A ARROW_MAKE_CLONER", Report::Unchanged},
      {"cloner in a line, extruded",
       true,
       {"arrow A", "set A ARROW_CLONE_EXTRUDED true"},
       "press A ARROW_MAKE_CLONER",
       Report::Unchanged},
      {"cloner around the arrow's extrusion, on a spline, aligned", true,
       Join(kOnSpline, {"press A ARROW_MAKE_EXTRUDE"}), "press A ARROW_MAKE_CLONER",
       Report::Unchanged},
      {"cloner beside an arrow under another object",
       true,
       {"object null N", "arrow A", "move A under N"},
       "press A ARROW_MAKE_CLONER",
       Report::Unchanged},
      {"spline wrap at top level", true, kWrap, "press A ARROW_MAKE_SPLINE_WRAP",
       Report::Unchanged},
      {"spline wrap, extruded", true, Join(kWrap, {"set A ARROW_WRAP_EXTRUDED true"}),
       "press A ARROW_MAKE_SPLINE_WRAP", Report::Unchanged},
      {"spline wrap, extruded, under another object", true,
       Join(kWrap, {"set A ARROW_WRAP_EXTRUDED true", "object null N", "move A under N"}),
       "press A ARROW_MAKE_SPLINE_WRAP", Report::Unchanged},
      {"spline wrap under an extrusion", true, Join(kWrap, {"object extrude X", "move A under X"}),
       "press A ARROW_MAKE_SPLINE_WRAP", Report::Unchanged},
      {"spline wrap of a bare arrow under another object (nothing placed)", true,
       Join(kWrap, {"set A ARROW_WRAP_NATURAL_POINTS false", "object null N", "move A under N"}),
       "press A ARROW_MAKE_SPLINE_WRAP", Report::Unchanged},
      {"reset",
       true,
       {"arrow A", "set A ARROW_SHAFT_LENGTH 250", "set A ARROW_CLONE_COUNT 7"},
       "press A ARROW_RESET",
       Report::Unchanged},
      // --- reactions to a parameter change ---
      {"clone count into a cloner in a line",
       true,
       {"arrow A", "press A ARROW_MAKE_CLONER"},
       "set A ARROW_CLONE_COUNT 9",
       Report::Reaction},
      {"clone count into a cloner on a spline, through the extrusion", true,
       Join(kOnSpline, {"set A ARROW_CLONE_EXTRUDED true", "press A ARROW_MAKE_CLONER"}),
       "set A ARROW_CLONE_COUNT 7", Report::Reaction},
      {"clone rate", true, Join(kOnSpline, {"press A ARROW_MAKE_CLONER"}),
       "set A ARROW_CLONE_RATE 0.25", Report::Reaction},
      {"clone spline", true, Join(kOnSpline, {"press A ARROW_MAKE_CLONER", "object spline Q"}),
       "set A ARROW_CLONE_SPLINE Q", Report::Reaction},
      {"clone align off turns the plane back", true, Join(kOnSpline, {"press A ARROW_MAKE_CLONER"}),
       "set A ARROW_CLONE_ALIGN false", Report::Reaction},
      {"extrude fillet on",
       true,
       {"arrow A", "press A ARROW_MAKE_EXTRUDE"},
       "set A ARROW_EXTRUDE_FILLET true",
       Report::Reaction},
      {"extrude fillet off",
       true,
       {"arrow A", "set A ARROW_EXTRUDE_FILLET true", "press A ARROW_MAKE_EXTRUDE"},
       "set A ARROW_EXTRUDE_FILLET false",
       Report::Reaction},
      {"wrap mode", true, Join(kWrap, {"press A ARROW_MAKE_SPLINE_WRAP"}),
       "set A ARROW_WRAP_MODE false", Report::Reaction},
      {"wrap spline", true, Join(kWrap, {"press A ARROW_MAKE_SPLINE_WRAP", "object spline Q"}),
       "set A ARROW_WRAP_SPLINE Q", Report::Reaction},
      {"wrap natural points", true, Join(kWrap, {"press A ARROW_MAKE_SPLINE_WRAP"}),
       "set A ARROW_WRAP_NATURAL_POINTS false", Report::Reaction},
      {"plane of an arrow in a cloner and an extrusion", true,
       Join(kOnSpline, {"set A ARROW_CLONE_EXTRUDED true", "press A ARROW_MAKE_CLONER"}),
       "set A ARROW_PLANE 2", Report::Reaction},
      {"a new arrow from the menu takes the document's plane",
       true,
       {"doc plane 2", "arrow A"},
       "arrow B menu",
       Report::Status},
      // --- presets ---
      {"preset save over an existing preset",
       true,
       {"arrow A", "set A ARROW_SHAFT_LENGTH 250", "dialog {DIR}/p.tlv",
        "press A ARROW_SAVE_PRESET", "set A ARROW_SHAFT_LENGTH 300", "dialog {DIR}/p.tlv"},
       "press A ARROW_SAVE_PRESET",
       Report::PresetSave},
      {"preset save to a new file",
       true,
       {"arrow A", "set A ARROW_HEAD_LENGTH 80", "dialog {DIR}/n"},
       "press A ARROW_SAVE_PRESET",
       Report::PresetSave},
      {"preset load",
       true,
       {"arrow A", "set A ARROW_SHAFT_LENGTH 250", "set A ARROW_DOUBLE_HEADED true",
        "dialog {DIR}/p.tlv", "press A ARROW_SAVE_PRESET", "press A ARROW_RESET",
        "press A ARROW_MAKE_CLONER", "dialog {DIR}/p.tlv"},
       "press A ARROW_LOAD_PRESET",
       Report::PresetLoad},
      // --- scene files ---
      {"scene save over an existing scene",
       true,
       {"arrow A", "press A ARROW_MAKE_CLONER", "save-scene {DIR}/s.scene",
        "set A ARROW_CLONE_COUNT 5"},
       "save-scene {DIR}/s.scene",
       Report::Status},
      {"scene load", true,
       Join(kWrap, {"press A ARROW_MAKE_SPLINE_WRAP", "save-scene {DIR}/s.scene",
                    "set A ARROW_SHAFT_LENGTH 123", "object null N"}),
       "load-scene {DIR}/s.scene", Report::Status},
      {"scene save with dots", false, Join(kDots, {"gui close"}), "save-scene {DIR}/d.scene",
       Report::Status},
      {"scene load with dots", false,
       Join(kDots, {"gui click 50 40", "gui close", "save-scene {DIR}/d.scene", "undo",
                    "set A ARROW_SHAFT_LENGTH 123"}),
       "load-scene {DIR}/d.scene", Report::Status},
      // --- user data and the Dots editor ---
      {"user data of the Dots type", false, {"arrow A"}, "userdata A dots M", Report::Status},
      {"opening the Dots editor", false, Join(kDots, {"gui close"}), "gui open A 700001",
       Report::Status},
      {"a click into the Dots editor", false, kDots, "gui click 50 40", Report::Click},
      {"a first click into an empty Dots editor",
       false,
       {"arrow A", "userdata A dots M", "gui open A 700001"},
       "gui click 5 6",
       Report::Click},
      // --- undo and redo, which copy containers back (Dots values too) ---
      {"undo of a build", true, Join(kOnSpline, {"press A ARROW_MAKE_CLONER"}), "undo",
       Report::Status},
      {"redo of a build", true, Join(kOnSpline, {"press A ARROW_MAKE_CLONER", "undo"}), "redo",
       Report::Status},
      {"undo of a click into the Dots editor", false, Join(kDots, {"gui close"}), "undo",
       Report::Status},
      {"redo of a click into the Dots editor", false, Join(kDots, {"gui close", "undo"}), "redo",
       Report::Status},
  };
  return cases;
}

// What the sweep compares: the document as the console prints it, the files
// in the test's folder, and the value the open editor shows.
struct State {
  std::string tree;
  std::string params;  // one `print params` line per object, in tree order
  std::string undo;
  std::map<std::string, std::string> files;
  std::string editor;

  bool operator==(const State& o) const {
    return tree == o.tree && params == o.params && undo == o.undo && files == o.files &&
           editor == o.editor;
  }
};

std::string Short(const std::string& text) {
  return text.size() <= 600 ? text : text.substr(0, 600) + "...";
}

// The differences between two states, in words.
std::string Differences(const State& want, const State& got) {
  std::ostringstream out;
  if (want.tree != got.tree)
    out << "\n  tree: " << Short(want.tree) << "\n    vs " << Short(got.tree);
  if (want.params != got.params) {
    std::istringstream a(want.params), b(got.params);
    std::string la, lb;
    while (true) {
      const bool ga = static_cast<bool>(std::getline(a, la));
      const bool gb = static_cast<bool>(std::getline(b, lb));
      if (!ga && !gb) break;
      if (!ga) la = "(none)";
      if (!gb) lb = "(none)";
      if (la != lb) out << "\n  params: " << Short(la) << "\n      vs " << Short(lb);
      if (!ga || !gb) break;
    }
  }
  if (want.undo != got.undo)
    out << "\n  undo: " << Short(want.undo) << "\n    vs " << Short(got.undo);
  for (const auto& [name, bytes] : want.files) {
    const auto other = got.files.find(name);
    if (other == got.files.end())
      out << "\n  file " << name << " is missing";
    else if (other->second != bytes)
      out << "\n  file " << name << ": " << bytes.size() << " bytes vs " << other->second.size()
          << " other bytes";
  }
  for (const auto& [name, bytes] : got.files)
    if (want.files.count(name) == 0)
      out << "\n  file " << name << " appeared (" << bytes.size() << " bytes)";
  if (want.editor != got.editor)
    out << "\n  editor: " << Short(want.editor) << "\n      vs " << Short(got.editor);
  return out.str();
}

void Paths(const Json& nodes, const std::string& prefix, std::vector<std::string>* out) {
  for (const Json& node : nodes) {
    const std::string path = prefix + node["name"].get<std::string>();
    out->push_back(path);
    Paths(node["children"], path + "/", out);
  }
}

std::string Replace(std::string text, const std::string& dir) {
  const std::string mark = "{DIR}";
  for (std::size_t at = text.find(mark); at != std::string::npos;
       at = text.find(mark, at + dir.size()))
    text.replace(at, mark.size(), dir);
  return text;
}

enum class Inject { Allocation, FileOperation };

// One run: a fresh host, the set-up, then the command under test.
class Run {
 public:
  Run(int release, const std::string& dir) : dir_(dir), console_(out_) {
    // The folder starts empty for every run, so file contents compare.
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(dir_, ec)) fs::remove_all(entry.path(), ec);
    Line("plugin release " + std::to_string(release));
  }

  // A line that must go through (the set-up, the prints).
  void Line(const std::string& line) {
    std::string error;
    if (!console_.Execute(Replace(line, dir_), &error)) ADD_FAILURE() << line << ": " << error;
  }
  // What a print line wrote, without the line's end.
  std::string Printed(const std::string& line) {
    out_.str("");
    Line(line);
    std::string text = out_.str();
    if (!text.empty() && text.back() == '\n') text.pop_back();
    return text;
  }

  State Take() {
    State s;
    s.tree = Printed("print tree");
    std::vector<std::string> paths;
    Paths(Json::parse(s.tree), "", &paths);
    for (const std::string& path : paths)
      s.params += Printed("print params \"" + path + "\"") + "\n";
    s.undo = Printed("print undo");
    for (const auto& entry : fs::directory_iterator(dir_))
      s.files[entry.path().filename().string()] = testkit::ReadFileBytes(entry.path().string());
    out_.str("");
    std::string error;
    if (console_.Execute("print gui", &error)) {
      // The editor's target and the dots it shows; the console's record of
      // the inputs is the click's report, checked apart.
      Json gui = Json::parse(out_.str());
      s.editor = Json{{"object", gui["object"]}, {"points", gui["points"]}}.dump();
    }
    return s;
  }

  // Whether the last click into the editor was used.
  bool LastClickUsed() {
    const Json gui = Json::parse(Printed("print gui"));
    return !gui["inputs"].empty() && gui["inputs"].back()["used"].get<bool>();
  }

  // Update messages (5) the arrow A got so far.
  std::size_t ArrowUpdates() {
    std::size_t n = 0;
    for (const Json& m : Json::parse(Printed("print messages")))
      if (m["object"] == "A" && m["type"] == 5) ++n;
    return n;
  }

  // The ID of the arrow parameter a `set` line edits.
  int32_t EditedParam(const std::string& line) {
    std::vector<std::string> words;
    std::string error;
    host::ScriptConsole::SplitLine(line, &words, &error);
    const host::ParamDesc* p =
        words.size() > 2 ? console_.LoadedSession()->FindParam(words[2]) : nullptr;
    EXPECT_NE(p, nullptr) << line;
    return p != nullptr ? p->id : 0;
  }

  host::FailurePlan& Plan() { return console_.LoadedSession()->GetHost().Failures(); }
  long Injected(Inject kind) {
    return kind == Inject::Allocation ? Plan().AllocationFailuresInjected()
                                      : Plan().FileFailuresInjected();
  }

  // Runs the command with the Nth allocation or file operation failing (N 0:
  // no failure). Answers whether the line went through.
  bool Command(const std::string& line, Inject kind, long n, long* injected, std::string* error,
               int* status) {
    if (n > 0)
      Line((kind == Inject::Allocation ? "fail alloc " : "fail file ") + std::to_string(n));
    const long before = Injected(kind);
    const bool ok = console_.Execute(Replace(line, dir_), error);
    *status = console_.Status();
    *injected = Injected(kind) - before;
    Line("fail off");
    return ok;
  }

  // The check every test ends with: no leak, no misuse.
  void End() { testkit::ExpectCleanShutdown(console_.LoadedSession()->GetHost()); }

 private:
  std::string dir_;
  std::ostringstream out_;
  host::ScriptConsole console_;
};

// Whether `after` is the state a command that did not happen leaves: the
// state before it, except for a parameter edit (`edited`, the parameter's
// ID): the host's own undo step for the edit stays, holding kind-40 entries
// of the edited arrow and nothing else (undoing it gives the arrow back as
// it was), and a switch the arrow had never stored, which reads as off, may
// now be stored as off (the reaction put back what its set-up holds).
// `diff` gets the differences otherwise.
bool Unchanged(const SweepCase& c, int32_t edited, const State& before, const State& after,
               std::string* diff) {
  State want = before;
  if (c.report == Report::Reaction) {
    std::vector<std::string> words;
    std::string error;
    host::ScriptConsole::SplitLine(c.command, &words, &error);
    const std::string arrow = words.at(1);
    const Json undo = Json::parse(after.undo);
    const Json old = Json::parse(before.undo);
    Json edit = Json::array({Json{{"kind", 40}, {"object", arrow}}});
    if (undo["undo"].size() == old["undo"].size() + 1 && !undo["undo"].back().empty()) {
      bool arrowOnly = true;
      for (const Json& entry : undo["undo"].back()) arrowOnly = arrowOnly && entry == edit[0];
      if (arrowOnly) edit = undo["undo"].back();
    }
    Json expected = old;
    expected["undo"].push_back(edit);
    expected["redo"] = Json::array();
    want.undo = expected.dump();

    const std::string key = std::to_string(edited);
    std::istringstream wantLines(want.params), gotLines(after.params);
    std::string wantLine, gotLine, params;
    while (std::getline(wantLines, wantLine)) {
      if (!std::getline(gotLines, gotLine)) gotLine.clear();
      Json w = Json::parse(wantLine);
      if (w["name"] == arrow && !w["params"].contains(key) && !gotLine.empty()) {
        const Json g = Json::parse(gotLine);
        if (g["name"] == arrow && g["params"].contains(key) && g["params"][key] == 0) {
          // Put the stored off in its place among the IDs in ascending order.
          Json sorted = Json::object();
          bool placed = false;
          for (const auto& [id, value] : w["params"].items()) {
            if (!placed && std::stol(id) > edited) {
              sorted[key] = 0;
              placed = true;
            }
            sorted[id] = value;
          }
          if (!placed) sorted[key] = 0;
          w["params"] = sorted;
          wantLine = w.dump();
        }
      }
      params += wantLine + "\n";
    }
    want.params = params;
  }
  *diff = Differences(want, after);
  return want == after;
}

bool SweepAll() {
  const char* all = std::getenv("TOLVANE_SWEEP_ALL");
  return all != nullptr && std::string(all) == "1";
}

// Failed checks of the running test so far.
int FailedParts() {
  const ::testing::TestResult* result =
      ::testing::UnitTest::GetInstance()->current_test_info()->result();
  int n = 0;
  for (int i = 0; i < result->total_part_count(); ++i)
    if (result->GetTestPartResult(i).failed()) ++n;
  return n;
}

// Sweeps one case in one release for one kind of failure. Answers the runs
// made and, in `failedAt`, each N whose run failed a check (0 for the
// reference run).
long Sweep(const SweepCase& c, int release, Inject kind, const std::string& dir,
           std::vector<long>* failedAt) {
  const char* kindName = kind == Inject::Allocation ? "alloc" : "file";
  long runs = 1;
  const int failuresAtStart = FailedParts();
  // The reference: the command without any failure.
  State reference;
  {
    Run run(release, dir);
    for (const std::string& line : c.setup) run.Line(line);
    const State before = run.Take();
    long injected = 0;
    std::string error;
    int status = 0;
    const bool ok = run.Command(c.command, kind, 0, &injected, &error, &status);
    EXPECT_TRUE(ok) << c.command << ": " << error;
    reference = run.Take();
    EXPECT_FALSE(reference == before) << c.command << " changed nothing without a failure";
    run.End();
    if (FailedParts() != failuresAtStart) {
      failedAt->push_back(0);
      return runs;
    }
  }
  constexpr long kLimit = 400;
  for (long n = 1; n <= kLimit; ++n) {
    SCOPED_TRACE(std::string("fail ") + kindName + " " + std::to_string(n) + " then: " + c.command);
    const int failuresBefore = FailedParts();
    Run run(release, dir);
    for (const std::string& line : c.setup) run.Line(line);
    const State before = run.Take();
    const std::size_t updatesBefore = c.report == Report::PresetLoad ? run.ArrowUpdates() : 0;
    const int32_t edited = c.report == Report::Reaction ? run.EditedParam(c.command) : 0;
    long injected = 0;
    std::string error;
    int status = 0;
    const bool ok = run.Command(c.command, kind, n, &injected, &error, &status);
    const State after = run.Take();
    ++runs;

    if (injected == 0) {
      // The command met no injected failure: it must simply have worked.
      EXPECT_TRUE(ok) << error;
      EXPECT_TRUE(after == reference)
          << "without meeting the failure:" << Differences(reference, after);
      run.End();
      if (FailedParts() != failuresBefore) failedAt->push_back(n);
      return runs;
    }
    if (ok && after == reference) {
      // The failure was met and dealt with: the command still went through.
      if (c.report == Report::Click) {
        EXPECT_TRUE(run.LastClickUsed());
      }
    } else {
      std::string diff;
      EXPECT_TRUE(Unchanged(c, edited, before, after, &diff))
          << "neither the command's result nor the state before it; against the state before:"
          << diff << "\n  against the command's result:" << Differences(reference, after);
      switch (c.report) {
        case Report::Status:
          EXPECT_FALSE(ok) << "the failure was not reported";
          if (!ok) {
            EXPECT_EQ(status, host::kScriptFailed) << error;
            EXPECT_FALSE(error.empty());
          }
          break;
        case Report::Unchanged:
        case Report::Reaction:
        case Report::PresetSave:
          EXPECT_TRUE(ok) << error;  // the state comparison above is the report
          break;
        case Report::PresetLoad:
          EXPECT_TRUE(ok) << error;
          EXPECT_EQ(run.ArrowUpdates(), updatesBefore) << "the arrow was told of an update";
          break;
        case Report::Click:
          EXPECT_TRUE(ok) << error;
          EXPECT_FALSE(run.LastClickUsed()) << "the click is said to be used but was not stored";
          break;
      }
    }
    run.End();
    if (FailedParts() != failuresBefore) {
      // One failing N shows the fault; the later ones mostly repeat it
      // (TOLVANE_SWEEP_ALL=1 goes on to show them all).
      failedAt->push_back(n);
      if (!SweepAll()) return runs;
    }
  }
  ADD_FAILURE() << "the command still met the injected failure after " << kLimit << " runs";
  failedAt->push_back(kLimit);
  return runs;
}

// The command of a case as "word" plus what it acts on: "press ARROW_RESET",
// "set ARROW_CLONE_COUNT", "gui click", "userdata dots", "arrow menu".
std::string CommandKind(const std::string& line) {
  std::vector<std::string> w;
  std::string error;
  if (!host::ScriptConsole::SplitLine(line, &w, &error) || w.empty()) return "";
  if ((w[0] == "press" || w[0] == "set" || w[0] == "userdata") && w.size() > 2)
    return w[0] + " " + w[2];
  if (w[0] == "gui" && w.size() > 1) return w[0] + " " + w[1];
  if (w[0] == "arrow" && w.size() > 2) return w[0] + " " + w[2];
  return w[0];
}

class FailureSweep : public ::testing::TestWithParam<int> {};
INSTANTIATE_TEST_SUITE_P(Both, FailureSweep, ::testing::Values(16, 12));

// The table reaches every command that changes the document or touches a
// file.
TEST(FailureSweepTable, CoversEveryCommandKind) {
  std::vector<std::string> kinds;
  for (const SweepCase& c : Cases()) kinds.push_back(CommandKind(c.command));
  for (const char* needed : {"press ARROW_MAKE_EXTRUDE",
                             "press ARROW_MAKE_CLONER",
                             "press ARROW_MAKE_SPLINE_WRAP",
                             "press ARROW_RESET",
                             "press ARROW_SAVE_PRESET",
                             "press ARROW_LOAD_PRESET",
                             "set ARROW_CLONE_COUNT",
                             "set ARROW_CLONE_RATE",
                             "set ARROW_CLONE_SPLINE",
                             "set ARROW_CLONE_ALIGN",
                             "set ARROW_EXTRUDE_FILLET",
                             "set ARROW_WRAP_MODE",
                             "set ARROW_WRAP_SPLINE",
                             "set ARROW_WRAP_NATURAL_POINTS",
                             "set ARROW_PLANE",
                             "save-scene",
                             "load-scene",
                             "userdata dots",
                             "gui open",
                             "gui click",
                             "arrow menu"}) {
    EXPECT_NE(std::find(kinds.begin(), kinds.end(), needed), kinds.end()) << needed;
  }
}

TEST_P(FailureSweep, EveryCommandEitherWorksOrChangesNothingUnderInjectedFailures) {
  const int release = GetParam();
  testkit::TempDir dir;
  long runs = 0;
  std::vector<std::string> failing;
  const auto start = std::chrono::steady_clock::now();
  for (const SweepCase& c : Cases()) {
    if (release == 12 && !c.release12) continue;
    for (Inject kind : {Inject::Allocation, Inject::FileOperation}) {
      const std::string name =
          std::string(c.what) + (kind == Inject::Allocation ? " [alloc]" : " [file]");
      SCOPED_TRACE("release " + std::to_string(release) + ", " + name);
      std::vector<long> failedAt;
      runs += Sweep(c, release, kind, dir.Path(), &failedAt);
      if (failedAt.empty()) continue;
      std::string ns;
      for (long n : failedAt) ns += (ns.empty() ? "" : ",") + std::to_string(n);
      failing.push_back(name + " N=" + ns);
    }
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("release %d: %ld runs in %.2f s\n", release, runs, seconds);
  for (const std::string& f : failing) std::printf("  failing: %s\n", f.c_str());
}

}  // namespace
