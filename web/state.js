// What the page's modules share: the last state the server answered, what
// the server's descriptions said (object types, units and their
// conversions), and the queue every action runs through, one at a time (the
// body's data-busy and data-version tell the tests and the benchmark when the
// page is idle). A state the server answered is shown through apply(), which
// the wiring points at the redraw (redraw.js): so the modules that talk to
// the server need not import the ones that draw.
import { showStatus } from '/status.js';

export let state = null;               // the last state the server answered
export const descriptions = new Map(); // type -> description (print description TYPE)
export let types = {};                 // type number -> kind word, from the descriptions
export let units = {};                 // unit -> {text, factor, typed}

// Set by the redraw alone, once it has read what it reads of the layout.
export function setState(next) {
  state = next;
}

// Keeps a type's description, and the types and units every description carries.
export function learnDescription(type, d) {
  descriptions.set(type, d);
  types = d.types;
  units = d.units;
}

// The active object as a command names it.
export const at = (active) => (active ? `@${active.serial}` : null);

let redraw = null;
export function setRedraw(fn) {
  redraw = fn;
}

// Shows a state the server answered; t0 is when the edit that led to it began.
export function apply(next, t0) {
  return redraw(next, t0);
}

// Every action goes through here, one at a time.
let chain = Promise.resolve();
let pending = 0;
export function act(fn) {
  pending++;
  document.body.dataset.busy = '1';
  chain = chain.then(async () => {
    try {
      await fn();
    } catch (err) {
      showStatus(String(err.message || err), true);
    }
  }).finally(() => {
    if (--pending === 0) {
      document.body.dataset.busy = '0';
      document.body.dataset.version = String(Number(document.body.dataset.version) + 1);
    }
  });
  return chain;
}
