// The console's user data, interface element and scene file commands, line
// by line in-process and as whole scripts run by the program, in which a
// scene saved by one run is loaded by a fresh one.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "fixture.h"
#include "gui.h"
#include "script.h"

namespace {

namespace fs = std::filesystem;
using host::Json;

class GuiConsole : public ::testing::Test {
 protected:
  void SetUp() override { console_ = std::make_unique<host::ScriptConsole>(out_); }
  void TearDown() override {
    std::string findings;
    EXPECT_TRUE(console_->Finish(&findings)) << findings;
    EXPECT_TRUE(host::Misuses().empty());
  }
  void Ok(const std::string& line) {
    std::string error;
    EXPECT_TRUE(console_->Execute(line, &error)) << line << ": " << error;
  }
  std::string Error(const std::string& line, int status) {
    host::ScriptError error;
    EXPECT_FALSE(console_->Execute(line, &error)) << line;
    EXPECT_EQ(error.status, status) << line << ": " << error.message;
    return error.message;
  }
  // The JSON document one printing line wrote.
  Json Printed(const std::string& line) {
    out_.str("");
    Ok(line);
    const std::string text = out_.str();
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << text;
    return Json::parse(text, nullptr, false);
  }

  testkit::TempDir dir_;
  std::ostringstream out_;
  std::unique_ptr<host::ScriptConsole> console_;
};

TEST_F(GuiConsole, ClicksShowInTheElementTheParameterAndThePicture) {
  Ok("arrow Arrow");
  const Json added = Printed("userdata Arrow dots Dots");
  EXPECT_EQ(added, (Json{{"object", "Arrow"}, {"id", host::kUserDataFirstId}, {"name", "Dots"}, {"type", ID_CUSTOMDATATYPE_DOTS}}));
  Ok("gui open Arrow Dots");
  Ok("gui click 120 80");
  Ok("gui click 5 5");
  Ok("gui key q");
  Ok("gui key 13");
  const Json gui = Printed("print gui");
  EXPECT_EQ(gui["object"], "Arrow");
  EXPECT_EQ(gui["param"], host::kUserDataFirstId);
  EXPECT_EQ(gui["element"], ID_CUSTOMGUI_DOTS);
  EXPECT_EQ(gui["field"], (Json{{"x", host::kElementLeft}, {"y", host::kElementTop}, {"width", 400}, {"height", 300}}));
  EXPECT_EQ(gui["points"], Json::parse("[[120.0,80.0,0.0],[5.0,5.0,0.0]]"));
  EXPECT_EQ(gui["inputs"], Json::parse(R"([{"kind":"click","x":120,"y":80,"used":true},)"
                                       R"({"kind":"click","x":5,"y":5,"used":true},)"
                                       R"({"kind":"key","key":113,"used":false},)"
                                       R"({"kind":"key","key":13,"used":false}])"));
  const Json params = Printed("print params Arrow");
  EXPECT_EQ(params["params"][std::to_string(host::kUserDataFirstId)],
            (Json{{"type", ID_CUSTOMDATATYPE_DOTS}, {"points", Json::parse("[[120.0,80.0,0.0],[5.0,5.0,0.0]]")}}));
  const std::string png = dir_.File("field.png");
  Ok("gui png " + png);
  host::Raster r;
  std::string error;
  ASSERT_TRUE(host::ReadPng(png, &r, &error)) << error;
  EXPECT_EQ(r.At(120, 80), (host::Rgb{0, 0, 0}));
  EXPECT_EQ(r.At(0, 0), (host::Rgb{0, 0, 0}));
  EXPECT_EQ(r.At(200, 200), (host::Rgb{255, 255, 255}));
  // Undo takes the last click back from the parameter.
  Ok("undo");
  EXPECT_EQ(Printed("print params Arrow")["params"][std::to_string(host::kUserDataFirstId)]["points"],
            Json::parse("[[120.0,80.0,0.0]]"));
  Ok("gui close");
  EXPECT_TRUE(host::OpenElements().empty());
}

TEST_F(GuiConsole, MistakesAreScriptErrorsAndFailuresChangeNothing) {
  Ok("arrow Arrow");
  Ok("object null Marks");
  EXPECT_NE(Error("gui click 1 2", host::kScriptError).find("no interface element is open"), std::string::npos);
  EXPECT_NE(Error("userdata Arrow shapes X", host::kScriptError).find("unknown data type"), std::string::npos);
  EXPECT_NE(Error("gui open Arrow Dots", host::kScriptError).find("no user data parameter"), std::string::npos);
  EXPECT_NE(Error("gui wave", host::kScriptError).find("unknown gui command"), std::string::npos);
  Ok("userdata Marks int Count");
  EXPECT_NE(Error("gui open Marks Count", host::kScriptFailed).find("not of a registered custom data type"),
            std::string::npos);
  Ok("userdata Marks dots Dots");
  Ok("gui open Marks Dots");
  Error("gui click x 2", host::kScriptError);
  Error("gui key ab", host::kScriptError);
  Ok("gui click 10 10");

  // A damaged scene is refused and the document stays as it was.
  const std::string file = dir_.File("scene.tlvscene");
  Ok("save-scene " + file);
  const Json tree = Printed("print tree");
  std::string bytes = testkit::ReadFileBytes(file);
  {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << bytes.substr(0, bytes.size() - 3);
  }
  EXPECT_NE(Error("load-scene " + file, host::kScriptFailed).find("truncated"), std::string::npos);
  EXPECT_EQ(Printed("print tree"), tree);
  EXPECT_EQ(Printed("print params Marks")["params"]["700002"]["points"], Json::parse("[[10.0,10.0,0.0]]"));
  EXPECT_NE(Error("save-scene " + dir_.File("none/scene.tlvscene"), host::kScriptFailed).find("cannot"),
            std::string::npos);
  // A good file replaces the document; the open element goes with the old one.
  {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << bytes;
  }
  Ok("arrow Later");
  Ok("load-scene " + file);
  EXPECT_EQ(Printed("print tree"), tree);
  EXPECT_TRUE(host::OpenElements().empty());
  Error("gui png " + dir_.File("x.png"), host::kScriptError);
}

// An element follows the document through undo and redo: it closes when its
// object leaves the document (and says so when it is used), and shows what
// the parameter holds after the others, so no click is lost or brought back.
TEST_F(GuiConsole, AnElementWhoseObjectLeavesTheDocumentCloses) {
  const std::string param = std::to_string(host::kUserDataFirstId);
  Ok("object null Marks");
  Ok("userdata Marks dots Dots");
  Ok("arrow A");
  Ok("userdata A dots M");
  Ok("gui open A 700001");
  Ok("undo");  // takes the arrow out of the document
  EXPECT_TRUE(host::OpenElements().empty());
  for (const char* line : {"gui click 10 10", "gui key a", "print gui", "gui close"}) {
    const std::string error = Error(line, host::kScriptError);
    EXPECT_NE(error.find("the interface element of 'A' was closed: its object left the document"), std::string::npos)
        << line << ": " << error;
  }
  Ok("redo");
  EXPECT_EQ(Printed("print params A")["params"][param]["points"], Json::array());
  EXPECT_TRUE(host::OpenElements().empty());
  // Opened again, it works; a click that undo took back is not brought back.
  Ok("gui open A M");
  Ok("gui click 10 10");
  Ok("undo");
  Ok("gui click 20 20");
  EXPECT_EQ(Printed("print params A")["params"][param]["points"], Json::parse("[[20.0,20.0,0.0]]"));
  EXPECT_EQ(Printed("print gui")["points"], Json::parse("[[20.0,20.0,0.0]]"));
  Ok("undo");
  EXPECT_EQ(Printed("print gui")["points"], Json::array());
  Ok("redo");
  EXPECT_EQ(Printed("print gui")["points"], Json::parse("[[20.0,20.0,0.0]]"));
  // An element on an object that stays only follows its parameter.
  Ok("gui open Marks Dots");
  Ok("gui click 1 2");
  Ok("undo");  // the click
  Ok("undo");  // the arrow's click
  Ok("undo");  // the arrow
  const Json gui = Printed("print gui");
  EXPECT_EQ(gui["object"], "Marks");
  EXPECT_EQ(gui["points"], Json::array());
  Ok("gui close");
}

// A scene loaded while memory runs out is loaded whole or not at all: either
// the document is replaced by one with every saved point, or the command
// fails (exit status 1) and the document, its values and its undo steps are
// as they were.
TEST(GuiConsoleMemory, ALoadIsWholeOrRefused) {
  testkit::TempDir dir;
  const std::string file = dir.File("three.tlvscene");
  const std::string param = std::to_string(host::kUserDataFirstId);
  const Json three = Json::parse("[[10.0,10.0,0.0],[20.0,20.0,0.0],[30.0,30.0,0.0]]");
  const auto run = [](host::ScriptConsole& c, const std::string& line) {
    host::ScriptError error;
    const bool ok = c.Execute(line, &error);
    EXPECT_TRUE(ok) << line << ": " << error.message;
  };
  {
    std::ostringstream out;
    host::ScriptConsole c(out);
    for (const char* line : {"arrow A", "userdata A dots M", "gui open A M", "gui click 10 10", "gui click 20 20",
                             "gui click 30 30", "gui close"})
      run(c, line);
    run(c, "save-scene " + file);
    std::string findings;
    EXPECT_TRUE(c.Finish(&findings)) << findings;
  }
  int refused = 0;
  bool loaded = false;
  for (long n = 1; !loaded && n < 200; ++n) {
    SCOPED_TRACE("allocation " + std::to_string(n));
    std::ostringstream out;
    host::ScriptConsole c(out);
    for (const char* line : {"arrow B", "set B ARROW_SHAFT_LENGTH 123", "print tree", "print params B", "print undo"})
      run(c, line);
    const std::string before = out.str();
    run(c, "fail alloc " + std::to_string(n));
    host::ScriptError error;
    loaded = c.Execute("load-scene " + file, &error);
    run(c, "fail off");
    out.str("");
    if (loaded) {
      run(c, "print params A");
      EXPECT_EQ(Json::parse(out.str())["params"][param]["points"], three);
    } else {
      ++refused;
      EXPECT_EQ(error.status, host::kScriptFailed) << error.message;
      EXPECT_NE(error.message.find(file), std::string::npos) << error.message;
      for (const char* line : {"print tree", "print params B", "print undo"}) run(c, line);
      EXPECT_EQ(out.str(), before);
    }
    std::string findings;
    EXPECT_TRUE(c.Finish(&findings)) << findings;
    if (HasFailure()) break;
  }
  EXPECT_TRUE(loaded);
  EXPECT_GE(refused, 3);  // the value, its block, the arrow
}

TEST(GuiProgram, AFreshHostLoadsTheSceneWithTheSamePoints) {
  testkit::TempDir dir;
  const std::string scene = dir.File("dots.tlvscene");
  const std::string png = dir.File("dots.png");
  const std::string first = dir.File("first.script");
  const std::string second = dir.File("second.script");
  {
    std::ofstream out(first);
    out << "arrow Arrow\n"
           "userdata Arrow dots Dots\n"
           "gui open Arrow Dots\n"
           "gui click 120 80\n"
           "gui click 200 150\n"
           "gui click 310 40\n"
           "gui png " << png << "\n"
           "save-scene " << scene << "\n"
           "print params Arrow\n";
  }
  {
    std::ofstream out(second);
    out << "load-scene " << scene << "\n"
           "print params Arrow\n"
           "gui open Arrow Dots\n"
           "print gui\n";
  }
  const testkit::ProgramResult a = testkit::RunProgram("run \"" + first + "\"");
  ASSERT_EQ(a.status, 0) << a.err;
  const testkit::ProgramResult b = testkit::RunProgram("run \"" + second + "\"");
  ASSERT_EQ(b.status, 0) << b.err;
  const Json three = Json::parse("[[120.0,80.0,0.0],[200.0,150.0,0.0],[310.0,40.0,0.0]]");
  std::istringstream outA(a.out), outB(b.out);
  std::string line, lastA;
  std::getline(outA, line);  // the userdata line
  EXPECT_EQ(Json::parse(line)["id"], host::kUserDataFirstId);
  std::getline(outA, lastA);
  std::getline(outB, line);
  EXPECT_EQ(Json::parse(lastA), Json::parse(line));  // the same parameters, every one
  EXPECT_EQ(Json::parse(line)["params"]["700001"]["points"], three);
  std::getline(outB, line);
  EXPECT_EQ(Json::parse(line)["points"], three);

  host::Raster r;
  std::string error;
  ASSERT_TRUE(host::ReadPng(png, &r, &error)) << error;
  for (const auto& p : three) {
    const int x = static_cast<int>(p[0].get<double>()), y = static_cast<int>(p[1].get<double>());
    EXPECT_EQ(r.At(x - 5, y - 5), (host::Rgb{0, 0, 0}));
    EXPECT_EQ(r.At(x + 5, y + 5), (host::Rgb{0, 0, 0}));
    EXPECT_EQ(r.At(x + 6, y), (host::Rgb{255, 255, 255}));
  }
}

}  // namespace
