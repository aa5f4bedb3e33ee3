// The time axis: which rows the lanes, the ruler and the curve view show,
// and where a row lands in pixels. Zoom keeps the row under the pointer in
// place; the view never drifts far outside the song.

export class TimeView {
  constructor() {
    this.firstRow = 0; // row at the left edge of the time area
    this.pxPerRow = 0.25;
    this.left = 0; // x of the time area's left edge
    this.width = 1; // width of the time area
    this.songRows = 1;
    this.version = 0; // bumped on every change, for the drawing caches
  }

  rowToX(row) {
    return this.left + (row - this.firstRow) * this.pxPerRow;
  }

  xToRow(x) {
    return this.firstRow + (x - this.left) / this.pxPerRow;
  }

  get lastRow() {
    return this.firstRow + this.width / this.pxPerRow;
  }

  setArea(left, width, songRows) {
    if (left === this.left && width === this.width && songRows === this.songRows) return;
    const fitted = this.songRows <= 1 || this.isFitted();
    this.left = left;
    this.width = Math.max(1, width);
    this.songRows = Math.max(1, songRows);
    if (fitted) this.fit();
    else this.clamp();
  }

  isFitted() {
    return Math.abs(this.pxPerRow - this.fitScale()) < 1e-9 && this.firstRow <= 0;
  }

  fitScale() {
    return this.width / (this.songRows * 1.02);
  }

  // The whole song in view.
  fit() {
    this.pxPerRow = this.fitScale();
    this.firstRow = -this.songRows * 0.01;
    this.version++;
  }

  // Zooms by factor keeping the row under x where it is.
  zoomAt(x, factor) {
    const row = this.xToRow(x);
    const min = this.fitScale() / 2;
    const max = 48;
    this.pxPerRow = Math.min(max, Math.max(min, this.pxPerRow * factor));
    this.firstRow = row - (x - this.left) / this.pxPerRow;
    this.clamp();
  }

  panPixels(dx) {
    this.firstRow -= dx / this.pxPerRow;
    this.clamp();
  }

  // Brings row into view (paging, as a player's timeline follows the music).
  follow(row) {
    const span = this.width / this.pxPerRow;
    if (row >= this.firstRow && row <= this.firstRow + span * 0.98) return;
    this.firstRow = row - span * 0.05;
    this.clamp();
  }

  clamp() {
    const span = this.width / this.pxPerRow;
    const lo = -span * 0.5;
    const hi = this.songRows - span * 0.5;
    this.firstRow = Math.min(Math.max(this.firstRow, lo), Math.max(lo, hi));
    this.version++;
  }
}
