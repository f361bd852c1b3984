// A reader without a mouse: the keys that open, turn, scale and close a book,
// against a real zov-host in headless Chromium.
import { describe, test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { chromium } from 'playwright-core';
import { startAll, probeSource, waitForRest, openDemoDesk } from './harness.mjs';

const DESK = [0xc0, 0xc0, 0xc0];
const TOL = 6;
const SLOW = { timeout: 180_000 };

let stack;

before(async () => {
  stack = await startAll({ chromium, viewport: { width: 1280, height: 800 } });
  await stack.context.addInitScript(probeSource);
}, { timeout: 600_000 });

after(async () => {
  if (stack) await stack.cleanup();
});

const coverage = (page) => page.evaluate(([d, t]) => window.zovProbe.coverage(d, t, 0.3), [DESK, TOL]);

// Waits for the turn or zoom a key started, then for the picture to rest.
async function pressAndSettle(page, key, changed = 0.02) {
  await page.evaluate(() => window.zovProbe.snapshot('beforeKey'));
  const framesBefore = await page.evaluate(() => window.zovProbe.lastChange().frames);
  await page.keyboard.press(key);
  await page.waitForFunction((c) => window.zovProbe.changedSince('beforeKey') > c, changed,
    { timeout: 60_000, polling: 50 });
  await waitForRest(page);
  return (await page.evaluate(() => window.zovProbe.lastChange().frames)) - framesBefore;
}

describe('the keyboard', () => {
  let page;

  before(async () => {
    page = await openDemoDesk(stack);
  });
  after(async () => { await page?.close(); });

  test('Tab reaches the viewer with a visible ring, and then the toolbar', SLOW, async () => {
    const canvas = page.locator('zov-viewer canvas[part="canvas"]');
    // From the top of the page, Tab by Tab, as a reader would.
    let reached = false;
    for (let i = 0; i < 20 && !reached; i++) {
      await page.keyboard.press('Tab');
      reached = await canvas.evaluate((c) => c.getRootNode().activeElement === c);
    }
    assert.ok(reached, 'the canvas takes the focus from the keyboard');
    const ring = await canvas.evaluate((c) => getComputedStyle(c).outlineStyle);
    assert.equal(ring, 'solid', 'the focused canvas shows its ring');
    await page.keyboard.press('Tab');
    const next = await canvas.evaluate((c) => {
      const active = c.getRootNode().activeElement;
      return active && active.closest('[role="toolbar"]') ? active.getAttribute('aria-label') : null;
    });
    assert.ok(next, 'the toolbar comes next');
    await page.keyboard.press('Shift+Tab');
    assert.ok(await canvas.evaluate((c) => c.getRootNode().activeElement === c), 'and Shift+Tab goes back');
  });

  test('Enter opens a book, arrows and Home turn its pages, Escape lays it down', SLOW, async () => {
    const desk = await coverage(page);
    await pressAndSettle(page, 'Enter', 0.15);
    const zoomed = await coverage(page);
    assert.ok(zoomed.all > 2 * desk.all, `Enter zoomed a book in: ${desk.all} -> ${zoomed.all}`);

    const turned = await pressAndSettle(page, 'ArrowRight');
    assert.ok(turned >= 3, `ArrowRight turned a page, animated (${turned} frames)`);
    await page.evaluate(() => window.zovProbe.snapshot('second'));
    await pressAndSettle(page, 'PageDown');
    await pressAndSettle(page, 'Home');
    // Back at the first opening, the picture is the one before the first turn.
    assert.ok(await page.evaluate(() => window.zovProbe.changedSince('second')) > 0.02);

    // A key the viewer does not answer is left to the page.
    const kept = await page.evaluate(() => {
      const c = document.querySelector('zov-viewer').shadowRoot.querySelector('canvas');
      const e = new KeyboardEvent('keydown', { key: 'a', bubbles: true, cancelable: true });
      c.dispatchEvent(e);
      const ctrl = new KeyboardEvent('keydown', { key: 'ArrowRight', ctrlKey: true, bubbles: true, cancelable: true });
      c.dispatchEvent(ctrl);
      return !e.defaultPrevented && !ctrl.defaultPrevented;
    });
    assert.ok(kept, 'letters and Ctrl+arrows keep their default');

    await pressAndSettle(page, 'Escape', 0.15);
    const back = await coverage(page);
    assert.ok(back.all < zoomed.all / 2, `Escape laid the book down: ${zoomed.all} -> ${back.all}`);
  });

  test('on the desk, left and right walk its books and Enter opens the one reached', SLOW, async () => {
    const openIndex = () => page.evaluate(() => {
      const buttons = [...document.querySelector('zov-viewer').shadowRoot.querySelectorAll('.screen-text [role=list] button')];
      return buttons.findIndex((b) => b.getAttribute('aria-current') === 'true');
    });
    await page.waitForFunction(() =>
      document.querySelector('zov-viewer').shadowRoot.querySelectorAll('.screen-text [role=list] button').length > 2);
    assert.equal(await openIndex(), -1);
    for (const key of ['ArrowRight', 'ArrowRight', 'ArrowRight', 'ArrowLeft']) await page.keyboard.press(key);
    await page.waitForTimeout(300);
    await pressAndSettle(page, 'Enter', 0.15);
    await page.waitForFunction(() => [...document.querySelector('zov-viewer').shadowRoot
      .querySelectorAll('.screen-text [role=list] button')].some((b) => b.getAttribute('aria-current') === 'true'));
    // The first press points at the first book; two on and one back reach the second.
    assert.equal(await openIndex(), 1);
    await pressAndSettle(page, 'Escape', 0.15);
  });
});

describe('less motion', () => {
  let page;

  before(async () => {
    page = await openDemoDesk(stack);
    await page.locator('zov-viewer canvas[part="canvas"]').focus();
    await pressAndSettle(page, 'Enter', 0.15);
  });
  after(async () => { await page?.close(); });

  // The frames that changed the picture from FlipLeft until it rests.
  const turnFrames = async () => {
    const before = await page.evaluate(() => window.zovProbe.lastChange().frames);
    await page.evaluate(() => window.zovProbe.snapshot('beforeTurn'));
    await page.evaluate(() => document.querySelector('zov-viewer').FlipLeft());
    await page.waitForFunction(() => window.zovProbe.changedSince('beforeTurn') > 0.02, null,
      { timeout: 30_000, polling: 50 });
    await waitForRest(page, { quiet: 1000 });
    return (await page.evaluate(() => window.zovProbe.lastChange().frames)) - before;
  };

  // Media query changes are reported in the rendering step, before animation frames.
  const emulate = async (reducedMotion) => {
    await page.emulateMedia({ reducedMotion });
    await page.evaluate(() => new Promise((resolve) => requestAnimationFrame(() => resolve())));
  };

  test('a reader who asks for less motion sees a turn end in one frame, and animation again without', SLOW, async () => {
    await emulate('reduce');
    // The setting travels with the page's other messages: the turn after it is still.
    assert.equal(await turnFrames(), 1, 'frames of a turn with reduced motion');
    await emulate('no-preference');
    const animated = await turnFrames();
    assert.ok(animated >= 3, `frames of a turn without (${animated})`);
  });
});

describe('fingers', () => {
  let page, cdp;

  before(async () => {
    page = await openDemoDesk(stack);
    cdp = await stack.context.newCDPSession(page);
  });
  after(async () => { await page?.close(); });

  // Real touch input, as the browser makes it from a touch screen.
  const touch = (type, points) => cdp.send('Input.dispatchTouchEvent', { type, touchPoints: points });
  async function stroke(tracks, { steps = 6, ms = 20 } = {}) {
    const at = (i) => tracks.map(([from, to]) => ({
      x: from.x + (to.x - from.x) * i / steps, y: from.y + (to.y - from.y) * i / steps }));
    await touch('touchStart', at(0));
    for (let i = 1; i <= steps; i++) {
      await new Promise((resolve) => setTimeout(resolve, ms));
      await touch('touchMove', at(i));
    }
    await touch('touchEnd', []);
  }

  test('a tap opens a book, a swipe turns its page, spreading two fingers scales it', SLOW, async () => {
    const target = await page.evaluate(([d, t]) => window.zovProbe.largestObject(d, t), [DESK, TOL]);
    const desk = await coverage(page);
    await page.evaluate(() => window.zovProbe.snapshot('desk'));
    await touch('touchStart', [target]);
    await touch('touchEnd', []);
    await page.waitForFunction(() => window.zovProbe.changedSince('desk') > 0.15, null, { timeout: 60_000, polling: 50 });
    await waitForRest(page);
    const zoomed = await coverage(page);
    assert.ok(zoomed.all > 2 * desk.all, `the tap zoomed the book in: ${desk.all} -> ${zoomed.all}`);

    const box = await page.locator('zov-viewer canvas[part="canvas"]').boundingBox();
    const mid = { x: box.x + box.width / 2, y: box.y + box.height / 2 };
    // What the element tells the container, to tell a turn from a pan.
    await page.evaluate(() => {
      const v = document.querySelector('zov-viewer'), post = v._post.bind(v);
      window.sent = [];
      v._post = (m) => { if (m.t === 'mouse' || m.t === 'key') window.sent.push(m.t + ':' + (m.code || m.e)); post(m); };
    });
    await page.evaluate(() => window.zovProbe.snapshot('open'));
    const framesBefore = await page.evaluate(() => window.zovProbe.lastChange().frames);
    // Quick, as a flick is: a stroke slower than 0.6 s would be a drag.
    await stroke([[{ x: mid.x + 150, y: mid.y }, { x: mid.x - 150, y: mid.y + 10 }]], { steps: 3, ms: 0 });
    await page.waitForFunction(() => window.zovProbe.changedSince('open') > 0.02, null, { timeout: 30_000, polling: 50 });
    await waitForRest(page);
    const frames = (await page.evaluate(() => window.zovProbe.lastChange().frames)) - framesBefore;
    assert.ok(frames >= 3, `the swipe turned a page, animated (${frames} frames)`);
    // A turn, not a drag: the right-hand page's key went, and no button.
    assert.deepEqual(await page.evaluate(() => window.sent), ['key:39']);
    const turned = await coverage(page);

    await page.evaluate(() => window.zovProbe.snapshot('turned'));
    await stroke([[{ x: mid.x - 30, y: mid.y }, { x: mid.x - 200, y: mid.y }],
      [{ x: mid.x + 30, y: mid.y }, { x: mid.x + 200, y: mid.y }]]);
    await page.waitForFunction(() => window.zovProbe.changedSince('turned') > 0.05, null, { timeout: 30_000, polling: 50 });
    await waitForRest(page);
    const scaled = await coverage(page);
    assert.ok(scaled.all > turned.all, `the spread scaled the book up: ${turned.all} -> ${scaled.all}`);
  });
});
