// The header of a preset file as the host's program shows it: the three
// texts a preset file starts with (its version in the second).
#ifndef HOST_PRESET_HEADER_H
#define HOST_PRESET_HEADER_H

#include <string>
#include <vector>

namespace host {

// The three header lines of a preset file; false with the reason when the
// file cannot be read or does not start with three texts.
bool ReadPresetHeader(const std::string& path, std::vector<std::string>* lines, std::string* error);
// The preset's own name (ARROW_PRESET_NAME, the first value after the
// header, in the bytes the module wrote); false when the file cannot be
// read or has no such text.
bool ReadPresetName(const std::string& path, std::string* name);

}  // namespace host

#endif
