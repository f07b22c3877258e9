// The script console's scene-editing commands (added to every console;
// NAME is an object's name or a path of names, see ScriptConsole::FindObject):
//   plugin release 16|12 | plugin DIR [release 16|12]
//                              load a plug-in folder (at most once, before
//                              any other command; otherwise the first other
//                              command loads release 16's built folder)
//   arrow NAME [menu]          a new arrow at the top, named NAME; `menu`
//                              sends it the menu-prepare message first
//   object KIND NAME           a new host object at the top: KIND is spline,
//                              null, extrude, cloner or splinewrap
//   move NAME top              the object manager's move, one undo step
//   move NAME under PARENT [first|last]
//   select NAME                selects only NAME and makes it active
//   set NAME PARAM VALUE       the attribute editor's edit of one parameter
//   set-raw NAME PARAM VALUE   an edit stored as typed, without limits
//   scrub NAME PARAM VALUE     an edit that joins the undo step of the edit
//                              of the same parameter just before it
//   press NAME BUTTON          a button press (description command)
//   dialog PATH | dialog cancel   the answer of the next file dialog
//   new                        a new, empty document in place of this one
//   doc plane 0|1|2            the document's spline plane
//   undo | redo                the document's undo and redo
//   fail alloc N | fail alloc N+ | fail file N | fail off
//                              the Nth allocation (or every one from the Nth
//                              on) or file operation from now on fails
//
// For an arrow, PARAM is an ARROW_ name or the numeric ID of one of its
// description's parameters, and VALUE is written as that parameter's type
// reads it (`true`, `3`, `2.5`, a text, or an object's NAME or `none` for a
// link). For any other object PARAM is a numeric ID and VALUE carries its
// type: int:3, float:2.5, bool:true, vector:1,2,3, string:TEXT,
// link:NAME or link:none.
#ifndef HOST_SCRIPT_EDIT_H
#define HOST_SCRIPT_EDIT_H

#include <cstdint>
#include <string>

#include "script.h"

namespace host {

void AddEditCommands(ScriptConsole& console);

// Parses a typed value (int:3, float:2.5, bool:true, vector:1,2,3,
// string:TEXT, link:NAME, link:none); links are looked up with `console`.
bool ParseTypedValue(ScriptConsole& console, const std::string& text, Value* out,
                     ScriptError* error);

// Reads `NAME PARAM VALUE` as `set` (or, with kRaw, `set-raw`) reads it:
// the object, the parameter's ID and the value, with the notes `set` gives.
bool ReadParameterValue(ScriptConsole& console, const ScriptArgs& args, EditMode mode, Object** op,
                        int32_t* id, Value* value, ScriptError* error);
// The ID of parameter PARAM of an object as `set` names it: a name of its
// description or a numeric ID.
bool ReadParameterId(ScriptConsole& console, Object* op, const std::string& objectName, const std::string& param,
                     int32_t* id, ScriptError* error);

}  // namespace host

#endif
