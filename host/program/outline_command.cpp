// tolvane-host outline: an arrow's outline as JSON, CSV, or a picture (SVG,
// or PNG rendered from the SVG).
#include <iostream>
#include <memory>

#include "outline_svg.h"
#include "parse.h"
#include "program.h"
#include "safe_writer.h"
#include "svg_png.h"

namespace program {

namespace {

struct OutlineOptions {
  ArrowOptions arrow;
  std::string format;
  std::string output;
  // The picture's look (svg, png); empty or negative: the default.
  std::string fill, stroke, background, size, margin;
  double strokeWidth = -1;
};

// The picture's size: "W" (the height from the outline's aspect) or "WxH",
// in pixels from 1 to 16384.
void ReadSize(const std::string& text, host::SvgStyle* style) {
  const std::size_t x = text.find('x');
  long long w = 0, h = 0;
  const bool ok = host::ParseWholeNumber(text.substr(0, x), 1, host::kMaxPictureSide, &w) &&
                  (x == std::string::npos || host::ParseWholeNumber(text.substr(x + 1), 1, host::kMaxPictureSide, &h));
  if (!ok) throw UsageError{"--size takes W or WxH in pixels (1 to 16384), such as 800 or 640x480; not '" + text + "'"};
  style->width = static_cast<int>(w);
  style->height = static_cast<int>(h);
}

// The space around the outline's box: a length in scene units, or a share
// of the box's larger side ("10%").
void ReadMargin(const std::string& text, host::SvgStyle* style) {
  const bool share = !text.empty() && text.back() == '%';
  double v = 0;
  if (!host::ParseNumber(share ? text.substr(0, text.size() - 1) : text, &v) || !(v >= 0) || v > 1e9)
    throw UsageError{"--margin takes a length in scene units or a share of the outline's size such as 10%; not '" +
                     text + "'"};
  if (share) style->margin = v / 100.0;
  else style->marginLength = v;
}

// The look the options ask for; a bad value is a mistake in the command line.
host::SvgStyle StyleOf(const OutlineOptions& o) {
  host::SvgStyle style;
  std::string error;
  const auto colour = [&](const char* option, const std::string& text, bool noneToo, std::string* into) {
    if (text.empty()) return;
    if (!host::CheckSvgColour(option, text, noneToo, &error)) throw UsageError{error};
    *into = text;
  };
  colour("--fill", o.fill, true, &style.fill);
  colour("--stroke", o.stroke, true, &style.stroke);
  colour("--background", o.background, false, &style.background);
  if (o.strokeWidth >= 0) {
    if (!(o.strokeWidth <= 1e9)) throw UsageError{"--stroke-width is too large"};
    if (o.strokeWidth == 0) style.stroke = "none";
    else style.strokeWidth = o.strokeWidth;
  }
  if (!o.size.empty()) ReadSize(o.size, &style);
  if (!o.margin.empty()) ReadMargin(o.margin, &style);
  return style;
}

int Outline(const OutlineOptions& o) {
  const bool picture = o.format == "svg" || o.format == "png";
  const host::SvgStyle style = picture ? StyleOf(o) : host::SvgStyle();
  if (o.format == "png" && o.output.empty()) throw UsageError{"--format png needs -o FILE"};
  if (o.format == "png" && !host::CanRenderSvg()) return Fail("this build of the host renders no PNG pictures");
  host::Session session(o.arrow.session);
  std::string error;
  host::Object* arrow = PrepareArrow(session, o.arrow, &error);
  if (arrow == nullptr) return Fail(error);
  std::string text;
  if (picture || o.format == "csv") {
    host::Outline outline;
    if (!session.ContourOutline(arrow, &outline)) return Fail("the arrow answered no outline");
    if (o.format == "csv") text = host::OutlineCsv(outline);
    else if (!host::OutlineSvg(outline, style, &text, &error)) return Fail(error);
    if (o.format == "png") {
      std::string png;
      if (!host::SvgToPng(text, style.width, style.height, &png, &error)) return Fail(error);
      text = png;
    }
  } else {
    const host::Json contour = session.ContourJson(arrow);
    if (contour.is_null()) return Fail("the arrow answered no outline");
    text = host::JsonText(contour) + "\n";
  }
  if (o.output.empty()) {
    std::cout << text;
    return kExitOk;
  }
  if (!host::SaveFile(o.output, text, &error)) return Fail(error);
  return kExitOk;
}

}  // namespace

Command AddOutlineCommand(CLI::App& app) {
  auto o = std::make_shared<OutlineOptions>();
  CLI::App* outline = app.add_subcommand("outline", "make an arrow and write its outline");
  AddMakeArrowOptions(outline, &o->arrow);
  outline->add_option("--format", o->format, "json (the default), svg, png (needs -o) or csv")
      ->check(CLI::IsMember({"json", "svg", "png", "csv"}));
  outline->add_option("--fill", o->fill, "svg, png: the outline's fill colour (#cfe3f7; none for none)")
      ->type_name("COLOUR");
  outline->add_option("--stroke", o->stroke, "svg, png: the outline's stroke colour (#1d4f80; none for none)")
      ->type_name("COLOUR");
  outline->add_option("--stroke-width", o->strokeWidth,
                      "svg, png: the stroke's width in scene units (default: the outline's size / 250; 0: none)")
      ->type_name("W")
      ->check(CLI::NonNegativeNumber);
  outline->add_option("--background", o->background, "svg, png: a colour behind the outline (default: none)")
      ->type_name("COLOUR");
  outline->add_option("--size", o->size, "svg, png: the picture's size in pixels, W or WxH (800 wide by default)")
      ->type_name("W[xH]");
  outline->add_option("--margin", o->margin,
                      "svg, png: space around the outline, in scene units or as a share of its size (5% by default)")
      ->type_name("M|N%");
  outline->add_option("-o", o->output, "write to FILE instead of standard output")->type_name("FILE")->check(kNonEmpty);
  outline->footer(
      "Examples:\n  tolvane-host outline --set ARROW_HEAD_TAPER=25% --format svg -o arrow.svg\n"
      "  tolvane-host outline --format png --size 400 --fill tomato --stroke none --background white -o arrow.png");
  return {outline, [o] { return Outline(*o); }};
}

}  // namespace program
