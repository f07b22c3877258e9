// The functions of the custom data type suite, as the table's entries call
// them (customdata_entries.cpp). The table is made in suites/ha_customdata.cpp.
#ifndef HOST_CUSTOMDATA_ENTRIES_H
#define HOST_CUSTOMDATA_ENTRIES_H

#include "hostapi.h"

namespace host {
namespace customdata_entries {

int32_t RegisterType(const ha_customdata_info* info);

}  // namespace customdata_entries
}  // namespace host

#endif
