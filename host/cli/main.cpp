// tolvane-host: the stand-in host's command-line program.
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>

#include "win_args.h"
#endif

#include "custom_values.h"
#include "gui.h"
#include "outputs.h"
#include "safe_writer.h"
#include "script.h"
#include "session.h"
#if defined(TOLVANE_SERVE)
#include "serve.h"
#endif
#if defined(TOLVANE_HAVE_MESH)
#include "mesh_console.h"
#endif

namespace {

using host::Json;

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

// The product version each flavour's module reports (its description's
// version) and the host interface version of its release.
struct Flavour {
  int release;
  const char* product;
};
constexpr Flavour kFlavours[] = {{16, "1.3"}, {12, "1.2"}};

const char kHelpHint[] = "Run 'tolvane-host --help' or 'tolvane-host COMMAND --help' for the options.\n";

struct UsageError {
  std::string message;
};

// The options the commands share.
struct Options {
  host::SessionOptions session;
  std::vector<std::string> sets;
  bool raw = false;    // --set values stored as typed
  std::string format;
  std::string output;
  std::string preset;  // params, outline: a preset to load first
  std::string file;    // preset save, preset show: the file
  std::string hostVersion;
};

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
  if (!o.preset.empty() && !session.LoadPreset(arrow, session.FindPreset(o.preset), error))
    return nullptr;
  const host::EditMode mode = o.raw ? host::EditMode::kRaw : host::EditMode::kEditor;
  for (const std::string& s : o.sets) {
    // A setting the description does not know, or a value of the wrong
    // form, is a mistake in the command line.
    std::string note;
    if (!session.ApplySetting(arrow, s, error, mode, &note)) throw UsageError{*error};
    if (!note.empty()) std::cerr << "tolvane-host: " << note << "\n";
  }
  return arrow;
}

int Info(const Options& o) {
  host::Session session(o.session);
  std::string error;
  const bool ok = session.Open(&error);
  host::Host& h = session.GetHost();
  std::cout << "module: " << (h.ModuleFile().empty() ? "(none)" : h.ModuleFile()) << "\n";
  if (h.Loaded()) std::cout << "module kind: " << h.ModuleKind() << "\n";
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
  std::string text;
  if (o.format == "svg" || o.format == "csv") {
    host::Outline outline;
    if (!session.ContourOutline(arrow, &outline)) return Fail("the arrow answered no outline");
    if (o.format == "csv") text = host::OutlineCsv(outline);
    else if (!host::OutlineSvg(outline, host::SvgStyle(), &text, &error)) return Fail(error);
  } else {
    const Json contour = session.ContourJson(arrow);
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

int PresetSave(const Options& o) {
  host::Session session(o.session);
  std::string error;
  host::Object* arrow = PrepareArrow(session, o, &error);
  if (arrow == nullptr) return Fail(error);
  std::string written;
  if (!session.SavePreset(arrow, o.file, &written, &error)) return Fail(error);
  std::cout << "saved " << written << "\n";
  return kExitOk;
}

// The parameters a preset carries: all but the corner settings and the
// set-ups' options, which presets leave out.
bool InPreset(const Json& param) {
  const std::string group = param["group"];
  return group != "Corners" && group != "Extrude" && group != "Cloner" && group != "Spline wrap";
}

// Loads a preset file through the module's load button into a new arrow of
// an open session.
host::Object* LoadedPreset(host::Session& session, const std::string& path, std::string* error) {
  host::Object* arrow = session.NewArrow(false, error);
  if (arrow == nullptr || !session.LoadPreset(arrow, path, error)) return nullptr;
  return arrow;
}

// The version a preset's second header line names ("1.3"); empty when it
// is not a version line.
std::string PresetVersion(const std::string& line) {
  const std::string prefix = "# Version ";
  return line.rfind(prefix, 0) == 0 ? line.substr(prefix.size()) : "";
}

int PresetShow(const Options& o) {
  host::Session session(o.session);
  std::string error;
  const std::string path = session.FindPreset(o.file);
  std::vector<std::string> header;
  if (!host::ReadPresetHeader(path, &header, &error) || !session.Open(&error)) return Fail(error);
  host::Object* arrow = LoadedPreset(session, path, &error);
  if (arrow == nullptr) return Fail(error);
  std::cout << "file: " << path << "\n";
  for (const std::string& line : header) std::cout << "header: " << host::JsonText(line) << "\n";
  const std::string version = PresetVersion(header[1]);
  std::cout << "version: " << (version.empty() ? "(unknown)" : version) << "\n";
  const Json all = session.ParamsJson(arrow);
  for (const Json& p : all["params"]) {
    if (InPreset(p)) std::cout << p["name"].get<std::string>() << " " << host::JsonText(p["value"]) << "\n";
  }
  return kExitOk;
}

int PresetList(const Options& o) {
  namespace fs = std::filesystem;
  // One session reads every preset, each into an arrow of its own.
  host::Session session(o.session);
  const std::string folder = (fs::u8path(session.PluginDir()) / "presets").u8string();
  std::error_code ec;
  if (!fs::is_directory(fs::u8path(folder), ec))
    return Fail("the plug-in has no preset folder " + folder);
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(fs::u8path(folder), ec)) {
    if (entry.path().extension() == ".tlv") files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  std::string error;
  if (!session.Open(&error)) return Fail(error);
  std::cout << "presets in " << folder << ":\n";
  for (const fs::path& file : files) {
    std::vector<std::string> header;
    std::string name = "(unreadable)";
    std::string version = "?";
    if (host::ReadPresetHeader(file.u8string(), &header, &error)) {
      version = PresetVersion(header[1]).empty() ? header[1] : PresetVersion(header[1]);
      if (host::Object* arrow = LoadedPreset(session, file.u8string(), &error)) {
        const host::Value* value = arrow->Data().Find(session.FindParam("ARROW_PRESET_NAME")->id);
        if (value != nullptr) name = host::JsonText(session.ValueJson(*value));
      }
    }
    std::cout << "  " << file.filename().u8string() << "  " << name << "  version " << version << "\n";
  }
  return kExitOk;
}

// The commands the program's consoles get beside the built-in ones.
std::vector<host::ConsoleExtension> ConsoleExtensions() {
#if defined(TOLVANE_HAVE_MESH)
  return {&host::mesh::AddMeshCommands};
#else
  return {};
#endif
}

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

// Refuses an empty word: an unset shell variable, say, is never what was meant.
const CLI::Validator kNonEmpty(
    [](std::string& value) { return value.empty() ? std::string("needs a value, not an empty word") : std::string(); },
    "", "non-empty");

void AddPluginOptions(CLI::App* command, host::SessionOptions* session) {
  command->add_option_function<std::string>(
             "--release", [session](const std::string& r) { host::ParseRelease(r, &session->release); },
             "the built plug-in folder and host of release 16 (product 1.3, the default) or 12 (1.2)")
      ->check(CLI::IsMember({"16", "12"}));
  command->add_option("--plugin", session->pluginDir, "load the plug-in folder DIR instead")
      ->type_name("DIR")
      ->check(kNonEmpty);
}

void AddArrowOptions(CLI::App* command, std::vector<std::string>* sets, bool* raw) {
  command
      ->add_option("--set", *sets,
                   "set a parameter as the attribute editor does: NAME is an ARROW_ name or an ID; "
                   "numbers beyond the limits become the limit (with a note), choices must be "
                   "listed, 25% for percentages, 5deg for angles; repeat for more")
      ->type_name("NAME=VALUE")
      ->allow_extra_args(false)
      ->check(kNonEmpty);
  command->add_flag("--raw", *raw,
                    "store --set values as typed, in stored units and without limits "
                    "(as a preset file or another program may; nan and inf too)");
}

void AddPresetOption(CLI::App* command, Options* o) {
  command
      ->add_option("--preset", o->preset,
                   "load this preset file (or a preset of the plug-in's presets folder by name) "
                   "into the arrow before the --set values")
      ->type_name("FILE|NAME")
      ->check(kNonEmpty);
}

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
      "Run 'tolvane-host COMMAND --help' for the options of a command.\n"
      "Exit status: 0 done, 1 the work failed (a module that does not load, a file that\n"
      "cannot be read or written), 2 a mistake in the command line.");
  Options o;
  int (*action)(const Options&) = nullptr;
  std::string script;

  CLI::App* info = app.add_subcommand("info", "load the plug-in and show its console lines, lifecycle answers and plug-ins");
  AddPluginOptions(info, &o.session);
  info->add_option("--host-version", o.hostVersion, "act as a host of this interface version (e.g. 12000)")
      ->type_name("N");
  info->footer("Example:\n  tolvane-host info --release 12");
  info->callback([&] { action = Info; });

  CLI::App* params = app.add_subcommand("params", "make an arrow and list its parameters with values, units, limits and enabling");
  AddPluginOptions(params, &o.session);
  AddArrowOptions(params, &o.sets, &o.raw);
  AddPresetOption(params, &o);
  params->add_option("--format", o.format, "table (the default) or json")->check(CLI::IsMember({"table", "json"}));
  params->footer("Example:\n  tolvane-host params --set ARROW_DOUBLE_HEADED=true --format json");
  params->callback([&] { action = Params; });

  CLI::App* outline = app.add_subcommand("outline", "make an arrow and write its outline");
  AddPluginOptions(outline, &o.session);
  AddArrowOptions(outline, &o.sets, &o.raw);
  AddPresetOption(outline, &o);
  outline->add_option("--format", o.format, "json (the default), svg or csv")
      ->check(CLI::IsMember({"json", "svg", "csv"}));
  outline->add_option("-o", o.output, "write to FILE instead of standard output")->type_name("FILE")->check(kNonEmpty);
  outline->footer("Example:\n  tolvane-host outline --set ARROW_HEAD_TAPER=25% --format svg -o arrow.svg");
  outline->callback([&] { action = Outline; });

  CLI::App* preset = app.add_subcommand("preset", "save, list or show preset files");
  preset->require_subcommand(1);
  CLI::App* save = preset->add_subcommand("save", "make an arrow and save its values as a preset file (suffix .tlv)");
  save->add_option("FILE", o.file, "the preset file")->required()->check(kNonEmpty);
  AddPluginOptions(save, &o.session);
  AddArrowOptions(save, &o.sets, &o.raw);
  save->footer("Example:\n  tolvane-host preset save long.tlv --set ARROW_SHAFT_LENGTH=600");
  save->callback([&] { action = PresetSave; });
  CLI::App* list = preset->add_subcommand("list", "list the presets in the plug-in's presets folder: file, name, version");
  AddPluginOptions(list, &o.session);
  list->footer("Example:\n  tolvane-host preset list --release 12");
  list->callback([&] { action = PresetList; });
  CLI::App* show = preset->add_subcommand("show", "show a preset's header lines, version and every value, read by the module");
  show->add_option("FILE", o.file, "a preset file, or a preset of the plug-in's presets folder by name")
      ->required()
      ->check(kNonEmpty);
  AddPluginOptions(show, &o.session);
  show->footer("Example:\n  tolvane-host preset show classic");
  show->callback([&] { action = PresetShow; });

#if defined(TOLVANE_SERVE)
  host::ServeOptions serveOptions;
  CLI::App* serve = app.add_subcommand(
      "serve", "serve the workbench: the plug-in in one host session behind a page in the browser");
  AddPluginOptions(serve, &o.session);
  serve->add_option("--port", serveOptions.port, "the port to listen on (0: any free one; 8080 by default)")
      ->check(CLI::Range(0, 65535));
  serve->add_option("--bind", serveOptions.bind, "the address to listen on (127.0.0.1 by default)")
      ->type_name("ADDR")
      ->check(kNonEmpty);
  serve->add_option("--state-dir", serveOptions.stateDir,
                    "where the recovery copy of the document is kept (default: $XDG_STATE_HOME/tolvane or "
                    "~/.local/state/tolvane; - for none)")
      ->type_name("DIR")
      ->check(kNonEmpty);
  serve->footer(
      "The document is kept in a recovery copy after changes, and a workbench started again loads it back.\n"
      "Ctrl-C ends it and shuts the host down.\nExample:\n  tolvane-host serve --port 8080");
#endif

#if defined(TOLVANE_HAVE_MESH)
  host::mesh::MeshOptions meshOptions;
  CLI::App* mesh = app.add_subcommand(
      "mesh", "make an arrow, extrude it as the extrusion button does, and export the mesh as a 3-D file");
  AddPluginOptions(mesh, &o.session);
  AddArrowOptions(mesh, &meshOptions.sets, &meshOptions.raw);
  mesh->add_option("--depth", meshOptions.depth, "the extrusion's depth along z (20 by default)")
      ->type_name("D");
  mesh->add_flag("--rounded", meshOptions.rounded, "rounded caps, as with the arrow's rounded caps option");
  mesh->add_option("--format", meshOptions.format, "glb (the default), gltf, obj, stl or ply")
      ->check(CLI::IsMember({"glb", "gltf", "obj", "stl", "ply"}));
  mesh->add_option("-o", meshOptions.output, "the file to write")->type_name("FILE")->required()->check(kNonEmpty);
  mesh->footer("Example:\n  tolvane-host mesh --format glb -o arrow.glb --set ARROW_CHEVRON=true");
#endif

  CLI::App* run = app.add_subcommand("run", "run a script of console commands (see docs/script-console.md)");
  run->add_option("SCRIPT", script, "the script file, or - for standard input")->required()->check(kNonEmpty);
  run->footer(
      "Exit status 2 for an error in the script, 1 when the host could not do what it asked.\n"
      "Example:\n  echo 'arrow A\nprint params A names' | tolvane-host run -");

  // An unknown command word (or `preset` without what to do) is named as
  // such, rather than as a missing command.
  const auto hasCommand = [](const CLI::App* parent, const std::string& word) {
    for (const CLI::App* command : parent->get_subcommands({}))
      if (command->get_name() == word) return true;
    return false;
  };
  std::string unknown;
  if (argc >= 2 && argv[1][0] != '-' && !hasCommand(&app, argv[1])) unknown = std::string("unknown command '") + argv[1] + "'";
  if (argc == 2 && std::string(argv[1]) == "preset") unknown = "preset needs what to do: save, list or show";
  if (argc >= 3 && std::string(argv[1]) == "preset" && argv[2][0] != '-' && !hasCommand(preset, argv[2]))
    unknown = std::string("preset takes save, list or show, not '") + argv[2] + "'";
  if (!unknown.empty()) {
    std::cerr << "tolvane-host: " << unknown
              << "\n" << kHelpHint;
    return kExitUsage;
  }
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    if (e.get_exit_code() == 0) return app.exit(e);  // --help and --version, on standard output
    std::cerr << "tolvane-host: " << e.what() << "\n" << kHelpHint;
    return kExitUsage;
  }
  if (!o.hostVersion.empty()) {
    long long n = 0;
    if (!host::ParseWholeNumber(o.hostVersion, INT32_MIN, INT32_MAX, &n)) {
      std::cerr << "tolvane-host: --host-version takes a whole number, not '" << o.hostVersion << "'\n";
      return kExitUsage;
    }
    o.session.hostVersion = static_cast<int32_t>(n);
  }
  try {
    if (run->parsed()) return Run(script);
#if defined(TOLVANE_HAVE_MESH)
    if (mesh->parsed()) {
      meshOptions.session = o.session;
      return host::mesh::MeshCommand(meshOptions, std::cout, std::cerr);
    }
#endif
#if defined(TOLVANE_SERVE)
    if (serve->parsed()) {
      serveOptions.release = o.session.release;
      serveOptions.pluginDir = o.session.pluginDir;
      serveOptions.extensions = ConsoleExtensions();
      return host::Serve(serveOptions);
    }
#endif
    return action(o);
  } catch (const UsageError& e) {
    std::cerr << "tolvane-host: " << e.message << "\n" << kHelpHint;
    return kExitUsage;
  } catch (const std::exception& e) {
    return Fail(e.what());
  }
}
