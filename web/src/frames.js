// Paints the container's frames into the element's canvas. A frame is the
// tiles of the back buffer that changed since the last frame the element got;
// doc/PROTOCOL.md gives the layout. Everything is checked against the message
// and the window: a damaged tile ends the frame, and what came before it still
// shows.
//
// The tiles are written into a copy of the whole canvas held here, and each
// row of tiles reaches the canvas in one putImageData: a call per tile cost
// more than the pixels it moved.

// Canvases larger than this are refused: a buggy header must not cost gigabytes.
const MAX_SIDE = 16384, MAX_AREA = 1 << 26;

export const HEADER_BYTES = 20;
const TILE_HEADER_BYTES = 16;
// What a fresh canvas without alpha shows: opaque black (RGBA in memory order).
const CANVAS_BLACK = 0xFF000000;

export class FramePainter {
  constructor(canvas) {
    this.canvas = canvas;
    this.ctx = null;
    this.image = null;  // the canvas's pixels, as the frames left them
    this.words = null;
  }

  // Paints the frame in `buf` (already known to be at least a header long);
  // returns how many tiles were drawn.
  paint(buf, dv) {
    const ww = dv.getUint16(12, true), wh = dv.getUint16(14, true);
    const count = dv.getUint32(16, true);
    let drawn = 0;
    if (ww > MAX_SIDE || wh > MAX_SIDE || ww * wh > MAX_AREA) return drawn;
    const canvas = this.canvas;
    if (canvas.width !== ww || canvas.height !== wh) {
      canvas.width = ww;
      canvas.height = wh;
      this.ctx = null;
    }
    if (!this.ctx) this.ctx = canvas.getContext('2d', { alpha: false });
    if (ww === 0 || wh === 0) return drawn;
    if (!this.image || this.image.width !== ww || this.image.height !== wh) {
      this.image = new ImageData(ww, wh);
      this.words = new Uint32Array(this.image.data.buffer);
      this.words.fill(CANVAS_BLACK);
    }
    const words = this.words, bytes = new Uint8Array(buf);
    // The strip of the canvas the tiles so far cover, and those before it.
    const strips = [];
    let strip = null;
    let off = HEADER_BYTES;
    for (; drawn < count; drawn++) {
      if (off + TILE_HEADER_BYTES > buf.byteLength) break;
      const x = dv.getUint16(off, true), y = dv.getUint16(off + 2, true);
      const w = dv.getUint16(off + 4, true), h = dv.getUint16(off + 6, true);
      const encoding = dv.getUint8(off + 8);
      const n = dv.getUint32(off + 12, true);
      off += TILE_HEADER_BYTES;
      // A tile outside the window or the message ends the frame.
      if (w === 0 || h === 0 || x + w > ww || y + h > wh || off + n > buf.byteLength) break;
      if (!writeTile(words, ww, bytes, off, n, encoding, x, y, w, h)) break;
      off += n;
      if (strip && strip.y === y && strip.h === h && x >= strip.x) {
        strip.right = Math.max(strip.right, x + w);
      } else {
        strip = { x, y, h, right: x + w };
        strips.push(strip);
      }
    }
    // Between two tiles of a strip lie pixels that did not change: the copy
    // holds them as the canvas does.
    for (const s of strips) this.ctx.putImageData(this.image, 0, 0, s.x, s.y, s.right - s.x, s.h);
    return drawn;
  }
}

// The RGB bytes at `at` as one canvas pixel word (RGBA in memory order).
function rgbaWord(bytes, at) {
  return (CANVAS_BLACK | (bytes[at + 2] << 16) | (bytes[at + 1] << 8) | bytes[at]) >>> 0;
}

// Writes one tile's n payload bytes at `off` into the canvas copy; false
// when they do not make the tile.
function writeTile(words, stride, bytes, off, n, encoding, x, y, w, h) {
  if (encoding === 3) {  // R, G, B per pixel
    if (n !== w * h * 3) return false;
    let at = off;
    for (let row = y; row < y + h; row++) {
      const end = row * stride + x + w;
      for (let p = end - w; p < end; p++, at += 3)
        words[p] = rgbaWord(bytes, at);
    }
  } else if (encoding === 0) {  // R, G, B, A per pixel
    if (n !== w * h * 4) return false;
    const target = new Uint8Array(words.buffer);
    for (let row = 0; row < h; row++)
      target.set(bytes.subarray(off + row * w * 4, off + (row + 1) * w * 4), ((y + row) * stride + x) * 4);
  } else if (encoding === 1) {  // one pixel for the whole tile
    if (n !== 4) return false;
    const word = rgbaWord(bytes, off);
    for (let row = y; row < y + h; row++) words.fill(word, row * stride + x, row * stride + x + w);
  } else if (encoding === 2) {  // runs in row-major order: count (2 bytes), R, G, B
    if (n % 5 !== 0) return false;
    const area = w * h;
    // Counted first: a tile whose runs miss its area leaves the copy as it was.
    let end = off, total = 0;
    for (; end < off + n && total < area; end += 5) total += bytes[end] | (bytes[end + 1] << 8);
    if (total !== area) return false;
    let p = 0;
    for (let r = off; r < end; r += 5) {
      const word = rgbaWord(bytes, r + 2);
      // A run crosses row ends: it is filled a row's piece at a time.
      for (let left = bytes[r] | (bytes[r + 1] << 8); left > 0;) {
        const row = (p / w) | 0, col = p - row * w;
        const piece = Math.min(left, w - col);
        const start = (y + row) * stride + x + col;
        words.fill(word, start, start + piece);
        p += piece;
        left -= piece;
      }
    }
  } else {
    return false;
  }
  return true;
}
