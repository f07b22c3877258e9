// tolvane-host preset save | list | show: preset files, read and written by
// the module's own buttons.
#include <algorithm>
#include <filesystem>
#include <iostream>
#include <memory>
#include <vector>

#include "preset_header.h"
#include "program.h"

namespace program {

namespace {

struct PresetOptions {
  ArrowOptions arrow;  // save: the arrow to save; list, show: the plug-in
  std::string file;    // save, show: the file
};

int PresetSave(const PresetOptions& o) {
  host::Session session(o.arrow.session);
  std::string error;
  host::Object* arrow = PrepareArrow(session, o.arrow, &error);
  if (arrow == nullptr) return Fail(error);
  std::string written;
  if (!session.SavePreset(arrow, o.file, &written, &error)) return Fail(error);
  std::cout << "saved " << written << "\n";
  return kExitOk;
}

// The parameters a preset carries: all but the corner settings and the
// set-ups' options, which presets leave out.
bool InPreset(const host::Json& param) {
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

int PresetShow(const PresetOptions& o) {
  host::Session session(o.arrow.session);
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
  const host::Json all = session.ParamsJson(arrow);
  for (const host::Json& p : all["params"]) {
    if (InPreset(p)) std::cout << p["name"].get<std::string>() << " " << host::JsonText(p["value"]) << "\n";
  }
  return kExitOk;
}

int PresetList(const PresetOptions& o) {
  namespace fs = std::filesystem;
  // One session reads every preset, each into an arrow of its own.
  host::Session session(o.arrow.session);
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

}  // namespace

Command AddPresetCommand(CLI::App& app) {
  auto o = std::make_shared<PresetOptions>();
  CLI::App* preset = app.add_subcommand("preset", "save, list or show preset files");
  preset->require_subcommand(1);
  CLI::App* save = preset->add_subcommand("save", "make an arrow and save its values as a preset file (suffix .tlv)");
  save->add_option("FILE", o->file, "the preset file")->required()->check(kNonEmpty);
  AddPluginOptions(save, &o->arrow.session);
  AddArrowOptions(save, &o->arrow.sets, &o->arrow.raw);
  save->footer("Example:\n  tolvane-host preset save long.tlv --set ARROW_SHAFT_LENGTH=600");
  CLI::App* list = preset->add_subcommand("list", "list the presets in the plug-in's presets folder: file, name, version");
  AddPluginOptions(list, &o->arrow.session);
  list->footer("Example:\n  tolvane-host preset list --release 12");
  CLI::App* show = preset->add_subcommand("show", "show a preset's header lines, version and every value, read by the module");
  show->add_option("FILE", o->file, "a preset file, or a preset of the plug-in's presets folder by name")
      ->required()
      ->check(kNonEmpty);
  AddPluginOptions(show, &o->arrow.session);
  show->footer("Example:\n  tolvane-host preset show classic");
  return {preset, [o, save, list] {
            if (save->parsed()) return PresetSave(*o);
            if (list->parsed()) return PresetList(*o);
            return PresetShow(*o);
          }};
}

}  // namespace program
