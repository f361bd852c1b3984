/*
 * The <zov-viewer> element: a viewer control hosted by zov-host, shown in a page.
 *
 * A classic script on purpose: pages on other origins embed it with a plain
 * <script src="http://127.0.0.1:PORT/zov.js">, which needs no CORS. The container
 * runs the control; this side only shows its frames, forwards input and carries
 * scripting calls, all over one WebSocket per page and container.
 */
(function () {
  'use strict';

  if (typeof window === 'undefined' || !window.customElements || window.customElements.get('zov-viewer'))
    return;

  // Captured now: document.currentScript is only set while this script runs.
  var scriptSrc = (document.currentScript && document.currentScript.src) || '';

  var DEFAULT_CLSID = '{D340FA1C-4A07-4590-BFFB-FA14857D23DF}';
  var BAR = 16;  // CSS pixels, like the classic Windows scroll bar

  // The dispatch table, in DISPID order: [dispid, name, argument types, result type].
  var MEMBERS = [
    [-552, 'AboutBox', [], 'void'],
    [1, 'SetFiles', ['string'], 'void'],
    [2, 'SetPreviewFolder', ['string'], 'void'],
    [3, 'FlipRight', [], 'void'],
    [4, 'FlipLeft', [], 'void'],
    [5, 'FlipRight2', [], 'void'],
    [6, 'FlipLeft2', [], 'void'],
    [7, 'FlipRightClose', [], 'void'],
    [8, 'FlipLeftClose', [], 'void'],
    [9, 'FlipAuto', [], 'void'],
    [10, 'ZoomDown', [], 'void'],
    [11, 'ScaleUp', [], 'void'],
    [12, 'ScaleDown', [], 'void'],
    [13, 'CompleteOpenPage', [], 'void'],
    [14, 'UnCompleteOpenPage', [], 'void'],
    [15, 'SingleOpenPage', [], 'void'],
    [16, 'Search', ['string'], 'void'],
    [17, 'Refresh', [], 'void'],
    [18, 'SetAllSelectedFlag', ['bool'], 'void'],
    [19, 'eValueInit', ['string', 'string', 'bool', 'string', 'string', 'string'], 'long'],
    [20, 'eValueSetFiles', ['string', 'string', 'string', 'string', 'string'], 'long'],
    [21, 'eValueGetSelectedFiles', [], 'string'],
    [22, 'GetToolBarVisible', [], 'bool'],
    [23, 'SetToolBarVisible', ['bool'], 'void'],
    [24, 'SetUp', ['string', 'string', 'bool', 'string', 'string', 'string', 'bool'], 'long'],
    [25, 'ShowFiles', ['string', 'string'], 'long'],
    [26, 'GetSelectedFiles', [], 'string'],
    [27, 'SetFolderFiles', ['string', 'string'], 'void'],
    [28, 'SetFolder', ['string', 'bool'], 'void'],
    [29, 'DeleteSelectedFiles', [], 'void'],
    [30, 'GetDirTreeVisible', [], 'bool'],
    [31, 'SetDirTreeVisible', ['bool', 'string', 'string'], 'void'],
    [32, 'OpenPages', ['string'], 'void'],
    [33, 'ShowWorkWindow', ['string', 'string'], 'long'],
    [34, 'AddFilesToWorkWindow', ['string', 'string'], 'long'],
    [35, 'GetWorkWindowCount', [], 'long'],
    [36, 'ExistSameFileInWorkWindow', ['string'], 'bool'],
    [37, 'ZoomUpFirstObject', [], 'void'],
    [38, 'TextSearchNext', ['string'], 'void'],
    [39, 'TextSearchPrev', ['string'], 'void'],
    [40, 'TextSearchCancel', [], 'void'],
    [41, 'SetFileList', ['string', 'string'], 'void'],
    [42, 'ClearMemory', [], 'void']
  ];

  var MK_LBUTTON = 1, MK_RBUTTON = 2, MK_SHIFT = 4, MK_CONTROL = 8;
  var SB_LINEUP = 0, SB_LINEDOWN = 1, SB_PAGEUP = 2, SB_PAGEDOWN = 3,
      SB_THUMBPOSITION = 4, SB_THUMBTRACK = 5;
  var IDOK = 1, IDCANCEL = 2, IDABORT = 3, IDRETRY = 4, IDIGNORE = 5, IDYES = 6, IDNO = 7;

  // The buttons of a message box by the low four bits of its type.
  var BOX_BUTTONS = {
    0: [['OK', IDOK]],
    1: [['OK', IDOK], ['Cancel', IDCANCEL]],
    2: [['Abort', IDABORT], ['Retry', IDRETRY], ['Ignore', IDIGNORE]],
    3: [['Yes', IDYES], ['No', IDNO], ['Cancel', IDCANCEL]],
    4: [['Yes', IDYES], ['No', IDNO]],
    5: [['Retry', IDRETRY], ['Cancel', IDCANCEL]]
  };

  // Canvases larger than this are refused: a buggy header must not cost gigabytes.
  var MAX_SIDE = 16384, MAX_AREA = 1 << 26;

  function isInt(v) { return typeof v === 'number' && Number.isInteger(v); }
  function isStr(v) { return typeof v === 'string'; }

  // The RGB bytes at `at` as one canvas pixel word (RGBA in memory order).
  function rgbaWord(dv, at) {
    return (0xFF000000 | (dv.getUint8(at + 2) << 16) | (dv.getUint8(at + 1) << 8) | dv.getUint8(at)) >>> 0;
  }

  function coerce(type, value) {
    switch (type) {
      case 'string': return value === undefined || value === null ? '' : String(value);
      case 'long': return Math.trunc(Number(value)) | 0;
      case 'bool': return !!value;
      default: return value === undefined ? null : value;
    }
  }

  function defaultServer() {
    try {
      var u = new URL(scriptSrc || window.location.href);
      return (u.protocol === 'https:' ? 'wss:' : 'ws:') + '//' + u.host + '/ws';
    } catch (e) {
      return '';
    }
  }

  function longerThan(text, bytes) {
    // Every UTF-16 unit is at most 3 bytes of UTF-8: most messages need no encoding.
    return text.length * 3 > bytes && new TextEncoder().encode(text).length > bytes;
  }

  function raf(fn) {
    // Hidden tabs get no animation frames; a timeout keeps messages flowing there.
    if (document.visibilityState === 'hidden') return setTimeout(fn, 16);
    return requestAnimationFrame(fn);
  }

  // ---------------------------------------------------------------------------
  // One socket per page and container address, shared by the elements.

  var connections = new Map();

  function Connection(url) {
    this.url = url;
    this.ws = null;
    this.state = 'connecting';
    this.nextEl = 1;
    this.elements = new Map();
    this.outbox = [];
    this.limits = { message: 1048576, elements: 16, string: 262144, calls: 64 };
    this.closeReason = '';
    var self = this;
    try {
      this.ws = new WebSocket(url);
    } catch (e) {
      this.state = 'closed';
      this.closeReason = 'cannot connect to ' + url + ': ' + (e && e.message || e);
      return;
    }
    this.ws.binaryType = 'arraybuffer';
    this.ws.onopen = function () {
      self.state = 'open';
      var box = self.outbox;
      self.outbox = [];
      for (var i = 0; i < box.length; i++) self.ws.send(box[i]);
    };
    this.ws.onmessage = function (ev) {
      try {
        self.receive(ev.data);
      } catch (e) {
        // A server that sends nonsense must not break the page.
        if (window.console) console.warn('zov: bad message ignored', e);
      }
    };
    this.ws.onerror = function () {
      if (!self.closeReason) self.closeReason = 'the connection to ' + url + ' failed';
    };
    this.ws.onclose = function (ev) {
      self.lost(self.state === 'connecting'
        ? 'the container refused the connection (' + url + ')'
        : 'the connection closed' + (ev && ev.code ? ' (' + ev.code + (ev.reason ? ' ' + ev.reason : '') + ')' : ''));
    };
  }

  Connection.get = function (url) {
    var c = connections.get(url);
    if (c && c.state !== 'closed') return c;
    c = new Connection(url);
    if (c.state !== 'closed') connections.set(url, c);
    return c;
  };

  Connection.prototype.sendText = function (text) {
    if (this.state === 'open') { this.ws.send(text); return true; }
    if (this.state === 'connecting') { this.outbox.push(text); return true; }
    return false;
  };

  Connection.prototype.send = function (msg) {
    return this.sendText(JSON.stringify(msg));
  };

  Connection.prototype.attach = function (element) {
    var el = this.nextEl++;
    this.elements.set(el, element);
    return el;
  };

  Connection.prototype.detach = function (el) {
    this.elements.delete(el);
  };

  Connection.prototype.lost = function (reason) {
    if (this.state === 'closed') return;
    this.state = 'closed';
    this.outbox = [];
    if (connections.get(this.url) === this) connections.delete(this.url);
    var els = Array.from(this.elements.values());
    this.elements.clear();
    for (var i = 0; i < els.length; i++) {
      try { els[i]._lost(reason); } catch (e) { /* one element's failure must not keep the others */ }
    }
  };

  Connection.prototype.receive = function (data) {
    if (data instanceof ArrayBuffer) {
      if (data.byteLength < 8) return;
      var dv = new DataView(data);
      if (dv.getUint8(0) !== 1) return;  // only frames travel as binary so far
      var target = this.elements.get(dv.getUint32(4, true));
      if (target) target._frame(data, dv);
      return;
    }
    if (typeof data !== 'string') return;
    var msg;
    try { msg = JSON.parse(data); } catch (e) { return; }
    if (!msg || typeof msg !== 'object' || Array.isArray(msg) || !isStr(msg.t)) return;
    if (msg.t === 'hello') {
      var l = msg.limits;
      if (l && typeof l === 'object') {
        for (var k in this.limits)
          if (isInt(l[k]) && l[k] > 0) this.limits[k] = l[k];
      }
      return;
    }
    if (!isInt(msg.el)) {
      if (msg.t === 'error' && window.console) console.warn('zov: container error:', msg.message);
      return;
    }
    var element = this.elements.get(msg.el);
    if (element) element._message(msg);
  };

  // ---------------------------------------------------------------------------
  // The element.

  var STYLE = [
    ':host { display: inline-block; position: relative; width: 300px; height: 150px;',
    '  overflow: hidden; contain: layout paint; background: #c0c0c0;',
    '  -webkit-user-select: none; user-select: none; }',
    ':host([hidden]) { display: none; }',
    'canvas { position: absolute; left: 0; top: 0; display: block; touch-action: none;',
    '  width: calc(100% - var(--zov-vbar, 0px)); height: calc(100% - var(--zov-hbar, 0px)); outline: none; }',
    '.bar { position: absolute; display: none; background: #f0f0f0; box-sizing: border-box; touch-action: none; }',
    '.bar.shown { display: flex; }',
    '.bar.v { flex-direction: column; right: 0; top: 0; width: ' + BAR + 'px; bottom: var(--zov-hbar, 0px); }',
    '.bar.h { flex-direction: row; left: 0; bottom: 0; height: ' + BAR + 'px; right: var(--zov-vbar, 0px); }',
    '.corner { position: absolute; right: 0; bottom: 0; width: ' + BAR + 'px; height: ' + BAR + 'px; background: #f0f0f0; display: none; }',
    '.corner.shown { display: block; }',
    '.arrow { flex: 0 0 ' + BAR + 'px; width: ' + BAR + 'px; height: ' + BAR + 'px; position: relative; }',
    '.arrow:hover { background: #dadada; } .arrow:active { background: #606060; }',
    '.arrow::after { content: ""; position: absolute; left: 4px; top: 4px; border: 4px solid transparent; }',
    '.v .arrow.lo::after { top: 2px; border-bottom-color: #606060; }',
    '.v .arrow.hi::after { top: 6px; border-top-color: #606060; }',
    '.h .arrow.lo::after { left: 2px; border-right-color: #606060; }',
    '.h .arrow.hi::after { left: 6px; border-left-color: #606060; }',
    '.arrow:active::after { filter: invert(1); }',
    '.arrow.off { pointer-events: none; } .arrow.off::after { opacity: 0.35; }',
    '.track { flex: 1 1 auto; position: relative; min-width: 0; min-height: 0; }',
    '.thumb { position: absolute; background: #cdcdcd; }',
    '.thumb:hover { background: #a6a6a6; } .thumb.drag { background: #606060; }',
    '.v .thumb { left: 2px; right: 2px; } .h .thumb { top: 2px; bottom: 2px; }',
    '.bar.off .thumb { display: none; } .bar.off .track { pointer-events: none; }',
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

  class ZovViewerElement extends HTMLElement {
    constructor() {
      super();
      var root = this.attachShadow({ mode: 'open' });
      var style = document.createElement('style');
      style.textContent = STYLE;
      this._canvas = document.createElement('canvas');
      this._canvas.setAttribute('part', 'canvas');
      this._canvas.width = 0;
      this._canvas.height = 0;
      this._ctx = null;
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
      this._callId = 1;
      this._pending = new Map();  // call id -> {resolve, reject}
      this._queued = [];          // calls made before `created`
      this._boxes = new Map();    // question id -> overlay
      this._size = null;          // the last size sent {w, h, sx, sy}
      this._sizeFrame = 0;
      this._moveFrame = 0;
      this._pendingMove = null;
      this._buttons = 0;
      this._wheelAcc = 0;
      this._wheelTime = 0;
      this._devSize = null;       // the canvas in device pixels, from the observer
      this._newReady();

      var self = this;
      this._resizeObserver = new ResizeObserver(function (entries) {
        for (var i = 0; i < entries.length; i++) {
          var box = entries[i].devicePixelContentBoxSize;
          if (box && box[0]) self._devSize = { w: box[0].inlineSize, h: box[0].blockSize };
          else self._devSize = null;
        }
        self._scheduleSize();
      });
      this._onWindowMoved = function () { self._scheduleSize(); };
      this._wireInput();
    }

    // The address of the container's socket.
    get server() {
      return this.getAttribute('server') || defaultServer();
    }

    get elementId() { return this._el; }

    _newReady() {
      var self = this;
      this.ready = new Promise(function (resolve, reject) {
        self._readyResolve = resolve;
        self._readyReject = reject;
      });
      // Pages that never look at `ready` must not see unhandled rejections.
      this.ready.catch(function () {});
    }

    connectedCallback() {
      try {
        this._resizeObserver.observe(this._canvas, { box: 'device-pixel-content-box' });
      } catch (e) {
        this._resizeObserver.observe(this._canvas);
      }
      window.addEventListener('scroll', this._onWindowMoved, { passive: true });
      window.addEventListener('resize', this._onWindowMoved, { passive: true });
      // Moving the element within the page keeps its control.
      if (this._state === 'creating' || this._state === 'created') return;
      if (this._state === 'failed') this._newReady();
      this._create();
    }

    disconnectedCallback() {
      this._resizeObserver.disconnect();
      window.removeEventListener('scroll', this._onWindowMoved);
      window.removeEventListener('resize', this._onWindowMoved);
      var self = this;
      queueMicrotask(function () {
        if (!self.isConnected) self._destroy();
      });
    }

    _create() {
      var server = this.server;
      var conn = server ? Connection.get(server) : null;
      if (!conn || conn.state === 'closed') {
        this._fail(conn ? conn.closeReason : 'no container address');
        return;
      }
      this._conn = conn;
      this._el = conn.attach(this);
      this._state = 'creating';
      var size = this._measure();
      this._size = size;
      var msg = { t: 'create', el: this._el, w: size.w, h: size.h, sx: size.sx, sy: size.sy };
      var progid = this.getAttribute('progid');
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
      var why = 'the element was removed from the page';
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
      var err = new Error(message);
      var waiting = Array.from(this._pending.values()).concat(this._queued);
      this._pending.clear();
      this._queued = [];
      for (var i = 0; i < waiting.length; i++) waiting[i].reject(err);
      this._boxes.forEach(function (box) { box.remove(); });
      this._boxes.clear();
      this._conn = null;
      this._size = null;
      this._pendingMove = null;
      this._buttons = 0;
    }

    // --- messages from the container -----------------------------------------

    _message(msg) {
      switch (msg.t) {
        case 'created':
          if (this._state !== 'creating') return;
          this._state = 'created';
          this.members = Array.isArray(msg.members) ? msg.members : null;
          this._readyResolve(this);
          var queued = this._queued;
          this._queued = [];
          for (var i = 0; i < queued.length; i++) this._send(queued[i]);
          this._scheduleSize();
          this.dispatchEvent(new CustomEvent('zov-ready', { detail: { members: this.members } }));
          return;
        case 'error': {
          var text = isStr(msg.message) ? msg.message : 'error';
          if (this._state === 'creating') {
            if (this._conn) this._conn.detach(this._el);
            this._fail(text);
          } else {
            this.dispatchEvent(new CustomEvent('zov-error', { detail: text }));
          }
          return;
        }
        case 'return': {
          var call = this._pending.get(msg.id);
          if (!call) return;
          this._pending.delete(msg.id);
          if (msg.error !== undefined) call.reject(new Error(String(msg.error)));
          else call.resolve(msg.v === undefined ? null : msg.v);
          return;
        }
        case 'cursor':
          if (isStr(msg.c) && msg.c.length < 64) this._canvas.style.cursor = msg.c;
          return;
        case 'scrollInfo':
          if (msg.bar === 'v' || msg.bar === 'h') this._bars[msg.bar].info(msg);
          return;
        case 'scrollEnable':
          if ((msg.bar === 'v' || msg.bar === 'h') && isInt(msg.arrows)) this._bars[msg.bar].enable(msg.arrows);
          return;
        case 'messageBox':
          if (isInt(msg.id)) this._messageBox(msg);
          return;
        default:
          return;
      }
    }

    // A reusable picture of one tile size, for tiles sent as runs.
    _tile(w, h) {
      var key = w + 'x' + h;
      if (!this._tiles) this._tiles = new Map();
      var tile = this._tiles.get(key);
      if (!tile) {
        var image = new ImageData(w, h);
        tile = { image: image, words: new Uint32Array(image.data.buffer) };
        this._tiles.set(key, tile);
      }
      return tile;
    }

    _frame(buf, dv) {
      if (this._state !== 'created' || buf.byteLength < 20) return;
      var started = performance.now();
      var seq = dv.getUint32(8, true);
      var ww = dv.getUint16(12, true), wh = dv.getUint16(14, true);
      var count = dv.getUint32(16, true);
      this.bytesReceived += buf.byteLength;
      var drawn = 0;
      if (ww <= MAX_SIDE && wh <= MAX_SIDE && ww * wh <= MAX_AREA) {
        var canvas = this._canvas;
        if (canvas.width !== ww || canvas.height !== wh) {
          canvas.width = ww;
          canvas.height = wh;
          this._ctx = null;
        }
        if (!this._ctx) this._ctx = canvas.getContext('2d', { alpha: false });
        var ctx = this._ctx;
        var off = 20;
        for (; drawn < count; drawn++) {
          if (off + 16 > buf.byteLength) break;
          var x = dv.getUint16(off, true), y = dv.getUint16(off + 2, true);
          var w = dv.getUint16(off + 4, true), h = dv.getUint16(off + 6, true);
          var encoding = dv.getUint8(off + 8);
          var n = dv.getUint32(off + 12, true);
          off += 16;
          // A tile outside the window or the message ends the frame: what came before still shows.
          if (w === 0 || h === 0 || x + w > ww || y + h > wh || off + n > buf.byteLength) break;
          if (encoding === 0) {
            if (n !== w * h * 4) break;
            ctx.putImageData(new ImageData(new Uint8ClampedArray(buf, off, n), w, h), x, y);
          } else if (encoding === 1) {
            if (n !== 4) break;
            var solid = this._tile(w, h);
            solid.words.fill(rgbaWord(dv, off));
            ctx.putImageData(solid.image, x, y);
          } else if (encoding === 2) {
            if (n % 5 !== 0) break;
            var tile = this._tile(w, h);
            var words = tile.words, at = 0, end = w * h;
            for (var r = off; r < off + n && at < end; r += 5) {
              var run = dv.getUint16(r, true);
              words.fill(rgbaWord(dv, r + 2), at, Math.min(end, at + run));
              at += run;
            }
            if (at !== end) break;
            ctx.putImageData(tile.image, x, y);
          } else {
            break;
          }
          off += n;
        }
      }
      // Acknowledged even when damaged, or the element would get no more frames.
      if (this._conn) this._conn.send({ t: 'frameAck', el: this._el, seq: seq });
      this.frameCount++;
      this.lastFrameSeq = seq;
      this.lastFrameTime = performance.now();
      this.dispatchEvent(new CustomEvent('zov-frame', {
        detail: { seq: seq, bytes: buf.byteLength, tiles: drawn, time: this.lastFrameTime,
          draw: this.lastFrameTime - started }
      }));
    }

    // --- scripting -------------------------------------------------------------

    // Calls a member by name; the typed methods on the prototype all come here.
    invoke(name, args) {
      var self = this;
      return new Promise(function (resolve, reject) {
        var list = Array.isArray(args) ? args.slice() : [];
        var call = { m: String(name), a: list, resolve: resolve, reject: reject };
        if (self._state === 'created') self._send(call);
        else if (self._state === 'failed') reject(new Error('the viewer could not be created'));
        else self._queued.push(call);
      });
    }

    _send(call) {
      var conn = this._conn;
      if (!conn) { call.reject(new Error('not connected')); return; }
      // The control's own table when it gave one, so that another server's members coerce right.
      var types = typesOf(call.m, this.members);
      try {
        if (types) {
          call.a.length = types.length;
          for (var j = 0; j < types.length; j++) call.a[j] = coerce(types[j], call.a[j]);
        }
      } catch (e) {
        call.reject(e);  // an argument whose toString throws
        return;
      }
      var lim = conn.limits;
      for (var i = 0; i < call.a.length; i++) {
        if (isStr(call.a[i]) && call.a[i].length > lim.string) {
          call.reject(new Error(call.m + ': argument ' + (i + 1) + ' is longer than ' + lim.string + ' characters'));
          return;
        }
      }
      var id = this._callId++;
      var text;
      try {
        text = JSON.stringify({ t: 'call', el: this._el, id: id, m: call.m, a: call.a });
      } catch (e) {
        call.reject(e);
        return;
      }
      // A message over the limit would close the socket for every element.
      if (longerThan(text, lim.message)) {
        call.reject(new Error(call.m + ': the call is larger than ' + lim.message + ' bytes'));
        return;
      }
      this._pending.set(id, call);
      if (!conn.sendText(text)) {
        this._pending.delete(id);
        call.reject(new Error('not connected'));
      }
    }

    // --- size ------------------------------------------------------------------

    _measure() {
      var dpr = window.devicePixelRatio || 1;
      var rect = this._canvas.getBoundingClientRect();
      var w = this._devSize ? this._devSize.w : Math.round(rect.width * dpr);
      var h = this._devSize ? this._devSize.h : Math.round(rect.height * dpr);
      return {
        w: Math.max(0, w), h: Math.max(0, h),
        sx: Math.round((window.screenX + rect.left) * dpr),
        sy: Math.round((window.screenY + rect.top) * dpr)
      };
    }

    _scheduleSize() {
      if (this._sizeFrame) return;
      var self = this;
      this._sizeFrame = raf(function () {
        self._sizeFrame = 0;
        if (self._state !== 'created' || !self._conn) return;
        var s = self._measure(), last = self._size;
        if (last && last.w === s.w && last.h === s.h && last.sx === s.sx && last.sy === s.sy) return;
        self._size = s;
        self._conn.send({ t: 'size', el: self._el, w: s.w, h: s.h, sx: s.sx, sy: s.sy });
      });
    }

    _layoutBars() {
      var v = this._bars.v.shown, h = this._bars.h.shown;
      this.style.setProperty('--zov-vbar', v ? BAR + 'px' : '0px');
      this.style.setProperty('--zov-hbar', h ? BAR + 'px' : '0px');
      this._corner.classList.toggle('shown', v && h);
      this._bars.v.layout();
      this._bars.h.layout();
    }

    // --- input -----------------------------------------------------------------

    _post(msg) {
      if (this._state === 'created' && this._conn) this._conn.send(msg);
    }

    _point(e) {
      var dpr = window.devicePixelRatio || 1;
      var rect = this._canvas.getBoundingClientRect();
      return { x: Math.round((e.clientX - rect.left) * dpr), y: Math.round((e.clientY - rect.top) * dpr) };
    }

    _keys(e, buttons) {
      return (buttons & 1 ? MK_LBUTTON : 0) | (buttons & 2 ? MK_RBUTTON : 0) |
        (e.shiftKey ? MK_SHIFT : 0) | (e.ctrlKey ? MK_CONTROL : 0);
    }

    _mouse(kind, e) {
      this._flushMove();
      var p = this._point(e);
      this._post({ t: 'mouse', el: this._el, e: kind, x: p.x, y: p.y, k: this._keys(e, this._buttons) });
    }

    _flushMove() {
      if (!this._pendingMove) return;
      var m = this._pendingMove;
      this._pendingMove = null;
      this._post(m);
    }

    // A button change inside a pointer event: buttons pressed or released together
    // come as one pointer, so each change is reported as its own message.
    _buttonChange(e) {
      var bit = e.button === 0 ? 1 : e.button === 2 ? 2 : 0;
      if (!bit) return false;
      var down = (e.buttons & bit) !== 0;
      if (down === ((this._buttons & bit) !== 0)) return false;
      this._buttons = down ? this._buttons | bit : this._buttons & ~bit;
      this._mouse(bit === 1 ? (down ? 'down' : 'up') : (down ? 'rdown' : 'rup'), e);
      return true;
    }

    _wireInput() {
      var self = this, canvas = this._canvas;
      canvas.addEventListener('pointerdown', function (e) {
        if (!e.isPrimary) return;
        if (self._buttonChange(e)) {
          try { canvas.setPointerCapture(e.pointerId); } catch (err) { /* the pointer may be gone already */ }
          e.preventDefault();
        }
      });
      canvas.addEventListener('pointerup', function (e) {
        if (!e.isPrimary) return;
        self._buttonChange(e);
      });
      canvas.addEventListener('pointercancel', function (e) {
        if (!e.isPrimary) return;
        // Tell the control the buttons are up, or it stays in a drag.
        if (self._buttons & 1) { self._buttons &= ~1; self._mouse('up', e); }
        if (self._buttons & 2) { self._buttons &= ~2; self._mouse('rup', e); }
      });
      canvas.addEventListener('pointermove', function (e) {
        if (!e.isPrimary) return;
        if (e.button !== -1 && self._buttonChange(e)) return;
        var p = self._point(e);
        self._pendingMove = { t: 'mouse', el: self._el, e: 'move', x: p.x, y: p.y, k: self._keys(e, self._buttons) };
        if (!self._moveFrame) {
          self._moveFrame = raf(function () {
            self._moveFrame = 0;
            self._flushMove();
          });
        }
      });
      canvas.addEventListener('contextmenu', function (e) { e.preventDefault(); });
      canvas.addEventListener('wheel', function (e) {
        e.preventDefault();
        var notches = e.deltaMode === 1 ? e.deltaY / 3 : e.deltaMode === 2 ? e.deltaY : e.deltaY / 100;
        var now = performance.now();
        // A pause or a change of direction starts a new turn of the wheel.
        if (now - self._wheelTime > 400 || (notches > 0) !== (self._wheelAcc > 0)) self._wheelAcc = 0;
        self._wheelTime = now;
        self._wheelAcc += notches;
        var n = Math.round(self._wheelAcc);
        if (!n) return;
        self._wheelAcc -= n;
        n = Math.max(-270, Math.min(270, n));  // d travels as a 16-bit value
        var p = self._point(e), s = self._size || { sx: 0, sy: 0 };
        // The origin the container knows, so that it maps the point back exactly.
        self._post({ t: 'wheel', el: self._el, x: s.sx + p.x, y: s.sy + p.y, d: -120 * n,
          k: self._keys(e, e.buttons & 3) });
      }, { passive: false });
    }

    // --- message boxes -----------------------------------------------------------

    _messageBox(msg) {
      var self = this, id = msg.id, answered = false;
      var type = isInt(msg.type) ? msg.type : 0;
      var detail = {
        text: isStr(msg.text) ? msg.text : '',
        caption: isStr(msg.caption) ? msg.caption : '',
        type: type,
        buttons: Array.isArray(msg.buttons) ? msg.buttons.filter(isStr) : [],
        respond: function (v) {
          if (answered) return;
          answered = true;
          var box = self._boxes.get(id);
          if (box) { box.remove(); self._boxes.delete(id); }
          self._post({ t: 'answer', el: self._el, id: id, v: isInt(v) ? v : IDCANCEL });
        }
      };
      var ev = new CustomEvent('zov-messagebox', { detail: detail, cancelable: true });
      if (!this.dispatchEvent(ev) || answered) return;
      this._showBox(id, detail);
    }

    _showBox(id, detail) {
      var standard = BOX_BUTTONS[detail.type & 0xf] || BOX_BUTTONS[0];
      var veil = document.createElement('div');
      veil.className = 'veil';
      var box = document.createElement('div');
      box.className = 'box';
      box.setAttribute('role', 'alertdialog');
      box.setAttribute('aria-modal', 'true');
      var cap = document.createElement('div');
      cap.className = 'caption';
      cap.textContent = detail.caption;
      var text = document.createElement('div');
      text.className = 'text';
      text.textContent = detail.text;
      var row = document.createElement('div');
      row.className = 'buttons';
      var buttons = standard.map(function (b, i) {
        var btn = document.createElement('button');
        btn.type = 'button';
        btn.textContent = detail.buttons[i] || b[0];
        btn.dataset.result = String(b[1]);
        btn.addEventListener('click', function () { detail.respond(b[1]); });
        row.appendChild(btn);
        return btn;
      });
      box.append(cap, text, row);
      veil.appendChild(box);
      var cancel = standard.some(function (b) { return b[1] === IDCANCEL; });
      veil.addEventListener('keydown', function (e) {
        if (e.key === 'Escape' && (cancel || standard.length === 1)) {
          e.preventDefault();
          detail.respond(cancel ? IDCANCEL : standard[0][1]);
        }
      });
      this.shadowRoot.appendChild(veil);
      this._boxes.set(id, veil);
      var def = buttons[(detail.type >> 8) & 0xf] || buttons[0];
      if (def) def.focus();
    }
  }

  // --- scroll bars ---------------------------------------------------------------

  function makeBar(element, dir) {
    var vertical = dir === 'v';
    var node = document.createElement('div');
    node.className = 'bar ' + dir;
    node.setAttribute('part', vertical ? 'vscroll' : 'hscroll');
    var lo = document.createElement('div');
    lo.className = 'arrow lo';
    var track = document.createElement('div');
    track.className = 'track';
    var thumb = document.createElement('div');
    thumb.className = 'thumb';
    track.appendChild(thumb);
    var hi = document.createElement('div');
    hi.className = 'arrow hi';
    node.append(lo, track, hi);

    var bar = {
      node: node, shown: false,
      min: 0, max: 0, page: 0, pos: 0, arrows: 0,
      drag: null,  // {start, startPos, pos} while the thumb is held
      repeat: 0
    };

    function span() { return vertical ? track.clientHeight : track.clientWidth; }
    function range() { return bar.max - bar.min + 1; }
    function top() { return bar.max - Math.max(bar.page - 1, 0); }  // the highest position
    function thumbLength() {
      var len = span();
      if (bar.page <= 0 || range() <= 0) return Math.min(len, BAR);
      return Math.max(Math.min(len, 8), Math.round(len * bar.page / range()));
    }
    function send(code, pos) {
      var msg = { t: 'scroll', el: element._el, bar: dir, code: code };
      if (pos !== undefined) msg.pos = pos;
      element._post(msg);
    }

    bar.layout = function () {
      if (!bar.shown) return;
      var len = span(), tl = thumbLength();
      var shownPos = bar.drag ? bar.drag.pos : bar.pos;
      var room = top() - bar.min;
      var at = room > 0 ? Math.round((len - tl) * (shownPos - bar.min) / room) : 0;
      at = Math.max(0, Math.min(len - tl, at));
      thumb.style[vertical ? 'top' : 'left'] = at + 'px';
      thumb.style[vertical ? 'height' : 'width'] = tl + 'px';
    };

    bar.info = function (msg) {
      // Fields left out keep their values, as with a partial SetScrollInfo.
      if (isInt(msg.min)) bar.min = msg.min;
      if (isInt(msg.max)) bar.max = msg.max;
      if (isInt(msg.page) && msg.page >= 0) bar.page = msg.page;
      if (isInt(msg.pos)) bar.pos = msg.pos;
      bar.pos = Math.max(bar.min, Math.min(top(), bar.pos));
      var shown = range() > bar.page && bar.max > bar.min;
      if (shown !== bar.shown) {
        bar.shown = shown;
        node.classList.toggle('shown', shown);
        element._layoutBars();
      } else {
        bar.layout();
      }
    };

    bar.enable = function (arrows) {
      bar.arrows = arrows & 3;
      lo.classList.toggle('off', (arrows & 1) !== 0);
      hi.classList.toggle('off', (arrows & 2) !== 0);
      node.classList.toggle('off', (arrows & 3) === 3);
    };

    function stopRepeat() {
      if (bar.repeat) { clearTimeout(bar.repeat); bar.repeat = 0; }
    }
    // Held arrows and tracks repeat, as native bars do.
    function press(e, code) {
      if (e.button !== 0) return;
      e.preventDefault();
      try { e.currentTarget.setPointerCapture(e.pointerId); } catch (err) { /* ignore */ }
      stopRepeat();
      send(code);
      var tick = function () { send(code); bar.repeat = setTimeout(tick, 50); };
      bar.repeat = setTimeout(tick, 400);
    }
    lo.addEventListener('pointerdown', function (e) { press(e, SB_LINEUP); });
    hi.addEventListener('pointerdown', function (e) { press(e, SB_LINEDOWN); });
    track.addEventListener('pointerdown', function (e) {
      if (e.target !== track) return;
      var r = thumb.getBoundingClientRect();
      var before = vertical ? e.clientY < r.top : e.clientX < r.left;
      press(e, before ? SB_PAGEUP : SB_PAGEDOWN);
    });
    [lo, hi, track].forEach(function (n) {
      n.addEventListener('pointerup', stopRepeat);
      n.addEventListener('pointercancel', stopRepeat);
      n.addEventListener('lostpointercapture', stopRepeat);
    });

    thumb.addEventListener('pointerdown', function (e) {
      if (e.button !== 0) return;
      e.preventDefault();
      e.stopPropagation();
      try { thumb.setPointerCapture(e.pointerId); } catch (err) { /* ignore */ }
      bar.drag = { start: vertical ? e.clientY : e.clientX, startPos: bar.pos, pos: bar.pos, sent: bar.pos, frame: 0 };
      thumb.classList.add('drag');
    });
    thumb.addEventListener('pointermove', function (e) {
      var d = bar.drag;
      if (!d) return;
      var free = span() - thumbLength(), room = top() - bar.min;
      var moved = (vertical ? e.clientY : e.clientX) - d.start;
      var pos = free > 0 ? d.startPos + Math.round(moved * room / free) : d.startPos;
      pos = Math.max(bar.min, Math.min(top(), pos));
      if (pos === d.pos) return;
      d.pos = pos;
      bar.layout();
      if (!d.frame) {
        d.frame = raf(function () {
          d.frame = 0;
          if (bar.drag === d && d.sent !== d.pos) send(SB_THUMBTRACK, d.sent = d.pos);
        });
      }
    });
    function endDrag() {
      var d = bar.drag;
      if (!d) return;
      bar.drag = null;
      thumb.classList.remove('drag');
      if (d.pos !== d.startPos) {
        if (d.sent !== d.pos) send(SB_THUMBTRACK, d.pos);
        send(SB_THUMBPOSITION, d.pos);
      }
      bar.layout();
    }
    thumb.addEventListener('pointerup', endDrag);
    thumb.addEventListener('pointercancel', endDrag);
    thumb.addEventListener('lostpointercapture', endDrag);
    return bar;
  }

  function typesOf(name, members) {
    var lower = String(name).toLowerCase();
    if (Array.isArray(members)) {
      for (var k = 0; k < members.length; k++) {
        var m = members[k];
        if (m && isStr(m.name) && m.name.toLowerCase() === lower && Array.isArray(m.args)) return m.args;
      }
      return null;
    }
    for (var i = 0; i < MEMBERS.length; i++)
      if (MEMBERS[i][1].toLowerCase() === lower) return MEMBERS[i][2];
    return null;
  }

  // The scripting methods, by name, in DISPID order.
  MEMBERS.forEach(function (m) {
    var name = m[1];
    Object.defineProperty(ZovViewerElement.prototype, name, {
      configurable: true, writable: true, enumerable: false,
      value: {
        [name]: function () { return this.invoke(name, Array.prototype.slice.call(arguments)); }
      }[name]
    });
  });

  ZovViewerElement.members = MEMBERS.map(function (m) {
    return { id: m[0], name: m[1], args: m[2].slice(), result: m[3] };
  });
  ZovViewerElement.defaultClsid = DEFAULT_CLSID;

  window.customElements.define('zov-viewer', ZovViewerElement);
  window.ZovViewerElement = ZovViewerElement;
})();
