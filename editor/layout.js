// Where everything sits on the canvas, in CSS pixels: the name column on the
// left; on the right the ruler (section band, beat band, waveform), the
// lanes grouped and foldable, and the curve view below them. Lanes scroll
// vertically when they do not fit.

import { groupTracks } from './groups.js';

export const NAME_WIDTH = 220;
export const SECTION_BAND = 18;
export const BEAT_BAND = 20;
export const WAVE_BAND = 30;
// The filmstrip's band (filmstrip.js), the ruler's lowest.
export const FILM_BAND = 40;
export const FILM_TOP = SECTION_BAND + BEAT_BAND + WAVE_BAND;
export const RULER_HEIGHT = FILM_TOP + FILM_BAND;
export const GROUP_HEIGHT = 18;
export const LANE_HEIGHT = 17;
const CURVE_MIN = 150;
const SPLITTER = 6;

export class Layout {
  constructor() {
    this.width = 1;
    this.height = 1;
    this.folded = new Set();
    this.scroll = 0;
    this.entries = [];
    this.laneOf = new Map();
    this.version = 0;
  }

  // Recomputes the regions for a canvas of width x height and these tracks.
  update(width, height, trackNames) {
    this.width = width;
    this.height = height;
    const groups = groupTracks(trackNames);
    let content = 0;
    for (const g of groups) content += GROUP_HEIGHT + (this.folded.has(g.name) ? 0 : g.tracks.length * LANE_HEIGHT);
    const room = Math.max(40, height - RULER_HEIGHT - SPLITTER - CURVE_MIN);
    const lanesHeight = Math.min(content, room);
    this.lanes = { x: NAME_WIDTH, y: RULER_HEIGHT, w: width - NAME_WIDTH, h: lanesHeight };
    this.scroll = Math.min(Math.max(0, this.scroll), Math.max(0, content - lanesHeight));
    this.contentHeight = content;
    const curveTop = RULER_HEIGHT + lanesHeight + SPLITTER;
    this.curve = { x: NAME_WIDTH, y: curveTop, w: width - NAME_WIDTH, h: Math.max(40, height - curveTop) };
    this.ruler = { x: NAME_WIDTH, y: 0, w: width - NAME_WIDTH, h: RULER_HEIGHT };

    this.entries = [];
    this.laneOf = new Map();
    let y = RULER_HEIGHT - this.scroll;
    for (const g of groups) {
      const folded = this.folded.has(g.name);
      this.entries.push({ kind: 'group', name: g.name, y, h: GROUP_HEIGHT, folded, count: g.tracks.length });
      y += GROUP_HEIGHT;
      if (folded) continue;
      for (const track of g.tracks) {
        const lane = { kind: 'lane', track, group: g.name, y, h: LANE_HEIGHT };
        this.entries.push(lane);
        this.laneOf.set(track, lane);
        y += LANE_HEIGHT;
      }
    }
    this.version++;
  }

  // Entries at least partly inside the lane area.
  visibleEntries() {
    const top = this.lanes.y;
    const bottom = top + this.lanes.h;
    return this.entries.filter((e) => e.y + e.h > top && e.y < bottom);
  }

  // The group header or lane under y inside the lane area, or null.
  entryAt(y) {
    if (y < this.lanes.y || y >= this.lanes.y + this.lanes.h) return null;
    for (const e of this.entries) if (y >= e.y && y < e.y + e.h) return e;
    return null;
  }

  // 'ruler-sections' | 'ruler-beats' | 'ruler-wave' | 'ruler-film' | 'names' | 'lanes' |
  // 'curve' | 'curve-axis' | 'splitter' | 'corner' for a point.
  regionAt(x, y) {
    if (y < RULER_HEIGHT) {
      if (x < NAME_WIDTH) return 'corner';
      if (y < SECTION_BAND) return 'ruler-sections';
      if (y < SECTION_BAND + BEAT_BAND) return 'ruler-beats';
      return y < FILM_TOP ? 'ruler-wave' : 'ruler-film';
    }
    if (y < this.lanes.y + this.lanes.h) return x < NAME_WIDTH ? 'names' : 'lanes';
    if (y < this.curve.y) return 'splitter';
    return x < NAME_WIDTH ? 'curve-axis' : 'curve';
  }

  scrollBy(dy) {
    const before = this.scroll;
    this.scroll = Math.min(Math.max(0, this.scroll + dy), Math.max(0, this.contentHeight - this.lanes.h));
    return this.scroll !== before;
  }
}
