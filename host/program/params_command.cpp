// tolvane-host params: an arrow's parameters with values, units, limits and
// enabling.
#include <iostream>
#include <memory>

#include "program.h"

namespace program {

namespace {

struct ParamsOptions {
  ArrowOptions arrow;
  std::string format;
};

int Params(const ParamsOptions& o) {
  host::Session session(o.arrow.session);
  std::string error;
  host::Object* arrow = PrepareArrow(session, o.arrow, &error);
  if (arrow == nullptr) return Fail(error);
  if (o.format == "json") {
    std::cout << host::JsonText(session.ParamsJson(arrow)) << "\n";
  } else {
    std::cout << session.ParamsTable(arrow);
  }
  return kExitOk;
}

}  // namespace

Command AddParamsCommand(CLI::App& app) {
  auto o = std::make_shared<ParamsOptions>();
  CLI::App* params = app.add_subcommand("params", "make an arrow and list its parameters with values, units, limits and enabling");
  AddMakeArrowOptions(params, &o->arrow);
  params->add_option("--format", o->format, "table (the default) or json")->check(CLI::IsMember({"table", "json"}));
  params->footer("Example:\n  tolvane-host params --set ARROW_DOUBLE_HEADED=true --format json");
  return {params, [o] { return Params(*o); }};
}

}  // namespace program
