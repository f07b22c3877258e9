#!/usr/bin/env bash
# glTF files of the stand-in host checked by the Khronos glTF validator: the
# extruded arrow (flat and rounded caps) and the two path examples' set-ups
# (each given a path), as .glb and .gltf, written by the console's export.
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
END
{ cat "$root/examples/cloner-along-path.script"
  echo 'points Path cubic 0,0,0 400,0,300 800,0,-200 1200,0,0'
  echo 'export Cloner cloner.glb'
  echo 'export Cloner cloner.gltf'; } | "$host" run - >/dev/null
{ cat "$root/examples/wrap-along-path.script"
  echo 'points Path cubic 0,0,0 300,200,0 600,-100,0 900,150,0'
  echo 'export "Extrude NURBS" wrap.glb'
  echo 'export "Extrude NURBS" wrap.gltf'; } | "$host" run - >/dev/null
node "$root/tools/mesh/validate-gltf.mjs" flat.glb flat.gltf round.glb round.gltf cloner.glb cloner.gltf wrap.glb wrap.gltf
