#!/usr/bin/env bash
# glTF files of the stand-in host checked by the Khronos glTF validator: the
# extruded arrow (flat and rounded caps, in the default unit and in another)
# and the two path examples' set-ups, as .glb and .gltf, written by the
# console's export and the program's mesh command, the vector-field example
# written by the batch command, and animations written by the program's
# animate command: as morph targets (a flat arrow's shaft growing) and as one
# node a frame (the growth example, whose topology changes); all carry normals.
#
#   bash tests/mesh_gltf_validator.sh TOLVANE-HOST WORK-FOLDER
set -euo pipefail
host="$1"
work="$2"
root="$(cd "$(dirname "$0")/.." && pwd)"
validator="$root/tools/mesh/node_modules/gltf-validator"
if [ ! -d "$validator" ]; then
  echo "the glTF validator is missing: run 'npm ci --omit=dev' in $root/tools/mesh (tools/install-deps.sh does)" >&2
  exit 1
fi
rm -rf "$work"
mkdir -p "$work"
cd "$work"
"$host" run - <<'END'
arrow Flat
press Flat ARROW_MAKE_EXTRUDE
export "Extrude NURBS" flat.glb
export "Extrude NURBS" flat.gltf
arrow Round
set Round ARROW_FLETCHING true
set Round ARROW_EXTRUDE_FILLET true
press Round ARROW_MAKE_EXTRUDE
export "Extrude NURBS" round.glb
export "Extrude NURBS" round.gltf
export "Extrude NURBS" round-cm.glb --unit 0.01
END
"$host" mesh --rounded --set ARROW_CHEVRON=true -o chevron.glb
"$host" mesh --format gltf -o flat-program.data
{ cat "$root/examples/cloner-along-path.script"
  echo 'export Cloner cloner.glb'
  echo 'export Cloner cloner.gltf'; } | "$host" run - >/dev/null
{ cat "$root/examples/wrap-along-path.script"
  echo 'export "Extrude NURBS" wrap.glb'
  echo 'export "Extrude NURBS" wrap.gltf'; } | "$host" run - >/dev/null
"$host" run - <<'END'
arrow Arrow
press Arrow ARROW_MAKE_EXTRUDE
range 0 10
key Arrow ARROW_SHAFT_LENGTH 0 100
key Arrow ARROW_SHAFT_LENGTH 10 400 ease
save-scene animated.tlvscene
END
"$host" animate --scene animated.tlvscene --object "Extrude NURBS" -o animated.glb
"$host" animate --scene animated.tlvscene --object "Extrude NURBS" -o animated.gltf
{ cat "$root/examples/grow-along-path.script"; echo 'save-scene grow.tlvscene'; } | "$host" run - >/dev/null
"$host" animate --scene grow.tlvscene --object "Extrude NURBS" -o grow.glb
"$host" animate --scene grow.tlvscene --object "Extrude NURBS" --frames -3..30 -o grow.gltf
mv flat-program.data flat-program.gltf
# Arrows from a table: a node a row, the meshes shared.
"$host" batch "$root/examples/vector-field.csv" -o field.glb
"$host" batch "$root/examples/vector-field.csv" -o field.gltf
# and arrows that all differ, some see-through: a mesh a row.
printf 'x,y,angle,colour,ARROW_SHAFT_LENGTH\n0,0,0,#ff000080,100\n300,0,45,blue,150\n0,300,90,,200\n' >distinct.csv
"$host" batch distinct.csv -o distinct.glb
"$host" batch distinct.csv -o distinct.gltf
# A buffer file whose name holds a space and a '#' is named by an encoded URI.
"$host" mesh -o "odd name#1.gltf"
"$host" batch distinct.csv -o "odd rows#1.gltf"
grep -q '"uri" *: *"odd%20name%231.bin"' "odd name#1.gltf" || { echo "odd name#1.gltf: the buffer's URI is not encoded" >&2; exit 1; }
grep -q '"uri" *: *"odd%20rows%231.bin"' "odd rows#1.gltf" || { echo "odd rows#1.gltf: the buffer's URI is not encoded" >&2; exit 1; }
status=0
report="$(node "$root/tools/mesh/validate-gltf.mjs" flat.glb flat.gltf round.glb round.gltf round-cm.glb chevron.glb \
  flat-program.gltf field.glb field.gltf distinct.glb distinct.gltf "odd name#1.gltf" "odd rows#1.gltf" cloner.glb cloner.gltf wrap.glb wrap.gltf animated.glb animated.gltf \
  grow.glb grow.gltf)" || status=$?
echo "$report"
[ "$status" -eq 0 ] || exit 1
# No errors and no warnings either.
if echo "$report" | grep -v '^  ' | grep -qv ': 0 errors, 0 warnings,'; then
  echo "mesh_gltf_validator: a file has errors or warnings" >&2
  exit 1
fi
