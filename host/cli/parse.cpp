#include "parse.h"

#include <cerrno>
#include <cstdlib>

namespace host {

bool ParseWholeNumber(const std::string& text, long long lo, long long hi, long long* out) {
  if (text.empty() || text[0] == ' ' || text[0] == '\t') return false;
  errno = 0;
  char* end = nullptr;
  const long long v = std::strtoll(text.c_str(), &end, 10);
  if (errno != 0 || end == nullptr || *end != '\0' || v < lo || v > hi) return false;
  *out = v;
  return true;
}

bool ParseNumber(std::string text, double* out) {
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!text.empty() && blank(text.front())) text.erase(text.begin());
  while (!text.empty() && blank(text.back())) text.pop_back();
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  if (errno == ERANGE || end == nullptr || *end != '\0') return false;
  *out = v;
  return true;
}

bool ParseBool(const std::string& text, int32_t* out) {
  if (text == "true" || text == "1") *out = 1;
  else if (text == "false" || text == "0") *out = 0;
  else return false;
  return true;
}

bool ParseRelease(const std::string& text, int* release) {
  if (text != "16" && text != "12") return false;
  *release = text == "16" ? 16 : 12;
  return true;
}

}  // namespace host
