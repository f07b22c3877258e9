// The functions of the custom data type suite (suites/ha_customdata.cpp
// makes the table): registration of a data type's class.
#include "customdata_entries.h"

#include <string>

#include "core.h"
#include "custom_values.h"
#include "state.h"

namespace host {
namespace customdata_entries {

int32_t RegisterType(const ha_customdata_info* info) {
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
    DestroyDataTypeClass(cls);
    return 0;
  }
  if (Refusals().dataTypes || FindCustomDataType(info->id) != nullptr ||
      (cls.get_id != nullptr && cls.get_id(cls.user) != info->id)) {
    DestroyDataTypeClass(cls);
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
  AddCustomDataType(std::move(type));
  return 1;
}

}  // namespace customdata_entries
}  // namespace host
