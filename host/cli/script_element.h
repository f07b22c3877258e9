// The script console's commands for interface elements (added to every console):
//   gui open NAME PARAM        opens the interface element of NAME's user data
//                              parameter PARAM (its label or ID), closing the
//                              one open before
//   gui click X Y              a left click at field position X Y, delivered
//                              to the element in window coordinates; used
//                              only when its dot reached the parameter
//   (an element whose object leaves the document through undo or a loaded
//   scene is closed; the gui commands then say so)
//   gui key [KEY]              a key press (one character or a key code;
//                              a blank when none is given)
//   gui png FILE               writes the element's field as a PNG picture
//   gui close                  closes the element
//   print gui                  the open element: its object and parameter,
//                              its field in the window, the points it shows,
//                              and each input with whether the element used it
#ifndef HOST_SCRIPT_ELEMENT_H
#define HOST_SCRIPT_ELEMENT_H

#include "script.h"

namespace host {

void AddElementCommands(ScriptConsole& console);

}  // namespace host

#endif
