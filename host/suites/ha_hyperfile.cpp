// The hyperfile suite: the items of a custom data type's stored value
// (formats/hyperfile_entries.cpp does the work).
#include "suites.h"

#include <cstdint>

#include "entry.h"
#include "hyperfile_entries.h"

namespace host {
namespace {

using namespace hyperfile_entries;

const ha_hyperfile_suite kHyperFile = MakeSuite<ha_hyperfile_suite,
    Entry<&HfWriteInt64>,
    Entry<&HfWriteVector>,
    Entry<&HfReadInt64>,
    Entry<&HfReadVector>>();

}  // namespace

const ha_hyperfile_suite* HyperFileSuite() { return &kHyperFile; }

}  // namespace host
