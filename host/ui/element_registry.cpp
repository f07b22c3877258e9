// The registered interface elements and their installed libraries, and
// their release before the module ends.
#include "ui_internal.h"

#include <string>

#include "scene.h"

namespace host {

void DestroyElementClass(const ha_customgui_class& cls) {
  if (cls.destroy != nullptr) cls.destroy(cls.user);
}

const std::deque<CustomGuiPlugin>& CustomGuiPlugins() { return Ui().registry; }

const CustomGuiPlugin* FindCustomGuiPlugin(int32_t id) {
  for (const CustomGuiPlugin& g : Ui().registry)
    if (g.id == id) return &g;
  return nullptr;
}

const std::vector<InstalledLibrary>& InstalledLibraries() { return Ui().libraries; }

const InstalledLibrary* FindLibrary(int32_t id) {
  for (const InstalledLibrary& l : Ui().libraries)
    if (l.id == id) return &l;
  return nullptr;
}

long ReleaseModuleExtras() {
  while (!Ui().elementHosts.empty()) CloseElement(Ui().elementHosts.back().get());
  if (!Ui().dialogs.empty()) {
    ReportMisuse(std::to_string(Ui().dialogs.size()) + " dialog(s) of the module were never freed");
    Ui().dialogs.clear();
  }
  for (CustomGuiPlugin& g : Ui().registry) {
    g.alive = false;
    DestroyElementClass(g.cls);
  }
  Ui().registry.clear();
  Ui().libraries.clear();
  const long live = ReleaseCustomDataTypes();
  Refusals() = RegistrationRefusals();
  return live;
}


}  // namespace host
