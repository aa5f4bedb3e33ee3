// The show's position between the service's position messages: while the
// show plays, the row runs on at the music's rate from the last message;
// a new message that lies close to that estimate steers it gently (so the
// playhead does not jitter with the messages' arrival), one far from it
// (a seek, a loop's wrap) is taken as it is.

export class Playhead {
  constructor() {
    this.row = 0;
    this.at = 0;
    this.playing = false;
    this.loop = null;
    this.rowsPerSecond = 140 * 16 / 60;
  }

  // The estimated row at time now (ms, performance.now()).
  current(now) {
    return this.playing ? this.row + ((now - this.at) / 1000) * this.rowsPerSecond : this.row;
  }

  update(row, playing, now) {
    const estimate = this.current(now);
    const close = this.playing && playing && Math.abs(row - estimate) < this.rowsPerSecond * 0.15;
    this.row = close ? estimate + (row - estimate) * 0.25 : row;
    this.at = now;
    this.playing = playing;
  }
}
