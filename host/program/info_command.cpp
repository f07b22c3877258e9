// tolvane-host info: the plug-in loaded, and what the host saw of it.
#include <cstdint>
#include <iostream>
#include <memory>

#include "custom_values.h"
#include "gui.h"
#include "parse.h"
#include "program.h"

namespace program {

namespace {

struct InfoOptions {
  host::SessionOptions session;
  std::string hostVersion;
};

int Info(InfoOptions o) {
  if (!o.hostVersion.empty()) {
    long long n = 0;
    if (!host::ParseWholeNumber(o.hostVersion, INT32_MIN, INT32_MAX, &n)) {
      std::cerr << "tolvane-host: --host-version takes a whole number, not '" << o.hostVersion << "'\n";
      return kExitUsage;
    }
    o.session.hostVersion = static_cast<int32_t>(n);
  }
  host::Session session(o.session);
  std::string error;
  const bool ok = session.Open(&error);
  host::Host& h = session.GetHost();
  std::cout << "module: " << (h.ModuleFile().empty() ? "(none)" : h.ModuleFile()) << "\n";
  if (h.Loaded()) std::cout << "module kind: " << h.ModuleKind() << "\n";
  std::cout << "host interface version: " << h.Options().interfaceVersion << "\n";
  // Each heading only with something under it: a plug-in that did not
  // load leaves them empty.
  if (!h.Console().empty()) std::cout << "console:\n";
  for (const std::string& line : h.Console()) std::cout << "  " << line << "\n";
  if (!h.Answers().empty()) std::cout << "lifecycle:\n";
  for (const auto& a : h.Answers())
    std::cout << "  " << a.step << " (action " << a.action << "): " << a.answer << "\n";
  if (!host::ObjectPlugins().empty() || !host::CustomDataTypes().empty() || !host::CustomGuiPlugins().empty() ||
      !host::InstalledLibraries().empty())
    std::cout << "plug-ins:\n";
  for (const auto& p : host::ObjectPlugins()) {
    std::cout << "  object " << p.id << " \"" << p.name << "\" description " << p.description
              << " info " << p.info << " icon "
              << (p.hasIcon ? std::to_string(p.iconWidth) + "x" + std::to_string(p.iconHeight)
                            : std::string("none"))
              << "\n";
  }
  for (const auto& t : host::CustomDataTypes()) {
    std::cout << "  data type " << t->id << " \"" << t->name << "\" symbol " << t->symbol
              << " info " << t->info << " disk level " << t->diskLevel << "\n";
  }
  for (const auto& g : host::CustomGuiPlugins()) {
    std::cout << "  interface element " << g.id << " \"" << g.name << "\" symbol " << g.symbol
              << " info " << g.info << " edits";
    for (int32_t type : g.types) std::cout << " " << type;
    std::cout << "\n";
  }
  for (const auto& l : host::InstalledLibraries()) {
    std::cout << "  library " << l.id << " version " << l.version << " size " << l.size << "\n";
  }
  if (!ok) return Fail(error);
  return kExitOk;
}

}  // namespace

Command AddInfoCommand(CLI::App& app) {
  auto o = std::make_shared<InfoOptions>();
  CLI::App* info = app.add_subcommand("info", "load the plug-in and show its console lines, lifecycle answers and plug-ins");
  AddPluginOptions(info, &o->session);
  info->add_option("--host-version", o->hostVersion, "act as a host of this interface version (e.g. 12000)")
      ->type_name("N");
  info->footer("Example:\n  tolvane-host info --release 12");
  return {info, [o] { return Info(*o); }};
}

}  // namespace program
