// The control's message boxes, shown over the element. The page may answer a
// box itself: the cancelable `zov-messagebox` event carries respond(v); when no
// listener takes it, the element shows the box and its buttons answer. The
// control's window waits in a nested loop until the answer arrives.
import { isInt, isStr } from './util.js';

const IDOK = 1, IDCANCEL = 2, IDABORT = 3, IDRETRY = 4, IDIGNORE = 5, IDYES = 6, IDNO = 7;

// The buttons of a message box by the low four bits of its type.
const BOX_BUTTONS = {
  0: [['OK', IDOK]],
  1: [['OK', IDOK], ['Cancel', IDCANCEL]],
  2: [['Abort', IDABORT], ['Retry', IDRETRY], ['Ignore', IDIGNORE]],
  3: [['Yes', IDYES], ['No', IDNO], ['Cancel', IDCANCEL]],
  4: [['Yes', IDYES], ['No', IDNO]],
  5: [['Retry', IDRETRY], ['Cancel', IDCANCEL]]
};

export const MESSAGEBOX_STYLE = [
  '.veil { position: absolute; inset: 0; background: rgba(0,0,0,0.25); display: flex;',
  '  align-items: center; justify-content: center; z-index: 2; }',
  '.box { min-width: 240px; max-width: min(520px, 90%); max-height: 90%; overflow: auto; background: #fff;',
  '  border: 1px solid #707070; box-shadow: 0 4px 16px rgba(0,0,0,0.35);',
  '  font: 13px/1.45 system-ui, "Segoe UI", sans-serif; color: #000; }',
  '.box .caption { padding: 6px 10px; background: #f3f3f3; border-bottom: 1px solid #ddd; font-weight: 600; }',
  '.box .text { padding: 14px 12px; white-space: pre-wrap; word-break: break-word; }',
  '.box .buttons { padding: 8px 10px; background: #f0f0f0; text-align: right; }',
  '.box button { min-width: 76px; margin-left: 8px; padding: 3px 10px; font: inherit; }'
].join('\n');

// The open boxes of one element, by question id.
export class MessageBoxes {
  constructor(element) {
    this.element = element;
    this.open = new Map();
  }

  // Asks the page, then shows the box unless the page answered or took it.
  ask(msg) {
    const element = this.element, id = msg.id;
    let answered = false;
    const type = isInt(msg.type) ? msg.type : 0;
    const detail = {
      text: isStr(msg.text) ? msg.text : '',
      caption: isStr(msg.caption) ? msg.caption : '',
      type,
      buttons: Array.isArray(msg.buttons) ? msg.buttons.filter(isStr) : [],
      respond: (v) => {
        if (answered) return;
        answered = true;
        const box = this.open.get(id);
        if (box) { box.remove(); this.open.delete(id); }
        element._post({ t: 'answer', el: element._el, id, v: isInt(v) ? v : IDCANCEL });
      }
    };
    const ev = new CustomEvent('zov-messagebox', { detail, cancelable: true });
    if (!element.dispatchEvent(ev) || answered) return;
    this.show(id, detail);
  }

  show(id, detail) {
    const standard = BOX_BUTTONS[detail.type & 0xf] || BOX_BUTTONS[0];
    const veil = document.createElement('div');
    veil.className = 'veil';
    const box = document.createElement('div');
    box.className = 'box';
    box.setAttribute('role', 'alertdialog');
    box.setAttribute('aria-modal', 'true');
    const cap = document.createElement('div');
    cap.className = 'caption';
    cap.textContent = detail.caption;
    const text = document.createElement('div');
    text.className = 'text';
    text.textContent = detail.text;
    const row = document.createElement('div');
    row.className = 'buttons';
    const buttons = standard.map((b, i) => {
      const btn = document.createElement('button');
      btn.type = 'button';
      btn.textContent = detail.buttons[i] || b[0];
      btn.dataset.result = String(b[1]);
      btn.addEventListener('click', () => detail.respond(b[1]));
      row.appendChild(btn);
      return btn;
    });
    box.append(cap, text, row);
    veil.appendChild(box);
    const cancel = standard.some((b) => b[1] === IDCANCEL);
    veil.addEventListener('keydown', (e) => {
      if (e.key === 'Escape' && (cancel || standard.length === 1)) {
        e.preventDefault();
        detail.respond(cancel ? IDCANCEL : standard[0][1]);
      }
    });
    this.element.shadowRoot.appendChild(veil);
    this.open.set(id, veil);
    const def = buttons[(detail.type >> 8) & 0xf] || buttons[0];
    if (def) def.focus();
  }

  // Removes every box without an answer: the control is gone.
  clear() {
    for (const box of this.open.values()) box.remove();
    this.open.clear();
  }
}
