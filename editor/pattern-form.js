// The hit pattern's form: the value at the hit and its interpolation, the
// rows until the return and the return's interpolation. Opened before keys
// go on the hits (the person checks or changes the pattern, Enter or
// Apply places it, Escape closes); tap mode uses the pattern last applied.

import { INTERPS } from './model.js';
import { DEFAULT_PATTERN, checkPattern } from './hit-pattern.js';

export class PatternForm {
  constructor() {
    this.pattern = { ...DEFAULT_PATTERN };
    const el = document.createElement('div');
    el.id = 'hit-pattern';
    el.className = 'value-editor';
    el.hidden = true;
    Object.assign(el.style, { right: '12px', top: '40px', width: '290px' });
    const options = INTERPS.map((i) => `<option>${i}</option>`).join('');
    el.innerHTML =
      '<div class="editor-title"></div>' +
      '<label>hit value <input name="value" type="text" spellcheck="false" autocomplete="off"></label>' +
      `<label>hit interpolation <select name="interp">${options}</select></label>` +
      '<label>return after rows <input name="returnRows" type="text" autocomplete="off"></label>' +
      `<label>return interpolation <select name="returnInterp">${options}</select></label>` +
      '<div class="editor-message"></div>' +
      '<div class="editor-hint">Enter applies · Escape cancels</div>';
    document.body.appendChild(el);
    this.element = el;
    this.field = (name) => el.querySelector(`[name="${name}"]`);
    this.onApply = null;
    el.addEventListener('keydown', (event) => {
      event.stopPropagation();
      if (event.key === 'Escape') this.hide();
      else if (event.key === 'Enter') this.apply();
      else return;
      event.preventDefault();
    });
  }

  get open() {
    return !this.element.hidden;
  }

  // Shows the form; onApply(pattern) returns null or a reason it failed.
  show(title, onApply) {
    this.onApply = onApply;
    this.element.querySelector('.editor-title').textContent = title;
    this.element.querySelector('.editor-message').textContent = '';
    for (const name of Object.keys(DEFAULT_PATTERN)) this.field(name).value = String(this.pattern[name]);
    this.element.hidden = false;
    this.field('value').focus();
    this.field('value').select();
  }

  hide() {
    this.element.hidden = true;
    document.getElementById('canvas')?.focus();
  }

  async apply() {
    const read = {};
    for (const name of Object.keys(DEFAULT_PATTERN)) read[name] = this.field(name).value.trim();
    const checked = checkPattern(read);
    const message = this.element.querySelector('.editor-message');
    if (checked.error) {
      message.textContent = checked.error;
      return;
    }
    this.pattern = checked.pattern;
    const error = this.onApply ? await this.onApply(checked.pattern) : null;
    if (error) message.textContent = error;
    else this.hide();
  }
}
