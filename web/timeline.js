// The timeline: the frame slider and number, playing and stopping.
import { $ } from '/dom.js';
import { state, act } from '/state.js';
import { command } from '/api.js';
import { formatNumber } from '/units.js';
import { logLine } from '/consolepane.js';
import { showStatus } from '/status.js';

// The frame is the document's: the slider and the number send `frame N`,
// and the previews follow the state it answers. While one frame is on its
// way the slider's next waits, and only the latest waiting frame is sent.
let playing = false;
let playTimer = null;
let wantedFrame = null;

export function goToFrame(frame) {
  if (!Number.isFinite(frame)) return;
  const waiting = wantedFrame !== null;
  wantedFrame = Math.round(frame);
  if (waiting) return;
  act(async () => {
    const next = wantedFrame;
    wantedFrame = null;
    await command(['frame', String(next)], { quiet: true });
  });
}

// The frame number as typed: a whole number in the document's range, or
// the number goes back to the frame there is and the status says why (an
// empty or unreadable box would otherwise read as frame 0).
export function typeFrame(input) {
  const [first, last] = state.time ? state.time.range : [0, 0];
  const frame = Number(input.value);
  if (input.value === '' || !input.validity.valid || !Number.isInteger(frame) || frame < first || frame > last) {
    showStatus(`a frame is a whole number from ${first} to ${last}, not '${input.value}'`, true);
    if (state.time) input.value = String(state.time.frame);
    return;
  }
  goToFrame(frame);
}

export function renderTimeline() {
  const t = state.time;
  if (!t) return;
  const [first, last] = t.range;
  for (const input of [$('frame-slider'), $('frame-number')]) {
    if (input.min !== String(first)) input.min = String(first);
    if (input.max !== String(last)) input.max = String(last);
  }
  const slider = $('frame-slider');
  const number = $('frame-number');
  $('timeline').dataset.frame = String(t.frame);
  if (wantedFrame === null) {
    if (slider.value !== String(t.frame)) slider.value = String(t.frame);
    if ((playing || document.activeElement !== number) && number.value !== String(t.frame)) number.value = String(t.frame);
  }
  const info = `frame ${t.frame} of ${first}\u2013${last} \u00B7 ${formatNumber(t.fps)} fps`;
  if ($('time-info').textContent !== info) $('time-info').textContent = info;
}

// Playing steps the frame at the document's rate through the same command,
// from the start again after the range's last frame; a frame that takes
// longer than its share of a second is not skipped but waited for. The
// frames it sends stay out of the console pane (a second of playing would
// be thirty lines, and the server's log would lose the user's own commands
// to them); a frame that fails is logged and stops playing. Stop writes
// one line of what was played. A frame chosen by hand (the slider, the
// number) is the user's own command and is logged as one.
// Each play is a run of its own: a frame still on its way when stop is
// clicked, and play clicked again, ends with the old run instead of
// starting a second loop beside the new one.
let played = null;  // {from, frames, looped} while playing
let run = 0;

export function play() {
  if (playing || !state || !state.time) return;
  playing = true;
  const thisRun = ++run;
  const going = () => playing && run === thisRun;
  played = { from: state.time.frame, frames: 0, looped: false };
  const counted = played;
  showPlaying();
  const tick = () => {
    if (!going()) return;
    const started = performance.now();
    act(async () => {
      if (!going()) return;
      const { frame, range } = state.time;
      const loops = frame + 1 > range[1] || frame < range[0];
      const next = loops ? range[0] : frame + 1;
      const answer = await command(['frame', String(next)], { quiet: true, unlogged: true });
      if (!answer.ok) {
        if (going()) stop();
        return;
      }
      counted.frames++;
      counted.looped ||= loops;
    }).then(() => {
      if (!going()) return;
      const wait = Math.max(0, 1000 / state.time.fps - (performance.now() - started));
      playTimer = setTimeout(tick, wait);
    });
  };
  tick();
}

// The line is written once the frame on its way has been shown, so it
// names the frame playing stopped at.
export function stop() {
  if (!playing) return;
  playing = false;
  clearTimeout(playTimer);
  showPlaying();
  const counted = played;
  act(async () => {
    const { from, frames, looped } = counted;
    const to = state.time.frame;
    const line = frames === 0 ? `stopped at frame ${to}`
      : looped ? `played ${frames} ${frames === 1 ? 'frame' : 'frames'} from frame ${from} to frame ${to}, looping at the range's end`
        : `played frames ${from}..${to}`;
    logLine(line);
  });
}

function showPlaying() {
  $('play').setAttribute('aria-pressed', String(playing));
  $('play').disabled = playing;
  $('stop').disabled = !playing;
  $('timeline').dataset.playing = String(playing);
}
