// The attribute editor's reading and showing of parameter values, taken from
// a parameter's description: units, limits and choices.
//
// Values are stored in the description's units: lengths in scene units,
// percentages as fractions, angles in radians. The editor shows and takes
// them in the unit a user reads ("25%", "5deg"), keeps numbers inside the
// description's limits (a number beyond a limit becomes that limit, and the
// caller is told so), and takes only the listed choices.
#ifndef HOST_ATTRIBUTE_EDITOR_H
#define HOST_ATTRIBUTE_EDITOR_H

#include <string>
#include <vector>

#include "model.h"
#include "resources.h"

namespace host {

// How a typed value is taken.
enum class EditMode {
  kEditor,  // the attribute editor's way: units, limits, choices
  kRaw,     // stored as typed, in stored units, with no limits (nan and inf too)
};

// Reads a number in the description's stored unit from `text` as the editor
// takes it: "50%" for percentages, "5deg" (or "5°") for angles, a plain
// number in stored units otherwise. Answers false with the reason (naming
// the parameter and the text) when it is not such a number.
bool ParseEditorNumber(const ParamDesc& param, const std::string& text, double* out,
                       std::string* error);

// Keeps a number inside the description's limits. When it had to move,
// `note` says so ("ARROW_HEAD_TAPER: 50 is above the maximum 1, set to 1")
// with `typed` as the user wrote it; otherwise `note` is left alone. A
// number that is not finite and has no limit to take is refused.
bool ClampToLimits(const ParamDesc& param, const std::string& typed, double* value,
                   std::string* note, std::string* error);

// A choice by its value or its label ("2" or "XZ"); false with the list of
// choices when it is neither.
bool ParseChoice(const ParamDesc& param, const std::string& text, int32_t* out, std::string* error);

// A stored number as the editor shows it: "25%", "5deg", "400".
std::string ShowNumber(const ParamDesc& param, double stored);
// A single-precision stored number as the shortest text that reads back to
// the same float: in stored units ("0.3") or, with `inUnit`, in the unit the
// editor shows ("30%", "5deg"). Whole numbers in stored units keep ".0".
std::string ShowSingle(const ParamDesc& param, double stored, bool inUnit);
// The limits as the editor shows them ("0 .. 100%", ">= 0"); empty when none.
std::string ShowLimits(const ParamDesc& param);
// The label of a choice value; empty when the value is not a choice.
std::string ChoiceLabel(const ParamDesc& param, int32_t value);

// A unit of the descriptions as the editor shows it: a stored number times
// `factor` is the number shown, followed by `shown` ("%", "°", "u"); a user
// may write one of `typed` after a number to give it in that unit.
struct EditorUnit {
  std::string name;  // the description's "unit": "length", "percent", "degree"
  std::string shown;
  double factor = 1.0;
  std::vector<std::string> typed;
};
const std::vector<EditorUnit>& EditorUnits();

}  // namespace host

#endif
