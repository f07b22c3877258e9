// The functions of the document suite, as the table's entries call them
// (document_entries.cpp). The table is made in suites/ha_document.cpp.
#ifndef HOST_DOCUMENT_ENTRIES_H
#define HOST_DOCUMENT_ENTRIES_H

#include "hostapi.h"

namespace host {
namespace document_entries {

int32_t DocStartUndo(ha_document h);
int32_t DocAddUndo(ha_document h, int32_t kind, ha_object oh);
int32_t DocEndUndo(ha_document h);
void DocInsert(ha_document h, ha_object oh, ha_object parent, ha_object pred, int32_t);
int32_t DocSplinePlane(ha_document h);

}  // namespace document_entries
}  // namespace host

#endif
