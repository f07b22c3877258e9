// Custom data types registered by a module, and the values of such types the
// host keeps in containers. The host never looks inside a value: it makes,
// copies, compares, stores, loads and frees it only through the functions of
// the type's registered class.
#ifndef HOST_CUSTOMDATA_H
#define HOST_CUSTOMDATA_H

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "hostapi.h"

namespace host {

// One registered custom data type.
struct CustomDataPlugin {
  int32_t id = 0;
  std::string name;
  int32_t info = 0;
  int32_t diskLevel = 0;
  std::string symbol;         // the resource symbol, e.g. "DOTS"
  ha_customdata_class cls{};  // copied; its functions live in the module
  // False once the module is going away: values still held then are dropped
  // without calling into the module.
  bool alive = true;
  long liveValues = 0;  // values made through the class and not yet freed
};
using CustomTypeRef = std::shared_ptr<CustomDataPlugin>;

// The registry of the running host.
const std::vector<CustomTypeRef>& CustomDataTypes();
CustomTypeRef FindCustomDataType(int32_t id);
// By resource symbol, ignoring case ("dots" finds "DOTS").
CustomTypeRef FindCustomDataTypeBySymbol(const std::string& symbol);

// A value of a custom data type, owned by the host. Copies are made through
// the type's class; a value that could not be made (unknown type, memory
// short in the module) keeps its type but holds nothing.
class CustomValue {
 public:
  CustomValue() = default;
  // A new empty value of a registered type.
  static CustomValue New(int32_t type);
  // A copy of `src` (a value of `type` the module or the host holds).
  static CustomValue CopyOf(int32_t type, ha_customdata src);
  ~CustomValue() { Reset(); }
  CustomValue(const CustomValue& other);
  CustomValue& operator=(const CustomValue& other);
  CustomValue(CustomValue&& other) noexcept;
  CustomValue& operator=(CustomValue&& other) noexcept;

  int32_t TypeId() const { return typeId_; }
  const CustomTypeRef& Type() const { return type_; }
  // The value's handle; null when it holds nothing.
  ha_customdata Get() const { return data_; }
  bool Holds() const { return data_ != nullptr; }
  // Equal when of one type and the type's compare answers 0, or when both
  // hold nothing.
  bool Equals(const CustomValue& other) const;
  // The type's compare: -1, 0 or 1 (0 when either holds nothing).
  int32_t Compare(const CustomValue& other) const;

 private:
  CustomValue(int32_t typeId, CustomTypeRef type, ha_customdata data)
      : typeId_(typeId), type_(std::move(type)), data_(data) {}
  void Reset();

  int32_t typeId_ = 0;
  CustomTypeRef type_;
  ha_customdata data_ = nullptr;
};

// Registrations the host can be told to refuse (tests); all off after a
// shutdown.
struct RegistrationRefusals {
  bool dataTypes = false;
  bool libraries = false;
  bool elements = false;
};
RegistrationRefusals& Refusals();

// Before the module's end action: hands every class object back to the
// module for destruction and empties the registry; values still held
// afterwards are dropped without calling the module. Answers how many values
// were still alive (each is a leak of the module's memory too).
long ReleaseCustomDataTypes();

// Hands a data type's class object back to the module (a registration the
// host does not keep, or every one at the end).
void DestroyDataTypeClass(const ha_customdata_class& cls);
// Adds a registered type.
void AddCustomDataType(CustomTypeRef type);

}  // namespace host

#endif
