// The song's hits and tracks played in by hand, in the page against the real
// tessel-author: the onsets are drawn in the waveform band and the
// threshold hides the weaker ones; . and , seek to the shown onsets; a
// dragged key snaps to an onset (S turns that off); keys on the hits put
// the pattern on every shown onset of a loop region, one undo taking them
// all away; a take recorded with a scripted pointer path during playback
// is written as keys that, compiled by synctool and evaluated by the
// player's evaluation, stay within the tolerance at every row of the take
// and follow the pointer's moves row by row, and one undo brings back the
// lane and the source file byte for byte; Escape abandons a take; taps land within a
// row of where the show's picture was, though every push message to the
// tapping page is held back a varying while.

import test from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import { execFileSync } from 'node:child_process';
import { env, startShowAndPage, until, withScreenshot, percentile, compiledTracks } from './support.mjs';

const source = fs.readFileSync(`${env.sourceDir}/production/show.sync`, 'utf8');
const ONSET_COLOUR = [255, 200, 90];

// Starts timing the page's frames (requestAnimationFrame deltas) and the
// show frames between an edit's reply and the picture with it, for `ms`;
// the result lands in window.recorded.
function record(ms) {
  window.recorded = new Promise((resolve) => {
    const deltas = [];
    const tools = window.tesselEditor.tools;
    const editsBefore = tools.edits.length;
    let last;
    const start = performance.now();
    const frame = (t) => {
      if (last !== undefined) deltas.push(t - last);
      last = t;
      if (t - start < ms) requestAnimationFrame(frame);
      else resolve({ deltas, edits: tools.edits.slice(editsBefore).map((e) => e.frames) });
    };
    requestAnimationFrame(frame);
  });
}

test('hits on the grid, takes and taps', async (t) => {
  const { author, context, page, errors, editor } = await startShowAndPage(t, source);
  const apiShow = async () => (await page.request.get(`${author.origin}/api/show`)).json();
  const showRow = async () => Math.floor((await apiShow()).position.row);
  const lane = (track) => editor((n) => window.tesselEditor.doc.track(n).keys.map((k) => ({ ...k })), track);
  const transport = (change) =>
    page.request.post(`${author.origin}/api/transport`, { headers: { Origin: author.origin }, data: change });
  const pause = async () => {
    await transport({ play: false });
    await until(() => editor(() => !window.tesselEditor.playhead.playing), 'the page to see the pause');
  };
  // The source file's text once it holds what the service holds.
  const settledText = () => until(async () => {
    const text = fs.readFileSync(author.source, 'utf8');
    const held = {};
    for (const tr of (await apiShow()).tracks)
      if (tr.keys.length) held[tr.name] = tr.keys.map((k) => ({ row: k.row, value: Math.fround(k.value), interp: k.interp }));
    try {
      assert.deepEqual(compiledTracks(author.source, author.sections), held);
    } catch (error) {
      return null;
    }
    return fs.readFileSync(author.source, 'utf8') === text ? text : null;
  }, 'the source file to hold the show');
  const choose = (track) => editor((n) => {
    const e = window.tesselEditor;
    e.selection.clear();
    e.selection.chooseLane(n, false);
    e.invalidate(true);
  }, track);

  await withScreenshot(page, 'hits', async () => {
    await page.goto(author.url);
    await until(() => editor(() => window.tesselEditor?.onsets.all.length > 0 && window.tesselEditor.firstPictureMs != null), 'the onsets');
    await pause();
    const shape = await editor(() => {
      const o = window.tesselEditor.onsets;
      return { count: o.all.length, shown: o.shownRows.length, threshold: o.threshold };
    });
    assert.ok(shape.shown > 0 && shape.shown < shape.count, `the default threshold hides some: ${JSON.stringify(shape)}`);

    // Zoom to two pixels a row at the song's drop (the song form's section).
    const drop = await editor(() => window.tesselEditor.doc.sections.find((s) => s.name === 'drop').row);
    await editor((row) => {
      const e = window.tesselEditor;
      e.view.pxPerRow = 2;
      e.view.firstRow = row - 16;
      e.view.clamp();
      e.invalidate(true);
    }, drop);

    // The tick's pixel at the bottom of the waveform band, for each shown
    // onset at least 4 pixels from its neighbours (and the playhead).
    const ticks = () => editor(async (colour) => {
      const e = window.tesselEditor;
      const ctx = e.canvas.getContext('2d');
      const { FILM_TOP } = await import('/layout.js'); // the waveform band's bottom
      const y = Math.round((FILM_TOP - 2) * e.dpr);
      const rows = e.onsets.all.map((o) => o.row);
      const out = [];
      e.onsets.all.forEach((o, i) => {
        const x = Math.round(e.view.rowToX(o.row));
        if (x < 230 || x > e.cssWidth - 5 || Math.abs(e.view.rowToX(e.row) - x) < 4) return;
        if ((i && (o.row - rows[i - 1]) * e.view.pxPerRow < 4) || (rows[i + 1] - o.row) * e.view.pxPerRow < 4) return;
        const [r, g, b] = ctx.getImageData(Math.round(x * e.dpr), y, 1, 1).data;
        const lit = Math.abs(r - colour[0]) < 30 && Math.abs(g - colour[1]) < 30 && Math.abs(b - colour[2]) < 40;
        out.push({ row: o.row, strength: o.strength, lit, shown: o.strength >= e.onsets.threshold });
      });
      return out;
    }, ONSET_COLOUR);
    await until(() => editor(() => !window.tesselEditor.contentDirty), 'the zoomed picture');
    let seen = await ticks();
    assert.ok(seen.filter((s) => s.shown).length >= 5, 'shown onsets in view');
    assert.deepEqual(seen.filter((s) => s.lit !== s.shown), [], 'a tick on every shown onset, none on a hidden one');
    // The slider hides the weaker half of those in view.
    const strengths = seen.filter((s) => s.shown).map((s) => s.strength).sort((a, b) => a - b);
    const cut = strengths[strengths.length >> 1];
    await page.locator('#onset-threshold').fill(String(cut));
    await until(() => editor((c) => window.tesselEditor.onsets.threshold === c && !window.tesselEditor.contentDirty, cut), 'the threshold');
    seen = await ticks();
    assert.ok(seen.some((s) => !s.shown && s.strength >= shape.threshold), 'onsets shown before are hidden now');
    assert.deepEqual(seen.filter((s) => s.lit !== s.shown), [], 'ticks follow the threshold');

    // . and , move the show to the next and previous shown onset.
    const shown = await editor(() => window.tesselEditor.onsets.shownRows);
    const start = shown[Math.floor(shown.length / 2)] + 1;
    await editor((r) => window.tesselEditor.seek(r), start);
    await until(async () => (await showRow()) === start, 'the seek');
    const after = shown.find((r) => r > start);
    const before = [...shown].reverse().find((r) => r < after);
    await page.locator('#canvas').focus();
    await page.keyboard.press('.');
    await until(async () => (await showRow()) === after, `. to seek to the onset at ${after}`);
    await page.keyboard.press(',');
    await until(async () => (await showRow()) === before, `, to seek back to ${before}`);

    // A key dragged to two rows off an onset lands on it; with S, two rows off.
    const onset = shown.find((r) => r > drop + 64 && !shown.some((o) => o !== r && o >= r - 26 && o <= r + 3));
    const TRACK = 'Bloom Cutoff';
    const edit = (ops) => page.request.post(`${author.origin}/api/edit`, { headers: { Origin: author.origin }, data: { ops } });
    assert.equal((await edit([{ op: 'set', track: TRACK, row: onset - 20, value: 0.5, interp: 'step' }])).status(), 200);
    await until(async () => (await lane(TRACK)).some((k) => k.row === onset - 20), 'the key to drag');
    await editor((r) => { window.tesselEditor.view.follow(r); window.tesselEditor.invalidate(true); }, onset);
    const dragTo = async (fromRow, toRow) => {
      const a = await editor(([n, r]) => window.tesselEditor.keyPoint(n, r), [TRACK, fromRow]);
      const b = await editor(([n, r]) => window.tesselEditor.keyPoint(n, r), [TRACK, toRow]);
      await page.mouse.move(Math.round(a.x), Math.round(a.y));
      await page.mouse.down();
      await page.mouse.move(Math.round(b.x), Math.round(b.y), { steps: 10 });
      await page.mouse.up();
      await until(() => editor(() => window.tesselEditor.drag === null), 'the drag to settle');
    };
    await dragTo(onset - 20, onset - 2);
    await until(async () => (await lane(TRACK)).some((k) => k.row === onset), 'the key snapped to the onset');
    await page.keyboard.press('s');
    await dragTo(onset, onset - 6);
    await until(async () => (await lane(TRACK)).some((k) => k.row === onset - 6), 'the key six rows before the onset, not snapped');
    await page.keyboard.press('s');

    // Keys on the hits in a four-bar loop region, the pattern edited first.
    const before1 = await lane('Exposure');
    const loop = [drop + 64, drop + 64 + 256];
    assert.equal((await transport({ loop })).status(), 200);
    await until(() => editor(() => window.tesselEditor.playhead.loop !== null), 'the loop region');
    await choose('Exposure');
    await page.locator('#canvas').focus();
    await page.keyboard.press('h');
    await page.locator('#hit-pattern input[name="value"]').fill('0.75');
    await page.locator('#hit-pattern input[name="returnRows"]').fill('4');
    await page.locator('#hit-pattern input[name="value"]').press('Enter');
    const hits = await editor(([a, b]) => window.tesselEditor.onsets.within(a, b - 1), loop);
    assert.ok(hits.length >= 4, `onsets in the loop: ${hits.length}`);
    const placed = await until(async () => {
      const keys = await lane('Exposure');
      return hits.every((r) => keys.some((k) => k.row === r && k.value === 0.75)) ? keys : null;
    }, 'a key on every shown onset');
    const inside = placed.filter((k) => k.row >= loop[0] && k.row < loop[1] && k.value === 0.75);
    assert.deepEqual(inside.map((k) => k.row), hits, 'one hit key per shown onset, none elsewhere');
    await page.keyboard.press('Control+z');
    await until(async () => JSON.stringify(await lane('Exposure')) === JSON.stringify(before1), 'one undo to remove them all');
    assert.equal((await transport({ loop: null })).status(), 200);


    // A take on Vignette from the drop: the pointer's height follows a slow
    // wave of the row the page shows, and the frames are timed meanwhile.
    const TAKE = 'Vignette';
    const textBefore = await settledText();
    const laneBefore = await lane(TAKE);
    await choose(TAKE);
    await until(() => editor((n) => window.tesselEditor.curve.tracks.join() === n && !window.tesselEditor.contentDirty, TAKE), 'the curve view');
    const area = await editor(() => {
      const e = window.tesselEditor;
      const r = e.canvas.getBoundingClientRect();
      return { x: r.left + e.curve.rect.x + 200, top: r.top + e.curve.rect.y, h: e.curve.rect.h };
    });
    const takeStart = drop + 32;
    const yAt = (row) => Math.round(area.top + area.h * (0.5 + 0.35 * Math.sin((2 * Math.PI * (row - takeStart)) / 320)));
    const recorder = (fn) => editor(fn);
    async function play(rows, onRow) {
      await page.keyboard.press('Space');
      await until(() => editor(() => window.tesselEditor.playhead.playing), 'the show to play');
      for (;;) {
        const row = await editor(() => window.tesselEditor.row);
        if (row >= takeStart + rows) break;
        await page.mouse.move(area.x, yAt(row));
        if (onRow) await onRow(row);
      }
    }
    const seekTo = async (row) => {
      await editor((r) => window.tesselEditor.seek(r), row);
      await until(async () => (await showRow()) === row, 'the seek before the take');
    };
    await seekTo(takeStart);
    await page.mouse.move(area.x, yAt(takeStart));
    await page.keyboard.press('r');
    assert.equal(await recorder(() => window.tesselEditor.tools.recorder.state), 'armed');
    let axis = null;
    // Where the pointer was at each row, as the page got its moves (on a
    // busy machine they come later and fewer than the script sent them).
    await editor(() => {
      window.pointerLog = [];
      window.tesselEditor.canvas.addEventListener('pointermove', (e) => window.pointerLog.push([window.tesselEditor.row, e.clientY]));
    });
    await editor(record, 4000);
    await play(170, async () => {
      // The value the pointer's height stands for, with the take's axis.
      axis ??= await editor(([top, h]) => {
        const e = window.tesselEditor;
        if (e.tools.recorder.state !== 'recording') return null;
        const r = e.canvas.getBoundingClientRect();
        return { at: e.curve.yToValue(top - r.top), below: e.curve.yToValue(top + h - r.top), lo: e.curve.lo, hi: e.curve.hi };
      }, [area.top, area.h]);
    });
    await page.keyboard.press('r');
    const timing = await editor(() => window.recorded);
    const take = await until(() => editor(() => {
      const r = window.tesselEditor.tools.recorder;
      return r.state === 'idle' && r.lastTake?.written ? r.lastTake : null;
    }), 'the take to be written').catch(async (error) => {
      const state = await editor(() => ({ state: window.tesselEditor.tools.recorder.state, take: window.tesselEditor.tools.recorder.lastTake?.first, message: document.getElementById('message').textContent }));
      throw new Error(`${error.message}: ${JSON.stringify(state)}`);
    });
    await pause();
    assert.ok(take.values.length >= 120, `the take covers ${take.values.length} rows`);
    assert.ok(take.first <= takeStart + 4 && axis, `the take began at ${take.first}, played from ${takeStart} (${JSON.stringify(axis)})`);

    // The source compiled by synctool, evaluated by the player: within the
    // tolerance of the take at every row, and along the path played. (The
    // take is answered before the file is written: wait for the write.)
    await settledText();
    const compiled = execFileSync(env.synctool, ['compile', '--sections', author.sections, '-o', `${author.source}.out`, author.source]);
    const dump = String(execFileSync(env.synctool, ['dump', `${author.source}.out`]));
    const single = dump.slice(dump.indexOf(`track ${TAKE}\n`)).split(/\n(?=track )/)[0];
    fs.writeFileSync(`${author.source}.take.sync`, single);
    fs.rmSync(`${author.source}.out`, { recursive: true, force: true });
    const evaluated = JSON.parse(execFileSync(env.trackValues, [`${author.source}.take.sync`]));
    const played = evaluated.tracks[0];
    const from = evaluated.from;
    assert.ok(compiled !== null && played.name === TAKE);
    // (In row order: the playhead, steered by late messages, can step back.)
    const moves = (await editor(() => window.pointerLog)).filter(([row]) => row >= take.first - 1).sort((a, b) => a[0] - b[0]);
    const valueOfY = (y) => axis.at + ((y - area.top) / area.h) * (axis.below - axis.at);
    // The pointer's value at a row: its moves joined by straight lines.
    const wave = (row) => {
      let i = moves.findIndex(([r]) => r > row);
      if (i < 0) return valueOfY(moves[moves.length - 1][1]);
      if (i === 0) return valueOfY(moves[0][1]);
      const [r0, y0] = moves[i - 1];
      const [r1, y1] = moves[i];
      return valueOfY(y0 + ((row - r0) / (r1 - r0)) * (y1 - y0));
    };
    const range = axis.hi - axis.lo;
    const off = [];
    const stray = [];
    for (let row = take.first; row <= take.last; ++row) {
      const value = played.values[row - from];
      if (!(Math.abs(value - take.values[row - take.first]) <= take.tolerance * 1.0001)) off.push(`row ${row}: ${value} for ${take.values[row - take.first]}`);
      // The take samples the pointer once a frame, up to a row after it moved.
      let nearest = Infinity;
      for (let lag = -2; lag <= 1; lag += 0.25) nearest = Math.min(nearest, Math.abs(value - wave(row + lag)));
      if (row >= take.first + 2 && !(nearest <= 0.01 * range + take.tolerance)) stray.push(`row ${row}: ${value} for ${wave(row)}`);
    }
    assert.deepEqual(off.slice(0, 10), [], `${off.length} rows beyond the tolerance ${take.tolerance}`);
    assert.deepEqual(stray.slice(0, 10), [], `${stray.length} rows off the path played`);
    assert.ok(take.keys.length <= take.values.length / 6, `${take.keys.length} keys for ${take.values.length} rows`);
    const drawn = timing.deltas;
    console.log(
      [
        'Recording a take (ms between frames, while the show plays and the pointer moves)',
        `  frames ${drawn.length}  p50 ${percentile(drawn, 50).toFixed(2)}  p95 ${percentile(drawn, 95).toFixed(2)}  max ${Math.max(...drawn).toFixed(2)}`,
        `  edit to picture (show frames): p50 ${percentile(timing.edits, 50)}  p95 ${percentile(timing.edits, 95)}  max ${Math.max(...timing.edits)}  of ${timing.edits.length} edits`,
        `  take: ${take.values.length} rows -> ${take.keys.length} keys (${(take.keys.length / (take.values.length / 16)).toFixed(2)} a beat), max error ${take.maxError.toPrecision(3)} for ${take.tolerance.toPrecision(3)}, reduced in ${take.reduceMs.toFixed(1)} ms`,
      ].join('\n'),
    );

    // One undo: the lane and the source file as they were.
    await page.keyboard.press('Control+z');
    await until(async () => JSON.stringify(await lane(TAKE)) === JSON.stringify(laneBefore), 'one undo to take the take away');
    await until(() => fs.readFileSync(author.source, 'utf8') === textBefore, 'the source file as it was');

    // Escape while a take runs: the lane and the file as they were.
    await seekTo(takeStart);
    await page.keyboard.press('r');
    await play(60);
    assert.equal(await recorder(() => window.tesselEditor.tools.recorder.state), 'recording');
    await until(async () => JSON.stringify(await lane(TAKE)) !== JSON.stringify(laneBefore), 'the live key in the lane');
    await page.keyboard.press('Escape');
    await until(() => editor(() => window.tesselEditor.tools.recorder.state === 'idle'), 'the take to end');
    await pause();
    await until(async () => JSON.stringify(await lane(TAKE)) === JSON.stringify(laneBefore), 'the lane as it was');
    await until(() => fs.readFileSync(author.source, 'utf8') === textBefore, 'the file as it was');


    // Taps from a second page whose push messages are held back in stalls
    // (in order): the show's rows come late and unevenly, as on a busy
    // machine. This page, unhindered, notes when each row arrives.
    await editor(() => {
      window.arrivals = [];
      window.tesselEditor.hooks.position.push((m, now) => m && window.arrivals.push([performance.timeOrigin + now, m.row, m.playing]));
    });
    const tapper = await context.newPage();
    tapper.on('pageerror', (e) => errors.push(e.message));
    let seed = 12345;
    const random = () => ((seed = (seed * 1103515245 + 12345) % 2147483648) / 2147483648);
    await tapper.routeWebSocket(/\/api\/live$/, (ws) => {
      // Stalls of 50-250 ms with 100-300 ms free between: what comes in a
      // stall is delivered at its end, in order, as a busy page would.
      const server = ws.connectToServer();
      let free = Date.now();
      let stallEnd = free;
      let held = [];
      const release = () => {
        for (const message of held) ws.send(message);
        held = [];
      };
      server.onMessage((message) => {
        const now = Date.now();
        if (now >= stallEnd && held.length) release();
        if (now >= stallEnd && now >= free) {
          stallEnd = now + 50 + random() * 200;
          free = stallEnd + 100 + random() * 200;
          setTimeout(release, stallEnd - now);
        }
        if (now < stallEnd) held.push(message);
        else ws.send(message);
      });
      ws.onMessage((message) => server.send(message));
    });
    await tapper.goto(`${author.origin}/`);
    const tapped = (fn, arg) => tapper.evaluate(fn, arg);
    await until(() => tapped(() => window.tesselEditor?.doc != null && window.tesselEditor.connected), 'the tapping page');
    const TAP = 'Bloom Dry';
    await tapped((n) => window.tesselEditor.selection.chooseLane(n, false), TAP);
    await tapper.locator('#canvas').focus();
    await tapper.keyboard.press('t');
    assert.equal(await tapped(() => window.tesselEditor.tools.tapTrack), TAP);
    await seekTo(drop + 256);
    assert.equal((await transport({ play: true })).status(), 200);
    // Two seconds of the show's messages (fewer frames when the machine is busy).
    await until(() => tapped(() => {
      const samples = window.tesselEditor.tools.clock.samples;
      return samples.length >= 8 && samples[samples.length - 1].at - samples[0].at >= 2000;
    }), 'the tapping page to measure the show')
      .catch(async (error) => {
        const state = await tapped(() => ({ n: window.tesselEditor.tools.clock.samples.length, resets: window.tesselEditor.tools.clock.resets, last: window.tesselEditor.tools.clock.last, playing: window.tesselEditor.playhead.playing, row: window.tesselEditor.row }));
        throw new Error(`${error.message}: ${JSON.stringify(state)}`);
      });
    for (let i = 0; i < 16; ++i) {
      const now = await tapped(() => window.tesselEditor.row);
      await until(() => tapped((r) => window.tesselEditor.row > r, now + 7 + (i % 5)), 'the show to play on');
      await tapper.keyboard.press('k');
    }
    const shownDelay = await tapper.locator('#tap-state').textContent();
    await pause();
    const taps = await tapped(() => window.tesselEditor.tools.taps);
    const arrivals = await editor(() => window.arrivals);
    const rps = await editor(() => window.tesselEditor.doc.rowsPerSecond);
    // The show's row at a moment, from the quickest of this page's messages
    // in the second before it.
    const truth = (at) => {
      let offset = Infinity;
      for (const [when, row, playing] of arrivals)
        if (playing && when <= at && when > at - 1000) offset = Math.min(offset, when - (row / rps) * 1000);
      return ((at - offset) / 1000) * rps;
    };
    const misses = taps.map((tap) => tap.row - Math.floor(truth(tap.pressed)));
    const late = taps.map((tap) => Math.floor(truth(tap.pressed)) - Math.floor(tap.pageRow));
    const within = misses.filter((m) => Math.abs(m) <= 1).length;
    console.log(
      [
        `Taps with push messages held in stalls of 50-250 ms (100-300 ms free between): ${taps.length} presses`,
        `  corrected: ${within} within one row (${((100 * within) / taps.length).toFixed(0)} %), misses ${misses.join(' ')}`,
        `  page's playhead alone: ${late.filter((m) => Math.abs(m) <= 1).length} within one row, behind by ${late.join(' ')}`,
        `  shown: ${shownDelay}`,
      ].join('\n'),
    );
    assert.equal(taps.length, 16);
    assert.ok(within >= 14, `taps within a row of the show's picture: ${within} of 16 (${misses.join(' ')})`);
    assert.ok(late.filter((m) => Math.abs(m) <= 1).length < within, 'the held-back messages put the page behind the show');
    await until(async () => {
      const keys = await lane(TAP);
      return taps.every((tap) => keys.some((k) => k.row === tap.row && k.value === 1));
    }, 'a key at every tap');
    await tapper.close();

    errors.length === 0 || assert.fail(errors.join('\n'));
  });
});
