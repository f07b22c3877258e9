// The Tolvane workbench page. Every action is one console command sent to
// the server as words (POST /api/command), whose answer carries the
// command's result (status, error, notes, printed documents) and the state
// the page shows (the tree, the active object's editor, its 2-D preview and
// 3-D view): one request an edit. Actions run one after the other. The
// page takes object types, units and their conversions from the server's
// descriptions (GET /api/description?type=N), not from copies of its own.
import { View3d } from '/view3d.js';

const $ = (id) => document.getElementById(id);
let state = null;             // the last state the server answered
const descriptions = new Map(); // type -> description (print description TYPE)
let types = {};               // type number -> kind word, from the descriptions
let units = {};               // unit -> {text, factor, typed}
let editorFor = null;         // the serial whose attribute editor is built
let fitFor = null;            // the serial the 3-D view was last fitted to
let dotsVersion = 0;
let view3d = null;
let gallery = null;           // the presets gallery, fetched once
let pendingPoint = null;      // a path's first clicked point, waiting for the second
const dragging = new Set();   // parameters being scrubbed: their inputs are left alone
window.tolvaneTimings = [];   // edit to redrawn views, for the benchmark

// --- talking to the server -------------------------------------------------

async function getJSON(url) {
  const res = await fetch(url);
  const body = await res.json();
  if (!res.ok) throw new Error(body.error || res.statusText);
  return body;
}

async function describe(type) {
  if (!descriptions.has(type)) {
    const d = await getJSON(`/api/description?type=${type}`);
    descriptions.set(type, d);
    types = d.types;
    units = d.units;
  }
  return descriptions.get(type);
}

function showStatus(text, isError) {
  const s = $('status');
  s.textContent = text;
  s.className = isError ? 'error' : 'ok';
}

function showNotes(notes) {
  $('notes').hidden = !notes || notes.length === 0;
  $('notes').textContent = (notes || []).join('\n');
}

// Runs one command (words, or a typed line) and applies the state of its
// answer. An error stays shown until the next command goes through. With
// `unlogged` the server leaves the command out of the console pane's log
// unless it fails.
async function command(words, options = {}) {
  const body = Array.isArray(words) ? { words, state: true } : { command: words, state: true };
  if (options.unlogged) body.log = false;
  const t0 = options.t0 ?? performance.now();
  const res = await fetch('/api/command', {
    method: 'POST', headers: { 'Content-Type': 'application/json' }, body: JSON.stringify(body),
  });
  const answer = await res.json();
  if (!res.ok) {
    showStatus(`${answer.command || (Array.isArray(words) ? words.join(' ') : words)}: ${answer.error}`, true);
    showNotes(answer.notes);
  } else {
    if (!options.quiet) showStatus(answer.notes && answer.notes.length ? 'done, with a note' : '', false);
    showNotes(answer.notes);
  }
  if (answer.state) await apply(answer.state, t0);
  return answer;
}

// Every action goes through here, one at a time.
let chain = Promise.resolve();
let pending = 0;
function act(fn) {
  pending++;
  document.body.dataset.busy = '1';
  chain = chain.then(async () => {
    try {
      await fn();
    } catch (err) {
      showStatus(String(err.message || err), true);
    }
  }).finally(() => {
    if (--pending === 0) {
      document.body.dataset.busy = '0';
      document.body.dataset.version = String(Number(document.body.dataset.version) + 1);
    }
  });
  return chain;
}

async function refresh() {
  await apply(await getJSON('/api/state?views=1'), performance.now());
}

// --- state and redraw --------------------------------------------------------

const at = (active) => (active ? `@${active.serial}` : null);

async function apply(next, t0) {
  await describe(next.arrow_type);
  if (next.active) await describe(next.active.type);
  // What is read of the layout is read before anything is written, so that
  // no step waits for a layout of the steps before it.
  const log = $('log');
  const logAtEnd = log.scrollTop + log.clientHeight >= log.scrollHeight - 4;
  state = next;
  // The views first: they are what an edit is for.
  renderPreview();
  const t2d = performance.now() - t0;
  renderView3d();
  const t3d = performance.now() - t0;
  window.tolvaneTimings.push({ t2d, t3d });
  $('release').textContent = `release ${state.release}`;
  renderUndo();
  renderTree();
  renderEditor();
  renderKeys();
  renderTimeline();
  renderPath();
  renderUserData();
  renderGallery();
  renderDownloads();
  renderLog(logAtEnd);
  renderDots();
  renderBanner();
}

function renderUndo() {
  const { undo, redo } = state.undo;
  for (const [id, n, text] of [['undo', undo, `Undo (${undo})`], ['redo', redo, `Redo (${redo})`]]) {
    const b = $(id);
    if (b.textContent !== text) b.textContent = text;
    if (b.disabled !== (n === 0)) b.disabled = n === 0;
  }
}

function allNodes(list, prefix = '', out = []) {
  for (const node of list) {
    const path = prefix ? `${prefix}/${node.name}` : node.name;
    out.push({ path, name: node.name, type: node.type, serial: node.serial });
    allNodes(node.children, path, out);
  }
  return out;
}

let treeShown = '';
function renderTree() {
  const key = JSON.stringify([state.tree, state.active && state.active.serial]);
  if (key === treeShown) return;
  treeShown = key;
  const activeSerial = state.active ? state.active.serial : null;
  const build = (list, prefix) => {
    const ul = document.createElement('ul');
    for (const node of list) {
      const path = prefix ? `${prefix}/${node.name}` : node.name;
      const li = document.createElement('li');
      const row = document.createElement('div');
      row.className = 'node' + (node.serial === activeSerial ? ' active' : '');
      row.dataset.path = path;
      row.dataset.serial = String(node.serial);
      row.dataset.type = node.type;
      const kind = types[node.type] || 'object';
      row.innerHTML = `<span class="kind ${kind}">${kind}</span><span class="name"></span>`;
      row.querySelector('.name').textContent = node.name;
      row.title = path;
      row.addEventListener('click', () => act(() => command(['select', `@${node.serial}`], { quiet: true })));
      li.appendChild(row);
      if (node.children.length) li.appendChild(build(node.children, path));
      ul.appendChild(li);
    }
    return ul;
  };
  $('tree').replaceChildren(...build(state.tree, '').childNodes);
  $('tree-empty').hidden = state.tree.length !== 0;
}

function uniqueName(base) {
  const names = new Set(allNodes(state.tree).map((n) => n.name));
  if (!names.has(base)) return base;
  for (let i = 2; ; i++) if (!names.has(`${base} ${i}`)) return `${base} ${i}`;
}

async function addObject(kind, base) {
  const name = uniqueName(base);
  const answer = await command(kind === 'arrow' ? ['arrow', name, 'menu'] : ['object', kind, name]);
  if (answer.ok) {
    const node = allNodes(answer.state.tree).find((n) => n.name === name);
    if (node) await command(['select', `@${node.serial}`], { quiet: true });
  }
}

// --- the attribute editor ----------------------------------------------------

function formatNumber(v) {
  if (typeof v !== 'number') return String(v);
  return String(Number(v.toPrecision(7)));
}

const toShown = (param, v) => (units[param.unit] ? v * units[param.unit].factor : v);
const fromShown = (param, v) => (units[param.unit] ? v / units[param.unit].factor : v);

function storedText(param, shown) {
  const v = Number(shown);
  if (!Number.isFinite(v)) return String(shown);
  return String(fromShown(param, v));
}

// Sends a parameter's value; while one edit is on its way the next waits,
// and only the latest waiting value is sent. A drag sends `set` first, then
// `scrub`s that the server joins into the same undo step.
const latest = new Map();
function setParam(param, text, verb = 'set') {
  const key = param.name;
  const waiting = latest.has(key);
  latest.set(key, { text, verb, t0: performance.now() });
  if (waiting) return;
  const target = at(state.active);
  act(async () => {
    const { text: value, verb: how, t0 } = latest.get(key);
    latest.delete(key);
    await command([how, target, param.name, value], { t0, quiet: how === 'scrub' });
  });
}

function makeRow(param) {
  const row = document.createElement('div');
  row.className = 'row';
  row.dataset.param = param.name;
  const label = document.createElement('label');
  label.textContent = param.label;
  label.htmlFor = `p-${param.name}`;
  const field = document.createElement('div');
  field.className = 'field';
  let input;
  if (param.type === 'bool') {
    input = document.createElement('input');
    input.type = 'checkbox';
    input.addEventListener('change', () => setParam(param, input.checked ? 'true' : 'false'));
  } else if (param.type === 'int32' && param.choices) {
    input = document.createElement('select');
    for (const c of param.choices) input.add(new Option(c.label, String(c.value)));
    input.addEventListener('change', () => setParam(param, input.value));
  } else if (param.type === 'vector') {
    const parts = ['x', 'y', 'z'].map((axis) => {
      const part = document.createElement('input');
      part.type = 'number';
      part.step = 'any';
      part.className = 'vec';
      part.id = `p-${param.name}-${axis}`;
      part.title = axis;
      return part;
    });
    const send = () => setParam(param, parts.map((p) => p.value || '0').join(','));
    for (const p of parts) p.addEventListener('change', send);
    field.append(...parts);
    input = parts[0];
    input.dataset.vector = '1';
  } else if (param.type === 'float' || param.type === 'int32') {
    input = document.createElement('input');
    input.type = 'number';
    const conv = (v) => formatNumber(toShown(param, v));
    if (param.min !== undefined) input.min = conv(param.min);
    if (param.max !== undefined) input.max = conv(param.max);
    input.step = param.step !== undefined ? conv(param.step) : 'any';
    input.addEventListener('change', () => setParam(param, storedText(param, input.value)));
    // Dragging the label sideways changes the value a step a pixel: one
    // undo step for the whole drag.
    label.classList.add('drag');
    label.title = 'drag sideways to change the value';
    label.addEventListener('mousedown', (down) => {
      if (input.disabled) return;
      down.preventDefault();
      const start = Number(input.value) || 0;
      const step = Number(input.step) || 1;
      let moved = false;
      dragging.add(param.name);
      const move = (e) => {
        let v = start + Math.round(e.clientX - down.clientX) * step;
        if (input.min !== '') v = Math.max(v, Number(input.min));
        if (input.max !== '') v = Math.min(v, Number(input.max));
        if (param.type === 'int32') v = Math.round(v);
        if (formatNumber(v) === input.value) return;
        input.value = formatNumber(v);
        setParam(param, storedText(param, input.value), moved ? 'scrub' : 'set');
        moved = true;
      };
      const up = () => {
        window.removeEventListener('mousemove', move);
        window.removeEventListener('mouseup', up);
        dragging.delete(param.name);
      };
      window.addEventListener('mousemove', move);
      window.addEventListener('mouseup', up);
    });
    const unit = units[param.unit];
    if (unit && param.unit !== 'length') {
      const u = document.createElement('span');
      u.className = 'unit';
      u.textContent = unit.text;
      field.append(input, u);
    }
  } else if (param.type === 'string') {
    input = document.createElement('input');
    input.type = 'text';
    input.addEventListener('change', () => setParam(param, input.value));
  } else if (param.type === 'link') {
    input = document.createElement('select');
    input.addEventListener('change', () => setParam(param, input.value));
  }
  if (!input.id) input.id = `p-${param.name}`;
  input.classList.add('value');
  if (!field.contains(input)) field.prepend(input);
  if (animatable(param)) field.append(makeKeyButton(param));
  row.append(label, field);
  return row;
}

// Numbers, switches and choices can be keyed; texts, links and vectors not.
const animatable = (param) => param.type === 'float' || param.type === 'int32' || param.type === 'bool';

// The parameter's keys on the active object, and its key at the current frame.
function keysOf(name) {
  const track = state.active && state.active.keys ? state.active.keys.find((p) => p.name === name) : undefined;
  const here = track && state.time ? track.keys.find((k) => k.frame === state.time.frame) : undefined;
  return { track, here };
}

// The interpolation the key buttons give new keys: the timeline's choice,
// kept for the browser tab's session.
const interpolations = ['hold', 'linear', 'ease'];
function chosenInterpolation() {
  const value = $('key-interpolation').value;
  return interpolations.includes(value) ? value : 'linear';
}
function restoreInterpolation() {
  let kept = null;
  try { kept = sessionStorage.getItem('tolvane.key-interpolation'); } catch { /* storage off: the default */ }
  if (interpolations.includes(kept)) $('key-interpolation').value = kept;
}
function chooseInterpolation() {
  try { sessionStorage.setItem('tolvane.key-interpolation', chosenInterpolation()); } catch { /* kept for this page only */ }
  if (state) renderKeys();
}

// What a click on a parameter's key button does at the current frame:
// without a key there it keys the value the parameter has now with the
// chosen interpolation; on a key of the chosen interpolation it takes the
// key out; on a key of another interpolation it keys the frame again with
// the chosen one (`key` replaces the key there: one undo step, as each is).
function keyAction(here) {
  const chosen = chosenInterpolation();
  return !here ? 'key' : here.interpolation === chosen ? 'unkey' : 'rekey';
}

function makeKeyButton(param) {
  const button = document.createElement('button');
  button.type = 'button';
  button.className = 'key';
  button.id = `k-${param.name}`;
  button.dataset.param = param.name;
  button.textContent = '\u25C7';
  button.addEventListener('click', () => act(async () => {
    const a = state.active;
    if (!a || !a.editor || !state.time) return;
    const frame = String(state.time.frame);
    if (keyAction(keysOf(param.name).here) === 'unkey') {
      await command(['unkey', at(a), param.name, frame]);
      return;
    }
    const entry = a.editor.params.find((p) => p.name === param.name);
    if (!entry) return;
    await command(['key', at(a), param.name, frame, String(entry.value), chosenInterpolation()]);
  }));
  return button;
}

function renderKeys() {
  if (!state.active || !state.active.editor) return;
  for (const button of $('editor').querySelectorAll('button.key')) {
    const { track, here } = keysOf(button.dataset.param);
    const keyed = here ? 'frame' : track ? 'other' : 'none';
    const frame = state.time.frame;
    const chosen = chosenInterpolation();
    const keys = track ? `keyed at ${track.keys.length === 1 ? 'frame' : 'frames'} `
      + `${track.keys.map((k) => `${k.frame} (${k.interpolation})`).join(', ')}: ` : '';
    const click = {
      key: `click to key the value at frame ${frame} (${chosen})`,
      unkey: `click to take the key at frame ${frame} out`,
      rekey: `click to make the key at frame ${frame} ${chosen} (the value it has now)`,
    }[keyAction(here)];
    const title = keys + click;
    if (button.dataset.keyed === keyed && button.title === title) continue;
    button.dataset.keyed = keyed;
    button.textContent = here ? '\u25C6' : '\u25C7';
    button.setAttribute('aria-pressed', String(Boolean(here)));
    button.title = title;
  }
}

function makeButton(param) {
  const button = document.createElement('button');
  button.textContent = param.label.replace(/\.\.\.$/, '');
  button.dataset.param = param.name;
  button.id = `b-${param.name}`;
  button.addEventListener('click', () => {
    const target = at(state.active);
    if (param.name === 'ARROW_SAVE_PRESET') act(() => savePreset(target));
    else if (param.name === 'ARROW_LOAD_PRESET') $('preset-file').click();
    else act(() => command(['press', target, param.name]));
  });
  return button;
}

function buildEditor(description) {
  const editor = $('editor');
  editor.replaceChildren();
  const groups = new Map();
  for (const param of description.params) {
    if (!groups.has(param.group)) {
      const set = document.createElement('fieldset');
      const legend = document.createElement('legend');
      legend.textContent = param.group;
      set.appendChild(legend);
      groups.set(param.group, set);
      editor.appendChild(set);
    }
    const set = groups.get(param.group);
    if (param.type === 'button') {
      let row = set.querySelector('.button-row');
      if (!row) {
        row = document.createElement('div');
        row.className = 'row button-row';
        row.appendChild(Object.assign(document.createElement('div'), { className: 'actions' }));
        set.appendChild(row);
      }
      row.firstChild.appendChild(makeButton(param));
    } else {
      set.appendChild(makeRow(param));
    }
  }
  if (description.params.length === 0) {
    editor.appendChild(Object.assign(document.createElement('p'), { className: 'hint',
      textContent: `A ${description.kind} has no parameters of its own: it holds what is under it.` }));
  }
}

function updateEditor(description) {
  const values = new Map(state.active.editor.params.map((p) => [p.name, p]));
  const objects = allNodes(state.tree);
  const rows = new Map([...$('editor').querySelectorAll('.row[data-param]')].map((r) => [r.dataset.param, r]));
  for (const param of description.params) {
    const entry = values.get(param.name);
    if (param.type === 'button') continue;
    const row = rows.get(param.name);
    const inputs = param.type === 'vector'
      ? ['x', 'y', 'z'].map((a) => $(`p-${param.name}-${a}`)) : [$(`p-${param.name}`)];
    const enabled = entry ? entry.enabled : false;
    if (row.classList.contains('disabled') === enabled) row.classList.toggle('disabled', !enabled);
    for (const input of inputs) if (input.disabled === enabled) input.disabled = !enabled;
    if (!entry || dragging.has(param.name) || latest.has(param.name)) continue;
    const v = entry.value;
    const input = inputs[0];
    // Only what changed is written: a write costs a layout even when it sets what was there.
    const show = (field, text) => { if (field.value !== text) field.value = text; };
    if (param.type === 'bool') { if (input.checked !== (v === true)) input.checked = v === true; }
    else if (param.type === 'vector') inputs.forEach((i, k) => show(i, Array.isArray(v) ? formatNumber(v[k]) : ''));
    else if (param.type === 'link') {
      if (input.dataset.tree !== treeShown) {
        const options = [new Option('none', 'none')];
        for (const o of objects) {
          if (o.serial === state.active.serial) continue;
          if (param.accept && param.accept !== description.any_object && o.type !== param.accept) continue;
          options.push(new Option(o.path, `@${o.serial}`));
        }
        input.replaceChildren(...options);
        input.dataset.tree = treeShown;
      }
      const target = v === null ? 'none' : (objects.find((o) => o.name === v) || { serial: null });
      show(input, target === 'none' ? 'none' : target.serial ? `@${target.serial}` : 'none');
    } else if (param.type === 'int32' && param.choices) show(input, String(v));
    else if (typeof v === 'number') show(input, formatNumber(toShown(param, v)));
    else show(input, v === null ? '' : String(v));
  }
}

function renderEditor() {
  const a = state.active;
  const title = $('editor-title');
  if (!a) {
    title.textContent = 'Attributes';
    $('editor').replaceChildren(Object.assign(document.createElement('p'),
      { className: 'hint', textContent: 'Select an object in the tree.' }));
    editorFor = null;
    return;
  }
  title.textContent = `Attributes of ${a.name}`;
  const description = descriptions.get(a.type);
  if (a.editor && description) {
    if (editorFor !== a.serial) {
      buildEditor(description);
      editorFor = a.serial;
    }
    updateEditor(description);
    return;
  }
  // An object of no known type: its container as the host holds it.
  editorFor = null;
  const table = document.createElement('table');
  table.className = 'raw';
  for (const [id, value] of Object.entries(a.params.params)) {
    const tr = table.insertRow();
    tr.insertCell().textContent = id;
    tr.insertCell().textContent = JSON.stringify(value);
  }
  $('editor').replaceChildren(Object.assign(document.createElement('p'),
    { className: 'hint', textContent: `An object of type ${a.type}: its parameters by ID.` }), table);
}

// --- the timeline ----------------------------------------------------------------

// The frame is the document's: the slider and the number send `frame N`,
// and the previews follow the state it answers. While one frame is on its
// way the slider's next waits, and only the latest waiting frame is sent.
let playing = false;
let playTimer = null;
let wantedFrame = null;

function goToFrame(frame) {
  if (!Number.isFinite(frame)) return;
  const waiting = wantedFrame !== null;
  wantedFrame = Math.round(frame);
  if (waiting) return;
  act(async () => {
    const next = wantedFrame;
    wantedFrame = null;
    await command(['frame', String(next)], { quiet: true });
  });
}

function renderTimeline() {
  const t = state.time;
  if (!t) return;
  const [first, last] = t.range;
  for (const input of [$('frame-slider'), $('frame-number')]) {
    if (input.min !== String(first)) input.min = String(first);
    if (input.max !== String(last)) input.max = String(last);
  }
  const slider = $('frame-slider');
  const number = $('frame-number');
  $('timeline').dataset.frame = String(t.frame);
  if (wantedFrame === null) {
    if (slider.value !== String(t.frame)) slider.value = String(t.frame);
    if ((playing || document.activeElement !== number) && number.value !== String(t.frame)) number.value = String(t.frame);
  }
  const info = `frame ${t.frame} of ${first}\u2013${last} \u00B7 ${formatNumber(t.fps)} fps`;
  if ($('time-info').textContent !== info) $('time-info').textContent = info;
}

// Playing steps the frame at the document's rate through the same command,
// from the start again after the range's last frame; a frame that takes
// longer than its share of a second is not skipped but waited for. The
// frames it sends stay out of the console pane (a second of playing would
// be thirty lines, and the server's log would lose the user's own commands
// to them); a frame that fails is logged and stops playing. Stop writes
// one line of what was played. A frame chosen by hand (the slider, the
// number) is the user's own command and is logged as one.
let played = null;  // {from, frames, looped} while playing

function play() {
  if (playing || !state || !state.time) return;
  playing = true;
  played = { from: state.time.frame, frames: 0, looped: false };
  showPlaying();
  const tick = () => {
    if (!playing) return;
    const started = performance.now();
    act(async () => {
      if (!playing) return;
      const { frame, range } = state.time;
      const loops = frame + 1 > range[1] || frame < range[0];
      const next = loops ? range[0] : frame + 1;
      const answer = await command(['frame', String(next)], { quiet: true, unlogged: true });
      if (!answer.ok) {
        stop();
        return;
      }
      played.frames++;
      played.looped ||= loops;
    }).then(() => {
      if (!playing) return;
      const wait = Math.max(0, 1000 / state.time.fps - (performance.now() - started));
      playTimer = setTimeout(tick, wait);
    });
  };
  tick();
}

// The line is written once the frame on its way has been shown, so it
// names the frame playing stopped at.
function stop() {
  if (!playing) return;
  playing = false;
  clearTimeout(playTimer);
  showPlaying();
  act(async () => {
    const { from, frames, looped } = played;
    const to = state.time.frame;
    const line = frames === 0 ? `stopped at frame ${to}`
      : looped ? `played ${frames} ${frames === 1 ? 'frame' : 'frames'} from frame ${from} to frame ${to}, looping at the range's end`
        : `played frames ${from}..${to}`;
    logLine(line);
  });
}

function showPlaying() {
  $('play').setAttribute('aria-pressed', String(playing));
  $('play').disabled = playing;
  $('stop').disabled = !playing;
  $('timeline').dataset.playing = String(playing);
}

// --- paths -------------------------------------------------------------------

const planeAxes = { XY: [0, 1, 2], ZY: [2, 1, 0], XZ: [0, 2, 1] };  // h, v, and the axis seen end-on

function pathWords(points, spline) {
  const words = ['points', at(state.active), spline.type];
  if (spline.closed) words.push('closed');
  for (const p of points) words.push(p.map((c) => String(Number(c.toFixed(6)))).join(','));
  return words;
}

function renderPath() {
  const a = state.active;
  const isPath = a && a.spline;
  $('path-editor').hidden = !isPath;
  $('preview').classList.toggle('path-edit', Boolean(isPath));
  if (!isPath) {
    pendingPoint = null;
    return;
  }
  $('path-type').value = a.spline.type;
  $('path-closed').checked = a.spline.closed;
  if (document.activeElement !== $('path-points')) {
    $('path-points').value = a.spline.points.map((p) => p.map(formatNumber).join(', ')).join('\n');
  }
}

function sendPath(points, spline) {
  if (points.length < 2) return;
  act(() => command(pathWords(points, spline)));
}

function readPointList() {
  const points = [];
  for (const line of $('path-points').value.split('\n')) {
    if (!line.trim()) continue;
    const p = line.split(/[,\s]+/).filter(Boolean).map(Number);
    if (p.length !== 3 || !p.every(Number.isFinite)) throw new Error(`not a point x, y, z: ${line}`);
    points.push(p);
  }
  return points;
}

function currentSpline() {
  return { type: $('path-type').value, closed: $('path-closed').checked };
}

// A point of the preview (in the SVG's own units: the plane, y down) as a
// point of the scene.
function scenePoint(svg, clientX, clientY) {
  const pt = svg.createSVGPoint();
  pt.x = clientX;
  pt.y = clientY;
  const p = pt.matrixTransform(svg.getScreenCTM().inverse());
  const [h, v, out] = planeAxes[svg.dataset.plane || 'XY'];
  const xyz = [0, 0, 0];
  xyz[h] = p.x;
  xyz[v] = -p.y;
  xyz[out] = 0;
  return xyz;
}

function wirePathEditing(svg) {
  if (!state.active || !state.active.spline) return;
  const circles = svg.querySelectorAll('#points circle');
  circles.forEach((circle, index) => {
    circle.addEventListener('mousedown', (down) => {
      down.preventDefault();
      down.stopPropagation();
      const move = (e) => {
        const p = svg.createSVGPoint();
        p.x = e.clientX;
        p.y = e.clientY;
        const q = p.matrixTransform(svg.getScreenCTM().inverse());
        circle.setAttribute('cx', q.x);
        circle.setAttribute('cy', q.y);
      };
      const up = (e) => {
        window.removeEventListener('mousemove', move);
        window.removeEventListener('mouseup', up);
        const points = state.active.spline.points.map((p) => p.slice());
        points[index] = scenePoint(svg, e.clientX, e.clientY);
        sendPath(points, state.active.spline);
      };
      window.addEventListener('mousemove', move);
      window.addEventListener('mouseup', up);
    });
  });
  svg.addEventListener('click', (e) => {
    if (e.target.tagName === 'circle') return;
    const p = scenePoint(svg, e.clientX, e.clientY);
    const points = state.active.spline.points.map((q) => q.slice());
    if (points.length === 0 && !pendingPoint) {
      act(async () => {
        pendingPoint = p;
        showStatus(`first point ${p.map(formatNumber).join(', ')}: click the second`, false);
      });
      return;
    }
    if (pendingPoint) points.push(pendingPoint);
    pendingPoint = null;
    points.push(p);
    sendPath(points, currentSpline());
  });
}

// --- previews ------------------------------------------------------------------

function renderPreview() {
  const a = state.active;
  $('preview').innerHTML = a ? a.preview : '';
  const svg = $('preview').querySelector('svg');
  if (svg) wirePathEditing(svg);
}

function renderView3d() {
  const a = state.active;
  if (!view3d) {
    try {
      view3d = new View3d($('view3d'));
    } catch (err) {
      $('view3d-note').textContent = `no 3-D view: ${err.message}`;
      return;
    }
  }
  const view = a ? a.view3d : null;
  // Fitted to an object when it is selected, and when it first has something to show.
  const fit = a && (fitFor !== a.serial || !view3d.box);
  if (a) fitFor = a.serial;
  const shown = view3d.show(view, fit);
  $('view3d').dataset.shown = String(shown);
  $('view3d-note').textContent = !a ? 'select an object' : view && view.reason ? view.reason : '';
}

function renderDownloads() {
  const a = state.active;
  $('downloads').hidden = !a;
  if (!a) return;
  for (const link of document.querySelectorAll('#downloads .dl')) {
    link.href = `/api/export?object=${encodeURIComponent(at(a))}&format=${link.dataset.format}`;
    link.setAttribute('download', '');
  }
}

// --- presets ---------------------------------------------------------------------

async function renderGallery() {
  const a = state.active;
  $('gallery-pane').hidden = !(a && a.arrow);
  if (!(a && a.arrow) || gallery !== null) return;
  gallery = [];
  gallery = await getJSON('/api/presets');
  const box = $('gallery');
  box.replaceChildren();
  for (const p of gallery) {
    const b = document.createElement('button');
    b.className = 'preset';
    b.dataset.file = p.file;
    b.title = `load ${p.file} into the selected arrow`;
    b.innerHTML = p.svg || '';
    b.appendChild(Object.assign(document.createElement('span'), { className: 'name', textContent: p.name || p.file }));
    b.addEventListener('click', () => act(async () => {
      const res = await fetch('/api/preset/apply', {
        method: 'POST', headers: { 'Content-Type': 'application/json' },
        body: JSON.stringify({ object: at(state.active), file: p.file, state: true }),
      });
      const answer = await res.json();
      if (!res.ok) throw new Error(answer.error);
      showStatus(`preset ${p.file} loaded into ${state.active.name}`, false);
      await apply(answer.state, performance.now());
    }));
    box.appendChild(b);
  }
}

function download(blob, name) {
  const a = document.createElement('a');
  a.href = URL.createObjectURL(blob);
  a.download = name;
  document.body.appendChild(a);
  a.click();
  a.remove();
  setTimeout(() => URL.revokeObjectURL(a.href), 10000);
}

async function savePreset(target) {
  const res = await fetch('/api/preset/save', {
    method: 'POST', headers: { 'Content-Type': 'application/json' }, body: JSON.stringify({ object: target }),
  });
  if (!res.ok) {
    showStatus((await res.json()).error, true);
    return;
  }
  const disposition = res.headers.get('Content-Disposition') || '';
  const match = /filename="([^"]+)"/.exec(disposition);
  download(await res.blob(), match ? match[1] : 'preset.tlv');
  showStatus(`preset of ${state.active.name} saved`, false);
  await refresh();
}

async function upload(url, file) {
  const res = await fetch(url, {
    method: 'POST', headers: { 'Content-Type': 'application/octet-stream' }, body: file,
  });
  const body = await res.json();
  if (!res.ok) throw new Error(body.error);
  return body;
}

// --- user data and the Dots editor ---------------------------------------------

let userDataShown = '';
function renderUserData() {
  const box = $('userdata');
  const a = state.active;
  const key = a ? JSON.stringify([a.serial, a.userdata, a.userdata.map((u) => a.params.params[String(u.id)])]) : '';
  if (key === userDataShown) return;
  userDataShown = key;
  box.replaceChildren();
  if (!a) return;
  const set = document.createElement('fieldset');
  set.appendChild(Object.assign(document.createElement('legend'), { textContent: 'User data' }));
  for (const u of a.userdata) {
    const row = document.createElement('div');
    row.className = 'row';
    row.appendChild(Object.assign(document.createElement('label'), { textContent: u.name }));
    const field = document.createElement('div');
    field.className = 'field';
    const value = a.params.params[String(u.id)];
    const points = value && value.points ? value.points.length : 0;
    if (u.symbol === 'DOTS') {
      field.append(Object.assign(document.createElement('span'), { textContent: `${points} dots` }));
      const open = Object.assign(document.createElement('button'), { textContent: 'Edit in the Dots editor' });
      open.className = 'dots-open';
      open.addEventListener('click', () => act(() => command(['gui', 'open', at(a), String(u.id)])));
      field.append(open);
    } else {
      field.textContent = JSON.stringify(value === undefined ? null : value);
    }
    row.appendChild(field);
    set.appendChild(row);
  }
  const add = Object.assign(document.createElement('button'), { id: 'add-dots', textContent: '+ Dots parameter' });
  add.addEventListener('click', () => act(async () => {
    const names = new Set(a.userdata.map((u) => u.name));
    let label = 'Dots';
    for (let i = 2; names.has(label); i++) label = `Dots ${i}`;
    const answer = await command(['userdata', at(a), 'dots', label]);
    if (answer.ok && answer.printed.length) await command(['gui', 'open', at(a), String(answer.printed[0].id)]);
  }));
  set.appendChild(Object.assign(document.createElement('div'), { className: 'actions' })).appendChild(add);
  box.appendChild(set);
}

function renderDots() {
  const gui = state.gui;
  $('dots-pane').hidden = !gui;
  $('gui-note').textContent = gui ? '' : (state.gui_error && state.gui_error.includes('was closed') ? state.gui_error : '');
  if (!gui) return;
  const points = gui.points ? gui.points.length : 0;
  $('dots-info').textContent = `${gui.object} · parameter ${gui.param} · ${points} dots`;
  const img = $('dots-field');
  if (img.dataset.points !== String(points) || !img.src) img.src = `/api/dots.png?v=${++dotsVersion}`;
  img.dataset.points = String(points);
  img.width = gui.field.width;
  img.height = gui.field.height;
}

// A click on the picture as a position in the field (the picture may be
// shown larger or smaller than the field).
function dotsPosition(e) {
  const img = e.currentTarget;
  const { width, height } = state.gui.field;
  return [Math.floor((e.offsetX * width) / img.clientWidth), Math.floor((e.offsetY * height) / img.clientHeight)];
}

// --- the console pane and the banner -----------------------------------------------

// The log grows by the entries newer than the last one shown (each has its
// sequence number); the host console is drawn again only when it changed.
let logShown = 0;
let hostShown = '';
// A line of the page's own in the console pane, below the commands logged
// so far (the server's log does not keep it).
function logLine(text) {
  const log = $('log');
  const atEnd = log.scrollTop + log.clientHeight >= log.scrollHeight - 4;
  log.appendChild(Object.assign(document.createElement('div'), { className: 'entry page', textContent: text }));
  while (log.childElementCount > 200) log.firstElementChild.remove();
  if (atEnd) log.scrollTop = log.scrollHeight;
}

function renderLog(atEnd) {
  const log = $('log');
  for (const entry of state.log) {
    if (entry.seq <= logShown) continue;
    logShown = entry.seq;
    const item = document.createElement('div');
    item.className = 'entry';
    item.appendChild(Object.assign(document.createElement('div'), { className: 'cmd', textContent: `> ${entry.command}` }));
    if (entry.text) item.appendChild(Object.assign(document.createElement('div'), { textContent: entry.text }));
    for (const p of entry.printed) {
      const text = JSON.stringify(p);
      item.appendChild(Object.assign(document.createElement('div'),
        { textContent: text.length > 600 ? `${text.slice(0, 600)} …` : text }));
    }
    for (const n of entry.notes || []) item.appendChild(Object.assign(document.createElement('div'), { className: 'note', textContent: n }));
    if (!entry.ok) item.appendChild(Object.assign(document.createElement('div'), { className: 'err', textContent: entry.error }));
    log.appendChild(item);
  }
  while (log.childElementCount > 200) log.firstElementChild.remove();
  if (atEnd) log.scrollTop = log.scrollHeight;
  const hostKey = JSON.stringify([state.console, state.boxes]);
  if (hostKey === hostShown) return;
  hostShown = hostKey;
  const host = $('host-console');
  host.replaceChildren();
  for (const line of state.console) host.appendChild(Object.assign(document.createElement('div'), { textContent: line }));
  for (const box of state.boxes) {
    host.appendChild(Object.assign(document.createElement('div'), { className: 'box', textContent: `[message box] ${box}` }));
  }
  host.scrollTop = host.scrollHeight;
}

let bannerClosed = false;
function renderBanner() {
  $('banner').hidden = bannerClosed || !state.recovery;
  $('banner-text').textContent = state.recovery || '';
}

// --- wiring ------------------------------------------------------------------------

$('undo').addEventListener('click', () => act(() => command(['undo'])));
$('redo').addEventListener('click', () => act(() => command(['redo'])));
$('new-doc').addEventListener('click', () => act(() => command(['new'])));
$('add-arrow').addEventListener('click', () => act(() => addObject('arrow', 'Arrow')));
$('add-spline').addEventListener('click', () => act(() => addObject('spline', 'Path')));
$('add-null').addEventListener('click', () => act(() => addObject('null', 'Null')));
$('play').addEventListener('click', play);
$('stop').addEventListener('click', stop);
$('frame-slider').addEventListener('input', (e) => goToFrame(Number(e.target.value)));
$('frame-number').addEventListener('change', (e) => goToFrame(Number(e.target.value)));
$('key-interpolation').addEventListener('change', chooseInterpolation);
restoreInterpolation();
$('view3d-fit').addEventListener('click', () => view3d && view3d.fit());
$('banner-close').addEventListener('click', () => { bannerClosed = true; $('banner').hidden = true; });
$('path-apply').addEventListener('click', () => {
  try {
    sendPath(readPointList(), currentSpline());
  } catch (err) {
    showStatus(err.message, true);
  }
});
$('path-clear').addEventListener('click', () => { pendingPoint = null; showStatus('', false); });
for (const id of ['path-type', 'path-closed']) {
  $(id).addEventListener('change', () => {
    if (state.active && state.active.spline) sendPath(state.active.spline.points, currentSpline());
  });
}
$('dots-field').addEventListener('click', (e) => {
  if (!state || !state.gui) return;
  const [x, y] = dotsPosition(e);
  act(() => command(['gui', 'click', String(x), String(y)]));
});
$('dots-close').addEventListener('click', () => act(() => command(['gui', 'close'])));
$('console-form').addEventListener('submit', (e) => {
  e.preventDefault();
  const line = $('console-input').value.trim();
  if (!line) return;
  $('console-input').value = '';
  act(() => command(line));
});
$('scene-file').addEventListener('change', (e) => {
  const file = e.target.files[0];
  e.target.value = '';
  if (!file) return;
  act(async () => {
    await upload(`/api/scene?name=${encodeURIComponent(file.name)}`, file);
    editorFor = null;
    fitFor = null;
    showStatus(`scene ${file.name} loaded`, false);
    await refresh();
  });
});
$('preset-file').addEventListener('change', (e) => {
  const file = e.target.files[0];
  e.target.value = '';
  if (!file || !state.active) return;
  const target = at(state.active);
  const name = state.active.name;
  act(async () => {
    await upload(`/api/preset/load?object=${encodeURIComponent(target)}&name=${encodeURIComponent(file.name)}`, file);
    showStatus(`preset ${file.name} loaded into ${name}`, false);
    await refresh();
  });
});
// Ctrl+Z and Ctrl+Shift+Z (Ctrl+Y too) undo and redo, unless a text field
// takes the keys.
window.addEventListener('keydown', (e) => {
  if (!(e.ctrlKey || e.metaKey)) return;
  const t = e.target;
  if (t && (t.tagName === 'TEXTAREA' || (t.tagName === 'INPUT' && t.type === 'text'))) return;
  const key = e.key.toLowerCase();
  if (key === 'z' && !e.shiftKey) {
    e.preventDefault();
    act(() => command(['undo']));
  } else if ((key === 'z' && e.shiftKey) || key === 'y') {
    e.preventDefault();
    act(() => command(['redo']));
  }
});

act(() => refresh());
