# Builds the release-12 module Tolvane.dylib for macOS on x86-64. Run on a
# Mac with the command-line developer tools and CMake:
#   cmake -S . -B build-mac --toolchain cmake/macos-x86_64.cmake
#   cmake --build build-mac
# The module lands in build-mac/plugins/Tolvane-R12/ with its resources and
# presets. Only the module is built: the stand-in host and the tests need
# libraries that a Mac does not come with.
set(CMAKE_OSX_ARCHITECTURES x86_64 CACHE STRING "" FORCE)
set(CMAKE_OSX_DEPLOYMENT_TARGET 10.13 CACHE STRING "" FORCE)
set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
set(TOLVANE_HOST OFF CACHE BOOL "" FORCE)
set(TOLVANE_RELEASES 12 CACHE STRING "" FORCE)
