// The help overlay: every key and mouse binding, from the bindings table.

import { KEY_BINDINGS, MOUSE_BINDINGS } from './bindings.js';

export class HelpOverlay {
  constructor(element) {
    this.element = element;
    const rows = (pairs) =>
      pairs.map(([k, t]) => `<tr><th>${k}</th><td>${t}</td></tr>`).join('');
    element.innerHTML =
      '<div class="help-box"><h2>Keys</h2><table>' +
      rows(KEY_BINDINGS.map((b) => [b.keys, b.text])) +
      '</table><h2>Mouse</h2><table>' +
      rows(MOUSE_BINDINGS) +
      '</table><p>Escape or ? closes this.</p></div>';
    element.addEventListener('click', () => this.hide());
  }

  get open() {
    return !this.element.hidden;
  }

  toggle() {
    this.element.hidden = !this.element.hidden;
  }

  hide() {
    this.element.hidden = true;
  }
}
