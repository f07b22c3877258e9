// The custom data type suite: registration of a data type's class
// (model/customdata_entries.cpp does the work).
#include "suites.h"

#include <cstdint>

#include "entry.h"
#include "customdata_entries.h"

namespace host {
namespace {

using namespace customdata_entries;

const ha_customdata_suite kSuite = MakeSuite<ha_customdata_suite, Entry<&RegisterType>>();

}  // namespace

const ha_customdata_suite* CustomDataSuite() { return &kSuite; }

}  // namespace host
