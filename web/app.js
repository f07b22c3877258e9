// The Tolvane workbench page. Every action is one console command sent to
// the server as words (POST /api/command), whose answer carries the
// command's result (status, error, notes, printed documents) and the state
// the page shows (the tree, the active object's editor, its 2-D preview and
// 3-D view): one request an edit. Actions run one after the other. The
// page takes object types, units and their conversions from the server's
// descriptions (GET /api/description?type=N), not from copies of its own.
//
// This file wires the page's controls to the modules that do the work, one
// concern each: state.js (what they share, and the queue of actions),
// api.js (the server), redraw.js (a state drawn), tree.js, editor.js,
// timeline.js, paths.js, previews.js (with view3d.js), presets.js,
// userdata.js (and the Dots editor), consolepane.js (and the banner);
// status.js, units.js and dom.js are small helpers they share.
import { $ } from '/dom.js';
import { state, at, act, setRedraw } from '/state.js';
import { command, refresh, upload } from '/api.js';
import { showStatus } from '/status.js';
import { redraw } from '/redraw.js';
import { addObject } from '/tree.js';
import { restoreInterpolation, chooseInterpolation, forgetEditor } from '/editor.js';
import { play, stop, goToFrame, typeFrame } from '/timeline.js';
import { sendPath, readPointList, currentSpline, forgetFirstPoint } from '/paths.js';
import { fitView3d, forgetFit } from '/previews.js';
import { dotsPosition } from '/userdata.js';
import { closeBanner } from '/consolepane.js';

setRedraw(redraw);

$('undo').addEventListener('click', () => act(() => command(['undo'])));
$('redo').addEventListener('click', () => act(() => command(['redo'])));
$('new-doc').addEventListener('click', () => act(() => command(['new'])));
$('add-arrow').addEventListener('click', () => act(() => addObject('arrow', 'Arrow')));
$('add-spline').addEventListener('click', () => act(() => addObject('spline', 'Path')));
$('add-null').addEventListener('click', () => act(() => addObject('null', 'Null')));
$('play').addEventListener('click', play);
$('stop').addEventListener('click', stop);
$('frame-slider').addEventListener('input', (e) => goToFrame(Number(e.target.value)));
$('frame-number').addEventListener('change', (e) => typeFrame(e.target));
$('key-interpolation').addEventListener('change', chooseInterpolation);
restoreInterpolation();
$('view3d-fit').addEventListener('click', fitView3d);
$('banner-close').addEventListener('click', closeBanner);
$('path-apply').addEventListener('click', () => {
  try {
    sendPath(readPointList(), currentSpline());
  } catch (err) {
    showStatus(err.message, true);
  }
});
$('path-clear').addEventListener('click', () => { forgetFirstPoint(); showStatus('', false); });
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
    forgetEditor();
    forgetFit();
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
