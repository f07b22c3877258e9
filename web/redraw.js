// Drawing a state the server answered: the views first (an edit is for
// them, and the time they take is kept for the benchmark), then the undo
// buttons and every pane that shows a part of the state.
import { $ } from '/dom.js';
import { state, setState } from '/state.js';
import { describe } from '/api.js';
import { renderPreview, renderView3d, renderDownloads } from '/previews.js';
import { renderTree } from '/tree.js';
import { renderEditor, renderKeys } from '/editor.js';
import { renderTimeline } from '/timeline.js';
import { renderPath } from '/paths.js';
import { renderUserData, renderDots } from '/userdata.js';
import { renderGallery } from '/presets.js';
import { renderLog, renderBanner } from '/consolepane.js';

window.tolvaneTimings = [];   // edit to redrawn views, for the benchmark

export async function redraw(next, t0) {
  await describe(next.arrow_type);
  if (next.active) await describe(next.active.type);
  // What is read of the layout is read before anything is written, so that
  // no step waits for a layout of the steps before it.
  const log = $('log');
  const logAtEnd = log.scrollTop + log.clientHeight >= log.scrollHeight - 4;
  setState(next);
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
