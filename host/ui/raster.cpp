// Rasters: the RGB pixels a user area draws into, and a raster as a PNG file.
#include "gui.h"

#include <algorithm>
#include <cstring>

#include "png_codec.h"
#include "safe_writer.h"

namespace host {

void Raster::Reset(int w, int h, Rgb fill) {
  width = std::max(w, 0);
  height = std::max(h, 0);
  rgb.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3, 0);
  for (std::size_t i = 0; i < rgb.size(); i += 3) std::copy(fill.begin(), fill.end(), rgb.begin() + i);
}

Rgb Raster::At(int x, int y) const {
  const std::size_t i = (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + x) * 3;
  return {rgb[i], rgb[i + 1], rgb[i + 2]};
}

namespace {

// Copies `n` bytes in pieces of 16 (8 below 16), the last piece overlapping
// the one before, so a short row takes a few wide stores and no call.
inline void CopyRow(uint8_t* dst, const uint8_t* src, std::size_t n) {
  if (n >= 16) {
    std::size_t i = 0;
    for (; i + 16 <= n; i += 16) std::memcpy(dst + i, src + i, 16);
    if (i < n) std::memcpy(dst + n - 16, src + n - 16, 16);
  } else if (n >= 8) {
    std::memcpy(dst, src, 8);
    std::memcpy(dst + n - 8, src + n - 8, 8);
  } else {
    for (std::size_t i = 0; i < n; ++i) dst[i] = src[i];
  }
}

}  // namespace

void Raster::Fill(int x1, int y1, int x2, int y2, Rgb color) {
  if (x1 > x2) std::swap(x1, x2);
  if (y1 > y2) std::swap(y1, y2);
  x1 = std::max(x1, 0);
  y1 = std::max(y1, 0);
  x2 = std::min(x2, width - 1);
  y2 = std::min(y2, height - 1);
  if (x1 > x2 || y1 > y2) return;
  const std::size_t stride = static_cast<std::size_t>(width) * 3;
  const std::size_t rowBytes = static_cast<std::size_t>(x2 - x1 + 1) * 3;
  uint8_t* first = rgb.data() + static_cast<std::size_t>(y1) * stride + static_cast<std::size_t>(x1) * 3;
  if (!patternMade || patternColor != color) {
    for (std::size_t i = 0; i < pattern.size(); i += 3) {
      pattern[i] = color[0];
      pattern[i + 1] = color[1];
      pattern[i + 2] = color[2];
    }
    patternColor = color;
    patternMade = true;
  }
  const uint8_t* source = pattern.data();
  if (rowBytes > pattern.size()) {
    // A wide rectangle: the first row pixel by pixel, the others copied from it.
    for (std::size_t i = 0; i < rowBytes; i += 3) {
      first[i] = color[0];
      first[i + 1] = color[1];
      first[i + 2] = color[2];
    }
    source = first;
    if (y1 == y2) return;
    ++y1;
  }
  const std::size_t rows = static_cast<std::size_t>(y2 - y1 + 1);
  uint8_t* row = rgb.data() + static_cast<std::size_t>(y1) * stride + static_cast<std::size_t>(x1) * 3;
  for (std::size_t k = 0; k < rows; ++k) CopyRow(row + k * stride, source, rowBytes);
}

bool WritePng(const Raster& raster, const std::string& path, std::string* error) {
  std::string bytes;
  return EncodePng(raster.width, raster.height, raster.rgb, &bytes, error) && SaveFile(path, bytes, error);
}

bool ReadPng(const std::string& path, Raster* raster, std::string* error) {
  std::string bytes, reason;
  if (!ReadWholeFile(path, &bytes, error)) return false;
  if (DecodePng(bytes, &raster->width, &raster->height, &raster->rgb, &reason)) return true;
  *error = path + ": " + reason;
  return false;
}

}  // namespace host
