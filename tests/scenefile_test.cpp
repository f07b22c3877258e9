// Scene files: a whole document with arrows, their set-ups, links and Dots
// values saved and loaded in a fresh host; damaged and foreign files
// refused; saving all or nothing; and allocation failure at every step of a
// user's work with the Dots element and scene files.
#include <cmath>
#include <map>
#include <filesystem>
#include <fstream>

#include "core.h"
#include "dots_helpers.h"

namespace {

namespace fs = std::filesystem;
using dots::Points;
using host::Document;
using dots::SamePoints;
using host::Json;
using host::Value;
using testkit::ExpectCleanShutdown;

constexpr int32_t kArrow = ID_TOLVANE;
constexpr int32_t kMakeExtrude = 10280;
constexpr int32_t kMakeCloner = 10310;

// A document as plain data: the tree, every value (floats as exact text,
// links as the target's place, Dots values as their points).
Json Describe(const host::Document& doc) {
  const std::vector<host::Object*> objects = doc.TreeOrder();
  const auto place = [&](const host::Object* op) -> Json {
    for (std::size_t i = 0; i < objects.size(); ++i)
      if (objects[i] == op) return static_cast<int>(i);
    return nullptr;
  };
  const auto vec = [](const ha_vector& v) {
    return Json::array({host::FormatDouble(v.x), host::FormatDouble(v.y), host::FormatDouble(v.z)});
  };
  Json out = Json::array();
  for (host::Object* op : objects) {
    Json params = Json::object();
    for (const auto& [id, v] : op->Data().Entries()) {
      Json value;
      switch (v.type) {
        case HA_TYPE_NONE: value = nullptr; break;
        case HA_TYPE_INT32: value = v.i; break;
        case HA_TYPE_FLOAT: value = host::FormatDouble(v.f); break;
        case HA_TYPE_VECTOR: value = vec(v.AsVector()); break;
        case HA_TYPE_STRING: value = v.AsString(); break;
        case HA_TYPE_LINK: value = place(v.link != 0 ? host::Object::FindSerial(v.link) : nullptr); break;
        default: {
          Points points;
          value = Json::array();
          if (!host::PointsOf(v, &points)) value = "not a list of points";
          for (const ha_vector& p : points) value.push_back(vec(p));
        }
      }
      params[std::to_string(id)] = Json{{"type", v.type}, {"value", value}};
    }
    Json user = Json::array();
    for (const host::UserDataDesc& d : op->UserData()) user.push_back(Json{d.id, d.name, d.type});
    Json points = Json::array();
    for (const ha_vector& p : op->Points()) points.push_back(vec(p));
    out.push_back(Json{{"parent", place(op->Up())},
                       {"type", op->Type()},
                       {"name", op->Name()},
                       {"spline", op->IsSpline()},
                       {"points", points},
                       {"userdata", user},
                       {"params", params}});
  }
  return Json{{"plane", doc.SplinePlane()}, {"active", place(doc.Active())}, {"objects", out}};
}

// Fails the test when `op` is null.
host::Object* Named(host::Session& s, const std::string& name) {
  for (host::Object* op : s.Doc()->TreeOrder())
    if (op->Name() == name) return op;
  ADD_FAILURE() << "no object " << name;
  return nullptr;
}

// Builds a document with two arrows, an extrusion and a cloner set-up, a
// path spline they link to, Dots values and values of every kind.
void BuildScene(host::Session& s) {
  std::string error;
  host::Host& h = s.GetHost();
  host::Object* path = h.CreateObject(s.Doc(), Ospline, false, &error);
  ASSERT_NE(path, nullptr) << error;
  path->SetName("Path");
  path->MakeSpline(3, 0);
  path->Points() = {{0, 0, 0}, {100, 50, 0}, {200, 0, -25.5}};

  host::Object* a = s.NewArrow(false, &error);
  ASSERT_NE(a, nullptr) << error;
  a->SetName("Extruded");
  for (const char* set : {"ARROW_SHAFT_LENGTH=250", "ARROW_CHEVRON=true", "ARROW_PRESET_NAME=with dots",
                          "ARROW_EXTRUDE_FILLET=true", "ARROW_PLANE=2"})
    ASSERT_TRUE(s.ApplySetting(a, set, &error)) << error;
  h.PressButton(a, kMakeExtrude);

  host::Object* b = s.NewArrow(true, &error);
  ASSERT_NE(b, nullptr) << error;
  b->SetName("Cloned");
  for (const char* set : {"ARROW_CLONE_ON_SPLINE=true", "ARROW_CLONE_SPLINE=Path", "ARROW_CLONE_COUNT=7",
                          "ARROW_HEAD_LENGTH=33.25"})
    ASSERT_TRUE(s.ApplySetting(b, set, &error)) << error;
  h.PressButton(b, kMakeCloner);

  // Dots on an arrow, clicked in with the element, and on a null object.
  const int32_t dotsId = host::AddUserData(a, "Dots", dots::kDotsType, &error);
  ASSERT_NE(dotsId, 0) << error;
  host::ElementHost* e = host::OpenElement(a, dotsId, &error);
  ASSERT_NE(e, nullptr) << error;
  const host::FieldInfo f = e->Fields().at(0);
  for (auto [x, y] : {std::pair{120, 80}, std::pair{200, 150}, std::pair{310, 40}})
    ASSERT_TRUE(e->Click(f.x + x, f.y + y));
  host::CloseElement(e);

  host::Object* null = h.CreateObject(s.Doc(), Onull, false, &error);
  ASSERT_NE(null, nullptr) << error;
  null->SetName("Marks");
  const int32_t marks = host::AddUserData(null, "Marks", dots::kDotsType, &error);
  null->Data().Set(marks, Value::Custom(dots::MakeDots({{-1.5, 2.25, 1e-300}, {1e308, -0.0, 3}})));
  const int32_t empty = host::AddUserData(null, "Nothing yet", dots::kDotsType, &error);
  ASSERT_NE(empty, 0) << error;
  ASSERT_NE(host::AddUserData(null, "Count", HA_TYPE_INT32, &error), 0) << error;
  null->Data().Set(1, Value::Real(std::nan("")));
  null->Data().Set(2, Value::Real(-0.0));
  null->Data().Set(3, Value::Str("tab\tand \xC3\xBC"));
  null->Data().Set(4, Value());
  null->Data().Set(5, Value::Link(b->Serial()));
  null->Data().Set(6, Value::Vec({1e-9, -7, 3.5}));
  Document::InsertUnderLast(null, path);
  s.Doc()->SetSplinePlane(1);
  s.Doc()->SetActive(b);
}

TEST(SceneFile, AWholeSceneSurvivesSaveAndLoadUnchanged) {
  testkit::TempDir dir;
  const std::string file = dir.File("scene.tlvscene");
  Json before, contourBefore;
  {
    host::Session s(host::SessionOptions{});
    std::string error;
    ASSERT_TRUE(s.Open(&error)) << error;
    BuildScene(s);
    if (HasFatalFailure()) return;
    before = Describe(*s.Doc());
    contourBefore = s.ContourJson(Named(s, "Extruded"));
    ASSERT_TRUE(host::SaveScene(s.GetHost().Options().interfaceVersion, *s.Doc(), file, &error)) << error;
    ExpectCleanShutdown(s.GetHost());
  }
  // The set-ups are there: the extrusion holds the first arrow, a cloner the second.
  const Json& objects = before["objects"];
  ASSERT_GE(objects.size(), 6u);
  bool extrusion = false, cloner = false;
  for (const Json& o : objects) {
    extrusion = extrusion || o["type"] == Oextrude;
    cloner = cloner || o["type"] == Ocloner;
  }
  EXPECT_TRUE(extrusion);
  EXPECT_TRUE(cloner);

  host::Session s(host::SessionOptions{});
  std::string error;
  ASSERT_TRUE(s.Open(&error)) << error;
  std::unique_ptr<Document> loaded = host::LoadScene(file, &error);
  ASSERT_NE(loaded, nullptr) << error;
  ASSERT_NE(host::ReplaceDocument(s.GetHost(), s.Doc(), std::move(loaded)), nullptr);
  s.SetDoc(s.GetHost().Documents().front().get());
  const Json after = Describe(*s.Doc());
  EXPECT_EQ(after, before) << "before: " << before.dump() << "\nafter:  " << after.dump();
  EXPECT_TRUE(s.Doc()->UndoSteps().empty());

  // The loaded arrows are whole plug-in objects: same outline, working element.
  host::Object* a = Named(s, "Extruded");
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(s.ContourJson(a), contourBefore);
  host::ElementHost* e = host::OpenElement(a, host::kUserDataFirstId, &error);
  ASSERT_NE(e, nullptr) << error;
  const host::Raster* r = e->FieldRaster(dots::kFieldId);
  EXPECT_EQ(r->At(120, 80), (host::Rgb{0, 0, 0}));
  EXPECT_EQ(r->At(310, 40), (host::Rgb{0, 0, 0}));
  EXPECT_EQ(r->At(10, 10), (host::Rgb{255, 255, 255}));
  // Saving the loaded document again gives the same bytes.
  const std::string again = dir.File("again.tlvscene");
  ASSERT_TRUE(host::SaveScene(s.GetHost().Options().interfaceVersion, *s.Doc(), again, &error)) << error;
  EXPECT_EQ(testkit::ReadFileBytes(again), testkit::ReadFileBytes(file));
  ExpectCleanShutdown(s.GetHost());
}

// --- hand-made files -----------------------------------------------------------------

uint32_t Crc(const std::string& bytes) {
  uint32_t crc = 0xFFFFFFFFu;
  for (unsigned char b : bytes) {
    crc ^= b;
    for (int k = 0; k < 8; ++k) crc = (crc & 1) != 0 ? 0xEDB88320u ^ (crc >> 1) : crc >> 1;
  }
  return crc ^ 0xFFFFFFFFu;
}

std::string Le(uint64_t v, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
  return out;
}
std::string U32(uint32_t v) { return Le(v, 4); }
std::string Str(const std::string& s) { return U32(static_cast<uint32_t>(s.size())) + s; }

std::string Header(const std::string& body, uint32_t version = 1) {
  return std::string("TLVSCENE") + U32(version) + U32(0) + Le(body.size(), 8) + U32(Crc(body)) + body;
}

// One object record without spline points or user data.
std::string ObjectRecord(uint32_t parent, int32_t type, const std::string& name, const std::string& entries,
                         uint32_t entryCount) {
  return U32(parent) + U32(static_cast<uint32_t>(type)) + Str(name) + std::string(1, '\0') + U32(0) +
         U32(entryCount) + entries;
}

std::string Body(const std::string& objects, uint32_t count, uint32_t active = 0, int32_t plane = 0) {
  return U32(16049) + U32(static_cast<uint32_t>(plane)) + U32(count) + objects + U32(active);
}

class SceneFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    session_ = std::make_unique<host::Session>(host::SessionOptions{});
    std::string error;
    ASSERT_TRUE(session_->Open(&error)) << error;
    BuildScene(*session_);
  }
  void TearDown() override {
    if (session_ != nullptr) ExpectCleanShutdown(session_->GetHost());
  }
  // Writes `bytes` as a file and tries to load it; answers the error.
  std::string LoadFails(const std::string& bytes) {
    const std::string file = dir_.File("bad.tlvscene");
    {
      std::ofstream out(file, std::ios::binary | std::ios::trunc);
      out << bytes;
    }
    std::string error;
    std::unique_ptr<Document> doc = host::LoadScene(file, &error);
    EXPECT_EQ(doc, nullptr);
    EXPECT_FALSE(error.empty());
    return error;
  }
  std::string Saved() {
    const std::string file = dir_.File("good.tlvscene");
    std::string error;
    EXPECT_TRUE(host::SaveScene(session_->GetHost().Options().interfaceVersion, *session_->Doc(), file, &error)) << error;
    return testkit::ReadFileBytes(file);
  }

  testkit::TempDir dir_;
  std::unique_ptr<host::Session> session_;
};

TEST_F(SceneFiles, DamagedOrForeignFilesAreRefusedWhole) {
  const std::string good = Saved();
  ASSERT_GT(good.size(), 100u);
  const Json before = Describe(*session_->Doc());
  const auto contains = [](const std::string& error, const std::string& part) {
    return error.find(part) != std::string::npos;
  };
  for (std::size_t keep : {std::size_t{0}, std::size_t{5}, std::size_t{27}}) {
    const std::string error = LoadFails(good.substr(0, keep));
    EXPECT_TRUE(contains(error, "not a scene file")) << keep << ": " << error;
  }
  for (std::size_t keep : {std::size_t{28}, good.size() / 2, good.size() - 1}) {
    const std::string error = LoadFails(good.substr(0, keep));
    EXPECT_TRUE(contains(error, "truncated")) << keep << ": " << error;
  }
  EXPECT_TRUE(contains(LoadFails(good + '\0'), "after its end"));
  std::string flipped = good;
  flipped[good.size() / 2] ^= 0x10;
  EXPECT_TRUE(contains(LoadFails(flipped), "checksum"));
  std::string foreign = good;
  foreign[0] = 'X';
  EXPECT_TRUE(contains(LoadFails(foreign), "not a scene file"));
  std::string newer = good;
  newer[8] = static_cast<char>(host::kSceneFormatVersion + 1);
  EXPECT_TRUE(contains(LoadFails(newer), "format " + std::to_string(host::kSceneFormatVersion + 1) +
                                             " is not supported"));
  std::string zero = good;
  zero[8] = 0;
  EXPECT_TRUE(contains(LoadFails(zero), "format 0"));
  EXPECT_TRUE(contains(LoadFails("# Tolvane preset file\n"), "not a scene file"));
  std::string error;
  EXPECT_EQ(host::LoadScene(dir_.File("missing.tlvscene"), &error), nullptr);
  EXPECT_TRUE(contains(error, "cannot open")) << error;
  // The open document is as it was.
  EXPECT_EQ(Describe(*session_->Doc()), before);
}

// One null object "N" with user data parameters and container entries.
std::string NullRecord(const std::string& userData, uint32_t userCount, const std::string& entries,
                       uint32_t entryCount) {
  return U32(0) + U32(Onull) + Str("N") + std::string(1, '\0') + U32(userCount) + userData +
         U32(entryCount) + entries;
}
// A null object with a Dots user data parameter whose value is stored as
// `stored` at disk level `level`.
std::string DotsRecord(const std::string& stored, int32_t level = 1) {
  const std::string user = U32(host::kUserDataFirstId) + Str("Dots") + U32(dots::kDotsType);
  const std::string entry = U32(host::kUserDataFirstId) + U32(dots::kDotsType) + U32(static_cast<uint32_t>(level)) +
                            Str(stored);
  return NullRecord(user, 1, entry, 1);
}

// Files whose checksum is right but whose contents do not fit are refused
// whole with a message naming what is wrong, and the open document (tree,
// values, undo and redo) stays as it was.
TEST_F(SceneFiles, ContentsThatDoNotFitAreRefused) {
  using dots::Int64Item;
  using dots::VectorItem;
  const std::string two = VectorItem(4, 5, 0) + VectorItem(6, 7, 0);
  const auto body = [](const std::string& objects, uint32_t count = 1, uint32_t active = 0, int32_t plane = 0) {
    return Header(Body(objects, count, active, plane));
  };
  const std::string spline = U32(0) + U32(Ospline) + Str("S") + std::string(1, '\x01');
  const std::string dotsUser = U32(host::kUserDataFirstId) + Str("Dots") + U32(dots::kDotsType);
  struct Case {
    const char* what;
    std::string file;
    std::string says;
  };
  const std::vector<Case> cases = {
      {"a parent after its child", body(ObjectRecord(1, Onull, "N", "", 0)), "parent"},
      {"an unknown object type", body(ObjectRecord(0, 99999, "Odd", "", 0)), "no loaded plug-in"},
      {"an unregistered value type", body(NullRecord("", 0, U32(7) + U32(4242) + U32(1) + Str(""), 1)),
       "data type 4242 is not registered"},
      {"a link beyond the objects", body(NullRecord("", 0, U32(7) + U32(HA_TYPE_LINK) + U32(5), 1)),
       "does not have"},
      {"an active object beyond the objects", body(ObjectRecord(0, Onull, "N", "", 0), 1, 2),
       "damaged at byte"},
      {"a string longer than the file", body(NullRecord("", 0, U32(7) + U32(HA_TYPE_STRING) + U32(1000000), 1)),
       "damaged at byte"},
      {"an unknown spline flag", body(U32(0) + U32(Ospline) + Str("S") + std::string(1, '\x07')),
       "spline flag"},
      {"more points than the file holds", body(spline + U32(0) + U32(0x7FFFFFFF)), "damaged"},
      // Values taken from a fixed set.
      {"a negative plane", body(ObjectRecord(0, Onull, "N", "", 0), 1, 0, -7),
       "spline plane is -7; expected 0 (XY), 1 (ZY) or 2 (XZ)"},
      {"a plane beyond XZ", body("", 0, 0, 3), "spline plane is 3"},
      {"an unknown spline type", body(spline + U32(9) + U32(0) + U32(0) + U32(0)), "spline type 9"},
      {"a negative spline type", body(spline + U32(static_cast<uint32_t>(-1)) + U32(0) + U32(0) + U32(0)),
       "spline type -1"},
      {"a user data parameter of no type", body(NullRecord(U32(host::kUserDataFirstId) + Str("X") + U32(0), 1, "", 0)),
       "user data parameter 700001 is of type 0"},
      {"a user data parameter of an unknown type",
       body(NullRecord(U32(host::kUserDataFirstId) + Str("X") + U32(4242), 1, "", 0)), "is of type 4242"},
      {"a user data ID below the first", body(NullRecord(U32(5) + Str("X") + U32(HA_TYPE_INT32), 1, "", 0)),
       "user data IDs start at 700001"},
      {"a user data parameter twice", body(NullRecord(dotsUser + dotsUser, 2, "", 0)), "700001 appears twice"},
      {"a parameter twice", body(NullRecord("", 0, U32(7) + U32(HA_TYPE_INT32) + U32(1) + U32(7) +
                                                       U32(HA_TYPE_INT32) + U32(2), 2)),
       "parameter 7 appears twice"},
      {"a Dots parameter holding a number",
       body(NullRecord(dotsUser, 1, U32(host::kUserDataFirstId) + U32(HA_TYPE_INT32) + U32(3), 1)),
       "holds a value of type 15, but the user data parameter is of type " + std::to_string(dots::kDotsType)},
      // Dots values that cannot be read whole.
      {"a Dots count larger than its points", body(DotsRecord(Int64Item(1000000000) + two)),
       "the plug-in could not read its value"},
      {"a Dots count smaller than its points", body(DotsRecord(Int64Item(1) + two)), "left 25 bytes"},
      {"a Dots point of a damaged kind", body(DotsRecord(Int64Item(2) + "\x05" + two.substr(1))), "unknown kind 5"},
      {"a Dots point cut short", body(DotsRecord(Int64Item(2) + two.substr(0, 40))), "cut short"},
      {"a negative Dots count", body(DotsRecord(Int64Item(-1) + two)), "could not read"},
      {"an empty Dots value", body(DotsRecord("")), "bytes end there"},
      {"a Dots value at disk level 0", body(DotsRecord(Int64Item(2) + two, 0)), "disk level 0"},
  };
  Document* doc = session_->Doc();
  const Json before = Describe(*doc);
  const std::size_t undo = doc->UndoSteps().size(), redo = doc->RedoSteps().size();
  ASSERT_GT(undo, 0u);
  for (const Case& c : cases) {
    const std::string error = LoadFails(c.file);
    EXPECT_NE(error.find(c.says), std::string::npos) << c.what << ": " << error;
  }
  EXPECT_EQ(session_->Doc(), doc);
  EXPECT_EQ(Describe(*doc), before);
  EXPECT_EQ(doc->UndoSteps().size(), undo);
  EXPECT_EQ(doc->RedoSteps().size(), redo);

  // The same records with whole values load: every plane, a Dots value whose
  // count is right, and an empty one.
  const std::string file = dir_.File("fits.tlvscene");
  for (int32_t plane : {0, 1, 2}) {
    for (const Points& points : {Points{{4, 5, 0}, {6, 7, 0}}, Points{}}) {
      {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out << body(DotsRecord(dots::Stored(points)), 1, 0, plane);
      }
      std::string error;
      std::unique_ptr<Document> loaded = host::LoadScene(file, &error);
      ASSERT_NE(loaded, nullptr) << error;
      EXPECT_EQ(loaded->SplinePlane(), plane);
      const Value* v = loaded->First()->Data().Find(host::kUserDataFirstId);
      ASSERT_NE(v, nullptr);
      EXPECT_TRUE(SamePoints(dots::PointsOfValue(*v), points));
    }
  }
}

TEST_F(SceneFiles, SavingIsAllOrNothing) {
  const std::string target = dir_.File("scene.tlvscene");
  {
    std::ofstream out(target, std::ios::binary);
    out << "the previous scene";
  }
  std::string error;
  // Create, one write, close, replace: each failing leaves the target alone.
  for (long n = 1; n <= 4; ++n) {
    session_->GetHost().Failures().FailFileOperation(n);
    EXPECT_FALSE(host::SaveScene(session_->GetHost().Options().interfaceVersion, *session_->Doc(), target, &error)) << n;
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(testkit::ReadFileBytes(target), "the previous scene") << n;
    EXPECT_FALSE(fs::exists(target + ".partial")) << n;
  }
  session_->GetHost().Failures().FailFileOperation(5);
  ASSERT_TRUE(host::SaveScene(session_->GetHost().Options().interfaceVersion, *session_->Doc(), target, &error)) << error;
  EXPECT_EQ(session_->GetHost().Failures().FileFailuresInjected(), 4);
  EXPECT_EQ(testkit::ReadFileBytes(target).substr(0, 8), "TLVSCENE");
  EXPECT_FALSE(host::SaveScene(session_->GetHost().Options().interfaceVersion, *session_->Doc(), dir_.File("no/such/dir/x"), &error));
  EXPECT_FALSE(fs::exists(dir_.File("no")));
}

TEST(SceneFile, ReleaseTwelveRefusesAFileWithDotsAndLoadsOneWithout) {
  testkit::TempDir dir;
  const std::string withDots = dir.File("dots.tlvscene");
  const std::string plain = dir.File("plain.tlvscene");
  {
    host::Session s(host::SessionOptions{});
    std::string error;
    ASSERT_TRUE(s.Open(&error)) << error;
    host::Object* a = s.NewArrow(false, &error);
    ASSERT_NE(a, nullptr) << error;
    ASSERT_TRUE(host::SaveScene(s.GetHost().Options().interfaceVersion, *s.Doc(), plain, &error)) << error;
    ASSERT_NE(host::AddUserData(a, "Dots", dots::kDotsType, &error), 0) << error;
    ASSERT_TRUE(host::SaveScene(s.GetHost().Options().interfaceVersion, *s.Doc(), withDots, &error)) << error;
    ExpectCleanShutdown(s.GetHost());
  }
  host::Session s(host::SessionOptions{12, "", 0});
  std::string error;
  ASSERT_TRUE(s.Open(&error)) << error;
  EXPECT_EQ(host::LoadScene(withDots, &error), nullptr);
  EXPECT_NE(error.find(std::to_string(dots::kDotsType)), std::string::npos) << error;
  std::unique_ptr<Document> doc = host::LoadScene(plain, &error);
  ASSERT_NE(doc, nullptr) << error;
  ASSERT_NE(doc->First(), nullptr);
  EXPECT_EQ(doc->First()->Type(), kArrow);
  doc.reset();
  ExpectCleanShutdown(s.GetHost());
}

// --- allocation failure at every step -------------------------------------------------

// A user's work: an arrow with a Dots parameter, three clicks and a key in
// the element, the field as a picture, the scene saved and loaded back, the
// element opened on the loaded arrow. Stops at the first thing that does not
// work; answers how far it got.
int UserStory(host::Session& s, const std::string& dir) {
  std::string error;
  if (!s.Open(&error)) return 0;
  host::Object* arrow = s.NewArrow(false, &error);
  if (arrow == nullptr) return 1;
  const int32_t id = host::AddUserData(arrow, "Dots", dots::kDotsType, &error);
  if (id == 0) return 2;
  host::ElementHost* e = host::OpenElement(arrow, id, &error);
  if (e == nullptr) return 3;
  const host::FieldInfo f = e->Fields().at(0);
  for (int i = 0; i < 3; ++i) e->Click(f.x + 100 * (i + 1), f.y + 50 * (i + 1));
  e->Key('x');
  Value mine;
  e->TakeValue(&mine, nullptr);
  mine = Value();
  if (!host::WritePng(*e->FieldRaster(dots::kFieldId), dir + "/field.png", &error)) return 4;
  host::CloseElement(e);
  if (!host::SaveScene(s.GetHost().Options().interfaceVersion, *s.Doc(), dir + "/scene.tlvscene", &error)) return 5;
  std::unique_ptr<Document> doc = host::LoadScene(dir + "/scene.tlvscene", &error);
  if (doc == nullptr) return 6;
  Document* now = host::ReplaceDocument(s.GetHost(), s.Doc(), std::move(doc));
  if (now == nullptr) return 7;
  s.SetDoc(now);
  e = host::OpenElement(now->First(), id, &error);
  if (e == nullptr) return 8;
  e->Click(f.x + 5, f.y + 5);
  return 9;
}

TEST(SceneFile, AllocationFailureAtEveryStepOfAUsersWork) {
  testkit::TempDir dir;
  long total = 0;
  {
    host::Session s(host::SessionOptions{});
    ASSERT_EQ(UserStory(s, dir.Path()), 9);
    Points points;
    ASSERT_TRUE(host::PointsOf(*s.Doc()->First()->Data().Find(host::kUserDataFirstId), &points));
    EXPECT_TRUE(SamePoints(points, {{100, 50, 0}, {200, 100, 0}, {300, 150, 0}, {5, 5, 0}}))
        << dots::Show(points);
    total = s.GetHost().Failures().AllocationsCounted();
    ExpectCleanShutdown(s.GetHost());
  }
  ASSERT_GT(total, 50);
  std::map<int, int> reached;
  for (long n = 1; n <= total + 1; ++n) {
    SCOPED_TRACE("allocation " + std::to_string(n) + " of " + std::to_string(total));
    host::Session s(host::SessionOptions{});
    s.GetHost().Failures().FailAllocation(n);
    ++reached[UserStory(s, dir.Path())];
    EXPECT_EQ(s.GetHost().Failures().AllocationFailuresInjected(), n <= total ? 1 : 0);
    ExpectCleanShutdown(s.GetHost());
    if (HasFailure()) break;
  }
  // Failures stopped the work at different steps, and many went by unnoticed.
  EXPECT_GE(reached.size(), 4u);
  EXPECT_GT(reached[9], 0);
}

}  // namespace
