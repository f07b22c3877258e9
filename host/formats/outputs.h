// Writing out what the host holds: numbers and JSON as text, a contour as
// SVG pictures and CSV lists (saved with safe_writer.h).
#ifndef HOST_OUTPUTS_H
#define HOST_OUTPUTS_H

#include <string>

#include <nlohmann/json.hpp>

namespace host {

using Json = nlohmann::ordered_json;

// A double written so it reads back to the same value ("400.0", "-0.0").
std::string FormatDouble(double value);
// A JSON document as one line of text. Texts the host holds need not be
// valid UTF-8 (a name typed as raw bytes, a preset read as UTF-8 that is
// not): each malformed byte is written as U+FFFD instead of failing.
std::string JsonText(const Json& json);

// The outline of a contour (as made by Session::ContourJson) as an SVG
// picture with y up, fitted to the outline with a margin. The picture is
// drawn in the plane the outline lies in. False when a coordinate is not
// finite.
bool OutlineSvg(const Json& contour, std::string* svg, std::string* error);
// A header line "x,y,z", then one "x,y,z" line a point.
std::string OutlineCsv(const Json& contour);

}  // namespace host

#endif
