// The <zov-viewer> element: a viewer control hosted by zov-host, shown in a page.
//
// The container runs the control; this side only shows its frames, forwards
// input and carries scripting calls, all over one WebSocket per page and
// container (connection.js).
import { Connection, defaultServer } from './connection.js';
import { DIALOG_STYLE, Dialog } from './dialogs.js';
import { DROP_STYLE, Drops } from './drop.js';
import { FramePainter, HEADER_BYTES } from './frames.js';
import { ImageLists } from './image-lists.js';
import { PointerInput } from './input.js';
import { Calls } from './calls.js';
import { DEFAULT_CLSID, defineMethods } from './members.js';
import { launchToken, openLaunch, raiseWindow } from './windows.js';
import { MENU_STYLE, Menus } from './menu.js';
import { MESSAGEBOX_STYLE, MessageBoxes } from './message-box.js';
import { BAR, SCROLLBAR_STYLE, makeBar } from './scrollbars.js';
import { TOOLBAR_STYLE, Toolbar } from './toolbar.js';
import { SCREEN_TEXT_STYLE, ScreenText } from './screen-text.js';
import { TREE_STYLE, FolderTree } from './tree.js';
import { isInt, isStr, raf } from './util.js';

// Child windows alive at once: a toolbar, a few dialogs; more is a runaway container.
const MAX_CHILDREN = 32;

const STYLE = [
  ':host { display: inline-block; position: relative; width: 300px; height: 150px;',
  '  overflow: hidden; contain: layout paint; background: #c0c0c0;',
  '  -webkit-user-select: none; user-select: none; }',
  ':host([hidden]) { display: none; }',
  'canvas { position: absolute; left: 0; top: 0; display: block; touch-action: none;',
  '  width: calc(100% - var(--zov-vbar, 0px)); height: calc(100% - var(--zov-hbar, 0px)); outline: none; }',
  'canvas:focus-visible { outline: 2px solid #1a5fb4; outline-offset: -2px; }',
  SCROLLBAR_STYLE,
  TOOLBAR_STYLE,
  TREE_STYLE,
  MENU_STYLE,
  DIALOG_STYLE,
  MESSAGEBOX_STYLE,
  DROP_STYLE,
  SCREEN_TEXT_STYLE
].join('\n');

export class ZovViewerElement extends HTMLElement {
  constructor() {
    super();
    const root = this.attachShadow({ mode: 'open' });
    const style = document.createElement('style');
    style.textContent = STYLE;
    this._canvas = document.createElement('canvas');
    this._canvas.setAttribute('part', 'canvas');
    this._canvas.width = 0;
    this._canvas.height = 0;
    // Focusable, so that the focus has somewhere to return when a dialog goes.
    this._canvas.tabIndex = 0;
    this._canvas.setAttribute('role', 'img');
    this._canvas.setAttribute('aria-label', 'Document viewer');
    this._canvas.setAttribute('aria-description',
      'Enter opens a book, the arrow keys turn its pages, plus and minus scale, Escape goes back to the desk');
    this._painter = new FramePainter(this._canvas);
    this._bars = { v: makeBar(this, 'v'), h: makeBar(this, 'h') };
    this._corner = document.createElement('div');
    this._corner.className = 'corner';
    root.append(style, this._canvas, this._bars.v.node, this._bars.h.node, this._corner);

    this.frameCount = 0;
    this.bytesReceived = 0;
    this.lastFrameTime = 0;
    this.lastFrameSeq = 0;
    this.members = null;

    this._conn = null;
    this._el = 0;
    this._state = 'idle';  // idle, creating, created, failed
    this._calls = new Calls(this);
    this._boxes = new MessageBoxes(this);
    this._menus = new Menus(this);
    this._imageLists = new ImageLists();
    this._children = new Map();  // window handle -> Toolbar or Dialog
    this._drops = new Drops(this);
    root.appendChild(this._drops.zone);
    this._screenText = new ScreenText(this);
    root.appendChild(this._screenText.node);
    this._size = null;          // the last size sent {w, h, sx, sy, scale}
    this._sizeFrame = 0;
    this._devSize = null;       // the canvas in device pixels, from the observer
    this._newReady();

    this._resizeObserver = new ResizeObserver((entries) => {
      for (const entry of entries) {
        const box = entry.devicePixelContentBoxSize;
        if (box && box[0]) this._devSize = { w: box[0].inlineSize, h: box[0].blockSize };
        else this._devSize = null;
      }
      this._scheduleSize();
    });
    this._onWindowMoved = () => this._scheduleSize();
    this._input = new PointerInput(this, this._canvas);

    // Whether a reader can see the element: the page shown, the element
    // displayed and in the viewport. The container assumes so until told.
    this._intersecting = true;
    this._toldVisible = true;
    this._intersection = typeof IntersectionObserver === 'function'
      ? new IntersectionObserver((entries) => {
        for (const entry of entries) this._intersecting = entry.isIntersecting;
        this._reportVisible();
      })
      : null;
    this._onVisibility = () => this._reportVisible();
    // The reader's wish for less motion, as the container's control asks the
    // system for its animation setting.
    this._motion = typeof window.matchMedia === 'function' ? window.matchMedia('(prefers-reduced-motion: reduce)') : null;
    this._onMotion = () => this._reportMotion();
  }

  // The address of the container's socket.
  get server() {
    return this.getAttribute('server') || defaultServer();
  }

  get elementId() { return this._el; }

  _newReady() {
    this.ready = new Promise((resolve, reject) => {
      this._readyResolve = resolve;
      this._readyReject = reject;
    });
    // Pages that never look at `ready` must not see unhandled rejections.
    this.ready.catch(() => {});
  }

  connectedCallback() {
    try {
      this._resizeObserver.observe(this._canvas, { box: 'device-pixel-content-box' });
    } catch (e) {
      this._resizeObserver.observe(this._canvas);
    }
    window.addEventListener('scroll', this._onWindowMoved, { passive: true });
    window.addEventListener('resize', this._onWindowMoved, { passive: true });
    document.addEventListener('visibilitychange', this._onVisibility);
    if (this._intersection) this._intersection.observe(this);
    if (this._motion) this._motion.addEventListener('change', this._onMotion);
    // Moving the element within the page keeps its control.
    if (this._state === 'creating' || this._state === 'created') return;
    if (this._state === 'failed') this._newReady();
    this._create();
  }

  disconnectedCallback() {
    this._resizeObserver.disconnect();
    window.removeEventListener('scroll', this._onWindowMoved);
    window.removeEventListener('resize', this._onWindowMoved);
    document.removeEventListener('visibilitychange', this._onVisibility);
    if (this._intersection) this._intersection.disconnect();
    if (this._motion) this._motion.removeEventListener('change', this._onMotion);
    queueMicrotask(() => {
      if (!this.isConnected) this._destroy();
    });
  }

  _create() {
    const server = this.server;
    const conn = server ? Connection.get(server) : null;
    if (!conn || conn.state === 'closed') {
      this._fail(conn ? conn.closeReason : 'no container address');
      return;
    }
    this._conn = conn;
    this._el = conn.attach(this);
    this._state = 'creating';
    const size = this._measure();
    this._size = size;
    const msg = { t: 'create', el: this._el, w: size.w, h: size.h, sx: size.sx, sy: size.sy, scale: size.scale };
    const launch = launchToken();
    if (launch) msg.launch = launch;
    const progid = this.getAttribute('progid');
    if (progid && !this.hasAttribute('clsid')) msg.progid = progid;
    else msg.clsid = this.getAttribute('clsid') || DEFAULT_CLSID;
    conn.send(msg);
  }

  _destroy() {
    if (this._state !== 'creating' && this._state !== 'created') return;
    if (this._conn) {
      this._conn.send({ t: 'destroy', el: this._el });
      this._conn.detach(this._el);
    }
    const why = 'the element was removed from the page';
    if (this._state === 'creating') this._readyReject(new Error(why));
    this._end(why);
    this._state = 'idle';
    this._newReady();
  }

  _lost(reason) {
    if (this._state !== 'creating' && this._state !== 'created') return;
    this._fail(reason);
  }

  // Rejects everything waiting and reports `message`.
  _fail(message) {
    this._end(message);
    this._state = 'failed';
    this._readyReject(new Error(message));
    this.dispatchEvent(new CustomEvent('zov-error', { detail: message }));
  }

  _end(message) {
    this._calls.rejectAll(message);
    this._boxes.clear();
    this._menus.clear();
    this._drops.clear(message);
    this._screenText.clear();
    for (const child of this._children.values()) child.remove();
    this._children.clear();
    this._imageLists.clear();
    this._conn = null;
    this._size = null;
    this._input.reset();
  }

  // --- messages from the container -----------------------------------------

  _message(msg) {
    switch (msg.t) {
      case 'created': {
        if (this._state !== 'creating') return;
        this._state = 'created';
        this.members = Array.isArray(msg.members) ? msg.members : null;
        this._readyResolve(this);
        this._calls.flush();
        this._scheduleSize();
        this._toldVisible = true;
        this._reportVisible();
        this._reportMotion();
        this.dispatchEvent(new CustomEvent('zov-ready', { detail: { members: this.members } }));
        return;
      }
      case 'error': {
        const text = isStr(msg.message) ? msg.message : 'error';
        if (this._state === 'creating') {
          if (this._conn) this._conn.detach(this._el);
          this._fail(text);
        } else {
          this.dispatchEvent(new CustomEvent('zov-error', { detail: text }));
        }
        return;
      }
      case 'return':
        this._calls.answer(msg);
        return;
      case 'open':
        openLaunch(this, msg);
        return;
      case 'focus':
        raiseWindow(this);
        return;
      case 'cursor':
        if (isStr(msg.c) && msg.c.length < 64) this._canvas.style.cursor = msg.c;
        return;
      case 'screen':
        this._screenText.update(msg);
        return;
      case 'scrollInfo':
        if (msg.bar === 'v' || msg.bar === 'h') this._bars[msg.bar].info(msg);
        return;
      case 'scrollEnable':
        if ((msg.bar === 'v' || msg.bar === 'h') && isInt(msg.arrows)) this._bars[msg.bar].enable(msg.arrows);
        return;
      case 'messageBox':
        if (isInt(msg.id)) this._boxes.ask(msg);
        return;
      case 'menu':
        if (!isInt(msg.id)) return;
        for (const child of this._children.values()) if (child instanceof Toolbar) child.menuShown();
        this._menus.ask(msg);
        return;
      case 'child':
        if (isInt(msg.h)) this._child(msg);
        return;
      case 'childUpdate': {
        const child = isInt(msg.h) ? this._children.get(msg.h) : null;
        if (child) child.update(msg);
        return;
      }
      case 'childDestroy': {
        const child = isInt(msg.h) ? this._children.get(msg.h) : null;
        if (!child) return;
        this._children.delete(msg.h);
        if (child.remove()) this._focusCanvas();
        return;
      }
      case 'dropDone':
      case 'dropRefused':
        this._drops.answer(msg);
        return;
      default:
        return;
    }
  }

  // A new child window; one of a handle in use replaces it.
  _child(msg) {
    const old = this._children.get(msg.h);
    let hadFocus = false, button = 0;
    if (old) {
      this._children.delete(msg.h);
      if (old instanceof Toolbar) button = old.focusedId();
      hadFocus = old.remove();
    }
    let child = null;
    if (this._children.size < MAX_CHILDREN) {
      if (msg.kind === 'toolbar') child = new Toolbar(this, msg);
      else if (msg.kind === 'dialog') child = new Dialog(this, msg);
      else if (msg.kind === 'tree') child = new FolderTree(this, msg);
    }
    if (child) this._children.set(msg.h, child);
    // A toolbar made again for a new size keeps the focused button.
    if (hadFocus && !(child instanceof Dialog) && !(child instanceof Toolbar && child.focusButton(button)))
      this._focusCanvas();
  }

  // Tells the container when whether the element can be seen changes.
  _reportVisible() {
    const visible = document.visibilityState !== 'hidden' && this._intersecting;
    if (this._state !== 'created' || !this._conn || visible === this._toldVisible) return;
    this._toldVisible = visible;
    this._conn.send({ t: 'visible', el: this._el, v: visible });
  }

  _reportMotion() {
    if (this._state !== 'created' || !this._conn) return;
    this._conn.send({ t: 'motion', el: this._el, reduced: !!(this._motion && this._motion.matches) });
  }

  _imageList(buf, dv) {
    if (this._state === 'created') this._imageLists.receive(buf, dv);
  }

  // A menu was answered: a drop-down button held down for it comes up.
  _menuAnswered() {
    for (const child of this._children.values()) if (child instanceof Toolbar) child.release();
  }

  _focusCanvas() {
    try { this._canvas.focus({ preventScroll: true }); } catch (e) { /* not in a document */ }
  }

  // Device pixels of the control per CSS pixel, as input points are mapped.
  _cssScale() {
    return (window.devicePixelRatio || 1) * (this._inputScale || 1);
  }

  _frame(buf, dv) {
    if (this._state !== 'created' || buf.byteLength < HEADER_BYTES) return;
    const started = performance.now();
    const seq = dv.getUint32(8, true);
    this.bytesReceived += buf.byteLength;
    const drawn = this._painter.paint(buf, dv);
    // Acknowledged even when damaged, or the element would get no more frames.
    if (this._conn) this._conn.send({ t: 'frameAck', el: this._el, seq });
    this.frameCount++;
    this.lastFrameSeq = seq;
    this.lastFrameTime = performance.now();
    this.dispatchEvent(new CustomEvent('zov-frame', {
      detail: { seq, bytes: buf.byteLength, tiles: drawn, time: this.lastFrameTime,
        draw: this.lastFrameTime - started }
    }));
  }

  // --- scripting -------------------------------------------------------------

  // Calls a member by name; the typed methods on the prototype all come here.
  invoke(name, args) {
    return this._calls.invoke(name, args);
  }

  // --- size ------------------------------------------------------------------

  _measure() {
    const dpr = window.devicePixelRatio || 1;
    const rect = this._canvas.getBoundingClientRect();
    // The observer's device pixels are exact where it knows the ratio; an
    // emulated ratio (a test browser's) it may not know, and then it says CSS
    // pixels.
    const dev = this._devSize;
    const exact = dev && Math.abs(dev.w - rect.width * dpr) <= 2 && Math.abs(dev.h - rect.height * dpr) <= 2;
    let w = Math.max(0, exact ? dev.w : Math.round(rect.width * dpr));
    let h = Math.max(0, exact ? dev.h : Math.round(rect.height * dpr));
    // The container draws no larger picture than its limits; the canvas
    // scales it up, and input points scale down with it.
    const lim = this._conn ? this._conn.limits : null;
    let scale = 1;
    if (lim && w > 0 && h > 0)
      scale = Math.min(1, lim.side / w, lim.side / h, Math.sqrt(lim.area / (w * h)));
    if (scale < 1) {
      w = Math.floor(w * scale);
      h = Math.floor(h * scale);
    }
    this._inputScale = scale;
    return {
      w, h,
      sx: Math.round((window.screenX + rect.left) * dpr),
      sy: Math.round((window.screenY + rect.top) * dpr),
      // Device pixels of the picture per CSS pixel: the control draws its
      // text and room that much larger, to look as large as at 1.
      scale: Math.min(16, Math.max(1 / 64, dpr * scale))
    };
  }

  _scheduleSize() {
    if (this._sizeFrame) return;
    this._sizeFrame = raf(() => {
      this._sizeFrame = 0;
      if (this._state !== 'created' || !this._conn) return;
      const s = this._measure(), last = this._size;
      // The scale may have changed with the size: children keep their device pixels.
      for (const child of this._children.values()) if (child.layout) child.layout();
      if (last && last.w === s.w && last.h === s.h && last.sx === s.sx && last.sy === s.sy &&
        last.scale === s.scale) return;
      this._size = s;
      this._conn.send({ t: 'size', el: this._el, w: s.w, h: s.h, sx: s.sx, sy: s.sy, scale: s.scale });
    });
  }

  _layoutBars() {
    const v = this._bars.v.shown, h = this._bars.h.shown;
    this.style.setProperty('--zov-vbar', v ? BAR + 'px' : '0px');
    this.style.setProperty('--zov-hbar', h ? BAR + 'px' : '0px');
    this._corner.classList.toggle('shown', v && h);
    this._bars.v.layout();
    this._bars.h.layout();
  }

  // Opens the control's property sheet, which comes as a modal dialog.
  showProperties() {
    if (this._state !== 'created' || !this._conn) return false;
    return this._conn.send({ t: 'verb', el: this._el, verb: 'properties' });
  }

  // Sends files as if they were dropped at (x, y), device pixels of the
  // element (its middle by default). Resolves when the control has them,
  // rejects with the reason when the drop is refused.
  dropFiles(files, x, y) {
    const list = Array.from(files || []).filter((f) => typeof Blob !== 'undefined' && f instanceof Blob);
    const size = this._size || { w: 0, h: 0 };
    return this._drops.send(list, isInt(x) ? x : size.w >> 1, isInt(y) ? y : size.h >> 1);
  }

  _post(msg) {
    if (this._state === 'created' && this._conn) this._conn.send(msg);
  }
}

defineMethods(ZovViewerElement);
