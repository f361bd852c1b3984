// The frame painter alone, in a real Chromium: crafted frames of every tile
// coding, and damaged ones, against the pixels the canvas must then show.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { build } from 'esbuild';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';
import { chromium } from 'playwright-core';
import { launchBrowser } from './harness.mjs';

const here = dirname(fileURLToPath(import.meta.url));
let browser, page;

before(async () => {
  const bundle = await build({
    entryPoints: [join(here, '..', 'src', 'frames.js')],
    bundle: true, write: false, format: 'iife', globalName: 'frames',
  });
  ({ browser } = await launchBrowser(chromium));
  page = await browser.newPage();
  await page.setContent('<canvas id="c"></canvas>');
  await page.addScriptTag({ content: bundle.outputFiles[0].text });
  // Frames are made in the page: a tile is [x, y, w, h, coding, payload bytes].
  await page.evaluate(() => {
    const painter = new frames.FramePainter(document.getElementById('c'));
    window.send = (width, height, tiles) => {
      const size = 20 + tiles.reduce((n, t) => n + 16 + t[5].length, 0);
      const buf = new ArrayBuffer(size), dv = new DataView(buf), bytes = new Uint8Array(buf);
      dv.setUint8(0, 1);
      dv.setUint16(12, width, true);
      dv.setUint16(14, height, true);
      dv.setUint32(16, tiles.length, true);
      let at = 20;
      for (const [x, y, w, h, coding, payload] of tiles) {
        dv.setUint16(at, x, true); dv.setUint16(at + 2, y, true);
        dv.setUint16(at + 4, w, true); dv.setUint16(at + 6, h, true);
        dv.setUint8(at + 8, coding);
        dv.setUint32(at + 12, payload.length, true);
        bytes.set(payload, at + 16);
        at += 16 + payload.length;
      }
      return painter.paint(buf, dv);
    };
    // The canvas as 0xRRGGBB numbers, row by row.
    window.pixels = () => {
      const c = document.getElementById('c');
      const d = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;
      const out = [];
      for (let i = 0; i < d.length; i += 4) out.push((d[i] << 16) | (d[i + 1] << 8) | d[i + 2]);
      return out;
    };
  });
});

after(async () => { await browser?.close(); });

const rgb = (n, f) => Array.from({ length: n }, (_, i) => f(i)).flat();

test('every coding paints its pixels, and tiles between others keep theirs', async () => {
  const result = await page.evaluate(({ rgb3, rgba4 }) => {
    const drawn = [];
    // A 6 x 4 canvas in 2 x 2 tiles. Row one: RGB, runs across the row end,
    // one colour; row two: RGBA, then a gap, then a tile further right.
    drawn.push(window.send(6, 4, [
      [0, 0, 2, 2, 3, rgb3],
      [2, 0, 2, 2, 2, [3, 0, 0x11, 0x22, 0x33, 1, 0, 0x44, 0x55, 0x66]],
      [4, 0, 2, 2, 1, [0x77, 0x88, 0x99, 0xFF]],
      [0, 2, 2, 2, 0, rgba4],
      [4, 2, 2, 2, 1, [1, 2, 3, 0xFF]],
    ]));
    const first = window.pixels();
    // Only the middle tile of the lower row: what is around it stays.
    drawn.push(window.send(6, 4, [[2, 2, 2, 2, 1, [9, 9, 9, 0xFF]]]));
    return { drawn, first, second: window.pixels() };
  }, {
    rgb3: rgb(4, (i) => [i * 10, 0, 0]),
    rgba4: rgb(4, (i) => [0, i * 20, 0, 0xFF]),
  });
  assert.deepEqual(result.drawn, [5, 1]);
  const K = 0x000000, S = 0x112233, T = 0x445566, U = 0x778899, V = 0x010203;
  assert.deepEqual(result.first, [
    0x000000, 0x0A0000, S, S, U, U,
    0x140000, 0x1E0000, S, T, U, U,
    0x000000, 0x001400, K, K, V, V,
    0x002800, 0x003C00, K, K, V, V,
  ]);
  const M = 0x090909;
  assert.deepEqual(result.second, [
    0x000000, 0x0A0000, S, S, U, U,
    0x140000, 0x1E0000, S, T, U, U,
    0x000000, 0x001400, M, M, V, V,
    0x002800, 0x003C00, M, M, V, V,
  ]);
});

test('a damaged tile ends the frame; what came before shows and later frames still paint', async () => {
  const result = await page.evaluate(() => {
    window.send(4, 2, [[0, 0, 4, 2, 1, [0xFF, 0xFF, 0xFF, 0xFF]]]);
    const counts = [
      // Runs short of the tile's area, then a tile never reached.
      window.send(4, 2, [[0, 0, 2, 2, 1, [5, 5, 5, 0xFF]], [2, 0, 2, 2, 2, [3, 0, 1, 1, 1]], [2, 0, 2, 2, 1, [7, 7, 7, 0xFF]]]),
      // RGB bytes for fewer pixels than the tile; a coding nobody knows; a tile outside.
      window.send(4, 2, [[2, 0, 2, 2, 3, [1, 2, 3]]]),
      window.send(4, 2, [[2, 0, 2, 2, 9, [1, 2, 3, 4]]]),
      window.send(4, 2, [[3, 0, 2, 2, 1, [1, 2, 3, 0xFF]]]),
    ];
    const damaged = window.pixels();
    counts.push(window.send(4, 2, [[2, 0, 2, 2, 1, [8, 8, 8, 0xFF]]]));
    return { counts, damaged, after: window.pixels() };
  });
  assert.deepEqual(result.counts, [1, 0, 0, 0, 1]);
  const W = 0xFFFFFF, F = 0x050505, E = 0x080808;
  assert.deepEqual(result.damaged, [F, F, W, W, F, F, W, W]);
  assert.deepEqual(result.after, [F, F, E, E, F, F, E, E]);
});

test('a new size starts from a black canvas of that size', async () => {
  const result = await page.evaluate(() => {
    window.send(3, 1, [[0, 0, 1, 1, 1, [0xFF, 0, 0, 0xFF]]]);
    return window.pixels();
  });
  assert.deepEqual(result, [0xFF0000, 0, 0]);
});
