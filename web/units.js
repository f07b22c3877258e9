// Numbers as the page shows them: a value to seven significant digits, and
// a parameter's value between its stored unit and the one shown, by the
// factors the server's descriptions give.
import { units } from '/state.js';

export function formatNumber(v) {
  if (typeof v !== 'number') return String(v);
  return String(Number(v.toPrecision(7)));
}

export const toShown = (param, v) => (units[param.unit] ? v * units[param.unit].factor : v);
export const fromShown = (param, v) => (units[param.unit] ? v / units[param.unit].factor : v);

export function storedText(param, shown) {
  const v = Number(shown);
  if (!Number.isFinite(v)) return String(shown);
  return String(fromShown(param, v));
}
