// What the mouse does on the canvas: seeking, loop regions and panning on
// the ruler; choosing lanes and folding groups in the name column; selecting,
// box-selecting, dragging and adding keys in the lanes and the curve view;
// the wheel pans, scrolls the lanes and (with Ctrl) zooms.

import { NAME_WIDTH } from './layout.js';
import { keyAtPoint, keysInBox } from './dopesheet.js';
import { KeyDrag } from './drag.js';
import { addKeyOps } from './edits.js';

const DRAG_START = 3; // pixels before a press becomes a drag
const LEAN = 6; // pixels before a curve drag locks to one axis
const SNAP_PIXELS = 6; // how near a shown onset pulls a dragged key

export function attachPointer(editor, openEditor) {
  const canvas = editor.canvas;
  let gesture = null;

  const local = (event) => {
    const r = canvas.getBoundingClientRect();
    return { x: event.clientX - r.left, y: event.clientY - r.top };
  };
  const snapRow = (x, beats) => {
    const row = Math.round(editor.view.xToRow(x));
    const rpb = editor.doc.rowsPerBeat;
    return beats ? Math.round(row / rpb) * rpb : row;
  };
  const keysOf = (t) => editor.keysOf(t);
  const hitKey = (region, p) =>
    region === 'curve'
      ? editor.curve.keyAtPoint(editor.view, keysOf, p.x, p.y)
      : keyAtPoint(editor.view, editor.layout, keysOf, p.x, p.y);

  canvas.addEventListener('pointerdown', (event) => {
    if (!editor.doc || gesture) return;
    canvas.focus();
    const p = local(event);
    const region = editor.layout.regionAt(p.x, p.y);
    const additive = event.shiftKey || event.ctrlKey || event.metaKey;
    gesture = { start: p, last: p, region, moved: false, button: event.button };
    canvas.setPointerCapture(event.pointerId);

    const seekRegion = region === 'ruler-wave' || region === 'ruler-film' || region === 'ruler-sections';
    if (event.button === 1 || (event.button === 0 && seekRegion)) {
      gesture.kind = 'pan';
      gesture.mark = region === 'ruler-sections' ? editor.marks.find((m) => p.x >= m.x0 && p.x <= m.x1) : null;
    } else if (event.button !== 0) {
      gesture = null;
    } else if (region === 'ruler-beats') {
      if (event.shiftKey) {
        gesture.kind = 'loop';
        const row = snapRow(p.x, true);
        editor.loopDraft = [row, row];
      } else {
        gesture.kind = 'seek';
        editor.seek(Math.max(0, editor.view.xToRow(p.x)));
      }
    } else if (region === 'names') {
      const entry = editor.layout.entryAt(p.y);
      if (entry && entry.kind === 'group') {
        if (editor.layout.folded.has(entry.name)) editor.layout.folded.delete(entry.name);
        else editor.layout.folded.add(entry.name);
        editor.resize();
      } else if (entry) {
        editor.selection.chooseLane(entry.track, additive);
        editor.invalidate(true);
      }
      gesture = null;
    } else if (region === 'lanes' || region === 'curve') {
      const hit = hitKey(region, p);
      if (hit) {
        if (additive) editor.selection.toggle(hit);
        else if (!editor.selection.has(hit.track, hit.row)) editor.selection.set([hit]);
        else editor.selection.primary = hit;
        gesture.kind = editor.selection.has(hit.track, hit.row) ? 'press-key' : 'none';
        gesture.hit = hit;
        gesture.additive = additive;
      } else {
        gesture.kind = 'box';
        gesture.additive = additive;
        gesture.before = additive ? editor.selection.list() : [];
      }
      editor.invalidate(false);
    } else {
      gesture = null;
    }
  });

  canvas.addEventListener('pointermove', (event) => {
    if (!gesture) return;
    const p = local(event);
    const dx = p.x - gesture.start.x;
    const dy = p.y - gesture.start.y;
    if (!gesture.moved && Math.hypot(dx, dy) < DRAG_START) return;
    gesture.moved = true;
    editor.pointerBusy = true;
    switch (gesture.kind) {
      case 'pan':
        editor.view.panPixels(p.x - gesture.last.x);
        editor.invalidate(true);
        break;
      case 'seek':
        editor.seek(Math.max(0, editor.view.xToRow(p.x)));
        break;
      case 'loop':
        editor.loopDraft = [editor.loopDraft[0], snapRow(p.x, true)];
        editor.requestFrame();
        break;
      case 'box':
        updateBox(p, event);
        break;
      case 'press-key':
        startDrag(event);
      // falls through: the first move already moves the keys
      case 'drag':
        moveDrag(p, event);
        break;
      default:
        break;
    }
    gesture.last = p;
  });

  function updateBox(p) {
    editor.box = { x0: gesture.start.x, y0: gesture.start.y, x1: p.x, y1: p.y };
    const inBox =
      gesture.region === 'curve'
        ? editor.curve.keysInBox(editor.view, keysOf, gesture.start.x, gesture.start.y, p.x, p.y)
        : keysInBox(editor.view, editor.layout, keysOf, gesture.start.x, gesture.start.y, p.x, p.y);
    editor.selection.set([...gesture.before, ...inBox]);
    editor.invalidate(false);
  }

  function startDrag() {
    const drag = new KeyDrag(editor.doc, editor.selection.list());
    gesture.kind = 'drag';
    gesture.axis = gesture.region === 'curve' ? null : 'time';
    gesture.primary = editor.selection.primary || gesture.hit;
    if (drag.empty) return;
    editor.drag = drag;
    if (gesture.region === 'curve') editor.curve.frozen = true;
  }

  function moveDrag(p, event) {
    const drag = editor.drag;
    if (!drag) return;
    const dx = p.x - gesture.start.x;
    const dy = p.y - gesture.start.y;
    if (!gesture.axis && Math.hypot(dx, dy) >= LEAN) gesture.axis = Math.abs(dx) >= Math.abs(dy) ? 'time' : 'value';
    let rows = gesture.axis === 'value' ? 0 : dx / editor.view.pxPerRow;
    const onset =
      editor.snapOnsets && gesture.axis !== 'value'
        ? editor.onsets.nearest(gesture.primary.row + rows, SNAP_PIXELS / editor.view.pxPerRow)
        : null;
    if (onset !== null) rows = onset - gesture.primary.row;
    else if (event.shiftKey && gesture.axis !== 'value') {
      const rpb = editor.doc.rowsPerBeat;
      const from = gesture.primary.row;
      rows = Math.round((from + rows) / rpb) * rpb - from;
    }
    let value = 0;
    if (gesture.region === 'curve' && gesture.axis !== 'time') {
      const perPixel = editor.curve.valuePerPixel;
      const unit = Math.pow(10, Math.floor(Math.log10(perPixel)));
      value = Math.round((-dy * perPixel) / unit) * unit;
    }
    drag.setTarget(rows, value);
    editor.selection.set(drag.positions());
    editor.invalidateTracks(drag.tracks.keys());
  }

  const finish = (event) => {
    if (!gesture) return;
    const g = gesture;
    gesture = null;
    editor.pointerBusy = false;
    if (canvas.hasPointerCapture(event.pointerId)) canvas.releasePointerCapture(event.pointerId);
    if (g.kind === 'pan' && !g.moved) {
      if (g.mark) editor.seek(g.mark.row);
      else if (g.region === 'ruler-wave' || g.region === 'ruler-film') editor.seek(Math.max(0, editor.view.xToRow(g.start.x)));
    } else if (g.kind === 'loop') {
      const [a, b] = editor.loopDraft;
      editor.loopDraft = null;
      if (a !== b) {
        editor.lastLoop = [Math.min(a, b), Math.max(a, b)];
        editor.transport({ loop: editor.lastLoop });
      }
      editor.requestFrame();
    } else if (g.kind === 'press-key' && !g.moved && !g.additive) {
      editor.selection.set([g.hit]);
      editor.invalidate(false);
    } else if (g.kind === 'box') {
      if (!g.moved && !g.additive) editor.selection.clear();
      editor.box = null;
      editor.invalidate(false);
    } else if (g.kind === 'drag' && editor.drag) {
      editor.drag.finished = true;
      if (!editor.drag.pending) editor.endDrag();
      else editor.requestFrame();
    }
  };
  canvas.addEventListener('pointerup', finish);
  canvas.addEventListener('pointercancel', finish);

  canvas.addEventListener('dblclick', (event) => {
    if (!editor.doc) return;
    const p = local(event);
    const region = editor.layout.regionAt(p.x, p.y);
    if (region !== 'lanes' && region !== 'curve') return;
    const hit = hitKey(region, p);
    if (hit) {
      editor.selection.set([hit]);
      editor.invalidate(false);
      openEditor(hit);
      return;
    }
    const row = snapRow(p.x, event.shiftKey);
    let track = null;
    if (region === 'lanes') {
      const entry = editor.layout.entryAt(p.y);
      track = entry && entry.kind === 'lane' ? entry.track : null;
    } else {
      track = editor.curve.nearestTrack(keysOf, row, p.y);
    }
    if (!track) return;
    const ops = addKeyOps(editor.doc, track, row);
    editor.edit(ops, { select: [{ track, row }] });
  });

  canvas.addEventListener(
    'wheel',
    (event) => {
      if (!editor.doc) return;
      event.preventDefault();
      const p = local(event);
      const scale = event.deltaMode === 1 ? 16 : event.deltaMode === 2 ? 400 : 1;
      if (event.ctrlKey || event.metaKey) {
        editor.view.zoomAt(Math.max(NAME_WIDTH, p.x), Math.exp(-event.deltaY * scale * 0.002));
        editor.invalidate(true);
      } else if (editor.layout.regionAt(p.x, p.y) === 'names') {
        if (editor.layout.scrollBy(event.deltaY * scale)) editor.resize();
      } else {
        editor.view.panPixels(-(event.deltaX || event.deltaY) * scale);
        editor.invalidate(true);
      }
    },
    { passive: false },
  );
}
