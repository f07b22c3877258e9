// tolvane-host outline: an arrow's outline as JSON, SVG or CSV.
#include <iostream>
#include <memory>

#include "outline_svg.h"
#include "program.h"
#include "safe_writer.h"

namespace program {

namespace {

struct OutlineOptions {
  ArrowOptions arrow;
  std::string format;
  std::string output;
};

int Outline(const OutlineOptions& o) {
  host::Session session(o.arrow.session);
  std::string error;
  host::Object* arrow = PrepareArrow(session, o.arrow, &error);
  if (arrow == nullptr) return Fail(error);
  std::string text;
  if (o.format == "svg" || o.format == "csv") {
    host::Outline outline;
    if (!session.ContourOutline(arrow, &outline)) return Fail("the arrow answered no outline");
    if (o.format == "csv") text = host::OutlineCsv(outline);
    else if (!host::OutlineSvg(outline, host::SvgStyle(), &text, &error)) return Fail(error);
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
  AddPluginOptions(outline, &o->arrow.session);
  AddArrowOptions(outline, &o->arrow.sets, &o->arrow.raw);
  AddPresetOption(outline, &o->arrow.preset);
  outline->add_option("--format", o->format, "json (the default), svg or csv")
      ->check(CLI::IsMember({"json", "svg", "csv"}));
  outline->add_option("-o", o->output, "write to FILE instead of standard output")->type_name("FILE")->check(kNonEmpty);
  outline->footer("Example:\n  tolvane-host outline --set ARROW_HEAD_TAPER=25% --format svg -o arrow.svg");
  return {outline, [o] { return Outline(*o); }};
}

}  // namespace program
