// What scenefile.cpp and hyperfile_entries.cpp share, inside the formats
// layer only: the little-endian bytes of scene files, the kinds of the items
// a custom data type's value is stored as, and the scene-file streams lent to
// the module (the hyperfile suite's objects). scenefile.h is what other
// layers see.
#ifndef HOST_SCENEFILE_INTERNAL_H
#define HOST_SCENEFILE_INTERNAL_H

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "core.h"

namespace host {
namespace scenefile_internal {

// --- little-endian bytes --------------------------------------------------------

inline void PutBytes(std::string* out, uint64_t v, int n) {
  char b[8];
  for (int i = 0; i < n; ++i) b[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
  out->append(b, static_cast<std::size_t>(n));
}

inline uint64_t GetBytes(const std::string& in, std::size_t pos, int n) {
  uint64_t v = 0;
  for (int i = 0; i < n; ++i) v |= static_cast<uint64_t>(static_cast<uint8_t>(in[pos + i])) << (8 * i);
  return v;
}

inline uint64_t DoubleBits(double d) {
  uint64_t bits = 0;
  std::memcpy(&bits, &d, sizeof bits);
  return bits;
}

inline double BitsDouble(uint64_t bits) {
  double d = 0.0;
  std::memcpy(&d, &bits, sizeof d);
  return d;
}

// --- hyperfile streams ------------------------------------------------------------

// The kinds of the items of a stored value: a kind byte, then 8 bytes of an
// integer or 24 of a vector.
constexpr uint8_t kItemInt64 = 1;
constexpr uint8_t kItemVector = 2;

struct HyperStream {
  bool writing = false;
  std::string bytes;
  std::size_t pos = 0;
  long itemsRead = 0;
  std::string failure;  // what the first read that failed found; "" while none did
};

// The streams lent to the module at the moment.
HandleSet<HyperStream>& Streams();

}  // namespace scenefile_internal
}  // namespace host

#endif
