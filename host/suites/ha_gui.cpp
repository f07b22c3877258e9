// The interface element suite: element registration, libraries, dialogs,
// layout, user areas and drawing (ui/element_entries.cpp does the work).
#include "suites.h"

#include <cstdint>

#include "entry.h"
#include "element_entries.h"

namespace host {
namespace {

using namespace element_entries;

const ha_gui_suite kGui = MakeSuite<ha_gui_suite,
    Entry<&RegisterCustomGui>,
    Entry<&InstallLibrary>,
    Entry<&FindPluginFn>,
    Entry<&DialogAlloc>,
    Entry<&DialogFree>,
    Entry<&DialogGetId>,
    Entry<&DefaultLayout>,
    Entry<&DefaultCommand>,
    Entry<&GroupBegin>,
    Entry<&GroupSpace>,
    Entry<&GroupEnd>,
    Entry<&AddUserAreaFn>,
    Entry<&AttachUserArea>,
    Entry<&DialogSendParentFn>,
    Entry<&UaDetach>,
    Entry<&UaGetId>,
    Entry<&UaRedraw>,
    Entry<&UaSendParent>,
    Entry<&UaGlobalToLocal>,
    Entry<&OffscreenOn>,
    Entry<&DrawSetPen>,
    Entry<&DrawRectangle>>();

}  // namespace

const ha_gui_suite* GuiSuite() { return &kGui; }

}  // namespace host
