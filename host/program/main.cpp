// tolvane-host: the stand-in host's command-line program.
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>

#include "win_args.h"
#endif

#include "parse.h"
#include "program.h"

namespace {

using namespace program;

// The product version each flavour's module reports (its description's
// version) and the host interface version of its release.
struct Flavour {
  int release;
  const char* product;
};
constexpr Flavour kFlavours[] = {{16, "1.3"}, {12, "1.2"}};

std::string VersionText() {
  std::string text = "tolvane-host, the stand-in host of Tolvane\n";
  for (const Flavour& f : kFlavours) {
    text += "Tolvane-R" + std::to_string(f.release) + ": product version " + f.product +
            ", host release " + std::to_string(f.release) + ", host interface version " +
            std::to_string(host::HostOptions::ForRelease(f.release).interfaceVersion) + "\n";
  }
  text.pop_back();
  return text;
}

bool HasCommand(const CLI::App* parent, const std::string& word) {
  for (const CLI::App* command : parent->get_subcommands({}))
    if (command->get_name() == word) return true;
  return false;
}

std::vector<std::string> CommandNames(const CLI::App* parent) {
  std::vector<std::string> names;
  for (const CLI::App* command : parent->get_subcommands({})) names.push_back(command->get_name());
  return names;
}

// An unknown command word (or `preset` without what to do) is named as
// such, rather than as a missing command; empty when the words are known.
std::string UnknownCommand(const CLI::App& app, int argc, char** argv) {
  const CLI::App* preset = nullptr;
  for (const CLI::App* command : app.get_subcommands({}))
    if (command->get_name() == "preset") preset = command;
  if (argc >= 2 && argv[1][0] != '-' && !HasCommand(&app, argv[1]))
    return std::string("unknown command '") + argv[1] + "'" + host::DidYouMean(argv[1], CommandNames(&app));
  if (argc == 2 && std::string(argv[1]) == "preset") return "preset needs what to do: save, list or show";
  if (argc >= 3 && std::string(argv[1]) == "preset" && argv[2][0] != '-' && !HasCommand(preset, argv[2]))
    return std::string("preset takes save, list or show, not '") + argv[2] + "'" +
           host::DidYouMean(argv[2], CommandNames(preset));
  return "";
}

}  // namespace

int main(int argc, char** argv) {
#if defined(_WIN32)
  // The same bytes as on every other system: no "\r" before each "\n".
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  // Names and texts as UTF-8, like everywhere else.
  // Local to main: argv points into them until the program ends.
  std::vector<std::string> utf8 = host::Utf8Arguments();
  std::vector<char*> utf8argv;
  if (!utf8.empty()) {
    for (std::string& a : utf8) utf8argv.push_back(a.data());
    utf8argv.push_back(nullptr);
    argc = static_cast<int>(utf8.size());
    argv = utf8argv.data();
  }
#endif
  CLI::App app("Loads the Tolvane plug-in into the stand-in host and works with its arrow.",
               "tolvane-host");
  app.set_version_flag("--version", VersionText(), "the product versions of both flavours and their host interface versions");
  app.require_subcommand(1);
  app.footer(
      "Examples:\n"
      "  tolvane-host params --set ARROW_HEAD_TAPER=25%\n"
      "  tolvane-host outline --format svg -o arrow.svg --set ARROW_CHEVRON=true\n"
      "  tolvane-host preset list\n"
      "  tolvane-host run examples/cloner-along-path.script\n"
      "  tolvane-host batch examples/vector-field.csv -o field.svg\n"
      "Run 'tolvane-host COMMAND --help' for the options of a command.\n"
      "Exit status: 0 done, 1 the work failed (a module that does not load, a file that\n"
      "cannot be read or written), 2 a mistake in the command line.");

  const std::vector<Command> commands = {
      AddInfoCommand(app),  AddParamsCommand(app), AddOutlineCommand(app), AddPresetCommand(app),
#if defined(TOLVANE_SERVE)
      AddServeCommand(app),
#endif
#if defined(TOLVANE_HAVE_MESH)
      AddMeshCommand(app),
#endif
      AddAnimateCommand(app),
      AddRunCommand(app),
      AddBatchCommand(app),
  };

  if (const std::string unknown = UnknownCommand(app, argc, argv); !unknown.empty()) {
    std::cerr << "tolvane-host: " << unknown << "\n" << kHelpHint;
    return kExitUsage;
  }
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    if (e.get_exit_code() == 0) return app.exit(e);  // --help and --version, on standard output
    std::cerr << "tolvane-host: " << e.what() << "\n" << kHelpHint;
    return kExitUsage;
  }
  try {
    for (const Command& command : commands)
      if (command.app->parsed()) return command.action();
    return kExitUsage;  // require_subcommand(1) leaves no other way
  } catch (const UsageError& e) {
    std::cerr << "tolvane-host: " << e.message << "\n" << kHelpHint;
    return kExitUsage;
  } catch (const std::exception& e) {
    return Fail(e.what());
  }
}
