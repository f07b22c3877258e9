# Builds for 32-bit x86 Linux with Debian's multilib compilers (gcc-multilib,
# g++-multilib): the stand-in host, both modules and every test program, to run
# the project's own code with 4-byte pointers, 32-bit structure layouts and
# the 32-bit calling convention:
#   cmake -S . -B build-i386 --toolchain cmake/linux-i386.cmake
# The 32-bit libtiff and libpng are not installed, so the host uses its own
# TIFF reader and PNG writer; GoogleTest is built from Debian's sources.
# The programs run directly where this machine runs 32-bit programs, else
# under qemu-i386 (cmake/i386-runner.cmake).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
# Floating point in SSE2 registers with double precision, as on x86-64 (and
# in the 32-bit Windows module): the x87 unit's 80-bit intermediates would
# round outlines differently from the other builds.
set(CMAKE_C_FLAGS_INIT "-m32 -msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-m32 -msse2 -mfpmath=sse")
set(CMAKE_EXE_LINKER_FLAGS_INIT -m32)
set(CMAKE_SHARED_LINKER_FLAGS_INIT -m32)
set(CMAKE_MODULE_LINKER_FLAGS_INIT -m32)
set(TOLVANE_IMAGE_LIBS OFF CACHE BOOL "Use libtiff and libpng in the stand-in host")

# Libraries and headers of the 32-bit target only (none beyond the C and C++
# runtimes), programs of the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/lib32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
