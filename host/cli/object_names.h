// Objects named as the console names them: a name (the first object of that
// name in tree order), a path of names from the top ("Cloner/Extrude
// NURBS/Arrow"), or @SERIAL.
#ifndef HOST_CLI_OBJECT_NAMES_H
#define HOST_CLI_OBJECT_NAMES_H

#include <string>
#include <vector>

#include "model.h"

namespace host {

// The object `nameOrPath` names in `doc`'s tree; null with the reason (and
// a name near it, when there is one) when it names none.
Object* FindObjectIn(const Document* doc, const std::string& nameOrPath, std::string* error);

// The names of an object and its parents, from the top, joined by '/'.
std::string PathOf(const Object* op);

// The paths of every object in the tree named `name`, in tree order.
std::vector<std::string> PathsNamed(const Document* doc, const std::string& name);

}  // namespace host

#endif
