// Description IDs of the arrow object, one enum per product version, both
// made from the one parameter table arrow_params.def.
// Scene documents store parameters under these numbers, so they never change.
#ifndef TOLVANE_IDS_H
#define TOLVANE_IDS_H

#include <climits>

#include "../hostapi/abi/ha_ids.h"
#include "api_types.h"

// A button that a version does not have: no description sends this ID.
constexpr Int32 kNoDescriptionId = INT32_MIN;

// Product version 1.3 (host release 16).
namespace ids_v13 {
enum : Int32 {
#define ARROW_PARAM(name, id13, id12, type, group) name = (id13),
#include "arrow_params.def"
};
}  // namespace ids_v13

// Product version 1.2 (host release 12): same parameters, other numbers.
namespace ids_v12 {
enum : Int32 {
#define ARROW_PARAM(name, id13, id12, type, group) name = (id12),
#include "arrow_params.def"
};
}  // namespace ids_v12

#endif
