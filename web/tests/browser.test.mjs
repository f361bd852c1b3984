// The page side against a real zov-host and a real headless Chromium.
import { describe, test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import http from 'node:http';
import { randomBytes } from 'node:crypto';
import { execFile } from 'node:child_process';
import { mkdir, writeFile } from 'node:fs/promises';
import { join } from 'node:path';
import { promisify } from 'node:util';
import { chromium } from 'playwright-core';
import { startAll, probeSource, waitForRest, paths, solidPdf } from './harness.mjs';

// The desk colour the demo asks for; books are anything clearly different.
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

const coverage = (page, box = 0.3) =>
  page.evaluate(([d, t, b]) => window.zovProbe.coverage(d, t, b), [DESK, TOL, box]);

describe('the demo page', () => {
  let page;

  before(async () => {
    page = await stack.context.newPage();
    page.on('pageerror', (err) => console.error('page error:', err));
    await page.goto(stack.host.base + 'demo/');
  });
  after(async () => { await page?.close(); });

  test('the viewer becomes ready and SetUp returns an instance id', SLOW, async () => {
    const instanceId = await page.evaluate(() => window.demo.started);
    assert.ok(Number.isInteger(instanceId) && instanceId >= 0, `instance id ${instanceId}`);
    const state = await page.evaluate(async () => {
      const v = document.querySelector('zov-viewer');
      await v.ready;
      const c = v.shadowRoot.querySelector('canvas');
      return { members: v.members && v.members.map((m) => m.name), status: document.getElementById('status').textContent,
        canvasCss: c.getBoundingClientRect().width, element: v.getBoundingClientRect().width };
    });
    assert.ok(state.members.includes('SetUp') && state.members.includes('FlipLeft'), 'the container lists the members');
    assert.match(state.status, new RegExp(`Instance ${instanceId}\\b`));
    assert.ok(state.canvasCss > 0 && state.canvasCss <= state.element);
  });

  test('SetFiles lays books on the desk', SLOW, async () => {
    // Books lie on the desk: some pixels differ from it, most are desk.
    await page.waitForFunction(([d, t]) => {
      const c = window.zovProbe.coverage(d, t, 0.3);
      return c && c.all > 0.02 && c.all < 0.8;
    }, [DESK, TOL], { timeout: 120_000, polling: 200 });
    await waitForRest(page);
    const c = await coverage(page);
    assert.ok(c.all > 0.02 && c.all < 0.8, `non-desk share ${c.all}`);
    const frames = await page.evaluate(() => {
      const v = document.querySelector('zov-viewer');
      return { count: v.frameCount, bytes: v.bytesReceived, cw: v.shadowRoot.querySelector('canvas').width,
        ew: Math.round(v.getBoundingClientRect().width * devicePixelRatio) };
    });
    assert.ok(frames.count > 0 && frames.bytes > 0);
    assert.ok(frames.cw > 0 && frames.cw <= frames.ew, `canvas ${frames.cw} px in an element of ${frames.ew}`);
  });

  test('a click on a book zooms it up', SLOW, async () => {
    const target = await page.evaluate(([d, t]) => window.zovProbe.largestObject(d, t), [DESK, TOL]);
    assert.ok(target, 'a book to click');
    await page.evaluate(() => window.zovProbe.snapshot('desk'));
    const before = await coverage(page);
    await page.mouse.click(target.x, target.y);
    // The zoomed book covers far more of the desk than all the small ones did.
    await page.waitForFunction(([d, t, all]) => {
      const c = window.zovProbe.coverage(d, t, 0.3);
      return c && (c.all > Math.max(0.25, 2 * all) || c.centre > 0.8);
    }, [DESK, TOL, before.all], { timeout: 60_000, polling: 200 });
    await waitForRest(page);
    const after = await coverage(page);
    assert.ok(after.all > 2 * before.all, `book share ${before.all} -> ${after.all}`);
    assert.ok(after.centre > before.centre, `the middle fills: ${before.centre} -> ${after.centre}`);
    assert.ok(await page.evaluate(() => window.zovProbe.changedSince('desk')) > 0.15);
  });

  test('FlipLeft turns a page', SLOW, async () => {
    await page.evaluate(() => window.zovProbe.snapshot('open'));
    const framesBefore = await page.evaluate(() => window.zovProbe.lastChange().frames);
    const result = await page.evaluate(() => document.querySelector('zov-viewer').FlipLeft());
    assert.equal(result, null);
    await page.waitForFunction(() => window.zovProbe.changedSince('open') > 0.02, null, { timeout: 30_000, polling: 50 });
    // Longer than the idle ticks before the full pages are drawn, which a
    // slow (sanitized) build may stretch past the usual quiet.
    await waitForRest(page, { quiet: 2000 });
    const changed = await page.evaluate(() => window.zovProbe.changedSince('open'));
    const frames = (await page.evaluate(() => window.zovProbe.lastChange().frames)) - framesBefore;
    assert.ok(changed > 0.02, `the picture changed: ${changed}`);
    assert.ok(frames >= 3, `the turn was animated (${frames} frames)`);

    // What rests is exact, though the leaf moved in approximate colours: the
    // whole picture sent after a size change and back matches it pixel for pixel.
    await page.evaluate(() => window.zovProbe.snapshot('rested'));
    const viewer = page.locator('zov-viewer');
    const width = await viewer.evaluate((el) => el.getBoundingClientRect().width);
    await viewer.evaluate((el, w) => { el.style.width = `${w - 40}px`; }, width);
    await page.waitForFunction((w) => window.zovProbe.pixels().w < w - 20, width, { timeout: 30_000 });
    await viewer.evaluate((el) => { el.style.width = ''; });
    await page.waitForFunction(() => window.zovProbe.pixels().w === window.zovProbe.rested.w, null, { timeout: 30_000 });
    await waitForRest(page, { quiet: 2000 });
    const differing = await page.evaluate(() => {
      const a = window.zovProbe.rested.data, b = window.zovProbe.pixels().data;
      let n = 0;
      for (let i = 0; i < a.length; i++) if (a[i] !== b[i]) n++;
      return n;
    });
    assert.equal(differing, 0, 'bytes that differ from the picture sent whole');
  });

  test('a book larger than the window brings scroll bars, and the thumb pans it', SLOW, async () => {
    for (let i = 0; i < 3; i++) await page.evaluate(() => window.demo.viewer.ScaleUp());
    const vthumb = page.locator('#viewer .bar.v .thumb');
    await vthumb.waitFor({ state: 'visible', timeout: 30_000 });
    await page.locator('#viewer .bar.h .thumb').waitFor({ state: 'visible', timeout: 30_000 });
    // The bars take their room from the client area, and the container's frames follow.
    await page.waitForFunction(() => {
      const v = window.demo.viewer, c = v.shadowRoot.querySelector('canvas'), r = v.getBoundingClientRect();
      const dpr = devicePixelRatio;
      return c.width === Math.round(r.width * dpr) - 16 * dpr && c.height === Math.round(r.height * dpr) - 16 * dpr;
    }, null, { timeout: 30_000, polling: 100 });
    await waitForRest(page);
    await page.evaluate(() => window.zovProbe.snapshot('big'));
    const b = await vthumb.boundingBox();
    await page.mouse.move(b.x + b.width / 2, b.y + b.height / 2);
    await page.mouse.down();
    for (let dy = 20; dy <= 80; dy += 20) await page.mouse.move(b.x + b.width / 2, b.y + b.height / 2 + dy);
    await page.mouse.up();
    await page.waitForFunction(() => window.zovProbe.changedSince('big') > 0.1, null, { timeout: 30_000, polling: 100 });
    // The thumb stays where it was let go: the container took the position.
    await waitForRest(page);
    const moved = (await vthumb.boundingBox()).y - b.y;
    assert.ok(Math.abs(moved - 80) <= 2, `thumb moved ${moved} px`);
  });
});

describe('what a reader sees', () => {
  let page;

  // Share of the canvas in clearly coloured pixels: pictures have them, the
  // white placeholder pages and the grey desk do not.
  const colourful = (p) => p.evaluate(() => {
    const px = window.zovProbe.pixels();
    if (!px) return 0;
    let n = 0;
    for (let i = 0; i < px.data.length; i += 4) {
      const r = px.data[i], g = px.data[i + 1], b = px.data[i + 2];
      if (Math.max(r, g, b) - Math.min(r, g, b) > 60) n++;
    }
    return n / (px.w * px.h);
  });

  before(async () => {
    page = await stack.context.newPage();
    page.on('pageerror', (err) => console.error('page error:', err));
    await page.goto(stack.host.base + 'demo/?files=0');
    await page.evaluate(async () => {
      await window.demo.started;
      const corpus = await (await fetch('/demo/corpus.json')).json();
      const pictures = corpus.files.filter((f) => /\.(png|jpg)$/.test(f));
      await window.demo.viewer.SetFiles(pictures.map((f) => '<' + f + '>').join(''));
    });
  });
  after(async () => { await page?.close(); });

  test('pictures lie on the desk as pictures and fill the window when zoomed', SLOW, async () => {
    await page.waitForFunction(() => {
      const px = window.zovProbe.pixels();
      if (!px) return false;
      let n = 0;
      for (let i = 0; i < px.data.length; i += 16) {
        const r = px.data[i], g = px.data[i + 1], b = px.data[i + 2];
        if (Math.max(r, g, b) - Math.min(r, g, b) > 60) n++;
      }
      return n * 4 / (px.w * px.h) > 0.01;
    }, null, { timeout: 120_000, polling: 200 });
    await waitForRest(page);
    const desk = await colourful(page);
    assert.ok(desk > 0.01, `coloured share of the desk ${desk}`);
    const target = await page.evaluate(([d, t]) => window.zovProbe.largestObject(d, t), [DESK, TOL]);
    assert.ok(target, 'a picture to click');
    await page.mouse.click(target.x, target.y);
    await page.waitForFunction(([d, t]) => window.zovProbe.coverage(d, t, 0.3).centre > 0.8, [DESK, TOL],
      { timeout: 60_000, polling: 200 });
    await waitForRest(page, { quiet: 1500 });
    const zoomed = await colourful(page);
    assert.ok(zoomed > 4 * desk && zoomed > 0.15, `coloured share ${desk} on the desk, ${zoomed} zoomed`);
  });
});

describe('a turning leaf', () => {
  let page;

  before(async () => {
    const { dir, env } = stack.prepared;
    // Beside the demo's documents, not among them: the demo lists its folder.
    await mkdir(join(dir, 'extra'), { recursive: true });
    const file = join(dir, 'extra', 'colours.pdf');
    await writeFile(file, solidPdf([[1, 0, 0], [0, 0, 1], [1, 0, 0], [0, 0, 1], [1, 0, 0], [0, 0, 1]]));
    await promisify(execFile)(join(paths().tools, 'zov-convert'),
      ['--root', join(dir, 'previews'), '--mode', 'Folder', file], { env, timeout: 120_000 });
    page = await stack.context.newPage();
    page.on('pageerror', (err) => console.error('page error:', err));
    await page.goto(stack.host.base + 'demo/?files=0');
    await page.evaluate(async (path) => {
      await window.demo.started;
      await window.demo.viewer.SetFiles('<' + path + '>');
    }, file);
  }, { timeout: 180_000 });
  after(async () => { await page?.close(); });

  test('hides the pages and the desk under it in every frame of a turn', SLOW, async () => {
    await page.waitForFunction(([d, t]) => {
      const c = window.zovProbe.coverage(d, t, 0.3);
      return c && c.all > 0.01;
    }, [DESK, TOL], { timeout: 120_000, polling: 200 });
    await waitForRest(page);
    const target = await page.evaluate(([d, t]) => window.zovProbe.largestObject(d, t), [DESK, TOL]);
    await page.mouse.click(target.x, target.y);
    // Closed, the zoomed book shows its first page right of the spine.
    await page.waitForFunction(([d, t]) => window.zovProbe.coverage(d, t, 0.3).all > 0.25, [DESK, TOL],
      { timeout: 60_000, polling: 200 });
    await waitForRest(page, { quiet: 1500 });
    // Every frame of the turn is searched for red seen half through blue or
    // the desk, and blue through red or the desk.
    await page.evaluate(() => {
      const mixes = [[0x7f, 0, 0x7f], [0xdf, 0x60, 0x60], [0x60, 0x60, 0xdf]];
      const watch = (window.leafWatch = { frames: 0, worst: 0 });
      document.querySelector('zov-viewer').addEventListener('zov-frame', () => {
        const p = window.zovProbe.pixels();
        let n = 0;
        for (let i = 0; i < p.data.length; i += 4) {
          for (const [r, g, b] of mixes) {
            if (Math.abs(p.data[i] - r) < 20 && Math.abs(p.data[i + 1] - g) < 20 && Math.abs(p.data[i + 2] - b) < 20) { n++; break; }
          }
        }
        watch.frames++;
        watch.worst = Math.max(watch.worst, n / (p.w * p.h));
      });
    });
    await page.evaluate(() => document.querySelector('zov-viewer').FlipLeft());
    await page.waitForFunction(() => window.leafWatch.frames >= 3, null, { timeout: 30_000, polling: 50 });
    await waitForRest(page);
    const watch = await page.evaluate(() => window.leafWatch);
    assert.ok(watch.frames >= 3, `${watch.frames} frames`);
    assert.ok(watch.worst < 0.003, `see-through share ${watch.worst} in the worst of ${watch.frames} frames`);
  });
});

describe('the element', () => {
  let page;

  before(async () => {
    page = await stack.context.newPage();
    await page.goto(stack.host.base + 'demo/?files=0');
    await page.evaluate(() => window.demo.started);
  });
  after(async () => { await page?.close(); });

  test('calls wait for the control, arguments are coerced, unknown members reject', SLOW, async () => {
    const r = await page.evaluate(async () => {
      const v = document.createElement('zov-viewer');
      v.style.cssText = 'width:200px;height:120px';
      document.body.appendChild(v);
      // Made before `created`: queued and sent after it.
      const early = v.GetWorkWindowCount();
      const loose = v.SetAllSelectedFlag('yes');
      const out = { early: await early, loose: await loose };
      try {
        await v.invoke('NoSuchMember', []);
        out.unknown = 'resolved';
      } catch (e) {
        out.unknown = e.message;
      }
      // A string over the container's limit is refused here, before it could close the socket.
      try {
        await v.Search('x'.repeat(300000));
        out.long = 'resolved';
      } catch (e) {
        out.long = e.message;
      }
      out.after = await v.GetToolBarVisible();
      v.remove();
      return out;
    });
    assert.ok(Number.isInteger(r.early), `GetWorkWindowCount gave ${r.early}`);
    assert.equal(r.loose, null);
    assert.notEqual(r.unknown, 'resolved');
    assert.ok(r.unknown.length > 0);
    assert.notEqual(r.long, 'resolved');
    assert.equal(typeof r.after, 'boolean', 'the socket survived the refused call');
  });

  test('a removed element is destroyed and another can take its place', SLOW, async () => {
    const r = await page.evaluate(async () => {
      const made = [];
      // More than the container allows at once, one after another.
      for (let i = 0; i < 20; i++) {
        const v = document.createElement('zov-viewer');
        document.body.appendChild(v);
        await v.ready;
        made.push(v.elementId);
        v.remove();
      }
      return made;
    });
    assert.equal(r.length, 20);
    assert.equal(new Set(r).size, 20, 'element ids are not reused');
  });

  test('Ctrl+Shift+click asks a message box, answered from the overlay', SLOW, async () => {
    const viewer = page.locator('#viewer');
    const box = await viewer.boundingBox();
    await page.evaluate(() => {
      window.boxes = [];
      document.getElementById('viewer').addEventListener('zov-messagebox', (e) => window.boxes.push(e.detail.caption));
    });
    await page.keyboard.down('Control');
    await page.keyboard.down('Shift');
    await page.mouse.click(box.x + box.width / 2, box.y + box.height / 2);
    await page.keyboard.up('Shift');
    await page.keyboard.up('Control');
    const ok = viewer.locator('.veil button');
    await ok.waitFor({ timeout: 30_000 });
    assert.equal(await ok.count(), 1, 'an MB_OK box has one button');
    assert.equal(await ok.textContent(), 'OK');
    assert.ok((await page.evaluate(() => window.boxes))[0].length > 0, 'the event carries the caption');
    await ok.click();
    await viewer.locator('.veil').waitFor({ state: 'detached', timeout: 5_000 });
    // The window thread came out of the box: calls are answered again.
    assert.equal(typeof (await page.evaluate(() => document.getElementById('viewer').GetToolBarVisible())), 'boolean');
  });

  test('a handled zov-messagebox event shows no overlay and its answer goes back', SLOW, async () => {
    const viewer = page.locator('#viewer');
    const box = await viewer.boundingBox();
    await page.evaluate(() => {
      window.answered = new Promise((resolve) => {
        document.getElementById('viewer').addEventListener('zov-messagebox', (e) => {
          e.preventDefault();
          setTimeout(() => { e.detail.respond(1); resolve(e.detail.type); }, 50);
        }, { once: true });
      });
    });
    await page.keyboard.down('Control');
    await page.keyboard.down('Shift');
    // Below the control's toolbar, on the canvas.
    await page.mouse.click(box.x + 20, box.y + 80);
    await page.keyboard.up('Shift');
    await page.keyboard.up('Control');
    assert.equal(await page.evaluate(() => window.answered), 0);
    assert.equal(await viewer.locator('.veil').count(), 0);
    assert.equal(typeof (await page.evaluate(() => document.getElementById('viewer').GetToolBarVisible())), 'boolean');
  });
});

describe('the element script', () => {
  test('is one classic script with its source map beside it', SLOW, async () => {
    const script = await fetch(stack.host.base + 'zov.js');
    assert.equal(script.status, 200);
    assert.match(script.headers.get('content-type'), /^text\/javascript/);
    const text = await script.text();
    // A module statement would make every classic <script> tag fail to load.
    assert.doesNotMatch(text, /^\s*(import|export)\b/m);
    assert.match(text, /\n\/\/# sourceMappingURL=zov\.js\.map\s*$/);

    const map = await fetch(stack.host.base + 'zov.js.map');
    assert.equal(map.status, 200);
    const { sources, sourcesContent } = await map.json();
    for (const module of ['index.js', 'viewer-element.js', 'connection.js', 'frames.js'])
      assert.ok(sources.some((s) => s.endsWith('web/src/' + module)), `${module} in ${sources}`);
    // The debugger shows the modules without fetching them: the container serves no sources.
    assert.equal(sourcesContent.length, sources.length);
    assert.ok(sourcesContent.every((c) => typeof c === 'string' && c.length > 0));
  });

  test('a second copy of the script on a page changes nothing', SLOW, async () => {
    const page = await stack.context.newPage();
    const errors = [];
    page.on('pageerror', (err) => errors.push(err));
    try {
      await page.goto(stack.host.base + 'demo/?files=0');
      await page.evaluate(() => document.querySelector('zov-viewer').ready);
      const before = await page.evaluate(() => window.ZovViewerElement === customElements.get('zov-viewer'));
      await page.addScriptTag({ url: stack.host.base + 'zov.js' });
      const after = await page.evaluate(() => ({
        same: window.ZovViewerElement === customElements.get('zov-viewer'),
        method: typeof document.querySelector('zov-viewer').FlipLeft,
      }));
      assert.ok(before);
      assert.deepEqual(after, { same: true, method: 'function' });
      assert.deepEqual(errors, []);
    } finally {
      await page.close();
    }
  });
});

// ---------------------------------------------------------------------------

// A WebSocket upgrade by hand; resolves with the status (101 when accepted) or the
// socket error when the container just closes.
function upgrade(port, headers) {
  return new Promise((resolve) => {
    const req = http.request({
      host: '127.0.0.1', port, path: '/ws',
      headers: {
        Connection: 'Upgrade', Upgrade: 'websocket', 'Sec-WebSocket-Version': '13',
        'Sec-WebSocket-Key': randomBytes(16).toString('base64'), ...headers,
      },
    });
    req.setTimeout(10_000, () => req.destroy(new Error('timeout')));
    req.on('upgrade', (res, socket) => { socket.destroy(); resolve({ status: res.statusCode }); });
    req.on('response', (res) => { res.resume(); resolve({ status: res.statusCode }); });
    req.on('error', (err) => resolve({ error: err.code || err.message }));
    req.end();
  });
}

function get(port, path, headers) {
  return new Promise((resolve) => {
    const req = http.request({ host: '127.0.0.1', port, path, headers });
    req.on('response', (res) => { res.resume(); resolve({ status: res.statusCode }); });
    req.on('error', (err) => resolve({ error: err.code || err.message }));
    req.end();
  });
}

describe('who may connect', () => {
  let foreign;
  let foreignBase;

  before(async () => {
    // A page on another origin that embeds the element from the container.
    foreign = http.createServer((req, res) => {
      res.setHeader('Content-Type', 'text/html; charset=utf-8');
      res.end(`<!doctype html><title>elsewhere</title>
<script>window.errors = []; document.addEventListener('zov-error', (e) => window.errors.push(e.detail), true);</script>
<script src="${stack.host.base}zov.js"></script>
<zov-viewer style="width:300px;height:200px"></zov-viewer>`);
    });
    await new Promise((r) => foreign.listen(0, '127.0.0.1', r));
    foreignBase = `http://127.0.0.1:${foreign.address().port}/`;
  });
  after(async () => {
    if (foreign) await new Promise((r) => foreign.close(r));
  });

  test('a page from an origin not allowed is refused', SLOW, async () => {
    const page = await stack.context.newPage();
    try {
      await page.goto(foreignBase);
      const outcome = await page.evaluate(() =>
        document.querySelector('zov-viewer').ready.then(() => 'ready', (e) => 'rejected: ' + e.message));
      assert.match(outcome, /^rejected: /);
      await page.waitForFunction(() => window.errors.length > 0, null, { timeout: 10_000 });
      // Calls on such an element fail rather than wait for ever.
      const call = await page.evaluate(() =>
        document.querySelector('zov-viewer').FlipLeft().then(() => 'resolved', () => 'rejected'));
      assert.equal(call, 'rejected');
    } finally {
      await page.close();
    }
  });

  test('the upgrade checks Origin and Host', SLOW, async () => {
    const port = stack.host.port;
    const own = `http://127.0.0.1:${port}`;
    assert.equal((await upgrade(port, { Origin: own, Host: `127.0.0.1:${port}` })).status, 101, 'the container\'s own page');
    assert.equal((await upgrade(port, { Origin: 'http://evil.example', Host: `127.0.0.1:${port}` })).status, 403);
    assert.equal((await upgrade(port, { Origin: `http://127.0.0.1:${port + 1}`, Host: `127.0.0.1:${port}` })).status, 403,
      'another port is another origin');
    const badHost = await upgrade(port, { Origin: own, Host: `evil.example:${port}` });
    assert.notEqual(badHost.status, 101, 'a rebinding name in Host');
    assert.ok(badHost.status >= 400 || badHost.error, JSON.stringify(badHost));
    const plain = await get(port, '/demo/', { Host: `evil.example:${port}` });
    assert.equal(plain.status, 421);
  });
});

describe('shutting down', () => {
  test('closing the pages destroys their controls and the container ends cleanly', SLOW, async () => {
    // Pages gone: their connections close and the controls are destroyed.
    await stack.context.close();
    const how = await stack.host.stop();
    // Under the sanitizers a leak or an error report ends the container
    // with a non-zero status.
    assert.deepEqual(how, { code: 0, signal: null }, stack.host.log.slice(-40).join('\n'));
  });
});
