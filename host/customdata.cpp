#include "customdata.h"

#include <algorithm>
#include <cctype>

#include "core.h"
#include "host.h"
#include "model.h"

namespace host {

namespace {

std::vector<CustomTypeRef>& Registry() {
  static std::vector<CustomTypeRef> registry;
  return registry;
}

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

// --- the registration suite ---------------------------------------------------

// Hands a class object the host will not keep back to the module.
void DestroyClass(const ha_customdata_class& cls) {
  if (cls.destroy != nullptr) cls.destroy(cls.user);
}

int32_t RegisterType(const ha_customdata_info* info) {
  return Guarded<int32_t>(0, [&]() -> int32_t {
    if (info == nullptr || info->cls == nullptr || info->size < sizeof(ha_customdata_info) ||
        info->cls->size < sizeof(ha_customdata_class)) {
      ReportMisuse("register_type: incomplete registration");
      return 0;
    }
    const ha_customdata_class& cls = *info->cls;
    const bool complete = cls.alloc_data != nullptr && cls.free_data != nullptr &&
                          cls.copy_data != nullptr && cls.compare != nullptr &&
                          cls.write_data != nullptr && cls.read_data != nullptr &&
                          cls.resource_symbol != nullptr && cls.destroy != nullptr;
    if (!complete) {
      ReportMisuse("register_type: the class lacks a function");
      DestroyClass(cls);
      return 0;
    }
    if (Refusals().dataTypes || FindCustomDataType(info->id) != nullptr ||
        (cls.get_id != nullptr && cls.get_id(cls.user) != info->id)) {
      DestroyClass(cls);
      return 0;
    }
    auto type = std::make_shared<CustomDataPlugin>();
    type->id = info->id;
    type->name = info->name != nullptr ? info->name : "";
    type->info = info->info;
    type->diskLevel = info->disk_level;
    const char* symbol = cls.resource_symbol(cls.user);
    type->symbol = symbol != nullptr ? symbol : "";
    type->cls = cls;
    Registry().push_back(std::move(type));
    return 1;
  });
}

const ha_customdata_suite kSuite = {sizeof(ha_customdata_suite), RegisterType};

}  // namespace

const std::vector<CustomTypeRef>& CustomDataTypes() { return Registry(); }

CustomTypeRef FindCustomDataType(int32_t id) {
  for (const CustomTypeRef& t : Registry())
    if (t->id == id) return t;
  return nullptr;
}

CustomTypeRef FindCustomDataTypeBySymbol(const std::string& symbol) {
  const std::string wanted = Lower(symbol);
  for (const CustomTypeRef& t : Registry())
    if (Lower(t->symbol) == wanted) return t;
  return nullptr;
}

RegistrationRefusals& Refusals() {
  static RegistrationRefusals refusals;
  return refusals;
}

const ha_customdata_suite* CustomDataSuite() { return &kSuite; }

long ReleaseCustomDataTypes() {
  long live = 0;
  for (const CustomTypeRef& t : Registry()) {
    live += t->liveValues;
    t->alive = false;
    DestroyClass(t->cls);
  }
  Registry().clear();
  return live;
}

// ---------------------------------------------------------------------------
// Values

CustomValue CustomValue::New(int32_t type) {
  CustomTypeRef t = FindCustomDataType(type);
  if (t == nullptr || !t->alive) return CustomValue(type, nullptr, nullptr);
  ha_customdata data = t->cls.alloc_data(t->cls.user);
  if (data != nullptr) ++t->liveValues;
  return CustomValue(type, std::move(t), data);
}

CustomValue CustomValue::CopyOf(int32_t type, ha_customdata src) {
  CustomValue made = New(type);
  if (!made.Holds()) return made;
  const ha_customdata_class& cls = made.type_->cls;
  if (src == nullptr || cls.copy_data(cls.user, src, made.data_, nullptr) == 0) made.Reset();
  made.typeId_ = type;
  return made;
}

CustomValue::CustomValue(const CustomValue& other)
    : CustomValue(other.Holds() ? CopyOf(other.typeId_, other.data_)
                                : CustomValue(other.typeId_, nullptr, nullptr)) {}

CustomValue& CustomValue::operator=(const CustomValue& other) {
  if (this != &other) *this = CustomValue(other);
  return *this;
}

CustomValue::CustomValue(CustomValue&& other) noexcept
    : typeId_(other.typeId_), type_(std::move(other.type_)), data_(other.data_) {
  other.data_ = nullptr;
  other.type_.reset();
}

CustomValue& CustomValue::operator=(CustomValue&& other) noexcept {
  if (this != &other) {
    Reset();
    typeId_ = other.typeId_;
    type_ = std::move(other.type_);
    data_ = other.data_;
    other.data_ = nullptr;
    other.type_.reset();
  }
  return *this;
}

void CustomValue::Reset() {
  if (data_ != nullptr && type_ != nullptr) {
    if (type_->alive) {
      type_->cls.free_data(type_->cls.user, data_);
      --type_->liveValues;
    }
  }
  data_ = nullptr;
  type_.reset();
}

int32_t CustomValue::Compare(const CustomValue& other) const {
  if (!Holds() || !other.Holds() || typeId_ != other.typeId_ || !type_->alive) return 0;
  return type_->cls.compare(type_->cls.user, data_, other.data_);
}

bool CustomValue::Equals(const CustomValue& other) const {
  if (typeId_ != other.typeId_ || Holds() != other.Holds()) return false;
  return !Holds() || Compare(other) == 0;
}

int32_t AddUserData(Object* op, const std::string& name, int32_t type, std::string* error) {
  int32_t id = kUserDataFirstId;
  for (const UserDataDesc& d : op->UserData()) id = std::max(id, d.id + 1);
  Value value;
  switch (type) {
    case HA_TYPE_INT32:
    case HA_TYPE_FLOAT:
    case HA_TYPE_VECTOR:
    case HA_TYPE_STRING:
    case HA_TYPE_LINK:
      value.type = type;
      break;
    default: {
      if (FindCustomDataType(type) == nullptr) {
        *error = "no data type " + std::to_string(type) + " is registered";
        return 0;
      }
      CustomValue fresh = CustomValue::New(type);
      if (!fresh.Holds()) {
        *error = "the plug-in could not make a new value (out of memory)";
        return 0;
      }
      value = Value::Custom(std::move(fresh));
    }
  }
  op->UserData().push_back(UserDataDesc{id, name, type});
  op->Data().Set(id, std::move(value));
  return id;
}

// ---------------------------------------------------------------------------
// Container and data suite functions

int32_t BcGetId(ha_container h) {
  const Container* bc = CheckContainer(h, "get_id");
  return bc != nullptr ? bc->Id() : 0;
}

void BcSetId(ha_container h, int32_t id) {
  if (Container* bc = CheckContainer(h, "set_id")) bc->SetId(id);
}

ha_container BcCopy(ha_container h) {
  return Guarded<ha_container>(nullptr, [&]() -> ha_container {
    const Container* bc = CheckContainer(h, "copy");
    if (bc == nullptr || Failures().NextAllocationFails()) return nullptr;
    return reinterpret_cast<ha_container>(NewModuleContainer(bc));
  });
}

ha_customdata BcGetCustom(ha_container h, int32_t id, int32_t type) {
  const Container* bc = CheckContainer(h, "get_custom");
  const Value* v = bc != nullptr ? bc->Find(id) : nullptr;
  return v != nullptr && v->type == type ? v->custom.Get() : nullptr;
}

int32_t BcSetCustom(ha_container h, int32_t id, int32_t type, ha_customdata value) {
  return Guarded<int32_t>(0, [&]() -> int32_t {
    Container* bc = CheckContainer(h, "set_custom");
    if (bc == nullptr || value == nullptr || FindCustomDataType(type) == nullptr) return 0;
    CustomValue copy = CustomValue::CopyOf(type, value);
    if (!copy.Holds()) return 0;
    bc->Set(id, Value::Custom(std::move(copy)));
    return 1;
  });
}

ha_data BcGetData(ha_container h, int32_t id) {
  return Guarded<ha_data>(nullptr, [&]() -> ha_data {
    const Container* bc = CheckContainer(h, "get_data");
    if (bc == nullptr || Failures().NextAllocationFails()) return nullptr;
    const Value* v = bc->Find(id);
    Value copy = v != nullptr ? *v : Value();
    // A custom value whose copy could not be made: out of memory.
    if (FindCustomDataType(copy.type) != nullptr && !copy.custom.Holds()) return nullptr;
    return NewDataHandle(copy);
  });
}

int32_t BcSetData(ha_container h, int32_t id, ha_data data) {
  return Guarded<int32_t>(0, [&]() -> int32_t {
    Container* bc = CheckContainer(h, "set_data");
    const Value* v = DataValueOf(data);
    if (v == nullptr && data != nullptr) ReportMisuse("set_data: unknown value");
    if (bc == nullptr || v == nullptr) return 0;
    Value copy = *v;
    // A custom value whose copy could not be made is not stored.
    if (FindCustomDataType(copy.type) != nullptr && !copy.custom.Holds()) return 0;
    bc->Set(id, std::move(copy));
    return 1;
  });
}

ha_customdata DataGetCustom(ha_data data, int32_t type) {
  const Value* v = DataValueOf(data);
  if (v == nullptr && data != nullptr) ReportMisuse("get_custom: unknown value");
  return v != nullptr && v->type == type ? v->custom.Get() : nullptr;
}

ha_data DataAllocCustom(int32_t type, ha_customdata value) {
  return Guarded<ha_data>(nullptr, [&]() -> ha_data {
    if (value == nullptr || FindCustomDataType(type) == nullptr) return nullptr;
    if (Failures().NextAllocationFails()) return nullptr;
    CustomValue copy = CustomValue::CopyOf(type, value);
    if (!copy.Holds()) return nullptr;
    return NewDataHandle(Value::Custom(std::move(copy)));
  });
}

}  // namespace host
