#include "script_print.h"

#include <cstdint>
#include <string>
#include <vector>

#include "custom_values.h"
#include "files.h"
#include "host_descriptions.h"
#include "outputs.h"
#include "parse.h"
#include "script_internal.h"
#include "script_userdata.h"

namespace host {

namespace {

// A name for an object the host may still hold: null when it is gone.
Json NameOrNull(const Document* doc, const Object* op) {
  if (op == nullptr || !(doc->Owns(op) || IsLoose(op))) return nullptr;
  return op->Name();
}

// The tree; with `serials` each object also carries its identity, the
// number by which @N names it whatever its name.
Json TreeJson(const Object* first, bool serials) {
  Json list = Json::array();
  for (const Object* op = first; op != nullptr; op = op->Next()) {
    Json node{{"name", op->Name()}, {"type", op->Type()}};
    if (serials) node["serial"] = op->Serial();
    node["children"] = TreeJson(op->Down(), serials);
    list.push_back(node);
  }
  return list;
}

bool PrintTree(ScriptConsole& c, const ScriptArgs& a, ScriptError* e) {
  if (!a.empty() && a[0] != "serials") return Fail(e, "usage: print tree [serials]");
  c.Print(TreeJson(c.LoadedSession()->Doc()->First(), !a.empty()));
  return true;
}

bool PrintParams(ScriptConsole& c, const ScriptArgs& a, ScriptError* e) {
  Object* op = c.FindObject(a[0], e);
  if (op == nullptr) return false;
  Session& s = *c.LoadedSession();
  Json params = Json::object();
  if (a.size() == 2) {
    // An arrow's parameters by name, in the attribute editor's order.
    if (a[1] != "names") return Fail(e, "usage: print params NAME [names]");
    if (!c.IsArrow(op)) return Fail(e, Quoted(a[0]) + " is not an arrow: only arrows have named parameters");
    const Json all = s.ParamsJson(op);
    for (const Json& p : all["params"]) params[p["name"].get<std::string>()] = p["value"];
    c.Print(Json{{"name", op->Name()}, {"type", op->Type()}, {"params", params}});
    return true;
  }
  for (const auto& [id, value] : op->Data().Entries()) {
    const bool known = value.type == HA_TYPE_INT32 || value.type == HA_TYPE_FLOAT ||
                       value.type == HA_TYPE_VECTOR || value.type == HA_TYPE_STRING ||
                       value.type == HA_TYPE_LINK;
    params[std::to_string(id)] = known ? s.ValueJson(value) : CustomValueJson(value);
  }
  c.Print(Json{{"name", op->Name()}, {"type", op->Type()}, {"params", params}});
  return true;
}

// `print editor NAME`: the object's attribute editor, every parameter of
// its description with its value and whether it is enabled, and the buttons.
bool PrintAttributeEditor(ScriptConsole& c, const ScriptArgs& a, ScriptError* e) {
  Object* op = c.FindObject(a[0], e);
  if (op == nullptr) return false;
  Session& s = *c.LoadedSession();
  if (s.DescriptionOf(op) == nullptr)
    return Fail(e, Quoted(a[0]) + " has no description: its parameters are shown by 'print params'");
  Json editor = s.ParamsJson(op);
  editor["name"] = op->Name();
  editor["serial"] = op->Serial();
  editor["type"] = op->Type();
  c.Print(editor);
  return true;
}

Json DescriptionJson(const Description& d) {
  Json params = Json::array();
  for (const ParamDesc& p : d.params) {
    Json entry{{"id", p.id}, {"name", p.name}, {"type", p.type}, {"label", p.label}, {"group", p.group}};
    if (!p.unit.empty()) entry["unit"] = p.unit;
    if (p.min) entry["min"] = DoubleJson(*p.min);
    if (p.max) entry["max"] = DoubleJson(*p.max);
    if (p.step) entry["step"] = DoubleJson(*p.step);
    if (!p.choices.empty()) {
      Json choices = Json::array();
      for (const auto& [value, label] : p.choices) choices.push_back(Json{{"value", value}, {"label", label}});
      entry["choices"] = choices;
    }
    if (p.type == "link") entry["accept"] = p.accept;
    params.push_back(entry);
  }
  return params;
}

// The object types a description can be asked for, by the console's words.
Json TypesJson() {
  Json types = Json::object();
  types[std::to_string(ID_TOLVANE)] = "arrow";
  for (int32_t type : HostTypes()) types[std::to_string(type)] = HostTypeWord(type);
  return types;
}

// The units the editor shows: a stored number times `factor` is shown,
// followed by `text`.
Json UnitsJson() {
  Json units = Json::object();
  for (const EditorUnit& u : EditorUnits()) {
    Json typed = Json::array();
    for (const std::string& t : u.typed) typed.push_back(t);
    units[u.name] = Json{{"text", u.shown}, {"factor", u.factor}, {"typed", typed}};
  }
  return units;
}

// `print description [TYPE]`: the arrow's description (or a host object
// type's), in the attribute editor's order, with the object types and the
// units the editor shows.
bool PrintDescription(ScriptConsole& c, const ScriptArgs& a, ScriptError* e) {
  const Session& s = *c.LoadedSession();
  int32_t type = ID_TOLVANE;
  if (!a.empty() && a[0] != "arrow") {
    long long number = 0;
    type = ParseWholeNumber(a[0], INT32_MIN, INT32_MAX, &number) ? static_cast<int32_t>(number)
                                                                  : HostTypeOfWord(a[0]);
  }
  const Description* d = type == ID_TOLVANE ? s.ArrowDescription() : HostDescription(type);
  if (d == nullptr)
    return Fail(e, "no description of " + Quoted(a[0]) + ": expected arrow, spline, null, extrude, cloner, "
                   "splinewrap or one of their type numbers");
  c.Print(Json{{"release", s.Release()},
               {"name", d->name},
               {"type", type},
               {"kind", type == ID_TOLVANE ? std::string("arrow") : HostTypeWord(type)},
               {"arrow_type", ID_TOLVANE},
               {"any_object", Obase},  // a link that accepts it takes any object
               {"params", DescriptionJson(*d)},
               {"types", TypesJson()},
               {"units", UnitsJson()}});
  return true;
}

// `print userdata NAME`: the object's user-data parameters.
bool PrintUserData(ScriptConsole& c, const ScriptArgs& a, ScriptError* e) {
  Object* op = c.FindObject(a[0], e);
  if (op == nullptr) return false;
  Json list = Json::array();
  for (const UserDataDesc& d : op->UserData()) {
    Json entry{{"id", d.id}, {"name", d.name}, {"type", d.type}};
    const CustomTypeRef custom = FindCustomDataType(d.type);
    entry["symbol"] = custom != nullptr ? Json(custom->symbol) : Json(nullptr);
    list.push_back(entry);
  }
  c.Print(list);
  return true;
}

bool PrintContour(ScriptConsole& c, const ScriptArgs& a, ScriptError* e) {
  Object* op = c.FindObject(a[0], e);
  if (op == nullptr) return false;
  c.Print(c.LoadedSession()->ContourJson(op));
  return true;
}

bool PrintConsole(ScriptConsole& c, const ScriptArgs&, ScriptError*) {
  c.Print(Json(c.LoadedSession()->GetHost().Console()));
  return true;
}

bool PrintBoxes(ScriptConsole& c, const ScriptArgs&, ScriptError*) {
  c.Print(Json(c.LoadedSession()->GetHost().MessageBoxes()));
  return true;
}

Json StepsJson(const Document* doc, const std::vector<UndoStep>& steps) {
  Json list = Json::array();
  for (const UndoStep& step : steps) {
    Json entries = Json::array();
    for (const UndoEntry& entry : step.entries)
      entries.push_back(Json{{"kind", entry.kind}, {"object", NameOrNull(doc, entry.object)}});
    list.push_back(entries);
  }
  return list;
}

bool PrintUndo(ScriptConsole& c, const ScriptArgs&, ScriptError*) {
  const Document* doc = c.LoadedSession()->Doc();
  c.Print(Json{{"undo", StepsJson(doc, doc->UndoSteps())}, {"redo", StepsJson(doc, doc->RedoSteps())}});
  return true;
}

bool PrintMessages(ScriptConsole& c, const ScriptArgs&, ScriptError*) {
  Json list = Json::array();
  for (const MessageRecord& m : c.LoadedSession()->GetHost().Messages()) {
    // The object's name now when it still exists (objects are renamed after
    // they were made), else the name it had.
    const Object* op = Object::FindSerial(m.serial);
    list.push_back(Json{{"object", op != nullptr ? op->Name() : m.name}, {"type", m.type}});
  }
  c.Print(list);
  return true;
}

bool PrintSelection(ScriptConsole& c, const ScriptArgs&, ScriptError*) {
  Document* doc = c.LoadedSession()->Doc();
  Json selected = Json::array();
  for (const Object* op : doc->Selection())
    if (op->InTree()) selected.push_back(op->Name());
  const Object* active = doc->Active();
  c.Print(Json{{"active", active != nullptr ? Json(active->Name()) : Json(nullptr)},
               {"selected", selected}});
  return true;
}

bool PrintDialogs(ScriptConsole& c, const ScriptArgs&, ScriptError*) {
  Json list = Json::array();
  for (const DialogShown& d : DialogsShown()) {
    list.push_back(Json{{"mode", d.mode == HA_FILESELECT_SAVE ? "save" : "load"},
                        {"title", d.title},
                        {"start", d.start},
                        {"answer", d.answered ? Json(d.answer) : Json(nullptr)}});
  }
  c.Print(list);
  return true;
}

}  // namespace

// What `print` can show; the words after the subject are its arguments.
// Every subject is open to requests.
void AddPrintSubjects(ScriptConsole& console) {
  console.AddPrint("tree", {"print tree [serials]", 0, 1, PrintTree, true,
                            "the object tree; serials: with each object's identity (@N names it)", kOpenToRequests});
  console.AddPrint("params", {"print params NAME [names]", 1, 2, PrintParams, true,
                              "an object's parameters by numeric ID; names: an arrow's by ARROW_ name",
                              kOpenToRequests});
  console.AddPrint("editor", {"print editor NAME", 1, 1, PrintAttributeEditor, true,
                              "the attribute editor of an object with a description: every parameter's value, unit, "
                              "limits, choices and whether it is enabled, and the buttons",
                              kOpenToRequests});
  console.AddPrint("description", {"print description [TYPE]", 0, 1, PrintDescription, true,
                                   "the description of an object type (the arrow's when none is named: arrow, "
                                   "spline, null, extrude, cloner, splinewrap or a type number), with the units the "
                                   "editor shows",
                                   kOpenToRequests});
  console.AddPrint("userdata", {"print userdata NAME", 1, 1, PrintUserData, true, "an object's user-data parameters",
                                kOpenToRequests});
  console.AddPrint("contour", {"print contour NAME", 1, 1, PrintContour, true,
                               "the object's outline as the host evaluates it", kOpenToRequests});
  console.AddPrint("console", {"print console", 0, 0, PrintConsole, true, "the host console's lines", kOpenToRequests});
  console.AddPrint("undo", {"print undo", 0, 0, PrintUndo, true, "the undo and redo stacks", kOpenToRequests});
  console.AddPrint("messages", {"print messages", 0, 0, PrintMessages, true, "the object messages delivered",
                                kOpenToRequests});
  console.AddPrint("boxes", {"print boxes", 0, 0, PrintBoxes, true, "the message boxes shown", kOpenToRequests});
  console.AddPrint("selection", {"print selection", 0, 0, PrintSelection, true, "the active and the selected objects",
                                 kOpenToRequests});
  console.AddPrint("dialogs", {"print dialogs", 0, 0, PrintDialogs, true, "the file dialogs the module asked for",
                               kOpenToRequests});
}

}  // namespace host
