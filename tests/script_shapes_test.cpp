// Every scene shape the three build commands can leave, driven as a user's
// script through the console in both releases: the tree after the command,
// and undo and redo giving back exactly the `print tree` and `print params`
// output of before and after.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "core.h"
#include "script.h"

namespace {

using host::Json;

struct ShapeCase {
  const char* what;
  std::vector<std::string> setup;
  std::string press;     // the command, pressed on the arrow A
  std::string expected;  // the tree after it, as "Name(child, child) Next"
};

const std::vector<ShapeCase>& Cases() {
  static const std::vector<ShapeCase> cases = {
      {"extrude at top level", {"arrow A"}, "ARROW_MAKE_EXTRUDE", "Extrude NURBS(A)"},
      {"extrude takes the arrow's deformer along",
       {"arrow A", "object splinewrap W", "move W under A"},
       "ARROW_MAKE_EXTRUDE",
       "Extrude NURBS(A, W)"},
      {"extrude under another object",
       {"object null N", "arrow A", "move A under N"},
       "ARROW_MAKE_EXTRUDE",
       "N(Extrude NURBS(A))"},
      {"extrude under a cloner following a path",
       {"object spline P", "object cloner C", "set C 2010 int:0", "set C 1015 link:P", "arrow A",
        "move A under C"},
       "ARROW_MAKE_EXTRUDE",
       "C(Extrude NURBS(A)) P"},
      {"extrude under an extrusion", {"object extrude X", "arrow A", "move A under X"},
       "ARROW_MAKE_EXTRUDE", "X(A)"},
      {"cloner when the parent is a cloner", {"object cloner C", "arrow A", "move A under C"},
       "ARROW_MAKE_CLONER", "C(A)"},
      {"cloner when the grandparent is a cloner",
       {"object cloner C", "object null N", "move N under C", "arrow A", "move A under N"},
       "ARROW_MAKE_CLONER",
       "C(N(A))"},
      {"cloner around an extrusion", {"object extrude X", "arrow A", "move A under X"},
       "ARROW_MAKE_CLONER", "Cloner(X(A))"},
      {"cloner around an extrusion, aligned to a path",
       {"object extrude X", "arrow A", "move A under X", "object spline P",
        "set A ARROW_CLONE_ON_SPLINE true", "set A ARROW_CLONE_SPLINE P"},
       "ARROW_MAKE_CLONER",
       "Cloner(X(A)) P"},
      {"cloner beside an arrow under another object", {"object null N", "arrow A", "move A under N"},
       "ARROW_MAKE_CLONER", "Cloner N(A)"},
      {"cloner at top level", {"arrow A"}, "ARROW_MAKE_CLONER", "Cloner(A)"},
      {"cloner at top level, aligned to a path",
       {"object spline P", "arrow A", "set A ARROW_CLONE_ON_SPLINE true",
        "set A ARROW_CLONE_SPLINE P"},
       "ARROW_MAKE_CLONER",
       "Cloner(A) P"},
      {"cloner of an extruded arrow", {"arrow A", "set A ARROW_CLONE_EXTRUDED true"},
       "ARROW_MAKE_CLONER", "Cloner(Extrude NURBS(A))"},
      {"spline wrap at top level", {"object spline P", "arrow A", "set A ARROW_WRAP_SPLINE P"},
       "ARROW_MAKE_SPLINE_WRAP", "A(Spline Wrap) P"},
      {"spline wrap of an extruded arrow",
       {"object spline P", "arrow A", "set A ARROW_WRAP_SPLINE P", "set A ARROW_WRAP_EXTRUDED true"},
       "ARROW_MAKE_SPLINE_WRAP",
       "Extrude NURBS(A, Spline Wrap) P"},
      {"spline wrap under an extrusion",
       {"object spline P", "object extrude X", "arrow A", "move A under X",
        "set A ARROW_WRAP_SPLINE P"},
       "ARROW_MAKE_SPLINE_WRAP",
       "X(A, Spline Wrap) P"},
      {"spline wrap of an extruded arrow under another object",
       {"object spline P", "object null N", "arrow A", "move A under N",
        "set A ARROW_WRAP_SPLINE P", "set A ARROW_WRAP_EXTRUDED true"},
       "ARROW_MAKE_SPLINE_WRAP",
       "N(Extrude NURBS(A, Spline Wrap)) P"},
      {"spline wrap of a bare arrow under another object",
       {"object spline P", "object null N", "arrow A", "move A under N",
        "set A ARROW_WRAP_SPLINE P"},
       "ARROW_MAKE_SPLINE_WRAP",
       "N(A) P"},
  };
  return cases;
}

// "Name(child, child) Next" from the `print tree` JSON.
std::string Compact(const Json& nodes) {
  std::string out;
  for (const Json& node : nodes) {
    if (!out.empty()) out += " ";
    out += node["name"].get<std::string>();
    if (!node["children"].empty()) {
      std::string kids;
      for (const Json& child : node["children"]) {
        if (!kids.empty()) kids += ", ";
        kids += Compact(Json::array({child}));
      }
      out += "(" + kids + ")";
    }
  }
  return out;
}

void Paths(const Json& nodes, const std::string& prefix, std::vector<std::string>* out) {
  for (const Json& node : nodes) {
    const std::string path = prefix + node["name"].get<std::string>();
    out->push_back(path);
    Paths(node["children"], path + "/", out);
  }
}

class ScriptShapes : public ::testing::TestWithParam<int> {
 protected:
  void Run(const std::string& line) {
    std::string error;
    ASSERT_TRUE(console_->Execute(line, &error)) << line << ": " << error;
  }
  std::string Printed(const std::string& line) {
    out_.str("");
    Run(line);
    return out_.str();
  }
  Json Tree() { return Json::parse(Printed("print tree")); }
  // Everything a user can see of the document: the tree and every object's parameters.
  std::string Snapshot() {
    const Json tree = Tree();
    std::string all = tree.dump() + "\n";
    std::vector<std::string> paths;
    Paths(tree, "", &paths);
    for (const std::string& path : paths) all += Printed("print params \"" + path + "\"");
    return all;
  }

  std::ostringstream out_;
  std::unique_ptr<host::ScriptConsole> console_;
};
INSTANTIATE_TEST_SUITE_P(Both, ScriptShapes, ::testing::Values(16, 12));

TEST_P(ScriptShapes, EachCommandLeavesItsShapeAndUndoesExactly) {
  for (const ShapeCase& c : Cases()) {
    SCOPED_TRACE(c.what);
    console_ = std::make_unique<host::ScriptConsole>(out_);
    Run("plugin release " + std::to_string(GetParam()));
    for (const std::string& line : c.setup) Run(line);
    const std::string before = Snapshot();
    const std::string treeBefore = Compact(Tree());

    Run("press A " + c.press);
    const std::string after = Snapshot();
    EXPECT_EQ(Compact(Tree()), c.expected);

    if (after == before) {
      // Nothing was built: the tree must have stayed as it was.
      EXPECT_EQ(c.expected, treeBefore);
    } else {
      Run("undo");
      EXPECT_EQ(Snapshot(), before) << "after undo";
      Run("redo");
      EXPECT_EQ(Snapshot(), after) << "after redo";
    }
    std::string findings;
    EXPECT_TRUE(console_->Finish(&findings)) << findings;
    EXPECT_TRUE(host::Misuses().empty());
    console_.reset();
  }
}

}  // namespace
