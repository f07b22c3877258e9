// The console pane (the commands the server logged, the page's own lines,
// the host's console and message boxes) and the banner of a recovered
// document.
import { $ } from '/dom.js';
import { state } from '/state.js';

// The log grows by the entries newer than the last one shown (each has its
// sequence number); the host console is drawn again only when it changed.
let logShown = 0;
let hostShown = '';
// A line of the page's own in the console pane, below the commands logged
// so far (the server's log does not keep it).
export function logLine(text) {
  const log = $('log');
  const atEnd = log.scrollTop + log.clientHeight >= log.scrollHeight - 4;
  log.appendChild(Object.assign(document.createElement('div'), { className: 'entry page', textContent: text }));
  while (log.childElementCount > 200) log.firstElementChild.remove();
  if (atEnd) log.scrollTop = log.scrollHeight;
}

export function renderLog(atEnd) {
  const log = $('log');
  for (const entry of state.log) {
    if (entry.seq <= logShown) continue;
    logShown = entry.seq;
    const item = document.createElement('div');
    item.className = 'entry';
    item.appendChild(Object.assign(document.createElement('div'), { className: 'cmd', textContent: `> ${entry.command}` }));
    if (entry.text) item.appendChild(Object.assign(document.createElement('div'), { textContent: entry.text }));
    for (const p of entry.printed) {
      const text = JSON.stringify(p);
      item.appendChild(Object.assign(document.createElement('div'),
        { textContent: text.length > 600 ? `${text.slice(0, 600)} …` : text }));
    }
    for (const n of entry.notes || []) item.appendChild(Object.assign(document.createElement('div'), { className: 'note', textContent: n }));
    if (!entry.ok) item.appendChild(Object.assign(document.createElement('div'), { className: 'err', textContent: entry.error }));
    log.appendChild(item);
  }
  while (log.childElementCount > 200) log.firstElementChild.remove();
  if (atEnd) log.scrollTop = log.scrollHeight;
  const hostKey = JSON.stringify([state.console, state.boxes]);
  if (hostKey === hostShown) return;
  hostShown = hostKey;
  const host = $('host-console');
  host.replaceChildren();
  for (const line of state.console) host.appendChild(Object.assign(document.createElement('div'), { textContent: line }));
  for (const box of state.boxes) {
    host.appendChild(Object.assign(document.createElement('div'), { className: 'box', textContent: `[message box] ${box}` }));
  }
  host.scrollTop = host.scrollHeight;
}

let bannerClosed = false;
export function renderBanner() {
  $('banner').hidden = bannerClosed || !state.recovery;
  $('banner-text').textContent = state.recovery || '';
}

export function closeBanner() {
  bannerClosed = true;
  $('banner').hidden = true;
}
