#include "gui.h"

#if HOST_HAVE_LIBPNG
#include <png.h>
#else
#include "stored_png.h"
#endif

#include <algorithm>
#include <cmath>
#include <cstring>
#include <unordered_map>

#include "core.h"
#include "safe_writer.h"
#include "scene.h"
#include "state.h"

namespace host {

int32_t DialogSendParent(ha_dialog h, ha_container msg);

// --- host objects behind the handles ---------------------------------------------

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
    if (editor != nullptr) editor->layout_.push_back(LayoutCall{what, std::move(args), ok});
  }
  // The dialog goes away: its editor no longer has it.
  void LeaveEditor() {
    if (editor != nullptr) editor->dialog_ = nullptr;
    editor = nullptr;
  }

  ha_dialog_class cls{};
  void* user = nullptr;
  const CustomGuiPlugin* plugin = nullptr;
  Container settings;
  int32_t id = 0;
  ElementEditor* editor = nullptr;
  std::vector<std::unique_ptr<UserArea>> areas;
  LayoutNode root;
  std::vector<LayoutNode*> stack;
  bool layoutDone = false;
};

namespace {

// The interface elements of one host: registrations, libraries, the
// module's dialogs and user areas, and the open editors.
struct UiState : LayerState {
  static constexpr LayerSlot kSlot = kUiSlot;
  std::deque<CustomGuiPlugin> registry;
  std::vector<InstalledLibrary> libraries;
  std::unordered_map<const Dialog*, std::unique_ptr<Dialog>> dialogs;
  HandleSet<UserArea> areas;
  std::vector<std::unique_ptr<ElementEditor>> editors;
};

UiState& Ui() { return State().Layer<UiState>(); }
std::deque<CustomGuiPlugin>& GuiRegistry() { return Ui().registry; }
std::vector<InstalledLibrary>& Libraries() { return Ui().libraries; }
std::unordered_map<const Dialog*, std::unique_ptr<Dialog>>& Dialogs() { return Ui().dialogs; }
HandleSet<UserArea>& Areas() { return Ui().areas; }
std::vector<std::unique_ptr<ElementEditor>>& Editors() { return Ui().editors; }

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

Dialog* CheckDialog(ha_dialog h, const char* call) {
  auto it = Dialogs().find(reinterpret_cast<const Dialog*>(h));
  if (it == Dialogs().end()) {
    if (h != nullptr) ReportMisuse(std::string(call) + ": unknown dialog handle");
    return nullptr;
  }
  return it->second.get();
}

UserArea* CheckArea(ha_userarea h, const char* call) {
  if (!Areas().Has(h)) {
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

uint8_t ColorByte(double c) {
  if (!(c > 0.0)) return 0;
  if (c >= 1.0) return 255;
  return static_cast<uint8_t>(std::lround(c * 255.0));
}

bool IsRegisteredElement(const void* p) {
  for (const CustomGuiPlugin& g : GuiRegistry())
    if (&g == p) return true;
  return false;
}

// --- registration and libraries ---------------------------------------------------

void DestroyElementClass(const ha_customgui_class& cls) {
  if (cls.destroy != nullptr) cls.destroy(cls.user);
}

}  // namespace

namespace gui_entries {

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
  GuiRegistry().push_back(std::move(plugin));
  return 1;
}

int32_t InstallLibrary(int32_t id, const void* lib, int32_t version, int32_t size) {
  if (lib == nullptr || size < static_cast<int32_t>(sizeof(ha_customgui_lib))) {
    ReportMisuse("install_library: no record or a record too small");
    return 0;
  }
  if (Refusals().libraries || FindLibrary(id) != nullptr) return 0;
  Libraries().push_back(InstalledLibrary{id, lib, version, size});
  return 1;
}

ha_plugin FindPluginFn(int32_t type, int32_t id) {
  if (type != HA_PLUGINTYPE_CUSTOMGUI) return nullptr;
  const CustomGuiPlugin* p = FindCustomGuiPlugin(id);
  return p != nullptr ? reinterpret_cast<ha_plugin>(const_cast<CustomGuiPlugin*>(p)) : nullptr;
}

}  // namespace gui_entries

namespace {

// --- dialogs ------------------------------------------------------------------------

}  // namespace

namespace gui_entries {

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
  Dialogs()[raw] = std::move(dialog);
  return raw->Handle();
}

void DialogFree(ha_dialog h) {
  Dialog* d = CheckDialog(h, "dialog_free");
  if (d == nullptr) return;
  d->LeaveEditor();
  Dialogs().erase(d);
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
  Areas().Add(area.get());
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

}  // namespace gui_entries

namespace {

// --- user areas ---------------------------------------------------------------------

}  // namespace

namespace gui_entries {

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

}  // namespace gui_entries

namespace {

// Drawing calls count only while the host draws the area.
UserArea* Drawing(ha_userarea h, const char* call) {
  UserArea* a = CheckArea(h, call);
  return a != nullptr && a->drawing ? a : nullptr;
}

}  // namespace

namespace gui_entries {

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

}  // namespace gui_entries

namespace {

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

}  // namespace

Dialog::~Dialog() {
  for (const auto& a : areas) Areas().Remove(a.get());
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

// Sends a dialog's message to its parent, the attribute editor.
int32_t DialogSendParent(ha_dialog h, ha_container msg) {
  Dialog* d = CheckDialog(h, "dialog_send_parent_message");
  const Container* bc = CheckMessage(msg, "dialog_send_parent_message");
  if (d == nullptr || bc == nullptr || d->editor == nullptr) return 0;
  return d->editor->OnReport(*bc);
}

// ---------------------------------------------------------------------------
// Registries

const std::deque<CustomGuiPlugin>& CustomGuiPlugins() { return GuiRegistry(); }

const CustomGuiPlugin* FindCustomGuiPlugin(int32_t id) {
  for (const CustomGuiPlugin& g : GuiRegistry())
    if (g.id == id) return &g;
  return nullptr;
}

const std::vector<InstalledLibrary>& InstalledLibraries() { return Libraries(); }

const InstalledLibrary* FindLibrary(int32_t id) {
  for (const InstalledLibrary& l : Libraries())
    if (l.id == id) return &l;
  return nullptr;
}

long ReleaseModuleExtras() {
  while (!Editors().empty()) CloseElement(Editors().back().get());
  if (!Dialogs().empty()) {
    ReportMisuse(std::to_string(Dialogs().size()) + " dialog(s) of the module were never freed");
    Dialogs().clear();
  }
  for (CustomGuiPlugin& g : GuiRegistry()) {
    g.alive = false;
    DestroyElementClass(g.cls);
  }
  GuiRegistry().clear();
  Libraries().clear();
  const long live = ReleaseCustomDataTypes();
  Refusals() = RegistrationRefusals();
  return live;
}

// ---------------------------------------------------------------------------
// Rasters

void Raster::Reset(int w, int h, Rgb fill) {
  width = std::max(w, 0);
  height = std::max(h, 0);
  rgb.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3, 0);
  for (std::size_t i = 0; i < rgb.size(); i += 3) std::copy(fill.begin(), fill.end(), rgb.begin() + i);
}

Rgb Raster::At(int x, int y) const {
  const std::size_t i = (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + x) * 3;
  return {rgb[i], rgb[i + 1], rgb[i + 2]};
}

namespace {

// Copies `n` bytes in pieces of 16 (8 below 16), the last piece overlapping
// the one before, so a short row takes a few wide stores and no call.
inline void CopyRow(uint8_t* dst, const uint8_t* src, std::size_t n) {
  if (n >= 16) {
    std::size_t i = 0;
    for (; i + 16 <= n; i += 16) std::memcpy(dst + i, src + i, 16);
    if (i < n) std::memcpy(dst + n - 16, src + n - 16, 16);
  } else if (n >= 8) {
    std::memcpy(dst, src, 8);
    std::memcpy(dst + n - 8, src + n - 8, 8);
  } else {
    for (std::size_t i = 0; i < n; ++i) dst[i] = src[i];
  }
}

}  // namespace

void Raster::Fill(int x1, int y1, int x2, int y2, Rgb color) {
  if (x1 > x2) std::swap(x1, x2);
  if (y1 > y2) std::swap(y1, y2);
  x1 = std::max(x1, 0);
  y1 = std::max(y1, 0);
  x2 = std::min(x2, width - 1);
  y2 = std::min(y2, height - 1);
  if (x1 > x2 || y1 > y2) return;
  const std::size_t stride = static_cast<std::size_t>(width) * 3;
  const std::size_t rowBytes = static_cast<std::size_t>(x2 - x1 + 1) * 3;
  uint8_t* first = rgb.data() + static_cast<std::size_t>(y1) * stride + static_cast<std::size_t>(x1) * 3;
  if (!patternMade || patternColor != color) {
    for (std::size_t i = 0; i < pattern.size(); i += 3) {
      pattern[i] = color[0];
      pattern[i + 1] = color[1];
      pattern[i + 2] = color[2];
    }
    patternColor = color;
    patternMade = true;
  }
  const uint8_t* source = pattern.data();
  if (rowBytes > pattern.size()) {
    // A wide rectangle: the first row pixel by pixel, the others copied from it.
    for (std::size_t i = 0; i < rowBytes; i += 3) {
      first[i] = color[0];
      first[i + 1] = color[1];
      first[i + 2] = color[2];
    }
    source = first;
    if (y1 == y2) return;
    ++y1;
  }
  const std::size_t rows = static_cast<std::size_t>(y2 - y1 + 1);
  uint8_t* row = rgb.data() + static_cast<std::size_t>(y1) * stride + static_cast<std::size_t>(x1) * 3;
  for (std::size_t k = 0; k < rows; ++k) CopyRow(row + k * stride, source, rowBytes);
}

#if !HOST_HAVE_LIBPNG
// Builds without libpng write and read PNG files with the host's own small
// coder (stored, uncompressed image data).
bool WritePng(const Raster& raster, const std::string& path, std::string* error) {
  if (raster.width <= 0 || raster.height <= 0) {
    *error = "the field has no pixels to write";
    return false;
  }
  const std::string bytes = EncodeStoredPng(raster.width, raster.height, raster.rgb);
  if (bytes.empty()) {
    *error = "cannot encode the PNG: the raster's size does not match its pixels";
    return false;
  }
  return SaveFile(path, bytes, error);
}

bool ReadPng(const std::string& path, Raster* raster, std::string* error) {
  return ReadStoredPngFile(path, &raster->width, &raster->height, &raster->rgb, error);
}
#else
bool WritePng(const Raster& raster, const std::string& path, std::string* error) {
  if (raster.width <= 0 || raster.height <= 0) {
    *error = "the field has no pixels to write";
    return false;
  }
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(raster.width);
  image.height = static_cast<png_uint_32>(raster.height);
  image.format = PNG_FORMAT_RGB;
  png_alloc_size_t size = 0;
  if (!png_image_write_to_memory(&image, nullptr, &size, 0, raster.rgb.data(), 0, nullptr)) {
    *error = std::string("cannot encode the PNG: ") + image.message;
    return false;
  }
  std::string bytes(size, '\0');
  if (!png_image_write_to_memory(&image, bytes.data(), &size, 0, raster.rgb.data(), 0, nullptr)) {
    *error = std::string("cannot encode the PNG: ") + image.message;
    return false;
  }
  bytes.resize(size);
  return SaveFile(path, bytes, error);
}

bool ReadPng(const std::string& path, Raster* raster, std::string* error) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) {
    *error = path + ": " + image.message;
    return false;
  }
  image.format = PNG_FORMAT_RGB;
  raster->width = static_cast<int>(image.width);
  raster->height = static_cast<int>(image.height);
  raster->rgb.assign(PNG_IMAGE_SIZE(image), 0);
  if (!png_image_finish_read(&image, nullptr, raster->rgb.data(), 0, nullptr)) {
    *error = path + ": " + image.message;
    png_image_free(&image);
    return false;
  }
  return true;
}

#endif  // HOST_HAVE_LIBPNG

// ---------------------------------------------------------------------------
// The attribute editor's element

ElementEditor::ElementEditor(Object* op, int32_t paramId, int32_t paramType)
    : target_(op->Serial()), paramId_(paramId), paramType_(paramType) {}

ElementEditor::~ElementEditor() {
  if (dialog_ == nullptr) return;
  Dialog* d = dialog_;
  if (plugin_ != nullptr && plugin_->alive) plugin_->cls.free_instance(plugin_->cls.user, d->Handle(), instance_);
  if (dialog_ != nullptr) {
    ReportMisuse("the interface element did not free its dialog");
    d->editor = nullptr;
    Dialogs().erase(d);
  }
}

Object* ElementEditor::Target() const {
  Object* op = Object::FindSerial(target_);
  return op != nullptr && op->InTree() ? op : nullptr;
}

bool ElementEditor::Start(std::string* error) {
  ScopedContainer settings(0);
  if (const CustomTypeRef type = FindCustomDataType(paramType_)) {
    if (type->cls.default_properties != nullptr)
      type->cls.default_properties(type->cls.user, settings.Handle());
  }
  const ha_dialog h = plugin_->cls.alloc_instance(plugin_->cls.user, settings.Handle());
  if (h == nullptr) {
    *error = "the interface element could not make an instance";
    return false;
  }
  Dialog* d = CheckDialog(h, "alloc_instance");
  if (d == nullptr || d->editor != nullptr) {
    *error = "the interface element answered a dialog that is not a new one of its own";
    return false;
  }
  dialog_ = d;
  instance_ = d->user;
  d->editor = this;
  d->id = paramId_;
  if (d->plugin != plugin_) ReportMisuse("alloc_instance: the dialog was made for another element");

  layoutAnswer_ = d->cls.create_layout != nullptr ? d->cls.create_layout(d->user, h) : 0;
  if (layoutAnswer_ == 0) {
    *error = "the interface element could not lay out its dialog";
    return false;
  }
  if (!d->stack.empty()) ReportMisuse("create_layout: a group was left open");
  for (const auto& a : d->areas) {
    if (!a->attached) continue;
    if (a->cls.init != nullptr) a->cls.init(a->user, a->Handle());
    int32_t w = 0, hgt = 0;
    if (a->attached && a->cls.get_min_size != nullptr && a->cls.get_min_size(a->user, a->Handle(), &w, &hgt) != 0) {
      a->hasMin = true;
      a->minW = std::max(w, 0);
      a->minH = std::max(hgt, 0);
    }
  }
  Measure(d->root);
  Place(d->root, kElementLeft, kElementTop);
  for (const auto& a : d->areas) a->front.Reset(a->w, a->h, {kBackground, kBackground, kBackground});
  if (d->cls.init_values != nullptr) d->cls.init_values(d->user, h);
  for (const auto& a : d->areas)
    if (a->attached && a->cls.init_values != nullptr) a->cls.init_values(a->user, a->Handle());

  Object* op = Target();
  const bool given = GiveValue(op != nullptr ? op->Data().Find(paramId_) : nullptr, false);
  if (dialog_ == nullptr) {
    *error = "the interface element went away while it was given its value";
    return false;
  }
  // An element that could not take the parameter's value (memory short)
  // would show an empty value, and its next edit would store that in place
  // of what the parameter holds: it does not open.
  if (!given && lib_->set_data != nullptr) {
    *error = "the interface element could not be given the parameter's value";
    return false;
  }
  for (const auto& a : dialog_->areas) a->dirty = true;
  Flush();
  return true;
}

bool ElementEditor::GiveValue(const Value* value, bool tri) {
  if (dialog_ == nullptr || lib_->set_data == nullptr) return false;
  ha_data data = NewDataHandle(value != nullptr ? *value : Value());
  const Value* copy = DataValueOf(data);
  if (value != nullptr && value->AsCustom().Holds() && !copy->AsCustom().Holds()) {
    FreeDataHandle(data);  // the copy could not be made: no value to give
    return false;
  }
  const int32_t answer = lib_->set_data(instance_, dialog_->Handle(), data, tri ? 1 : 0);
  FreeDataHandle(data);
  return answer != 0;
}

bool ElementEditor::TakeValue(Value* value, bool* tri) {
  if (dialog_ == nullptr || lib_->get_data == nullptr) return false;
  int32_t isTri = 0;
  ha_data data = lib_->get_data(instance_, dialog_->Handle(), &isTri);
  if (data == nullptr) return false;
  Value* held = DataValueOf(data);
  if (held == nullptr) {
    ReportMisuse("get_data answered an unknown value");
    return false;
  }
  *value = std::move(*held);
  if (tri != nullptr) *tri = isTri != 0;
  FreeDataHandle(data);
  return true;
}

void ElementEditor::Flush() {
  if (dialog_ == nullptr) return;
  std::vector<UserArea*> due;
  for (const auto& a : dialog_->areas)
    if (a->dirty) due.push_back(a.get());
  for (UserArea* a : due) {
    if (dialog_ == nullptr) return;
    a->Draw();
  }
}

UserArea* ElementEditor::AreaAt(int32_t x, int32_t y) const {
  if (dialog_ == nullptr) return nullptr;
  for (const auto& a : dialog_->areas) {
    if (a->attached && x >= a->x && x < a->x + a->w && y >= a->y && y < a->y + a->h) return a.get();
  }
  return nullptr;
}

bool ElementEditor::Click(int32_t x, int32_t y) {
  if (Target() == nullptr) return false;
  UserArea* a = AreaAt(x, y);
  if (a == nullptr || a->cls.input_event == nullptr) return false;
  ScopedContainer msg(HA_BFM_INPUT);
  msg.Get().Set(HA_BFM_INPUT_DEVICE, Value::Int(HA_BFM_INPUT_MOUSE));
  msg.Get().Set(HA_BFM_INPUT_CHANNEL, Value::Int(1));  // the left button
  msg.Get().Set(HA_BFM_INPUT_X, Value::Int(x));
  msg.Get().Set(HA_BFM_INPUT_Y, Value::Int(y));
  const bool used = a->cls.input_event(a->user, a->Handle(), msg.Handle()) != 0;
  Flush();
  return used;
}

bool ElementEditor::SendAction(int32_t gadgetId) {
  if (dialog_ == nullptr || dialog_->cls.command == nullptr || Target() == nullptr) return false;
  ScopedContainer msg(HA_BFM_ACTION);
  msg.Get().Set(HA_BFM_ACTION_ID, Value::Int(gadgetId));
  const bool used = dialog_->cls.command(dialog_->user, dialog_->Handle(), gadgetId, msg.Handle()) != 0;
  Flush();
  return used;
}

bool ElementEditor::Key(int32_t key) {
  if (dialog_ == nullptr || Target() == nullptr) return false;
  UserArea* a = nullptr;
  for (const auto& area : dialog_->areas) {
    if (area->attached) {
      a = area.get();
      break;
    }
  }
  if (a == nullptr || a->cls.input_event == nullptr) return false;
  ScopedContainer msg(HA_BFM_INPUT);
  msg.Get().Set(HA_BFM_INPUT_DEVICE, Value::Int(HA_BFM_INPUT_KEYBOARD));
  msg.Get().Set(HA_BFM_INPUT_CHANNEL, Value::Int(key));
  const bool used = a->cls.input_event(a->user, a->Handle(), msg.Handle()) != 0;
  Flush();
  return used;
}

std::vector<FieldInfo> ElementEditor::Fields() const {
  std::vector<FieldInfo> out;
  if (dialog_ == nullptr) return out;
  for (const auto& a : dialog_->areas) {
    FieldInfo f;
    f.id = a->id;
    f.flags = a->flags;
    f.attachFlags = a->attachFlags;
    f.attached = a->attached;
    f.x = a->x;
    f.y = a->y;
    f.width = a->w;
    f.height = a->h;
    f.initWidth = a->initW;
    f.initHeight = a->initH;
    f.hasMinSize = a->hasMin;
    f.minWidth = a->minW;
    f.minHeight = a->minH;
    f.redrawRequests = a->redrawRequests;
    f.draws = a->draws;
    out.push_back(f);
  }
  return out;
}

const Raster* ElementEditor::FieldRaster(int32_t id) {
  Flush();
  UserArea* a = dialog_ != nullptr ? dialog_->Area(id) : nullptr;
  return a != nullptr ? &a->front : nullptr;
}

std::vector<DrawCall> ElementEditor::LastDraw(int32_t id) const {
  UserArea* a = dialog_ != nullptr ? dialog_->Area(id) : nullptr;
  std::vector<DrawCall> calls;
  if (a == nullptr) return calls;
  static const char* const kWhat[] = {"setup", "pen", "rect"};
  calls.reserve(a->last.size());
  for (const UserArea::Recorded& r : a->last)
    calls.push_back(DrawCall{kWhat[r.kind], std::vector<int32_t>(r.args, r.args + r.count)});
  return calls;
}

int32_t ElementEditor::OnReport(const Container& msg) {
  ReportedMessage report;
  report.id = msg.Id();
  report.sender = IntOf(msg, HA_BFM_ACTION_ID, 0);
  if (const Value* v = msg.Find(HA_BFM_ACTION_VALUE)) {
    report.hasValue = true;
    report.value = *v;
  }
  Object* op = Target();
  const bool usable = report.hasValue && report.value.type == paramType_ &&
                      (FindCustomDataType(paramType_) == nullptr || report.value.AsCustom().Holds());
  if (op != nullptr && dialog_ != nullptr && report.id == HA_BFM_ACTION &&
      report.sender == dialog_->id && usable) {
    report.stored = EditParameter(op, paramId_, report.value);
    // The parameter changed: the element shows it from now on.
    if (report.stored) GiveValue(op->Data().Find(paramId_), false);
  }
  const int32_t answer = report.stored ? 1 : 0;
  reports_.push_back(std::move(report));
  return answer;
}

// ---------------------------------------------------------------------------

ElementEditor* OpenElement(Object* op, int32_t paramId, std::string* error) {
  if (op == nullptr) {
    *error = "no object";
    return nullptr;
  }
  if (!op->InTree()) {
    *error = "\"" + op->Name() + "\" is not in a document";
    return nullptr;
  }
  const UserDataDesc* desc = nullptr;
  for (const UserDataDesc& d : op->UserData())
    if (d.id == paramId) desc = &d;
  if (desc == nullptr) {
    *error = "\"" + op->Name() + "\" has no user data parameter " + std::to_string(paramId);
    return nullptr;
  }
  const CustomTypeRef type = FindCustomDataType(desc->type);
  if (type == nullptr) {
    *error = "parameter " + std::to_string(paramId) + " is not of a registered custom data type";
    return nullptr;
  }
  int32_t guiId = 0;
  {
    ScopedContainer settings(0);
    if (type->cls.default_properties != nullptr)
      type->cls.default_properties(type->cls.user, settings.Handle());
    guiId = IntOf(settings.Get(), HA_DESC_CUSTOMGUI, 0);
  }
  const CustomGuiPlugin* plugin = FindCustomGuiPlugin(guiId);
  if (plugin == nullptr) {
    *error = "data type " + std::to_string(type->id) + " names interface element " +
             std::to_string(guiId) + ", which is not registered";
    return nullptr;
  }
  if (std::find(plugin->types.begin(), plugin->types.end(), type->id) == plugin->types.end()) {
    *error = "interface element " + std::to_string(guiId) + " does not edit data type " +
             std::to_string(type->id);
    return nullptr;
  }
  const InstalledLibrary* lib = FindLibrary(guiId);
  if (lib == nullptr) {
    *error = "interface element " + std::to_string(guiId) + " installed no library";
    return nullptr;
  }
  SetUndoListener(FollowUndo);
  Editors().push_back(std::unique_ptr<ElementEditor>(new ElementEditor(op, paramId, desc->type)));
  ElementEditor* editor = Editors().back().get();
  editor->plugin_ = plugin;
  editor->lib_ = static_cast<const ha_customgui_lib*>(lib->record);
  if (!editor->Start(error)) {
    CloseElement(editor);
    return nullptr;
  }
  return editor;
}

void CloseElement(ElementEditor* editor) {
  auto& all = Editors();
  auto it = std::find_if(all.begin(), all.end(), [editor](const auto& e) { return e.get() == editor; });
  if (it == all.end()) return;
  std::unique_ptr<ElementEditor> closing = std::move(*it);
  all.erase(it);
  closing.reset();
}

bool IsOpenElement(const ElementEditor* editor) {
  return std::any_of(Editors().begin(), Editors().end(),
                     [editor](const auto& e) { return e.get() == editor; });
}

std::vector<ElementEditor*> OpenElements() {
  std::vector<ElementEditor*> out;
  for (const auto& e : Editors()) out.push_back(e.get());
  return out;
}

void CloseEditorsOf(Document* doc) {
  for (ElementEditor* e : OpenElements()) {
    Object* op = e->Target();
    if (op == nullptr || op->Doc() == doc || (doc != nullptr && doc->Owns(op))) CloseElement(e);
  }
}

void FollowUndo(Document* doc) {
  for (ElementEditor* e : OpenElements()) {
    if (!IsOpenElement(e)) continue;
    Object* op = e->Target();
    if (op == nullptr) {
      CloseElement(e);
    } else if (op->Doc() == doc && !e->GiveValue(op->Data().Find(e->ParamId()), false)) {
      CloseElement(e);
    }
  }
}

}  // namespace host
