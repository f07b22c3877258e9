#include "outline_svg.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <iterator>
#include <cstdio>
#include <sstream>

#include "outputs.h"

namespace host {

namespace {

const char* const kPlaneNames[] = {"XY", "ZY", "XZ"};
// The horizontal and vertical axis of each plane.
const int kH[] = {0, 2, 0};
const int kV[] = {1, 1, 2};

std::string XmlText(const std::string& text) {
  std::string out;
  for (char ch : text) {
    if (ch == '&') out += "&amp;";
    else if (ch == '<') out += "&lt;";
    else if (ch == '>') out += "&gt;";
    else if (ch == '"') out += "&quot;";
    else out += ch;
  }
  return out;
}

// A length near a quarter of `extent` that reads well: 1, 2 or 5 times a
// power of ten.
double ScaleLength(double extent) {
  const double target = extent / 4.0;
  const double power = std::pow(10.0, std::floor(std::log10(target)));
  for (double f : {5.0, 2.0, 1.0})
    if (f * power <= target) return f * power;
  return power;
}

// A coordinate of the guides: short, as they need no exactness.
std::string G(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.6g", v);
  return text;
}

struct Box {
  double minH, maxH, minV, maxV;
};

Box BoxOf(const std::vector<std::array<double, 2>>& pts) {
  Box b{pts[0][0], pts[0][0], pts[0][1], pts[0][1]};
  for (const auto& p : pts) {
    b.minH = std::min(b.minH, p[0]);
    b.maxH = std::max(b.maxH, p[0]);
    b.minV = std::min(b.minV, p[1]);
    b.maxV = std::max(b.maxV, p[1]);
  }
  return b;
}

// The preview's axes, points, scale bar and title, in scene units seen at
// `scale` pixels a unit over the visible area [x0, x1] x [y0, y1] (SVG
// coordinates, y down).
std::string Guides(const std::vector<std::array<double, 2>>& pts, const SvgStyle& style, int plane,
                   double scale, double x0, double x1, double y0, double y1, double extent) {
  const double px = 1.0 / scale;  // one pixel in scene units
  const std::string hName(1, kPlaneNames[plane][0]), vName(1, kPlaneNames[plane][1]);
  const std::string font = " font-size=\"" + G(12 * px) + "\"";
  std::string g = "<g stroke=\"#9aa5b1\" stroke-width=\"1\" vector-effect=\"non-scaling-stroke\">\n";
  if (x0 <= 0 && 0 <= x1)
    g += "<line id=\"axis-v\" x1=\"0\" y1=\"" + G(y0) + "\" x2=\"0\" y2=\"" + G(y1) +
         "\" vector-effect=\"non-scaling-stroke\"/>\n";
  if (y0 <= 0 && 0 <= y1)
    g += "<line id=\"axis-h\" x1=\"" + G(x0) + "\" y1=\"0\" x2=\"" + G(x1) +
         "\" y2=\"0\" vector-effect=\"non-scaling-stroke\"/>\n";
  g += "</g>\n<g fill=\"#52606d\"" + font + ">\n";
  if (y0 <= 0 && 0 <= y1) g += "<text x=\"" + G(x1 - 26 * px) + "\" y=\"" + G(-4 * px) + "\">+" + hName + "</text>\n";
  if (x0 <= 0 && 0 <= x1) g += "<text x=\"" + G(4 * px) + "\" y=\"" + G(y0 + 36 * px) + "\">+" + vName + "</text>\n";
  g += "</g>\n";
  g += "<g id=\"points\" fill=\"" + style.stroke + "\">";
  for (const auto& p : pts) g += "<circle cx=\"" + G(p[0]) + "\" cy=\"" + G(-p[1]) + "\" r=\"" + G(1.6 * px) + "\"/>";
  g += "</g>\n";
  const double bar = ScaleLength(extent);
  const double bx = x0 + 12 * px, by = y1 - 12 * px;
  g += "<g id=\"scale\" stroke=\"#323f4b\" stroke-width=\"2\" vector-effect=\"non-scaling-stroke\">"
       "<line x1=\"" + G(bx) + "\" y1=\"" + G(by) + "\" x2=\"" + G(bx + bar) + "\" y2=\"" + G(by) +
       "\" vector-effect=\"non-scaling-stroke\"/><line x1=\"" + G(bx) + "\" y1=\"" + G(by - 4 * px) + "\" x2=\"" +
       G(bx) + "\" y2=\"" + G(by + 4 * px) + "\" vector-effect=\"non-scaling-stroke\"/><line x1=\"" + G(bx + bar) +
       "\" y1=\"" + G(by - 4 * px) + "\" x2=\"" + G(bx + bar) + "\" y2=\"" + G(by + 4 * px) +
       "\" vector-effect=\"non-scaling-stroke\"/></g>\n";
  g += "<text x=\"" + G(bx + bar + 6 * px) + "\" y=\"" + G(by + 4 * px) + "\" fill=\"#323f4b\"" + font + ">" +
       FormatDouble(bar) + " units</text>\n";
  g += "<text id=\"preview-title\" x=\"" + G(x0 + 12 * px) + "\" y=\"" + G(y0 + 18 * px) + "\" fill=\"#323f4b\"" +
       font + ">" + XmlText(style.title) + (style.title.empty() ? "" : " \xC2\xB7 ") + "plane " +
       kPlaneNames[plane] + " \xC2\xB7 " + std::to_string(pts.size()) + " points</text>\n";
  return g;
}

}  // namespace

int PlaneOf(const Outline& outline) {
  const auto zero = [&](int k) {
    return std::all_of(outline.points.begin(), outline.points.end(), [&](const auto& p) { return p[k] == 0.0; });
  };
  if (zero(2)) return 0;
  if (zero(0)) return 1;
  if (zero(1)) return 2;
  return 0;
}

bool OutlineSvg(const Outline& outline, const SvgStyle& style, std::string* svg, std::string* error) {
  for (const auto& p : outline.points) {
    if (!std::isfinite(p[0]) || !std::isfinite(p[1]) || !std::isfinite(p[2])) {
      *error = "the outline has coordinates that are not finite numbers; nothing drawn";
      return false;
    }
  }
  if (outline.points.empty()) {
    *error = "the outline has no points";
    return false;
  }
  const int plane = style.plane >= 0 && style.plane <= 2 ? style.plane : PlaneOf(outline);
  std::vector<std::array<double, 2>> pts;
  for (const auto& p : outline.points) pts.push_back({p[kH[plane]], p[kV[plane]]});
  const Box b = BoxOf(pts);
  const double extent = std::max({b.maxH - b.minH, b.maxV - b.minV, 1.0});
  const double stroke = style.strokeWidth > 0 ? style.strokeWidth : extent / 250.0;
  // At least room for the half of the stroke that lies outside the outline,
  // so that a wide stroke is not cut off at the picture's edge.
  const double margin = std::max(style.marginLength >= 0 ? style.marginLength : extent * style.margin,
                                 style.stroke == "none" ? 0.0 : stroke / 2);
  // The view box: the outline's box and the margin, y pointing down.
  const double vx = b.minH - margin, vy = -b.maxV - margin;
  const double vw = b.maxH - b.minH + 2 * margin, vh = b.maxV - b.minV + 2 * margin;
  const int width = std::max(1, style.width);
  const int height = style.height > 0 ? style.height : static_cast<int>(std::lround(width * vh / vw));

  std::ostringstream out;
  out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\"";
  if (!style.id.empty()) out << " id=\"" << XmlText(style.id) << "\"";
  out << " viewBox=\"" << FormatDouble(vx) << " " << FormatDouble(vy) << " " << FormatDouble(vw) << " "
      << FormatDouble(vh) << "\" width=\"" << width << "\" height=\"" << height << "\"";
  if (style.guides) {
    out << " data-plane=\"" << kPlaneNames[plane] << "\" data-points=\"" << pts.size()
        << "\" font-family=\"sans-serif\"";
  }
  out << ">\n";
  // What is in view at the picture's size (its aspect may differ from the
  // box's: the box is centred).
  const double scale = std::min(width / vw, height / vh);
  const double cx = vx + vw / 2, cy = vy + vh / 2;
  const double x0 = cx - width / scale / 2, x1 = cx + width / scale / 2;
  const double y0 = cy - height / scale / 2, y1 = cy + height / scale / 2;
  if (!style.background.empty()) {
    out << "  <rect x=\"" << G(x0) << "\" y=\"" << G(y0) << "\" width=\"" << G(x1 - x0) << "\" height=\""
        << G(y1 - y0) << "\" fill=\"" << XmlText(style.background) << "\"/>\n";
  }
  if (style.guides) out << Guides(pts, style, plane, scale, x0, x1, y0, y1, extent);
  out << "  <path" << (style.guides ? " id=\"outline\"" : "") << " d=\"" << OutlinePathData(outline, plane);
  out << "\" fill=\"" << (outline.closed ? XmlText(style.fill) : "none") << "\" stroke=\"" << XmlText(style.stroke)
      << "\" stroke-width=\"" << FormatDouble(stroke) << "\" stroke-linejoin=\"round\"";
  if (style.guides) out << " vector-effect=\"non-scaling-stroke\"";
  out << "/>\n</svg>\n";
  *svg = out.str();
  return true;
}

std::string OutlinePathData(const Outline& outline, int plane) {
  std::ostringstream out;
  for (std::size_t i = 0; i < outline.points.size(); ++i) {
    const auto& p = outline.points[i];
    out << (i == 0 ? "M " : " L ") << FormatDouble(p[kH[plane]]) << " " << FormatDouble(-p[kV[plane]] + 0.0);
  }
  if (outline.closed) out << " Z";
  return out.str();
}

bool OutlineSvgInBox(const Outline& outline, const std::vector<Outline>& frames, const SvgStyle& style,
                     std::string* svg, std::string* error) {
  // Every frame's points drawn at once give the common box; the path then
  // gets this outline's data.
  Outline all;
  all.closed = outline.closed;
  all.points = outline.points;
  for (const Outline& f : frames) all.points.insert(all.points.end(), f.points.begin(), f.points.end());
  SvgStyle look = style;
  look.guides = false;
  if (look.plane < 0 || look.plane > 2) look.plane = PlaneOf(outline);
  std::string drawn;
  if (!OutlineSvg(all, look, &drawn, error)) return false;
  const std::size_t from = drawn.find(" d=\"");
  const std::size_t to = from == std::string::npos ? from : drawn.find('"', from + 4);
  if (to == std::string::npos) {
    *error = "the drawing has no path";
    return false;
  }
  drawn.replace(from + 4, to - from - 4, OutlinePathData(outline, look.plane));
  *svg = std::move(drawn);
  return true;
}

bool AnimatedOutlineSvg(const std::vector<Outline>& frames, double fps, const SvgStyle& style, std::string* svg,
                        std::string* error) {
  if (frames.empty()) {
    *error = "no frames to animate";
    return false;
  }
  if (!(fps > 0.0) || !std::isfinite(fps)) {
    *error = "frames per second must be a positive number";
    return false;
  }
  for (std::size_t i = 1; i < frames.size(); ++i) {
    if (frames[i].points.size() != frames[0].points.size() || frames[i].closed != frames[0].closed) {
      *error = "the outline has " + std::to_string(frames[i].points.size()) + " points at frame " +
               std::to_string(i) + " of the animation but " + std::to_string(frames[0].points.size()) +
               " at its first: one path morphs only between outlines of the same point count";
      return false;
    }
  }
  std::string drawn;
  if (!OutlineSvgInBox(frames[0], frames, style, &drawn, error)) return false;
  const int plane = style.plane >= 0 && style.plane <= 2 ? style.plane : PlaneOf(frames[0]);
  std::string values;
  for (const Outline& f : frames) values += (values.empty() ? "" : ";") + OutlinePathData(f, plane);
  // The values are spread evenly over the duration: the last one at its end.
  const double seconds = frames.size() > 1 ? static_cast<double>(frames.size() - 1) / fps : 1.0 / fps;
  const std::string animate = ">\n    <animate attributeName=\"d\" values=\"" + values + "\" dur=\"" +
                              FormatDouble(seconds) + "s\" repeatCount=\"indefinite\"/>\n  </path>\n</svg>\n";
  const std::size_t end = drawn.rfind("/>\n</svg>");
  if (end == std::string::npos) {
    *error = "the drawing has no path";
    return false;
  }
  drawn.replace(end, std::string::npos, animate);
  *svg = std::move(drawn);
  return true;
}

bool CheckSvgColour(const std::string& what, const std::string& text, bool noneToo, std::string* error) {
  // The colour keywords of CSS, which every SVG renderer knows.
  static const char* const kNames[] = {
    "aliceblue", "antiquewhite", "aqua", "aquamarine", "azure", "beige", "bisque", "black", "blanchedalmond",
    "blue", "blueviolet", "brown", "burlywood", "cadetblue", "chartreuse", "chocolate", "coral",
    "cornflowerblue", "cornsilk", "crimson", "cyan", "darkblue", "darkcyan", "darkgoldenrod", "darkgray",
    "darkgreen", "darkgrey", "darkkhaki", "darkmagenta", "darkolivegreen", "darkorange", "darkorchid",
    "darkred", "darksalmon", "darkseagreen", "darkslateblue", "darkslategray", "darkslategrey",
    "darkturquoise", "darkviolet", "deeppink", "deepskyblue", "dimgray", "dimgrey", "dodgerblue", "firebrick",
    "floralwhite", "forestgreen", "fuchsia", "gainsboro", "ghostwhite", "gold", "goldenrod", "gray", "green",
    "greenyellow", "grey", "honeydew", "hotpink", "indianred", "indigo", "ivory", "khaki", "lavender",
    "lavenderblush", "lawngreen", "lemonchiffon", "lightblue", "lightcoral", "lightcyan",
    "lightgoldenrodyellow", "lightgray", "lightgreen", "lightgrey", "lightpink", "lightsalmon",
    "lightseagreen", "lightskyblue", "lightslategray", "lightslategrey", "lightsteelblue", "lightyellow",
    "lime", "limegreen", "linen", "magenta", "maroon", "mediumaquamarine", "mediumblue", "mediumorchid",
    "mediumpurple", "mediumseagreen", "mediumslateblue", "mediumspringgreen", "mediumturquoise",
    "mediumvioletred", "midnightblue", "mintcream", "mistyrose", "moccasin", "navajowhite", "navy", "oldlace",
    "olive", "olivedrab", "orange", "orangered", "orchid", "palegoldenrod", "palegreen", "paleturquoise",
    "palevioletred", "papayawhip", "peachpuff", "peru", "pink", "plum", "powderblue", "purple",
    "rebeccapurple", "red", "rosybrown", "royalblue", "saddlebrown", "salmon", "sandybrown", "seagreen",
    "seashell", "sienna", "silver", "skyblue", "slateblue", "slategray", "slategrey", "snow", "springgreen",
    "steelblue", "tan", "teal", "thistle", "tomato", "turquoise", "violet", "wheat", "white", "whitesmoke",
    "yellow", "yellowgreen",
  };
  std::string lower;
  for (char ch : text) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  const std::size_t digits = lower.size() - 1;
  const bool hex = lower.size() > 1 && lower[0] == '#' && (digits == 3 || digits == 4 || digits == 6 || digits == 8) &&
                   std::all_of(lower.begin() + 1, lower.end(), [](char ch) { return std::isxdigit(static_cast<unsigned char>(ch)) != 0; });
  if (hex || (noneToo && lower == "none") ||
      std::any_of(std::begin(kNames), std::end(kNames), [&](const char* name) { return lower == name; }))
    return true;
  *error = what + " takes a colour: #rgb, #rrggbb, #rrggbbaa or a name such as steelblue" +
           (noneToo ? std::string(", or none") : std::string()) + "; not '" + text + "'";
  return false;
}

std::string NoteSvg(const std::string& note, int width, int height, const std::string& id) {
  return "<svg xmlns=\"http://www.w3.org/2000/svg\"" + (id.empty() ? std::string() : " id=\"" + XmlText(id) + "\"") +
         " width=\"" + std::to_string(width) + "\" height=\"" + std::to_string(height) + "\" viewBox=\"0 0 " +
         std::to_string(width) + " " + std::to_string(height) +
         "\" data-points=\"0\" font-family=\"sans-serif\" font-size=\"12\">\n<rect width=\"100%\" height=\"100%\" "
         "fill=\"#fbfbfd\"/>\n<text x=\"" + std::to_string(width / 2) + "\" y=\"" + std::to_string(height / 2) +
         "\" text-anchor=\"middle\" fill=\"#666\">" + XmlText(note) + "</text>\n</svg>\n";
}

std::string OutlineCsv(const Outline& outline) {
  std::string text = "x,y,z\n";
  for (const auto& p : outline.points)
    text += FormatDouble(p[0]) + "," + FormatDouble(p[1]) + "," + FormatDouble(p[2]) + "\n";
  return text;
}

}  // namespace host
