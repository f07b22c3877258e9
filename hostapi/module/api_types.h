// Basic value types of the host interface, under the host's names.
#ifndef TOLVANE_API_TYPES_H
#define TOLVANE_API_TYPES_H

#include <cstddef>
#include <cstdint>

#include "../abi/ha_types.h"

using Int32 = std::int32_t;
using UInt32 = std::uint32_t;
using Int64 = std::int64_t;
using Float = double;
using Float32 = float;
using Float64 = double;
using Bool = bool;
using Char = char;

// Three 64-bit floats, laid out exactly like the boundary's ha_vector.
struct Vector {
  Float x = 0.0, y = 0.0, z = 0.0;
  constexpr Vector() = default;
  constexpr Vector(Float ix, Float iy, Float iz) : x(ix), y(iy), z(iz) {}
};
using LVector = Vector;  // the release-12 interface's name for the same type

static_assert(sizeof(Vector) == sizeof(ha_vector), "Vector must match the boundary layout");
static_assert(offsetof(Vector, z) == offsetof(ha_vector, z), "Vector must match the boundary layout");

#endif
