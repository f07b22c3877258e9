// The functions of the hyperfile suite (the stream a custom data type's
// value is written to and read from), as the table's entries call them
// (hyperfile_entries.cpp). The table is made in suites/ha_hyperfile.cpp.
#ifndef HOST_HYPERFILE_ENTRIES_H
#define HOST_HYPERFILE_ENTRIES_H

#include "hostapi.h"

namespace host {
namespace hyperfile_entries {

int32_t HfWriteInt64(ha_hyperfile h, int64_t v);
int32_t HfWriteVector(ha_hyperfile h, const ha_vector* v);
int32_t HfReadInt64(ha_hyperfile h, int64_t* out);
int32_t HfReadVector(ha_hyperfile h, ha_vector* out);

}  // namespace hyperfile_entries
}  // namespace host

#endif
