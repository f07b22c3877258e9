#!/usr/bin/env bash
# A picture of a glTF binary file (.glb): three.js in headless Chromium, the
# model lit and seen from above at an angle, the camera fitted to it.
#
#   bash tools/mesh/render.sh MODEL.glb PICTURE.png [WIDTHxHEIGHT] [X,Y,Z]
#
# X,Y,Z is the direction the camera looks from (0.55,0.65,1 by default;
# 0,1,0.001 looks down from above).
# Needs chromium (Debian) and three (npm ci in tools/mesh).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
model="$(realpath "$1")"
picture="$(realpath -m "$2")"
size="${3:-900x600}"
view="${4:-0.55,0.65,1.0}"
three="$here/node_modules/three"
if [ ! -f "$three/build/three.module.js" ]; then
  echo "render.sh: three.js is missing: run 'npm ci' in $here" >&2
  exit 1
fi
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
{
  cat <<HTML
<!doctype html>
<html><head><meta charset="utf-8">
<style>html,body{margin:0;background:#f4f4f0;overflow:hidden}</style>
<script type="importmap">
{"imports":{"three":"file://$three/build/three.module.js",
            "three/addons/":"file://$three/examples/jsm/"}}
</script>
</head><body>
<script type="module">
import * as THREE from 'three';
import { GLTFLoader } from 'three/addons/loaders/GLTFLoader.js';
const model = '$(base64 -w0 "$model")';
const [w, h] = [window.innerWidth, window.innerHeight];
const renderer = new THREE.WebGLRenderer({ antialias: true, preserveDrawingBuffer: true });
renderer.setSize(w, h);
renderer.setClearColor(0xf4f4f0);
document.body.appendChild(renderer.domElement);
const scene = new THREE.Scene();
scene.add(new THREE.HemisphereLight(0xffffff, 0x445566, 1.2));
const sun = new THREE.DirectionalLight(0xffffff, 2.0);
scene.add(sun);
const bytes = Uint8Array.from(atob(model), (c) => c.charCodeAt(0));
new GLTFLoader().parse(bytes.buffer, '', (gltf) => {
  const root = gltf.scene;
  scene.add(root);
  const box = new THREE.Box3().setFromObject(root);
  const centre = box.getCenter(new THREE.Vector3());
  const radius = box.getSize(new THREE.Vector3()).length() / 2 || 1;
  const camera = new THREE.PerspectiveCamera(35, w / h, radius / 100, radius * 100);
  const view = new THREE.Vector3($view).normalize();
  camera.position.copy(centre).addScaledVector(view, radius * 3.2);
  camera.lookAt(centre);
  sun.position.copy(camera.position).add(new THREE.Vector3(radius, radius * 2, 0));
  scene.add(new THREE.Box3Helper(box, 0x999999));
  renderer.render(scene, camera);
  document.title = 'rendered';
}, (error) => { document.body.textContent = 'cannot load: ' + error; });
</script></body></html>
HTML
} > "$work/view.html"
chromium --headless=new --no-sandbox --disable-gpu --use-angle=swiftshader --enable-unsafe-swiftshader \
  --allow-file-access-from-files --hide-scrollbars --window-size="${size/x/,}" \
  --virtual-time-budget=10000 --screenshot="$picture" "file://$work/view.html" >"$work/log" 2>&1 || {
  cat "$work/log" >&2
  exit 1
}
echo "wrote $picture"
