// Keys on the song's hits: a small pattern placed at each onset — the hit
// (a value, with its interpolation) and, `returnRows` later, a return to
// the value the lane had just before the hit (with its interpolation).
// A return that would reach the next hit is left out, so quick hits stay
// hits. The ops go to the service as one edit (one undo step).

import { valueAt } from './evaluate.js';
import { INTERPS } from './model.js';

export const DEFAULT_PATTERN = { value: 1, interp: 'linear', returnRows: 8, returnInterp: 'step' };

// The pattern with every field checked, or {error}.
export function checkPattern(p) {
  const value = Number(p.value);
  const returnRows = Number(p.returnRows);
  if (!Number.isFinite(value) || Math.abs(value) > 3.4e38) return { error: 'the hit value must be a finite number' };
  if (!Number.isInteger(returnRows) || returnRows < 1 || returnRows > 1 << 20)
    return { error: 'the return comes 1 or more whole rows after the hit' };
  if (!INTERPS.includes(p.interp) || !INTERPS.includes(p.returnInterp)) return { error: 'unknown interpolation' };
  return { pattern: { value, interp: p.interp, returnRows, returnInterp: p.returnInterp } };
}

// The ops that put the pattern on `rows` (sorted) in each of `tracks`, and
// the keys placed. Values before each hit are read from the lane as it was.
export function patternOps(doc, tracks, rows, pattern) {
  const ops = [];
  const placed = [];
  for (const track of tracks) {
    const keys = doc.track(track)?.keys;
    if (!keys) continue;
    const set = new Map(); // row -> op, so a row is written once
    rows.forEach((row, i) => {
      set.set(row, { op: 'set', track, row, value: pattern.value, interp: pattern.interp });
      const back = row + pattern.returnRows;
      const next = rows[i + 1];
      if (next !== undefined && back >= next) return;
      const before = valueAt(keys, row - 1);
      if (!set.has(back))
        set.set(back, { op: 'set', track, row: back, value: Number.isFinite(before) ? before : 0, interp: pattern.returnInterp });
    });
    for (const op of set.values()) {
      ops.push(op);
      placed.push({ track, row: op.row });
    }
  }
  return { ops, placed };
}
