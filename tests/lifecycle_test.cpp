// The module's entry, start and end as a host drives them, and a new arrow's
// parameters: defaults, enabling and reset, in both product versions.
#include <cstdio>
#include <filesystem>
#include <map>
#include <set>

#include "files.h"
#include "fixture.h"
#include "plugin_folders.h"
#if defined(TOLVANE_MACHO_LOADER)
#include "macho_plan.h"
#endif

#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#define NOUSER
#define NOGDI
#include <windows.h>
#endif

namespace {

#if defined(_WIN32)
// The names in the export table of a loaded module, read from its image;
// "(ordinal-only export)" stands for each export that has no name.
std::vector<std::string> ExportedNames(const std::string& moduleFile) {
  const auto* base = reinterpret_cast<const unsigned char*>(GetModuleHandleA(moduleFile.c_str()));
  if (base == nullptr) return {"(module not loaded)"};
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
  if (dir.VirtualAddress == 0) return {};
  const auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + dir.VirtualAddress);
  const auto* names = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
  std::vector<std::string> out;
  for (DWORD i = 0; i < exports->NumberOfNames; ++i) out.emplace_back(reinterpret_cast<const char*>(base + names[i]));
  for (DWORD i = exports->NumberOfNames; i < exports->NumberOfFunctions; ++i) out.emplace_back("(ordinal-only export)");
  return out;
}
#endif

using host::Host;
using host::HostOptions;
using host::Json;
using testkit::ExpectCleanShutdown;

std::vector<std::string> StartLines(int release) {
  if (release == 16) return {"VARNHOLT LTD: Tolvane successfully loaded."};
  return {" ", "--------- Quellfort Software ---------", "Tolvane successfully loaded.", " "};
}

class Releases : public ::testing::TestWithParam<int> {};
INSTANTIATE_TEST_SUITE_P(Both, Releases, ::testing::Values(16, 12));

TEST_P(Releases, StartPrintsExactlyTheLinesOfItsVersion) {
  Host h(HostOptions::ForRelease(GetParam()));
  std::string error;
  ASSERT_TRUE(h.Load(host::PluginFolder(GetParam()), &error)) << error;
  EXPECT_EQ(h.Console(), StartLines(GetParam()));
  ASSERT_EQ(h.Answers().size(), 3u);
  EXPECT_EQ(h.Answers()[0].answer, 1);
  EXPECT_EQ(h.Answers()[1].answer, 1);
  EXPECT_EQ(h.Answers()[2].answer, 1);
  const host::ObjectPlugin* arrow = host::FindObjectPlugin(ID_TOLVANE);
  ASSERT_NE(arrow, nullptr);
  EXPECT_EQ(arrow->info, 132);
  EXPECT_EQ(arrow->description, "Otolvane");
  EXPECT_EQ(arrow->diskLevel, 0);
  EXPECT_TRUE(arrow->hasIcon);
  EXPECT_EQ(arrow->iconPixelRatio, GetParam() == 16 ? 1.0 : 0.0);
  EXPECT_FALSE(arrow->name.empty());
  ExpectCleanShutdown(h);
  ASSERT_EQ(h.Answers().size(), 4u);
  EXPECT_EQ(h.Answers()[3].answer, 1);
}

TEST_P(Releases, EntryAnswersEveryActionAsItsTableSays) {
  Host h(HostOptions::ForRelease(GetParam()));
  ASSERT_TRUE(h.Load(host::PluginFolder(GetParam()), nullptr));
  EXPECT_EQ(h.CallEntry(4, nullptr, nullptr, nullptr), 5);
  for (int action : {0, 5, 7, 8, 99, -1}) EXPECT_EQ(h.CallEntry(action, nullptr, nullptr, nullptr), -1) << action;
  EXPECT_EQ(h.CallEntry(6, reinterpret_cast<void*>(intptr_t{0}), nullptr, nullptr), 1);
  for (intptr_t id : {2, 3, 100, -5})
    EXPECT_EQ(h.CallEntry(6, reinterpret_cast<void*>(id), nullptr, nullptr), -1) << id;
  ExpectCleanShutdown(h);
}

TEST_P(Releases, RepeatedInitialisationsOnlyCountAndOnlyTheLastEndFrees) {
  Host h(HostOptions::ForRelease(GetParam()));
  ASSERT_TRUE(h.Load(host::PluginFolder(GetParam()), nullptr));
  const std::size_t live = h.LiveAllocations();
  ASSERT_GT(live, 0u);  // the module's file name at least
  // A second initialisation is not checked again: even a table that is no
  // table at all and no file name are accepted without being looked at.
  EXPECT_EQ(h.CallEntry(1, nullptr, nullptr, nullptr), 1);
  EXPECT_EQ(h.CallEntry(1, nullptr, nullptr, nullptr), 1);
  EXPECT_EQ(h.LiveAllocations(), live);
  EXPECT_EQ(h.CallEntry(3, nullptr, nullptr, nullptr), 1);
  EXPECT_EQ(h.CallEntry(3, nullptr, nullptr, nullptr), 1);
  EXPECT_EQ(h.LiveAllocations(), live);  // still one initialisation open
  // The module still works after the unbalanced calls.
  std::string error;
  host::Object* arrow = h.CreateObject(h.NewDocument(), ID_TOLVANE, false, &error);
  ASSERT_NE(arrow, nullptr) << error;
  ExpectCleanShutdown(h);  // the last end frees everything
}

TEST(Entry, RefusesHostsOlderThanItsRelease) {
  struct Case {
    int release;
    int32_t version;
    int32_t answer;
  };
  const Case cases[] = {{16, 16049, 1}, {16, 16048, -3}, {16, 12000, -3}, {16, 99999, 1},
                        {12, 12000, 1}, {12, 11999, -3}, {12, 16049, 1},  {12, 0, -3}};
  for (const Case& c : cases) {
    HostOptions o = HostOptions::ForRelease(c.release);
    o.interfaceVersion = c.version;
    Host h(o);
    std::string error;
    const bool loaded = h.Load(host::PluginFolder(c.release), &error);
    EXPECT_EQ(loaded, c.answer == 1) << c.release << " on " << c.version << ": " << error;
    ASSERT_FALSE(h.Answers().empty());
    EXPECT_EQ(h.Answers()[0].answer, c.answer) << c.release << " on " << c.version;
    if (c.answer != 1) {
      EXPECT_TRUE(h.Console().empty());
      EXPECT_EQ(h.LiveAllocations(), 0u);
      EXPECT_TRUE(host::ObjectPlugins().empty());
    }
    ExpectCleanShutdown(h);
  }
}

TEST(Entry, RefusesAMissingModuleFileName) {
  for (int release : {16, 12}) {
    HostOptions o = HostOptions::ForRelease(release);
    o.omitModuleFile = true;
    Host h(o);
    EXPECT_FALSE(h.Load(host::PluginFolder(release), nullptr));
    ASSERT_EQ(h.Answers().size(), 1u);
    EXPECT_EQ(h.Answers()[0].answer, -3);
    EXPECT_EQ(h.LiveAllocations(), 0u);
    ExpectCleanShutdown(h);
  }
}

TEST_P(Releases, MissingResourceFolderPrintsOneLineAndFailsMessageOne) {
  testkit::TempDir tmp;
  const std::string folder = testkit::CopyPluginFolder(GetParam(), tmp.Path(), false);
  Host h(HostOptions::ForRelease(GetParam()));
  EXPECT_FALSE(h.Load(folder, nullptr));
  EXPECT_EQ(h.Console(), std::vector<std::string>{"Tolvane: failed to load resource file."});
  ASSERT_EQ(h.Answers().size(), 2u);
  EXPECT_EQ(h.Answers()[1].answer, -1);
  EXPECT_TRUE(host::ObjectPlugins().empty());
  ExpectCleanShutdown(h);
}

TEST_P(Releases, RefusedRegistrationPrintsTheFailureLine) {
  Host h(HostOptions::ForRelease(GetParam()));
  h.refuseRegistration = true;
  EXPECT_FALSE(h.Load(host::PluginFolder(GetParam()), nullptr));
  std::vector<std::string> expected;
  if (GetParam() == 16) {
    expected = {"VARNHOLT LTD: Failed to load Tolvane."};
  } else {
    expected = {" ", "--------- Quellfort Software ---------", "Failed to register Tolvane.", " "};
  }
  EXPECT_EQ(h.Console(), expected);
  EXPECT_EQ(h.Answers().back().answer, 0);
  ExpectCleanShutdown(h);
}

// Every allocation of the start can fail; the start then fails cleanly or
// goes on without what it could not have, and nothing leaks.
TEST_P(Releases, AllocationFailureAtEachStepOfTheStart) {
  bool sawRegistrationFailure = false;
  for (long nth = 1;; ++nth) {
    Host h(HostOptions::ForRelease(GetParam()));
    h.Failures().FailAllocation(nth);
    std::string error;
    const bool loaded = h.Load(host::PluginFolder(GetParam()), &error);
    const bool injected = h.Failures().AllocationFailuresInjected() > 0;
    if (!injected) {
      EXPECT_TRUE(loaded) << error;
      ExpectCleanShutdown(h);
      break;
    }
    const auto& lines = h.Console();
    const bool failed = std::find(lines.begin(), lines.end(),
                                  GetParam() == 16 ? "VARNHOLT LTD: Failed to load Tolvane."
                                                   : "Failed to register Tolvane.") != lines.end();
    sawRegistrationFailure = sawRegistrationFailure || failed;
    if (failed) {
      EXPECT_FALSE(loaded);
    }
    ExpectCleanShutdown(h);
    ASSERT_LT(nth, 200) << "the start never got through";
  }
  // Release 16 keeps its registration record in host memory, so one of the
  // allocations is the registration itself; release 12 keeps it in static
  // storage and always gets registered.
  EXPECT_EQ(sawRegistrationFailure, GetParam() == 16);
}

TEST_P(Releases, FailedArrowAllocationAnswersNoObject) {
  host::Session s({GetParam(), "", 0});
  std::string error;
  ASSERT_TRUE(s.Open(&error)) << error;
  s.GetHost().Failures().FailAllocation(1);
  EXPECT_EQ(s.NewArrow(false, &error), nullptr);
  EXPECT_EQ(s.GetHost().Failures().AllocationFailuresInjected(), 1);
  EXPECT_EQ(s.Doc()->First(), nullptr);
  s.GetHost().Failures().Off();
  EXPECT_NE(s.NewArrow(false, &error), nullptr);
  ExpectCleanShutdown(s.GetHost());
}

// A host may load and unload the module as often as it likes: each load
// gives back what the last one took. (A Windows module that linked the C++
// exception runtime statically kept one thread-local slot per load, and a
// process has about 1,100 of them.)
TEST_P(Releases, LoadsAndUnloadsTwelveHundredTimes) {
  for (int k = 0; k < 1200; ++k) {
    Host h(HostOptions::ForRelease(GetParam()));
    std::string error;
    ASSERT_TRUE(h.Load(host::PluginFolder(GetParam()), &error)) << "load " << k << ": " << error;
    h.Shutdown();
    ASSERT_TRUE(h.Leaks().empty()) << "load " << k;
  }
}

// The module file exports its entry and nothing else.
TEST_P(Releases, ModuleExportsOnlyItsEntry) {
  Host h(HostOptions::ForRelease(GetParam()));
  ASSERT_TRUE(h.Load(host::PluginFolder(GetParam()), nullptr));
#if defined(_WIN32)
  EXPECT_EQ(ExportedNames(h.ModuleFile()), std::vector<std::string>{"c4d_main"});
#else
#if defined(TOLVANE_MACHO_LOADER)
  if (std::filesystem::path(h.ModuleFile()).extension() == ".dylib") {
    // A macOS module: its export trie, read as the loader reads it.
    const std::string bytes = testkit::ReadFileBytes(h.ModuleFile());
    host::MachOPlan plan;
    std::string error;
    ASSERT_TRUE(host::PlanMachOModule(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(),
                                      h.ModuleFile(), &plan, &error)) << error;
    std::vector<std::string> names;
    for (const auto& e : plan.exports) names.push_back(e.first);
    EXPECT_EQ(names, std::vector<std::string>{"_c4d_main"});
    ExpectCleanShutdown(h);
    return;
  }
#endif
  const std::string command = "nm -D --defined-only \"" + h.ModuleFile() + "\"";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::vector<std::string> functions;
  char line[512];
  while (std::fgets(line, sizeof line, pipe) != nullptr) {
    char type = 0;
    char name[400] = {0};
    unsigned long long address = 0;
    if (std::sscanf(line, "%llx %c %399s", &address, &type, name) == 3 &&
        (type == 'T' || type == 'W' || type == 'i'))
      functions.push_back(name);
  }
  EXPECT_EQ(pclose(pipe), 0);
  EXPECT_EQ(functions, std::vector<std::string>{"c4d_main"});
#endif
  ExpectCleanShutdown(h);
}

// --- a new arrow's parameters ----------------------------------------------

struct Defaults {
  std::map<std::string, Json> values;
};

// The defaults every new arrow carries, by parameter name.
Defaults ExpectedDefaults() {
  Defaults d;
  d.values = {{"ARROW_SHAFT_LENGTH", 400.0},
              {"ARROW_SHAFT_WIDTH", 100.0},
              {"ARROW_SHAFT", true},
              {"ARROW_HEAD_LENGTH", 100.0},
              {"ARROW_BARB_WIDTH", 50.0},
              {"ARROW_TAIL_NOTCH", 0.0},
              {"ARROW_HEAD_TAPER", 0.0},
              {"ARROW_TAIL_TAPER", 0.0},
              {"ARROW_BARB_SWEEP", 0.0},
              {"ARROW_FLETCHING", false},
              {"ARROW_FLETCHING_LENGTH", 100.0},
              {"ARROW_FLETCHING_HEIGHT", 50.0},
              {"ARROW_FLETCHING_SWEEP", 50.0},
              {"ARROW_CHEVRON", false},
              {"ARROW_CHEVRON_SQUARE_ENDS", false},
              {"ARROW_CHEVRON_DEPTH", 50.0},
              {"ARROW_DOUBLE_HEADED", false},
              {"ARROW_DOUBLE_SHAFT_LENGTH", 400.0},
              {"ARROW_DOUBLE_SHAFT_WIDTH", 100.0},
              {"ARROW_PRESET_NAME", ""},
              {"ARROW_ROUND_CORNERS", false},
              {"ARROW_CORNER_RADIUS", 10.0},
              {"ARROW_CORNER_OPTION", true},
              {"ARROW_EXTRUDE_FILLET", nullptr},
              {"ARROW_CLONE_EXTRUDED", nullptr},
              {"ARROW_CLONE_COUNT", 3},
              {"ARROW_CLONE_ON_SPLINE", nullptr},
              {"ARROW_CLONE_SPLINE", nullptr},
              {"ARROW_CLONE_ALIGN", true},
              {"ARROW_CLONE_RATE", 0.0},
              {"ARROW_WRAP_EXTRUDED", nullptr},
              {"ARROW_WRAP_SPLINE", nullptr},
              {"ARROW_WRAP_MODE", true},
              {"ARROW_WRAP_NATURAL_POINTS", true},
              {"ARROW_POINT_INTERPOLATION", 3},
              {"ARROW_POINT_COUNT", 8},
              {"ARROW_POINT_ANGLE", 0.08726646259971647},
              {"ARROW_POINT_MAX_LENGTH", 5.0},
              {"ARROW_PLANE", 0},
              {"ARROW_REVERSE", false}};
  return d;
}

class ArrowParams : public testkit::ArrowTest {
 protected:
  int32_t Id(const std::string& name) const {
    const host::ParamDesc* p = session_->FindParam(name);
    EXPECT_NE(p, nullptr) << name;
    return p != nullptr ? p->id : 0;
  }
  // The names of the enabled parameters among `names`.
  std::set<std::string> Enabled(const std::vector<std::string>& names) {
    std::set<std::string> out;
    for (const auto& n : names)
      if (session_->GetHost().IsEnabled(arrow_, Id(n))) out.insert(n);
    return out;
  }
};
INSTANTIATE_TEST_SUITE_P(Both, ArrowParams, ::testing::Values(16, 12));

TEST_P(ArrowParams, NewArrowCarriesTheDefaultsUnderItsVersionsIds) {
  const Json params = session_->ParamsJson(arrow_)["params"];
  const Defaults expected = ExpectedDefaults();
  std::set<std::string> seen;
  for (const Json& p : params) {
    const std::string name = p["name"];
    auto it = expected.values.find(name);
    ASSERT_NE(it, expected.values.end()) << "unexpected parameter " << name;
    EXPECT_EQ(p["value"], it->second) << name;
    seen.insert(name);
  }
  EXPECT_EQ(seen.size(), expected.values.size());
  // A few IDs that differ between the versions.
  if (GetParam() == 16) {
    EXPECT_EQ(Id("ARROW_SHAFT"), 10020);
    EXPECT_EQ(Id("ARROW_WRAP_NATURAL_POINTS"), 10420);
  } else {
    EXPECT_EQ(Id("ARROW_SHAFT"), 1007);
    EXPECT_EQ(Id("ARROW_WRAP_NATURAL_POINTS"), 10148);
  }
  // Bool values are stored as 32-bit integers in the container.
  const host::Value* shaft = arrow_->Data().Find(Id("ARROW_SHAFT"));
  ASSERT_NE(shaft, nullptr);
  EXPECT_EQ(shaft->type, HA_TYPE_INT32);
  EXPECT_EQ(shaft->i, 1);
}

const std::vector<std::string> kConditional = {
    "ARROW_SHAFT_LENGTH",        "ARROW_SHAFT_WIDTH",        "ARROW_SHAFT",
    "ARROW_TAIL_NOTCH",          "ARROW_HEAD_TAPER",         "ARROW_TAIL_TAPER",
    "ARROW_FLETCHING",           "ARROW_FLETCHING_LENGTH",   "ARROW_FLETCHING_HEIGHT",
    "ARROW_FLETCHING_SWEEP",     "ARROW_CHEVRON_SQUARE_ENDS", "ARROW_CHEVRON_DEPTH",
    "ARROW_DOUBLE_SHAFT_LENGTH", "ARROW_DOUBLE_SHAFT_WIDTH", "ARROW_CORNER_RADIUS",
    "ARROW_CORNER_OPTION",       "ARROW_CLONE_SPLINE",       "ARROW_CLONE_ALIGN",
    "ARROW_CLONE_RATE",          "ARROW_POINT_COUNT",        "ARROW_POINT_ANGLE",
    "ARROW_POINT_MAX_LENGTH"};

TEST_P(ArrowParams, EnablingFollowsTheModes) {
  using S = std::set<std::string>;
  EXPECT_EQ(Enabled(kConditional),
            (S{"ARROW_SHAFT_LENGTH", "ARROW_SHAFT_WIDTH", "ARROW_SHAFT", "ARROW_TAIL_NOTCH",
               "ARROW_HEAD_TAPER", "ARROW_TAIL_TAPER", "ARROW_FLETCHING", "ARROW_POINT_ANGLE"}));
  // Parameters without a rule are always enabled.
  EXPECT_EQ(Enabled({"ARROW_BARB_SWEEP", "ARROW_HEAD_LENGTH", "ARROW_PRESET_NAME", "ARROW_PLANE",
                     "ARROW_CLONE_COUNT", "ARROW_WRAP_SPLINE"})
                .size(),
            6u);

  Set("ARROW_FLETCHING=true");
  Set("ARROW_DOUBLE_HEADED=true");
  // The fin rule looks only at fletching and shaft, not at double-headed.
  EXPECT_EQ(Enabled(kConditional),
            (S{"ARROW_FLETCHING_LENGTH", "ARROW_FLETCHING_HEIGHT", "ARROW_FLETCHING_SWEEP",
               "ARROW_DOUBLE_SHAFT_LENGTH", "ARROW_DOUBLE_SHAFT_WIDTH", "ARROW_POINT_ANGLE"}));

  Set("ARROW_DOUBLE_HEADED=false");
  Set("ARROW_SHAFT=false");
  EXPECT_EQ(Enabled(kConditional), (S{"ARROW_SHAFT", "ARROW_POINT_ANGLE"}));
  EXPECT_EQ(Enabled({"ARROW_BARB_SWEEP"}).size(), 1u);  // unlike the three floats beside it

  Set("ARROW_CHEVRON=1");
  Set("ARROW_ROUND_CORNERS=1");
  Set("ARROW_CLONE_ON_SPLINE=1");
  EXPECT_EQ(Enabled({"ARROW_CHEVRON_SQUARE_ENDS", "ARROW_CHEVRON_DEPTH", "ARROW_CORNER_RADIUS",
                     "ARROW_CORNER_OPTION", "ARROW_CLONE_SPLINE", "ARROW_CLONE_ALIGN",
                     "ARROW_CLONE_RATE"})
                .size(),
            7u);

  const std::vector<std::string> points = {"ARROW_POINT_COUNT", "ARROW_POINT_ANGLE",
                                           "ARROW_POINT_MAX_LENGTH"};
  const std::map<int, S> byInterpolation = {
      {0, {}},
      {1, {"ARROW_POINT_COUNT"}},
      {2, {"ARROW_POINT_COUNT"}},
      {3, {"ARROW_POINT_ANGLE"}},
      {4, {"ARROW_POINT_ANGLE", "ARROW_POINT_MAX_LENGTH"}},
      {5, {}}};
  for (const auto& [interpolation, enabled] : byInterpolation) {
    Set("ARROW_POINT_INTERPOLATION=" + std::to_string(interpolation));
    EXPECT_EQ(Enabled(points), enabled) << "interpolation " << interpolation;
  }
}

TEST_P(ArrowParams, BadSettingsAreRefusedByName) {
  std::string error;
  EXPECT_FALSE(session_->ApplySetting(arrow_, "ARROW_NO_SUCH=1", &error));
  EXPECT_NE(error.find("ARROW_NO_SUCH"), std::string::npos);
  EXPECT_FALSE(session_->ApplySetting(arrow_, "ARROW_SHAFT=maybe", &error));
  EXPECT_NE(error.find("ARROW_SHAFT"), std::string::npos);
  EXPECT_FALSE(session_->ApplySetting(arrow_, "ARROW_SHAFT_LENGTH=12x", &error));
  EXPECT_FALSE(session_->ApplySetting(arrow_, "ARROW_CLONE_COUNT=3.5", &error));
  EXPECT_FALSE(session_->ApplySetting(arrow_, "ARROW_CLONE_COUNT=99999999999", &error));
  EXPECT_FALSE(session_->ApplySetting(arrow_, "=3", &error));
  // Numeric IDs of the release are accepted.
  const std::string id = std::to_string(Id("ARROW_SHAFT_LENGTH"));
  EXPECT_TRUE(session_->ApplySetting(arrow_, id + "=250", &error)) << error;
  EXPECT_EQ(arrow_->Data().Find(Id("ARROW_SHAFT_LENGTH"))->f, 250.0);
}

// The arrow's class, called as the host calls it, with a null in place of
// each argument it cannot do without (and a record it never handed out):
// every call answers the failure value and reaches neither the arrow nor the
// host's allocator, and the host sees no misuse. With every argument in
// place the same calls reach the arrow.
TEST_P(ArrowParams, ClassCallbacksRefuseNullArguments) {
  const host::ObjectPlugin* plugin = host::FindObjectPlugin(ID_TOLVANE);
  ASSERT_NE(plugin, nullptr);
  const ha_object_plugin_class& cls = plugin->cls;
  const ha_nodedata data = arrow_->NodeData();
  const ha_object op = arrow_->Handle();
  ASSERT_NE(data, nullptr);
  ha_descid descid{};
  descid.depth = 1;
  descid.level[0].id = Id("ARROW_POINT_ANGLE");  // enabled by default
  const ha_data value = host::NewDataHandle(host::Value());
  const long allocations = host::Failures().AllocationsCounted();

  int notARecord = 0;
  EXPECT_EQ(cls.alloc(nullptr), nullptr);
  EXPECT_EQ(cls.alloc(&notARecord), nullptr);
  cls.free(nullptr);
  EXPECT_EQ(cls.init(nullptr, op), 0);
  EXPECT_EQ(cls.init(data, nullptr), 0);
  EXPECT_EQ(cls.message(nullptr, op, HA_MSG_UPDATE, nullptr), 0);
  EXPECT_EQ(cls.get_d_enabling(nullptr, op, &descid, value, 0, nullptr), 0);
  EXPECT_EQ(cls.get_d_enabling(data, nullptr, &descid, value, 0, nullptr), 0);
  EXPECT_EQ(cls.get_d_enabling(data, op, nullptr, value, 0, nullptr), 0);
  EXPECT_EQ(cls.get_d_enabling(data, op, &descid, nullptr, 0, nullptr), 0);
  EXPECT_EQ(cls.get_contour(nullptr, op, nullptr, 1.0, nullptr), nullptr);
  EXPECT_EQ(cls.get_contour(data, nullptr, nullptr, 1.0, nullptr), nullptr);
  EXPECT_EQ(host::Failures().AllocationsCounted(), allocations);

  EXPECT_EQ(cls.get_d_enabling(data, op, &descid, value, 0, nullptr), 1);
  EXPECT_EQ(cls.message(data, op, HA_MSG_UPDATE, nullptr), 1);
  host::FreeDataHandle(value);
  ha_nodedata made = cls.alloc(cls.user);
  EXPECT_NE(made, nullptr);
  cls.free(made);
}

}  // namespace
