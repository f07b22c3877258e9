// tolvane-host run: a script of console commands from a file or standard input.
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>

#include "program.h"

namespace program {

namespace {

// Runs a script file, or standard input for "-".
int Run(const std::string& path) {
  if (path == "-") return host::RunScript(std::cin, "<stdin>", std::cout, std::cerr, ConsoleExtensions());
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) {
    std::cerr << "tolvane-host: cannot open script '" << path << "': it is a directory\n";
    return kExitUsage;
  }
  std::ifstream file(path);
  if (!file) {
    std::cerr << "tolvane-host: cannot open script '" << path << "': " << std::strerror(errno)
              << "\n";
    return kExitUsage;
  }
  return host::RunScript(file, path, std::cout, std::cerr, ConsoleExtensions());
}

}  // namespace

Command AddRunCommand(CLI::App& app) {
  auto script = std::make_shared<std::string>();
  CLI::App* run = app.add_subcommand("run", "run a script of console commands (see docs/script-console.md)");
  run->add_option("SCRIPT", *script, "the script file, or - for standard input")->required()->check(kNonEmpty);
  run->footer(
      "Exit status 2 for an error in the script, 1 when the host could not do what it asked.\n"
      "Example:\n  printf 'arrow A\\nprint params A names\\n' | tolvane-host run -");
  return {run, [script] { return Run(*script); }};
}

}  // namespace program
