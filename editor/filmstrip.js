// The filmstrip band under the ruler: the show's picture at the start of
// every bar, placed on the beat grid (every n-th bar's when bars are
// narrower than a thumbnail), a mark on those being drawn again and, for a
// moment, an outline on those an edit just changed. Pictures come as JPEG
// from the service; createImageBitmap decodes them off the main thread and
// the band is drawn from the bitmaps in each frame, so arriving pictures
// never touch the cached layers or the layout. Hovering the band or the
// ruler shows the show's picture of the row under the pointer (480 x 270)
// with its time, bar and section.

import { rowText, sectionAt } from './model.js';
import { FILM_BAND, FILM_TOP, NAME_WIDTH, RULER_HEIGHT } from './layout.js';

const OUTLINE_MS = 1500;
const HOVER_WIDTH = 480;
const HOVER_HEIGHT = 270;

export class Filmstrip {
  constructor(editor) {
    this.editor = editor;
    this.off = false; // the service has no strip (tessel-author --no-filmstrip)
    this.width = 192;
    this.height = 108;
    this.frames = new Map(); // row -> {row, url, revision, ready, bitmap, drawing, outlineUntil}
    this.fetching = new Map(); // row -> the url being fetched
    this.revision = 0;
    this.loaded = 0; // pictures decoded so far (for tools and tests)
    this.hover = null;
  }

  // --- state from the service ----------------------------------------------

  async load() {
    let reply;
    try {
      reply = await fetch('/api/filmstrip', { credentials: 'same-origin', cache: 'no-store' });
    } catch (error) {
      return;
    }
    if (reply.status === 503) {
      this.off = true;
      return;
    }
    if (!reply.ok) return;
    const strip = await reply.json();
    this.off = false;
    this.width = strip.width;
    this.height = strip.height;
    this.revision = strip.revision;
    const rows = new Set();
    for (const f of strip.frames) {
      rows.add(f.row);
      const known = this.frames.get(f.row) || { row: f.row, bitmap: null, url: null, outlineUntil: 0 };
      known.revision = f.revision;
      known.ready = f.ready;
      known.drawing = !f.ready;
      this.frames.set(f.row, known);
      if (f.url && f.url !== known.url) this.fetchPicture(known, f.url, false);
    }
    for (const row of [...this.frames.keys()]) if (!rows.has(row)) this.frames.delete(row);
    this.editor.requestFrame();
  }

  // A "filmstrip" push: rows whose pictures are ready, rows being redrawn.
  onPush(message) {
    this.revision = message.revision;
    for (const row of message.redrawing || []) {
      const frame = this.frames.get(row);
      if (frame) {
        frame.drawing = true;
        frame.changed = true;
      }
    }
    if ((message.rows || []).length) this.refresh(message.rows);
    this.editor.requestFrame();
  }

  // Asks for the list again and fetches the named rows' new pictures.
  async refresh(rows) {
    let reply;
    try {
      reply = await fetch('/api/filmstrip', { credentials: 'same-origin', cache: 'no-store' });
    } catch (error) {
      return;
    }
    if (!reply.ok) return;
    const strip = await reply.json();
    const wanted = new Set(rows);
    for (const f of strip.frames) {
      const frame = this.frames.get(f.row);
      if (!frame) {
        this.load();
        return;
      }
      frame.revision = f.revision;
      if (!wanted.has(f.row) || !f.url || f.url === frame.url) continue;
      frame.ready = f.ready;
      this.fetchPicture(frame, f.url, frame.changed);
    }
  }

  async fetchPicture(frame, url, outline) {
    if (this.fetching.get(frame.row) === url) return;
    this.fetching.set(frame.row, url);
    let bitmap = null;
    try {
      const reply = await fetch(url, { credentials: 'same-origin', cache: 'no-store' });
      if (reply.ok) bitmap = await createImageBitmap(await reply.blob());
    } catch (error) {
      bitmap = null;
    }
    if (this.fetching.get(frame.row) !== url) {
      if (bitmap) bitmap.close();
      return; // a newer picture is on its way
    }
    this.fetching.delete(frame.row);
    if (!bitmap) return;
    if (frame.bitmap) frame.bitmap.close();
    frame.bitmap = bitmap;
    frame.url = url;
    frame.drawing = false;
    frame.ready = true;
    if (outline) frame.outlineUntil = performance.now() + OUTLINE_MS;
    frame.changed = false;
    this.loaded++;
    this.editor.requestFrame();
  }

  // --- drawing ----------------------------------------------------------------

  // The thumbnails in view and where they go: [{frame, x, w}].
  placed() {
    const view = this.editor.view;
    const doc = this.editor.doc;
    const bar = doc.rowsPerBeat * 4;
    const thumbWidth = Math.round((FILM_BAND - 2) * (this.width / this.height));
    const barWidth = bar * view.pxPerRow;
    const every = Math.max(1, Math.ceil(thumbWidth / barWidth));
    const out = [];
    for (const frame of this.frames.values()) {
      if (Math.round(frame.row / bar) % every !== 0) continue;
      const x = view.rowToX(frame.row);
      const w = Math.min(thumbWidth, barWidth * every - 1);
      if (x + w < NAME_WIDTH || x > this.editor.cssWidth) continue;
      out.push({ frame, x, w });
    }
    return out;
  }

  // Over the cached layers, each frame; asks for more frames while an
  // outline fades.
  draw(ctx) {
    if (this.off || !this.editor.doc) return;
    const now = performance.now();
    const top = FILM_TOP + 1;
    const h = FILM_BAND - 2;
    ctx.save();
    ctx.beginPath();
    ctx.rect(NAME_WIDTH, FILM_TOP, this.editor.cssWidth - NAME_WIDTH, FILM_BAND);
    ctx.clip();
    ctx.fillStyle = '#0d0f12';
    ctx.fillRect(NAME_WIDTH, FILM_TOP, this.editor.cssWidth - NAME_WIDTH, FILM_BAND);
    let fading = false;
    for (const { frame, x, w } of this.placed()) {
      if (frame.bitmap) {
        // The picture's middle part when the slot is narrower than it.
        const sw = Math.min(frame.bitmap.width, (w / h) * frame.bitmap.height);
        ctx.drawImage(frame.bitmap, (frame.bitmap.width - sw) / 2, 0, sw, frame.bitmap.height, x, top, w, h);
      } else {
        ctx.fillStyle = '#22252c';
        ctx.fillRect(x, top, w, h);
      }
      if (frame.drawing) {
        ctx.fillStyle = 'rgba(22,24,29,0.55)';
        ctx.fillRect(x, top, w, h);
        ctx.fillStyle = '#e0b05a';
        ctx.beginPath();
        ctx.arc(x + w - 6, top + 6, 3, 0, Math.PI * 2);
        ctx.fill();
      }
      if (frame.outlineUntil > now) {
        fading = true;
        ctx.globalAlpha = Math.min(1, (frame.outlineUntil - now) / 500);
        ctx.strokeStyle = '#ffd34d';
        ctx.lineWidth = 2;
        ctx.strokeRect(x + 1, top + 1, w - 2, h - 2);
        ctx.globalAlpha = 1;
      }
    }
    ctx.restore();
    if (fading) this.editor.requestFrame();
  }

  // --- hover ------------------------------------------------------------------

  // Shows the picture of the row under the pointer while it is over the
  // ruler or the band; one request at a time, the latest row last.
  attachHover(canvas, box) {
    this.hoverBox = box;
    this.hoverImage = box.querySelector('img');
    this.hoverText = box.querySelector('.hover-text');
    canvas.addEventListener('pointermove', (event) => {
      const r = canvas.getBoundingClientRect();
      const x = event.clientX - r.left;
      const y = event.clientY - r.top;
      if (this.off || !this.editor.doc || event.buttons || x < NAME_WIDTH || y >= RULER_HEIGHT) return this.hideHover();
      const row = Math.floor(Math.max(0, Math.min(this.editor.doc.rows - 1, this.editor.view.xToRow(x))));
      this.showHover(row, event.clientX, r.top + RULER_HEIGHT);
    });
    canvas.addEventListener('pointerleave', () => this.hideHover());
    canvas.addEventListener('pointerdown', () => this.hideHover());
  }

  showHover(row, clientX, clientY) {
    const doc = this.editor.doc;
    const left = Math.max(0, Math.min(window.innerWidth - HOVER_WIDTH - 4, clientX - HOVER_WIDTH / 2));
    this.hoverBox.style.left = `${left}px`;
    this.hoverBox.style.top = `${clientY + 4}px`;
    const section = sectionAt(doc.sections, row);
    const seconds = row / doc.rowsPerSecond;
    const bar = Math.floor(row / (doc.rowsPerBeat * 4)) + 1;
    this.hoverText.textContent =
      `${Math.floor(seconds / 60)}:${(seconds % 60).toFixed(2).padStart(5, '0')} · bar ${bar} · ` +
      `${rowText(row, doc.rowsPerBeat)}${section ? ` · ${section.name}` : ''}`;
    this.hoverBox.hidden = false;
    this.pendingHover = row;
    if (!this.hoverBusy) this.pumpHover();
  }

  hideHover() {
    this.pendingHover = null;
    if (this.hoverBox) this.hoverBox.hidden = true;
  }

  async pumpHover() {
    this.hoverBusy = true;
    while (this.pendingHover !== null && this.pendingHover !== this.hoverRow) {
      const row = this.pendingHover;
      try {
        const reply = await fetch(`/api/frame?row=${row + 0.5}&width=${HOVER_WIDTH}&height=${HOVER_HEIGHT}`, {
          credentials: 'same-origin',
          cache: 'no-store',
        });
        if (reply.ok) {
          const url = URL.createObjectURL(await reply.blob());
          if (this.hoverUrl) URL.revokeObjectURL(this.hoverUrl);
          this.hoverUrl = url;
          this.hoverImage.src = url;
          await this.hoverImage.decode().catch(() => {});
          this.hoverRow = row;
          this.hoverShown = (this.hoverShown || 0) + 1;
        }
      } catch (error) {
        break;
      }
    }
    this.hoverBusy = false;
  }

  // --- test and tool hooks ------------------------------------------------------

  // The RGBA bytes of a row's thumbnail as decoded, or null.
  pixels(row) {
    const frame = this.frames.get(row);
    if (!frame || !frame.bitmap) return null;
    const canvas = new OffscreenCanvas(frame.bitmap.width, frame.bitmap.height);
    const ctx = canvas.getContext('2d');
    ctx.drawImage(frame.bitmap, 0, 0);
    return ctx.getImageData(0, 0, canvas.width, canvas.height).data;
  }
}
