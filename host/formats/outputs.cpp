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


namespace {

std::string Coordinate(const Json& c) {
  return c.is_string() ? c.get<std::string>() : FormatDouble(c.get<double>());
}

}  // namespace

bool OutlineSvg(const Json& contour, std::string* svg, std::string* error) {
  struct P {
    double x, y, z;
  };
  std::vector<P> pts;
  for (const Json& p : contour.at("points")) {
    if (!p[0].is_number() || !p[1].is_number() || !p[2].is_number()) {
      *error = "the outline has coordinates that are not finite numbers; nothing drawn";
      return false;
    }
    pts.push_back({p[0].get<double>(), p[1].get<double>(), p[2].get<double>()});
  }
  if (pts.empty()) {
    *error = "the outline has no points";
    return false;
  }
  // Draw in the plane the outline lies in: the axis along which every point
  // is zero is the one seen end-on.
  const auto allZero = [&](double P::*axis) {
    return std::all_of(pts.begin(), pts.end(), [&](const P& p) { return p.*axis == 0.0; });
  };
  double P::*h = &P::x;
  double P::*v = &P::y;
  if (!allZero(&P::z)) {
    if (allZero(&P::x)) h = &P::z;
    else if (allZero(&P::y)) v = &P::z;
  }
  double minX = pts[0].*h, maxX = minX, minY = pts[0].*v, maxY = minY;
  for (const P& p : pts) {
    minX = std::min(minX, p.*h);
    maxX = std::max(maxX, p.*h);
    minY = std::min(minY, p.*v);
    maxY = std::max(maxY, p.*v);
  }
  const double extent = std::max({maxX - minX, maxY - minY, 1.0});
  const double margin = extent * 0.05;
  const double stroke = extent / 250.0;
  std::ostringstream out;
  out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      << "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"" << FormatDouble(minX - margin)
      << " " << FormatDouble(-maxY - margin) << " " << FormatDouble(maxX - minX + 2 * margin)
      << " " << FormatDouble(maxY - minY + 2 * margin) << "\" width=\"800\" height=\""
      << static_cast<int>(std::lround(800.0 * (maxY - minY + 2 * margin) /
                                      (maxX - minX + 2 * margin)))
      << "\">\n"
      << "  <path d=\"";
  for (std::size_t i = 0; i < pts.size(); ++i) {
    out << (i == 0 ? "M " : " L ") << FormatDouble(pts[i].*h) << " "
        << FormatDouble(-(pts[i].*v) + 0.0);
  }
  out << " Z\" fill=\"#cfe3f7\" stroke=\"#1d4f80\" stroke-width=\"" << FormatDouble(stroke)
      << "\" stroke-linejoin=\"round\"/>\n</svg>\n";
  *svg = out.str();
  return true;
}

std::string OutlineCsv(const Json& contour) {
  std::string text = "x,y,z\n";
  for (const Json& p : contour.at("points"))
    text += Coordinate(p[0]) + "," + Coordinate(p[1]) + "," + Coordinate(p[2]) + "\n";
  return text;
}

}  // namespace host
