// Reading the words of a command line or a script: whole numbers, numbers,
// booleans and host releases, each refusing text that is not wholly one.
#ifndef HOST_PARSE_H
#define HOST_PARSE_H

#include <cstdint>
#include <string>

namespace host {

// Parses a whole number in [lo, hi] written in decimal with nothing around it.
bool ParseWholeNumber(const std::string& text, long long lo, long long hi, long long* out);
// Parses a number (blanks around it allowed); false for text that is not
// wholly a number or lies beyond the range of a double.
bool ParseNumber(std::string text, double* out);
// Parses a boolean: "true" or "1", "false" or "0".
bool ParseBool(const std::string& text, int32_t* out);
// Parses a host release: "16" or "12".
bool ParseRelease(const std::string& text, int* release);

}  // namespace host

#endif
