# Cross-compiles for 32-bit Windows with MinGW-w64 (Debian's
# g++-mingw-w64-i686-posix): the release-12 module Tolvane.cdl, and for the
# tests under 32-bit Wine a release-16 module, the stand-in host and every
# test program:
#   cmake -S . -B build-win32 --toolchain cmake/mingw-w64-i686.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(TOLVANE_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
# Floating point in SSE2 registers with double precision, as on x86-64: the
# x87 unit's 80-bit intermediates would round outlines differently from the
# 64-bit module.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
