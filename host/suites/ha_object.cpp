// The object suite: objects, their containers, the tree and spline points
// (model/object_entries.cpp does the work).
#include "suites.h"

#include <cstdint>

#include "entry.h"
#include "object_entries.h"

namespace host {
namespace {

using namespace object_entries;

const ha_object_suite kObject = MakeSuite<ha_object_suite,
    Entry<&ObjAlloc>,
    Entry<&SplineAlloc>,
    Entry<&ObjFree>,
    Entry<&ObjType>,
    Entry<&ObjDataInstance>,
    Entry<&ObjDataCopy>,
    Entry<&ObjSetData>,
    Entry<&ObjDocument>,
    Entry<&ObjUp>,
    Entry<&ObjDown>,
    Entry<&ObjNext>,
    Entry<&ObjPred>,
    Entry<&ObjInsertUnder>,
    Entry<&ObjInsertUnderLast>,
    Entry<&ObjRemove>,
    Entry<&ObjMessage>,
    Entry<&ObjPoints>,
    Entry<&ObjPointCount>>();

}  // namespace

const ha_object_suite* ObjectSuite() { return &kObject; }

}  // namespace host
