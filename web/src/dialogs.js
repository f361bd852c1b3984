// The control's dialogs: child windows the container describes control by
// control; the element lays them out in order and draws them in HTML. A
// dialog does not close itself: a pressed button goes to the control with the
// texts of the edit boxes, and the container takes the dialog away
// (childDestroy) when the control ends it. A colour chosen with a colour
// button goes to the control too; its swatch changes when the control says.
import { isInt, isStr, longerThan } from './util.js';

const MAX_CONTROLS = 128, MAX_TABS = 16, MAX_LABEL = 4096;
const IDOK = 1, IDCANCEL = 2;
// The buttons of a property sheet's own row; everything else is its page's.
const SHEET_BUTTONS = new Set([IDOK, IDCANCEL, 9, 0x3021]);
// Kept this far inside the element when placed or dragged.
const EDGE = 4;
// Colours as <input type="color"> writes them.
const COLOUR = /^#[0-9a-f]{6}$/i;

export const DIALOG_STYLE = [
  '.dialog-veil { position: absolute; inset: 0; z-index: 2; background: rgba(0,0,0,0.2); }',
  '.dlg { position: absolute; z-index: 2; min-width: 260px; max-width: calc(100% - 8px); max-height: calc(100% - 8px);',
  '  display: flex; flex-direction: column; box-sizing: border-box; overflow: hidden; background: #f0f0f0;',
  '  border: 1px solid #707070; box-shadow: 0 4px 16px rgba(0,0,0,0.35);',
  '  font: 13px/1.45 system-ui, "Segoe UI", sans-serif; color: #000; }',
  '.dlg[hidden] { display: none; }',
  '.dlg-title { padding: 5px 10px; background: #fff; border-bottom: 1px solid #ddd; font-weight: 600;',
  '  cursor: move; touch-action: none; white-space: nowrap; overflow: hidden; text-overflow: ellipsis; }',
  '.dlg-tabs { display: flex; gap: 2px; padding: 8px 10px 0; border-bottom: 1px solid #b0b0b0; }',
  '.dlg-tabs [role="tab"] { font: inherit; padding: 3px 12px; margin-bottom: -1px; border: 1px solid #b0b0b0;',
  '  border-bottom: none; background: #e4e4e4; color: inherit; }',
  '.dlg-tabs [role="tab"][aria-selected="true"] { background: #f9f9f9; padding-bottom: 4px; }',
  '.dlg-tabs [role="tab"][aria-disabled="true"] { color: #8d8d8d; }',
  '.dlg-body { padding: 12px; overflow: auto; display: flex; flex-direction: column; gap: 8px; }',
  '.dlg-body.panel { background: #f9f9f9; margin: 0 10px; border: 1px solid #b0b0b0; border-top: none; }',
  '.dlg-static { white-space: pre-wrap; word-break: break-word; }',
  '.dlg-edit { font: inherit; padding: 2px 4px; border: 1px solid #7a7a7a; background: #fff; color: #000; }',
  'textarea.dlg-edit { min-height: 5em; resize: vertical; }',
  '.dlg-edit:disabled { background: #f0f0f0; color: #6d6d6d; }',
  '.dlg progress { width: 100%; height: 16px; }',
  '.dlg-row { display: flex; justify-content: flex-end; flex-wrap: wrap; gap: 8px; }',
  '.dlg-row.sheet { padding: 10px; }',
  '.dlg button.dlg-button { min-width: 76px; padding: 3px 10px; font: inherit; }',
  '.dlg button.dlg-button.default { outline: 1px solid #1a5fb4; }',
  // A swatch stands 10 px left of the control after it, as high as that
  // control and 1.6 times as wide.
  '.dlg-pair { position: relative; display: flex; align-items: flex-start; gap: 10px; --zov-pair-h: 25px; }',
  '.dlg-pair > :not(.dlg-colour-input) { height: var(--zov-pair-h); box-sizing: border-box; margin: 0; }',
  '.dlg-pair > button.dlg-button { padding-top: 0; padding-bottom: 0; }',
  '.dlg-swatch { flex: none; width: calc(var(--zov-pair-h) * 1.6); border: 1px solid #707070; }',
  // Rendered but unseen: the chooser opens from it, near the button.
  '.dlg-colour-input { position: absolute; left: 0; bottom: 0; width: 1px; height: 1px; padding: 0; border: 0;',
  '  opacity: 0; pointer-events: none; }'
].join('\n');

function text(v) {
  return isStr(v) ? v.slice(0, MAX_LABEL) : '';
}

export class Dialog {
  // `element` draws it (shadowRoot, _conn limits) and posts its events
  // (_post, _el); `msg` is the container's `child` message.
  constructor(element, msg) {
    this.element = element;
    this.h = msg.h;
    this.modal = msg.modal !== false;
    this.controls = new Map();  // id -> {cls, node, default?}
    this.order = [];            // the controls' ids in order
    const base = 'zov-dlg-' + this.h;
    const root = element.shadowRoot;

    const dlg = document.createElement('div');
    dlg.className = 'dlg';
    dlg.id = base;
    dlg.setAttribute('role', 'dialog');
    dlg.setAttribute('aria-modal', this.modal ? 'true' : 'false');
    dlg.setAttribute('part', 'dialog');
    if (isInt(msg.resource)) dlg.dataset.resource = String(msg.resource);
    const title = document.createElement('div');
    title.className = 'dlg-title';
    title.id = base + '-title';
    title.textContent = text(msg.title);
    dlg.setAttribute('aria-labelledby', title.id);
    dlg.appendChild(title);
    this.node = dlg;
    this.title = title;

    const body = document.createElement('div');
    body.className = 'dlg-body';
    const tabs = Array.isArray(msg.tabs) ? msg.tabs.filter(isStr).slice(0, MAX_TABS) : [];
    let sheetRow = null;
    if (tabs.length) {
      dlg.appendChild(this.makeTabs(base, tabs, body));
      sheetRow = document.createElement('div');
      sheetRow.className = 'dlg-row sheet';
    }
    dlg.appendChild(body);
    if (sheetRow) dlg.appendChild(sheetRow);

    const list = Array.isArray(msg.controls) ? msg.controls.slice(0, MAX_CONTROLS) : [];
    let row = null, last = null, focus = null, pair = null;
    for (const c of list) {
      if (!c || typeof c !== 'object' || !isInt(c.id) || !isStr(c.class)) continue;
      // Statics share identifiers (65535 is "no identifier"): only the first is addressed.
      const made = this.makeControl(base, c, last);
      if (!made) continue;
      if (pair) {
        // The control a swatch stands beside.
        pair.append(made.node, ...(made.input ? [made.input] : []));
        pair = null;
        row = null;
      } else if (made.cls === 'swatch') {
        pair = document.createElement('div');
        pair.className = 'dlg-pair';
        pair.appendChild(made.node);
        body.appendChild(pair);
        row = null;
      } else if (made.cls === 'button' && sheetRow && SHEET_BUTTONS.has(c.id)) {
        sheetRow.appendChild(made.node);
      } else if (made.cls === 'button') {
        if (!row) {
          row = document.createElement('div');
          row.className = 'dlg-row';
          body.appendChild(row);
        }
        row.appendChild(made.node);
      } else {
        row = null;
        body.appendChild(made.node);
        if (made.input) body.appendChild(made.input);
      }
      if (!this.controls.has(c.id)) {
        this.controls.set(c.id, made);
        this.order.push(c.id);
      }
      if (c.focus === true && !focus) focus = made.node;
      last = made;
    }

    dlg.addEventListener('keydown', (e) => this.key(e));
    this.wireActivation();
    this.wireDrag();
    if (this.modal) {
      this.veil = document.createElement('div');
      this.veil.className = 'dialog-veil';
      // The window behind is disabled: a press on the veil keeps the focus here.
      this.veil.addEventListener('pointerdown', (e) => e.preventDefault());
      this.veil.addEventListener('contextmenu', (e) => e.preventDefault());
      this.veil.appendChild(dlg);
      root.appendChild(this.veil);
    } else {
      this.veil = null;
      root.appendChild(dlg);
    }
    this.centre();
    this.focusFirst(focus);
  }

  makeTabs(base, tabs, panel) {
    const list = document.createElement('div');
    list.className = 'dlg-tabs';
    list.setAttribute('role', 'tablist');
    panel.classList.add('panel');
    panel.setAttribute('role', 'tabpanel');
    panel.id = base + '-panel';
    tabs.forEach((caption, i) => {
      const tab = document.createElement('button');
      tab.type = 'button';
      tab.id = base + '-tab' + i;
      tab.setAttribute('role', 'tab');
      tab.setAttribute('aria-selected', i === 0 ? 'true' : 'false');
      tab.setAttribute('aria-controls', panel.id);
      tab.textContent = caption.slice(0, MAX_LABEL);
      // Only the first page's controls travel: the other pages cannot be shown.
      if (i > 0) tab.setAttribute('aria-disabled', 'true');
      tab.tabIndex = i === 0 ? 0 : -1;
      list.appendChild(tab);
    });
    panel.setAttribute('aria-labelledby', base + '-tab0');
    return list;
  }

  makeControl(base, c, last) {
    const id = base + '-c' + c.id;
    let node, input = null;
    switch (c.class) {
      case 'static':
        node = document.createElement('div');
        node.className = 'dlg-static';
        node.textContent = text(c.text);
        break;
      case 'edit': {
        node = document.createElement(c.multiline === true ? 'textarea' : 'input');
        if (node.tagName === 'INPUT') node.type = 'text';
        node.className = 'dlg-edit';
        node.spellcheck = false;
        node.maxLength = this.stringLimit();
        node.value = isStr(c.text) ? c.text.slice(0, this.stringLimit()) : '';
        // A label just before an edit box names it, as in the dialog resources.
        if (last && last.cls === 'static') node.setAttribute('aria-labelledby', last.node.id || (last.node.id = id + '-label'));
        break;
      }
      case 'button':
        node = document.createElement('button');
        node.type = 'button';
        node.className = 'dlg-button' + (c.default === true ? ' default' : '');
        node.textContent = text(c.text);
        node.addEventListener('click', () => this.press(c.id));
        break;
      case 'progress':
        node = document.createElement('progress');
        break;
      case 'swatch':
        node = document.createElement('div');
        node.className = 'dlg-swatch';
        node.setAttribute('role', 'img');
        break;
      case 'colour': {
        node = document.createElement('button');
        node.type = 'button';
        node.className = 'dlg-button';
        node.textContent = text(c.text);
        input = document.createElement('input');
        input.type = 'color';
        input.className = 'dlg-colour-input';
        input.tabIndex = -1;
        input.setAttribute('aria-hidden', 'true');
        // A colour is chosen when the chooser closes on it, not while it is dragged about.
        input.addEventListener('change', () => this.colourChosen(c.id, input.value));
        node.addEventListener('click', () => this.chooseColour(c.id));
        break;
      }
      default:
        return null;
    }
    node.dataset.ctl = String(c.id);
    const made = { cls: c.class, node, input, isDefault: c.default === true, min: 0, max: 100, pos: 0 };
    if (made.cls === 'progress') this.setProgress(made, c);
    if (made.cls === 'swatch' || made.cls === 'colour') this.setColour(made, isStr(c.colour) ? c.colour : '#ffffff');
    if (c.enabled === false && made.cls !== 'swatch') {
      node.disabled = true;
      if (input) input.disabled = true;
    }
    return made;
  }

  setColour(made, colour) {
    if (!COLOUR.test(colour)) return;
    colour = colour.toLowerCase();
    made.colour = colour;
    if (made.input) made.input.value = colour;
    if (made.cls === 'swatch') {
      made.node.style.background = colour;
      made.node.setAttribute('aria-label', colour);
    }
  }

  // Opens the browser's colour chooser; only from the reader's click, which
  // is what lets the browser open it.
  chooseColour(id) {
    const c = this.controls.get(id);
    if (!c || !c.input || c.node.disabled) return;
    c.input.value = c.colour || '#ffffff';
    if (typeof c.input.showPicker === 'function') {
      try { c.input.showPicker(); return; } catch (e) { /* older browsers: the click below */ }
    }
    c.input.click();
  }

  colourChosen(id, value) {
    const c = this.controls.get(id);
    if (!c || c.node.disabled || !isStr(value) || !COLOUR.test(value)) return;
    const el = this.element;
    el._post({ t: 'childEvent', el: el._el, h: this.h, ctl: id, e: 'colour', colour: value.toLowerCase() });
  }

  stringLimit() {
    const conn = this.element._conn;
    return conn ? conn.limits.string : 262144;
  }

  setProgress(made, c) {
    if (isInt(c.min)) made.min = c.min;
    if (isInt(c.max)) made.max = c.max;
    if (isInt(c.pos)) made.pos = c.pos;
    const span = Math.max(1, made.max - made.min);
    made.node.max = span;
    made.node.value = Math.max(0, Math.min(span, made.pos - made.min));
  }

  // --- keys, buttons and focus --------------------------------------------------

  key(e) {
    if (e.key === 'Enter') {
      const t = e.target;
      // A focused button presses itself; a multi-line edit takes the line break.
      if (t.tagName === 'BUTTON' || t.tagName === 'TEXTAREA' || e.isComposing) return;
      e.preventDefault();
      const def = this.order.find((id) => this.controls.get(id).isDefault);
      this.pressByKey(def !== undefined ? def : IDOK);
    } else if (e.key === 'Escape') {
      e.preventDefault();
      e.stopPropagation();
      this.pressByKey(IDCANCEL);
    } else if (e.key === 'Tab' && this.modal) {
      // The window behind is disabled: Tab goes round the dialog.
      const list = this.focusable();
      if (!list.length) { e.preventDefault(); return; }
      const at = list.indexOf(this.element.shadowRoot.activeElement);
      const next = e.shiftKey ? (at <= 0 ? list.length - 1 : at - 1) : (at < 0 || at === list.length - 1 ? 0 : at + 1);
      e.preventDefault();
      list[next].focus();
    }
  }

  // Enter and Escape as a dialog box takes them: a disabled button is not
  // pressed, and Escape stands for Cancel even where there is no such button.
  pressByKey(id) {
    const c = this.controls.get(id);
    if (c && (c.cls !== 'button' || c.node.disabled)) return;
    if (!c && id !== IDCANCEL) return;
    this.press(id);
  }

  press(id) {
    const c = this.controls.get(id);
    if (c && c.node.disabled) return;
    const el = this.element;
    const msg = { t: 'childEvent', el: el._el, h: this.h, ctl: id, e: 'click', values: this.values() };
    const conn = el._conn;
    // A message over the limit would close the socket: the longest text is cut until it fits.
    const limit = conn ? conn.limits.message : 1048576;
    for (let n = 0; n < 64 && longerThan(JSON.stringify(msg), limit); n++) {
      let longest = null;
      for (const k in msg.values) if (!longest || msg.values[k].length > msg.values[longest].length) longest = k;
      if (!longest || !msg.values[longest].length) break;
      msg.values[longest] = msg.values[longest].slice(0, msg.values[longest].length >> 1);
    }
    el._post(msg);
  }

  values() {
    const limit = this.stringLimit(), out = {};
    for (const id of this.order) {
      const c = this.controls.get(id);
      if (c.cls === 'edit') out[String(id)] = c.node.value.slice(0, limit);
    }
    return out;
  }

  focusable() {
    return Array.from(this.node.querySelectorAll('button, input, textarea'))
      .filter((n) => !n.disabled && n.tabIndex >= 0 && !n.hidden);
  }

  focusFirst(preferred) {
    const target = preferred && !preferred.disabled ? preferred : this.focusable()[0];
    if (!target) { this.node.tabIndex = -1; this.node.focus(); return; }
    target.focus();
    // An edit box that gets the focus has its text selected, ready to be typed over.
    if (target.classList.contains('dlg-edit') && target.select) target.select();
  }

  // --- place ----------------------------------------------------------------------

  centre() {
    const host = this.element.getBoundingClientRect();
    const w = this.node.offsetWidth, h = this.node.offsetHeight;
    this.moveTo((host.width - w) / 2, (host.height - h) / 2);
  }

  moveTo(x, y) {
    const host = this.element.getBoundingClientRect();
    const w = this.node.offsetWidth, h = this.node.offsetHeight;
    x = Math.max(EDGE, Math.min(x, host.width - w - EDGE));
    y = Math.max(EDGE, Math.min(y, host.height - h - EDGE));
    this.node.style.left = Math.round(x) + 'px';
    this.node.style.top = Math.round(y) + 'px';
  }

  // The dialog becomes the active window when the focus comes into it from
  // elsewhere other than by a press in it: by the keyboard, or by being shown.
  wireActivation() {
    let pressed = false;
    this.node.addEventListener('pointerdown', () => {
      pressed = true;
      // The focus moves with the press, in the same turn.
      setTimeout(() => { pressed = false; }, 0);
    }, true);
    this.node.addEventListener('focusin', (e) => {
      if (pressed || this.node.hidden) return;
      if (e.relatedTarget && this.node.contains(e.relatedTarget)) return;
      const el = this.element;
      el._post({ t: 'childEvent', el: el._el, h: this.h, e: 'activate' });
    });
  }

  // The title bar moves the dialog within the element.
  wireDrag() {
    const t = this.title;
    let drag = null;
    t.addEventListener('pointerdown', (e) => {
      if (e.button !== 0) return;
      e.preventDefault();
      try { t.setPointerCapture(e.pointerId); } catch (err) { /* the pointer may be gone already */ }
      drag = { x: e.clientX, y: e.clientY, left: this.node.offsetLeft, top: this.node.offsetTop };
    });
    t.addEventListener('pointermove', (e) => {
      if (drag) this.moveTo(drag.left + e.clientX - drag.x, drag.top + e.clientY - drag.y);
    });
    const end = () => { drag = null; };
    t.addEventListener('pointerup', end);
    t.addEventListener('pointercancel', end);
  }

  // --- changes from the container -------------------------------------------------

  update(msg) {
    if (isStr(msg.title)) this.title.textContent = text(msg.title);
    if (typeof msg.visible === 'boolean') this.show(msg.visible);
    if (!isInt(msg.ctl)) return;
    const c = this.controls.get(msg.ctl);
    if (!c) return;
    if (isStr(msg.text)) {
      if (c.cls === 'edit') c.node.value = msg.text.slice(0, this.stringLimit());
      else if (c.cls !== 'progress' && c.cls !== 'swatch') c.node.textContent = text(msg.text);
    }
    if (c.cls === 'progress') this.setProgress(c, msg);
    if (isStr(msg.colour) && (c.cls === 'swatch' || c.cls === 'colour')) this.setColour(c, msg.colour);
    if (typeof msg.enabled === 'boolean' && c.cls !== 'static' && c.cls !== 'swatch') {
      const root = this.element.shadowRoot;
      const hadFocus = !msg.enabled && root.activeElement === c.node;
      c.node.disabled = !msg.enabled;
      if (c.input) c.input.disabled = !msg.enabled;
      if (hadFocus) this.focusFirst(null);
    }
  }

  show(visible) {
    const node = this.veil || this.node;
    if (node.hidden === !visible) return;
    const focused = !visible && this.node.contains(this.element.shadowRoot.activeElement);
    node.hidden = !visible;
    this.node.hidden = !visible;
    if (visible) { this.centre(); this.focusFirst(null); } else if (focused) this.element._focusCanvas();
  }

  // Takes the dialog away; returns whether the focus was in it.
  remove() {
    const focused = this.node.contains(this.element.shadowRoot.activeElement);
    (this.veil || this.node).remove();
    return focused;
  }
}
