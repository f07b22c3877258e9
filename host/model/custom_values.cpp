#include "custom_values.h"

#include <algorithm>
#include <cctype>

#include "core.h"
#include "model.h"
#include "state.h"

namespace host {

namespace {

std::vector<CustomTypeRef>& Registry() { return State().customTypes; }

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

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

RegistrationRefusals& Refusals() { return State().refusals; }

void DestroyDataTypeClass(const ha_customdata_class& cls) {
  if (cls.destroy != nullptr) cls.destroy(cls.user);
}

void AddCustomDataType(CustomTypeRef type) { Registry().push_back(std::move(type)); }


long ReleaseCustomDataTypes() {
  long live = 0;
  for (const CustomTypeRef& t : Registry()) {
    live += t->liveValues;
    t->alive = false;
    DestroyDataTypeClass(t->cls);
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


}  // namespace host
