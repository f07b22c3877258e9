# What both MinGW-w64 toolchains share; TOLVANE_MINGW_TRIPLET names the
# target. The "-posix" compilers use the POSIX thread model, which the C++
# standard library's threads and GoogleTest need.
set(CMAKE_C_COMPILER ${TOLVANE_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TOLVANE_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${TOLVANE_MINGW_TRIPLET}-windres)
set(CMAKE_OBJDUMP ${TOLVANE_MINGW_TRIPLET}-objdump)

# Look for libraries and headers of the target only, programs of the build
# machine only.
set(CMAKE_FIND_ROOT_PATH /usr/${TOLVANE_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
