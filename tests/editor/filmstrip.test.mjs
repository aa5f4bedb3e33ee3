// The filmstrip in the page against the real tessel-author and its
// tessel-stills children: the band shows the show's 68 bars; a Fade key of
// 1 over one bar turns that bar's thumbnail black and leaves every other
// thumbnail's pixels as they were, and undo brings it back; an Effect Time
// key redraws the bars from its row on (the clock runs differently there)
// and changes their pictures, none before it; a shader save redraws and
// changes them all; hovering the ruler shows the picture of the row under
// the pointer with its bar and section.

import test from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import {
  env, startShowAndPage, until, scratchDir, withScreenshot, percentile,
} from './support.mjs';

const source = fs.readFileSync(`${env.sourceDir}/production/show.sync`, 'utf8');
const BAR = 64;
const BARS = 68;
// Bounds on a hang on a busy machine, not guesses at how long it takes.
const STRIP_SECONDS = 240;

test('the filmstrip along the timeline', async (t) => {
  const shaders = scratchDir('shaders');
  fs.cpSync(path.join(env.sourceDir, 'data/Shaders'), shaders, { recursive: true });
  // At the show's priority: idle, the pictures could wait for minutes on a busy machine.
  const { author, page, errors, editor } = await startShowAndPage(t, source, {
    author: { shaders, args: ['--filmstrip-priority', 'normal'] },
    cleanup: () => fs.rmSync(shaders, { recursive: true, force: true }),
  });
  const post = async (route, data) => {
    const reply = await page.request.post(`${author.origin}${route}`, { headers: { Origin: author.origin }, data });
    assert.equal(reply.status(), 200, await reply.text());
    return reply.json();
  };

  const opened = Date.now();
  await page.goto(author.url);
  // The page's frames while the thumbnails arrive (printed, not asserted:
  // a shared machine's load is no fault of the page).
  await editor(() => {
    window.frameDeltas = [];
    let last;
    const frame = (t) => {
      if (last !== undefined) window.frameDeltas.push(t - last);
      last = t;
      if (!window.stopFrames) requestAnimationFrame(frame);
    };
    requestAnimationFrame(frame);
  });
  // Every filmstrip push the page gets, kept for the checks below.
  await until(() => editor(() => Boolean(window.tesselEditor && window.tesselEditor.filmstrip)), 'the editor', 120);
  await editor(() => {
    const strip = window.tesselEditor.filmstrip;
    window.filmstripPushes = [];
    const onPush = strip.onPush.bind(strip);
    strip.onPush = (m) => {
      window.filmstripPushes.push(m);
      onPush(m);
    };
  });

  // The strip is settled: every thumbnail decoded, none being drawn, and
  // the service has nothing left to draw at `revision`.
  const settled = (revision, what) =>
    until(async () => {
      const listed = await (await page.request.get(`${author.origin}/api/filmstrip`)).json();
      if (!listed.frames.every((f) => f.ready && f.revision >= revision)) return false;
      return editor((urls) => {
        const strip = window.tesselEditor.filmstrip;
        return strip.frames.size === urls.length &&
          urls.every(([row, url]) => strip.frames.get(row)?.url === url && strip.frames.get(row).bitmap);
      }, listed.frames.map((f) => [f.row, f.url]));
    }, what, STRIP_SECONDS);
  // Keeps every thumbnail's pixels in the page under `name`.
  const snapshot = (name) => editor((n) => {
    const strip = window.tesselEditor.filmstrip;
    window.snapshots = window.snapshots || {};
    window.snapshots[n] = new Map([...strip.frames.keys()].map((row) => [row, strip.pixels(row)]));
  }, name);
  // {row: the largest channel difference from snapshot `name`}.
  const differences = (name) => editor((n) => {
    const strip = window.tesselEditor.filmstrip;
    const out = {};
    for (const [row, before] of window.snapshots[n]) {
      const now = strip.pixels(row);
      let worst = 0;
      for (let i = 0; i < now.length; i++) worst = Math.max(worst, Math.abs(now[i] - before[i]));
      out[row] = worst;
    }
    return out;
  }, name);
  const brightest = (row) =>
    editor((r) => Math.max(...window.tesselEditor.filmstrip.pixels(r).filter((_, i) => i % 4 !== 3)), row);
  // The rows the pushes of `revision` said were being drawn again.
  const redrawn = (revision) =>
    editor((r) => window.filmstripPushes.filter((m) => m.revision === r).flatMap((m) => m.redrawing || []), revision);

  await withScreenshot(page, 'filmstrip', async () => {
    await settled(1, 'the whole strip');
    const readyMs = Date.now() - opened;
    const deltas = await editor(() => {
      window.stopFrames = true;
      return window.frameDeltas;
    });
    console.log(`filmstrip: 68 thumbnails ready ${readyMs} ms after the page opened; the page's frames meanwhile: ` +
      `${deltas.length}, p95 ${percentile(deltas, 95).toFixed(1)} ms`);
    assert.equal(await editor(() => window.tesselEditor.filmstrip.frames.size), BARS);
    await snapshot('start');

    // Black over bar 20 alone.
    const black = 20 * BAR;
    const faded = await post('/api/edit', { ops: [
      { op: 'set', track: 'Fade', row: black, value: 1, interp: 'step' },
      { op: 'set', track: 'Fade', row: black + 1, value: 0, interp: 'step' },
    ] });
    await settled(faded.revision, 'the strip after the Fade key');
    assert.deepEqual(await redrawn(faded.revision), [black]);
    assert.ok((await brightest(black)) <= 4, 'the faded bar is black');
    const afterFade = await differences('start');
    for (const [row, worst] of Object.entries(afterFade))
      if (Number(row) !== black) assert.equal(worst, 0, `bar at row ${row} kept its pixels`);

    const undone = await post('/api/undo', {});
    await settled(undone.revision, 'the strip after undo');
    assert.ok((await differences('start'))[black] <= 8, 'undo brings the bar back');

    // The effect clock set in bar 40: bars 40 on are redrawn, some look
    // different; bars before are untouched.
    const clock = 40 * BAR;
    await snapshot('before clock');
    const timed = await post('/api/edit', {
      ops: [{ op: 'set', track: 'Effect Time', row: clock, value: 30, interp: 'step' }],
    });
    await settled(timed.revision, 'the strip after the Effect Time key');
    const rows = [...Array(BARS).keys()].map((b) => b * BAR);
    assert.deepEqual((await redrawn(timed.revision)).sort((a, b) => a - b), rows.filter((r) => r >= clock));
    const afterClock = await differences('before clock');
    for (const row of rows.filter((r) => r < clock))
      assert.equal(afterClock[row], 0, `bar at row ${row} before the key`);
    assert.ok(afterClock[clock] > 24 || afterClock[clock + BAR] > 24,
      `the bars after the key changed: ${JSON.stringify(afterClock)}`);

    // Hover: the picture of the row under the pointer, its bar and section.
    const hovered = 32 * BAR;
    const at = await editor((r) => window.tesselEditor.rulerPoint(r + 0.5), hovered);
    await page.mouse.move(at.x, at.y);
    const hoverShown = (r) => window.tesselEditor.filmstrip.hoverRow === r && !document.getElementById('hover').hidden;
    await until(() => editor(hoverShown, hovered), 'the hover picture', 60);
    const hover = await editor(() => {
      const img = document.querySelector('#hover img');
      const canvas = new OffscreenCanvas(192, 108);
      const ctx = canvas.getContext('2d');
      ctx.drawImage(img, 0, 0, 192, 108);
      return { text: document.querySelector('.hover-text').textContent, width: img.naturalWidth,
        pixels: Array.from(ctx.getImageData(0, 0, 192, 108).data) };
    });
    assert.equal(hover.width, 480);
    assert.match(hover.text, /bar 33 · 128:00 · theme2/);
    const thumb = await editor((r) => Array.from(window.tesselEditor.filmstrip.pixels(r)), hovered);
    let total = 0;
    for (let i = 0; i < thumb.length; i++) total += Math.abs(thumb[i] - hover.pixels[i]);
    const mean = total / thumb.length;
    assert.ok(mean < 12, `the hover picture is the bar's picture (mean difference ${mean})`);
    await page.mouse.move(5, 700);

    // A shader save: every picture drawn again, inverted.
    await snapshot('before shader');
    const mix = path.join(shaders, 'Mix.frag');
    const text = fs.readFileSync(mix, 'utf8');
    assert.ok(text.includes('FragColor = vec4(color, 1.0);'));
    fs.writeFileSync(mix, text.replace('FragColor = vec4(color, 1.0);', 'FragColor = vec4(1.0 - color, 1.0);'));
    const reachedAll = (count) => window.filmstripPushes.some((m) => (m.redrawing || []).length === count);
    await until(() => editor(reachedAll, BARS), 'the shader save to reach the strip', 60);
    await settled(timed.revision, 'the strip after the shader save');
    const afterShader = await differences('before shader');
    assert.ok(Object.values(afterShader).every((worst) => worst > 64),
      `every picture changed: ${JSON.stringify(afterShader)}`);
    assert.deepEqual(errors, []);
  });
});
