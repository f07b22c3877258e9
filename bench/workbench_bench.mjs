// The workbench's speed, in the system's Chromium (headless): edits of the
// default arrow's shaft length typed into the attribute editor one after
// the other, each timed by the page with performance.now() from the edit to
// its redrawn 2-D preview and to its updated 3-D view; the round trip of one
// request on a kept-alive connection; and a soak of loopback clients
// editing and asking for the state, with the server's resident memory
// sampled.
//
// The page is driven through the browser's debugging protocol with only its
// Runtime domain in use: a test driver that watches the network (as
// Playwright does) costs Chromium about a millisecond a kilobyte of every
// answer and would be measured instead of the page.
//
//   node --experimental-websocket bench/workbench_bench.mjs --program BUILD/tolvane-host --out FILE.json
//        [--edits 300] [--clients 8] [--soak-seconds 60]
import { spawn } from 'node:child_process';
import { mkdtempSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import http from 'node:http';
import net from 'node:net';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

const here = path.dirname(fileURLToPath(import.meta.url));
const args = process.argv.slice(2);
const option = (name, fallback) => {
  const at = args.indexOf(`--${name}`);
  return at >= 0 ? args[at + 1] : fallback;
};
const program = option('program', path.join(here, '../build-bench-release/tolvane-host'));
const out = option('out', 'workbench.json');
const edits = Number(option('edits', 300));
const clients = Number(option('clients', 8));
const soakSeconds = Number(option('soak-seconds', 60));

const quantile = (values, q) => {
  const sorted = [...values].sort((a, b) => a - b);
  return sorted[Math.min(sorted.length - 1, Math.floor(q * sorted.length))];
};
const summary = (values) => ({ p50: quantile(values, 0.5), p90: quantile(values, 0.9), max: Math.max(...values) });

const state = mkdtempSync(path.join(tmpdir(), 'tolvane-bench-state-'));
const server = spawn(program, ['serve', '--port', '0', '--state-dir', state], { stdio: ['ignore', 'pipe', 'inherit'] });
let said = '';
const address = await new Promise((resolve, reject) => {
  server.stdout.on('data', (c) => {
    said += c;
    const m = /open (http:\/\/\S+)/.exec(said);
    if (m) resolve(m[1]);
  });
  server.on('exit', (code) => reject(new Error(`the server ended (${code})`)));
});
const { hostname, port } = new URL(address);
const rss = () => Number(/VmRSS:\s+(\d+)/.exec(readFileSync(`/proc/${server.pid}/status`, 'utf8'))[1]) * 1024;

// --- edits in the page ---------------------------------------------------------
const freePort = () => new Promise((resolve) => {
  const probe = net.createServer().listen(0, '127.0.0.1', () => {
    const { port: p } = probe.address();
    probe.close(() => resolve(p));
  });
});
const debugPort = await freePort();
const profile = mkdtempSync(path.join(tmpdir(), 'tolvane-bench-chromium-'));
const browser = spawn(process.env.CHROMIUM || '/usr/bin/chromium', [
  '--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
  '--disable-component-update', '--disable-sync', `--user-data-dir=${profile}`, `--remote-debugging-port=${debugPort}`,
  '--window-size=1280,900', 'about:blank'], { stdio: 'ignore', detached: true });
const devtools = async (what, method = 'GET') => {
  for (let attempt = 0; attempt < 100; attempt++) {
    try {
      const res = await fetch(`http://127.0.0.1:${debugPort}${what}`, { method });
      return await res.json();
    } catch {
      await new Promise((r) => setTimeout(r, 100));
    }
  }
  throw new Error('Chromium did not answer on its debugging port');
};
const target = await devtools(`/json/new?${address}`, 'PUT');
const socket = new WebSocket(target.webSocketDebuggerUrl);
await new Promise((resolve) => socket.addEventListener('open', resolve));
let nextId = 0;
const waiting = new Map();
socket.addEventListener('message', (m) => {
  const msg = JSON.parse(m.data);
  if (msg.id && waiting.has(msg.id)) {
    waiting.get(msg.id)(msg);
    waiting.delete(msg.id);
  }
});
// Evaluates an async function's body in the page and answers its value.
const run = (body) => new Promise((resolve, reject) => {
  const id = ++nextId;
  waiting.set(id, (msg) => {
    if (msg.error || msg.result.exceptionDetails) reject(new Error(JSON.stringify(msg.error || msg.result.exceptionDetails)));
    else resolve(msg.result.result.value);
  });
  socket.send(JSON.stringify({ id, method: 'Runtime.evaluate',
    params: { expression: `(async () => { ${body} })()`, awaitPromise: true, returnByValue: true } }));
});
const settle = `while (!document.body || document.body.dataset.busy !== '0') await new Promise((r) => setTimeout(r, 5));`;
// The page first: an evaluation in the blank page it replaces would never end.
for (let loaded = false; !loaded;) {
  loaded = await run(`return document.readyState === 'complete' && location.href === ${JSON.stringify(address)};`)
    .catch(() => false);
  if (!loaded) await new Promise((r) => setTimeout(r, 50));
}
await run(`${settle} return true;`);
await run(`document.getElementById('add-arrow').click(); await new Promise((r) => setTimeout(r, 50)); ${settle} return true;`);
const timings = await run(`
  const input = document.getElementById('p-ARROW_SHAFT_LENGTH');
  const done = [];
  for (let i = 0; i < ${edits}; i++) {
    const before = window.tolvaneTimings.length;
    input.value = String(300 + (i % 200));
    input.dispatchEvent(new Event('change'));
    // Each edit starts when the page is idle again: one edit is measured, not a queue.
    while (window.tolvaneTimings.length === before || document.body.dataset.busy !== '0') {
      await new Promise((r) => requestAnimationFrame(r));
    }
    done.push(window.tolvaneTimings[window.tolvaneTimings.length - 1]);
  }
  return done;`);
socket.close();
const ended = new Promise((resolve) => browser.on('exit', resolve));
process.kill(-browser.pid, 'SIGTERM');  // the browser and its helpers
await ended;

// --- one request on a kept-alive connection -------------------------------------
const agent = new http.Agent({ keepAlive: true, maxSockets: 1 });
function post(body, useAgent = agent) {
  return new Promise((resolve) => {
    const t0 = performance.now();
    const req = http.request({ hostname, port, path: '/api/command', method: 'POST', agent: useAgent,
      headers: { 'Content-Type': 'application/json' } }, (res) => {
      let text = '';
      res.on('data', (c) => { text += c; });
      res.on('end', () => resolve({ ok: res.statusCode === 200, ms: performance.now() - t0, text }));
    });
    req.on('error', () => resolve({ ok: false, ms: performance.now() - t0, text: '' }));
    req.end(JSON.stringify(body));
  });
}
const roundTrips = [];
for (let i = 0; i < 200; i++) {
  const r = await post({ words: ['set', 'Arrow', 'ARROW_SHAFT_LENGTH', String(200 + i)] });
  roundTrips.push(r.ms);
}

// --- the soak --------------------------------------------------------------------
const rssStart = rss();
const samples = [rssStart];
const sampler = setInterval(() => samples.push(rss()), 5000);
let requests = 0;
let errors = 0;
const end = performance.now() + soakSeconds * 1000;
// Each client edits and takes its edit back (so that the document and its
// undo history keep their size: what grows then is the server's own),
// asking now and then for the state with both views, the 3-D view and a
// download.
function get(url, useAgent) {
  return new Promise((resolve) => {
    http.get({ hostname, port, path: url, agent: useAgent }, (res) => {
      res.resume();
      res.on('end', () => resolve(res.statusCode === 200));
    }).on('error', () => resolve(false));
  });
}
await Promise.all(Array.from({ length: clients }, async (_, c) => {
  const own = new http.Agent({ keepAlive: true, maxSockets: 1 });
  for (let i = 0; performance.now() < end; i++) {
    const edit = await post({ words: ['set', 'Arrow', 'ARROW_SHAFT_LENGTH', String(100 + ((c * 37 + i) % 400))],
      state: i % 4 === 0 }, own);
    const back = await post({ words: ['undo'] }, own);
    requests += 2;
    if (!edit.ok) errors++;
    if (!back.ok) errors++;
    if (i % 16 === c % 16) {
      const reads = await Promise.all([get('/api/state?views=1', own), get('/api/view3d?object=Arrow', own),
        get('/api/export?object=Arrow&format=svg', own)]);
      requests += reads.length;
      errors += reads.filter((ok) => !ok).length;
    }
  }
}));
clearInterval(sampler);
samples.push(rss());
server.kill('SIGINT');
await new Promise((resolve) => server.on('exit', resolve));
rmSync(state, { recursive: true, force: true });
try {
  rmSync(profile, { recursive: true, force: true, maxRetries: 10, retryDelay: 100 });
} catch {
  // A helper of the browser may still write there; the folder is in tmp.
}

const figures = {
  edits,
  preview_ms: summary(timings.map((t) => t.t2d)),
  view3d_ms: summary(timings.map((t) => t.t3d)),
  round_trip_ms: summary(roundTrips),
  soak: {
    clients, seconds: soakSeconds, requests, errors,
    rss_start_bytes: rssStart, rss_end_bytes: samples[samples.length - 1], rss_max_bytes: Math.max(...samples),
    rss_samples_bytes: samples,
  },
};
writeFileSync(out, JSON.stringify(figures, null, 2));
console.log(JSON.stringify({ preview_ms: figures.preview_ms, view3d_ms: figures.view3d_ms,
  round_trip_ms: figures.round_trip_ms, requests, errors,
  rss_mb: samples.map((b) => Math.round(b / 1e5) / 10) }));
