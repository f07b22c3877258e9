// Presets: the gallery of the server's presets (a click loads one into the
// selected arrow) and the selected arrow saved as a preset file.
import { $ } from '/dom.js';
import { state, at, act, apply } from '/state.js';
import { getJSON, refresh } from '/api.js';
import { showStatus } from '/status.js';

let gallery = null;           // the presets gallery, fetched once

export async function renderGallery() {
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

export async function savePreset(target) {
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
