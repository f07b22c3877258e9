// The host's own implementations of what a macOS module may import from
// /usr/lib/libSystem.B.dylib: the functions of the checked-in list
// cmake/macos/libSystem.symbols, under their macOS names (`_memcpy`,
// `___sincos_stret`). macOS and Linux share the x86-64 calling convention,
// so most are this host's C library's own; the rest are written here
// (`___sincos_stret` returns sine and cosine as macOS does, `___bzero`).
// `dyld_stub_binder` is bound too, but is never to be reached: the loader
// binds every lazy pointer before the module runs, so a call stops the
// program with a message.
#ifndef HOST_LOADER_MACHO_IMPORTS_H
#define HOST_LOADER_MACHO_IMPORTS_H

#include <string>
#include <vector>

namespace host {

// The address the import `name` is bound to, or null when the host has none.
const void* MacOSImport(const std::string& name);

// Every import the host provides, sorted.
std::vector<std::string> MacOSImportNames();

}  // namespace host

#endif
