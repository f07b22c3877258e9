// How the function table is filled. Every member of every suite is an
// `Entry<&Function>`: the wrapper gives the function the interface's calling
// convention and keeps exceptions from crossing into the module. When the
// function throws, the wrapper reports a host error (visible as misuse in
// the tests) and answers the fallback: zero or null by default, or the value
// named after the function. `MakeSuite` builds a suite from entries only and
// checks at compile time that every member is filled, so no member of a
// suite can be an unguarded function.
#ifndef HOST_ENTRY_H
#define HOST_ENTRY_H

#include <cstdint>
#include <type_traits>

#include "core.h"

namespace host {

// The fallback of an entry that answers a text.
inline constexpr char kNoText[] = "";

namespace entry_detail {

inline void ReportHostError() noexcept {
  try {
    ReportMisuse("host error inside an interface call");
  } catch (...) {
  }
}

template <auto Function, auto... Fallback>
struct EntryOf;

template <typename R, typename... Args, R (*Function)(Args...), auto... Fallback>
struct EntryOf<Function, Fallback...> {
  static_assert(sizeof...(Fallback) <= 1, "an entry has one fallback at most");
  static_assert(!std::is_void_v<R> || sizeof...(Fallback) == 0, "a function answering nothing has no fallback");

  static R HA_CALL Call(Args... args) noexcept {
    try {
      return Function(args...);
    } catch (...) {
      ReportHostError();
      if constexpr (!std::is_void_v<R>) {
        if constexpr (sizeof...(Fallback) == 1)
          return static_cast<R>((Fallback, ...));
        else
          return R{};
      }
    }
  }
};

}  // namespace entry_detail

template <auto Function, auto... Fallback>
using Entry = entry_detail::EntryOf<Function, Fallback...>;

// A suite: its size, then one entry per member, in the members' order.
template <typename Suite, typename... Entries>
constexpr Suite MakeSuite() {
  static_assert(sizeof(Suite) == sizeof(void (*)()) * (sizeof...(Entries) + 1),
                "a suite must be filled member for member");
  return Suite{static_cast<uint32_t>(sizeof(Suite)), &Entries::Call...};
}

}  // namespace host

#endif
