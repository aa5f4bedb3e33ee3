// Takes played in by hand, reduced to keys by the page's own modules:
// a 10-s and a 60-s smooth gesture as the page samples it (60 frames a
// second, the pointer on whole pixels of a 300-pixel curve view, a sample
// where it moved or every 8 frames where it held), read at every row as the
// recorder reads it, then reduced at 1 % of the range shown. Prints keys a
// beat, the largest error against the take (by the player's evaluation)
// and the reduction's time, first call (cold) and the median of 5 more.
//
//   node --experimental-default-type=module bench/editor/takes_bench.mjs

import { reduceTake, maxError } from '../../editor/reduce.js';
import { Recorder } from '../../editor/record.js';

const ROWS_PER_SECOND = (140 * 16) / 60;
const ROWS_PER_BEAT = 16;
const PIXELS = 300;

// Where a hand holding the pointer might go: two slow waves and a drift.
const gesture = (t) => 0.5 + 0.28 * Math.sin((2 * Math.PI * t) / 3.1) + 0.12 * Math.sin((2 * Math.PI * t) / 1.7 + 1) + 0.04 * t / 60;

function take(seconds) {
  const samples = [];
  let lastY = null;
  let still = 0;
  for (let frame = 0; frame <= seconds * 60; ++frame) {
    const t = frame / 60;
    const y = Math.round(gesture(t) * PIXELS);
    if (y !== lastY || ++still >= 8) {
      samples.push({ row: 1000 + t * ROWS_PER_SECOND, value: y / PIXELS });
      lastY = y;
      still = 0;
    }
  }
  return Recorder.prototype.readTake.call({ samples, first: 1000 });
}

function median(list) {
  const sorted = [...list].sort((a, b) => a - b);
  return sorted[sorted.length >> 1];
}

const rows = [];
for (const seconds of [10, 60]) {
  const { values, first } = take(seconds);
  let lo = Infinity;
  let hi = -Infinity;
  for (const v of values) {
    lo = Math.min(lo, v);
    hi = Math.max(hi, v);
  }
  const tolerance = 0.01 * (hi - lo) * 1.1; // the view shows a little more than the curve's range
  let started = performance.now();
  const result = reduceTake(values, first, tolerance);
  const cold = performance.now() - started;
  const warm = [];
  for (let i = 0; i < 5; ++i) {
    started = performance.now();
    reduceTake(values, first, tolerance);
    warm.push(performance.now() - started);
  }
  const beats = values.length / ROWS_PER_BEAT;
  const error = maxError(result.keys, values, first);
  rows.push([`${seconds} s`, values.length, result.keys.length, (result.keys.length / beats).toFixed(2),
    `${error.toPrecision(3)} / ${tolerance.toPrecision(3)}`, cold.toFixed(1), median(warm).toFixed(1)]);
}

const header = ['take', 'rows', 'keys', 'keys/beat', 'max error / tolerance', 'ms cold', 'ms warm'];
const widths = header.map((h, i) => Math.max(h.length, ...rows.map((r) => String(r[i]).length)));
const line = (cells) => cells.map((c, i) => String(c).padStart(widths[i])).join('  ');
console.log('Takes reduced to keys (targets: <= 1 key a beat for 10 s of a smooth gesture; 60 s in <= 50 ms)');
console.log(line(header));
for (const r of rows) console.log(line(r));
