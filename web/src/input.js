// Pointer and wheel input on the element's canvas, sent to the control as the
// window messages it knows: points in device pixels, the MK_ key state, one
// message per button change, moves at most once an animation frame, and wheel
// turns in notches of 120.
import { raf } from './util.js';

const MK_LBUTTON = 1, MK_RBUTTON = 2, MK_SHIFT = 4, MK_CONTROL = 8;

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
    this.wire();
  }

  // Forgets held buttons and a waiting move: the control is gone.
  reset() {
    this.pendingMove = null;
    this.buttons = 0;
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
      if (!e.isPrimary) return;
      // The press's default, which would focus the canvas, is prevented below.
      try { canvas.focus({ preventScroll: true }); } catch (err) { /* ignore */ }
      if (this.buttonChange(e)) {
        try { canvas.setPointerCapture(e.pointerId); } catch (err) { /* the pointer may be gone already */ }
        e.preventDefault();
      }
    });
    canvas.addEventListener('pointerup', (e) => {
      if (!e.isPrimary) return;
      this.buttonChange(e);
    });
    canvas.addEventListener('pointercancel', (e) => {
      if (!e.isPrimary) return;
      // Tell the control the buttons are up, or it stays in a drag.
      if (this.buttons & 1) { this.buttons &= ~1; this.mouse('up', e); }
      if (this.buttons & 2) { this.buttons &= ~2; this.mouse('rup', e); }
    });
    canvas.addEventListener('pointermove', (e) => {
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
    canvas.addEventListener('wheel', (e) => this.wheel(e), { passive: false });
  }

  // Whether the viewer does something with the wheel: it scales a zoomed
  // book (the toolbar's thumbnail button is enabled only then) and scrolls a
  // desk that has a vertical bar. Otherwise the page scrolls, as a window
  // passes the wheel on to its parent.
  wheelUsed() {
    const el = this.element;
    if (el._bars && el._bars.v && el._bars.v.shown) return true;
    const toolbar = el._children && el._children.get(100);
    if (!toolbar || !toolbar.byId) return true;
    const thumbnails = toolbar.byId.get(11);
    return !thumbnails || thumbnails.enabled !== false;
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
