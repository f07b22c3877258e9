// The arrow's message handler through the host and the loaded module, in
// both releases: the menu-prepare message, the reactions to parameter
// changes, reset, the information box, the preset buttons' wiring, messages
// the handler must ignore, and an arrow that is in no document.
#include <climits>
#include <fstream>

#include "files.h"
#include "ids.h"
#include "scene_kit.h"
#include "plugin_folders.h"

namespace {

using host::Object;
using host::Value;
using scenekit::Diff;
using scenekit::FindType;
using scenekit::MessagesSince;
using scenekit::Scene;
using scenekit::Shape;
using scenekit::Snapshot;
using scenekit::StepEntries;
using Strings = std::vector<std::string>;

using scenekit::kCloner;
using scenekit::kExtrude;
using scenekit::kNull;
using scenekit::kWrap;

class Messages : public ::testing::TestWithParam<int> {};
INSTANTIATE_TEST_SUITE_P(Both, Messages, ::testing::Values(16, 12));

// --- message 22 and messages to ignore --------------------------------------

TEST_P(Messages, ArrowFromTheMenuTakesTheDocumentsSplinePlane) {
  for (int32_t plane : {2, 1, 0}) {
    Scene s(GetParam());
    ASSERT_TRUE(s.Ready());
    s.Doc()->SetSplinePlane(plane);
    const std::size_t from = s.H().Messages().size();
    const std::size_t steps = s.Doc()->UndoSteps().size();
    std::string error;
    Object* arrow = s.S().NewArrow(true, &error);
    ASSERT_NE(arrow, nullptr) << error;
    EXPECT_EQ(*arrow->Data().Find(SPLINEPRIMITIVE_PLANE), Value::Int(plane));
    ASSERT_EQ(s.H().Messages().size(), from + 1);
    EXPECT_EQ(s.H().Messages()[from].type, 22);
    // Only the host's own step for the new object.
    ASSERT_EQ(s.Doc()->UndoSteps().size(), steps + 1);
    EXPECT_EQ(s.Doc()->UndoSteps().back().entries.size(), 1u);
    // Not from the menu: the default plane whatever the document says.
    Object* plain = s.S().NewArrow(false, &error);
    ASSERT_NE(plain, nullptr) << error;
    EXPECT_EQ(*plain->Data().Find(SPLINEPRIMITIVE_PLANE), Value::Int(0));
  }
}

TEST_P(Messages, OtherMessagesAndMissingDataChangeNothing) {
  Scene s(GetParam());
  ASSERT_TRUE(s.Ready());
  // A set-up in which every reaction and command would do something.
  s.PutLink("ARROW_WRAP_SPLINE", s.path);
  s.Move(s.arrow, s.Add(kExtrude, "X", s.Add(kCloner, "C")));
  s.Add(kWrap, "W", s.arrow);
  const Snapshot before = Snapshot::Of(s.Doc());
  const std::size_t steps = s.Doc()->UndoSteps().size();
  int32_t something = 0;
  for (int32_t type : {0, 1, 5, 7, 16, 19, 21, 23, 99, -1}) {
    EXPECT_EQ(s.H().SendMessage(s.arrow, type, &something), 1) << type;
  }
  for (int32_t type : {17, 18, 22}) EXPECT_EQ(s.H().SendMessage(s.arrow, type, nullptr), 1) << type;
  // A changed-parameter record without an ID.
  ha_desc_changed noId{s.Doc()->Handle(), 0, nullptr};
  EXPECT_EQ(s.H().SendMessage(s.arrow, 17, &noId), 1);
  // A button the arrow does not have, and the ID no button sends.
  for (int32_t id : {0, 1, 10001, INT32_MIN}) s.H().PressButton(s.arrow, id);
  EXPECT_EQ(Diff(before, Snapshot::Of(s.Doc())), "");
  EXPECT_EQ(s.Doc()->UndoSteps().size(), steps);
  EXPECT_TRUE(s.H().MessageBoxes().empty());
}

// --- message 17: carrying changes over --------------------------------------

struct ReactionRow {
  const char* what;
  std::function<void(Scene&)> arrange;
  const char* param;
  std::function<Value(Scene&)> value;
  Strings messages;  // from the edit's own message 17 on
  Strings entries;   // the edit's undo step: the host's entry for the arrow first
  std::function<void(Scene&)> check;
  // Set when the reaction writes through a container copy: the value the
  // set-up holds, which the arrow is given back when the copy cannot be had.
  std::function<Value(Scene&)> held = nullptr;
};

// A cloner "C" in `mode` holding the arrow (through `via` when given).
Object* InCloner(Scene& s, int mode, Object* via = nullptr) {
  Object* c = s.Add(kCloner, "C");
  c->Data().Set(CLONER_MODE, Value::Int(mode));
  c->Data().Set(CLONER_OBJECT_LINK, Value::Link(s.path->Serial()));
  if (via != nullptr) s.Move(via, c);
  s.Move(s.arrow, via != nullptr ? via : c);
  return c;
}
Object* Named(Scene& s, const std::string& name) {
  for (Object* op : s.Doc()->TreeOrder())
    if (op->Name() == name) return op;
  ADD_FAILURE() << "no object " << name;
  return nullptr;
}
Value Data(Scene& s, const std::string& name, int32_t id) {
  Object* op = Named(s, name);
  const Value* v = op != nullptr ? op->Data().Find(id) : nullptr;
  return v != nullptr ? *v : Value();
}
std::function<Value(Scene&)> Fixed(Value v) {
  return [v](Scene&) { return v; };
}

std::vector<ReactionRow> ReactionRows() {
  // Caps with settings of the user's own, which turning the fillet off keeps.
  const auto fillet = [](Scene& s) {
    Object* x = s.Add(kExtrude, "X");
    for (int32_t id : {EXTRUDE_START_CAP, EXTRUDE_END_CAP}) x->Data().Set(id, Value::Int(3));
    for (int32_t id : {EXTRUDE_START_FILLET, EXTRUDE_END_FILLET}) x->Data().Set(id, Value::Int(7));
    x->Data().Set(EXTRUDE_FILLET_ON, Value::Int(0));
    s.Move(s.arrow, x);
  };
  const auto path2 = [](Scene& s) { return Value::Link(Named(s, "Path2")->Serial()); };
  const auto addPath2 = [](Scene& s) { s.Add(Ospline, "Path2"); };
  const auto withWrap = [](Scene& s) {
    s.Add(Ospline, "Path2");
    s.Add(kWrap, "W", s.arrow)->Data().Set(SPLINEWRAP_MODE, Value::Int(1));
    s.Put("ARROW_POINT_INTERPOLATION", Value::Int(2));
  };
  const auto onSpline = [](Scene& s) {
    s.PutBool("ARROW_CLONE_ON_SPLINE", true);
    s.PutLink("ARROW_CLONE_SPLINE", s.path);
  };
  const auto plane = [](int32_t p) {
    return [p](Scene& s) { EXPECT_EQ(*s.Arrow("ARROW_PLANE"), Value::Int(p)); };
  };
  const auto onPath = [](Scene& s) { return Value::Link(s.path->Serial()); };
  const auto interpolation = [](int32_t i) {
    return [i](Scene& s) { EXPECT_EQ(*s.Arrow("ARROW_POINT_INTERPOLATION"), Value::Int(i)); };
  };
  return {
      {"fillet on", [](Scene& s) { s.Move(s.arrow, s.Add(kExtrude, "X")); }, "ARROW_EXTRUDE_FILLET",
       Fixed(Value::Int(1)), {"A:17", "X:7"}, {"40 A", "40 X"},
       [](Scene& s) {
         EXPECT_EQ(Data(s, "X", EXTRUDE_START_CAP), Value::Int(3));
         EXPECT_EQ(Data(s, "X", EXTRUDE_END_CAP), Value::Int(3));
         EXPECT_EQ(Data(s, "X", EXTRUDE_START_FILLET), Value::Int(5));
         EXPECT_EQ(Data(s, "X", EXTRUDE_END_FILLET), Value::Int(5));
         EXPECT_EQ(Data(s, "X", EXTRUDE_FILLET_ON), Value::Int(1));
         EXPECT_EQ(Data(s, "X", EXTRUDEOBJECT_MOVE), scenekit::Vec(0, 0, 20));
       },
       Fixed(Value::Int(0))},
      {"fillet off sets only the caps", fillet, "ARROW_EXTRUDE_FILLET", Fixed(Value::Int(0)), {"A:17", "X:7"},
       {"40 A", "40 X"},
       [](Scene& s) {
         EXPECT_EQ(Data(s, "X", EXTRUDE_START_CAP), Value::Int(1));
         EXPECT_EQ(Data(s, "X", EXTRUDE_END_CAP), Value::Int(1));
         EXPECT_EQ(Data(s, "X", EXTRUDE_START_FILLET), Value::Int(7));
         EXPECT_EQ(Data(s, "X", EXTRUDE_END_FILLET), Value::Int(7));
         EXPECT_EQ(Data(s, "X", EXTRUDE_FILLET_ON), Value::Int(0));
       },
       Fixed(Value::Int(1))},
      {"fillet without extrusion", [](Scene& s) { s.Move(s.arrow, s.Add(kNull, "N")); }, "ARROW_EXTRUDE_FILLET",
       Fixed(Value::Int(1)), {"A:17"}, {"40 A"}, nullptr},
      {"count without parent", [](Scene&) {}, "ARROW_CLONE_COUNT", Fixed(Value::Int(9)), {"A:17"}, {"40 A"},
       nullptr},
      {"count in a line", [](Scene& s) { InCloner(s, 1); }, "ARROW_CLONE_COUNT", Fixed(Value::Int(9)),
       {"A:17", "C:5"}, {"40 A", "40 C"},
       [](Scene& s) {
         EXPECT_EQ(Data(s, "C", CLONER_LINEAR_COUNT), Value::Int(9));
         EXPECT_EQ(Data(s, "C", CLONER_OBJECT_COUNT), Value::Int(3));
       },
       Fixed(Value::Int(3))},
      {"count along an object", [](Scene& s) { InCloner(s, 0); }, "ARROW_CLONE_COUNT", Fixed(Value::Int(9)),
       {"A:17", "C:5"}, {"40 A", "40 C"},
       [](Scene& s) {
         EXPECT_EQ(Data(s, "C", CLONER_OBJECT_COUNT), Value::Int(9));
         EXPECT_EQ(Data(s, "C", CLONER_LINEAR_COUNT), Value::Int(3));
       },
       Fixed(Value::Int(3))},
      {"count through an extrusion", [](Scene& s) { InCloner(s, 1, s.Add(kExtrude, "X")); },
       "ARROW_CLONE_COUNT", Fixed(Value::Int(9)), {"A:17", "C:5"}, {"40 A", "40 C"},
       [](Scene& s) { EXPECT_EQ(Data(s, "C", CLONER_LINEAR_COUNT), Value::Int(9)); }, Fixed(Value::Int(3))},
      {"count three levels up is not reached",
       [](Scene& s) {
         Object* outer = s.Add(kNull, "N1");
         InCloner(s, 1, outer);
         s.Move(s.arrow, s.Add(kNull, "N2", outer));
       },
       "ARROW_CLONE_COUNT", Fixed(Value::Int(9)), {"A:17"}, {"40 A"},
       [](Scene& s) { EXPECT_EQ(Data(s, "C", CLONER_LINEAR_COUNT), Value::Int(3)); }},
      {"path along an object", [=](Scene& s) {
         addPath2(s);
         InCloner(s, 0);
       }, "ARROW_CLONE_SPLINE", path2,
       {"A:17", "C:5"}, {"40 A", "40 C"},
       [=](Scene& s) { EXPECT_EQ(Data(s, "C", CLONER_OBJECT_LINK), path2(s)); }, onPath},
      {"path cleared", [](Scene& s) { InCloner(s, 0); }, "ARROW_CLONE_SPLINE", Fixed(Value::Link(0)),
       {"A:17", "C:5"}, {"40 A", "40 C"}, [](Scene& s) { EXPECT_EQ(Data(s, "C", CLONER_OBJECT_LINK), Value::Link(0)); },
       onPath},
      {"path through a null", [=](Scene& s) {
         addPath2(s);
         InCloner(s, 0, s.Add(kNull, "N"));
       },
       "ARROW_CLONE_SPLINE", path2, {"A:17", "C:5"}, {"40 A", "40 C"},
       [=](Scene& s) { EXPECT_EQ(Data(s, "C", CLONER_OBJECT_LINK), path2(s)); }, onPath},
      {"path in a line is not taken", [=](Scene& s) {
         addPath2(s);
         InCloner(s, 1);
       }, "ARROW_CLONE_SPLINE",
       path2, {"A:17"}, {"40 A"},
       [](Scene& s) { EXPECT_EQ(Data(s, "C", CLONER_OBJECT_LINK), Value::Link(s.path->Serial())); }},
      {"rate along an object", [](Scene& s) { InCloner(s, 0); }, "ARROW_CLONE_RATE", Fixed(Value::Real(0.5)),
       {"A:17", "C:5"}, {"40 A", "40 C"}, [](Scene& s) { EXPECT_EQ(Data(s, "C", CLONER_OBJECT_RATE), Value::Real(0.5)); },
       Fixed(Value::Real(0.0))},
      {"rate through an extrusion", [](Scene& s) { InCloner(s, 0, s.Add(kExtrude, "X")); }, "ARROW_CLONE_RATE",
       Fixed(Value::Real(0.5)), {"A:17", "C:5"}, {"40 A", "40 C"},
       [](Scene& s) { EXPECT_EQ(Data(s, "C", CLONER_OBJECT_RATE), Value::Real(0.5)); }, Fixed(Value::Real(0.0))},
      {"rate in a line is not taken", [](Scene& s) { InCloner(s, 1); }, "ARROW_CLONE_RATE",
       Fixed(Value::Real(0.5)), {"A:17"}, {"40 A"},
       [](Scene& s) { EXPECT_EQ(Data(s, "C", CLONER_OBJECT_RATE), Value::Real(0.0)); }},
      {"align on", onSpline, "ARROW_CLONE_ALIGN", Fixed(Value::Int(1)), {"A:17", "A:5"}, {"40 A"}, plane(1)},
      {"align off",
       [=](Scene& s) {
         onSpline(s);
         s.Put("ARROW_PLANE", Value::Int(1));
       },
       "ARROW_CLONE_ALIGN", Fixed(Value::Int(0)), {"A:17", "A:5"}, {"40 A"}, plane(0)},
      {"align without a spline", [](Scene& s) { s.PutBool("ARROW_CLONE_ON_SPLINE", true); }, "ARROW_CLONE_ALIGN",
       Fixed(Value::Int(1)), {"A:17"}, {"40 A"}, plane(0)},
      {"align without clone on spline", [](Scene& s) { s.PutLink("ARROW_CLONE_SPLINE", s.path); },
       "ARROW_CLONE_ALIGN", Fixed(Value::Int(1)), {"A:17"}, {"40 A"}, plane(0)},
      {"align leaves an extrusion as it is",
       [=](Scene& s) {
         onSpline(s);
         s.Move(s.arrow, s.Add(kExtrude, "X"));
       },
       "ARROW_CLONE_ALIGN", Fixed(Value::Int(1)), {"A:17", "A:5"}, {"40 A"},
       [](Scene& s) { EXPECT_EQ(Data(s, "X", EXTRUDEOBJECT_MOVE), scenekit::Vec(0, 0, 20)); }},
      {"wrap spline", withWrap, "ARROW_WRAP_SPLINE", path2, {"A:17", "W:7"}, {"40 A", "40 W"},
       [=](Scene& s) { EXPECT_EQ(Data(s, "W", SPLINEWRAP_SPLINE), path2(s)); }, Fixed(Value::Link(0))},
      {"wrap spline without deformer", addPath2, "ARROW_WRAP_SPLINE", path2, {"A:17"}, {"40 A"}, nullptr},
      {"wrap mode off", withWrap, "ARROW_WRAP_MODE", Fixed(Value::Int(0)), {"A:17", "W:7"}, {"40 A", "40 W"},
       [](Scene& s) { EXPECT_EQ(Data(s, "W", SPLINEWRAP_MODE), Value::Int(0)); }, Fixed(Value::Int(1))},
      {"wrap mode on beside the arrow",
       [](Scene& s) {
         Object* n = s.Add(kNull, "N");
         s.Move(s.arrow, n);
         s.Add(kWrap, "W", n);
       },
       "ARROW_WRAP_MODE", Fixed(Value::Int(1)), {"A:17", "W:7"}, {"40 A", "40 W"},
       [](Scene& s) { EXPECT_EQ(Data(s, "W", SPLINEWRAP_MODE), Value::Int(1)); }, Fixed(Value::Int(0))},
      {"natural points on", withWrap, "ARROW_WRAP_NATURAL_POINTS", Fixed(Value::Int(1)), {"A:17", "A:5"},
       {"40 A", "40 A"}, interpolation(1)},
      {"natural points off", withWrap, "ARROW_WRAP_NATURAL_POINTS", Fixed(Value::Int(0)), {"A:17", "A:5"},
       {"40 A", "40 A"}, interpolation(3)},
      {"natural points without deformer", [](Scene& s) { s.Put("ARROW_POINT_INTERPOLATION", Value::Int(2)); },
       "ARROW_WRAP_NATURAL_POINTS", Fixed(Value::Int(1)), {"A:17"}, {"40 A"}, interpolation(2)},
      {"a parameter without reaction",
       [=](Scene& s) {
         withWrap(s);
         InCloner(s, 0, s.Add(kExtrude, "X"));
       },
       "ARROW_SHAFT_LENGTH", Fixed(Value::Real(250.0)), {"A:17"}, {"40 A"}, nullptr},
  };
}

TEST_P(Messages, ParameterChangesReachTheSetUps) {
  for (const ReactionRow& row : ReactionRows()) {
    SCOPED_TRACE(row.what);
    Scene s(GetParam());
    ASSERT_TRUE(s.Ready());
    row.arrange(s);
    s.Doc()->Selection() = {s.arrow};
    s.Doc()->SetActive(s.arrow);
    const Snapshot before = Snapshot::Of(s.Doc());
    const std::string shape = Shape(s.Doc());
    const std::size_t from = s.H().Messages().size();
    const std::size_t steps = s.Doc()->UndoSteps().size();
    s.Edit(row.param, row.value(s));
    EXPECT_EQ(MessagesSince(s.H(), from), row.messages);
    ASSERT_EQ(s.Doc()->UndoSteps().size(), steps + 1);
    EXPECT_EQ(StepEntries(s.Doc()->UndoSteps().back()), row.entries);
    EXPECT_EQ(s.Doc()->UndoDepth(), 0);
    EXPECT_EQ(Shape(s.Doc()), shape);
    EXPECT_EQ(s.Doc()->Selection(), std::vector<Object*>{s.arrow});
    EXPECT_EQ(s.Doc()->Active(), s.arrow);
    if (row.check) row.check(s);
    // The edit and its reaction undo as one step.
    ASSERT_TRUE(s.Doc()->Undo());
    EXPECT_EQ(Diff(before, Snapshot::Of(s.Doc())), "");
  }
}

// A reaction whose container copy cannot be had writes, records and sends
// nothing; the copy is its only allocation. The arrow is given back the value
// its set-up holds, so the two agree again, also where they did not before.
TEST_P(Messages, ReactionsWithoutMemoryLeaveTheSetUpsAloneAndTheArrowInStep) {
  for (const ReactionRow& row : ReactionRows()) {
    if (!row.held) continue;
    SCOPED_TRACE(row.what);
    for (long nth : {1, 2}) {
      Scene s(GetParam());
      ASSERT_TRUE(s.Ready());
      row.arrange(s);
      const Value value = row.value(s);
      Snapshot before = Snapshot::Of(s.Doc());
      const std::size_t from = s.H().Messages().size();
      s.H().Failures().FailAllocation(nth);
      s.Edit(row.param, value);
      const long injected = s.H().Failures().AllocationFailuresInjected();
      s.H().Failures().Off();
      if (nth == 2) {
        EXPECT_EQ(injected, 0) << "one allocation only";
        EXPECT_EQ(MessagesSince(s.H(), from), row.messages);
        continue;
      }
      EXPECT_EQ(injected, 1);
      EXPECT_EQ(MessagesSince(s.H(), from), Strings{"A:17"});
      EXPECT_EQ(StepEntries(s.Doc()->UndoSteps().back()), Strings{"40 A"});
      // Only the edited parameter itself changed, to what the set-up holds.
      const Value* now = s.Arrow(row.param);
      ASSERT_NE(now, nullptr);
      EXPECT_EQ(*now, row.held(s)) << scenekit::ValueText(*now);
      EXPECT_NE(*now, value);
      host::Container arrow = s.arrow->Data();
      arrow.Erase(s.Id(row.param));
      EXPECT_EQ(Diff(before.With(s.arrow, arrow), Snapshot::Of(s.Doc()).With(s.arrow, arrow)), "");
    }
  }
}

// The reaction takes the document from the arrow, not from the record.
TEST_P(Messages, ReactionUsesTheArrowsOwnDocument) {
  Scene s(GetParam());
  ASSERT_TRUE(s.Ready());
  Object* x = s.Add(kExtrude, "X");
  s.Move(s.arrow, x);
  s.PutBool("ARROW_EXTRUDE_FILLET", true);
  ha_descid id{};
  id.depth = 1;
  id.level[0].id = s.Id("ARROW_EXTRUDE_FILLET");
  ha_desc_changed record{nullptr, 0, &id};
  const std::size_t steps = s.Doc()->UndoSteps().size();
  EXPECT_EQ(s.H().SendMessage(s.arrow, 17, &record), 1);
  EXPECT_EQ(*x->Data().Find(EXTRUDE_START_CAP), Value::Int(3));
  // Outside any group the entry forms a step of its own.
  ASSERT_EQ(s.Doc()->UndoSteps().size(), steps + 1);
  EXPECT_EQ(StepEntries(s.Doc()->UndoSteps().back()), Strings{"40 X"});
  EXPECT_EQ(s.Doc()->UndoDepth(), 0);
}

// --- reset ------------------------------------------------------------------

TEST_P(Messages, ResetKeepsLinksAndTheUnwrittenOptions) {
  Scene s(GetParam());
  ASSERT_TRUE(s.Ready());
  std::string error;
  Object* fresh = s.S().NewArrow(false, &error);
  ASSERT_NE(fresh, nullptr) << error;
  fresh->SetName("F");
  Object* path2 = s.Add(Ospline, "Path2");
  s.Move(s.arrow, s.Add(kNull, "N"));
  s.Put("ARROW_SHAFT_LENGTH", Value::Real(123.0));
  s.Put("ARROW_PRESET_NAME", Value::Str("mine"));
  s.Put("ARROW_CLONE_COUNT", Value::Int(11));
  s.Put("ARROW_CLONE_RATE", Value::Real(0.75));
  s.Put("ARROW_PLANE", Value::Int(2));
  s.Put("ARROW_POINT_INTERPOLATION", Value::Int(1));
  s.PutBool("ARROW_SHAFT", false);
  s.PutBool("ARROW_WRAP_MODE", false);
  s.PutBool("ARROW_REVERSE", true);
  s.PutLink("ARROW_CLONE_SPLINE", s.path);
  s.PutLink("ARROW_WRAP_SPLINE", path2);
  const char* kept[] = {"ARROW_EXTRUDE_FILLET", "ARROW_CLONE_EXTRUDED", "ARROW_CLONE_ON_SPLINE",
                        "ARROW_WRAP_EXTRUDED"};
  for (const char* name : kept) s.PutBool(name, true);
  const host::Container before = s.arrow->Data();
  const std::size_t from = s.H().Messages().size();
  const std::size_t steps = s.Doc()->UndoSteps().size();

  s.Press("ARROW_RESET");

  host::Container want = fresh->Data();
  for (const char* name : kept) want.Set(s.Id(name), Value::Int(1));
  want.Set(s.Id("ARROW_CLONE_SPLINE"), Value::Link(s.path->Serial()));
  want.Set(s.Id("ARROW_WRAP_SPLINE"), Value::Link(path2->Serial()));
  EXPECT_EQ(s.arrow->Data(), want);
  EXPECT_EQ(*s.Arrow("ARROW_PRESET_NAME"), Value::Str(""));
  EXPECT_EQ(*s.Arrow("ARROW_CLONE_COUNT"), Value::Int(3));
  EXPECT_EQ(MessagesSince(s.H(), from), (Strings{"A:18", "A:5"}));
  ASSERT_EQ(s.Doc()->UndoSteps().size(), steps + 1);
  EXPECT_EQ(StepEntries(s.Doc()->UndoSteps().back()), Strings{"40 A"});
  EXPECT_EQ(s.Doc()->UndoDepth(), 0);
  EXPECT_EQ(Shape(s.Doc()), "N(A) Path2 F Path");
  ASSERT_TRUE(s.Doc()->Undo());
  EXPECT_EQ(s.arrow->Data(), before);
}

// --- the information box ------------------------------------------------------

std::string InformationText() {
  std::ifstream in(host::PluginFolder(16) + "/resources/strings.json");
  const host::Json strings = host::Json::parse(in);
  return strings["strings"]["10001"].get<std::string>();
}

TEST_P(Messages, InformationBoxOnlyInRelease16) {
  Scene s(GetParam());
  ASSERT_TRUE(s.Ready());
  const std::size_t from = s.H().Messages().size();
  const std::size_t steps = s.Doc()->UndoSteps().size();
  if (GetParam() == 16) {
    s.Press("ARROW_SHOW_INFO");
    ASSERT_EQ(s.H().MessageBoxes(), Strings{InformationText()});
    EXPECT_FALSE(s.H().MessageBoxes()[0].empty());
    EXPECT_EQ(s.H().MessageBoxFlags(), std::vector<int32_t>{48});
    EXPECT_EQ(MessagesSince(s.H(), from), Strings{"A:18"});
  } else {
    EXPECT_EQ(s.S().FindParam("ARROW_SHOW_INFO"), nullptr);
    // Neither the newer release's button ID nor the ID no button sends.
    for (int32_t id : {Int32{ids_v13::ARROW_SHOW_INFO}, kNoDescriptionId}) s.H().PressButton(s.arrow, id);
    EXPECT_TRUE(s.H().MessageBoxes().empty());
  }
  EXPECT_EQ(s.Doc()->UndoSteps().size(), steps);
}

TEST(MessagesInformation, NoBoxWhenTheTextCannotBeHad) {
  Scene s(16);
  ASSERT_TRUE(s.Ready());
  s.H().Failures().FailAllocation(1);
  s.Press("ARROW_SHOW_INFO");
  EXPECT_EQ(s.H().Failures().AllocationFailuresInjected(), 1);
  s.H().Failures().Off();
  EXPECT_TRUE(s.H().MessageBoxes().empty());
  s.Press("ARROW_SHOW_INFO");
  EXPECT_EQ(s.H().MessageBoxes().size(), 1u);
}

// --- the preset buttons -------------------------------------------------------

TEST_P(Messages, PresetButtonsSendTheUpdateOnlyAfterALoad) {
  Scene s(GetParam());
  ASSERT_TRUE(s.Ready());
  testkit::TempDir tmp;
  const std::string file = tmp.File("mine.tlv");
  host::QueueDialogAnswer(file);
  std::size_t from = s.H().Messages().size();
  const std::size_t steps = s.Doc()->UndoSteps().size();
  s.Press("ARROW_SAVE_PRESET");
  EXPECT_FALSE(testkit::ReadFileBytes(file).empty());
  EXPECT_EQ(MessagesSince(s.H(), from), Strings{"A:18"});
  EXPECT_EQ(s.Doc()->UndoSteps().size(), steps);

  // A cancelled load: nothing changes and no update is sent.
  s.Put("ARROW_SHAFT_LENGTH", Value::Real(123.0));
  const host::Container changed = s.arrow->Data();
  host::QueueDialogCancel();
  from = s.H().Messages().size();
  s.Press("ARROW_LOAD_PRESET");
  EXPECT_EQ(s.arrow->Data(), changed);
  EXPECT_EQ(MessagesSince(s.H(), from), Strings{"A:18"});

  // A load that succeeds: the arrow gets its update.
  host::QueueDialogAnswer(file);
  from = s.H().Messages().size();
  s.Press("ARROW_LOAD_PRESET");
  EXPECT_EQ(*s.Arrow("ARROW_SHAFT_LENGTH"), Value::Real(400.0));
  EXPECT_EQ(MessagesSince(s.H(), from), (Strings{"A:18", "A:5"}));
  EXPECT_EQ(s.Doc()->UndoDepth(), 0);
}

// --- an arrow in no document ----------------------------------------------------

TEST_P(Messages, ArrowInNoDocumentOnlySavesAndInforms) {
  Scene s(GetParam());
  ASSERT_TRUE(s.Ready());
  Object* loose = s.H().MakePluginObject(*s.S().ArrowPlugin());
  ASSERT_NE(loose, nullptr);
  loose->SetName("L");
  // Out of the document but in a tree of its own: an extrusion above, a
  // deformer below, as the reactions look for them.
  Object* x = s.Add(kExtrude, "X");
  host::Document::Remove(x);
  host::Document::InsertUnder(loose, x);
  Object* w = s.Add(kWrap, "W");
  host::Document::InsertUnder(w, loose);
  const auto put = [&](const std::string& name, const Value& v) { loose->Data().Set(s.Id(name), v); };
  put("ARROW_WRAP_SPLINE", Value::Link(s.path->Serial()));
  put("ARROW_CLONE_SPLINE", Value::Link(s.path->Serial()));
  put("ARROW_SHAFT_LENGTH", Value::Real(123.0));
  put("ARROW_EXTRUDE_FILLET", Value::Int(1));
  put("ARROW_CLONE_ON_SPLINE", Value::Int(1));
  put("ARROW_WRAP_EXTRUDED", Value::Int(1));
  const host::Container data = loose->Data();
  const Snapshot scene = Snapshot::Of(s.Doc());
  const std::size_t steps = s.Doc()->UndoSteps().size();
  host::ClearDialogsShown();

  for (const char* button : {"ARROW_RESET", "ARROW_MAKE_EXTRUDE", "ARROW_MAKE_CLONER", "ARROW_MAKE_SPLINE_WRAP",
                             "ARROW_LOAD_PRESET", "ARROW_SAVE_PRESET"}) {
    s.H().PressButton(loose, s.Id(button));
  }
  for (const char* param : {"ARROW_EXTRUDE_FILLET", "ARROW_CLONE_COUNT", "ARROW_CLONE_SPLINE", "ARROW_CLONE_ALIGN",
                            "ARROW_CLONE_RATE", "ARROW_WRAP_SPLINE", "ARROW_WRAP_MODE",
                            "ARROW_WRAP_NATURAL_POINTS"}) {
    const Value* current = data.Find(s.Id(param));
    ASSERT_NE(current, nullptr) << param;
    s.H().EditParameter(loose, s.Id(param), *current);  // the same value: only the reaction could change things
  }
  EXPECT_EQ(loose->Data(), data);
  EXPECT_EQ(loose->Up(), x);
  EXPECT_EQ(loose->Down(), w);
  EXPECT_EQ(w->Next(), nullptr);
  EXPECT_EQ(x->Data(), scenekit::HostDefaults(kExtrude));
  EXPECT_EQ(w->Data(), scenekit::HostDefaults(kWrap));
  EXPECT_EQ(Diff(scene, Snapshot::Of(s.Doc())), "");
  EXPECT_EQ(s.Doc()->UndoSteps().size(), steps);
  // The save dialog was offered (and cancelled); the load was not.
  ASSERT_EQ(host::DialogsShown().size(), 1u);
  EXPECT_EQ(host::DialogsShown()[0].mode, HA_FILESELECT_SAVE);
  if (GetParam() == 16) {
    s.H().PressButton(loose, s.Id("ARROW_SHOW_INFO"));
    EXPECT_EQ(s.H().MessageBoxes().size(), 1u);
  }
  EXPECT_TRUE(host::FreeLoose(loose));
}

}  // namespace
