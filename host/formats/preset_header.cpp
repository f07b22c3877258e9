#include "preset_header.h"

#include <cstdint>

#include "safe_writer.h"

namespace host {

namespace {

// The first `count` texts of a preset file's bytes: each a big-endian byte
// count, then its bytes with a closing zero.
std::vector<std::string> LeadingTexts(const std::string& bytes, int count) {
  std::vector<std::string> texts;
  size_t at = 0;
  for (int k = 0; k < count && bytes.size() - at >= 4; ++k) {
    const auto byte = [&](size_t i) { return uint32_t{static_cast<unsigned char>(bytes[at + i])}; };
    const uint32_t n = (byte(0) << 24) | (byte(1) << 16) | (byte(2) << 8) | byte(3);
    at += 4;
    if (n == 0 || n > 4096 || n > bytes.size() - at) break;  // header lines are short texts
    texts.push_back(bytes.substr(at, n - 1));  // without the closing zero byte
    at += n;
  }
  return texts;
}

}  // namespace

bool ReadPresetHeader(const std::string& path, std::vector<std::string>* lines, std::string* error) {
  std::string bytes;
  if (!ReadWholeFile(path, &bytes, error)) return false;
  *lines = LeadingTexts(bytes, 3);
  if (lines->size() != 3) {
    *error = path + " is not a preset file: it does not start with three header lines";
    return false;
  }
  return true;
}

bool ReadPresetName(const std::string& path, std::string* name) {
  std::string bytes, error;
  if (!ReadWholeFile(path, &bytes, &error)) return false;
  const std::vector<std::string> texts = LeadingTexts(bytes, 4);
  if (texts.size() != 4) return false;
  *name = texts[3];  // the bytes as written; names are compared by their ASCII letters
  return true;
}

}  // namespace host
