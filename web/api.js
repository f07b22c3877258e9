// Talking to the server: JSON from a URL, an object type's description
// (fetched once), a console command and the state its answer carries, the
// state fetched again, and a file uploaded.
import { descriptions, learnDescription, apply } from '/state.js';
import { showStatus, showNotes } from '/status.js';

export async function getJSON(url) {
  const res = await fetch(url);
  const body = await res.json();
  if (!res.ok) throw new Error(body.error || res.statusText);
  return body;
}

export async function describe(type) {
  if (!descriptions.has(type)) {
    const d = await getJSON(`/api/description?type=${type}`);
    learnDescription(type, d);
  }
  return descriptions.get(type);
}

// Runs one command (words, or a typed line) and applies the state of its
// answer. An error stays shown until the next command goes through. With
// `unlogged` the server leaves the command out of the console pane's log
// unless it fails.
export async function command(words, options = {}) {
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

export async function refresh() {
  await apply(await getJSON('/api/state?views=1'), performance.now());
}

export async function upload(url, file) {
  const res = await fetch(url, {
    method: 'POST', headers: { 'Content-Type': 'application/octet-stream' }, body: file,
  });
  const body = await res.json();
  if (!res.ok) throw new Error(body.error);
  return body;
}
