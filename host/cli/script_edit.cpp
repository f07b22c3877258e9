#include "script_edit.h"

#include <cstdint>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "files.h"
#include "parse.h"
#include "script_internal.h"

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

// A value the attribute editor refuses but set-raw would store (nan, inf,
// a whole number that is none of a choice's values) says so.
bool CmdSet(ScriptConsole& c, const ScriptArgs& a, ScriptError* e) {
  if (SetParameter(c, a, EditMode::kEditor, e)) return true;
  Edit raw;
  ScriptError ignored;
  if (e->status == kScriptError && ReadEdit(c, a, EditMode::kRaw, &raw, &ignored))
    e->message += " (set-raw stores it as typed)";
  return false;
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
  if (!UndoAtFrame(c.LoadedSession()->Doc())) return Fail(e, "nothing to undo");
  return true;
}

bool CmdRedo(ScriptConsole& c, const ScriptArgs&, ScriptError* e) {
  if (!RedoAtFrame(c.LoadedSession()->Doc())) return Fail(e, "nothing to redo");
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

void AddEditCommands(ScriptConsole& console) {
  console.AddCommand("plugin", {"plugin release 16|12 | plugin DIR [release 16|12]", 1, 3, CmdPlugin, false,
                                "load the built plug-in of a release, or a plug-in folder; before any other command",
                                "is not open to requests: the server loaded its plug-in when it started"});
  console.AddCommand("arrow", {"arrow NAME [menu]", 1, 2, CmdArrow, true,
                               "a new arrow at the top; menu: as from the menu, taking the document's plane",
                               kOpenToRequests});
  console.AddCommand("object", {"object spline|null|extrude|cloner|splinewrap NAME", 2, 2, CmdObject, true,
                                "a new host object at the top", kOpenToRequests});
  console.AddCommand("move", {"move NAME top | move NAME under PARENT [first|last]", 2, 4, CmdMove, true,
                              "move an object in the tree (one undo step)", kOpenToRequests});
  console.AddCommand("select", {"select NAME", 1, 1, CmdSelect, true, "select only that object and make it active",
                                kOpenToRequests});
  console.AddCommand("set", {"set NAME PARAM VALUE", 3, 3, CmdSet, true,
                             "the attribute editor's edit: units (50%, 5deg), limits (a note when a value moves), "
                             "listed choices",
                             kOpenToRequests});
  console.AddCommand("scrub", {"scrub NAME PARAM VALUE", 3, 3, CmdScrub, true,
                               "an edit like set that joins the undo step of the edit just before it when that one "
                               "changed the same parameter of the same object (dragging a value: one step however "
                               "long)",
                               kOpenToRequests});
  console.AddCommand("set-raw", {"set-raw NAME PARAM VALUE", 3, 3, CmdSetRaw, true,
                                 "an edit stored as typed: stored units, no limits, nan and inf too",
                                 "is not open to requests: the workbench edits as the attribute editor does"});
  console.AddCommand("press", {"press NAME BUTTON", 2, 2, CmdPress, true, "press a button of an object",
                               kOpenToRequests});
  console.AddCommand("dialog", {"dialog PATH | dialog cancel", 1, 1, CmdDialog, true,
                                "the answer of the next file dialog (queued in order)", kNamesAFile});
  console.AddCommand("dialog cancel", {"dialog cancel", 0, 0, CmdDialogCancel, true,
                                       "the next file dialog is cancelled", kOpenToRequests});
  console.AddCommand("doc", {"doc plane 0|1|2", 2, 2, CmdDoc, true, "the document's spline plane (XY, ZY, XZ)",
                             kOpenToRequests});
  console.AddCommand("new", {"new", 0, 0, CmdNew, true,
                             "a new, empty document in place of this one (its undo steps go too)", kOpenToRequests});
  console.AddCommand("undo", {"undo", 0, 0, CmdUndo, true, "undo the last step", kOpenToRequests});
  console.AddCommand("redo", {"redo", 0, 0, CmdRedo, true, "redo the last undone step", kOpenToRequests});
  console.AddCommand("fail", {"fail alloc N | fail alloc N+ | fail file N | fail off", 1, 2, CmdFail, true,
                              "make the Nth allocation (or every one from the Nth on) or file operation fail",
                              kOpenToRequests});
}

}  // namespace host
