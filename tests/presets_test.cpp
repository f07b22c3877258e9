// Preset files through the arrow's load and save buttons, in both releases:
// the exact bytes, moving files between releases, damaged files, cancelled
// dialogs, and failures at every step.
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <vector>

#include "files.h"
#include "fixture.h"
#include "plugin_folders.h"

namespace {

namespace fs = std::filesystem;
using host::Json;
using testkit::ExpectCleanShutdown;
using testkit::ReadFileBytes;
using testkit::TempDir;

// Builds the bytes of a preset file item by item, big-endian.
struct Bytes {
  std::string b;
  Bytes& Int(int32_t v) {
    const uint32_t u = static_cast<uint32_t>(v);
    for (int shift = 24; shift >= 0; shift -= 8) b.push_back(static_cast<char>((u >> shift) & 0xff));
    return *this;
  }
  Bytes& Str(const std::string& s) {
    Int(static_cast<int32_t>(s.size() + 1));
    b += s;
    b.push_back('\0');
    return *this;
  }
  Bytes& F32(float f) {
    uint32_t u = 0;
    std::memcpy(&u, &f, 4);
    return Int(static_cast<int32_t>(u));
  }
  Bytes& Flag(bool v) {
    b.push_back(v ? 1 : 0);
    return *this;
  }
};

// Items 11 to 26 of a default arrow.
Bytes& DefaultTail(Bytes& x) {
  return x.Flag(true).F32(400).F32(100).F32(0).F32(0).F32(0).Flag(false).F32(100).F32(50).F32(50)
      .Int(0).Flag(false).Int(3).Int(8).F32(static_cast<float>(0.08726646259971647)).F32(5)
      .Str("# End of parameters");
}

// A default arrow's preset file of a version line.
std::string DefaultPreset(const std::string& version, const std::string& name = "") {
  Bytes x;
  x.Str("# Tolvane preset file").Str(version).Str("# Start of parameters").Str(name);
  x.F32(100).F32(50).F32(0).Flag(false).Flag(false).F32(50);
  x.Flag(false).F32(400).F32(100);
  DefaultTail(x);
  return x.b;
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

class Presets : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override { Open(session_, GetParam()); }
  void TearDown() override {
    if (session_) ExpectCleanShutdown(session_->GetHost());
  }

  void Open(std::unique_ptr<host::Session>& s, int release, const std::string& folder = "") {
    s = std::make_unique<host::Session>(host::SessionOptions{release, folder, 0});
    std::string error;
    ASSERT_TRUE(s->Open(&error)) << error;
    arrow_ = s->NewArrow(false, &error);
    ASSERT_NE(arrow_, nullptr) << error;
  }
  void Set(const std::string& assignment) {
    std::string error;
    ASSERT_TRUE(session_->ApplySetting(arrow_, assignment, &error)) << error;
  }
  Json Values() { return session_->ParamsJson(arrow_)["params"]; }
  Json Value(const std::string& name) {
    for (const Json& p : Values())
      if (p["name"] == name) return p["value"];
    ADD_FAILURE() << "no parameter " << name;
    return nullptr;
  }
  bool Save(const std::string& path, std::string* written = nullptr) {
    std::string error;
    return session_->SavePreset(arrow_, path, written, &error);
  }
  bool Load(const std::string& path) {
    std::string error;
    return session_->LoadPreset(arrow_, path, &error);
  }
  std::string LastDialogStart() {
    const auto& shown = host::DialogsShown();
    return shown.empty() ? std::string() : shown.back().start;
  }

  std::unique_ptr<host::Session> session_;
  host::Object* arrow_ = nullptr;
  TempDir tmp_;
};
INSTANTIATE_TEST_SUITE_P(Both, Presets, ::testing::Values(16, 12));

TEST_P(Presets, DefaultArrowWithEmptyNameIsTheExpectedFileByteForByte) {
  std::string written;
  ASSERT_TRUE(Save(tmp_.File("plain"), &written));
  EXPECT_EQ(written, tmp_.File("plain.tlv"));
  const std::string bytes = ReadFileBytes(written);
  const std::string version = GetParam() == 16 ? "# Version 1.3" : "# Version 1.2";
  EXPECT_EQ(bytes.size(), 181u);
  EXPECT_EQ(bytes, DefaultPreset(version));
  // The dialog and the open were asked for as the host's file layer expects.
  const auto& dialog = host::DialogsShown().back();
  EXPECT_EQ(dialog.mode, HA_FILESELECT_SAVE);
  EXPECT_EQ(dialog.type, 0);
  EXPECT_EQ(dialog.title, "");
  EXPECT_EQ(fs::path(dialog.start).filename().string(), "*.tlv");
  bool sawOpen = false;
  for (const auto& open : host::FilesOpened()) {
    if (open.mode != HA_FILEOPEN_WRITE || !open.succeeded) continue;
    sawOpen = true;
    EXPECT_EQ(open.order, HA_BYTEORDER_MOTOROLA);
    EXPECT_EQ(open.errorDialog, 2);
    EXPECT_EQ(open.type, 0x43344443);
    EXPECT_EQ(open.creator, 0x43344431);
  }
  EXPECT_TRUE(sawOpen);
  // No temporary file is left beside the preset.
  EXPECT_EQ(std::distance(fs::directory_iterator(tmp_.Path()), fs::directory_iterator()), 1);
}

TEST_P(Presets, SaveGivesTheSuffixTlv) {
  for (const std::string name : {"arrow", "arrow.txt", "arrow.TLV", "arrow.tlv"}) {
    std::string written;
    ASSERT_TRUE(Save(tmp_.File(name), &written)) << name;
    const std::string expected = name == "arrow.TLV" ? name : "arrow.tlv";
    EXPECT_EQ(fs::path(written).filename().string(), expected) << name;
    EXPECT_TRUE(fs::exists(tmp_.File(expected)));
  }
}

TEST_P(Presets, ValuesRoundTripAsSinglePrecision) {
  Set("ARROW_PRESET_NAME=Broad chevron");
  Set("ARROW_HEAD_LENGTH=0.1");
  Set("ARROW_CHEVRON=true");
  Set("ARROW_DOUBLE_HEADED=true");
  Set("ARROW_DOUBLE_SHAFT_WIDTH=33.3");
  Set("ARROW_PLANE=2");
  Set("ARROW_REVERSE=true");
  Set("ARROW_POINT_INTERPOLATION=1");
  Set("ARROW_POINT_COUNT=-7");
  // Not part of a preset: must survive a load untouched.
  Set("ARROW_ROUND_CORNERS=true");
  Set("ARROW_CLONE_COUNT=9");
  ASSERT_TRUE(Save(tmp_.File("rt.tlv")));
  const Json saved = Values();

  std::string error;
  ASSERT_TRUE(session_->PressButton(arrow_, "ARROW_RESET", &error)) << error;
  Set("ARROW_ROUND_CORNERS=false");
  Set("ARROW_CLONE_COUNT=4");
  ASSERT_TRUE(Load(tmp_.File("rt.tlv")));
  EXPECT_EQ(Value("ARROW_HEAD_LENGTH"), 0.10000000149011612);
  EXPECT_EQ(Value("ARROW_DOUBLE_SHAFT_WIDTH"), static_cast<double>(33.3f));
  EXPECT_EQ(Value("ARROW_PRESET_NAME"), "Broad chevron");
  EXPECT_EQ(Value("ARROW_PLANE"), 2);
  EXPECT_EQ(Value("ARROW_REVERSE"), true);
  EXPECT_EQ(Value("ARROW_POINT_COUNT"), -7);
  EXPECT_EQ(Value("ARROW_DOUBLE_HEADED"), true);
  EXPECT_EQ(Value("ARROW_ROUND_CORNERS"), false);
  EXPECT_EQ(Value("ARROW_CLONE_COUNT"), 4);
  for (const char* name : {"ARROW_SHAFT_LENGTH", "ARROW_CHEVRON", "ARROW_POINT_INTERPOLATION",
                           "ARROW_POINT_ANGLE"}) {
    for (const Json& p : saved)
      if (p["name"] == name) {
        const Json& v = p["value"];
        EXPECT_EQ(Value(name),
                  v.is_number_float() ? Json(static_cast<double>(static_cast<float>(v.get<double>()))) : v)
            << name;
      }
  }
}

TEST_P(Presets, LoadRecordsOneUndoStepForTheArrowBeforeTheChange) {
  Set("ARROW_SHAFT_LENGTH=123");
  ASSERT_TRUE(Save(tmp_.File("u.tlv")));
  Set("ARROW_SHAFT_LENGTH=456");
  host::Document* doc = session_->Doc();
  const std::size_t steps = doc->UndoSteps().size();
  ASSERT_TRUE(Load(tmp_.File("u.tlv")));
  ASSERT_EQ(doc->UndoSteps().size(), steps + 1);
  const auto& entries = doc->UndoSteps().back().entries;
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].kind, HA_UNDO_CHANGE);
  EXPECT_EQ(entries[0].object, arrow_);
  EXPECT_EQ(Value("ARROW_SHAFT_LENGTH"), 123.0);
  ASSERT_TRUE(doc->Undo());
  EXPECT_EQ(Value("ARROW_SHAFT_LENGTH"), 456.0);
}

TEST_P(Presets, CountOfZeroReadsAsAnEmptyName) {
  Set("ARROW_PRESET_NAME=old name");
  Bytes x;
  x.Str("# Tolvane preset file").Str("# Version 1.2").Str("# Start of parameters").Int(0);
  x.F32(100).F32(50).F32(0).Flag(false).Flag(false).F32(50).Flag(false).F32(400).F32(100);
  DefaultTail(x);
  WriteBytes(tmp_.File("zero.tlv"), x.b);
  ASSERT_TRUE(Load(tmp_.File("zero.tlv")));
  EXPECT_EQ(Value("ARROW_PRESET_NAME"), "");
}

TEST_P(Presets, NonAsciiNameComesBackInTheSameRelease) {
  Set("ARROW_PRESET_NAME=Pfeil \xC3\xA4\xC3\xB6\xC3\xBC \xC3\x9F");  // German umlauts
  ASSERT_TRUE(Save(tmp_.File("umlaut.tlv")));
  const std::string bytes = ReadFileBytes(tmp_.File("umlaut.tlv"));
  // Release 16 writes UTF-8, release 12 one byte a character.
  const std::string stored = GetParam() == 16 ? "Pfeil \xC3\xA4\xC3\xB6\xC3\xBC \xC3\x9F"
                                              : "Pfeil \xE4\xF6\xFC \xDF";
  EXPECT_NE(bytes.find(stored + std::string(1, '\0')), std::string::npos);
  Set("ARROW_PRESET_NAME=x");
  ASSERT_TRUE(Load(tmp_.File("umlaut.tlv")));
  EXPECT_EQ(Value("ARROW_PRESET_NAME"), "Pfeil \xC3\xA4\xC3\xB6\xC3\xBC \xC3\x9F");
}

TEST_P(Presets, VersionLineDecidesTheDoubleHeadedItems) {
  // A file of a version without the double-headed items: items 11 on follow
  // item 7 directly.
  Bytes old;
  old.Str("# Tolvane preset file").Str("# Version 1.1").Str("# Start of parameters").Str("old");
  old.F32(80).F32(40).F32(5).Flag(true).Flag(false).F32(20);
  old.Flag(true).F32(321).F32(77).F32(10).F32(0).F32(0).Flag(false).F32(100).F32(50).F32(50)
      .Int(1).Flag(false).Int(2).Int(6).F32(0.5f).F32(7).Str("# End of parameters");
  WriteBytes(tmp_.File("v11.tlv"), old.b);
  Set("ARROW_DOUBLE_HEADED=true");
  Set("ARROW_DOUBLE_SHAFT_LENGTH=1");
  Set("ARROW_DOUBLE_SHAFT_WIDTH=2");
  ASSERT_TRUE(Load(tmp_.File("v11.tlv")));
  EXPECT_EQ(Value("ARROW_DOUBLE_HEADED"), false);
  EXPECT_EQ(Value("ARROW_DOUBLE_SHAFT_LENGTH"), 400.0);
  EXPECT_EQ(Value("ARROW_DOUBLE_SHAFT_WIDTH"), 100.0);
  EXPECT_EQ(Value("ARROW_SHAFT_LENGTH"), 321.0);
  EXPECT_EQ(Value("ARROW_SHAFT_WIDTH"), 77.0);
  EXPECT_EQ(Value("ARROW_TAIL_NOTCH"), 10.0);
  EXPECT_EQ(Value("ARROW_PLANE"), 1);
  EXPECT_EQ(Value("ARROW_POINT_MAX_LENGTH"), 7.0);
  EXPECT_EQ(Value("ARROW_CHEVRON"), true);
}

// Every release reads every release's file of the same arrow into the same
// values, a non-ASCII preset name included: version 1.3 files hold the name
// in UTF-8, version 1.2 files in the host's 8-bit encoding (Windows-1252).
TEST(PresetsAcrossReleases, EachReleaseReadsEachReleasesFileIntoTheSameValues) {
  TempDir tmp;
  const std::string name = "Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC";  // "Grüße €": all in Windows-1252
  const std::vector<std::string> sets = {
      "ARROW_PRESET_NAME=" + name, "ARROW_DOUBLE_HEADED=true", "ARROW_DOUBLE_SHAFT_LENGTH=250",
      "ARROW_DOUBLE_SHAFT_WIDTH=70", "ARROW_SHAFT_LENGTH=600", "ARROW_HEAD_LENGTH=60",
      "ARROW_CHEVRON=true", "ARROW_FLETCHING=true", "ARROW_PLANE=2",
      "ARROW_POINT_INTERPOLATION=1", "ARROW_REVERSE=true"};
  // The 26 values of the arrow, by name; the same names in both releases.
  const auto presetValues = [](host::Session& s, host::Object* arrow) {
    Json values = Json::object();
    const Json all = s.ParamsJson(arrow);
    for (const Json& p : all["params"]) {
      const std::string n = p["name"];
      if (n.find("CORNER") == std::string::npos && n.find("EXTRUDE") == std::string::npos &&
          n.find("CLONE") == std::string::npos && n.find("WRAP") == std::string::npos)
        values[n] = p["value"];
    }
    return values;
  };
  std::map<int, std::string> files;
  Json expected;
  for (int release : {16, 12}) {
    host::Session s({release, "", 0});
    std::string error;
    ASSERT_TRUE(s.Open(&error)) << error;
    host::Object* arrow = s.NewArrow(false, &error);
    for (const std::string& set : sets) ASSERT_TRUE(s.ApplySetting(arrow, set, &error)) << error;
    files[release] = tmp.File("twin" + std::to_string(release) + ".tlv");
    ASSERT_TRUE(s.SavePreset(arrow, files[release], nullptr, &error)) << error;
    ExpectCleanShutdown(s.GetHost());
  }

  // The files differ in the version digit and in the name's bytes only.
  const std::string a = ReadFileBytes(files[16]);
  const std::string b = ReadFileBytes(files[12]);
  const std::string nameIn12 = "Gr\xFC\xDF" "e \x80";
  const std::size_t at = 26 + 18 + 26;  // item 1 follows the three header lines
  EXPECT_EQ(a.substr(0, at), std::string(b.substr(0, at)).replace(26 + 4 + 12, 1, "3"));
  EXPECT_EQ(a.substr(at + 4, name.size()), name);
  EXPECT_EQ(b.substr(at + 4, nameIn12.size()), nameIn12);
  EXPECT_EQ(a.substr(at + 4 + name.size()), b.substr(at + 4 + nameIn12.size()));

  for (int reader : {16, 12}) {
    for (const auto& [writer, file] : files) {
      SCOPED_TRACE("release " + std::to_string(reader) + " reads the file of release " +
                   std::to_string(writer));
      host::Session s({reader, "", 0});
      std::string error;
      ASSERT_TRUE(s.Open(&error)) << error;
      host::Object* arrow = s.NewArrow(false, &error);
      ASSERT_TRUE(s.LoadPreset(arrow, file, &error)) << error;
      const Json values = presetValues(s, arrow);
      // What release 16 reads from its own file is the reference.
      if (expected.is_null()) {
        expected = values;
        ASSERT_EQ(expected.size(), 26u);
        EXPECT_EQ(expected["ARROW_PRESET_NAME"], name);
        EXPECT_EQ(expected["ARROW_DOUBLE_HEADED"], true);
        EXPECT_EQ(expected["ARROW_SHAFT_LENGTH"], 600.0);
        EXPECT_EQ(expected["ARROW_PLANE"], 2);
      }
      EXPECT_EQ(values, expected);
      ExpectCleanShutdown(s.GetHost());
    }
  }
}

// A name with characters the 8-bit encoding lacks: release 12 keeps it as
// read, and writes a stand-in '?' for each such character.
TEST(PresetsAcrossReleases, CharactersWithoutAnEightBitByteBecomeStandIns) {
  TempDir tmp;
  std::string error;
  const std::string path16 = tmp.File("arrow16.tlv"), path12 = tmp.File("arrow12.tlv");
  {
    host::Session s({16, "", 0});
    ASSERT_TRUE(s.Open(&error)) << error;
    host::Object* arrow = s.NewArrow(false, &error);
    ASSERT_TRUE(s.ApplySetting(arrow, "ARROW_PRESET_NAME=\xC3\xA9\xE2\x86\x92x", &error));  // é→x
    ASSERT_TRUE(s.SavePreset(arrow, path16, nullptr, &error)) << error;
    ExpectCleanShutdown(s.GetHost());
  }
  {
    host::Session s({12, "", 0});
    ASSERT_TRUE(s.Open(&error)) << error;
    host::Object* arrow = s.NewArrow(false, &error);
    ASSERT_TRUE(s.LoadPreset(arrow, path16, &error)) << error;
    EXPECT_EQ(arrow->Data().Find(10065)->AsString(), "\xC3\xA9\xE2\x86\x92x");
    ASSERT_TRUE(s.SavePreset(arrow, path12, nullptr, &error)) << error;
    EXPECT_NE(ReadFileBytes(path12).find(std::string("\0\0\0\4\xE9?x\0", 8)), std::string::npos);
    ExpectCleanShutdown(s.GetHost());
  }
}

TEST_P(Presets, EveryTruncationLeavesTheArrowUnchangedAndMovesTheFolder) {
  const std::string full = DefaultPreset(GetParam() == 16 ? "# Version 1.3" : "# Version 1.2", "cut");
  fs::create_directory(tmp_.File("sub"));
  const std::string path = tmp_.File("sub/cut.tlv");
  Set("ARROW_SHAFT_LENGTH=777");
  Set("ARROW_PRESET_NAME=mine");
  const Json before = Values();
  // Items 2 to 26 end 24 bytes before the end; any shorter file fails.
  const std::size_t needed = full.size() - 24;
  for (std::size_t length = 0; length < needed; ++length) {
    WriteBytes(path, full.substr(0, length));
    EXPECT_FALSE(Load(path)) << "length " << length;
    ASSERT_EQ(Values(), before) << "length " << length;
    // The next dialog starts in the folder of the file picked last.
    host::ClearDialogQueue();
    host::QueueDialogCancel();
    std::string error;
    session_->PressButton(arrow_, "ARROW_LOAD_PRESET", &error);
    EXPECT_EQ(fs::path(LastDialogStart()).parent_path(), fs::path(tmp_.File("sub")));
  }
  // The closing line is never read.
  WriteBytes(path, full.substr(0, needed));
  EXPECT_TRUE(Load(path));
  EXPECT_EQ(Value("ARROW_PRESET_NAME"), "cut");
}

TEST_P(Presets, StringCountsBeyondTheFileFailWithoutAllocating) {
  Set("ARROW_PRESET_NAME=mine");
  const Json before = Values();
  for (int32_t count : {-1, -2147483647 - 1, 1000, 2147483647}) {
    Bytes x;
    x.Str("# Tolvane preset file").Str("# Version 1.2").Str("# Start of parameters").Int(count);
    x.F32(100).F32(50).F32(0).Flag(false).Flag(false).F32(50).Flag(false).F32(400).F32(100);
    DefaultTail(x);
    WriteBytes(tmp_.File("count.tlv"), x.b);
    EXPECT_FALSE(Load(tmp_.File("count.tlv"))) << count;
    EXPECT_EQ(Values(), before) << count;
  }
}

TEST_P(Presets, CancelledDialogsChangeNothing) {
  Set("ARROW_SHAFT_LENGTH=555");
  const Json before = Values();
  const std::size_t steps = session_->Doc()->UndoSteps().size();
  std::string error;
  host::QueueDialogCancel();
  ASSERT_TRUE(session_->PressButton(arrow_, "ARROW_SAVE_PRESET", &error));
  host::QueueDialogCancel();
  ASSERT_TRUE(session_->PressButton(arrow_, "ARROW_LOAD_PRESET", &error));
  const std::string start = LastDialogStart();
  host::QueueDialogCancel();
  ASSERT_TRUE(session_->PressButton(arrow_, "ARROW_LOAD_PRESET", &error));
  EXPECT_EQ(LastDialogStart(), start);  // the preset folder did not move
  EXPECT_EQ(Values(), before);
  EXPECT_EQ(session_->Doc()->UndoSteps().size(), steps);
  EXPECT_TRUE(host::FilesOpened().empty());
}

// A load or save whose button press fails (here: the plug-in is not loaded
// yet, so there is no button to press) must not leave its answer queued: the
// next dialog, the arrow's own load or save, would take it and load or write
// that file.
TEST(PresetDialogs, AFailedPressLeavesNoAnswerForTheNextDialog) {
  TempDir tmp;
  host::Session s(host::SessionOptions{16, "", 0});
  std::string error;
  const std::string never = tmp.File("never.tlv");
  EXPECT_FALSE(s.LoadPreset(nullptr, s.FindPreset("classic"), &error));
  EXPECT_FALSE(s.SavePreset(nullptr, never, nullptr, &error));
  ASSERT_TRUE(s.Open(&error)) << error;
  host::Object* arrow = s.NewArrow(false, &error);
  ASSERT_NE(arrow, nullptr) << error;
  const Json before = s.ParamsJson(arrow);
  ASSERT_TRUE(s.PressButton(arrow, "ARROW_LOAD_PRESET", &error)) << error;
  ASSERT_TRUE(s.PressButton(arrow, "ARROW_SAVE_PRESET", &error)) << error;
  EXPECT_EQ(s.ParamsJson(arrow), before);
  EXPECT_TRUE(host::FilesOpened().empty());
  EXPECT_FALSE(std::filesystem::exists(never));
  ExpectCleanShutdown(s.GetHost());
}

TEST_P(Presets, DialogsStartInThePresetsFolderOrThePluginFolder) {
  const std::string withPresets = (fs::path(host::PluginFolder(GetParam())) / "presets" / "*.tlv").string();
  std::string error;
  host::QueueDialogCancel();
  session_->PressButton(arrow_, "ARROW_LOAD_PRESET", &error);
  EXPECT_EQ(LastDialogStart(), withPresets);
  host::QueueDialogCancel();
  session_->PressButton(arrow_, "ARROW_SAVE_PRESET", &error);
  EXPECT_EQ(LastDialogStart(), withPresets);
  ExpectCleanShutdown(session_->GetHost());

  const std::string folder = testkit::CopyPluginFolder(GetParam(), tmp_.Path(), true, false);
  Open(session_, GetParam(), folder);
  host::QueueDialogCancel();
  session_->PressButton(arrow_, "ARROW_LOAD_PRESET", &error);
  EXPECT_EQ(LastDialogStart(), (fs::path(folder) / "*.tlv").string());
  host::QueueDialogCancel();
  session_->PressButton(arrow_, "ARROW_SAVE_PRESET", &error);
  EXPECT_EQ(LastDialogStart(), (fs::path(folder) / "*.tlv").string());
}

// A failed allocation or file operation at any step of a save leaves an
// existing preset of that name as it was and leaks nothing.
TEST_P(Presets, FailureAtEveryStepOfASaveKeepsTheExistingPreset) {
  const std::string path = tmp_.File("keep.tlv");
  const std::string existing = "an existing preset the user wants to keep";
  Set("ARROW_PRESET_NAME=new");
  ASSERT_TRUE(Save(tmp_.File("reference.tlv")));
  const std::string complete = ReadFileBytes(tmp_.File("reference.tlv"));
  fs::remove(tmp_.File("reference.tlv"));
  for (int kind = 0; kind < 2; ++kind) {
    for (long nth = 1;; ++nth) {
      WriteBytes(path, existing);
      host::FailurePlan& plan = session_->GetHost().Failures();
      plan.Reset();
      if (kind == 0) plan.FailAllocation(nth);
      else plan.FailFileOperation(nth);
      host::QueueDialogAnswer(path);
      std::string error;
      ASSERT_TRUE(session_->PressButton(arrow_, "ARROW_SAVE_PRESET", &error));
      host::ClearDialogQueue();
      const bool injected = kind == 0 ? plan.AllocationFailuresInjected() > 0
                                      : plan.FileFailuresInjected() > 0;
      plan.Reset();
      if (!injected) {
        EXPECT_EQ(ReadFileBytes(path), complete);
        break;
      }
      // Either the save went through completely (the failure hit something it
      // could do without) or the existing preset is untouched.
      const std::string now = ReadFileBytes(path);
      EXPECT_TRUE(now == existing || now == complete)
          << (kind == 0 ? "allocation " : "file operation ") << nth;
      EXPECT_EQ(std::distance(fs::directory_iterator(tmp_.Path()), fs::directory_iterator()), 1)
          << "a temporary file was left behind";
      ASSERT_LT(nth, 500);
    }
  }
}

TEST_P(Presets, FailureAtEveryStepOfALoadAppliesNothing) {
  Set("ARROW_PRESET_NAME=saved");
  Set("ARROW_HEAD_LENGTH=42");
  ASSERT_TRUE(Save(tmp_.File("l.tlv")));
  std::string error;
  ASSERT_TRUE(session_->PressButton(arrow_, "ARROW_RESET", &error));
  const Json before = Values();
  for (int kind = 0; kind < 2; ++kind) {
    for (long nth = 1;; ++nth) {
      host::FailurePlan& plan = session_->GetHost().Failures();
      plan.Reset();
      if (kind == 0) plan.FailAllocation(nth);
      else plan.FailFileOperation(nth);
      const bool loaded = Load(tmp_.File("l.tlv"));
      const bool injected = kind == 0 ? plan.AllocationFailuresInjected() > 0
                                      : plan.FileFailuresInjected() > 0;
      plan.Reset();
      if (!injected) {
        EXPECT_TRUE(loaded);
        EXPECT_EQ(Value("ARROW_HEAD_LENGTH"), 42.0);
        ASSERT_TRUE(session_->PressButton(arrow_, "ARROW_RESET", &error));
        break;
      }
      if (!loaded) {
        EXPECT_EQ(Values(), before) << (kind == 0 ? "allocation " : "file operation ") << nth;
      } else {
        // A failure that did not touch the load itself (a message text, say).
        EXPECT_EQ(Value("ARROW_HEAD_LENGTH"), 42.0);
        ASSERT_TRUE(session_->PressButton(arrow_, "ARROW_RESET", &error));
      }
      ASSERT_LT(nth, 500);
    }
  }
}

}  // namespace

namespace {

// The example presets that ship beside the module load in both releases and
// give the same outline there.
TEST(ShippedPresets, LoadInBothReleasesToTheSameOutline) {
  const fs::path dir = fs::path(TOLVANE_SOURCE_DIR) / "presets";
  int count = 0;
  for (const auto& entry : fs::directory_iterator(dir)) {
    if (entry.path().extension() != ".tlv") continue;
    ++count;
    std::map<int, Json> contours;
    std::map<int, std::string> names;
    for (int release : {16, 12}) {
      host::Session s({release, "", 0});
      std::string error;
      ASSERT_TRUE(s.Open(&error)) << error;
      host::Object* arrow = s.NewArrow(false, &error);
      ASSERT_TRUE(s.LoadPreset(arrow, entry.path().string(), &error)) << error;
      contours[release] = s.ContourJson(arrow)["points"];
      names[release] = arrow->Data().Find(s.FindParam("ARROW_PRESET_NAME")->id)->AsString();
      ExpectCleanShutdown(s.GetHost());
    }
    EXPECT_EQ(contours[16], contours[12]) << entry.path();
    EXPECT_EQ(names[16], names[12]);
    EXPECT_FALSE(names[16].empty()) << entry.path() << " has no preset name";
  }
  EXPECT_GE(count, 5);
}

}  // namespace
