// Paints the container's frames into the element's canvas. A frame is the
// tiles of the back buffer that changed since the last frame the element got;
// doc/PROTOCOL.md gives the layout. Everything is checked against the message
// and the window: a damaged tile ends the frame, and what came before it still
// shows.

// Canvases larger than this are refused: a buggy header must not cost gigabytes.
const MAX_SIDE = 16384, MAX_AREA = 1 << 26;

export const HEADER_BYTES = 20;
const TILE_HEADER_BYTES = 16;

// The RGB bytes at `at` as one canvas pixel word (RGBA in memory order).
function rgbaWord(dv, at) {
  return (0xFF000000 | (dv.getUint8(at + 2) << 16) | (dv.getUint8(at + 1) << 8) | dv.getUint8(at)) >>> 0;
}

export class FramePainter {
  constructor(canvas) {
    this.canvas = canvas;
    this.ctx = null;
    this.tiles = new Map();  // reusable pictures by tile size, for tiles sent as runs
  }

  tile(w, h) {
    const key = w + 'x' + h;
    let tile = this.tiles.get(key);
    if (!tile) {
      const image = new ImageData(w, h);
      tile = { image, words: new Uint32Array(image.data.buffer) };
      this.tiles.set(key, tile);
    }
    return tile;
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
    const ctx = this.ctx;
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
      if (encoding === 0) {
        if (n !== w * h * 4) break;
        ctx.putImageData(new ImageData(new Uint8ClampedArray(buf, off, n), w, h), x, y);
      } else if (encoding === 1) {
        if (n !== 4) break;
        const solid = this.tile(w, h);
        solid.words.fill(rgbaWord(dv, off));
        ctx.putImageData(solid.image, x, y);
      } else if (encoding === 2) {
        if (n % 5 !== 0) break;
        const tile = this.tile(w, h);
        const words = tile.words, end = w * h;
        let at = 0;
        for (let r = off; r < off + n && at < end; r += 5) {
          const run = dv.getUint16(r, true);
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
    return drawn;
  }
}
