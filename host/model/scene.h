// What happens to a scene when the user (or the module) acts on it: objects
// made from the menu, parameter edits with their undo step, button presses,
// messages, contour evaluation and the attribute editor's enabling query.
// Each runs on the current host's state.
#ifndef HOST_SCENE_H
#define HOST_SCENE_H

#include <cstddef>
#include <cstdint>
#include <string>

#include "model.h"
#include "plugins.h"
#include "state.h"

namespace host {

// The module's allocator: a block of the ledger, tagged with the file name
// (without its folder) and line. Null when out of memory or told to fail.
void* Allocate(std::size_t size, const char* file, int32_t line);
// Frees a block of the ledger; anything else is misuse.
void Release(void* block);
std::size_t LiveAllocations();

// Makes a plug-in object without inserting it (scene loading, the object
// suite). Null when the module could not make or initialise it.
Object* MakePluginObject(const ObjectPlugin& plugin);
// Creates an object of a host type or a registered plug-in type and puts it
// at the top of `doc` as one undo step. `fromMenu` sends a plug-in object the
// menu-prepare message before inserting it. Null when it cannot be made.
Object* CreateObject(Document* doc, int32_t type, bool fromMenu, std::string* error);

// Sends an object message as the host does (and logs it).
int32_t SendMessage(Object* op, int32_t type, void* data);
// The attribute editor's edit of one parameter: one undo step recording the
// object, the new value, and the changed-parameter message. False, with
// nothing changed and no step, when the new value or the object's state for
// undo could not be copied whole (memory short).
bool EditParameter(Object* op, int32_t id, const Value& value);
// A button press: the description-command message.
void PressButton(Object* op, int32_t id);
// Asks a generator object for its contour. The host owns the answer (kept
// until the next evaluation of the same object or until the object goes).
// Null when the object answered none.
Object* EvaluateContour(Object* op);
// The enabling answer of the attribute editor for one parameter.
bool IsEnabled(Object* op, int32_t id);

// Keying, one undo step each (recording the object, whose keys go with its
// container): a key of parameter `id` put in (replacing one at its frame),
// or the key at `frame` taken out (false, and no step, when there is none).
// Neither writes the parameter itself: the next EvaluateFrame does.
bool KeyParameter(Object* op, int32_t id, AnimKey key);
bool UnkeyParameter(Object* op, int32_t id, int32_t frame);
// Goes to a frame as a host's animation does: the value every keyed
// parameter has at that frame is written into its object's container (no
// undo step), each parameter whose value changed is announced to its
// object with the changed-parameter message an edit sends (so the set-ups
// the module keeps in step follow), and every generator object's contour is
// evaluated again. Whatever the module records for undo meanwhile is
// dropped. A key whose value is of another type than the parameter's
// present value is not applied. Objects in tree order, parameters by ID.
// Answers how many parameters changed.
int EvaluateFrame(Document* doc, int32_t frame);
// Undo and redo as a host with animation does them: the step, and then, when
// an object has keys, the current frame evaluated again. A step brings back
// a container as it was when the step was made, keyed values of that frame
// included; the frame shown and the values must agree. False, doing
// nothing, when there is no step.
bool UndoAtFrame(Document* doc);
bool RedoAtFrame(Document* doc);

// Single values the host hands to the module (the enabling query's value,
// the data suite).
ha_data NewDataHandle(const Value& value);
void FreeDataHandle(ha_data data);
// The value behind a live handle; null for null or unknown handles.
Value* DataValueOf(ha_data data);


}  // namespace host

#endif
