// The functions of the container suite and the data suite, as the table's
// entries call them (container_entries.cpp). The tables are made in
// suites/ha_container.cpp.
#ifndef HOST_CONTAINER_ENTRIES_H
#define HOST_CONTAINER_ENTRIES_H

#include "hostapi.h"

namespace host {
namespace container_entries {

ha_container BcAlloc();
void BcFree(ha_container bc);
int32_t BcGetType(ha_container h, int32_t id);
int32_t BcGetInt32(ha_container h, int32_t id, int32_t preset);
double BcGetFloat(ha_container h, int32_t id, double preset);
void BcGetVector(ha_container h, int32_t id, const ha_vector* preset, ha_vector* out);
ha_text BcGetString(ha_container h, int32_t id);
ha_object BcGetLink(ha_container h, int32_t id, ha_document doc, int32_t instanceOf);
void BcSetInt32(ha_container h, int32_t id, int32_t v);
void BcSetFloat(ha_container h, int32_t id, double v);
void BcSetVector(ha_container h, int32_t id, const ha_vector* v);
void BcSetString(ha_container h, int32_t id, const char* v);
void BcSetLink(ha_container h, int32_t id, ha_object target);
int32_t BcGetId(ha_container h);
void BcSetId(ha_container h, int32_t id);
ha_container BcCopy(ha_container h);
ha_customdata BcGetCustom(ha_container h, int32_t id, int32_t type);
int32_t BcSetCustom(ha_container h, int32_t id, int32_t type, ha_customdata value);
ha_data BcGetData(ha_container h, int32_t id);
int32_t BcSetData(ha_container h, int32_t id, ha_data data);
ha_customdata DataGetCustom(ha_data data, int32_t type);
ha_data DataAllocCustom(int32_t type, ha_customdata value);
ha_data DataAlloc();
void DataFree(ha_data d);
int32_t DataType(ha_data d);
int32_t DataInt32(ha_data d);
double DataFloat(ha_data d);

}  // namespace container_entries
}  // namespace host

#endif
