#!/usr/bin/env bash
# Makes the binary seed corpora of fuzz/corpus/ again (they are checked in;
# run this only to renew them):
#   bash fuzz/make-seeds.sh BUILD_DIR
# BUILD_DIR holds a built tolvane-host and both plug-in folders (any build
# folder, e.g. build-fuzz). The preset and scene seeds are written by the
# host itself; the Dots and resource seeds are laid out here (python3). The
# script seeds are hand-written files and are left alone.
set -euo pipefail

build=${1:?usage: make-seeds.sh BUILD_DIR}
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
hostprog=$(cd "$build" && pwd)/tolvane-host
corpus=$here/corpus
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# --- presets: the example presets (version 1.2), and files of both releases
for target in preset_r16 preset_r12; do
  rm -rf "${corpus:?}/$target"
  mkdir -p "$corpus/$target"
  cp "$root"/presets/*.tlv "$corpus/$target/"
done
"$hostprog" preset save "$work/r16-named.tlv" --release 16 --set "ARROW_PRESET_NAME=Pfeil ä €" \
  --set ARROW_DOUBLE_HEADED=true --set ARROW_CHEVRON=true --set ARROW_POINT_COUNT=-7 >/dev/null
"$hostprog" preset save "$work/r12-named.tlv" --release 12 --set "ARROW_PRESET_NAME=Flèche" \
  --set ARROW_FLETCHING=true --set ARROW_PLANE=2 >/dev/null
"$hostprog" preset save "$work/r16-default.tlv" --release 16 >/dev/null
for target in preset_r16 preset_r12; do
  cp "$work"/r16-named.tlv "$work"/r12-named.tlv "$work"/r16-default.tlv "$corpus/$target/"
done
# A version line of no known version: read without items 8 to 10.
python3 - "$work/r16-default.tlv" "$corpus/preset_r16/version-1.1.tlv" <<'EOF'
import sys
data = open(sys.argv[1], 'rb').read()
old = b'\x00\x00\x00\x0e# Version 1.3\x00'
assert old in data
data = data.replace(old, b'\x00\x00\x00\x0e# Version 1.1\x00', 1)
# Items 8 to 10 (a Bool and two floats, 9 bytes) follow the name and items 2 to 7.
start = data.index(b'# Start of parameters\x00') + 22 + 5 + 4 * 3 + 2 + 4
data = data[:start] + data[start + 9:]
open(sys.argv[2], 'wb').write(data)
EOF
cp "$corpus/preset_r16/version-1.1.tlv" "$corpus/preset_r12/"

# --- scenes, written by the host's console
rm -rf "${corpus:?}/scene"
mkdir -p "$corpus/scene"
(
  cd "$work"
  "$hostprog" run - >/dev/null <<'EOF'
save-scene empty.tlvscene
arrow Arrow
userdata Arrow dots Marks
gui open Arrow Marks
gui click 120 80
gui click 200 150
gui close
save-scene dots.tlvscene
object spline Path
set Arrow ARROW_CLONE_ON_SPLINE true
set Arrow ARROW_CLONE_SPLINE Path
set Arrow ARROW_CLONE_EXTRUDED true
press Arrow ARROW_MAKE_CLONER
select Arrow
doc plane 1
save-scene cloner.tlvscene
object null Holder
set Holder 1001 int:-3
set Holder 1002 float:nan
set Holder 1003 vector:1,-2,3.5
set Holder 1004 string:"text with ä"
set Holder 1005 link:Path
set Holder 1006 link:none
userdata Holder int Count
userdata Holder link Target
save-scene values.tlvscene
EOF
)
cp "$work"/*.tlvscene "$corpus/scene/"

# --- Dots values: level, allocation to fail, then the stored items
rm -rf "${corpus:?}/dots"
mkdir -p "$corpus/dots"
python3 - "$corpus/dots" <<'EOF'
import struct, sys, os
out = sys.argv[1]
def value(points, count=None):
    b = b'\x01' + struct.pack('<q', len(points) if count is None else count)
    for p in points:
        b += b'\x02' + struct.pack('<3d', *p)
    return b
def seed(name, level, fail, items):
    open(os.path.join(out, name), 'wb').write(struct.pack('<bB', level, fail) + items)
three = [(120.0, 80.0, 0.0), (200.0, 150.0, 0.0), (310.0, 40.0, 0.0)]
seed('empty', 1, 0, value([]))
seed('three', 1, 0, value(three))
seed('level-0', 0, 0, value(three))
seed('count-too-large', 1, 0, value(three, 1000))
seed('count-negative', 1, 0, value(three, -2))
seed('alloc-fails', 1, 2, value([(float(i), -float(i), 0.5) for i in range(20)]))
seed('odd-values', 1, 0, value([(float('nan'), float('inf'), -0.0), (1e308, -1e-308, 5e-324)]))
EOF

# --- resources: byte 0 even for the string table, odd for a description
rm -rf "${corpus:?}/resources"
mkdir -p "$corpus/resources"
{ printf '\0'; cat "$root/resources/strings.json"; } >"$corpus/resources/strings"
{ printf '\1'; cat "$root/resources/description/Otolvane.r16.json"; } >"$corpus/resources/description-r16"
{ printf '\1'; cat "$root/resources/description/Otolvane.r12.json"; } >"$corpus/resources/description-r12"
printf '\1{"version":"x","params":[{"id":5,"name":"A_B","type":"int32","label":"L","group":"G","unit":"degree","min":-1,"max":9,"step":2,"choices":[{"value":1,"label":"one"},{"value":2,"label":"two"}]},{"id":-6,"name":"LINK","type":"link","label":"L","group":"G","accept":5101}]}' \
  >"$corpus/resources/description-small"
printf '\0{"strings":{"-2147483648":"low","2147483647":"high","0":"\\u00e4\\u20ac"}}' >"$corpus/resources/strings-edges"


# --- Mach-O: the smallest macOS module (fuzz/macho_seed.c), cross-built as
# the macOS module is, against a stub of the three system functions it needs
mkdir -p "$corpus/macho"
cat >"$work/libSystem.tbd" <<'TBD'
--- !tapi-tbd
tbd-version:     4
targets:         [ x86_64-macos ]
install-name:    '/usr/lib/libSystem.B.dylib'
current-version: 1281
exports:
  - targets:     [ x86_64-macos ]
    symbols:     [ dyld_stub_binder, _strlen, _sin ]
...
TBD
clang --target=x86_64-apple-macos10.13 -Os -fno-stack-protector -fno-asynchronous-unwind-tables -shared \
  -nostdlib -fuse-ld=lld -L"$work" -lSystem -Wl,-exported_symbol,_c4d_main \
  -Wl,-install_name,@rpath/seed.dylib "$here/macho_seed.c" -o "$corpus/macho/seed.dylib"

echo "seeds written to $corpus"
