// Every key and mouse binding, with what it does: the keyboard handler
// looks keys up here and the help overlay lists the table.

export const KEY_BINDINGS = [
  { keys: 'Space', action: 'play', text: 'Play or pause the show' },
  { keys: 'Home', action: 'home', text: 'Go to the start' },
  { keys: 'End', action: 'end', text: 'Go to the end' },
  { keys: 'Left / Right', action: null, text: 'One bar back / on (Shift: one beat)' },
  { keys: 'Page Up / Page Down', action: null, text: 'Previous / next section or cue' },
  { keys: 'L', action: 'loop', text: 'Loop on or off (the region last set, else the section)' },
  { keys: 'Ctrl + Z', action: 'undo', text: 'Undo (the show’s one history)' },
  { keys: 'Ctrl + Shift + Z, Ctrl + Y', action: 'redo', text: 'Redo' },
  { keys: 'Ctrl + C', action: 'copy', text: 'Copy the selected keys' },
  { keys: 'Ctrl + V', action: 'paste', text: 'Paste them at the playhead, same tracks, same timing' },
  { keys: 'Ctrl + A', action: 'selectAll', text: 'Select every key (of the chosen lanes, if any)' },
  { keys: '1 2 3 4', action: null, text: 'Interpolation of the selected keys: step, linear, smooth, ramp' },
  { keys: 'Delete, Backspace', action: 'delete', text: 'Delete the selected keys' },
  { keys: 'Tab / Shift + Tab', action: null, text: 'Select the next / previous key of the selected key’s lane' },
  { keys: 'Enter', action: 'editValue', text: 'Type the value and interpolation of the selected key' },
  { keys: 'Escape', action: 'escape', text: 'Cancel a drag or a take, leave tap mode, clear the selection, close this help' },
  { keys: '+ / -, 0', action: null, text: 'Zoom in / out around the playhead; the whole song' },
  { keys: '. / ,', action: null, text: 'Playhead to the next / previous shown onset (the song’s hits)' },
  { keys: 'S', action: 'snapOnsets', text: 'Dragged keys snap to a shown onset nearby: on or off' },
  { keys: 'H', action: 'hitPattern', text: 'Keys on the hits: a pattern on every shown onset in the loop region (else the selected keys’ span), in the chosen lanes' },
  { keys: 'R', action: 'record', text: 'Record the chosen lane: play, move the pointer over the curve view; R or Space ends the take' },
  { keys: 'T', action: 'tap', text: 'Tap mode on the chosen lane on or off' },
  { keys: 'K', action: 'tapKey', text: 'In tap mode: the hit pattern at the row the show’s picture is at' },
  { keys: '?', action: 'help', text: 'This help' },
];

export const MOUSE_BINDINGS = [
  ['Click / drag on the beat ruler', 'Seek the show'],
  ['Shift + drag on the beat ruler', 'Set a loop region (the show loops it)'],
  ['Click a section or cue name', 'Jump to it'],
  ['Drag the waveform or the song form band', 'Pan'],
  ['Wheel', 'Pan in time (over the names: scroll the lanes)'],
  ['Ctrl + wheel', 'Zoom around the pointer'],
  ['Click a key', 'Select it (Shift / Ctrl: add or remove)'],
  ['Drag a key', 'Move the selected keys in time, snapped to rows (Shift: beats) or to a shown onset within a few pixels (S); in the curve view also in value, locked to one axis once the drag leans one way'],
  ['Onset slider in the bar', 'Hide the weaker onsets'],
  ['Drag on empty space', 'Box-select, across lanes (Shift / Ctrl: add)'],
  ['Double-click', 'Add a key with the curve’s present value; on a key: edit it'],
  ['Click a lane’s name', 'Show its curve (Shift / Ctrl: several)'],
  ['Click a group', 'Fold or unfold it'],
];

// The action for a key event, or null.
export function actionFor(event) {
  const ctrl = event.ctrlKey || event.metaKey;
  const key = event.key;
  if (ctrl) {
    const lower = key.toLowerCase();
    if (lower === 'z') return event.shiftKey ? 'redo' : 'undo';
    if (lower === 'y') return 'redo';
    if (lower === 'c') return 'copy';
    if (lower === 'v') return 'paste';
    if (lower === 'a') return 'selectAll';
    return null;
  }
  if (event.altKey) return null;
  switch (key) {
    case ' ': return 'play';
    case 'Home': return 'home';
    case 'End': return 'end';
    case 'ArrowLeft': return event.shiftKey ? 'beatBack' : 'barBack';
    case 'ArrowRight': return event.shiftKey ? 'beatOn' : 'barOn';
    case 'PageUp': return 'markBack';
    case 'PageDown': return 'markOn';
    case 'l': case 'L': return 'loop';
    case '1': return 'interp:step';
    case '2': return 'interp:linear';
    case '3': return 'interp:smooth';
    case '4': return 'interp:ramp';
    case 'Delete': case 'Backspace': return 'delete';
    case 'Enter': return 'editValue';
    case 'Tab': return event.shiftKey ? 'previousKey' : 'nextKey';
    case 'Escape': return 'escape';
    case '+': case '=': return 'zoomIn';
    case '-': return 'zoomOut';
    case '0': return 'zoomFit';
    case '?': return 'help';
    case '.': return 'nextOnset';
    case ',': return 'previousOnset';
    case 's': case 'S': return 'snapOnsets';
    case 'h': case 'H': return 'hitPattern';
    case 'r': case 'R': return 'record';
    case 't': case 'T': return 'tap';
    case 'k': case 'K': return 'tapKey';
    default: return null;
  }
}
