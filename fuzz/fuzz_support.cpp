#include "fuzz_support.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>

#include "core.h"
#include "custom_values.h"
#include "files.h"
#include "gui.h"
#include "model.h"
#include "resources.h"
#include "scenefile.h"

namespace fs = std::filesystem;

namespace fuzzkit {

void Violation(const char* target, const char* condition, const std::string& detail) {
  std::fprintf(stderr, "\n==%s== PROPERTY VIOLATED: %s\n==%s== %s\n", target, condition, target,
               detail.c_str());
  std::fflush(stderr);
  std::abort();
}

namespace {

std::string& TempPath() {
  static std::string path;
  return path;
}

void RemoveTempDir() {
  std::error_code ec;
  if (!TempPath().empty()) fs::remove_all(TempPath(), ec);
}

}  // namespace

const std::string& TempDir() {
  if (TempPath().empty()) {
    // A folder in memory where there is one: replacing files on a disk's
    // file system may wait for the disk at every input.
    std::error_code ec;
    const fs::path base = fs::is_directory("/dev/shm", ec) && access("/dev/shm", W_OK) == 0
                              ? fs::path("/dev/shm")
                              : fs::temp_directory_path();
    // A run that crashed could not remove its folder: folders of processes
    // that are gone are removed here.
    for (const auto& entry : fs::directory_iterator(base, ec)) {
      const std::string name = entry.path().filename().string();
      if (name.rfind("tolvane-fuzz-", 0) != 0) continue;
      const long pid = std::strtol(name.c_str() + 13, nullptr, 10);
      if (pid > 0 && kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) fs::remove_all(entry.path(), ec);
    }
    std::string pattern = (base / ("tolvane-fuzz-" + std::to_string(getpid()) + "-XXXXXX")).string();
    if (mkdtemp(pattern.data()) == nullptr) {
      std::perror("mkdtemp");
      std::abort();
    }
    TempPath() = pattern;
    std::atexit(RemoveTempDir);
  }
  return TempPath();
}

std::string TempFile(const std::string& name) { return (fs::path(TempDir()) / name).string(); }

void WriteFile(const std::string& path, const uint8_t* data, std::size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  if (!out) {
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    std::abort();
  }
}

void ClearTempDir() {
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(TempDir(), ec)) fs::remove_all(entry.path(), ec);
}

std::string Ledger::Diff(const Ledger& after) const {
  std::string out;
  const auto field = [&](const char* name, long long a, long long b) {
    if (a == b) return;
    out += (out.empty() ? "" : ", ") + std::string(name) + " " + std::to_string(a) + " -> " +
           std::to_string(b);
  };
  field("module allocations", static_cast<long long>(allocations), static_cast<long long>(after.allocations));
  field("texts", static_cast<long long>(texts), static_cast<long long>(after.texts));
  field("module containers", static_cast<long long>(containers), static_cast<long long>(after.containers));
  field("file objects", static_cast<long long>(files), static_cast<long long>(after.files));
  field("resources", static_cast<long long>(resources), static_cast<long long>(after.resources));
  field("bitmaps", static_cast<long long>(bitmaps), static_cast<long long>(after.bitmaps));
  field("loose objects", static_cast<long long>(looseObjects), static_cast<long long>(after.looseObjects));
  field("custom values", customValues, after.customValues);
  field("misuses", static_cast<long long>(misuses), static_cast<long long>(after.misuses));
  return out;
}

Ledger TakeLedger(const host::Host& h) {
  Ledger l;
  l.allocations = h.LiveAllocations();
  l.texts = host::Texts().Size();
  l.containers = host::ModuleContainerCount();
  l.files = host::OpenFileCount();
  l.resources = host::LiveResourceCount();
  l.bitmaps = host::LiveBitmapCount();
  l.looseObjects = host::LooseObjects().size();
  for (const host::CustomTypeRef& t : host::CustomDataTypes()) l.customValues += t->liveValues;
  l.misuses = host::Misuses().size();
  return l;
}

void CheckLedger(const char* target, const Ledger& expected, const host::Host& h, const char* when) {
  const Ledger now = TakeLedger(h);
  const std::string diff = expected.Diff(now);
  std::string misuses;
  for (const std::string& m : host::Misuses()) misuses += (misuses.empty() ? "" : "; ") + m;
  FUZZ_CHECK(target, diff.empty() && host::Misuses().empty(),
             std::string(when) + ": the module's holdings changed (" + diff + ")" +
                 (misuses.empty() ? "" : "; interface misuse: " + misuses));
}

void ResetHostLogs(host::Host& h) {
  h.Failures().Reset();
  h.Messages().clear();
  h.Console().clear();
  h.MessageBoxes().clear();
  h.MessageBoxFlags().clear();
  host::ClearDialogQueue();
  host::ClearDialogsShown();
  host::ClearFilesOpened();
  // The log of files written has no clearing call; it is the host's own
  // (non-const) vector behind a const reference. Emptying it keeps a long run
  // from growing, and from allocating on every save, which would make
  // libFuzzer's leak detection scan the whole heap after each input.
  const_cast<std::vector<std::string>&>(host::FilesWritten()).clear();
}

namespace {
std::function<void()>& ExitHook() {
  static std::function<void()> hook;
  return hook;
}
}  // namespace

void ShutdownAtExit(const char* target, std::function<host::Host*()> host) {
  ExitHook() = [target, host] {
    host::Host* h = host();
    if (h == nullptr) return;
    h->Shutdown();
    std::string findings;
    for (const host::Leak& leak : h->Leaks())
      findings += "\n  leak: " + leak.what + " " + std::to_string(leak.bytes) + " bytes from " + leak.file +
                  ":" + std::to_string(leak.line);
    for (const std::string& m : host::Misuses()) findings += "\n  interface misuse: " + m;
    FUZZ_CHECK(target, findings.empty(), "the host's report at shutdown:" + findings);
  };
  std::atexit([] {
    if (ExitHook()) ExitHook()();
  });
}

host::Document* FreshDocument(host::Session& session) {
  host::Document* now =
      host::ReplaceDocument(session.GetHost(), session.Doc(), std::make_unique<host::Document>());
  if (now == nullptr) {
    std::fprintf(stderr, "the session's document is not one of the host's\n");
    std::abort();
  }
  session.SetDoc(now);
  return now;
}

namespace {

bool SameDouble(double a, double b) {
  if (std::isnan(a) && std::isnan(b)) return true;
  uint64_t x = 0, y = 0;
  std::memcpy(&x, &a, sizeof x);
  std::memcpy(&y, &b, sizeof y);
  return x == y;
}

std::string Describe(const host::Value& v) {
  switch (v.type) {
    case HA_TYPE_NONE: return "none";
    case HA_TYPE_INT32: return "int " + std::to_string(v.i);
    case HA_TYPE_FLOAT: return "float " + host::FormatDouble(v.f);
    case HA_TYPE_VECTOR:
      return "vector " + host::FormatDouble(v.AsVector().x) + "," + host::FormatDouble(v.AsVector().y) + "," +
             host::FormatDouble(v.AsVector().z);
    case HA_TYPE_STRING: return "string \"" + v.AsString() + "\" (" + std::to_string(v.AsString().size()) + " bytes)";
    case HA_TYPE_LINK: return "link " + std::to_string(v.link);
    default: return "custom value of type " + std::to_string(v.type);
  }
}

}  // namespace

bool SameValue(const host::Value& a, const host::Value& b) {
  if (a.type != b.type) return false;
  switch (a.type) {
    case HA_TYPE_NONE: return true;
    case HA_TYPE_INT32: return a.i == b.i;
    case HA_TYPE_FLOAT: return SameDouble(a.f, b.f);
    case HA_TYPE_VECTOR: return SameDouble(a.AsVector().x, b.AsVector().x) && SameDouble(a.AsVector().y, b.AsVector().y) && SameDouble(a.AsVector().z, b.AsVector().z);
    case HA_TYPE_STRING: return a.AsString() == b.AsString();
    case HA_TYPE_LINK: return a.link == b.link;
    default: {
      if (a.AsCustom().Holds() != b.AsCustom().Holds()) return false;
      if (!a.AsCustom().Holds()) return true;
      std::string x, y, error;
      const bool wroteA = host::WriteCustomValue(a.AsCustom(), &x, &error);
      const bool wroteB = host::WriteCustomValue(b.AsCustom(), &y, &error);
      return wroteA == wroteB && x == y;
    }
  }
}

bool SameContainer(const host::Container& a, const host::Container& b, std::string* why) {
  auto i = a.Entries().begin();
  auto j = b.Entries().begin();
  for (; i != a.Entries().end() && j != b.Entries().end(); ++i, ++j) {
    if (i->first != j->first) {
      *why = "parameter " + std::to_string(std::min(i->first, j->first)) + " is only in one of them";
      return false;
    }
    if (!SameValue(i->second, j->second)) {
      *why = "parameter " + std::to_string(i->first) + ": " + Describe(i->second) + " against " +
             Describe(j->second);
      return false;
    }
  }
  if (i != a.Entries().end() || j != b.Entries().end()) {
    const int32_t id = i != a.Entries().end() ? i->first : j->first;
    *why = "parameter " + std::to_string(id) + " is only in one of them";
    return false;
  }
  return true;
}

std::string SceneBytes(const char* target, const host::Document& doc, const host::Host& h) {
  std::string bytes, error;
  FUZZ_CHECK(target, host::EncodeScene(doc, h.Options().interfaceVersion, &bytes, &error),
             "the document cannot be written as a scene: " + error);
  return bytes;
}

}  // namespace fuzzkit
