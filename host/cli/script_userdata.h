// The script console's commands for user data (added to every console):
//   userdata NAME TYPE LABEL   gives object NAME a user data parameter called
//                              LABEL and prints {"object","id","name","type"};
//                              TYPE is a registered data type's resource
//                              symbol (dots) or int, float, vector, string, link
#ifndef HOST_SCRIPT_USERDATA_H
#define HOST_SCRIPT_USERDATA_H

#include "script.h"

namespace host {

void AddUserDataCommands(ScriptConsole& console);

// A value of a custom data type as the console prints it: its type, and its
// points when it is stored as a list of points (as a Dots value is).
Json CustomValueJson(const Value& value);

}  // namespace host

#endif
