// The workbench page in a real browser: the system's Chromium, headless,
// driven by playwright-core. Starts the server program on a free port of
// the loopback address, goes through the page as a user would, keeps a
// screenshot of each step, and stops the server with SIGINT at the end
// (its shutdown report must be clean).
//
//   TOLVANE_SERVE   the host program (default: ../../build/tolvane-host), started as `serve`
//   TOLVANE_SHOTS   the folder for the screenshots (default: ./shots)
//   CHROMIUM        the browser (default: /usr/bin/chromium)
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { spawn } from 'node:child_process';
import { mkdtempSync, mkdirSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { chromium } from 'playwright-core';

const here = path.dirname(fileURLToPath(import.meta.url));
const source = path.resolve(here, '../..');
const program = process.env.TOLVANE_SERVE || path.join(source, 'build/tolvane-host');
const shots = path.resolve(process.env.TOLVANE_SHOTS || path.join(here, 'shots'));
const browserPath = process.env.CHROMIUM || '/usr/bin/chromium';

let server;
let serverOut = '';
let serverErr = '';
let address;
let stateDir;  // the server's recovery copy lives here
let context;
let page;
let profile;

function startServer() {
  serverOut = '';
  serverErr = '';
  address = undefined;
  return new Promise((resolve, reject) => {
    server = spawn(program, ['serve', '--release', '16', '--port', '0', '--state-dir', stateDir],
      { stdio: ['ignore', 'pipe', 'pipe'] });
    const timer = setTimeout(() => reject(new Error(`no address from ${program}: ${serverOut}${serverErr}`)), 15000);
    server.stdout.on('data', (chunk) => {
      serverOut += chunk;
      const match = /open (http:\/\/\S+)/.exec(serverOut);
      if (match && !address) {
        address = match[1];
        clearTimeout(timer);
        resolve();
      }
    });
    server.stderr.on('data', (chunk) => { serverErr += chunk; });
    server.on('exit', (code) => {
      if (!address) reject(new Error(`${program} ended (${code}): ${serverErr}`));
    });
  });
}

// Waits until the page has finished every action it started since `version`.
async function settled(version) {
  await page.waitForFunction(
    (v) => document.body.dataset.busy === '0' && Number(document.body.dataset.version) > v,
    version, { timeout: 10000 });
}

// Does something on the page and waits until the page is quiet again.
async function step(fn) {
  const version = Number(await page.evaluate(() => document.body && document.body.dataset.version)) || 0;
  await fn();
  await settled(version);
}

async function shot(name) {
  await page.screenshot({ path: path.join(shots, `${name}.png`), fullPage: true });
}

const outlinePath = () => page.getAttribute('#preview #outline', 'd');
const treePaths = () => page.$$eval('#tree .node', (nodes) => nodes.map((n) => n.dataset.path));

async function setNumber(name, value) {
  await step(async () => {
    await page.fill(`#p-${name}`, String(value));
    await page.press(`#p-${name}`, 'Enter');
  });
}

before(async () => {
  mkdirSync(shots, { recursive: true });
  stateDir = mkdtempSync(path.join(tmpdir(), 'tolvane-state-'));
  await startServer();
  profile = mkdtempSync(path.join(tmpdir(), 'tolvane-chromium-'));
  context = await chromium.launchPersistentContext(profile, {
    executablePath: browserPath,
    headless: true,
    acceptDownloads: true,
    viewport: { width: 1400, height: 980 },
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync'],
    timeout: 30000,
  });
  page = context.pages()[0] || await context.newPage();
  page.setDefaultTimeout(10000);
  page.on('pageerror', (err) => { throw err; });
});

after(async () => {
  if (context) await context.close();
  if (profile) rmSync(profile, { recursive: true, force: true });
  if (stateDir) rmSync(stateDir, { recursive: true, force: true });
  if (server && server.exitCode === null) {
    const ended = new Promise((resolve) => server.on('exit', (code) => resolve(code)));
    server.kill('SIGINT');
    const code = await ended;
    assert.equal(code, 0, `the server's shutdown: ${serverErr}`);
    assert.match(serverOut, /stopping/);
    assert.doesNotMatch(serverErr, /left behind|misused/);
  }
});

test('the page opens on an empty document', async () => {
  await step(() => page.goto(address));
  assert.equal(await page.title(), 'Tolvane workbench');
  assert.equal(await page.textContent('#release'), 'release 16');
  assert.ok(await page.isVisible('#tree-empty'));
  assert.equal(await page.textContent('#undo'), 'Undo (0)');
  await shot('01-empty');
});

test('an added arrow is selected, with its attribute editor and preview', async () => {
  await step(() => page.click('#add-arrow'));
  assert.deepEqual(await treePaths(), ['Arrow']);
  assert.ok(await page.$('#tree .node.active[data-path="Arrow"]'));
  assert.equal(await page.textContent('#editor-title'), 'Attributes of Arrow');
  const groups = await page.$$eval('#editor legend', (l) => l.map((x) => x.textContent));
  assert.ok(groups.includes('Shaft') && groups.includes('Double-headed') && groups.includes('Extrude'), groups.join());
  assert.equal(await page.getAttribute('#preview svg', 'data-plane'), 'XY');
  assert.ok((await outlinePath()).startsWith('M'));
  await shot('02-arrow');
});

test('changing the shaft length changes the preview', async () => {
  const before = await outlinePath();
  await setNumber('ARROW_SHAFT_LENGTH', 320);
  assert.equal(await page.inputValue('#p-ARROW_SHAFT_LENGTH'), '320');
  assert.notEqual(await outlinePath(), before);
  assert.equal(await page.textContent('#undo'), 'Undo (2)');
  await shot('03-shaft-length');
});

test('dragging a label sideways changes its value a step a pixel', async () => {
  const before = await outlinePath();
  const box = await page.locator('.row[data-param="ARROW_SHAFT_WIDTH"] label').boundingBox();
  const y = box.y + box.height / 2;
  await step(async () => {
    await page.mouse.move(box.x + 5, y);
    await page.mouse.down();
    await page.mouse.move(box.x + 35, y, { steps: 6 });
    await page.mouse.up();
  });
  assert.equal(await page.inputValue('#p-ARROW_SHAFT_WIDTH'), '130');
  const state = await page.evaluate(() => fetch('/api/state').then((r) => r.json()));
  const width = state.active.editor.params.find((p) => p.name === 'ARROW_SHAFT_WIDTH');
  assert.equal(width.value, 130);
  assert.notEqual(await outlinePath(), before);
  // The whole drag, however many edits it sent, is one undo step.
  assert.equal(await page.textContent('#undo'), 'Undo (3)');
});

test('double-headed disables the single-arrow shaft parameters', async () => {
  assert.equal(await page.isDisabled('#p-ARROW_SHAFT_LENGTH'), false);
  assert.equal(await page.isDisabled('#p-ARROW_DOUBLE_SHAFT_LENGTH'), true);
  const before = await outlinePath();
  await step(() => page.check('#p-ARROW_DOUBLE_HEADED'));
  for (const name of ['ARROW_SHAFT_LENGTH', 'ARROW_SHAFT_WIDTH']) {
    assert.equal(await page.isDisabled(`#p-${name}`), true, name);
    assert.ok(await page.$(`.row.disabled[data-param="${name}"]`), name);
  }
  assert.equal(await page.isDisabled('#p-ARROW_DOUBLE_SHAFT_LENGTH'), false);
  assert.notEqual(await outlinePath(), before);
  await shot('04-double-headed');
});

test('Make extrusion builds the tree, and undo takes it back', async () => {
  await step(() => page.click('#b-ARROW_MAKE_EXTRUDE'));
  assert.deepEqual(await treePaths(), ['Extrude NURBS', 'Extrude NURBS/Arrow']);
  await shot('05-extrusion');
  await step(() => page.click('#undo'));
  assert.deepEqual(await treePaths(), ['Arrow']);
  assert.match(await page.textContent('#redo'), /Redo \(1\)/);
  await shot('06-undone');
});

test('a Dots parameter on a null takes three clicks', async () => {
  await step(() => page.click('#add-null'));
  assert.deepEqual(await treePaths(), ['Null', 'Arrow']);
  await step(() => page.click('#add-dots'));
  assert.ok(await page.isVisible('#dots-field'));
  const clicks = [[30, 40], [120, 70], [70, 130]];
  for (const [x, y] of clicks) await step(() => page.click('#dots-field', { position: { x, y } }));
  assert.equal(await page.getAttribute('#dots-field', 'data-points'), '3');
  await page.waitForFunction(() => {
    const img = document.getElementById('dots-field');
    return img.complete && img.naturalWidth > 0;
  });
  // The element's own raster: black dots where the clicks were, white elsewhere.
  const pixels = await page.evaluate((points) => {
    const img = document.getElementById('dots-field');
    const canvas = document.createElement('canvas');
    canvas.width = img.naturalWidth;
    canvas.height = img.naturalHeight;
    const g = canvas.getContext('2d');
    g.drawImage(img, 0, 0);
    const at = ([x, y]) => Array.from(g.getImageData(x, y, 1, 1).data.slice(0, 3));
    return { dots: points.map(at), blank: at([canvas.width - 5, 5]), size: [canvas.width, canvas.height] };
  }, clicks);
  for (const p of pixels.dots) assert.deepEqual(p, [0, 0, 0]);
  assert.deepEqual(pixels.blank, [255, 255, 255]);
  assert.match(await page.textContent('#userdata'), /3 dots/);
  await shot('07-dots');
});

test('presets: the module saves one for download and loads an uploaded one', async () => {
  await step(() => page.click('#tree .node[data-path="Arrow"]'));
  await setNumber('ARROW_HEAD_LENGTH', 77);
  const [download] = await Promise.all([
    page.waitForEvent('download'),
    step(() => page.click('#b-ARROW_SAVE_PRESET')),
  ]);
  assert.equal(download.suggestedFilename(), 'Arrow.tlv');
  const saved = path.join(shots, 'Arrow.tlv');
  await download.saveAs(saved);
  assert.match(readFileSync(saved, 'latin1'), /Tolvane preset file/);

  // An example preset of the project: its values arrive in the editor.
  const [chooser] = await Promise.all([page.waitForEvent('filechooser'), page.click('#b-ARROW_LOAD_PRESET')]);
  await step(() => chooser.setFiles(path.join(source, 'presets/chevron.tlv')));
  assert.equal(await page.inputValue('#p-ARROW_PRESET_NAME'), 'Chevron');
  assert.equal(await page.isChecked('#p-ARROW_CHEVRON'), true);
  assert.match(await page.textContent('#status'), /preset chevron.tlv loaded into Arrow/);
  await shot('08-preset-chevron');

  // The downloaded one brings the earlier values back.
  const [again] = await Promise.all([page.waitForEvent('filechooser'), page.click('#b-ARROW_LOAD_PRESET')]);
  await step(() => again.setFiles(saved));
  assert.equal(await page.inputValue('#p-ARROW_HEAD_LENGTH'), '77');
  assert.equal(await page.isChecked('#p-ARROW_CHEVRON'), false);
});

test('a damaged scene is refused with its message and the tree stays', async () => {
  const scene = Buffer.from(await page.evaluate(async () => {
    const res = await fetch('/api/scene');
    return Array.from(new Uint8Array(await res.arrayBuffer()));
  }));
  assert.equal(scene.subarray(0, 8).toString('latin1'), 'TLVSCENE');
  const tree = await treePaths();
  scene[scene.length >> 1] ^= 0x5a;
  await step(() => page.setInputFiles('#scene-file',
    { name: 'damaged.tlvscene', mimeType: 'application/octet-stream', buffer: scene }));
  assert.equal(await page.getAttribute('#status', 'class'), 'error');
  assert.equal(await page.textContent('#status'), 'damaged.tlvscene: the scene file is damaged (checksum mismatch)');
  assert.deepEqual(await treePaths(), tree);
  await shot('09-damaged-scene');
});

// --- the 3-D view, downloads, paths, feedback, names, layout, recovery -------

// The pixels of the 3-D canvas that are not its background.
const drawnPixels = () => page.evaluate(() => {
  const canvas = document.getElementById('view3d');
  const copy = document.createElement('canvas');
  copy.width = canvas.width;
  copy.height = canvas.height;
  const g = copy.getContext('2d');
  g.drawImage(canvas, 0, 0);
  const data = g.getImageData(0, 0, copy.width, copy.height).data;
  let drawn = 0;
  for (let i = 0; i < data.length; i += 4) {
    if (Math.abs(data[i] - 0xf7) + Math.abs(data[i + 1] - 0xf9) + Math.abs(data[i + 2] - 0xfb) > 30) drawn++;
  }
  return drawn;
});

const activeState = () => page.evaluate(() => fetch('/api/state?views=1').then((r) => r.json()).then((s) => s.active));

test('the 3-D view shows the extrusion, and its glb downloads whole', async () => {
  await step(() => page.click('#tree .node[data-path="Arrow"]'));
  await step(() => page.click('#b-ARROW_MAKE_EXTRUDE'));
  await step(() => page.click('#tree .node[data-path="Extrude NURBS"]'));
  assert.ok(Number(await page.getAttribute('#view3d', 'data-shown')) >= 1);
  assert.ok(await drawnPixels() > 2000, 'the extrusion is drawn in the 3-D view');
  await shot('10-view3d-extrusion');
  const [glb] = await Promise.all([page.waitForEvent('download'), page.click('#downloads .dl[data-format="glb"]')]);
  assert.equal(glb.suggestedFilename(), 'Extrude_NURBS.glb');
  const file = path.join(shots, 'extrusion.glb');
  await glb.saveAs(file);
  const bytes = readFileSync(file);
  assert.equal(bytes.subarray(0, 4).toString('latin1'), 'glTF');
  const { default: validator } = await import(path.join(source, 'tools/mesh/node_modules/gltf-validator/index.js'));
  const report = await validator.validateBytes(new Uint8Array(bytes));
  assert.equal(report.issues.numErrors, 0, JSON.stringify(report.issues.messages));
  assert.ok(report.info.totalVertexCount > 0 && report.info.totalTriangleCount > 0, JSON.stringify(report.info));
  // The outline downloads as a picture too.
  await step(() => page.click('#tree .node[data-path="Extrude NURBS/Arrow"]'));
  const [svg] = await Promise.all([page.waitForEvent('download'), page.click('#downloads .dl[data-format="svg"]')]);
  assert.match(readFileSync(await svg.path(), 'utf8'), /<path d="M /);
  const [png] = await Promise.all([page.waitForEvent('download'), page.click('#downloads .dl[data-format="png"]')]);
  assert.equal(readFileSync(await png.path()).subarray(1, 4).toString('latin1'), 'PNG');
});

test('points clicked into a path make a cloner row along it in 3-D', async () => {
  await step(() => page.click('#add-spline'));
  const box = await page.locator('#preview svg').boundingBox();
  for (const [fx, fy] of [[0.15, 0.6], [0.5, 0.4], [0.85, 0.55]]) {
    await step(() => page.mouse.click(box.x + box.width * fx, box.y + box.height * fy));
  }
  const path3 = await activeState();
  assert.equal(path3.kind, 'spline');
  assert.equal(path3.spline.points.length, 3);
  await shot('11-path-points');
  const arrow = (await page.$$eval('#tree .node', (n) => n.filter((x) => x.dataset.path === 'Extrude NURBS/Arrow')
    .map((x) => x.dataset.serial)))[0];
  await step(() => page.click('#tree .node[data-path="Extrude NURBS/Arrow"]'));
  await step(() => page.check('#p-ARROW_CLONE_ON_SPLINE'));
  await step(() => page.selectOption('#p-ARROW_CLONE_SPLINE', `@${path3.serial}`));
  await setNumber('ARROW_CLONE_COUNT', 4);
  await step(() => page.click('#b-ARROW_MAKE_CLONER'));
  await step(() => page.click('#tree .node[data-path="Cloner"]'));
  const cloner = await activeState();
  assert.equal(cloner.kind, 'cloner');
  assert.ok(cloner.view3d.positions.length > 0, JSON.stringify(cloner.view3d.reason));
  assert.equal(cloner.view3d.lines.length, 1, 'the path is drawn');
  assert.ok(await drawnPixels() > 2000);
  await shot('12-cloner-along-path');
  assert.ok(arrow);
});

test('a clamped value shows what was stored and the note; an error clears on the next success', async () => {
  await step(() => page.click('#tree .node[data-path="Cloner/Extrude NURBS/Arrow"]'));
  await step(() => page.uncheck('#p-ARROW_DOUBLE_HEADED'));
  await setNumber('ARROW_TAIL_TAPER', 150);
  assert.equal(await page.inputValue('#p-ARROW_TAIL_TAPER'), '100');
  assert.match(await page.textContent('#notes'), /ARROW_TAIL_TAPER: 1\.5 is above the maximum 1 \(100%\), set to 1/);
  await shot('13-clamped');
  await step(async () => {
    await page.fill('#console-input', 'set Nobody ARROW_SHAFT_LENGTH 5');
    await page.press('#console-input', 'Enter');
  });
  assert.equal(await page.getAttribute('#status', 'class'), 'error');
  await setNumber('ARROW_HEAD_LENGTH', 90);
  assert.notEqual(await page.getAttribute('#status', 'class'), 'error');
  assert.equal(await page.textContent('#status'), '');
});

test('the second of two objects of the same name can be selected', async () => {
  for (let k = 0; k < 2; k++) {
    await step(async () => {
      await page.fill('#console-input', 'object null Twin');
      await page.press('#console-input', 'Enter');
    });
  }
  const twins = await page.$$eval('#tree .node', (n) => n.filter((x) => x.dataset.path === 'Twin')
    .map((x) => x.dataset.serial));
  assert.equal(twins.length, 2);
  await step(() => page.click(`#tree .node[data-serial="${twins[1]}"]`));
  assert.equal((await activeState()).serial, Number(twins[1]));
  assert.equal(await page.$$eval('#tree .node.active', (n) => n.length), 1);
  assert.equal(await page.getAttribute('#tree .node.active', 'data-serial'), twins[1]);
});

test('Ctrl+Z and Ctrl+Shift+Z undo and redo', async () => {
  const undo = () => page.textContent('#undo');
  const before = await undo();
  await step(() => page.keyboard.press('Control+z'));
  assert.notEqual(await undo(), before);
  await step(() => page.keyboard.press('Control+Shift+z'));
  assert.equal(await undo(), before);
});

test('a preset of the gallery loads into the selected arrow', async () => {
  await step(() => page.click('#tree .node[data-path="Cloner/Extrude NURBS/Arrow"]'));
  await page.waitForSelector('#gallery button.preset');
  assert.ok(await page.$$eval('#gallery button.preset svg', (n) => n.length) >= 3);
  await step(() => page.click('#gallery button.preset[data-file="chevron.tlv"]'));
  assert.equal(await page.isChecked('#p-ARROW_CHEVRON'), true);
  await shot('14-gallery');
});

const frameShown = () => page.inputValue('#frame-number');
const keyMark = (name) => page.getAttribute(`#k-${name}`, 'data-keyed');
const keyTitle = (name) => page.getAttribute(`#k-${name}`, 'title');
// The choice only changes what the key buttons will do: no command is sent.
const chooseInterpolation = (value) => page.selectOption('#key-interpolation', value);
const undoSteps = async () => Number(/\((\d+)\)/.exec(await page.textContent('#undo'))[1]);
// `print keys` of the selected object through the page's API, kept out of the
// console pane's log: [frame, interpolation] of PARAM's keys.
const printedKeys = (param) => page.evaluate(async (name) => {
  const serial = await fetch('/api/state').then((r) => r.json()).then((s) => s.active.serial);
  const answer = await fetch('/api/command', {
    method: 'POST', headers: { 'Content-Type': 'application/json' },
    body: JSON.stringify({ words: ['print', 'keys', `@${serial}`], log: false }),
  }).then((r) => r.json());
  const track = answer.printed[0].params.find((p) => p.name === name);
  return track ? track.keys.map((k) => [k.frame, k.interpolation]) : [];
}, param);
const logLines = () => page.$$eval('#log > .entry', (entries) => entries.map((e) => e.textContent));

async function typeFrame(frame) {
  await step(async () => {
    await page.fill('#frame-number', String(frame));
    await page.press('#frame-number', 'Enter');
  });
}

test('shaft length keyed at frames 0 and 30: the slider moves the preview between them', async () => {
  await step(() => page.click('#add-arrow'));
  assert.equal(await page.textContent('#editor-title'), 'Attributes of Arrow 2');
  assert.equal(await frameShown(), '0');
  assert.equal(await page.getAttribute('#frame-slider', 'max'), '90');
  // Every number, switch and choice has its key button; a text or a link none.
  for (const name of ['ARROW_SHAFT_LENGTH', 'ARROW_CHEVRON', 'ARROW_PLANE']) assert.equal(await keyMark(name), 'none', name);
  assert.equal(await page.$('#k-ARROW_WRAP_SPLINE'), null);

  await setNumber('ARROW_SHAFT_LENGTH', 100);
  // New keys take the timeline's interpolation: linear unless chosen, and
  // the choice stays for the session (here: over a reload of the page).
  assert.equal(await page.inputValue('#key-interpolation'), 'linear');
  await chooseInterpolation('ease');
  assert.equal(await keyTitle('ARROW_SHAFT_LENGTH'), 'click to key the value at frame 0 (ease)');
  const undoBefore = await page.textContent('#undo');
  await step(() => page.click('#k-ARROW_SHAFT_LENGTH'));
  assert.equal(await keyMark('ARROW_SHAFT_LENGTH'), 'frame');
  assert.equal(await page.textContent('#k-ARROW_SHAFT_LENGTH'), '\u25C6');
  assert.notEqual(await page.textContent('#undo'), undoBefore);  // a key is an undo step
  assert.deepEqual(await printedKeys('ARROW_SHAFT_LENGTH'), [[0, 'ease']]);
  assert.equal(await keyTitle('ARROW_SHAFT_LENGTH'), 'keyed at frame 0 (ease): click to take the key at frame 0 out');
  await page.reload();
  await page.waitForFunction(() => document.body.dataset.busy === '0' && Number(document.body.dataset.version) > 0);
  assert.equal(await page.inputValue('#key-interpolation'), 'ease');
  await chooseInterpolation('linear');
  const atFirst = await outlinePath();

  await typeFrame(30);
  assert.equal(await keyMark('ARROW_SHAFT_LENGTH'), 'other');
  assert.equal(await page.textContent('#k-ARROW_SHAFT_LENGTH'), '\u25C7');
  await setNumber('ARROW_SHAFT_LENGTH', 400);
  await step(() => page.click('#k-ARROW_SHAFT_LENGTH'));
  assert.equal(await keyMark('ARROW_SHAFT_LENGTH'), 'frame');
  assert.equal(await keyTitle('ARROW_SHAFT_LENGTH'),
    'keyed at frames 0 (ease), 30 (linear): click to take the key at frame 30 out');
  const atLast = await outlinePath();
  assert.notEqual(atLast, atFirst);

  // The slider, as a user moves it with the keyboard: to the range's start,
  // then fifteen frames on, half way from one key to the other.
  await step(async () => {
    await page.focus('#frame-slider');
    await page.keyboard.press('Home');
  });
  assert.equal(await frameShown(), '0');
  assert.equal(await page.inputValue('#p-ARROW_SHAFT_LENGTH'), '100');
  assert.equal(await outlinePath(), atFirst);
  await step(async () => {
    for (let i = 0; i < 15; i++) await page.keyboard.press('ArrowRight');
  });
  assert.equal(await frameShown(), '15');
  assert.equal(await page.inputValue('#frame-slider'), '15');
  assert.equal(await page.inputValue('#p-ARROW_SHAFT_LENGTH'), '250');
  const between = await outlinePath();
  assert.notEqual(between, atFirst);
  assert.notEqual(between, atLast);
  const state = await page.evaluate(() => fetch('/api/state').then((r) => r.json()));
  assert.equal(state.time.frame, 15);
  assert.deepEqual(state.active.keys[0].keys.map((k) => [k.frame, k.value]), [[0, 100], [30, 400]]);

  // Pressed on a frame without a key it keys there; pressed again it takes the key out.
  await step(() => page.click('#k-ARROW_SHAFT_LENGTH'));
  assert.equal(await keyMark('ARROW_SHAFT_LENGTH'), 'frame');
  await step(() => page.click('#k-ARROW_SHAFT_LENGTH'));
  assert.equal(await keyMark('ARROW_SHAFT_LENGTH'), 'other');
  const again = await page.evaluate(() => fetch('/api/state').then((r) => r.json()));
  assert.deepEqual(again.active.keys[0].keys.map((k) => k.frame), [0, 30]);

  // On a key of another interpolation than the chosen one a click keys the
  // frame again with the chosen one, as one undo step; undo brings back the
  // key as it was.
  await typeFrame(0);
  assert.equal(await keyTitle('ARROW_SHAFT_LENGTH'),
    'keyed at frames 0 (ease), 30 (linear): click to make the key at frame 0 linear (the value it has now)');
  const steps = await undoSteps();
  await step(() => page.click('#k-ARROW_SHAFT_LENGTH'));
  assert.deepEqual(await printedKeys('ARROW_SHAFT_LENGTH'), [[0, 'linear'], [30, 'linear']]);
  assert.equal(await keyMark('ARROW_SHAFT_LENGTH'), 'frame');
  assert.equal(await undoSteps(), steps + 1);
  await step(() => page.keyboard.press('Control+z'));
  assert.equal(await undoSteps(), steps);
  assert.deepEqual(await printedKeys('ARROW_SHAFT_LENGTH'), [[0, 'ease'], [30, 'linear']]);
});

test('play steps the frame at the document\'s rate and the previews follow; stop keeps the frame', async () => {
  const from = Number(await frameShown());
  const before = await outlinePath();
  const linesBefore = await logLines();
  const serverLog = () => page.evaluate(() => fetch('/api/state').then((r) => r.json()).then((s) => s.log));
  const serverLogBefore = await serverLog();
  await page.click('#play');
  assert.equal(await page.isDisabled('#play'), true);
  await page.waitForFunction((f) => Number(document.getElementById('frame-number').value) >= f + 5, from,
    { timeout: 10000 });
  await step(() => page.click('#stop'));
  const stopped = await frameShown();
  assert.ok(Number(stopped) > from, `stopped at ${stopped}, started at ${from}`);
  // The played frames left no line in the console pane (nor in the server's
  // log), only the one that says what was played.
  // (The pane keeps its last 200 entries: compared from the last one before playing.)
  const linesAfter = await logLines();
  assert.deepEqual(linesAfter.slice(-2), [linesBefore[linesBefore.length - 1], `played frames ${from}..${stopped}`]);
  assert.deepEqual(await serverLog(), serverLogBefore);
  assert.notEqual(await outlinePath(), before);
  await new Promise((resolve) => setTimeout(resolve, 300));
  assert.equal(await frameShown(), stopped);
  const state = await page.evaluate(() => fetch('/api/state').then((r) => r.json()));
  assert.equal(String(state.time.frame), stopped);
  assert.equal(await page.isDisabled('#play'), false);
  assert.equal(await page.isDisabled('#stop'), true);
  // A frame chosen by hand is the user's own command, and logged as one.
  await typeFrame(30);
  assert.deepEqual((await logLines()).slice(-1), ['> frame 30']);
  await page.locator('#timeline').screenshot({ path: path.join(shots, '17-timeline.png') });
  await page.locator('#view-pane').screenshot({ path: path.join(shots, '18-timeline-views.png') });
  await shot('19-timeline-page');
});

test('the frame number takes whole frames of the range only; stop and play again is one run', async () => {
  // An empty box (also what the browser makes of "1e"), a fraction or a
  // frame outside the range goes back to the frame there is, with the
  // reason, and nothing is sent.
  const at = await frameShown();
  const linesBefore = await logLines();
  for (const typed of ['', '12.5', '500', '-1']) {
    await page.fill('#frame-number', typed);
    await page.press('#frame-number', 'Enter');
    assert.equal(await frameShown(), at, `typed '${typed}'`);
    assert.match(await page.textContent('#status'), /^a frame is a whole number from 0 to 90/);
  }
  assert.deepEqual(await logLines(), linesBefore);

  // Two frames a second; a frame's answer is held while stop and play are
  // clicked. The first run's line names its own first frame, and only the
  // new run goes on: one frame is asked for in the next 400 ms, not one
  // for each run.
  await step(async () => {
    await page.fill('#console-input', 'fps 2');
    await page.press('#console-input', 'Enter');
  });
  const from = Number(await frameShown());
  const frames = [];
  let release = null;
  await page.route('**/api/command', async (route) => {
    const words = route.request().postDataJSON().words;
    if (words[0] !== 'frame') return route.continue();
    frames.push({ frame: Number(words[1]), at: Date.now() });
    if (frames.length === 2) await new Promise((resolve) => { release = resolve; });
    return route.continue();
  });
  await page.click('#play');
  while (release === null) await new Promise((resolve) => setTimeout(resolve, 20));
  // held longer than a frame's share of a second, so a second run would ask at once
  await new Promise((resolve) => setTimeout(resolve, 600));
  await page.evaluate(() => { document.getElementById('stop').click(); document.getElementById('play').click(); });
  const restarted = Date.now();
  release();
  await new Promise((resolve) => setTimeout(resolve, 400));
  const sinceRestart = frames.filter((f) => f.at >= restarted).length;
  await step(() => page.click('#stop'));
  await page.unroute('**/api/command');
  assert.equal(sinceRestart, 1, JSON.stringify(frames));
  const lines = (await logLines()).slice(-2);
  assert.match(lines[0], new RegExp(`^played frames ${from}\\.\\.`), lines.join(' | '));
  await step(async () => {
    await page.fill('#console-input', 'fps 30');
    await page.press('#console-input', 'Enter');
  });
});

test('at 1024 x 768 nothing scrolls sideways and the previews stay in view', async () => {
  await page.setViewportSize({ width: 1024, height: 768 });
  await step(() => page.click('#tree .node[data-path="Cloner/Extrude NURBS/Arrow"]'));
  assert.ok(await page.evaluate(() => document.documentElement.scrollWidth) <= 1024);
  await page.evaluate(() => window.scrollTo(0, 900));
  const top = await page.evaluate(() => document.getElementById('preview').getBoundingClientRect().top);
  assert.ok(top >= 0 && top < 768, `the preview is at ${top}`);
  await shot('15-1024');
  await page.evaluate(() => window.scrollTo(0, 0));
  await page.setViewportSize({ width: 1400, height: 980 });
});

test('after the server is killed, a new one brings every object and value back', async () => {
  const before = await page.evaluate(() => fetch('/api/state').then((r) => r.json()));
  const params = await page.evaluate(() => fetch('/api/command', {
    method: 'POST', headers: { 'Content-Type': 'application/json' },
    body: JSON.stringify({ words: ['print', 'params', 'Cloner/Extrude NURBS/Arrow', 'names'] }),
  }).then((r) => r.json()).then((a) => a.printed[0].params));
  // The copy is written at most about once a second after a change.
  await new Promise((resolve) => setTimeout(resolve, 1500));
  const killed = new Promise((resolve) => server.on('exit', resolve));
  server.kill('SIGKILL');
  await killed;
  await startServer();
  assert.match(serverOut, /restored \d+ objects from the recovery copy/);
  await page.goto(address);
  await page.waitForFunction(() => document.body.dataset.busy === '0' && Number(document.body.dataset.version) > 0);
  const after = await page.evaluate(() => fetch('/api/state').then((r) => r.json()));
  const names = (tree) => JSON.stringify(tree, (k, v) => (k === 'serial' ? undefined : v));
  assert.equal(names(after.tree), names(before.tree));
  const again = await page.evaluate(() => fetch('/api/command', {
    method: 'POST', headers: { 'Content-Type': 'application/json' },
    body: JSON.stringify({ words: ['print', 'params', 'Cloner/Extrude NURBS/Arrow', 'names'] }),
  }).then((r) => r.json()).then((a) => a.printed[0].params));
  assert.deepEqual(again, params);
  assert.ok(await page.isVisible('#banner'));
  assert.match(await page.textContent('#banner-text'), /undo history was not kept/);
  await shot('16-recovered');
});
