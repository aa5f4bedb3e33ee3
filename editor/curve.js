// The curve view: the value of each chosen lane over the visible rows,
// drawn exactly as the player evaluates it (whole rows; a staircase when a
// row is wider than a pixel, each pixel column's lowest to highest value
// otherwise), on a value axis fitted to what is visible, with the keys as
// points and their values written beside them.

import { valueAt, rangeOver, keyValue, findKey } from './evaluate.js';
import { formatValue } from './model.js';
import { drawGrid } from './ruler.js';
import { NAME_WIDTH } from './layout.js';
import { theme } from './theme.js';

const PAD = 14;
const HIT = 7;
const LINE = 1.5; // the curve's thickness

// Tick spacing of about `count` steps over span: 1, 2 or 5 times a power of ten.
function niceStep(span, count) {
  const raw = span / count;
  const power = Math.pow(10, Math.floor(Math.log10(raw)));
  const unit = raw / power;
  return (unit < 1.5 ? 1 : unit < 3.5 ? 2 : unit < 7.5 ? 5 : 10) * power;
}

export class CurveView {
  constructor() {
    this.lo = 0;
    this.hi = 1;
    this.frozen = false; // the axis stays put while keys are dragged in value
    this.rect = { x: 0, y: 0, w: 1, h: 1 };
    this.tracks = [];
  }

  valueToY(value) {
    const { y, h } = this.rect;
    return y + PAD + ((this.hi - value) / (this.hi - this.lo)) * (h - 2 * PAD);
  }

  yToValue(py) {
    const { y, h } = this.rect;
    return this.hi - ((py - y - PAD) / (h - 2 * PAD)) * (this.hi - this.lo);
  }

  // Value per pixel, for turning a vertical drag into a value change.
  get valuePerPixel() {
    return (this.hi - this.lo) / Math.max(1, this.rect.h - 2 * PAD);
  }

  // Samples every curve over the visible columns: {track, keys, lo[], hi[]}.
  sample(view, keysOf) {
    const columns = Math.max(1, Math.ceil(this.rect.w));
    return this.tracks.map((track) => {
      const keys = keysOf(track);
      const lo = new Float64Array(columns);
      const hi = new Float64Array(columns);
      const end = new Float64Array(columns); // the value at the column's last row
      for (let c = 0; c < columns; ++c) {
        const x = this.rect.x + c;
        const r0 = Math.floor(view.xToRow(x));
        const r1 = Math.max(r0, Math.ceil(view.xToRow(x + 1)) - 1);
        const [a, b] = r1 - r0 > 256 ? [valueAt(keys, r0), valueAt(keys, r0)] : rangeOver(keys, r0, r1);
        lo[c] = a;
        hi[c] = b;
        end[c] = valueAt(keys, r1);
      }
      return { track, keys, lo, hi, end };
    });
  }

  // Fits the value axis to the sampled curves and the visible keys' values.
  fit(samples, view) {
    if (this.frozen) return;
    let lo = Infinity;
    let hi = -Infinity;
    for (const s of samples) {
      for (let c = 0; c < s.lo.length; ++c) {
        if (s.lo[c] < lo) lo = s.lo[c];
        if (s.hi[c] > hi) hi = s.hi[c];
      }
      for (const key of s.keys) {
        const v = keyValue(key);
        if (key.row >= view.firstRow && key.row <= view.lastRow && Number.isFinite(v)) {
          lo = Math.min(lo, v);
          hi = Math.max(hi, v);
        }
      }
    }
    if (!Number.isFinite(lo) || !Number.isFinite(hi)) [lo, hi] = [0, 1];
    if (hi - lo < 1e-9) [lo, hi] = [lo - 1, hi + 1];
    const margin = (hi - lo) * 0.06;
    this.lo = lo - margin;
    this.hi = hi + margin;
  }

  draw(ctx, view, keysOf, isSelected, rowsPerBeat, rows) {
    const { x, y, w, h } = this.rect;
    ctx.save();
    ctx.fillStyle = theme.background;
    ctx.fillRect(0, y, x + w, h);
    ctx.fillStyle = theme.panel;
    ctx.fillRect(0, y, NAME_WIDTH, h);
    if (!this.tracks.length) {
      ctx.fillStyle = theme.textDim;
      ctx.font = theme.font;
      ctx.textBaseline = 'middle';
      ctx.fillText('Click a lane’s name (Shift or Ctrl for more) or select keys to see their curves here.', x + 12, y + h / 2);
      ctx.restore();
      return;
    }
    const samples = this.sample(view, keysOf);
    this.fit(samples, view);

    ctx.beginPath();
    ctx.rect(0, y, x + w, h);
    ctx.clip();
    // Value grid with its labels in the name column.
    const step = niceStep(this.hi - this.lo, Math.max(2, h / 40));
    ctx.font = theme.smallFont;
    ctx.textBaseline = 'middle';
    ctx.textAlign = 'right';
    for (let v = Math.ceil(this.lo / step) * step; v <= this.hi; v += step) {
      const vy = Math.round(this.valueToY(v)) + 0.5;
      ctx.fillStyle = 'rgba(255,255,255,0.06)';
      ctx.fillRect(x, vy - 0.5, w, 1);
      ctx.fillStyle = theme.textDim;
      ctx.fillText(formatValue(Number(v.toPrecision(6))), NAME_WIDTH - 6, vy);
    }
    ctx.textAlign = 'left';
    ctx.beginPath();
    ctx.rect(x, y, w, h);
    ctx.clip();
    drawGrid(ctx, view, rowsPerBeat, y, y + h, rows);

    samples.forEach((s, index) => {
      const colour = theme.curves[index % theme.curves.length];
      ctx.fillStyle = colour;
      if (view.pxPerRow >= 1) this.traceRows(ctx, view, s.keys);
      else this.traceColumns(ctx, s);
      this.drawPoints(ctx, view, s.keys, s.track, colour, isSelected);
    });

    // Legend.
    ctx.font = theme.font;
    ctx.textBaseline = 'top';
    let lx = x + 8;
    samples.forEach((s, index) => {
      ctx.fillStyle = theme.curves[index % theme.curves.length];
      ctx.fillText(s.track, lx, y + 4);
      lx += ctx.measureText(s.track).width + 16;
    });
    ctx.restore();
  }

  // One horizontal step per whole row, as the player holds each row's
  // value, joined by vertical risers; all rectangles, which the software
  // rasteriser fills far faster than a stroked line.
  traceRows(ctx, view, keys) {
    const first = Math.floor(view.firstRow);
    const last = Math.ceil(view.lastRow);
    let previous = null;
    for (let r = first; r <= last; ++r) {
      const v = valueAt(keys, r);
      if (!Number.isFinite(v)) {
        previous = null;
        continue;
      }
      const y = this.valueToY(v);
      const x0 = view.rowToX(r);
      ctx.fillRect(x0, y - LINE / 2, view.rowToX(r + 1) - x0, LINE);
      if (previous !== null && previous !== y)
        ctx.fillRect(x0 - LINE / 2, Math.min(previous, y) - LINE / 2, LINE, Math.abs(previous - y) + LINE);
      previous = y;
    }
  }

  // Each pixel column from its lowest to its highest row value, reaching
  // back to where the column before ended.
  traceColumns(ctx, s) {
    let previous = null;
    for (let c = 0; c < s.lo.length; ++c) {
      if (!Number.isFinite(s.lo[c])) {
        previous = null;
        continue;
      }
      const y0 = this.valueToY(s.hi[c]);
      const y1 = this.valueToY(s.lo[c]);
      const top = previous === null ? y0 : Math.min(y0, previous);
      const bottom = previous === null ? y1 : Math.max(y1, previous);
      ctx.fillRect(this.rect.x + c, top - LINE / 2, 1, bottom - top + LINE);
      previous = this.valueToY(s.end[c]);
    }
  }

  drawPoints(ctx, view, keys, track, colour, isSelected) {
    const first = Math.max(0, findKey(keys, Math.floor(view.firstRow)));
    const last = Math.min(keys.length - 1, findKey(keys, Math.ceil(view.lastRow)) + 1);
    ctx.font = theme.smallFont;
    ctx.textBaseline = 'bottom';
    let free = -Infinity;
    for (let k = first; k <= last; ++k) {
      const key = keys[k];
      const v = keyValue(key);
      if (!Number.isFinite(v)) continue;
      const px = view.rowToX(key.row);
      const py = this.valueToY(v);
      const selected = isSelected(track, key.row);
      ctx.fillStyle = selected ? theme.keySelected : colour;
      ctx.beginPath();
      ctx.arc(px, py, selected ? 4.5 : 3.5, 0, Math.PI * 2);
      ctx.fill();
      const label = formatValue(key.value);
      if (px >= free) {
        ctx.fillStyle = theme.text;
        ctx.fillText(label, px + 5, py - 3);
        free = px + 5 + ctx.measureText(label).width + 4;
      }
    }
  }

  // The key point under (px, py), {track, row}, or null.
  keyAtPoint(view, keysOf, px, py) {
    let best = null;
    let bestDistance = HIT;
    for (const track of this.tracks) {
      const keys = keysOf(track);
      const first = Math.max(0, findKey(keys, Math.floor(view.xToRow(px - HIT))));
      const last = Math.min(keys.length - 1, findKey(keys, Math.ceil(view.xToRow(px + HIT))) + 1);
      for (let k = first; k <= last; ++k) {
        const v = keyValue(keys[k]);
        if (!Number.isFinite(v)) continue;
        const d = Math.hypot(view.rowToX(keys[k].row) - px, this.valueToY(v) - py);
        if (d < bestDistance) {
          bestDistance = d;
          best = { track, row: keys[k].row };
        }
      }
    }
    return best;
  }

  // Every key point inside the rectangle.
  keysInBox(view, keysOf, x0, y0, x1, y1) {
    const out = [];
    const [left, right] = [Math.min(x0, x1), Math.max(x0, x1)];
    const [top, bottom] = [Math.min(y0, y1), Math.max(y0, y1)];
    for (const track of this.tracks)
      for (const key of keysOf(track)) {
        const px = view.rowToX(key.row);
        const py = this.valueToY(keyValue(key));
        if (px >= left && px <= right && py >= top && py <= bottom) out.push({ track, row: key.row });
      }
    return out;
  }

  // The curve nearest to py at row, for a double-click that adds a key.
  nearestTrack(keysOf, row, py) {
    let best = null;
    let bestDistance = Infinity;
    for (const track of this.tracks) {
      const d = Math.abs(this.valueToY(valueAt(keysOf(track), row)) - py);
      if (d < bestDistance) {
        bestDistance = d;
        best = track;
      }
    }
    return best;
  }
}
