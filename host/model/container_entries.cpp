// The functions of the container suite and the data suite
// (suites/ha_container.cpp makes the tables): parameter containers, their
// values, and single values the module and host pass each other.
#include "container_entries.h"

#include <string>

#include "core.h"
#include "custom_values.h"
#include "model.h"
#include "scene.h"
#include "state.h"

namespace host {
namespace container_entries {
namespace {

// CheckContainer with the check of a live handle made here, inline: the
// module reads and writes containers entry by entry.
inline Container* LiveContainer(ha_container h, const char* call) {
  if (State().containers.Has(h)) return reinterpret_cast<Container*>(h);
  return CheckContainer(h, call);
}
const Value* TypedEntry(ha_container h, int32_t id, int32_t type, const char* call) {
  Container* bc = LiveContainer(h, call);
  const Value* v = bc != nullptr ? bc->Find(id) : nullptr;
  return v != nullptr && v->type == type ? v : nullptr;
}
void BcSet(ha_container h, int32_t id, Value value, const char* call) {
  if (Container* bc = LiveContainer(h, call)) bc->Set(id, std::move(value));
}

}  // namespace

ha_container BcAlloc() {
  if (Failures().NextAllocationFails()) return nullptr;
  return reinterpret_cast<ha_container>(NewModuleContainer(nullptr));
}
void BcFree(ha_container bc) {
  if (bc == nullptr) return;
  if (!FreeModuleContainer(reinterpret_cast<Container*>(bc)))
    ReportMisuse("container free: not a container the module owns");
}
int32_t BcGetType(ha_container h, int32_t id) {
  Container* bc = LiveContainer(h, "get_type");
  const Value* v = bc != nullptr ? bc->Find(id) : nullptr;
  return v != nullptr ? v->type : HA_TYPE_NONE;
}
int32_t BcGetInt32(ha_container h, int32_t id, int32_t preset) {
  const Value* v = TypedEntry(h, id, HA_TYPE_INT32, "get_int32");
  return v != nullptr ? v->i : preset;
}
double BcGetFloat(ha_container h, int32_t id, double preset) {
  const Value* v = TypedEntry(h, id, HA_TYPE_FLOAT, "get_float");
  return v != nullptr ? v->f : preset;
}
void BcGetVector(ha_container h, int32_t id, const ha_vector* preset, ha_vector* out) {
  if (out == nullptr) return;
  const Value* v = TypedEntry(h, id, HA_TYPE_VECTOR, "get_vector");
  *out = v != nullptr ? v->AsVector() : (preset != nullptr ? *preset : ha_vector{0.0, 0.0, 0.0});
}
ha_text BcGetString(ha_container h, int32_t id) {
  const Value* v = TypedEntry(h, id, HA_TYPE_STRING, "get_string");
  return MakeText(v != nullptr ? v->AsString() : std::string());
}
ha_object BcGetLink(ha_container h, int32_t id, ha_document doc, int32_t instanceOf) {
  const Value* v = TypedEntry(h, id, HA_TYPE_LINK, "get_link");
  if (v == nullptr || v->link == 0 || doc == nullptr) return nullptr;
  Object* target = Object::FindSerial(v->link);
  if (target == nullptr || target->Doc() != Document::FromHandle(doc)) return nullptr;
  if (instanceOf != Obase && target->Type() != instanceOf) return nullptr;
  return target->Handle();
}
void BcSetInt32(ha_container h, int32_t id, int32_t v) { BcSet(h, id, Value::Int(v), "set_int32"); }
void BcSetFloat(ha_container h, int32_t id, double v) { BcSet(h, id, Value::Real(v), "set_float"); }
void BcSetVector(ha_container h, int32_t id, const ha_vector* v) {
  if (v != nullptr) BcSet(h, id, Value::Vec(*v), "set_vector");
}
void BcSetString(ha_container h, int32_t id, const char* v) {
  BcSet(h, id, Value::Str(v != nullptr ? v : ""), "set_string");
}
void BcSetLink(ha_container h, int32_t id, ha_object target) {
  Object* op = CheckObject(target, "set_link");
  BcSet(h, id, Value::Link(op != nullptr ? op->Serial() : 0), "set_link");
}

// Custom values in containers and single values.

int32_t BcGetId(ha_container h) {
  const Container* bc = LiveContainer(h, "get_id");
  return bc != nullptr ? bc->Id() : 0;
}

void BcSetId(ha_container h, int32_t id) {
  if (Container* bc = LiveContainer(h, "set_id")) bc->SetId(id);
}

ha_container BcCopy(ha_container h) {
  const Container* bc = LiveContainer(h, "copy");
  if (bc == nullptr || Failures().NextAllocationFails()) return nullptr;
  return reinterpret_cast<ha_container>(NewModuleContainer(bc));
}

ha_customdata BcGetCustom(ha_container h, int32_t id, int32_t type) {
  const Container* bc = LiveContainer(h, "get_custom");
  const Value* v = bc != nullptr ? bc->Find(id) : nullptr;
  return v != nullptr && v->type == type ? v->AsCustom().Get() : nullptr;
}

int32_t BcSetCustom(ha_container h, int32_t id, int32_t type, ha_customdata value) {
  Container* bc = LiveContainer(h, "set_custom");
  if (bc == nullptr || value == nullptr || FindCustomDataType(type) == nullptr) return 0;
  CustomValue copy = CustomValue::CopyOf(type, value);
  if (!copy.Holds()) return 0;
  bc->Set(id, Value::Custom(std::move(copy)));
  return 1;
}

ha_data BcGetData(ha_container h, int32_t id) {
  const Container* bc = LiveContainer(h, "get_data");
  if (bc == nullptr || Failures().NextAllocationFails()) return nullptr;
  const Value* v = bc->Find(id);
  Value copy = v != nullptr ? *v : Value();
  // A custom value whose copy could not be made: out of memory.
  if (FindCustomDataType(copy.type) != nullptr && !copy.AsCustom().Holds()) return nullptr;
  return NewDataHandle(copy);
}

int32_t BcSetData(ha_container h, int32_t id, ha_data data) {
  Container* bc = LiveContainer(h, "set_data");
  const Value* v = DataValueOf(data);
  if (v == nullptr && data != nullptr) ReportMisuse("set_data: unknown value");
  if (bc == nullptr || v == nullptr) return 0;
  Value copy = *v;
  // A custom value whose copy could not be made is not stored.
  if (FindCustomDataType(copy.type) != nullptr && !copy.AsCustom().Holds()) return 0;
  bc->Set(id, std::move(copy));
  return 1;
}

ha_customdata DataGetCustom(ha_data data, int32_t type) {
  const Value* v = DataValueOf(data);
  if (v == nullptr && data != nullptr) ReportMisuse("get_custom: unknown value");
  return v != nullptr && v->type == type ? v->AsCustom().Get() : nullptr;
}

ha_data DataAllocCustom(int32_t type, ha_customdata value) {
  if (value == nullptr || FindCustomDataType(type) == nullptr) return nullptr;
  if (Failures().NextAllocationFails()) return nullptr;
  CustomValue copy = CustomValue::CopyOf(type, value);
  if (!copy.Holds()) return nullptr;
  return NewDataHandle(Value::Custom(std::move(copy)));
}

// --- single values ----------------------------------------------------------

ha_data DataAlloc() {
  if (Failures().NextAllocationFails()) return nullptr;
  Value* v = new Value();
  State().dataValues.Add(v);
  return reinterpret_cast<ha_data>(v);
}
void DataFree(ha_data d) { FreeDataHandle(d); }
int32_t DataType(ha_data d) {
  const Value* v = DataValueOf(d);
  return v != nullptr ? v->type : HA_TYPE_NONE;
}
int32_t DataInt32(ha_data d) {
  const Value* v = DataValueOf(d);
  return v != nullptr && v->type == HA_TYPE_INT32 ? v->i : 0;
}
double DataFloat(ha_data d) {
  const Value* v = DataValueOf(d);
  return v != nullptr && v->type == HA_TYPE_FLOAT ? v->f : 0.0;
}

}  // namespace container_entries
}  // namespace host
