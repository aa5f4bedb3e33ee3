// The show's clock as the page can know it, from the push channel's
// position messages (the row of each frame the show presented, and the
// frame count): while the show plays, a message's arrival time less its
// row's time is the clock offset plus how long the message took to come;
// the smallest of the last five seconds is the offset itself (some message
// always comes through quickly on loopback), so the row the show's picture
// is at now is (now - offset) in rows. The page's own playhead is steered
// by messages as they arrive, so it trails the picture by the messages'
// usual delay: `delayMs` is that gap, which taps are corrected by.
// A seek, a loop's wrap or a pause starts the measurement again.

const WINDOW_MS = 5000;

export class ShowClock {
  constructor(rowsPerSecond) {
    this.rowsPerSecond = rowsPerSecond;
    this.samples = []; // {at, offset, frame, row}
    this.last = null;
  }

  // A position message that arrived at `now` (performance.now()).
  feed(message, now) {
    const row = Number(message.row);
    if (!message.playing || !Number.isFinite(row)) {
      this.samples = [];
      this.last = null;
      return;
    }
    const last = this.last;
    if (last) {
      const expected = last.row + ((now - last.at) / 1000) * this.rowsPerSecond;
      // A quarter of a second back, or half a second ahead of what the
      // clock allows: a jump.
      if (row < last.row - this.rowsPerSecond * 0.25 || row > expected + this.rowsPerSecond * 0.5) {
        this.samples = [];
        this.resets = (this.resets || 0) + 1;
      }
    }
    this.last = { row, at: now };
    const offset = now - (row / this.rowsPerSecond) * 1000;
    this.samples.push({ at: now, offset, frame: Number(message.frame), row });
    while (this.samples.length && this.samples[0].at < now - WINDOW_MS) this.samples.shift();
  }

  get ready() {
    return this.samples.length >= 8;
  }

  get offset() {
    let best = Infinity;
    for (const s of this.samples) best = Math.min(best, s.offset);
    return best;
  }

  // The row the show's picture is at, at time now; null until measured.
  rowAt(now) {
    if (!this.ready) return null;
    return ((now - this.offset) / 1000) * this.rowsPerSecond;
  }

  // How late the messages come, typically (the median's excess over the
  // quickest), in ms.
  get delayMs() {
    if (!this.ready) return null;
    const lateness = this.samples.map((s) => s.offset).sort((a, b) => a - b);
    return lateness[lateness.length >> 1] - lateness[0];
  }

  // The show's frame time from the frame counts, in ms.
  get frameMs() {
    if (this.samples.length < 2) return null;
    const a = this.samples[0];
    const b = this.samples[this.samples.length - 1];
    if (!(b.frame > a.frame)) return null;
    return ((b.row - a.row) / this.rowsPerSecond) * 1000 / (b.frame - a.frame);
  }
}

// The row a tap at `now` is for: where the show's picture is, when the clock
// is measured; else the page's playhead.
export function tapRow(clock, pageRow, now) {
  const shown = clock.rowAt(now);
  return Math.floor(shown === null ? pageRow : shown);
}
