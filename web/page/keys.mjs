// The keys of the window's keyboard table, as virtual key codes, and where the
// keyboard focus is in the window's terms. The table itself is the core's.

const named = { Tab: 9, Enter: 13, ArrowLeft: 37, ArrowUp: 38, ArrowRight: 39, ArrowDown: 40 };
const letters = { A: 65, F: 70 };

// The virtual key of a key-down, or 0 for a key the table does not look at.
// Letters go by the character typed, as the window's virtual keys follow the
// keyboard layout; Ctrl, Alt and Meta combinations stay the browser's.
export function virtualKey(event) {
  if (event.ctrlKey || event.altKey || event.metaKey || event.isComposing) return 0;
  if (named[event.key] !== undefined) return named[event.key];
  if (event.key && event.key.length === 1) return letters[event.key.toUpperCase()] ?? 0;
  return 0;
}

export const fieldIds = [1002, 1004, 1011];

// The control id the window would see with the focus on `element`: a window
// control's own id, 0 for the main window or a page button, or null for a
// page input that keeps its keys (a list box, a link's text).
export function focusOf(element) {
  if (!element || element === document.body || element === document.documentElement) return 0;
  const id = Number(element.dataset?.control);
  if (id) return id;
  const tag = element.tagName;
  if (tag === 'INPUT' || tag === 'SELECT' || tag === 'TEXTAREA' || element.isContentEditable) return null;
  return 0;
}
