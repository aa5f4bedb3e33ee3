// The song's onsets on the grid: the list the service found (row, strength
// 0..1), a threshold below which onsets are hidden, the shown ones' ticks in
// the waveform band (taller when stronger), and lookups for seeking and
// snapping. The list is sorted by row, one onset a row.

import { SECTION_BAND, BEAT_BAND, WAVE_BAND } from './layout.js';

export class OnsetMarks {
  constructor() {
    this.all = [];
    this.threshold = 0.25;
    this.shownRows = [];
    this.allRows = [];
  }

  // body: the service's {rowsPerBeat, threshold, onsets: [{row, strength}]}.
  load(body) {
    const list = Array.isArray(body?.onsets) ? body.onsets : [];
    this.all = list
      .filter((o) => Number.isInteger(o.row) && typeof o.strength === 'number')
      .sort((a, b) => a.row - b.row);
    if (typeof body?.threshold === 'number') this.threshold = body.threshold;
    this.update();
  }

  setThreshold(value) {
    this.threshold = Math.min(1, Math.max(0, Number(value) || 0));
    this.update();
  }

  update() {
    this.allRows = this.all.map((o) => o.row);
    this.shownRows = this.all.filter((o) => o.strength >= this.threshold).map((o) => o.row);
  }

  // The first shown onset after row, or null.
  next(row) {
    const i = firstAbove(this.shownRows, row);
    return i < this.shownRows.length ? this.shownRows[i] : null;
  }

  // The last shown onset before row, or null.
  previous(row) {
    const i = firstAtOrAbove(this.shownRows, row) - 1;
    return i >= 0 ? this.shownRows[i] : null;
  }

  // The shown onset nearest row if it lies within `rows`, else null.
  nearest(row, rows) {
    const i = firstAtOrAbove(this.shownRows, row);
    let best = null;
    for (const j of [i - 1, i]) {
      const at = this.shownRows[j];
      if (at === undefined || Math.abs(at - row) > rows) continue;
      if (best === null || Math.abs(at - row) < Math.abs(best - row)) best = at;
    }
    return best;
  }

  // The shown onsets in [from, to].
  within(from, to) {
    const out = [];
    for (let i = firstAtOrAbove(this.shownRows, from); i < this.shownRows.length && this.shownRows[i] <= to; ++i)
      out.push(this.shownRows[i]);
    return out;
  }

  // Ticks from the bottom of the waveform band, one pixel wide.
  draw(ctx, view, colour) {
    const bottom = SECTION_BAND + BEAT_BAND + WAVE_BAND;
    ctx.fillStyle = colour;
    const first = view.firstRow - 1;
    const last = view.lastRow + 1;
    let previousX = -Infinity;
    for (let i = firstAtOrAbove(this.allRows, first); i < this.all.length; ++i) {
      const o = this.all[i];
      if (o.row > last) break;
      if (o.strength < this.threshold) continue;
      const x = Math.round(view.rowToX(o.row));
      const h = Math.max(3, Math.round(o.strength * (WAVE_BAND - 2)));
      if (x === previousX) continue; // zoomed out, one tick a column
      previousX = x;
      ctx.fillRect(x, bottom - h, 1, h);
    }
  }
}

function firstAtOrAbove(sorted, row) {
  let lo = 0;
  let hi = sorted.length;
  while (lo < hi) {
    const mid = (lo + hi) >> 1;
    if (sorted[mid] < row) lo = mid + 1;
    else hi = mid;
  }
  return lo;
}

function firstAbove(sorted, row) {
  let lo = 0;
  let hi = sorted.length;
  while (lo < hi) {
    const mid = (lo + hi) >> 1;
    if (sorted[mid] <= row) lo = mid + 1;
    else hi = mid;
  }
  return lo;
}
