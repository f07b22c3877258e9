// The functions of the object suite, as the table's entries call them
// (object_entries.cpp). The table is made in suites/ha_object.cpp.
#ifndef HOST_OBJECT_ENTRIES_H
#define HOST_OBJECT_ENTRIES_H

#include "hostapi.h"

namespace host {
namespace object_entries {

ha_object ObjAlloc(int32_t type);
ha_object SplineAlloc(int32_t count, int32_t type);
void ObjFree(ha_object h);
int32_t ObjType(ha_object h);
ha_container ObjDataInstance(ha_object h);
ha_container ObjDataCopy(ha_object h);
int32_t ObjSetData(ha_object h, ha_container bch, int32_t merge);
ha_document ObjDocument(ha_object h);
ha_object ObjUp(ha_object h);
ha_object ObjDown(ha_object h);
ha_object ObjNext(ha_object h);
ha_object ObjPred(ha_object h);
void ObjInsertUnder(ha_object h, ha_object parent);
void ObjInsertUnderLast(ha_object h, ha_object parent);
void ObjRemove(ha_object h);
int32_t ObjMessage(ha_object h, int32_t type, void* data);
ha_vector* ObjPoints(ha_object h);
int32_t ObjPointCount(ha_object h);

}  // namespace object_entries
}  // namespace host

#endif
