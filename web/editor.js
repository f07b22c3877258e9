// The attribute editor of the active object: a row a parameter (built once
// an object, then only what changed is written), values sent as edits (a
// drag of a label is one undo step), the buttons, and the key buttons with
// the interpolation they give new keys.
import { $ } from '/dom.js';
import { state, descriptions, units, at, act } from '/state.js';
import { command } from '/api.js';
import { formatNumber, toShown, storedText } from '/units.js';
import { allNodes, treeShown } from '/tree.js';
import { savePreset } from '/presets.js';

let editorFor = null;         // the serial whose attribute editor is built
const dragging = new Set();   // parameters being scrubbed: their inputs are left alone

// The editor is built again at the next redraw (a scene was loaded).
export function forgetEditor() {
  editorFor = null;
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
export function restoreInterpolation() {
  let kept = null;
  try { kept = sessionStorage.getItem('tolvane.key-interpolation'); } catch { /* storage off: the default */ }
  if (interpolations.includes(kept)) $('key-interpolation').value = kept;
}
export function chooseInterpolation() {
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

export function renderKeys() {
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

export function renderEditor() {
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
