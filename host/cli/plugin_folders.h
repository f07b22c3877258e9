// Where the program finds the built plug-in folders.
#ifndef HOST_PLUGIN_FOLDERS_H
#define HOST_PLUGIN_FOLDERS_H

#include <string>

namespace host {

// Where the built plug-in folders are.
std::string PluginsDir();
// The built plug-in folder of a release (16 or 12), or the folder the
// environment variable TOLVANE_PLUGIN_R16 or TOLVANE_PLUGIN_R12 names.
std::string PluginFolder(int release);

}  // namespace host

#endif
