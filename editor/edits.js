// The edits the page makes besides drags, as the service's ops: a new key,
// a typed value, an interpolation, deletion, and copy and paste (keys keep
// their tracks and their timing relative to the earliest one copied).

import { valueAt } from './evaluate.js';
import { INTERPS } from './model.js';

// The interpolation as an op may carry it: a type number from a
// hand-written source ("7") cannot be sent back, so it is left out.
const sendable = (interp) => (INTERPS.includes(interp) ? interp : undefined);

// A new key at row with the curve's present value, interpolating like the
// key in force there (so splitting a segment keeps its kind).
export function addKeyOps(doc, track, row) {
  const keys = doc.track(track)?.keys || [];
  if (doc.keyAt(track, row)) return [];
  let interp = 'step';
  for (const key of keys) if (key.row <= row) interp = sendable(key.interp) || 'step';
  const value = valueAt(keys, row);
  return [{ op: 'set', track, row, value: Number.isFinite(value) ? value : 0, interp }];
}

// The interpolation of every selected key (their values unchanged).
export function interpOps(doc, items, interp) {
  const ops = [];
  for (const { track, row } of items) {
    const key = doc.keyAt(track, row);
    if (key && key.value !== null && key.interp !== interp) ops.push({ op: 'set', track, row, value: key.value, interp });
  }
  return ops;
}

export function deleteOps(doc, items) {
  return items.filter(({ track, row }) => doc.keyAt(track, row)).map(({ track, row }) => ({ op: 'delete', track, row }));
}

// What the clipboard holds: {keys: [{track, offset, value, interp}]}, the
// offset counted from the earliest key.
export function copyKeys(doc, items) {
  const keys = items.map(({ track, row }) => ({ track, row, key: doc.keyAt(track, row) })).filter((k) => k.key);
  if (!keys.length) return null;
  const first = Math.min(...keys.map((k) => k.row));
  return {
    tesselKeys: 1,
    keys: keys.map((k) => ({ track: k.track, offset: k.row - first, value: k.key.value, interp: k.key.interp })),
  };
}

// The ops that paste the clipboard with its earliest key at row, and the
// pasted keys; keys of tracks this document lacks or with a non-finite
// value are left out.
export function pasteOps(doc, clip, row) {
  const ops = [];
  const pasted = [];
  if (!clip || !Array.isArray(clip.keys)) return { ops, pasted };
  for (const k of clip.keys) {
    if (!doc.track(k.track) || typeof k.value !== 'number' || !Number.isFinite(k.offset)) continue;
    const at = row + Math.round(k.offset);
    const op = { op: 'set', track: k.track, row: at, value: k.value };
    if (sendable(k.interp)) op.interp = k.interp;
    ops.push(op);
    pasted.push({ track: k.track, row: at });
  }
  return { ops, pasted };
}

// The value typed into the editor as a number, or an explanation.
export function parseValue(text) {
  const trimmed = text.trim();
  if (!trimmed) return { error: 'type a number' };
  const value = Number(trimmed);
  if (!Number.isFinite(value)) return { error: `“${trimmed}” is not a finite number` };
  if (Math.abs(value) > 3.4028234663852886e38) return { error: 'too large for a track value' };
  return { value };
}
