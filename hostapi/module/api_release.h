// Everything in which this layer differs between host releases, in one
// place. The layer is built for one release, named by HA_INTERFACE_RELEASE
// (the module's own differences are in source/flavour.h, above this layer).
#ifndef TOLVANE_API_RELEASE_H
#define TOLVANE_API_RELEASE_H

#ifndef HA_INTERFACE_RELEASE
#error "HA_INTERFACE_RELEASE must name the host release this layer is built for"
#endif

namespace api_release {

// Where the records of registered plug-in classes are kept. Release 16: a
// module-wide list in host memory, released by the end action
// (ReleaseHostLists). Release 12: a fixed table of kStaticClassSlots records
// in static storage, with nothing to release.
inline constexpr bool kClassRecordsInHostMemory = HA_INTERFACE_RELEASE >= 16;
inline constexpr int kStaticClassSlots = 8;

}  // namespace api_release

#endif
