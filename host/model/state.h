// Everything one stand-in host holds: registries, live handles, the
// allocation ledger, the failure plan, the misuse log, the message log. The
// running `Host` owns one; the functions the module calls through the C
// interface find it through the one current-state pointer, which is the only
// process-wide variable of the host. A new host starts from a fresh state.
#ifndef HOST_STATE_H
#define HOST_STATE_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "core.h"
#include "custom_values.h"
#include "model.h"
#include "plugins.h"

namespace host {

// A module allocation the ledger holds. `file` is the source file's name
// without its folders, kept once for all the blocks tagged with it.
struct Allocation {
  std::size_t size = 0;
  const std::string* file = nullptr;
  int32_t line = 0;
};

// The file names the allocations are tagged with, each kept once. The
// module passes the same text for every allocation made on one line, so
// the name is found by the text's address, confirmed by its content.
class AllocationTags {
 public:
  const std::string* Of(const char* file);

 private:
  struct Seen {
    std::string text;          // the text as passed
    const std::string* name;   // its interned name
  };
  std::unordered_map<const char*, Seen> byAddress_;
  std::unordered_map<std::string, std::unique_ptr<std::string>> names_;
};

// An object message the host delivered or saw the module send.
struct MessageRecord {
  uint64_t serial = 0;
  std::string name;
  int32_t type = 0;
};

// The messages sent to and by objects, oldest first, numbered from 0 in the
// order they were sent. Bounded: when it holds kLimit records the oldest half
// goes, so a long session keeps the recent ones. Positions stay those of the
// whole history: size() counts every message ever sent, and a record is
// found by the position it had when it was sent.
class MessageLog {
 public:
  static constexpr std::size_t kLimit = std::size_t{1} << 16;
  void push_back(MessageRecord record) {
    if (kept_.size() == kLimit) {
      kept_.erase(kept_.begin(), kept_.begin() + kLimit / 2);
      dropped_ += kLimit / 2;
    }
    kept_.push_back(std::move(record));
  }
  std::size_t size() const { return dropped_ + kept_.size(); }
  // Forgets every record; positions start again from 0.
  void clear() {
    kept_.clear();
    dropped_ = 0;
  }
  const MessageRecord& operator[](std::size_t position) const { return kept_.at(position - dropped_); }
  std::deque<MessageRecord>::const_iterator begin() const { return kept_.begin(); }
  std::deque<MessageRecord>::const_iterator end() const { return kept_.end(); }

 private:
  std::deque<MessageRecord> kept_;
  std::size_t dropped_ = 0;
};

// The state of a layer above the model (formats, interface elements, the
// console). Each such layer keeps its own type in its own slot; the model
// knows only the slots.
class LayerState {
 public:
  virtual ~LayerState() = default;
};
enum LayerSlot : std::size_t {
  kFilesSlot,
  kResourcesSlot,
  kSceneFileSlot,
  kUiSlot,
  kCliSlot,
  kLayerSlotCount
};

class HostState {
 public:
  // The new state becomes the current one.
  HostState();
  // Upper layers' state goes first, then the model's; if this was the
  // current state there is none afterwards.
  virtual ~HostState();
  HostState(const HostState&) = delete;
  HostState& operator=(const HostState&) = delete;

  // The state of the running host; null when no host runs.
  static HostState* Current() { return current_; }

  // Failure injection and the misuse log.
  FailurePlan failures;
  std::vector<std::string> misuses;

  // Module allocations and texts handed to the module.
  // The module's live blocks by address.
  FlatMap<void*, Allocation> ledger;
  AllocationTags allocationTags;
  HandleSet<Text> texts;

  // Objects, containers, documents and single values the module may name.
  uint64_t nextSerial = 1;
  FlatMap<uint64_t, Object*> serials;
  HandleSet<Object> objects;
  HandleSet<Container> containers;
  HandleSet<Document> documents;
  HandleSet<Value> dataValues;
  UndoListener undoListener = nullptr;

  // Registered plug-ins (a deque: objects keep pointers into it).
  std::deque<ObjectPlugin> objectPlugins;
  std::vector<CustomTypeRef> customTypes;
  RegistrationRefusals refusals;

  // Objects the module made and has neither inserted nor freed, and the
  // containers it owns.
  FlatMap<const Object*, std::unique_ptr<Object>> loose;
  std::unordered_map<const Container*, std::unique_ptr<Container>> moduleContainers;

  MessageLog messages;

  // The last contour each generator answered, owned by the host.
  FlatMap<const Object*, std::unique_ptr<Object>> contours;

  // The state of an upper layer, made on first use.
  template <typename T>
  T& Layer() {
    std::unique_ptr<LayerState>& slot = layers_[T::kSlot];
    if (slot == nullptr) slot = std::make_unique<T>();
    return static_cast<T&>(*slot);
  }

 private:
  static HostState* current_;
  // Last, so that it goes first.
  std::array<std::unique_ptr<LayerState>, kLayerSlotCount> layers_;
};

// The running host's state; stops the program with a message when no host
// runs (a host function called without one is a fault of the caller).
// Inline: every interface call asks for it.
[[noreturn]] void NoHostRuns();
inline HostState& State() {
  HostState* state = HostState::Current();
  if (state == nullptr) NoHostRuns();
  return *state;
}

}  // namespace host

#endif
