// The functions of the interface element suite (suites/ha_gui.cpp makes the
// table): element registration, libraries, dialogs and their layout, user
// areas and drawing.
#include "element_entries.h"

#include <cmath>
#include <utility>

#include "scene.h"
#include "ui_internal.h"

namespace host {
namespace element_entries {
namespace {

uint8_t ColorByte(double c) {
  if (!(c > 0.0)) return 0;
  if (c >= 1.0) return 255;
  return static_cast<uint8_t>(std::lround(c * 255.0));
}

bool IsRegisteredElement(const void* p) {
  for (const CustomGuiPlugin& g : Ui().registry)
    if (&g == p) return true;
  return false;
}

// Drawing calls count only while the host draws the area.
UserArea* Drawing(ha_userarea h, const char* call) {
  UserArea* a = CheckArea(h, call);
  return a != nullptr && a->drawing ? a : nullptr;
}

}  // namespace

int32_t RegisterCustomGui(const ha_customgui_info* info) {
  if (info == nullptr || info->cls == nullptr || info->size < sizeof(ha_customgui_info) ||
      info->cls->size < sizeof(ha_customgui_class)) {
    ReportMisuse("register_customgui: incomplete registration");
    return 0;
  }
  const ha_customgui_class& cls = *info->cls;
  if (cls.alloc_instance == nullptr || cls.free_instance == nullptr ||
      cls.supported_types == nullptr || cls.destroy == nullptr) {
    ReportMisuse("register_customgui: the class lacks a function");
    DestroyElementClass(cls);
    return 0;
  }
  if (Refusals().elements || FindCustomGuiPlugin(info->id) != nullptr ||
      (cls.get_id != nullptr && cls.get_id(cls.user) != info->id)) {
    DestroyElementClass(cls);
    return 0;
  }
  CustomGuiPlugin plugin;
  plugin.id = info->id;
  plugin.name = info->name != nullptr ? info->name : "";
  plugin.info = info->info;
  if (cls.resource_symbol != nullptr) {
    const char* symbol = cls.resource_symbol(cls.user);
    plugin.symbol = symbol != nullptr ? symbol : "";
  }
  const int32_t* table = nullptr;
  const int32_t count = cls.supported_types(cls.user, &table);
  for (int32_t i = 0; table != nullptr && i < count; ++i) plugin.types.push_back(table[i]);
  plugin.cls = cls;
  Ui().registry.push_back(std::move(plugin));
  return 1;
}

int32_t InstallLibrary(int32_t id, const void* lib, int32_t version, int32_t size) {
  if (lib == nullptr || size < static_cast<int32_t>(sizeof(ha_customgui_lib))) {
    ReportMisuse("install_library: no record or a record too small");
    return 0;
  }
  if (Refusals().libraries || FindLibrary(id) != nullptr) return 0;
  Ui().libraries.push_back(InstalledLibrary{id, lib, version, size});
  return 1;
}

ha_plugin FindPluginFn(int32_t type, int32_t id) {
  if (type != HA_PLUGINTYPE_CUSTOMGUI) return nullptr;
  const CustomGuiPlugin* p = FindCustomGuiPlugin(id);
  return p != nullptr ? reinterpret_cast<ha_plugin>(const_cast<CustomGuiPlugin*>(p)) : nullptr;
}

ha_dialog DialogAlloc(ha_container settings, ha_plugin plugin, const ha_dialog_class* cls,
                      void* user) {
  if (!IsRegisteredElement(plugin)) {
    ReportMisuse("customgui_dialog_alloc: not an interface element plug-in");
    return nullptr;
  }
  if (cls == nullptr || cls->size < sizeof(ha_dialog_class)) {
    ReportMisuse("customgui_dialog_alloc: incomplete dialog class");
    return nullptr;
  }
  const Container* bc = settings != nullptr ? CheckMessage(settings, "customgui_dialog_alloc") : nullptr;
  if (Failures().NextAllocationFails()) return nullptr;
  auto dialog = std::make_unique<Dialog>();
  dialog->cls = *cls;
  dialog->user = user;
  dialog->plugin = reinterpret_cast<const CustomGuiPlugin*>(plugin);
  if (bc != nullptr) dialog->settings = *bc;
  Dialog* raw = dialog.get();
  Ui().dialogs[raw] = std::move(dialog);
  return raw->Handle();
}

void DialogFree(ha_dialog h) {
  Dialog* d = CheckDialog(h, "dialog_free");
  if (d == nullptr) return;
  d->LeaveElementHost();
  Ui().dialogs.erase(d);
}

int32_t DialogGetId(ha_dialog h) {
  Dialog* d = CheckDialog(h, "dialog_get_id");
  return d != nullptr ? d->id : 0;
}

int32_t DefaultLayout(ha_dialog h) {
  Dialog* d = CheckDialog(h, "dialog_default_layout");
  if (d == nullptr) return 0;
  d->layoutDone = true;
  d->Log("layout", {}, true);
  return 1;
}

int32_t DefaultCommand(ha_dialog h, int32_t, ha_container) {
  CheckDialog(h, "dialog_default_command");
  return 0;
}

int32_t GroupBegin(ha_dialog h, int32_t id, int32_t flags, int32_t cols, int32_t rows, const char*,
                   int32_t groupflags, int32_t initw, int32_t inith) {
  Dialog* d = CheckDialog(h, "group_begin");
  if (d == nullptr) return 0;
  auto group = std::make_unique<LayoutNode>();
  group->id = id;
  group->cols = cols > 0 ? cols : 1;
  LayoutNode* raw = group.get();
  d->CurrentGroup()->children.push_back(std::move(group));
  d->stack.push_back(raw);
  d->Log("group", {id, flags, cols, rows, groupflags, initw, inith}, true);
  return 1;
}

int32_t GroupSpace(ha_dialog h, int32_t spacex, int32_t spacey) {
  Dialog* d = CheckDialog(h, "group_space");
  if (d == nullptr) return 0;
  const bool ok = !d->stack.empty() && spacex >= 0 && spacey >= 0;
  if (ok) {
    d->stack.back()->spaceX = spacex;
    d->stack.back()->spaceY = spacey;
  }
  d->Log("space", {spacex, spacey}, ok);
  return ok ? 1 : 0;
}

int32_t GroupEnd(ha_dialog h) {
  Dialog* d = CheckDialog(h, "group_end");
  if (d == nullptr) return 0;
  const bool ok = !d->stack.empty();
  if (ok) d->stack.pop_back();
  d->Log("end", {}, ok);
  return ok ? 1 : 0;
}

int32_t AddUserAreaFn(ha_dialog h, int32_t id, int32_t flags, int32_t initw, int32_t inith) {
  Dialog* d = CheckDialog(h, "add_user_area");
  if (d == nullptr) return 0;
  const bool ok = d->Area(id) == nullptr && initw >= 0 && inith >= 0;
  d->Log("userarea", {id, flags, initw, inith}, ok);
  if (!ok) return 0;
  auto area = std::make_unique<UserArea>(d, id, flags, initw, inith);
  auto node = std::make_unique<LayoutNode>();
  node->isGroup = false;
  node->id = id;
  node->area = area.get();
  d->CurrentGroup()->children.push_back(std::move(node));
  Ui().areas.Add(area.get());
  d->areas.push_back(std::move(area));
  return 1;
}

ha_userarea AttachUserArea(ha_dialog h, int32_t id, const ha_userarea_class* cls, void* user,
                           int32_t flags) {
  Dialog* d = CheckDialog(h, "attach_user_area");
  if (d == nullptr) return nullptr;
  UserArea* area = d->Area(id);
  const bool ok = area != nullptr && cls != nullptr && cls->size >= sizeof(ha_userarea_class);
  d->Log("attach", {id, flags}, ok);
  if (!ok) return nullptr;
  area->attached = true;
  area->cls = *cls;
  area->user = user;
  area->attachFlags = flags;
  return area->Handle();
}

int32_t DialogSendParentFn(ha_dialog h, ha_container msg) { return DialogSendParent(h, msg); }

void UaDetach(ha_userarea h) {
  UserArea* a = CheckArea(h, "userarea_detach");
  if (a == nullptr) return;
  a->attached = false;
  a->cls = ha_userarea_class{};
  a->user = nullptr;
}

int32_t UaGetId(ha_userarea h) {
  UserArea* a = CheckArea(h, "userarea_get_id");
  return a != nullptr ? a->id : 0;
}

void UaRedraw(ha_userarea h) {
  UserArea* a = CheckArea(h, "userarea_redraw");
  if (a == nullptr) return;
  a->dirty = true;
  ++a->redrawRequests;
}

int32_t UaSendParent(ha_userarea h, ha_container msg) {
  UserArea* a = CheckArea(h, "userarea_send_parent_message");
  const Container* bc = CheckMessage(msg, "userarea_send_parent_message");
  if (a == nullptr || bc == nullptr) return 0;
  Dialog* d = a->owner;
  // An action reaches the dialog's command handler under the sender's ID.
  if (bc->Id() != HA_BFM_ACTION || d->cls.command == nullptr) return 0;
  return d->cls.command(d->user, d->Handle(), IntOf(*bc, HA_BFM_ACTION_ID, a->id), msg);
}

int32_t UaGlobalToLocal(ha_userarea h, int32_t* x, int32_t* y) {
  UserArea* a = CheckArea(h, "userarea_global_to_local");
  if (a == nullptr || x == nullptr || y == nullptr) return 0;
  *x = static_cast<int32_t>(static_cast<int64_t>(*x) - a->x);
  *y = static_cast<int32_t>(static_cast<int64_t>(*y) - a->y);
  return 1;
}

void OffscreenOn(ha_userarea h) {
  UserArea* a = Drawing(h, "offscreen_on");
  if (a == nullptr) return;
  a->offscreen = true;
  a->back = a->front;
  a->current.push_back({UserArea::Recorded::kSetup, 0, {}});
}

void DrawSetPen(ha_userarea h, const ha_vector* color) {
  UserArea* a = Drawing(h, "draw_set_pen");
  if (a == nullptr || color == nullptr) return;
  a->pen = {ColorByte(color->x), ColorByte(color->y), ColorByte(color->z)};
  a->current.push_back({UserArea::Recorded::kPen, 3, {a->pen[0], a->pen[1], a->pen[2], 0}});
}

void DrawRectangle(ha_userarea h, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  UserArea* a = Drawing(h, "draw_rectangle");
  if (a == nullptr) return;
  (a->offscreen ? a->back : a->front).Fill(x1, y1, x2, y2, a->pen);
  a->current.push_back({UserArea::Recorded::kRect, 4, {x1, y1, x2, y2}});
}

}  // namespace element_entries
}  // namespace host
