#!/usr/bin/env bash
# The checks of the macOS part of `make test`, on the built preset mac
# (build-mac/) and the normal build (build/):
#   tools/mac-checks.sh [JOBS]
# 1. the release-12 module Tolvane.dylib passes the Mach-O checks
#    (tools/check-macho.sh);
# 2. two deliberately wrong modules show that the checks bite: one more
#    export fails the Mach-O check, a symbol of Linux's C library fails the
#    link against the stub of the system library;
# 3. the whole suite of the normal build with this module as the release-12
#    plug-in (ctest --preset mac: TOLVANE_PLUGIN_R12 names its folder);
# 4. its presets and outlines compared with the Linux module's
#    (tools/compare-builds.sh);
# 5. the module's SHA-256 recorded for make dist (tools/record-tested.sh).
# Each command is printed before it runs; the first that fails stops.
set -euo pipefail
cd "$(dirname "$0")/.."

jobs=${1:-2}
build=build-mac
module=$build/plugins/Tolvane-R12/Tolvane.dylib

run() { echo "$*"; "$@"; }

# expect TEXT COMMAND...: the command's output (its status aside) holds TEXT.
expect() {
  local text=$1
  shift
  echo "$* 2>&1 | grep \"$text\""
  local out
  out=$("$@" 2>&1 || true)
  if ! grep -F -- "$text" <<<"$out"; then
    printf '%s\n' "$out" >&2
    echo "mac-checks: expected \"$text\"" >&2
    exit 1
  fi
}

run bash tools/check-macho.sh "$module" 12
run cmake --build --preset mac -j "$jobs" --target tolvane_r12_extra_export
expect "exports '_c4d_main _tolvane_extra_export', expected exactly '_c4d_main'" \
  bash tools/check-macho.sh "$build/wrong-extra_export/Tolvane.dylib" 12
expect "undefined symbol: ___errno_location" cmake --build --preset mac --target tolvane_r12_linux_only
echo "! test -e $build/wrong-linux_only/Tolvane.dylib"
if [ -e "$build/wrong-linux_only/Tolvane.dylib" ]; then
  echo "mac-checks: $build/wrong-linux_only/Tolvane.dylib was linked" >&2
  exit 1
fi
run ctest --preset mac -j "$jobs"
run bash tools/compare-builds.sh "$build/compare" build/tolvane-host "r12:$build/plugins/Tolvane-R12"
bash tools/record-tested.sh "$build" "$module"
