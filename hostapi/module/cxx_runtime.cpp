// The two entries of the C++ runtime that the module's compiled code names,
// defined here for the builds that link no C++ runtime library (the macOS
// module, which so needs nothing beyond the system's C library): the tables
// of classes with pure virtual functions name __cxa_pure_virtual, and the
// deleting destructors of classes with virtual destructors name operator
// delete. Neither is called by the module: it makes its objects with NewObj
// and ends them with DeleteObj, through the host's allocator. Should a
// deleting destructor run, it hands the block back to the host as DeleteObj
// does; a call of a pure virtual function stops the process.
#include <cstdlib>
#include <new>

#include "api.h"

extern "C" void __cxa_pure_virtual() { std::abort(); }

void operator delete(void* block) noexcept { MemFree(block); }
