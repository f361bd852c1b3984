// Documents in further browser windows, through a real zov-host and a real
// headless Chromium: "open in a new window" from the context menu, and work
// windows that count each other and take files another page adds.
import { describe, test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { readdir, readFile } from 'node:fs/promises';
import { join } from 'node:path';
import { fileURLToPath } from 'node:url';
import { chromium } from 'playwright-core';
import { startAll, probeSource, waitForRest, solidPdfWithPreviews, waitFor } from './harness.mjs';

const SLOW = { timeout: 180_000 };
const REPO = fileURLToPath(new URL('../..', import.meta.url));
const DESK = [0xc0, 0xc0, 0xc0];
const GREEN = [0.1, 0.6, 0.2];
const CURRENT_CAPTION = [205, 237, 236];
const rgb = (c) => c.map((v) => Math.round(v * 255));

let stack, pdf, other;

before(async () => {
  stack = await startAll({ chromium, viewport: { width: 1024, height: 700 } });
  await stack.context.addInitScript(probeSource);
  pdf = await solidPdfWithPreviews(stack.prepared, 'harbour.pdf', [GREEN, [0.8, 0.2, 0.2], [0.2, 0.2, 0.8]]);
  other = await solidPdfWithPreviews(stack.prepared, 'market.pdf', [[0.8, 0.2, 0.2]]);
}, { timeout: 600_000 });

after(async () => {
  if (stack) await stack.cleanup();
});

// The share of the canvas in `colour`.
const share = (page, colour) => page.evaluate(([c]) => {
  const p = window.zovProbe.pixels();
  if (!p) return 0;
  let n = 0;
  for (let i = 0; i < p.data.length; i += 4)
    if (Math.abs(p.data[i] - c[0]) <= 12 && Math.abs(p.data[i + 1] - c[1]) <= 12 && Math.abs(p.data[i + 2] - c[2]) <= 12) n++;
  return n / (p.w * p.h);
}, [colour]);

async function demoWith(files) {
  const page = await stack.context.newPage();
  page.on('pageerror', (err) => console.error('page error:', err));
  await page.goto(stack.host.base + 'demo/?files=0');
  await page.evaluate(() => window.demo.started);
  await page.evaluate((list) => window.demo.viewer.SetFiles(list.map((f) => '<' + f + '>').join('')), files);
  await page.waitForFunction(([d]) => {
    const c = window.zovProbe.coverage(d, 6, 0.3);
    return c && c.all > 0.005;
  }, [DESK], { timeout: 120_000, polling: 200 });
  await waitForRest(page, { quiet: 800, timeout: 60_000 });
  return page;
}

describe('work windows', () => {
  test('"open in a new window" shows the document zoomed in a window of its own', SLOW, async () => {
    const page = await demoWith([pdf]);
    const onDesk = await share(page, rgb(GREEN));
    assert.ok(onDesk > 0.001, 'the book is on the desk');
    const at = await page.evaluate(([c]) => {
      const p = window.zovProbe.pixels();
      let sx = 0, sy = 0, n = 0;
      for (let y = 0; y < p.h; y += 2) for (let x = 0; x < p.w; x += 2) {
        const i = (y * p.w + x) * 4;
        if (Math.abs(p.data[i] - c[0]) <= 12 && Math.abs(p.data[i + 1] - c[1]) <= 12 && Math.abs(p.data[i + 2] - c[2]) <= 12) {
          sx += x; sy += y; n++;
        }
      }
      const r = window.zovProbe.canvas().getBoundingClientRect();
      return { x: r.left + sx / n / devicePixelRatio, y: r.top + sy / n / devicePixelRatio };
    }, [rgb(GREEN)]);
    // The book under the pointer marks its caption: it is the book the menu is for.
    await page.mouse.move(at.x, at.y);
    await waitFor(async () => (await share(page, CURRENT_CAPTION)) > 0, { timeout: 10_000, what: 'the marked caption' });
    await page.mouse.click(at.x, at.y, { button: 'right' });
    const [launched] = await Promise.all([
      stack.context.waitForEvent('page', { timeout: 30_000 }),
      page.locator('#viewer [role^="menuitem"][data-id="10004"]').click({ noWaitAfter: true }),
    ]);
    launched.on('pageerror', (err) => console.error('launch page error:', err));
    await launched.waitForLoadState();
    assert.match(new URL(launched.url()).pathname, /^\/launch\/[0-9a-f]{32}$/);
    assert.equal(await launched.title(), 'harbour.pdf | ZOV');
    // Set up from the start-up file, it shows the one book zoomed: its
    // first page fills much more of the window than the book on the desk.
    await launched.waitForFunction(([c]) => {
      const p = window.zovProbe.pixels();
      if (!p) return false;
      let n = 0;
      for (let i = 0; i < p.data.length; i += 16)
        if (Math.abs(p.data[i] - c[0]) <= 12 && Math.abs(p.data[i + 1] - c[1]) <= 12 && Math.abs(p.data[i + 2] - c[2]) <= 12) n++;
      return n * 4 / (p.w * p.h) > 0.08;
    }, [rgb(GREEN)], { timeout: 120_000, polling: 250 });
    await waitForRest(launched, { quiet: 800, timeout: 60_000 });
    assert.ok(await share(launched, rgb(GREEN)) > onDesk * 4, 'the document is zoomed up');
    // The start-up file was taken and removed.
    const files = await readdir(join(stack.prepared.dataHome, 'ZOVuvazaR'));
    assert.ok(!files.includes('TempOnLoadArgs.txt'), 'the start-up file is gone');
    await launched.screenshot({ path: join(REPO, 'doc', 'screenshots', 'launch.png') });
    await launched.close();
    await page.close();
  });

  // A work window: a page whose viewer ShowWorkWindow marked.
  async function workWindow(files) {
    const page = await stack.context.newPage();
    page.on('pageerror', (err) => console.error('page error:', err));
    await page.goto(stack.host.base + 'demo/?files=0');
    await page.evaluate(() => window.demo.started);
    await page.evaluate(() => {
      window.focusAsked = 0;
      window.demo.viewer.addEventListener('zov-focus', () => { window.focusAsked++; });
    });
    const shown = await page.evaluate((list) => window.demo.viewer.ShowWorkWindow(
      list.map((f) => '<' + f + '>').join(''), list.map(() => '<>').join('')), files);
    assert.notEqual(shown, -1, 'the viewer becomes a work window');
    await page.waitForFunction(([d]) => {
      const c = window.zovProbe.coverage(d, 6, 0.3);
      return c && c.all > 0.005;
    }, [DESK], { timeout: 120_000, polling: 200 });
    await waitForRest(page, { quiet: 800, timeout: 60_000 });
    return page;
  }
  // A closed page's control goes a moment after the page: until then it
  // still answers the count.
  async function countSettles(caller, expected) {
    let counted;
    for (let i = 0; i < 15; i++) {
      counted = await caller.evaluate(() => window.demo.viewer.GetWorkWindowCount());
      if (counted === expected) break;
    }
    return counted;
  }
  const markers = async () => (await readdir(join(stack.prepared.dataHome, 'ZOVuvazaR'))).filter((f) => /^WorkWindow_[0-9A-F]{8}\.txt$/.test(f));

  test('work windows count each other, and a closed one stops counting', SLOW, async (t) => {
    const first = await workWindow([pdf]);
    const second = await workWindow([other]);
    const caller = await demoWith([other]);
    const started = Date.now();
    assert.equal(await caller.evaluate(() => window.demo.viewer.GetWorkWindowCount()), 2);
    t.diagnostic(`GetWorkWindowCount took ${Date.now() - started} ms`);
    assert.equal((await markers()).length, 2, 'each keeps its marker');
    await second.close();
    assert.equal(await countSettles(caller, 1), 1);
    assert.equal(await caller.evaluate((f) => window.demo.viewer.ExistSameFileInWorkWindow('<' + f + '>'), pdf), true);
    assert.equal(await caller.evaluate((f) => window.demo.viewer.ExistSameFileInWorkWindow('<' + f + '>'), other), false);
    await first.close();
    await caller.close();
  });

  test('a file added from another page joins the work window beside its twin, and the window is asked forward', SLOW, async () => {
    const work = await workWindow([pdf, other]);
    const caller = await demoWith([other]);
    // The count makes sure the work window's marker is there to be found,
    // and the windows of the test before are gone.
    assert.equal(await countSettles(caller, 1), 1);
    const green = await share(work, rgb(GREEN));
    assert.equal(await caller.evaluate((f) => window.demo.viewer.AddFilesToWorkWindow('<' + f + '>', '<twin>'), pdf), 1);
    await waitFor(async () => (await share(work, rgb(GREEN))) > green * 1.6, { timeout: 60_000, what: 'a second green book' });
    await work.waitForFunction(() => window.focusAsked > 0, null, { timeout: 10_000 });
    await waitForRest(work, { quiet: 800, timeout: 60_000 });
    await work.screenshot({ path: join(REPO, 'doc', 'screenshots', 'work-window.png') });
    // The marker the window writes again lists its desk in order: the twin stands second.
    assert.equal(await caller.evaluate(() => window.demo.viewer.GetWorkWindowCount()), 1);
    const [marker] = await markers();
    const lines = (await readFile(join(stack.prepared.dataHome, 'ZOVuvazaR', marker), 'latin1')).split('\r\n').filter(Boolean);
    assert.deepEqual(lines, [pdf, pdf, other]);
    await work.close();
    await caller.close();
  });
});
