#include "session.h"

#include "host_descriptions.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "files.h"
#include "suites.h"

namespace host {

namespace {

constexpr int32_t kArrowPluginId = ID_TOLVANE;

}  // namespace

bool ParseWholeNumber(const std::string& text, long long lo, long long hi, long long* out) {
  if (text.empty() || text[0] == ' ' || text[0] == '\t') return false;
  errno = 0;
  char* end = nullptr;
  const long long v = std::strtoll(text.c_str(), &end, 10);
  if (errno != 0 || end == nullptr || *end != '\0' || v < lo || v > hi) return false;
  *out = v;
  return true;
}

bool ParseNumber(std::string text, double* out) {
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!text.empty() && blank(text.front())) text.erase(text.begin());
  while (!text.empty() && blank(text.back())) text.pop_back();
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  if (errno == ERANGE || end == nullptr || *end != '\0') return false;
  *out = v;
  return true;
}

std::string PluginsDir() {
#ifdef TOLVANE_PLUGINS_DIR
  return TOLVANE_PLUGINS_DIR;
#else
  return "plugins";
#endif
}

std::string PluginFolder(int release) {
  // TOLVANE_PLUGIN_R12 (or _R16) names another built folder of that release,
  // such as the macOS module's, so that the same tests run against it.
  const std::string variable = "TOLVANE_PLUGIN_R" + std::to_string(release);
  if (const char* folder = std::getenv(variable.c_str()); folder != nullptr && *folder != '\0') return folder;
  return (std::filesystem::path(PluginsDir()) / ("Tolvane-R" + std::to_string(release))).string();
}

bool ParseBool(const std::string& text, int32_t* out) {
  if (text == "true" || text == "1") *out = 1;
  else if (text == "false" || text == "0") *out = 0;
  else return false;
  return true;
}

bool ParseRelease(const std::string& text, int* release) {
  if (text != "16" && text != "12") return false;
  *release = text == "16" ? 16 : 12;
  return true;
}

Json DoubleJson(double value) {
  if (std::isfinite(value)) return Json(value);
  return Json(FormatDouble(value));
}

Session::Session(const SessionOptions& options) : options_(options) {
  HostOptions ho = HostOptions::ForRelease(options.release);
  if (options.hostVersion != 0) ho.interfaceVersion = options.hostVersion;
  host_ = std::make_unique<Host>(ho);
}

Session::~Session() = default;

std::string FileProblem(const std::string& path, bool forWriting) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path p = fs::u8path(path);
  if (fs::is_directory(p, ec)) return "it is a folder";
  if (!forWriting) {
    if (!fs::exists(p, ec)) return "no such file";
    std::ifstream in(p, std::ios::binary);
    return in ? "" : std::strerror(errno);
  }
  const fs::path parent = p.has_parent_path() ? p.parent_path() : fs::path(".");
  if (!fs::exists(parent, ec)) return "the folder " + parent.u8string() + " does not exist";
  if (!fs::is_directory(parent, ec)) return parent.u8string() + " is not a folder";
  return "";
}

bool ReadPresetHeader(const std::string& path, std::vector<std::string>* lines, std::string* error) {
  const std::string problem = FileProblem(path, false);
  std::ifstream in(std::filesystem::u8path(path), std::ios::binary);
  if (!problem.empty() || !in) {
    *error = "cannot read " + path + ": " + (problem.empty() ? std::strerror(errno) : problem);
    return false;
  }
  lines->clear();
  for (int k = 0; k < 3; ++k) {
    unsigned char count[4];
    if (!in.read(reinterpret_cast<char*>(count), 4)) break;
    const uint32_t n = (uint32_t{count[0]} << 24) | (uint32_t{count[1]} << 16) |
                       (uint32_t{count[2]} << 8) | count[3];
    if (n == 0 || n > 4096) break;  // header lines are short texts
    std::string text(n, '\0');
    if (!in.read(text.data(), n)) break;
    text.pop_back();  // the closing zero byte
    lines->push_back(text);
  }
  if (lines->size() != 3) {
    *error = path + " is not a preset file: it does not start with three header lines";
    return false;
  }
  return true;
}

std::string Session::PluginDir() const {
  return options_.pluginDir.empty() ? PluginFolder(options_.release) : options_.pluginDir;
}

std::string Session::FindPreset(const std::string& pathOrName) const {
  namespace fs = std::filesystem;
  std::error_code ec;
  if (fs::exists(fs::u8path(pathOrName), ec)) return pathOrName;
  const fs::path folder = fs::u8path(PluginDir()) / "presets";
  for (const std::string& name : {pathOrName, pathOrName + ".tlv"}) {
    const fs::path candidate = folder / fs::u8path(name);
    if (fs::is_regular_file(candidate, ec)) return candidate.u8string();
  }
  return pathOrName;
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
  return description_->FindByName(nameOrId);
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
  return d->FindByName(nameOrId);
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
    *error = "unknown parameter '" + name + "'";
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
  if (!PressButton(op, "ARROW_LOAD_PRESET", error)) return false;
  ClearDialogQueue();
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
  if (!PressButton(op, "ARROW_SAVE_PRESET", error)) return false;
  ClearDialogQueue();
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
      return Json::array({DoubleJson(value.AsVector().x), DoubleJson(value.AsVector().y), DoubleJson(value.AsVector().z)});
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
    points.push_back(Json::array({DoubleJson(p.x), DoubleJson(p.y), DoubleJson(p.z)}));
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
