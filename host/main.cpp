// tolvane-host: the stand-in host's command-line program.
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>

#include "win_args.h"
#endif

#include "customdata.h"
#include "gui.h"
#include "outputs.h"
#include "safe_writer.h"
#include "script.h"
#include "session.h"

namespace {

using host::Json;

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

const char kUsage[] =
    "usage: tolvane-host COMMAND [OPTIONS]\n"
    "\n"
    "commands:\n"
    "  info    [--release 16|12 | --plugin DIR] [--host-version N]\n"
    "          load the plug-in and show its console lines, lifecycle answers and plug-ins\n"
    "  params  [--release 16|12 | --plugin DIR] [--set NAME=VALUE]... [--format table|json]\n"
    "          make an arrow and list every parameter with its value and whether it is enabled\n"
    "  outline [--release 16|12 | --plugin DIR] [--set NAME=VALUE]... [--format json|svg|csv]\n"
    "          [-o FILE]   make an arrow and write its outline\n"
    "  preset save FILE [--release 16|12 | --plugin DIR] [--set NAME=VALUE]...\n"
    "          make an arrow and save its values as a preset file\n"
    "  run     SCRIPT|-\n"
    "          run a script of console commands (- reads standard input); exit status 2\n"
    "          for an error in the script, 1 when the host could not do what it asked\n"
    "\n"
    "params and outline also take --preset FILE: load that preset into the arrow first\n";

struct UsageError {
  std::string message;
};

// The options the commands share.
struct Options {
  host::SessionOptions session;
  std::vector<std::string> sets;
  std::string format;
  std::string output;
  std::string preset;  // params, outline: a preset to load first
  std::string saveTo;  // preset save: the file
};

int ParseRelease(const std::string& text) {
  if (text == "16") return 16;
  if (text == "12") return 12;
  throw UsageError{"--release takes 16 or 12, not '" + text + "'"};
}

// `first` is the index of the first option (after the command words).
Options ParseOptions(const std::string& command, int argc, char** argv,
                     const std::vector<std::string>& formats, int first = 2) {
  Options o;
  o.format = formats.empty() ? "" : formats.front();
  for (int i = first; i < argc; ++i) {
    const std::string arg = argv[i];
    const auto value = [&]() -> std::string {
      if (i + 1 >= argc) throw UsageError{arg + " needs a value"};
      std::string v = argv[++i];
      // An empty name or value is never what was meant (an unset shell
      // variable, say): refuse it rather than quietly ignore the option.
      if (v.empty()) throw UsageError{arg + " needs a value, not an empty word"};
      return v;
    };
    if (arg == "--release") {
      o.session.release = ParseRelease(value());
    } else if (arg == "--plugin") {
      o.session.pluginDir = value();
    } else if (arg == "--host-version" && command == "info") {
      const std::string v = value();
      char* end = nullptr;
      const long n = std::strtol(v.c_str(), &end, 10);
      if (v.empty() || *end != '\0' || n < INT32_MIN || n > INT32_MAX)
        throw UsageError{"--host-version takes a whole number, not '" + v + "'"};
      o.session.hostVersion = static_cast<int32_t>(n);
    } else if (arg == "--set" && command != "info") {
      o.sets.push_back(value());
    } else if (arg == "--format" && !formats.empty()) {
      o.format = value();
      bool known = false;
      for (const auto& f : formats) known = known || f == o.format;
      if (!known) throw UsageError{"unknown format '" + o.format + "' for " + command};
    } else if (arg == "--preset" && (command == "params" || command == "outline")) {
      o.preset = value();
    } else if (arg == "-o" && command == "outline") {
      o.output = value();
    } else {
      throw UsageError{"unknown option '" + arg + "' for " + command};
    }
  }
  return o;
}

int Fail(const std::string& message) {
  std::cerr << "tolvane-host: " << message << "\n";
  return kExitFailed;
}

// Loads the plug-in and makes an arrow with the requested settings.
host::Object* PrepareArrow(host::Session& session, const Options& o, std::string* error) {
  if (!session.Open(error)) return nullptr;
  host::Object* arrow = session.NewArrow(false, error);
  if (arrow == nullptr) return nullptr;
  // The preset first, so that every --set changes the loaded values.
  if (!o.preset.empty() && !session.LoadPreset(arrow, o.preset, error)) return nullptr;
  for (const std::string& s : o.sets) {
    // A setting the description does not know, or a value of the wrong
    // form, is a mistake in the command line.
    if (!session.ApplySetting(arrow, s, error)) throw UsageError{*error};
  }
  return arrow;
}

int Info(const Options& o) {
  host::Session session(o.session);
  std::string error;
  const bool ok = session.Open(&error);
  host::Host& h = session.GetHost();
  std::cout << "module: " << (h.ModuleFile().empty() ? "(none)" : h.ModuleFile()) << "\n";
  std::cout << "host interface version: " << h.Options().interfaceVersion << "\n";
  std::cout << "console:\n";
  for (const std::string& line : h.Console()) std::cout << "  " << line << "\n";
  std::cout << "lifecycle:\n";
  for (const auto& a : h.Answers())
    std::cout << "  " << a.step << " (action " << a.action << "): " << a.answer << "\n";
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

int Params(const Options& o) {
  host::Session session(o.session);
  std::string error;
  host::Object* arrow = PrepareArrow(session, o, &error);
  if (arrow == nullptr) return Fail(error);
  if (o.format == "json") {
    std::cout << host::JsonText(session.ParamsJson(arrow)) << "\n";
  } else {
    std::cout << session.ParamsTable(arrow);
  }
  return kExitOk;
}

int Outline(const Options& o) {
  host::Session session(o.session);
  std::string error;
  host::Object* arrow = PrepareArrow(session, o, &error);
  if (arrow == nullptr) return Fail(error);
  const Json contour = session.ContourJson(arrow);
  if (contour.is_null()) return Fail("the arrow answered no outline");
  std::string text;
  if (o.format == "svg") {
    if (!host::OutlineSvg(contour, &text, &error)) return Fail(error);
  } else if (o.format == "csv") {
    text = host::OutlineCsv(contour);
  } else {
    text = contour.dump() + "\n";
  }
  if (o.output.empty()) {
    std::cout << text;
    return kExitOk;
  }
  if (!host::SaveFile(o.output, text, &error)) return Fail(error);
  return kExitOk;
}

int PresetSave(const Options& o) {
  host::Session session(o.session);
  std::string error;
  host::Object* arrow = PrepareArrow(session, o, &error);
  if (arrow == nullptr) return Fail(error);
  std::string written;
  if (!session.SavePreset(arrow, o.saveTo, &written, &error)) return Fail(error);
  std::cout << "saved " << written << "\n";
  return kExitOk;
}

// Runs a script file, or standard input for "-".
int Run(int argc, char** argv) {
  if (argc != 3) throw UsageError{"run takes one script file, or - for standard input"};
  const std::string path = argv[2];
  if (path == "-") return host::RunScript(std::cin, "<stdin>", std::cout, std::cerr);
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
  return host::RunScript(file, path, std::cout, std::cerr);
}

}  // namespace

int main(int argc, char** argv) {
#if defined(_WIN32)
  // The same bytes as on every other system: no "\r" before each "\n".
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  // Names and texts as UTF-8, like everywhere else.
  static std::vector<std::string> utf8 = host::Utf8Arguments();
  static std::vector<char*> utf8argv;
  if (!utf8.empty()) {
    for (std::string& a : utf8) utf8argv.push_back(a.data());
    utf8argv.push_back(nullptr);
    argc = static_cast<int>(utf8.size());
    argv = utf8argv.data();
  }
#endif
  if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
    std::cerr << kUsage;
    return argc < 2 ? kExitUsage : kExitOk;
  }
  const std::string command = argv[1];
  try {
    if (command == "info") return Info(ParseOptions(command, argc, argv, {}));
    if (command == "params") return Params(ParseOptions(command, argc, argv, {"table", "json"}));
    if (command == "outline")
      return Outline(ParseOptions(command, argc, argv, {"json", "svg", "csv"}));
    if (command == "run") return Run(argc, argv);
    if (command == "preset") {
      if (argc < 4 || std::strcmp(argv[2], "save") != 0)
        throw UsageError{"expected: preset save FILE [options]"};
      Options o = ParseOptions(command, argc, argv, {}, 4);
      o.saveTo = argv[3];
      if (o.saveTo.empty()) throw UsageError{"preset save needs a file name, not an empty word"};
      return PresetSave(o);
    }
    throw UsageError{"unknown command '" + command + "'"};
  } catch (const UsageError& e) {
    std::cerr << "tolvane-host: " << e.message << "\n\n" << kUsage;
    return kExitUsage;
  } catch (const std::exception& e) {
    return Fail(e.what());
  }
}
