# The text stub (.tbd) of /usr/lib/libSystem.B.dylib that the macOS cross
# build links the module against, written from the checked-in list
# cmake/macos/libSystem.symbols (one symbol a line, # comments). Sets
# TOLVANE_MACOS_LINK_OPTIONS: no default libraries, the stub's folder, and
# libSystem alone.
set(TOLVANE_MACOS_SYMBOLS ${CMAKE_SOURCE_DIR}/cmake/macos/libSystem.symbols)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${TOLVANE_MACOS_SYMBOLS})
file(STRINGS ${TOLVANE_MACOS_SYMBOLS} lines)
set(symbols "")
foreach(line IN LISTS lines)
  string(STRIP "${line}" line)
  if(line STREQUAL "" OR line MATCHES "^#")
    continue()
  endif()
  if(NOT line MATCHES "^[A-Za-z_][A-Za-z0-9_]*$")
    message(FATAL_ERROR "${TOLVANE_MACOS_SYMBOLS}: not a symbol name: '${line}'")
  endif()
  list(APPEND symbols "${line}")
endforeach()
list(JOIN symbols ", " symbols)
set(TOLVANE_MACOS_STUBS ${CMAKE_BINARY_DIR}/macos-stubs)
file(CONFIGURE OUTPUT ${TOLVANE_MACOS_STUBS}/libSystem.tbd CONTENT [[
--- !tapi-tbd
tbd-version:     4
targets:         [ x86_64-macos ]
install-name:    '/usr/lib/libSystem.B.dylib'
current-version: 1281
exports:
  - targets:     [ x86_64-macos ]
    symbols:     [ @symbols@ ]
...
]] @ONLY)
set(TOLVANE_MACOS_LINK_OPTIONS -nostdlib -L${TOLVANE_MACOS_STUBS} -lSystem)
set(TOLVANE_MACOS_LINK_DEPENDS ${TOLVANE_MACOS_STUBS}/libSystem.tbd)
