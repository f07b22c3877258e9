#!/usr/bin/env bash
# The checks of a Windows part of `make test`, on the built preset win64 or
# win32 (build-win64/, build-win32/) and the normal build (build/):
#   tools/windows-checks.sh 64|32 [JOBS]
# 1. the shipped module is a PE32+ or PE32 DLL with one export and system
#    imports (tools/check-pe.sh), and the check of the other width refuses it;
# 2. every test program of the build under Wine (ctest --preset win64|win32),
#    and how many test cases they ran (tools/gtest-count.sh);
# 3. the presets and outlines of the Windows program compared byte for byte
#    with the Linux program's (tools/compare-builds.sh);
# 4. the module's SHA-256 recorded for make dist (tools/record-tested.sh).
# Each command is printed before it runs; the first that fails stops.
set -euo pipefail
cd "$(dirname "$0")/.."

case ${1:-} in
  64) preset=win64 module=plugins/Tolvane-R16/Tolvane.cdl64 other=32 ;;
  32) preset=win32 module=plugins/Tolvane-R12/Tolvane.cdl other=64 ;;
  *) echo "usage: $0 64|32 [JOBS]" >&2; exit 2 ;;
esac
bits=$1
jobs=${2:-2}
build=build-$preset

run() { echo "$*"; "$@"; }

run bash tools/check-pe.sh "$build/$module" "$bits"
echo "! bash tools/check-pe.sh $build/$module $other 2>/dev/null"
if bash tools/check-pe.sh "$build/$module" "$other" 2>/dev/null; then
  echo "windows-checks: the $other-bit check passed $build/$module" >&2
  exit 1
fi
run rm -rf "$build/gtest-results"
run ctest --preset "$preset" -j "$jobs"
run bash tools/gtest-count.sh "$build/gtest-results"
run bash tools/compare-builds.sh "$build/compare" build/tolvane-host \
  "wine:$build/wineprefix:$build/tolvane-host.exe"
bash tools/record-tested.sh "$build" "$build/$module"
