// Tests of the stand-in host's resource folder loader and of the module's
// resource files (string table, both descriptions, icon).
//
// Each test builds a plug-in folder in a temporary directory the way the
// build lays it out: resources/strings.json, resources/tolvane.tif and one
// of the two version descriptions copied as resources/description/Otolvane.json.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "core.h"
#include "fixture.h"
#include "host.h"
#include "ids.h"
#include "resources.h"
#include "tiff_kit.h"

#ifndef TOLVANE_SOURCE_DIR
#error "TOLVANE_SOURCE_DIR must name the source tree (the folder holding resources/)"
#endif

namespace fs = std::filesystem;

namespace {

// The arrow's parameter table (source/arrow_params.def), row by row: the
// entry's name, its ID in product versions 1.3 and 1.2 (kNoDescriptionId
// where the version lacks it), its description type and its group.
struct Row {
  const char* name;
  int32_t v13;
  int32_t v12;
  const char* type;
  const char* group;
};

const Row kTable[] = {
#define ARROW_PARAM(name, id13, id12, type, group) {#name, id13, id12, #type, group},
#include "arrow_params.def"
};

// The type word the JSON descriptions use for each type of the table; null
// for a type the table must not use.
const char* JsonType(const std::string& tableType) {
  static const std::map<std::string, const char*> kWords = {
      {"LONG", "int32"}, {"REAL", "float"}, {"BOOL", "bool"},
      {"STRING", "string"}, {"LINK", "link"}, {"BUTTON", "button"}};
  const auto it = kWords.find(tableType);
  return it != kWords.end() ? it->second : nullptr;
}

enum class Version { k13, k12 };

int32_t IdIn(const Row& row, Version v) { return v == Version::k13 ? row.v13 : row.v12; }

const fs::path kSource = fs::path(TOLVANE_SOURCE_DIR) / "resources";

void WriteFile(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary);
  out << text;
  ASSERT_TRUE(out.good()) << path;
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Reads a text the host handed out and releases it (MakeText creates each
// text with `new` and registers it in Texts()).
std::string TakeText(ha_text text) {
  EXPECT_TRUE(host::Texts().Has(text));
  if (!host::Texts().Has(text)) return "<not a live text>";
  const host::Text* t = reinterpret_cast<const host::Text*>(text);
  std::string value = t->value;
  host::Texts().Remove(t);
  delete t;
  return value;
}

bool Contains(const std::string& haystack, const std::string& needle) {
  return haystack.find(needle) != std::string::npos;
}

class ResourcesTest : public ::testing::Test {
 protected:
  host::Host host_;  // a fresh host: its own handles, failure plan and misuse log

  void SetUp() override {
    liveFolders_ = host::LiveResourceCount();
    liveBitmaps_ = host::LiveBitmapCount();
  }

  void TearDown() override {
    host::Failures().Off();
    EXPECT_EQ(host::LiveResourceCount(), liveFolders_) << "a resource folder handle leaked";
    EXPECT_EQ(host::LiveBitmapCount(), liveBitmaps_) << "a bitmap handle leaked";
  }

  // Lays out a new plug-in folder with the description of `version`.
  fs::path MakePluginDir(Version version) {
    fs::path plugin = root_ / ("plugin" + std::to_string(++plugins_));
    fs::path res = plugin / "resources";
    fs::create_directories(res / "description");
    fs::copy_file(kSource / "strings.json", res / "strings.json");
    fs::copy_file(kSource / "tolvane.tif", res / "tolvane.tif");
    const char* file = version == Version::k13 ? "Otolvane.r16.json" : "Otolvane.r12.json";
    fs::copy_file(kSource / "description" / file, res / "description" / "Otolvane.json");
    return plugin;
  }

  std::unique_ptr<host::ResourceFolder> LoadOk(const fs::path& plugin) {
    std::string error;
    auto folder = host::ResourceFolder::Load(plugin.string(), &error);
    EXPECT_NE(folder, nullptr) << error;
    EXPECT_EQ(error, "");
    return folder;
  }

  std::string LoadError(const fs::path& plugin) {
    std::string error;
    auto folder = host::ResourceFolder::Load(plugin.string(), &error);
    EXPECT_EQ(folder, nullptr);
    EXPECT_NE(error, "");
    return error;
  }

  testkit::TempDir tmp_;
  const fs::path root_ = fs::u8path(tmp_.Path());
  int plugins_ = 0;
  std::size_t liveFolders_ = 0;
  std::size_t liveBitmaps_ = 0;
};

// --- The module's descriptions -----------------------------------------------

// Both JSON descriptions hold exactly the rows of the parameter table the
// module's IDs are made from: every row of a version with its ID, type and
// group, in the table's order, and nothing else. The file is read as it is
// and once more through the host's loader.
TEST_F(ResourcesTest, DescriptionsHoldExactlyTheParameterTable) {
  for (Version version : {Version::k13, Version::k12}) {
    const bool v13 = version == Version::k13;
    SCOPED_TRACE(v13 ? "version 1.3" : "version 1.2");
    const fs::path file = kSource / "description" / (v13 ? "Otolvane.r16.json" : "Otolvane.r12.json");
    const nlohmann::json json = nlohmann::json::parse(ReadFile(file), nullptr, false);
    ASSERT_TRUE(json.is_object() && json["params"].is_array()) << file;
    EXPECT_EQ(json["version"], v13 ? "1.3" : "1.2");

    // The description's entries by name, and its names in order.
    std::map<std::string, nlohmann::json> byName;
    std::set<int32_t> ids;
    std::vector<std::string> described;
    for (const nlohmann::json& p : json["params"]) {
      const std::string name = p.value("name", "");
      described.push_back(name);
      EXPECT_TRUE(byName.emplace(name, p).second) << name << " appears twice";
      EXPECT_TRUE(ids.insert(p.value("id", 0)).second) << "ID " << p.value("id", 0) << " appears twice";
    }

    std::vector<std::string> tabled;
    std::set<std::string> tableNames;
    for (const Row& row : kTable) {
      SCOPED_TRACE(row.name);
      EXPECT_TRUE(tableNames.insert(row.name).second) << "a second row of the same name";
      const char* type = JsonType(row.type);
      EXPECT_NE(type, nullptr) << "unknown type " << row.type;
      const int32_t id = IdIn(row, version);
      const auto it = byName.find(row.name);
      if (id == kNoDescriptionId) {
        EXPECT_EQ(it, byName.end()) << "this version has no such entry";
        continue;
      }
      tabled.push_back(row.name);
      ASSERT_NE(it, byName.end()) << "missing from the description";
      EXPECT_EQ(it->second.value("id", 0), id);
      EXPECT_EQ(it->second.value("type", ""), type != nullptr ? type : "");
      EXPECT_EQ(it->second.value("group", ""), row.group);
    }
    // Nothing the table lacks, and the attribute editor's order is the table's.
    for (const std::string& name : described) EXPECT_EQ(tableNames.count(name), 1u) << name << " is not in the table";
    EXPECT_EQ(described, tabled);

    // The host's loader finds each row by name and by ID.
    auto folder = LoadOk(MakePluginDir(version));
    ASSERT_NE(folder, nullptr);
    const host::Description* desc = folder->FindDescription("Otolvane");
    ASSERT_NE(desc, nullptr);
    EXPECT_EQ(desc->name, "Otolvane");
    EXPECT_EQ(desc->version, v13 ? "1.3" : "1.2");
    EXPECT_EQ(desc->params.size(), tabled.size());
    for (const Row& row : kTable) {
      const int32_t id = IdIn(row, version);
      const host::ParamDesc* named = desc->FindByName(row.name);
      if (id == kNoDescriptionId) {
        EXPECT_EQ(named, nullptr) << row.name;
        continue;
      }
      ASSERT_NE(named, nullptr) << row.name;
      EXPECT_EQ(named->id, id) << row.name;
      EXPECT_EQ(named->type, JsonType(row.type) != nullptr ? JsonType(row.type) : "") << row.name;
      EXPECT_EQ(named->group, row.group) << row.name;
      const host::ParamDesc* numbered = desc->FindById(id);
      ASSERT_NE(numbered, nullptr) << id;
      EXPECT_EQ(numbered->name, row.name);
    }
  }
}

TEST_F(ResourcesTest, Version12NumberingDiffersWhereItMust) {
  auto folder = LoadOk(MakePluginDir(Version::k12));
  ASSERT_NE(folder, nullptr);
  const host::Description* desc = folder->FindDescription("Otolvane");
  ASSERT_NE(desc, nullptr);
  ASSERT_NE(desc->FindByName("ARROW_SHAFT"), nullptr);
  EXPECT_EQ(desc->FindByName("ARROW_SHAFT")->id, 1007);
  EXPECT_EQ(desc->FindById(10007), nullptr);
  EXPECT_EQ(desc->FindByName("ARROW_SHOW_INFO"), nullptr);
  EXPECT_EQ(desc->FindById(10230), nullptr);
  ASSERT_NE(desc->FindById(10010), nullptr);
  EXPECT_EQ(desc->FindById(10010)->name, "ARROW_HEAD_LENGTH");  // shaft width in 1.3
  ASSERT_NE(desc->FindById(10100), nullptr);
  EXPECT_EQ(desc->FindById(10100)->name, "ARROW_MAKE_EXTRUDE");  // fletching length in 1.3
}

TEST_F(ResourcesTest, DescriptionsCarryTheUserInterfaceHints) {
  for (Version version : {Version::k13, Version::k12}) {
    SCOPED_TRACE(version == Version::k13 ? "version 1.3" : "version 1.2");
    auto folder = LoadOk(MakePluginDir(version));
    ASSERT_NE(folder, nullptr);
    const host::Description* desc = folder->FindDescription("Otolvane");
    ASSERT_NE(desc, nullptr);
    auto find = [&](const char* name) {
      const host::ParamDesc* p = desc->FindByName(name);
      EXPECT_NE(p, nullptr) << name;
      static const host::ParamDesc none;
      return p ? p : &none;
    };

    for (const char* link : {"ARROW_CLONE_SPLINE", "ARROW_WRAP_SPLINE"}) EXPECT_EQ(find(link)->accept, Obase) << link;
    for (const char* length : {"ARROW_SHAFT_LENGTH", "ARROW_SHAFT_WIDTH", "ARROW_HEAD_LENGTH", "ARROW_BARB_WIDTH",
                               "ARROW_TAIL_NOTCH", "ARROW_DOUBLE_SHAFT_LENGTH", "ARROW_CORNER_RADIUS",
                               "ARROW_FLETCHING_HEIGHT", "ARROW_POINT_MAX_LENGTH"}) {
      EXPECT_EQ(find(length)->unit, "length") << length;
    }
    for (const char* taper : {"ARROW_HEAD_TAPER", "ARROW_TAIL_TAPER"}) {
      const host::ParamDesc* p = find(taper);
      EXPECT_EQ(p->unit, "percent") << taper;
      ASSERT_TRUE(p->min && p->max) << taper;
      EXPECT_EQ(*p->min, 0.0);
      EXPECT_EQ(*p->max, 1.0);  // stored as a fraction
    }
    const host::ParamDesc* angle = find("ARROW_POINT_ANGLE");
    EXPECT_EQ(angle->unit, "degree");
    ASSERT_TRUE(angle->max.has_value());
    EXPECT_NEAR(*angle->max, std::acos(-1.0) / 2, 1e-12);  // stored in radians

    using Choices = std::vector<std::pair<int32_t, std::string>>;
    EXPECT_EQ(find("ARROW_POINT_INTERPOLATION")->choices,
              (Choices{{0, "None"}, {1, "Natural"}, {2, "Uniform"}, {3, "Adaptive"}, {4, "Subdivided"}}));
    EXPECT_EQ(find("ARROW_PLANE")->choices, (Choices{{0, "XY"}, {1, "ZY"}, {2, "XZ"}}));

    // Every group forms one block on screen, and the shape comes first.
    std::vector<std::string> groups;
    for (const host::ParamDesc& p : desc->params) {
      EXPECT_FALSE(p.label.empty()) << p.name;
      if (groups.empty() || groups.back() != p.group) groups.push_back(p.group);
    }
    std::set<std::string> distinct(groups.begin(), groups.end());
    EXPECT_EQ(distinct.size(), groups.size()) << "a group is split into several blocks";
    ASSERT_FALSE(groups.empty());
    EXPECT_EQ(groups.front(), "Shaft");
    EXPECT_EQ(find("ARROW_MAKE_CLONER")->group, "Cloner");
    EXPECT_EQ(find("ARROW_POINT_INTERPOLATION")->group, "Spline");
  }
}

// --- Strings and icon ----------------------------------------------------------

TEST_F(ResourcesTest, StringTableHoldsTheModuleStrings) {
  auto folder = LoadOk(MakePluginDir(Version::k13));
  ASSERT_NE(folder, nullptr);
  for (int32_t id : {10000, 10001, 10002, 10003}) {
    EXPECT_TRUE(folder->HasString(id)) << id;
    EXPECT_FALSE(folder->String(id).empty()) << id;
  }
  EXPECT_TRUE(Contains(folder->String(10000), "Tolvane"));
  EXPECT_GT(folder->String(10001).size(), folder->String(10000).size());
  EXPECT_FALSE(folder->HasString(4242));
  EXPECT_EQ(folder->String(4242), "");
}

TEST_F(ResourcesTest, IconIsARealTiffOfIconSize) {
  std::string bytes = ReadFile(kSource / "tolvane.tif");
  ASSERT_GE(bytes.size(), 8u);
  std::string magic = bytes.substr(0, 4);
  EXPECT_TRUE(magic == std::string("II*\0", 4) || magic == std::string("MM\0*", 4));

  auto folder = LoadOk(MakePluginDir(Version::k13));
  ASSERT_NE(folder, nullptr);
  std::string error;
  auto icon = folder->LoadBitmap("tolvane.tif", 1.0, &error);
  ASSERT_NE(icon, nullptr) << error;
  EXPECT_EQ(icon->width, 64);
  EXPECT_EQ(icon->height, 64);
  EXPECT_EQ(icon->pixelRatio, 1.0);
  ASSERT_EQ(icon->rgba.size(), static_cast<std::size_t>(icon->width) * icon->height * 4);

  // A pictogram: a transparent background around an opaque shape.
  std::size_t clear = 0, opaque = 0;
  for (std::size_t i = 3; i < icon->rgba.size(); i += 4) {
    if (icon->rgba[i] == 0) ++clear;
    if (icon->rgba[i] == 255) ++opaque;
  }
  const std::size_t pixels = icon->rgba.size() / 4;
  EXPECT_GT(clear, pixels / 5);
  EXPECT_GT(opaque, pixels / 5);
  // Corners are background, the centre is the arrow's shaft.
  EXPECT_EQ(icon->rgba[3], 0);
  EXPECT_EQ(icon->rgba[(32 * 64 + 32) * 4 + 3], 255);
}

TEST_F(ResourcesTest, AlphaIsReturnedUnpremultiplied) {
  // A 2 x 1 image: a half-transparent orange pixel and an opaque one.
  // (Unassociated alpha, written byte by byte.)
  fs::path file = root_ / "two.tif";
  const uint8_t pixels[8] = {200, 100, 50, 128, 10, 20, 30, 255};
  testkit::TiffSpec spec;
  spec.width = 2;
  spec.pixels.assign(pixels, pixels + 8);
  WriteFile(file, testkit::MakeTiff(spec));

  std::string error;
  auto bitmap = host::ReadTiff(file.string(), &error);
  ASSERT_NE(bitmap, nullptr) << error;
  ASSERT_EQ(bitmap->rgba.size(), 8u);
  for (int i = 0; i < 8; ++i) EXPECT_NEAR(bitmap->rgba[i], pixels[i], 2) << "byte " << i;
}

TEST_F(ResourcesTest, MissingOrBrokenIconsGiveNoBitmap) {
  fs::path plugin = MakePluginDir(Version::k13);
  WriteFile(plugin / "resources" / "broken.tif", "this is not an image");
  auto folder = LoadOk(plugin);
  ASSERT_NE(folder, nullptr);

  std::string error;
  EXPECT_EQ(folder->LoadBitmap("nothere.tif", 0, &error), nullptr);
  EXPECT_TRUE(Contains(error, "nothere.tif")) << error;
  EXPECT_TRUE(Contains(error, "no such file")) << error;

  error.clear();
  EXPECT_EQ(folder->LoadBitmap("broken.tif", 0, &error), nullptr);
  EXPECT_TRUE(Contains(error, "broken.tif")) << error;
  EXPECT_TRUE(Contains(error, "not a readable TIFF")) << error;

  // Only files inside the resource folder can be reached.
  WriteFile(plugin / "outside.tif", ReadFile(kSource / "tolvane.tif"));
  error.clear();
  EXPECT_EQ(folder->LoadBitmap("../outside.tif", 0, &error), nullptr);
  EXPECT_TRUE(Contains(error, "inside the resource folder")) << error;
  EXPECT_EQ(folder->LoadBitmap((plugin / "outside.tif").string(), 0, &error), nullptr);
}

// --- Load errors ------------------------------------------------------------------

TEST_F(ResourcesTest, MissingFolderIsAClearError) {
  fs::path plugin = root_ / "no-such-plugin";
  std::string error = LoadError(plugin);
  EXPECT_TRUE(Contains(error, "resource folder not found")) << error;
  EXPECT_TRUE(Contains(error, (plugin / "resources").string())) << error;
}

TEST_F(ResourcesTest, MissingStringTableIsAClearError) {
  fs::path plugin = MakePluginDir(Version::k13);
  fs::remove(plugin / "resources" / "strings.json");
  std::string error = LoadError(plugin);
  EXPECT_TRUE(Contains(error, "strings.json")) << error;
  EXPECT_TRUE(Contains(error, "missing")) << error;
}

TEST_F(ResourcesTest, BrokenJsonNamesTheFile) {
  fs::path plugin = MakePluginDir(Version::k13);
  fs::path file = plugin / "resources" / "description" / "Otolvane.json";
  std::string text = ReadFile(file);
  WriteFile(file, text.substr(0, text.size() / 2));  // cut off in the middle
  std::string error = LoadError(plugin);
  EXPECT_TRUE(Contains(error, file.string())) << error;
  EXPECT_TRUE(Contains(error, "not valid JSON")) << error;

  WriteFile(file, text);  // the description is whole again; now break the strings
  WriteFile(plugin / "resources" / "strings.json", "{ \"strings\": { \"10000\": \"Tolvane\", } }");
  error = LoadError(plugin);
  EXPECT_TRUE(Contains(error, "strings.json")) << error;
  EXPECT_TRUE(Contains(error, "not valid JSON")) << error;
}

TEST_F(ResourcesTest, DuplicateIdNamesFileAndId) {
  fs::path plugin = MakePluginDir(Version::k13);
  fs::path file = plugin / "resources" / "description" / "Otolvane.json";
  std::string text = ReadFile(file);
  const std::string from = "\"id\": 10010,";
  std::size_t at = text.find(from);
  ASSERT_NE(at, std::string::npos);
  text.replace(at, from.size(), "\"id\": 10000,");  // shaft width takes shaft length's ID
  WriteFile(file, text);
  std::string error = LoadError(plugin);
  EXPECT_TRUE(Contains(error, file.string())) << error;
  EXPECT_TRUE(Contains(error, "duplicate id 10000")) << error;
  EXPECT_TRUE(Contains(error, "ARROW_SHAFT_WIDTH")) << error;
  EXPECT_TRUE(Contains(error, "ARROW_SHAFT_LENGTH")) << error;
}

// Problems inside one description, each with the words the error must hold.
TEST(DescriptionParsing, RejectsMalformedEntries) {
  struct Case {
    const char* text;
    const char* expected;
  };
  const std::string ok = R"({"id": 1, "name": "A", "type": "bool", "label": "A", "group": "G"})";
  const Case cases[] = {
      {"[]", "must be a JSON object"},
      {R"({"params": {}})", "\"params\" must be an array"},
      {R"({"params": [], "extra": 1})", "unknown member \"extra\""},
      {R"({"params": [{"id": 1, "name": "A", "type": "bool", "label": "A", "group": "G", "lable": "x"}]})",
       "unknown member \"lable\""},
      {R"({"params": [{"name": "A", "type": "bool", "label": "A", "group": "G"}]})", "\"id\" is missing"},
      {R"({"params": [{"id": 4294967296, "name": "A", "type": "bool", "label": "A", "group": "G"}]})",
       "32-bit integer"},
      {R"({"params": [{"id": 1.5, "name": "A", "type": "bool", "label": "A", "group": "G"}]})", "32-bit integer"},
      {R"({"params": [{"id": 1, "name": "lower", "type": "bool", "label": "A", "group": "G"}]})",
       "upper-case identifier"},
      {R"({"params": [{"id": 1, "name": "A", "type": "double", "label": "A", "group": "G"}]})",
       "\"type\" must be one of"},
      {R"({"params": [{"id": 1, "name": "A", "type": "bool", "label": "", "group": "G"}]})", "\"label\""},
      {R"({"params": [{"id": 1, "name": "A", "type": "bool", "label": "A"}]})", "\"group\""},
      {R"({"params": [{"id": 1, "name": "A", "type": "bool", "label": "A", "group": "G", "unit": "length"}]})",
       "only float and int32 entries have a \"unit\""},
      {R"({"params": [{"id": 1, "name": "A", "type": "float", "label": "A", "group": "G", "unit": "inch"}]})",
       "\"unit\" must be one of"},
      {R"({"params": [{"id": 1, "name": "A", "type": "float", "label": "A", "group": "G", "min": 2, "max": 1}]})",
       "\"min\" is greater than \"max\""},
      {R"({"params": [{"id": 1, "name": "A", "type": "float", "label": "A", "group": "G", "step": 0}]})",
       "\"step\" must be greater than 0"},
      {R"({"params": [{"id": 1, "name": "A", "type": "int32", "label": "A", "group": "G", "max": 0.5}]})",
       "\"max\" must be a 32-bit integer"},
      {R"({"params": [{"id": 1, "name": "A", "type": "bool", "label": "A", "group": "G",
           "choices": [{"value": 0, "label": "x"}]}]})",
       "only int32 entries have \"choices\""},
      {R"({"params": [{"id": 1, "name": "A", "type": "int32", "label": "A", "group": "G",
           "choices": [{"value": 0, "label": "x"}, {"value": 0, "label": "y"}]}]})",
       "value 0 appears twice"},
      {R"({"params": [{"id": 1, "name": "A", "type": "float", "label": "A", "group": "G", "accept": 5155}]})",
       "only link entries have \"accept\""},
      {R"({"params": [{"id": 1, "name": "A", "type": "link", "label": "A", "group": "G", "accept": 0}]})",
       "positive object type ID"},
      {R"({"params": [{"id": 1, "name": "A", "type": "bool", "label": "A", "group": "G"},
                      {"id": 2, "name": "A", "type": "bool", "label": "B", "group": "G"}]})",
       "duplicate name A"},
      {R"({"params": [{"id": 1, "id": 2, "name": "A", "type": "bool", "label": "A", "group": "G"}]})",
       "member \"id\" appears twice"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    host::Description desc;
    desc.name = "Test";
    std::string error;
    EXPECT_FALSE(host::ParseDescription(c.text, "test.json", &desc, &error));
    EXPECT_TRUE(Contains(error, "test.json")) << error;
    EXPECT_TRUE(Contains(error, c.expected)) << error;
  }

  // The well-formed entry used above is accepted, so the failures come from
  // the one thing each case changes.
  host::Description desc;
  desc.name = "Test";
  std::string error;
  ASSERT_TRUE(host::ParseDescription("{\"params\": [" + ok + "]}", "test.json", &desc, &error)) << error;
  ASSERT_EQ(desc.params.size(), 1u);
  EXPECT_EQ(desc.name, "Test");
  EXPECT_EQ(desc.params[0].name, "A");
}

TEST(StringTableParsing, RejectsMalformedTables) {
  struct Case {
    const char* text;
    const char* expected;
  };
  const Case cases[] = {
      {"\"text\"", "must be a JSON object"},
      {R"({"strings": []})", "\"strings\" must be an object"},
      {R"({"strings": {}, "more": 1})", "unknown member \"more\""},
      {R"({"strings": {"abc": "x"}})", "string ID \"abc\" is not a 32-bit integer"},
      {R"({"strings": {"12x": "x"}})", "string ID \"12x\""},
      {R"({"strings": {"99999999999": "x"}})", "string ID \"99999999999\""},
      {R"({"strings": {"5": 5}})", "string 5 must be a text"},
      {R"({"strings": {"5": "a", "5": "b"}})", "member \"5\" appears twice"},
      {R"({"strings": {"5": "a", "05": "b"}})", "string 5 appears twice"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    std::map<int32_t, std::string> table;
    std::string error;
    EXPECT_FALSE(host::ParseStrings(c.text, "strings.json", &table, &error));
    EXPECT_TRUE(Contains(error, c.expected)) << error;
  }
  std::map<int32_t, std::string> table;
  std::string error;
  ASSERT_TRUE(host::ParseStrings(R"({"strings": {"7": "seven", "-3": "minus three"}})", "s.json", &table, &error))
      << error;
  EXPECT_EQ(table, (std::map<int32_t, std::string>{{7, "seven"}, {-3, "minus three"}}));
}

// --- The suite's C functions -------------------------------------------------------

TEST_F(ResourcesTest, SuiteFunctionsLoadStringsAndIcons) {
  fs::path plugin = MakePluginDir(Version::k13);
  ha_resource res = host::ResLoad(plugin.string().c_str());
  ASSERT_NE(res, nullptr) << host::LastResourceError();
  EXPECT_EQ(host::LiveResourceCount(), liveFolders_ + 1);
  const host::ResourceFolder* folder = host::ResourceOf(res);
  ASSERT_NE(folder, nullptr);
  EXPECT_NE(folder->FindDescription("Otolvane"), nullptr);

  const std::size_t texts = host::Texts().Size();
  ha_text name = host::ResLoadString(res, 10000);
  ASSERT_NE(name, nullptr);
  EXPECT_EQ(host::Texts().Size(), texts + 1);
  EXPECT_EQ(TakeText(name), folder->String(10000));
  ha_text none = host::ResLoadString(res, 4242);
  ASSERT_NE(none, nullptr);
  EXPECT_EQ(TakeText(none), "");

  ha_bitmap icon = host::ResLoadBitmap(res, "tolvane.tif", 1.0);
  ASSERT_NE(icon, nullptr) << host::LastResourceError();
  EXPECT_EQ(host::LiveBitmapCount(), liveBitmaps_ + 1);
  const host::Bitmap* bitmap = host::BitmapOf(icon);
  ASSERT_NE(bitmap, nullptr);
  EXPECT_EQ(bitmap->width, 64);
  EXPECT_EQ(bitmap->pixelRatio, 1.0);
  ha_bitmap plain = host::ResLoadBitmap(res, "tolvane.tif", 0);
  ASSERT_NE(plain, nullptr);
  EXPECT_EQ(host::BitmapOf(plain)->pixelRatio, 0.0);  // no ratio given

  EXPECT_EQ(host::ResLoadBitmap(res, "missing.tif", 0), nullptr);
  EXPECT_TRUE(Contains(host::LastResourceError(), "missing.tif")) << host::LastResourceError();

  // A bitmap lives on after its folder is freed.
  host::ResFree(res);
  EXPECT_EQ(host::ResourceOf(res), nullptr);
  EXPECT_EQ(host::BitmapOf(icon), bitmap);
  host::ResFreeBitmap(icon);
  host::ResFreeBitmap(plain);
  EXPECT_EQ(host::BitmapOf(icon), nullptr);
  EXPECT_TRUE(host::Misuses().empty());
}

TEST_F(ResourcesTest, SuiteLoadFailuresAreKeptAsLastError) {
  EXPECT_EQ(host::ResLoad((root_ / "absent").string().c_str()), nullptr);
  EXPECT_TRUE(Contains(host::LastResourceError(), "resource folder not found")) << host::LastResourceError();
  EXPECT_EQ(host::ResLoad(nullptr), nullptr);
  EXPECT_TRUE(Contains(host::LastResourceError(), "no plug-in folder")) << host::LastResourceError();
  EXPECT_EQ(host::LiveResourceCount(), liveFolders_);
  EXPECT_TRUE(host::Misuses().empty());
}

TEST_F(ResourcesTest, SuiteChecksHandles) {
  int notAHandle = 0;
  ha_resource fakeRes = reinterpret_cast<ha_resource>(&notAHandle);
  ha_bitmap fakeBmp = reinterpret_cast<ha_bitmap>(&notAHandle);

  // Null handles: freeing is allowed, asking fails quietly.
  host::ResFree(nullptr);
  host::ResFreeBitmap(nullptr);
  EXPECT_EQ(host::ResLoadString(nullptr, 10000), nullptr);
  EXPECT_EQ(host::ResLoadBitmap(nullptr, "tolvane.tif", 1.0), nullptr);
  EXPECT_TRUE(host::Misuses().empty());

  // Foreign handles fail and are reported.
  EXPECT_EQ(host::ResLoadString(fakeRes, 10000), nullptr);
  EXPECT_EQ(host::ResLoadBitmap(fakeRes, "tolvane.tif", 1.0), nullptr);
  host::ResFree(fakeRes);
  host::ResFreeBitmap(fakeBmp);
  EXPECT_EQ(host::ResourceOf(fakeRes), nullptr);
  EXPECT_EQ(host::BitmapOf(fakeBmp), nullptr);
  EXPECT_EQ(host::Misuses().size(), 4u);
  host::ClearMisuses();

  // A freed handle is foreign from then on.
  fs::path plugin = MakePluginDir(Version::k13);
  ha_resource res = host::ResLoad(plugin.string().c_str());
  ASSERT_NE(res, nullptr) << host::LastResourceError();
  ha_bitmap icon = host::ResLoadBitmap(res, "tolvane.tif", 1.0);
  ASSERT_NE(icon, nullptr);
  EXPECT_EQ(host::ResLoadBitmap(res, nullptr, 1.0), nullptr);
  EXPECT_EQ(host::ResLoadBitmap(res, "tolvane.tif", -1.0), nullptr);
  EXPECT_EQ(host::Misuses().size(), 2u);
  host::ClearMisuses();
  host::ResFreeBitmap(icon);
  host::ResFree(res);
  EXPECT_TRUE(host::Misuses().empty());
  host::ResFreeBitmap(icon);
  host::ResFree(res);
  EXPECT_EQ(host::Misuses().size(), 2u);
  host::ClearMisuses();
}

TEST_F(ResourcesTest, SuiteLoadsCountAsAllocations) {
  fs::path plugin = MakePluginDir(Version::k13);
  host::Failures().FailAllocation(1);
  EXPECT_EQ(host::ResLoad(plugin.string().c_str()), nullptr);
  EXPECT_EQ(host::Failures().AllocationFailuresInjected(), 1);
  EXPECT_EQ(host::LiveResourceCount(), liveFolders_);
  EXPECT_TRUE(Contains(host::LastResourceError(), "out of memory")) << host::LastResourceError();
  host::Failures().Off();

  ha_resource res = host::ResLoad(plugin.string().c_str());
  ASSERT_NE(res, nullptr) << host::LastResourceError();

  host::Failures().FailAllocation(1);
  EXPECT_EQ(host::ResLoadBitmap(res, "tolvane.tif", 1.0), nullptr);
  EXPECT_EQ(host::LiveBitmapCount(), liveBitmaps_);
  EXPECT_TRUE(Contains(host::LastResourceError(), "out of memory")) << host::LastResourceError();
  // The failure was the first allocation only: the next load works.
  ha_bitmap icon = host::ResLoadBitmap(res, "tolvane.tif", 1.0);
  EXPECT_NE(icon, nullptr);
  EXPECT_EQ(host::Failures().AllocationsCounted(), 2);
  host::ResFreeBitmap(icon);
  host::ResFree(res);
}

}  // namespace
