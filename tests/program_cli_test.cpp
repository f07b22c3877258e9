// The program as a user meets it: help texts and their streams, the
// attribute editor's reading of typed values, readable parameters, presets
// found by name, listed and shown, and the console's help kept in step with
// its reference page.
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "fixture.h"
#include "plugin_folders.h"
#include "script.h"

#ifndef TOLVANE_SOURCE_DIR
#error "TOLVANE_SOURCE_DIR must name the source folder"
#endif

namespace {

namespace fs = std::filesystem;
using host::Json;
using testkit::RunProgram;
using testkit::TempDir;

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// Help goes to standard output with status 0; a usage mistake goes to
// standard error with status 2 and names the offending word.
TEST(ProgramCli, HelpOnStandardOutputAndMistakesOnStandardError) {
  TempDir tmp;
  struct Case {
    std::string args;
    int status;
    std::vector<std::string> out;  // texts standard output must hold
    std::vector<std::string> err;  // texts standard error must hold
  };
  const std::vector<Case> cases = {
      {"--help", 0, {"info", "params", "outline", "preset", "run", "Example"}, {}},
      {"info --help", 0, {"--release", "--plugin", "--host-version", "Example"}, {}},
      {"params --help", 0, {"--set", "--raw", "--preset", "--format", "Example"}, {}},
      {"outline --help", 0, {"--set", "-o", "svg", "Example"}, {}},
      {"preset --help", 0, {"save", "list", "show"}, {}},
      {"preset save --help", 0, {"FILE", "--set", "Example"}, {}},
      {"preset show --help", 0, {"FILE", "Example"}, {}},
      {"run --help", 0, {"SCRIPT", "Example"}, {}},
      {"--version", 0, {"1.3", "1.2", "16049", "12000"}, {}},
      {"", 2, {}, {"--help"}},
      {"frobnicate", 2, {}, {"frobnicate"}},
      {"params --bogus", 2, {}, {"--bogus"}},
      {"params --format png", 2, {}, {"png"}},
      {"params --set ARROW_PLANE=7", 2, {}, {"ARROW_PLANE", "7", "0 (XY), 1 (ZY), 2 (XZ)"}},
      {"params --set ARROW_SHAFT_LENGTH=abc", 2, {}, {"ARROW_SHAFT_LENGTH", "abc"}},
      {"params --set ARROW_SHAFT_LENGTH=nan", 2, {}, {"ARROW_SHAFT_LENGTH", "nan", "(--raw stores it as typed)"}},
      {"params --set ARROW_SHAFT_LENGTH=1e400", 2, {}, {"ARROW_SHAFT_LENGTH", "1e400", "finite"}},
      {"params --set ARROW_MAKE_CLONER=1", 2, {}, {"ARROW_MAKE_CLONER", "button"}},
      {"preset", 2, {}, {"preset"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    // In a folder of its own, so that nothing the program writes goes unseen.
    const auto r = RunProgram(c.args);
    EXPECT_EQ(r.status, c.status) << r.err;
    if (c.status == 0) {
      EXPECT_EQ(r.err, "");
    } else {
      EXPECT_EQ(r.out, "");
    }
    for (const std::string& t : c.out) EXPECT_TRUE(Has(r.out, t)) << t << " in\n" << r.out;
    for (const std::string& t : c.err) EXPECT_TRUE(Has(r.err, t)) << t << " in\n" << r.err;
  }
  EXPECT_FALSE(fs::exists("--help.tlv"));
  // --raw is suggested only for a value it would store
  EXPECT_FALSE(Has(RunProgram("params --set ARROW_SHAFT_LENGTH=abc").err, "--raw"));
}

// Typed values as the attribute editor takes them: stored units, the units
// the editor shows, limits and choices; raw values as typed.
TEST(ProgramCli, EditorAndRawValues) {
  const double kDegree = 3.14159265358979323846 / 180.0;
  struct Case {
    std::string name, typed;
    host::EditMode mode;
    Json stored;       // null: refused
    std::string note;  // the start of the note, empty for none
  };
  using host::EditMode;
  const std::vector<Case> cases = {
      {"ARROW_HEAD_TAPER", "0.5", EditMode::kEditor, 0.5, ""},
      {"ARROW_HEAD_TAPER", "25%", EditMode::kEditor, 0.25, ""},
      {"ARROW_HEAD_TAPER", "50", EditMode::kEditor, 1.0, "ARROW_HEAD_TAPER: 50 is above the maximum 1"},
      {"ARROW_HEAD_TAPER", "-3%", EditMode::kEditor, 0.0, "ARROW_HEAD_TAPER: -3% is below the minimum 0"},
      {"ARROW_SHAFT_LENGTH", "-5", EditMode::kEditor, 0.0, "ARROW_SHAFT_LENGTH: -5 is below the minimum 0"},
      {"ARROW_SHAFT_LENGTH", "250", EditMode::kEditor, 250.0, ""},
      {"ARROW_SHAFT_LENGTH", "25%", EditMode::kEditor, nullptr, ""},  // lengths have no percent
      {"ARROW_BARB_SWEEP", "-40", EditMode::kEditor, -40.0, ""},     // no limit
      {"ARROW_POINT_ANGLE", "5deg", EditMode::kEditor, 5 * kDegree, ""},
      {"ARROW_POINT_ANGLE", "5\xC2\xB0", EditMode::kEditor, 5 * kDegree, ""},
      {"ARROW_POINT_ANGLE", "10", EditMode::kEditor, 90 * kDegree, "ARROW_POINT_ANGLE: 10 is above the maximum"},
      {"ARROW_POINT_ANGLE", "1e400", EditMode::kEditor, 90 * kDegree, "ARROW_POINT_ANGLE: 1e400 is above"},
      {"ARROW_POINT_COUNT", "5000", EditMode::kEditor, 1000, "ARROW_POINT_COUNT: 5000 is above the maximum 1000"},
      {"ARROW_PLANE", "2", EditMode::kEditor, 2, ""},
      {"ARROW_PLANE", "XZ", EditMode::kEditor, 2, ""},
      {"ARROW_PLANE", "7", EditMode::kEditor, nullptr, ""},
      {"ARROW_SHAFT_LENGTH", "inf", EditMode::kEditor, nullptr, ""},
      {"ARROW_SHAFT_LENGTH", "nan", EditMode::kEditor, nullptr, ""},
      {"ARROW_HEAD_TAPER", "50", EditMode::kRaw, 50.0, ""},
      {"ARROW_SHAFT_LENGTH", "-5", EditMode::kRaw, -5.0, ""},
      {"ARROW_SHAFT_LENGTH", "nan", EditMode::kRaw, "nan", ""},
      {"ARROW_SHAFT_LENGTH", "-inf", EditMode::kRaw, "-inf", ""},
      {"ARROW_PLANE", "7", EditMode::kRaw, 7, ""},
      {"ARROW_HEAD_TAPER", "25%", EditMode::kRaw, nullptr, ""},  // raw values carry no unit
  };
  for (int release : {16, 12}) {
    host::Session s({release, "", 0});
    std::string error;
    ASSERT_TRUE(s.Open(&error)) << error;
    host::Object* arrow = s.NewArrow(false, &error);
    ASSERT_NE(arrow, nullptr) << error;
    for (const Case& c : cases) {
      SCOPED_TRACE(c.name + "=" + c.typed + (c.mode == EditMode::kRaw ? " raw" : "") + " release " +
                   std::to_string(release));
      std::string note;
      error.clear();
      const bool ok = s.ApplySetting(arrow, c.name + "=" + c.typed, &error, c.mode, &note);
      EXPECT_EQ(ok, !c.stored.is_null()) << error;
      if (!ok) {
        EXPECT_TRUE(Has(error, c.name) && Has(error, c.typed)) << error;
        continue;
      }
      const Json value = s.ValueJson(*arrow->Data().Find(s.FindParam(c.name)->id));
      if (c.stored.is_number_float()) {
        EXPECT_NEAR(value.get<double>(), c.stored.get<double>(), 1e-12);
      } else {
        EXPECT_EQ(value, c.stored);
      }
      EXPECT_EQ(note.rfind(c.note, 0), 0u) << note;
      EXPECT_EQ(note.empty(), c.note.empty()) << note;
    }
    testkit::ExpectCleanShutdown(s.GetHost());
  }
  // The program says so on standard error and goes on.
  const auto r = RunProgram("params --format json --set ARROW_HEAD_TAPER=50");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "tolvane-host: ARROW_HEAD_TAPER: 50 is above the maximum 1 (100%), set to 1\n");
  const auto raw = RunProgram("params --format json --raw --set ARROW_HEAD_TAPER=50");
  EXPECT_EQ(raw.status, 0);
  EXPECT_EQ(raw.err, "");
  EXPECT_TRUE(Has(raw.out, "\"name\":\"ARROW_HEAD_TAPER\",\"type\":\"float\",\"value\":50.0")) << raw.out;
}

// The parameters as the attribute editor shows them.
TEST(ProgramCli, ReadableParameters) {
  const auto json = RunProgram("params --format json --set ARROW_PLANE=1");
  ASSERT_EQ(json.status, 0) << json.err;
  const Json all = Json::parse(json.out);
  std::map<std::string, Json> byName;
  for (const Json& p : all["params"]) byName[p["name"]] = p;
  const Json& taper = byName["ARROW_HEAD_TAPER"];
  EXPECT_EQ(taper["label"], "Taper at head end");
  EXPECT_EQ(taper["group"], "Shaft");
  EXPECT_EQ(taper["unit"], "percent");
  EXPECT_EQ(taper["min"], 0.0);
  EXPECT_EQ(taper["max"], 1.0);
  const Json& plane = byName["ARROW_PLANE"];
  EXPECT_EQ(plane["value"], 1);
  EXPECT_EQ(plane["choices"].size(), 3u);
  EXPECT_EQ(plane["choices"][1]["label"], "ZY");
  EXPECT_TRUE(byName["ARROW_SHAFT_LENGTH"]["max"].is_null());
  ASSERT_TRUE(all["buttons"].is_array());
  EXPECT_EQ(all["buttons"][0]["name"], "ARROW_LOAD_PRESET");

  const auto table = RunProgram("params --set ARROW_PLANE=1 --set ARROW_TAIL_TAPER=25%");
  ASSERT_EQ(table.status, 0) << table.err;
  std::istringstream lines(table.out);
  std::string line;
  std::getline(lines, line);
  EXPECT_EQ(line.rfind("GROUP", 0), 0u) << line;
  std::map<std::string, std::string> rows;
  while (std::getline(lines, line)) {
    std::istringstream words(line);
    std::string group, name;
    words >> group >> name;
    if (name.rfind("ARROW_", 0) != 0) words >> name;  // a group name of two words
    rows[name] = line;
  }
  EXPECT_TRUE(Has(rows["ARROW_PLANE"], "1 (ZY)")) << rows["ARROW_PLANE"];
  EXPECT_TRUE(Has(rows["ARROW_TAIL_TAPER"], "25%")) << rows["ARROW_TAIL_TAPER"];
  EXPECT_TRUE(Has(rows["ARROW_TAIL_TAPER"], "0 .. 100%")) << rows["ARROW_TAIL_TAPER"];
  EXPECT_TRUE(Has(rows["ARROW_POINT_ANGLE"], "5deg")) << rows["ARROW_POINT_ANGLE"];
  EXPECT_TRUE(Has(rows["ARROW_MAKE_EXTRUDE"], "(button)")) << table.out;
}

// Presets: by name from the plug-in's folder, listed, shown; file errors
// name the file and the reason.
TEST(ProgramCli, PresetsByNameListAndShow) {
  TempDir tmp;
  const auto list = RunProgram("preset list");
  ASSERT_EQ(list.status, 0) << list.err;
  EXPECT_TRUE(Has(list.out, "classic.tlv")) << list.out;
  EXPECT_TRUE(Has(list.out, "version 1.2")) << list.out;

  const auto byName = RunProgram("params --format json --preset classic");
  EXPECT_EQ(byName.status, 0) << byName.err;
  const auto byFile = RunProgram("params --format json --preset classic.tlv");
  EXPECT_EQ(byFile.out, byName.out);

  const std::string file = tmp.File("mine.tlv");
  ASSERT_EQ(RunProgram("preset save " + Quoted(file) + " --set ARROW_PRESET_NAME=Mine --set ARROW_SHAFT_LENGTH=321").status, 0);
  for (const char* release : {"16", "12"}) {
    const auto show = RunProgram("preset show " + Quoted(file) + " --release " + release);
    ASSERT_EQ(show.status, 0) << show.err;
    EXPECT_TRUE(Has(show.out, "header: \"# Tolvane preset file\"")) << show.out;
    EXPECT_TRUE(Has(show.out, "version: 1.3")) << show.out;
    EXPECT_TRUE(Has(show.out, "ARROW_PRESET_NAME \"Mine\"")) << show.out;
    EXPECT_TRUE(Has(show.out, "ARROW_SHAFT_LENGTH 321.0")) << show.out;
    EXPECT_FALSE(Has(show.out, "ARROW_CORNER_RADIUS")) << "not part of a preset";
  }

  // A file cut short is shown as unreadable, with the reason.
  {
    std::ofstream cut(tmp.File("cut.tlv"), std::ios::binary);
    const std::string bytes = testkit::ReadFileBytes(file);
    cut << bytes.substr(0, bytes.size() / 2);
  }
  struct Case {
    std::string args;
    std::vector<std::string> err;
  };
  const std::vector<Case> cases = {
      {"preset show " + Quoted(tmp.File("cut.tlv")), {"cut.tlv", "cut short"}},
      {"preset show " + Quoted(tmp.File("none.tlv")), {"none.tlv", "no such file"}},
      {"preset show " + Quoted(tmp.Path()), {tmp.Path(), "folder"}},
      {"params --preset " + Quoted(tmp.File("none.tlv")), {"none.tlv", "no such file"}},
      {"preset save " + Quoted(tmp.File("no/such/dir/a.tlv")), {"a.tlv", "does not exist"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    const auto r = RunProgram(c.args);
    EXPECT_EQ(r.status, 1);
    for (const std::string& t : c.err) EXPECT_TRUE(Has(r.err, t)) << t << " in " << r.err;
  }
}

// A preset is found by its file's name or by its own name, as `preset list`
// shows them, whatever the case; when two files match, standard error says
// which was taken.
TEST(ProgramCli, PresetsByTheNamesPeopleSee) {
  const auto byFile = RunProgram("params --format json --preset classic.tlv");
  ASSERT_EQ(byFile.status, 0) << byFile.err;
  struct Case {
    std::string name;
    bool classic;  // names the classic preset
  };
  const std::vector<Case> cases = {{"Classic", true},         {"CLASSIC", true}, {"classic", true},
                                   {"Classic.TLV", true},     {"chevron", false}, {"Double-headed", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto r = RunProgram("params --format json --preset " + c.name);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out == byFile.out, c.classic);
  }
  const auto show = RunProgram("preset show Classic");
  EXPECT_EQ(show.status, 0) << show.err;
  EXPECT_TRUE(Has(show.out, "classic.tlv")) << show.out;

  // A plug-in folder whose presets hold two that answer to "classic".
  TempDir tmp;
  const fs::path plugin = fs::path(tmp.Path()) / "plugin";
  fs::copy(fs::u8path(host::PluginFolder(16)), plugin, fs::copy_options::recursive);
  ASSERT_EQ(RunProgram("preset save " + Quoted((plugin / "presets" / "another.tlv").string()) +
                       " --set ARROW_PRESET_NAME=CLASSIC")
                .status,
            0);
  const auto two = RunProgram("preset show classic --plugin " + Quoted(plugin.string()));
  EXPECT_EQ(two.status, 0) << two.err;
  EXPECT_TRUE(Has(two.err, "another.tlv, classic.tlv")) << two.err;
  EXPECT_TRUE(Has(two.err, "took " + (plugin / "presets" / "classic.tlv").string())) << two.err;
  const auto own = RunProgram("params --preset Classic --plugin " + Quoted(plugin.string()));
  EXPECT_EQ(own.status, 0) << own.err;
  EXPECT_TRUE(Has(own.err, "took")) << own.err;
}

// `preset show` writes single-precision values as the shortest text that
// reads back to the same float, with percentages and degrees beside, and
// flags a value its description does not allow; `preset list` aligns.
TEST(ProgramCli, PresetShowReadsAsTheEditorWould) {
  TempDir tmp;
  const std::string file = tmp.File("shown.tlv");
  ASSERT_EQ(RunProgram("preset save " + Quoted(file) +
                       " --set ARROW_HEAD_TAPER=30% --set ARROW_POINT_ANGLE=5deg --set ARROW_SHAFT_WIDTH=0.3")
                .status,
            0);
  const auto show = RunProgram("preset show " + Quoted(file));
  ASSERT_EQ(show.status, 0) << show.err;
  for (const char* line : {"ARROW_HEAD_TAPER 0.3 (30%)\n", "ARROW_POINT_ANGLE 0.08726646 rad (5deg)\n",
                           "ARROW_SHAFT_WIDTH 0.3\n", "ARROW_PLANE 0 (XY)\n"})
    EXPECT_TRUE(Has(show.out, line)) << line << " in\n" << show.out;
  EXPECT_FALSE(Has(show.out, "0.30000001")) << show.out;

  const std::string damaged = tmp.File("damaged.tlv");
  ASSERT_EQ(RunProgram("preset save " + Quoted(damaged) + " --raw --set ARROW_PLANE=4343808 --set ARROW_HEAD_TAPER=3").status, 0);
  const auto flagged = RunProgram("preset show " + Quoted(damaged));
  ASSERT_EQ(flagged.status, 0) << flagged.err;
  EXPECT_TRUE(Has(flagged.out, "ARROW_PLANE 4343808  [not one of the choices 0 (XY), 1 (ZY), 2 (XZ)]")) << flagged.out;
  EXPECT_TRUE(Has(flagged.out, "ARROW_HEAD_TAPER 3.0 (300%)  [outside the limits 0 .. 100%]")) << flagged.out;

  const auto list = RunProgram("preset list");
  ASSERT_EQ(list.status, 0) << list.err;
  std::istringstream lines(list.out);
  std::string line;
  std::getline(lines, line);  // the folder
  std::vector<std::size_t> columns;
  while (std::getline(lines, line)) {
    columns.push_back(line.find("version "));
    EXPECT_NE(line.find('"'), std::string::npos) << line;
  }
  ASSERT_GE(columns.size(), 5u) << list.out;
  for (std::size_t at : columns) EXPECT_EQ(at, columns.front()) << list.out;
}

// Notes on standard error for values that will not do what was meant: a
// --set a preset file does not keep, or one the module disables in the
// arrow's final state.
TEST(ProgramCli, NotesForValuesThatWillNotCount) {
  TempDir tmp;
  struct Case {
    std::string args;
    std::vector<std::string> err;  // empty: no note at all
  };
  const std::vector<Case> cases = {
      {"preset save " + Quoted(tmp.File("a.tlv")) + " --set ARROW_CORNER_RADIUS=3 --set ARROW_CLONE_COUNT=4 "
       "--set ARROW_WRAP_MODE=true --set ARROW_SHAFT_LENGTH=300",
       {"does not hold ARROW_CORNER_RADIUS, ARROW_CLONE_COUNT, ARROW_WRAP_MODE:"}},
      {"preset save " + Quoted(tmp.File("b.tlv")) + " --set ARROW_SHAFT_LENGTH=300", {}},
      {"params --set ARROW_DOUBLE_HEADED=true --set ARROW_SHAFT_LENGTH=5",
       {"ARROW_SHAFT_LENGTH has no effect while ARROW_DOUBLE_HEADED is on"}},
      {"params --set ARROW_FLETCHING=true --set ARROW_DOUBLE_HEADED=true",
       {"ARROW_FLETCHING has no effect while ARROW_DOUBLE_HEADED is on"}},
      {"params --set ARROW_FLETCHING_LENGTH=5", {"ARROW_FLETCHING_LENGTH has no effect while ARROW_FLETCHING is off"}},
      {"params --set ARROW_DOUBLE_HEADED=true --set ARROW_DOUBLE_SHAFT_LENGTH=5", {}},
      {"params --set ARROW_SHAFT_LENGTH=5", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    const auto r = RunProgram(c.args);
    EXPECT_EQ(r.status, 0) << r.err;
    if (c.err.empty()) {
      EXPECT_EQ(r.err, "");
    }
    for (const std::string& t : c.err) EXPECT_TRUE(Has(r.err, t)) << t << " in\n" << r.err;
  }
}

// A mistyped name gets the name it most likely meant and where to find
// them all; parameter names are taken whatever their case.
TEST(ProgramCli, MistypedNamesGetSuggestions) {
  struct Case {
    std::string args;
    int status;
    std::vector<std::string> err;
  };
  const std::vector<Case> cases = {
      {"params --set ARROW_SHAFT_LENGHT=5", 2,
       {"unknown parameter 'ARROW_SHAFT_LENGHT': did you mean 'ARROW_SHAFT_LENGTH'?", "'tolvane-host params' lists every name"}},
      {"params --set ARROW_NOTHING_AT_ALL_HERE=5", 2, {"unknown parameter 'ARROW_NOTHING_AT_ALL_HERE' ("}},
      {"paramz", 2, {"unknown command 'paramz': did you mean 'params'?"}},
      {"preset shw x", 2, {"not 'shw': did you mean 'show'?"}},
      {"params --set arrow_shaft_length=5", 0, {}},
      {"outline --set Arrow_Chevron=true", 0, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    const auto r = RunProgram(c.args);
    EXPECT_EQ(r.status, c.status) << r.err;
    for (const std::string& t : c.err) EXPECT_TRUE(Has(r.err, t)) << t << " in\n" << r.err;
  }
  const auto lower = RunProgram("params --format json --set arrow_shaft_length=5");
  const auto upper = RunProgram("params --format json --set ARROW_SHAFT_LENGTH=5");
  EXPECT_EQ(lower.out, upper.out);
}

// What help and a failed load print: no empty headings, a command's own
// examples, an example that stays on its line.
TEST(ProgramCli, HelpAndInfoPrintNothingEmptyOrBorrowed) {
  const auto info = RunProgram("info --plugin /nonexistent");
  EXPECT_EQ(info.status, 1);
  for (const char* heading : {"console:", "lifecycle:", "plug-ins:"})
    EXPECT_FALSE(Has(info.out, heading)) << heading << " in\n" << info.out;
  EXPECT_TRUE(Has(info.err, "/nonexistent")) << info.err;
  const auto loaded = RunProgram("info");
  for (const char* heading : {"console:", "lifecycle:", "plug-ins:"})
    EXPECT_TRUE(Has(loaded.out, heading)) << heading << " in\n" << loaded.out;

  const auto preset = RunProgram("preset --help");
  EXPECT_EQ(preset.status, 0);
  EXPECT_FALSE(Has(preset.out, "tolvane-host params --set")) << preset.out;
  EXPECT_FALSE(Has(preset.out, "Exit status: 0 done")) << preset.out;
  EXPECT_TRUE(Has(preset.out, "tolvane-host preset show Classic")) << preset.out;
  const auto run = RunProgram("run --help");
  EXPECT_TRUE(Has(run.out, "printf 'arrow A\\nprint params A names\\n' | tolvane-host run -")) << run.out;
}

// The console's help comes from its command table, and the reference page
// describes every form of every command and print subject in that table.
TEST(ProgramCli, ConsoleHelpAndItsReferencePageAgree) {
  std::ostringstream out;
  host::ScriptConsole console(out);
  std::string error;
  ASSERT_TRUE(console.Execute("help", &error)) << error;
  const std::string help = out.str();
  std::ifstream docFile(fs::path(TOLVANE_SOURCE_DIR) / "docs" / "script-console.md");
  std::stringstream docStream;
  docStream << docFile.rdbuf();
  std::string docs = docStream.str();
  for (std::size_t at = docs.find("\\|"); at != std::string::npos; at = docs.find("\\|", at))
    docs.erase(at, 1);  // "\|" is a "|" inside a table cell
  ASSERT_FALSE(docs.empty());
  std::vector<std::string> usages;
  for (const std::string& word : console.CommandWords()) {
    const std::string text = console.HelpText(word);
    EXPECT_TRUE(Has(help, text)) << word;
    usages.push_back(text.substr(0, text.find('\n')));
  }
  for (const std::string& line : {console.HelpText("print")}) {
    std::istringstream rows(line);
    std::string row;
    while (std::getline(rows, row)) {
      if (row.rfind("    print ", 0) == 0) usages.push_back(row.substr(4, row.find(':') - 4));
    }
  }
  for (const std::string& usage : usages) {
    std::size_t start = 0;
    while (start <= usage.size()) {
      std::size_t bar = usage.find(" | ", start);
      if (bar == std::string::npos) bar = usage.size();
      const std::string form = usage.substr(start, bar - start);
      EXPECT_TRUE(Has(docs, "`" + form + "`")) << "docs/script-console.md lacks `" << form << "`";
      start = bar + 3;
    }
  }
  // The same mistake gets the same status, however it is written: an
  // unknown command, or a parameter the object lacks by name or by ID, is a
  // script error.
  std::string reason;
  EXPECT_FALSE(console.Execute("help nothing", &reason));
  EXPECT_EQ(console.Status(), host::kScriptError);
  ASSERT_TRUE(console.Execute("arrow A", &reason)) << reason;
  ASSERT_TRUE(console.Execute("userdata A dots Marks", &reason)) << reason;
  for (const char* line : {"gui open A ARROW_SHAFT_LENGTH", "gui open A 10000", "gui open A 700002"}) {
    SCOPED_TRACE(line);
    EXPECT_FALSE(console.Execute(line, &reason));
    EXPECT_EQ(console.Status(), host::kScriptError) << reason;
    EXPECT_TRUE(Has(reason, "has no user data parameter")) << reason;
  }
  EXPECT_TRUE(console.Execute("gui open A 700001", &reason)) << reason;
  EXPECT_TRUE(console.Execute("gui open A Marks", &reason)) << reason;
  EXPECT_TRUE(console.Finish(&reason)) << reason;
}

}  // namespace
