// The Dots data type and its interface element, through the host and the
// loaded release-16 module: values made, copied, compared, stored and read
// through the type's class; the element laid out, drawn into a raster,
// clicked and given values; the registration and its failures.
#include <algorithm>
#include <climits>
#include <cstddef>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "core.h"
#include "dots_helpers.h"
#include "plugin_folders.h"

namespace {

using dots::DotsSession;
using dots::MakeDots;
using dots::Points;
using dots::PointsOfCustom;
using dots::PointsOfValue;
using dots::SamePoints;
using dots::Show;
using host::CustomValue;
using host::Value;
using testkit::ExpectCleanShutdown;

constexpr host::Rgb kWhite{255, 255, 255};
constexpr host::Rgb kBlack{0, 0, 0};

const host::CustomDataPlugin& DotsType() {
  const host::CustomTypeRef type = host::FindCustomDataType(dots::kDotsType);
  EXPECT_NE(type, nullptr);
  return *type;
}

// ---------------------------------------------------------------------------
// The data type

using DotsValues = DotsSession;

TEST_F(DotsValues, ComparisonLooksAtTheNumberOfPointsOnly) {
  {
    const CustomValue a = MakeDots({{1, 2, 0}, {3, 4, 0}, {5, 6, 0}});
    const CustomValue b = MakeDots({{7, 7, 7}, {8, 8, 8}, {9, 9, 9}});
    const CustomValue two = MakeDots({{1, 2, 0}, {3, 4, 0}});
    EXPECT_EQ(a.Compare(b), 0);
    EXPECT_EQ(two.Compare(a), -1);
    EXPECT_EQ(a.Compare(two), 1);
    // Container entries compare through the type as well.
    EXPECT_TRUE(Value::Custom(a) == Value::Custom(b));
    EXPECT_FALSE(Value::Custom(a) == Value::Custom(two));
  }
  const host::CustomDataPlugin& type = DotsType();
  const CustomValue a = MakeDots({{1, 2, 0}});
  EXPECT_EQ(type.cls.compare(type.cls.user, a.Get(), nullptr), 0);
  EXPECT_EQ(type.cls.compare(type.cls.user, nullptr, a.Get()), 0);
  EXPECT_EQ(type.cls.compare(type.cls.user, nullptr, nullptr), 0);
}

TEST_F(DotsValues, AbsentValuesAreRefusedOrIgnored) {
  const host::CustomDataPlugin& type = DotsType();
  CustomValue a = MakeDots({{1, 1, 0}, {2, 2, 0}});
  EXPECT_EQ(type.cls.copy_data(type.cls.user, nullptr, a.Get(), nullptr), 0);
  EXPECT_EQ(type.cls.copy_data(type.cls.user, a.Get(), nullptr, nullptr), 0);
  EXPECT_TRUE(SamePoints(PointsOfCustom(a), {{1, 1, 0}, {2, 2, 0}}));
  const long before = host::Failures().AllocationsCounted();
  type.cls.free_data(type.cls.user, nullptr);  // nothing to free, nothing to crash
  EXPECT_EQ(host::Failures().AllocationsCounted(), before);
  // A new value is empty and stores only its count.
  const CustomValue fresh = CustomValue::New(dots::kDotsType);
  ASSERT_TRUE(fresh.Holds());
  EXPECT_TRUE(PointsOfCustom(fresh).empty());
  std::string bytes, error;
  ASSERT_TRUE(host::WriteCustomValue(fresh, &bytes, &error)) << error;
  EXPECT_EQ(bytes, dots::Int64Item(0));
}

TEST_F(DotsValues, CopiesAreIndependentOfTheirSource) {
  CustomValue source = MakeDots({{10, 20, 0}, {30, 40, 0}});
  CustomValue copy = source;
  ASSERT_TRUE(copy.Holds());
  EXPECT_NE(copy.Get(), source.Get());
  // Replace and then free the source: the copy keeps its own block.
  source = MakeDots({{1, 1, 1}});
  EXPECT_EQ(PointsOfCustom(source).size(), 1u);
  source = CustomValue();
  EXPECT_TRUE(SamePoints(PointsOfCustom(copy), {{10, 20, 0}, {30, 40, 0}}));

  // Copying over a value with points leaves exactly the source's points.
  const host::CustomDataPlugin& type = DotsType();
  CustomValue target = MakeDots({{5, 5, 5}, {6, 6, 6}, {7, 7, 7}});
  ASSERT_EQ(type.cls.copy_data(type.cls.user, copy.Get(), target.Get(), nullptr), 1);
  EXPECT_TRUE(SamePoints(PointsOfCustom(target), {{10, 20, 0}, {30, 40, 0}}));
  // An empty source empties the target.
  const CustomValue empty = CustomValue::New(dots::kDotsType);
  ASSERT_EQ(type.cls.copy_data(type.cls.user, empty.Get(), target.Get(), nullptr), 1);
  EXPECT_TRUE(PointsOfCustom(target).empty());
}

TEST_F(DotsValues, ACopyWithoutMemoryAnswersFalseAndLeavesTheTargetEmpty) {
  const host::CustomDataPlugin& type = DotsType();
  const CustomValue source = MakeDots({{1, 2, 3}, {4, 5, 6}});
  CustomValue target = MakeDots({{9, 9, 9}});
  H().Failures().FailAllocation(1);
  EXPECT_EQ(type.cls.copy_data(type.cls.user, source.Get(), target.Get(), nullptr), 0);
  EXPECT_EQ(H().Failures().AllocationFailuresInjected(), 1);
  H().Failures().Off();
  EXPECT_TRUE(PointsOfCustom(target).empty());
  // The host's own copy of a value then holds nothing rather than a wrong value.
  H().Failures().FailAllocation(2);  // the new value succeeds, its block does not
  const CustomValue failed = source;
  H().Failures().Off();
  EXPECT_FALSE(failed.Holds());
  EXPECT_EQ(failed.TypeId(), dots::kDotsType);
}

TEST_F(DotsValues, WrittenPointsReadBackInOrder) {
  const Points points{{0.5, -1.25, 3}, {1e300, -0.0, 7}, {120, 80, 0}};
  const CustomValue value = MakeDots(points);
  std::string bytes, error;
  ASSERT_TRUE(host::WriteCustomValue(value, &bytes, &error)) << error;
  EXPECT_EQ(bytes, dots::Stored(points));  // a 64-bit count, then one vector a point
  CustomValue back;
  ASSERT_TRUE(host::ReadCustomValue(dots::kDotsType, bytes, 1, &back, &error)) << error;
  EXPECT_TRUE(SamePoints(PointsOfCustom(back), points)) << Show(PointsOfCustom(back));
  EXPECT_TRUE(std::signbit(PointsOfCustom(back)[1].y));

  // An empty value stores the count 0 alone and reads back empty.
  const CustomValue empty = MakeDots({});
  ASSERT_TRUE(host::WriteCustomValue(empty, &bytes, &error)) << error;
  EXPECT_EQ(bytes, dots::Int64Item(0));
  ASSERT_TRUE(host::ReadCustomValue(dots::kDotsType, bytes, 1, &back, &error)) << error;
  EXPECT_TRUE(PointsOfCustom(back).empty());
}

TEST_F(DotsValues, ANewerLevelAndEveryWholeValueReadBack) {
  Points many;
  for (int i = 0; i < 20; ++i) many.push_back({double(i), double(2 * i), 0});
  for (const Points& points : {Points{}, Points{{1, 2, 3}, {4, 5, 6}}, many}) {
    for (int32_t level : {1, 2}) {
      CustomValue value;
      std::string error;
      ASSERT_TRUE(host::ReadCustomValue(dots::kDotsType, dots::Stored(points), level, &value, &error)) << error;
      EXPECT_TRUE(SamePoints(PointsOfCustom(value), points)) << Show(PointsOfCustom(value));
    }
  }
}

// A stored value is read whole or refused. The module answers false for
// whatever it cannot read or keep (the host's message then says that the
// plug-in could not read it); bytes it leaves unread are the host's to find.
// Either way the reason is named, the refused value is freed, and a damaged
// count costs no more than the points that are there.
TEST_F(DotsValues, AValueThatCannotBeReadWholeIsRefused) {
  struct Case {
    const char* what;
    std::string bytes;
    int32_t level;
    long failAllocation;  // the allocation that fails, counted from the read on; 0 for none
    std::string says;     // part of the error
    bool byModule;        // the module's own answer was false
  };
  using dots::Int64Item;
  using dots::VectorItem;
  const std::string one = VectorItem(1, 2, 0);
  const std::string two = one + VectorItem(3, 4, 0);
  Points many;
  for (int i = 0; i < 20; ++i) many.push_back({double(i), double(2 * i), 0});
  const std::vector<Case> cases = {
      {"an empty value", "", 1, 0, "item 1 was read as an integer, but the value's bytes end there", true},
      {"a count cut short", Int64Item(2).substr(0, 5), 1, 0, "found an integer cut short (5 of 9 bytes)", true},
      {"a vector where the count belongs", two, 1, 0, "item 1 was read as an integer, but found a vector", true},
      {"a damaged kind of the count", "\x07" + Int64Item(2).substr(1) + two, 1, 0, "unknown kind 7", true},
      {"a damaged kind of a point", Int64Item(2) + one + "\x03" + one.substr(1), 1, 0,
       "item 3 was read as a vector, but found an item of unknown kind 3", true},
      {"an integer where a point belongs", Int64Item(3) + one + Int64Item(5) + VectorItem(3, 4, 0), 1, 0,
       "item 3 was read as a vector, but found an integer", true},
      {"a point cut short", Int64Item(2) + one + VectorItem(3, 4, 0).substr(0, 20), 1, 0,
       "found a vector cut short (20 of 25 bytes)", true},
      {"a count larger than the points", Int64Item(3) + two, 1, 0, "item 4 was read as a vector, but the value's bytes end there", true},
      {"a count far beyond the data", Int64Item(1000000000000LL) + two, 1, 0, "item 4 was read as a vector", true},
      {"the largest count", Int64Item(INT64_MAX) + two, 1, 0, "item 4 was read as a vector", true},
      {"a negative count", Int64Item(-3) + two, 1, 0, "could not read", true},
      {"the lowest count", Int64Item(INT64_MIN), 1, 0, "could not read", true},
      {"a count smaller than the points", Int64Item(1) + two, 1, 0, "left 25 bytes after item 2 unread", false},
      {"a count of 0 before points", Int64Item(0) + two, 1, 0, "left 50 bytes after item 1 unread", false},
      {"a stray byte after the points", Int64Item(2) + two + "\x02", 1, 0, "left 1 bytes after item 3 unread",
       false},
      {"disk level 0", Int64Item(2) + two, 0, 0, "disk level 0", true},
      {"disk level 0 with nothing stored", "", 0, 0, "disk level 0", true},
      {"a negative disk level", Int64Item(2) + two, -1, 0, "disk level -1", true},
      {"the lowest disk level", Int64Item(2) + two, INT32_MIN, 0, "could not read", true},
      {"no memory for the first block", dots::Stored(many), 1, 2, "memory is short", true},
      {"no memory to grow the block", dots::Stored(many), 1, 3, "memory is short", true},
  };
  const host::CustomDataPlugin& type = DotsType();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const long live = type.liveValues;
    H().Failures().FailAllocation(c.failAllocation);
    CustomValue value;
    std::string error;
    EXPECT_FALSE(host::ReadCustomValue(dots::kDotsType, c.bytes, c.level, &value, &error));
    const long allocations = H().Failures().AllocationsCounted();
    H().Failures().Off();
    EXPECT_FALSE(value.Holds());
    EXPECT_NE(error.find(c.says), std::string::npos) << error;
    EXPECT_EQ(error.find("the plug-in could not read its value") != std::string::npos, c.byModule) << error;
    EXPECT_NE(error.find("data type " + std::to_string(dots::kDotsType)), std::string::npos) << error;
    // The value, its first block and at most one grown block.
    EXPECT_LE(allocations, 3);
    EXPECT_EQ(type.liveValues, live);
  }
}

TEST_F(DotsValues, DefaultPropertiesNameTheElement) {
  const host::CustomDataPlugin& type = DotsType();
  host::Container settings;
  host::AddLiveContainer(&settings);
  type.cls.default_properties(type.cls.user, reinterpret_cast<ha_container>(&settings));
  host::RemoveLiveContainer(&settings);
  ASSERT_NE(settings.Find(21), nullptr);
  EXPECT_TRUE(*settings.Find(21) == Value::Int(dots::kDotsGui));
  ASSERT_NE(settings.Find(10), nullptr);
  EXPECT_TRUE(*settings.Find(10) == Value::Int(1));
  EXPECT_EQ(settings.Entries().size(), 2u);
}

// ---------------------------------------------------------------------------
// The element

using DotsElement = DotsSession;

TEST_F(DotsElement, LaysOutOneFieldOfFourHundredByThreeHundred) {
  host::ElementHost* e = Open();
  ASSERT_NE(e, nullptr);
  const std::vector<host::LayoutCall>& calls = e->Layout();
  std::vector<std::string> what;
  for (const host::LayoutCall& c : calls) {
    what.push_back(c.what);
    EXPECT_TRUE(c.ok) << c.what;
  }
  EXPECT_EQ(what, (std::vector<std::string>{"group", "space", "userarea", "attach", "end", "layout"}));
  EXPECT_EQ(calls[0].args, (std::vector<int32_t>{1000, 59, 2, 1, 0, 0, 0}));
  EXPECT_EQ(calls[1].args, (std::vector<int32_t>{0, 0}));
  EXPECT_EQ(calls[2].args, (std::vector<int32_t>{2000, 8, 400, 300}));
  EXPECT_EQ(calls[3].args, (std::vector<int32_t>{2000, 4}));
  EXPECT_EQ(e->LayoutAnswer(), 1);

  const std::vector<host::FieldInfo> fields = e->Fields();
  ASSERT_EQ(fields.size(), 1u);
  EXPECT_TRUE(fields[0].attached);
  EXPECT_TRUE(fields[0].hasMinSize);
  EXPECT_EQ(fields[0].minWidth, 400);
  EXPECT_EQ(fields[0].minHeight, 300);
  EXPECT_EQ(fields[0].width, 400);
  EXPECT_EQ(fields[0].height, 300);
  EXPECT_EQ(fields[0].x, host::kElementLeft);
  EXPECT_EQ(fields[0].y, host::kElementTop);

  // A new value: a white field and nothing else.
  const host::Raster* r = e->FieldRaster(dots::kFieldId);
  ASSERT_NE(r, nullptr);
  ASSERT_EQ(r->width, 400);
  ASSERT_EQ(r->height, 300);
  for (int y = 0; y < 300; y += 7)
    for (int x = 0; x < 400; x += 7) ASSERT_EQ(r->At(x, y), kWhite) << x << "," << y;
  EXPECT_EQ(r->At(399, 299), kWhite);
  const std::vector<host::DrawCall> draw = e->LastDraw(dots::kFieldId);
  ASSERT_EQ(draw.size(), 4u);
  EXPECT_EQ(draw[0].what, "setup");  // the set-up call comes first
  EXPECT_EQ(draw[1].args, (std::vector<int32_t>{255, 255, 255}));
  EXPECT_EQ(draw[2].args, (std::vector<int32_t>{0, 0, 400, 300}));
  EXPECT_EQ(draw[3].what, "pen");  // black, for no dot at all
  EXPECT_EQ(draw[3].args, (std::vector<int32_t>{0, 0, 0}));
}

TEST_F(DotsElement, AClickAddsAPointDrawsADotAndReachesTheParameter) {
  host::ElementHost* e = Open();
  ASSERT_NE(e, nullptr);
  const std::size_t undoBefore = session_->Doc()->UndoSteps().size();
  ASSERT_TRUE(ClickField(e, 120, 80));

  EXPECT_TRUE(SamePoints(ParamPoints(), {{120, 80, 0}})) << Show(ParamPoints());
  EXPECT_EQ(session_->Doc()->UndoSteps().size(), undoBefore + 1);  // the editor's edit

  ASSERT_EQ(e->Reports().size(), 1u);
  const host::ReportedMessage& report = e->Reports()[0];
  EXPECT_EQ(report.id, HA_BFM_ACTION);
  EXPECT_EQ(report.sender, param_);
  ASSERT_TRUE(report.hasValue);
  EXPECT_EQ(report.value.type, dots::kDotsType);
  const Points reported = PointsOfValue(report.value);
  ASSERT_FALSE(reported.empty());
  EXPECT_TRUE(SamePoints({reported.back()}, {{120, 80, 0}}));
  EXPECT_TRUE(report.stored);

  const host::Raster* r = e->FieldRaster(dots::kFieldId);
  ASSERT_NE(r, nullptr);
  for (int y = 75; y <= 85; ++y)
    for (int x = 115; x <= 125; ++x) ASSERT_EQ(r->At(x, y), kBlack) << x << "," << y;
  for (int i = 74; i <= 86; ++i) {
    EXPECT_EQ(r->At(114, i), kWhite) << i;
    EXPECT_EQ(r->At(126, i), kWhite) << i;
  }
  for (int i = 114; i <= 126; ++i) {
    EXPECT_EQ(r->At(i, 74), kWhite) << i;
    EXPECT_EQ(r->At(i, 86), kWhite) << i;
  }
  EXPECT_EQ(r->At(0, 0), kWhite);
  EXPECT_GE(e->Fields()[0].redrawRequests, 1);

  // The element's own value is the parameter's.
  Value mine;
  bool tri = true;
  ASSERT_TRUE(e->TakeValue(&mine, &tri));
  EXPECT_FALSE(tri);
  EXPECT_TRUE(SamePoints(PointsOfValue(mine), {{120, 80, 0}}));
}

TEST_F(DotsElement, ClicksAddOnePointEachInOrder) {
  host::ElementHost* e = Open();
  ASSERT_NE(e, nullptr);
  ASSERT_TRUE(ClickField(e, 10, 20));
  ASSERT_TRUE(ClickField(e, 399, 299));
  ASSERT_TRUE(ClickField(e, 0, 0));
  ASSERT_TRUE(ClickField(e, 10, 20));
  EXPECT_TRUE(SamePoints(ParamPoints(), {{10, 20, 0}, {399, 299, 0}, {0, 0, 0}, {10, 20, 0}}))
      << Show(ParamPoints());
  EXPECT_EQ(e->Reports().size(), 4u);
  // Outside the field nothing is delivered.
  const host::FieldInfo f = e->Fields()[0];
  EXPECT_FALSE(e->Click(f.x - 1, f.y));
  EXPECT_FALSE(e->Click(f.x + 400, f.y + 10));
  EXPECT_EQ(ParamPoints().size(), 4u);
  // Corners clip to the field.
  const host::Raster* r = e->FieldRaster(dots::kFieldId);
  EXPECT_EQ(r->At(399, 299), kBlack);
  EXPECT_EQ(r->At(0, 0), kBlack);
  EXPECT_EQ(r->At(394, 294), kBlack);
  EXPECT_EQ(r->At(393, 293), kWhite);
}

TEST_F(DotsElement, AKeyPressAddsNothingAndIsNotUsed) {
  host::ElementHost* e = Open();
  ASSERT_NE(e, nullptr);
  ASSERT_TRUE(ClickField(e, 50, 60));
  const std::size_t undoBefore = session_->Doc()->UndoSteps().size();
  EXPECT_FALSE(e->Key('a'));
  EXPECT_FALSE(e->Key(13));
  EXPECT_TRUE(SamePoints(ParamPoints(), {{50, 60, 0}}));
  EXPECT_EQ(e->Reports().size(), 1u);
  EXPECT_EQ(session_->Doc()->UndoSteps().size(), undoBefore);
  Value mine;
  ASSERT_TRUE(e->TakeValue(&mine, nullptr));
  EXPECT_EQ(PointsOfValue(mine).size(), 1u);
}

TEST_F(DotsElement, OnlyTheFieldsActionIsHandledAndItReportsTheValue) {
  host::ElementHost* e = Open();
  ASSERT_NE(e, nullptr);
  ASSERT_TRUE(ClickField(e, 40, 30));
  const long redraws = e->Fields()[0].redrawRequests;
  for (int32_t other : {1000, 0, 2001, -2000}) EXPECT_FALSE(e->SendAction(other)) << other;
  EXPECT_EQ(e->Reports().size(), 1u);
  EXPECT_EQ(e->Fields()[0].redrawRequests, redraws);
  // The field's own action sends the unchanged value up again and redraws.
  EXPECT_TRUE(e->SendAction(dots::kFieldId));
  ASSERT_EQ(e->Reports().size(), 2u);
  EXPECT_EQ(e->Reports()[1].sender, param_);
  EXPECT_TRUE(SamePoints(PointsOfValue(e->Reports()[1].value), {{40, 30, 0}}));
  EXPECT_GT(e->Fields()[0].redrawRequests, redraws);
  EXPECT_TRUE(SamePoints(ParamPoints(), {{40, 30, 0}}));
}

TEST_F(DotsElement, AValueOfAnotherTypeLeavesThePointsAsTheyWere) {
  host::ElementHost* e = Open();
  ASSERT_NE(e, nullptr);
  ASSERT_TRUE(ClickField(e, 5, 6));
  ASSERT_TRUE(ClickField(e, 7, 8));
  const long drawsBefore = e->Fields()[0].draws;
  const Value others[] = {Value::Int(3), Value::Real(2.5), Value::Vec({1, 2, 3}), Value::Str("dots"),
                          Value::Link(0), Value()};
  for (const Value& other : others) EXPECT_TRUE(e->GiveValue(&other, false)) << other.type;
  EXPECT_TRUE(e->GiveValue(nullptr, true));  // several differing values of nothing
  Value mine;
  ASSERT_TRUE(e->TakeValue(&mine, nullptr));
  EXPECT_TRUE(SamePoints(PointsOfValue(mine), {{5, 6, 0}, {7, 8, 0}})) << Show(PointsOfValue(mine));
  e->Flush();
  EXPECT_EQ(e->Fields()[0].draws, drawsBefore);  // nothing asked for a redraw

  // A Dots value replaces them, tri-state or not.
  const Value given = Value::Custom(MakeDots({{100, 100, 0}}));
  EXPECT_TRUE(e->GiveValue(&given, true));
  ASSERT_TRUE(e->TakeValue(&mine, nullptr));
  EXPECT_TRUE(SamePoints(PointsOfValue(mine), {{100, 100, 0}}));
  EXPECT_EQ(e->FieldRaster(dots::kFieldId)->At(100, 100), kBlack);
  EXPECT_EQ(e->FieldRaster(dots::kFieldId)->At(5, 6), kWhite);
  // The parameter is the host's: giving the element a value does not change it.
  EXPECT_EQ(ParamPoints().size(), 2u);
}

TEST_F(DotsElement, ManyPointsAreDrawnInTheirOrder) {
  Points points;
  for (int i = 0; i < 60; ++i) points.push_back({double((i * 37) % 400), double((i * 53) % 300), 0});
  points.push_back({2.9, -2.9, 0});        // toward zero
  points.push_back({1e12, -1e12, 0});      // beyond the 32-bit range
  points.push_back({-2147483648.0, 2147483647.0, 0});
  arrow_->Data().Set(param_, Value::Custom(MakeDots(points)));
  host::ElementHost* e = Open();
  ASSERT_NE(e, nullptr);
  const std::vector<host::DrawCall> draw = e->LastDraw(dots::kFieldId);
  ASSERT_EQ(draw.size(), 4 + points.size());
  EXPECT_EQ(draw[0].what, "setup");
  EXPECT_EQ(draw[1].args, (std::vector<int32_t>{255, 255, 255}));
  EXPECT_EQ(draw[2].args, (std::vector<int32_t>{0, 0, 400, 300}));
  EXPECT_EQ(draw[3].what, "pen");
  EXPECT_EQ(draw[3].args, (std::vector<int32_t>{0, 0, 0}));
  for (std::size_t i = 0; i < 60; ++i) {
    const int32_t x = static_cast<int32_t>(points[i].x), y = static_cast<int32_t>(points[i].y);
    EXPECT_EQ(draw[4 + i].args, (std::vector<int32_t>{x - 5, y - 5, x + 5, y + 5})) << i;
  }
  EXPECT_EQ(draw[64].args, (std::vector<int32_t>{-3, -7, 7, 3}));
  EXPECT_EQ(draw[65].args, (std::vector<int32_t>{INT32_MAX - 5, INT32_MIN, INT32_MAX, INT32_MIN + 5}));
  EXPECT_EQ(draw[66].args, (std::vector<int32_t>{INT32_MIN, INT32_MAX - 5, INT32_MIN + 5, INT32_MAX}));
  // Every dot is black on the white field.
  const host::Raster* r = e->FieldRaster(dots::kFieldId);
  for (std::size_t i = 0; i < 60; ++i)
    EXPECT_EQ(r->At(static_cast<int>(points[i].x), static_cast<int>(points[i].y)), kBlack) << i;
  EXPECT_EQ(r->At(2, 0), kBlack);  // the dot at (2, -2) reaches into the field
  long white = 0;
  for (std::size_t i = 0; i < r->rgb.size(); i += 3) white += r->rgb[i] == 255 ? 1 : 0;
  EXPECT_GT(white, 400 * 300 / 2);
}

TEST_F(DotsElement, TheFieldIsWrittenAsAPicture) {
  host::ElementHost* e = Open();
  ASSERT_NE(e, nullptr);
  ASSERT_TRUE(ClickField(e, 120, 80));
  ASSERT_TRUE(ClickField(e, 300, 200));
  testkit::TempDir dir;
  const std::string png = dir.File("field.png");
  std::string error;
  ASSERT_TRUE(host::WritePng(*e->FieldRaster(dots::kFieldId), png, &error)) << error;
  host::Raster back;
  ASSERT_TRUE(host::ReadPng(png, &back, &error)) << error;
  EXPECT_EQ(back.width, 400);
  EXPECT_EQ(back.height, 300);
  EXPECT_EQ(back.rgb, e->FieldRaster(dots::kFieldId)->rgb);
  EXPECT_EQ(back.At(300, 200), kBlack);
  EXPECT_EQ(back.At(200, 150), kWhite);
  EXPECT_FALSE(std::filesystem::exists(png + ".partial"));
  EXPECT_FALSE(host::ReadPng(dir.File("none.png"), &back, &error));
}

TEST_F(DotsElement, ParametersOfOtherTypesHaveNoElement) {
  std::string error;
  const int32_t number = host::AddUserData(arrow_, "Count", HA_TYPE_INT32, &error);
  ASSERT_NE(number, 0) << error;
  EXPECT_EQ(number, param_ + 1);
  EXPECT_EQ(host::OpenElement(arrow_, number, &error), nullptr);
  EXPECT_NE(error.find("not of a registered custom data type"), std::string::npos) << error;
  EXPECT_EQ(host::OpenElement(arrow_, 10000, &error), nullptr);  // a description parameter
  EXPECT_EQ(host::AddUserData(arrow_, "Odd", 4242, &error), 0);
  EXPECT_TRUE(host::OpenElements().empty());
}

TEST_F(DotsElement, ClosingDestroysTheInstanceAndReopeningShowsTheParameter) {
  host::ElementHost* e = Open();
  ASSERT_NE(e, nullptr);
  ASSERT_TRUE(ClickField(e, 30, 40));
  host::CloseElement(e);
  EXPECT_FALSE(host::IsOpenElement(e));
  host::ElementHost* again = Open();
  ASSERT_NE(again, nullptr);
  Value mine;
  ASSERT_TRUE(again->TakeValue(&mine, nullptr));
  EXPECT_TRUE(SamePoints(PointsOfValue(mine), {{30, 40, 0}}));
  EXPECT_EQ(again->FieldRaster(dots::kFieldId)->At(30, 40), kBlack);
  // Undo takes the click back; the element is given the value again when reopened.
  ASSERT_TRUE(session_->Doc()->Undo());
  EXPECT_TRUE(ParamPoints().empty());
}

TEST_F(DotsElement, ObjectsOfAnyKindTakeDotsParameters) {
  std::string error;
  host::Object* null = H().CreateObject(session_->Doc(), Onull, false, &error);
  ASSERT_NE(null, nullptr) << error;
  const int32_t id = host::AddUserData(null, "Marks", dots::kDotsType, &error);
  ASSERT_EQ(id, host::kUserDataFirstId);
  host::ElementHost* e = host::OpenElement(null, id, &error);
  ASSERT_NE(e, nullptr) << error;
  ASSERT_TRUE(ClickField(e, 1, 2));
  EXPECT_TRUE(SamePoints(PointsOfValue(*null->Data().Find(id)), {{1, 2, 0}}));
  EXPECT_TRUE(ParamPoints().empty());  // the arrow's own parameter is another one
}

// A click is stored whole or not at all, whichever allocation fails: used,
// it adds its point to the element, the parameter and the picture in one undo
// step; not used, the points, the picture and the undo steps are as they
// were. The next click then adds exactly its own point.
TEST(DotsElementMemory, AClickIsStoredWholeOrNotAtAll) {
  struct Story {
    host::Session s{host::SessionOptions{}};
    host::Object* arrow = nullptr;
    int32_t id = 0;
    host::ElementHost* e = nullptr;
    bool Click(int32_t x, int32_t y) {
      const host::FieldInfo f = e->Fields().at(0);
      return e->Click(f.x + x, f.y + y);
    }
    Points Param() { return PointsOfValue(*arrow->Data().Find(id)); }
    Points Shown() {
      Value mine;
      EXPECT_TRUE(e->TakeValue(&mine, nullptr));
      return PointsOfValue(mine);
    }
  };
  const auto start = [](Story& story) {
    std::string error;
    ASSERT_TRUE(story.s.Open(&error)) << error;
    story.arrow = story.s.NewArrow(false, &error);
    ASSERT_NE(story.arrow, nullptr) << error;
    story.id = host::AddUserData(story.arrow, "Dots", dots::kDotsType, &error);
    story.e = host::OpenElement(story.arrow, story.id, &error);
    ASSERT_NE(story.e, nullptr) << error;
    ASSERT_TRUE(story.Click(10, 10));
    ASSERT_TRUE(story.Click(20, 20));
  };
  const Points two{{10, 10, 0}, {20, 20, 0}};
  const Points three{{10, 10, 0}, {20, 20, 0}, {30, 30, 0}};
  long total = 0;
  {
    Story story;
    start(story);
    if (HasFatalFailure()) return;
    const long before = story.s.GetHost().Failures().AllocationsCounted();
    ASSERT_TRUE(story.Click(30, 30));
    total = story.s.GetHost().Failures().AllocationsCounted() - before;
    ExpectCleanShutdown(story.s.GetHost());
  }
  ASSERT_GT(total, 3);
  int refused = 0;
  for (long n = 1; n <= total + 1; ++n) {
    SCOPED_TRACE("allocation " + std::to_string(n) + " of the click's " + std::to_string(total));
    Story story;
    start(story);
    if (HasFatalFailure()) return;
    host::Document* doc = story.s.Doc();
    const std::size_t undo = doc->UndoSteps().size();
    story.s.GetHost().Failures().FailAllocation(n);
    const bool used = story.Click(30, 30);
    story.s.GetHost().Failures().Off();
    const Points now = used ? three : two;
    refused += used ? 0 : 1;
    EXPECT_TRUE(SamePoints(story.Param(), now)) << used << " " << Show(story.Param());
    EXPECT_TRUE(SamePoints(story.Shown(), now)) << used << " " << Show(story.Shown());
    EXPECT_EQ(doc->UndoSteps().size(), undo + (used ? 1 : 0));
    EXPECT_EQ(story.e->FieldRaster(dots::kFieldId)->At(30, 30), used ? kBlack : kWhite);
    // The next click adds its own point, in a step of its own.
    ASSERT_TRUE(story.Click(40, 40));
    Points next = now;
    next.push_back({40, 40, 0});
    EXPECT_TRUE(SamePoints(story.Param(), next)) << Show(story.Param());
    EXPECT_TRUE(SamePoints(story.Shown(), next)) << Show(story.Shown());
    EXPECT_EQ(doc->UndoSteps().size(), undo + (used ? 2 : 1));
    ASSERT_TRUE(doc->Undo());
    EXPECT_TRUE(SamePoints(story.Param(), now)) << Show(story.Param());
    if (used) {  // and the click's own step takes its point back
      ASSERT_TRUE(doc->Undo());
      EXPECT_TRUE(SamePoints(story.Param(), two)) << Show(story.Param());
    }
    ExpectCleanShutdown(story.s.GetHost());
    if (HasFailure()) break;
  }
  EXPECT_GT(refused, 0);
}

// ---------------------------------------------------------------------------
// Registration

TEST(DotsRegistration, TheReleaseSixteenModuleRegistersTypeLibraryAndElement) {
  host::Session session(host::SessionOptions{});
  std::string error;
  ASSERT_TRUE(session.Open(&error)) << error;
  const host::CustomTypeRef type = host::FindCustomDataType(dots::kDotsType);
  ASSERT_NE(type, nullptr);
  EXPECT_EQ(type->name, "Dots");
  EXPECT_EQ(type->info, 133);
  EXPECT_EQ(type->diskLevel, 1);
  EXPECT_EQ(type->symbol, "DOTS");
  EXPECT_EQ(host::FindCustomDataTypeBySymbol("dots"), type);
  const host::CustomGuiPlugin* gui = host::FindCustomGuiPlugin(dots::kDotsGui);
  ASSERT_NE(gui, nullptr);
  EXPECT_EQ(gui->name, "Dots Editor");
  EXPECT_EQ(gui->info, 0);
  EXPECT_EQ(gui->symbol, "CUSTOMGUIDOTS");
  EXPECT_EQ(gui->types, std::vector<int32_t>{dots::kDotsType});
  EXPECT_EQ(gui->cls.get_properties(gui->cls.user), nullptr);
  const host::InstalledLibrary* lib = host::FindLibrary(dots::kDotsGui);
  ASSERT_NE(lib, nullptr);
  EXPECT_EQ(lib->version, 1000);
  EXPECT_EQ(lib->size, 264);
  // The record is all zero bytes beyond the entry points.
  const unsigned char* bytes = static_cast<const unsigned char*>(lib->record);
  EXPECT_TRUE(std::all_of(bytes + sizeof(ha_customgui_lib), bytes + 264, [](unsigned char b) { return b == 0; }));
  EXPECT_EQ(session.GetHost().Console(),
            std::vector<std::string>{"VARNHOLT LTD: Tolvane successfully loaded."});
  ExpectCleanShutdown(session.GetHost());
  EXPECT_TRUE(host::CustomDataTypes().empty());
  EXPECT_TRUE(host::CustomGuiPlugins().empty());
  EXPECT_TRUE(host::InstalledLibraries().empty());
}

// The classes of the data type, the element and its library, called as the
// host calls them, with a null in place of each argument they cannot do
// without: every call answers the failure value (0 or null, and no
// several-values mark) and reaches neither the module's objects nor the
// host's allocator. With their own class the same calls answer as usual.
TEST(DotsRegistration, ClassCallbacksRefuseNullArguments) {
  host::Session session(host::SessionOptions{});
  std::string error;
  ASSERT_TRUE(session.Open(&error)) << error;
  const host::CustomTypeRef type = host::FindCustomDataType(dots::kDotsType);
  const host::CustomGuiPlugin* gui = host::FindCustomGuiPlugin(dots::kDotsGui);
  const host::InstalledLibrary* lib = host::FindLibrary(dots::kDotsGui);
  ASSERT_NE(type, nullptr);
  ASSERT_NE(gui, nullptr);
  ASSERT_NE(lib, nullptr);
  {
    const CustomValue a = MakeDots({{1, 2, 0}});
    const CustomValue b = MakeDots({{3, 4, 0}, {5, 6, 0}});
    host::Container settings;
    host::AddLiveContainer(&settings);
    const ha_container bc = reinterpret_cast<ha_container>(&settings);
    const long allocations = host::Failures().AllocationsCounted();

    const ha_customdata_class& t = type->cls;
    EXPECT_EQ(t.get_id(nullptr), 0);
    EXPECT_EQ(t.alloc_data(nullptr), nullptr);
    t.free_data(nullptr, a.Get());
    EXPECT_EQ(t.copy_data(nullptr, a.Get(), b.Get(), nullptr), 0);
    EXPECT_EQ(t.compare(nullptr, a.Get(), b.Get()), 0);
    EXPECT_EQ(t.write_data(nullptr, a.Get(), nullptr), 0);
    EXPECT_EQ(t.write_data(t.user, nullptr, nullptr), 0);
    EXPECT_EQ(t.write_data(t.user, a.Get(), nullptr), 0);
    EXPECT_EQ(t.read_data(t.user, b.Get(), nullptr, 1), 0);
    EXPECT_EQ(t.read_data(t.user, nullptr, nullptr, 1), 0);
    EXPECT_EQ(t.resource_symbol(nullptr), nullptr);
    t.default_properties(nullptr, bc);
    t.destroy(nullptr);
    EXPECT_TRUE(settings.Entries().empty());

    const ha_customgui_class& g = gui->cls;
    const int32_t noTypes[1] = {0};
    const int32_t* table = noTypes;  // the call must clear it
    EXPECT_EQ(g.get_id(nullptr), 0);
    EXPECT_EQ(g.alloc_instance(nullptr, bc), nullptr);
    EXPECT_EQ(g.alloc_instance(g.user, nullptr), nullptr);
    g.free_instance(nullptr, nullptr, nullptr);
    EXPECT_EQ(g.resource_symbol(nullptr), nullptr);
    EXPECT_EQ(g.get_properties(nullptr), nullptr);
    EXPECT_EQ(g.supported_types(nullptr, &table), 0);
    EXPECT_EQ(table, nullptr);
    g.destroy(nullptr);

    const auto* entries = static_cast<const ha_customgui_lib*>(lib->record);
    int32_t tri = 1;
    EXPECT_EQ(entries->set_data(nullptr, nullptr, nullptr, 0), 0);
    EXPECT_EQ(entries->get_data(nullptr, nullptr, &tri), nullptr);
    EXPECT_EQ(tri, 0);
    EXPECT_EQ(entries->get_data(nullptr, nullptr, nullptr), nullptr);
    EXPECT_EQ(host::Failures().AllocationsCounted(), allocations);

    // The values were left alone, and the classes answer their own calls.
    EXPECT_TRUE(SamePoints(PointsOfCustom(a), {{1, 2, 0}}));
    EXPECT_EQ(t.compare(t.user, a.Get(), b.Get()), -1);
    EXPECT_EQ(t.get_id(t.user), dots::kDotsType);
    EXPECT_EQ(g.get_id(g.user), dots::kDotsGui);
    EXPECT_EQ(g.supported_types(g.user, nullptr), 1);
    host::RemoveLiveContainer(&settings);
  }
  ExpectCleanShutdown(session.GetHost());
}

struct Refusal {
  const char* step;
  bool type, library, element;
};
void PrintTo(const Refusal& r, std::ostream* os) { *os << "refused " << r.step; }

class DotsRegistrationFailure : public ::testing::TestWithParam<Refusal> {};
INSTANTIATE_TEST_SUITE_P(EachStep, DotsRegistrationFailure,
                         ::testing::Values(Refusal{"type", true, false, false},
                                           Refusal{"library", false, true, false},
                                           Refusal{"element", false, false, true}),
                         [](const auto& p) { return std::string(p.param.step); });

TEST_P(DotsRegistrationFailure, StopsTheDotsAndLeavesTheArrowRegistered) {
  const Refusal r = GetParam();
  host::Host h;
  host::Refusals().dataTypes = r.type;
  host::Refusals().libraries = r.library;
  host::Refusals().elements = r.element;
  std::string error;
  ASSERT_TRUE(h.Load(host::PluginFolder(16), &error)) << error;
  EXPECT_NE(host::FindObjectPlugin(ID_TOLVANE), nullptr);
  EXPECT_EQ(h.Console(), std::vector<std::string>{"VARNHOLT LTD: Tolvane successfully loaded."});
  // The steps after the refused one are not done.
  EXPECT_EQ(host::FindCustomDataType(dots::kDotsType) != nullptr, !r.type);
  EXPECT_EQ(host::FindLibrary(dots::kDotsGui) != nullptr, !r.type && !r.library);
  EXPECT_EQ(host::FindCustomGuiPlugin(dots::kDotsGui), nullptr);
  ExpectCleanShutdown(h);  // the refused registration objects were given back and freed
  EXPECT_FALSE(host::Refusals().dataTypes || host::Refusals().libraries || host::Refusals().elements);
}

TEST(DotsRegistration, AllocationFailureAtEachStepOfTheStartKeepsTheArrow) {
  long total = 0;
  {
    host::Host h;
    ASSERT_TRUE(h.Load(host::PluginFolder(16), nullptr));
    total = h.Failures().AllocationsCounted();
    ExpectCleanShutdown(h);
  }
  ASSERT_GT(total, 3);
  int withoutDots = 0;
  for (long n = 1; n <= total; ++n) {
    host::Host h;
    h.Failures().FailAllocation(n);
    std::string error;
    const bool loaded = h.Load(host::PluginFolder(16), &error);
    EXPECT_EQ(h.Failures().AllocationFailuresInjected(), 1) << n;
    const bool dots = host::FindCustomGuiPlugin(dots::kDotsGui) != nullptr;
    if (loaded && !dots) {
      ++withoutDots;
      EXPECT_NE(host::FindObjectPlugin(ID_TOLVANE), nullptr) << n;
    }
    SCOPED_TRACE("allocation " + std::to_string(n));
    ExpectCleanShutdown(h);
  }
  EXPECT_GE(withoutDots, 2);  // the type's class object and the element's
}

TEST(DotsRegistration, AnOlderHostWithoutTheSuitesGetsNoDotsAndNoLeak) {
  // A table that ends before the custom data suite, though its members behind
  // the claimed size are there: the module must go by the size.
  host::HostOptions options;
  options.tableSize = static_cast<uint32_t>(offsetof(ha_host_table, customdata));
  host::Host h(options);
  std::string error;
  ASSERT_TRUE(h.Load(host::PluginFolder(16), &error)) << error;
  EXPECT_NE(host::FindObjectPlugin(ID_TOLVANE), nullptr);
  EXPECT_TRUE(host::CustomDataTypes().empty());
  EXPECT_TRUE(host::InstalledLibraries().empty());
  EXPECT_TRUE(host::CustomGuiPlugins().empty());
  EXPECT_EQ(h.Console(), std::vector<std::string>{"VARNHOLT LTD: Tolvane successfully loaded."});
  ExpectCleanShutdown(h);  // the class object made for the refused type was freed

  // With the custom data suite but not the element's, the type alone is there.
  options.tableSize = static_cast<uint32_t>(offsetof(ha_host_table, gui));
  host::Host older(options);
  ASSERT_TRUE(older.Load(host::PluginFolder(16), &error)) << error;
  EXPECT_NE(host::FindCustomDataType(dots::kDotsType), nullptr);
  EXPECT_TRUE(host::InstalledLibraries().empty());
  EXPECT_TRUE(host::CustomGuiPlugins().empty());
  ExpectCleanShutdown(older);
}

TEST(DotsRegistration, TheReleaseTwelveModuleHasNoDots) {
  host::Session session(host::SessionOptions{12, "", 0});
  std::string error;
  ASSERT_TRUE(session.Open(&error)) << error;
  EXPECT_NE(host::FindObjectPlugin(ID_TOLVANE), nullptr);
  EXPECT_TRUE(host::CustomDataTypes().empty());
  EXPECT_TRUE(host::CustomGuiPlugins().empty());
  EXPECT_TRUE(host::InstalledLibraries().empty());
  host::Object* arrow = session.NewArrow(false, &error);
  ASSERT_NE(arrow, nullptr) << error;
  EXPECT_EQ(host::AddUserData(arrow, "Dots", dots::kDotsType, &error), 0);
  ExpectCleanShutdown(session.GetHost());

  // Not even the code: only the release-16 file holds the element's symbol.
  const auto holds = [](int release, const std::string& text) {
    std::string why;
    std::ifstream in(host::FindModuleFile(host::PluginFolder(release), &why), std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_FALSE(bytes.empty());
    return bytes.find(text) != std::string::npos;
  };
  EXPECT_TRUE(holds(16, "CUSTOMGUIDOTS"));
  EXPECT_FALSE(holds(12, "CUSTOMGUIDOTS"));
  EXPECT_FALSE(holds(12, "DotsCustomDataTypeClass"));
}

}  // namespace
