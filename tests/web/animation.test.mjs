// Animations written by `tolvane-host animate`, played in the system's
// Chromium, headless. The growth example's animated SVG is seeked by the
// browser's own SMIL player and its drawn outline compared with the
// example's frame files at those frames. Two glTF files are played by
// three.js: a morph-target file (a flat extruded
// arrow whose shaft grows) and a file of one node a frame (the growth
// example, whose topology changes). A page served from the loopback address
// loads each file with three.js's GLTFLoader, plays its clip with an
// AnimationMixer at the start, the middle and the end, renders each time
// with an orthographic camera looking down on XY, and answers the visible
// frame nodes, the world box of what is shown and the box of the drawn
// pixels; a screenshot of each time is kept.
//
//   TOLVANE_SERVE   the host program (default: ../../build/tolvane-host)
//   TOLVANE_SHOTS   the folder for the screenshots (default: ./shots)
//   CHROMIUM        the browser (default: /usr/bin/chromium)
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { createServer } from 'node:http';
import { mkdtempSync, mkdirSync, readFileSync, rmSync, existsSync } from 'node:fs';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { chromium } from 'playwright-core';

const here = path.dirname(fileURLToPath(import.meta.url));
const source = path.resolve(here, '../..');
const program = process.env.TOLVANE_SERVE || path.join(source, 'build/tolvane-host');
const shots = path.resolve(process.env.TOLVANE_SHOTS || path.join(here, 'shots'));
const browserPath = process.env.CHROMIUM || '/usr/bin/chromium';
const three = path.join(source, 'web/node_modules/three');

const WIDTH = 640;
const HEIGHT = 480;

// The page: three.js by an import map, and play(url, times), which answers
// for each time what the test checks.
const pageHtml = `<!doctype html>
<html><head><meta charset="utf-8"><title>animated glTF</title>
<style>body { margin: 0; background: #fff; } canvas { display: block; }</style>
<script type="importmap">{ "imports": { "three": "/three/build/three.module.js" } }</script>
</head><body><canvas id="view" width="${WIDTH}" height="${HEIGHT}"></canvas>
<script type="module">
import * as THREE from 'three';
import { GLTFLoader } from '/three/examples/jsm/loaders/GLTFLoader.js';

const canvas = document.getElementById('view');
const renderer = new THREE.WebGLRenderer({ canvas, antialias: false, preserveDrawingBuffer: true });
renderer.setPixelRatio(1);
renderer.setClearColor(0xffffff, 1);

function shownBox(root) {
  root.updateMatrixWorld(true);
  const box = new THREE.Box3();
  const scale = new THREE.Vector3();
  root.traverse((o) => {
    if (!o.isMesh) return;
    o.getWorldScale(scale);
    if (scale.x > 0 && scale.y > 0 && scale.z > 0) box.expandByObject(o, true);
  });
  return box;
}

function drawnPixels() {
  const gl = renderer.getContext();
  const data = new Uint8Array(WIDTH * HEIGHT * 4);
  gl.readPixels(0, 0, WIDTH, HEIGHT, gl.RGBA, gl.UNSIGNED_BYTE, data);
  let count = 0, x0 = WIDTH, x1 = -1, y0 = HEIGHT, y1 = -1;
  for (let y = 0; y < HEIGHT; ++y) {
    for (let x = 0; x < WIDTH; ++x) {
      const i = (y * WIDTH + x) * 4;
      if (data[i] > 250 && data[i + 1] > 250 && data[i + 2] > 250) continue;
      ++count;
      x0 = Math.min(x0, x); x1 = Math.max(x1, x); y0 = Math.min(y0, y); y1 = Math.max(y1, y);
    }
  }
  return { count, width: x1 - x0 + 1, height: y1 - y0 + 1 };
}

const WIDTH = ${WIDTH}, HEIGHT = ${HEIGHT};
let current = null;

window.play = async (url, times) => {
  const gltf = await new GLTFLoader().loadAsync(url);
  const scene = new THREE.Scene();
  scene.add(new THREE.HemisphereLight(0xffffff, 0x445566, 1.5));
  const sun = new THREE.DirectionalLight(0xffffff, 1.5);
  sun.position.set(0.3, 0.5, 1.0);
  scene.add(sun);
  scene.add(gltf.scene);
  const clip = gltf.animations[0];
  const mixer = new THREE.AnimationMixer(gltf.scene);
  const action = mixer.clipAction(clip);
  action.setLoop(THREE.LoopOnce, 1);
  action.clampWhenFinished = true;
  const at = (t) => { action.reset(); action.play(); mixer.setTime(t); };
  // One camera for every time: the box of all of them, seen from +Z.
  const all = new THREE.Box3();
  for (const t of times) { at(t); all.union(shownBox(gltf.scene)); }
  const centre = all.getCenter(new THREE.Vector3());
  const size = all.getSize(new THREE.Vector3());
  const half = 0.55 * Math.max(size.x, size.y * WIDTH / HEIGHT);
  const camera = new THREE.OrthographicCamera(-half, half, half * HEIGHT / WIDTH, -half * HEIGHT / WIDTH, -100, 100);
  camera.position.set(centre.x, centre.y, all.max.z + 1);
  camera.lookAt(centre.x, centre.y, 0);
  const frameNodes = gltf.scene.children[0].children;
  current = { at, render: () => renderer.render(scene, camera) };
  const answers = [];
  for (const t of times) {
    at(t);
    renderer.render(scene, camera);
    const box = shownBox(gltf.scene);
    answers.push({
      t,
      duration: clip.duration,
      visible: frameNodes.filter((n) => n.scale.x > 0).map((n) => n.name),
      frameNodes: frameNodes.length,
      box: { min: box.min.toArray(), max: box.max.toArray() },
      pixels: drawnPixels(),
      pixelsPerMetre: WIDTH / (2 * half),
    });
  }
  return answers;
};

// Shows time t of the file played last, for a screenshot.
window.show = (t) => { current.at(t); current.render(); };
</script></body></html>`;

let work;
let server;
let address;
let context;
let page;
let profile;

const types = { '.js': 'text/javascript', '.html': 'text/html', '.glb': 'model/gltf-binary', '.svg': 'image/svg+xml' };

function serve(request, response) {
  const url = new URL(request.url, 'http://localhost');
  let file = null;
  if (url.pathname === '/') {
    response.writeHead(200, { 'content-type': 'text/html' });
    response.end(pageHtml);
    return;
  }
  if (url.pathname.startsWith('/three/')) file = path.join(three, path.normalize(url.pathname.slice(7)));
  if (url.pathname.startsWith('/files/')) file = path.join(work, path.basename(url.pathname));
  if (file === null || !(file.startsWith(three) || file.startsWith(work)) || !existsSync(file)) {
    response.writeHead(404);
    response.end();
    return;
  }
  response.writeHead(200, { 'content-type': types[path.extname(file)] || 'application/octet-stream' });
  response.end(readFileSync(file));
}

function host(args, input) {
  return execFileSync(program, args, { cwd: work, input, encoding: 'utf8', stdio: ['pipe', 'pipe', 'pipe'] });
}

before(async () => {
  mkdirSync(shots, { recursive: true });
  work = mkdtempSync(path.join(tmpdir(), 'tolvane-anim-'));
  // A flat extruded arrow whose shaft is keyed 100 to 400 over frames 0..10
  // (morph targets), and the growth example (one node a frame).
  host(['run', '-'], [
    'arrow Arrow', 'press Arrow ARROW_MAKE_EXTRUDE', 'range 0 10',
    'key Arrow ARROW_SHAFT_LENGTH 0 100', 'key Arrow ARROW_SHAFT_LENGTH 10 400 ease',
    'save-scene shaft.tlvscene', ''].join('\n'));
  host(['animate', '--scene', 'shaft.tlvscene', '--object', 'Extrude NURBS', '-o', 'shaft.glb']);
  host(['run', '-'], `${readFileSync(path.join(source, 'examples/grow-along-path.script'), 'utf8')}\nsave-scene grow.tlvscene\n`);
  host(['animate', '--scene', 'grow.tlvscene', '--object', 'Extrude NURBS', '-o', 'grow.glb']);
  host(['animate', '--scene', 'grow.tlvscene', '--object', 'Arrow', '-o', 'grow.svg']);
  host(['animate', '--scene', 'grow.tlvscene', '--object', 'Arrow', '-o', 'grow-%04d.svg']);
  server = createServer(serve);
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  address = `http://127.0.0.1:${server.address().port}`;
  profile = mkdtempSync(path.join(tmpdir(), 'tolvane-chromium-'));
  context = await chromium.launchPersistentContext(profile, {
    executablePath: browserPath,
    headless: true,
    viewport: { width: WIDTH, height: HEIGHT },
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync'],
    timeout: 30000,
  });
  page = context.pages()[0] || await context.newPage();
  page.setDefaultTimeout(20000);
  page.on('pageerror', (err) => { throw err; });
  await page.goto(address);
  await page.waitForFunction(() => typeof window.play === 'function');
});

after(async () => {
  if (context) await context.close();
  if (profile) rmSync(profile, { recursive: true, force: true });
  if (server) await new Promise((resolve) => server.close(resolve));
  if (work) rmSync(work, { recursive: true, force: true });
});

async function play(file, times, shotName) {
  const answers = await page.evaluate(([url, t]) => window.play(url, t), [`/files/${file}`, times]);
  for (const a of answers) {
    await page.evaluate((t) => window.show(t), a.t);
    await page.screenshot({ path: path.join(shots, `${shotName}-t${a.t.toFixed(3)}.png`) });
  }
  const lines = answers.map((a) => `  t=${a.t.toFixed(3)} s: box x ${a.box.min[0].toFixed(3)}..${a.box.max[0].toFixed(3)} `
    + `y ${a.box.min[1].toFixed(3)}..${a.box.max[1].toFixed(3)} m, pixels ${a.pixels.width} x ${a.pixels.height} `
    + `(${a.pixels.count} drawn)${a.visible.length ? `, shown: ${a.visible.join(', ')}` : ''}`);
  console.log(`${file}:\n${lines.join('\n')}`);
  return answers;
}

// The drawn pixels' extent against the shown box's, at the camera's scale.
function assertDrawnAsBox(a) {
  const width = (a.box.max[0] - a.box.min[0]) * a.pixelsPerMetre;
  const height = (a.box.max[1] - a.box.min[1]) * a.pixelsPerMetre;
  assert.ok(Math.abs(a.pixels.width - width) <= 3, `t=${a.t}: ${a.pixels.width} pixels wide, the box ${width}`);
  assert.ok(Math.abs(a.pixels.height - height) <= 3, `t=${a.t}: ${a.pixels.height} pixels high, the box ${height}`);
}

test('a morph-target glb: the shaft grows from 100 to 400 as the clip plays', async () => {
  const duration = 10 / 30;
  const answers = await play('shaft.glb', [0, duration / 2, duration], 'anim-shaft');
  assert.ok(Math.abs(answers[0].duration - duration) < 1e-6, `duration ${answers[0].duration}`);
  // Shaft + 100 head, centred on the origin, 0.001 m a unit: half-lengths
  // 100, 250 (frame 5, eased half-way) and 250 at the end.
  const expected = [0.1, 0.175, 0.25];
  answers.forEach((a, i) => {
    assert.ok(Math.abs(a.box.max[0] - expected[i]) < 0.002, `t=${a.t}: the tip at x ${a.box.max[0]}, not ${expected[i]}`);
    assert.ok(Math.abs(a.box.min[0] + expected[i]) < 0.002, `t=${a.t}: the tail at x ${a.box.min[0]}`);
    assertDrawnAsBox(a);
  });
  assert.ok(answers[0].pixels.width < answers[1].pixels.width && answers[1].pixels.width < answers[2].pixels.width);
});

test('a glb of one node a frame: exactly one frame is shown, and the arrow grows round the corner', async () => {
  const answers = await play('grow.glb', [0, 0.5, 1], 'anim-grow');
  assert.ok(Math.abs(answers[0].duration - 1) < 1e-6, `duration ${answers[0].duration}`);
  assert.equal(answers[0].frameNodes, 31);
  const frames = [0, 15, 30];
  answers.forEach((a, i) => {
    // three.js names a node as the file does, spaces made underscores.
    assert.deepEqual(a.visible, [`Extrude_NURBS_frame_${frames[i]}`], `t=${a.t}`);
    assertDrawnAsBox(a);
  });
  const [start, middle, end] = answers;
  // Frame 0: the 100-long head (200 wide) at the path's start, along +X.
  const near = (v, w) => Math.abs(v - w) < 0.002;
  assert.ok(near(start.box.max[0], 0.1) && near(start.box.max[1], 0.1), JSON.stringify(start.box));
  // Frame 15: half-way in its eased shaft (300 + 100 head), its tip on the corner (0.4, 0).
  assert.ok(near(middle.box.max[0], 0.4) && near(middle.box.max[1], 0.1), JSON.stringify(middle.box));
  // Frame 30: round the corner, its tip on the path's end (0.4, 0.3), the
  // head's barbs 0.1 to either side of the second leg.
  assert.ok(near(end.box.max[1], 0.3) && near(end.box.max[0], 0.5), JSON.stringify(end.box));
  assert.ok(start.pixels.width < middle.pixels.width, 'the arrow grows along the first leg');
  assert.ok(middle.pixels.height < end.pixels.height, 'and then up the second');
});

// What Chromium draws of the SVG page shown: the outline's box, length and
// eight points spaced along it, in the drawing's own units.
function drawnOutline() {
  const outline = document.querySelector('path');
  const box = outline.getBBox();
  const length = outline.getTotalLength();
  const points = [];
  for (let i = 0; i < 8; ++i) {
    const p = outline.getPointAtLength((length * i) / 8);
    points.push([p.x, p.y]);
  }
  return { box: [box.x, box.y, box.width, box.height], length, points };
}

function assertSameOutline(played, frame, what) {
  const near = (a, b) => Math.abs(a - b) < 0.05;
  assert.ok(played.box.every((v, i) => near(v, frame.box[i])), `${what}: box ${played.box}, the frame's ${frame.box}`);
  assert.ok(near(played.length, frame.length), `${what}: length ${played.length}, the frame's ${frame.length}`);
  played.points.forEach((p, i) => {
    assert.ok(near(p[0], frame.points[i][0]) && near(p[1], frame.points[i][1]),
      `${what}: point ${i} at ${p}, the frame's at ${frame.points[i]}`);
  });
}

test('the animated SVG, played by Chromium, shows at each frame\'s time the outline of that frame', async () => {
  // 31 frames (0..30 at 30 fps) in a one-second loop: frame f at f/30 s.
  const frames = [0, 5, 12, 20, 29];
  const svg = await context.newPage();
  try {
    await svg.setViewportSize({ width: 800, height: 655 }); // the drawing's own size
    const expected = [];
    for (const f of frames) {
      await svg.goto(`${address}/files/grow-${String(f).padStart(4, '0')}.svg`);
      expected.push(await svg.evaluate(drawnOutline));
    }
    await svg.goto(`${address}/files/grow.svg`);
    const at = async (t) => {
      await svg.evaluate((time) => {
        document.documentElement.pauseAnimations();
        document.documentElement.setCurrentTime(time);
        return new Promise((resolve) => requestAnimationFrame(() => resolve()));
      }, t);
      return svg.evaluate(drawnOutline);
    };
    const lines = [];
    for (let i = 0; i < frames.length; ++i) {
      const t = frames[i] / 30;
      const played = await at(t);
      await svg.screenshot({ path: path.join(shots, `anim-svg-t${t.toFixed(3)}.png`) });
      lines.push(`  t=${t.toFixed(3)} s (frame ${frames[i]}): box ${played.box.map((v) => v.toFixed(1)).join(' ')}, `
        + `length ${played.length.toFixed(1)}`);
      assertSameOutline(played, expected[i], `frame ${frames[i]}`);
    }
    console.log(`grow.svg:\n${lines.join('\n')}`);
    // The arrow grows as it plays, and the loop starts again at one second.
    assert.ok(expected[0].length < expected[2].length && expected[2].length < expected[4].length);
    assertSameOutline(await at(1), expected[0], 'a second in, the loop again');
  } finally {
    await svg.close();
  }
});
