// Plug-ins registered by a loaded module.
#ifndef HOST_PLUGINS_H
#define HOST_PLUGINS_H

#include <deque>
#include <string>

#include "hostapi.h"

namespace host {

struct ObjectPlugin {
  int32_t id = 0;
  std::string name;
  int32_t info = 0;
  ha_object_plugin_class cls{};  // copied; its functions live in the module
  std::string description;
  bool hasIcon = false;
  int iconWidth = 0, iconHeight = 0;
  double iconPixelRatio = 0.0;
  int32_t diskLevel = 0;
};

// The registry of the running host (a deque: objects keep pointers into it).
std::deque<ObjectPlugin>& ObjectPlugins();
const ObjectPlugin* FindObjectPlugin(int32_t id);

}  // namespace host

#endif
