// The event relay element against a real zov-host and a real headless
// Chromium: a caption click on a viewer in one page reaches the relay of
// another page as OnOpenUrl, through the event file the viewer writes.
import { describe, test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { mkdir, writeFile, access, readdir } from 'node:fs/promises';
import { join } from 'node:path';
import { chromium } from 'playwright-core';
import { startAll, probeSource, waitForRest, solidPdfWithPreviews, waitFor } from './harness.mjs';

const SLOW = { timeout: 180_000 };
const DESK = [0xc0, 0xc0, 0xc0];
const CURRENT_CAPTION = [205, 237, 236];

let stack, pdf;

before(async () => {
  stack = await startAll({ chromium, viewport: { width: 1024, height: 700 } });
  await stack.context.addInitScript(probeSource);
  pdf = await solidPdfWithPreviews(stack.prepared, 'report.pdf', [[0.1, 0.6, 0.2], [0.8, 0.2, 0.2]]);
}, { timeout: 600_000 });

after(async () => {
  if (stack) await stack.cleanup();
});

const eventFolder = () => join(stack.prepared.dataHome, 'ZOVuvazaR', 'Event');
const exists = (file) => access(file).then(() => true, () => false);
const hex8 = (n) => n.toString(16).padStart(8, '0');

// A page with a relay element that records every OnOpenUrl, attached to `id`.
async function relayPage(id) {
  const page = await stack.context.newPage();
  page.on('pageerror', (err) => console.error('page error:', err));
  await page.goto(stack.host.base + 'demo/?files=0');
  await page.evaluate(() => window.demo.started);
  await page.evaluate(async (attach) => {
    const relay = document.createElement('zov-event-relay');
    document.body.append(relay);
    window.relayed = [];
    window.oldStyle = [];
    relay.addEventListener('OnOpenUrl', (e) => window.relayed.push({ msg: e.detail && e.detail.Msg, at: Date.now() }));
    relay.onOpenUrl = (param) => window.oldStyle.push(param.Msg);
    window.relay = relay;
    await relay.ready;
    if (attach !== null) await relay.AttachObject(attach);
  }, id);
  return page;
}

// The middle, in page pixels, of the pixels of one colour on the viewer's canvas.
function findColour(page, colour, tol = 6) {
  return page.evaluate(([c, t]) => {
    const p = window.zovProbe.pixels();
    let sx = 0, sy = 0, n = 0;
    for (let y = 0; y < p.h; y += 2) {
      for (let x = 0; x < p.w; x += 2) {
        const i = (y * p.w + x) * 4;
        if (Math.abs(p.data[i] - c[0]) <= t && Math.abs(p.data[i + 1] - c[1]) <= t && Math.abs(p.data[i + 2] - c[2]) <= t) {
          sx += x; sy += y; n++;
        }
      }
    }
    if (!n) return null;
    const r = window.zovProbe.canvas().getBoundingClientRect();
    return { x: r.left + sx / n / devicePixelRatio, y: r.top + sy / n / devicePixelRatio, n };
  }, [colour, tol]);
}

describe('event relay', () => {
  test('a caption click in one page fires OnOpenUrl in the page attached to its viewer', SLOW, async (t) => {
    const viewerPage = await stack.context.newPage();
    viewerPage.on('pageerror', (err) => console.error('page error:', err));
    await viewerPage.goto(stack.host.base + 'demo/?files=0');
    const instanceId = await viewerPage.evaluate(() => window.demo.started);
    assert.ok(Number.isInteger(instanceId) && instanceId > 0, 'SetUp gives the instance number');
    await viewerPage.evaluate((f) => window.demo.viewer.eValueSetFiles('<' + f + '>', '', '<Quarterly report>', '', 'open.htm?key=%key%'), pdf);
    await viewerPage.waitForFunction(([d]) => {
      const c = window.zovProbe.coverage(d, 6, 0.3);
      return c && c.all > 0.005;
    }, [DESK], { timeout: 120_000, polling: 200 });
    await waitForRest(viewerPage, { quiet: 800, timeout: 60_000 });

    const relay = await relayPage(instanceId);
    // The pointer over the book marks its caption; a click in the caption,
    // right of the selection box, asks for the address.
    const book = await findColour(viewerPage, [26, 153, 51], 12);
    assert.ok(book, 'the book shows');
    await viewerPage.mouse.move(book.x, book.y);
    const caption = await waitFor(() => findColour(viewerPage, CURRENT_CAPTION), { what: 'the marked caption' });
    const clicked = Date.now();
    await viewerPage.mouse.click(caption.x, caption.y);
    await relay.waitForFunction(() => window.relayed.length > 0, null, { timeout: 10_000 });
    const [event] = await relay.evaluate(() => window.relayed);
    assert.equal(event.msg, 'open.htm?key=' + pdf);
    t.diagnostic(`OnOpenUrl came ${event.at - clicked} ms after the click`);
    assert.ok(event.at - clicked < 300, `OnOpenUrl came ${event.at - clicked} ms after the click`);
    assert.deepEqual(await relay.evaluate(() => window.oldStyle), ['open.htm?key=' + pdf], 'the handler property hears it too');
    assert.deepEqual(await readdir(eventFolder()), [], 'the event file is gone');
    await viewerPage.close();
    await relay.close();
  });

  test('an event file there before AttachObject fires once; an empty one never', SLOW, async () => {
    await mkdir(eventFolder(), { recursive: true });
    const waiting = join(eventFolder(), hex8(0x5a5a) + '.txt');
    const empty = join(eventFolder(), hex8(0x6b6b) + '.txt');
    await writeFile(waiting, 'https://example.test/doc?id=9');
    await writeFile(empty, '');
    const page = await relayPage(null);
    await page.evaluate(() => window.relay.AttachObject(0x5a5a));
    await page.waitForFunction(() => window.relayed.length > 0, null, { timeout: 5_000 });
    await page.evaluate(() => window.relay.AttachObject(0x6b6b));
    await new Promise((r) => setTimeout(r, 800));
    assert.deepEqual((await page.evaluate(() => window.relayed)).map((e) => e.msg), ['https://example.test/doc?id=9']);
    assert.equal(await exists(waiting), false, 'the event file is deleted');
    assert.equal(await exists(empty), true, 'the empty file stays');
    await page.close();
  });

  test('the test hook fires at once and the display string is the control\'s', SLOW, async () => {
    const page = await relayPage(null);
    const seen = await page.evaluate(async () => {
      const before = await window.relay.DisplayString;
      window.relay.DisplayString = 'Relay ready';
      await window.relay.MyCallMethod();
      return { before, after: await window.relay.DisplayString, relayed: window.relayed.map((e) => e.msg) };
    });
    assert.equal(seen.before, null);
    assert.equal(seen.after, 'Relay ready');
    await page.waitForFunction(() => window.relayed.length === 1, null, { timeout: 5_000 });
    assert.deepEqual(await page.evaluate(() => window.relayed.map((e) => e.msg)), ['はろー']);
    assert.equal(await page.evaluate(() => window.relay.shadowRoot.textContent.includes('Relay ready')), true);
    await page.close();
  });
});
