// The host's own PNG back-end, used where libpng is missing: a writer of
// stored (uncompressed) deflate blocks and a reader of such files.
#include "png_codec.h"

#include <algorithm>
#include <cstdlib>

#include "checksums.h"

namespace host {
namespace {

constexpr uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr std::size_t kMaxStored = 65535;  // bytes in one stored deflate block

void PutU32(std::string* out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out->push_back(static_cast<char>((v >> shift) & 0xFF));
}

uint32_t GetU32(const std::string& s, std::size_t at) {
  uint32_t v = 0;
  for (std::size_t i = 0; i < 4; ++i) v = v << 8 | static_cast<unsigned char>(s[at + i]);
  return v;
}

const uint8_t* Bytes(const std::string& s, std::size_t at = 0) {
  return reinterpret_cast<const uint8_t*>(s.data()) + at;
}

void PutChunk(std::string* out, const char type[4], const std::string& data) {
  PutU32(out, static_cast<uint32_t>(data.size()));
  const std::string body = std::string(type, 4) + data;
  out->append(body);
  PutU32(out, Crc32(Bytes(body), body.size()));
}

bool Fail(std::string* error, const std::string& why) {
  if (error != nullptr) *error = why;
  return false;
}

int Paeth(int a, int b, int c) {
  const int p = a + b - c;
  const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
  if (pa <= pb && pa <= pc) return a;
  return pb <= pc ? b : c;
}

}  // namespace

std::string EncodeStoredPng(int width, int height, const std::vector<uint8_t>& rgb) {
  const std::size_t rowBytes = static_cast<std::size_t>(width) * 3;

  // The filtered image: each row starts with filter type 0 (none).
  std::string raw;
  raw.reserve((rowBytes + 1) * static_cast<std::size_t>(height));
  for (int y = 0; y < height; ++y) {
    raw.push_back('\0');
    raw.append(reinterpret_cast<const char*>(rgb.data()) + rowBytes * static_cast<std::size_t>(y), rowBytes);
  }

  // A zlib stream: header (deflate, 32K window, no dictionary, fastest
  // level; 0x7801 is a multiple of 31), stored blocks, Adler-32 sum.
  std::string z = {'\x78', '\x01'};
  std::size_t done = 0;
  do {
    const std::size_t n = std::min(kMaxStored, raw.size() - done);
    const bool last = done + n == raw.size();
    z.push_back(last ? '\x01' : '\x00');
    z.push_back(static_cast<char>(n & 0xFF));
    z.push_back(static_cast<char>(n >> 8));
    z.push_back(static_cast<char>(~n & 0xFF));
    z.push_back(static_cast<char>((~n >> 8) & 0xFF));
    z.append(raw, done, n);
    done += n;
  } while (done < raw.size());
  PutU32(&z, Adler32(Bytes(raw), raw.size()));

  std::string header;
  PutU32(&header, static_cast<uint32_t>(width));
  PutU32(&header, static_cast<uint32_t>(height));
  header += std::string("\x08\x02\x00\x00\x00", 5);  // 8 bits, RGB, deflate, standard filters, no interlace

  std::string png(reinterpret_cast<const char*>(kSignature), sizeof kSignature);
  PutChunk(&png, "IHDR", header);
  PutChunk(&png, "IDAT", z);
  PutChunk(&png, "IEND", "");
  return png;
}

bool DecodeStoredPng(const std::string& png, int* width, int* height, std::vector<uint8_t>* rgb,
                     std::string* error) {
  const std::string& bytes = png;
  if (bytes.size() < sizeof kSignature || bytes.compare(0, sizeof kSignature,
                                                        reinterpret_cast<const char*>(kSignature),
                                                        sizeof kSignature) != 0)
    return Fail(error, "not a PNG file");
  uint32_t w = 0, h = 0;
  int channels = 0;
  std::string z;
  bool sawHeader = false, sawEnd = false;
  std::size_t at = sizeof kSignature;
  while (!sawEnd) {
    if (bytes.size() - at < 12) return Fail(error, "the file is cut short");
    const uint32_t length = GetU32(bytes, at);
    if (length > bytes.size() - at - 12) return Fail(error, "a chunk is cut short");
    const std::string type = bytes.substr(at + 4, 4);
    if (Crc32(Bytes(bytes, at + 4), length + 4) != GetU32(bytes, at + 8 + length))
      return Fail(error, "chunk " + type + " has a wrong CRC");
    const std::string data = bytes.substr(at + 8, length);
    at += 12 + length;
    if (type == "IHDR") {
      if (length != 13) return Fail(error, "a malformed IHDR chunk");
      w = GetU32(data, 0);
      h = GetU32(data, 4);
      const int depth = static_cast<unsigned char>(data[8]), colour = static_cast<unsigned char>(data[9]);
      if (depth != 8 || (colour != 2 && colour != 6))
        return Fail(error, "only 8-bit RGB and RGBA images are read");
      if (data[10] != 0 || data[11] != 0 || data[12] != 0)
        return Fail(error, "interlaced or non-standard images are not read");
      if (w == 0 || h == 0 || w > 16384 || h > 16384) return Fail(error, "an implausible image size");
      channels = colour == 2 ? 3 : 4;
      sawHeader = true;
    } else if (type == "IDAT") {
      if (!sawHeader) return Fail(error, "image data before the header");
      z += data;
    } else if (type == "IEND") {
      sawEnd = true;
    } else if (!(type[0] & 0x20)) {
      return Fail(error, "an unknown critical chunk " + type);
    }
  }
  if (!sawHeader) return Fail(error, "no IHDR chunk");

  // The zlib stream: stored blocks only.
  if (z.size() < 6) return Fail(error, "the image data is cut short");
  const unsigned cmf = static_cast<unsigned char>(z[0]), flg = static_cast<unsigned char>(z[1]);
  if ((cmf & 0x0F) != 8 || (cmf << 8 | flg) % 31 != 0 || (flg & 0x20) != 0)
    return Fail(error, "the image data is not a zlib stream");
  std::string raw;
  std::size_t p = 2;
  for (bool last = false; !last;) {
    if (p >= z.size()) return Fail(error, "the image data is cut short");
    const unsigned head = static_cast<unsigned char>(z[p]);
    last = (head & 1) != 0;
    if ((head >> 1 & 3) != 0) return Fail(error, "compressed image data is not read (only stored blocks)");
    if (z.size() - p < 5) return Fail(error, "the image data is cut short");
    const std::size_t n = static_cast<unsigned char>(z[p + 1]) | static_cast<unsigned char>(z[p + 2]) << 8;
    const std::size_t nn = static_cast<unsigned char>(z[p + 3]) | static_cast<unsigned char>(z[p + 4]) << 8;
    if ((n ^ 0xFFFF) != nn) return Fail(error, "a damaged stored block");
    p += 5;
    if (z.size() - p < n) return Fail(error, "the image data is cut short");
    raw.append(z, p, n);
    p += n;
  }
  if (z.size() - p < 4 || GetU32(z, p) != Adler32(Bytes(raw), raw.size()))
    return Fail(error, "the image data has a wrong Adler-32 sum");

  const std::size_t stride = static_cast<std::size_t>(w) * channels;
  if (raw.size() != (stride + 1) * h) return Fail(error, "the image data has the wrong size");
  std::vector<uint8_t> prev(stride, 0), cur(stride);
  rgb->assign(static_cast<std::size_t>(w) * h * 3, 0);
  for (uint32_t y = 0; y < h; ++y) {
    const std::size_t row = y * (stride + 1);
    const int filter = static_cast<unsigned char>(raw[row]);
    for (std::size_t i = 0; i < stride; ++i) {
      const int x = static_cast<unsigned char>(raw[row + 1 + i]);
      const int a = i >= static_cast<std::size_t>(channels) ? cur[i - channels] : 0;
      const int b = prev[i];
      const int c = i >= static_cast<std::size_t>(channels) ? prev[i - channels] : 0;
      int v = 0;
      switch (filter) {
        case 0: v = x; break;
        case 1: v = x + a; break;
        case 2: v = x + b; break;
        case 3: v = x + (a + b) / 2; break;
        case 4: v = x + Paeth(a, b, c); break;
        default: return Fail(error, "an unknown row filter");
      }
      cur[i] = static_cast<uint8_t>(v & 0xFF);
    }
    for (uint32_t px = 0; px < w; ++px)
      for (int k = 0; k < 3; ++k)
        (*rgb)[(static_cast<std::size_t>(y) * w + px) * 3 + k] = cur[px * channels + k];
    prev.swap(cur);
  }
  *width = static_cast<int>(w);
  *height = static_cast<int>(h);
  return true;
}

}  // namespace host
