// Module side of dialogs, user areas and custom interface elements: one
// forward through the function table per call, and the trampolines through
// which the host reaches the module's objects.
#include "api_gui.h"

#include "api_offers.h"
#include "api_register.h"

namespace {

const ha_gui_suite* Gui() { return HA_TABLE_SUITE(HostTable(), gui); }

GeDialog* DialogOf(void* user) { return static_cast<GeDialog*>(user); }
GeUserArea* AreaOf(void* user) { return static_cast<GeUserArea*>(user); }
const BaseContainer& Msg(ha_container bc) { return *BaseContainer::FromHandle(bc); }

// Every trampoline below checks what it is handed before it uses it: without
// the module's object (a null `user` or `instance`), a message container or
// the place an answer goes, it answers the failure value (0 or null) and
// reaches nothing. The dialog and user area handles are not used here.

// --- dialogs ----------------------------------------------------------------

int32_t DlgCreateLayout(void* user, ha_dialog) {
  return user != nullptr && DialogOf(user)->CreateLayout() ? 1 : 0;
}
int32_t DlgInitValues(void* user, ha_dialog) {
  return user != nullptr && DialogOf(user)->InitValues() ? 1 : 0;
}
int32_t DlgCommand(void* user, ha_dialog, int32_t id, ha_container msg) {
  return user != nullptr && msg != nullptr && DialogOf(user)->Command(id, Msg(msg)) ? 1 : 0;
}
const ha_dialog_class kDialogClass = {sizeof(ha_dialog_class), DlgCreateLayout, DlgInitValues,
                                      DlgCommand};

// --- user areas -------------------------------------------------------------

int32_t UaInit(void* user, ha_userarea) { return user != nullptr && AreaOf(user)->Init() ? 1 : 0; }
int32_t UaInitValues(void* user, ha_userarea) {
  return user != nullptr && AreaOf(user)->InitValues() ? 1 : 0;
}
int32_t UaMinSize(void* user, ha_userarea, int32_t* w, int32_t* h) {
  if (user == nullptr || w == nullptr || h == nullptr) return 0;
  Int32 width = 0, height = 0;
  if (!AreaOf(user)->GetMinSize(width, height)) return 0;
  *w = width;
  *h = height;
  return 1;
}
void UaDraw(void* user, ha_userarea, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
            ha_container msg) {
  if (user != nullptr && msg != nullptr) AreaOf(user)->DrawMsg(x1, y1, x2, y2, Msg(msg));
}
int32_t UaInput(void* user, ha_userarea, ha_container msg) {
  return user != nullptr && msg != nullptr && AreaOf(user)->InputEvent(Msg(msg)) ? 1 : 0;
}
const ha_userarea_class kUserAreaClass = {sizeof(ha_userarea_class), UaInit, UaInitValues,
                                          UaMinSize, UaDraw, UaInput};

// --- element instances (the library's entry points) ---------------------------

iCustomGui* InstanceOf(void* instance) { return static_cast<iCustomGui*>(DialogOf(instance)); }

int32_t LibSetData(void* instance, ha_dialog, ha_data value, int32_t tri) {
  if (instance == nullptr) return 0;
  const TriState<GeData> tristate(value != nullptr ? &GeData::FromHandle(value) : nullptr, tri != 0);
  return InstanceOf(instance)->SetData(tristate) ? 1 : 0;
}
ha_data LibGetData(void* instance, ha_dialog, int32_t* tri) {
  if (tri != nullptr) *tri = 0;
  if (instance == nullptr) return nullptr;
  TriState<GeData> tristate = InstanceOf(instance)->GetData();
  if (tri != nullptr) *tri = tristate.GetTri() ? 1 : 0;
  GeData* value = tristate.Release();
  return value != nullptr ? value->Handle() : nullptr;
}

// --- element registration objects ---------------------------------------------

CustomGuiData* GuiOf(void* user) { return static_cast<CustomGuiData*>(user); }

int32_t GuiGetId(void* user) { return user != nullptr ? GuiOf(user)->GetId() : 0; }
ha_dialog GuiAlloc(void* user, ha_container settings) {
  if (user == nullptr || settings == nullptr) return nullptr;
  CDialog* dlg = GuiOf(user)->Alloc(Msg(settings));
  return dlg != nullptr ? dlg->Handle() : nullptr;
}
void GuiFree(void* user, ha_dialog dlg, void* instance) {
  if (user == nullptr) return;
  GuiOf(user)->Free(dlg != nullptr ? CDialog::FromHandle(dlg) : nullptr,
                    instance != nullptr ? static_cast<void*>(InstanceOf(instance)) : nullptr);
}
const char* GuiSymbol(void* user) { return user != nullptr ? GuiOf(user)->GetResourceSym() : nullptr; }
const void* GuiProperties(void* user) { return user != nullptr ? GuiOf(user)->GetProperties() : nullptr; }
int32_t GuiTypes(void* user, const int32_t** table) {
  if (table != nullptr) *table = nullptr;
  if (user == nullptr) return 0;
  Int32* types = nullptr;
  const Int32 count = GuiOf(user)->GetResourceDataType(types);
  if (table != nullptr) *table = types;
  return count;
}
void GuiDestroy(void* user) {
  CustomGuiData* gui = GuiOf(user);
  DeleteObj(gui);  // nothing for null
}

}  // namespace

BasePlugin* FindPlugin(Int32 id, Int32 type) {
  if (!HA_OFFERS(Gui(), find_plugin)) return nullptr;
  ha_plugin found = Gui()->find_plugin(type, id);
  return found != nullptr ? BasePlugin::FromHandle(found) : nullptr;
}

// ---------------------------------------------------------------------------

GeDialog::~GeDialog() {
  if (dlg_ != nullptr) Gui()->dialog_free(dlg_);
}

Bool GeDialog::CreateLayout() { return Gui()->dialog_default_layout(dlg_) != 0; }
Bool GeDialog::InitValues() { return true; }
Bool GeDialog::Command(Int32 id, const BaseContainer& msg) {
  return Gui()->dialog_default_command(dlg_, id, msg.Handle()) != 0;
}

Bool GeDialog::GroupBegin(Int32 id, Int32 flags, Int32 cols, Int32 rows, const String& title,
                          Int32 groupflags, Int32 initw, Int32 inith) {
  return Gui()->group_begin(dlg_, id, flags, cols, rows, title.GetCStringUTF8(), groupflags, initw,
                            inith) != 0;
}
Bool GeDialog::GroupSpace(Int32 spacex, Int32 spacey) {
  return Gui()->group_space(dlg_, spacex, spacey) != 0;
}
Bool GeDialog::GroupEnd() { return Gui()->group_end(dlg_) != 0; }
Bool GeDialog::AddUserArea(Int32 id, Int32 flags, Int32 initw, Int32 inith) {
  return Gui()->add_user_area(dlg_, id, flags, initw, inith) != 0;
}
Bool GeDialog::AttachUserArea(GeUserArea& ua, Int32 id, Int32 userareaflags) {
  if (ua.ua_ != nullptr) Gui()->userarea_detach(ua.ua_);
  ua.ua_ = Gui()->attach_user_area(dlg_, id, &kUserAreaClass, &ua, userareaflags);
  return ua.ua_ != nullptr;
}
Bool GeDialog::SendParentMessage(const BaseContainer& msg) {
  return Gui()->dialog_send_parent_message(dlg_, msg.Handle()) != 0;
}
Int32 GeDialog::GetId() const { return Gui()->dialog_get_id(dlg_); }

iCustomGui::iCustomGui(const BaseContainer& settings, CUSTOMGUIPLUGIN* plugin) {
  if (!HA_OFFERS(Gui(), customgui_dialog_alloc)) return;
  SetHandle(Gui()->customgui_dialog_alloc(settings.Handle(),
                                          plugin != nullptr ? plugin->Handle() : nullptr,
                                          &kDialogClass, static_cast<GeDialog*>(this)));
}
Bool iCustomGui::SetData(const TriState<GeData>&) { return true; }
TriState<GeData> iCustomGui::GetData() { return TriState<GeData>(); }

// ---------------------------------------------------------------------------

GeUserArea::~GeUserArea() {
  if (ua_ != nullptr) Gui()->userarea_detach(ua_);
}

Bool GeUserArea::Init() { return true; }
Bool GeUserArea::InitValues() { return true; }
Bool GeUserArea::GetMinSize(Int32&, Int32&) { return false; }
void GeUserArea::DrawMsg(Int32, Int32, Int32, Int32, const BaseContainer&) {}
Bool GeUserArea::InputEvent(const BaseContainer&) { return false; }

Int32 GeUserArea::GetId() const { return Gui()->userarea_get_id(ua_); }
void GeUserArea::Redraw() { Gui()->userarea_redraw(ua_); }
Bool GeUserArea::SendParentMessage(const BaseContainer& msg) {
  return Gui()->userarea_send_parent_message(ua_, msg.Handle()) != 0;
}
Bool GeUserArea::Global2Local(Int32* x, Int32* y) const {
  return Gui()->userarea_global_to_local(ua_, x, y) != 0;
}
void GeUserArea::OffScreenOn() { Gui()->offscreen_on(ua_); }
void GeUserArea::DrawSetPen(const Vector& color) {
  const ha_vector c{color.x, color.y, color.z};
  Gui()->draw_set_pen(ua_, &c);
}
void GeUserArea::DrawRectangle(Int32 x1, Int32 y1, Int32 x2, Int32 y2) {
  Gui()->draw_rectangle(ua_, x1, y1, x2, y2);
}

// ---------------------------------------------------------------------------

Bool RegisterCustomGuiPlugin(const String& name, Int32 info, CustomGuiData* dat) {
  if (!CanHandOver(dat, HA_OFFERS(Gui(), register_customgui))) return false;
  ha_customgui_class cls{};
  cls.size = sizeof(cls);
  cls.user = dat;
  cls.get_id = GuiGetId;
  cls.alloc_instance = GuiAlloc;
  cls.free_instance = GuiFree;
  cls.resource_symbol = GuiSymbol;
  cls.get_properties = GuiProperties;
  cls.supported_types = GuiTypes;
  cls.destroy = GuiDestroy;

  const auto reg = RegistrationRecord<ha_customgui_info>(dat->GetId(), name, info, &cls);
  return Gui()->register_customgui(&reg) != 0;
}

void FillBaseCustomGui(CustomGuiLib& lib) {
  lib.entries.set_data = LibSetData;
  lib.entries.get_data = LibGetData;
}

Bool InstallLibrary(Int32 id, const CustomGuiLib* lib, Int32 version, Int32 size) {
  return HA_OFFERS(Gui(), install_library) && Gui()->install_library(id, lib, version, size) != 0;
}
