// Whether the host's copy of a suite has a member: suites only ever grow by
// appending, so a member exists when the suite's size covers it.
#ifndef TOLVANE_API_OFFERS_H
#define TOLVANE_API_OFFERS_H

#include <cstddef>
#include <type_traits>

#include "../abi/hostapi.h"

#define HA_OFFERS(suite, member)                                               \
  ((suite) != nullptr &&                                                       \
   (suite)->size >= offsetof(std::remove_pointer_t<decltype(suite)>, member) + \
                        sizeof((suite)->member) &&                             \
   (suite)->member != nullptr)

// The table's suite `member`, or null when the host's table is too short to
// have it.
#define HA_TABLE_SUITE(table, member) \
  ((table)->size >= offsetof(ha_host_table, member) + sizeof((table)->member) ? (table)->member : nullptr)

#endif
