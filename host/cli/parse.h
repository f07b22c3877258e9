// Reading the words of a command line or a script: whole numbers, numbers,
// booleans and host releases, each refusing text that is not wholly one;
// names compared without regard to case, and the name a mistyped word was
// most likely meant to be.
#ifndef HOST_PARSE_H
#define HOST_PARSE_H

#include <cstdint>
#include <string>
#include <vector>

namespace host {

// Parses a whole number in [lo, hi] written in decimal with nothing around it.
bool ParseWholeNumber(const std::string& text, long long lo, long long hi, long long* out);
// `text` without the spaces and tabs around it.
std::string Trimmed(const std::string& text);
// Parses a number (blanks around it allowed); false for text that is not
// wholly a number or lies beyond the range of a double.
bool ParseNumber(const std::string& text, double* out);
// Parses a boolean: "true" or "1", "false" or "0".
bool ParseBool(const std::string& text, int32_t* out);
// Parses a host release: "16" or "12".
bool ParseRelease(const std::string& text, int* release);

// Whether two names are the same but for the case of ASCII letters.
bool SameName(const std::string& a, const std::string& b);
// The candidate a mistyped word most likely meant (case ignored; one typo in
// four characters, at most three, and fewer than the word's letters); empty
// when none is that near.
std::string NearestName(const std::string& word, const std::vector<std::string>& candidates);
// ": did you mean 'NAME'?" for the nearest candidate, or empty.
std::string DidYouMean(const std::string& word, const std::vector<std::string>& candidates);
// `text` cut after `most` bytes (never inside a UTF-8 sequence), with how
// much was left out: for messages that quote what a file held.
std::string Abridged(const std::string& text, std::size_t most);
// A word quoted for an error message: 'word'.
inline std::string Quoted(const std::string& text) { return "'" + text + "'"; }

}  // namespace host

#endif
