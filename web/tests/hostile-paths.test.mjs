// A page that hands the viewer preview roots and share paths meant to reach
// outside its folders, against a real zov-host and headless Chromium. The data
// folder lies deep in a sandbox with a canary on every level, beside it and
// beside the share mount root; whatever the page says, they all live.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { execFile } from 'node:child_process';
import { existsSync } from 'node:fs';
import { mkdtemp, mkdir, readFile, rm, writeFile } from 'node:fs/promises';
import { tmpdir } from 'node:os';
import { dirname, join } from 'node:path';
import { promisify } from 'node:util';
import { chromium } from 'playwright-core';
import { paths, startHost, launchBrowser } from './harness.mjs';

const execFileP = promisify(execFile);
const SLOW = { timeout: 180_000 };

// Four levels up from the data folder at most, so that even a deletion that
// escaped stays in the sandbox.
const CANARIES = [
  'canary', 'a/canary', 'a/b/canary', 'a/b/c/canary', 'a/b/c/home/canary',
  'a/b/c/home/ZOVuvazaR/canary', 'a/b/c/secret/passwd', 'a/b/etc/passwd',
];
// Nothing listens there: loads fail at once.
const GOOD = 'http://127.0.0.1:1/p';
const DOCUMENT = '<http://127.0.0.1:1/docs/x.pdf>';
const HOSTILE_ROOTS = [
  'http://..\\..', 'http://.', 'http://..', 'http://..\\..\\..\\..', 'https://..\\..', 'http://../..',
  'http://..\\/..', 'http://.:8080', 'http://%2e%2e', 'http://%2e%2e\\%2e%2e', 'http://x\\..\\..', 'http://',
  'http://user@host/p', '\\\\..\\..\\etc', '//../../etc', '\\/..\\/secret', 'file://..\\..',
];
const CLIMBING_SHARES = [
  '\\\\..\\..\\etc', '\\\\..\\secret', '\\\\srv\\..\\..\\secret', '\\\\/..\\/secret', '\\\\.\\..\\secret',
  '\\\\srv\\docs\\..\\..\\..\\secret', '\\\\srv\\docs\\..\\..', '\\\\srv\\docs\\%2e%2e\\..\\..\\..\\..\\secret',
];
const SHARE_DOC = '<\\\\srv\\docs\\a.pdf>';

let sandbox;
let home;
let host;
let browser;
let page;

before(async () => {
  sandbox = await mkdtemp(join(tmpdir(), 'zov-hostile-'));
  home = join(sandbox, 'a/b/c/home');
  const demo = join(sandbox, 'a/b/c/demo');
  for (const file of [...CANARIES, 'a/b/c/shares/srv/docs/a.pdf']) {
    await mkdir(dirname(join(sandbox, file)), { recursive: true });
    await writeFile(join(sandbox, file), 'alive');
  }
  await mkdir(join(demo, 'corpus'), { recursive: true });
  await mkdir(join(demo, 'previews'), { recursive: true });
  const env = { ...process.env, ZOV_DATA_HOME: home, ZOV_SHARE_ROOT: join(sandbox, 'a/b/c/shares') };
  const p = paths();
  await execFileP(p.regsvr, [p.serverLib], { env, timeout: 60_000 });
  host = await startHost({ dir: demo, dataHome: home, env });
  let context;
  ({ browser, context } = await launchBrowser(chromium));
  page = await context.newPage();
  page.on('pageerror', (err) => console.error('page error:', err));
  await page.goto(host.base + 'demo/?files=0');
  await page.evaluate(() => window.demo.started);
}, { timeout: 300_000 });

after(async () => {
  await browser?.close();
  if (host) {
    const how = await host.stop();
    if (how.code !== 0 && how.signal !== 'SIGTERM') console.error('zov-host:\n' + host.log.slice(-40).join('\n'));
  }
  if (sandbox) await rm(sandbox, { recursive: true, force: true });
});

// A new element with this id, once its control exists.
const make = (id) => page.evaluate(async (id) => {
  const v = document.createElement('zov-viewer');
  v.id = id;
  v.style.cssText = 'display:block;width:240px;height:160px';
  document.body.appendChild(v);
  await v.ready;
}, id);

const call = (id, name, ...args) =>
  page.evaluate(([id, name, args]) => document.getElementById(id)[name](...args), [id, name, args]);

const setUp = (id, root, system = 'Folder') => call(id, 'SetUp', 'en', 'C0C0C0', true, '', root, system, false);

async function selectAll(id) {
  await call(id, 'SetAllSelectedFlag', true);
  return call(id, 'GetSelectedFiles');
}

// Polls until the selection of everything holds `item` (the list is on the desk).
async function selectionWith(id, item) {
  const end = Date.now() + 30_000;
  for (;;) {
    const selected = await selectAll(id);
    if (selected.includes(item) || Date.now() > end) return selected;
    await new Promise((r) => setTimeout(r, 100));
  }
}

async function assertAlive(after) {
  for (const canary of CANARIES) assert.ok(existsSync(join(sandbox, canary)), `${canary} after ${after}`);
  const registry = await readFile(join(home, 'ZOVuvazaR', 'Registry.txt'), 'utf8');
  assert.match(registry, /ZOVUVAZAR\.ZOVuvazaRCtrl\.1/, `the registry after ${after}`);
}

test('preview roots that name no host are refused and two pages delete nothing outside', SLOW, async () => {
  await make('a');
  await make('b');
  assert.ok((await setUp('a', GOOD)) > 0);
  assert.ok((await setUp('b', GOOD)) > 0);
  // Refusals are gathered, so that a wrong answer still lets the deletions show.
  const wrong = [];
  const expectRefused = async (what, result) => { if (result !== 0) wrong.push(`${what} gave ${result}`); };
  for (const root of HOSTILE_ROOTS) {
    await expectRefused(`SetUp ${root}`, await setUp('b', root));
    await expectRefused(`SetUp ending in ${root}`, await setUp('b', `<${GOOD}><${root}>`));
    await call('b', 'SetPreviewFolder', root);
    await expectRefused(`eValueInit ${root}`,
      await call('b', 'eValueInit', 'en', 'C0C0C0', false, 'u', root, 'http://svc.example/x.asmx'));
    if (root.includes('://'))
      await expectRefused(`eValueInit without a login at ${root}`,
        await call('b', 'eValueInit', 'en', 'C0C0C0', false, '', '', root + '/svc.asmx'));
    // The other page's new list clears the cache of the process-wide root.
    await call('a', 'SetFiles', DOCUMENT);
    await assertAlive(root);
  }
  assert.deepEqual(wrong, []);
  // In "SamePlace" mode the folder listed becomes the root.
  assert.ok((await setUp('b', GOOD, 'SamePlace')) > 0);
  for (const root of ['http://..\\..', 'http://.', 'http://..\\..\\..\\..', 'http://..']) {
    await call('b', 'SetFolder', root, true);
    await call('a', 'SetFiles', DOCUMENT);
    await assertAlive(`SetFolder ${root}`);
  }
  await setUp('b', GOOD, 'Folder');
  // Closing the pages' elements destroys their viewers, which clear again.
  await page.evaluate(() => { document.getElementById('a').remove(); document.getElementById('b').remove(); });
  await make('c');
  assert.ok((await setUp('c', GOOD)) > 0, 'a new element is still made and set up');
  await page.evaluate(() => document.getElementById('c').remove());
  await new Promise((r) => setTimeout(r, 500));
  await assertAlive('closing the elements');
});

test('share paths from a page stay below the share mount root', SLOW, async () => {
  await make('s');
  assert.ok((await setUp('s', join(sandbox, 'a/b/c/demo/previews'))) > 0);
  await call('s', 'SetFolder', '\\\\srv\\docs', false);
  assert.equal(await selectionWith('s', 'a.pdf'), SHARE_DOC);
  for (const folder of CLIMBING_SHARES) {
    // Refused: the desk keeps the share's document.
    await call('s', 'SetFolder', folder, true);
    assert.equal(await selectAll('s'), SHARE_DOC, `SetFolder ${folder}`);
    const outside = folder + '\\..\\secret\\passwd';
    await call('s', 'SetFiles', `<${outside}>${SHARE_DOC}`);
    assert.equal(await selectionWith('s', 'a.pdf'), SHARE_DOC, `SetFiles ${outside}`);
    await call('s', 'SetFolderFiles', '\\\\srv\\docs', '..\\..\\..\\secret\\passwd|a.pdf');
    assert.equal(await selectionWith('s', 'a.pdf'), SHARE_DOC, `SetFolderFiles ${folder}`);
    await call('s', 'SetPreviewFolder', folder);
    await assertAlive(folder);
  }
  // A share's file is not deleted from here: its book stays and a box says
  // so, answered by the page.
  await page.evaluate(() => {
    window.refusal = new Promise((resolve) => {
      document.getElementById('s').addEventListener('zov-messagebox', (e) => {
        e.preventDefault();
        e.detail.respond(1);
        resolve(e.detail.text);
      }, { once: true });
    });
  });
  await call('s', 'DeleteSelectedFiles');
  assert.match(await page.evaluate(() => window.refusal), /\\\\srv\\docs\\a\.pdf/);
  // The desk is laid again after a deletion; the refused book is on it.
  assert.equal(await selectionWith('s', 'a.pdf'), SHARE_DOC, 'the refused book stays');
  await page.evaluate(() => document.getElementById('s').remove());
  await new Promise((r) => setTimeout(r, 500));
  await assertAlive('DeleteSelectedFiles and closing');
});
