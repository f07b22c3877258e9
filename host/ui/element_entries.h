// The functions of the interface element suite, as the table's entries call
// them (element_entries.cpp). The table is made in suites/ha_gui.cpp.
#ifndef HOST_ELEMENT_ENTRIES_H
#define HOST_ELEMENT_ENTRIES_H

#include "hostapi.h"

namespace host {
namespace element_entries {

int32_t RegisterCustomGui(const ha_customgui_info* info);
int32_t InstallLibrary(int32_t id, const void* lib, int32_t version, int32_t size);
ha_plugin FindPluginFn(int32_t type, int32_t id);
ha_dialog DialogAlloc(ha_container settings, ha_plugin plugin, const ha_dialog_class* cls, void* user);
void DialogFree(ha_dialog h);
int32_t DialogGetId(ha_dialog h);
int32_t DefaultLayout(ha_dialog h);
int32_t DefaultCommand(ha_dialog h, int32_t, ha_container);
int32_t GroupBegin(ha_dialog h, int32_t id, int32_t flags, int32_t cols, int32_t rows, const char*, int32_t groupflags, int32_t initw, int32_t inith);
int32_t GroupSpace(ha_dialog h, int32_t spacex, int32_t spacey);
int32_t GroupEnd(ha_dialog h);
int32_t AddUserAreaFn(ha_dialog h, int32_t id, int32_t flags, int32_t initw, int32_t inith);
ha_userarea AttachUserArea(ha_dialog h, int32_t id, const ha_userarea_class* cls, void* user, int32_t flags);
int32_t DialogSendParentFn(ha_dialog h, ha_container msg);
void UaDetach(ha_userarea h);
int32_t UaGetId(ha_userarea h);
void UaRedraw(ha_userarea h);
int32_t UaSendParent(ha_userarea h, ha_container msg);
int32_t UaGlobalToLocal(ha_userarea h, int32_t* x, int32_t* y);
void OffscreenOn(ha_userarea h);
void DrawSetPen(ha_userarea h, const ha_vector* color);
void DrawRectangle(ha_userarea h, int32_t x1, int32_t y1, int32_t x2, int32_t y2);

}  // namespace element_entries
}  // namespace host

#endif
