// User data of the active object, and the Dots editor open on one of its
// Dots parameters (the field as a picture the server draws).
import { $ } from '/dom.js';
import { state, at, act } from '/state.js';
import { command } from '/api.js';

let dotsVersion = 0;

let userDataShown = '';
export function renderUserData() {
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

export function renderDots() {
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
export function dotsPosition(e) {
  const img = e.currentTarget;
  const { width, height } = state.gui.field;
  return [Math.floor((e.offsetX * width) / img.clientWidth), Math.floor((e.offsetY * height) / img.clientHeight)];
}
