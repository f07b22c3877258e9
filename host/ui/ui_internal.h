// What the files of the interface layer share: the host's objects behind
// the dialog and user area handles, the layer's state in a host, and the
// checks of the handles and messages the module passes in.
#ifndef HOST_UI_INTERNAL_H
#define HOST_UI_INTERNAL_H

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "core.h"
#include "gui.h"
#include "state.h"

namespace host {

// A node of a dialog's layout: a group of children or one user area.
struct LayoutNode {
  bool isGroup = true;
  int32_t id = 0;
  int32_t cols = 1;
  int32_t spaceX = 0, spaceY = 0;
  std::vector<std::unique_ptr<LayoutNode>> children;
  UserArea* area = nullptr;
  int32_t w = 0, h = 0;
  std::vector<int32_t> colW, rowH;
};

class UserArea {
 public:
  UserArea(Dialog* dialogOwner, int32_t gadgetId, int32_t gadgetFlags, int32_t width, int32_t height)
      : owner(dialogOwner), id(gadgetId), flags(gadgetFlags), initW(width), initH(height) {}
  ha_userarea Handle() { return reinterpret_cast<ha_userarea>(this); }
  // Runs the module's draw into the raster.
  void Draw();

  Dialog* owner;
  int32_t id;
  int32_t flags;
  int32_t initW, initH;
  bool attached = false;
  ha_userarea_class cls{};
  void* user = nullptr;
  int32_t attachFlags = 0;
  bool hasMin = false;
  int32_t minW = 0, minH = 0;
  int32_t x = 0, y = 0, w = 0, h = 0;
  Raster front, back;
  bool drawing = false;
  bool offscreen = false;
  Rgb pen{0, 0, 0};
  bool dirty = false;
  long redrawRequests = 0;
  long draws = 0;
  // The drawing calls kept flat, without a heap block each; LastDraw gives
  // them out as DrawCall records.
  struct Recorded {
    enum Kind : uint8_t { kSetup, kPen, kRect } kind;
    uint8_t count;
    int32_t args[4];
  };
  std::vector<Recorded> current, last;
};

class Dialog {
 public:
  ~Dialog();
  ha_dialog Handle() { return reinterpret_cast<ha_dialog>(this); }
  UserArea* Area(int32_t gadgetId) const {
    for (const auto& a : areas)
      if (a->id == gadgetId) return a.get();
    return nullptr;
  }
  LayoutNode* CurrentGroup() { return stack.empty() ? &root : stack.back(); }
  void Log(const std::string& what, std::vector<int32_t> args, bool ok) {
    if (elementHost != nullptr) elementHost->layout_.push_back(LayoutCall{what, std::move(args), ok});
  }
  // The dialog goes away: its element host no longer has it.
  void LeaveElementHost() {
    if (elementHost != nullptr) elementHost->dialog_ = nullptr;
    elementHost = nullptr;
  }

  ha_dialog_class cls{};
  void* user = nullptr;
  const CustomGuiPlugin* plugin = nullptr;
  Container settings;
  int32_t id = 0;
  ElementHost* elementHost = nullptr;
  std::vector<std::unique_ptr<UserArea>> areas;
  LayoutNode root;
  std::vector<LayoutNode*> stack;
  bool layoutDone = false;
};

// The interface elements of one host: registrations, libraries, the
// module's dialogs and user areas, and the element hosts open.
struct UiState : LayerState {
  static constexpr LayerSlot kSlot = kUiSlot;
  std::deque<CustomGuiPlugin> registry;
  std::vector<InstalledLibrary> libraries;
  std::unordered_map<const Dialog*, std::unique_ptr<Dialog>> dialogs;
  HandleSet<UserArea> areas;
  std::vector<std::unique_ptr<ElementHost>> elementHosts;
};

UiState& Ui();

// A container lent to the module for one call.
class ScopedContainer {
 public:
  explicit ScopedContainer(int32_t id) {
    bc_.SetId(id);
    AddLiveContainer(&bc_);
  }
  ~ScopedContainer() { RemoveLiveContainer(&bc_); }
  ScopedContainer(const ScopedContainer&) = delete;
  ScopedContainer& operator=(const ScopedContainer&) = delete;
  Container& Get() { return bc_; }
  ha_container Handle() { return reinterpret_cast<ha_container>(&bc_); }

 private:
  Container bc_;
};

// The dialog, user area or message behind a handle the module passed to
// `call`; null, with a misuse reported, for an unknown one.
Dialog* CheckDialog(ha_dialog h, const char* call);
UserArea* CheckArea(ha_userarea h, const char* call);
const Container* CheckMessage(ha_container h, const char* call);

// The int32 entry `id` of `bc`, or `preset` when it holds none.
int32_t IntOf(const Container& bc, int32_t id, int32_t preset);

// Hands an element's registration object back to the module.
void DestroyElementClass(const ha_customgui_class& cls);

// Sends a dialog's message to its parent, the attribute editor.
int32_t DialogSendParent(ha_dialog h, ha_container msg);

// Lays out a dialog: Measure sizes every group and user area, Place puts
// them at window positions from (x, y).
void Measure(LayoutNode& n);
void Place(LayoutNode& n, int32_t x, int32_t y);

}  // namespace host

#endif
