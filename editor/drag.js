// Moving selected keys as one drag: the pointer sets a target offset (rows,
// and value in the curve view); the service is sent the edit that takes the
// keys from where it holds them to the target, at most one request at a
// time and one per animation frame, all with the drag's group so the whole
// drag is one undo step. A dragged key never passes over or lands on a key
// that is not dragged: the offset stops at the nearest neighbour. Moves of
// one track are ordered so none lands on a key not yet moved (moving later,
// the latest first). Until the service confirms, the keys are shown where
// the pointer puts them.

import { keyValue } from './evaluate.js';

const INT32_MIN = -2147483648;
const INT32_MAX = 2147483647;
let dragCount = 0;

export class KeyDrag {
  // items: [{track, row}] present in doc.
  constructor(doc, items) {
    this.group = `drag-${Date.now().toString(36)}-${++dragCount}`;
    this.items = [];
    for (const { track, row } of items) {
      const key = doc.keyAt(track, row);
      if (key) this.items.push({ track, row, value: key.value, interp: key.interp });
    }
    this.applied = { rows: 0, value: 0 }; // what the service holds
    this.sent = null; // the target of the request in flight
    this.target = { rows: 0, value: 0 }; // where the pointer puts the keys
    this.tracks = new Map(); // track -> its dragged items
    for (const item of this.items) {
      if (!this.tracks.has(item.track)) this.tracks.set(item.track, []);
      this.tracks.get(item.track).push(item);
    }
    this.limits(doc);
  }

  // The row offsets allowed: no dragged key may reach a key left in place.
  limits(doc) {
    let lo = -Infinity;
    let hi = Infinity;
    for (const [track, items] of this.tracks) {
      const dragged = new Set(items.map((i) => i.row));
      const still = doc.track(track).keys.filter((k) => !dragged.has(k.row)).map((k) => k.row);
      for (const item of items) {
        let before = INT32_MIN - 1;
        let after = INT32_MAX + 1;
        for (const row of still) {
          if (row < item.row) before = Math.max(before, row);
          else if (row > item.row) after = Math.min(after, row);
        }
        lo = Math.max(lo, before + 1 - item.row);
        hi = Math.min(hi, after - 1 - item.row);
      }
    }
    this.minRows = lo;
    this.maxRows = hi;
  }

  get empty() {
    return this.items.length === 0;
  }

  // Sets where the keys should go: rows is a whole offset (clamped to the
  // neighbours), value an offset added to each key's value.
  setTarget(rows, value) {
    const clamped = Math.min(this.maxRows, Math.max(this.minRows, Math.round(rows)));
    this.target = { rows: clamped, value: value || 0 };
  }

  // The edit from what the service holds to the target, or null when there
  // is nothing to send or a request is still in flight.
  nextOps() {
    if (this.sent) return null;
    const from = this.applied;
    const to = this.target;
    if (from.rows === to.rows && from.value === to.value) return null;
    const ops = [];
    if (from.rows !== to.rows) {
      const later = to.rows > from.rows;
      for (const [track, items] of this.tracks) {
        const ordered = [...items].sort((a, b) => (later ? b.row - a.row : a.row - b.row));
        for (const item of ordered)
          ops.push({ op: 'move', track, from: item.row + from.rows, to: item.row + to.rows });
      }
    }
    if (from.value !== to.value) {
      for (const item of this.items) {
        const value = this.valueOf(item, to);
        if (value !== null) ops.push({ op: 'set', track: item.track, row: item.row + to.rows, value });
      }
    }
    this.sent = { ...to };
    return ops;
  }

  // The service took the edit sent last (ok) or refused it.
  settle(ok) {
    if (ok && this.sent) this.applied = this.sent;
    else if (!ok) this.target = { ...this.applied };
    this.sent = null;
  }

  // True while the service does not yet hold the target.
  get pending() {
    return this.sent !== null || this.applied.rows !== this.target.rows || this.applied.value !== this.target.value;
  }

  // A dragged key's value at an offset: the original with the value offset
  // added, as a float; the original number itself when the offset is 0
  // (null, a non-finite value, stays untouched).
  valueOf(item, offset) {
    if (offset.value === 0 || item.value === null) return item.value;
    return Math.fround(keyValue(item) + offset.value);
  }

  // Where the dragged keys are shown now.
  positions() {
    return this.items.map((item) => ({ track: item.track, row: item.row + this.target.rows }));
  }

  // The keys to show for a track: the document's, with the dragged ones at
  // the target (hiding where the service holds them and where it is being
  // asked to put them, so a push that arrives before the reply shows no
  // double).
  keysFor(track, docKeys) {
    const items = this.tracks.get(track);
    if (!items) return docKeys;
    const hidden = new Set();
    for (const item of items) {
      hidden.add(item.row + this.applied.rows);
      if (this.sent) hidden.add(item.row + this.sent.rows);
    }
    const keys = docKeys.filter((k) => !hidden.has(k.row));
    for (const item of items)
      keys.push({ row: item.row + this.target.rows, value: this.valueOf(item, this.target), interp: item.interp });
    keys.sort((a, b) => a.row - b.row);
    return keys;
  }
}
