#include "program.h"

#include <algorithm>
#include <iostream>

#include "parse.h"
#if defined(TOLVANE_HAVE_MESH)
#include "mesh_console.h"
#endif

namespace program {

const char kHelpHint[] = "Run 'tolvane-host --help' or 'tolvane-host COMMAND --help' for the options.\n";

int Fail(const std::string& message) {
  std::cerr << "tolvane-host: " << message << "\n";
  return kExitFailed;
}

host::Object* PrepareArrow(host::Session& session, const ArrowOptions& o, std::string* error) {
  if (!session.Open(error)) return nullptr;
  host::Object* arrow = session.NewArrow(false, error);
  if (arrow == nullptr) return nullptr;
  // The preset first, so that every --set changes the loaded values.
  if (!o.preset.empty()) {
    std::string note;
    const std::string path = session.FindPreset(o.preset, &note);
    if (!note.empty()) std::cerr << "tolvane-host: " << note << "\n";
    if (!session.LoadPreset(arrow, path, error)) return nullptr;
  }
  const host::EditMode mode = o.raw ? host::EditMode::kRaw : host::EditMode::kEditor;
  for (const std::string& s : o.sets) {
    // A setting the description does not know, or a value of the wrong
    // form, is a mistake in the command line.
    std::string note;
    if (!session.ApplySetting(arrow, s, error, mode, &note)) {
      const std::size_t eq = s.find('=');
      const host::ParamDesc* param = eq == std::string::npos || eq == 0 ? nullptr : session.FindParam(s.substr(0, eq));
      host::Value raw;
      std::string ignored;
      if (eq != std::string::npos && eq != 0 && param == nullptr)
        *error += " ('tolvane-host params' lists every name)";
      else if (param != nullptr && mode == host::EditMode::kEditor &&
               session.ParseValue(*param, s.substr(eq + 1), &raw, &ignored, host::EditMode::kRaw))
        *error += " (--raw stores it as typed)";
      throw UsageError{*error};
    }
    if (!note.empty()) std::cerr << "tolvane-host: " << note << "\n";
  }
  // A value set where the module disables it (once every --set is in) is
  // kept, but does nothing: said once for each such parameter.
  std::vector<const host::ParamDesc*> told;
  for (const host::ParamDesc* param : SetParameters(session, o.sets)) {
    if (std::find(told.begin(), told.end(), param) != told.end()) continue;
    told.push_back(param);
    const std::string note = session.DisabledNote(arrow, *param);
    if (!note.empty()) std::cerr << "tolvane-host: " << note << "\n";
  }
  return arrow;
}

std::vector<const host::ParamDesc*> SetParameters(const host::Session& session,
                                                  const std::vector<std::string>& sets) {
  std::vector<const host::ParamDesc*> params;
  for (const std::string& s : sets)
    if (const host::ParamDesc* p = session.FindParam(s.substr(0, s.find('=')))) params.push_back(p);
  return params;
}

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
                   "set a parameter as the attribute editor does: NAME is an ARROW_ name (case ignored) or an ID; "
                   "numbers beyond the limits become the limit (with a note), choices must be "
                   "listed, 25% for percentages, 5deg for angles; repeat for more")
      ->type_name("NAME=VALUE")
      ->allow_extra_args(false)
      ->check(kNonEmpty);
  command->add_flag("--raw", *raw,
                    "store --set values as typed, in stored units and without limits "
                    "(as a preset file or another program may; nan and inf too)");
}

void AddPresetOption(CLI::App* command, std::string* preset) {
  command
      ->add_option("--preset", *preset,
                   "load this preset file (or a preset of the plug-in's presets folder by its "
                   "file's or its own name, as 'preset list' shows them, case ignored) "
                   "into the arrow before the --set values")
      ->type_name("FILE|NAME")
      ->check(kNonEmpty);
}

void AddMakeArrowOptions(CLI::App* command, ArrowOptions* arrow) {
  AddPluginOptions(command, &arrow->session);
  AddArrowOptions(command, &arrow->sets, &arrow->raw);
  AddPresetOption(command, &arrow->preset);
}

std::vector<host::ConsoleExtension> ConsoleExtensions() {
#if defined(TOLVANE_HAVE_MESH)
  return {&host::mesh::AddMeshCommands};
#else
  return {};
#endif
}

}  // namespace program
