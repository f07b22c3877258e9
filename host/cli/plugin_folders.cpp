#include "plugin_folders.h"

#include <cstdlib>
#include <filesystem>

namespace host {

std::string PluginsDir() {
#ifdef TOLVANE_PLUGINS_DIR
  return TOLVANE_PLUGINS_DIR;
#else
  return "plugins";
#endif
}

std::string PluginFolder(int release) {
  // TOLVANE_PLUGIN_R12 (or _R16) names another built folder of that release,
  // such as the macOS module's, so that the same tests run against it.
  const std::string variable = "TOLVANE_PLUGIN_R" + std::to_string(release);
  if (const char* folder = std::getenv(variable.c_str()); folder != nullptr && *folder != '\0') return folder;
  return (std::filesystem::path(PluginsDir()) / ("Tolvane-R" + std::to_string(release))).string();
}

}  // namespace host
