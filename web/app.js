// The Tolvane workbench page: every action is a console command sent to the
// server (POST /api/command), after which the page reads the whole state
// again (GET /api/state) and redraws. Actions run one after the other.
'use strict';

const KINDS = {
  1025060: 'arrow', 5101: 'spline', 5140: 'null', 5116: 'extrude', 1018544: 'cloner', 1019221: 'splinewrap',
};
const UNITS = {
  length: { text: 'u', toShown: (v) => v, fromShown: (v) => v },
  percent: { text: '%', toShown: (v) => v * 100, fromShown: (v) => v / 100 },
  degree: { text: '°', toShown: (v) => (v * 180) / Math.PI, fromShown: (v) => (v * Math.PI) / 180 },
};

const $ = (id) => document.getElementById(id);
let description = null;   // the arrow's description (print description)
let state = null;         // the last GET /api/state
let editorFor = null;     // the path whose attribute editor is built
let dotsVersion = 0;

// --- talking to the server -------------------------------------------------

// A console word: quoted when it holds a blank, a quote, '#' or a backslash.
function word(text) {
  if (text !== '' && !/[\s"#\\]/.test(text)) return text;
  return '"' + text.replace(/[\\"]/g, (c) => '\\' + c) + '"';
}

async function getJSON(url) {
  const res = await fetch(url);
  const body = await res.json();
  if (!res.ok) throw new Error(body.error || res.statusText);
  return body;
}

// Runs one console line; answers the server's answer (ok, printed, error).
async function command(line) {
  const res = await fetch('/api/command', {
    method: 'POST', headers: { 'Content-Type': 'application/json' }, body: JSON.stringify({ command: line }),
  });
  const body = await res.json();
  if (!res.ok) showStatus(`${line}: ${body.error}`, true);
  return body;
}

function showStatus(text, isError) {
  const s = $('status');
  s.textContent = text;
  s.className = isError ? 'error' : 'ok';
}

// Every action goes through here, one at a time, and ends with a redraw.
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
    try {
      await refresh();
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

// --- state and redraw --------------------------------------------------------

async function refresh() {
  if (description === null) description = await getJSON('/api/description');
  state = await getJSON('/api/state');
  $('release').textContent = `release ${state.release}`;
  renderUndo();
  renderTree();
  renderEditor();
  renderUserData();
  renderLog();
  await renderPreview();
  renderDots();
}

function renderUndo() {
  const { undo, redo } = state.undo;
  $('undo').textContent = `Undo (${undo})`;
  $('redo').textContent = `Redo (${redo})`;
  $('undo').disabled = undo === 0;
  $('redo').disabled = redo === 0;
}

function allNodes(list, prefix = '', out = []) {
  for (const node of list) {
    const path = prefix ? `${prefix}/${node.name}` : node.name;
    out.push({ path, name: node.name, type: node.type });
    allNodes(node.children, path, out);
  }
  return out;
}

function renderTree() {
  const activePath = state.active ? state.active.path : null;
  const build = (list, prefix) => {
    const ul = document.createElement('ul');
    for (const node of list) {
      const path = prefix ? `${prefix}/${node.name}` : node.name;
      const li = document.createElement('li');
      const row = document.createElement('div');
      row.className = 'node' + (path === activePath ? ' active' : '');
      row.dataset.path = path;
      row.dataset.type = node.type;
      const kind = KINDS[node.type] || 'object';
      row.innerHTML = `<span class="kind ${kind}">${kind}</span><span class="name"></span>`;
      row.querySelector('.name').textContent = node.name;
      row.addEventListener('click', () => act(() => command(`select ${word(path)}`)));
      li.appendChild(row);
      if (node.children.length) li.appendChild(build(node.children, path));
      ul.appendChild(li);
    }
    return ul;
  };
  const tree = $('tree');
  tree.replaceChildren(...build(state.tree, '').childNodes);
  $('tree-empty').hidden = state.tree.length !== 0;
}

function uniqueName(base) {
  const names = new Set(allNodes(state.tree).map((n) => n.name));
  if (!names.has(base)) return base;
  for (let i = 2; ; i++) if (!names.has(`${base} ${i}`)) return `${base} ${i}`;
}

async function addObject(kind, base) {
  const name = uniqueName(base);
  const line = kind === 'arrow' ? `arrow ${word(name)} menu` : `object ${kind} ${word(name)}`;
  const answer = await command(line);
  if (answer.ok) await command(`select ${word(name)}`);
}

// --- the attribute editor ----------------------------------------------------

function formatNumber(v) {
  if (typeof v !== 'number') return String(v);
  return String(Number(v.toPrecision(7)));
}

// Sends a parameter's new value; while one edit is on its way the next
// waits, and only the latest waiting value is sent (dragging a value).
const latest = new Map();
function setParam(param, text) {
  const key = param.name;
  const waiting = latest.has(key);
  latest.set(key, text);
  if (waiting) return;
  act(async () => {
    const value = latest.get(key);
    latest.delete(key);
    await command(`set ${word(state.active.path)} ${param.name} ${word(value)}`);
  });
}

function shownValue(param, value) {
  if (typeof value !== 'number') return value;
  const unit = UNITS[param.unit];
  return unit ? unit.toShown(value) : value;
}

function storedText(param, shown) {
  const unit = UNITS[param.unit];
  const v = Number(shown);
  if (!Number.isFinite(v)) return String(shown);
  return String(unit ? unit.fromShown(v) : v);
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
  } else if (param.type === 'float' || param.type === 'int32') {
    input = document.createElement('input');
    input.type = 'number';
    const unit = UNITS[param.unit];
    const conv = (v) => formatNumber(unit ? unit.toShown(v) : v);
    if (param.min !== undefined) input.min = conv(param.min);
    if (param.max !== undefined) input.max = conv(param.max);
    input.step = param.step !== undefined ? conv(param.step) : 'any';
    input.addEventListener('change', () => setParam(param, storedText(param, input.value)));
    // Dragging the label sideways changes the value a step a pixel.
    label.classList.add('drag');
    label.title = 'drag sideways to change the value';
    label.addEventListener('mousedown', (down) => {
      if (input.disabled) return;
      down.preventDefault();
      const start = Number(input.value) || 0;
      const step = Number(input.step) || 1;
      const move = (e) => {
        let v = start + Math.round(e.clientX - down.clientX) * step;
        if (input.min !== '') v = Math.max(v, Number(input.min));
        if (input.max !== '') v = Math.min(v, Number(input.max));
        if (param.type === 'int32') v = Math.round(v);
        input.value = formatNumber(v);
        setParam(param, storedText(param, input.value));
      };
      const up = () => {
        window.removeEventListener('mousemove', move);
        window.removeEventListener('mouseup', up);
      };
      window.addEventListener('mousemove', move);
      window.addEventListener('mouseup', up);
    });
    if (unit) {
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
  input.id = `p-${param.name}`;
  input.classList.add('value');
  if (!field.contains(input)) field.prepend(input);
  row.append(label, field);
  return row;
}

function makeButton(param) {
  const button = document.createElement('button');
  button.textContent = param.label.replace(/\.\.\.$/, '');
  button.dataset.param = param.name;
  button.id = `b-${param.name}`;
  button.addEventListener('click', () => {
    const path = state.active.path;
    if (param.name === 'ARROW_SAVE_PRESET') act(() => savePreset(path));
    else if (param.name === 'ARROW_LOAD_PRESET') $('preset-file').click();
    else act(() => command(`press ${word(path)} ${param.name}`));
  });
  return button;
}

function buildEditor() {
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
}

function updateEditor() {
  const values = new Map(state.active.editor.params.map((p) => [p.name, p]));
  const objects = allNodes(state.tree);
  for (const param of description.params) {
    const entry = values.get(param.name);
    if (param.type === 'button') continue;
    const row = $('editor').querySelector(`.row[data-param="${param.name}"]`);
    const input = $(`p-${param.name}`);
    const enabled = entry ? entry.enabled : false;
    row.classList.toggle('disabled', !enabled);
    input.disabled = !enabled;
    if (!entry || (document.activeElement === input && param.type !== 'bool')) continue;
    const v = entry.value;
    if (param.type === 'bool') input.checked = v === true;
    else if (param.type === 'link') {
      const options = [new Option('none', 'none')];
      for (const o of objects) {
        if (o.path === state.active.path) continue;
        if (param.accept && param.accept !== 5155 && o.type !== param.accept) continue;
        options.push(new Option(o.path, o.path));
      }
      input.replaceChildren(...options);
      const target = v === null ? 'none' : (objects.find((o) => o.name === v) || { path: v }).path;
      if (![...input.options].some((o) => o.value === target)) input.add(new Option(target, target));
      input.value = target;
    } else if (param.type === 'int32' && param.choices) input.value = String(v);
    else if (typeof v === 'number') input.value = formatNumber(shownValue(param, v));
    else input.value = v === null ? '' : String(v);
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
  if (a.arrow) {
    if (editorFor !== a.path) {
      buildEditor();
      editorFor = a.path;
    }
    updateEditor();
    return;
  }
  // Objects that are not arrows: their container as the host holds it.
  editorFor = null;
  const table = document.createElement('table');
  table.className = 'raw';
  for (const [id, value] of Object.entries(a.params.params)) {
    const tr = table.insertRow();
    tr.insertCell().textContent = id;
    tr.insertCell().textContent = JSON.stringify(value);
  }
  const kind = KINDS[a.type] || `type ${a.type}`;
  $('editor').replaceChildren(Object.assign(document.createElement('p'),
    { className: 'hint', textContent: `A ${kind} object: its parameters by ID.` }), table);
}

// --- user data and the Dots editor ---------------------------------------------

function renderUserData() {
  const box = $('userdata');
  box.replaceChildren();
  const a = state.active;
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
      open.addEventListener('click', () => act(() => command(`gui open ${word(a.path)} ${u.id}`)));
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
    const answer = await command(`userdata ${word(a.path)} dots ${word(label)}`);
    if (answer.ok && answer.printed.length) await command(`gui open ${word(a.path)} ${answer.printed[0].id}`);
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
  img.dataset.points = String(points);
  img.src = `/api/dots.png?v=${++dotsVersion}`;
  img.width = gui.field.width;
  img.height = gui.field.height;
}

// A click on the picture as a position in the field (the picture may be
// shown larger or smaller than the field, and may be loading anew).
function dotsPosition(e) {
  const img = e.currentTarget;
  const { width, height } = state.gui.field;
  return [Math.floor((e.offsetX * width) / img.clientWidth), Math.floor((e.offsetY * height) / img.clientHeight)];
}

// --- preview -------------------------------------------------------------------

async function renderPreview() {
  const a = state.active;
  const url = a ? `/api/preview.svg?object=${encodeURIComponent(a.path)}` : '/api/preview.svg';
  const res = await fetch(url);
  const text = await res.text();
  $('preview').innerHTML = res.ok ? text : '';
}

// --- presets and scenes ----------------------------------------------------------

function download(blob, name) {
  const a = document.createElement('a');
  a.href = URL.createObjectURL(blob);
  a.download = name;
  document.body.appendChild(a);
  a.click();
  a.remove();
  setTimeout(() => URL.revokeObjectURL(a.href), 10000);
}

async function savePreset(path) {
  const res = await fetch('/api/preset/save', {
    method: 'POST', headers: { 'Content-Type': 'application/json' }, body: JSON.stringify({ object: path }),
  });
  if (!res.ok) {
    showStatus((await res.json()).error, true);
    return;
  }
  const disposition = res.headers.get('Content-Disposition') || '';
  const match = /filename="([^"]+)"/.exec(disposition);
  download(await res.blob(), match ? match[1] : 'preset.tlv');
  showStatus(`preset of ${path} saved`, false);
}

async function upload(url, file) {
  const res = await fetch(url, {
    method: 'POST', headers: { 'Content-Type': 'application/octet-stream' }, body: file,
  });
  const body = await res.json();
  if (!res.ok) throw new Error(body.error);
  return body;
}

// --- the console pane --------------------------------------------------------------

function renderLog() {
  const log = $('log');
  const atEnd = log.scrollTop + log.clientHeight >= log.scrollHeight - 4;
  log.replaceChildren();
  for (const entry of state.log) {
    log.appendChild(Object.assign(document.createElement('div'), { className: 'cmd', textContent: `> ${entry.command}` }));
    for (const p of entry.printed) {
      const text = JSON.stringify(p);
      log.appendChild(Object.assign(document.createElement('div'),
        { textContent: text.length > 600 ? `${text.slice(0, 600)} …` : text }));
    }
    if (!entry.ok) log.appendChild(Object.assign(document.createElement('div'), { className: 'err', textContent: entry.error }));
  }
  if (atEnd) log.scrollTop = log.scrollHeight;
  const host = $('host-console');
  host.replaceChildren();
  for (const line of state.console) host.appendChild(Object.assign(document.createElement('div'), { textContent: line }));
  for (const box of state.boxes) {
    host.appendChild(Object.assign(document.createElement('div'), { className: 'box', textContent: `[message box] ${box}` }));
  }
  host.scrollTop = host.scrollHeight;
}

// --- wiring ------------------------------------------------------------------------

$('undo').addEventListener('click', () => act(() => command('undo')));
$('redo').addEventListener('click', () => act(() => command('redo')));
$('add-arrow').addEventListener('click', () => act(() => addObject('arrow', 'Arrow')));
$('add-spline').addEventListener('click', () => act(() => addObject('spline', 'Path')));
$('add-null').addEventListener('click', () => act(() => addObject('null', 'Null')));
$('dots-field').addEventListener('click', (e) => {
  if (!state || !state.gui) return;
  const [x, y] = dotsPosition(e);
  act(() => command(`gui click ${x} ${y}`));
});
$('dots-close').addEventListener('click', () => act(() => command('gui close')));
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
    showStatus(`scene ${file.name} loaded`, false);
  });
});
$('preset-file').addEventListener('change', (e) => {
  const file = e.target.files[0];
  e.target.value = '';
  if (!file || !state.active) return;
  const path = state.active.path;
  act(async () => {
    await upload(`/api/preset/load?object=${encodeURIComponent(path)}&name=${encodeURIComponent(file.name)}`, file);
    showStatus(`preset ${file.name} loaded into ${path}`, false);
  });
});

act(async () => {});
