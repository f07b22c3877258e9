#include "script.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <istream>
#include <ostream>
#include <utility>

#include "custom_values.h"
#include "files.h"
#include "host_descriptions.h"
#include "script_element.h"
#include "script_anim.h"
#include "script_scene.h"
#include "script_userdata.h"
#include "parse.h"
#include "outputs.h"

namespace host {

namespace {

// The names the console gives must stay reachable by name and by path, and
// never read as an object's identity (@12).
bool CheckNewName(const std::string& name, ScriptError* error) {
  if (name.empty() || name.find('/') != std::string::npos)
    return Fail(error, "an object name must not be empty or contain '/': " + Quoted(name));
  if (name[0] == '@')
    return Fail(error, "an object name must not start with '@' (@N names the object with serial N): " +
                           Quoted(name));
  return true;
}

// A name for an object the host may still hold: null when it is gone.
Json NameOrNull(const Document* doc, const Object* op) {
  if (op == nullptr || !(doc->Owns(op) || IsLoose(op))) return nullptr;
  return op->Name();
}

// --- commands ----------------------------------------------------------------

bool ParseRelease(const std::string& text, int* release, ScriptError* error) {
  if (!host::ParseRelease(text, release)) return Fail(error, "the release is 16 or 12, not " + Quoted(text));
  return true;
}

bool CmdPlugin(ScriptConsole& c, const ScriptArgs& a, ScriptError* e) {
  SessionOptions options;
  if (a[0] == "release") {
    if (a.size() != 2) return Fail(e, "usage: plugin release 16|12");
    if (!ParseRelease(a[1], &options.release, e)) return false;
  } else {
    options.pluginDir = a[0];
    if (a.size() == 2 || (a.size() == 3 && a[1] != "release"))
      return Fail(e, "usage: plugin DIR [release 16|12]");
    if (a.size() == 3 && !ParseRelease(a[2], &options.release, e)) return false;
  }
  // Loading here makes a folder that does not load fail at this line.
  return c.ChoosePlugin(options, e) && c.GetSession(e) != nullptr;
}

bool Created(Object* op, const std::string& what, const std::string& name,
             const std::string& reason, ScriptError* e) {
  if (op == nullptr)
    return Fail(e, "cannot make " + what + " " + Quoted(name) + ": " + reason, kScriptFailed);
  op->SetName(name);
  return true;
}

bool CmdArrow(ScriptConsole& c, const ScriptArgs& a, ScriptError* e) {
  if (!CheckNewName(a[0], e)) return false;
  if (a.size() == 2 && a[1] != "menu") return Fail(e, "usage: arrow NAME [menu]");
  std::string reason;
  Object* op = c.LoadedSession()->NewArrow(a.size() == 2, &reason);
  return Created(op, "arrow", a[0], reason, e);
}

bool CmdObject(ScriptConsole& c, const ScriptArgs& a, ScriptError* e) {
  static const std::map<std::string, int32_t> kKinds = {{"spline", Ospline},
                                                       {"null", Onull},
                                                       {"extrude", Oextrude},
                                                       {"cloner", Ocloner},
                                                       {"splinewrap", Osplinewrap}};
  const auto kind = kKinds.find(a[0]);
  if (kind == kKinds.end())
    return Fail(e, "unknown object kind " + Quoted(a[0]) +
                       ": expected spline, null, extrude, cloner or splinewrap");
  if (!CheckNewName(a[1], e)) return false;
  Session& s = *c.LoadedSession();
  std::string reason;
  Object* op = s.GetHost().CreateObject(s.Doc(), kind->second, false, &reason);
  return Created(op, a[0], a[1], reason, e);
}

bool CmdMove(ScriptConsole& c, const ScriptArgs& a, ScriptError* e) {
  const char* usage = "usage: move NAME top | move NAME under PARENT [first|last]";
  const bool top = a[1] == "top";
  if (top ? a.size() != 2 : (a[1] != "under" || a.size() < 3)) return Fail(e, usage);
  const bool last = a.size() == 4 && a[3] == "last";
  if (a.size() == 4 && !last && a[3] != "first") return Fail(e, usage);
  Object* op = c.FindObject(a[0], e);
  if (op == nullptr) return false;
  Object* parent = nullptr;
  if (!top) {
    parent = c.FindObject(a[2], e);
    if (parent == nullptr) return false;
    for (Object* p = parent; p != nullptr; p = p->Up()) {
      if (p == op)
        return Fail(e, "cannot move " + Quoted(a[0]) + " under " + Quoted(a[2]) +
                           (parent == op ? ": that is the object itself"
                                         : ": that is inside the object"));
    }
  }
  // The object manager's move is an undo step of the host's own.
  Document* doc = c.LoadedSession()->Doc();
  doc->StartUndo();
  doc->AddUndo(HA_UNDO_CHANGE, op);
  if (top) doc->Insert(op, nullptr, nullptr);
  else if (last) Document::InsertUnderLast(op, parent);
  else Document::InsertUnder(op, parent);
  doc->EndUndo();
  return true;
}

bool CmdSelect(ScriptConsole& c, const ScriptArgs& a, ScriptError* e) {
  Object* op = c.FindObject(a[0], e);
  if (op == nullptr) return false;
  Document* doc = c.LoadedSession()->Doc();
  doc->Selection() = {op};
  doc->SetActive(op);
  return true;
}

// Whether a value is written with its type ("int:3", "vector:1,2,3").
bool IsTypedValue(const std::string& text) {
  for (const char* prefix : {"int:", "float:", "bool:", "vector:", "string:", "link:"})
    if (text.rfind(prefix, 0) == 0) return true;
  return false;
}

// A parameter of the object's description; the value is read by its type.
bool DescribedEdit(ScriptConsole& c, Object* op, const ScriptArgs& a, EditMode mode, int32_t* id, Value* value,
                   ScriptError* e) {
  Session& s = *c.LoadedSession();
  const ParamDesc* param = s.FindParamOf(op, a[1]);
  const std::string whose = c.IsArrow(op) ? "the arrow" : Quoted(a[0]);
  if (param == nullptr)
    return Fail(e, "unknown parameter " + Quoted(a[1]) + " of " + whose +
                       DidYouMean(a[1], Session::ParamNames(s.DescriptionOf(op))) + " ('print editor " +
                       a[0] + "' lists every name)");
  *id = param->id;
  if (param->type == "button") return Fail(e, param->name + " is a button: press it instead");
  if (param->type != "link") {
    std::string reason, note;
    if (!s.ParseValue(*param, a[2], value, &reason, mode, &note)) return Fail(e, reason);
    if (!note.empty()) c.Note(note);
    return true;
  }
  if (a[2] == "none") {
    *value = Value::Link(0);
    return true;
  }
  Object* target = c.FindObject(a[2], e);
  if (target == nullptr) return false;
  if (param->accept != 0 && param->accept != Obase && target->Type() != param->accept)
    return Fail(e, param->name + " takes objects of type " + std::to_string(param->accept) + ", not " +
                       Quoted(a[2]) + " of type " + std::to_string(target->Type()));
  *value = Value::Link(target->Serial());
  return true;
}

bool NumericId(const std::string& text, int32_t* id, const std::string& objectName,
               ScriptError* e) {
  long long v = 0;
  if (!ParseWholeNumber(text, INT32_MIN, INT32_MAX, &v))
    return Fail(e, "unknown parameter " + Quoted(text) + " of " + Quoted(objectName) +
                       ": objects that are not arrows take numeric parameter IDs or the names of their "
                       "description (print description TYPE)");
  *id = static_cast<int32_t>(v);
  return true;
}

// The edit an attribute editor would make: its object, parameter and value.
struct Edit {
  Object* op = nullptr;
  int32_t id = 0;
  Value value;
};

// Reads `NAME PARAM VALUE`; `mode` tells how a described value is read. An
// arrow's parameters are always described; another object's are when its
// type has a description and the value carries no type (int:3), else PARAM
// is a numeric ID and the value is taken as typed.
bool ReadEdit(ScriptConsole& c, const ScriptArgs& a, EditMode mode, Edit* edit, ScriptError* e) {
  edit->op = c.FindObject(a[0], e);
  if (edit->op == nullptr) return false;
  Session& s = *c.LoadedSession();
  const bool described = c.IsArrow(edit->op) ||
                         (s.DescriptionOf(edit->op) != nullptr && !IsTypedValue(a[2]) &&
                          s.FindParamOf(edit->op, a[1]) != nullptr);
  if (described) return DescribedEdit(c, edit->op, a, mode, &edit->id, &edit->value, e);
  return NumericId(a[1], &edit->id, a[0], e) && ParseTypedValue(c, a[2], &edit->value, e);
}

// Makes the edit and remembers it for a scrub that may follow.
void DoEdit(ScriptConsole& c, const Edit& edit) {
  Session& s = *c.LoadedSession();
  s.GetHost().EditParameter(edit.op, edit.id, edit.value);
  c.RecordEdit({edit.op->Serial(), edit.id, s.Doc()->UndoSteps().size()});
}

// An edit in the attribute editor.
bool SetParameter(ScriptConsole& c, const ScriptArgs& a, EditMode mode, ScriptError* e) {
  Edit edit;
  if (!ReadEdit(c, a, mode, &edit, e)) return false;
  DoEdit(c, edit);
  return true;
}

bool CmdSet(ScriptConsole& c, const ScriptArgs& a, ScriptError* e) {
  return SetParameter(c, a, EditMode::kEditor, e);
}

bool CmdSetRaw(ScriptConsole& c, const ScriptArgs& a, ScriptError* e) {
  return SetParameter(c, a, EditMode::kRaw, e);
}

// A scrubbed value: an edit whose undo step joins the one before when that
// was the scrub or edit of the same parameter of the same object just
// before it, so dragging a value is one step however long it lasts.
bool CmdScrub(ScriptConsole& c, const ScriptArgs& a, ScriptError* e) {
  Edit edit;
  if (!ReadEdit(c, a, EditMode::kEditor, &edit, e)) return false;
  Document* doc = c.LoadedSession()->Doc();
  const std::size_t before = doc->UndoSteps().size();
  const bool joins = before > 0 && c.LastEdit() == ScriptConsole::EditKey{edit.op->Serial(), edit.id, before};
  DoEdit(c, edit);
  if (joins && doc->UndoSteps().size() == before + 1) {
    doc->JoinLastSteps();
    c.RecordEdit({edit.op->Serial(), edit.id, doc->UndoSteps().size()});
  }
  return true;
}

bool CmdPress(ScriptConsole& c, const ScriptArgs& a, ScriptError* e) {
  Object* op = c.FindObject(a[0], e);
  if (op == nullptr) return false;
  int32_t id = 0;
  if (c.IsArrow(op)) {
    const ParamDesc* param = c.LoadedSession()->FindParam(a[1]);
    if (param == nullptr) {
      std::vector<std::string> buttons;
      for (const ParamDesc& p : c.LoadedSession()->ArrowDescription()->params)
        if (p.type == "button") buttons.push_back(p.name);
      return Fail(e, "unknown button " + Quoted(a[1]) + " of the arrow" + DidYouMean(a[1], buttons) +
                         " ('print editor " + a[0] + "' lists the buttons)");
    }
    if (param->type != "button") return Fail(e, param->name + " is not a button");
    id = param->id;
  } else if (!NumericId(a[1], &id, a[0], e)) {
    return false;
  }
  // A press the module answered with nothing a user could see gets a note
  // saying so: no undo step, no file dialog, no message box, no console line.
  Session& s = *c.LoadedSession();
  Host& h = s.GetHost();
  const std::size_t steps = s.Doc()->UndoSteps().size(), dialogs = DialogsShown().size();
  const std::size_t boxes = h.MessageBoxes().size(), lines = h.Console().size();
  h.PressButton(op, id);
  if (s.Doc()->UndoSteps().size() == steps && DialogsShown().size() == dialogs && h.MessageBoxes().size() == boxes &&
      h.Console().size() == lines) {
    c.Note("pressing " + a[1] + " of " + Quoted(op->Name()) +
           " changed nothing: the object made no undo step and showed no dialog or message");
  }
  return true;
}

bool CmdDialogCancel(ScriptConsole&, const ScriptArgs&, ScriptError*) {
  QueueDialogCancel();
  return true;
}

bool CmdNew(ScriptConsole& c, const ScriptArgs&, ScriptError* e) {
  Session& s = *c.LoadedSession();
  Document* now = ReplaceDocument(s.GetHost(), s.Doc(), std::make_unique<Document>());
  if (now == nullptr) return Fail(e, "the session's document is not one of the host's", kScriptFailed);
  s.SetDoc(now);
  return true;
}

bool CmdDialog(ScriptConsole&, const ScriptArgs& a, ScriptError* e) {
  if (a[0].empty()) return Fail(e, "usage: dialog PATH | dialog cancel");
  if (a[0] == "cancel") QueueDialogCancel();
  else QueueDialogAnswer(a[0]);
  return true;
}

bool CmdDoc(ScriptConsole& c, const ScriptArgs& a, ScriptError* e) {
  if (a[0] != "plane") return Fail(e, "usage: doc plane 0|1|2");
  long long plane = 0;
  if (!ParseWholeNumber(a[1], 0, 2, &plane))
    return Fail(e, "bad plane " + Quoted(a[1]) + ": expected 0 (XY), 1 (ZY) or 2 (XZ)");
  c.LoadedSession()->Doc()->SetSplinePlane(static_cast<int32_t>(plane));
  return true;
}

bool CmdUndo(ScriptConsole& c, const ScriptArgs&, ScriptError* e) {
  if (!c.LoadedSession()->Doc()->Undo()) return Fail(e, "nothing to undo");
  return true;
}

bool CmdRedo(ScriptConsole& c, const ScriptArgs&, ScriptError* e) {
  if (!c.LoadedSession()->Doc()->Redo()) return Fail(e, "nothing to redo");
  return true;
}

bool CmdFail(ScriptConsole& c, const ScriptArgs& a, ScriptError* e) {
  const char* usage = "usage: fail alloc N | fail alloc N+ | fail file N | fail off";
  FailurePlan& plan = c.LoadedSession()->GetHost().Failures();
  if (a[0] == "off") {
    if (a.size() != 1) return Fail(e, usage);
    plan.Off();
    return true;
  }
  if (a.size() != 2 || (a[0] != "alloc" && a[0] != "file")) return Fail(e, usage);
  std::string count = a[1];
  const bool onward = a[0] == "alloc" && !count.empty() && count.back() == '+';
  if (onward) count.pop_back();
  long long n = 0;
  if (!ParseWholeNumber(count, 1, 1000000000, &n))
    return Fail(e, "bad count " + Quoted(a[1]) + ": expected a whole number from 1 on" +
                       (a[0] == "alloc" ? ", or N+ for every one from the Nth on" : ""));
  if (a[0] == "alloc") plan.FailAllocation(static_cast<long>(n), onward);
  else plan.FailFileOperation(static_cast<long>(n));
  return true;
}

// --- print -------------------------------------------------------------------

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

// The request column: open, or why a request of the workbench may not run
// the command.
constexpr const char* kOpen = "";
constexpr const char* kNamesAFile =
    "names a file on the server: files travel by the workbench's uploads and downloads";

struct BuiltIn {
  const char* word;
  const char* usage;
  std::size_t minArgs, maxArgs;
  bool (*handler)(ScriptConsole&, const ScriptArgs&, ScriptError*);
  const char* summary;
  const char* closedToRequests;
  bool needsPlugin = true;
};

bool CmdHelp(ScriptConsole& c, const ScriptArgs& a, ScriptError* e);

// The console's commands. A new command is one line here (or a call of
// ScriptConsole::AddCommand from outside).
const BuiltIn kCommands[] = {
    {"plugin", "plugin release 16|12 | plugin DIR [release 16|12]", 1, 3, CmdPlugin,
     "load the built plug-in of a release, or a plug-in folder; before any other command",
     "is not open to requests: the server loaded its plug-in when it started", false},
    {"arrow", "arrow NAME [menu]", 1, 2, CmdArrow,
     "a new arrow at the top; menu: as from the menu, taking the document's plane", kOpen},
    {"object", "object spline|null|extrude|cloner|splinewrap NAME", 2, 2, CmdObject,
     "a new host object at the top", kOpen},
    {"move", "move NAME top | move NAME under PARENT [first|last]", 2, 4, CmdMove,
     "move an object in the tree (one undo step)", kOpen},
    {"select", "select NAME", 1, 1, CmdSelect, "select only that object and make it active", kOpen},
    {"set", "set NAME PARAM VALUE", 3, 3, CmdSet,
     "the attribute editor's edit: units (50%, 5deg), limits (a note when a value moves), listed choices",
     kOpen},
    {"scrub", "scrub NAME PARAM VALUE", 3, 3, CmdScrub,
     "an edit like set that joins the undo step of the edit just before it when that one changed the same "
     "parameter of the same object (dragging a value: one step however long)",
     kOpen},
    {"set-raw", "set-raw NAME PARAM VALUE", 3, 3, CmdSetRaw,
     "an edit stored as typed: stored units, no limits, nan and inf too",
     "is not open to requests: the workbench edits as the attribute editor does"},
    {"press", "press NAME BUTTON", 2, 2, CmdPress, "press a button of an object", kOpen},
    {"dialog", "dialog PATH | dialog cancel", 1, 1, CmdDialog,
     "the answer of the next file dialog (queued in order)", kNamesAFile},
    {"dialog cancel", "dialog cancel", 0, 0, CmdDialogCancel, "the next file dialog is cancelled", kOpen},
    {"doc", "doc plane 0|1|2", 2, 2, CmdDoc, "the document's spline plane (XY, ZY, XZ)", kOpen},
    {"new", "new", 0, 0, CmdNew, "a new, empty document in place of this one (its undo steps go too)", kOpen},
    {"undo", "undo", 0, 0, CmdUndo, "undo the last step", kOpen},
    {"redo", "redo", 0, 0, CmdRedo, "redo the last undone step", kOpen},
    {"fail", "fail alloc N | fail alloc N+ | fail file N | fail off", 1, 2, CmdFail,
     "make the Nth allocation (or every one from the Nth on) or file operation fail", kOpen},
    {"help", "help [COMMAND]", 0, 1, CmdHelp, "list the commands, or show one command's usage", kOpen, false},
};

// What `print` can show; the words after the subject are its arguments.
// Every subject is open to requests.
const BuiltIn kPrints[] = {
    {"tree", "print tree [serials]", 0, 1, PrintTree,
     "the object tree; serials: with each object's identity (@N names it)", kOpen},
    {"params", "print params NAME [names]", 1, 2, PrintParams,
     "an object's parameters by numeric ID; names: an arrow's by ARROW_ name", kOpen},
    {"editor", "print editor NAME", 1, 1, PrintAttributeEditor,
     "the attribute editor of an object with a description: every parameter's value, unit, limits, "
     "choices and whether it is enabled, and the buttons", kOpen},
    {"description", "print description [TYPE]", 0, 1, PrintDescription,
     "the description of an object type (the arrow's when none is named: arrow, spline, null, extrude, cloner, "
     "splinewrap or a type number), with the units the editor shows", kOpen},
    {"userdata", "print userdata NAME", 1, 1, PrintUserData, "an object's user-data parameters", kOpen},
    {"contour", "print contour NAME", 1, 1, PrintContour, "the object's outline as the host evaluates it", kOpen},
    {"console", "print console", 0, 0, PrintConsole, "the host console's lines", kOpen},
    {"undo", "print undo", 0, 0, PrintUndo, "the undo and redo stacks", kOpen},
    {"messages", "print messages", 0, 0, PrintMessages, "the object messages delivered", kOpen},
    {"boxes", "print boxes", 0, 0, PrintBoxes, "the message boxes shown", kOpen},
    {"selection", "print selection", 0, 0, PrintSelection, "the active and the selected objects", kOpen},
    {"dialogs", "print dialogs", 0, 0, PrintDialogs, "the file dialogs the module asked for", kOpen},
};

bool CmdHelp(ScriptConsole& c, const ScriptArgs& a, ScriptError* e) {
  if (a.empty()) {
    std::string text = "commands (help COMMAND for one):\n";
    for (const std::string& word : c.CommandWords()) text += "  " + c.HelpText(word) + "\n";
    c.Write(text);
    return true;
  }
  const std::vector<std::string> words = c.CommandWords();
  if (std::find(words.begin(), words.end(), a[0]) == words.end())
    return Fail(e, "unknown command " + Quoted(a[0]) + DidYouMean(a[0], words) + " ('help' lists the commands)");
  c.Write(c.HelpText(a[0]) + "\n");
  return true;
}

std::string JoinWords(const std::vector<std::string>& words, const char* separator) {
  std::string out;
  for (const std::string& w : words) out += (out.empty() ? "" : separator) + w;
  return out;
}

}  // namespace

bool ReadParameterValue(ScriptConsole& console, const ScriptArgs& args, EditMode mode, Object** op,
                        int32_t* id, Value* value, ScriptError* error) {
  Edit edit;
  if (!ReadEdit(console, args, mode, &edit, error)) return false;
  *op = edit.op;
  *id = edit.id;
  *value = std::move(edit.value);
  return true;
}

bool ReadParameterId(ScriptConsole& console, Object* op, const std::string& objectName, const std::string& param,
                     int32_t* id, ScriptError* error) {
  Session& s = *console.LoadedSession();
  if (const ParamDesc* described = s.FindParamOf(op, param)) {
    *id = described->id;
    return true;
  }
  if (console.IsArrow(op))
    return Fail(error, "unknown parameter " + Quoted(param) + " of the arrow" +
                           DidYouMean(param, Session::ParamNames(s.DescriptionOf(op))));
  return NumericId(param, id, objectName, error);
}

// -----------------------------------------------------------------------------

ScriptConsole::ScriptConsole(std::ostream& out, const std::vector<ConsoleExtension>& extensions)
    : ScriptConsole(extensions) {
  out_ = &out;
}

ScriptConsole::ScriptConsole(const std::vector<ConsoleExtension>& extensions) {
  for (const BuiltIn& b : kCommands) {
    AddCommand(b.word, {b.usage, b.minArgs, b.maxArgs, b.handler, b.needsPlugin, b.summary,
                        b.closedToRequests});
  }
  for (const BuiltIn& b : kPrints)
    AddPrint(b.word, {b.usage, b.minArgs, b.maxArgs, b.handler, true, b.summary, b.closedToRequests});
  // `print` checks its words itself, by subject.
  AddCommand("print", {"print SUBJECT [NAME]", 0, static_cast<std::size_t>(-1),
                       [](ScriptConsole& c, const ScriptArgs& a, ScriptError* e) {
                         return c.RunPrint(a, e);
                       },
                       true, "write what the host holds as JSON: one of the subjects below", kOpen});
  AddUserDataCommands(*this);
  AddElementCommands(*this);
  AddSceneCommands(*this);
  AddAnimationCommands(*this);
  for (ConsoleExtension extend : extensions) extend(*this);
}

ScriptConsole::~ScriptConsole() = default;

void ScriptConsole::AddCommand(const std::string& word, ScriptCommand command) {
  commands_[word] = std::move(command);
}

void ScriptConsole::AddPrint(const std::string& subject, ScriptCommand command) {
  prints_[subject] = std::move(command);
}

std::vector<std::string> ScriptConsole::CommandWords() const {
  std::vector<std::string> words;
  for (const auto& entry : commands_) words.push_back(entry.first);
  return words;
}

std::string ScriptConsole::HelpText(const std::string& word) const {
  const auto entry = commands_.find(word);
  if (entry == commands_.end()) return "";
  const ScriptCommand& cmd = entry->second;
  std::string text = cmd.usage + (cmd.summary.empty() ? "" : "\n      " + cmd.summary);
  if (word == "print") {
    for (const auto& [subject, print] : prints_)
      text += "\n    " + print.usage + (print.summary.empty() ? "" : ": " + print.summary);
  }
  return text;
}

void ScriptConsole::Note(const std::string& note) {
  if (result_ != nullptr) result_->notes.push_back(note);
}

std::vector<std::string> ScriptConsole::PrintSubjects() const {
  std::vector<std::string> words;
  for (const auto& entry : prints_) words.push_back(entry.first);
  return words;
}

bool ScriptConsole::SplitLine(const std::string& line, std::vector<std::string>* words,
                              std::string* error) {
  words->clear();
  std::size_t i = 0;
  const auto blank = [](char ch) { return ch == ' ' || ch == '\t' || ch == '\r'; };
  while (i < line.size()) {
    if (blank(line[i])) {
      ++i;
      continue;
    }
    if (line[i] == '#') break;
    std::string word;
    // A word runs to the next blank; quoted parts may hold blanks and `#`.
    while (i < line.size() && !blank(line[i]) && line[i] != '#') {
      if (line[i] != '"') {
        word += line[i++];
        continue;
      }
      const std::size_t open = i++;
      bool closed = false;
      while (i < line.size()) {
        const char ch = line[i++];
        if (ch == '"') {
          closed = true;
          break;
        }
        if (ch == '\\') {
          if (i >= line.size() || (line[i] != '"' && line[i] != '\\')) {
            *error = "bad escape in quotes at column " + std::to_string(i) +
                     ": only \\\" and \\\\ are known";
            return false;
          }
          word += line[i++];
        } else {
          word += ch;
        }
      }
      if (!closed) {
        *error = "unterminated quote at column " + std::to_string(open + 1);
        return false;
      }
    }
    words->push_back(std::move(word));
  }
  return true;
}

std::string ScriptConsole::QuoteWord(const std::string& word) {
  if (!word.empty() && word.find_first_of(" \t\r\"#\\") == std::string::npos) return word;
  std::string out = "\"";
  for (char ch : word) {
    if (ch == '"' || ch == '\\') out += '\\';
    out += ch;
  }
  return out + "\"";
}

std::string ScriptConsole::JoinLine(const std::vector<std::string>& words) {
  std::string line;
  for (const std::string& w : words) line += (line.empty() ? "" : " ") + QuoteWord(w);
  return line;
}

CommandResult ScriptConsole::Run(const std::vector<std::string>& words) {
  CommandResult result;
  CommandResult* outer = result_;
  result_ = &result;
  ScriptError error;
  if (!RunWords(words, &error)) {
    result.status = error.status;
    result.error = error.message;
  }
  status_ = result.status;
  result_ = outer;
  return result;
}

bool ScriptConsole::Execute(const std::string& line, std::string* error) {
  ScriptError e;
  const bool ok = Execute(line, &e);
  if (!ok && error != nullptr) *error = e.message;
  return ok;
}

bool ScriptConsole::Execute(const std::string& line, ScriptError* error) {
  const CommandResult r = Run(line);
  if (!r.Ok() && error != nullptr) Fail(error, r.error, r.status);
  return r.Ok();
}

CommandResult ScriptConsole::Run(const std::string& line) {
  std::vector<std::string> words;
  std::string splitError;
  if (SplitLine(line, &words, &splitError)) return Run(words);
  CommandResult result;
  result.status = kScriptError;
  result.error = splitError;
  status_ = result.status;
  return result;
}

const ScriptCommand* ScriptConsole::Lookup(const std::vector<std::string>& words, std::size_t* argsFrom) const {
  if (words.size() >= 2) {
    const auto pair = commands_.find(words[0] + " " + words[1]);
    if (pair != commands_.end()) {
      *argsFrom = 2;
      return &pair->second;
    }
  }
  const auto single = commands_.find(words[0]);
  *argsFrom = 1;
  return single == commands_.end() ? nullptr : &single->second;
}

bool ScriptConsole::RunWords(const std::vector<std::string>& words, ScriptError* error) {
  if (words.empty()) return true;
  if (finished_) return Fail(error, "the session has ended");
  std::size_t from = 0;
  const ScriptCommand* cmd = Lookup(words, &from);
  if (cmd == nullptr)
    return Fail(error, "unknown command " + Quoted(words[0]) + DidYouMean(words[0], CommandWords()) +
                           " ('help' lists the commands)");
  const ScriptArgs args(words.begin() + static_cast<std::ptrdiff_t>(from), words.end());
  if (args.size() < cmd->minArgs || args.size() > cmd->maxArgs) return Fail(error, "usage: " + cmd->usage);
  if (cmd->needsPlugin && GetSession(error) == nullptr) return false;
  return cmd->handler(*this, args, error);
}

std::string ScriptConsole::RequestRefusal(const std::vector<std::string>& words, bool* known) const {
  std::size_t from = 0;
  const ScriptCommand* cmd = words.empty() ? nullptr : Lookup(words, &from);
  *known = cmd != nullptr;
  if (cmd == nullptr) return words.empty() ? "the command is empty" : "unknown command " + Quoted(words[0]);
  if (cmd->closedToRequests.empty()) return "";
  std::string form = words[0];
  for (std::size_t k = 1; k < from; ++k) form += " " + words[k];
  return Quoted(form) + " " + cmd->closedToRequests;
}

Json ScriptConsole::PrintedDocument(const std::string& subjectLine, ScriptError* error) {
  const CommandResult r = Run("print " + subjectLine);
  if (!r.Ok()) {
    Fail(error, r.error, r.status);
    return nullptr;
  }
  return r.printed.empty() ? Json(nullptr) : r.printed.front();
}

bool ScriptConsole::RunPrint(const ScriptArgs& args, ScriptError* error) {
  std::vector<std::string> forms;
  for (const auto& entry : prints_) forms.push_back(entry.second.usage);
  if (args.empty()) return Fail(error, "usage: " + JoinWords(forms, " | "));
  const auto subject = prints_.find(args[0]);
  if (subject == prints_.end())
    return Fail(error, "unknown print subject " + Quoted(args[0]) + ": expected " +
                           JoinWords(PrintSubjects(), ", "));
  const ScriptArgs rest(args.begin() + 1, args.end());
  const ScriptCommand& cmd = subject->second;
  if (rest.size() < cmd.minArgs || rest.size() > cmd.maxArgs) return Fail(error, "usage: " + cmd.usage);
  return cmd.handler(*this, rest, error);
}

bool ScriptConsole::ChoosePlugin(const SessionOptions& options, ScriptError* error) {
  if (session_ != nullptr)
    return Fail(error, "the plug-in is loaded already: 'plugin' must come before every other command");
  options_ = options;
  return true;
}

Session* ScriptConsole::GetSession(ScriptError* error) {
  if (finished_) {
    Fail(error, "the session has ended");
    return nullptr;
  }
  if (session_ != nullptr) return session_.get();
  auto session = std::make_unique<Session>(options_);
  std::string reason;
  if (!session->Open(&reason)) {
    Fail(error, "cannot load the plug-in: " + reason, kScriptFailed);
    return nullptr;
  }
  session_ = std::move(session);
  return session_.get();
}

bool ScriptConsole::IsArrow(const Object* op) const {
  return session_ != nullptr && op != nullptr && op->Plugin() != nullptr &&
         op->Plugin() == session_->ArrowPlugin();
}

namespace {

// The names of the objects in the tree, in tree order, for suggestions.
void TreeNames(const Object* first, std::vector<std::string>* names) {
  for (const Object* op = first; op != nullptr; op = op->Next()) {
    names->push_back(op->Name());
    TreeNames(op->Down(), names);
  }
}

// ": did you mean 'Arrow'?" for a name near one in the tree, or empty.
std::string NearObject(const Document* doc, const std::string& name) {
  std::vector<std::string> names;
  TreeNames(doc->First(), &names);
  return DidYouMean(name, names);
}

Object* MatchPath(Object* first, const std::vector<std::string>& parts, std::size_t at) {
  for (Object* op = first; op != nullptr; op = op->Next()) {
    if (op->Name() != parts[at]) continue;
    if (at + 1 == parts.size()) return op;
    if (Object* found = MatchPath(op->Down(), parts, at + 1)) return found;
  }
  return nullptr;
}

}  // namespace

Object* ScriptConsole::FindObject(const std::string& nameOrPath, ScriptError* error) {
  Session* session = GetSession(error);
  if (session == nullptr) return nullptr;
  const Document* doc = session->Doc();
  long long serial = 0;
  if (nameOrPath.size() > 1 && nameOrPath[0] == '@' &&
      ParseWholeNumber(nameOrPath.substr(1), 1, INT64_MAX, &serial)) {
    Object* op = Object::FindSerial(serial);
    if (op != nullptr && doc->Owns(op) && op->InTree()) return op;
    Fail(error, "no object " + Quoted(nameOrPath) + " in the document");
    return nullptr;
  }
  if (nameOrPath.find('/') == std::string::npos) {
    if (Object* op = doc->FindNamed(nameOrPath)) return op;
    Fail(error, "no object " + Quoted(nameOrPath) + " in the document" + NearObject(doc, nameOrPath));
    return nullptr;
  }
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (true) {
    const std::size_t slash = nameOrPath.find('/', start);
    parts.push_back(nameOrPath.substr(start, slash - start));
    if (slash == std::string::npos) break;
    start = slash + 1;
  }
  if (std::any_of(parts.begin(), parts.end(), [](const std::string& p) { return p.empty(); })) {
    Fail(error, "bad object path " + Quoted(nameOrPath) + ": a name between slashes is empty");
    return nullptr;
  }
  Object* found = MatchPath(doc->First(), parts, 0);
  if (found == nullptr) Fail(error, "no object at path " + Quoted(nameOrPath) + " in the document");
  return found;
}

void ScriptConsole::Print(const Json& doc) {
  if (result_ != nullptr) result_->printed.push_back(doc);
  if (out_ == nullptr) return;
  // Names come from the script; text that is not UTF-8 is written replaced.
  *out_ << JsonText(doc) << '\n';
  out_->flush();
}

void ScriptConsole::Write(const std::string& text) {
  if (result_ != nullptr) result_->text += text;
  if (out_ != nullptr) *out_ << text << std::flush;
}

bool ScriptConsole::Finish(std::string* error) {
  if (finished_) return true;
  finished_ = true;
  if (session_ == nullptr) return true;
  Host& h = session_->GetHost();
  h.Failures().Off();
  h.Shutdown();
  std::string findings;
  for (const Leak& leak : h.Leaks()) {
    findings += findings.empty() ? "the module left behind: " : "; ";
    findings += leak.what;
    if (leak.bytes != 0) findings += " (" + std::to_string(leak.bytes) + ")";
    if (!leak.file.empty()) findings += " " + leak.file;
    if (leak.line != 0) findings += ":" + std::to_string(leak.line);
  }
  for (const std::string& misuse : h.misuses)
    findings += (findings.empty() ? "" : "; ") + std::string("the module misused the host: ") + misuse;
  if (findings.empty()) return true;
  if (error != nullptr) *error = findings;
  return false;
}

bool ParseTypedValue(ScriptConsole& console, const std::string& text, Value* out,
                     ScriptError* error) {
  const std::size_t colon = text.find(':');
  const std::string kinds = "int:3, float:2.5, bool:true, vector:1,2,3, string:TEXT, link:NAME or link:none";
  if (colon == std::string::npos)
    return Fail(error, "value " + Quoted(text) + " has no type: write it as " + kinds);
  const std::string type = text.substr(0, colon);
  const std::string rest = text.substr(colon + 1);
  const auto bad = [&](const char* expected) {
    return Fail(error, "bad value " + Quoted(text) + ": expected " + expected);
  };
  if (type == "int") {
    long long v = 0;
    if (!ParseWholeNumber(rest, INT32_MIN, INT32_MAX, &v)) return bad("a 32-bit whole number after int:");
    *out = Value::Int(static_cast<int32_t>(v));
  } else if (type == "float") {
    double v = 0.0;
    if (!ParseNumber(rest, &v)) return bad("a number after float:");
    *out = Value::Real(v);
  } else if (type == "bool") {
    int32_t v = 0;
    if (!ParseBool(rest, &v)) return bad("true, false, 1 or 0 after bool:");
    *out = Value::Int(v);
  } else if (type == "vector") {
    double xyz[3] = {0.0, 0.0, 0.0};
    std::size_t start = 0;
    for (int k = 0; k < 3; ++k) {
      const std::size_t comma = rest.find(',', start);
      if ((k < 2) == (comma == std::string::npos)) return bad("three numbers X,Y,Z after vector:");
      if (!ParseNumber(rest.substr(start, comma == std::string::npos ? std::string::npos : comma - start),
                     &xyz[k]))
        return bad("three numbers X,Y,Z after vector:");
      start = comma + 1;
    }
    *out = Value::Vec({xyz[0], xyz[1], xyz[2]});
  } else if (type == "string") {
    *out = Value::Str(rest);
  } else if (type == "link") {
    if (rest == "none") {
      *out = Value::Link(0);
      return true;
    }
    Object* target = console.FindObject(rest, error);
    if (target == nullptr) return false;
    *out = Value::Link(target->Serial());
  } else {
    return Fail(error, "unknown value type " + Quoted(type) + " in " + Quoted(text) + ": write it as " + kinds);
  }
  return true;
}

int RunScript(std::istream& in, const std::string& scriptName, std::ostream& out,
              std::ostream& err, const std::vector<ConsoleExtension>& extensions) {
  ScriptConsole console(out, extensions);
  int status = kScriptOk;
  std::string line;
  long number = 0;
  while (std::getline(in, line)) {
    ++number;
    const CommandResult r = console.Run(line);
    for (const std::string& note : r.notes) err << scriptName << ":" << number << ": " << note << "\n";
    if (!r.Ok()) {
      err << scriptName << ":" << number << ": " << r.error << "\n";
      status = r.status;
      break;
    }
  }
  if (status == kScriptOk && in.bad()) {
    err << scriptName << ":" << number + 1 << ": the script could not be read further\n";
    status = kScriptError;
  }
  std::string findings;
  if (!console.Finish(&findings)) {
    err << scriptName << ": " << findings << "\n";
    if (status == kScriptOk) status = kScriptFailed;
  }
  return status;
}

}  // namespace host
