// Fuzzes the script console: its line reader (word splitting, quotes,
// escapes, comments) and whole scripts run against one loaded release-16
// host, as `tolvane-host run` runs them (line by line, stopping at the first
// error).
//
// Files. Every word that names a file is sent into this process's private
// temporary folder: the answers of `dialog PATH`, `save-scene FILE`,
// `load-scene FILE` and `gui png FILE` keep only their last path component
// (made of letters, digits, '.', '-' and '_'), so a script can save and load
// again but never writes outside that folder. `plugin` lines are skipped: the
// plug-in is loaded once for the whole run.
//
// Properties checked for every input:
// - line reader: the words of a line, each quoted again, read back as the
//   same words;
// - every `print` writes one line of valid JSON;
// - a command stops only with status 1 or 2 and a message;
// - a refused `load-scene` leaves the document (its scene bytes) and its undo
//   stack as they were;
// - after the script, with the document replaced by an empty one and any
//   interface element closed, the module holds exactly what it held before
//   the script and misused no handle.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "fuzz_support.h"
#include "gui.h"
#include "script.h"

namespace {

const char* const kTarget = "script";
constexpr std::size_t kMaxLines = 64;

struct State {
  std::ostringstream out;
  std::unique_ptr<host::ScriptConsole> console;
  fuzzkit::Ledger ledger;
};
State* g = nullptr;

std::string Quote(const std::string& word) {
  std::string q = "\"";
  for (char c : word) {
    if (c == '"' || c == '\\') q += '\\';
    q += c;
  }
  return q + "\"";
}

std::string Join(const std::vector<std::string>& words) {
  std::string line;
  for (const std::string& w : words) line += (line.empty() ? "" : " ") + Quote(w);
  return line;
}

// A name inside the private folder for a path the script gave.
std::string Private(const std::string& path) {
  const std::size_t slash = path.find_last_of("/\\");
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  for (char& c : name) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '.' || c == '-' || c == '_';
    if (!plain) c = '_';
  }
  if (name.size() > 64) name.resize(64);
  if (name.empty() || name == "." || name == "..") name = "file";
  return fuzzkit::TempFile(name);
}

// Sends file words into the private folder; false for a line not to run.
bool Redirect(std::vector<std::string>* words) {
  std::vector<std::string>& w = *words;
  if (w.empty()) return true;
  if (w[0] == "plugin") return false;
  if (w[0] == "dialog" && w.size() == 2 && w[1] != "cancel" && !w[1].empty()) w[1] = Private(w[1]);
  if ((w[0] == "save-scene" || w[0] == "load-scene") && w.size() == 2) w[1] = Private(w[1]);
  if (w[0] == "gui" && w.size() == 3 && w[1] == "png") w[2] = Private(w[2]);
  return true;
}

void CheckOutput() {
  std::istringstream lines(g->out.str());
  std::string line;
  while (std::getline(lines, line)) {
    FUZZ_CHECK(kTarget, nlohmann::json::accept(line), "a print wrote a line that is not JSON: " + line);
  }
  g->out.str("");
  g->out.clear();
}

// Runs one line; false when the script stops there.
bool RunLine(const std::string& line) {
  std::vector<std::string> words;
  std::string splitError;
  const bool split = host::ScriptConsole::SplitLine(line, &words, &splitError);
  if (split) {
    std::vector<std::string> again;
    std::string why;
    FUZZ_CHECK(kTarget, host::ScriptConsole::SplitLine(Join(words), &again, &why) && again == words,
               "the words of a line, quoted again, read back differently: " + Join(words));
    // The console's own quoting (which quotes only where it must) too.
    const std::string joined = host::ScriptConsole::JoinLine(words);
    FUZZ_CHECK(kTarget, host::ScriptConsole::SplitLine(joined, &again, &why) && again == words,
               "the console's quoting of a line reads back differently: " + joined);
  } else {
    FUZZ_CHECK(kTarget, !splitError.empty(), "a line the reader refused has no message");
  }
  host::ScriptConsole& console = *g->console;
  host::Session* session = console.LoadedSession();
  if (split && !Redirect(&words)) return true;
  const bool loadScene = split && !words.empty() && words[0] == "load-scene";
  std::string before;
  std::size_t undo = 0, redo = 0;
  host::Document* doc = session->Doc();
  if (loadScene) {
    before = fuzzkit::SceneBytes(kTarget, *doc, session->GetHost());
    undo = doc->UndoSteps().size();
    redo = doc->RedoSteps().size();
  }
  host::ScriptError error;
  const bool ok = console.Execute(split ? Join(words) : line, &error);
  CheckOutput();
  if (ok) return true;
  FUZZ_CHECK(kTarget, console.Status() == host::kScriptFailed || console.Status() == host::kScriptError,
             "a command stopped with status " + std::to_string(console.Status()));
  FUZZ_CHECK(kTarget, !error.message.empty(), "a command stopped without a message");
  if (loadScene) {
    FUZZ_CHECK(kTarget, session->Doc() == doc && fuzzkit::SceneBytes(kTarget, *doc, session->GetHost()) == before,
               "a refused load-scene changed the document: " + error.message);
    FUZZ_CHECK(kTarget, doc->UndoSteps().size() == undo && doc->RedoSteps().size() == redo,
               "a refused load-scene changed the undo stack");
  }
  return false;
}

void Reset() {
  host::Session& session = *g->console->LoadedSession();
  // Closed through the console, which then forgets the element's inputs.
  if (!host::OpenElements().empty()) {
    host::Failures().Reset();
    std::string ignored;
    g->console->Execute("gui close", &ignored);
    g->out.str("");
  }
  fuzzkit::FreshDocument(session);
  fuzzkit::ResetHostLogs(session.GetHost());
  fuzzkit::ClearTempDir();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  g = new State;
  g->console = std::make_unique<host::ScriptConsole>(g->out);
  std::string error;
  if (!g->console->Execute("plugin release 16", &error)) {
    std::fprintf(stderr, "%s: cannot load the plug-in: %s\n", kTarget, error.c_str());
    std::abort();
  }
  Reset();
  g->ledger = fuzzkit::TakeLedger(g->console->LoadedSession()->GetHost());
  fuzzkit::ShutdownAtExit(kTarget, [] { return &g->console->LoadedSession()->GetHost(); });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string script(reinterpret_cast<const char*>(data), size);
  std::size_t start = 0;
  for (std::size_t n = 0; n < kMaxLines && start <= script.size(); ++n) {
    std::size_t end = script.find('\n', start);
    if (end == std::string::npos) end = script.size();
    if (!RunLine(script.substr(start, end - start))) break;
    start = end + 1;
  }
  Reset();
  fuzzkit::CheckLedger(kTarget, g->ledger, g->console->LoadedSession()->GetHost(), "after the script");
  return 0;
}
