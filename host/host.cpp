#include "host.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>

#include "files.h"
#include "gui.h"
#include "resources.h"

#if defined(_WIN32)
// Only the library loader: no window functions, whose macros (SendMessage,
// ...) would rename the host's own members.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#define NOUSER
#define NOGDI
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace host {

namespace {

Host* g_current = nullptr;

struct Allocation {
  std::size_t size;
  std::string file;
  int32_t line;
};

std::map<void*, Allocation>& Ledger() {
  static std::map<void*, Allocation> ledger;
  return ledger;
}

// --- the platform's library loader -----------------------------------------

void* OpenLibrary(const std::string& path, std::string* error) {
#if defined(_WIN32)
  HMODULE lib = LoadLibraryA(path.c_str());
  if (lib == nullptr) *error = "cannot load " + path + " (error " + std::to_string(GetLastError()) + ")";
  return reinterpret_cast<void*>(lib);
#else
  void* lib = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (lib == nullptr) *error = dlerror();
  return lib;
#endif
}

ha_entry_fn FindEntry(void* lib) {
#if defined(_WIN32)
  return reinterpret_cast<ha_entry_fn>(
      reinterpret_cast<void*>(GetProcAddress(reinterpret_cast<HMODULE>(lib), HA_ENTRY_NAME)));
#else
  return reinterpret_cast<ha_entry_fn>(dlsym(lib, HA_ENTRY_NAME));
#endif
}

void CloseLibrary(void* lib) {
#if defined(_WIN32)
  FreeLibrary(reinterpret_cast<HMODULE>(lib));
#else
  dlclose(lib);
#endif
}

// The module file of a plug-in folder: the one file with a module suffix.
std::string FindModuleFile(const std::string& dir, std::string* error) {
  namespace fs = std::filesystem;
  std::error_code ec;
  if (!fs::is_directory(dir, ec)) {
    *error = "not a plug-in folder: " + dir;
    return "";
  }
  static const char* const kSuffixes[] = {".so", ".cdl64", ".cdl", ".dylib", ".dll"};
  std::vector<std::string> found;
  for (const auto& entry : fs::directory_iterator(dir, ec)) {
    if (!entry.is_regular_file()) continue;
    const std::string ext = entry.path().extension().string();
    if (std::find(std::begin(kSuffixes), std::end(kSuffixes), ext) != std::end(kSuffixes))
      found.push_back(entry.path().string());
  }
  if (found.empty()) {
    *error = "no module file in " + dir;
    return "";
  }
  std::sort(found.begin(), found.end());
  return found.front();
}

}  // namespace

HostOptions HostOptions::ForRelease(int release) {
  HostOptions o;
  o.interfaceVersion = release == 12 ? kRelease12Version : kRelease16Version;
  o.offerCrashHandler = release == 12;
  return o;
}

Host::Host(HostOptions options) : options_(options) {
  g_current = this;
  BuildTable();
  Failures().Reset();
  ClearMisuses();
  ClearDialogQueue();
  ClearDialogsShown();
  ClearFilesOpened();
}

Host::~Host() {
  Shutdown();
  if (g_current == this) g_current = nullptr;
}

Host* Host::Current() { return g_current; }

void* Host::Allocate(std::size_t size, const char* file, int32_t line) {
  if (Failures().NextAllocationFails()) return nullptr;
  void* block = std::malloc(size == 0 ? 1 : size);
  if (block == nullptr) return nullptr;
  std::string tag = file != nullptr ? file : "";
  const std::size_t slash = tag.find_last_of("/\\");
  if (slash != std::string::npos) tag = tag.substr(slash + 1);
  Ledger()[block] = Allocation{size, tag, line};
  return block;
}

void Host::Release(void* block) {
  if (block == nullptr) return;
  auto it = Ledger().find(block);
  if (it == Ledger().end()) {
    ReportMisuse("free of a block the host did not allocate");
    return;
  }
  Ledger().erase(it);
  std::free(block);
}

std::size_t Host::LiveAllocations() const { return Ledger().size(); }

bool Host::Load(const std::string& pluginDir, std::string* error) {
  std::string ignored;
  if (error == nullptr) error = &ignored;
  if (Loaded()) {
    *error = "a plug-in is loaded already";
    return false;
  }
  pluginDir_ = pluginDir;
  moduleFile_ = FindModuleFile(pluginDir, error);
  if (moduleFile_.empty()) return false;
  library_ = OpenLibrary(moduleFile_, error);
  if (library_ == nullptr) return false;
  entry_ = FindEntry(library_);
  if (entry_ == nullptr) {
    *error = "the module exports no entry " HA_ENTRY_NAME;
    CloseLibrary(library_);
    library_ = nullptr;
    return false;
  }

  const char* file = options_.omitModuleFile ? nullptr : moduleFile_.c_str();
  const int32_t init = CallEntry(HA_ACTION_INIT_SYS, const_cast<ha_host_table*>(&table_), nullptr,
                                 const_cast<char*>(file));
  answers_.push_back({"init", HA_ACTION_INIT_SYS, init});
  if (init != 1) {
    *error = "the module refused to initialise (answer " + std::to_string(init) + ")";
    return false;
  }
  initialised_ = true;
  const int32_t message = CallEntry(HA_ACTION_MESSAGE, reinterpret_cast<void*>(intptr_t{1}),
                                    nullptr, nullptr);
  answers_.push_back({"message 1", HA_ACTION_MESSAGE, message});
  if (message != 1) {
    *error = "the module could not load its resources (answer " + std::to_string(message) + ")";
    return false;
  }
  const int32_t start = CallEntry(HA_ACTION_START, nullptr, nullptr, nullptr);
  answers_.push_back({"start", HA_ACTION_START, start});
  if (start != 1) {
    *error = "the module failed to start (answer " + std::to_string(start) + ")";
    return false;
  }
  return true;
}

int32_t Host::CallEntry(int32_t action, void* p1, void* p2, void* p3) {
  if (entry_ == nullptr) return -1000;
  return entry_(action, p1, p2, p3);
}

void Host::Shutdown() {
  if (library_ == nullptr) return;
  // Everything that holds module data goes before the module does.
  contours_.clear();
  documents_.clear();
  for (const Object* op : LooseObjects()) {
    leaks_.push_back({"object", 0, op->Name(), op->Type()});
  }
  while (!LooseObjects().empty()) FreeLoose(const_cast<Object*>(LooseObjects().front()));
  ReleaseModuleExtras(*this);
  if (initialised_) {
    const int32_t end = CallEntry(HA_ACTION_END, nullptr, nullptr, nullptr);
    answers_.push_back({"end", HA_ACTION_END, end});
  }
  TakeStockOfLeaks();
  ObjectPlugins().clear();
  CloseLibrary(library_);
  library_ = nullptr;
  entry_ = nullptr;
  initialised_ = false;
}

void Host::TakeStockOfLeaks() {
  for (auto& [block, alloc] : Ledger()) {
    leaks_.push_back({"memory", alloc.size, alloc.file, alloc.line});
    std::free(block);
  }
  Ledger().clear();
  for (const Text* t : Texts().All()) leaks_.push_back({"text", t->value.size(), t->value, 0});
  if (ModuleContainerCount() != 0)
    leaks_.push_back({"container", ModuleContainerCount(), "", 0});
  if (OpenFileCount() != 0) leaks_.push_back({"file", OpenFileCount(), "", 0});
  if (LiveResourceCount() != 0) leaks_.push_back({"resource", LiveResourceCount(), "", 0});
  if (LiveBitmapCount() != 0) leaks_.push_back({"bitmap", LiveBitmapCount(), "", 0});
}

Document* Host::NewDocument() {
  documents_.push_back(std::make_unique<Document>());
  return documents_.back().get();
}

Document* Host::ActiveDocument() {
  if (documents_.empty()) return NewDocument();
  return documents_.front().get();
}

Object* Host::MakePluginObject(const ObjectPlugin& plugin) {
  ha_nodedata data = plugin.cls.alloc(plugin.cls.user);
  if (data == nullptr) return nullptr;
  Object* op = NewLooseObject(plugin.id, plugin.name);
  op->AttachPlugin(&plugin, data);
  if (plugin.cls.init != nullptr && plugin.cls.init(data, op->Handle()) == 0) {
    FreeLoose(op);
    return nullptr;
  }
  return op;
}

Object* Host::CreateObject(Document* doc, int32_t type, bool fromMenu, std::string* error) {
  Object* op = nullptr;
  if (const ObjectPlugin* plugin = FindObjectPlugin(type)) {
    op = MakePluginObject(*plugin);
    if (op == nullptr) {
      if (error != nullptr) *error = "the plug-in could not make a new object";
      return nullptr;
    }
    if (fromMenu) SendMessage(op, HA_MSG_MENUPREPARE, doc->Handle());
  } else if (IsHostType(type)) {
    op = NewLooseObject(type, DefaultName(type));
    ApplyHostDefaults(op);
  } else {
    if (error != nullptr) *error = "unknown object type " + std::to_string(type);
    return nullptr;
  }
  doc->StartUndo();
  doc->Insert(op, nullptr, nullptr);
  doc->AddUndo(HA_UNDO_NEW, op);
  doc->EndUndo();
  return op;
}

int32_t Host::SendMessage(Object* op, int32_t type, void* data) {
  messages_.push_back({op->Serial(), op->Name(), type});
  if (const ObjectPlugin* plugin = op->Plugin()) {
    if (plugin->cls.message != nullptr) return plugin->cls.message(op->NodeData(), op->Handle(), type, data);
  }
  return 1;
}

bool Host::EditParameter(Object* op, int32_t id, const Value& value) {
  Value fresh = value;
  if (value.custom.Holds() && !fresh.custom.Holds()) return false;
  Document* doc = op->Doc();
  if (doc != nullptr) {
    doc->StartUndo();
    if (!doc->AddUndo(HA_UNDO_CHANGE, op)) {
      doc->CancelUndo();
      return false;
    }
  }
  op->Data().Set(id, std::move(fresh));
  ha_descid descid{};
  descid.depth = 1;
  descid.level[0].id = id;
  ha_desc_changed changed{doc != nullptr ? doc->Handle() : nullptr, 0, &descid};
  SendMessage(op, HA_MSG_DESCRIPTION_POSTSETPARAMETER, &changed);
  if (doc != nullptr) doc->EndUndo();
  return true;
}

void Host::PressButton(Object* op, int32_t id) {
  ha_desc_command command{};
  command.id.depth = 1;
  command.id.level[0].id = id;
  SendMessage(op, HA_MSG_DESCRIPTION_COMMAND, &command);
}

Object* Host::EvaluateContour(Object* op) {
  const ObjectPlugin* plugin = op->Plugin();
  if (plugin == nullptr || plugin->cls.get_contour == nullptr) return nullptr;
  ha_object answer = plugin->cls.get_contour(op->NodeData(), op->Handle(),
                                             op->Doc() != nullptr ? op->Doc()->Handle() : nullptr,
                                             1.0, nullptr);
  contours_.erase(std::remove_if(contours_.begin(), contours_.end(),
                                 [op](const auto& c) { return c.first == op; }),
                  contours_.end());
  if (answer == nullptr) return nullptr;
  Object* spline = Object::FromHandle(answer);
  std::unique_ptr<Object> owned = spline != nullptr ? TakeLoose(spline) : nullptr;
  if (owned == nullptr) {
    ReportMisuse("get_contour answered an object the module does not own");
    return nullptr;
  }
  contours_.emplace_back(op, std::move(owned));
  return spline;
}

bool Host::IsEnabled(Object* op, int32_t id) {
  const ObjectPlugin* plugin = op->Plugin();
  if (plugin == nullptr || plugin->cls.get_d_enabling == nullptr) return true;
  ha_descid descid{};
  descid.depth = 1;
  descid.level[0].id = id;
  const Value* current = op->Data().Find(id);
  ha_data value = NewDataHandle(current != nullptr ? *current : Value());
  const bool enabled =
      plugin->cls.get_d_enabling(op->NodeData(), op->Handle(), &descid, value, 0, nullptr) != 0;
  FreeDataHandle(value);
  return enabled;
}

std::deque<ObjectPlugin>& ObjectPlugins() {
  static std::deque<ObjectPlugin> plugins;
  return plugins;
}

const ObjectPlugin* FindObjectPlugin(int32_t id) {
  for (const ObjectPlugin& p : ObjectPlugins())
    if (p.id == id) return &p;
  return nullptr;
}

}  // namespace host
