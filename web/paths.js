// Paths: the point list of the active path, its type and closed switch,
// and its points dragged or clicked on the 2-D preview.
import { $ } from '/dom.js';
import { state, at, act } from '/state.js';
import { command } from '/api.js';
import { showStatus } from '/status.js';
import { formatNumber } from '/units.js';

let pendingPoint = null;      // a path's first clicked point, waiting for the second

// The first point clicked is given up.
export function forgetFirstPoint() {
  pendingPoint = null;
}

const planeAxes = { XY: [0, 1, 2], ZY: [2, 1, 0], XZ: [0, 2, 1] };  // h, v, and the axis seen end-on

function pathWords(points, spline) {
  const words = ['points', at(state.active), spline.type];
  if (spline.closed) words.push('closed');
  for (const p of points) words.push(p.map((c) => String(Number(c.toFixed(6)))).join(','));
  return words;
}

export function renderPath() {
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

export function sendPath(points, spline) {
  if (points.length < 2) return;
  act(() => command(pathWords(points, spline)));
}

export function readPointList() {
  const points = [];
  for (const line of $('path-points').value.split('\n')) {
    if (!line.trim()) continue;
    const p = line.split(/[,\s]+/).filter(Boolean).map(Number);
    if (p.length !== 3 || !p.every(Number.isFinite)) throw new Error(`not a point x, y, z: ${line}`);
    points.push(p);
  }
  return points;
}

export function currentSpline() {
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

export function wirePathEditing(svg) {
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
