// Descriptions of the stand-in host's own object types (spline, null,
// extrusion, cloner, spline wrap), in the form the module's description
// resources take: what the attribute editor shows of each, with labels,
// units, limits and choices. The IDs are the host's (ha_ids.h).
#ifndef HOST_HOST_DESCRIPTIONS_H
#define HOST_HOST_DESCRIPTIONS_H

#include <cstdint>
#include <string>
#include <vector>

#include "resources.h"

namespace host {

// The description of a host object type; null for a type the host does not
// make (plug-in objects have their own).
const Description* HostDescription(int32_t type);

// The console's words for the host's object types ("spline", "null",
// "extrude", "cloner", "splinewrap") and back; 0 and "" for none.
int32_t HostTypeOfWord(const std::string& word);
std::string HostTypeWord(int32_t type);
std::vector<int32_t> HostTypes();

}  // namespace host

#endif
