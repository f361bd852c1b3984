// Pointer, wheel and key input on the element's canvas, sent to the control as
// the window messages it knows: points in device pixels, the MK_ key state, one
// message per button change, moves at most once an animation frame, wheel
// turns in notches of 120, and the keys the viewer answers as virtual-key codes.
import { raf } from './util.js';

const MK_LBUTTON = 1, MK_RBUTTON = 2, MK_SHIFT = 4, MK_CONTROL = 8;

// KeyboardEvent.key (older names too) to the virtual-key code; + and - by the
// character they type, so that every keyboard layout has them.
const VIRTUAL_KEYS = new Map([
  ['Enter', 0x0D], ['Escape', 0x1B], ['Esc', 0x1B], ['PageUp', 0x21], ['PageDown', 0x22],
  ['End', 0x23], ['Home', 0x24], ['ArrowLeft', 0x25], ['Left', 0x25], ['ArrowUp', 0x26], ['Up', 0x26],
  ['ArrowRight', 0x27], ['Right', 0x27], ['ArrowDown', 0x28], ['Down', 0x28],
  ['+', 0xBB], ['=', 0xBB], ['Add', 0x6B], ['-', 0xBD], ['Subtract', 0x6D]
]);

const VK_RETURN = 0x0D, VK_ESCAPE = 0x1B, VK_LEFT = 0x25, VK_RIGHT = 0x27, VK_ADD = 0x6B, VK_SUBTRACT = 0x6D;
const SB_THUMBPOSITION = 4, SB_THUMBTRACK = 5;

// Fingers and pens. CSS pixels and milliseconds.
const SLOP = 8;            // travel before a press is more than a tap
const SWIPE_DISTANCE = 40; // sideways travel of a swipe
const SWIPE_TIME = 600;    // held longer, a sideways move is a drag (a note, a pan)
const PINCH_STEP = 1.25;   // each step of the fingers' spread scales once

export function virtualKey(e) {
  if (e.code === 'NumpadAdd') return 0x6B;
  if (e.code === 'NumpadSubtract') return 0x6D;
  return VIRTUAL_KEYS.get(e.key) || 0;
}

export class PointerInput {
  // `element` posts the messages (element._post, element._el) and knows the
  // origin the container was told (element._size).
  constructor(element, canvas) {
    this.element = element;
    this.canvas = canvas;
    this.buttons = 0;
    this.pendingMove = null;
    this.moveFrame = 0;
    this.wheelAcc = 0;
    this.wheelTime = 0;
    this.touches = new Map();  // pointerId -> {x, y} of fingers and pens down
    this.gesture = null;
    this.wire();
  }

  // Forgets held buttons and a waiting move: the control is gone.
  reset() {
    this.pendingMove = null;
    this.buttons = 0;
    this.touches.clear();
    this.gesture = null;
  }

  point(e) {
    const dpr = (window.devicePixelRatio || 1) * (this.element._inputScale || 1);
    const rect = this.canvas.getBoundingClientRect();
    return { x: Math.round((e.clientX - rect.left) * dpr), y: Math.round((e.clientY - rect.top) * dpr) };
  }

  keys(e, buttons) {
    return (buttons & 1 ? MK_LBUTTON : 0) | (buttons & 2 ? MK_RBUTTON : 0) |
      (e.shiftKey ? MK_SHIFT : 0) | (e.ctrlKey ? MK_CONTROL : 0);
  }

  mouse(kind, e) {
    this.flushMove();
    const p = this.point(e);
    this.element._post({ t: 'mouse', el: this.element._el, e: kind, x: p.x, y: p.y, k: this.keys(e, this.buttons) });
  }

  flushMove() {
    if (!this.pendingMove) return;
    const m = this.pendingMove;
    this.pendingMove = null;
    this.element._post(m);
  }

  // A button change inside a pointer event: buttons pressed or released together
  // come as one pointer, so each change is reported as its own message.
  buttonChange(e) {
    const bit = e.button === 0 ? 1 : e.button === 2 ? 2 : 0;
    if (!bit) return false;
    const down = (e.buttons & bit) !== 0;
    if (down === ((this.buttons & bit) !== 0)) return false;
    this.buttons = down ? this.buttons | bit : this.buttons & ~bit;
    this.mouse(bit === 1 ? (down ? 'down' : 'up') : (down ? 'rdown' : 'rup'), e);
    return true;
  }

  wire() {
    const canvas = this.canvas;
    canvas.addEventListener('pointerdown', (e) => {
      if (e.pointerType === 'touch' || e.pointerType === 'pen') { this.touchDown(e); return; }
      if (!e.isPrimary) return;
      // The press's default, which would focus the canvas, is prevented below.
      try { canvas.focus({ preventScroll: true }); } catch (err) { /* ignore */ }
      if (this.buttonChange(e)) {
        try { canvas.setPointerCapture(e.pointerId); } catch (err) { /* the pointer may be gone already */ }
        e.preventDefault();
      }
    });
    canvas.addEventListener('pointerup', (e) => {
      if (this.touches.has(e.pointerId)) { this.touchUp(e, false); return; }
      if (!e.isPrimary) return;
      this.buttonChange(e);
    });
    canvas.addEventListener('pointercancel', (e) => {
      if (this.touches.has(e.pointerId)) { this.touchUp(e, true); return; }
      if (!e.isPrimary) return;
      // Tell the control the buttons are up, or it stays in a drag.
      if (this.buttons & 1) { this.buttons &= ~1; this.mouse('up', e); }
      if (this.buttons & 2) { this.buttons &= ~2; this.mouse('rup', e); }
    });
    canvas.addEventListener('pointermove', (e) => {
      if (this.touches.has(e.pointerId)) { this.touchMove(e); return; }
      if (!e.isPrimary) return;
      if (e.button !== -1 && this.buttonChange(e)) return;
      const p = this.point(e);
      this.pendingMove = { t: 'mouse', el: this.element._el, e: 'move', x: p.x, y: p.y, k: this.keys(e, this.buttons) };
      if (!this.moveFrame) {
        this.moveFrame = raf(() => {
          this.moveFrame = 0;
          this.flushMove();
        });
      }
    });
    canvas.addEventListener('contextmenu', (e) => e.preventDefault());
    canvas.addEventListener('keydown', (e) => this.key(e));
    // Capture lost (the element moved in the page, say): the stroke is cancelled.
    canvas.addEventListener('lostpointercapture', (e) => {
      if (this.touches.has(e.pointerId)) this.touchUp(e, true);
    });
    canvas.addEventListener('wheel', (e) => this.wheel(e), { passive: false });
  }

  // --- fingers and pens ------------------------------------------------------
  // One finger: a tap is a click; a quick sideways swipe turns a page as the
  // arrow keys do (leftward pulls the right-hand page over); a vertical swipe
  // on a desk with a bar scrolls it as its thumb would; anything else is a
  // drag, sent as the mouse's. Two fingers: their spread scales, as + and -.

  post(msg) {
    this.element._post(Object.assign({ el: this.element._el }, msg));
  }

  pointAt(x, y) {
    return this.point({ clientX: x, clientY: y });
  }

  // Whether a book is zoomed, as the toolbar's thumbnail button tells (it is
  // enabled only then); null without a toolbar to ask.
  zoomedByToolbar() {
    const toolbar = this.element._children && this.element._children.get(100);
    const thumbnails = toolbar && toolbar.byId && toolbar.byId.get(11);
    return thumbnails ? thumbnails.enabled !== false : null;
  }

  touchDown(e) {
    e.preventDefault();
    // A first finger starts afresh: a lift the canvas never saw leaves nothing behind.
    if (e.isPrimary && this.touches.size) {
      if (this.gesture) this.endGesture(this.touches.get(this.gesture.id));
      this.gesture = null;
      this.touches.clear();
    }
    if (this.touches.size >= 2) return;
    try { this.canvas.focus({ preventScroll: true }); } catch (err) { /* ignore */ }
    try { this.canvas.setPointerCapture(e.pointerId); } catch (err) { /* the pointer may be gone already */ }
    this.touches.set(e.pointerId, { x: e.clientX, y: e.clientY });
    if (this.touches.size === 1) {
      this.gesture = { kind: 'press', id: e.pointerId, x0: e.clientX, y0: e.clientY, t0: e.timeStamp, frame: 0 };
      return;
    }
    // A second finger: whatever the first began ends, and the pinch starts.
    if (this.gesture) this.endGesture(this.touches.get(this.gesture.id));
    const [a, b] = [...this.touches.values()];
    this.gesture = { kind: 'pinch', spread: Math.hypot(a.x - b.x, a.y - b.y) || 1 };
  }

  touchMove(e) {
    const at = this.touches.get(e.pointerId);
    at.x = e.clientX;
    at.y = e.clientY;
    const g = this.gesture;
    if (!g) return;
    if (g.kind === 'pinch') {
      if (this.touches.size < 2) return;
      const [a, b] = [...this.touches.values()];
      const spread = Math.hypot(a.x - b.x, a.y - b.y);
      // At most a few steps per move, so that a wild jump cannot flood the control.
      for (let n = 0; n < 4 && spread >= g.spread * PINCH_STEP; n++) { g.spread *= PINCH_STEP; this.pinchKey(VK_ADD); }
      for (let n = 0; n < 4 && spread <= g.spread / PINCH_STEP; n++) { g.spread /= PINCH_STEP; this.pinchKey(VK_SUBTRACT); }
      return;
    }
    if (g.id !== e.pointerId) return;
    const dx = e.clientX - g.x0, dy = e.clientY - g.y0;
    if (g.kind === 'press') {
      if (Math.max(Math.abs(dx), Math.abs(dy)) <= SLOP) return;
      const bar = this.element._bars && this.element._bars.v;
      if (Math.abs(dx) > Math.abs(dy)) g.kind = 'swipe';
      else if (this.zoomedByToolbar() !== true && bar && bar.shown) { g.kind = 'scroll'; g.bar = bar; g.pos0 = bar.pos; g.sent = bar.pos; }
      else this.startDrag(g);
    }
    // The events' own times: a busy page must not make a quick swipe slow.
    if (g.kind === 'swipe' && e.timeStamp - g.t0 > SWIPE_TIME) this.startDrag(g);
    if (g.kind === 'drag') {
      const p = this.pointAt(e.clientX, e.clientY);
      this.pendingMove = { t: 'mouse', el: this.element._el, e: 'move', x: p.x, y: p.y, k: MK_LBUTTON };
      if (!this.moveFrame) this.moveFrame = raf(() => { this.moveFrame = 0; this.flushMove(); });
    } else if (g.kind === 'scroll') {
      // The desk follows the finger: its positions are device pixels.
      g.pos = g.bar.clamp(Math.round(g.pos0 - dy * this.element._cssScale()));
      if (!g.frame) {
        g.frame = raf(() => {
          g.frame = 0;
          if (this.gesture === g && g.sent !== g.pos) g.bar.send(SB_THUMBTRACK, g.sent = g.pos);
        });
      }
    }
  }

  touchUp(e, cancelled) {
    const at = this.touches.get(e.pointerId);
    this.touches.delete(e.pointerId);
    const g = this.gesture;
    if (!g) return;
    if (g.kind === 'pinch') {
      if (!this.touches.size) this.gesture = null;
      return;
    }
    if (g.id !== e.pointerId) return;
    if (!cancelled) {
      at.x = e.clientX;
      at.y = e.clientY;
    }
    const dx = at.x - g.x0;
    if (!cancelled && g.kind === 'press') {
      const p = this.pointAt(g.x0, g.y0);
      this.post({ t: 'mouse', e: 'down', x: p.x, y: p.y, k: MK_LBUTTON });
      this.post({ t: 'mouse', e: 'up', x: p.x, y: p.y, k: 0 });
    } else if (!cancelled && g.kind === 'swipe' && Math.abs(dx) >= SWIPE_DISTANCE && e.timeStamp - g.t0 <= SWIPE_TIME) {
      this.post({ t: 'key', e: 'down', code: dx < 0 ? VK_RIGHT : VK_LEFT, k: 0 });
    }
    this.endGesture(at);
    this.gesture = null;
  }

  // Ends a drag with the button's release at `at`, and a scroll with the thumb's.
  endGesture(at) {
    const g = this.gesture;
    if (g.kind === 'drag') {
      this.flushMove();
      const p = this.pointAt(at ? at.x : g.x0, at ? at.y : g.y0);
      this.buttons = 0;
      this.post({ t: 'mouse', e: 'up', x: p.x, y: p.y, k: 0 });
    } else if (g.kind === 'scroll' && g.pos !== undefined && (g.pos !== g.pos0 || g.sent !== g.pos0)) {
      if (g.sent !== g.pos) g.bar.send(SB_THUMBTRACK, g.pos);
      g.bar.send(SB_THUMBPOSITION, g.pos);
    }
    g.kind = 'done';
  }

  startDrag(g) {
    g.kind = 'drag';
    this.buttons = 1;
    const p = this.pointAt(g.x0, g.y0);
    this.post({ t: 'mouse', e: 'down', x: p.x, y: p.y, k: MK_LBUTTON });
  }

  pinchKey(code) {
    this.post({ t: 'key', e: 'down', code, k: 0 });
  }

  // Keys with Ctrl, Alt or Meta stay the browser's (its zoom, its shortcuts);
  // Tab moves on to the toolbar.
  key(e) {
    if (e.ctrlKey || e.altKey || e.metaKey || e.isComposing) return;
    const code = virtualKey(e);
    if (!code) return;
    e.preventDefault();
    // On the desk, left and right walk its books.
    const text = this.element._screenText;
    if ((code === VK_LEFT || code === VK_RIGHT) && text && text.deskShown) {
      text.step(code === VK_LEFT ? -1 : 1);
      return;
    }
    if (text && (code === VK_RETURN || code === VK_ESCAPE)) text.changing(code === VK_RETURN);
    this.element._post({ t: 'key', el: this.element._el, e: 'down', code, k: e.shiftKey ? MK_SHIFT : 0 });
  }

  // Whether the viewer does something with the wheel: it scales a zoomed
  // book (the toolbar's thumbnail button is enabled only then) and scrolls a
  // desk that has a vertical bar. Otherwise the page scrolls, as a window
  // passes the wheel on to its parent.
  wheelUsed() {
    const el = this.element;
    if (el._bars && el._bars.v && el._bars.v.shown) return true;
    return this.zoomedByToolbar() !== false;
  }

  wheel(e) {
    if (this.wheelUsed()) e.preventDefault();
    const notches = e.deltaMode === 1 ? e.deltaY / 3 : e.deltaMode === 2 ? e.deltaY : e.deltaY / 100;
    const now = performance.now();
    // A pause or a change of direction starts a new turn of the wheel.
    if (now - this.wheelTime > 400 || (notches > 0) !== (this.wheelAcc > 0)) this.wheelAcc = 0;
    this.wheelTime = now;
    this.wheelAcc += notches;
    let n = Math.round(this.wheelAcc);
    if (!n) return;
    this.wheelAcc -= n;
    n = Math.max(-270, Math.min(270, n));  // d travels as a 16-bit value
    const p = this.point(e), s = this.element._size || { sx: 0, sy: 0 };
    // The origin the container knows, so that it maps the point back exactly.
    this.element._post({ t: 'wheel', el: this.element._el, x: s.sx + p.x, y: s.sy + p.y, d: -120 * n,
      k: this.keys(e, e.buttons & 3) });
  }
}
