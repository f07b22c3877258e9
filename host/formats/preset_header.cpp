#include "preset_header.h"

#include <cstdint>

#include "safe_writer.h"

namespace host {

bool ReadPresetHeader(const std::string& path, std::vector<std::string>* lines, std::string* error) {
  std::string bytes;
  if (!ReadWholeFile(path, &bytes, error)) return false;
  // Each text is a big-endian byte count, then its bytes with a closing zero.
  lines->clear();
  size_t at = 0;
  for (int k = 0; k < 3 && bytes.size() - at >= 4; ++k) {
    const auto byte = [&](size_t i) { return uint32_t{static_cast<unsigned char>(bytes[at + i])}; };
    const uint32_t n = (byte(0) << 24) | (byte(1) << 16) | (byte(2) << 8) | byte(3);
    at += 4;
    if (n == 0 || n > 4096 || n > bytes.size() - at) break;  // header lines are short texts
    lines->push_back(bytes.substr(at, n - 1));                // without the closing zero byte
    at += n;
  }
  if (lines->size() != 3) {
    *error = path + " is not a preset file: it does not start with three header lines";
    return false;
  }
  return true;
}

}  // namespace host
