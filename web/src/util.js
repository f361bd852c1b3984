// Small checks and timing helpers every module of the element shares.

export const isInt = (v) => typeof v === 'number' && Number.isInteger(v);
export const isStr = (v) => typeof v === 'string';

// Whether `text` takes more than `bytes` bytes as UTF-8.
export function longerThan(text, bytes) {
  // Every UTF-16 unit is at most 3 bytes of UTF-8: most messages need no encoding.
  return text.length * 3 > bytes && new TextEncoder().encode(text).length > bytes;
}

export function raf(fn) {
  // Hidden tabs get no animation frames; a timeout keeps messages flowing there.
  if (document.visibilityState === 'hidden') return setTimeout(fn, 16);
  return requestAnimationFrame(fn);
}
