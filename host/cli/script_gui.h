// The script console's commands for user data, interface elements and scene
// files (added to every console):
//   userdata NAME TYPE LABEL   gives object NAME a user data parameter called
//                              LABEL and prints {"object","id","name","type"};
//                              TYPE is a registered data type's resource
//                              symbol (dots) or int, float, vector, string, link
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
//   save-scene FILE            saves the document as a scene file
//   load-scene FILE            loads a scene file in place of the document;
//                              a file that cannot be loaded whole (damaged,
//                              a value outside its set, memory short) leaves
//                              it as it was
//   print gui                  the open element: its object and parameter,
//                              its field in the window, the points it shows,
//                              and each input with whether the element used it
#ifndef HOST_SCRIPT_GUI_H
#define HOST_SCRIPT_GUI_H

#include "script.h"

namespace host {

void AddGuiCommands(ScriptConsole& console);

// A value of a custom data type as the console prints it: its type, and its
// points when it is stored as a list of points (as a Dots value is).
Json CustomValueJson(const Value& value);

}  // namespace host

#endif
