// The selected keys, as (track, row) pairs, and the lanes chosen for the
// curve view. A key is named by its track and row; when the document
// changes, keys that no longer exist drop out of the selection.

const id = (track, row) => `${row}\u0000${track}`;

export class Selection {
  constructor() {
    this.keys = new Map();
    this.primary = null; // the key clicked last: Enter edits it
    this.lanes = new Set();
    this.version = 0;
  }

  has(track, row) {
    return this.keys.has(id(track, row));
  }

  get size() {
    return this.keys.size;
  }

  list() {
    return [...this.keys.values()];
  }

  set(items) {
    this.keys.clear();
    for (const item of items) this.keys.set(id(item.track, item.row), { track: item.track, row: item.row });
    this.primary = items.length ? { ...items[items.length - 1] } : null;
    this.version++;
  }

  add(items) {
    for (const item of items) this.keys.set(id(item.track, item.row), { track: item.track, row: item.row });
    if (items.length) this.primary = { ...items[items.length - 1] };
    this.version++;
  }

  toggle(item) {
    const key = id(item.track, item.row);
    if (this.keys.has(key)) this.keys.delete(key);
    else {
      this.keys.set(key, { track: item.track, row: item.row });
      this.primary = { ...item };
    }
    this.version++;
  }

  clear() {
    if (!this.keys.size) return;
    this.keys.clear();
    this.primary = null;
    this.version++;
  }

  // Keeps only keys the document still has.
  prune(doc) {
    let changed = false;
    for (const [key, item] of this.keys)
      if (!doc.keyAt(item.track, item.row)) {
        this.keys.delete(key);
        changed = true;
      }
    if (this.primary && !doc.keyAt(this.primary.track, this.primary.row)) this.primary = null;
    if (changed) this.version++;
  }

  // The lanes whose curves the curve view shows: the chosen lanes, or else
  // the lanes of the selected keys (in document order), at most eight.
  curveTracks(doc) {
    if (this.lanes.size) return doc.tracks.map((t) => t.name).filter((n) => this.lanes.has(n));
    const tracks = new Set(this.list().map((k) => k.track));
    return doc.tracks.map((t) => t.name).filter((n) => tracks.has(n)).slice(0, 8);
  }

  chooseLane(track, additive) {
    if (!additive) this.lanes.clear();
    if (additive && this.lanes.has(track)) this.lanes.delete(track);
    else this.lanes.add(track);
    this.version++;
  }
}
