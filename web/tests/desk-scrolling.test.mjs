// A desk of many books in a real headless Chromium against a real container:
// once the list has loaded, the element shows a vertical bar and the wheel
// scrolls the desk, with no resize to wake it.
import { describe, test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { chromium } from 'playwright-core';
import { startAll, probeSource, waitForRest } from './harness.mjs';

const SLOW = { timeout: 180_000 };
// Enough copies of the demo documents for rows well past the window's bottom.
const BOOKS = 60;

let stack;

before(async () => {
  stack = await startAll({ chromium, viewport: { width: 1280, height: 800 } });
  await stack.context.addInitScript(probeSource);
}, { timeout: 600_000 });

after(async () => {
  if (stack) await stack.cleanup();
});

describe('a desk taller than the element', () => {
  let page;

  before(async () => {
    page = await stack.context.newPage();
    page.on('pageerror', (err) => console.error('page error:', err));
    await page.goto(stack.host.base + 'demo/?files=0');
    await page.evaluate(async (count) => {
      await window.demo.started;
      // The page settles first: a resize after the list would lay the desk
      // out again by itself and hide whether loading did.
      const canvas = window.demo.viewer.shadowRoot.querySelector('canvas');
      const size = () => canvas.width + 'x' + canvas.height;
      for (let last = size(), quiet = 0; quiet < 10; quiet++) {
        await new Promise((r) => setTimeout(r, 150));
        if (size() !== last) { last = size(); quiet = 0; }
      }
      const corpus = await (await fetch('/demo/corpus.json')).json();
      const files = [];
      for (let i = 0; files.length < count; i++) files.push(corpus.files[i % corpus.files.length]);
      await window.demo.viewer.SetFiles(files.map((f) => '<' + f + '>').join(''));
    }, BOOKS);
  });
  after(async () => { await page?.close(); });

  test('shows a vertical bar once the books are on it, and no horizontal one', SLOW, async () => {
    const vbar = page.locator('#viewer .bar.v');
    await page.locator('#viewer .bar.v.shown').waitFor({ state: 'visible', timeout: 120_000 });
    assert.equal(await vbar.evaluate((n) => n.classList.contains('off')), false, 'the bar is enabled');
    await page.locator('#viewer .bar.v .thumb').waitFor({ state: 'visible', timeout: 30_000 });
    const bars = await page.evaluate(() => {
      const root = window.demo.viewer.shadowRoot;
      const v = root.querySelector('.bar.v'), track = v.querySelector('.track'), thumb = v.querySelector('.thumb');
      return { h: root.querySelector('.bar.h').classList.contains('shown'),
        track: track.clientHeight, thumb: thumb.getBoundingClientRect().height };
    });
    assert.equal(bars.h, false, 'nothing to scroll sideways');
    // The thumb is the window's share of the desk: well under the whole track.
    assert.ok(bars.thumb > 0 && bars.thumb < bars.track * 0.6, `thumb ${bars.thumb} of ${bars.track}`);
  });

  test('a wheel notch scrolls the desk and moves the thumb', SLOW, async () => {
    await waitForRest(page, { quiet: 1000, timeout: 60_000 });
    const thumb = page.locator('#viewer .bar.v .thumb');
    const before = await thumb.boundingBox();
    await page.evaluate(() => window.zovProbe.snapshot('top'));
    const box = await page.locator('#viewer').boundingBox();
    await page.mouse.move(box.x + box.width / 2, box.y + box.height / 2);
    await page.mouse.wheel(0, 120);
    await page.waitForFunction(() => window.zovProbe.changedSince('top') > 0.02, null,
      { timeout: 30_000, polling: 100 });
    await waitForRest(page);
    const after = await thumb.boundingBox();
    assert.ok(after.y > before.y, `thumb ${before.y} -> ${after.y}`);
    const changed = await page.evaluate(() => window.zovProbe.changedSince('top'));
    assert.ok(changed > 0.02, `the desk moved: ${changed}`);
  });
});
