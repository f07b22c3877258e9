// The element host: one parameter of an object shown with the interface
// element its data type names, as the attribute editor shows it; its input;
// and the element hosts a host has open.
#include "ui_internal.h"

#include <algorithm>
#include <utility>

#include "custom_values.h"
#include "scene.h"

namespace host {

ElementHost::ElementHost(Object* op, int32_t paramId, int32_t paramType)
    : target_(op->Serial()), paramId_(paramId), paramType_(paramType) {}

ElementHost::~ElementHost() {
  if (dialog_ == nullptr) return;
  Dialog* d = dialog_;
  if (plugin_ != nullptr && plugin_->alive) plugin_->cls.free_instance(plugin_->cls.user, d->Handle(), instance_);
  if (dialog_ != nullptr) {
    ReportMisuse("the interface element did not free its dialog");
    d->elementHost = nullptr;
    Ui().dialogs.erase(d);
  }
}

Object* ElementHost::Target() const {
  Object* op = Object::FindSerial(target_);
  return op != nullptr && op->InTree() ? op : nullptr;
}

bool ElementHost::Start(std::string* error) {
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
  if (d == nullptr || d->elementHost != nullptr) {
    *error = "the interface element answered a dialog that is not a new one of its own";
    return false;
  }
  dialog_ = d;
  instance_ = d->user;
  d->elementHost = this;
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

bool ElementHost::GiveValue(const Value* value, bool tri) {
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

bool ElementHost::TakeValue(Value* value, bool* tri) {
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

void ElementHost::Flush() {
  if (dialog_ == nullptr) return;
  std::vector<UserArea*> due;
  for (const auto& a : dialog_->areas)
    if (a->dirty) due.push_back(a.get());
  for (UserArea* a : due) {
    if (dialog_ == nullptr) return;
    a->Draw();
  }
}

UserArea* ElementHost::AreaAt(int32_t x, int32_t y) const {
  if (dialog_ == nullptr) return nullptr;
  for (const auto& a : dialog_->areas) {
    if (a->attached && x >= a->x && x < a->x + a->w && y >= a->y && y < a->y + a->h) return a.get();
  }
  return nullptr;
}

bool ElementHost::Click(int32_t x, int32_t y) {
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

bool ElementHost::SendAction(int32_t gadgetId) {
  if (dialog_ == nullptr || dialog_->cls.command == nullptr || Target() == nullptr) return false;
  ScopedContainer msg(HA_BFM_ACTION);
  msg.Get().Set(HA_BFM_ACTION_ID, Value::Int(gadgetId));
  const bool used = dialog_->cls.command(dialog_->user, dialog_->Handle(), gadgetId, msg.Handle()) != 0;
  Flush();
  return used;
}

bool ElementHost::Key(int32_t key) {
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

std::vector<FieldInfo> ElementHost::Fields() const {
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

const Raster* ElementHost::FieldRaster(int32_t id) {
  Flush();
  UserArea* a = dialog_ != nullptr ? dialog_->Area(id) : nullptr;
  return a != nullptr ? &a->front : nullptr;
}

std::vector<DrawCall> ElementHost::LastDraw(int32_t id) const {
  UserArea* a = dialog_ != nullptr ? dialog_->Area(id) : nullptr;
  std::vector<DrawCall> calls;
  if (a == nullptr) return calls;
  static const char* const kWhat[] = {"setup", "pen", "rect"};
  calls.reserve(a->last.size());
  for (const UserArea::Recorded& r : a->last)
    calls.push_back(DrawCall{kWhat[r.kind], std::vector<int32_t>(r.args, r.args + r.count)});
  return calls;
}

int32_t ElementHost::OnReport(const Container& msg) {
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

ElementHost* OpenElement(Object* op, int32_t paramId, std::string* error) {
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
  Ui().elementHosts.push_back(std::unique_ptr<ElementHost>(new ElementHost(op, paramId, desc->type)));
  ElementHost* elementHost = Ui().elementHosts.back().get();
  elementHost->plugin_ = plugin;
  elementHost->lib_ = static_cast<const ha_customgui_lib*>(lib->record);
  if (!elementHost->Start(error)) {
    CloseElement(elementHost);
    return nullptr;
  }
  return elementHost;
}

void CloseElement(ElementHost* elementHost) {
  auto& all = Ui().elementHosts;
  auto it = std::find_if(all.begin(), all.end(), [elementHost](const auto& e) { return e.get() == elementHost; });
  if (it == all.end()) return;
  std::unique_ptr<ElementHost> closing = std::move(*it);
  all.erase(it);
  closing.reset();
}

bool IsOpenElement(const ElementHost* elementHost) {
  return std::any_of(Ui().elementHosts.begin(), Ui().elementHosts.end(),
                     [elementHost](const auto& e) { return e.get() == elementHost; });
}

std::vector<ElementHost*> OpenElements() {
  std::vector<ElementHost*> out;
  for (const auto& e : Ui().elementHosts) out.push_back(e.get());
  return out;
}

void CloseElementHostsOf(Document* doc) {
  for (ElementHost* e : OpenElements()) {
    Object* op = e->Target();
    if (op == nullptr || op->Doc() == doc || (doc != nullptr && doc->Owns(op))) CloseElement(e);
  }
}

void FollowUndo(Document* doc) {
  for (ElementHost* e : OpenElements()) {
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
