// The container suite and the data suite: parameter containers, their
// values, and single values the module and host pass each other
// (model/container_entries.cpp does the work).
#include "suites.h"

#include <cstdint>

#include "entry.h"
#include "container_entries.h"

namespace host {
namespace {

using namespace container_entries;

const ha_container_suite kContainer = MakeSuite<ha_container_suite,
    Entry<&BcAlloc>,
    Entry<&BcFree>,
    Entry<&BcGetType>,
    Entry<&BcGetInt32>,
    Entry<&BcGetFloat>,
    Entry<&BcGetVector>,
    Entry<&BcGetString>,
    Entry<&BcGetLink>,
    Entry<&BcSetInt32>,
    Entry<&BcSetFloat>,
    Entry<&BcSetVector>,
    Entry<&BcSetString>,
    Entry<&BcSetLink>,
    Entry<&BcGetId>,
    Entry<&BcSetId>,
    Entry<&BcCopy>,
    Entry<&BcGetCustom>,
    Entry<&BcSetCustom>,
    Entry<&BcGetData>,
    Entry<&BcSetData>>();

const ha_data_suite kData = MakeSuite<ha_data_suite,
    Entry<&DataAlloc>,
    Entry<&DataFree>,
    Entry<&DataType>,
    Entry<&DataInt32>,
    Entry<&DataFloat>,
    Entry<&DataGetCustom>,
    Entry<&DataAllocCustom>>();

}  // namespace

const ha_container_suite* ContainerSuite() { return &kContainer; }
const ha_data_suite* DataSuite() { return &kData; }

}  // namespace host
