// The page's tools for the song's hits and for playing tracks in by hand:
// the onset threshold slider, seeking to onsets, snapping, keys on the hits
// (through the pattern form), recording a lane (Recorder) and tap mode with
// the show's delay measured and shown. The keyboard handler hands these
// actions here; the bar shows their state.

import { api } from './api.js';
import { patternOps } from './hit-pattern.js';
import { PatternForm } from './pattern-form.js';
import { Recorder } from './record.js';
import { ShowClock, tapRow } from './tap.js';
import { rowText } from './model.js';

export class HitTools {
  constructor(editor, bar) {
    this.editor = editor;
    this.form = new PatternForm();
    this.recorder = new Recorder(editor);
    this.clock = new ShowClock(140 * 16 / 60);
    this.tapTrack = null;
    this.taps = []; // {row, pressed, pageRow} of this page's taps, for tools and tests
    this.edits = []; // {frames, ms} edit-to-picture while recording
    this.waiting = []; // edits whose revision the show has not yet drawn

    const box = document.createElement('span');
    box.id = 'hit-tools';
    box.innerHTML =
      '<label title="Hide onsets weaker than this">onsets <input id="onset-threshold" type="range" min="0" max="1" step="any"></label>' +
      '<span id="snap-state"></span>' +
      '<span id="take-state"></span>' +
      '<label title="A take keeps every row within this share of the lane’s shown range">tolerance ' +
      '<input id="take-tolerance" type="number" min="0.01" max="100" step="0.1" value="1">%</label>' +
      '<span id="tap-state"></span>';
    bar.insertBefore(box, bar.querySelector('.spacer'));
    this.slider = box.querySelector('#onset-threshold');
    this.slider.addEventListener('input', () => {
      editor.onsets.setThreshold(this.slider.value);
      editor.invalidate(true);
    });
    this.tolerance = box.querySelector('#take-tolerance');
    this.tolerance.addEventListener('change', () => {
      const value = Number(this.tolerance.value);
      if (Number.isFinite(value) && value > 0 && value <= 100) this.recorder.tolerancePercent = value;
      else this.tolerance.value = String(this.recorder.tolerancePercent);
    });
    this.states = { snap: box.querySelector('#snap-state'), take: box.querySelector('#take-state'), tap: box.querySelector('#tap-state') };
    this.recorder.onChange = () => this.show();
    this.recorder.editStats = (body, started) => this.waiting.push({ revision: body.revision, frame: body.frame, started });
    editor.hooks.frame.push((row) => this.recorder.tick(row));
    editor.hooks.position.push((message, now) => this.position(message, now));
    this.show();
  }

  position(message, now) {
    if (!message) {
      this.slider.value = String(this.editor.onsets.threshold);
      return;
    }
    if (this.editor.doc) this.clock.rowsPerSecond = this.editor.doc.rowsPerSecond;
    this.clock.feed(message, now);
    // The first frame drawn with an edit's revision: the edit's way to the picture.
    this.waiting = this.waiting.filter((w) => {
      if (!(message.revision >= w.revision)) return true;
      this.edits.push({ frames: message.frame - w.frame, ms: now - w.started });
      if (this.edits.length > 2000) this.edits.splice(0, 1000);
      return false;
    });
    if (this.tapTrack && (message.frame % 15 === 0)) this.show();
  }

  // The lane the tools act on: the first chosen lane, else the selected key's.
  lane() {
    const s = this.editor.selection;
    return [...s.lanes][0] || s.primary?.track || null;
  }

  show() {
    const r = this.recorder;
    this.states.snap.textContent = this.editor.snapOnsets ? 'snap to onsets' : '';
    this.states.take.textContent =
      r.state === 'armed' ? `● armed: ${r.track}` : r.state === 'recording' ? `● recording ${r.track}` : r.state === 'ending' ? '● writing the take' : '';
    const delay = this.delayMs();
    this.states.tap.textContent = this.tapTrack
      ? `tap ${this.tapTrack} · show ${delay === null ? 'delay not measured yet' : `${Math.round(delay)} ms behind the page's clock`}`
      : '';
  }

  // How far the page's playhead trails the show's picture, in ms.
  delayMs() {
    const now = performance.now();
    const shown = this.clock.rowAt(now);
    if (shown === null || !this.editor.doc) return null;
    return ((shown - this.editor.playhead.current(now)) / this.editor.doc.rowsPerSecond) * 1000;
  }

  // The keys-on-hits command: rows and lanes, then the form.
  hitPattern() {
    const editor = this.editor;
    const selection = editor.selection;
    let tracks = [...selection.lanes];
    const keys = selection.list();
    if (!tracks.length) tracks = [...new Set(keys.map((k) => k.track))];
    const loop = editor.playhead.loop;
    const span = loop ? [Math.min(loop[0], loop[1]), Math.max(loop[0], loop[1])]
      : keys.length > 1 ? [Math.min(...keys.map((k) => k.row)), Math.max(...keys.map((k) => k.row))] : null;
    if (!tracks.length || !span) {
      editor.flash('Keys on the hits: choose lanes and set a loop region (or select keys spanning the rows)');
      return;
    }
    // A loop region ends before its end row.
    const rows = editor.onsets.within(Math.ceil(span[0]), loop ? Math.ceil(span[1]) - 1 : span[1]);
    if (!rows.length) {
      editor.flash('No shown onset in that span');
      return;
    }
    const title = `${rows.length} hit${rows.length === 1 ? '' : 's'} in ${rowText(Math.ceil(span[0]))}–${rowText(Math.floor(span[1]))} × ${tracks.length} lane${tracks.length === 1 ? '' : 's'}`;
    this.form.show(title, async (pattern) => {
      const { ops, placed } = patternOps(editor.doc, tracks, rows, pattern);
      return editor.edit(ops, { group: `hits-${Date.now().toString(36)}`, select: placed });
    });
  }

  tapKey() {
    const editor = this.editor;
    if (!this.tapTrack) return;
    const now = performance.now();
    const pageRow = editor.row;
    const row = tapRow(this.clock, pageRow, now);
    this.taps.push({ row, pressed: performance.timeOrigin + now, pageRow });
    const { ops } = patternOps(editor.doc, [this.tapTrack], [row], this.form.pattern);
    editor.edit(ops);
  }

  // Runs an action of these tools; false when it is none of theirs.
  run(action) {
    const editor = this.editor;
    const row = Math.floor(editor.row);
    switch (action) {
      case 'nextOnset':
      case 'previousOnset': {
        const to = action === 'nextOnset' ? editor.onsets.next(row) : editor.onsets.previous(row);
        if (to !== null) {
          editor.seek(to);
          editor.view.follow(to);
          editor.invalidate(true);
        }
        return true;
      }
      case 'snapOnsets':
        editor.snapOnsets = !editor.snapOnsets;
        editor.flash(editor.snapOnsets ? 'Dragged keys snap to onsets' : 'Snapping to onsets off', 2000);
        this.show();
        return true;
      case 'hitPattern':
        this.hitPattern();
        return true;
      case 'record':
        if (this.recorder.busy) this.recorder.end();
        else if (!this.recorder.arm(this.lane())) editor.flash('Record: choose a lane first (click its name)');
        else if (!editor.selection.lanes.has(this.recorder.track)) {
          editor.selection.chooseLane(this.recorder.track, false); // its curve is what the pointer plays
          editor.invalidate(true);
        }
        return true;
      case 'tap':
        if (this.tapTrack) this.tapTrack = null;
        else if (!(this.tapTrack = this.lane())) editor.flash('Tap: choose a lane first (click its name)');
        this.show();
        return true;
      case 'tapKey':
        this.tapKey();
        return true;
      default:
        return false;
    }
  }

  // Escape: ends what these tools have going; true when it did.
  escape() {
    if (this.form.open) {
      this.form.hide();
      return true;
    }
    if (this.recorder.busy) {
      this.recorder.abandon();
      return true;
    }
    if (this.tapTrack) {
      this.tapTrack = null;
      this.show();
      return true;
    }
    return false;
  }

  // Space while recording ends the take first.
  beforePlay() {
    if (this.recorder.state === 'recording') this.recorder.end();
  }
}
