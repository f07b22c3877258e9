// The functions of the memory suite, as the table's entries call them
// (memory_entries.cpp). The table is made in suites/ha_memory.cpp.
#ifndef HOST_MEMORY_ENTRIES_H
#define HOST_MEMORY_ENTRIES_H

#include "hostapi.h"

namespace host {
namespace memory_entries {

void* MemAlloc(size_t size, const char* file, int32_t line);
void MemFree(void* block);
const char* TextGet(ha_text text);
void TextFree(ha_text text);

}  // namespace memory_entries
}  // namespace host

#endif
