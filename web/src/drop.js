// Files dropped on the element: announced to the container in one `drop`
// message, then their bytes in order as binary chunks of kind 3
// (doc/PROTOCOL.md). Files are read a chunk at a time and the socket's queue
// is kept short, so a large drop costs little memory. One drop per element is
// on its way at a time, until the container says it is done or refused.
import { longerThan } from './util.js';

export const DROP_CHUNK_HEADER_BYTES = 16;
const BINARY_DROP_CHUNK = 3;
// The socket's unsent bytes above which sending waits, and how often it looks again.
const MAX_BUFFERED = 4 << 20, BUFFER_POLL_MS = 20;
// A chunk's offset is 32 bits wide.
const MAX_FILE_BYTES = 0xFFFFFFFF;

export const DROP_STYLE = [
  '.drop-zone { position: absolute; inset: 0; z-index: 6; pointer-events: none; display: none;',
  '  box-sizing: border-box; border: 3px dashed #1a5fb4; background: rgba(26,95,180,0.12); }',
  '.drop-zone.shown { display: block; }'
].join('\n');

export class DropError extends Error {}

export class Drops {
  // `element` is where files are dropped; it posts (_conn, _el, _state) and
  // maps points (_cssScale(), _canvas).
  constructor(element) {
    this.element = element;
    this.current = null;  // {resolve, reject, abandoned} from the first message until the answer
    this.zone = document.createElement('div');
    this.zone.className = 'drop-zone';
    this.zone.setAttribute('part', 'drop-zone');
    this.depth = 0;
    this.wire();
  }

  wire() {
    const el = this.element;
    const carriesFiles = (e) => {
      const types = e.dataTransfer && e.dataTransfer.types;
      return !!types && Array.prototype.indexOf.call(types, 'Files') >= 0;
    };
    el.addEventListener('dragenter', (e) => {
      if (!carriesFiles(e)) return;
      e.preventDefault();
      this.depth++;
      this.zone.classList.add('shown');
    });
    el.addEventListener('dragover', (e) => {
      if (!carriesFiles(e)) return;
      e.preventDefault();
      e.dataTransfer.dropEffect = 'copy';
      this.zone.classList.add('shown');
    });
    el.addEventListener('dragleave', (e) => {
      if (!carriesFiles(e)) return;
      // Enter and leave come for every part of the element the drag crosses.
      if (--this.depth <= 0) this.unhighlight();
    });
    el.addEventListener('drop', (e) => {
      this.unhighlight();
      if (!carriesFiles(e)) return;
      e.preventDefault();
      const files = droppedFiles(e.dataTransfer);
      const p = this.point(e);
      this.send(files, p.x, p.y).catch(() => { /* told by the zov-drop-refused event */ });
    });
  }

  unhighlight() {
    this.depth = 0;
    this.zone.classList.remove('shown');
  }

  // The event's point in device pixels of the element, as input.js maps it.
  point(e) {
    const s = this.element._cssScale();
    const rect = this.element._canvas.getBoundingClientRect();
    return { x: Math.max(0, Math.round((e.clientX - rect.left) * s)), y: Math.max(0, Math.round((e.clientY - rect.top) * s)) };
  }

  refuse(message, local) {
    this.element.dispatchEvent(new CustomEvent('zov-drop-refused',
      { detail: { message, local: !!local }, bubbles: true, composed: true }));
  }

  // Sends `files` dropped at (x, y); resolves when the container says the
  // control has them, rejects with the reason a drop was refused.
  async send(files, x, y) {
    const element = this.element;
    const conn = element._conn;
    const fail = (message) => {
      this.refuse(message, true);
      return Promise.reject(new DropError(message));
    };
    if (element._state !== 'created' || !conn) return fail('the viewer is not ready');
    if (!files.length) return undefined;
    if (this.current) return fail('another drop is still being sent');
    const lim = conn.limits;
    if (files.length > lim.dropFiles) return fail('at most ' + lim.dropFiles + ' files can be dropped at once');
    let total = 0;
    for (const f of files) {
      if (f.size > lim.dropFileBytes || f.size > MAX_FILE_BYTES)
        return fail(f.name + ' is larger than ' + lim.dropFileBytes + ' bytes');
      total += f.size;
    }
    if (total > lim.dropBytes) return fail('the files are larger than ' + lim.dropBytes + ' bytes together');
    const msg = {
      t: 'drop', el: element._el, x: Math.round(x) | 0, y: Math.round(y) | 0,
      files: files.map((f, n) => ({ n, name: typeof f.name === 'string' ? f.name : '', size: f.size }))
    };
    const text = JSON.stringify(msg);
    if (longerThan(text, lim.message)) return fail('the names of the files are too long together');

    const drop = { abandoned: false, ended: false };
    const answered = new Promise((resolve, reject) => { drop.resolve = resolve; drop.reject = reject; });
    // A refusal may come while bytes are still being sent, before anyone waits for it.
    answered.catch(() => {});
    this.current = drop;
    if (!conn.sendText(text)) {
      this.current = null;
      return fail('not connected');
    }
    try {
      await this.sendBytes(conn, drop, files);
    } catch (err) {
      // A file that cannot be read ends the drop here; the container refuses
      // it once no more bytes come, and that answer only closes it.
      if (!drop.ended) {
        drop.abandoned = true;
        this.refuse('cannot read a dropped file: ' + (err && err.message || err), true);
        return Promise.reject(new DropError('cannot read a dropped file'));
      }
    }
    return answered;
  }

  async sendBytes(conn, drop, files) {
    const element = this.element;
    const payload = Math.max(1, conn.limits.message - DROP_CHUNK_HEADER_BYTES);
    for (let n = 0; n < files.length; n++) {
      const f = files[n], size = f.size;
      for (let off = 0; off < size; off += payload) {
        while (conn.bufferedAmount > MAX_BUFFERED && !drop.ended && conn.state === 'open')
          await new Promise((r) => setTimeout(r, BUFFER_POLL_MS));
        if (drop.ended || element._conn !== conn) return;
        const end = Math.min(size, off + payload);
        const bytes = await f.slice(off, end).arrayBuffer();
        if (bytes.byteLength !== end - off) throw new Error(f.name + ' changed while it was read');
        if (drop.ended || element._conn !== conn) return;
        const chunk = new Uint8Array(DROP_CHUNK_HEADER_BYTES + bytes.byteLength);
        const dv = new DataView(chunk.buffer);
        dv.setUint8(0, BINARY_DROP_CHUNK);
        dv.setUint32(4, element._el, true);
        dv.setUint32(8, n, true);
        dv.setUint32(12, off, true);
        chunk.set(new Uint8Array(bytes), DROP_CHUNK_HEADER_BYTES);
        if (!conn.sendBinary(chunk)) return;
      }
    }
  }

  // The container's answer to the drop on its way.
  answer(msg) {
    const drop = this.current;
    if (!drop) return;
    this.current = null;
    drop.ended = true;
    if (msg.t === 'dropDone') {
      this.element.dispatchEvent(new CustomEvent('zov-drop-done', { bubbles: true, composed: true }));
      drop.resolve();
    } else {
      const message = typeof msg.message === 'string' ? msg.message.slice(0, 4096) : 'the drop was refused';
      if (drop.abandoned) return;
      this.refuse(message, false);
      drop.reject(new DropError(message));
    }
  }

  // The control is gone: the drop on its way ends without an answer.
  clear(reason) {
    const drop = this.current;
    this.current = null;
    this.unhighlight();
    if (!drop) return;
    drop.ended = true;
    if (!drop.abandoned) drop.reject(new DropError(reason));
  }
}

// The files of a drop; folders and other items are left out.
function droppedFiles(dt) {
  const out = [];
  const items = dt.items;
  if (items && items.length) {
    for (let i = 0; i < items.length; i++) {
      const item = items[i];
      if (item.kind !== 'file') continue;
      const entry = item.webkitGetAsEntry ? item.webkitGetAsEntry() : null;
      if (entry && !entry.isFile) continue;
      const file = item.getAsFile();
      if (file) out.push(file);
    }
    return out;
  }
  return Array.from(dt.files || []);
}
