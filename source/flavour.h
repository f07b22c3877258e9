// Everything that differs between the product versions, in one place:
// the release-16 build is product version 1.3, the release-12 builds are 1.2.
#ifndef TOLVANE_FLAVOUR_H
#define TOLVANE_FLAVOUR_H

#include "api.h"
#include "ids.h"
#if TOLVANE_RELEASE == 16
#include "dots.h"
#endif

struct Flavour {
  Int32 release;            // host release the module is built for
  Int32 lowestHostVersion;  // the oldest host interface accepted
  // Lines printed at start: before registering, after success, after failure.
  const char* const* bannerLines;
  const char* const* successLines;
  const char* const* failureLines;
  Bool installsCrashHandler;
  Bool releasesHostLists;        // the end action frees the interface layer's lists
  Bool registerNeedsExactlyOne;  // only the answer 1 counts as registered
  Bool iconHasPixelRatio;
  Bool (*registerExtras)();      // further registrations before the arrow (null: none)
  // Preset files.
  const char* presetVersionLine;
  Int32 presetStringEncoding;  // the encoding of the preset name this build writes
};

namespace flavour_detail {
inline constexpr const char* kNoLines[] = {nullptr};
inline constexpr const char* kSuccess13[] = {"VARNHOLT LTD: Tolvane successfully loaded.", nullptr};
inline constexpr const char* kFailure13[] = {"VARNHOLT LTD: Failed to load Tolvane.", nullptr};
inline constexpr const char* kBanner12[] = {" ", "--------- Quellfort Software ---------", nullptr};
inline constexpr const char* kSuccess12[] = {"Tolvane successfully loaded.", " ", nullptr};
inline constexpr const char* kFailure12[] = {"Failed to register Tolvane.", " ", nullptr};
}  // namespace flavour_detail

#if TOLVANE_RELEASE == 16
namespace ids = ids_v13;
inline constexpr Flavour kFlavour = {
    16, 16049, flavour_detail::kNoLines, flavour_detail::kSuccess13, flavour_detail::kFailure13,
    false, true, false, true, &RegisterDotsType,
    "# Version 1.3", HA_STRINGENCODING_UTF8};
#elif TOLVANE_RELEASE == 12
namespace ids = ids_v12;
inline constexpr Flavour kFlavour = {
    12, 12000, flavour_detail::kBanner12, flavour_detail::kSuccess12, flavour_detail::kFailure12,
    true, false, true, false, nullptr,
    "# Version 1.2", HA_STRINGENCODING_8BIT};
#else
#error "TOLVANE_RELEASE must be 16 or 12"
#endif

using namespace ids;  // NOLINT: the ARROW_ names of this build's version

#endif
