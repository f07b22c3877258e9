// The stand-in host: loads one plug-in folder, runs its module's lifecycle
// and offers the scene operations a user's clicks would cause.
#ifndef HOST_HOST_H
#define HOST_HOST_H

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "hostapi.h"
#include "module_library.h"
#include "core.h"
#include "model.h"
#include "plugins.h"
#include "scene.h"
#include "state.h"

namespace host {

constexpr int32_t kRelease16Version = 16049;
constexpr int32_t kRelease12Version = 12000;

struct HostOptions {
  int32_t interfaceVersion = kRelease16Version;
  // Offer the crash-handler entry (release-12 hosts do).
  bool offerCrashHandler = false;
  // Pass no module file name with the first initialisation (for tests).
  bool omitModuleFile = false;
  // The size the table claims (0: all of it): a smaller one acts as an older
  // host that knows only the members it covers (for tests).
  uint32_t tableSize = 0;

  static HostOptions ForRelease(int release);
};

// One answer of the module's entry during the lifecycle.
struct LifecycleAnswer {
  std::string step;  // "init", "message 1", "start", "end"
  int32_t action = 0;
  int32_t answer = 0;
};

// A module allocation the host still held at shutdown.
struct Leak {
  std::string what;  // "memory", "text", "file", "container", "object", ...
  std::size_t bytes = 0;
  std::string file;
  int32_t line = 0;
};

// The host owns the state everything in it works on (its base): a new host
// is a fresh host, and the host made last is the current one.
class Host : public HostState {
 public:
  explicit Host(HostOptions options = HostOptions());
  ~Host();  // shuts down when still loaded
  Host(const Host&) = delete;
  Host& operator=(const Host&) = delete;

  // The host whose table the module is using (one at a time per process).
  static Host* Current();

  const HostOptions& Options() const { return options_; }
  const ha_host_table* Table() const { return &table_; }

  // Loads the module of a plug-in folder and runs init, message 1 and start.
  // False (with a reason) when the folder has no module, it cannot be loaded,
  // or an answer of the lifecycle was not a success.
  bool Load(const std::string& pluginDir, std::string* error);
  bool Loaded() const { return library_ != nullptr; }
  const std::string& PluginDir() const { return pluginDir_; }
  const std::string& ModuleFile() const { return moduleFile_; }
  // What kind of module file is loaded and by which loader; empty when none.
  std::string ModuleKind() const;
  // Calls the module entry directly (tests); answers -1000 when not loaded.
  int32_t CallEntry(int32_t action, void* p1, void* p2, void* p3);
  // Frees every document, sends the end action, takes stock of leaks and
  // unloads the module.
  void Shutdown();
  const std::vector<LifecycleAnswer>& Answers() const { return answers_; }
  const std::vector<Leak>& Leaks() const { return leaks_; }
  void AddLeak(Leak leak) { leaks_.push_back(std::move(leak)); }

  // Console and message boxes.
  std::vector<std::string>& Console() { return console_; }
  std::vector<std::string>& MessageBoxes() { return messageBoxes_; }
  // The flags each message box was shown with, in the same order.
  std::vector<int32_t>& MessageBoxFlags() { return messageBoxFlags_; }

  // Memory ledger of module allocations.
  void* Allocate(std::size_t size, const char* file, int32_t line) { return host::Allocate(size, file, line); }
  void Release(void* block) { host::Release(block); }
  std::size_t LiveAllocations() const { return ledger.size(); }

  // The crash handler the module installed (release-12 hosts).
  ha_crash_handler CrashHandler() const { return crashHandler_; }
  void SetCrashHandler(ha_crash_handler h) { crashHandler_ = h; }

  // Plug-in registration can be refused on purpose (tests).
  bool refuseRegistration = false;

  // Documents.
  Document* NewDocument();
  Document* ActiveDocument();
  std::vector<std::unique_ptr<Document>>& Documents() { return documents_; }

  // The scene operations of scene.h, on this host.
  Object* CreateObject(Document* doc, int32_t type, bool fromMenu, std::string* error) {
    return host::CreateObject(doc, type, fromMenu, error);
  }
  Object* MakePluginObject(const ObjectPlugin& plugin) { return host::MakePluginObject(plugin); }
  bool EditParameter(Object* op, int32_t id, const Value& value) { return host::EditParameter(op, id, value); }
  void PressButton(Object* op, int32_t id) { host::PressButton(op, id); }
  int32_t SendMessage(Object* op, int32_t type, void* data) { return host::SendMessage(op, type, data); }
  MessageLog& Messages() { return messages; }
  Object* EvaluateContour(Object* op) { return host::EvaluateContour(op); }
  bool IsEnabled(Object* op, int32_t id) { return host::IsEnabled(op, id); }

  FailurePlan& Failures() { return failures; }

 private:
  void BuildTable();
  void TakeStockOfLeaks();

  HostOptions options_;
  ha_host_table table_{};
  std::unique_ptr<ModuleLibrary> library_;
  ha_entry_fn entry_ = nullptr;
  std::string pluginDir_;
  std::string moduleFile_;
  bool initialised_ = false;
  std::vector<LifecycleAnswer> answers_;
  std::vector<Leak> leaks_;
  std::vector<std::string> console_;
  std::vector<std::string> messageBoxes_;
  std::vector<int32_t> messageBoxFlags_;
  std::vector<std::unique_ptr<Document>> documents_;
  ha_crash_handler crashHandler_ = nullptr;
};

// The module file of a plug-in folder: the one file with a module suffix
// (.so, .cdl64, .cdl, .dylib, .dll; the first by name if several). Empty,
// with the reason, when there is none.
std::string FindModuleFile(const std::string& dir, std::string* error);

// Puts `fresh` in the place of `old` among the host's documents, closing
// the interface elements open on `old` first. Answers the new document, or
// null (and changes nothing) when `old` is not one of the host's.
Document* ReplaceDocument(Host& host, Document* old, std::unique_ptr<Document> fresh);

}  // namespace host

#endif
