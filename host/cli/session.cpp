#include "session.h"

#include "host_descriptions.h"

#include <algorithm>
#include <cstring>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "files.h"
#include "suites.h"
#include "parse.h"
#include "plugin_folders.h"
#include "preset_header.h"
#include "safe_writer.h"
#include "outputs.h"

namespace host {

namespace {

constexpr int32_t kArrowPluginId = ID_TOLVANE;

// A parameter by name: as written, or else with the case of its letters
// ignored.
const ParamDesc* FindNamed(const Description& d, const std::string& name) {
  if (const ParamDesc* exact = d.FindByName(name)) return exact;
  for (const ParamDesc& p : d.params)
    if (SameName(p.name, name)) return &p;
  return nullptr;
}

}  // namespace

Session::Session(const SessionOptions& options) : options_(options) {
  HostOptions ho = HostOptions::ForRelease(options.release);
  if (options.hostVersion != 0) ho.interfaceVersion = options.hostVersion;
  host_ = std::make_unique<Host>(ho);
}

Session::~Session() = default;

std::string Session::PluginDir() const {
  return options_.pluginDir.empty() ? PluginFolder(options_.release) : options_.pluginDir;
}

std::string Session::FindPreset(const std::string& pathOrName, std::string* note) const {
  namespace fs = std::filesystem;
  std::error_code ec;
  if (fs::exists(fs::u8path(pathOrName), ec)) return pathOrName;
  const fs::path folder = fs::u8path(PluginDir()) / "presets";
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(folder, ec))
    if (entry.path().extension() == ".tlv" && entry.is_regular_file(ec)) files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  std::vector<fs::path> matches;
  for (const fs::path& file : files) {
    std::string presetName;
    const bool named = ReadPresetName(file.u8string(), &presetName) && SameName(presetName, pathOrName);
    if (SameName(file.filename().u8string(), pathOrName) || SameName(file.stem().u8string(), pathOrName) ||
        named)
      matches.push_back(file);
  }
  if (matches.empty()) return pathOrName;
  // A file named exactly as asked comes before one that only matches.
  const auto exact = std::find_if(matches.begin(), matches.end(), [&](const fs::path& f) {
    return f.filename().u8string() == pathOrName || f.stem().u8string() == pathOrName;
  });
  const fs::path taken = exact != matches.end() ? *exact : matches.front();
  if (matches.size() > 1 && note != nullptr) {
    std::string all;
    for (const fs::path& f : matches) all += (all.empty() ? "" : ", ") + f.filename().u8string();
    *note = "the presets " + all + " all match '" + pathOrName + "': took " + taken.u8string();
  }
  return taken.u8string();
}

bool Session::Open(std::string* error) {
  const std::string dir = PluginDir();
  if (!host_->Load(dir, error)) return false;
  const ObjectPlugin* arrow = ArrowPlugin();
  if (arrow == nullptr) {
    *error = "the module registered no arrow object";
    return false;
  }
  resources_ = ResourceFolder::Load(dir, error);
  if (resources_ == nullptr) return false;
  description_ = resources_->FindDescription(arrow->description);
  if (description_ == nullptr) {
    *error = "the resources have no description " + arrow->description;
    return false;
  }
  doc_ = host_->NewDocument();
  return true;
}

const ObjectPlugin* Session::ArrowPlugin() const { return FindObjectPlugin(kArrowPluginId); }

Object* Session::NewArrow(bool fromMenu, std::string* error) {
  return host_->CreateObject(doc_, kArrowPluginId, fromMenu, error);
}

const ParamDesc* Session::FindParam(const std::string& nameOrId) const {
  if (description_ == nullptr) return nullptr;
  long long id = 0;
  if (ParseWholeNumber(nameOrId, INT32_MIN, INT32_MAX, &id))
    return description_->FindById(static_cast<int32_t>(id));
  return FindNamed(*description_, nameOrId);
}

std::vector<std::string> Session::ParamNames(const Description* description) {
  std::vector<std::string> names;
  if (description != nullptr)
    for (const ParamDesc& p : description->params) names.push_back(p.name);
  return names;
}

std::string Session::DisabledNote(Object* op, const ParamDesc& param) {
  if (host_->IsEnabled(op, param.id)) return "";
  const Description* description = DescriptionOf(op);
  // Flips each on/off parameter in the object's data alone (no edit, no
  // message, put back at once) and asks the module again.
  std::vector<const ParamDesc*> switches;
  Container& data = op->Data();
  static const Description kNone;
  for (const ParamDesc& p : (description != nullptr ? *description : kNone).params) {
    const Value* v = data.Find(p.id);
    if (p.type != "bool" || p.id == param.id || v == nullptr || v->type != HA_TYPE_INT32) continue;
    const Value before = *v;
    data.Set(p.id, Value::Int(before.i != 0 ? 0 : 1));
    const bool enabled = host_->IsEnabled(op, param.id);
    data.Set(p.id, before);
    if (enabled) switches.push_back(&p);
  }
  if (switches.size() != 1) return param.name + " is disabled in this state: the value is kept but has no effect";
  const Value* v = data.Find(switches[0]->id);
  return param.name + " has no effect while " + switches[0]->name + " is " + (v->i != 0 ? "on" : "off");
}

const Description* Session::DescriptionOf(const Object* op) const {
  if (op == nullptr) return nullptr;
  if (op->Plugin() != nullptr && op->Plugin() == ArrowPlugin()) return description_;
  return HostDescription(op->Type());
}

const ParamDesc* Session::FindParamOf(const Object* op, const std::string& nameOrId) const {
  const Description* d = DescriptionOf(op);
  if (d == nullptr) return nullptr;
  long long id = 0;
  if (ParseWholeNumber(nameOrId, INT32_MIN, INT32_MAX, &id)) return d->FindById(static_cast<int32_t>(id));
  return FindNamed(*d, nameOrId);
}

bool Session::ParseValue(const ParamDesc& param, const std::string& text, Value* out,
                         std::string* error, EditMode mode, std::string* note) const {
  const auto bad = [&](const char* expected) {
    *error = "bad value '" + text + "' for " + param.name + ": expected " + expected;
    return false;
  };
  if (param.type == "bool") {
    int32_t flag = 0;
    if (!ParseBool(text, &flag)) return bad("true, false, 1 or 0");
    *out = Value::Int(flag);
    return true;
  }
  if (param.type == "int32" && mode == EditMode::kEditor && !param.choices.empty()) {
    int32_t choice = 0;
    if (!ParseChoice(param, text, &choice, error)) return false;
    *out = Value::Int(choice);
    return true;
  }
  if (param.type == "int32") {
    long long v = 0;
    if (!ParseWholeNumber(text, INT32_MIN, INT32_MAX, &v)) return bad("a 32-bit whole number");
    if (mode == EditMode::kEditor) {
      double limited = static_cast<double>(v);
      if (!ClampToLimits(param, text, &limited, note, error)) return false;
      v = static_cast<long long>(limited);
    }
    *out = Value::Int(static_cast<int32_t>(v));
    return true;
  }
  if (param.type == "float" && mode == EditMode::kEditor) {
    double v = 0.0;
    if (!ParseEditorNumber(param, text, &v, error) || !ClampToLimits(param, text, &v, note, error))
      return false;
    *out = Value::Real(v);
    return true;
  }
  if (param.type == "float") {
    double v = 0.0;
    if (!ParseNumber(text, &v)) return bad("a number");
    *out = Value::Real(v);
    return true;
  }
  if (param.type == "string") {
    *out = Value::Str(text);
    return true;
  }
  if (param.type == "vector") {
    double xyz[3] = {0.0, 0.0, 0.0};
    std::size_t start = 0;
    for (int k = 0; k < 3; ++k) {
      const std::size_t comma = text.find(',', start);
      if ((k < 2) == (comma == std::string::npos)) return bad("three numbers X,Y,Z");
      const std::string part = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
      if (!ParseNumber(part, &xyz[k]) || (mode == EditMode::kEditor && !std::isfinite(xyz[k])))
        return bad(mode == EditMode::kEditor ? "three finite numbers X,Y,Z" : "three numbers X,Y,Z");
      start = comma + 1;
    }
    *out = Value::Vec({xyz[0], xyz[1], xyz[2]});
    return true;
  }
  if (param.type == "link") {
    if (text == "none") {
      *out = Value::Link(0);
      return true;
    }
    if (Object* op = doc_ != nullptr ? doc_->FindNamed(text) : nullptr) {
      *out = Value::Link(op->Serial());
      return true;
    }
    return bad("the name of an object in the document, or none");
  }
  *error = param.name + " is a " + param.type + " and takes no value";
  return false;
}

bool Session::ApplySetting(Object* op, const std::string& assignment, std::string* error,
                           EditMode mode, std::string* note) {
  const std::size_t eq = assignment.find('=');
  if (eq == std::string::npos || eq == 0) {
    *error = "expected NAME=VALUE, got '" + assignment + "'";
    return false;
  }
  const std::string name = assignment.substr(0, eq);
  const ParamDesc* param = FindParam(name);
  if (param == nullptr) {
    *error = "unknown parameter '" + name + "'" + DidYouMean(name, ParamNames(description_));
    return false;
  }
  Value value;
  if (param->type == "button") {
    *error = param->name + " is a button, not a value";
    return false;
  }
  if (!ParseValue(*param, assignment.substr(eq + 1), &value, error, mode, note)) return false;
  host_->EditParameter(op, param->id, value);
  return true;
}

bool Session::PressButton(Object* op, const std::string& button, std::string* error) {
  const ParamDesc* param = FindParam(button);
  if (param == nullptr || param->type != "button") {
    *error = "unknown button '" + button + "'";
    return false;
  }
  host_->PressButton(op, param->id);
  return true;
}

bool Session::LoadPreset(Object* op, const std::string& path, std::string* error) {
  QueueDialogAnswer(path);
  const std::size_t before = host_->Messages().size();
  const bool pressed = PressButton(op, "ARROW_LOAD_PRESET", error);
  ClearDialogQueue();  // an answer no dialog took must not reach the next one
  if (!pressed) return false;
  const auto& messages = host_->Messages();
  for (std::size_t i = before; i < messages.size(); ++i) {
    if (messages[i].serial == op->Serial() && messages[i].type == HA_MSG_UPDATE) return true;
  }
  const std::string problem = FileProblem(path, false);
  *error = "the preset " + path + " could not be loaded (" +
           (problem.empty() ? "not a preset file, or cut short" : problem) +
           "); the arrow is unchanged";
  return false;
}

bool Session::SavePreset(Object* op, const std::string& path, std::string* written,
                         std::string* error) {
  // Presets always carry the suffix "tlv"; the module gives it to a name that lacks it.
  std::string target = path;
  const ha_file_suite* files = FileSuite();
  if (files->name_check_suffix(path.c_str(), "tlv") == 0) {
    ha_text named = files->name_set_suffix(path.c_str(), "tlv");
    target = host_->Table()->memory->text_get(named);
    host_->Table()->memory->text_free(named);
  }
  const std::size_t before = FilesWritten().size();
  ClearLastRenameError();
  QueueDialogAnswer(path);
  const bool pressed = PressButton(op, "ARROW_SAVE_PRESET", error);
  ClearDialogQueue();  // an answer no dialog took must not reach the next one
  if (!pressed) return false;
  const auto& done = FilesWritten();
  if (std::find(done.begin() + static_cast<std::ptrdiff_t>(before), done.end(), target) == done.end()) {
    // The file layer's reason when the last step failed, else what the
    // system shows of the target.
    const std::string problem =
        !LastRenameError().empty() ? LastRenameError() : FileProblem(target, true);
    *error = "no preset was written to " + target + (problem.empty() ? "" : ": " + problem);
    return false;
  }
  if (written != nullptr) *written = target;
  return true;
}

Json Session::ValueJson(const Value& value) const {
  switch (value.type) {
    case HA_TYPE_INT32: return value.i;
    case HA_TYPE_FLOAT: return DoubleJson(value.f);
    case HA_TYPE_VECTOR:
      return VectorJson(value.AsVector());
    case HA_TYPE_STRING: return value.AsString();
    case HA_TYPE_LINK: {
      const Object* target = value.link != 0 ? Object::FindSerial(value.link) : nullptr;
      return target != nullptr && target->Doc() != nullptr ? Json(target->Name()) : Json(nullptr);
    }
    default: return nullptr;
  }
}

Json Session::ParamsJson(Object* op) {
  Json params = Json::array();
  Json buttons = Json::array();
  const Description* description = DescriptionOf(op);
  static const Description kNone;
  for (const ParamDesc& p : (description != nullptr ? *description : kNone).params) {
    if (p.type == "button") {
      buttons.push_back(Json{{"id", p.id}, {"name", p.name}, {"label", p.label}, {"group", p.group}});
      continue;
    }
    const Value* v = op->Data().Find(p.id);
    Json value;
    if (v == nullptr) {
      value = nullptr;
    } else if (p.type == "bool") {
      value = v->type == HA_TYPE_INT32 && v->i != 0;
    } else {
      value = ValueJson(*v);
    }
    Json entry{{"id", p.id},      {"name", p.name},   {"type", p.type},
               {"value", value},  {"enabled", host_->IsEnabled(op, p.id)},
               {"label", p.label}, {"group", p.group}};
    // What the attribute editor shows beside the value.
    entry["unit"] = p.unit.empty() ? Json() : Json(p.unit);
    entry["min"] = p.min ? Json(*p.min) : Json();
    entry["max"] = p.max ? Json(*p.max) : Json();
    Json choices = Json::array();
    for (const auto& [choice, label] : p.choices) choices.push_back({{"value", choice}, {"label", label}});
    entry["choices"] = choices;
    params.push_back(entry);
  }
  return Json{{"release", options_.release}, {"params", params}, {"buttons", buttons}};
}

std::string Session::ParamsTable(Object* op) {
  const Json all = ParamsJson(op);
  std::vector<std::vector<std::string>> rows = {
      {"GROUP", "NAME", "LABEL", "VALUE", "LIMITS", "ENABLED"}};
  for (const Json& p : all["params"]) {
    const ParamDesc& d = *description_->FindById(p["id"].get<int32_t>());
    const Json& v = p["value"];
    std::string value;
    if (v.is_null()) value = "(not set)";
    else if (v.is_boolean()) value = v.get<bool>() ? "on" : "off";
    else if (v.is_number_float()) value = ShowNumber(d, v.get<double>());
    else if (v.is_number_integer() && !d.choices.empty())
      value = std::to_string(v.get<int32_t>()) + " (" + ChoiceLabel(d, v.get<int32_t>()) + ")";
    else if (v.is_string() && d.type == "float") value = v.get<std::string>();  // nan, inf
    else if (v.is_string()) value = JsonText(v);  // quoted, escaped, never malformed
    else value = JsonText(v);
    std::string limits = ShowLimits(d);
    if (!d.choices.empty()) {
      for (const auto& [choice, label] : d.choices)
        limits += (limits.empty() ? "" : " ") + std::to_string(choice) + "=" + label;
    }
    rows.push_back({d.group, d.name, d.label, value, limits.empty() ? "-" : limits,
                    p["enabled"].get<bool>() ? "yes" : "no"});
  }
  for (const Json& b : all["buttons"]) {
    rows.push_back({b["group"], b["name"], b["label"], "(button)", "-",
                    host_->IsEnabled(op, b["id"].get<int32_t>()) ? "yes" : "no"});
  }
  // Columns as wide as their widest entry (counted in characters, not bytes).
  const auto width = [](const std::string& text) {
    std::size_t n = 0;
    for (unsigned char c : text) n += (c & 0xC0) != 0x80;
    return n;
  };
  std::vector<std::size_t> widths(rows[0].size(), 0);
  for (const auto& row : rows)
    for (std::size_t i = 0; i < row.size(); ++i) widths[i] = std::max(widths[i], width(row[i]));
  std::ostringstream out;
  for (const auto& row : rows) {
    std::string line;
    for (std::size_t i = 0; i < row.size(); ++i) {
      line += row[i];
      if (i + 1 < row.size()) line += std::string(widths[i] - width(row[i]) + 2, ' ');
    }
    out << line << "\n";
  }
  return out.str();
}

bool Session::ContourOutline(Object* op, Outline* outline) {
  Object* spline = op->Type() == Ospline ? op : host_->EvaluateContour(op);
  if (spline == nullptr) return false;
  const Value* closed = spline->Data().Find(SPLINEOBJECT_CLOSED);
  outline->closed = closed != nullptr && closed->type == HA_TYPE_INT32 && closed->i != 0;
  outline->points.clear();
  for (const ha_vector& p : spline->Points()) outline->points.push_back({p.x, p.y, p.z});
  return true;
}

Json Session::ContourJson(Object* op) {
  Object* spline = host_->EvaluateContour(op);
  if (spline == nullptr) return nullptr;
  const Container& bc = spline->Data();
  const auto intOf = [&](int32_t id) {
    const Value* v = bc.Find(id);
    return v != nullptr && v->type == HA_TYPE_INT32 ? v->i : 0;
  };
  const auto realOf = [&](int32_t id) {
    const Value* v = bc.Find(id);
    return v != nullptr && v->type == HA_TYPE_FLOAT ? v->f : 0.0;
  };
  Json points = Json::array();
  for (const ha_vector& p : spline->Points())
    points.push_back(VectorJson(p));
  return Json{{"release", options_.release},
              {"closed", intOf(SPLINEOBJECT_CLOSED) != 0},
              {"spline_type", spline->SplineType()},
              {"interpolation", intOf(SPLINEOBJECT_INTERPOLATION)},
              {"intermediate_points", intOf(SPLINEOBJECT_POINT_COUNT)},
              {"angle", DoubleJson(realOf(SPLINEOBJECT_POINT_ANGLE))},
              {"max_length", DoubleJson(realOf(SPLINEOBJECT_POINT_MAX_LENGTH))},
              {"points", points}};
}

}  // namespace host
