#include "attribute_editor.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <vector>

#include "session.h"
#include "parse.h"

namespace host {

namespace {

constexpr double kPi = 3.14159265358979323846;

// The units the editor shows: a stored number times `factor` is what a user
// reads, followed by `suffix` ("25%"); `typed` are what a user may write
// after a number to give it in that unit.
const EditorUnit kUnits[] = {
    {"length", "u", 1.0, {}},
    {"percent", "%", 100.0, {"%"}},
    {"degree", "\xC2\xB0", 180.0 / kPi, {"deg", "\xC2\xB0"}},  // "°" in UTF-8
};

const EditorUnit* UnitOf(const ParamDesc& param) {
  for (const EditorUnit& u : kUnits)
    if (param.unit == u.name) return &u;
  return nullptr;
}

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// A number in a user's unit to the stored unit, and back (written out, so
// that every build rounds them alike).
double FromShown(const ParamDesc& param, double shown) {
  if (param.unit == "percent") return shown / 100.0;
  if (param.unit == "degree") return shown * kPi / 180.0;
  return shown;
}

double ToShown(const ParamDesc& param, double stored) {
  if (param.unit == "percent") return stored * 100.0;
  if (param.unit == "degree") return stored * 180.0 / kPi;
  return stored;
}

// A number as short as it reads well: whole numbers without a fraction,
// others with up to 12 significant digits.
std::string Short(double value) {
  if (!std::isfinite(value)) return FormatDouble(value);
  char text[64];
  std::snprintf(text, sizeof text, "%.12g", value);
  return text;
}

// What follows a number the editor writes (a typed suffix, plain ASCII).
std::string UnitSuffix(const ParamDesc& param) {
  const EditorUnit* u = UnitOf(param);
  return u == nullptr || u->typed.empty() ? "" : u->typed.front();
}

}  // namespace

bool ParseEditorNumber(const ParamDesc& param, const std::string& text, double* out,
                       std::string* error) {
  // The unit the editor shows may follow the number.
  const EditorUnit* unit = UnitOf(param);
  const std::vector<std::string> suffixes = unit != nullptr ? unit->typed : std::vector<std::string>();
  std::string number = text;
  bool shownUnit = false;
  for (const std::string& suffix : suffixes) {
    if (EndsWith(number, suffix)) {
      number.erase(number.size() - suffix.size());
      shownUnit = true;
      break;
    }
  }
  double v = 0.0;
  if (!ParseNumber(number, &v)) {
    // strtod's "out of range": a number too large for a double is beyond
    // every limit rather than not a number.
    char* end = nullptr;
    const double huge = std::strtod(number.c_str(), &end);
    if (end == number.c_str() || *end != '\0' || !std::isinf(huge)) {
      std::string expected = "a number";
      if (param.unit == "percent") expected += " (as a fraction, or in percent: 50%)";
      if (param.unit == "degree") expected += " (in radians, or in degrees: 5deg)";
      *error = "bad value '" + text + "' for " + param.name + ": expected " + expected;
      return false;
    }
    v = huge;
  }
  *out = shownUnit ? FromShown(param, v) : v;
  return true;
}

bool ClampToLimits(const ParamDesc& param, const std::string& typed, double* value,
                   std::string* note, std::string* error) {
  if (std::isnan(*value)) {
    *error = "bad value '" + typed + "' for " + param.name +
             ": the attribute editor takes numbers only";
    return false;
  }
  const auto moved = [&](const char* side, double limit) {
    if (note != nullptr) {
      const std::string unit = UnitSuffix(param);
      *note = param.name + ": " + typed + " is " + side + " " + Short(limit);
      if (!unit.empty()) *note += " (" + Short(ToShown(param, limit)) + unit + ")";
      *note += ", set to " + Short(limit);
    }
    *value = limit;
    return true;
  };
  if (param.min && *value < *param.min) return moved("below the minimum", *param.min);
  if (param.max && *value > *param.max) return moved("above the maximum", *param.max);
  if (std::isinf(*value)) {
    *error = "bad value '" + typed + "' for " + param.name +
             ": the attribute editor takes finite numbers only";
    return false;
  }
  return true;
}

bool ParseChoice(const ParamDesc& param, const std::string& text, int32_t* out, std::string* error) {
  long long v = 0;
  const bool number = ParseWholeNumber(text, INT32_MIN, INT32_MAX, &v);
  std::string list;
  for (const auto& [value, label] : param.choices) {
    if ((number && value == v) || (!number && label == text)) {
      *out = value;
      return true;
    }
    list += (list.empty() ? "" : ", ") + std::to_string(value) + " (" + label + ")";
  }
  *error = "bad value '" + text + "' for " + param.name + ": expected one of the choices " + list;
  return false;
}

std::string ShowNumber(const ParamDesc& param, double stored) {
  return Short(ToShown(param, stored)) + UnitSuffix(param);
}

std::string ShowSingle(const ParamDesc& param, double stored, bool inUnit) {
  if (!std::isfinite(stored)) return FormatDouble(stored);
  const EditorUnit* u = inUnit ? UnitOf(param) : nullptr;
  const double factor = u != nullptr ? u->factor : 1.0;
  const float wanted = static_cast<float>(stored);
  const auto readsBack = [&](const char* text) {
    return static_cast<float>(std::strtod(text, nullptr) / factor) == wanted;
  };
  // Plain decimals while they stay short, else the fewest significant digits.
  char text[400] = "";
  bool found = false;
  for (int decimals = 0; decimals <= 12 && !found && std::fabs(stored * factor) < 1e15; ++decimals) {
    std::snprintf(text, sizeof text, "%.*f", decimals, stored * factor);
    found = readsBack(text);
  }
  for (int digits = 1; digits <= 17 && !found; ++digits) {
    std::snprintf(text, sizeof text, "%.*g", digits, stored * factor);
    found = readsBack(text);
  }
  std::string shown = text;
  if (u == nullptr && shown.find_first_of(".e") == std::string::npos) shown += ".0";
  return shown + (u != nullptr ? UnitSuffix(param) : "");
}

std::string ShowLimits(const ParamDesc& param) {
  const std::string unit = UnitSuffix(param);
  if (param.min && param.max)
    return Short(ToShown(param, *param.min)) + " .. " + Short(ToShown(param, *param.max)) + unit;
  if (param.min) return ">= " + Short(ToShown(param, *param.min)) + unit;
  if (param.max) return "<= " + Short(ToShown(param, *param.max)) + unit;
  return "";
}

const std::vector<EditorUnit>& EditorUnits() {
  static const std::vector<EditorUnit> units(std::begin(kUnits), std::end(kUnits));
  return units;
}

std::string ChoiceLabel(const ParamDesc& param, int32_t value) {
  for (const auto& [v, label] : param.choices) {
    if (v == value) return label;
  }
  return "";
}

}  // namespace host
