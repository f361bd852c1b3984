// The demo desk on a screen of one and of two device pixels per CSS pixel,
// in a real headless Chromium against a real zov-host: the same desk at the
// same CSS size, its caption text drawn at twice the pixels rather than
// blown up, and the toolbar's pictures drawn for the screen. The pair of
// pictures goes into the documentation.
import { describe, test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { mkdir } from 'node:fs/promises';
import { join } from 'node:path';
import { fileURLToPath } from 'node:url';
import { chromium } from 'playwright-core';
import { startAll, probeSource, openDemoDesk } from './harness.mjs';

const REPO = fileURLToPath(new URL('../..', import.meta.url));

const SLOW = { timeout: 240_000 };
const VIEWPORT = { width: 1000, height: 700 };

let stack;

before(async () => {
  stack = await startAll({ chromium, viewport: VIEWPORT });
  await stack.context.addInitScript(probeSource);
}, { timeout: 600_000 });

after(async () => {
  if (stack) await stack.cleanup();
});

// The first book's caption: where it lies (CSS pixels), how tall its ink is
// and how much of it is solid or edge (device pixels).
function measureCaption() {
  const el = document.querySelector('zov-viewer');
  const book = el._screenText.books[0];
  const p = window.zovProbe.pixels();
  const rect = el.shadowRoot.querySelector('canvas').getBoundingClientRect();
  const dpr = p.w / rect.width;
  const [cx, cy] = book.click;
  const at = (x, y) => (y * p.w + x) * 4;
  const desk = (x, y) => window.zovProbe.isDesk(p.data, at(x, y), [0xc0, 0xc0, 0xc0], 6);
  // Down from a point on the book to the first desk-coloured row below it.
  let y = cy;
  while (y < p.h && !desk(cx, y)) y++;
  const top = y, bottom = Math.min(p.h, y + Math.round(30 * dpr));
  const left = Math.max(0, cx - Math.round(90 * dpr)), right = Math.min(p.w, cx + Math.round(90 * dpr));
  let dark = 0, edge = 0, first = -1, last = -1;
  for (let yy = top; yy < bottom; yy++) {
    for (let xx = left; xx < right; xx++) {
      const i = at(xx, yy), lum = (p.data[i] + p.data[i + 1] + p.data[i + 2]) / 3;
      if (lum < 64) {
        dark++;
        if (first < 0) first = yy;
        last = yy;
      } else if (lum < 150) {
        edge++;
      }
    }
  }
  return {
    dpr, dark, edge, inkHeight: first < 0 ? 0 : last - first + 1,
    css: { x: rect.left + cx / dpr, top: rect.top + top / dpr }
  };
}

function measureToolbar() {
  const el = document.querySelector('zov-viewer');
  const button = el.shadowRoot.querySelector('.toolbar button.tb');
  const pic = button.querySelector('canvas');
  return {
    button: button.getBoundingClientRect().width,
    picture: pic.getBoundingClientRect().width,
    natural: pic.width
  };
}

describe('a screen of twice the density', () => {
  const seen = {};

  for (const dpr of [1, 2]) {
    test(`shows the desk at ${dpr} device pixel${dpr > 1 ? 's' : ''} per CSS pixel`, SLOW, async () => {
      const context = dpr === 1
        ? stack.context
        : await stack.browser.newContext({ viewport: VIEWPORT, deviceScaleFactor: dpr });
      if (context !== stack.context) await context.addInitScript(probeSource);
      const page = await openDemoDesk({ ...stack, context });
      try {
        await page.waitForFunction(() => {
          const b = document.querySelector('zov-viewer')._screenText.books[0];
          return b && b.click;
        }, null, { timeout: 30_000, polling: 100 });
        const caption = await page.evaluate(measureCaption);
        const toolbar = await page.evaluate(measureToolbar);
        assert.equal(caption.dpr, dpr);
        seen[dpr] = { caption, toolbar };

        const dir = join(REPO, 'doc', 'screenshots');
        await mkdir(dir, { recursive: true });
        await page.screenshot({
          path: join(dir, `high-density-${dpr}x.png`),
          clip: { x: Math.max(0, caption.css.x - 110), y: Math.max(0, caption.css.top - 190), width: 220, height: 220 }
        });
      } finally {
        await page.close();
        if (context !== stack.context) await context.close();
      }
    });
  }

  test('lays the desk out at the same CSS size, with sharper text and pictures', () => {
    const one = seen[1], two = seen[2];
    assert.ok(one && two, 'both screens were measured');
    const c1 = one.caption, c2 = two.caption;
    // The same place on the page.
    assert.ok(Math.abs(c2.css.top - c1.css.top) <= 2, `caption top ${c1.css.top} and ${c2.css.top}`);
    assert.ok(Math.abs(c2.css.x - c1.css.x) <= 3, `book at ${c1.css.x} and ${c2.css.x}`);
    // The text in twice the rows, and four times the solid ink: drawn at
    // the screen's size, not the size of a screen of half the density.
    assert.ok(c1.inkHeight > 4, `ink ${c1.inkHeight} rows at 1`);
    const tall = c2.inkHeight / c1.inkHeight;
    assert.ok(tall >= 1.7 && tall <= 2.3, `ink ${c1.inkHeight} rows at 1, ${c2.inkHeight} at 2`);
    const solid = c2.dark / c1.dark;
    assert.ok(solid >= 3 && solid <= 6, `solid ink ${c1.dark} at 1, ${c2.dark} at 2`);
    // As sharp: a picture blown up has twice the edge of one drawn finer.
    assert.ok(c2.edge / c2.dark <= (c1.edge / c1.dark) * 1.1,
      `edge per solid ink ${(c1.edge / c1.dark).toFixed(2)} at 1, ${(c2.edge / c2.dark).toFixed(2)} at 2`);

    // Toolbar buttons as wide on the page, their pictures of twice the pixels.
    assert.equal(two.toolbar.button, one.toolbar.button);
    assert.equal(two.toolbar.picture, one.toolbar.picture);
    assert.equal(two.toolbar.natural, 2 * one.toolbar.natural);
  });
});
