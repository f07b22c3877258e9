// A module file opened for running: an ELF shared object or a Windows DLL
// through the platform's own loader, or a macOS module (a Mach-O x86-64
// dynamic library) through the host's Mach-O loader where this host has one.
// The kind is told by the file's first bytes, not by its name.
#ifndef HOST_LOADER_MODULE_LIBRARY_H
#define HOST_LOADER_MODULE_LIBRARY_H

#include <memory>
#include <string>

namespace host {

class ModuleLibrary {
 public:
  virtual ~ModuleLibrary() = default;  // unloads the module
  // The address of an exported function by its C name ("c4d_main"), or null.
  virtual void* FindFunction(const char* cName) const = 0;
  // What was loaded and by whom, for people ("ELF shared object, ...").
  virtual std::string Kind() const = 0;
};

// Opens a module file. Null (with a message naming the file and the reason)
// when the file cannot be read, is of a kind this host does not run, or is
// refused by its loader; a refused macOS module has run none of its code.
std::unique_ptr<ModuleLibrary> OpenModuleLibrary(const std::string& path, std::string* error);

// Whether this host can run macOS modules (x86-64 Linux hosts built with
// LLVM's object library).
bool CanRunMacOSModules();

}  // namespace host

#endif
