// The control's popup menus (the speed menu of the toolbar, the context menu).
// A menu is a question: the control's window waits until the element answers
// with the chosen item, 0 for none. As with message boxes the page may answer
// itself: the cancelable `zov-menu` event carries respond(v); when no listener
// takes it, the element shows the menu.
import { isInt, isStr } from './util.js';

const MAX_ITEMS = 256, MAX_TEXT = 512;
// Kept this far from the element's edges when the menu has to move in.
const EDGE = 2;

export const MENU_STYLE = [
  '.menu-veil { position: absolute; inset: 0; z-index: 4; }',
  '.menu { position: absolute; min-width: 120px; max-height: 100%; overflow-y: auto; box-sizing: border-box;',
  '  padding: 3px 0; background: #f9f9f9; border: 1px solid #a0a0a0; box-shadow: 2px 3px 8px rgba(0,0,0,0.3);',
  '  font: 13px/1.5 system-ui, "Segoe UI", sans-serif; color: #000; outline: none; }',
  '.menu [role^="menuitem"] { display: flex; align-items: center; padding: 2px 24px 2px 0; white-space: nowrap;',
  '  outline: none; cursor: default; }',
  '.menu [role^="menuitem"] .check { flex: 0 0 24px; text-align: center; }',
  '.menu [role^="menuitem"].active { background: #cce4f7; }',
  '.menu [role^="menuitem"][aria-disabled="true"] { color: #8d8d8d; }',
  '.menu [role="separator"] { height: 0; margin: 3px 2px; border-top: 1px solid #d0d0d0; }'
].join('\n');

function readItem(it) {
  if (!it || typeof it !== 'object') return null;
  if (it.sep === true) return { sep: true };
  if (!isInt(it.id)) return null;
  return {
    sep: false,
    id: it.id,
    text: isStr(it.text) ? it.text.slice(0, MAX_TEXT) : '',
    checked: it.checked === true,
    enabled: it.enabled !== false
  };
}

// The open menus of one element, by question id.
export class Menus {
  // `element` posts the answers (_post, _el), maps points (_cssScale()) and
  // hears when a menu is answered (_menuAnswered()).
  constructor(element) {
    this.element = element;
    this.open = new Map();  // id -> {veil, close}
  }

  ask(msg) {
    const element = this.element, id = msg.id;
    const items = (Array.isArray(msg.items) ? msg.items.slice(0, MAX_ITEMS) : []).map(readItem).filter(Boolean);
    let answered = false;
    const detail = {
      x: isInt(msg.x) ? msg.x : 0,
      y: isInt(msg.y) ? msg.y : 0,
      items: items.map((it) => Object.assign({}, it)),
      respond: (v) => {
        if (answered) return;
        answered = true;
        const menu = this.open.get(id);
        if (menu) { menu.close(); this.open.delete(id); }
        // Only an item that can be chosen is an answer; anything else is none.
        const item = isInt(v) ? items.find((it) => !it.sep && it.id === v) : null;
        element._post({ t: 'answer', el: element._el, id, v: item && item.enabled ? v : 0 });
        element._menuAnswered();
      }
    };
    const ev = new CustomEvent('zov-menu', { detail, cancelable: true, bubbles: true, composed: true });
    if (!element.dispatchEvent(ev) || answered) return;
    this.show(id, detail, items);
  }

  show(id, detail, items) {
    const element = this.element, root = element.shadowRoot;
    const veil = document.createElement('div');
    veil.className = 'menu-veil';
    const menu = document.createElement('div');
    menu.className = 'menu';
    menu.setAttribute('role', 'menu');
    menu.setAttribute('part', 'menu');
    menu.tabIndex = -1;
    const rows = [];
    for (const it of items) {
      const row = document.createElement('div');
      if (it.sep) {
        row.setAttribute('role', 'separator');
        menu.appendChild(row);
        continue;
      }
      row.setAttribute('role', it.checked ? 'menuitemcheckbox' : 'menuitem');
      if (it.checked) row.setAttribute('aria-checked', 'true');
      if (!it.enabled) row.setAttribute('aria-disabled', 'true');
      row.tabIndex = -1;
      row.dataset.id = String(it.id);
      const check = document.createElement('span');
      check.className = 'check';
      check.setAttribute('aria-hidden', 'true');
      check.textContent = it.checked ? '\u2713' : '';
      const text = document.createElement('span');
      text.textContent = it.text;
      row.append(check, text);
      row.addEventListener('pointermove', () => activate(rows.indexOf(row)));
      row.addEventListener('click', () => {
        if (it.enabled) detail.respond(it.id);
      });
      menu.appendChild(row);
      rows.push(row);
    }
    const choices = items.filter((it) => !it.sep);  // one per row
    let active = -1;
    function activate(i) {
      if (active >= 0) rows[active].classList.remove('active');
      active = i;
      if (i >= 0) {
        rows[i].classList.add('active');
        rows[i].focus({ preventScroll: true });
      }
    }
    // Disabled items are skipped, as native menus skip them.
    function step(dir) {
      for (let n = 1; n <= rows.length; n++) {
        const i = ((active < 0 ? (dir > 0 ? -1 : 0) : active) + dir * n + rows.length * n) % rows.length;
        if (choices[i].enabled) { activate(i); return; }
      }
    }
    const onKey = (e) => {
      switch (e.key) {
        case 'ArrowDown': step(1); break;
        case 'ArrowUp': step(-1); break;
        case 'Home': active = -1; step(1); break;
        case 'End': active = -1; step(-1); break;
        case 'Enter': case ' ':
          if (active >= 0 && choices[active].enabled) detail.respond(choices[active].id);
          break;
        case 'Escape': case 'Tab': detail.respond(0); break;
        default: return;
      }
      e.preventDefault();
      e.stopPropagation();
    };
    menu.addEventListener('keydown', onKey);
    // The keyboard is the menu's while it is up, wherever the focus is, as with a native menu.
    const strayKey = (e) => {
      if (!e.composedPath().includes(menu)) onKey(e);
    };
    document.addEventListener('keydown', strayKey, true);
    menu.addEventListener('contextmenu', (e) => e.preventDefault());
    veil.addEventListener('contextmenu', (e) => e.preventDefault());
    veil.appendChild(menu);

    // A press anywhere but on the menu answers none, in the page or in the element.
    const outside = (e) => {
      if (!e.composedPath().includes(menu)) detail.respond(0);
    };
    document.addEventListener('pointerdown', outside, true);
    // The focus goes back where it was (the drop-down button opened by keyboard, say).
    const before = root.activeElement;
    const close = () => {
      document.removeEventListener('pointerdown', outside, true);
      document.removeEventListener('keydown', strayKey, true);
      const focused = menu.contains(root.activeElement);
      veil.remove();
      if (!focused) return;
      if (before && before.isConnected && !before.disabled) before.focus({ preventScroll: true });
      else element._focusCanvas();
    };
    root.appendChild(veil);
    this.open.set(id, { veil, close });

    // At its point, moved in where it would stand out of the element.
    const s = element._cssScale();
    const host = veil.getBoundingClientRect();
    const w = menu.offsetWidth, h = menu.offsetHeight;
    let x = detail.x / s, y = detail.y / s;
    x = Math.max(0, Math.min(x, host.width - w - EDGE));
    y = Math.max(0, Math.min(y, host.height - h - EDGE));
    menu.style.left = x + 'px';
    menu.style.top = y + 'px';
    menu.focus({ preventScroll: true });
  }

  // Removes every menu without an answer: the control is gone.
  clear() {
    for (const m of this.open.values()) m.close();
    this.open.clear();
  }
}
