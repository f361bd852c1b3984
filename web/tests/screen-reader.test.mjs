// What a screen reader finds in the element: the desk's documents, and the
// open pages' texts of the zoomed book, in the accessibility tree of a real
// headless Chromium against a real zov-host.
import { describe, test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { chromium } from 'playwright-core';
import { startAll, probeSource, openDemoDesk } from './harness.mjs';

const SLOW = { timeout: 180_000 };

let stack;

before(async () => {
  stack = await startAll({ chromium, viewport: { width: 1280, height: 800 } });
  await stack.context.addInitScript(probeSource);
}, { timeout: 600_000 });

after(async () => {
  if (stack) await stack.cleanup();
});

describe('a screen reader', () => {
  let page, files;

  before(async () => {
    page = await openDemoDesk(stack);
    files = (await page.evaluate(async () => (await (await fetch('/demo/corpus.json')).json()).files))
      .map((f) => f.split(/[\\/]/).pop());
  });
  after(async () => { await page?.close(); });

  const tree = () => page.locator('zov-viewer').ariaSnapshot();

  test('finds the desk as a list of its documents, opens one and reads it page by page', SLOW, async () => {
    const desk = page.getByRole('list', { name: 'Documents on the desk' });
    await desk.getByRole('listitem').nth(files.length - 1).waitFor({ state: 'attached', timeout: 30_000 });
    const snapshot = await tree();
    for (const name of files) assert.ok(snapshot.includes(name), `the desk names ${name}:\n${snapshot}`);
    assert.match(snapshot, /\d+ pages?/);

    // A PDF of the demo has text on its pages.
    const pdf = files.findIndex((f) => f.endsWith('.pdf'));
    assert.ok(pdf >= 0);
    await desk.getByRole('button').nth(pdf).dispatchEvent('click');
    const open = page.getByRole('region', { name: 'Open book: ' + files[pdf] });
    await open.waitFor({ state: 'attached', timeout: 60_000 });
    await page.waitForFunction(() => {
      const p = document.querySelector('zov-viewer').shadowRoot.querySelector('.screen-text article .page');
      return p && p.textContent && p.textContent !== 'This page has no text.';
    }, null, { timeout: 30_000, polling: 100 });
    const first = await tree();
    assert.match(first, /article "Page 1"/, first);
    assert.match(first, /button "[^"]*, open"/, first);

    // A turn is announced politely: the live region now holds the next pages.
    const live = await page.evaluate(() =>
      document.querySelector('zov-viewer').shadowRoot.querySelector('.screen-text [aria-live]').getAttribute('aria-live'));
    assert.equal(live, 'polite');
    await page.evaluate(() => document.querySelector('zov-viewer').FlipLeft());
    await page.waitForFunction(() => {
      const pages = [...document.querySelector('zov-viewer').shadowRoot.querySelectorAll('.screen-text article')];
      return pages.map((a) => a.getAttribute('aria-label')).join() === 'Page 2,Page 3';
    }, null, { timeout: 30_000, polling: 100 });
    const turned = await tree();
    assert.match(turned, /article "Page 2"[\s\S]*article "Page 3"/, turned);
  });
});
