// One WebSocket per page and container address, shared by the elements on it:
// it carries their messages out, and routes what comes back to the element
// each message names.
import { isInt, isStr } from './util.js';

const connections = new Map();

// The first byte of a binary message from the container.
const BINARY_FRAME = 1, BINARY_IMAGE_LIST = 2;

// The address of the script, captured while it runs (document.currentScript is
// only set then): the container that served it is the default one.
let scriptSrc = '';

export function rememberScriptSource(src) {
  scriptSrc = src || '';
}

export function defaultServer() {
  try {
    const u = new URL(scriptSrc || window.location.href);
    return (u.protocol === 'https:' ? 'wss:' : 'ws:') + '//' + u.host + '/ws';
  } catch (e) {
    return '';
  }
}

export class Connection {
  // The open (or opening) connection to `url`, made when there is none.
  static get(url) {
    let c = connections.get(url);
    if (c && c.state !== 'closed') return c;
    c = new Connection(url);
    if (c.state !== 'closed') connections.set(url, c);
    return c;
  }

  constructor(url) {
    this.url = url;
    this.ws = null;
    this.state = 'connecting';
    this.nextEl = 1;
    this.elements = new Map();
    this.outbox = [];
    // What the container takes until its hello says otherwise.
    this.limits = { message: 1048576, elements: 16, string: 262144, calls: 64, side: 8192, area: 16777216,
      dropFiles: 100, dropFileBytes: 104857600, dropBytes: 268435456, dropIdleMs: 30000 };
    this.closeReason = '';
    try {
      this.ws = new WebSocket(url);
    } catch (e) {
      this.state = 'closed';
      this.closeReason = 'cannot connect to ' + url + ': ' + (e && e.message || e);
      return;
    }
    this.ws.binaryType = 'arraybuffer';
    this.ws.onopen = () => {
      this.state = 'open';
      const box = this.outbox;
      this.outbox = [];
      for (const text of box) this.ws.send(text);
    };
    this.ws.onmessage = (ev) => {
      try {
        this.receive(ev.data);
      } catch (e) {
        // A server that sends nonsense must not break the page.
        if (window.console) console.warn('zov: bad message ignored', e);
      }
    };
    this.ws.onerror = () => {
      if (!this.closeReason) this.closeReason = 'the connection to ' + url + ' failed';
    };
    this.ws.onclose = (ev) => {
      this.lost(this.state === 'connecting'
        ? 'the container refused the connection (' + url + ')'
        : 'the connection closed' + (ev && ev.code ? ' (' + ev.code + (ev.reason ? ' ' + ev.reason : '') + ')' : ''));
    };
  }

  sendText(text) {
    if (this.state === 'open') { this.ws.send(text); return true; }
    if (this.state === 'connecting') { this.outbox.push(text); return true; }
    return false;
  }

  send(msg) {
    return this.sendText(JSON.stringify(msg));
  }

  // Binary messages go only over an open socket: they are sent by elements
  // that exist, which needs the socket open already.
  sendBinary(bytes) {
    if (this.state !== 'open') return false;
    this.ws.send(bytes);
    return true;
  }

  // Bytes handed to the socket and not yet written.
  get bufferedAmount() {
    return this.ws ? this.ws.bufferedAmount : 0;
  }

  // A number for `element`, by which the container and the messages name it.
  attach(element) {
    const el = this.nextEl++;
    this.elements.set(el, element);
    return el;
  }

  detach(el) {
    this.elements.delete(el);
  }

  lost(reason) {
    if (this.state === 'closed') return;
    this.state = 'closed';
    this.outbox = [];
    if (connections.get(this.url) === this) connections.delete(this.url);
    const els = Array.from(this.elements.values());
    this.elements.clear();
    for (const element of els) {
      try { element._lost(reason); } catch (e) { /* one element's failure must not keep the others */ }
    }
  }

  receive(data) {
    if (data instanceof ArrayBuffer) {
      if (data.byteLength < 8) return;
      const dv = new DataView(data);
      const target = this.elements.get(dv.getUint32(4, true));
      if (!target) return;
      const kind = dv.getUint8(0);
      if (kind === BINARY_FRAME) target._frame(data, dv);
      else if (kind === BINARY_IMAGE_LIST) target._imageList(data, dv);
      return;
    }
    if (typeof data !== 'string') return;
    let msg;
    try { msg = JSON.parse(data); } catch (e) { return; }
    if (!msg || typeof msg !== 'object' || Array.isArray(msg) || !isStr(msg.t)) return;
    if (msg.t === 'hello') {
      const l = msg.limits;
      if (l && typeof l === 'object') {
        for (const k in this.limits)
          if (isInt(l[k]) && l[k] > 0) this.limits[k] = l[k];
      }
      return;
    }
    if (!isInt(msg.el)) {
      if (msg.t === 'error' && window.console) console.warn('zov: container error:', msg.message);
      return;
    }
    const element = this.elements.get(msg.el);
    if (element) element._message(msg);
  }
}
