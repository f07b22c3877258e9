// What the fuzz targets share: a property check that aborts (so libFuzzer
// reports the input), a private temporary folder, the host's ledger of what
// the module holds (compared before and after each input in place of the
// leak and misuse report at shutdown), resetting the host's logs between
// inputs, and exact comparisons of containers.
#ifndef FUZZ_FUZZ_SUPPORT_H
#define FUZZ_FUZZ_SUPPORT_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "host.h"
#include "session.h"

namespace fuzzkit {

// Prints what was violated and aborts: libFuzzer then saves the input.
[[noreturn]] void Violation(const char* target, const char* condition, const std::string& detail);

// This process's own temporary folder (made at the first use, removed at
// exit); every file a target writes goes into it.
const std::string& TempDir();
std::string TempFile(const std::string& name);
void WriteFile(const std::string& path, const uint8_t* data, std::size_t size);
// Removes everything in the temporary folder.
void ClearTempDir();

// What the host holds on behalf of the module, and what it noticed.
struct Ledger {
  std::size_t allocations = 0;
  std::size_t texts = 0;
  std::size_t containers = 0;
  std::size_t files = 0;
  std::size_t resources = 0;
  std::size_t bitmaps = 0;
  std::size_t looseObjects = 0;
  long customValues = 0;
  std::size_t misuses = 0;
  // Each field that differs, as "name before -> after"; empty when equal.
  std::string Diff(const Ledger& after) const;
};
Ledger TakeLedger(const host::Host& h);
// Aborts when the host's ledger differs from `expected` or any misuse of the
// interface was reported; `when` tells the moment in the report.
void CheckLedger(const char* target, const Ledger& expected, const host::Host& h, const char* when);

// Empties the host's logs that grow with every input (messages, console,
// message boxes, dialogs shown, files opened, the dialog queue) and switches
// failure injection off.
void ResetHostLogs(host::Host& h);

// At the process's exit (after libFuzzer's last input, before the host's
// own static data goes): shuts the host down and aborts when it reports a
// leak or a misuse of the interface. Call it after the host was loaded, so
// that it runs before the statics made while loading are destroyed.
void ShutdownAtExit(const char* target, std::function<host::Host*()> host);

// Puts a new empty document in the place of the session's one (closing the
// interface elements open on it) and answers it.
host::Document* FreshDocument(host::Session& session);

// Exact equality: floats compared by their bits (every NaN equal to every
// NaN), custom values by the bytes their type writes. `why` names the first
// difference.
bool SameValue(const host::Value& a, const host::Value& b);
bool SameContainer(const host::Container& a, const host::Container& b, std::string* why);

// The document as scene bytes (for before/after comparisons); aborts when it
// cannot be written.
std::string SceneBytes(const char* target, const host::Document& doc, const host::Host& h);

}  // namespace fuzzkit

#define FUZZ_CHECK(target, cond, detail)                                   \
  do {                                                                     \
    if (!(cond)) ::fuzzkit::Violation((target), #cond, (detail));          \
  } while (0)

#endif
