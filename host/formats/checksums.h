// The checksums PNG and zlib use: CRC-32 (of PNG chunks, and of the scene
// file's body) and Adler-32 (of a zlib stream).
#ifndef HOST_CHECKSUMS_H
#define HOST_CHECKSUMS_H

#include <cstddef>
#include <cstdint>

namespace host {

uint32_t Crc32(const uint8_t* data, std::size_t size, uint32_t crc = 0);
uint32_t Adler32(const uint8_t* data, std::size_t size, uint32_t adler = 1);

}  // namespace host

#endif
