#include "script_anim.h"

#include <cmath>
#include <string>

#include "animation.h"
#include "parse.h"
#include "scene.h"
#include "script_edit.h"

namespace host {

namespace {

bool ReadFrame(const std::string& text, int32_t* frame, ScriptError* e) {
  long long v = 0;
  if (!ParseWholeNumber(text, -kFrameLimit, kFrameLimit, &v))
    return Fail(e, "frame " + Quoted(text) + " is no whole number " + FrameLimitsText());
  *frame = static_cast<int32_t>(v);
  return true;
}

bool CmdKey(ScriptConsole& c, const ScriptArgs& a, ScriptError* e) {
  int32_t frame = 0;
  if (!ReadFrame(a[2], &frame, e)) return false;
  Interpolation interpolation = Interpolation::kLinear;
  if (a.size() == 5 && !ParseInterpolation(a[4], &interpolation))
    return Fail(e, "unknown interpolation " + Quoted(a[4]) + ": expected hold, linear or ease");
  Object* op = nullptr;
  int32_t id = 0;
  Value value;
  if (!ReadParameterValue(c, {a[0], a[1], a[3]}, EditMode::kEditor, &op, &id, &value, e)) return false;
  if (value.type != HA_TYPE_FLOAT && value.type != HA_TYPE_INT32)
    return Fail(e, "only numbers, bools and choices can be keyed, not the value " + Quoted(a[3]) + " of " +
                       Quoted(a[1]));
  if (value.type == HA_TYPE_FLOAT && !std::isfinite(value.f))
    return Fail(e, "a key holds a finite number, not " + Quoted(a[3]));
  const Value* now = op->Data().Find(id);
  if (now != nullptr && now->type != value.type)
    return Fail(e, Quoted(a[1]) + " holds a value of type " + std::to_string(now->type) + ", and " + Quoted(a[3]) +
                       " is of type " + std::to_string(value.type) + ": a key keeps its parameter's type");
  if (!KeyParameter(op, id, AnimKey{frame, value, interpolation}))
    return Fail(e, "the object's state could not be kept for undo (memory short)", kScriptFailed);
  return true;
}

bool CmdUnkey(ScriptConsole& c, const ScriptArgs& a, ScriptError* e) {
  Object* op = c.FindObject(a[0], e);
  if (op == nullptr) return false;
  int32_t id = 0, frame = 0;
  if (!ReadParameterId(c, op, a[0], a[1], &id, e) || !ReadFrame(a[2], &frame, e)) return false;
  if (!UnkeyParameter(op, id, frame))
    return Fail(e, Quoted(a[0]) + " has no key of " + Quoted(a[1]) + " at frame " + a[2]);
  return true;
}

bool CmdFrame(ScriptConsole& c, const ScriptArgs& a, ScriptError* e) {
  int32_t frame = 0;
  if (!ReadFrame(a[0], &frame, e)) return false;
  EvaluateFrame(c.LoadedSession()->Doc(), frame);
  return true;
}

bool CmdFps(ScriptConsole& c, const ScriptArgs& a, ScriptError* e) {
  double fps = 0.0;
  if (!ParseNumber(a[0], &fps) || !IsFps(fps))
    return Fail(e, "frames per second " + Quoted(a[0]) + " is no number " + kFpsLimitsText);
  c.LoadedSession()->Doc()->Time().fps = fps;
  return true;
}

bool CmdRange(ScriptConsole& c, const ScriptArgs& a, ScriptError* e) {
  int32_t first = 0, last = 0;
  if (!ReadFrame(a[0], &first, e) || !ReadFrame(a[1], &last, e)) return false;
  if (first > last) return Fail(e, "the range " + a[0] + " " + a[1] + " ends before it starts");
  TimeLine& time = c.LoadedSession()->Doc()->Time();
  time.start = first;
  time.end = last;
  return true;
}

Json TimeJson(const TimeLine& time) {
  return Json{{"fps", time.fps}, {"range", Json::array({time.start, time.end})}, {"frame", time.current}};
}

bool PrintKeys(ScriptConsole& c, const ScriptArgs& a, ScriptError* e) {
  Object* op = c.FindObject(a[0], e);
  if (op == nullptr) return false;
  Session& s = *c.LoadedSession();
  Json doc = TimeJson(s.Doc()->Time());
  doc["name"] = op->Name();
  Json params = Json::array();
  for (const auto& [id, track] : op->Keys()) {
    Json keys = Json::array();
    for (const AnimKey& key : track)
      keys.push_back(Json{{"frame", key.frame},
                          {"value", s.ValueJson(key.value)},
                          {"interpolation", InterpolationName(key.interpolation)}});
    const ParamDesc* param = s.FindParamOf(op, std::to_string(id));
    params.push_back(Json{{"id", id}, {"name", param != nullptr ? Json(param->name) : Json(nullptr)}, {"keys", keys}});
  }
  doc["params"] = params;
  c.Print(doc);
  return true;
}

bool PrintTime(ScriptConsole& c, const ScriptArgs&, ScriptError*) {
  c.Print(TimeJson(c.LoadedSession()->Doc()->Time()));
  return true;
}

}  // namespace

void AddAnimationCommands(ScriptConsole& console) {
  console.AddCommand("key", {"key NAME PARAM FRAME VALUE [hold|linear|ease]", 4, 5, CmdKey, true,
                             "a key of a parameter at a frame (one undo step); VALUE as set reads it", ""});
  console.AddCommand("unkey", {"unkey NAME PARAM FRAME", 3, 3, CmdUnkey, true,
                               "take the key of a parameter at a frame out (one undo step)", ""});
  console.AddCommand("frame", {"frame N", 1, 1, CmdFrame, true,
                               "go to frame N: every keyed parameter takes its value there", ""});
  console.AddCommand("fps", {"fps N", 1, 1, CmdFps, true, "the document's frames per second", ""});
  console.AddCommand("range", {"range A B", 2, 2, CmdRange, true, "the frames the document plays", ""});
  console.AddPrint("keys", {"print keys NAME", 1, 1, PrintKeys, true, "an object's keys and the time line", ""});
  console.AddPrint("time", {"print time", 0, 0, PrintTime, true, "the document's time line", ""});
}

}  // namespace host
