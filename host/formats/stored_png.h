// A small PNG writer and reader for hosts built without libpng (the Windows
// build). The writer makes a valid 8-bit RGB PNG whose image data is one
// zlib stream of stored (uncompressed) deflate blocks, with the chunks' CRCs
// and the stream's Adler-32 sum. The reader takes such files back: 8-bit RGB
// or RGBA, not interlaced, image data in stored blocks (any row filter);
// it refuses compressed data with a message.
#ifndef HOST_STORED_PNG_H
#define HOST_STORED_PNG_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace host {

// The checksums PNG and zlib use.
uint32_t Crc32(const uint8_t* data, std::size_t size, uint32_t crc = 0);
uint32_t Adler32(const uint8_t* data, std::size_t size, uint32_t adler = 1);

// The PNG file of a `width` x `height` image, rows from the top, 3 bytes a
// pixel. Empty when the sizes do not match `rgb`.
std::string EncodeStoredPng(int width, int height, const std::vector<uint8_t>& rgb);

// Decodes a PNG held in `bytes` into 3 bytes a pixel (alpha is dropped).
// False with `error` set when the file is not one this reader takes or is
// damaged (a wrong CRC or Adler-32 sum included).
bool DecodeStoredPng(const std::string& bytes, int* width, int* height, std::vector<uint8_t>* rgb,
                     std::string* error);

// Reads the PNG file `path` (UTF-8) and decodes it as DecodeStoredPng
// does; the error names the file.
bool ReadStoredPngFile(const std::string& path, int* width, int* height, std::vector<uint8_t>* rgb,
                       std::string* error);

}  // namespace host

#endif
