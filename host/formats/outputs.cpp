#include "outputs.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>
#include <vector>

namespace host {

std::string FormatDouble(double value) {
  if (std::isnan(value)) return "nan";
  if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
  // The JSON writer prints the shortest text that reads back to the same
  // double, with ".0" on whole numbers and "-0.0" for negative zero.
  return Json(value).dump();
}

std::string JsonText(const Json& json) {
  return json.dump(-1, ' ', false, Json::error_handler_t::replace);
}


Json DoubleJson(double value) {
  if (std::isfinite(value)) return Json(value);
  return Json(FormatDouble(value));
}

Json VectorJson(const ha_vector& v) { return Json::array({DoubleJson(v.x), DoubleJson(v.y), DoubleJson(v.z)}); }

}  // namespace host
