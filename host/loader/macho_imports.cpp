#include "macho_imports.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string_view>

namespace host {

namespace {

// A message and a stop that need neither an aligned stack nor the C
// library's buffers: the stub binder is reached, if ever, from a stub that
// pushed its own arguments.
[[noreturn]] __attribute__((force_align_arg_pointer)) void Stop(const char* message) {
  const std::size_t n = std::strlen(message);
  if (write(STDERR_FILENO, message, n) < 0) {
    // Nothing more can be said.
  }
  std::abort();
}

[[noreturn]] __attribute__((force_align_arg_pointer)) void StubBinderReached() {
  Stop("tolvane-host: the macOS module called dyld_stub_binder, which a module loaded by the host "
       "never reaches (every lazy pointer was bound at load); stopping\n");
}

[[noreturn]] __attribute__((force_align_arg_pointer)) void StackCheckFailed() {
  Stop("tolvane-host: the macOS module's stack protector found its stack overwritten; stopping\n");
}

[[noreturn]] void Abort() { std::abort(); }

// The guard value the module's stack protector compares against.
uintptr_t stackGuard = static_cast<uintptr_t>(0x5ca1ab1e0ddba11ULL);

// macOS answers both values of a sine and cosine pair in two registers, as
// the x86-64 convention returns a record of two doubles (two floats: one).
struct SinCos {
  double sine;
  double cosine;
};
struct SinCosF {
  float sine;
  float cosine;
};
SinCos SinCosStret(double x) { return {std::sin(x), std::cos(x)}; }
SinCosF SinCosFStret(float x) { return {std::sin(x), std::cos(x)}; }

void Bzero(void* block, std::size_t n) { std::memset(block, 0, n); }

struct Import {
  const char* name;
  const void* address;
};

template <typename F>
const void* Fn(F* f) {
  return reinterpret_cast<const void*>(f);
}

// Explicit signatures pick the C library's double or float function where
// <cmath> overloads the name.
using D1 = double(double);
using D2 = double(double, double);
using F1 = float(float);
using F2 = float(float, float);

// Sorted by name, so a lookup is a binary search.
const Import kImports[] = {
    {"___bzero", Fn(&Bzero)},
    {"___sincos_stret", Fn(&SinCosStret)},
    {"___sincosf_stret", Fn(&SinCosFStret)},
    {"___stack_chk_fail", Fn(&StackCheckFailed)},
    {"___stack_chk_guard", &stackGuard},
    {"_abort", Fn(&Abort)},
    {"_acos", Fn<D1>(&::acos)},
    {"_asin", Fn<D1>(&::asin)},
    {"_atan", Fn<D1>(&::atan)},
    {"_atan2", Fn<D2>(&::atan2)},
    {"_atan2f", Fn<F2>(&::atan2f)},
    {"_bzero", Fn(&Bzero)},
    {"_cbrt", Fn<D1>(&::cbrt)},
    {"_ceil", Fn<D1>(&::ceil)},
    {"_copysign", Fn<D2>(&::copysign)},
    {"_cos", Fn<D1>(&::cos)},
    {"_cosf", Fn<F1>(&::cosf)},
    {"_exp", Fn<D1>(&::exp)},
    {"_exp2", Fn<D1>(&::exp2)},
    {"_fabs", Fn<D1>(&::fabs)},
    {"_fabsf", Fn<F1>(&::fabsf)},
    {"_floor", Fn<D1>(&::floor)},
    {"_floorf", Fn<F1>(&::floorf)},
    {"_fmax", Fn<D2>(&::fmax)},
    {"_fmin", Fn<D2>(&::fmin)},
    {"_fmod", Fn<D2>(&::fmod)},
    {"_hypot", Fn<D2>(&::hypot)},
    {"_hypotf", Fn<F2>(&::hypotf)},
    {"_log", Fn<D1>(&::log)},
    {"_log10", Fn<D1>(&::log10)},
    {"_log2", Fn<D1>(&::log2)},
    {"_lround", Fn<long(double)>(&::lround)},
    {"_memchr", Fn<const void*(const void*, int, std::size_t)>(&std::memchr)},
    {"_memcmp", Fn(&std::memcmp)},
    {"_memcpy", Fn(&std::memcpy)},
    {"_memmove", Fn(&std::memmove)},
    {"_memset", Fn(&std::memset)},
    {"_nearbyint", Fn<D1>(&::nearbyint)},
    {"_pow", Fn<D2>(&::pow)},
    {"_remainder", Fn<D2>(&::remainder)},
    {"_round", Fn<D1>(&::round)},
    {"_sin", Fn<D1>(&::sin)},
    {"_sinf", Fn<F1>(&::sinf)},
    {"_sqrt", Fn<D1>(&::sqrt)},
    {"_sqrtf", Fn<F1>(&::sqrtf)},
    {"_strchr", Fn<const char*(const char*, int)>(&std::strchr)},
    {"_strcmp", Fn(&std::strcmp)},
    {"_strlen", Fn(&std::strlen)},
    {"_strncmp", Fn(&std::strncmp)},
    {"_strrchr", Fn<const char*(const char*, int)>(&std::strrchr)},
    {"_tan", Fn<D1>(&::tan)},
    {"_trunc", Fn<D1>(&::trunc)},
    {"dyld_stub_binder", Fn(&StubBinderReached)},
};

bool Before(const Import& a, std::string_view name) { return std::string_view(a.name) < name; }

}  // namespace

const void* MacOSImport(const std::string& name) {
  const auto* at = std::lower_bound(std::begin(kImports), std::end(kImports), std::string_view(name), Before);
  return at != std::end(kImports) && name == at->name ? at->address : nullptr;
}

std::vector<std::string> MacOSImportNames() {
  std::vector<std::string> names;
  for (const Import& import : kImports) names.emplace_back(import.name);
  return names;
}

}  // namespace host
