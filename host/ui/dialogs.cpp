// The module's dialogs and user areas: their layout, the drawing of an area,
// and the checks of the handles the module passes in.
#include "ui_internal.h"

#include <algorithm>
#include <utility>

#include "scene.h"

namespace host {

UiState& Ui() { return State().Layer<UiState>(); }

Dialog* CheckDialog(ha_dialog h, const char* call) {
  auto it = Ui().dialogs.find(reinterpret_cast<const Dialog*>(h));
  if (it == Ui().dialogs.end()) {
    if (h != nullptr) ReportMisuse(std::string(call) + ": unknown dialog handle");
    return nullptr;
  }
  return it->second.get();
}

UserArea* CheckArea(ha_userarea h, const char* call) {
  if (!Ui().areas.Has(h)) {
    if (h != nullptr) ReportMisuse(std::string(call) + ": unknown user area handle");
    return nullptr;
  }
  return reinterpret_cast<UserArea*>(h);
}

const Container* CheckMessage(ha_container h, const char* call) {
  if (!IsLiveContainer(h)) {
    ReportMisuse(std::string(call) + ": unknown container handle");
    return nullptr;
  }
  return reinterpret_cast<const Container*>(h);
}

int32_t IntOf(const Container& bc, int32_t id, int32_t preset) {
  const Value* v = bc.Find(id);
  return v != nullptr && v->type == HA_TYPE_INT32 ? v->i : preset;
}

// --- layout -------------------------------------------------------------------------

void Measure(LayoutNode& n) {
  if (!n.isGroup) {
    UserArea& a = *n.area;
    n.w = std::max(a.initW, a.hasMin ? a.minW : 0);
    n.h = std::max(a.initH, a.hasMin ? a.minH : 0);
    return;
  }
  const std::size_t cols = static_cast<std::size_t>(n.cols);
  const std::size_t count = n.children.size();
  const std::size_t rows = (count + cols - 1) / cols;
  n.colW.assign(std::min(cols, count), 0);
  n.rowH.assign(rows, 0);
  for (std::size_t i = 0; i < count; ++i) {
    Measure(*n.children[i]);
    n.colW[i % cols] = std::max(n.colW[i % cols], n.children[i]->w);
    n.rowH[i / cols] = std::max(n.rowH[i / cols], n.children[i]->h);
  }
  n.w = n.h = 0;
  for (int32_t c : n.colW) n.w += c;
  for (int32_t r : n.rowH) n.h += r;
  if (!n.colW.empty()) n.w += n.spaceX * static_cast<int32_t>(n.colW.size() - 1);
  if (!n.rowH.empty()) n.h += n.spaceY * static_cast<int32_t>(n.rowH.size() - 1);
}

void Place(LayoutNode& n, int32_t x, int32_t y) {
  if (!n.isGroup) {
    n.area->x = x;
    n.area->y = y;
    n.area->w = n.w;
    n.area->h = n.h;
    return;
  }
  const std::size_t cols = static_cast<std::size_t>(n.cols);
  for (std::size_t i = 0; i < n.children.size(); ++i) {
    int32_t cx = x, cy = y;
    for (std::size_t c = 0; c < i % cols; ++c) cx += n.colW[c] + n.spaceX;
    for (std::size_t r = 0; r < i / cols; ++r) cy += n.rowH[r] + n.spaceY;
    Place(*n.children[i], cx, cy);
  }
}

Dialog::~Dialog() {
  for (const auto& a : areas) Ui().areas.Remove(a.get());
}

void UserArea::Draw() {
  dirty = false;
  if (!attached || cls.draw == nullptr || w <= 0 || h <= 0) return;
  drawing = true;
  offscreen = false;
  current.clear();
  ScopedContainer msg(HA_BFM_DRAW);
  cls.draw(user, Handle(), 0, 0, w - 1, h - 1, msg.Handle());
  drawing = false;
  if (offscreen) std::swap(front, back);
  // The next draw records into the storage of the one before.
  last.swap(current);
  current.clear();
  ++draws;
}

int32_t DialogSendParent(ha_dialog h, ha_container msg) {
  Dialog* d = CheckDialog(h, "dialog_send_parent_message");
  const Container* bc = CheckMessage(msg, "dialog_send_parent_message");
  if (d == nullptr || bc == nullptr || d->elementHost == nullptr) return 0;
  return d->elementHost->OnReport(*bc);
}

}  // namespace host
