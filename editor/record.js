// Recording a lane by hand: armed on a lane, a take runs while the show
// plays with the pointer's height over the curve view setting the lane's
// value. While it runs, one live key (a step at the playhead's row, moved
// along with it) carries the value to the show through the ordinary edit
// path, one request in flight at a time; the key it passes is put back as
// it was. When the take ends (R, Space, the loop wrapping, the song's end)
// the value played at every row it covered — the pointer's samples, joined
// linearly — is reduced to the fewest keys within the tolerance, and the
// lane's keys inside the take's span are replaced by them. Every edit of
// the take carries one history group, so the take is one undo step.
// Abandoning (Escape) undoes that group: the lane, and the source file, are
// as they were.
//
// Outside the span the lane keeps its shape: a key is added just after the
// span with the value and interpolation the lane had there, and, when the
// key before the span interpolated into it, a step key just before it
// (splitting that segment there, as adding a key by hand does).

import { api } from './api.js';
import { valueAt, keyValue, findKey } from './evaluate.js';
import { reduceTake } from './reduce.js';

let takeCount = 0;
const HOLD_FRAMES = 8;

export class Recorder {
  constructor(editor) {
    this.editor = editor;
    this.state = 'idle'; // 'armed' | 'recording' | 'ending'
    this.track = null;
    this.tolerancePercent = 1;
    this.pointerY = null;
    this.lastTake = null;
    this.onChange = () => {};
    editor.canvas.addEventListener('pointermove', (event) => {
      const r = editor.canvas.getBoundingClientRect();
      const y = event.clientY - r.top;
      const curve = editor.curve.rect;
      this.pointerY = y >= curve.y && y < curve.y + curve.h ? y : null;
    });
    editor.canvas.addEventListener('pointerleave', () => (this.pointerY = null));
  }

  get busy() {
    return this.state !== 'idle';
  }

  arm(track) {
    if (this.state !== 'idle' || !track) return false;
    this.track = track;
    this.state = 'armed';
    this.onChange();
    return true;
  }

  // Called every frame with the playhead's row.
  tick(row) {
    const editor = this.editor;
    const playing = editor.playhead.playing;
    if (this.state === 'armed' && playing && this.pointerY !== null) this.begin(row);
    if (this.state !== 'recording') return;
    const at = Math.floor(row);
    // The playhead, steered by the show's messages, may step back a hair;
    // a loop's wrap goes back much further.
    const wrapped = at < this.lastRow - editor.doc.rowsPerBeat;
    if (!playing || wrapped || at >= editor.doc.rows) {
      this.end();
      return;
    }
    // A sample where the pointer moved, and every few frames while it
    // holds still: a pointer that moves seldom joins into a line between
    // where it was seen, not a staircase of frames.
    const moved = this.pointerY !== this.sampledY;
    if (this.pointerY !== null && (moved || ++this.stillFrames >= HOLD_FRAMES)) {
      const value = editor.curve.yToValue(this.pointerY);
      this.samples.push({ row, value });
      this.sampledY = this.pointerY;
      this.stillFrames = 0;
      this.live = { row: at, value: Math.fround(value) };
      this.pump();
    }
    this.lastRow = Math.max(this.lastRow, at);
  }

  begin(row) {
    const editor = this.editor;
    const keys = editor.doc.track(this.track)?.keys;
    if (!keys) {
      this.state = 'idle';
      return;
    }
    this.original = keys.map((k) => ({ ...k }));
    this.group = `take-${Date.now().toString(36)}-${++takeCount}`;
    this.samples = [];
    this.sampledY = null;
    this.stillFrames = 0;
    this.first = Math.floor(row);
    this.lastRow = this.first;
    this.live = null;
    this.liveSent = null;
    this.inFlight = null;
    this.sentAny = false;
    this.tolerance = (Math.max(1e-9, editor.curve.hi - editor.curve.lo) * this.tolerancePercent) / 100;
    editor.curve.frozen = true; // the axis the pointer is read against stays put
    this.state = 'recording';
    this.onChange();
  }

  // Sends the live key where the playhead is, once the last request is back.
  pump() {
    if (this.inFlight || !this.live) return;
    const live = this.live;
    const sent = this.liveSent;
    if (sent && sent.row === live.row && sent.value === live.value) return;
    const ops = [];
    if (sent && sent.row !== live.row) ops.push(this.restoreOp(sent.row));
    ops.push({ op: 'set', track: this.track, row: live.row, value: live.value, interp: 'step' });
    this.send(ops.filter(Boolean)).then((ok) => {
      if (ok) this.liveSent = live;
    });
  }

  // Puts a row the live key passed back as the take found it.
  restoreOp(row) {
    const key = this.original.find((k) => k.row === row);
    if (!key) return { op: 'delete', track: this.track, row };
    if (key.value === null) return null;
    const op = { op: 'set', track: this.track, row, value: key.value };
    if (typeof key.interp === 'string') op.interp = key.interp;
    return op;
  }

  send(ops) {
    const editor = this.editor;
    this.sentAny = true;
    const started = performance.now();
    this.inFlight = api.edit(ops, this.group).then((reply) => {
      this.inFlight = null;
      if (reply.ok) {
        editor.applyReply(reply.body);
        this.editStats?.(reply.body, started);
      } else editor.flash(reply.body?.error || 'the recorded value was refused');
      return reply.ok;
    });
    return this.inFlight;
  }

  async settle() {
    while (this.inFlight) await this.inFlight;
  }

  // Ends the take and writes its keys; resolves to the take (or null).
  async end() {
    if (this.state === 'armed') {
      this.state = 'idle';
      this.onChange();
      return null;
    }
    if (this.state !== 'recording') return null;
    this.state = 'ending';
    this.onChange();
    await this.settle();
    const take = this.readTake();
    if (take) {
      const started = performance.now();
      const reduced = reduceTake(take.values, take.first, this.tolerance);
      take.reduceMs = performance.now() - started;
      take.keys = reduced.keys;
      take.maxError = reduced.maxError;
      take.tolerance = this.tolerance;
      take.track = this.track;
      const ok = await this.send(this.writeOps(take));
      take.written = ok;
      this.lastTake = take;
      this.editor.flash(
        ok ? `Take: ${take.keys.length} keys over ${take.values.length} rows (within ${formatNumber(this.tolerance)})` : 'The take was not written',
      );
    } else if (this.sentAny) {
      await this.undoTake();
    }
    this.finish();
    return take;
  }

  // Escape: the lane as it was before the take.
  async abandon() {
    const state = this.state;
    if (state === 'idle') return;
    this.state = 'ending';
    if (state === 'recording') {
      await this.settle();
      if (this.sentAny) await this.undoTake();
      this.editor.flash('Take abandoned');
    }
    this.finish();
  }

  async undoTake() {
    const reply = await api.undo();
    if (reply.ok) this.editor.applyReply(reply.body);
    else this.editor.flash(reply.body?.error || 'the take could not be undone');
  }

  finish() {
    this.state = 'idle';
    this.editor.curve.frozen = false;
    this.editor.invalidate(false);
    this.onChange();
  }

  // The value played at each whole row from the first to the last sampled:
  // samples in row order, joined linearly; null with fewer than two rows.
  readTake() {
    const samples = this.samples.filter((s) => Number.isFinite(s.value)).sort((a, b) => a.row - b.row);
    if (!samples.length) return null;
    const first = Math.max(this.first, Math.floor(samples[0].row));
    const last = Math.floor(samples[samples.length - 1].row);
    if (last <= first) return null;
    const values = [];
    let s = 0;
    for (let row = first; row <= last; ++row) {
      while (s + 1 < samples.length && samples[s + 1].row <= row) ++s;
      const a = samples[s];
      const b = samples[s + 1];
      if (!b || a.row >= row) values.push(a.value);
      else values.push(a.value + ((row - a.row) / (b.row - a.row)) * (b.value - a.value));
    }
    return { first, last, values };
  }

  // From what the lane holds now to: the lane before the take outside the
  // span, the reduced keys inside it, and the keys that keep the outside's
  // shape.
  writeOps(take) {
    const { first, last } = take;
    const original = this.original;
    const wanted = new Map();
    for (const key of original) if (key.row < first || key.row > last) wanted.set(key.row, key);
    for (const key of take.keys) wanted.set(key.row, key);
    if (original.length) {
      const after = last + 1;
      if (!wanted.has(after)) {
        const k = findKey(original, after);
        const interp = k >= 0 ? original[k].interp : 'step';
        wanted.set(after, { row: after, value: valueAt(original, after), interp: typeof interp === 'string' ? interp : 'step' });
      }
      const k = findKey(original, first - 1);
      if (k >= 0 && original[k].interp !== 'step' && original[k].row < first - 1 && !wanted.has(first - 1))
        wanted.set(first - 1, { row: first - 1, value: valueAt(original, first - 1), interp: 'step' });
    }
    const now = this.editor.doc.track(this.track).keys;
    const ops = [];
    for (const key of now) if (!wanted.has(key.row)) ops.push({ op: 'delete', track: this.track, row: key.row });
    for (const key of wanted.values()) {
      const held = now.find((k) => k.row === key.row);
      if (held && Object.is(keyValue(held), keyValue(key)) && held.interp === key.interp) continue;
      if (key.value === null || !Number.isFinite(key.value)) continue;
      ops.push({ op: 'set', track: this.track, row: key.row, value: key.value, interp: key.interp });
    }
    return ops;
  }
}

function formatNumber(x) {
  return Number(x.toPrecision(3)).toString();
}
