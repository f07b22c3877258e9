# How the programs of a 32-bit x86 Linux build (cmake/linux-i386.cmake) run:
# directly where this machine runs 32-bit programs, else under qemu-i386
# (Debian's qemu-user). TOLVANE_I386_RUN picks: auto (a probe program built
# and started at configure time decides), native or qemu.
#
# Under qemu-i386 the tests run through CMake's CROSSCOMPILING_EMULATOR, and
# the tests that start the program themselves (popen, system) start a
# launcher script, tolvane-host-qemu, that runs it under qemu-i386 in turn:
# a program running under qemu-user cannot start another 32-bit program
# directly where the kernel cannot run them.
set(TOLVANE_I386_RUN auto CACHE STRING "How the 32-bit programs run: auto, native or qemu")
set_property(CACHE TOLVANE_I386_RUN PROPERTY STRINGS auto native qemu)

set(TOLVANE_I386_MODE ${TOLVANE_I386_RUN})
if(TOLVANE_I386_MODE STREQUAL "auto")
  set(probe_dir ${CMAKE_BINARY_DIR}/i386-probe)
  file(WRITE ${probe_dir}/probe.c "int main(void) { return sizeof(void*) == 4 ? 0 : 1; }\n")
  try_compile(probe_built ${probe_dir}/build SOURCES ${probe_dir}/probe.c
              COPY_FILE ${probe_dir}/probe)
  set(TOLVANE_I386_MODE qemu)
  if(probe_built)
    execute_process(COMMAND ${probe_dir}/probe RESULT_VARIABLE probe_status OUTPUT_QUIET ERROR_QUIET)
    if(probe_status STREQUAL "0")
      set(TOLVANE_I386_MODE native)
    endif()
  endif()
elseif(NOT TOLVANE_I386_MODE MATCHES "^(native|qemu)$")
  message(FATAL_ERROR "TOLVANE_I386_RUN is auto, native or qemu, not ${TOLVANE_I386_RUN}")
endif()

if(TOLVANE_I386_MODE STREQUAL "qemu")
  find_program(TOLVANE_QEMU_I386 qemu-i386 REQUIRED)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TOLVANE_QEMU_I386})
  set(TOLVANE_HOST_LAUNCHER ${CMAKE_BINARY_DIR}/tolvane-host-qemu)
  file(GENERATE OUTPUT ${TOLVANE_HOST_LAUNCHER}
       CONTENT "#!/bin/sh\nexec '${TOLVANE_QEMU_I386}' '$<TARGET_FILE:tolvane-host>' \"$@\"\n"
       FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                        WORLD_READ WORLD_EXECUTE)
endif()
# The Makefile prints how the 32-bit tests ran.
file(WRITE ${CMAKE_BINARY_DIR}/i386-run-mode.txt "${TOLVANE_I386_MODE}\n")
message(STATUS "32-bit programs run: ${TOLVANE_I386_MODE}")
