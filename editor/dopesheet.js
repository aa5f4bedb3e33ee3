// The dope sheet: every lane's keys, drawn by interpolation (step a square,
// linear a diamond, smooth a circle, ramp a triangle) with a line along the
// segments that interpolate, and the hit tests on them. Only the keys within
// the visible rows of the visible lanes are drawn, each copied from a small
// picture of its look.

import { findKey } from './evaluate.js';
import { theme } from './theme.js';

const SIZE = 4.5;
const HIT = 6;
const SPRITE = 12;

// Each key look drawn once into a small canvas; keys are then copied from
// it, which is far cheaper for the software rasteriser than filling one
// path of many shapes.
const sprites = new Map();
function sprite(interp, style, dpr) {
  const name = `${interp} ${style} ${dpr}`;
  let canvas = sprites.get(name);
  if (canvas) return canvas;
  canvas = document.createElement('canvas');
  canvas.width = canvas.height = Math.ceil(SPRITE * dpr);
  const ctx = canvas.getContext('2d');
  ctx.scale(dpr, dpr);
  const path = new Path2D();
  addShape(path, interp, SPRITE / 2, SPRITE / 2);
  ctx.fillStyle = style;
  ctx.fill(path);
  sprites.set(name, canvas);
  return canvas;
}

function addShape(path, interp, x, y) {
  if (interp === 'step') path.rect(x - SIZE + 0.5, y - SIZE + 0.5, 2 * SIZE - 1, 2 * SIZE - 1);
  else if (interp === 'linear') {
    path.moveTo(x, y - SIZE - 0.5);
    path.lineTo(x + SIZE + 0.5, y);
    path.lineTo(x, y + SIZE + 0.5);
    path.lineTo(x - SIZE - 0.5, y);
    path.closePath();
  } else if (interp === 'smooth') {
    path.moveTo(x + SIZE, y);
    path.arc(x, y, SIZE, 0, Math.PI * 2);
  } else if (interp === 'ramp') {
    path.moveTo(x - SIZE, y + SIZE);
    path.lineTo(x + SIZE, y + SIZE);
    path.lineTo(x, y - SIZE);
    path.closePath();
  } else path.rect(x - 2, y - 2, 4, 4);
}

// The range of key indices [first, last] whose rows lie within rows a..b,
// widened by one on each side so segments entering the view are drawn.
function visibleRange(keys, a, b) {
  const first = Math.max(0, findKey(keys, Math.floor(a)));
  const last = Math.min(keys.length - 1, findKey(keys, Math.ceil(b)) + 1);
  return [first, last];
}

// Draws the keys of every visible lane, or only of the lanes of the tracks
// in `only` (a Set) when given.
export function drawKeys(ctx, view, layout, keysOf, isSelected, dpr = 1, only = null) {
  const { lanes } = layout;
  ctx.save();
  ctx.beginPath();
  ctx.rect(lanes.x, lanes.y, lanes.w, lanes.h);
  ctx.clip();
  const margin = HIT / view.pxPerRow;
  const marks = [];
  for (const e of layout.visibleEntries()) {
    if (e.kind !== 'lane' || (only && !only.has(e.track))) continue;
    const keys = keysOf(e.track);
    if (!keys.length) continue;
    const y = Math.round(e.y + e.h / 2);
    const [first, last] = visibleRange(keys, view.firstRow - margin, view.lastRow + margin);
    for (let k = first; k <= last; ++k) {
      const key = keys[k];
      const x = Math.round(view.rowToX(key.row));
      // The segment to the next key, as a thin bar (horizontal, so a rectangle).
      const segment = k + 1 < keys.length && theme.segment[key.interp];
      if (segment) {
        ctx.fillStyle = segment;
        ctx.fillRect(x, y - 1, Math.round(view.rowToX(keys[k + 1].row)) - x, 2);
      }
      const style = isSelected(e.track, key.row) ? theme.keySelected : theme.key[key.interp] || theme.key.unknown;
      marks.push(sprite(theme.key[key.interp] ? key.interp : 'unknown', style, dpr), x, y);
    }
  }
  // Marks over every segment.
  for (let i = 0; i < marks.length; i += 3)
    ctx.drawImage(marks[i], marks[i + 1] - SPRITE / 2, marks[i + 2] - SPRITE / 2, SPRITE, SPRITE);
  ctx.restore();
}

// The key under the point, {track, row}, or null.
export function keyAtPoint(view, layout, keysOf, x, y) {
  const lane = layout.entryAt(y);
  if (!lane || lane.kind !== 'lane') return null;
  const keys = keysOf(lane.track);
  const [first, last] = visibleRange(keys, view.xToRow(x - HIT), view.xToRow(x + HIT));
  let best = null;
  let bestDistance = HIT + 0.5;
  for (let k = first; k <= last && k >= 0; ++k) {
    const d = Math.abs(view.rowToX(keys[k].row) - x);
    if (d < bestDistance) {
      bestDistance = d;
      best = { track: lane.track, row: keys[k].row };
    }
  }
  return best;
}

// Every key inside the rectangle (lanes whose middle lies in it).
export function keysInBox(view, layout, keysOf, x0, y0, x1, y1) {
  const out = [];
  const rowA = view.xToRow(Math.min(x0, x1));
  const rowB = view.xToRow(Math.max(x0, x1));
  const top = Math.min(y0, y1);
  const bottom = Math.max(y0, y1);
  for (const e of layout.visibleEntries()) {
    if (e.kind !== 'lane') continue;
    const middle = e.y + e.h / 2;
    if (middle < top || middle > bottom) continue;
    for (const key of keysOf(e.track)) if (key.row >= rowA && key.row <= rowB) out.push({ track: e.track, row: key.row });
  }
  return out;
}
