// The folder tree, through a real zov-host, a real nginx with WebDAV and a
// real headless Chromium: roots with display names, a web folder and a
// share listed as they are opened, the tree sliding open under the pointer
// and closed over the desk, and a chosen folder's files on the desk.
import { describe, test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { mkdir, mkdtemp, rm, writeFile } from 'node:fs/promises';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { fileURLToPath } from 'node:url';
import { chromium } from 'playwright-core';
import { startAll, waitFor } from './harness.mjs';
import { startNginx } from './nginx.mjs';

const SLOW = { timeout: 180_000 };
const REPO = fileURLToPath(new URL('../..', import.meta.url));

let stack, nginx, shares;

before(async () => {
  shares = await mkdtemp(join(tmpdir(), 'zov-shares-'));
  // The container reads shares below this root; the element's page never sees it.
  process.env.ZOV_SHARE_ROOT = shares;
  nginx = await startNginx();
  for (const dir of ['dav/docs/sub', 'dav/plans', 'dav/empty']) await mkdir(join(nginx.root, dir), { recursive: true });
  await writeFile(join(nginx.root, 'dav/docs/report.pdf'), '%PDF-1.4\n');
  await writeFile(join(nginx.root, 'dav/docs/notes.txt'), 'notes');
  await writeFile(join(nginx.root, 'dav/plans/site.pdf'), '%PDF-1.4\n');
  for (const dir of ['srv/pub/letters/old', 'srv/pub/flat']) await mkdir(join(shares, dir), { recursive: true });
  await writeFile(join(shares, 'srv/pub/letters/march.pdf'), '%PDF-1.4\n');
  await writeFile(join(shares, 'srv/pub/flat/only-a-file.pdf'), '%PDF-1.4\n');
  stack = await startAll({ chromium, viewport: { width: 1024, height: 640 } });
}, { timeout: 600_000 });

after(async () => {
  delete process.env.ZOV_SHARE_ROOT;
  if (stack) await stack.cleanup();
  if (nginx) await nginx.stop();
  if (shares) await rm(shares, { recursive: true, force: true });
});

async function viewerPage() {
  const page = await stack.context.newPage();
  page.on('pageerror', (err) => console.error('page error:', err));
  await page.goto(stack.host.base + 'demo/?files=0');
  await page.evaluate(() => window.demo.started);
  return page;
}

const tree = (page) => page.locator('#viewer [role="tree"]');
const exactly = (text) => new RegExp('^' + text.replace(/[.*+?^${}()|[\]\\]/g, '\\$&') + '$');
const item = (page, name) => tree(page).locator('[role="treeitem"]', {
  has: page.locator(':scope > .row > .lb', { hasText: exactly(name) })
});
const width = (page) => tree(page).evaluate((n) => n.getBoundingClientRect().width);

// The desk's books, by selecting them all.
async function desk(page) {
  return page.evaluate(async () => {
    const v = window.demo.viewer;
    await v.SetAllSelectedFlag(true);
    const list = await v.GetSelectedFiles();
    return (list.match(/<[^>]*>/g) || []).map((s) => s.slice(1, -1)).sort();
  });
}

async function deskBecomes(page, expected) {
  let last;
  try {
    await waitFor(async () => {
      last = await desk(page);
      return JSON.stringify(last) === JSON.stringify(expected);
    }, { timeout: 30_000, interval: 200, what: `the desk to show ${expected.join(', ')}` });
  } catch (err) {
    throw new Error(`${err.message}; it shows ${JSON.stringify(last)}`);
  }
}

describe('folder tree', () => {
  test('roots with display names: a web folder and a share, listed as they open, a chosen folder on the desk', SLOW, async () => {
    const page = await viewerPage();
    const web = nginx.url('/dav');  // without its slash: the tree adds it
    await page.evaluate(([roots]) => window.demo.viewer.SetDirTreeVisible(true, roots, 'Server<>'), [web + '<>\\\\srv\\pub']);
    assert.equal(await page.evaluate(() => window.demo.viewer.GetDirTreeVisible()), true);
    await tree(page).waitFor();
    const roots = await tree(page).locator(':scope > ul > [role="treeitem"]:not([data-empty]) > .row > .lb').allTextContents();
    assert.deepEqual(roots, ['Server', '\\\\srv\\pub']);
    assert.equal(await width(page), 40, 'the tree lies closed');

    // Under the pointer it slides open; back over the desk it closes.
    const box = await tree(page).boundingBox();
    await page.mouse.move(box.x + 20, box.y + 100);
    await waitFor(async () => (await width(page)) === 300, { what: 'the tree to open' });
    // Opened with the keyboard as a tree view is: the web root lists its folders.
    await tree(page).focus();
    await page.keyboard.press('Home');
    await page.keyboard.press('ArrowRight');
    await item(page, 'docs').waitFor();
    const listed = await item(page, 'Server').locator(':scope > ul > [role="treeitem"]:not([data-empty]) > .row > .lb').allTextContents();
    assert.deepEqual(listed, ['docs', 'empty', 'plans']);
    assert.equal(await item(page, 'Server').getAttribute('aria-expanded'), 'true');
    // A folder with subfolders has an open button; one with none has not.
    assert.equal(await item(page, 'docs').getAttribute('aria-expanded'), 'false');
    assert.equal(await item(page, 'empty').getAttribute('aria-expanded'), null);
    assert.equal(await item(page, 'plans').getAttribute('aria-expanded'), null);

    // Enter on a folder chooses it: its files come to the desk, by their
    // addresses (a web subfolder is a book of its files).
    await page.keyboard.press('ArrowDown');
    await page.keyboard.press('Enter');
    await deskBecomes(page, ['/dav/docs/notes.txt', '/dav/docs/report.pdf', '/dav/docs/sub/'].map(nginx.url));
    assert.equal(await item(page, 'docs').getAttribute('aria-selected'), 'true');

    // The share: a folder holding only files shows no open button.
    const canvas = await page.locator('#viewer canvas').first().boundingBox();
    await page.mouse.move(canvas.x + 600, canvas.y + 300);
    await waitFor(async () => (await width(page)) === 40, { what: 'the tree to close over the desk' });
    await page.mouse.move(box.x + 20, box.y + 120);
    await waitFor(async () => (await width(page)) === 300, { what: 'the tree to open again' });
    await item(page, '\\\\srv\\pub').locator(':scope > .row > .tg').click();
    await item(page, 'letters').waitFor();
    assert.equal(await item(page, 'flat').getAttribute('aria-expanded'), null);
    assert.equal(await item(page, 'letters').getAttribute('aria-expanded'), 'false');
    await item(page, 'letters').locator(':scope > .row > .lb').click();
    // A share lists its subfolders too, as books of their own.
    await deskBecomes(page, ['\\\\srv\\pub\\letters\\march.pdf', '\\\\srv\\pub\\letters\\old']);

    // Closing forgets the children; opening again reads the folder afresh.
    await mkdir(join(shares, 'srv/pub/later'));
    await item(page, '\\\\srv\\pub').locator(':scope > .row > .tg').click();
    await waitFor(async () => (await item(page, 'letters').count()) === 0, { what: 'the children to go' });
    await item(page, '\\\\srv\\pub').locator(':scope > .row > .tg').click();
    await item(page, 'later').waitFor();

    await page.screenshot({ path: join(REPO, 'doc', 'screenshots', 'folder-tree.png') });

    await page.evaluate(() => window.demo.viewer.SetDirTreeVisible(false, '', ''));
    await waitFor(async () => (await tree(page).count()) === 0, { what: 'the tree to go' });
    assert.equal(await page.evaluate(() => window.demo.viewer.GetDirTreeVisible()), false);
    await page.close();
  });

  test('without roots the tree shows the machine\'s volumes', SLOW, async () => {
    const page = await viewerPage();
    await page.evaluate(() => window.demo.viewer.SetDirTreeVisible(true, '', ''));
    await tree(page).waitFor();
    await item(page, '/').waitFor();
    // "/" has folders, so it opens.
    assert.equal(await item(page, '/').getAttribute('aria-expanded'), 'false');
    await item(page, '/').locator(':scope > .row > .tg').click();
    try {
      await item(page, 'usr').waitFor({ timeout: 10_000 });
    } finally {
      await page.screenshot({ path: '/tmp/volumes.png' });
    }
    await page.close();
  });
});
