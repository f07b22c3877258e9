#include "host.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>

#include "files.h"
#include "gui.h"
#include "resources.h"
#include "scenefile.h"
#include "suites.h"

namespace host {

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

HostOptions HostOptions::ForRelease(int release) {
  HostOptions o;
  o.interfaceVersion = release == 12 ? kRelease12Version : kRelease16Version;
  o.offerCrashHandler = release == 12;
  return o;
}

Host::Host(HostOptions options) : options_(options) { BuildTable(); }

Host::~Host() { Shutdown(); }

std::string Host::ModuleKind() const { return library_ != nullptr ? library_->Kind() : ""; }

Host* Host::Current() { return static_cast<Host*>(HostState::Current()); }

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
  library_ = OpenModuleLibrary(moduleFile_, error);
  if (library_ == nullptr) return false;
  entry_ = reinterpret_cast<ha_entry_fn>(library_->FindFunction(HA_ENTRY_NAME));
  if (entry_ == nullptr) {
    *error = "the module exports no entry " HA_ENTRY_NAME;
    library_.reset();
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
  contours.clear();
  documents_.clear();
  for (const Object* op : LooseObjects()) {
    leaks_.push_back({"object", 0, op->Name(), op->Type()});
  }
  while (!LooseObjects().empty()) FreeLoose(const_cast<Object*>(LooseObjects().front()));
  if (const long values = ReleaseModuleExtras())
    leaks_.push_back({"custom value", static_cast<std::size_t>(values), "", 0});
  if (initialised_) {
    const int32_t end = CallEntry(HA_ACTION_END, nullptr, nullptr, nullptr);
    answers_.push_back({"end", HA_ACTION_END, end});
  }
  TakeStockOfLeaks();
  objectPlugins.clear();
  library_.reset();
  entry_ = nullptr;
  initialised_ = false;
}

void Host::TakeStockOfLeaks() {
  ledger.ForEach([this](void* block, const Allocation& alloc) {
    leaks_.push_back({"memory", alloc.size, *alloc.file, alloc.line});
    std::free(block);
  });
  ledger.clear();
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

void Host::BuildTable() {
  table_.version = options_.interfaceVersion;
  table_.size = options_.tableSize != 0 ? options_.tableSize : sizeof(ha_host_table);
  table_.memory = MemorySuite();
  table_.resource = ResourceSuite();
  table_.container = ContainerSuite();
  table_.data = DataSuite();
  table_.object = ObjectSuite();
  table_.document = DocumentSuite();
  table_.file = FileSuite();
  table_.crash = options_.offerCrashHandler ? CrashSuite() : nullptr;
  table_.customdata = CustomDataSuite();
  table_.hyperfile = HyperFileSuite();
  table_.gui = GuiSuite();
}

Document* ReplaceDocument(Host& host, Document* old, std::unique_ptr<Document> fresh) {
  for (std::unique_ptr<Document>& slot : host.Documents()) {
    if (slot.get() != old) continue;
    CloseElementHostsOf(old);
    slot = std::move(fresh);
    return slot.get();
  }
  return nullptr;
}

}  // namespace host
