// The script console's commands for scene files (added to every console):
//   save-scene FILE            saves the document as a scene file
//   load-scene FILE            loads a scene file in place of the document;
//                              a file that cannot be loaded whole (damaged,
//                              a value outside its set, memory short) leaves
//                              it as it was
#ifndef HOST_SCRIPT_SCENE_H
#define HOST_SCRIPT_SCENE_H

#include "script.h"

namespace host {

void AddSceneCommands(ScriptConsole& console);

}  // namespace host

#endif
