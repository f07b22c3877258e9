// The active object's views: its 2-D preview (SVG from the server), its
// 3-D view, and the links that download its exports.
import { View3d } from '/view3d.js';
import { $ } from '/dom.js';
import { state, at } from '/state.js';
import { wirePathEditing } from '/paths.js';

let view3d = null;
let fitFor = null;            // the serial the 3-D view was last fitted to

// The 3-D view is fitted again at the next redraw (a scene was loaded).
export function forgetFit() {
  fitFor = null;
}

export function fitView3d() {
  if (view3d) view3d.fit();
}

export function renderPreview() {
  const a = state.active;
  $('preview').innerHTML = a ? a.preview : '';
  const svg = $('preview').querySelector('svg');
  if (svg) wirePathEditing(svg);
}

export function renderView3d() {
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

export function renderDownloads() {
  const a = state.active;
  $('downloads').hidden = !a;
  if (!a) return;
  for (const link of document.querySelectorAll('#downloads .dl')) {
    link.href = `/api/export?object=${encodeURIComponent(at(a))}&format=${link.dataset.format}`;
    link.setAttribute('download', '');
  }
}
