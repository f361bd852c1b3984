// Sticky notes and keyword search as a reader meets them, through a real
// zov-host and a real headless Chromium: a note added from the context menu,
// written in its dialog, dragged onto the next page, is where it was left
// after the page is loaded again; the search dialog of the large toolbar
// finds a keyword and turns the zoomed book to its page.
import { describe, test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { mkdir, writeFile } from 'node:fs/promises';
import { join } from 'node:path';
import { chromium } from 'playwright-core';
import { startAll, probeSource, waitForRest, paths, textPdf } from './harness.mjs';
import { uiProbeSource } from './ui-probe.mjs';
import { startNginx } from './nginx.mjs';
import { fileURLToPath } from 'node:url';
import { execFile } from 'node:child_process';
import { promisify } from 'node:util';

const SLOW = { timeout: 240_000 };
const DESK = [0xc0, 0xc0, 0xc0];
const YELLOW = [255, 255, 0];

// Pages of one solid colour each, with a line of text on them.
const PAGES = [
  { colour: [0.2, 0.8, 0.4], text: 'harbour opening hours' },
  { colour: [0.9, 0.1, 0.1], text: 'ferry timetable' },
  { colour: [0.1, 0.1, 0.9], text: 'lighthouse museum' },
  { colour: [0.6, 0.2, 0.8], text: 'market square' },
  { colour: [0.1, 0.9, 0.9], text: 'Zebra crossing near the PIER' },
  { colour: [0.9, 0.5, 0.1], text: 'closing words' },
];
const rgb = (c) => c.map((v) => Math.round(v * 255));

const REPO = fileURLToPath(new URL('../..', import.meta.url));
const convert = (root, file, env) =>
  promisify(execFile)(join(paths().tools, 'zov-convert'), ['--root', root, '--mode', 'Folder', file], { env });

let stack, nginx;
let guide;

before(async () => {
  stack = await startAll({ chromium, viewport: { width: 1280, height: 800 } });
  await stack.context.addInitScript(probeSource);
  await stack.context.addInitScript(uiProbeSource);
  const folder = join(stack.prepared.dir, 'extra');
  await mkdir(folder, { recursive: true });
  guide = join(folder, 'guide.pdf');
  await writeFile(guide, textPdf(PAGES));
  await convert(join(stack.prepared.dir, 'previews'), guide, stack.prepared.env);
  // The same previews on a web server: search text files come with them.
  nginx = await startNginx();
  await convert(join(nginx.root, 'previews'), guide, stack.prepared.env);
}, { timeout: 600_000 });

after(async () => {
  if (nginx) await nginx.stop();
  if (stack) await stack.cleanup();
});

// The demo with the guide on its desk; `web` takes its previews from nginx
// through eValueSetFiles, which gives the toolbar with the search button.
async function openDemo({ web = false } = {}) {
  const page = await stack.context.newPage();
  page.on('pageerror', (err) => console.error('page error:', err));
  await page.goto(stack.host.base + 'demo/?files=0&lang=en');
  await page.evaluate(() => window.demo.started);
  if (web) {
    await page.evaluate(([root, f]) => window.demo.viewer.SetPreviewFolder(root).then(
      () => window.demo.viewer.eValueSetFiles('<' + f + '>', '', '', '', '')), [nginx.url('/previews'), guide]);
  } else {
    await page.evaluate((f) => window.demo.viewer.SetFiles('<' + f + '>'), guide);
  }
  await page.waitForFunction(([d]) => {
    const c = window.zovProbe.coverage(d, 6, 0.3);
    return c && c.all > 0.005;
  }, [DESK], { timeout: 120_000, polling: 200 });
  await waitForRest(page, { quiet: 1000, timeout: 60_000 });
  return page;
}

// The middle, in page CSS pixels, of the pixels of `colour` on the canvas, and how many.
function findColour(page, colour, tol = 12) {
  return page.evaluate(([c, t]) => {
    const p = window.zovProbe.pixels();
    let sx = 0, sy = 0, n = 0, minX = 1e9, maxX = -1;
    for (let y = 0; y < p.h; y += 2) {
      for (let x = 0; x < p.w; x += 2) {
        const i = (y * p.w + x) * 4;
        if (Math.abs(p.data[i] - c[0]) <= t && Math.abs(p.data[i + 1] - c[1]) <= t && Math.abs(p.data[i + 2] - c[2]) <= t) {
          sx += x; sy += y; n++; minX = Math.min(minX, x); maxX = Math.max(maxX, x);
        }
      }
    }
    if (!n) return null;
    const r = window.zovProbe.canvas().getBoundingClientRect();
    const d = devicePixelRatio;
    return { x: r.left + sx / n / d, y: r.top + sy / n / d, n, left: r.left + minX / d, right: r.left + maxX / d };
  }, [colour, tol]);
}

const share = (page, colour, tol = 12) => page.evaluate(([c, t]) => window.zovColour.share(c, t), [colour, tol]);

async function zoomGuide(page) {
  const at = await findColour(page, rgb(PAGES[0].colour));
  assert.ok(at, 'the guide is on the desk');
  await page.mouse.click(at.x, at.y);
  await page.waitForFunction(([c]) => window.zovColour.share(c, 12) > 0.05, [rgb(PAGES[0].colour)], { timeout: 60_000, polling: 200 });
  await waitForRest(page, { quiet: 1000 });
}

async function flipOnce(page) {
  await page.evaluate(() => window.demo.viewer.FlipLeft());
  await page.waitForFunction(([c]) => window.zovColour.share(c, 12) > 0.03, [rgb(PAGES[2].colour)], { timeout: 60_000, polling: 200 });
  await waitForRest(page, { quiet: 1000 });
}

describe('sticky notes', () => {
  test('a note added from the menu, written and dragged onto the next page, is still there after a reload', SLOW, async () => {
    let page = await openDemo();
    await zoomGuide(page);
    await flipOnce(page);
    // Pages 2 (left) and 3 (right) face up: a note on the left page.
    const left = await findColour(page, rgb(PAGES[1].colour));
    assert.ok(left, 'the left page shows');
    await page.mouse.move(left.x - 2, left.y);
    await page.mouse.move(left.x, left.y);
    await page.mouse.click(left.x, left.y, { button: 'right' });
    await page.locator('#viewer [role^="menuitem"][data-id="10002"]').click();
    await page.waitForFunction(([c]) => window.zovColour.share(c, 8) > 0.001, [YELLOW], { timeout: 30_000, polling: 100 });
    await waitForRest(page, { quiet: 500 });
    const note = await findColour(page, YELLOW, 8);
    assert.ok(note && note.x < left.right + 5, 'the yellow note is on the left page');

    // The pointer over its left edge shows the sizing cursor, over its body the arrow.
    const cursor = () => page.evaluate(() => window.zovProbe.canvas().style.cursor);
    await page.mouse.move(note.left + 3, note.y);
    await page.waitForFunction(() => window.zovProbe.canvas().style.cursor === 'ew-resize', null, { timeout: 10_000 })
      .catch(async () => assert.fail(`cursor over the edge: ${await cursor()}`));
    await page.mouse.move(note.x, note.y);
    await page.waitForFunction(() => window.zovProbe.canvas().style.cursor === 'default', null, { timeout: 10_000 })
      .catch(async () => assert.fail(`cursor over the body: ${await cursor()}`));

    // A click on it opens its dialog; what is typed there is kept.
    await page.mouse.click(note.x, note.y);
    const dialog = page.locator('#viewer [role="dialog"]');
    await dialog.waitFor({ timeout: 30_000 });
    const box = dialog.locator('textarea');
    assert.equal(await box.evaluate((n) => n === n.getRootNode().activeElement), true, 'the text box has the focus');
    await box.fill('Ask about\nthe ferry');
    await page.screenshot({ path: join(REPO, 'doc', 'screenshots', 'note-dialog.png') });
    await dialog.locator('button', { hasText: /^OK$/ }).click();
    await dialog.waitFor({ state: 'detached', timeout: 30_000 });

    // Dragged right across the spine: onto page 3.
    const right = await findColour(page, rgb(PAGES[2].colour));
    await page.mouse.move(note.x, note.y);
    await page.mouse.down();
    const steps = 12;
    const to = { x: right.x, y: note.y };
    for (let i = 1; i <= steps; i++) await page.mouse.move(note.x + (to.x - note.x) * i / steps, note.y);
    await page.mouse.up();
    await waitForRest(page, { quiet: 800 });
    // A slow build may still be drawing the drag's last steps.
    let moved = await findColour(page, YELLOW, 8);
    for (const until = Date.now() + 30_000; !(moved && moved.x > right.left) && Date.now() < until;) {
      await page.waitForTimeout(250);
      moved = await findColour(page, YELLOW, 8);
    }
    assert.ok(moved && moved.x > right.left, `the note moved to the right page (${JSON.stringify(moved)})`);
    await page.close();

    // A new page: a new viewer that reads the notes file.
    page = await openDemo();
    await zoomGuide(page);
    // Page 1 shows only the note's tab, sticking out of the stacked pages.
    const first = await findColour(page, rgb(PAGES[0].colour));
    const tab = await findColour(page, YELLOW, 8);
    assert.ok(tab && tab.left >= first.right - 2, `only a tab beside page 1 (${JSON.stringify(tab)}, page to ${first.right})`);
    await page.screenshot({ path: join(REPO, 'doc', 'screenshots', 'note-tab.png') });
    await flipOnce(page);
    const back = await findColour(page, YELLOW, 8);
    const rightAgain = await findColour(page, rgb(PAGES[2].colour));
    assert.ok(back && back.x > rightAgain.left, 'the note is on page 3 again');
    assert.ok(Math.abs(back.x - moved.x) < 6 && Math.abs(back.y - moved.y) < 6, `where it was left: ${back.x},${back.y} vs ${moved.x},${moved.y}`);
    await page.screenshot({ path: join(REPO, 'doc', 'screenshots', 'note.png') });
    // Its text came back too.
    await page.mouse.click(back.x, back.y);
    const dialog2 = page.locator('#viewer [role="dialog"]');
    await dialog2.waitFor({ timeout: 30_000 });
    assert.equal(await dialog2.locator('textarea').inputValue(), 'Ask about\nthe ferry');
    await dialog2.locator('button', { hasText: /キャンセル|Cancel/ }).click();
    await page.close();
  });
});

describe('two pages of one reader', () => {
  test('a note added in one page shows in the other, and each keeps the other\'s notes when it saves', SLOW, async () => {
    const first = await openDemo();
    const second = await openDemo();
    for (const page of [first, second]) {
      await zoomGuide(page);
      await flipOnce(page);
    }
    const notesOn = (page) => page.evaluate(([c]) => window.zovColour.share(c, 8), [YELLOW]);
    const addNote = async (page, colour, dy) => {
      const at = await findColour(page, rgb(colour));
      await page.mouse.move(at.x - 2, at.y + dy);
      await page.mouse.move(at.x, at.y + dy);
      await page.mouse.click(at.x, at.y + dy, { button: 'right' });
      await page.locator('#viewer [role^="menuitem"][data-id="10002"]').click();
    };
    const before = await notesOn(second);
    await addNote(first, PAGES[1].colour, -150);
    await second.waitForFunction(([c, b]) => window.zovColour.share(c, 8) > b + 0.001, [YELLOW, before],
      { timeout: 30_000, polling: 200 });
    const one = await notesOn(second);
    // The second page adds its own; the first page's note survives that save.
    await addNote(second, PAGES[2].colour, 150);
    await second.waitForFunction(([c, b]) => window.zovColour.share(c, 8) > b + 0.001, [YELLOW, one],
      { timeout: 30_000, polling: 200 });
    await first.waitForFunction(([c, b]) => window.zovColour.share(c, 8) > b + 0.001, [YELLOW, one],
      { timeout: 30_000, polling: 200 });
    await waitForRest(first, { quiet: 800 });
    await waitForRest(second, { quiet: 800 });
    const a = await notesOn(first), b = await notesOn(second);
    assert.ok(Math.abs(a - b) < 0.002, `both pages show the same notes (${a} and ${b})`);
    await first.close();
    await second.close();
  });
});

describe('keyword search', () => {
  test('the search dialog finds a full-width keyword and turns the zoomed book to its page', SLOW, async () => {
    const page = await openDemo({ web: true });
    await zoomGuide(page);
    await page.locator('#viewer .toolbar button[data-id="19"]').click();
    const dialog = page.locator('#viewer [role="dialog"]');
    await dialog.waitFor({ timeout: 30_000 });
    assert.equal(await dialog.getAttribute('aria-modal'), 'false');
    // Full-width capitals find the half-width lower-case text of page 5.
    await dialog.locator('input').fill('ＰＩＥＲ zebra');
    await dialog.locator('button', { hasText: /^Next$/ }).click();
    await page.waitForFunction(([c]) => window.zovColour.share(c, 12) > 0.03, [rgb(PAGES[4].colour)], { timeout: 60_000, polling: 200 });
    await waitForRest(page, { quiet: 1000 });
    await page.screenshot({ path: join(REPO, 'doc', 'screenshots', 'search.png') });
    // The dialog is ready for the next step again.
    await page.waitForFunction(() => {
      const d = document.querySelector('#viewer').shadowRoot.querySelector('[role="dialog"]');
      const next = [...d.querySelectorAll('button')].find((b) => b.textContent === 'Next');
      return next && !next.disabled;
    }, null, { timeout: 30_000, polling: 200 });
    await dialog.locator('button', { hasText: /^Close$/ }).click();
    await dialog.waitFor({ state: 'hidden', timeout: 10_000 });
    await page.close();
  });
});
