// The image lists the container sends before a toolbar that uses them: strips
// of equal pictures side by side, RGBA, in binary messages of kind 2
// (doc/PROTOCOL.md). Each list is kept as one canvas; a picture is cut from it
// when a button is drawn.

export const IMAGE_LIST_HEADER_BYTES = 20;
// Toolbar pictures are 16 or 32 pixels; anything far larger is a damaged header.
const MAX_IMAGE_SIDE = 256, MAX_IMAGES = 1024, MAX_STRIP_WIDTH = 16384;
// A toolbar needs two lists; a few more cover the next toolbar arriving
// while the old one is still shown.
const MAX_LISTS = 8;

export class ImageLists {
  constructor() {
    this.lists = new Map();  // handle -> {w, h, count, canvas}, oldest first
  }

  // Takes the list in `buf`; returns its handle, or 0 when the message is damaged.
  receive(buf, dv) {
    if (buf.byteLength < IMAGE_LIST_HEADER_BYTES) return 0;
    const handle = dv.getUint32(8, true);
    const w = dv.getUint16(12, true), h = dv.getUint16(14, true);
    const count = dv.getUint32(16, true);
    if (!handle || !w || !h || !count || w > MAX_IMAGE_SIDE || h > MAX_IMAGE_SIDE || count > MAX_IMAGES ||
        w * count > MAX_STRIP_WIDTH) return 0;
    const bytes = w * count * h * 4;
    if (buf.byteLength < IMAGE_LIST_HEADER_BYTES + bytes) return 0;
    const canvas = document.createElement('canvas');
    canvas.width = w * count;
    canvas.height = h;
    const pixels = new Uint8ClampedArray(buf, IMAGE_LIST_HEADER_BYTES, bytes);
    canvas.getContext('2d').putImageData(new ImageData(pixels, w * count, h), 0, 0);
    this.lists.delete(handle);
    this.lists.set(handle, { w, h, count, canvas });
    while (this.lists.size > MAX_LISTS) this.lists.delete(this.lists.keys().next().value);
    return handle;
  }

  get(handle) {
    return this.lists.get(handle) || null;
  }

  // Draws picture `index` of list `handle` into `canvas`, sized to it; an
  // unknown list or index leaves the canvas empty and returns false.
  draw(handle, index, canvas) {
    const list = this.lists.get(handle);
    const ctx = canvas.getContext('2d');
    if (!list || index < 0 || index >= list.count) {
      ctx.clearRect(0, 0, canvas.width, canvas.height);
      return false;
    }
    if (canvas.width !== list.w || canvas.height !== list.h) {
      canvas.width = list.w;
      canvas.height = list.h;
    } else {
      ctx.clearRect(0, 0, list.w, list.h);
    }
    ctx.drawImage(list.canvas, index * list.w, 0, list.w, list.h, 0, 0, list.w, list.h);
    return true;
  }

  clear() {
    this.lists.clear();
  }
}
