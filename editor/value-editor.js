// The in-place editor of one key: its value in a text field and its
// interpolation in a list beside it, placed over the key. Enter commits,
// Escape cancels, Tab moves between the two; 1-4 typed in the list pick the
// interpolation. Nothing is sent for a value that is not a finite number:
// the field says why and stays open.

import { INTERPS, exactText, rowText } from './model.js';
import { parseValue } from './edits.js';

export class ValueEditor {
  constructor(element, onCommit) {
    this.element = element;
    this.onCommit = onCommit;
    this.input = element.querySelector('input');
    this.select = element.querySelector('select');
    this.message = element.querySelector('.editor-message');
    this.target = null;
    for (const interp of INTERPS) {
      const option = document.createElement('option');
      option.value = interp;
      option.textContent = interp;
      this.select.appendChild(option);
    }
    element.addEventListener('keydown', (event) => this.onKey(event));
    this.input.addEventListener('input', () => (this.message.textContent = ''));
  }

  get open() {
    return !this.element.hidden;
  }

  // Opens over (x, y) in CSS pixels for the key {track, row, value, interp}.
  show(key, x, y) {
    this.target = { track: key.track, row: key.row, value: key.value, interp: key.interp };
    this.element.hidden = false;
    this.element.style.left = `${Math.max(4, Math.min(x - 20, window.innerWidth - 260))}px`;
    this.element.style.top = `${Math.max(4, y + 10)}px`;
    this.element.querySelector('.editor-title').textContent = `${key.track} at ${rowText(key.row)}`;
    this.input.value = exactText(key.value);
    // A type number from a hand-written source stays as it is unless changed.
    this.select.querySelector('.as-written')?.remove();
    if (!INTERPS.includes(key.interp)) {
      const option = document.createElement('option');
      option.className = 'as-written';
      option.value = key.interp;
      option.textContent = `${key.interp} (as written)`;
      this.select.appendChild(option);
    }
    this.select.value = key.interp;
    this.message.textContent = '';
    this.input.focus();
    this.input.select();
  }

  hide() {
    this.element.hidden = true;
    this.target = null;
  }

  onKey(event) {
    event.stopPropagation();
    if (event.key === 'Escape') {
      event.preventDefault();
      this.hide();
    } else if (event.key === 'Enter') {
      event.preventDefault();
      this.commit();
    } else if (event.target === this.select && /^[1-4]$/.test(event.key)) {
      event.preventDefault();
      this.select.value = INTERPS[Number(event.key) - 1];
    }
  }

  async commit() {
    const parsed = parseValue(this.input.value);
    if (parsed.error) {
      this.message.textContent = parsed.error;
      return;
    }
    const { track, row, value } = this.target;
    // An unchanged value is sent as the service gave it, to the bit.
    const same = value !== null && Math.fround(parsed.value) === Math.fround(value);
    const op = { op: 'set', track, row, value: same ? value : parsed.value };
    if (INTERPS.includes(this.select.value)) op.interp = this.select.value;
    const error = await this.onCommit(op);
    if (error) this.message.textContent = error;
    else this.hide();
  }
}
