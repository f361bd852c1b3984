// Small checks and timing helpers every module of the element shares.

export const isInt = (v) => typeof v === 'number' && Number.isInteger(v);
export const isStr = (v) => typeof v === 'string';

// Whether `text` takes more than `bytes` bytes as UTF-8.
export function longerThan(text, bytes) {
  // Every UTF-16 unit is at most 3 bytes of UTF-8: most messages need no encoding.
  return text.length * 3 > bytes && new TextEncoder().encode(text).length > bytes;
}

// A child window's rectangle from the container, [x, y, w, h] in device
// pixels; null for a damaged one.
export function readRect(r) {
  if (!Array.isArray(r) || r.length !== 4 || !r.every((v) => isInt(v) && v >= 0 && v <= 65535)) return null;
  return { x: r[0], y: r[1], w: r[2], h: r[3] };
}

// Places a child window's node at `r`, device pixels at `scale` per CSS pixel;
// an empty rectangle hides it.
export function placeChild(node, r, scale) {
  const st = node.style;
  st.left = r.x / scale + 'px';
  st.top = r.y / scale + 'px';
  st.width = r.w / scale + 'px';
  st.height = r.h / scale + 'px';
  st.display = r.w > 0 && r.h > 0 ? '' : 'none';
}

export function raf(fn) {
  // Hidden tabs get no animation frames; a timeout keeps messages flowing there.
  if (document.visibilityState === 'hidden') return setTimeout(fn, 16);
  return requestAnimationFrame(fn);
}
