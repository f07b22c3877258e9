// The memory suite: the module's allocator (the host's ledger) and the
// texts the host hands out (model/memory_entries.cpp does the work).
#include "suites.h"

#include <cstdint>

#include "entry.h"
#include "memory_entries.h"

namespace host {
namespace {

using namespace memory_entries;

const ha_memory_suite kMemory = MakeSuite<ha_memory_suite,
    Entry<&MemAlloc>,
    Entry<&MemFree>,
    Entry<&TextGet, kNoText>,
    Entry<&TextFree>>();

}  // namespace

const ha_memory_suite* MemorySuite() { return &kMemory; }

}  // namespace host
