#include "outline_svg.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <iterator>
#include <cstdint>
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

// The colour keywords of CSS, which every SVG renderer knows, with their
// values.
struct NamedColour {
  const char* name;
  uint32_t rgb;
};
const NamedColour kNamedColours[] = {
  {"aliceblue", 0xf0f8ff}, {"antiquewhite", 0xfaebd7}, {"aqua", 0x00ffff}, {"aquamarine", 0x7fffd4},
  {"azure", 0xf0ffff}, {"beige", 0xf5f5dc}, {"bisque", 0xffe4c4}, {"black", 0x000000},
  {"blanchedalmond", 0xffebcd}, {"blue", 0x0000ff}, {"blueviolet", 0x8a2be2}, {"brown", 0xa52a2a},
  {"burlywood", 0xdeb887}, {"cadetblue", 0x5f9ea0}, {"chartreuse", 0x7fff00}, {"chocolate", 0xd2691e},
  {"coral", 0xff7f50}, {"cornflowerblue", 0x6495ed}, {"cornsilk", 0xfff8dc}, {"crimson", 0xdc143c},
  {"cyan", 0x00ffff}, {"darkblue", 0x00008b}, {"darkcyan", 0x008b8b}, {"darkgoldenrod", 0xb8860b},
  {"darkgray", 0xa9a9a9}, {"darkgreen", 0x006400}, {"darkgrey", 0xa9a9a9}, {"darkkhaki", 0xbdb76b},
  {"darkmagenta", 0x8b008b}, {"darkolivegreen", 0x556b2f}, {"darkorange", 0xff8c00}, {"darkorchid", 0x9932cc},
  {"darkred", 0x8b0000}, {"darksalmon", 0xe9967a}, {"darkseagreen", 0x8fbc8f}, {"darkslateblue", 0x483d8b},
  {"darkslategray", 0x2f4f4f}, {"darkslategrey", 0x2f4f4f}, {"darkturquoise", 0x00ced1},
  {"darkviolet", 0x9400d3}, {"deeppink", 0xff1493}, {"deepskyblue", 0x00bfff}, {"dimgray", 0x696969},
  {"dimgrey", 0x696969}, {"dodgerblue", 0x1e90ff}, {"firebrick", 0xb22222}, {"floralwhite", 0xfffaf0},
  {"forestgreen", 0x228b22}, {"fuchsia", 0xff00ff}, {"gainsboro", 0xdcdcdc}, {"ghostwhite", 0xf8f8ff},
  {"gold", 0xffd700}, {"goldenrod", 0xdaa520}, {"gray", 0x808080}, {"green", 0x008000},
  {"greenyellow", 0xadff2f}, {"grey", 0x808080}, {"honeydew", 0xf0fff0}, {"hotpink", 0xff69b4},
  {"indianred", 0xcd5c5c}, {"indigo", 0x4b0082}, {"ivory", 0xfffff0}, {"khaki", 0xf0e68c},
  {"lavender", 0xe6e6fa}, {"lavenderblush", 0xfff0f5}, {"lawngreen", 0x7cfc00}, {"lemonchiffon", 0xfffacd},
  {"lightblue", 0xadd8e6}, {"lightcoral", 0xf08080}, {"lightcyan", 0xe0ffff},
  {"lightgoldenrodyellow", 0xfafad2}, {"lightgray", 0xd3d3d3}, {"lightgreen", 0x90ee90},
  {"lightgrey", 0xd3d3d3}, {"lightpink", 0xffb6c1}, {"lightsalmon", 0xffa07a}, {"lightseagreen", 0x20b2aa},
  {"lightskyblue", 0x87cefa}, {"lightslategray", 0x778899}, {"lightslategrey", 0x778899},
  {"lightsteelblue", 0xb0c4de}, {"lightyellow", 0xffffe0}, {"lime", 0x00ff00}, {"limegreen", 0x32cd32},
  {"linen", 0xfaf0e6}, {"magenta", 0xff00ff}, {"maroon", 0x800000}, {"mediumaquamarine", 0x66cdaa},
  {"mediumblue", 0x0000cd}, {"mediumorchid", 0xba55d3}, {"mediumpurple", 0x9370db},
  {"mediumseagreen", 0x3cb371}, {"mediumslateblue", 0x7b68ee}, {"mediumspringgreen", 0x00fa9a},
  {"mediumturquoise", 0x48d1cc}, {"mediumvioletred", 0xc71585}, {"midnightblue", 0x191970},
  {"mintcream", 0xf5fffa}, {"mistyrose", 0xffe4e1}, {"moccasin", 0xffe4b5}, {"navajowhite", 0xffdead},
  {"navy", 0x000080}, {"oldlace", 0xfdf5e6}, {"olive", 0x808000}, {"olivedrab", 0x6b8e23},
  {"orange", 0xffa500}, {"orangered", 0xff4500}, {"orchid", 0xda70d6}, {"palegoldenrod", 0xeee8aa},
  {"palegreen", 0x98fb98}, {"paleturquoise", 0xafeeee}, {"palevioletred", 0xdb7093}, {"papayawhip", 0xffefd5},
  {"peachpuff", 0xffdab9}, {"peru", 0xcd853f}, {"pink", 0xffc0cb}, {"plum", 0xdda0dd},
  {"powderblue", 0xb0e0e6}, {"purple", 0x800080}, {"rebeccapurple", 0x663399}, {"red", 0xff0000},
  {"rosybrown", 0xbc8f8f}, {"royalblue", 0x4169e1}, {"saddlebrown", 0x8b4513}, {"salmon", 0xfa8072},
  {"sandybrown", 0xf4a460}, {"seagreen", 0x2e8b57}, {"seashell", 0xfff5ee}, {"sienna", 0xa0522d},
  {"silver", 0xc0c0c0}, {"skyblue", 0x87ceeb}, {"slateblue", 0x6a5acd}, {"slategray", 0x708090},
  {"slategrey", 0x708090}, {"snow", 0xfffafa}, {"springgreen", 0x00ff7f}, {"steelblue", 0x4682b4},
  {"tan", 0xd2b48c}, {"teal", 0x008080}, {"thistle", 0xd8bfd8}, {"tomato", 0xff6347}, {"turquoise", 0x40e0d0},
  {"violet", 0xee82ee}, {"wheat", 0xf5deb3}, {"white", 0xffffff}, {"whitesmoke", 0xf5f5f5},
  {"yellow", 0xffff00}, {"yellowgreen", 0x9acd32},
};

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

namespace {

bool Drawable(const Outline& outline, std::string* error) {
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
  return true;
}

std::vector<std::array<double, 2>> InPlane(const Outline& outline, int plane) {
  std::vector<std::array<double, 2>> pts;
  pts.reserve(outline.points.size());
  for (const auto& p : outline.points) pts.push_back({p[kH[plane]], p[kV[plane]]});
  return pts;
}

// How the frames of an animation are drawn: in the first frame's plane
// (or the style's), in the box that holds them all, with no guides. False
// with the reason when there is none or one cannot be drawn.
struct FramesLook {
  int plane = 0;
  Box box{};
  SvgStyle style;
};

bool LookOfFrames(const std::vector<Outline>& frames, const SvgStyle& style, FramesLook* look, std::string* error) {
  if (frames.empty()) {
    *error = "no frames to draw";
    return false;
  }
  for (const Outline& f : frames)
    if (!Drawable(f, error)) return false;
  look->style = style;
  look->style.guides = false;
  look->plane = style.plane >= 0 && style.plane <= 2 ? style.plane : PlaneOf(frames[0]);
  Box& all = look->box;
  all = BoxOf(InPlane(frames[0], look->plane));
  for (const Outline& f : frames) {
    const Box b = BoxOf(InPlane(f, look->plane));
    all = {std::min(all.minH, b.minH), std::max(all.maxH, b.maxH), std::min(all.minV, b.minV),
           std::max(all.maxV, b.maxV)};
  }
  return true;
}

// The drawing of `outline` in `plane`, its picture framed on box `b` (the
// outline's own, or one that holds it: the frames of an animation share
// one); checked drawable already.
std::string Drawing(const Outline& outline, int plane, const Box& b, const SvgStyle& style) {
  const std::vector<std::array<double, 2>> pts = InPlane(outline, plane);
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
  return out.str();
}

}  // namespace

bool OutlineSvg(const Outline& outline, const SvgStyle& style, std::string* svg, std::string* error) {
  if (!Drawable(outline, error)) return false;
  const int plane = style.plane >= 0 && style.plane <= 2 ? style.plane : PlaneOf(outline);
  *svg = Drawing(outline, plane, BoxOf(InPlane(outline, plane)), style);
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

bool OutlineSvgFrames(const std::vector<Outline>& frames, const SvgStyle& style, std::vector<std::string>* svgs,
                      std::string* error) {
  FramesLook look;
  if (!LookOfFrames(frames, style, &look, error)) return false;
  svgs->clear();
  svgs->reserve(frames.size());
  for (const Outline& f : frames) svgs->push_back(Drawing(f, look.plane, look.box, look.style));
  return true;
}

bool AnimatedOutlineSvg(const std::vector<Outline>& frames, double fps, const SvgStyle& style, std::string* svg,
                        std::string* error, int32_t firstFrame) {
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
               std::to_string(firstFrame + static_cast<int64_t>(i)) + " but " +
               std::to_string(frames[0].points.size()) + " at frame " + std::to_string(firstFrame) +
               ", the animation's first: one path morphs only between outlines of the same point count";
      return false;
    }
  }
  // Drawn in the box of every frame; the path's data then animated.
  FramesLook look;
  if (!LookOfFrames(frames, style, &look, error)) return false;
  std::string drawn = Drawing(frames[0], look.plane, look.box, look.style);
  std::string values;
  for (const Outline& f : frames) values += (values.empty() ? "" : ";") + OutlinePathData(f, look.plane);
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
  std::string lower;
  for (char ch : text) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  const std::size_t digits = lower.size() - 1;
  const bool hex = lower.size() > 1 && lower[0] == '#' && (digits == 3 || digits == 4 || digits == 6 || digits == 8) &&
                   std::all_of(lower.begin() + 1, lower.end(), [](char ch) { return std::isxdigit(static_cast<unsigned char>(ch)) != 0; });
  if (hex || (noneToo && lower == "none") ||
      std::any_of(std::begin(kNamedColours), std::end(kNamedColours), [&](const NamedColour& c) { return lower == c.name; }))
    return true;
  *error = what + " takes a colour: #rgb, #rrggbb, #rrggbbaa or a name such as steelblue" +
           (noneToo ? std::string(", or none") : std::string()) + "; not '" + text + "'";
  return false;
}

bool SvgColourRgba(const std::string& text, double rgba[4]) {
  std::string lower;
  for (char ch : text) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  std::string error;
  if (!CheckSvgColour("", lower, false, &error)) return false;
  uint32_t value = 0, alpha = 255;
  if (lower[0] == '#') {
    std::string digits = lower.substr(1);
    if (digits.size() <= 4) {  // #rgb, #rgba: each digit doubled
      std::string wide;
      for (char d : digits) wide += std::string(2, d);
      digits = wide;
    }
    value = static_cast<uint32_t>(std::stoul(digits.substr(0, 6), nullptr, 16));
    if (digits.size() == 8) alpha = static_cast<uint32_t>(std::stoul(digits.substr(6), nullptr, 16));
  } else {
    for (const NamedColour& c : kNamedColours)
      if (lower == c.name) value = c.rgb;
  }
  rgba[0] = ((value >> 16) & 255) / 255.0;
  rgba[1] = ((value >> 8) & 255) / 255.0;
  rgba[2] = (value & 255) / 255.0;
  rgba[3] = alpha / 255.0;
  return true;
}

bool PlacedOutlinesSvg(const std::vector<Outline>& outlines, const std::vector<PlacedOutline>& copies,
                       const SvgStyle& style, std::string* svg, std::string* error) {
  if (copies.empty()) {
    *error = "there is nothing to draw";
    return false;
  }
  // Each outline seen in its own plane, as a drawing of it alone shows it:
  // an arrow made in the ZY or XZ plane is placed as one made in XY.
  std::vector<Outline> shapes = outlines;
  for (Outline& shape : shapes) {
    const int plane = PlaneOf(shape);
    for (auto& p : shape.points) p = {p[kH[plane]], p[kV[plane]], 0.0};
  }
  // Each outline once: its path, its box and its stroke width.
  std::vector<std::string> paths(shapes.size());
  std::vector<double> strokes(shapes.size());
  for (std::size_t k = 0; k < shapes.size(); ++k) {
    std::ostringstream d;
    double lo[2] = {0, 0}, hi[2] = {0, 0};
    for (std::size_t i = 0; i < shapes[k].points.size(); ++i) {
      const auto& p = shapes[k].points[i];
      if (!std::isfinite(p[0]) || !std::isfinite(p[1])) {
        *error = "an outline has coordinates that are not finite numbers; nothing drawn";
        return false;
      }
      d << (i == 0 ? "M " : " L ") << FormatDouble(p[0]) << " " << FormatDouble(-p[1] + 0.0);
      for (int a = 0; a < 2; ++a) {
        lo[a] = i == 0 ? p[a] : std::min(lo[a], p[a]);
        hi[a] = i == 0 ? p[a] : std::max(hi[a], p[a]);
      }
    }
    if (shapes[k].closed) d << " Z";
    paths[k] = d.str();
    strokes[k] = style.strokeWidth > 0 ? style.strokeWidth : std::max({hi[0] - lo[0], hi[1] - lo[1], 1.0}) / 250.0;
  }
  // The box of every copy's points, in the picture's coordinates (y down).
  double minX = 0, maxX = 0, minY = 0, maxY = 0, widest = 0;
  bool first = true;
  for (const PlacedOutline& c : copies) {
    if (c.shape >= shapes.size()) {
      *error = "a copy names no outline";
      return false;
    }
    if (!std::isfinite(c.x) || !std::isfinite(c.y) || !std::isfinite(c.angle) || !std::isfinite(c.scale)) {
      *error = "a copy's placement is not finite; nothing drawn";
      return false;
    }
    const double a = c.angle * 3.14159265358979323846 / 180.0, ca = std::cos(a), sa = std::sin(a);
    for (const auto& p : shapes[c.shape].points) {
      const double qx = c.x + c.scale * (ca * p[0] - sa * p[1]), qy = -(c.y + c.scale * (sa * p[0] + ca * p[1]));
      minX = first ? qx : std::min(minX, qx);
      maxX = first ? qx : std::max(maxX, qx);
      minY = first ? qy : std::min(minY, qy);
      maxY = first ? qy : std::max(maxY, qy);
      first = false;
    }
    widest = std::max(widest, strokes[c.shape] * std::fabs(c.scale));
  }
  const double extent = std::max({maxX - minX, maxY - minY, 1.0});
  const double margin = std::max(style.marginLength >= 0 ? style.marginLength : extent * style.margin,
                                 style.stroke == "none" ? 0.0 : widest / 2);
  const double vx = minX - margin, vy = minY - margin, vw = maxX - minX + 2 * margin, vh = maxY - minY + 2 * margin;
  if (!std::isfinite(vx) || !std::isfinite(vy) || !std::isfinite(vw) || !std::isfinite(vh)) {
    *error = "the placed arrows reach beyond the numbers a drawing can hold (positions or scales too large); "
             "nothing drawn";
    return false;
  }
  const int width = std::max(1, style.width);
  const int height = style.height > 0 ? style.height : std::max(1, static_cast<int>(std::lround(width * vh / vw)));

  std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\"";
  if (!style.id.empty()) out += " id=\"" + XmlText(style.id) + "\"";
  out += " viewBox=\"" + FormatDouble(vx) + " " + FormatDouble(vy) + " " + FormatDouble(vw) + " " + FormatDouble(vh) +
         "\" width=\"" + std::to_string(width) + "\" height=\"" + std::to_string(height) + "\">\n";
  if (!style.background.empty()) {
    const double scale = std::min(width / vw, height / vh);
    const double cx = vx + vw / 2, cy = vy + vh / 2, hw = width / scale / 2, hh = height / scale / 2;
    out += "  <rect x=\"" + G(cx - hw) + "\" y=\"" + G(cy - hh) + "\" width=\"" + G(2 * hw) + "\" height=\"" +
           G(2 * hh) + "\" fill=\"" + XmlText(style.background) + "\"/>\n";
  }
  out += "  <g stroke=\"" + XmlText(style.stroke) + "\" stroke-linejoin=\"round\">\n";
  for (const PlacedOutline& c : copies) {
    // The placement in the picture's coordinates: y flipped, so the turn
    // goes the other way.
    out += "  <path";
    if (!c.id.empty()) out += " id=\"" + XmlText(c.id) + "\"";
    out += " transform=\"translate(" + FormatDouble(c.x) + " " + FormatDouble(-c.y + 0.0) + ") rotate(" +
           FormatDouble(-c.angle + 0.0) + ") scale(" + FormatDouble(c.scale) + ")\" d=\"" + paths[c.shape] +
           "\" fill=\"" + (shapes[c.shape].closed ? XmlText(c.fill.empty() ? style.fill : c.fill) : "none") +
           "\" stroke-width=\"" + FormatDouble(strokes[c.shape]) + "\"/>\n";
  }
  out += "  </g>\n</svg>\n";
  *svg = std::move(out);
  return true;
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
