// The editor: holds the document, the view and the selection, talks to the
// service, and draws the canvas. Drawing is layered: the static layer
// (ruler, waveform, names, grid) and the content layer (keys, curves) are
// offscreen canvases redrawn only when what they show changed; each frame
// copies the content layer and draws the playhead, the loop region, the
// values at the playhead and the selection box over it. Frames are drawn on
// requestAnimationFrame only when something changed or the show plays.

import { api, LiveChannel } from './api.js';
import { ShowDocument, formatValue, rowText, sectionAt } from './model.js';
import { valueAt } from './evaluate.js';
import { TimeView } from './view.js';
import { Layout, NAME_WIDTH, SECTION_BAND, BEAT_BAND } from './layout.js';
import { drawRuler, drawLanes } from './ruler.js';
import { drawKeys } from './dopesheet.js';
import { CurveView } from './curve.js';
import { Selection } from './selection.js';
import { Playhead } from './playhead.js';
import { theme } from './theme.js';
import { OnsetMarks } from './onsets.js';
import { Filmstrip } from './filmstrip.js';

function makeLayer() {
  const canvas = document.createElement('canvas');
  return { canvas, ctx: canvas.getContext('2d') };
}

export class Editor {
  constructor(canvas, ui) {
    this.canvas = canvas;
    this.ctx = canvas.getContext('2d');
    this.ui = ui; // {position, transport, message, counts, banner}
    this.doc = null;
    this.peaks = null;
    this.view = new TimeView();
    this.layout = new Layout();
    this.selection = new Selection();
    this.curve = new CurveView();
    this.playhead = new Playhead();
    this.base = makeLayer();
    this.keyLayer = makeLayer(); // the dope sheet's keys on a transparent layer
    this.content = makeLayer();
    this.baseDirty = true;
    this.keysDirty = true; // true: every lane; a Set: those tracks' lanes
    this.contentDirty = true;
    this.frameQueued = false;
    this.drag = null; // a KeyDrag while keys are dragged
    this.box = null; // {x0, y0, x1, y1} while box-selecting
    this.loopDraft = null; // [from, to] while a loop region is dragged
    this.lastLoop = null;
    this.marks = []; // the song form's clickable names
    this.banners = new Map();
    this.firstPictureMs = null;
    this.frameWork = []; // ms spent drawing, last frames
    this.statusText = '';
    this.connected = false;
    this.live = null;
    this.messageTimer = 0;
    this.onsets = new OnsetMarks();
    this.snapOnsets = true; // dragged keys snap to a shown onset nearby
    this.hooks = { frame: [], position: [] }; // (row) each frame; (message, now) each position
    this.filmstrip = new Filmstrip(this);
  }

  async start() {
    const [show, wave, onsets] = [api.show(), api.waveform(), api.onsets()];
    this.live = new LiveChannel((m) => this.onPush(m), (s, wasOpen) => this.onChannel(s, wasOpen));
    const shown = await show;
    if (!shown.ok) {
      this.setBanner('load', `Cannot load the show: ${shown.body.error}`);
      return;
    }
    this.loadShow(shown.body);
    this.filmstrip.load();
    const waved = await wave;
    if (waved.ok && Array.isArray(waved.body.peaks)) {
      this.peaks = Float32Array.from(waved.body.peaks);
      this.invalidate(true);
    }
    const found = await onsets;
    if (found.ok) {
      this.onsets.load(found.body);
      this.invalidate(true);
      for (const hook of this.hooks.position) hook(null, performance.now()); // controls show the threshold
    }
  }

  async reload() {
    const shown = await api.show();
    if (shown.ok) this.loadShow(shown.body);
    return shown.ok;
  }

  loadShow(show) {
    this.doc = new ShowDocument(show);
    this.drag = null;
    this.playhead.rowsPerSecond = this.doc.rowsPerSecond;
    if (show.position) this.playhead.update(show.position.row, show.position.playing, performance.now());
    this.playhead.loop = show.loop || null;
    this.setBanner('compile', show.compileError ? `The source does not compile:\n${show.compileError}` : null);
    this.setBanner('save', show.saved && show.saved.ok === false ? `Saving failed: ${show.saved.error}` : null);
    this.setBanner('load', null);
    this.documentChanged(true);
  }

  // --- the service's pushes --------------------------------------------

  onChannel(state, wasOpen) {
    if (state === 'open') {
      this.setBanner('connection', null);
      if (!this.connected && this.everConnected) this.reload();
      this.connected = true;
      this.everConnected = true;
    } else {
      this.connected = false;
      this.setBanner('connection', 'Connection to tessel-author lost — reconnecting…', 'warn');
    }
  }

  onPush(message) {
    switch (message.type) {
      case 'hello':
        if (this.doc && message.revision !== this.doc.revision) this.reload();
        if (this.doc) this.filmstrip.load();
        break;
      case 'filmstrip':
        this.filmstrip.onPush(message);
        break;
      case 'position':
        this.playhead.update(message.row, message.playing, performance.now());
        this.playhead.loop = message.loop || null;
        for (const hook of this.hooks.position) hook(message, performance.now());
        this.requestFrame();
        break;
      case 'document': {
        if (!this.doc) break;
        const result = this.doc.applyChange(message, true);
        if (result === 'gap') this.reload();
        else if (result === 'applied')
          this.documentChanged(Boolean(message.sections || message.rows), (message.tracks || []).map((t) => t.name));
        if (message.cause === 'reload') this.flash('The source was saved elsewhere: reloaded.');
        break;
      }
      case 'compile':
        this.setBanner('compile', message.ok ? null : `The source does not compile:\n${message.message}`);
        break;
      case 'save':
        this.setBanner('save', message.ok ? null : `Saving failed: ${message.error}`);
        break;
      case 'conflict':
        this.flash(`${message.message} (Ctrl+Z brings ours back)`, 10000);
        break;
      default:
        break;
    }
  }

  // --- edits -------------------------------------------------------------

  // Sends ops; on success selects `select` (when given). Returns null or
  // the service's reason for refusing.
  async edit(ops, { group, select } = {}) {
    if (!ops.length) return null;
    const reply = await api.edit(ops, group);
    if (!reply.ok) {
      const reason = reply.body?.error || `refused (${reply.status})`;
      if (!group) this.flash(reason);
      return reason;
    }
    this.applyReply(reply.body);
    if (select) {
      this.selection.set(select);
      this.invalidate(false);
    }
    return null;
  }

  applyReply(body) {
    if (this.doc && this.doc.applyChange(body, true) === 'applied')
      this.documentChanged(false, (body.tracks || []).map((t) => t.name));
  }

  async history(which) {
    const reply = which === 'undo' ? await api.undo() : await api.redo();
    if (!reply.ok) this.flash(reply.body?.error || `${which} refused`);
    else this.applyReply(reply.body);
  }

  // changed: the names of the tracks that changed, when only they did.
  documentChanged(formChanged, changed) {
    // While keys are dragged the drag owns the selection (its keys may not
    // be where the service holds them yet).
    if (!this.drag) this.selection.prune(this.doc);
    const signature = this.doc.tracks.map((t) => t.name).join('\n');
    if (formChanged || signature !== this.trackSignature) {
      this.trackSignature = signature;
      this.resize();
    }
    if (changed && !formChanged) this.invalidateTracks(changed);
    else this.invalidate(formChanged);
    this.updateCounts();
  }

  // --- transport ------------------------------------------------------------

  async transport(change) {
    const reply = await api.transport(change);
    if (!reply.ok) {
      this.flash(reply.body?.error || 'the show did not take it');
      return;
    }
    if (reply.body.position) this.playhead.update(reply.body.position.row, reply.body.position.playing, performance.now());
    if ('loop' in reply.body) this.playhead.loop = reply.body.loop;
    this.requestFrame();
  }

  // Seeks the page's playhead at once and the show when it is free: a drag
  // on the ruler sends one seek at a time, the latest row last.
  // The show is sent the middle of the row: a whole row's exact time, once
  // turned into seconds and samples by the audio device, can land a hair
  // before it, in the row before.
  seek(row) {
    row = Math.floor(Math.max(0, Math.min(this.doc.rows, row))) + 0.5;
    this.playhead.update(row, this.playhead.playing, performance.now());
    this.pendingSeek = row;
    this.requestFrame();
    if (this.seeking) return;
    this.seeking = true;
    const send = async () => {
      while (this.pendingSeek !== null) {
        const target = this.pendingSeek;
        this.pendingSeek = null;
        await this.transport({ row: target });
      }
      this.seeking = false;
    };
    send();
  }

  get row() {
    return this.playhead.current(performance.now());
  }

  // --- messages ---------------------------------------------------------------

  setBanner(kind, text, level = 'error') {
    if (text) this.banners.set(kind, { text, level });
    else this.banners.delete(kind);
    const banner = this.ui.banner;
    const list = [...this.banners.values()];
    banner.hidden = list.length === 0;
    banner.textContent = list.map((b) => b.text).join('\n');
    banner.className = list.some((b) => b.level === 'error') ? '' : 'warn';
    this.resize();
  }

  // A short message in the bar, for a while.
  flash(text, ms = 5000) {
    this.ui.message.textContent = text;
    clearTimeout(this.messageTimer);
    this.messageTimer = setTimeout(() => (this.ui.message.textContent = ''), ms);
  }

  updateCounts() {
    if (!this.doc) return;
    this.ui.counts.textContent = `rev ${this.doc.revision} · ${this.doc.tracks.length} tracks · ${this.doc.keyCount} keys`;
  }

  // --- drawing ------------------------------------------------------------------

  // The keys of a track as shown: the document's, or the drag's preview.
  keysOf(track) {
    const keys = this.doc.track(track)?.keys || [];
    return this.drag ? this.drag.keysFor(track, keys) : keys;
  }

  isSelected(track, row) {
    return this.selection.has(track, row);
  }

  resize() {
    const rect = this.canvas.getBoundingClientRect();
    const dpr = window.devicePixelRatio || 1;
    const width = Math.max(1, Math.round(rect.width));
    const height = Math.max(1, Math.round(rect.height));
    if (this.canvas.width !== Math.round(width * dpr) || this.canvas.height !== Math.round(height * dpr)) {
      for (const c of [this.canvas, this.base.canvas, this.keyLayer.canvas, this.content.canvas]) {
        c.width = Math.round(width * dpr);
        c.height = Math.round(height * dpr);
      }
    }
    this.dpr = dpr;
    this.cssWidth = width;
    this.cssHeight = height;
    if (this.doc) {
      this.layout.update(width, height, this.doc.tracks.map((t) => t.name));
      this.view.setArea(NAME_WIDTH, width - NAME_WIDTH, this.doc.rows);
      this.curve.rect = { ...this.layout.curve };
    }
    this.invalidate(true);
  }

  // Marks the cached layers stale (the static one too when `all`).
  invalidate(all) {
    if (all) this.baseDirty = true;
    this.keysDirty = true;
    this.contentDirty = true;
    this.requestFrame();
  }

  // Marks only these tracks' lanes (and the curves) stale: a drag redraws
  // just the lanes it moves keys in.
  invalidateTracks(tracks) {
    if (this.keysDirty !== true) {
      if (!this.keysDirty) this.keysDirty = new Set();
      for (const track of tracks) this.keysDirty.add(track);
    }
    this.contentDirty = true;
    this.requestFrame();
  }

  requestFrame() {
    if (this.frameQueued) return;
    this.frameQueued = true;
    requestAnimationFrame((t) => this.frame(t));
  }

  frame() {
    this.frameQueued = false;
    if (!this.doc) return;
    const started = performance.now();
    const row = this.row;
    for (const hook of this.hooks.frame) hook(row);
    if (this.playhead.playing && !this.drag && !this.pointerBusy) {
      const before = this.view.version;
      this.view.follow(row);
      if (this.view.version !== before) this.baseDirty = this.keysDirty = this.contentDirty = true;
    }
    const dpr = this.dpr;
    if (this.baseDirty) {
      const { ctx } = this.base;
      ctx.setTransform(dpr, 0, 0, dpr, 0, 0);
      ctx.fillStyle = theme.background;
      ctx.fillRect(0, 0, this.cssWidth, this.cssHeight);
      drawRuler(ctx, this.view, this.layout, this.doc, this.peaks, this.marks);
      this.drawOnsets(ctx);
      ctx.fillStyle = theme.panel;
      ctx.fillRect(0, 0, NAME_WIDTH, this.layout.ruler.h);
      drawLanes(ctx, this.view, this.layout, this.doc, this.selection.lanes);
      this.baseDirty = false;
      this.keysDirty = true;
      this.contentDirty = true;
    }
    const keysOf = (t) => this.keysOf(t);
    const selected = (t, r) => this.isSelected(t, r);
    if (this.keysDirty) {
      const { ctx } = this.keyLayer;
      ctx.setTransform(dpr, 0, 0, dpr, 0, 0);
      const only = this.keysDirty === true ? null : this.keysDirty;
      if (only) {
        for (const track of only) {
          const lane = this.layout.laneOf.get(track);
          if (lane) ctx.clearRect(0, lane.y, this.cssWidth, lane.h);
        }
      } else ctx.clearRect(0, 0, this.cssWidth, this.cssHeight);
      drawKeys(ctx, this.view, this.layout, keysOf, selected, dpr, only);
      this.keysDirty = false;
    }
    if (this.contentDirty) {
      const { ctx } = this.content;
      ctx.setTransform(1, 0, 0, 1, 0, 0);
      ctx.drawImage(this.base.canvas, 0, 0);
      ctx.drawImage(this.keyLayer.canvas, 0, 0);
      ctx.setTransform(dpr, 0, 0, dpr, 0, 0);
      this.curve.tracks = this.selection.curveTracks(this.doc);
      this.curve.draw(ctx, this.view, keysOf, selected, this.doc.rowsPerBeat, this.doc.rows);
      this.contentDirty = false;
    }
    const ctx = this.ctx;
    ctx.setTransform(1, 0, 0, 1, 0, 0);
    ctx.drawImage(this.content.canvas, 0, 0);
    ctx.setTransform(dpr, 0, 0, dpr, 0, 0);
    this.filmstrip.draw(ctx);
    this.drawOverlay(ctx, row);
    this.updatePosition(row);

    if (this.drag) this.pumpDrag();
    if (this.firstPictureMs === null) {
      this.firstPictureMs = performance.now();
      performance.mark('tessel-first-picture');
    }
    this.frameWork.push(performance.now() - started);
    if (this.frameWork.length > 2000) this.frameWork.splice(0, 1000);
    if (this.playhead.playing || (this.drag && this.drag.pending)) this.requestFrame();
  }

  drawOnsets(ctx) {
    const { x, w, h } = this.layout.ruler;
    ctx.save();
    ctx.beginPath();
    ctx.rect(x, 0, w, h);
    ctx.clip();
    this.onsets.draw(ctx, this.view, theme.onset);
    ctx.restore();
  }

  drawOverlay(ctx, row) {
    const { view, layout } = this;
    const bottom = this.cssHeight;
    ctx.save();
    ctx.beginPath();
    ctx.rect(NAME_WIDTH, 0, layout.width - NAME_WIDTH, bottom);
    ctx.clip();
    const loop = this.loopDraft || this.playhead.loop;
    if (loop) {
      const x0 = view.rowToX(Math.min(loop[0], loop[1]));
      const x1 = view.rowToX(Math.max(loop[0], loop[1]));
      ctx.fillStyle = theme.loop;
      ctx.fillRect(x0, SECTION_BAND, x1 - x0, bottom);
      ctx.fillStyle = theme.loopEdge;
      ctx.fillRect(x0, SECTION_BAND, x1 - x0, 3);
    }
    const px = Math.round(view.rowToX(row)) + 0.5;
    ctx.strokeStyle = theme.playhead;
    ctx.lineWidth = 1;
    ctx.beginPath();
    ctx.moveTo(px, SECTION_BAND);
    ctx.lineTo(px, bottom);
    ctx.stroke();
    ctx.fillStyle = theme.playhead;
    ctx.beginPath();
    ctx.moveTo(px - 5, SECTION_BAND);
    ctx.lineTo(px + 5, SECTION_BAND);
    ctx.lineTo(px, SECTION_BAND + 7);
    ctx.fill();
    if (this.box) {
      const { x0, y0, x1, y1 } = this.box;
      ctx.strokeStyle = theme.box;
      ctx.setLineDash([4, 3]);
      ctx.strokeRect(Math.min(x0, x1) + 0.5, Math.min(y0, y1) + 0.5, Math.abs(x1 - x0), Math.abs(y1 - y0));
      ctx.setLineDash([]);
    }
    ctx.restore();

    // The value each lane reads at the playhead's whole row, as the show does.
    const whole = Math.floor(row);
    ctx.save();
    ctx.beginPath();
    ctx.rect(0, layout.lanes.y, NAME_WIDTH, layout.lanes.h);
    ctx.clip();
    ctx.font = theme.font;
    ctx.textAlign = 'right';
    ctx.textBaseline = 'middle';
    ctx.fillStyle = theme.cue;
    for (const e of layout.visibleEntries()) {
      if (e.kind !== 'lane') continue;
      ctx.fillText(formatValue(valueAt(this.keysOf(e.track), whole)), NAME_WIDTH - 8, e.y + e.h / 2);
    }
    ctx.restore();
  }

  updatePosition(row) {
    const whole = Math.floor(row);
    const section = sectionAt(this.doc.sections, whole);
    const loop = this.playhead.loop;
    const text =
      `${rowText(whole, this.doc.rowsPerBeat)} ${section ? section.name : ''}|` +
      `${this.playhead.playing ? '▶ playing' : '❚❚ paused'}` +
      (loop ? ` · loop ${rowText(loop[0])}–${rowText(loop[1])}` : '');
    if (text === this.statusText) return;
    this.statusText = text;
    const [position, transport] = text.split('|');
    this.ui.position.textContent = position;
    this.ui.transport.textContent = transport;
  }

  // Sends the drag's next edit, at most one per frame and one at a time.
  pumpDrag() {
    const drag = this.drag;
    const ops = drag.nextOps();
    if (!ops) {
      if (!drag.pending && drag.finished) this.endDrag();
      return;
    }
    api.edit(ops, drag.group).then((reply) => {
      if (this.drag !== drag) return;
      drag.settle(reply.ok);
      if (reply.ok) this.applyReply(reply.body);
      else this.flash(reply.body?.error || 'the move was refused');
      this.selection.set(drag.positions());
      this.invalidateTracks(drag.tracks.keys());
    });
  }

  endDrag() {
    const drag = this.drag;
    this.drag = null;
    this.curve.frozen = false;
    if (drag) this.selection.set(drag.positions().filter((k) => this.doc.keyAt(k.track, k.row)));
    this.invalidate(false);
  }

  // --- test and tool hooks: where things are on the page ----------------------

  // Client coordinates of a key's mark in the dope sheet.
  keyPoint(track, row) {
    const lane = this.layout.laneOf.get(track);
    if (!lane) return null;
    const r = this.canvas.getBoundingClientRect();
    return { x: r.left + this.view.rowToX(row), y: r.top + lane.y + lane.h / 2 };
  }

  // Client coordinates of a key's point in the curve view.
  curvePoint(track, row) {
    const key = this.doc.keyAt(track, row);
    if (!key || !this.curve.tracks.includes(track)) return null;
    const r = this.canvas.getBoundingClientRect();
    return { x: r.left + this.view.rowToX(row), y: r.top + this.curve.valueToY(Math.fround(key.value)) };
  }

  // Client coordinates of a row on the beat band of the ruler.
  rulerPoint(row) {
    const r = this.canvas.getBoundingClientRect();
    return { x: r.left + this.view.rowToX(row), y: r.top + SECTION_BAND + BEAT_BAND / 2 };
  }

  nameAt(track) {
    const lane = this.layout.laneOf.get(track);
    if (!lane) return null;
    const r = this.canvas.getBoundingClientRect();
    return { x: r.left + 40, y: r.top + lane.y + lane.h / 2 };
  }
}
