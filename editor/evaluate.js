// A track's value at a row, computed the way the player computes it: the key
// in force is the last one at or before the whole row; its interpolation
// shapes the segment to the next key; values are 32-bit floats, the segment's
// arithmetic is double and the result is rounded once to float. The player
// always asks at whole rows, so callers pass Math.floor of the position.
//
// Keys are {row, value, interp} sorted by strictly increasing row; a value of
// null (a non-finite number in a hand-written source) reads as NaN.

const INT32_MIN = -2147483648;
const INT32_MAX = 2147483647;

// The row as the player's 32-bit integer: NaN is 0, the rest pinned.
function toRow(row) {
  if (!(row === row)) return 0;
  if (row >= INT32_MAX) return INT32_MAX;
  if (row <= INT32_MIN) return INT32_MIN;
  return Math.trunc(row);
}

// The key value as the player holds it: a 32-bit float.
export function keyValue(key) {
  return key.value === null || key.value === undefined ? NaN : Math.fround(key.value);
}

// The index of the last key at or before the whole row, -1 when none is.
export function findKey(keys, row) {
  let lo = 0;
  let hi = keys.length;
  if (hi <= 0) return -1;
  while (lo < hi) {
    const mid = (lo + hi) >> 1;
    const at = keys[mid].row;
    if (at < row) lo = mid + 1;
    else if (at > row) hi = mid;
    else return mid;
  }
  return lo - 1;
}

// The value the player reads at `row` (a float held in a double).
export function valueAt(keys, row) {
  const count = keys.length;
  if (count === 0) return 0;
  if (row < INT32_MIN) row = INT32_MIN;
  if (row > INT32_MAX) row = INT32_MAX;
  const k = findKey(keys, toRow(Math.floor(row)));
  if (k < 0) return keyValue(keys[0]);
  if (k > count - 2) return keyValue(keys[count - 1]);

  const a = keys[k];
  const b = keys[k + 1];
  const av = keyValue(a);
  if (a.interp === 'step') return av;
  if (a.interp !== 'linear' && a.interp !== 'smooth' && a.interp !== 'ramp') return 0;

  const t = (row - a.row) / (b.row - a.row);
  // The difference is taken in float, as the player does.
  const delta = Math.fround(keyValue(b) - av);
  let factor = t;
  if (a.interp === 'smooth') factor = (3.0 - t * 2.0) * (t * t);
  else if (a.interp === 'ramp') factor = t * t;
  return Math.fround(av + factor * delta);
}

// The lowest and highest value over the whole rows first..last (inclusive),
// for drawing many rows in one pixel column; NaNs are left out (both NaN
// when every row is).
export function rangeOver(keys, first, last) {
  let lo = NaN;
  let hi = NaN;
  for (let row = first; row <= last; ++row) {
    const v = valueAt(keys, row);
    if (!(v === v)) continue;
    if (!(lo <= v)) lo = v;
    if (!(hi >= v)) hi = v;
  }
  return [lo, hi];
}
