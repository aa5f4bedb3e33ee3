// The static layer: the ruler (song form, beats and bars, waveform), the
// name column with its group headers, the lanes' backgrounds and the grid
// across lanes and curve view. It changes only with the view, the layout,
// the song form or the waveform, so it is drawn into an offscreen canvas.

import { SECTION_BAND, BEAT_BAND, WAVE_BAND, NAME_WIDTH } from './layout.js';
import { theme } from './theme.js';

// Beats between labels and between grid lines for this zoom.
function beatSteps(pxPerBeat) {
  const candidates = [1, 2, 4, 8, 16, 32, 64, 128];
  const label = candidates.find((s) => s * pxPerBeat >= 44) || 128;
  return { label };
}

// Vertical grid lines from x0 to x1 between top and bottom (bars, beats,
// rows as the zoom allows).
export function drawGrid(ctx, view, rowsPerBeat, top, bottom, rows) {
  const pxPerBeat = view.pxPerRow * rowsPerBeat;
  const first = Math.max(0, Math.floor(view.firstRow));
  const last = Math.min(rows, Math.ceil(view.lastRow));
  // One-pixel rectangles: much cheaper than stroked lines in software.
  const line = (row, style) => {
    ctx.fillStyle = style;
    ctx.fillRect(Math.round(view.rowToX(row)), top, 1, bottom - top);
  };
  if (view.pxPerRow >= 6) {
    for (let r = first; r <= last; ++r) if (r % rowsPerBeat) line(r, theme.rowLine);
  }
  const beatStep = pxPerBeat >= 8 ? 1 : pxPerBeat * 4 >= 6 ? 4 : 16;
  const firstBeat = Math.ceil(first / rowsPerBeat / beatStep) * beatStep;
  for (let b = firstBeat; b * rowsPerBeat <= last; b += beatStep)
    line(b * rowsPerBeat, b % 4 === 0 ? theme.barLine : theme.beatLine);
}

// The section band's clickable names: [{x0, x1, row}] filled while drawing.
export function drawRuler(ctx, view, layout, doc, peaks, marks) {
  const { x, w } = layout.ruler;
  const rpb = doc.rowsPerBeat;
  marks.length = 0;
  ctx.save();
  ctx.beginPath();
  ctx.rect(x, 0, w, layout.ruler.h);
  ctx.clip();
  ctx.fillStyle = theme.panel;
  ctx.fillRect(x, 0, w, layout.ruler.h);

  // Song form: sections as bands, cues as flags. Section names first, then
  // the cues' where they do not overlap a name already drawn.
  ctx.font = theme.smallFont;
  ctx.textBaseline = 'middle';
  let index = 0;
  for (const s of doc.sections) {
    if (s.kind !== 'section') continue;
    const x0 = view.rowToX(s.row);
    const x1 = view.rowToX(s.endRow ?? doc.rows);
    ctx.fillStyle = index++ % 2 ? theme.sectionB : theme.sectionA;
    ctx.fillRect(x0, 0, x1 - x0, SECTION_BAND);
  }
  const taken = [];
  for (const kind of ['section', 'cue']) {
    for (const s of doc.sections) {
      if ((s.kind === 'section') !== (kind === 'section')) continue;
      const x0 = view.rowToX(s.row);
      if (kind === 'cue') {
        ctx.fillStyle = theme.cue;
        ctx.fillRect(Math.round(x0), 0, 1, SECTION_BAND);
      }
      // A section that began left of the view keeps its name at the left edge.
      const sticky = kind === 'section' && x0 < x && view.rowToX(s.endRow ?? doc.rows) > x;
      const textX = (sticky ? x : x0) + 3;
      const width = ctx.measureText(s.name).width;
      const end = textX + width + 6;
      if (textX < x || x0 > x + w || taken.some(([a, b]) => textX < b && end > a)) continue;
      ctx.fillStyle = kind === 'section' ? theme.text : theme.cue;
      ctx.fillText(s.name, textX, SECTION_BAND / 2);
      marks.push({ x0: textX - 3, x1: textX + width, row: s.row, name: s.name });
      taken.push([textX - 3, end]);
    }
  }

  // Beat numbers, ticks on bars and beats.
  const pxPerBeat = view.pxPerRow * rpb;
  const { label } = beatSteps(pxPerBeat);
  const top = SECTION_BAND;
  ctx.fillStyle = theme.textDim;
  ctx.font = theme.smallFont;
  ctx.textBaseline = 'top';
  const firstBeat = Math.max(0, Math.floor(view.firstRow / rpb));
  const lastBeat = Math.min(doc.rows / rpb, Math.ceil(view.lastRow / rpb));
  for (let b = firstBeat; b <= lastBeat; ++b) {
    const bx = Math.round(view.rowToX(b * rpb)) + 0.5;
    const tall = b % 4 === 0;
    if (!tall && pxPerBeat < 5) continue;
    ctx.fillRect(bx - 0.5, top + BEAT_BAND - (tall ? 8 : 4), 1, tall ? 8 : 4);
    if (b % label === 0) ctx.fillText(String(b), bx + 2, top + 2);
  }

  // Waveform: the min and max of the rows under each pixel column.
  const waveTop = SECTION_BAND + BEAT_BAND;
  ctx.fillStyle = '#141619';
  ctx.fillRect(x, waveTop, w, WAVE_BAND);
  if (peaks && peaks.length >= 2) {
    const middle = waveTop + WAVE_BAND / 2;
    const half = WAVE_BAND / 2 - 1;
    const count = peaks.length / 2;
    ctx.fillStyle = theme.wave;
    for (let px = x; px < x + w; ++px) {
      let r0 = Math.floor(view.xToRow(px));
      const r1 = Math.max(r0, Math.floor(view.xToRow(px + 1)) - 1);
      if (r1 < 0 || r0 >= count) continue;
      r0 = Math.max(0, r0);
      let lo = 1;
      let hi = -1;
      for (let r = r0; r <= Math.min(r1, count - 1); ++r) {
        lo = Math.min(lo, peaks[2 * r]);
        hi = Math.max(hi, peaks[2 * r + 1]);
      }
      if (hi < lo) continue;
      const y0 = middle - hi * half;
      ctx.fillRect(px, y0, 1, Math.max(1, (hi - lo) * half));
    }
  }
  ctx.restore();
}

// The name column and the lanes' backgrounds with the grid.
export function drawLanes(ctx, view, layout, doc, laneSelection) {
  const { lanes } = layout;
  ctx.save();
  ctx.beginPath();
  ctx.rect(0, lanes.y, layout.width, lanes.h);
  ctx.clip();
  ctx.font = theme.font;
  ctx.textBaseline = 'middle';
  let odd = false;
  for (const e of layout.visibleEntries()) {
    if (e.kind === 'group') {
      ctx.fillStyle = theme.group;
      ctx.fillRect(0, e.y, layout.width, e.h);
      ctx.fillStyle = theme.text;
      ctx.font = theme.boldFont;
      ctx.fillText(`${e.folded ? '▸' : '▾'} ${e.name}  (${e.count})`, 6, e.y + e.h / 2);
      ctx.font = theme.font;
      odd = false;
      continue;
    }
    const selected = laneSelection.has(e.track);
    ctx.fillStyle = selected ? theme.laneSelected : odd ? theme.laneOdd : theme.laneEven;
    ctx.fillRect(0, e.y, layout.width, e.h);
    odd = !odd;
    ctx.fillStyle = doc.track(e.track)?.keys.length ? theme.text : theme.textDim;
    ctx.fillText(e.track, 16, e.y + e.h / 2);
  }
  ctx.beginPath();
  ctx.rect(lanes.x, lanes.y, lanes.w, lanes.h);
  ctx.clip();
  drawGrid(ctx, view, doc.rowsPerBeat, lanes.y, lanes.y + lanes.h, doc.rows);
  // The song's end.
  ctx.fillStyle = 'rgba(0,0,0,0.35)';
  const end = view.rowToX(doc.rows);
  if (end < lanes.x + lanes.w) ctx.fillRect(end, lanes.y, lanes.x + lanes.w - end, lanes.h);
  const start = view.rowToX(0);
  if (start > lanes.x) ctx.fillRect(lanes.x, lanes.y, start - lanes.x, lanes.h);
  ctx.restore();
  ctx.fillStyle = 'rgba(255,255,255,0.08)';
  ctx.fillRect(NAME_WIDTH - 1, lanes.y, 1, lanes.h);
}
