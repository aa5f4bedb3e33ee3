// How fluid the page is on the show's 28 tracks with 2,000 keys (the show's
// own keys and more between them), against the real tessel-author: the
// time to the first picture after opening the address, and the
// requestAnimationFrame deltas over 5 s of playback and over 5 s of dragging
// a lane's keys to and fro. The figures are printed as a table; the target
// is a p95 under 16.7 ms (60 frames a second) and a first picture within a
// second. It is a benchmark run with the suite: the figures are not
// asserted (a shared machine's load is no fault of the page) unless
// TESSEL_EDITOR_STRICT_FRAMES=1 asks for it, and the only failures are those
// of a broken page: no frame drawn, a drag that never redraws. The browser rounds
// frame times to 0.1 ms, so a frame that kept the 16.67 ms beat reads 16.6
// to 16.8: the strict check allows that much.

import test from 'node:test';
import assert from 'node:assert/strict';
import { env, launchBrowser, startXvfb, startAuthor, until, compiledTracks, withScreenshot, percentile } from './support.mjs';

const KEYS = 2000;

// The show's source as plain rows, with keys added on free rows (each
// holding the value and interpolation of the key before it) until there
// are KEYS in all.
function denseSource() {
  const tracks = compiledTracks(`${env.sourceDir}/production/show.sync`, `${env.sourceDir}/production/song_sections.txt`);
  const names = Object.keys(tracks);
  let count = names.reduce((n, name) => n + tracks[name].length, 0);
  for (let step = 0; count < KEYS; ++step) {
    const track = tracks[names[step % names.length]];
    const row = ((step * 197) % 4300) + 1;
    if (track.some((k) => k.row === row)) continue;
    const before = [...track].reverse().find((k) => k.row < row) || track[0] || { value: 0, interp: 'step' };
    track.push({ row, value: before.value, interp: before.interp });
    track.sort((a, b) => a.row - b.row);
    ++count;
  }
  let text = '';
  for (const name of names) {
    text += `track ${name}\n`;
    for (const k of tracks[name]) text += `  ${Math.floor(k.row / 16)}:${k.row % 16} ${k.value} ${k.interp}\n`;
  }
  return text;
}

// Starts recording requestAnimationFrame deltas and the editor's own
// drawing time for `ms`; the result lands in window.recorded.
function record(ms) {
  window.recorded = new Promise((resolve) => {
    const deltas = [];
    const drawnBefore = window.tesselEditor.frameWork.length;
    let last;
    const start = performance.now();
    const frame = (t) => {
      if (last !== undefined) deltas.push(t - last);
      last = t;
      if (t - start < ms) requestAnimationFrame(frame);
      else resolve({ deltas, draw: window.tesselEditor.frameWork.slice(drawnBefore) });
    };
    requestAnimationFrame(frame);
  });
}

test('frame times and first picture with 28 tracks and 2,000 keys', async (t) => {
  const xvfb = await startXvfb();
  const author = await startAuthor(xvfb.display, denseSource());
  const browser = await launchBrowser();
  const page = await browser.newPage({ viewport: { width: 1280, height: 800 } });
  t.after(async () => {
    await browser.close();
    await author.stop();
    await xvfb.stop();
  });
  const editor = (fn, arg) => page.evaluate(fn, arg);
  const apiShow = async () => (await page.request.get(`${author.origin}/api/show`)).json();

  await withScreenshot(page, 'frames', async () => {
    await page.goto(author.url);
    await until(() => editor(() => window.tesselEditor?.firstPictureMs != null), 'the first picture');
    const firstPicture = await editor(() => window.tesselEditor.firstPictureMs);
    assert.equal(await editor(() => window.tesselEditor.doc.tracks.length), 28);
    assert.ok((await editor(() => window.tesselEditor.doc.keyCount)) >= KEYS);

    // Playback.
    if (!(await apiShow()).position.playing) await page.keyboard.press('Space');
    await until(() => editor(() => window.tesselEditor.playhead.playing), 'the show to play');
    await editor(record, 5000);
    const playback = await editor(() => window.recorded);

    // A drag of every key of one lane, to and fro, paused.
    await page.keyboard.press('Space');
    await until(() => editor(() => !window.tesselEditor.playhead.playing), 'the show to pause');
    const name = await editor(() => window.tesselEditor.nameAt('Camera Distance'));
    await page.mouse.click(name.x, name.y);
    await page.keyboard.press('Control+a');
    const first = await editor(() => {
      const e = window.tesselEditor;
      const keys = e.doc.track('Camera Distance').keys;
      return e.keyPoint('Camera Distance', keys[Math.floor(keys.length / 2)].row);
    });
    await page.mouse.move(first.x, first.y);
    await page.mouse.down();
    await editor(record, 5000);
    const end = Date.now() + 5000;
    for (let i = 0; Date.now() < end; ++i) await page.mouse.move(first.x + 120 * Math.sin(i / 10), first.y);
    await page.mouse.move(first.x, first.y);
    const drag = await editor(() => window.recorded);
    await page.mouse.up();
    await until(() => editor(() => window.tesselEditor.drag === null), 'the drag to settle');

    const row = (label, r) =>
      `${label.padEnd(10)}${String(r.deltas.length).padStart(7)}` +
      [percentile(r.deltas, 50), percentile(r.deltas, 95), Math.max(...r.deltas), percentile(r.draw, 50), percentile(r.draw, 95)]
        .map((v) => v.toFixed(2).padStart(9))
        .join('');
    console.log(
      [
        'Editor page, 28 tracks, 2,000 keys, 1280 x 800 (ms; target p95 < 16.7, first picture < 1000)',
        `${'          frames'}${['p50', 'p95', 'max', 'draw p50', 'draw p95'].map((h) => h.padStart(9)).join('')}`,
        row('playback', playback),
        row('drag', drag),
        `first picture ${firstPicture.toFixed(0)} ms after opening the address`,
      ].join('\n'),
    );
    assert.ok(playback.deltas.length > 0 && drag.deltas.length > 0, 'frames were drawn');
    assert.ok(drag.draw.length > 0, 'the drag redrew the page');
    if (process.env.TESSEL_EDITOR_STRICT_FRAMES === '1') {
      const budget = 1000 / 60 + 0.2;
      assert.ok(percentile(playback.deltas, 95) < budget && percentile(drag.deltas, 95) < budget);
      assert.ok(firstPicture < 1000);
    }
  });
});
