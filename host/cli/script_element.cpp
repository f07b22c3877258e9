#include "script_element.h"

#include <memory>
#include <vector>

#include "gui.h"
#include "outputs.h"
#include "parse.h"
#include "scenefile.h"
#include "script_internal.h"

namespace host {

namespace {

bool ParseInt32(const std::string& text, int32_t* out) {
  long long v = 0;
  if (!ParseWholeNumber(text, INT32_MIN, INT32_MAX, &v)) return false;
  *out = static_cast<int32_t>(v);
  return true;
}

// What the console remembers of the element it opened.
struct GuiState {
  struct Input {
    std::string kind;
    int32_t x = 0, y = 0, key = 0;
    bool used = false;
  };
  std::vector<Input> inputs;
  // The object the console last opened an element on, until `gui close`.
  std::string opened;
};

// The open element. The host closes an element whose object leaves the
// document (undo of its creation, a scene loaded in place of the document):
// the console then says so.
ElementHost* OpenElementHost(const GuiState& state, ScriptError* e) {
  const std::vector<ElementHost*> open = OpenElements();
  if (open.empty()) {
    if (!state.opened.empty())
      Fail(e, "the interface element of " + Quoted(state.opened) +
                  " was closed: its object left the document; use gui open NAME PARAM again");
    else
      Fail(e, "no interface element is open: use gui open NAME PARAM first");
    return nullptr;
  }
  return open.back();
}

// The open element, for input: refused while its object is out of the document.
ElementHost* InputElementHost(const GuiState& state, ScriptError* e) {
  ElementHost* elementHost = OpenElementHost(state, e);
  if (elementHost != nullptr && elementHost->Target() == nullptr) {
    Fail(e, "the interface element of " + Quoted(state.opened) +
                " takes no input: its object is no longer in the document");
    return nullptr;
  }
  return elementHost;
}

const FieldInfo* FirstField(ElementHost* elementHost, std::vector<FieldInfo>* fields, ScriptError* e) {
  *fields = elementHost->Fields();
  if (fields->empty()) {
    Fail(e, "the interface element has no field", kScriptFailed);
    return nullptr;
  }
  return &fields->front();
}

bool GuiOpen(ScriptConsole& c, const ScriptArgs& a, GuiState& state, ScriptError* e) {
  if (a.size() != 3) return Fail(e, "usage: gui open NAME PARAM");
  Object* op = c.FindObject(a[1], e);
  if (op == nullptr) return false;
  // PARAM is a user-data parameter's name or ID; naming one the object does
  // not have is a mistake in the script, whichever way it is named.
  int32_t id = 0;
  bool known = false;
  for (const UserDataDesc& d : op->UserData()) {
    int32_t asId = 0;
    if (d.name == a[2] || (ParseInt32(a[2], &asId) && asId == d.id)) {
      id = d.id;
      known = true;
      break;
    }
  }
  if (!known) return Fail(e, Quoted(a[1]) + " has no user data parameter " + Quoted(a[2]));
  for (ElementHost* open : OpenElements()) CloseElement(open);
  state.inputs.clear();
  state.opened.clear();
  std::string reason;
  if (OpenElement(op, id, &reason) == nullptr)
    return Fail(e, "cannot open the element of " + Quoted(a[2]) + ": " + reason, kScriptFailed);
  state.opened = op->Name();
  return true;
}

bool GuiClick(const ScriptArgs& a, GuiState& state, ScriptError* e) {
  int32_t x = 0, y = 0;
  if (a.size() != 3 || !ParseInt32(a[1], &x) || !ParseInt32(a[2], &y))
    return Fail(e, "usage: gui click X Y (whole numbers)");
  ElementHost* elementHost = InputElementHost(state, e);
  if (elementHost == nullptr) return false;
  std::vector<FieldInfo> fields;
  const FieldInfo* field = FirstField(elementHost, &fields, e);
  if (field == nullptr) return false;
  const int64_t wx = static_cast<int64_t>(field->x) + x, wy = static_cast<int64_t>(field->y) + y;
  if (wx < INT32_MIN || wx > INT32_MAX || wy < INT32_MIN || wy > INT32_MAX)
    return Fail(e, "position " + a[1] + " " + a[2] + " lies outside the window");
  const bool used = elementHost->Click(static_cast<int32_t>(wx), static_cast<int32_t>(wy));
  state.inputs.push_back({"click", x, y, 0, used});
  return true;
}

bool GuiKey(const ScriptArgs& a, GuiState& state, ScriptError* e) {
  int32_t key = ' ';
  if (a.size() > 2) return Fail(e, "usage: gui key [KEY]");
  if (a.size() == 2) {
    if (a[1].size() == 1) key = static_cast<unsigned char>(a[1][0]);
    else if (!ParseInt32(a[1], &key)) return Fail(e, "bad key " + Quoted(a[1]) + ": one character or a key code");
  }
  ElementHost* elementHost = InputElementHost(state, e);
  if (elementHost == nullptr) return false;
  state.inputs.push_back({"key", 0, 0, key, elementHost->Key(key)});
  return true;
}

bool GuiPng(const ScriptArgs& a, const GuiState& state, ScriptError* e) {
  if (a.size() != 2) return Fail(e, "usage: gui png FILE");
  ElementHost* elementHost = OpenElementHost(state, e);
  if (elementHost == nullptr) return false;
  std::vector<FieldInfo> fields;
  const FieldInfo* field = FirstField(elementHost, &fields, e);
  if (field == nullptr) return false;
  std::string reason;
  if (!WritePng(*elementHost->FieldRaster(field->id), a[1], &reason)) return Fail(e, reason, kScriptFailed);
  return true;
}

bool CmdGui(ScriptConsole& c, const ScriptArgs& a, GuiState& state, ScriptError* e) {
  if (a[0] == "open") return GuiOpen(c, a, state, e);
  if (a[0] == "click") return GuiClick(a, state, e);
  if (a[0] == "key") return GuiKey(a, state, e);
  if (a[0] == "png") return GuiPng(a, state, e);
  if (a[0] == "close") {
    if (a.size() != 1) return Fail(e, "usage: gui close");
    ElementHost* elementHost = OpenElementHost(state, e);
    if (elementHost == nullptr) return false;
    CloseElement(elementHost);
    state.inputs.clear();
    state.opened.clear();
    return true;
  }
  return Fail(e, "unknown gui command " + Quoted(a[0]) + ": expected open, click, key, png or close");
}

bool PrintGui(ScriptConsole& c, GuiState& state, ScriptError* e) {
  ElementHost* elementHost = OpenElementHost(state, e);
  if (elementHost == nullptr) return false;
  std::vector<FieldInfo> fields;
  const FieldInfo* field = FirstField(elementHost, &fields, e);
  if (field == nullptr) return false;
  Json points = nullptr;
  Value value;
  std::vector<ha_vector> list;
  if (elementHost->TakeValue(&value, nullptr) && PointsOf(value, &list)) {
    points = Json::array();
    for (const ha_vector& p : list) points.push_back(VectorJson(p));
  }
  Json inputs = Json::array();
  for (const GuiState::Input& in : state.inputs) {
    Json entry{{"kind", in.kind}};
    if (in.kind == "click") {
      entry["x"] = in.x;
      entry["y"] = in.y;
    } else {
      entry["key"] = in.key;
    }
    entry["used"] = in.used;
    inputs.push_back(entry);
  }
  const Object* op = elementHost->Target();
  c.Print(Json{{"object", op != nullptr ? Json(op->Name()) : Json(nullptr)},
               {"param", elementHost->ParamId()},
               {"element", elementHost->Plugin() != nullptr ? elementHost->Plugin()->id : 0},
               {"field",
                Json{{"x", field->x}, {"y", field->y}, {"width", field->width}, {"height", field->height}}},
               {"points", points},
               {"inputs", inputs}});
  return true;
}

}  // namespace

void AddElementCommands(ScriptConsole& console) {
  auto state = std::make_shared<GuiState>();
  ScriptCommand gui{"gui open NAME PARAM | gui click X Y | gui key [KEY] | gui png FILE | gui close", 1, 3,
                    [state](ScriptConsole& c, const ScriptArgs& a, ScriptError* e) { return CmdGui(c, a, *state, e); }};
  gui.closedToRequests = kOpenToRequests;
  console.AddCommand("gui", gui);
  // The picture is its own entry: it names a file.
  ScriptCommand png{"gui png FILE", 1, 1, [state](ScriptConsole&, const ScriptArgs& a, ScriptError* e) {
                      return GuiPng({"png", a[0]}, *state, e);
                    }};
  png.closedToRequests = kNamesAFile;
  console.AddCommand("gui png", png);
  ScriptCommand print{"print gui", 0, 0, [state](ScriptConsole& c, const ScriptArgs&, ScriptError* e) {
                        return PrintGui(c, *state, e);
                      }};
  print.closedToRequests = kOpenToRequests;
  console.AddPrint("gui", print);
}

}  // namespace host
