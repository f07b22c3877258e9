// The script console's animation commands (added to every console; see
// docs/animation.md):
//   key NAME PARAM FRAME VALUE [hold|linear|ease]
//                              a key of the parameter at FRAME (one undo
//                              step); VALUE is read as `set` reads it
//                              (units, limits, choices) and must be a
//                              number, a bool or a choice; the
//                              interpolation (linear when none is given)
//                              leads to the next key, and only real numbers
//                              are interpolated
//   unkey NAME PARAM FRAME     takes that key out (one undo step)
//   frame N                    goes to frame N: the document is evaluated
//                              there (scene.h's EvaluateFrame)
//   fps N                      the document's frames per second
//   range A B                  the frames the document plays
//   print keys NAME            {"name","fps","range":[A,B],"frame",
//                              "params":[{"id","name","keys":[{"frame",
//                              "value","interpolation"}]}]}, values stored
//   print time                 {"fps","range":[A,B],"frame"}
#ifndef HOST_SCRIPT_ANIM_H
#define HOST_SCRIPT_ANIM_H

#include "script.h"

namespace host {

void AddAnimationCommands(ScriptConsole& console);

}  // namespace host

#endif
