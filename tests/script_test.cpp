// Tests of the host's script console, driven line by line and as whole
// scripts, through the real loaded module; and of the program's `run`.
#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "core.h"
#include "fixture.h"
#include "files.h"
#include "script.h"
#include "plugin_folders.h"

namespace {

namespace fs = std::filesystem;
using host::Json;
using host::kScriptError;
using host::kScriptFailed;
using host::kScriptOk;

// `text` with every `"type":NAME` (an object type of hostapi/abi/ha_ids.h)
// written as the type's number, as the console prints it.
std::string WithTypes(std::string text) {
  static const std::pair<std::string, int32_t> kTypes[] = {
      {"Osplinewrap", Osplinewrap}, {"Ospline", Ospline}, {"Onull", Onull},
      {"Oextrude", Oextrude},       {"Ocloner", Ocloner}, {"ID_TOLVANE", ID_TOLVANE}};
  for (const auto& [name, id] : kTypes) {
    const std::string from = "\"type\":" + name, to = "\"type\":" + std::to_string(id);
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
      text.replace(at, from.size(), to);
  }
  return text;
}

std::string ScriptConsoleWord(const std::string& word) { return host::ScriptConsole::QuoteWord(word); }

// A console with its output captured; at the end the session must close
// without leaks or misuse.
class Console : public ::testing::Test {
 protected:
  void TearDown() override {
    std::string findings;
    EXPECT_TRUE(console_->Finish(&findings)) << findings;
    if (host::Session* s = console_->LoadedSession()) {
      EXPECT_TRUE(s->GetHost().Leaks().empty());
    }
    EXPECT_TRUE(host::Misuses().empty());
  }

  void Ok(const std::string& line) {
    std::string error;
    EXPECT_TRUE(console_->Execute(line, &error)) << line << ": " << error;
    EXPECT_EQ(console_->Status(), kScriptOk);
  }
  void Script(const std::vector<std::string>& lines) {
    for (const std::string& line : lines) Ok(line);
  }
  // The message of a line that must stop with `status`.
  std::string Error(const std::string& line, int status = kScriptError) {
    host::ScriptError error;
    EXPECT_FALSE(console_->Execute(line, &error)) << line;
    EXPECT_EQ(error.status, status) << line << ": " << error.message;
    EXPECT_EQ(console_->Status(), status) << line;
    return error.message;
  }
  // The text one `print` wrote: exactly one line.
  std::string Text(const std::string& what) {
    out_.str("");
    Ok("print " + what);
    const std::string text = out_.str();
    EXPECT_FALSE(text.empty());
    EXPECT_EQ(text.find('\n'), text.size() - 1) << text;
    return text;
  }
  Json Print(const std::string& what) { return Json::parse(Text(what)); }

  std::ostringstream out_;
  std::unique_ptr<host::ScriptConsole> console_ = std::make_unique<host::ScriptConsole>(out_);
};

// ---------------------------------------------------------------------------
// Splitting lines into words

TEST(ScriptWords, BlanksQuotesEscapesAndComments) {
  std::vector<std::string> w;
  std::string error;
  ASSERT_TRUE(host::ScriptConsole::SplitLine("  set\tA  B C\r", &w, &error));
  EXPECT_EQ(w, (std::vector<std::string>{"set", "A", "B", "C"}));
  ASSERT_TRUE(host::ScriptConsole::SplitLine("a b # c d", &w, &error));
  EXPECT_EQ(w, (std::vector<std::string>{"a", "b"}));
  ASSERT_TRUE(host::ScriptConsole::SplitLine("x#y", &w, &error));
  EXPECT_EQ(w, (std::vector<std::string>{"x"}));
  ASSERT_TRUE(host::ScriptConsole::SplitLine("\"Extrude NURBS/Arrow\" \"#1\" \"\"", &w, &error));
  EXPECT_EQ(w, (std::vector<std::string>{"Extrude NURBS/Arrow", "#1", ""}));
  ASSERT_TRUE(host::ScriptConsole::SplitLine("string:\"a \\\"q\\\" \\\\\"x", &w, &error));
  EXPECT_EQ(w, (std::vector<std::string>{"string:a \"q\" \\x"}));
  ASSERT_TRUE(host::ScriptConsole::SplitLine("   # only a comment", &w, &error));
  EXPECT_TRUE(w.empty());
}

TEST(ScriptWords, UnterminatedQuoteAndUnknownEscapeAreErrors) {
  std::vector<std::string> w;
  std::string error;
  EXPECT_FALSE(host::ScriptConsole::SplitLine("select \"Arrow", &w, &error));
  EXPECT_EQ(error, "unterminated quote at column 8");
  EXPECT_FALSE(host::ScriptConsole::SplitLine("select \"A\\nB\"", &w, &error));
  EXPECT_NE(error.find("bad escape"), std::string::npos) << error;
}

// ---------------------------------------------------------------------------
// Making objects

TEST_F(Console, NewObjectsGoToTheTopWithTheirNamesAsOneUndoStepEach) {
  Script({"arrow A", "object spline S", "object null N", "object extrude E", "object cloner C",
          "object splinewrap W"});
  EXPECT_EQ(Text("tree"),
            WithTypes("[{\"name\":\"W\",\"type\":Osplinewrap,\"children\":[]},"
                      "{\"name\":\"C\",\"type\":Ocloner,\"children\":[]},"
                      "{\"name\":\"E\",\"type\":Oextrude,\"children\":[]},"
                      "{\"name\":\"N\",\"type\":Onull,\"children\":[]},"
                      "{\"name\":\"S\",\"type\":Ospline,\"children\":[]},"
                      "{\"name\":\"A\",\"type\":ID_TOLVANE,\"children\":[]}]\n"));
  const Json undo = Print("undo");
  ASSERT_EQ(undo["undo"].size(), 6u);
  EXPECT_EQ(undo["undo"][0], Json::parse(R"([{"kind":44,"object":"A"}])"));
  EXPECT_EQ(undo["undo"][5], Json::parse(R"([{"kind":44,"object":"W"}])"));
  EXPECT_TRUE(undo["redo"].empty());
}

TEST_F(Console, MenuArrowTakesTheDocumentsPlane) {
  Script({"doc plane 2", "arrow FromMenu menu", "arrow Plain"});
  EXPECT_EQ(Print("params FromMenu")["params"][std::to_string(SPLINEPRIMITIVE_PLANE)], 2);
  EXPECT_EQ(Print("params Plain")["params"][std::to_string(SPLINEPRIMITIVE_PLANE)], 0);
  // Only the menu's arrow was sent the menu-prepare message.
  const Json messages = Print("messages");
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], Json::parse(R"({"object":"FromMenu","type":22})"));
}

TEST_F(Console, BadCreationsAreScriptErrors) {
  EXPECT_EQ(Error("object cube C"),
            "unknown object kind 'cube': expected spline, null, extrude, cloner or splinewrap");
  EXPECT_EQ(Error("arrow a/b"), "an object name must not be empty or contain '/': 'a/b'");
  EXPECT_EQ(Error("arrow \"\""), "an object name must not be empty or contain '/': ''");
  EXPECT_EQ(Error("arrow A menus"), "usage: arrow NAME [menu]");
  EXPECT_EQ(Error("object spline"), "usage: object spline|null|extrude|cloner|splinewrap NAME");
  EXPECT_EQ(Text("tree"), "[]\n");
}

// ---------------------------------------------------------------------------
// Finding objects by name and path

TEST_F(Console, TheFirstNameInTreeOrderWins) {
  // B holds a null X; a spline X follows B at the top level.
  Script({"object spline X", "object null B", "object null X", "move X under B"});
  EXPECT_EQ(Print("params X")["type"], Onull);  // B's child comes before the later top-level X
  EXPECT_EQ(Print("params B/X")["type"], Onull);
  Ok("move X top");
  EXPECT_EQ(Print("params X")["type"], Onull);
}

TEST_F(Console, PathsStartAtTheTopAndTryEveryMatchingBranch) {
  Script({"object null K", "object null G", "move K under G", "object null G", "object null H",
          "move H under G"});
  // The first G holds H only; the second G holds K.
  EXPECT_EQ(Text("tree"),
            WithTypes("[{\"name\":\"G\",\"type\":Onull,\"children\":["
                      "{\"name\":\"H\",\"type\":Onull,\"children\":[]}]},"
                      "{\"name\":\"G\",\"type\":Onull,\"children\":["
                      "{\"name\":\"K\",\"type\":Onull,\"children\":[]}]}]\n"));
  Ok("set G/K 7 int:1");
  EXPECT_EQ(Print("params K")["params"]["7"], 1);
  EXPECT_EQ(Error("select K/G"), "no object at path 'K/G' in the document");
  EXPECT_EQ(Error("select H/K"), "no object at path 'H/K' in the document");  // not anchored below the top
  EXPECT_EQ(Error("select G//K"), "bad object path 'G//K': a name between slashes is empty");
  EXPECT_EQ(Error("select /G"), "bad object path '/G': a name between slashes is empty");
  EXPECT_EQ(Error("select Nobody"), "no object 'Nobody' in the document");
}

TEST_F(Console, ObjectsTakenOutByUndoAreNotFound) {
  Script({"object null N", "object null P", "move N under P", "undo"});
  EXPECT_EQ(Error("select P/N"), "no object at path 'P/N' in the document");
  Ok("select N");
  Ok("undo");  // the creation of P
  EXPECT_EQ(Error("select P"), "no object 'P' in the document");
  Ok("undo");
  EXPECT_EQ(Error("select N"), "no object 'N' in the document");
  Script({"redo", "redo", "redo", "select P/N"});
}

// ---------------------------------------------------------------------------
// The object manager: move and select

TEST_F(Console, MovesAreUndoableStepsOfTheirOwn) {
  Script({"object null A", "object null B", "object null P"});
  const std::string flat = Text("tree");
  Ok("move A under P");
  Ok("move B under P last");
  const std::string nested = Text("tree");
  EXPECT_EQ(nested,
            WithTypes("[{\"name\":\"P\",\"type\":Onull,\"children\":[{\"name\":\"A\",\"type\":Onull,\"children\":[]},"
                      "{\"name\":\"B\",\"type\":Onull,\"children\":[]}]}]\n"));
  Ok("move B under P first");
  EXPECT_EQ(Print("tree")[0]["children"][0]["name"], "B");
  Ok("move A top");
  EXPECT_EQ(Print("tree")[0]["name"], "A");
  const Json undo = Print("undo");
  ASSERT_EQ(undo["undo"].size(), 7u);
  EXPECT_EQ(undo["undo"][3], Json::parse(R"([{"kind":40,"object":"A"}])"));
  EXPECT_EQ(undo["undo"][6], Json::parse(R"([{"kind":40,"object":"A"}])"));
  Script({"undo", "undo"});
  EXPECT_EQ(Text("tree"), nested);
  Script({"undo", "undo"});
  EXPECT_EQ(Text("tree"), flat);
  Script({"redo", "redo", "redo"});
  EXPECT_EQ(Print("tree")[0]["children"][0]["name"], "B");
}

TEST_F(Console, MovingIntoItselfIsRefused) {
  Script({"object null A", "object null B", "move B under A"});
  const std::string before = Text("tree");
  EXPECT_EQ(Error("move A under A"), "cannot move 'A' under 'A': that is the object itself");
  EXPECT_EQ(Error("move A under A/B"), "cannot move 'A' under 'A/B': that is inside the object");
  EXPECT_EQ(Error("move A under B middle"), "usage: move NAME top | move NAME under PARENT [first|last]");
  EXPECT_EQ(Error("move A sideways"), "usage: move NAME top | move NAME under PARENT [first|last]");
  EXPECT_EQ(Error("move A top B"), "usage: move NAME top | move NAME under PARENT [first|last]");
  EXPECT_EQ(Text("tree"), before);
  EXPECT_EQ(Print("undo")["undo"].size(), 3u);
}

TEST_F(Console, SelectSetsTheSelectionAndTheActiveObject) {
  EXPECT_EQ(Text("selection"), "{\"active\":null,\"selected\":[]}\n");
  Script({"object null A", "object null B", "select A"});
  EXPECT_EQ(Text("selection"), "{\"active\":\"A\",\"selected\":[\"A\"]}\n");
  Ok("select B");
  EXPECT_EQ(Text("selection"), "{\"active\":\"B\",\"selected\":[\"B\"]}\n");
  Ok("undo");  // B leaves the document and the selection
  EXPECT_EQ(Text("selection"), "{\"active\":null,\"selected\":[]}\n");
}

// ---------------------------------------------------------------------------
// The attribute editor: set

TEST_F(Console, ArrowParametersByNameOrIdReadBackExactly) {
  Script({"arrow A", "object spline Path", "set A ARROW_SHAFT_LENGTH 0.1", "set A 10010 1e-300",
          "set A ARROW_SHAFT false", "set A ARROW_CLONE_COUNT 7", "set A ARROW_PRESET_NAME \"my arrow\"",
          "set A ARROW_CLONE_SPLINE Path"});
  const Json p = Print("params A")["params"];
  EXPECT_EQ(p["10000"].get<double>(), 0.1);
  EXPECT_EQ(p["10010"].get<double>(), 1e-300);
  EXPECT_EQ(p["10020"], 0);
  EXPECT_EQ(p["10330"], 7);
  EXPECT_EQ(p["10190"], "my arrow");
  EXPECT_EQ(p["10350"], "Path");
  // Floats are written so they read back to the same double.
  EXPECT_NE(Text("params A").find("\"10000\":0.1,"), std::string::npos);
  Ok("set A ARROW_CLONE_SPLINE none");
  EXPECT_TRUE(Print("params A")["params"]["10350"].is_null());
}

TEST_F(Console, NonFiniteNumbersPrintAsStrings) {
  Script({"arrow A", "set-raw A ARROW_SHAFT_LENGTH nan", "set-raw A ARROW_SHAFT_WIDTH inf",
          "set-raw A ARROW_HEAD_LENGTH -inf", "set-raw A ARROW_BARB_WIDTH -0"});
  const std::string text = Text("params A");
  EXPECT_NE(text.find("\"10000\":\"nan\""), std::string::npos) << text;
  EXPECT_NE(text.find("\"10010\":\"inf\""), std::string::npos) << text;
  EXPECT_NE(text.find("\"10030\":\"-inf\""), std::string::npos) << text;
  EXPECT_NE(text.find("\"10040\":-0.0"), std::string::npos) << text;
}

TEST_F(Console, OtherObjectsTakeNumericIdsAndTypedValues) {
  Script({"object null N", "object spline S", "set N 1 int:-3", "set N 2 float:2.5", "set N 3 bool:true",
          "set N 4 bool:0", "set N 5 vector:1,-2.5,1e3", "set N 6 \"string:two words\"", "set N 7 string:",
          "set N 8 link:S", "set N 9 link:none", "set N 10 float:inf"});
  EXPECT_EQ(Text("params N"),
            WithTypes("{\"name\":\"N\",\"type\":Onull,\"params\":{\"1\":-3,\"2\":2.5,\"3\":1,\"4\":0,"
                      "\"5\":[1.0,-2.5,1000.0],\"6\":\"two words\",\"7\":\"\",\"8\":\"S\","
                      "\"9\":null,\"10\":\"inf\"}}\n"));
  // Each edit is one undo step and the changed-parameter message.
  const Json undo = Print("undo")["undo"];
  ASSERT_EQ(undo.size(), 12u);
  EXPECT_EQ(undo[11], Json::parse(R"([{"kind":40,"object":"N"}])"));
  const Json messages = Print("messages");
  ASSERT_EQ(messages.size(), 10u);
  EXPECT_EQ(messages[0], Json::parse(R"({"object":"N","type":17})"));
}

TEST_F(Console, BadParametersAndValuesAreScriptErrors) {
  Script({"arrow A", "object null N"});
  EXPECT_EQ(Error("set A ARROW_NOTHING_AT_ALL 1"),
            "unknown parameter 'ARROW_NOTHING_AT_ALL' of the arrow ('print editor A' lists every name)");
  EXPECT_EQ(Error("set A 4242 1"), "unknown parameter '4242' of the arrow ('print editor A' lists every name)");
  EXPECT_EQ(Error("set A ARROW_RESET 1"), "ARROW_RESET is a button: press it instead");
  EXPECT_EQ(Error("set A ARROW_SHAFT_LENGTH long"),
            "bad value 'long' for ARROW_SHAFT_LENGTH: expected a number");
  EXPECT_EQ(Error("set A ARROW_SHAFT maybe"),
            "bad value 'maybe' for ARROW_SHAFT: expected true, false, 1 or 0");
  EXPECT_EQ(Error("set A ARROW_CLONE_SPLINE Nowhere"), "no object 'Nowhere' in the document");
  EXPECT_EQ(Error("set N ARROW_SHAFT 1"),
            "unknown parameter 'ARROW_SHAFT' of 'N': objects that are not arrows take numeric parameter IDs or "
            "the names of their description (print description TYPE)");
  EXPECT_EQ(Error("set N 1 3"),
            "value '3' has no type: write it as int:3, float:2.5, bool:true, vector:1,2,3, string:TEXT, "
            "link:NAME or link:none");
  EXPECT_NE(Error("set N 1 long:3").find("unknown value type 'long'"), std::string::npos);
  EXPECT_EQ(Error("set N 1 int:3.5"), "bad value 'int:3.5': expected a 32-bit whole number after int:");
  EXPECT_EQ(Error("set N 1 int:4294967296"),
            "bad value 'int:4294967296': expected a 32-bit whole number after int:");
  EXPECT_EQ(Error("set N 1 float:"), "bad value 'float:': expected a number after float:");
  EXPECT_EQ(Error("set N 1 bool:yes"), "bad value 'bool:yes': expected true, false, 1 or 0 after bool:");
  EXPECT_EQ(Error("set N 1 vector:1,2"), "bad value 'vector:1,2': expected three numbers X,Y,Z after vector:");
  EXPECT_EQ(Error("set N 1 vector:1,2,3,4"),
            "bad value 'vector:1,2,3,4': expected three numbers X,Y,Z after vector:");
  EXPECT_EQ(Error("set N 1 link:Ghost"), "no object 'Ghost' in the document");
  EXPECT_EQ(Error("set Ghost 1 int:1"), "no object 'Ghost' in the document");
  EXPECT_EQ(Error("set N 1"), "usage: set NAME PARAM VALUE");
  // Nothing of the refused edits reached the objects.
  EXPECT_EQ(Print("undo")["undo"].size(), 2u);
  EXPECT_EQ(Print("params N")["params"], Json::object());
}

// ---------------------------------------------------------------------------
// Buttons, dialogs, the document, failure injection

TEST_F(Console, PressSendsTheDescriptionCommand) {
  Script({"arrow A", "press A ARROW_SHOW_INFO", "press A 10220"});
  const Json messages = Print("messages");
  ASSERT_GE(messages.size(), 2u);
  EXPECT_EQ(messages[0], Json::parse(R"({"object":"A","type":18})"));
  EXPECT_EQ(Error("press A ARROW_SHAFT"), "ARROW_SHAFT is not a button");
  EXPECT_EQ(Error("press A ARROW_EXPLODE"), "unknown button 'ARROW_EXPLODE' of the arrow ('print editor A' lists the buttons)");
  EXPECT_EQ(Error("press Nobody ARROW_RESET"), "no object 'Nobody' in the document");
}

TEST_F(Console, DialogAnswersAreQueuedInOrder) {
  Script({"plugin release 16", "dialog /tmp/one.tlv", "dialog cancel", "dialog \"/tmp/with blank.tlv\""});
  EXPECT_EQ(host::QueuedDialogAnswers(), 3u);
  EXPECT_EQ(Text("dialogs"), "[]\n");
  EXPECT_EQ(Error("dialog \"\""), "usage: dialog PATH | dialog cancel");
  EXPECT_EQ(Error("dialog"), "usage: dialog PATH | dialog cancel");
}

TEST_F(Console, DocumentPlane) {
  Script({"doc plane 1"});
  EXPECT_EQ(console_->LoadedSession()->Doc()->SplinePlane(), 1);
  EXPECT_EQ(Error("doc plane 3"), "bad plane '3': expected 0 (XY), 1 (ZY) or 2 (XZ)");
  EXPECT_EQ(Error("doc plane x"), "bad plane 'x': expected 0 (XY), 1 (ZY) or 2 (XZ)");
  EXPECT_EQ(Error("doc colour 1"), "usage: doc plane 0|1|2");
  EXPECT_EQ(console_->LoadedSession()->Doc()->SplinePlane(), 1);
}

TEST_F(Console, AllocationFailureMakesArrowCreationFailClearly) {
  Ok("fail alloc 1");
  EXPECT_EQ(Error("arrow A", kScriptFailed),
            "cannot make arrow 'A': the plug-in could not make a new object");
  Ok("arrow B");  // only the first allocation failed
  Ok("fail alloc 1+");
  EXPECT_EQ(Error("arrow C", kScriptFailed),
            "cannot make arrow 'C': the plug-in could not make a new object");
  Error("arrow D", kScriptFailed);
  Ok("fail off");
  Ok("arrow E");
  EXPECT_EQ(Text("tree"),
            WithTypes("[{\"name\":\"E\",\"type\":ID_TOLVANE,\"children\":[]},"
                      "{\"name\":\"B\",\"type\":ID_TOLVANE,\"children\":[]}]\n"));
  EXPECT_EQ(Print("undo")["undo"].size(), 2u);
}

TEST_F(Console, FileFailuresAndBadFailForms) {
  Ok("fail file 2");
  host::FailurePlan& plan = host::Failures();
  EXPECT_FALSE(plan.NextFileOperationFails());
  EXPECT_TRUE(plan.NextFileOperationFails());
  EXPECT_FALSE(plan.NextFileOperationFails());
  Ok("fail alloc 2+");
  EXPECT_FALSE(plan.NextAllocationFails());
  EXPECT_TRUE(plan.NextAllocationFails());
  EXPECT_TRUE(plan.NextAllocationFails());
  Ok("fail off");
  EXPECT_FALSE(plan.NextAllocationFails());
  const std::string usage = "usage: fail alloc N | fail alloc N+ | fail file N | fail off";
  EXPECT_EQ(Error("fail disk 1"), usage);
  EXPECT_EQ(Error("fail off now"), usage);
  EXPECT_EQ(Error("fail alloc"), usage);
  EXPECT_EQ(Error("fail alloc 0"),
            "bad count '0': expected a whole number from 1 on, or N+ for every one from the Nth on");
  EXPECT_EQ(Error("fail alloc x+"),
            "bad count 'x+': expected a whole number from 1 on, or N+ for every one from the Nth on");
  EXPECT_EQ(Error("fail file 2+"), "bad count '2+': expected a whole number from 1 on");
}

TEST_F(Console, UndoAndRedoWithEmptyStacksAreErrors) {
  EXPECT_EQ(Error("undo"), "nothing to undo");
  EXPECT_EQ(Error("redo"), "nothing to redo");
  EXPECT_EQ(Error("undo now"), "usage: undo");
}

// ---------------------------------------------------------------------------
// Undo and redo restore what print shows, exactly

TEST_F(Console, UndoAndRedoRestoreTreeAndParameters) {
  std::vector<std::string> trees, params;
  const auto snapshot = [&] {
    trees.push_back(Text("tree"));
    params.push_back(Text("params A"));
  };
  Ok("arrow A");
  snapshot();
  for (const char* line : {"object spline Path", "set A ARROW_SHAFT_LENGTH 123.25",
                           "set A ARROW_CLONE_SPLINE Path", "set A ARROW_HEAD_TAPER 0.3",
                           "move A under Path last"}) {
    Ok(line);
    snapshot();
  }
  for (std::size_t i = trees.size() - 1; i > 0; --i) {
    Ok("undo");
    EXPECT_EQ(Text("tree"), trees[i - 1]) << "after undoing step " << i;
    EXPECT_EQ(Text("params A"), params[i - 1]) << "after undoing step " << i;
  }
  for (std::size_t i = 1; i < trees.size(); ++i) {
    Ok("redo");
    EXPECT_EQ(Text("tree"), trees[i]) << "after redoing step " << i;
    EXPECT_EQ(Text("params A"), params[i]) << "after redoing step " << i;
  }
}

TEST_F(Console, UndoOfResetRestoresTheEditedParameters) {
  Script({"arrow A", "set A ARROW_SHAFT_LENGTH 777", "set A ARROW_CHEVRON true"});
  const std::string edited = Text("params A");
  const std::size_t steps = Print("undo")["undo"].size();
  Ok("press A ARROW_RESET");
  EXPECT_EQ(Print("undo")["undo"].size(), steps + 1);
  const std::string reset = Text("params A");
  EXPECT_NE(reset, edited);
  EXPECT_EQ(Print("params A")["params"]["10000"].get<double>(), 400.0);
  Ok("undo");
  EXPECT_EQ(Text("params A"), edited);
  Ok("redo");
  EXPECT_EQ(Text("params A"), reset);
}

TEST_F(Console, UndoOfABuildCommandRestoresTheTreeExactly) {
  Script({"object spline Path", "arrow A", "set A ARROW_CLONE_EXTRUDED true"});
  const std::string before = Text("tree");
  const std::string paramsBefore = Text("params A");
  Ok("press A ARROW_MAKE_CLONER");
  const std::string after = Text("tree");
  EXPECT_EQ(Print("tree")[0]["name"], "Cloner");
  Ok("print params \"Cloner/Extrude NURBS/A\"");  // the path into the set-up reaches the arrow
  const std::string paramsAfter = Text("params A");
  Ok("undo");
  EXPECT_EQ(Text("tree"), before);
  EXPECT_EQ(Text("params A"), paramsBefore);
  EXPECT_EQ(Error("select Cloner"), "no object 'Cloner' in the document");
  Ok("redo");
  EXPECT_EQ(Text("tree"), after);
  EXPECT_EQ(Text("params A"), paramsAfter);
  Ok("select \"Cloner/Extrude NURBS\"");
}

// ---------------------------------------------------------------------------
// The shapes of what print writes

TEST_F(Console, PrintShapes) {
  Script({"object spline Path", "arrow A", "object cloner C", "move A under C"});
  const Json tree = Print("tree");
  ASSERT_TRUE(tree.is_array());
  ASSERT_EQ(tree.size(), 2u);
  for (const Json& node : tree) {
    ASSERT_TRUE(node.is_object());
    EXPECT_EQ(node.size(), 3u);
    EXPECT_TRUE(node["name"].is_string());
    EXPECT_TRUE(node["type"].is_number_integer());
    EXPECT_TRUE(node["children"].is_array());
  }
  EXPECT_EQ(tree[0]["children"][0]["name"], "A");

  const Json params = Print("params C/A");
  EXPECT_EQ(params["name"], "A");
  EXPECT_EQ(params["type"], ID_TOLVANE);
  ASSERT_TRUE(params["params"].is_object());
  long previous = -1;
  for (const auto& [key, value] : params["params"].items()) {
    const long id = std::stol(key);
    EXPECT_GT(id, previous) << "parameters come in ascending order of ID";
    previous = id;
  }
  EXPECT_GT(params["params"].size(), 20u);

  const Json contour = Print("contour A");
  ASSERT_TRUE(contour.is_object());
  EXPECT_EQ(contour["release"], 16);
  EXPECT_TRUE(contour["closed"].is_boolean());
  ASSERT_TRUE(contour["points"].is_array());
  EXPECT_FALSE(contour["points"].empty());
  EXPECT_EQ(Text("contour Path"), "null\n");  // a host spline answers no contour

  const Json console = Print("console");
  ASSERT_TRUE(console.is_array());
  ASSERT_FALSE(console.empty());
  EXPECT_NE(console[0].get<std::string>().find("Tolvane successfully loaded"), std::string::npos);
  EXPECT_TRUE(Print("boxes").is_array());
  const Json undo = Print("undo");
  EXPECT_EQ(undo.size(), 2u);
  EXPECT_TRUE(undo["undo"].is_array());
  EXPECT_TRUE(undo["redo"].is_array());
  Ok("undo");
  EXPECT_EQ(Print("undo")["redo"], Json::parse(R"([[{"kind":40,"object":"A"}]])"));
}

TEST_F(Console, InformationButtonShowsAMessageBox) {
  Ok("arrow A");
  EXPECT_EQ(Text("boxes"), "[]\n");
  Ok("press A ARROW_SHOW_INFO");
  const Json boxes = Print("boxes");
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].get<std::string>().rfind("Tolvane Arrow", 0), 0u);
}

TEST_F(Console, PrintErrors) {
  Ok("arrow A");
  const std::string unknown = Error("print everything");
  EXPECT_EQ(unknown.rfind("unknown print subject 'everything': expected boxes, console, contour, description, dialogs, editor, ", 0),
            0u)
      << unknown;
  for (const char* subject : {"messages", "params", "selection", "tree", "undo"})
    EXPECT_NE(unknown.find(subject), std::string::npos) << unknown;
  EXPECT_EQ(Error("print params"), "usage: print params NAME [names]");
  EXPECT_EQ(Error("print tree A"), "usage: print tree [serials]");
  EXPECT_EQ(Error("print contour Nobody"), "no object 'Nobody' in the document");
  EXPECT_EQ(Error("print").rfind("usage: print boxes | print console | print contour NAME", 0), 0u);
}

// ---------------------------------------------------------------------------
// Plug-in choice, extension and the end of a session

TEST_F(Console, Release12FolderWithItsOwnIds) {
  Script({"plugin release 12", "arrow A", "set A ARROW_SHAFT_WIDTH 33"});
  const Json p = Print("params A")["params"];
  EXPECT_EQ(p["10005"].get<double>(), 33.0);  // the shaft width's ID in product version 1.2
  EXPECT_FALSE(p.contains("10330"));  // the clone count's ID in 1.3; 10125 in 1.2
  EXPECT_EQ(p["10125"], 3);
  EXPECT_EQ(Print("contour A")["release"], 12);
  EXPECT_EQ(Error("press A ARROW_SHOW_INFO"), "unknown button 'ARROW_SHOW_INFO' of the arrow ('print editor A' lists the buttons)");
}

TEST_F(Console, PluginChoiceComesFirstAndOnlyOnce) {
  Ok("plugin " + host::PluginFolder(16));
  EXPECT_EQ(Error("plugin release 12"),
            "the plug-in is loaded already: 'plugin' must come before every other command");
  EXPECT_EQ(Error("plugin release"), "usage: plugin release 16|12");
  EXPECT_EQ(Error("plugin"), "usage: plugin release 16|12 | plugin DIR [release 16|12]");
}

TEST_F(Console, PluginErrors) {
  EXPECT_EQ(Error("plugin release 14"), "the release is 16 or 12, not '14'");
  EXPECT_EQ(Error("plugin release 16 now"), "usage: plugin release 16|12");
  EXPECT_EQ(Error("plugin /dir extra"), "usage: plugin DIR [release 16|12]");
  const std::string message = Error("plugin /no/such/folder release 12", kScriptFailed);
  EXPECT_EQ(message, "cannot load the plug-in: not a plug-in folder: /no/such/folder");
  // Nothing was loaded: the folder can still be chosen.
  EXPECT_EQ(console_->LoadedSession(), nullptr);
  Ok("plugin release 12");
}

TEST_F(Console, ExtraCommandsAndPrintSubjectsCanBeAdded) {
  int calls = 0;
  console_->AddCommand("count", {"count [N]", 0, 1,
                                 [&calls](host::ScriptConsole& c, const host::ScriptArgs& a,
                                          host::ScriptError* e) {
                                   if (!a.empty() && a[0] != "1") {
                                     e->message = "only 1";
                                     return false;
                                   }
                                   ++calls;
                                   return c.LoadedSession() != nullptr;
                                 }});
  console_->AddPrint("calls", {"print calls", 0, 0,
                               [&calls](host::ScriptConsole& c, const host::ScriptArgs&, host::ScriptError*) {
                                 c.Print(Json{{"calls", calls}});
                                 return true;
                               }});
  Ok("count");  // the plug-in is loaded before the handler runs
  Ok("count 1");
  EXPECT_EQ(Error("count 2"), "only 1");
  EXPECT_EQ(Error("count 1 1"), "usage: count [N]");
  EXPECT_EQ(Text("calls"), "{\"calls\":2}\n");
  const std::vector<std::string> words = console_->CommandWords();
  EXPECT_NE(std::find(words.begin(), words.end(), "count"), words.end());
}

// A mistyped command, parameter, button or object name gets the name it most
// likely meant; parameter names are taken whatever their case.
TEST_F(Console, MistypedNamesGetSuggestions) {
  Script({"arrow Arrow", "object null Holder"});
  struct Case {
    std::string line, error;
  };
  const std::vector<Case> cases = {
      {"arow B", "unknown command 'arow': did you mean 'arrow'? ('help' lists the commands)"},
      {"help slect", "unknown command 'slect': did you mean 'select'? ('help' lists the commands)"},
      {"set Arrow ARROW_SHAFT_LENGHT 5",
       "unknown parameter 'ARROW_SHAFT_LENGHT' of the arrow: did you mean 'ARROW_SHAFT_LENGTH'? "
       "('print editor Arrow' lists every name)"},
      {"press Arrow ARROW_RESTE", "unknown button 'ARROW_RESTE' of the arrow: did you mean 'ARROW_RESET'? "
                                  "('print editor Arrow' lists the buttons)"},
      {"select Arow", "no object 'Arow' in the document: did you mean 'Arrow'?"},
      {"select Holdr", "no object 'Holdr' in the document: did you mean 'Holder'?"},
      {"select B", "no object 'B' in the document"},
  };
  for (const Case& c : cases) EXPECT_EQ(Error(c.line), c.error);
  Ok("set Arrow arrow_shaft_length 321");
  Ok("press Arrow arrow_show_info");
  EXPECT_EQ(Print("params Arrow names")["params"]["ARROW_SHAFT_LENGTH"], 321.0);
}

// A scene file that cannot be read says why.
TEST_F(Console, LoadSceneOfAFileThatCannotBeReadSaysWhy) {
  testkit::TempDir tmp;
  Ok("arrow A");
  EXPECT_EQ(Error("load-scene " + ScriptConsoleWord(tmp.File("none.scene")), kScriptFailed),
            "cannot load the scene " + tmp.File("none.scene") + ": no such file");
  EXPECT_EQ(Error("load-scene " + ScriptConsoleWord(tmp.Path()), kScriptFailed),
            "cannot load the scene " + tmp.Path() + ": it is a folder");
  EXPECT_EQ(Print("tree").size(), 1u);  // the document stays
}

TEST_F(Console, UnknownCommandsAndTheEndedSession) {
  EXPECT_EQ(Error("explode A"), "unknown command 'explode' ('help' lists the commands)");
  Ok("   ");
  Ok("# nothing");
  Ok("arrow A");
  std::string findings;
  EXPECT_TRUE(console_->Finish(&findings)) << findings;
  EXPECT_TRUE(console_->LoadedSession()->GetHost().Leaks().empty());
  EXPECT_EQ(Error("arrow B"), "the session has ended");
  Ok("# comments still do nothing");
}

// ---------------------------------------------------------------------------
// Whole scripts

struct Ran {
  int status;
  std::string out, err;
};

Ran RunText(const std::string& text, const std::string& name = "s.script") {
  std::istringstream in(text);
  std::ostringstream out, err;
  // The host lives as long as the script: misuse of it is reported on `err`,
  // which the tests compare whole.
  const int status = host::RunScript(in, name, out, err);
  return {status, out.str(), err.str()};
}

TEST(ScriptRun, ErrorsNameTheScriptAndLineAndStopIt) {
  const Ran r = RunText("# a comment\n\narrow A\nprint tree\nfrobnicate\nprint tree\n");
  EXPECT_EQ(r.status, kScriptError);
  EXPECT_EQ(r.err, "s.script:5: unknown command 'frobnicate' ('help' lists the commands)\n");
  EXPECT_EQ(r.out, WithTypes("[{\"name\":\"A\",\"type\":ID_TOLVANE,\"children\":[]}]\n"));  // line 6 never ran

  struct Case {
    std::string script, err;
  };
  const Case cases[] = {
      {"arrow A\nselect B\n", "s.script:2: no object 'B' in the document\n"},
      {"arrow A\r\nset A ARROW_WINGS 2\r\n", "s.script:2: unknown parameter 'ARROW_WINGS' of the arrow ('print editor A' lists every name)\n"},
      {"arrow A\nset A ARROW_SHAFT_LENGTH x\n",
       "s.script:2: bad value 'x' for ARROW_SHAFT_LENGTH: expected a number\n"},
      // what set refuses and set-raw stores says so; a key has no raw form
      {"arrow A\nset A ARROW_SHAFT_LENGTH nan\n",
       "s.script:2: bad value 'nan' for ARROW_SHAFT_LENGTH: the attribute editor takes numbers only "
       "(set-raw stores it as typed)\n"},
      {"arrow A\nset A ARROW_PLANE 7\n",
       "s.script:2: bad value '7' for ARROW_PLANE: expected one of the choices 0 (XY), 1 (ZY), 2 (XZ) "
       "(set-raw stores it as typed)\n"},
      {"arrow A\nkey A ARROW_SHAFT_LENGTH 3 nan\n",
       "s.script:2: bad value 'nan' for ARROW_SHAFT_LENGTH: the attribute editor takes numbers only\n"},
      {"\n\n\nselect \"A\n", "s.script:4: unterminated quote at column 8\n"},
      {"arrow A\nplugin release 12\n",
       "s.script:2: the plug-in is loaded already: 'plugin' must come before every other command\n"},
      {"move\n", "s.script:1: usage: move NAME top | move NAME under PARENT [first|last]\n"},
  };
  for (const Case& c : cases) {
    const Ran ran = RunText(c.script);
    EXPECT_EQ(ran.status, kScriptError) << c.script;
    EXPECT_EQ(ran.err, c.err) << c.script;
  }
}

TEST(ScriptRun, HostFailuresStopWithStatusOne) {
  const Ran r = RunText("fail alloc 1\narrow A\nprint tree\n", "<stdin>");
  EXPECT_EQ(r.status, kScriptFailed);
  EXPECT_EQ(r.err, "<stdin>:2: cannot make arrow 'A': the plug-in could not make a new object\n");
  EXPECT_EQ(r.out, "");
  const Ran missing = RunText("plugin /no/such/folder\n");
  EXPECT_EQ(missing.status, kScriptFailed);
  EXPECT_EQ(missing.err, "s.script:1: cannot load the plug-in: not a plug-in folder: /no/such/folder\n");
}

TEST(ScriptRun, ACompleteScriptEndsCleanly) {
  const Ran r = RunText(
      "plugin release 16\n"
      "object spline Path\n"
      "arrow Arrow menu   # from the menu\n"
      "set Arrow ARROW_CLONE_SPLINE Path\n"
      "move Arrow under Path\n"
      "print tree\n"
      "undo\n"
      "print tree\n");
  EXPECT_EQ(r.status, kScriptOk) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out,
            WithTypes("[{\"name\":\"Path\",\"type\":Ospline,\"children\":["
                      "{\"name\":\"Arrow\",\"type\":ID_TOLVANE,\"children\":[]}]}]\n"
                      "[{\"name\":\"Arrow\",\"type\":ID_TOLVANE,\"children\":[]},"
                      "{\"name\":\"Path\",\"type\":Ospline,\"children\":[]}]\n"));
  EXPECT_EQ(RunText("").status, kScriptOk);  // an empty script loads nothing and ends well
}

// ---------------------------------------------------------------------------
// The program's `run`

class Program : public ::testing::Test {
 protected:
  void SetUp() override {
#if defined(_WIN32)
    GTEST_SKIP() << "these run the program through a POSIX shell (' quoting, popen, WEXITSTATUS); "
                    "the Linux build runs them";
#else
    tmp_ = std::make_unique<testkit::TempDir>();
    dir_ = fs::u8path(tmp_->Path());
#endif
  }
  void TearDown() override {
    tmp_.reset();
  }

  fs::path Write(const std::string& name, const std::string& text) {
    const fs::path p = dir_ / name;
    std::ofstream(p) << text;
    return p;
  }
  // Runs the program with `args` (already quoted as needed).
  Ran Call(const std::string& args) {
    const fs::path errFile = dir_ / "stderr.txt";
    const std::string command =
        std::string("'") + TOLVANE_HOST_PROGRAM + "' " + args + " 2>'" + errFile.string() + "'";
    Ran r{-1, "", ""};
#if defined(_WIN32)
    (void)command;
    return r;
#else
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return r;
    char buffer[4096];
    std::size_t n = 0;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) r.out.append(buffer, n);
    const int status = pclose(pipe);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ifstream in(errFile);
    std::stringstream text;
    text << in.rdbuf();
    r.err = text.str();
    return r;
#endif
  }

  std::unique_ptr<testkit::TempDir> tmp_;
  fs::path dir_;
};

TEST_F(Program, RunsAScriptFileOrStandardInput) {
  const fs::path script = Write("ok.script", "arrow A\nobject null N\nprint tree\n");
  const Ran file = Call("run '" + script.string() + "'");
  EXPECT_EQ(file.status, 0) << file.err;
  EXPECT_EQ(file.out,
            WithTypes("[{\"name\":\"N\",\"type\":Onull,\"children\":[]},"
                      "{\"name\":\"A\",\"type\":ID_TOLVANE,\"children\":[]}]\n"));
  const Ran piped = Call("run - < '" + script.string() + "'");
  EXPECT_EQ(piped.status, 0) << piped.err;
  EXPECT_EQ(piped.out, file.out);
}

TEST_F(Program, ExitStatusesAndMessages) {
  const fs::path bad = Write("bad.script", "arrow A\n\nselect B\n");
  const Ran r = Call("run '" + bad.string() + "'");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, bad.string() + ":3: no object 'B' in the document\n");
  const Ran piped = Call("run - < '" + bad.string() + "'");
  EXPECT_EQ(piped.status, 2);
  EXPECT_EQ(piped.err, "<stdin>:3: no object 'B' in the document\n");

  const Ran failed = Call("run - < '" + Write("fail.script", "fail alloc 1\narrow A\n").string() + "'");
  EXPECT_EQ(failed.status, 1);
  EXPECT_EQ(failed.err, "<stdin>:2: cannot make arrow 'A': the plug-in could not make a new object\n");

  const Ran missing = Call("run '" + (dir_ / "missing.script").string() + "'");
  EXPECT_EQ(missing.status, 2);
  EXPECT_EQ(missing.err, "tolvane-host: cannot open script '" + (dir_ / "missing.script").string() +
                             "': No such file or directory\n");
  const Ran directory = Call("run '" + dir_.string() + "'");
  EXPECT_EQ(directory.status, 2);
  EXPECT_EQ(directory.err, "tolvane-host: cannot open script '" + dir_.string() + "': it is a directory\n");
  const Ran noScript = Call("run");
  EXPECT_EQ(noScript.status, 2);
  EXPECT_EQ(noScript.err.rfind("tolvane-host: SCRIPT is required", 0), 0u) << noScript.err;
}

// The shipped examples run and end with the tree they build.
TEST_F(Program, TheExamplesBuildTheirSetUps) {
  struct Example {
    const char* file;
    const char* tree;
  };
  const Example examples[] = {
      {"cloner-along-path.script",
       "[{\"name\":\"Cloner\",\"type\":Ocloner,\"children\":[{\"name\":\"Extrude NURBS\",\"type\":Oextrude,"
       "\"children\":[{\"name\":\"Arrow\",\"type\":ID_TOLVANE,\"children\":[]}]}]},"
       "{\"name\":\"Path\",\"type\":Ospline,\"children\":[]}]"},
      {"wrap-along-path.script",
       "[{\"name\":\"Extrude NURBS\",\"type\":Oextrude,\"children\":[{\"name\":\"Arrow\",\"type\":ID_TOLVANE,"
       "\"children\":[]},{\"name\":\"Spline Wrap\",\"type\":Osplinewrap,\"children\":[]}]},"
       "{\"name\":\"Path\",\"type\":Ospline,\"children\":[]}]"},
  };
  for (const Example& e : examples) {
    const Ran r = Call(std::string("run '") + TOLVANE_SOURCE_DIR + "/examples/" + e.file + "'");
    EXPECT_EQ(r.status, 0) << e.file << ": " << r.err;
    std::istringstream lines(r.out);
    std::string line, last;
    while (std::getline(lines, line)) {
      EXPECT_TRUE(Json::accept(line)) << e.file << ": " << line;
      last = line;
    }
    EXPECT_EQ(last, WithTypes(e.tree)) << e.file;
  }
}

}  // namespace
