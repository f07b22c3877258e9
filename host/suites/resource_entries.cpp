// The functions of the resource suite and the crash-handler suite that need
// the running `Host` (ha_resource.cpp makes the tables): the console and
// message boxes, object registration, the base enabling answer, and the
// crash handler of release-12 hosts.
#include "resource_entries.h"

#include <string>

#include "core.h"
#include "host.h"
#include "resources.h"
#include "scene.h"

namespace host {
namespace resource_entries {

void Print(const char* line) {
  Host::Current()->Console().push_back(line != nullptr ? line : "");
}
int32_t OutString(const char* text, int32_t flags) {
  Host::Current()->MessageBoxes().push_back(text != nullptr ? text : "");
  Host::Current()->MessageBoxFlags().push_back(flags);
  return 1;
}
int32_t RegisterObject(const ha_object_plugin_info* info) {
  if (info == nullptr || info->cls == nullptr || info->size < sizeof(ha_object_plugin_info)) {
    ReportMisuse("register_object_plugin: incomplete registration");
    return 0;
  }
  const ha_object_plugin_class& cls = *info->cls;
  if (cls.alloc == nullptr || cls.free == nullptr) return 0;
  if (Host::Current()->refuseRegistration || FindObjectPlugin(info->id) != nullptr) return 0;
  ObjectPlugin plugin;
  plugin.id = info->id;
  plugin.name = info->name != nullptr ? info->name : "";
  plugin.info = info->info;
  plugin.cls = cls;
  plugin.description = info->description != nullptr ? info->description : "";
  plugin.diskLevel = info->disk_level;
  if (const Bitmap* icon = BitmapOf(info->icon)) {
    plugin.hasIcon = true;
    plugin.iconWidth = icon->width;
    plugin.iconHeight = icon->height;
    plugin.iconPixelRatio = icon->pixelRatio;
  }
  ObjectPlugins().push_back(plugin);
  return 1;
}
int32_t BaseEnabling(ha_object, const ha_descid*, ha_data, int32_t, ha_container) { return 1; }

ha_crash_handler GetCrash() { return Host::Current()->CrashHandler(); }
void SetCrash(ha_crash_handler h) { Host::Current()->SetCrashHandler(h); }

}  // namespace resource_entries
}  // namespace host
