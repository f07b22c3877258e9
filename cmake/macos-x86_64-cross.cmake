# Cross-builds the release-12 module Tolvane.dylib for macOS x86-64 on Linux,
# with Debian's clang and ld64.lld and without any macOS SDK:
#   cmake -S . -B build-mac --toolchain cmake/macos-x86_64-cross.cmake
# The C++ headers are libc++'s (Debian's libc++-14-dev; macOS's C++ library is
# libc++ too), the C headers Debian's. The module is linked with -nostdlib
# against a text stub of /usr/lib/libSystem.B.dylib written from the checked-in
# list cmake/macos/libSystem.symbols (cmake/macos-stubs.cmake): a module that
# needs any symbol outside the list does not link, so nothing that exists only
# on Linux can reach it. It needs no C++ runtime library (see
# hostapi/module/cxx_runtime.cpp). tools/check-macho.sh checks the result.
set(CMAKE_SYSTEM_NAME Darwin)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TOLVANE_MACOS_TARGET x86_64-apple-macos10.13)
set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_C_COMPILER_TARGET ${TOLVANE_MACOS_TARGET})
set(CMAKE_CXX_COMPILER_TARGET ${TOLVANE_MACOS_TARGET})
set(CMAKE_OSX_ARCHITECTURES x86_64 CACHE STRING "" FORCE)
set(CMAKE_OSX_DEPLOYMENT_TARGET 10.13 CACHE STRING "" FORCE)
set(CMAKE_OSX_SYSROOT "" CACHE PATH "" FORCE)
# No SDK to link test programs against: the compiler checks build static
# libraries.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
# Debian's C headers seen from a macOS target: clang's own nullability
# macros would clash with glibc's __nonnull, and strict C++17 would hide the
# POSIX declarations libc++'s headers use. The multiarch folder comes last.
set(TOLVANE_MACOS_CFLAGS "-U__nonnull -U__nullable -D_DEFAULT_SOURCE -idirafter /usr/include/x86_64-linux-gnu")
set(CMAKE_C_FLAGS_INIT "${TOLVANE_MACOS_CFLAGS}")
set(CMAKE_CXX_FLAGS_INIT "-stdlib=libc++ ${TOLVANE_MACOS_CFLAGS}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-fuse-ld=lld")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(TOLVANE_HOST OFF CACHE BOOL "" FORCE)
set(TOLVANE_RELEASES 12 CACHE STRING "" FORCE)
