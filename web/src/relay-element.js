// The <zov-event-relay> element: the event relay control hosted by
// zov-host. Attached to a viewer's instance number, it raises OnOpenUrl
// when that viewer asks for an address to be opened (a caption click). It
// shows no frames; its display string is shown as text.
import { Calls } from './calls.js';
import { Connection, defaultServer } from './connection.js';
import { isStr } from './util.js';

export const RELAY_CLSID = '{EB37848E-6108-42FE-A2FC-FEA14A0A64B6}';
// The event's parameter object carries at most this many properties.
const MAX_EVENT_PROPERTIES = 32;

const STYLE = ':host { display: inline-block; font: 12px sans-serif; } :host([hidden]) { display: none; }';

// What an event's arguments may hold: plain values and flat objects of them.
function plainArgument(value) {
  if (value === null || typeof value !== 'object' || Array.isArray(value))
    return typeof value === 'object' ? null : value;
  const copy = {};
  let n = 0;
  for (const key of Object.keys(value)) {
    if (n++ >= MAX_EVENT_PROPERTIES) break;
    const v = value[key];
    copy[key] = v !== null && typeof v === 'object' ? null : v;
  }
  return copy;
}

export class ZovEventRelayElement extends HTMLElement {
  constructor() {
    super();
    const root = this.attachShadow({ mode: 'open' });
    const style = document.createElement('style');
    style.textContent = STYLE;
    this._text = document.createElement('span');
    this._text.setAttribute('part', 'text');
    root.append(style, this._text);
    this.members = null;
    this._conn = null;
    this._el = 0;
    this._state = 'idle';  // idle, creating, created, failed
    this._calls = new Calls(this);
    this._handler = null;
    this._newReady();
  }

  get server() {
    return this.getAttribute('server') || defaultServer();
  }

  get elementId() { return this._el; }

  _newReady() {
    this.ready = new Promise((resolve, reject) => {
      this._readyResolve = resolve;
      this._readyReject = reject;
    });
    this.ready.catch(() => {});
  }

  connectedCallback() {
    if (this._state === 'creating' || this._state === 'created') return;
    if (this._state === 'failed') this._newReady();
    const conn = this.server ? Connection.get(this.server) : null;
    if (!conn || conn.state === 'closed') {
      this._fail(conn ? conn.closeReason : 'no container address');
      return;
    }
    this._conn = conn;
    this._el = conn.attach(this);
    this._state = 'creating';
    conn.send({ t: 'create', el: this._el, clsid: this.getAttribute('clsid') || RELAY_CLSID, w: 0, h: 0, sx: 0, sy: 0 });
  }

  disconnectedCallback() {
    queueMicrotask(() => {
      if (this.isConnected || (this._state !== 'creating' && this._state !== 'created')) return;
      this._conn.send({ t: 'destroy', el: this._el });
      this._conn.detach(this._el);
      if (this._state === 'creating') this._readyReject(new Error('the element was removed from the page'));
      this._end('the element was removed from the page');
      this._state = 'idle';
      this._newReady();
    });
  }

  _lost(reason) {
    if (this._state === 'creating' || this._state === 'created') this._fail(reason);
  }

  _fail(message) {
    this._end(message);
    this._state = 'failed';
    this._readyReject(new Error(message));
    this.dispatchEvent(new CustomEvent('zov-error', { detail: message }));
  }

  _end(message) {
    this._calls.rejectAll(message);
    this._conn = null;
  }

  // The relay has no picture and no images.
  _frame() {}
  _imageList() {}

  _message(msg) {
    switch (msg.t) {
      case 'created':
        if (this._state !== 'creating') return;
        this._state = 'created';
        this.members = Array.isArray(msg.members) ? msg.members : null;
        this._readyResolve(this);
        this._calls.flush();
        this.dispatchEvent(new CustomEvent('zov-ready', { detail: { members: this.members } }));
        return;
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
      case 'event':
        if (isStr(msg.name) && msg.name.length < 64 && Array.isArray(msg.args)) this._event(msg.name, msg.args);
        return;
      default:
        return;
    }
  }

  // An event of the control as a DOM event of its name, whose detail is its
  // first argument (for OnOpenUrl the parameter object, with Msg).
  _event(name, args) {
    const detail = args.length ? plainArgument(args[0]) : null;
    this.dispatchEvent(new CustomEvent(name, { detail }));
    if (name === 'OnOpenUrl' && typeof this._handler === 'function') {
      try {
        this._handler.call(this, detail);
      } catch (e) {
        if (window.console) console.error(e);
      }
    }
  }

  // The handler of pages written for the control's own event: called with
  // the parameter object.
  get onOpenUrl() { return this._handler; }
  set onOpenUrl(handler) { this._handler = typeof handler === 'function' ? handler : null; }

  invoke(name, args) {
    return this._calls.invoke(name, args);
  }

  MyCallMethod() { return this.invoke('MyCallMethod', []); }
  AttachObject(eventId) { return this.invoke('AttachObject', [eventId]); }

  // A property of the control: reading it gives a Promise of its value.
  get DisplayString() { return this.invoke('DisplayString', []); }
  set DisplayString(text) {
    const value = text === undefined || text === null ? '' : String(text);
    this._calls.invoke('DisplayString', [value], 'put').then(() => { this._text.textContent = value; }, () => {});
  }
}
