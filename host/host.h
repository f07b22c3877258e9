// The stand-in host: loads one plug-in folder, runs its module's lifecycle
// and offers the scene operations a user's clicks would cause.
#ifndef HOST_HOST_H
#define HOST_HOST_H

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "../hostapi/abi/hostapi.h"
#include "core.h"
#include "model.h"
#include "plugins.h"

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

// An object message the host delivered or saw the module send.
struct MessageRecord {
  uint64_t serial = 0;
  std::string name;
  int32_t type = 0;
};

class Host {
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
  void* Allocate(std::size_t size, const char* file, int32_t line);
  void Release(void* block);
  std::size_t LiveAllocations() const;

  // The crash handler the module installed (release-12 hosts).
  ha_crash_handler CrashHandler() const { return crashHandler_; }
  void SetCrashHandler(ha_crash_handler h) { crashHandler_ = h; }

  // Plug-in registration can be refused on purpose (tests).
  bool refuseRegistration = false;

  // Documents.
  Document* NewDocument();
  Document* ActiveDocument();
  std::vector<std::unique_ptr<Document>>& Documents() { return documents_; }

  // Creates an object of a host type or a registered plug-in type and puts it
  // at the top of `doc` as one undo step. `fromMenu` sends a plug-in object
  // the menu-prepare message before inserting it. Null when it cannot be made.
  Object* CreateObject(Document* doc, int32_t type, bool fromMenu, std::string* error);
  // Makes a plug-in object without inserting it (scene loading, tests).
  Object* MakePluginObject(const ObjectPlugin& plugin);

  // The attribute editor's edit of one parameter: one undo step recording
  // the object, the new value, and the changed-parameter message. False, with
  // nothing changed and no step, when the new value or the object's state for
  // undo could not be copied whole (memory short).
  bool EditParameter(Object* op, int32_t id, const Value& value);
  // A button press: the description-command message.
  void PressButton(Object* op, int32_t id);
  // Sends an object message as the host does.
  int32_t SendMessage(Object* op, int32_t type, void* data);
  std::vector<MessageRecord>& Messages() { return messages_; }

  // Evaluates a generator object: asks it for its contour. The host owns the
  // answer (kept until the next evaluation of the same object). Null when the
  // object answered none.
  Object* EvaluateContour(Object* op);

  // The enabling answer of the attribute editor for one parameter.
  bool IsEnabled(Object* op, int32_t id);

  FailurePlan& Failures() { return host::Failures(); }

 private:
  void BuildTable();
  void TakeStockOfLeaks();

  HostOptions options_;
  ha_host_table table_{};
  void* library_ = nullptr;
  ha_entry_fn entry_ = nullptr;
  std::string pluginDir_;
  std::string moduleFile_;
  bool initialised_ = false;
  std::vector<LifecycleAnswer> answers_;
  std::vector<Leak> leaks_;
  std::vector<std::string> console_;
  std::vector<std::string> messageBoxes_;
  std::vector<int32_t> messageBoxFlags_;
  std::vector<MessageRecord> messages_;
  std::vector<std::unique_ptr<Document>> documents_;
  std::vector<std::pair<Object*, std::unique_ptr<Object>>> contours_;
  ha_crash_handler crashHandler_ = nullptr;
};

// Single values the host hands to the module (the enabling query's value).
ha_data NewDataHandle(const Value& value);
void FreeDataHandle(ha_data data);
// The value behind a live handle; null for null or unknown handles.
Value* DataValueOf(ha_data data);

}  // namespace host

#endif
