// Writing out what the host holds: numbers and JSON as text (outlines are
// drawn by outline_svg.h; files are saved with safe_writer.h).
#ifndef HOST_OUTPUTS_H
#define HOST_OUTPUTS_H

#include <string>

#include <nlohmann/json.hpp>

#include "ha_types.h"

namespace host {

using Json = nlohmann::ordered_json;

// A double written so it reads back to the same value ("400.0", "-0.0").
std::string FormatDouble(double value);
// A JSON document as one line of text. Texts the host holds need not be
// valid UTF-8 (a name typed as raw bytes, a preset read as UTF-8 that is
// not): each malformed byte is written as U+FFFD instead of failing.
std::string JsonText(const Json& json);
// A double as JSON: a number, or the string "nan", "inf" or "-inf".
Json DoubleJson(double value);
// A vector as JSON: [x, y, z], each as DoubleJson writes it.
Json VectorJson(const ha_vector& v);

}  // namespace host

#endif
