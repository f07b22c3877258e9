// tolvane-host preset save | list | show: preset files, read and written by
// the module's own buttons.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <vector>

#include "preset_header.h"
#include "program.h"

namespace program {

namespace {

// The parameters a preset carries: all but the corner settings and the
// set-ups' options, which presets leave out.
bool InPreset(const std::string& group) {
  return group != "Corners" && group != "Extrude" && group != "Cloner" && group != "Spline wrap";
}

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
  // Values a preset file leaves out, so that nobody expects them back.
  std::vector<std::string> left;
  for (const host::ParamDesc* p : SetParameters(session, o.arrow.sets))
    if (!InPreset(p->group) && std::find(left.begin(), left.end(), p->name) == left.end()) left.push_back(p->name);
  if (!left.empty()) {
    std::string names;
    for (const std::string& n : left) names += (names.empty() ? "" : ", ") + n;
    std::cerr << "tolvane-host: the preset file does not hold " << names
              << ": a preset keeps the arrow's shape, not its corner, extrusion, cloner or spline wrap "
                 "settings, so loading it will not bring these back\n";
  }
  return kExitOk;
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

// Whether a number lies outside the description's limits; `why` says how.
bool OutsideLimits(const host::ParamDesc& d, double v, std::string* why) {
  if ((d.min && v < *d.min) || (d.max && v > *d.max) || std::isnan(v)) {
    *why = "outside the limits " + host::ShowLimits(d);
    return true;
  }
  return false;
}

// A value of a preset as `preset show` prints it: single-precision numbers
// as the shortest text that reads back to the same float, with the editor's
// unit beside (percent, degrees beside the stored radians), choices with
// their label, and a flag on a value the description does not allow.
std::string ShownValue(const host::ParamDesc& d, const host::Json& v) {
  std::string text, why;
  if (v.is_number_float() || (v.is_string() && d.type == "float")) {
    const double x = v.is_string() ? std::strtod(v.get<std::string>().c_str(), nullptr) : v.get<double>();
    text = host::ShowSingle(d, x, false);
    if (d.unit == "degree") text += " rad (" + host::ShowSingle(d, x, true) + ")";
    else if (d.unit == "percent") text += " (" + host::ShowSingle(d, x, true) + ")";
    OutsideLimits(d, x, &why);
  } else if (v.is_number_integer() && !v.is_boolean()) {
    const int32_t x = v.get<int32_t>();
    text = std::to_string(x);
    if (!d.choices.empty()) {
      const std::string label = host::ChoiceLabel(d, x);
      if (!label.empty()) {
        text += " (" + label + ")";
      } else {
        why = "not one of the choices";
        for (const auto& [choice, name] : d.choices)
          why += std::string(choice == d.choices.front().first ? " " : ", ") + std::to_string(choice) + " (" + name + ")";
      }
    } else {
      OutsideLimits(d, x, &why);
    }
  } else {
    text = host::JsonText(v);
  }
  return why.empty() ? text : text + "  [" + why + "]";
}

int PresetShow(const PresetOptions& o) {
  host::Session session(o.arrow.session);
  std::string error;
  std::string note;
  const std::string path = session.FindPreset(o.file, &note);
  if (!note.empty()) std::cerr << "tolvane-host: " << note << "\n";
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
    const host::ParamDesc* d = session.FindParam(p["name"].get<std::string>());
    if (d != nullptr && InPreset(d->group)) std::cout << d->name << " " << ShownValue(*d, p["value"]) << "\n";
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
  std::vector<std::vector<std::string>> rows;
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
    rows.push_back({file.filename().u8string(), name, "version " + version});
  }
  // Columns as wide as their widest entry (counted in characters, not bytes).
  const auto width = [](const std::string& text) {
    std::size_t n = 0;
    for (unsigned char c : text) n += (c & 0xC0) != 0x80;
    return n;
  };
  std::size_t widths[2] = {0, 0};
  for (const auto& row : rows)
    for (std::size_t i = 0; i < 2; ++i) widths[i] = std::max(widths[i], width(row[i]));
  for (const auto& row : rows) {
    std::cout << "  " << row[0] << std::string(widths[0] - width(row[0]) + 2, ' ') << row[1]
              << std::string(widths[1] - width(row[1]) + 2, ' ') << row[2] << "\n";
  }
  return kExitOk;
}

}  // namespace

Command AddPresetCommand(CLI::App& app) {
  auto o = std::make_shared<PresetOptions>();
  CLI::App* preset = app.add_subcommand("preset", "save, list or show preset files");
  preset->require_subcommand(1);
  // A command's footer passes to its subcommands: this one's own, not the program's.
  preset->footer(
      "Examples:\n"
      "  tolvane-host preset list\n"
      "  tolvane-host preset show Classic\n"
      "Run 'tolvane-host preset COMMAND --help' for the options of each.");
  CLI::App* save = preset->add_subcommand("save", "make an arrow and save its values as a preset file (suffix .tlv)");
  save->add_option("FILE", o->file, "the preset file")->required()->check(kNonEmpty);
  AddPluginOptions(save, &o->arrow.session);
  AddArrowOptions(save, &o->arrow.sets, &o->arrow.raw);
  save->footer("Example:\n  tolvane-host preset save long.tlv --set ARROW_SHAFT_LENGTH=600");
  CLI::App* list = preset->add_subcommand("list", "list the presets in the plug-in's presets folder: file, name, version");
  AddPluginOptions(list, &o->arrow.session);
  list->footer("Example:\n  tolvane-host preset list --release 12");
  CLI::App* show = preset->add_subcommand("show", "show a preset's header lines, version and every value, read by the module");
  show->add_option("FILE", o->file, "a preset file, or a preset of the plug-in's presets folder by its file's or its own name")
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
