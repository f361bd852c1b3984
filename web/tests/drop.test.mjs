// Files dropped on the element, through a real zov-host, a real headless
// Chromium and a real nginx with WebDAV: they reach the remembered folder byte
// for byte, the desk's limit holds, the upload can be cancelled between files,
// and nothing is left in the container's drop folder whatever happened.
import { describe, test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { existsSync } from 'node:fs';
import { mkdir, readdir, readFile, writeFile } from 'node:fs/promises';
import { createServer } from 'node:http';
import { join } from 'node:path';
import { chromium } from 'playwright-core';
import { startAll, probeSource, waitFor, solidPdf } from './harness.mjs';
import { startNginx } from './nginx.mjs';
import { uiProbeSource } from './ui-probe.mjs';

const SLOW = { timeout: 300_000 };
const LIMIT_MESSAGE = '追加できるファイルは10個までです。';

// The bytes of a test file: no short period, so a chunk sent twice or out of
// order shows.
function bytesOf(seed, size) {
  const out = Buffer.alloc(size);
  let x = (seed * 2654435761) >>> 0 || 1;
  for (let i = 0; i < size; i++) {
    x ^= x << 13; x >>>= 0; x ^= x >>> 17; x ^= x << 5; x >>>= 0;
    out[i] = x & 0xff;
  }
  return out;
}
// The same in the page (kept in step with bytesOf).
const pageBytesSource = String.raw`
window.zovBytes = function (seed, size) {
  const out = new Uint8Array(size);
  let x = (seed * 2654435761) >>> 0 || 1;
  for (let i = 0; i < size; i++) {
    x ^= x << 13; x >>>= 0; x ^= x >>> 17; x ^= x << 5; x >>>= 0;
    out[i] = x & 0xff;
  }
  return out;
};
// What the element and the control showed and said, for the tests to look at.
window.zovSeen = { events: [], boxes: [], dialogs: [] };
document.addEventListener('zov-drop-done', () => window.zovSeen.events.push({ t: 'done' }), true);
document.addEventListener('zov-drop-refused', (e) => window.zovSeen.events.push({ t: 'refused', ...e.detail }), true);
document.addEventListener('zov-messagebox', (e) => window.zovSeen.boxes.push(e.detail.text), true);
`;

let stack, nginx, drops;

before(async () => {
  nginx = await startNginx();
  stack = await startAll({ chromium, viewport: { width: 1280, height: 800 } });
  await stack.context.addInitScript(probeSource);
  await stack.context.addInitScript(uiProbeSource);
  await stack.context.addInitScript(pageBytesSource);
  drops = join(stack.prepared.dataHome, 'ZOVuvazaR', 'drops');
}, { timeout: 600_000 });

after(async () => {
  if (stack) await stack.cleanup();
  if (nginx) await nginx.stop();
});

async function openDemo() {
  const page = await stack.context.newPage();
  page.on('pageerror', (err) => console.error('page error:', err));
  await page.goto(stack.host.base + 'demo/?files=0');
  await page.evaluate(() => window.demo.started);
  // Every dialog the element shows is remembered with its title.
  await page.evaluate(() => {
    new MutationObserver(() => {
      const d = window.zovUi.dialog('#viewer');
      if (d && !window.zovSeen.dialogs.includes(d.title)) window.zovSeen.dialogs.push(d.title);
    }).observe(window.demo.viewer.shadowRoot, { childList: true, subtree: true });
  });
  return page;
}

// Drops files {name, seed, size} on the viewer through dropFiles; resolves with
// 'done' or the refusal's message.
function drop(page, files) {
  return page.evaluate((list) => {
    const made = list.map((f) => new File([window.zovBytes(f.seed, f.size)], f.name));
    return window.demo.viewer.dropFiles(made).then(() => 'done', (e) => e.message);
  }, files);
}

async function leftInDrops() {
  if (!existsSync(drops)) return [];
  return readdir(drops);
}

// The desk's books, by selecting them all.
async function desk(page) {
  return page.evaluate(async () => {
    const v = window.demo.viewer;
    await v.SetAllSelectedFlag(true);
    const list = await v.GetSelectedFiles();
    return (list.match(/<[^>]*>/g) || []).map((s) => s.slice(1, -1));
  });
}

async function folderWith(name, files) {
  const dir = join(nginx.root, name);
  await mkdir(dir, { recursive: true });
  for (const [file, bytes] of Object.entries(files)) await writeFile(join(dir, file), bytes);
  return nginx.url('/' + name + '/');
}

const listing = async (name) => (await readdir(join(nginx.root, name))).sort();

// First: whether a folder is remembered may be the container's, for every control it holds.
describe('what the element refuses itself', () => {
  let page;

  before(async () => { page = await openDemo(); });
  after(async () => { await page?.close(); });

  test('more files than the container takes, and a second drop while one is sent', SLOW, async () => {
    const limits = await page.evaluate(() => window.demo.viewer._conn.limits);
    const many = await page.evaluate((n) => {
      const list = [];
      for (let i = 0; i < n; i++) list.push(new File(['x'], `f${i}.txt`));
      return window.demo.viewer.dropFiles(list).then(() => 'done', (e) => e.message);
    }, limits.dropFiles + 1);
    assert.match(many, /at most/);
    const both = await page.evaluate(() => {
      const v = window.demo.viewer;
      const first = v.dropFiles([new File([window.zovBytes(5, 3_000_000)], 'first.bin')]);
      const second = v.dropFiles([new File(['y'], 'second.bin')]);
      return Promise.all([first, second].map((p) => p.then(() => 'done', (e) => e.message)));
    });
    assert.equal(both[0], 'done');
    assert.match(both[1], /another drop/);
    const events = await page.evaluate(() => window.zovSeen.events);
    assert.deepEqual(events.map((e) => [e.t, !!e.local]), [['refused', true], ['refused', true], ['done', false]]);
    assert.deepEqual(await leftInDrops(), []);
  });

  test('a drag from the desktop is highlighted and dropped like dropFiles', SLOW, async () => {
    const viewer = page.locator('#viewer');
    const box = await viewer.boundingBox();
    const dataTransfer = await page.evaluateHandle(() => {
      const dt = new DataTransfer();
      dt.items.add(new File([window.zovBytes(7, 100)], 'dragged.pdf'));
      // Text beside the file is no file: it is left out.
      dt.items.add('not a file', 'text/plain');
      return dt;
    });
    const at = { clientX: box.x + 50, clientY: box.y + 80, dataTransfer };
    await viewer.dispatchEvent('dragenter', at);
    await viewer.dispatchEvent('dragover', at);
    assert.ok(await page.evaluate(() => window.demo.viewer.shadowRoot.querySelector('.drop-zone.shown') !== null),
      'the element shows it takes the drop');
    await page.evaluate(() => { window.zovSeen.events = []; });
    await viewer.dispatchEvent('drop', at);
    await page.waitForFunction(() => window.zovSeen.events.length > 0, null, { timeout: 60_000 });
    assert.deepEqual(await page.evaluate(() => window.zovSeen.events), [{ t: 'done' }]);
    assert.equal(await page.evaluate(() => window.demo.viewer.shadowRoot.querySelector('.drop-zone.shown')), null);
  });
});

describe('dropping files', () => {
  test('without a remembered folder does nothing and leaves nothing behind', SLOW, async () => {
    const page = await openDemo();
    try {
      await page.evaluate(async () => {
        const corpus = await (await fetch('/demo/corpus.json')).json();
        await window.demo.viewer.SetFiles('<' + corpus.files[0] + '>');
      });
      const outcome = await drop(page, [{ name: 'loose.pdf', seed: 1, size: 5000 }, { name: 'loose.png', seed: 2, size: 70 }]);
      assert.equal(outcome, 'done');
      const seen = await page.evaluate(() => window.zovSeen);
      assert.deepEqual(seen.boxes, [], 'no message');
      assert.deepEqual(seen.dialogs, [], 'no progress dialog');
      assert.deepEqual(seen.events, [{ t: 'done' }]);
      assert.deepEqual(await readdir(nginx.root), [], 'nothing uploaded anywhere');
      assert.deepEqual(await leftInDrops(), []);
    } finally {
      await page.close();
    }
  });

  test('two files onto a remembered WebDAV folder arrive byte for byte and the desk lists them', SLOW, async () => {
    const page = await openDemo();
    try {
      const folder = await folderWith('docs', { 'start.pdf': solidPdf([[1, 0, 0]]) });
      await page.evaluate((f) => window.demo.viewer.SetFolder(f, true), folder);
      await waitFor(async () => (await desk(page)).length === 1, { what: 'the folder on the desk' });
      // Larger than one message, so that it travels in several chunks.
      const files = [{ name: 'report.pdf', seed: 3, size: 2_600_000 }, { name: '写真.png', seed: 4, size: 1234 }];
      assert.equal(await drop(page, files), 'done');
      assert.deepEqual(await listing('docs'), ['report.pdf', 'start.pdf', '写真.png'].sort());
      for (const f of files) {
        const got = await readFile(join(nginx.root, 'docs', f.name));
        assert.ok(got.equals(bytesOf(f.seed, f.size)), `${f.name}: ${got.length} bytes arrived of ${f.size}`);
      }
      const shown = await waitFor(async () => {
        const d = await desk(page);
        return d.length === 3 && d;
      }, { what: 'three books on the desk' });
      for (const name of ['start.pdf', 'report.pdf', '写真.png'])
        assert.ok(shown.some((p) => p.endsWith('/' + name)), `${name} in ${shown}`);
      const seen = await page.evaluate(() => window.zovSeen);
      assert.ok(seen.dialogs.includes('ファイルのアップロード処理'), `the progress dialog showed: ${seen.dialogs}`);
      assert.equal(await page.evaluate(() => window.zovUi.dialog('#viewer')), null, 'and went by itself');
      assert.deepEqual(await leftInDrops(), []);
    } finally {
      await page.close();
    }
  });

  test('three onto a desk of eight show the limit and upload nothing', SLOW, async () => {
    const page = await openDemo();
    try {
      const eight = {};
      for (let i = 1; i <= 8; i++) eight[`doc${i}.pdf`] = solidPdf([[i / 8, 0, 0]]);
      const folder = await folderWith('full', eight);
      await page.evaluate((f) => window.demo.viewer.SetFolder(f, true), folder);
      await waitFor(async () => (await desk(page)).length === 8, { what: 'eight books on the desk' });
      const outcome = drop(page, [1, 2, 3].map((i) => ({ name: `more${i}.pdf`, seed: 10 + i, size: 3000 })));
      // The control says why in a box and waits for it to be answered.
      const ok = page.locator('#viewer .veil button');
      await ok.waitFor({ timeout: 60_000 });
      assert.equal(await page.locator('#viewer .veil .text').textContent(), LIMIT_MESSAGE);
      await ok.click();
      assert.equal(await outcome, 'done');
      assert.deepEqual(await listing('full'), Object.keys(eight).sort(), 'nothing was uploaded');
      assert.equal((await desk(page)).length, 8);
      assert.deepEqual(await leftInDrops(), []);
    } finally {
      await page.close();
    }
  });

  test('cancel in the progress dialog stops the upload before the next file', SLOW, async () => {
    // A folder whose server takes a second and a half over every file, so
    // that the cancel surely comes while the first one is under way.
    const stored = [];
    let firstArrived;
    const firstPut = new Promise((resolve) => { firstArrived = resolve; });
    const server = createServer((req, res) => {
      if (req.method === 'PUT') {
        firstArrived();
        const parts = [];
        req.on('data', (d) => parts.push(d));
        req.on('end', () => setTimeout(() => {
          stored.push(decodeURIComponent(req.url.split('/').pop()));
          res.writeHead(201).end();
        }, 1500));
        return;
      }
      if (req.method === 'GET') {
        res.writeHead(200, { 'Content-Type': 'text/html' });
        res.end('<html><body>' + stored.map((n) => `<a href="${n}">${n}</a>`).join('') + '</body></html>');
        return;
      }
      req.resume();
      res.writeHead(405).end();
    });
    await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
    const page = await openDemo();
    try {
      const folder = `http://127.0.0.1:${server.address().port}/slow/`;
      await page.evaluate((f) => window.demo.viewer.SetFolder(f, true), folder);
      // Cancel is pressed while the first file goes up: once its PUT has
      // reached the server (pressed before that, no file would go at all).
      const files = [1, 2, 3].map((i) => ({ name: `big${i}.bin`, seed: 20 + i, size: 100_000 }));
      const dropped = drop(page, files);
      await firstPut;
      await page.locator('#viewer [role="dialog"] button.dlg-button[data-ctl="2"]').click();
      assert.equal(await dropped, 'done');
      assert.deepEqual(stored, ['big1.bin'], 'only the file under way when cancelled went up');
      assert.equal(await page.evaluate(() => window.zovUi.dialog('#viewer')), null);
      assert.deepEqual(await leftInDrops(), []);
    } finally {
      await page.close();
      await new Promise((resolve) => server.close(resolve));
    }
  });
});
