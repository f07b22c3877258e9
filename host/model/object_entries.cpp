// The functions of the object suite (suites/ha_object.cpp makes the table):
// objects, their containers, the tree and spline points.
#include "object_entries.h"

#include <string>

#include "core.h"
#include "model.h"
#include "scene.h"

namespace host {
namespace object_entries {
namespace {

ha_object Handle(Object* op) { return op != nullptr ? op->Handle() : nullptr; }
// The object one link away in the tree (`link` is Up, Down, Next or Pred), or
// null when there is none or `h` is not a live object.
ha_object Neighbour(ha_object h, Object* (Object::*link)() const, const char* call) {
  Object* op = CheckObject(h, call);
  return op != nullptr ? Handle((op->*link)()) : nullptr;
}
bool InsertArgs(ha_object h, ha_object parent, Object** op, Object** up, const char* call) {
  *op = CheckObject(h, call);
  *up = CheckObject(parent, call);
  if (*op == nullptr || *up == nullptr || *op == *up) return false;
  for (Object* a = *up; a != nullptr; a = a->Up()) {
    if (a == *op) {
      ReportMisuse(std::string(call) + ": an object cannot go under its own child");
      return false;
    }
  }
  return true;
}

}  // namespace

ha_object ObjAlloc(int32_t type) {
  if (Failures().NextAllocationFails()) return nullptr;
  if (IsHostType(type)) {
    Object* op = NewLooseObject(type, DefaultName(type));
    ApplyHostDefaults(op);
    return op->Handle();
  }
  if (const ObjectPlugin* plugin = FindObjectPlugin(type)) {
    Object* op = MakePluginObject(*plugin);
    return op != nullptr ? op->Handle() : nullptr;
  }
  return nullptr;
}
ha_object SplineAlloc(int32_t count, int32_t type) {
  if (count < 0 || !IsSplineType(type) || Failures().NextAllocationFails()) return nullptr;
  Object* op = NewLooseObject(Ospline, DefaultName(Ospline));
  op->MakeSpline(count, type);
  // Room for the closed flag and the four interpolation settings a
  // generator's answer gets, so they go in without the array growing twice.
  op->Data().Reserve(8);
  return op->Handle();
}
void ObjFree(ha_object h) {
  Object* op = CheckObject(h, "object free");
  if (op == nullptr) return;
  if (!FreeLoose(op)) ReportMisuse("object free: the object belongs to a document");
}
int32_t ObjType(ha_object h) {
  Object* op = CheckObject(h, "get_type");
  return op != nullptr ? op->Type() : 0;
}
ha_container ObjDataInstance(ha_object h) {
  Object* op = CheckObject(h, "get_data_instance");
  return op != nullptr ? reinterpret_cast<ha_container>(&op->Data()) : nullptr;
}
ha_container ObjDataCopy(ha_object h) {
  Object* op = CheckObject(h, "get_data");
  if (op == nullptr || Failures().NextAllocationFails()) return nullptr;
  return reinterpret_cast<ha_container>(NewModuleContainer(&op->Data()));
}
int32_t ObjSetData(ha_object h, ha_container bch, int32_t merge) {
  Object* op = CheckObject(h, "set_data");
  Container* bc = CheckContainer(bch, "set_data");
  if (op == nullptr || bc == nullptr) return 0;
  if (merge != 0) {
    op->Data().Merge(*bc);
  } else {
    op->Data() = *bc;
  }
  return 1;
}
ha_document ObjDocument(ha_object h) {
  Object* op = CheckObject(h, "get_document");
  return op != nullptr && op->Doc() != nullptr ? op->Doc()->Handle() : nullptr;
}
ha_object ObjUp(ha_object h) { return Neighbour(h, &Object::Up, "get_up"); }
ha_object ObjDown(ha_object h) { return Neighbour(h, &Object::Down, "get_down"); }
ha_object ObjNext(ha_object h) { return Neighbour(h, &Object::Next, "get_next"); }
ha_object ObjPred(ha_object h) { return Neighbour(h, &Object::Pred, "get_pred"); }
void ObjInsertUnder(ha_object h, ha_object parent) {
  Object *op, *up;
  if (InsertArgs(h, parent, &op, &up, "insert_under")) Document::InsertUnder(op, up);
}
void ObjInsertUnderLast(ha_object h, ha_object parent) {
  Object *op, *up;
  if (InsertArgs(h, parent, &op, &up, "insert_under_last")) Document::InsertUnderLast(op, up);
}
void ObjRemove(ha_object h) {
  if (Object* op = CheckObject(h, "remove")) Document::Remove(op);
}
int32_t ObjMessage(ha_object h, int32_t type, void* data) {
  Object* op = CheckObject(h, "message");
  return op != nullptr ? SendMessage(op, type, data) : 0;
}
ha_vector* ObjPoints(ha_object h) {
  Object* op = CheckObject(h, "get_point_w");
  return op != nullptr && op->IsSpline() && !op->Points().empty() ? op->Points().data() : nullptr;
}
int32_t ObjPointCount(ha_object h) {
  Object* op = CheckObject(h, "get_point_count");
  return op != nullptr && op->IsSpline() ? static_cast<int32_t>(op->Points().size()) : 0;
}

}  // namespace object_entries
}  // namespace host
