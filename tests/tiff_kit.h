// Writes small uncompressed TIFF files byte by byte, so tests can make
// images without libtiff (which Windows builds do not have).
#ifndef TESTS_TIFF_KIT_H
#define TESTS_TIFF_KIT_H

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace testkit {

struct TiffSpec {
  uint32_t width = 1;
  uint32_t height = 1;
  uint16_t samples = 4;       // 3 (RGB) or 4 (RGBA)
  int extraSample = 2;        // ExtraSamples value for RGBA: 1 associated, 2 unassociated; -1 leaves the tag out
  bool bigEndian = false;     // "MM" instead of "II"
  uint32_t rowsPerStrip = 0;  // 0: one strip for the whole image
  uint16_t compression = 1;   // the value written into the Compression tag
  std::vector<uint8_t> pixels;  // width * height * samples bytes, rows from the top
};

// The bytes of a TIFF file as `spec` describes it.
inline std::string MakeTiff(const TiffSpec& spec) {
  std::string out;
  auto u16 = [&](uint32_t v) {
    if (spec.bigEndian) {
      out += static_cast<char>(v >> 8 & 0xFF);
      out += static_cast<char>(v & 0xFF);
    } else {
      out += static_cast<char>(v & 0xFF);
      out += static_cast<char>(v >> 8 & 0xFF);
    }
  };
  auto u32 = [&](uint32_t v) {
    if (spec.bigEndian) {
      u16(v >> 16);
      u16(v & 0xFFFF);
    } else {
      u16(v & 0xFFFF);
      u16(v >> 16);
    }
  };
  const uint32_t perStrip = spec.rowsPerStrip == 0 ? spec.height : spec.rowsPerStrip;
  const uint32_t strips = (spec.height + perStrip - 1) / perStrip;
  const uint32_t rowBytes = spec.width * spec.samples;

  struct Entry {
    uint16_t tag, type;
    std::vector<uint32_t> values;
  };
  std::vector<Entry> entries = {
      {256, 4, {spec.width}},
      {257, 4, {spec.height}},
      {258, 3, std::vector<uint32_t>(spec.samples, 8)},
      {259, 3, {spec.compression}},
      {262, 3, {2}},
      {273, 4, std::vector<uint32_t>(strips, 0)},  // filled in below
      {277, 3, {spec.samples}},
      {278, 4, {perStrip}},
      {279, 4, {}},
      {284, 3, {1}},
  };
  for (uint32_t s = 0; s < strips; ++s) {
    const uint32_t rows = std::min(perStrip, spec.height - s * perStrip);
    entries[8].values.push_back(rows * rowBytes);
  }
  if (spec.samples == 4 && spec.extraSample >= 0)
    entries.push_back({338, 3, {static_cast<uint32_t>(spec.extraSample)}});

  // Layout: header, directory, out-of-line values, pixel data.
  const uint32_t dirSize = 2 + 12 * static_cast<uint32_t>(entries.size()) + 4;
  uint32_t extraAt = 8 + dirSize;
  std::vector<uint32_t> valueAt(entries.size(), 0);
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const uint32_t bytes = static_cast<uint32_t>(entries[i].values.size()) * (entries[i].type == 3 ? 2 : 4);
    if (bytes > 4) {
      valueAt[i] = extraAt;
      extraAt += bytes;
    }
  }
  for (uint32_t s = 0; s < strips; ++s) entries[5].values[s] = extraAt + s * perStrip * rowBytes;

  out += spec.bigEndian ? "MM" : "II";
  u16(42);
  u32(8);
  u16(static_cast<uint32_t>(entries.size()));
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const Entry& e = entries[i];
    u16(e.tag);
    u16(e.type);
    u32(static_cast<uint32_t>(e.values.size()));
    if (valueAt[i] != 0) {
      u32(valueAt[i]);
    } else {
      const std::size_t start = out.size();
      for (uint32_t v : e.values) e.type == 3 ? u16(v) : u32(v);
      while (out.size() < start + 4) out += '\0';
    }
  }
  u32(0);  // no further directory
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (valueAt[i] == 0) continue;
    for (uint32_t v : entries[i].values) entries[i].type == 3 ? u16(v) : u32(v);
  }
  out.append(reinterpret_cast<const char*>(spec.pixels.data()), spec.pixels.size());
  return out;
}

}  // namespace testkit

#endif
