// The page's copy of the service's document: the song form and every track's
// keys, at one revision. Changes arrive as whole tracks (edit replies and
// pushes); a change is applied only when it is the next revision or later,
// so a late reply never undoes a newer push.

export const INTERPS = ['step', 'linear', 'smooth', 'ramp'];

export class ShowDocument {
  constructor(show) {
    this.bpm = show.bpm || 140;
    this.rowsPerBeat = show.rowsPerBeat || 16;
    this.rows = show.rows || 0;
    this.sections = show.sections || [];
    this.revision = show.revision ?? 0;
    this.tracks = [];
    this.byName = new Map();
    for (const track of show.tracks || []) this.putTrack(track);
    this.version = 0; // bumped on every change, for the drawing caches
  }

  // Rows per second of music.
  get rowsPerSecond() {
    return (this.bpm * this.rowsPerBeat) / 60;
  }

  putTrack(track) {
    const keys = (track.keys || []).map((k) => ({ row: k.row, value: k.value, interp: k.interp }));
    keys.sort((a, b) => a.row - b.row);
    const existing = this.byName.get(track.name);
    if (existing) {
      existing.keys = keys;
      return existing;
    }
    const entry = { name: track.name, keys };
    this.tracks.push(entry);
    this.byName.set(track.name, entry);
    return entry;
  }

  track(name) {
    return this.byName.get(name) || null;
  }

  // The key of track `name` at `row`, or null.
  keyAt(name, row) {
    const track = this.byName.get(name);
    if (!track) return null;
    let lo = 0;
    let hi = track.keys.length - 1;
    while (lo <= hi) {
      const mid = (lo + hi) >> 1;
      const at = track.keys[mid].row;
      if (at === row) return track.keys[mid];
      if (at < row) lo = mid + 1;
      else hi = mid - 1;
    }
    return null;
  }

  get keyCount() {
    let count = 0;
    for (const track of this.tracks) count += track.keys.length;
    return count;
  }

  // Applies a change of revision `revision`; returns 'applied', 'stale' (an
  // older or equal revision, ignored) or 'gap' (a revision was missed: reload).
  applyChange(change, strict) {
    if (change.revision <= this.revision) return 'stale';
    if (strict && change.revision !== this.revision + 1) return 'gap';
    for (const track of change.tracks || []) this.putTrack(track);
    if (change.sections) this.sections = change.sections;
    if (typeof change.rows === 'number') this.rows = change.rows;
    this.revision = change.revision;
    this.version++;
    return 'applied';
  }
}

// A value as a person reads it: short, and "NaN" for a non-finite one.
export function formatValue(value) {
  if (value === null || value === undefined || !Number.isFinite(value)) return 'NaN';
  if (Number.isInteger(value) && Math.abs(value) < 1e7) return String(value);
  const abs = Math.abs(value);
  if (abs >= 1e6 || abs < 1e-3) return value.toExponential(2);
  return String(Number(value.toPrecision(4)));
}

// The shortest decimal that reads back as the same 32-bit float, for the
// value editor (so that an unchanged value stays exactly the same).
export function exactText(value) {
  if (value === null || value === undefined || !Number.isFinite(value)) return 'NaN';
  const target = Math.fround(value);
  for (let digits = 1; digits <= 9; ++digits) {
    const text = String(Number(target.toPrecision(digits)));
    if (Math.fround(Number(text)) === target) return text;
  }
  return String(target);
}

// "BEAT:SIXTEENTH" as the track source writes a row.
export function rowText(row, rowsPerBeat = 16) {
  const whole = Math.floor(row);
  const beat = Math.floor(whole / rowsPerBeat);
  const sixteenth = whole - beat * rowsPerBeat;
  return `${beat}:${String(sixteenth).padStart(2, '0')}`;
}

// The section the row lies in, or null.
export function sectionAt(sections, row) {
  let found = null;
  for (const s of sections) {
    if (s.kind !== 'section') continue;
    if (row >= s.row && (s.endRow === undefined || row < s.endRow)) found = s;
  }
  return found;
}
