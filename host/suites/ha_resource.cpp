// The resource suite: resource folders and bitmaps (formats/resources.cpp),
// the console and message boxes, object registration; and the crash-handler
// suite of release-12 hosts (resource_entries.cpp does the work of these).
#include "suites.h"

#include <cstdint>

#include "entry.h"
#include "resource_entries.h"
#include "resources.h"

namespace host {
namespace {

using namespace resource_entries;

const ha_resource_suite kResource = MakeSuite<ha_resource_suite,
    Entry<&ResLoad>,
    Entry<&ResFree>,
    Entry<&ResLoadString>,
    Entry<&ResLoadBitmap>,
    Entry<&ResFreeBitmap>,
    Entry<&Print>,
    Entry<&OutString>,
    Entry<&RegisterObject>,
    Entry<&BaseEnabling>>();

const ha_crash_suite kCrash = MakeSuite<ha_crash_suite,
    Entry<&GetCrash>,
    Entry<&SetCrash>>();

}  // namespace

const ha_resource_suite* ResourceSuite() { return &kResource; }
const ha_crash_suite* CrashSuite() { return &kCrash; }

}  // namespace host
