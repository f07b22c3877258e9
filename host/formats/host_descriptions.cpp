#include "host_descriptions.h"

#include <map>
#include <memory>
#include <mutex>

#include "ha_ids.h"

namespace host {

namespace {

struct HostType {
  int32_t type;
  const char* word;
  const char* json;  // a description file's text
};

// Stored units as everywhere: lengths in scene units, angles in radians.
const HostType kHostTypes[] = {
    {Ospline, "spline", R"({"version": "host", "params": [
  {"id": 1002, "name": "SPLINEOBJECT_CLOSED", "type": "bool", "label": "Close spline", "group": "Object"},
  {"id": 1001, "name": "SPLINEOBJECT_INTERPOLATION", "type": "int32", "label": "Intermediate points",
   "group": "Object", "choices": [{"value": 0, "label": "None"}, {"value": 1, "label": "Natural"},
   {"value": 2, "label": "Uniform"}, {"value": 3, "label": "Adaptive"}, {"value": 4, "label": "Subdivided"}]},
  {"id": 1003, "name": "SPLINEOBJECT_POINT_COUNT", "type": "int32", "label": "Number", "group": "Object",
   "min": 0, "max": 1000},
  {"id": 1004, "name": "SPLINEOBJECT_POINT_ANGLE", "type": "float", "label": "Angle", "group": "Object",
   "unit": "degree", "min": 0, "max": 3.141592653589793},
  {"id": 1005, "name": "SPLINEOBJECT_POINT_MAX_LENGTH", "type": "float", "label": "Maximum length",
   "group": "Object", "unit": "length", "min": 0.001}
]})"},
    {Onull, "null", R"({"version": "host", "params": []})"},
    {Oextrude, "extrude", R"({"version": "host", "params": [
  {"id": 1002, "name": "EXTRUDEOBJECT_MOVE", "type": "vector", "label": "Movement", "group": "Object"},
  {"id": 2000, "name": "EXTRUDE_START_CAP", "type": "int32", "label": "Start", "group": "Caps",
   "choices": [{"value": 0, "label": "None"}, {"value": 1, "label": "Cap"}, {"value": 3, "label": "Fillet cap"}]},
  {"id": 2003, "name": "EXTRUDE_START_FILLET", "type": "int32", "label": "Start steps", "group": "Caps",
   "min": 1, "max": 64},
  {"id": 2005, "name": "EXTRUDE_START_RADIUS", "type": "float", "label": "Start radius", "group": "Caps",
   "unit": "length", "min": 0},
  {"id": 2001, "name": "EXTRUDE_END_CAP", "type": "int32", "label": "End", "group": "Caps",
   "choices": [{"value": 0, "label": "None"}, {"value": 1, "label": "Cap"}, {"value": 3, "label": "Fillet cap"}]},
  {"id": 2004, "name": "EXTRUDE_END_FILLET", "type": "int32", "label": "End steps", "group": "Caps",
   "min": 1, "max": 64},
  {"id": 2006, "name": "EXTRUDE_END_RADIUS", "type": "float", "label": "End radius", "group": "Caps",
   "unit": "length", "min": 0},
  {"id": 2009, "name": "EXTRUDE_FILLET_ON", "type": "bool", "label": "Fillet caps on", "group": "Caps"}
]})"},
    {Ocloner, "cloner", R"({"version": "host", "params": [
  {"id": 2010, "name": "CLONER_MODE", "type": "int32", "label": "Mode", "group": "Object",
   "choices": [{"value": 0, "label": "Object"}, {"value": 1, "label": "Linear"}]},
  {"id": 1015, "name": "CLONER_OBJECT_LINK", "type": "link", "label": "Object", "group": "Along an object",
   "accept": 5101},
  {"id": 1060, "name": "CLONER_OBJECT_COUNT", "type": "int32", "label": "Count", "group": "Along an object",
   "min": 1, "max": 100000},
  {"id": 1063, "name": "CLONER_OBJECT_RATE", "type": "float", "label": "Rate", "group": "Along an object",
   "unit": "percent"},
  {"id": 1270, "name": "CLONER_LINEAR_COUNT", "type": "int32", "label": "Count", "group": "Linear",
   "min": 1, "max": 100000},
  {"id": 1271, "name": "CLONER_LINEAR_STEP", "type": "vector", "label": "Step", "group": "Linear"}
]})"},
    {Osplinewrap, "splinewrap", R"({"version": "host", "params": [
  {"id": 1001, "name": "SPLINEWRAP_SPLINE", "type": "link", "label": "Spline", "group": "Object",
   "accept": 5101},
  {"id": 1012, "name": "SPLINEWRAP_MODE", "type": "int32", "label": "Mode", "group": "Object",
   "choices": [{"value": 0, "label": "Keep length"}, {"value": 1, "label": "Fit spline"}]}
]})"},
};

// Parsed once, at the first use, by the reader of the module's descriptions.
const std::map<int32_t, Description>& Parsed() {
  static std::once_flag once;
  static std::map<int32_t, Description> parsed;
  std::call_once(once, [] {
    for (const HostType& t : kHostTypes) {
      Description d;
      d.name = std::string("host ") + t.word;
      std::string error;
      // A text that does not read leaves the type without a description,
      // which the host's tests catch.
      if (ParseDescription(t.json, d.name, &d, &error)) parsed.emplace(t.type, std::move(d));
    }
  });
  return parsed;
}

}  // namespace

const Description* HostDescription(int32_t type) {
  const auto& all = Parsed();
  const auto found = all.find(type);
  return found == all.end() ? nullptr : &found->second;
}

int32_t HostTypeOfWord(const std::string& word) {
  for (const HostType& t : kHostTypes)
    if (word == t.word) return t.type;
  return 0;
}

std::string HostTypeWord(int32_t type) {
  for (const HostType& t : kHostTypes)
    if (t.type == type) return t.word;
  return "";
}

std::vector<int32_t> HostTypes() {
  std::vector<int32_t> types;
  for (const HostType& t : kHostTypes) types.push_back(t.type);
  return types;
}

}  // namespace host
