// The control's toolbar: a child window the container describes and the
// element draws as real buttons over the top of the canvas. The container
// places the speed menu by the toolbar's layout, so buttons keep exactly the
// widths of doc/PROTOCOL.md: the picture's side plus 8 device pixels, 8 for a
// separator.
import { isInt, isStr, placeChild, readRect } from './util.js';

// A toolbar of more buttons than this, or a longer tip, is a damaged message.
const MAX_BUTTONS = 64, MAX_TIP = 512;
const BUTTON_PADDING = 8, SEPARATOR_WIDTH = 8;
// How long the pointer rests on a button before its tip shows, and how long
// after one tip went the next shows at once, as the native tooltips do.
const TIP_DELAY_MS = 500, TIP_WARM_MS = 800;
// How far the tip sits below its button, in CSS pixels.
const TIP_GAP = 2;
// A menu later than this after a drop-down press is not that button's.
const DROPDOWN_ANSWER_MS = 5000;

export const TOOLBAR_STYLE = [
  '.toolbar { position: absolute; z-index: 1; background: #f0f0f0; border-bottom: 1px solid #c8c8c8;',
  '  box-sizing: border-box; overflow: hidden; }',
  '.toolbar .tb { position: absolute; top: 0; margin: 0; padding: 0; border: 1px solid transparent;',
  '  box-sizing: border-box; background: transparent; border-radius: 2px; color: inherit; }',
  '.toolbar .tb:hover:not([disabled]) { background: #e2e8f0; border-color: #b6c3d3; }',
  '.toolbar .tb[aria-pressed="true"], .toolbar .tb.open, .toolbar .tb:active:not([disabled]) {',
  '  background: #cdd7e3; border-color: #8a9bb0; box-shadow: inset 1px 1px 2px rgba(0,0,0,0.25); }',
  '.toolbar .tb:focus-visible { outline: 2px solid #1a5fb4; outline-offset: -2px; }',
  // Disabled buttons take no pointer events in some browsers: the toolbar
  // under them finds the button for its tip.
  '.toolbar .tb[disabled] { pointer-events: none; }',
  '.toolbar .tb canvas { position: absolute; display: block; pointer-events: none; }',
  '.toolbar .tb .arrow { position: absolute; right: 1px; bottom: 2px; width: 0; height: 0;',
  '  border: 3px solid transparent; border-top: 3px solid #404040; border-bottom-width: 0; pointer-events: none; }',
  '.toolbar .tb[disabled] .arrow { border-top-color: #a0a0a0; }',
  '.toolbar .sep { position: absolute; top: 15%; height: 70%; border-left: 1px solid #c0c0c0;',
  '  border-right: 1px solid #ffffff; box-sizing: border-box; width: 2px; }',
  '.tip { position: absolute; z-index: 5; max-width: 60%; padding: 2px 6px; background: #ffffe1;',
  '  border: 1px solid #767676; color: #000; font: 12px/1.4 system-ui, "Segoe UI", sans-serif;',
  '  white-space: nowrap; overflow: hidden; text-overflow: ellipsis; pointer-events: none;',
  '  box-shadow: 1px 2px 4px rgba(0,0,0,0.2); }',
  '.tip[hidden] { display: none; }'
].join('\n');

// The fields of one button from the container; null for a damaged one.
function readButton(b) {
  if (!b || typeof b !== 'object') return null;
  if (b.sep === true) return { sep: true };
  if (!isInt(b.id)) return null;
  return {
    sep: false,
    id: b.id,
    image: isInt(b.image) ? b.image : -1,
    tip: isStr(b.tip) ? b.tip.slice(0, MAX_TIP) : '',
    enabled: b.enabled !== false,
    checked: b.checked === true,
    dropdown: b.dropdown === true
  };
}

export class Toolbar {
  // `element` draws it (shadowRoot, _imageLists, _cssScale()) and posts its
  // events (_post, _el); `msg` is the container's `child` message.
  constructor(element, msg) {
    this.element = element;
    this.h = msg.h;
    this.rect = readRect(msg.rect) || { x: 0, y: 0, w: 0, h: 0 };
    this.image = isInt(msg.image) && msg.image > 0 && msg.image <= 256 ? msg.image : 16;
    // Device pixels per pixel of the toolbar's design: paddings grow with it.
    this.scale = typeof msg.scale === 'number' && msg.scale >= 1 && msg.scale <= 4 ? msg.scale : 1;
    this.images = isInt(msg.images) ? msg.images : 0;
    this.disabledImages = isInt(msg.disabledImages) ? msg.disabledImages : 0;
    this.buttons = [];
    this.byId = new Map();
    this.openId = 0;      // the drop-down button whose menu is up
    this.dropped = null;  // {id, time} of the last drop-down press

    const node = document.createElement('div');
    node.className = 'toolbar';
    node.setAttribute('role', 'toolbar');
    node.setAttribute('part', 'toolbar');
    this.node = node;
    const list = Array.isArray(msg.buttons) ? msg.buttons.slice(0, MAX_BUTTONS) : [];
    for (const raw of list) {
      const b = readButton(raw);
      if (!b) continue;
      if (b.sep) {
        b.node = document.createElement('div');
        b.node.className = 'sep';
        b.node.setAttribute('role', 'separator');
        b.node.setAttribute('aria-orientation', 'vertical');
      } else {
        if (this.byId.has(b.id)) continue;
        b.node = this.makeButton(b);
        this.byId.set(b.id, b);
      }
      node.appendChild(b.node);
      this.buttons.push(b);
    }

    this.tip = document.createElement('div');
    this.tip.className = 'tip';
    this.tip.hidden = true;
    // The buttons carry their tips as accessible names already.
    this.tip.setAttribute('aria-hidden', 'true');
    this.tipFor = null;     // the button whose tip shows
    this.tipByFocus = false;
    this.tipTimer = 0;
    this.tipHidden = 0;     // when the last tip went, for the warm period
    this.hovered = null;
    this.wire();

    for (const b of this.byId.values()) this.paint(b);
    element.shadowRoot.append(node, this.tip);
    this.layout();
  }

  makeButton(b) {
    const btn = document.createElement('button');
    btn.type = 'button';
    btn.className = 'tb';
    btn.dataset.id = String(b.id);
    const pic = document.createElement('canvas');
    pic.width = 0;
    pic.height = 0;
    btn.appendChild(pic);
    if (b.dropdown) {
      btn.setAttribute('aria-haspopup', 'menu');
      const arrow = document.createElement('span');
      arrow.className = 'arrow';
      btn.appendChild(arrow);
    }
    btn.addEventListener('click', () => this.press(b));
    btn.addEventListener('keydown', (e) => {
      if (b.dropdown && (e.key === 'ArrowDown' || e.key === 'F4')) {
        e.preventDefault();
        this.press(b);
      }
    });
    return btn;
  }

  // The button's state into its node: picture, name, pressed and disabled.
  paint(b) {
    const btn = b.node;
    btn.setAttribute('aria-label', b.tip);
    // Disabling a focused button drops its focus: the next button takes it.
    const hadFocus = !b.enabled && !btn.disabled && this.element.shadowRoot.activeElement === btn;
    btn.disabled = !b.enabled;
    if (b.checked) btn.setAttribute('aria-pressed', 'true');
    else btn.removeAttribute('aria-pressed');
    const pic = btn.firstChild;
    const list = b.enabled ? this.images : this.disabledImages;
    // Without a disabled list the normal picture stands in, dimmed by the page.
    const drawn = this.element._imageLists.draw(list, b.image, pic) ||
      (!b.enabled && this.element._imageLists.draw(this.images, b.image, pic));
    pic.style.opacity = drawn && !b.enabled && !this.element._imageLists.get(this.disabledImages) ? '0.4' : '';
    if (b.w) this.placePicture(b);
    if (hadFocus) this.focusNext(b, 1);
  }

  // The picture in the middle of its button, `image` device pixels square:
  // a finer picture than that is shown at that size.
  placePicture(b) {
    const s = this.element._cssScale(), pic = b.node.firstChild;
    const side = pic.width > 0 && pic.height > 0 ? this.image : 0;
    pic.style.width = side / s + 'px';
    pic.style.height = side / s + 'px';
    // Offsets count from inside the button's 1-pixel border.
    pic.style.left = (b.w - side) / 2 / s - 1 + 'px';
    pic.style.top = (this.rect.h - side) / 2 / s - 1 + 'px';
  }

  // Lays the toolbar out in device pixels, shown in CSS pixels.
  layout() {
    const s = this.element._cssScale();
    placeChild(this.node, this.rect, s);
    let x = 0;
    const pad = Math.round(BUTTON_PADDING * this.scale), sep = Math.round(SEPARATOR_WIDTH * this.scale);
    for (const b of this.buttons) {
      const w = b.sep ? sep : this.image + pad;
      b.x = x;
      b.w = w;
      const bs = b.node.style;
      if (b.sep) {
        bs.left = (x + (w - 2) / 2) / s + 'px';
      } else {
        bs.left = x / s + 'px';
        bs.width = w / s + 'px';
        bs.height = this.rect.h / s + 'px';
        this.placePicture(b);
      }
      x += w;
    }
    if (this.tipFor) this.placeTip(this.tipFor);
  }

  update(msg) {
    const rect = readRect(msg.rect);
    if (rect) {
      this.rect = rect;
      this.layout();
    }
    if (!isInt(msg.button)) return;
    const b = this.byId.get(msg.button);
    if (!b) return;
    if (typeof msg.enabled === 'boolean') b.enabled = msg.enabled;
    if (typeof msg.checked === 'boolean') b.checked = msg.checked;
    if (isStr(msg.tip)) b.tip = msg.tip.slice(0, MAX_TIP);
    this.paint(b);
    if (this.tipFor === b) {
      if (b.enabled || !this.tipByFocus) this.showTip(b, this.tipByFocus);
      else this.hideTip();
    }
  }

  press(b) {
    if (!b.enabled) return;
    this.hideTip();
    const el = this.element;
    if (b.dropdown) this.dropped = { id: b.id, time: performance.now() };
    el._post({ t: 'childEvent', el: el._el, h: this.h, ctl: b.id, e: b.dropdown ? 'dropdown' : 'click' });
  }

  // A menu came: when it answers a drop-down press, that button stays down
  // while the menu is up (a press whose menu never comes leaves it up).
  menuShown() {
    const d = this.dropped;
    this.dropped = null;
    if (!d || performance.now() - d.time > DROPDOWN_ANSWER_MS) return;
    const b = this.byId.get(d.id);
    if (!b) return;
    this.release();
    this.openId = b.id;
    b.node.classList.add('open');
  }

  // The drop-down button's menu was answered: the button comes up again.
  release() {
    const b = this.byId.get(this.openId);
    if (b) b.node.classList.remove('open');
    this.openId = 0;
  }

  focusNext(from, step) {
    const list = this.buttons.filter((b) => !b.sep);
    let i = list.indexOf(from);
    for (let n = 0; n < list.length; n++) {
      i = (i + step + list.length) % list.length;
      if (list[i].enabled) { list[i].node.focus(); return; }
    }
  }

  // --- tips ------------------------------------------------------------------

  // The button under a client x, disabled ones included.
  buttonAt(clientX, clientY) {
    const rect = this.node.getBoundingClientRect();
    if (clientY < rect.top || clientY >= rect.bottom) return null;
    const x = (clientX - rect.left) * this.element._cssScale();
    for (const b of this.buttons) if (!b.sep && x >= b.x && x < b.x + b.w) return b;
    return null;
  }

  wire() {
    const node = this.node;
    node.addEventListener('pointermove', (e) => {
      const b = this.buttonAt(e.clientX, e.clientY);
      if (b === this.hovered) return;
      this.hovered = b;
      clearTimeout(this.tipTimer);
      if (this.tipFor && !this.tipByFocus) this.hideTip();
      if (!b) return;
      const warm = performance.now() - this.tipHidden < TIP_WARM_MS;
      this.tipTimer = setTimeout(() => {
        if (this.hovered === b) this.showTip(b, false);
      }, warm ? 0 : TIP_DELAY_MS);
    });
    node.addEventListener('pointerleave', () => {
      this.hovered = null;
      clearTimeout(this.tipTimer);
      if (!this.tipByFocus) this.hideTip();
    });
    node.addEventListener('pointerdown', () => {
      clearTimeout(this.tipTimer);
      this.hideTip();
    });
    node.addEventListener('focusin', (e) => {
      const b = this.buttons.find((x) => x.node === e.target);
      let keyboard = true;
      try { keyboard = e.target.matches(':focus-visible'); } catch (err) { /* an old browser: show it */ }
      if (b && keyboard) this.showTip(b, true);
    });
    node.addEventListener('focusout', () => {
      if (this.tipByFocus) this.hideTip();
    });
    node.addEventListener('keydown', (e) => {
      const b = this.buttons.find((x) => x.node === e.target);
      if (e.key === 'Escape') {
        this.hideTip();
      } else if (b && (e.key === 'ArrowRight' || e.key === 'ArrowLeft')) {
        e.preventDefault();
        this.focusNext(b, e.key === 'ArrowRight' ? 1 : -1);
      }
    });
  }

  showTip(b, byFocus) {
    if (!b.tip) { this.hideTip(); return; }
    this.tipFor = b;
    this.tipByFocus = byFocus;
    this.tip.textContent = b.tip;
    this.tip.hidden = false;
    this.placeTip(b);
  }

  // Below the button, kept inside the element.
  placeTip(b) {
    const s = this.element._cssScale();
    const host = this.element.getBoundingClientRect();
    const left = (this.rect.x + b.x) / s, bottom = (this.rect.y + this.rect.h) / s;
    const tw = this.tip.offsetWidth, th = this.tip.offsetHeight;
    let x = Math.max(0, Math.min(left, host.width - tw));
    let y = bottom + TIP_GAP;
    if (y + th > host.height) y = Math.max(0, this.rect.y / s - th - TIP_GAP);
    this.tip.style.left = x + 'px';
    this.tip.style.top = y + 'px';
  }

  hideTip() {
    if (this.tipFor) this.tipHidden = performance.now();
    this.tipFor = null;
    this.tipByFocus = false;
    this.tip.hidden = true;
  }

  // Takes the toolbar away; returns whether the focus was in it.
  remove() {
    clearTimeout(this.tipTimer);
    const focused = this.node.contains(this.element.shadowRoot.activeElement);
    this.node.remove();
    this.tip.remove();
    return focused;
  }

  // The button of `id` takes the focus, when it can; returns whether it did.
  focusButton(id) {
    const b = this.byId.get(id);
    if (!b || !b.enabled) return false;
    b.node.focus({ preventScroll: true });
    return true;
  }

  focusedId() {
    const a = this.element.shadowRoot.activeElement;
    const b = this.buttons.find((x) => x.node === a);
    return b ? b.id : 0;
  }
}
