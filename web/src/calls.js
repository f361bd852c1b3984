// Scripting calls of one element: held back until the control exists, sent
// with their arguments coerced to the control's types, answered in order.
import { coerce, typesOf } from './members.js';
import { isStr, longerThan } from './util.js';

export class Calls {
  // `owner` has _state ('created', 'failed', ...), _conn, _el and members.
  constructor(owner) {
    this._owner = owner;
    this._nextId = 1;
    this._pending = new Map();  // call id -> {resolve, reject}
    this._queued = [];          // calls made before `created`
  }

  // Calls (or, with kind 'put', writes) a member by name; resolves with its result.
  invoke(name, args, kind) {
    return new Promise((resolve, reject) => {
      const list = Array.isArray(args) ? args.slice() : [];
      const call = { m: String(name), a: list, kind, resolve, reject };
      const state = this._owner._state;
      if (state === 'created') this._send(call);
      else if (state === 'failed') reject(new Error('the control could not be created'));
      else this._queued.push(call);
    });
  }

  // The control exists: the calls held back go now.
  flush() {
    const queued = this._queued;
    this._queued = [];
    for (const call of queued) this._send(call);
  }

  answer(msg) {
    const call = this._pending.get(msg.id);
    if (!call) return;
    this._pending.delete(msg.id);
    if (msg.error !== undefined) call.reject(new Error(String(msg.error)));
    else call.resolve(msg.v === undefined ? null : msg.v);
  }

  rejectAll(message) {
    const err = new Error(message);
    const waiting = Array.from(this._pending.values()).concat(this._queued);
    this._pending.clear();
    this._queued = [];
    for (const call of waiting) call.reject(err);
  }

  _send(call) {
    const owner = this._owner, conn = owner._conn;
    if (!conn) { call.reject(new Error('not connected')); return; }
    // The control's own table when it gave one, so that another server's members coerce right.
    const types = typesOf(call.m, owner.members, call.kind);
    try {
      if (types) {
        call.a.length = types.length;
        for (let j = 0; j < types.length; j++) call.a[j] = coerce(types[j], call.a[j]);
      }
    } catch (e) {
      call.reject(e);  // an argument whose toString throws
      return;
    }
    const lim = conn.limits;
    for (let i = 0; i < call.a.length; i++) {
      if (isStr(call.a[i]) && call.a[i].length > lim.string) {
        call.reject(new Error(call.m + ': argument ' + (i + 1) + ' is longer than ' + lim.string + ' characters'));
        return;
      }
    }
    const id = this._nextId++;
    const msg = { t: 'call', el: owner._el, id, m: call.m, a: call.a };
    if (call.kind === 'put') msg.k = 'put';
    let text;
    try {
      text = JSON.stringify(msg);
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
}
