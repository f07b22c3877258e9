#!/usr/bin/env bash
# Lays out the plug-in packages of every built deliverable:
#   tools/make-dist.sh OUT LINUX_BUILD WIN64_BUILD WIN32_BUILD MAC_BUILD
# OUT/Tolvane-R16-Win64.zip  release 16, 64-bit Windows (Tolvane.cdl64)
# OUT/Tolvane-R12-Win32.zip  release 12, 32-bit Windows (Tolvane.cdl)
# OUT/Tolvane-R12-Mac.zip    release 12, macOS x86-64 (Tolvane.dylib)
# OUT/Tolvane-R16-Linux/     release 16 for the stand-in host on Linux
# OUT/Tolvane-R12-Linux/     release 12 for the stand-in host on Linux
# Each holds one plug-in folder Tolvane/ with the module file, resources/
# and presets/, to be copied into the host's plug-ins folder.
#
# `make test` records in each build folder (tested-modules.sha256) the
# SHA-256 of every module file its parts ran the suite against. A packed
# Windows or macOS module must be that very file: a different hash fails;
# a module with no record is packed with a note, or fails when
# TOLVANE_DIST_REQUIRE_TESTED=1 (the last step of `make test`).
set -euo pipefail

if [ $# -ne 5 ]; then
  echo "usage: $0 OUT LINUX_BUILD WIN64_BUILD WIN32_BUILD MAC_BUILD" >&2
  exit 2
fi
out=$1
linux=$2
win64=$3
win32=$4
mac=$5

rm -rf "$out"
mkdir -p "$out/.stage"

# package NAME BUILT_PLUGIN_FOLDER MODULE_FILE -> $out/.stage/NAME/Tolvane
package() {
  local name=$1 from=$2 module=$3
  local to="$out/.stage/$name/Tolvane"
  for part in "$module" resources/strings.json resources/tolvane.tif resources/description/Otolvane.json; do
    [ -f "$from/$part" ] || { echo "make-dist: $from/$part is missing" >&2; exit 1; }
  done
  ls "$from"/presets/*.tlv >/dev/null 2>&1 || { echo "make-dist: no presets in $from" >&2; exit 1; }
  mkdir -p "$to"
  cp "$from/$module" "$to/"
  cp -r "$from/resources" "$from/presets" "$to/"
}

# tested NAME BUILT_PLUGIN_FOLDER MODULE_FILE: checks the packed module
# against the record of the tests its build folder ran.
tested() {
  local name=$1 from=$2 module=$3
  local record
  record=$(cd "$from/../.." && pwd)/tested-modules.sha256
  local file
  file=$(cd "$from" && pwd)/$module
  local hash
  hash=$(sha256sum "$out/.stage/$name/Tolvane/$module" | cut -d' ' -f1)
  local ran
  ran=$([ -f "$record" ] && awk -v f="$file" '$2 == f {print $1}' "$record" | tail -n 1 || true)
  if [ -z "$ran" ]; then
    if [ "${TOLVANE_DIST_REQUIRE_TESTED:-0}" = 1 ]; then
      echo "make-dist: $file was not run by make test (no record in $record)" >&2
      exit 1
    fi
    echo "  $module sha256 $hash: not run by make test in this tree"
  elif [ "$ran" != "$hash" ]; then
    echo "make-dist: $file (sha256 $hash) is not the file make test ran (sha256 $ran); run make test again" >&2
    exit 1
  else
    echo "  $module sha256 $hash: the file make test ran"
  fi
}

zipped() {
  local name=$1
  (cd "$out/.stage/$name" && zip -qrX "../../$name.zip" Tolvane)
  # The archive holds exactly the staged files.
  diff <(cd "$out/.stage/$name" && find Tolvane -type f | sort) <(unzip -Z1 "$out/$name.zip" | grep -v '/$' | sort)
  echo "$out/$name.zip: $(unzip -Z1 "$out/$name.zip" | grep -vc '/$') files"
}

package Tolvane-R16-Win64 "$win64/plugins/Tolvane-R16" Tolvane.cdl64
package Tolvane-R12-Win32 "$win32/plugins/Tolvane-R12" Tolvane.cdl
package Tolvane-R12-Mac "$mac/plugins/Tolvane-R12" Tolvane.dylib
zipped Tolvane-R16-Win64
tested Tolvane-R16-Win64 "$win64/plugins/Tolvane-R16" Tolvane.cdl64
zipped Tolvane-R12-Win32
tested Tolvane-R12-Win32 "$win32/plugins/Tolvane-R12" Tolvane.cdl
zipped Tolvane-R12-Mac
tested Tolvane-R12-Mac "$mac/plugins/Tolvane-R12" Tolvane.dylib

for release in 16 12; do
  package "Tolvane-R$release-Linux" "$linux/plugins/Tolvane-R$release" Tolvane.so
  strip --strip-unneeded "$out/.stage/Tolvane-R$release-Linux/Tolvane/Tolvane.so"
  mv "$out/.stage/Tolvane-R$release-Linux" "$out/"
  echo "$out/Tolvane-R$release-Linux/Tolvane: $(find "$out/Tolvane-R$release-Linux" -type f | wc -l) files"
done
rm -rf "$out/.stage"
