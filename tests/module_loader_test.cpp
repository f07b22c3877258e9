// The host's loader of macOS modules: the libSystem functions it gives a
// module, and the built macOS module itself, mapped and fixed up, and
// refused with its reason when it is damaged or asks for what the host does
// not give. The tests on the module file run where the release-12 plug-in
// folder holds it (make test-mac sets TOLVANE_PLUGIN_R12).
#include <sys/mman.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sstream>

#include <llvm/Object/MachO.h>

#include "fixture.h"
#include "macho_image.h"
#include "macho_imports.h"
#include "macho_plan.h"
#include "module_library.h"
#include "plugin_folders.h"

namespace {

namespace fs = std::filesystem;

uint32_t U32(const std::string& b, std::size_t at) {
  uint32_t v;
  std::memcpy(&v, b.data() + at, 4);
  return v;
}

void PutU32(std::string& b, std::size_t at, uint32_t v) { std::memcpy(&b[at], &v, 4); }

// --- the functions a module may import -------------------------------------

TEST(MacOSImports, AreExactlyTheCheckedInList) {
  std::ifstream in(TOLVANE_SOURCE_DIR "/cmake/macos/libSystem.symbols");
  ASSERT_TRUE(in);
  std::vector<std::string> listed;
  std::string line;
  while (std::getline(in, line)) {
    line.erase(0, line.find_first_not_of(" \t"));
    line.erase(line.find_last_not_of(" \t\r") + 1);
    if (!line.empty() && line[0] != '#') listed.push_back(line);
  }
  std::sort(listed.begin(), listed.end());
  EXPECT_EQ(host::MacOSImportNames(), listed);
  for (const std::string& name : listed) EXPECT_NE(host::MacOSImport(name), nullptr) << name;
  for (const char* absent : {"_system", "_malloc", "_fopen", "__errno_location", "", "_memcpyx"})
    EXPECT_EQ(host::MacOSImport(absent), nullptr) << absent;
}

// macOS answers sine and cosine together in two registers; called through
// the bound address as the module calls it, the pair is the C library's.
TEST(MacOSImports, SinCosReturnsBothValuesAsMacOSDoes) {
  struct Pair { double s, c; };
  struct PairF { float s, c; };
  auto* pair = reinterpret_cast<Pair (*)(double)>(const_cast<void*>(host::MacOSImport("___sincos_stret")));
  auto* pairF = reinterpret_cast<PairF (*)(float)>(const_cast<void*>(host::MacOSImport("___sincosf_stret")));
  for (double x : {0.0, -0.0, 1e-300, 0.5, 1.0, 3.141592653589793, -2.5, 1e6, 1e300}) {
    const Pair p = pair(x);
    EXPECT_EQ(p.s, std::sin(x)) << x;
    EXPECT_EQ(p.c, std::cos(x)) << x;
    if (std::fabs(x) > 1e30) continue;  // no float
    const PairF f = pairF(static_cast<float>(x));
    EXPECT_EQ(f.s, std::sin(static_cast<float>(x))) << x;
    EXPECT_EQ(f.c, std::cos(static_cast<float>(x))) << x;
  }
  char block[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  reinterpret_cast<void (*)(void*, std::size_t)>(const_cast<void*>(host::MacOSImport("___bzero")))(block + 2, 4);
  EXPECT_EQ(std::string(block, 8), std::string("\1\2\0\0\0\0\7\10", 8));
}

TEST(MacOSImportsDeathTest, TheStubBinderStopsTheProgram) {
  auto* binder = reinterpret_cast<void (*)()>(const_cast<void*>(host::MacOSImport("dyld_stub_binder")));
  EXPECT_DEATH(binder(), "called dyld_stub_binder");
}

// The smallest module (fuzz/macho_seed.c): its initialiser has run, its
// table of names is slid and its lazy imports bound before its entry is
// called; the entry is found by its C name.
TEST(MacOSLoader, RunsTheSmallestModule) {
  const std::string seed = TOLVANE_SOURCE_DIR "/fuzz/corpus/macho/seed.dylib";
  std::string error;
  std::unique_ptr<host::ModuleLibrary> lib = host::OpenModuleLibrary(seed, &error);
  ASSERT_NE(lib, nullptr) << error;
  EXPECT_NE(lib->Kind().find("Mach-O x86-64"), std::string::npos) << lib->Kind();
  auto* entry = reinterpret_cast<int (*)(int, void*, void*, void*)>(lib->FindFunction("c4d_main"));
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(lib->FindFunction("start"), nullptr);  // not exported
  EXPECT_EQ(entry(0, nullptr, nullptr, nullptr), 3 + 10 + 0);
  EXPECT_EQ(entry(1, nullptr, nullptr, nullptr), 5 + 10 + 84);
  EXPECT_EQ(entry(2, nullptr, nullptr, nullptr), 3 + 10 + 90);
}

// The loader's readers of the dyld tables and LLVM's agree on a sound file.
void ExpectReadersAgree(const std::string& path) {
  const std::string bytes = testkit::ReadFileBytes(path);
  host::MachOPlan plan;
  std::string error;
  ASSERT_TRUE(host::PlanMachOModule(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), path, &plan,
                                    &error)) << error;
  auto file = llvm::object::MachOObjectFile::create(
      llvm::MemoryBufferRef(llvm::StringRef(bytes.data(), bytes.size()), path), true, true);
  ASSERT_TRUE(static_cast<bool>(file));
  llvm::Error err = llvm::Error::success();
  std::vector<uint64_t> rebases;
  for (const auto& e : (*file)->rebaseTable(err)) rebases.push_back(e.address());
  ASSERT_FALSE(static_cast<bool>(err));
  std::vector<std::pair<uint64_t, std::string>> binds;
  for (const auto& e : (*file)->bindTable(err)) binds.push_back({e.address(), e.symbolName().str()});
  ASSERT_FALSE(static_cast<bool>(err));
  for (const auto& e : (*file)->lazyBindTable(err)) binds.push_back({e.address(), e.symbolName().str()});
  ASSERT_FALSE(static_cast<bool>(err));
  std::map<std::string, uint64_t> exports;
  for (const auto& e : (*file)->exports(err)) exports[e.name().str()] = plan.header + e.address();
  ASSERT_FALSE(static_cast<bool>(err));

  EXPECT_EQ(plan.rebases, rebases);
  std::vector<std::pair<uint64_t, std::string>> planned;
  for (const host::MachOBind& b : plan.binds) planned.push_back({b.address, b.symbol});
  EXPECT_EQ(planned, binds);
  EXPECT_EQ(plan.exports, exports);
  EXPECT_FALSE(rebases.empty());
  EXPECT_FALSE(binds.empty());
}

TEST(MacOSLoader, ReadsTheDyldTablesAsLLVMDoes) {
  ExpectReadersAgree(TOLVANE_SOURCE_DIR "/fuzz/corpus/macho/seed.dylib");
  std::string error;
  const std::string module = host::FindModuleFile(host::PluginFolder(12), &error);
  if (fs::path(module).extension() == ".dylib") ExpectReadersAgree(module);
}

// --- the built macOS module --------------------------------------------------

class MacOSModule : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    file_ = host::FindModuleFile(host::PluginFolder(12), &error);
    if (fs::path(file_).extension() != ".dylib")
      GTEST_SKIP() << "the release-12 plug-in folder holds no macOS module (make test-mac gives it one)";
    bytes_ = testkit::ReadFileBytes(file_);
    ASSERT_FALSE(bytes_.empty());
  }

  bool Plan(const std::string& bytes, host::MachOPlan* plan, std::string* error) const {
    return host::PlanMachOModule(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), file_, plan,
                                 error);
  }

  // The offset of the first load command `cmd` in `bytes`, or 0.
  std::size_t Command(const std::string& bytes, uint32_t cmd) const {
    std::size_t at = 32;
    for (uint32_t k = 0, n = U32(bytes, 16); k < n; ++k) {
      if (U32(bytes, at) == cmd) return at;
      at += U32(bytes, at + 4);
    }
    return 0;
  }

  // The offset of the segment command of segment `name`, or 0.
  std::size_t Segment(const std::string& bytes, const std::string& name) const {
    std::size_t at = 32;
    for (uint32_t k = 0, n = U32(bytes, 16); k < n; ++k) {
      if (U32(bytes, at) == 0x19 && std::strncmp(&bytes[at + 8], name.c_str(), 16) == 0) return at;
      at += U32(bytes, at + 4);
    }
    return 0;
  }

  // The file range [offset, offset + size) of a dyld table: 0 rebase,
  // 1 bind, 2 weak bind, 3 lazy bind, 4 export.
  std::pair<std::size_t, std::size_t> Table(const std::string& bytes, int table) const {
    const std::size_t info = Command(bytes, 0x80000022);  // LC_DYLD_INFO_ONLY
    EXPECT_NE(info, 0u);
    return {U32(bytes, info + 8 + 8 * table), U32(bytes, info + 12 + 8 * table)};
  }

  std::string file_;
  std::string bytes_;
};

TEST_F(MacOSModule, MapsAtOneSlideWithEveryPointerSlidOrBound) {
  host::MachOPlan plan;
  std::string error;
  ASSERT_TRUE(Plan(bytes_, &plan, &error)) << error;
  EXPECT_EQ(plan.exports.count("_c4d_main"), 1u);
  EXPECT_FALSE(plan.rebases.empty());
  // Every import the module names is bound, the lazy ones too.
  std::vector<std::string> bound;
  for (const host::MachOBind& b : plan.binds) bound.push_back(b.symbol);
  std::sort(bound.begin(), bound.end());
  for (const char* name : {"___sincos_stret", "_memcpy", "_strlen", "dyld_stub_binder"})
    EXPECT_TRUE(std::binary_search(bound.begin(), bound.end(), name)) << name;

  std::unique_ptr<host::MachOImage> image =
      host::MachOImage::Map(plan, reinterpret_cast<const uint8_t*>(bytes_.data()), bytes_.size(), &error);
  ASSERT_NE(image, nullptr) << error;
  const uint64_t slide = reinterpret_cast<uintptr_t>(image->At(plan.low)) - plan.low;
  const auto fileWord = [&](uint64_t linked) {
    for (const host::MachOSegment& s : plan.segments) {
      if (linked >= s.vmaddr && linked < s.vmaddr + s.filesize) {
        uint64_t v;
        std::memcpy(&v, bytes_.data() + s.fileoff + (linked - s.vmaddr), 8);
        return v;
      }
    }
    return uint64_t{0};
  };
  const auto imageWord = [&](uint64_t linked) {
    uint64_t v;
    std::memcpy(&v, image->At(linked), 8);
    return v;
  };
  // A lazy pointer is slid (to its stub helper), then bound over.
  std::set<uint64_t> boundAt;
  for (const host::MachOBind& b : plan.binds) boundAt.insert(b.address);
  for (uint64_t r : plan.rebases) {
    if (boundAt.count(r) == 0) {
      EXPECT_EQ(imageWord(r), fileWord(r) + slide);
    }
  }
  for (const host::MachOBind& b : plan.binds)
    EXPECT_EQ(imageWord(b.address), reinterpret_cast<uintptr_t>(b.target) + b.addend) << b.symbol;
  // The code and the header are where the file put them.
  EXPECT_EQ(std::memcmp(image->At(plan.header), bytes_.data(), 32), 0);
  EXPECT_EQ(image->Export("_c4d_main"), image->At(plan.exports["_c4d_main"]));
  EXPECT_EQ(image->Export("c4d_main"), nullptr);

  // Each segment has its protection, and unmapping leaves nothing behind.
  const auto mapped = [](const void* address) {
    std::ifstream maps("/proc/self/maps");
    std::string line;
    const auto a = reinterpret_cast<uintptr_t>(address);
    while (std::getline(maps, line)) {
      unsigned long lo = 0, hi = 0;
      char perms[5] = {0};
      if (std::sscanf(line.c_str(), "%lx-%lx %4s", &lo, &hi, perms) == 3 && a >= lo && a < hi)
        return std::string(perms, 3);
    }
    return std::string();
  };
  for (const host::MachOSegment& s : plan.segments) {
    std::string expected = "---";
    if (s.protection & host::kMachORead) expected[0] = 'r';
    if ((s.protection & host::kMachOWrite) && !s.readOnlyAfterFixups) expected[1] = 'w';
    if (s.protection & host::kMachOExecute) expected[2] = 'x';
    EXPECT_EQ(mapped(image->At(s.vmaddr)), expected) << s.name;
  }
  const void* text = image->At(plan.header);
  image.reset();
  EXPECT_EQ(mapped(text), "");
}

// Damaged and unsuitable copies of the module, each refused with its reason.
TEST_F(MacOSModule, RefusesWhatItCannotRunWithTheReason) {
  const auto replace = [](std::string& b, std::size_t from, std::size_t to, const std::string& was,
                          const std::string& now) {
    const std::size_t at = b.find(was, from);
    ASSERT_TRUE(at != std::string::npos && at + was.size() <= to) << was;
    b.replace(at, now.size(), now);
  };
  struct Case {
    const char* what;
    std::function<void(std::string&)> damage;
    const char* reason;
  };
  const std::vector<Case> cases = {
      {"another architecture", [](std::string& b) { PutU32(b, 4, 0x0100000c); }, "not x86-64"},
      {"a bundle", [](std::string& b) { PutU32(b, 12, 8); }, "in non-dynamic library file type"},
      {"a library stub", [](std::string& b) { PutU32(b, 12, 9); }, "not a dynamic library (MH_DYLIB)"},
      {"a 32-bit file", [](std::string& b) { PutU32(b, 0, 0xfeedface); }, "32-bit Mach-O"},
      {"not Mach-O", [](std::string& b) { PutU32(b, 0, 0x464c457f); }, "not a Mach-O file"},
      {"cut after its header", [](std::string& b) { b.resize(20); }, "shorter than its header"},
      {"truncated", [](std::string& b) { b.resize(b.size() / 2); }, "damaged Mach-O file"},
      {"an import outside the list",
       [&](std::string& b) {
         const auto [off, size] = Table(b, 3);
         replace(b, off, off + size, std::string("_strlen\0", 8), std::string("_system\0", 8));
       },
       "imports _system, which is not one of the 53 functions"},
      {"a damaged bind table",
       [&](std::string& b) { b[Table(b, 1).first] = static_cast<char>(0xF3); },
       "its bind table is damaged"},
      {"a damaged lazy bind table",
       [&](std::string& b) { b[Table(b, 3).first] = static_cast<char>(0xE0); },
       "its lazy bind table is damaged"},
      {"a damaged rebase table",
       [&](std::string& b) { b[Table(b, 0).first] = static_cast<char>(0xC7); },
       "its rebase table is damaged"},
      {"another library",
       [&](std::string& b) {
         replace(b, 0, 4096, std::string("/usr/lib/libSystem.B.dylib\0", 27),
                 std::string("/usr/lib/libc++.1.dylib\0", 24));
       },
       "needs the library /usr/lib/libc++.1.dylib"},
      {"writable code", [&](std::string& b) { PutU32(b, Segment(b, "__TEXT") + 60, 7); },
       "__TEXT is both writable and executable"},
      {"no code", [&](std::string& b) { PutU32(b, Segment(b, "__TEXT") + 60, 1); }, "no executable segment"},
  };
  for (const Case& c : cases) {
    std::string bytes = bytes_;
    c.damage(bytes);
    if (HasFatalFailure()) return;
    host::MachOPlan plan;
    std::string error;
    EXPECT_FALSE(Plan(bytes, &plan, &error)) << c.what;
    EXPECT_NE(error.find(c.reason), std::string::npos) << c.what << ": " << error;
  }
}

// A refused module runs none of its code: the host has no answer of its
// entry and no console line, and the message names the file and the reason.
TEST_F(MacOSModule, ARefusedModuleRunsNothing) {
  const std::pair<const char*, std::function<void(std::string&)>> cases[] = {
      {"imports _system", [&](std::string& b) {
         const auto [off, size] = Table(b, 3);
         const std::size_t at = b.find(std::string("_strlen\0", 8), off);
         ASSERT_LT(at, off + size);
         b.replace(at, 7, "_system");
       }},
      {"its bind table is damaged", [&](std::string& b) { b[Table(b, 1).first] = static_cast<char>(0xF3); }},
  };
  for (const auto& [reason, damage] : cases) {
    testkit::TempDir tmp;
    const std::string folder = testkit::CopyPluginFolder(12, tmp.Path());
    std::string bytes = bytes_;
    damage(bytes);
    const std::string module = folder + "/Tolvane.dylib";
    std::ofstream(module, std::ios::binary | std::ios::trunc) << bytes;
    host::Host h(host::HostOptions::ForRelease(12));
    std::string error;
    EXPECT_FALSE(h.Load(folder, &error));
    EXPECT_NE(error.find("cannot load " + module + " as a macOS module: "), std::string::npos) << error;
    EXPECT_NE(error.find(reason), std::string::npos) << error;
    EXPECT_TRUE(h.Answers().empty());
    EXPECT_TRUE(h.Console().empty());
    EXPECT_FALSE(h.Loaded());
  }
}

}  // namespace
