// The page's start: builds the editor on the canvas, connects it to the
// service, and handles the keyboard (transport, edits, copy and paste,
// undo and redo, the value editor and the help). `window.tesselEditor`
// exposes the editor to tools and tests.

import { Editor } from './editor.js';
import { attachPointer } from './pointer.js';
import { actionFor } from './bindings.js';
import { HelpOverlay } from './help.js';
import { ValueEditor } from './value-editor.js';
import { interpOps, deleteOps, copyKeys, pasteOps } from './edits.js';
import { sectionAt } from './model.js';
import { NAME_WIDTH } from './layout.js';
import { HitTools } from './hit-tools.js';

const $ = (id) => document.getElementById(id);
const canvas = $('canvas');
canvas.tabIndex = 0;
const editor = new Editor(canvas, {
  position: $('position'), transport: $('transport'), message: $('message'), counts: $('counts'), banner: $('banner'),
});
const help = new HelpOverlay($('help'));
const valueEditor = new ValueEditor($('value-editor'), async (op) => {
  const error = await editor.edit([op], { select: [{ track: op.track, row: op.row }] });
  canvas.focus();
  return error;
});
$('help-button').addEventListener('click', () => help.toggle());
const tools = new HitTools(editor, $('bar'));

// Opens the value editor on a key of the document.
function openEditor(item) {
  const key = editor.doc.keyAt(item.track, item.row);
  if (!key) return;
  editor.view.follow(item.row);
  editor.invalidate(true);
  const at = editor.keyPoint(item.track, item.row) || { x: 300, y: 200 };
  valueEditor.show({ track: item.track, row: item.row, value: key.value, interp: key.interp }, at.x, at.y);
}
attachPointer(editor, openEditor);
editor.filmstrip.attachHover(canvas, $('hover'));

const CLIPBOARD = 'tessel.editor.clipboard';

// The song form's marks (section starts and cues), sorted, without repeats.
function marks() {
  return [...new Set(editor.doc.sections.map((s) => s.row))].sort((a, b) => a - b);
}

function run(action, event) {
  const doc = editor.doc;
  const row = editor.row;
  const bar = doc.rowsPerBeat * 4;
  const selected = editor.selection.list();
  switch (action) {
    case 'play':
      tools.beforePlay();
      editor.transport({ play: !editor.playhead.playing });
      break;
    case 'home':
      editor.seek(0);
      break;
    case 'end':
      editor.seek(doc.rows);
      break;
    case 'barBack':
    case 'beatBack': {
      const step = action === 'barBack' ? bar : doc.rowsPerBeat;
      editor.seek(Math.max(0, Math.ceil(Math.floor(row) / step) * step - step));
      break;
    }
    case 'barOn':
    case 'beatOn': {
      const step = action === 'barOn' ? bar : doc.rowsPerBeat;
      editor.seek(Math.floor(Math.floor(row) / step) * step + step);
      break;
    }
    case 'markBack': {
      const before = marks().filter((m) => m < Math.floor(row));
      editor.seek(before.length ? before[before.length - 1] : 0);
      break;
    }
    case 'markOn': {
      const after = marks().find((m) => m > Math.floor(row));
      if (after !== undefined) editor.seek(after);
      break;
    }
    case 'loop': {
      if (editor.playhead.loop) editor.transport({ loop: null });
      else {
        const section = sectionAt(doc.sections, Math.floor(row));
        const region = editor.lastLoop || (section ? [section.row, section.endRow ?? doc.rows] : null);
        if (region) editor.transport({ loop: region });
      }
      break;
    }
    case 'undo':
    case 'redo':
      editor.history(action);
      break;
    case 'copy': {
      const clip = copyKeys(doc, selected);
      if (clip) {
        localStorage.setItem(CLIPBOARD, JSON.stringify(clip));
        editor.flash(`${clip.keys.length} key${clip.keys.length === 1 ? '' : 's'} copied`, 2000);
      }
      break;
    }
    case 'paste': {
      let clip = null;
      try {
        clip = JSON.parse(localStorage.getItem(CLIPBOARD) || 'null');
      } catch (error) {
        clip = null;
      }
      const { ops, pasted } = pasteOps(doc, clip, Math.floor(row));
      editor.edit(ops, { select: pasted });
      break;
    }
    case 'selectAll': {
      const lanes = editor.selection.lanes;
      const all = [];
      for (const track of doc.tracks)
        if (!lanes.size || lanes.has(track.name)) for (const key of track.keys) all.push({ track: track.name, row: key.row });
      editor.selection.set(all);
      editor.invalidate(false);
      break;
    }
    case 'delete':
      editor.edit(deleteOps(doc, selected), { select: [] });
      break;
    case 'nextKey':
    case 'previousKey': {
      // From the selected key, or from the playhead in the first chosen lane.
      const from = editor.selection.primary;
      const track = from ? from.track : [...editor.selection.lanes][0];
      const keys = track ? doc.track(track)?.keys || [] : [];
      const at = from ? from.row : Math.floor(row) - (action === 'nextKey' ? 1 : 0);
      const key = action === 'nextKey' ? keys.find((k) => k.row > at) : [...keys].reverse().find((k) => k.row < at);
      if (key) {
        editor.selection.set([{ track, row: key.row }]);
        editor.view.follow(key.row);
        editor.invalidate(true);
      }
      break;
    }
    case 'editValue': {
      const item = editor.selection.primary || selected[selected.length - 1];
      if (item) openEditor(item);
      break;
    }
    case 'escape':
      if (help.open) help.hide();
      else if (tools.escape()) break;
      else if (editor.drag) {
        editor.drag.setTarget(0, 0);
        editor.drag.finished = true;
        editor.requestFrame();
      } else {
        editor.selection.clear();
        editor.selection.lanes.clear();
        editor.invalidate(true);
      }
      break;
    case 'zoomIn':
    case 'zoomOut':
      editor.view.zoomAt(Math.max(NAME_WIDTH, editor.view.rowToX(row)), action === 'zoomIn' ? 1.5 : 1 / 1.5);
      editor.invalidate(true);
      break;
    case 'zoomFit':
      editor.view.fit();
      editor.invalidate(true);
      break;
    case 'help':
      help.toggle();
      break;
    default:
      if (tools.run(action)) break;
      if (action.startsWith('interp:')) editor.edit(interpOps(doc, selected, action.slice(7)), { select: selected });
  }
  event.preventDefault();
}

document.addEventListener('keydown', (event) => {
  if (!editor.doc || valueEditor.open) return;
  if (event.target instanceof HTMLInputElement || event.target instanceof HTMLSelectElement) return;
  const action = actionFor(event);
  if (!action) return;
  if (help.open && action !== 'help' && action !== 'escape') return;
  run(action, event);
});

new ResizeObserver(() => editor.resize()).observe($('stage'));
window.tesselEditor = editor;
editor.tools = tools;
editor.start();
