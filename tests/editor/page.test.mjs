// The editor page against the real tessel-author on a private Xvfb, on a
// scratch copy of the show's source: it loads the 28 tracks; Space pauses;
// a click on the ruler seeks the show; a key is added by double-click,
// dragged, given an interpolation and a typed value (a "Fade" key at 1
// turns the show's window black); undo and redo walk the one history, a
// drag being one step; two keys are box-selected and moved at once, copied
// and pasted at the playhead. After each step the page, a second page,
// /api/show and the source file (compiled again) hold the same tracks.
// A source saved by a text editor reaches the page; one that does not
// compile shows its message until it compiles again. A page whose
// connection is lost says so, reconnects by itself and catches up.

import test from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import {
  env, startShowAndPage, windowLit, until, compiledTracks, withScreenshot,
} from './support.mjs';

const source = fs.readFileSync(`${env.sourceDir}/production/show.sync`, 'utf8');

// {track: [{row, value, interp}]} without key-less tracks, values as floats.
function normal(tracks) {
  const out = {};
  for (const t of tracks)
    if (t.keys.length) out[t.name] = t.keys.map((k) => ({ row: k.row, value: Math.fround(k.value), interp: k.interp }));
  return out;
}

test('editing the show from the page', async (t) => {
  const { xvfb, author, context, page, errors, editor } = await startShowAndPage(t, source);
  const pageTracks = (p = page) => p.evaluate(() => ({
    revision: window.tesselEditor.doc.revision,
    tracks: window.tesselEditor.doc.tracks.map((t) => ({ name: t.name, keys: t.keys })),
  }));
  const apiShow = async () => (await page.request.get(`${author.origin}/api/show`)).json();
  let second = null;

  // The page, a second page, the service and the file agree; returns the
  // page's tracks.
  async function agree(what) {
    return until(async () => {
      const shown = await pageTracks();
      const other = await pageTracks(second);
      const service = await apiShow();
      if (shown.revision !== service.revision || other.revision !== service.revision) return null;
      const mine = normal(shown.tracks);
      try {
        assert.deepEqual(normal(other.tracks), mine);
        assert.deepEqual(normal(service.tracks), mine);
        assert.deepEqual(compiledTracks(author.source, author.sections), mine);
      } catch (error) {
        return null;
      }
      return mine;
    }, `page, second page, /api/show and ${author.source} to agree after: ${what}`);
  }
  const keyAt = async (track, row) => (await editor(([t, r]) => window.tesselEditor.doc.keyAt(t, r), [track, row]));
  const point = (track, row) => editor(([t, r]) => window.tesselEditor.keyPoint(t, r), [track, row]);
  const dragged = () => until(() => editor(() => window.tesselEditor.drag === null), 'the drag to settle');
  async function drag(from, to) {
    await page.mouse.move(from.x, from.y);
    await page.mouse.down();
    await page.mouse.move(to.x, to.y, { steps: 12 });
    await page.mouse.up();
    await dragged();
  }
  const showsPicture = () => until(() => (windowLit(xvfb.display) ?? 0) > 0.05, 'a picture in the show window');
  const showsBlack = () => until(() => windowLit(xvfb.display) === 0, 'a black show window');

  await withScreenshot(page, 'editing', async () => {
    await page.goto(author.url);
    await until(() => editor(() => window.tesselEditor?.firstPictureMs != null), 'the first picture');
    second = await context.newPage();
    await second.goto(`${author.origin}/`);
    await until(() => second.evaluate(() => window.tesselEditor?.doc != null), 'the second page');

    // The show's 28 tracks, every one in a lane.
    const loaded = await agree('loading');
    const names = await editor(() => window.tesselEditor.doc.tracks.map((t) => t.name));
    assert.equal(names.length, 28);
    assert.equal(await editor(() => window.tesselEditor.layout.laneOf.size), 28);
    assert.equal(Object.keys(loaded).length, 28);

    if (process.env.TESSEL_EDITOR_PICTURE) {
      // Tall enough for every lane and the curves of three of them.
      await page.setViewportSize({ width: 1280, height: 1000 });
      await editor(() => {
        const e = window.tesselEditor;
        for (const lane of ['Camera Distance', 'Camera Yaw', 'Fade']) e.selection.chooseLane(lane, true);
        e.invalidate(true);
      });
      await until(() => editor(() => !window.tesselEditor.contentDirty), 'the curves');
      const stripDrawn = () => {
        const strip = window.tesselEditor.filmstrip;
        return strip.off || (strip.frames.size > 0 && [...strip.frames.values()].every((f) => f.bitmap && !f.drawing));
      };
      await until(() => editor(stripDrawn), 'the filmstrip', 240);
      await page.screenshot({ path: process.env.TESSEL_EDITOR_PICTURE });
      await page.setViewportSize({ width: 1280, height: 800 });
      await editor(() => {
        window.tesselEditor.selection.lanes.clear();
        window.tesselEditor.invalidate(true);
      });
    }

    // Space pauses; a click on the ruler seeks the show there (the tunnel).
    const playing = (await apiShow()).position.playing;
    await page.keyboard.press('Space');
    await until(async () => (await apiShow()).position.playing === !playing, 'Space to toggle the show');
    if (!playing) {
      await page.keyboard.press('Space');
      await until(async () => !(await apiShow()).position.playing, 'the show to pause');
    }
    // (Whole pixels: the page's mouse events carry whole client coordinates.)
    const rowAt = (x) => editor((px) => window.tesselEditor.view.xToRow(px - window.tesselEditor.canvas.getBoundingClientRect().left), x);
    const ruler = await editor(() => window.tesselEditor.rulerPoint(150 * 16));
    ruler.x = Math.round(ruler.x);
    await page.mouse.click(ruler.x, ruler.y);
    const clicked = await rowAt(ruler.x);
    const P = Math.floor(clicked);
    await until(async () => Math.floor((await apiShow()).position.row) === P, 'the show to move to the clicked row');
    await showsPicture();

    // Zoom in around the playhead: a beat 40 pixels wide.
    const at = await editor((r) => window.tesselEditor.keyPoint('Fade', r), P);
    await page.mouse.move(at.x, at.y);
    await page.keyboard.down('Control');
    while ((await editor(() => window.tesselEditor.view.pxPerRow)) < 2.5) await page.mouse.wheel(0, -200);
    await page.keyboard.up('Control');

    // A key by double-click, with the curve's present value (Fade is 0 here).
    const added = await point('Fade', P + 48);
    await page.mouse.dblclick(added.x, added.y);
    await until(() => keyAt('Fade', P + 48), 'the new key');
    let tracks = await agree('adding a key');
    assert.deepEqual(tracks.Fade.find((k) => k.row === P + 48), { row: P + 48, value: 0, interp: 'step' });

    // Dragged 48 rows earlier, onto the playhead.
    await drag(added, await point('Fade', P));
    tracks = await agree('dragging the key');
    assert.ok(tracks.Fade.some((k) => k.row === P) && !tracks.Fade.some((k) => k.row === P + 48));

    // 2 makes it linear; Enter, "1", Enter makes it 1: the show goes black.
    await page.keyboard.press('2');
    await until(async () => (await keyAt('Fade', P))?.interp === 'linear', 'the interpolation');
    await agree('the interpolation');
    await page.keyboard.press('Enter');
    await page.keyboard.type('1');
    await page.keyboard.press('Enter');
    await until(async () => (await keyAt('Fade', P))?.value === 1, 'the typed value');
    tracks = await agree('typing the value');
    assert.deepEqual(tracks.Fade.find((k) => k.row === P), { row: P, value: 1, interp: 'linear' });
    await showsBlack();

    // Undo and redo through the one history: the value, then the
    // interpolation, then the whole drag in one step, then the new key.
    await page.keyboard.press('Control+z');
    await until(async () => (await keyAt('Fade', P))?.value === 0, 'undo of the value');
    await agree('undo');
    await showsPicture();
    await page.keyboard.press('Control+Shift+z');
    await until(async () => (await keyAt('Fade', P))?.value === 1, 'redo of the value');
    await agree('redo');
    await showsBlack();
    await page.keyboard.press('Control+z');
    await until(async () => (await keyAt('Fade', P))?.value === 0, 'undo again');
    await page.keyboard.press('Control+z');
    await until(async () => (await keyAt('Fade', P))?.interp === 'step', 'undo of the interpolation');
    await page.keyboard.press('Control+z');
    await until(async () => (await keyAt('Fade', P + 48)) && !(await keyAt('Fade', P)), 'undo of the whole drag');
    await agree('undoing the drag');
    await page.keyboard.press('Control+z');
    await until(async () => !(await keyAt('Fade', P + 48)), 'undo of the new key');
    tracks = await agree('undoing the new key');
    assert.deepEqual(tracks, loaded, 'four undos bring the show back as it was');
    await page.keyboard.press('Control+y');
    await until(() => keyAt('Fade', P + 48), 'redo with Ctrl+Y');
    await agree('redo with Ctrl+Y');
    await showsPicture();

    // Two keys in two neighbouring lanes, box-selected and moved together.
    const lanes = await editor(() => window.tesselEditor.layout.entries.filter((e) => e.kind === 'lane').map((e) => e.track));
    const below = lanes[lanes.indexOf('Fade') + 1];
    await page.mouse.dblclick((await point(below, P + 56)).x, (await point(below, P + 56)).y);
    await until(() => keyAt(below, P + 56), 'the second key');
    const a = await point('Fade', P + 48);
    const b = await point(below, P + 56);
    const rowWidth = await editor(() => window.tesselEditor.view.pxPerRow);
    // From empty space up and left of one key to down and right of the other.
    await page.mouse.move(a.x - 4 * rowWidth, a.y - 7);
    await page.mouse.down();
    await page.mouse.move(b.x + 4 * rowWidth, b.y + 7, { steps: 6 });
    await page.mouse.up();
    const selected = await editor(() => window.tesselEditor.selection.list());
    assert.deepEqual(selected.sort((x, y) => x.row - y.row), [{ track: 'Fade', row: P + 48 }, { track: below, row: P + 56 }]);
    await drag(a, await point('Fade', P + 64));
    tracks = await agree('moving two keys');
    assert.ok(tracks.Fade.some((k) => k.row === P + 64) && tracks[below].some((k) => k.row === P + 72));
    assert.ok(!tracks.Fade.some((k) => k.row === P + 48) && !tracks[below].some((k) => k.row === P + 56));

    // Copied, and pasted at the playhead after a seek: same tracks, same spacing.
    await page.keyboard.press('Control+c');
    const later = await editor((r) => window.tesselEditor.rulerPoint(r), P + 160);
    later.x = Math.round(later.x);
    await page.mouse.click(later.x, later.y);
    const Q = Math.floor(await rowAt(later.x));
    await until(async () => Math.floor((await apiShow()).position.row) === Q, 'the seek before pasting');
    await page.keyboard.press('Control+v');
    await until(async () => (await keyAt('Fade', Q)) && (await keyAt(below, Q + 8)), 'the pasted keys');
    tracks = await agree('pasting');
    assert.equal(tracks.Fade.find((k) => k.row === Q).value, tracks.Fade.find((k) => k.row === P + 64).value);

    // A text editor's save reaches the page; a broken one shows its message.
    const text = fs.readFileSync(author.source, 'utf8');
    const saved = text.replace(/^(track Fade\n.*\n  8 +)0$/m, '$10.25');
    assert.notEqual(saved, text);
    fs.writeFileSync(author.source, saved);
    await until(async () => (await keyAt('Fade', 128))?.value === 0.25 || null, 'the saved key in the page');
    await agree('a save from a text editor');
    fs.writeFileSync(author.source, `${text}\ntrack Fade\n  nowhere 1\n`);
    const banner = await until(async () => {
      const shown = await page.locator('#banner').textContent();
      return /show\.sync:\d+:\d+: /.test(shown) ? shown : null;
    }, 'the compile error in the page');
    assert.match(banner, /show\.sync:\d+:\d+: /);
    fs.writeFileSync(author.source, text);
    await until(() => page.locator('#banner').isHidden(), 'the banner to go once it compiles');
    await agree('the source restored');

    // A lost connection shows a banner; the page reconnects by itself, takes
    // in what changed while it was away and hears of changes again.
    let cut = false;
    const channels = [];
    const third = await context.newPage();
    third.on('pageerror', (e) => errors.push(e.message));
    await third.routeWebSocket(/\/api\/live$/, (ws) => {
      if (cut) return ws.close();
      ws.connectToServer();
      channels.push(ws);
    });
    await third.goto(`${author.origin}/`);
    const thirdKey = (row) => third.evaluate((r) => window.tesselEditor.doc?.keyAt('Fade', r), row);
    await until(() => third.evaluate(() => window.tesselEditor?.connected === true), 'the third page to connect');
    cut = true;
    for (const ws of channels.splice(0)) await ws.close();
    await until(async () => /lost/.test(await third.locator('#banner').textContent()), 'the lost-connection banner');
    const edit = (row) => page.request.post(`${author.origin}/api/edit`, {
      headers: { Origin: author.origin },
      data: { ops: [{ op: 'set', track: 'Fade', row, value: 0.5, interp: 'linear' }] },
    });
    assert.equal((await edit(P + 200)).status(), 200);
    cut = false;
    await until(async () => channels.length > 0 && (await third.locator('#banner').isHidden()), 'the page to reconnect');
    await until(async () => (await thirdKey(P + 200))?.value === 0.5, 'the edit made while the page was away');
    assert.equal((await edit(P + 216)).status(), 200);
    await until(async () => (await thirdKey(P + 216))?.value === 0.5, 'an edit pushed after reconnecting');
    await agree('edits from a script');
    assert.deepEqual(errors, [], 'no script errors in the page');
  });
});
