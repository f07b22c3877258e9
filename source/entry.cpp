// The module's door to the host: the exported entry and the plug-in hooks.
#include "flavour.h"
#include "tolvane.h"

#if defined(_WIN32)
#define TOLVANE_EXPORT extern "C" __declspec(dllexport)
#else
#define TOLVANE_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace {

Int32 init_count = 0;
CrashHandler old_handler = nullptr;

void PrintLines(const char* const* lines) {
  for (; *lines != nullptr; ++lines) GePrint(String(*lines));
}

// Calls a registration hook of the flavour, when it has one.
Bool RunHook(Bool (*hook)()) { return hook != nullptr && hook(); }

// Passes the host's crash report on to the handler we replaced.
void SDKCrashHandler(char* text) {
  if (old_handler != nullptr) old_handler(text);
}

}  // namespace

Bool PluginStart() {
  if (kFlavour.installsCrashHandler) {
    old_handler = GetCrashHandler();
    SetCrashHandler(&SDKCrashHandler);
  }
  PrintLines(kFlavour.bannerLines);
  // A failed extra registration does not stop the arrow from loading.
  RunHook(kFlavour.registerExtras);
  if (RegisterTolvane()) {
    PrintLines(kFlavour.successLines);
    return true;
  }
  PrintLines(kFlavour.failureLines);
  return false;
}

Bool PluginMessage(Int32 id, void* /*data*/) {
  switch (id) {
    case 0:
      return true;
    case 1:
      if (resource.Init()) return true;
      GePrint(String("Tolvane: failed to load resource file."));
      return false;
    default:
      return false;
  }
}

void PluginEnd() {}

namespace {

Int32 OnInitSys(void* table, void* moduleFile) {
  if (init_count++ != 0) return 1;
  if (InitOS(table) < kFlavour.lowestHostVersion || moduleFile == nullptr) return -3;
  path_storage = NewObjWith(Filename, static_cast<const char*>(moduleFile));
  return 1;
}

Int32 OnEnd() {
  if (--init_count != 0) return 1;
  PluginEnd();
  if (kFlavour.releasesHostLists) ReleaseHostLists();
  resource.Free();
  DeleteObj(path_storage);
  if (kFlavour.installsCrashHandler && HostTable() != nullptr && GetCrashHandler() == &SDKCrashHandler)
    SetCrashHandler(old_handler);
  old_handler = nullptr;
  ResetOS();
  return 1;
}

}  // namespace

TOLVANE_EXPORT Int32 HA_CALL c4d_main(Int32 action, void* p1, void* p2, void* p3) {
  switch (action) {
    case HA_ACTION_INIT_SYS:
      return OnInitSys(p1, p3);
    case HA_ACTION_START:
      return PluginStart() ? 1 : 0;
    case HA_ACTION_END:
      return OnEnd();
    case 4:
      return 5;
    case HA_ACTION_MESSAGE:
      return PluginMessage(static_cast<Int32>(reinterpret_cast<std::intptr_t>(p1)), p2) ? 1 : -1;
    default:
      return -1;
  }
}
