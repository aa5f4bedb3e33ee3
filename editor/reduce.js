// A recorded take reduced to the fewest keys: values[k] is what was played
// at row first + k; the answer is keys (of the four interpolations, as the
// player evaluates them) that keep every row of the take within `tolerance`
// of what was played.
//
// Dynamic programming over rows: best[j] is the fewest keys that cover rows
// 0..j with a key at j. A key's value is the take's value at its row (held
// as a float), not moved within the tolerance: that keeps every segment's
// fit a question about its two ends alone, so the search is exact for keys
// on the take, and in practice costs at most a key or two over a free fit.
// Step, linear and ramp segments from a key are tested against every later
// row in constant time each, with the cone of parameters that all rows
// between allow (it only narrows, so the search stops once it is empty);
// smooth segments are tested row by row, middle first (a wrong end shows
// there soonest), up to SMOOTH_REACH rows. The keys found are checked at
// every row with the player's own evaluation.

import { valueAt } from './evaluate.js';

const SMOOTH_REACH = 128;
const SHAPES = ['step', 'linear', 'smooth', 'ramp'];

// {keys: [{row, value, interp}], maxError}; the last key is a step.
export function reduceTake(values, first, tolerance) {
  const n = values.length;
  if (!n) return { keys: [], maxError: 0 };
  const v = Float64Array.from(values, (x) => Math.fround(x));
  const raw = Float64Array.from(values);
  let largest = 0;
  for (let k = 0; k < n; ++k) largest = Math.max(largest, Math.abs(v[k]));
  // What float rounding of the player's arithmetic may add.
  const tol = Math.max(0, tolerance - 8 * 1.2e-7 * largest);

  const best = new Int32Array(n).fill(0x7fffffff);
  const from = new Int32Array(n).fill(-1);
  const shapeOf = new Int8Array(n);
  best[0] = 1;
  for (let i = 0; i < n - 1; ++i) {
    const a = v[i];
    const next = best[i] + 1;
    const reach = (j, shape) => {
      if (next < best[j]) {
        best[j] = next;
        from[j] = i;
        shapeOf[j] = shape;
      }
    };
    // Step: every row from i on holds a.
    for (let j = i + 1; j < n; ++j) {
      reach(j, 0);
      if (Math.abs(raw[j] - a) > tol) break;
    }
    // Linear (slope per row) and ramp (value = a + c (k - i)^2): each row
    // between bounds the parameter; j is reachable when its own parameter
    // lies within the bounds of the rows before it.
    for (let shape = 1; shape <= 3; shape += 2) {
      let lo = -Infinity;
      let hi = Infinity;
      for (let j = i + 1; j < n; ++j) {
        const d = shape === 1 ? j - i : (j - i) * (j - i);
        const p = (v[j] - a) / d;
        if (p >= lo && p <= hi) reach(j, shape);
        lo = Math.max(lo, (raw[j] - tol - a) / d);
        hi = Math.min(hi, (raw[j] + tol - a) / d);
        if (lo > hi) break;
      }
    }
    // Smooth: the segment stays between its ends, so the rows between must
    // lie in that band; once they stray both above and below a by more
    // than the tolerance and spread wider than twice it, no end will do.
    let low = Infinity;
    let high = -Infinity;
    for (let j = i + 2; j < n && j - i <= SMOOTH_REACH; ++j) {
      low = Math.min(low, raw[j - 1]);
      high = Math.max(high, raw[j - 1]);
      if (low < a - tol && high > a + tol && high - low > 2 * tol) break;
      const b = v[j];
      if (Math.min(a, b) - tol > low || Math.max(a, b) + tol < high) continue;
      if (next >= best[j]) continue;
      if (smoothFits(raw, i, j, a, b, tol)) reach(j, 2);
    }
  }

  const keys = [];
  for (let j = n - 1; j >= 0; j = from[j]) {
    keys.push({ row: first + j, value: v[j], interp: 'step' });
    if (j === 0) break;
  }
  keys.reverse();
  for (let k = 1; k < keys.length; ++k) keys[k - 1].interp = SHAPES[shapeOf[keys[k].row - first]];
  return { keys, maxError: maxError(keys, values, first) };
}

function smoothFits(raw, i, j, a, b, tol) {
  const span = j - i;
  const delta = Math.fround(b - a);
  const at = (k) => {
    const t = (k - i) / span;
    return Math.abs(Math.fround(a + (3.0 - t * 2.0) * (t * t) * delta) - raw[k]) <= tol;
  };
  const mid = i + (span >> 1);
  if (!at(mid) || !at(i + (span >> 2)) || !at(i + ((3 * span) >> 2))) return false;
  for (let k = i + 1; k < j; ++k) if (!at(k)) return false;
  return true;
}

// The largest difference between the keys, as the player reads them, and
// the take at its rows.
export function maxError(keys, values, first) {
  let worst = 0;
  for (let k = 0; k < values.length; ++k) worst = Math.max(worst, Math.abs(valueAt(keys, first + k) - values[k]));
  return worst;
}
