// The entries of the C++ runtime that the module's compiled code names,
// defined here so that no build of the module carries the C++ runtime's
// exception and type support (the macOS module links no C++ runtime library
// at all, so it needs nothing beyond the system's C library): the tables of
// classes with pure virtual functions name __cxa_pure_virtual, and the
// deleting destructors of classes with virtual destructors name operator
// delete, sized or not. None is called by the module: it makes its objects
// with NewObj and ends them with DeleteObj, through the host's allocator.
// Should a deleting destructor run, it hands the block back to the host as
// DeleteObj does; a call of a pure virtual function stops the process.
#include <cstddef>
#include <cstdlib>
#include <new>

#include "api.h"

extern "C" void __cxa_pure_virtual() { std::abort(); }

void operator delete(void* block) noexcept { MemFree(block); }
void operator delete(void* block, std::size_t) noexcept { MemFree(block); }
