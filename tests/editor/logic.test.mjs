// The page's editing logic, in the browser on its own modules with a
// made-up document (no service): a drag's moves are ordered so that applied
// one by one under the service's rules (a key at `from`, none at `to`) they
// never collide; a drag stops at the first key it does not move; the
// preview shows every dragged key once, also while an edit is in flight;
// paste keeps tracks and spacing; late replies never undo newer changes.

import test from 'node:test';
import assert from 'node:assert/strict';
import { launchBrowser, modulePage } from './support.mjs';

let browser;
let page;
test.before(async () => {
  browser = await launchBrowser();
  page = await modulePage(browser);
  // Helpers in the page: a document and the service's rules for ops.
  await page.evaluate(async () => {
    const { ShowDocument } = await import('/model.js');
    window.makeDoc = (tracks, revision = 1) =>
      new ShowDocument({
        rows: 1000,
        revision,
        sections: [],
        tracks: Object.entries(tracks).map(([name, rows]) => ({
          name, keys: rows.map((row) => ({ row, value: row / 10, interp: 'linear' })),
        })),
      });
    // Applies ops one at a time as the service does; throws on a refusal.
    window.applyOps = (doc, ops) => {
      for (const [i, op] of ops.entries()) {
        const keys = doc.track(op.track).keys;
        const at = (row) => keys.findIndex((k) => k.row === row);
        if (op.op === 'move') {
          if (at(op.from) < 0) throw new Error(`op ${i}: no key at ${op.from}`);
          if (at(op.to) >= 0) throw new Error(`op ${i}: a key is already at ${op.to}`);
          keys[at(op.from)].row = op.to;
        } else if (op.op === 'set') {
          if (at(op.row) >= 0) keys[at(op.row)].value = op.value;
          else keys.push({ row: op.row, value: op.value, interp: op.interp || 'step' });
        }
        keys.sort((a, b) => a.row - b.row);
      }
    };
    window.rows = (doc, track) => doc.track(track).keys.map((k) => k.row);
  });
});
test.after(() => browser?.close());

test('drags: moves that never collide, stops at the keys left in place, one key shown once', async () => {
  const result = await page.evaluate(async () => {
    const { KeyDrag } = await import('/drag.js');
    const out = {};
    // Three keys of one track dragged later by more than their spacing, then
    // earlier past where they started: every edit applies under the rules.
    let doc = window.makeDoc({ A: [10, 12, 14, 100], B: [0, 11] });
    let drag = new KeyDrag(doc, [{ track: 'A', row: 10 }, { track: 'A', row: 12 }, { track: 'A', row: 14 }, { track: 'B', row: 11 }]);
    const steps = [];
    for (const target of [3, 7, -5, 20]) {
      drag.setTarget(target, 0);
      const ops = drag.nextOps();
      try {
        window.applyOps(doc, ops);
        drag.settle(true);
        steps.push([window.rows(doc, 'A'), window.rows(doc, 'B')]);
      } catch (error) {
        steps.push(error.message);
        drag.settle(false);
      }
    }
    out.steps = steps;
    // The limits: A's keys may not reach 100, B's 11 may not reach B's 0.
    out.limits = [drag.minRows, drag.maxRows];
    drag.setTarget(500, 0);
    out.clampedLater = drag.target.rows;
    drag.setTarget(-500, 0);
    out.clampedEarlier = drag.target.rows;

    // While an edit is in flight and a push already moved the keys, the
    // preview shows each dragged key once, at the pointer's target.
    doc = window.makeDoc({ A: [10, 20, 30] });
    drag = new KeyDrag(doc, [{ track: 'A', row: 20 }]);
    drag.setTarget(4, 0);
    window.applyOps(doc, drag.nextOps());
    drag.setTarget(6, 0);
    out.inFlight = drag.keysFor('A', doc.track('A').keys).map((k) => k.row);
    // A value drag: sets after the moves, the original value where the offset is 0.
    doc = window.makeDoc({ A: [10, 20] });
    drag = new KeyDrag(doc, [{ track: 'A', row: 10 }]);
    drag.setTarget(2, 0.25);
    out.valueOps = drag.nextOps();
    return out;
  });
  assert.deepEqual(result.steps, [
    [[13, 15, 17, 100], [0, 14]],
    [[17, 19, 21, 100], [0, 18]],
    [[5, 7, 9, 100], [0, 6]],
    [[30, 32, 34, 100], [0, 31]],
  ]);
  assert.deepEqual(result.limits, [-10, 85]);
  assert.equal(result.clampedLater, 85);
  assert.equal(result.clampedEarlier, -10);
  assert.deepEqual(result.inFlight, [10, 26, 30]);
  assert.deepEqual(result.valueOps, [
    { op: 'move', track: 'A', from: 10, to: 12 },
    { op: 'set', track: 'A', row: 12, value: 1.25 },
  ]);
});

test('copy and paste keep tracks and spacing; new keys keep the curve; type numbers are not sent back', async () => {
  const result = await page.evaluate(async () => {
    const { copyKeys, pasteOps, addKeyOps, interpOps, parseValue } = await import('/edits.js');
    const doc = window.makeDoc({ A: [10, 40], B: [16] });
    const clip = copyKeys(doc, [{ track: 'B', row: 16 }, { track: 'A', row: 10 }, { track: 'A', row: 99 }]);
    const paste = pasteOps(doc, { keys: [...clip.keys, { track: 'Gone', offset: 1, value: 1, interp: 'step' }] }, 500);
    return {
      paste,
      // Halfway along A's linear segment from 1 (row 10) to 4 (row 40).
      add: addKeyOps(doc, 'A', 25),
      onAKey: addKeyOps(doc, 'A', 10),
      interp: interpOps(doc, [{ track: 'A', row: 10 }, { track: 'B', row: 16 }], 'linear'),
      values: ['2.5', ' -1e3 ', '', 'abc', 'inf', '1e39'].map((t) => parseValue(t).value ?? null),
      // A type number from a hand-written source is never sent back.
      numbered: (() => {
        doc.track('A').keys[0].interp = '7';
        return [addKeyOps(doc, 'A', 20)[0].interp, pasteOps(doc, copyKeys(doc, [{ track: 'A', row: 10 }]), 0).ops[0]];
      })(),
    };
  });
  assert.deepEqual(result.paste.ops, [
    { op: 'set', track: 'B', row: 506, value: 1.6, interp: 'linear' },
    { op: 'set', track: 'A', row: 500, value: 1, interp: 'linear' },
  ]);
  assert.deepEqual(result.paste.pasted, [{ track: 'B', row: 506 }, { track: 'A', row: 500 }]);
  assert.deepEqual(result.add, [{ op: 'set', track: 'A', row: 25, value: 2.5, interp: 'linear' }]);
  assert.deepEqual(result.onAKey, []);
  assert.deepEqual(result.interp, [], 'both keys are linear already');
  assert.deepEqual(result.values, [2.5, -1000, null, null, null, null]);
  assert.deepEqual(result.numbered, ['step', { op: 'set', track: 'A', row: 0, value: 1 }]);
});

test('changes apply in revision order; a missed one asks for a reload', async () => {
  const result = await page.evaluate(() => {
    const doc = window.makeDoc({ A: [1], B: [2] }, 5);
    const change = (revision, track, row) => ({ revision, tracks: [{ name: track, keys: [{ row, value: 0, interp: 'step' }] }] });
    return [
      doc.applyChange(change(6, 'A', 7), true),
      doc.applyChange(change(6, 'A', 8), true), // the same revision again: a late reply
      doc.applyChange(change(8, 'B', 9), true), // 7 is missing
      window.rows(doc, 'A'),
      window.rows(doc, 'B'),
      doc.applyChange(change(7, 'C', 3), true),
      doc.tracks.map((t) => t.name),
    ];
  });
  assert.deepEqual(result, ['applied', 'stale', 'gap', [7], [2], 'applied', ['A', 'B', 'C']]);
});
