// What every registration of a module class with the host shares, whatever
// the kind of class: the host owns the class object from the call on, so one
// it cannot take is deleted here; and every registration record starts with
// its size, the class's ID, its name, its information flags and its class
// record.
#ifndef TOLVANE_API_REGISTER_H
#define TOLVANE_API_REGISTER_H

#include "api.h"

// Whether `dat` can be handed to the host: not when it is null, and not when
// the host does not offer the registration, in which case `dat` is deleted
// (nobody else will).
template <typename T>
bool CanHandOver(T*& dat, bool offered) {
  if (dat == nullptr) return false;
  if (!offered) {
    DeleteObj(dat);
    return false;
  }
  return true;
}

// A registration record of type `Info` with its shared members filled in;
// `name` and `cls` must outlive the registration call.
template <typename Info, typename Class>
Info RegistrationRecord(Int32 id, const String& name, Int32 info, const Class* cls) {
  Info reg{};
  reg.size = sizeof(reg);
  reg.id = id;
  reg.name = name.GetCStringUTF8();
  reg.info = info;
  reg.cls = cls;
  return reg;
}

#endif
