// The status line under the toolbar (what the last action did, or its
// error) and the notes of the last command.
import { $ } from '/dom.js';

export function showStatus(text, isError) {
  const s = $('status');
  s.textContent = text;
  s.className = isError ? 'error' : 'ok';
}

export function showNotes(notes) {
  $('notes').hidden = !notes || notes.length === 0;
  $('notes').textContent = (notes || []).join('\n');
}
