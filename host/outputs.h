// Writing a contour out: SVG pictures and CSV lists (saved with safe_writer.h).
#ifndef HOST_OUTPUTS_H
#define HOST_OUTPUTS_H

#include <string>

#include "session.h"

namespace host {

// The outline of a contour (as made by Session::ContourJson) as an SVG
// picture with y up, fitted to the outline with a margin. The picture is
// drawn in the plane the outline lies in. False when a coordinate is not
// finite.
bool OutlineSvg(const Json& contour, std::string* svg, std::string* error);
// A header line "x,y,z", then one "x,y,z" line a point.
std::string OutlineCsv(const Json& contour);

}  // namespace host

#endif
