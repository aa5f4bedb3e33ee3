// The page's logic for takes and hits, in the browser on its own modules:
// a curve made of known segments of the four shapes reduces back to those
// keys; a noisy gesture keeps every row within the tolerance, as the
// player reads the keys, with far fewer keys than rows; a take's keys
// replace the lane inside its span and leave the rows outside it as they
// were; the hit pattern puts a hit on every onset and a return to the
// lane's earlier value where it fits before the next hit.

import test from 'node:test';
import assert from 'node:assert/strict';
import { launchBrowser, modulePage } from './support.mjs';

let browser;
let page;
test.before(async () => {
  browser = await launchBrowser();
  page = await modulePage(browser);
});
test.after(() => browser?.close());

test('reduction: known segments come back, the tolerance holds at every row', async () => {
  const result = await page.evaluate(async () => {
    const { reduceTake } = await import('/reduce.js');
    const { valueAt } = await import('/evaluate.js');
    const known = [
      { row: 100, value: 0, interp: 'linear' },
      { row: 140, value: 2, interp: 'smooth' },
      { row: 200, value: -1, interp: 'step' },
      { row: 230, value: 0.5, interp: 'ramp' },
      { row: 300, value: 3, interp: 'linear' },
      { row: 340, value: 2.5, interp: 'step' },
    ];
    const values = [];
    for (let row = 100; row <= 340; ++row) values.push(valueAt(known, row));
    const exact = reduceTake(values, 100, 0.001);

    // A hand's gesture: two slow waves and a tremble, a minute long.
    const gesture = [];
    for (let k = 0; k < 2240; ++k) gesture.push(Math.sin(k / 40) + 0.3 * Math.sin(k / 13) + 0.004 * Math.sin(k * 1.7));
    const tolerance = 0.026;
    const reduced = reduceTake(gesture, 500, tolerance);
    let worst = 0;
    for (let k = 0; k < gesture.length; ++k) worst = Math.max(worst, Math.abs(valueAt(reduced.keys, 500 + k) - gesture[k]));
    const tight = reduceTake(gesture.slice(0, 64), 0, 0);
    let tightWorst = 0;
    for (let k = 0; k < 64; ++k) tightWorst = Math.max(tightWorst, Math.abs(valueAt(tight.keys, k) - Math.fround(gesture[k])));
    return {
      known,
      exact: exact.keys,
      worst,
      tolerance,
      keys: reduced.keys.length,
      first: reduced.keys[0].row,
      last: reduced.keys[reduced.keys.length - 1].row,
      rowsInOrder: reduced.keys.every((k, i, all) => !i || all[i - 1].row < k.row),
      tightWorst,
      tightKeys: tight.keys.length,
    };
  });
  assert.deepEqual(result.exact, result.known);
  assert.ok(result.worst <= result.tolerance, `max error ${result.worst}`);
  assert.ok(result.keys <= 2240 / 16, `${result.keys} keys for 140 beats`);
  assert.ok(result.first === 500 && result.last === 500 + 2239 && result.rowsInOrder);
  // No tolerance: every row kept as the float it was.
  assert.equal(result.tightWorst, 0);
  assert.ok(result.tightKeys <= 64);
});

test('a take replaces the lane inside its span only; hits and returns', async () => {
  const result = await page.evaluate(async () => {
    const { ShowDocument } = await import('/model.js');
    const { Recorder } = await import('/record.js');
    const { valueAt } = await import('/evaluate.js');
    const { patternOps } = await import('/hit-pattern.js');
    const keys = [
      { row: 0, value: 0, interp: 'linear' },
      { row: 50, value: 5, interp: 'step' },
      { row: 100, value: 1, interp: 'linear' },
      { row: 200, value: 2, interp: 'step' },
    ];
    const doc = new ShowDocument({ rows: 1000, revision: 1, sections: [], tracks: [{ name: 'A', keys: keys.map((k) => ({ ...k })) }] });
    const canvas = document.createElement('canvas');
    const recorder = new Recorder({ canvas, doc, curve: { rect: { y: 0, h: 100 } } });
    recorder.track = 'A';
    recorder.original = keys.map((k) => ({ ...k }));
    // The take played 0.25 from row 120 to 160, the live key last at 160.
    doc.track('A').keys.splice(3, 0, { row: 160, value: 0.25, interp: 'step' });
    const take = { first: 120, last: 160, keys: [{ row: 120, value: 0.25, interp: 'step' }, { row: 160, value: 0.25, interp: 'step' }] };
    const ops = recorder.writeOps(take);
    const lane = new Map(doc.track('A').keys.map((k) => [k.row, k]));
    for (const op of ops) {
      if (op.op === 'delete') lane.delete(op.row);
      else lane.set(op.row, { row: op.row, value: op.value, interp: op.interp });
    }
    const after = [...lane.values()].sort((a, b) => a.row - b.row);
    const outside = [];
    for (let row = -5; row < 260; ++row) {
      if (row >= 120 && row <= 160) continue;
      if (Math.abs(valueAt(after, row) - valueAt(keys, row)) > 1e-6) outside.push(row);
    }
    const inside = [];
    for (let row = 120; row <= 160; ++row) if (valueAt(after, row) !== 0.25) inside.push(row);

    const hits = patternOps(doc, ['A'], [10, 14, 40], { value: 9, interp: 'linear', returnRows: 8, returnInterp: 'step' });
    return { outside, inside, hits: hits.ops };
  });
  assert.deepEqual(result.outside, [], 'rows outside the take as they were');
  assert.deepEqual(result.inside, [], 'rows inside the take as played');
  assert.deepEqual(result.hits, [
    { op: 'set', track: 'A', row: 10, value: 9, interp: 'linear' },
    { op: 'set', track: 'A', row: 14, value: 9, interp: 'linear' },
    { op: 'set', track: 'A', row: 22, value: Math.fround(1.3), interp: 'step' },
    { op: 'set', track: 'A', row: 40, value: 9, interp: 'linear' },
    { op: 'set', track: 'A', row: 48, value: Math.fround(3.9), interp: 'step' },
  ]);
});
