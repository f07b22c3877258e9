// The script console's print subjects (added to every console): `print
// SUBJECT [NAME]` writes what the host holds as one JSON document a line.
//   print tree [serials]       the object tree (with each object's @N)
//   print params NAME [names]  an object's parameters by ID (an arrow's by name)
//   print editor NAME          the attribute editor of an object with a
//                              description
//   print description [TYPE]   the description of an object type
//   print userdata NAME        an object's user-data parameters
//   print contour NAME         the object's outline as the host evaluates it
//   print console|boxes|undo|messages|selection|dialogs
//                              the host console's lines, the message boxes,
//                              the undo and redo stacks, the object messages,
//                              the selection, the file dialogs
#ifndef HOST_SCRIPT_PRINT_H
#define HOST_SCRIPT_PRINT_H

#include "script.h"

namespace host {

void AddPrintSubjects(ScriptConsole& console);

}  // namespace host

#endif
