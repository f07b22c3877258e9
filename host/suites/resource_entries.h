// The functions of the resource suite and the crash-handler suite that need
// the running `Host` itself (its console, message boxes, registrations and
// crash handler), as the tables' entries call them (resource_entries.cpp).
// The resource folder and bitmap entries are the formats layer's
// (resources.h). The tables are made in ha_resource.cpp.
#ifndef HOST_RESOURCE_ENTRIES_H
#define HOST_RESOURCE_ENTRIES_H

#include "hostapi.h"

namespace host {
namespace resource_entries {

void Print(const char* line);
int32_t OutString(const char* text, int32_t flags);
int32_t RegisterObject(const ha_object_plugin_info* info);
int32_t BaseEnabling(ha_object, const ha_descid*, ha_data, int32_t, ha_container);
ha_crash_handler GetCrash();
void SetCrash(ha_crash_handler h);

}  // namespace resource_entries
}  // namespace host

#endif
