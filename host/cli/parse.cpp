#include "parse.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <algorithm>

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

std::string Trimmed(const std::string& text) {
  const std::size_t from = text.find_first_not_of(" \t");
  if (from == std::string::npos) return "";
  return text.substr(from, text.find_last_not_of(" \t") - from + 1);
}

bool ParseNumber(const std::string& typed, double* out) {
  const std::string text = Trimmed(typed);
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  if (end == nullptr || *end != '\0') return false;
  // Out of range beyond the largest double is no number; below the
  // smallest normal one (1e-310) it is the nearest value there is.
  if (errno == ERANGE && std::isinf(v)) return false;
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

namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Edits that turn one word into the other (insert, delete, replace, swap of
// two neighbours), case ignored.
std::size_t Distance(const std::string& a, const std::string& b) {
  std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1, 0));
  for (std::size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
  for (std::size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t cost = Lower(a[i - 1]) == Lower(b[j - 1]) ? 0 : 1;
      d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
      if (i > 1 && j > 1 && Lower(a[i - 1]) == Lower(b[j - 2]) && Lower(a[i - 2]) == Lower(b[j - 1]))
        d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
    }
  }
  return d[a.size()][b.size()];
}

}  // namespace

bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return true;
}

std::string NearestName(const std::string& word, const std::vector<std::string>& candidates) {
  const std::size_t allowed = std::min<std::size_t>(3, std::max<std::size_t>(1, word.size() / 4));
  std::string best;
  std::size_t bestDistance = allowed + 1;
  for (const std::string& candidate : candidates) {
    // Words that differ in length by more than the edits allowed are not
    // near (and a long word is not measured against every name).
    const std::size_t longer = std::max(word.size(), candidate.size());
    if (longer - std::min(word.size(), candidate.size()) > allowed) continue;
    const std::size_t d = Distance(word, candidate);
    // Every letter replaced is another word, not a typo ("B" for "A").
    if (d < bestDistance && d < word.size() && d < candidate.size()) {
      best = candidate;
      bestDistance = d;
    }
  }
  return best;
}

std::string DidYouMean(const std::string& word, const std::vector<std::string>& candidates) {
  const std::string nearest = NearestName(word, candidates);
  return nearest.empty() ? "" : ": did you mean '" + nearest + "'?";
}

std::string Abridged(const std::string& text, std::size_t most) {
  if (text.size() <= most) return text;
  std::size_t cut = most;
  // not inside a UTF-8 sequence
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  return text.substr(0, cut) + "... (" + std::to_string(text.size() - cut) + " more bytes)";
}

}  // namespace host
