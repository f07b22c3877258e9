#include "scene.h"

#include <algorithm>
#include <cstdlib>
#include <vector>
#include <memory>

#include "animation.h"
#include "core.h"

namespace host {

void* Allocate(std::size_t size, const char* file, int32_t line) {
  if (Failures().NextAllocationFails()) return nullptr;
  void* block = std::malloc(size == 0 ? 1 : size);
  if (block == nullptr) return nullptr;
  HostState& state = State();
  state.ledger.Put(block, Allocation{size, state.allocationTags.Of(file), line});
  return block;
}

void Release(void* block) {
  if (block == nullptr) return;
  if (!State().ledger.erase(block)) {
    ReportMisuse("free of a block the host did not allocate");
    return;
  }
  std::free(block);
}

std::size_t LiveAllocations() { return State().ledger.size(); }

std::deque<ObjectPlugin>& ObjectPlugins() { return State().objectPlugins; }

const ObjectPlugin* FindObjectPlugin(int32_t id) {
  for (const ObjectPlugin& p : ObjectPlugins())
    if (p.id == id) return &p;
  return nullptr;
}

Object* MakePluginObject(const ObjectPlugin& plugin) {
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

Object* CreateObject(Document* doc, int32_t type, bool fromMenu, std::string* error) {
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

int32_t SendMessage(Object* op, int32_t type, void* data) {
  State().messages.push_back({op->Serial(), op->Name(), type});
  if (const ObjectPlugin* plugin = op->Plugin()) {
    if (plugin->cls.message != nullptr) return plugin->cls.message(op->NodeData(), op->Handle(), type, data);
  }
  return 1;
}

namespace {

// The message an edit of parameter `id` sends once the value is in place.
void AnnounceChange(Object* op, int32_t id) {
  ha_descid descid{};
  descid.depth = 1;
  descid.level[0].id = id;
  Document* doc = op->Doc();
  ha_desc_changed changed{doc != nullptr ? doc->Handle() : nullptr, 0, &descid};
  SendMessage(op, HA_MSG_DESCRIPTION_POSTSETPARAMETER, &changed);
}

// Runs `change` as one undo step recording the object (none for an object
// outside a document); false, with nothing run, when the object's state for
// undo could not be copied.
template <typename Change>
bool AsOneUndoStep(Object* op, Change change) {
  Document* doc = op->Doc();
  if (doc != nullptr) {
    doc->StartUndo();
    if (!doc->AddUndo(HA_UNDO_CHANGE, op)) {
      doc->CancelUndo();
      return false;
    }
  }
  const bool changed = change();
  if (doc != nullptr) doc->EndUndo();
  return changed;
}

// Changes an object's keys as one undo step.
template <typename Change>
bool ChangeKeys(Object* op, Change change) {
  return AsOneUndoStep(op, [&] { return change(op->Keys()); });
}

}  // namespace

bool EditParameter(Object* op, int32_t id, const Value& value) {
  Value fresh = value;
  if (value.AsCustom().Holds() && !fresh.AsCustom().Holds()) return false;
  return AsOneUndoStep(op, [&] {
    op->Data().Set(id, std::move(fresh));
    AnnounceChange(op, id);
    return true;
  });
}


bool KeyParameter(Object* op, int32_t id, AnimKey key) {
  return ChangeKeys(op, [&](Tracks& keys) {
    PutKey(&keys[id], std::move(key));
    return true;
  });
}

bool UnkeyParameter(Object* op, int32_t id, int32_t frame) {
  auto track = op->Keys().find(id);
  if (track == op->Keys().end()) return false;
  const auto& keys = track->second;
  if (std::none_of(keys.begin(), keys.end(), [frame](const AnimKey& k) { return k.frame == frame; }))
    return false;
  return ChangeKeys(op, [&](Tracks& all) {
    Track& t = all[id];
    RemoveKey(&t, frame);
    if (t.empty()) all.erase(id);
    return true;
  });
}

int EvaluateFrame(Document* doc, int32_t frame) {
  doc->Time().current = frame;
  const bool wasSuspended = doc->UndoSuspended();
  doc->SuspendUndo(true);
  int changed = 0;
  for (Object* op : doc->TreeOrder()) {
    if (op->Keys().empty()) continue;
    // The parameter IDs first: a message may change the object's keys no
    // more than its container, but the map is not ours to walk meanwhile.
    std::vector<int32_t> ids;
    for (const auto& [id, track] : op->Keys()) ids.push_back(id);
    for (int32_t id : ids) {
      auto track = op->Keys().find(id);
      if (track == op->Keys().end() || track->second.empty()) continue;
      Value value = ValueAt(track->second, frame);
      const Value* now = op->Data().Find(id);
      if (now != nullptr && *now == value) continue;
      // A key never changes what kind of value its parameter holds: a key
      // of a number over a text (a file made by hand) is left unapplied.
      if (now != nullptr && now->type != value.type) continue;
      op->Data().Set(id, std::move(value));
      AnnounceChange(op, id);
      ++changed;
    }
  }
  for (Object* op : doc->TreeOrder()) {
    if (op->Plugin() != nullptr && op->Plugin()->cls.get_contour != nullptr) EvaluateContour(op);
  }
  doc->SuspendUndo(wasSuspended);
  return changed;
}

namespace {

void FollowTheFrame(Document* doc) {
  const auto objects = doc->TreeOrder();
  if (std::any_of(objects.begin(), objects.end(), [](Object* op) { return !op->Keys().empty(); }))
    EvaluateFrame(doc, doc->Time().current);
}

}  // namespace

bool UndoAtFrame(Document* doc) {
  if (!doc->Undo()) return false;
  FollowTheFrame(doc);
  return true;
}

bool RedoAtFrame(Document* doc) {
  if (!doc->Redo()) return false;
  FollowTheFrame(doc);
  return true;
}

void PressButton(Object* op, int32_t id) {
  ha_desc_command command{};
  command.id.depth = 1;
  command.id.level[0].id = id;
  SendMessage(op, HA_MSG_DESCRIPTION_COMMAND, &command);
}

Object* EvaluateContour(Object* op) {
  const ObjectPlugin* plugin = op->Plugin();
  if (plugin == nullptr || plugin->cls.get_contour == nullptr) return nullptr;
  ha_object answer = plugin->cls.get_contour(op->NodeData(), op->Handle(),
                                             op->Doc() != nullptr ? op->Doc()->Handle() : nullptr,
                                             1.0, nullptr);
  auto& contours = State().contours;
  contours.erase(op);
  if (answer == nullptr) return nullptr;
  Object* spline = Object::FromHandle(answer);
  std::unique_ptr<Object> owned = spline != nullptr ? TakeLoose(spline) : nullptr;
  if (owned == nullptr) {
    ReportMisuse("get_contour answered an object the module does not own");
    return nullptr;
  }
  contours.Put(op, std::move(owned));
  return spline;
}

bool IsEnabled(Object* op, int32_t id) {
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

ha_data NewDataHandle(const Value& value) {
  Value* v = new Value(value);
  State().dataValues.Add(v);
  return reinterpret_cast<ha_data>(v);
}

void FreeDataHandle(ha_data d) {
  if (d == nullptr) return;
  HandleSet<Value>& values = State().dataValues;
  if (!values.Has(d)) {
    ReportMisuse("data free: unknown value");
    return;
  }
  Value* v = reinterpret_cast<Value*>(d);
  values.Remove(v);
  delete v;
}

Value* DataValueOf(ha_data d) {
  return State().dataValues.Has(d) ? reinterpret_cast<Value*>(d) : nullptr;
}

}  // namespace host
