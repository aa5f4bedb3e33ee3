// The page's evaluation gives exactly the player's values: a fixture using
// all four interpolations is evaluated at every row by the C++ evaluation
// (editor_track_values) and by the page's module in the browser, loaded as
// the page loads it, and the two must agree to the bit.

import test from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import path from 'node:path';
import { env, launchBrowser, modulePage } from './support.mjs';

const fixture = path.join(path.dirname(new URL(import.meta.url).pathname), 'fixtures/interpolations.sync');

test('the page evaluates every row of every track as the player does', async () => {
  const expected = JSON.parse(execFileSync(env.trackValues, [fixture]));
  assert.ok(expected.tracks.length >= 5);
  const interps = new Set(expected.tracks.flatMap((t) => t.keys.map((k) => k.interp)));
  assert.deepEqual([...interps].sort(), ['linear', 'ramp', 'smooth', 'step']);

  const browser = await launchBrowser();
  try {
    const page = await modulePage(browser);
    const mismatches = await page.evaluate(async (data) => {
      const { valueAt } = await import('/evaluate.js');
      const out = [];
      for (const track of data.tracks)
        for (let row = data.from; row <= data.to; ++row) {
          const want = Math.fround(track.values[row - data.from]);
          const got = valueAt(track.keys, row);
          if (!Object.is(got, want)) out.push(`${track.name} row ${row}: page ${got}, player ${want}`);
        }
      return out;
    }, expected);
    assert.deepEqual(mismatches.slice(0, 20), [], `${mismatches.length} rows differ`);
  } finally {
    await browser.close();
  }
});
