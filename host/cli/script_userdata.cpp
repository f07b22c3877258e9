#include "script_userdata.h"

#include <utility>
#include <vector>

#include "outputs.h"
#include "scenefile.h"

namespace host {

namespace {

bool CmdUserData(ScriptConsole& c, const ScriptArgs& a, ScriptError* e) {
  Object* op = c.FindObject(a[0], e);
  if (op == nullptr) return false;
  static const std::pair<const char*, int32_t> kPlain[] = {{"int", HA_TYPE_INT32},
                                                          {"float", HA_TYPE_FLOAT},
                                                          {"vector", HA_TYPE_VECTOR},
                                                          {"string", HA_TYPE_STRING},
                                                          {"link", HA_TYPE_LINK}};
  int32_t type = 0;
  for (const auto& [word, id] : kPlain)
    if (a[1] == word) type = id;
  if (type == 0) {
    const CustomTypeRef custom = FindCustomDataTypeBySymbol(a[1]);
    if (custom == nullptr) {
      std::string symbols;
      for (const CustomTypeRef& t : CustomDataTypes()) symbols += ", " + t->symbol;
      return Fail(e, "unknown data type " + Quoted(a[1]) + ": expected int, float, vector, string, link" +
                         symbols);
    }
    type = custom->id;
  }
  std::string reason;
  const int32_t id = AddUserData(op, a[2], type, &reason);
  if (id == 0) return Fail(e, "cannot add " + Quoted(a[2]) + " to " + Quoted(a[0]) + ": " + reason, kScriptFailed);
  c.Print(Json{{"object", op->Name()}, {"id", id}, {"name", a[2]}, {"type", type}});
  return true;
}

}  // namespace

Json CustomValueJson(const Value& value) {
  Json out{{"type", value.type}};
  std::vector<ha_vector> points;
  if (PointsOf(value, &points)) {
    out["points"] = Json::array();
    for (const ha_vector& p : points) out["points"].push_back(VectorJson(p));
  }
  return out;
}

void AddUserDataCommands(ScriptConsole& console) {
  ScriptCommand userdata{"userdata NAME TYPE LABEL", 3, 3, CmdUserData};
  userdata.closedToRequests = "";
  console.AddCommand("userdata", userdata);
}

}  // namespace host
