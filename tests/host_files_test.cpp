// Tests of the host's file layer, calling the functions of its suite the way
// the module does.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "core.h"
#include "fixture.h"
#include "files.h"
#include "host.h"
#include "suites.h"

namespace {

namespace fs = std::filesystem;

using Bytes = std::vector<unsigned char>;

const ha_file_suite& S() { return *host::FileSuite(); }

#ifdef _WIN32
const std::string kSep = "\\";
#else
const std::string kSep = "/";
#endif

// Reads a text the suite answered and gives it back, as the module does.
std::string Take(ha_text text) {
  EXPECT_NE(text, nullptr);
  if (text == nullptr) return "<null>";
  EXPECT_TRUE(host::Texts().Has(text));
  const host::Text* t = reinterpret_cast<const host::Text*>(text);
  std::string value = t->value;
  host::Texts().Remove(t);
  delete t;
  return value;
}

Bytes ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteAll(const fs::path& p, const Bytes& bytes) {
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

constexpr int32_t kTypeCode = 0x43344443;
constexpr int32_t kCreatorCode = 0x43344431;

class FileLayer : public ::testing::Test {
 protected:
  // A fresh host: its own file layer, dialog queue, failure plan and logs.
  host::Host host_;

  void SetUp() override {
    textsBefore_ = host::Texts().Size();
    filesBefore_ = host::OpenFileCount();
  }

  void TearDown() override {
    EXPECT_EQ(host::OpenFileCount(), filesBefore_) << "file objects leaked";
    host::FreeAllFiles();
  }

  std::string PathOf(const std::string& name) const { return (dir_ / name).string(); }

  // A file object opened on `name`; the test frees it.
  ha_file Open(const std::string& name, int32_t mode, int32_t order) {
    ha_file f = S().file_alloc();
    EXPECT_NE(f, nullptr);
    EXPECT_EQ(S().file_open(f, PathOf(name).c_str(), mode, 2, order, kTypeCode, kCreatorCode), 1);
    return f;
  }

  // Writes `bytes` to `name` and opens it for reading.
  ha_file OpenBytes(const std::string& name, const Bytes& bytes,
                    int32_t order = HA_BYTEORDER_MOTOROLA) {
    WriteAll(dir_ / name, bytes);
    return Open(name, HA_FILEOPEN_READ, order);
  }

  int64_t Position(ha_file f) const {
    auto state = host::FileInfo(f);
    return state ? state->position : -100;
  }

  testkit::TempDir tmp_;
  const fs::path dir_ = fs::u8path(tmp_.Path());
  std::size_t textsBefore_ = 0;
  std::size_t filesBefore_ = 0;
};

// ---------------------------------------------------------------------------

TEST(FileSuiteTable, EveryMemberIsFilled) {
  const ha_file_suite& s = S();
  EXPECT_EQ(s.size, sizeof(ha_file_suite));
  const void* members[] = {
      reinterpret_cast<const void*>(s.name_join),     reinterpret_cast<const void*>(s.name_directory),
      reinterpret_cast<const void*>(s.name_file),     reinterpret_cast<const void*>(s.name_set_suffix),
      reinterpret_cast<const void*>(s.name_check_suffix), reinterpret_cast<const void*>(s.exists),
      reinterpret_cast<const void*>(s.file_select),   reinterpret_cast<const void*>(s.file_alloc),
      reinterpret_cast<const void*>(s.file_free),     reinterpret_cast<const void*>(s.file_open),
      reinterpret_cast<const void*>(s.file_close),    reinterpret_cast<const void*>(s.file_length),
      reinterpret_cast<const void*>(s.write_bool),    reinterpret_cast<const void*>(s.write_int32),
      reinterpret_cast<const void*>(s.write_float32), reinterpret_cast<const void*>(s.write_string),
      reinterpret_cast<const void*>(s.write_byte),    reinterpret_cast<const void*>(s.read_bool),
      reinterpret_cast<const void*>(s.read_int32),    reinterpret_cast<const void*>(s.read_float32),
      reinterpret_cast<const void*>(s.read_string),   reinterpret_cast<const void*>(s.rename),
      reinterpret_cast<const void*>(s.remove)};
  EXPECT_EQ(sizeof(members) / sizeof(members[0]),
            (sizeof(ha_file_suite) - offsetof(ha_file_suite, name_join)) / sizeof(void*));
  for (std::size_t i = 0; i < sizeof(members) / sizeof(members[0]); ++i) {
    EXPECT_NE(members[i], nullptr) << "member " << i;
  }
}

// ---------------------------------------------------------------------------
// File names

TEST_F(FileLayer, JoinPutsOneSeparatorBetweenDirectoryAndName) {
  EXPECT_EQ(Take(S().name_join("", "arrow.tlv")), "arrow.tlv");
  EXPECT_EQ(Take(S().name_join(nullptr, "arrow.tlv")), "arrow.tlv");
  EXPECT_EQ(Take(S().name_join("plug", "presets")), "plug" + kSep + "presets");
  EXPECT_EQ(Take(S().name_join(("plug" + kSep).c_str(), "presets")), "plug" + kSep + "presets");
  EXPECT_EQ(Take(S().name_join("plug", (kSep + "presets").c_str())), "plug" + kSep + "presets");
  EXPECT_EQ(Take(S().name_join("/", "etc")), "/etc");
  EXPECT_EQ(Take(S().name_join("a/b", "*.tlv")), "a/b" + kSep + "*.tlv");
  // Joining an empty name marks the directory: its last part is empty.
  EXPECT_EQ(Take(S().name_join("plug", "")), "plug" + kSep);
  EXPECT_EQ(Take(S().name_join("", "")), "");
  EXPECT_EQ(host::Texts().Size(), textsBefore_);
}

TEST_F(FileLayer, DirectoryAndLastPartSplitAtTheLastSeparator) {
  EXPECT_EQ(Take(S().name_directory("arrow.tlv")), "");
  EXPECT_EQ(Take(S().name_file("arrow.tlv")), "arrow.tlv");
  EXPECT_EQ(Take(S().name_directory("a/b/arrow.tlv")), "a/b");
  EXPECT_EQ(Take(S().name_file("a/b/arrow.tlv")), "arrow.tlv");
  EXPECT_EQ(Take(S().name_directory("/arrow.tlv")), "/");
  EXPECT_EQ(Take(S().name_file("/arrow.tlv")), "arrow.tlv");
  EXPECT_EQ(Take(S().name_directory("a//b")), "a");
  EXPECT_EQ(Take(S().name_directory("a/b/")), "a/b");
  EXPECT_EQ(Take(S().name_file("a/b/")), "");
  EXPECT_EQ(Take(S().name_directory("/")), "/");
  EXPECT_EQ(Take(S().name_file("/")), "");
  EXPECT_EQ(Take(S().name_directory("")), "");
  EXPECT_EQ(Take(S().name_file(nullptr)), "");
  EXPECT_EQ(Take(S().name_directory("dir.d/arrow")), "dir.d");
}

TEST_F(FileLayer, JoiningDirectoryAndLastPartGivesTheNameBack) {
  const std::string names[] = {"arrow", "plug" + kSep + "presets", "/top",
                               "plug" + kSep + "presets" + kSep, "a" + kSep + "b" + kSep + "c.tlv"};
  for (const std::string& name : names) {
    const std::string dir = Take(S().name_directory(name.c_str()));
    const std::string file = Take(S().name_file(name.c_str()));
    EXPECT_EQ(Take(S().name_join(dir.c_str(), file.c_str())), name) << name;
  }
  // The way the module builds a dialog start: a directory, then the file part.
  const std::string start = Take(S().name_join("plug/presets", ""));
  const std::string withFile =
      Take(S().name_join(Take(S().name_directory(start.c_str())).c_str(), "*.tlv"));
  EXPECT_EQ(withFile, "plug/presets" + kSep + "*.tlv");
}

TEST_F(FileLayer, SetSuffixReplacesOrAddsTheSuffixOfTheLastPart) {
  EXPECT_EQ(Take(S().name_set_suffix("arrow", "tlv")), "arrow.tlv");
  EXPECT_EQ(Take(S().name_set_suffix("arrow.txt", "tlv")), "arrow.tlv");
  EXPECT_EQ(Take(S().name_set_suffix("dir.d/arrow", "tlv")), "dir.d/arrow.tlv");
  EXPECT_EQ(Take(S().name_set_suffix("dir.d/arrow.TXT", "tlv")), "dir.d/arrow.tlv");
  EXPECT_EQ(Take(S().name_set_suffix("a.b.c", "tlv")), "a.b.tlv");
  EXPECT_EQ(Take(S().name_set_suffix("arrow.", "tlv")), "arrow.tlv");
  EXPECT_EQ(Take(S().name_set_suffix("arrow.txt", ".tlv")), "arrow.tlv");
  // A dot at the start of the last part does not begin a suffix.
  EXPECT_EQ(Take(S().name_set_suffix("dir/.profile", "tlv")), "dir/.profile.tlv");
  // An empty suffix takes the suffix away.
  EXPECT_EQ(Take(S().name_set_suffix("arrow.txt", "")), "arrow");
  // A name without a last part is left as it is.
  EXPECT_EQ(Take(S().name_set_suffix("dir/", "tlv")), "dir/");
  EXPECT_EQ(Take(S().name_set_suffix("", "tlv")), "");
}

TEST_F(FileLayer, CheckSuffixIgnoresCaseAndLooksOnlyAtTheLastPart) {
  EXPECT_EQ(S().name_check_suffix("arrow.tlv", "tlv"), 1);
  EXPECT_EQ(S().name_check_suffix("arrow.TLV", "tlv"), 1);
  EXPECT_EQ(S().name_check_suffix("arrow.Tlv", "TLV"), 1);
  EXPECT_EQ(S().name_check_suffix("a/b/arrow.tlv", ".tlv"), 1);
  EXPECT_EQ(S().name_check_suffix("arrow.txt", "tlv"), 0);
  EXPECT_EQ(S().name_check_suffix("arrow", "tlv"), 0);
  EXPECT_EQ(S().name_check_suffix("arrow.tlvx", "tlv"), 0);
  EXPECT_EQ(S().name_check_suffix("arrowtlv", "tlv"), 0);
  EXPECT_EQ(S().name_check_suffix("dir.tlv/arrow", "tlv"), 0);
  EXPECT_EQ(S().name_check_suffix(".tlv", "tlv"), 0);
  EXPECT_EQ(S().name_check_suffix("arrow", ""), 1);
  EXPECT_EQ(S().name_check_suffix("arrow.tlv", ""), 0);
  EXPECT_EQ(host::Texts().Size(), textsBefore_);
}

TEST_F(FileLayer, ExistsTellsFilesFromDirectories) {
  WriteAll(dir_ / "plain", {1, 2});
  fs::create_directories(dir_ / "sub");
  EXPECT_EQ(S().exists(PathOf("plain").c_str(), 0), 1);
  EXPECT_EQ(S().exists(PathOf("plain").c_str(), 1), 0);
  EXPECT_EQ(S().exists(PathOf("sub").c_str(), 1), 1);
  EXPECT_EQ(S().exists(PathOf("sub").c_str(), 0), 0);
  EXPECT_EQ(S().exists(PathOf("missing").c_str(), 0), 0);
  EXPECT_EQ(S().exists(PathOf("missing").c_str(), 1), 0);
  EXPECT_EQ(S().exists("", 1), 0);
  EXPECT_EQ(S().exists(nullptr, 0), 0);
  // Non-ASCII names pass as UTF-8.
  const std::string accented = PathOf("pr\xC3\xA9set");
  fs::create_directories(fs::u8path(accented));
  EXPECT_EQ(S().exists(accented.c_str(), 1), 1);
}

// ---------------------------------------------------------------------------
// The file dialog

TEST_F(FileLayer, DialogTakesQueuedAnswersInOrderAndRecordsEachShowing) {
  host::QueueDialogAnswer("/p/one.tlv");
  host::QueueDialogCancel();
  host::QueueDialogAnswer("/p/two.tlv");
  EXPECT_EQ(host::QueuedDialogAnswers(), 3u);

  EXPECT_EQ(Take(S().file_select(0, HA_FILESELECT_SAVE, "", "/start/*.tlv")), "/p/one.tlv");
  EXPECT_EQ(S().file_select(0, HA_FILESELECT_LOAD, "Load", "/x/*.tlv"), nullptr);
  EXPECT_EQ(Take(S().file_select(3, HA_FILESELECT_LOAD, nullptr, nullptr)), "/p/two.tlv");
  // The queue is empty now: the dialog counts as cancelled.
  EXPECT_EQ(S().file_select(0, HA_FILESELECT_LOAD, "", "/y"), nullptr);
  EXPECT_EQ(host::Texts().Size(), textsBefore_);

  const auto& shown = host::DialogsShown();
  ASSERT_EQ(shown.size(), 4u);
  EXPECT_EQ(shown[0].type, 0);
  EXPECT_EQ(shown[0].mode, HA_FILESELECT_SAVE);
  EXPECT_EQ(shown[0].title, "");
  EXPECT_EQ(shown[0].start, "/start/*.tlv");
  EXPECT_TRUE(shown[0].answered);
  EXPECT_EQ(shown[0].answer, "/p/one.tlv");
  EXPECT_EQ(shown[1].mode, HA_FILESELECT_LOAD);
  EXPECT_EQ(shown[1].title, "Load");
  EXPECT_EQ(shown[1].start, "/x/*.tlv");
  EXPECT_FALSE(shown[1].answered);
  EXPECT_EQ(shown[1].answer, "");
  EXPECT_EQ(shown[2].type, 3);
  EXPECT_TRUE(shown[2].answered);
  EXPECT_EQ(shown[2].start, "");
  EXPECT_FALSE(shown[3].answered);

  host::ClearDialogsShown();
  EXPECT_TRUE(host::DialogsShown().empty());
}

TEST_F(FileLayer, ClearedDialogQueueCancels) {
  host::QueueDialogAnswer("/p/one.tlv");
  host::ClearDialogQueue();
  EXPECT_EQ(host::QueuedDialogAnswers(), 0u);
  EXPECT_EQ(S().file_select(0, HA_FILESELECT_LOAD, "", ""), nullptr);
  ASSERT_EQ(host::DialogsShown().size(), 1u);
  EXPECT_FALSE(host::DialogsShown()[0].answered);
}

// ---------------------------------------------------------------------------
// Opening, closing and the file object's record

TEST_F(FileLayer, OpenRecordsItsArgumentsOnTheFileAndInTheLog) {
  ha_file f = S().file_alloc();
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(host::OpenFileCount(), filesBefore_ + 1);
  auto before = host::FileInfo(f);
  ASSERT_TRUE(before.has_value());
  EXPECT_FALSE(before->open);
  EXPECT_EQ(S().file_length(f), -1);

  ASSERT_EQ(S().file_open(f, PathOf("a.tlv").c_str(), HA_FILEOPEN_WRITE, 2, HA_BYTEORDER_MOTOROLA,
                          kTypeCode, kCreatorCode),
            1);
  auto state = host::FileInfo(f);
  ASSERT_TRUE(state.has_value());
  EXPECT_TRUE(state->open);
  EXPECT_EQ(state->path, PathOf("a.tlv"));
  EXPECT_EQ(state->mode, HA_FILEOPEN_WRITE);
  EXPECT_EQ(state->errorDialog, 2);
  EXPECT_EQ(state->order, HA_BYTEORDER_MOTOROLA);
  EXPECT_EQ(state->type, kTypeCode);
  EXPECT_EQ(state->creator, kCreatorCode);

  EXPECT_EQ(S().file_close(f), 1);
  state = host::FileInfo(f);
  ASSERT_TRUE(state.has_value());
  EXPECT_FALSE(state->open);
  EXPECT_EQ(state->type, kTypeCode);  // still recorded after closing
  EXPECT_EQ(S().file_length(f), -1);
  EXPECT_EQ(S().file_close(f), 0);  // nothing left to close

  EXPECT_EQ(S().file_open(f, PathOf("missing.tlv").c_str(), HA_FILEOPEN_READ, 0,
                          HA_BYTEORDER_INTEL, 1, 2),
            0);
  S().file_free(f);
  EXPECT_FALSE(host::FileInfo(f).has_value());

  const auto& log = host::FilesOpened();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[0].path, PathOf("a.tlv"));
  EXPECT_EQ(log[0].mode, HA_FILEOPEN_WRITE);
  EXPECT_EQ(log[0].errorDialog, 2);
  EXPECT_EQ(log[0].order, HA_BYTEORDER_MOTOROLA);
  EXPECT_EQ(log[0].type, kTypeCode);
  EXPECT_EQ(log[0].creator, kCreatorCode);
  EXPECT_TRUE(log[0].succeeded);
  EXPECT_EQ(log[1].mode, HA_FILEOPEN_READ);
  EXPECT_EQ(log[1].order, HA_BYTEORDER_INTEL);
  EXPECT_FALSE(log[1].succeeded);
  EXPECT_TRUE(host::Misuses().empty());
}

TEST_F(FileLayer, WritingTruncatesAnExistingFileAndCreatesAMissingOne) {
  WriteAll(dir_ / "old.tlv", Bytes(50, 0x77));
  ha_file f = Open("old.tlv", HA_FILEOPEN_WRITE, HA_BYTEORDER_MOTOROLA);
  EXPECT_EQ(S().file_length(f), 0);
  EXPECT_EQ(S().write_byte(f, 5), 1);
  EXPECT_EQ(S().file_length(f), 1);
  EXPECT_EQ(S().file_close(f), 1);
  EXPECT_EQ(ReadAll(dir_ / "old.tlv"), Bytes({5}));

  ASSERT_FALSE(fs::exists(dir_ / "new.tlv"));
  EXPECT_EQ(S().file_open(f, PathOf("new.tlv").c_str(), HA_FILEOPEN_WRITE, 2,
                          HA_BYTEORDER_MOTOROLA, kTypeCode, kCreatorCode),
            1);
  S().file_free(f);  // closes the open file
  EXPECT_TRUE(fs::exists(dir_ / "new.tlv"));
  EXPECT_EQ(fs::file_size(dir_ / "new.tlv"), 0u);
}

TEST_F(FileLayer, OpenFailsForMissingFilesDirectoriesAndUnwritablePlaces) {
  ha_file f = S().file_alloc();
  ASSERT_NE(f, nullptr);
  fs::create_directories(dir_ / "sub");
  EXPECT_EQ(S().file_open(f, PathOf("missing").c_str(), HA_FILEOPEN_READ, 2, 1, 0, 0), 0);
  EXPECT_EQ(S().file_open(f, PathOf("sub").c_str(), HA_FILEOPEN_READ, 2, 1, 0, 0), 0);
  EXPECT_EQ(S().file_open(f, PathOf("sub").c_str(), HA_FILEOPEN_WRITE, 2, 1, 0, 0), 0);
  EXPECT_EQ(S().file_open(f, PathOf("nodir/x.tlv").c_str(), HA_FILEOPEN_WRITE, 2, 1, 0, 0), 0);
  EXPECT_EQ(S().file_open(f, "", HA_FILEOPEN_WRITE, 2, 1, 0, 0), 0);
  EXPECT_FALSE(host::FileInfo(f)->open);
  EXPECT_TRUE(host::Misuses().empty());
  S().file_free(f);
}

TEST_F(FileLayer, ReadModeLengthIsTheFileSize) {
  ha_file f = OpenBytes("seven", Bytes(7, 1));
  EXPECT_EQ(S().file_length(f), 7);
  int32_t b = 0;
  EXPECT_EQ(S().read_bool(f, &b), 1);
  EXPECT_EQ(S().file_length(f), 7);
  S().file_free(f);
}

// ---------------------------------------------------------------------------
// Item layout on disk

TEST_F(FileLayer, BigEndianItemsHaveTheirExactBytes) {
  ha_file f = Open("big.bin", HA_FILEOPEN_WRITE, HA_BYTEORDER_MOTOROLA);
  EXPECT_EQ(S().write_bool(f, 1), 1);
  EXPECT_EQ(S().write_bool(f, 0), 1);
  EXPECT_EQ(S().write_bool(f, 42), 1);
  EXPECT_EQ(S().write_int32(f, 0x01020304), 1);
  EXPECT_EQ(S().write_int32(f, -2), 1);
  EXPECT_EQ(S().write_float32(f, 1.0f), 1);
  EXPECT_EQ(S().write_float32(f, -2.5f), 1);
  EXPECT_EQ(S().write_string(f, "Ab", HA_STRINGENCODING_UTF8), 1);
  EXPECT_EQ(S().write_string(f, "", HA_STRINGENCODING_UTF8), 1);
  EXPECT_EQ(S().write_byte(f, 0xAB), 1);
  EXPECT_EQ(S().write_byte(f, 0x1FF), 1);  // only the low byte
  EXPECT_EQ(S().file_length(f), 3 + 4 + 4 + 4 + 4 + 7 + 5 + 2);
  EXPECT_EQ(S().file_close(f), 1);
  S().file_free(f);

  const Bytes expected = {1, 0, 1,                          // bools
                          0x01, 0x02, 0x03, 0x04,           // int32
                          0xFF, 0xFF, 0xFF, 0xFE,           // -2
                          0x3F, 0x80, 0x00, 0x00,           // 1.0f
                          0xC0, 0x20, 0x00, 0x00,           // -2.5f
                          0, 0, 0, 3, 'A', 'b', 0,          // "Ab"
                          0, 0, 0, 1, 0,                    // ""
                          0xAB, 0xFF};
  EXPECT_EQ(ReadAll(dir_ / "big.bin"), expected);
}

TEST_F(FileLayer, LittleEndianItemsHaveTheirExactBytes) {
  ha_file f = Open("little.bin", HA_FILEOPEN_WRITE, HA_BYTEORDER_INTEL);
  EXPECT_EQ(S().write_bool(f, 1), 1);
  EXPECT_EQ(S().write_int32(f, 0x01020304), 1);
  EXPECT_EQ(S().write_int32(f, -2), 1);
  EXPECT_EQ(S().write_float32(f, 1.0f), 1);
  EXPECT_EQ(S().write_float32(f, -2.5f), 1);
  EXPECT_EQ(S().write_string(f, "Ab", HA_STRINGENCODING_UTF8), 1);
  EXPECT_EQ(S().write_byte(f, 7), 1);
  S().file_free(f);

  const Bytes expected = {1,
                          0x04, 0x03, 0x02, 0x01,
                          0xFE, 0xFF, 0xFF, 0xFF,
                          0x00, 0x00, 0x80, 0x3F,
                          0x00, 0x00, 0x20, 0xC0,
                          3, 0, 0, 0, 'A', 'b', 0,
                          7};
  EXPECT_EQ(ReadAll(dir_ / "little.bin"), expected);
}

TEST_F(FileLayer, ItemsReadBackInTheOrderTheyWereOpenedWith) {
  for (int32_t order : {HA_BYTEORDER_MOTOROLA, HA_BYTEORDER_INTEL}) {
    SCOPED_TRACE(order);
    ha_file w = Open("round.bin", HA_FILEOPEN_WRITE, order);
    S().write_bool(w, 1);
    S().write_int32(w, -123456789);
    S().write_float32(w, 0.1f);
    S().write_string(w, "# Tolvane preset file", HA_STRINGENCODING_UTF8);
    S().write_bool(w, 0);
    S().file_free(w);

    ha_file r = Open("round.bin", HA_FILEOPEN_READ, order);
    int32_t b = -1, i = 0;
    float x = 0;
    ha_text t = nullptr;
    EXPECT_EQ(S().read_bool(r, &b), 1);
    EXPECT_EQ(b, 1);
    EXPECT_EQ(S().read_int32(r, &i), 1);
    EXPECT_EQ(i, -123456789);
    EXPECT_EQ(S().read_float32(r, &x), 1);
    EXPECT_EQ(x, 0.1f);
    EXPECT_EQ(static_cast<double>(x), 0.10000000149011612);
    EXPECT_EQ(S().read_string(r, HA_STRINGENCODING_UTF8, &t), 1);
    EXPECT_EQ(Take(t), "# Tolvane preset file");
    EXPECT_EQ(S().read_bool(r, &b), 1);
    EXPECT_EQ(b, 0);
    EXPECT_EQ(Position(r), S().file_length(r));
    EXPECT_EQ(S().read_bool(r, &b), 0);  // nothing left
    EXPECT_EQ(S().file_close(r), 1);
    S().file_free(r);
  }
}

TEST_F(FileLayer, AnyNonZeroByteReadsAsTrue) {
  ha_file f = OpenBytes("bools", {0, 1, 2, 0x80, 0xFF});
  const int32_t expected[] = {0, 1, 1, 1, 1};
  for (int32_t want : expected) {
    int32_t b = -1;
    EXPECT_EQ(S().read_bool(f, &b), 1);
    EXPECT_EQ(b, want);
  }
  S().file_free(f);
}

TEST_F(FileLayer, ReadingTakesTheByteOrderOfTheOpen) {
  const Bytes bytes = {0x01, 0x02, 0x03, 0x04};
  int32_t v = 0;
  ha_file big = OpenBytes("four", bytes, HA_BYTEORDER_MOTOROLA);
  EXPECT_EQ(S().read_int32(big, &v), 1);
  EXPECT_EQ(v, 0x01020304);
  S().file_free(big);
  ha_file little = OpenBytes("four", bytes, HA_BYTEORDER_INTEL);
  EXPECT_EQ(S().read_int32(little, &v), 1);
  EXPECT_EQ(v, 0x04030201);
  S().file_free(little);
}

// ---------------------------------------------------------------------------
// String encodings

// The host's 8-bit encoding is Windows-1252. Each row: a text in UTF-8 and
// its 8-bit bytes; rows marked `roundTrip` decode back to the same text.
TEST_F(FileLayer, EightBitEncodingIsWindows1252BothWays) {
  struct Row {
    std::string utf8;
    Bytes eightBit;
    bool roundTrip;
  };
  const Row rows[] = {
      {"A\x7F", {'A', 0x7F}, true},
      {"\xC3\xA9\xC3\xBF\xC2\xA0", {0xE9, 0xFF, 0xA0}, true},  // Latin-1 range
      {"\xE2\x82\xAC\xE2\x80\x9C\xC5\xB8\xE2\x84\xA2", {0x80, 0x93, 0x9F, 0x99}, true},  // € “ Ÿ ™
      {"\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D", {0x81, 0x8D, 0x8F, 0x90, 0x9D}, true},  // undefined five
      // Characters without a byte, a stray continuation byte and a sequence
      // cut short each become '?'.
      {"\xF0\x9F\x98\x80\xE2\x86\x92\xC2\x80\x80x\xE2\x82", {'?', '?', '?', '?', 'x', '?', '?'}, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.utf8);
    ha_file w = Open("enc.bin", HA_FILEOPEN_WRITE, HA_BYTEORDER_MOTOROLA);
    EXPECT_EQ(S().write_string(w, row.utf8.c_str(), HA_STRINGENCODING_8BIT), 1);
    S().file_free(w);
    Bytes expected = {0, 0, 0, static_cast<unsigned char>(row.eightBit.size() + 1)};
    expected.insert(expected.end(), row.eightBit.begin(), row.eightBit.end());
    expected.push_back(0);
    EXPECT_EQ(ReadAll(dir_ / "enc.bin"), expected);
    ha_file r = OpenBytes("enc.back", expected);
    ha_text t = nullptr;
    EXPECT_EQ(S().read_string(r, HA_STRINGENCODING_8BIT, &t), 1);
    const std::string back = Take(t);
    if (row.roundTrip) {
      EXPECT_EQ(back, row.utf8);
    }
    S().file_free(r);
  }
  // UTF-8 is written and read as it is.
  ha_file f = Open("utf8.bin", HA_FILEOPEN_WRITE, HA_BYTEORDER_MOTOROLA);
  S().write_string(f, "\xC3\xA9", HA_STRINGENCODING_UTF8);
  S().file_free(f);
  EXPECT_EQ(ReadAll(dir_ / "utf8.bin"), (Bytes{0, 0, 0, 3, 0xC3, 0xA9, 0}));
}

TEST_F(FileLayer, EightBitReadingTurnsEachByteIntoOneCharacter) {
  ha_file f = OpenBytes("latin", {0, 0, 0, 6, 'A', 0xE9, 0x7F, 0xFF, 0x80, 0,  // 8-bit
                                  0, 0, 0, 3, 0xC3, 0xA9, 0});                 // UTF-8
  ha_text t = nullptr;
  EXPECT_EQ(S().read_string(f, HA_STRINGENCODING_8BIT, &t), 1);
  EXPECT_EQ(Take(t), "A\xC3\xA9\x7F\xC3\xBF\xE2\x82\xAC");
  EXPECT_EQ(S().read_string(f, HA_STRINGENCODING_UTF8, &t), 1);
  EXPECT_EQ(Take(t), "\xC3\xA9");
  S().file_free(f);
}

TEST_F(FileLayer, UnknownEncodingIsRefused) {
  ha_file w = Open("enc", HA_FILEOPEN_WRITE, HA_BYTEORDER_MOTOROLA);
  EXPECT_EQ(S().write_string(w, "x", 3), 0);
  EXPECT_EQ(S().file_length(w), 0);
  S().file_free(w);
  ha_file r = OpenBytes("enc2", {0, 0, 0, 2, 'x', 0});
  ha_text t = nullptr;
  EXPECT_EQ(S().read_string(r, 1, &t), 0);
  EXPECT_EQ(t, nullptr);
  EXPECT_EQ(Position(r), 0);
  S().file_free(r);
  EXPECT_EQ(host::Misuses().size(), 2u);
}

// ---------------------------------------------------------------------------
// String counts

TEST_F(FileLayer, StringCountsZeroOneAndExact) {
  ha_file f = OpenBytes("counts", {0, 0, 0, 0,           // count 0: empty, no bytes
                                   0, 0, 0, 1, 0,        // count 1: empty
                                   0, 0, 0, 3, 'a', 'b', 'c',  // text is the first N-1 bytes
                                   0, 0, 0, 2, 'z', 0});  // exactly what is left
  ha_text t = nullptr;
  EXPECT_EQ(S().read_string(f, HA_STRINGENCODING_UTF8, &t), 1);
  EXPECT_EQ(Take(t), "");
  EXPECT_EQ(Position(f), 4);
  EXPECT_EQ(S().read_string(f, HA_STRINGENCODING_UTF8, &t), 1);
  EXPECT_EQ(Take(t), "");
  EXPECT_EQ(Position(f), 9);
  EXPECT_EQ(S().read_string(f, HA_STRINGENCODING_UTF8, &t), 1);
  EXPECT_EQ(Take(t), "ab");
  EXPECT_EQ(S().read_string(f, HA_STRINGENCODING_UTF8, &t), 1);
  EXPECT_EQ(Take(t), "z");
  EXPECT_EQ(Position(f), S().file_length(f));
  S().file_free(f);
}

TEST_F(FileLayer, NegativeOrTooLargeCountsFailAllocatingNothing) {
  struct Case {
    const char* what;
    Bytes bytes;
    int32_t count;
  };
  const Case cases[] = {
      {"negative", {0xFF, 0xFF, 0xFF, 0xFF, 'a', 0}, -1},
      {"most negative", {0x80, 0, 0, 0, 'a', 0}, INT32_MIN},
      {"one more than left", {0, 0, 0, 3, 'a', 0}, 3},
      {"huge", {0x7F, 0xFF, 0xFF, 0xFF, 'a', 0}, INT32_MAX},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ha_file f = OpenBytes("bad", c.bytes);
    ha_text t = nullptr;
    const std::size_t texts = host::Texts().Size();
    EXPECT_EQ(S().read_string(f, HA_STRINGENCODING_UTF8, &t), 0);
    EXPECT_EQ(t, nullptr);
    EXPECT_EQ(host::Texts().Size(), texts);
    // Nothing was consumed: the count can be read again as a number.
    EXPECT_EQ(Position(f), 0);
    int32_t count = 0;
    EXPECT_EQ(S().read_int32(f, &count), 1);
    EXPECT_EQ(count, c.count);
    S().file_free(f);
  }
}

TEST_F(FileLayer, TruncatedItemsFailAndConsumeNothing) {
  ha_file f = OpenBytes("short", {0x12, 0x34, 0x56});
  int32_t i = 0;
  float x = 0;
  ha_text t = nullptr;
  EXPECT_EQ(S().read_int32(f, &i), 0);
  EXPECT_EQ(S().read_float32(f, &x), 0);
  EXPECT_EQ(S().read_string(f, HA_STRINGENCODING_UTF8, &t), 0);  // count cut short
  EXPECT_EQ(t, nullptr);
  EXPECT_EQ(Position(f), 0);
  // The three bytes are still there to read one by one.
  const int32_t expected[] = {1, 1, 1};
  for (int32_t want : expected) {
    int32_t b = 0;
    EXPECT_EQ(S().read_bool(f, &b), 1);
    EXPECT_EQ(b, want);
  }
  int32_t b = 0;
  EXPECT_EQ(S().read_bool(f, &b), 0);
  EXPECT_EQ(Position(f), 3);
  S().file_free(f);

  ha_file empty = OpenBytes("empty", {});
  EXPECT_EQ(S().file_length(empty), 0);
  EXPECT_EQ(S().read_bool(empty, &b), 0);
  EXPECT_EQ(S().read_string(empty, HA_STRINGENCODING_UTF8, &t), 0);
  S().file_free(empty);
  EXPECT_EQ(host::Texts().Size(), textsBefore_);
}

#ifndef _WIN32
// A file cut short by someone else after it was opened (an open file cannot
// be cut on every system).
TEST_F(FileLayer, FileCutShortWhileOpenFailsTheReadAndConsumesNothing) {
  ha_file f = OpenBytes("shrinks", {5, 6, 7, 8, 9, 10, 11, 12});
  EXPECT_EQ(S().file_length(f), 8);
  fs::resize_file(dir_ / "shrinks", 2);
  int32_t i = 0;
  EXPECT_EQ(S().read_int32(f, &i), 0);
  EXPECT_EQ(Position(f), 0);
  int32_t b = 0;
  EXPECT_EQ(S().read_bool(f, &b), 1);
  EXPECT_EQ(S().read_bool(f, &b), 1);
  EXPECT_EQ(Position(f), 2);
  EXPECT_EQ(S().read_bool(f, &b), 0);
  S().file_free(f);
}
#endif

// ---------------------------------------------------------------------------
// Failure injection

TEST_F(FileLayer, InjectedOpenFailureDoesNothing) {
  ha_file f = S().file_alloc();
  const long injected = host::Failures().FileFailuresInjected();
  host::Failures().FailFileOperation(1);
  EXPECT_EQ(S().file_open(f, PathOf("new.tlv").c_str(), HA_FILEOPEN_WRITE, 2, 1, 0, 0), 0);
  EXPECT_FALSE(fs::exists(dir_ / "new.tlv"));
  EXPECT_FALSE(host::FileInfo(f)->open);
  EXPECT_EQ(host::Failures().FileFailuresInjected() - injected, 1);

  WriteAll(dir_ / "keep.tlv", {1, 2, 3});
  host::Failures().FailFileOperation(1);
  EXPECT_EQ(S().file_open(f, PathOf("keep.tlv").c_str(), HA_FILEOPEN_WRITE, 2, 1, 0, 0), 0);
  EXPECT_EQ(ReadAll(dir_ / "keep.tlv"), Bytes({1, 2, 3}));  // not truncated
  // The next open (a later operation) goes through.
  EXPECT_EQ(S().file_open(f, PathOf("keep.tlv").c_str(), HA_FILEOPEN_READ, 2, 1, 0, 0), 1);
  S().file_free(f);
}

TEST_F(FileLayer, InjectedWriteFailureWritesNothingOfThatItem) {
  using Write = std::function<int32_t(ha_file)>;
  const std::pair<const char*, Write> writes[] = {
      {"bool", [](ha_file f) { return S().write_bool(f, 1); }},
      {"int32", [](ha_file f) { return S().write_int32(f, 5); }},
      {"float32", [](ha_file f) { return S().write_float32(f, 1.5f); }},
      {"string", [](ha_file f) { return S().write_string(f, "abc", HA_STRINGENCODING_UTF8); }},
      {"byte", [](ha_file f) { return S().write_byte(f, 9); }},
  };
  for (const auto& w : writes) {
    SCOPED_TRACE(w.first);
    ha_file f = Open("w.bin", HA_FILEOPEN_WRITE, HA_BYTEORDER_MOTOROLA);
    EXPECT_EQ(S().write_byte(f, 0xEE), 1);
    host::Failures().FailFileOperation(1);
    EXPECT_EQ(w.second(f), 0);
    EXPECT_EQ(S().file_length(f), 1);
    EXPECT_EQ(S().write_byte(f, 0xDD), 1);  // the next write goes through
    EXPECT_EQ(S().file_close(f), 1);
    S().file_free(f);
    EXPECT_EQ(ReadAll(dir_ / "w.bin"), Bytes({0xEE, 0xDD}));
  }
}

TEST_F(FileLayer, InjectedReadFailureLeavesThePositionForTheNextRead) {
  const Bytes bytes = {1, 0, 0, 0, 7, 0x40, 0x00, 0x00, 0x00, 0, 0, 0, 2, 'q', 0};
  ha_file f = OpenBytes("r.bin", bytes);
  const long injected = host::Failures().FileFailuresInjected();
  int32_t b = 0, i = 0;
  float x = 0;
  ha_text t = nullptr;

  host::Failures().FailFileOperation(1);
  EXPECT_EQ(S().read_bool(f, &b), 0);
  EXPECT_EQ(S().read_bool(f, &b), 1);
  EXPECT_EQ(b, 1);

  host::Failures().FailFileOperation(1);
  EXPECT_EQ(S().read_int32(f, &i), 0);
  EXPECT_EQ(S().read_int32(f, &i), 1);
  EXPECT_EQ(i, 7);

  host::Failures().FailFileOperation(1);
  EXPECT_EQ(S().read_float32(f, &x), 0);
  EXPECT_EQ(S().read_float32(f, &x), 1);
  EXPECT_EQ(x, 2.0f);

  const std::size_t texts = host::Texts().Size();
  host::Failures().FailFileOperation(1);
  EXPECT_EQ(S().read_string(f, HA_STRINGENCODING_UTF8, &t), 0);
  EXPECT_EQ(t, nullptr);
  EXPECT_EQ(host::Texts().Size(), texts);
  EXPECT_EQ(S().read_string(f, HA_STRINGENCODING_UTF8, &t), 1);
  EXPECT_EQ(Take(t), "q");
  EXPECT_EQ(host::Failures().FileFailuresInjected() - injected, 4);
  S().file_free(f);
}

TEST_F(FileLayer, InjectedCloseFailureKeepsTheFileOpen) {
  ha_file f = Open("c.bin", HA_FILEOPEN_WRITE, HA_BYTEORDER_MOTOROLA);
  host::Failures().FailFileOperation(1);
  EXPECT_EQ(S().file_close(f), 0);
  EXPECT_TRUE(host::FileInfo(f)->open);
  EXPECT_EQ(S().write_byte(f, 3), 1);
  EXPECT_EQ(S().file_close(f), 1);
  EXPECT_FALSE(host::FileInfo(f)->open);
  S().file_free(f);
  EXPECT_EQ(ReadAll(dir_ / "c.bin"), Bytes({3}));
}

TEST_F(FileLayer, InjectedRenameAndRemoveFailuresTouchNothing) {
  WriteAll(dir_ / "from", {1});
  WriteAll(dir_ / "to", {2});
  const long injected = host::Failures().FileFailuresInjected();
  host::Failures().FailFileOperation(1);
  EXPECT_EQ(S().rename(PathOf("from").c_str(), PathOf("to").c_str()), 0);
  EXPECT_EQ(ReadAll(dir_ / "from"), Bytes({1}));
  EXPECT_EQ(ReadAll(dir_ / "to"), Bytes({2}));

  host::Failures().FailFileOperation(1);
  EXPECT_EQ(S().remove(PathOf("from").c_str()), 0);
  EXPECT_TRUE(fs::exists(dir_ / "from"));
  EXPECT_EQ(host::Failures().FileFailuresInjected() - injected, 2);
}

TEST_F(FileLayer, EachKindOfFileOperationCountsOnce) {
  host::Failures().FailFileOperation(1000);  // counts without failing
  ha_file f = Open("n.bin", HA_FILEOPEN_WRITE, HA_BYTEORDER_MOTOROLA);  // 1
  S().write_bool(f, 1);                                                 // 2
  S().write_int32(f, 1);                                                // 3
  S().write_float32(f, 1);                                              // 4
  S().write_string(f, "s", HA_STRINGENCODING_UTF8);                     // 5
  S().write_byte(f, 1);                                                 // 6
  S().file_close(f);                                                    // 7
  EXPECT_EQ(host::Failures().FileOperationsCounted(), 7);
  S().file_open(f, PathOf("n.bin").c_str(), HA_FILEOPEN_READ, 2, 1, 0, 0);  // 8
  int32_t v = 0;
  float x = 0;
  ha_text t = nullptr;
  S().read_bool(f, &v);                                // 9
  S().read_int32(f, &v);                               // 10
  S().read_float32(f, &x);                             // 11
  S().read_string(f, HA_STRINGENCODING_UTF8, &t);      // 12
  Take(t);
  S().file_free(f);  // closing on free is not counted
  S().rename(PathOf("n.bin").c_str(), PathOf("m.bin").c_str());  // 13
  S().remove(PathOf("m.bin").c_str());                           // 14
  EXPECT_EQ(host::Failures().FileOperationsCounted(), 14);
  // Name operations, the dialog, alloc, length and refused calls do not count.
  Take(S().name_join("a", "b"));
  S().exists(PathOf("x").c_str(), 0);
  S().file_select(0, 0, "", "");
  ha_file g = S().file_alloc();
  S().file_length(g);
  S().write_byte(g, 1);  // not open: refused
  S().file_free(g);
  EXPECT_EQ(host::Failures().FileOperationsCounted(), 14);
  host::ClearMisuses();
}

TEST_F(FileLayer, AllocationFailureAnswersNoFile) {
  const long injected = host::Failures().AllocationFailuresInjected();
  host::Failures().FailAllocation(1);
  EXPECT_EQ(S().file_alloc(), nullptr);
  EXPECT_EQ(host::OpenFileCount(), filesBefore_);
  EXPECT_EQ(host::Failures().AllocationFailuresInjected() - injected, 1);
  ha_file f = S().file_alloc();
  EXPECT_NE(f, nullptr);
  EXPECT_EQ(host::OpenFileCount(), filesBefore_ + 1);
  S().file_free(f);
  EXPECT_EQ(host::OpenFileCount(), filesBefore_);
}

// ---------------------------------------------------------------------------
// Handles and misuse

TEST_F(FileLayer, BadHandlesAreReportedAndAnswerFailure) {
  int dummy = 0;
  ha_file bogus = reinterpret_cast<ha_file>(&dummy);
  ha_file freed = S().file_alloc();
  S().file_free(freed);
  for (ha_file bad : {bogus, freed, static_cast<ha_file>(nullptr)}) {
    host::ClearMisuses();
    int32_t v = 0;
    float x = 0;
    ha_text t = nullptr;
    EXPECT_EQ(S().file_open(bad, PathOf("x").c_str(), HA_FILEOPEN_WRITE, 2, 1, 0, 0), 0);
    EXPECT_EQ(S().file_close(bad), 0);
    EXPECT_EQ(S().file_length(bad), -1);
    EXPECT_EQ(S().write_bool(bad, 1), 0);
    EXPECT_EQ(S().write_int32(bad, 1), 0);
    EXPECT_EQ(S().write_float32(bad, 1), 0);
    EXPECT_EQ(S().write_string(bad, "a", HA_STRINGENCODING_UTF8), 0);
    EXPECT_EQ(S().write_byte(bad, 1), 0);
    EXPECT_EQ(S().read_bool(bad, &v), 0);
    EXPECT_EQ(S().read_int32(bad, &v), 0);
    EXPECT_EQ(S().read_float32(bad, &x), 0);
    EXPECT_EQ(S().read_string(bad, HA_STRINGENCODING_UTF8, &t), 0);
    EXPECT_EQ(t, nullptr);
    EXPECT_EQ(host::Misuses().size(), 12u);
    EXPECT_FALSE(host::FileInfo(bad).has_value());
  }
  EXPECT_FALSE(fs::exists(dir_ / "x"));

  // Freeing null is allowed; freeing twice is a misuse.
  host::ClearMisuses();
  S().file_free(nullptr);
  EXPECT_TRUE(host::Misuses().empty());
  S().file_free(freed);
  EXPECT_EQ(host::Misuses().size(), 1u);
  host::ClearMisuses();
}

TEST_F(FileLayer, UsingAFileInTheWrongStateIsReported) {
  ha_file f = S().file_alloc();
  int32_t v = 0;
  EXPECT_EQ(S().write_byte(f, 1), 0);  // not open
  EXPECT_EQ(S().read_bool(f, &v), 0);
  EXPECT_EQ(host::Misuses().size(), 2u);

  EXPECT_EQ(S().file_open(f, PathOf("s.bin").c_str(), HA_FILEOPEN_WRITE, 2, 1, 0, 0), 1);
  EXPECT_EQ(S().read_bool(f, &v), 0);  // open for writing
  EXPECT_EQ(S().file_open(f, PathOf("s.bin").c_str(), HA_FILEOPEN_WRITE, 2, 1, 0, 0), 0);
  EXPECT_EQ(host::Misuses().size(), 4u);
  S().file_close(f);

  S().file_open(f, PathOf("s.bin").c_str(), HA_FILEOPEN_READ, 2, 1, 0, 0);
  EXPECT_EQ(S().write_byte(f, 1), 0);  // open for reading
  EXPECT_EQ(S().read_bool(f, nullptr), 0);
  EXPECT_EQ(host::Misuses().size(), 6u);
  S().file_close(f);

  EXPECT_EQ(S().file_open(f, PathOf("s.bin").c_str(), 3, 2, 1, 0, 0), 0);   // unknown mode
  EXPECT_EQ(S().file_open(f, PathOf("s.bin").c_str(), 1, 2, 0, 0, 0), 0);   // unknown order
  EXPECT_EQ(host::Misuses().size(), 8u);
  S().file_free(f);
  host::ClearMisuses();
}

// ---------------------------------------------------------------------------
// Rename and remove

TEST_F(FileLayer, RenameReplacesAnExistingTarget) {
  WriteAll(dir_ / "new.tmp", {1, 2, 3});
  WriteAll(dir_ / "arrow.tlv", {9});
  EXPECT_EQ(S().rename(PathOf("new.tmp").c_str(), PathOf("arrow.tlv").c_str()), 1);
  EXPECT_FALSE(fs::exists(dir_ / "new.tmp"));
  EXPECT_EQ(ReadAll(dir_ / "arrow.tlv"), Bytes({1, 2, 3}));

  EXPECT_EQ(S().rename(PathOf("arrow.tlv").c_str(), PathOf("moved.tlv").c_str()), 1);
  EXPECT_TRUE(fs::exists(dir_ / "moved.tlv"));
  EXPECT_EQ(S().rename(PathOf("missing").c_str(), PathOf("other").c_str()), 0);
  EXPECT_FALSE(fs::exists(dir_ / "other"));
  EXPECT_EQ(S().rename("", PathOf("other").c_str()), 0);
  EXPECT_EQ(S().rename(PathOf("moved.tlv").c_str(), nullptr), 0);
  EXPECT_TRUE(fs::exists(dir_ / "moved.tlv"));
}

TEST_F(FileLayer, RemoveDeletesFilesOnly) {
  WriteAll(dir_ / "gone", {1});
  fs::create_directories(dir_ / "sub");
  EXPECT_EQ(S().remove(PathOf("gone").c_str()), 1);
  EXPECT_FALSE(fs::exists(dir_ / "gone"));
  EXPECT_EQ(S().remove(PathOf("gone").c_str()), 0);
  EXPECT_EQ(S().remove(PathOf("sub").c_str()), 0);
  EXPECT_TRUE(fs::is_directory(dir_ / "sub"));
  EXPECT_EQ(S().remove(""), 0);
}

TEST_F(FileLayer, FreeAllFilesClosesAndFreesLeftovers) {
  ha_file a = Open("left.bin", HA_FILEOPEN_WRITE, HA_BYTEORDER_MOTOROLA);
  S().write_byte(a, 4);
  ha_file b = S().file_alloc();
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(host::OpenFileCount(), filesBefore_ + 2);
  EXPECT_EQ(host::FreeAllFiles(), filesBefore_ + 2);
  EXPECT_EQ(host::OpenFileCount(), 0u);
  EXPECT_FALSE(host::FileInfo(a).has_value());
  EXPECT_EQ(ReadAll(dir_ / "left.bin"), Bytes({4}));
  filesBefore_ = 0;
}

}  // namespace
