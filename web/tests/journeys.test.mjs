// What a page author does with the element, from the first folder to the last
// call on a full desk, through a real zov-host, a real nginx with WebDAV, a small
// eValue service of the test's own and a real headless Chromium: folders of every
// kind listed onto the desk, a selected file deleted on its server, a list file
// with the notes of its documents, the eValue mode from its set-up to the log of a
// zoom, and what OpenPages, Refresh, SetAllSelectedFlag and ZoomUpFirstObject do
// to a desk.
import { describe, test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { execFile } from 'node:child_process';
import { existsSync } from 'node:fs';
import { cp, mkdir, mkdtemp, readdir, readFile, rm, writeFile } from 'node:fs/promises';
import { createServer } from 'node:http';
import { tmpdir } from 'node:os';
import { basename, join } from 'node:path';
import { fileURLToPath } from 'node:url';
import { promisify } from 'node:util';
import { chromium } from 'playwright-core';
import { startAll, startHost, probeSource, waitForRest, waitFor, solidPdf, solidPdfWithPreviews, textPdf, deskPaths, paths } from './harness.mjs';
import { uiProbeSource } from './ui-probe.mjs';
import { startNginx } from './nginx.mjs';

const SLOW = { timeout: 240_000 };
const DESK = [0xc0, 0xc0, 0xc0];
const YELLOW = [255, 255, 0];
// The ring of the logo on the eValue placeholder pages.
const EVALUE_LOGO = [47, 125, 140];
const REPO = fileURLToPath(new URL('../..', import.meta.url));
const rgb = (c) => c.map((v) => Math.round(v * 255));

// Pages of one colour each, 0..1 as the PDFs have them.
const HARBOUR = [[0.2, 0.8, 0.4], [0.9, 0.1, 0.1], [0.1, 0.1, 0.9], [0.6, 0.2, 0.8], [0.1, 0.9, 0.9], [0.9, 0.5, 0.1]];
const FERRY = [[0.5, 0.3, 0.1], [0.95, 0.6, 0.8], [0.3, 0.3, 0.3], [0.5, 0.9, 0.1]];

const pageSource = String.raw`
// Message boxes are answered at once (Yes to a question, else OK) and kept:
// one a journey did not expect fails it instead of holding the element's calls.
window.zovBoxes = [];
document.addEventListener('zov-messagebox', (e) => {
  window.zovBoxes.push(e.detail.text);
  e.preventDefault();
  e.detail.respond((e.detail.type & 0xf) === 4 ? 6 : 1);
}, true);
// The caption's selection boxes on the canvas, top to bottom, left to right, in
// CSS pixels (rows within a few pixels count as one): a square with a grey outer and a black inner top-left edge, ticked
// when its inside is not all white.
window.zovSelection = {
  boxes() {
    const p = window.zovProbe.pixels();
    if (!p) return [];
    const is = (x, y, v) => {
      const i = (y * p.w + x) * 4;
      return Math.abs(p.data[i] - v) <= 3 && Math.abs(p.data[i + 1] - v) <= 3 && Math.abs(p.data[i + 2] - v) <= 3;
    };
    const r = window.zovProbe.canvas().getBoundingClientRect(), d = devicePixelRatio;
    const found = [];
    for (let y = 0; y + 12 < p.h; y++) {
      for (let x = 0; x + 12 < p.w; x++) {
        let ok = true;
        for (let k = 0; ok && k <= 10; k++) ok = is(x + k, y, 0x78) && is(x, y + k, 0x78);
        for (let k = 1; ok && k <= 10; k++) ok = is(x + k, y + 1, 0) && is(x + 1, y + k, 0);
        if (!ok) continue;
        let white = 0;
        for (let yy = y + 2; yy <= y + 10; yy++) for (let xx = x + 2; xx <= x + 10; xx++) white += is(xx, yy, 255);
        found.push({ x: r.left + (x + 6) / d, y: r.top + (y + 6) / d, ticked: white < 81 });
      }
    }
    // Captions of one row may stand a pixel apart: books differ in shape.
    return found.sort((a, b) => (Math.abs(a.y - b.y) > 8 ? a.y - b.y : a.x - b.x));
  },
};
`;

const convert = (args) => promisify(execFile)(join(paths().tools, 'zov-convert'), args, { env: stack.prepared.env });

let stack, nginx, shareRoot, scratch;

before(async () => {
  // Shares are read below the mount root the host is given.
  scratch = await mkdtemp(join(tmpdir(), 'zov-journeys-'));
  shareRoot = join(scratch, 'shares');
  process.env.ZOV_SHARE_ROOT = shareRoot;
  nginx = await startNginx();
  stack = await startAll({ chromium, viewport: { width: 1280, height: 800 } });
  for (const source of [probeSource, uiProbeSource, pageSource]) await stack.context.addInitScript(source);
}, { timeout: 600_000 });

after(async () => {
  if (stack) await stack.cleanup();
  if (nginx) await nginx.stop();
  if (scratch) await rm(scratch, { recursive: true, force: true });
});

async function openDemo(host = stack.host) {
  const page = await stack.context.newPage();
  page.on('pageerror', (err) => console.error('page error:', err));
  await page.goto(host.base + 'demo/?files=0');
  await page.evaluate(() => window.demo.started);
  return page;
}

const call = (page, name, ...args) => page.evaluate(([n, a]) => document.querySelector('zov-viewer')[n](...a), [name, args]);
const boxes = (page) => page.evaluate(() => window.zovSelection.boxes());
const shownBoxes = (page) => page.evaluate(() => window.zovBoxes);
const share = (page, colour, tol = 12) => page.evaluate(([c, t]) => window.zovColour.share(c, t), [colour, tol]);

// Until the desk holds exactly `expected` (in any order when `sorted`).
async function waitForDesk(page, expected, { sorted = false } = {}) {
  const norm = (list) => (sorted ? [...list].sort() : list);
  let last;
  await waitFor(async () => {
    last = await deskPaths(page);
    return JSON.stringify(norm(last)) === JSON.stringify(norm(expected));
  }, { timeout: 60_000, interval: 100, what: `the desk ${JSON.stringify(expected)}` }).catch((err) => {
    throw new Error(`${err.message}; it holds ${JSON.stringify(last)}`);
  });
}

// Until the selection boxes satisfy `pred`; resolves with them.
async function waitForBoxes(page, pred, what) {
  let last;
  return waitFor(async () => {
    last = await boxes(page);
    return pred(last) && last;
  }, { timeout: 30_000, interval: 100, what }).catch((err) => {
    throw new Error(`${err.message}; boxes ${JSON.stringify(last)}`);
  });
}

// Runs `fn`, then waits for the picture it changes to come and settle.
async function afterFrames(page, fn) {
  const frames = await page.evaluate(() => window.zovProbe.lastChange().frames);
  await fn();
  await page.waitForFunction((n) => window.zovProbe.lastChange().frames > n, frames, { timeout: 30_000, polling: 50 });
  await waitForRest(page, { quiet: 1000 });
}

// The middle, in page CSS pixels, of the pixels of `colour` on the canvas.
function findColour(page, colour, tol = 12) {
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

async function waitForColour(page, colour, min = 0.001) {
  await page.waitForFunction(([c, m]) => window.zovColour.share(c, 12) > m, [colour, min], { timeout: 60_000, polling: 200 })
    .catch(async () => { throw new Error(`${colour} never covered ${min} of the canvas (${await share(page, colour)})`); });
}

// A click on the book showing `colour`; resolves once it is zoomed.
async function zoomInto(page, colour) {
  const at = await findColour(page, colour);
  assert.ok(at, `a book showing ${colour}`);
  await page.mouse.click(at.x, at.y);
  await waitForColour(page, colour, 0.05);
  await waitForRest(page, { quiet: 800 });
}

async function nginxFolder(name, files) {
  const dir = join(nginx.root, name);
  await mkdir(dir, { recursive: true });
  for (const [file, bytes] of Object.entries(files)) await writeFile(join(dir, file), bytes);
  return dir;
}

// A PDF and its previews beside it as `base`_XXXXXXXX.txt, as a preview server
// has them; the search texts are left out when `withSearchText` is false.
async function previewsAt(base, colours, { withSearchText = true } = {}) {
  const pdf = join(scratch, basename(base) + '.pdf');
  await writeFile(pdf, solidPdf(colours));
  await convert(['--out', base, pdf]);
  if (!withSearchText) {
    const dir = join(base, '..');
    for (const f of await readdir(dir)) if (f.endsWith('_s.txt')) await rm(join(dir, f));
  }
}

describe('journeys', () => {
  test('SetFolder lists a WebDAV folder, an index page, a share, and in SamePlace mode takes the folder as preview root', SLOW, async () => {
    // A preview file beside the documents is never one of them.
    await nginxFolder('shelf', { 'a.pdf': 'pdf', 'b.png': 'png', 'a.pdf_00000001.txt': 'page' });
    await mkdir(join(shareRoot, 'srv', 'docs'), { recursive: true });
    for (const f of ['x.pdf', 'y.pdf']) await writeFile(join(shareRoot, 'srv', 'docs', f), 'pdf');
    await mkdir(join(nginx.root, 'same'), { recursive: true });
    await previewsAt(join(nginx.root, 'same', 'harbour.pdf'), HARBOUR, { withSearchText: false });
    await writeFile(join(nginx.root, 'same', 'harbour.pdf'), solidPdf(HARBOUR));

    const page = await openDemo();
    const dav = nginx.url('/shelf/');
    await call(page, 'SetFolder', dav, false);
    await waitForDesk(page, [dav + 'a.pdf', dav + 'b.png']);

    // The same folder where PROPFIND is refused: its index page is read.
    const plain = nginx.url('/plain/shelf/');
    await call(page, 'SetFolder', plain, false);
    await waitForDesk(page, [plain + 'a.pdf', plain + 'b.png']);

    // A share is read from below the mount root, in the folder's own order.
    await call(page, 'SetFolder', '\\\\srv\\docs', false);
    await waitForDesk(page, ['\\\\srv\\docs\\x.pdf', '\\\\srv\\docs\\y.pdf'], { sorted: true });

    // SamePlace: the previews lie beside the documents, so the book shows its page.
    const green = rgb(HARBOUR[0]);
    assert.equal(await share(page, green), 0);
    await call(page, 'SetUp', 'en', 'C0C0C0', true, '', '', 'SamePlace', false);
    const same = nginx.url('/same/');
    await call(page, 'SetFolder', same, false);
    await waitForDesk(page, [same + 'harbour.pdf']);
    await waitForColour(page, green);
    assert.deepEqual(await shownBoxes(page), []);
    await page.close();
  });

  test('DeleteSelectedFiles deletes the ticked file on the server and lists the remembered folder again', SLOW, async () => {
    const dir = await nginxFolder('trash', { 'a.pdf': 'pdf', 'b.pdf': 'pdf', 'c.pdf': 'pdf' });
    const url = nginx.url('/trash/');
    const page = await openDemo();
    await call(page, 'SetFolder', url, true);
    await waitForDesk(page, [url + 'a.pdf', url + 'b.pdf', url + 'c.pdf']);
    await call(page, 'SetAllSelectedFlag', false);
    const three = await waitForBoxes(page, (b) => b.length === 3 && b.every((x) => !x.ticked), 'three empty boxes');
    // The reader ticks the middle book's box.
    await page.mouse.click(three[1].x, three[1].y);
    await waitForBoxes(page, (b) => b.length === 3 && b[1].ticked && !b[0].ticked && !b[2].ticked, 'the middle box ticked');
    assert.equal(await call(page, 'GetSelectedFiles'), `<${url}b.pdf>`);

    await call(page, 'DeleteSelectedFiles');
    assert.deepEqual((await readdir(dir)).sort(), ['a.pdf', 'c.pdf']);
    await waitForDesk(page, [url + 'a.pdf', url + 'c.pdf']);
    assert.deepEqual(await shownBoxes(page), []);
    await page.close();
  });

  test('SetFileList puts the list\'s documents on the desk and brings their notes from the notes folder', SLOW, async () => {
    await nginxFolder('lists', { 'today.txt': 'harbour.pdf\r\nferry.pdf\r\n' });
    await previewsAt(join(nginx.root, 'lists', 'harbour.pdf'), HARBOUR);
    await previewsAt(join(nginx.root, 'lists', 'ferry.pdf'), FERRY);
    // A yellow note on the harbour's first page.
    const note = '%STICKY 1\r\r\n1 00FFFF 300 300 300 200 11 260 420\r\r\nfrom the server\r\r\n%EOF';
    await nginxFolder('notes', { 'harbour.pdf.sticky.txt': note });
    // A note kept here for a listed document is replaced by the server's (it has none).
    const sticky = join(stack.prepared.dataHome, 'ZOVuvazaR', '.sticky');
    await mkdir(sticky, { recursive: true });
    await writeFile(join(sticky, 'ferry.pdf.sticky'), '%STICKY 1\r\r\n1 00FFFF 100 100 300 200 11 100 100\r\r\nold\r\r\n%EOF');

    const page = await openDemo();
    await call(page, 'SetUp', 'en', 'C0C0C0', true, '', nginx.url('/lists'), 'Flat', false);
    await call(page, 'SetFileList', nginx.url('/lists/today.txt'), nginx.url('/notes/'));
    await waitForDesk(page, [nginx.url('/lists/harbour.pdf'), nginx.url('/lists/ferry.pdf')]);
    assert.equal(await readFile(join(sticky, 'harbour.pdf.sticky'), 'utf8'), note);
    assert.equal(existsSync(join(sticky, 'ferry.pdf.sticky')), false);

    await waitForColour(page, rgb(HARBOUR[0]));
    await waitForColour(page, rgb(FERRY[0]));
    await waitForRest(page, { quiet: 800 });
    await zoomInto(page, rgb(HARBOUR[0]));
    await waitForColour(page, YELLOW, 0.002);
    assert.deepEqual(await shownBoxes(page), []);
    await page.close();
  });
});

// The parts of an eValue installation the viewer meets: the previews below
// /prev/ in the service's layout (.preview, then the key's first six characters
// as folders), every preview file by its key at /svc/get?fkey=KEY_XXXXXXXX, the
// log by key at /svc/get?fkey=KEY&l=1 and the SOAP log operation at
// /svc/log.asmx. Every request is kept with its body.
async function startService(folder) {
  const requests = [];
  const server = createServer((req, res) => {
    const chunks = [];
    req.on('data', (c) => chunks.push(c));
    req.on('end', async () => {
      const url = new URL(req.url, 'http://service');
      requests.push({ method: req.method, url: req.url, type: req.headers['content-type'], body: Buffer.concat(chunks).toString('utf8') });
      let name = null;
      const m = /^\/prev\/\.preview\/((?:[^/]\/){6})([^/]+)$/.exec(url.pathname);
      if (req.method === 'GET' && m && m[1].replaceAll('/', '') === m[2].slice(0, 6)) name = m[2];
      if (req.method === 'GET' && url.pathname === '/svc/get' && !url.searchParams.has('l')) name = url.searchParams.get('fkey') + '.txt';
      if (req.method === 'POST' && url.pathname === '/svc/log.asmx') {
        res.writeHead(200, { 'Content-Type': 'text/xml' });
        res.end('<?xml version="1.0" encoding="utf-8"?><soap:Envelope><soap:Body/></soap:Envelope>');
        return;
      }
      if (url.searchParams.get('l') === '1') {
        res.writeHead(200);
        res.end();
        return;
      }
      const file = name && /^[\w.-]+$/.test(name) ? join(folder, name) : null;
      if (!file || !existsSync(file)) {
        res.writeHead(404);
        res.end('<html>not here</html>');
        return;
      }
      res.writeHead(200);
      res.end(await readFile(file));
    });
  });
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  const { port } = server.address();
  return {
    requests,
    url: (path) => `http://127.0.0.1:${port}${path}`,
    stop: () => new Promise((resolve) => { server.closeAllConnections(); server.close(resolve); }),
  };
}

// A page of the installation: it sets the element up with eValueInit first.
const EVALUE_PAGE = '<!doctype html><meta charset="utf-8"><link rel="icon" href="data:,"><script src="/zov.js"></script>' +
  '<body style="margin:0;overflow:hidden"><zov-viewer id="viewer" style="display:block;width:100vw;height:100vh"></zov-viewer></body>';

describe('eValue', () => {
  let service, host, keys;

  before(async () => {
    keys = join(scratch, 'keys');
    await mkdir(keys, { recursive: true });
    await previewsAt(join(keys, 'abcdef123'), HARBOUR);
    await previewsAt(join(keys, 'ghijkl456'), FERRY);
    service = await startService(keys);
    // The installation's page, served beside the element's script.
    const web = join(scratch, 'web');
    await cp(paths().web, web, { recursive: true, dereference: true });
    await writeFile(join(web, 'demo', 'evalue.html'), EVALUE_PAGE);
    // A container of its own: the eValue mode and its placeholders are the
    // process's, from the first document on.
    host = await startHost(stack.prepared, ['--web', web]);
  }, { timeout: 300_000 });

  after(async () => {
    if (host) await host.stop();
    if (service) await service.stop();
  });

  async function openEValue() {
    const page = await stack.context.newPage();
    page.on('pageerror', (err) => console.error('page error:', err));
    await page.goto(host.base + 'demo/evalue.html');
    await page.evaluate(() => document.getElementById('viewer').ready);
    return page;
  }

  const since = (from, pred) => service.requests.slice(from).filter(pred);

  test('with a login: the large toolbar, eValue placeholders, the SOAP log of a zoom, an event by identifier and the selection by identifier', SLOW, async () => {
    const page = await openEValue();
    const instance = await call(page, 'eValueInit', 'en', 'C0C0C0', true, 'user01', service.url('/prev'), service.url('/svc/log.asmx'));
    assert.ok(Number.isInteger(instance) && instance > 0, `eValueInit gives the instance number (${instance})`);
    // A key with previews, one that starts with "1" (cannot be viewed) and one without previews.
    assert.equal(await call(page, 'eValueSetFiles', 'abcdef123/1nothere/zzzzzz999', 'DOC-1/DOC-2/DOC-3',
      'Harbour report/Closed file/No preview', '1/0/0', 'open.htm?doc=%id%'), 0);

    const bar = await waitFor(() => page.evaluate(() => window.zovUi.toolbar()), { what: 'the toolbar' });
    assert.equal(bar.items[0].id, 19, 'the search button leads');
    assert.equal(bar.items.length, 26);
    assert.equal(bar.items[0].label, 'Search Dialog');

    await waitForColour(page, rgb(HARBOUR[0]));
    await waitForBoxes(page, (b) => b.length === 3, 'three captions');
    await waitForRest(page, { quiet: 1000 });
    await page.screenshot({ path: join(REPO, 'doc', 'screenshots', 'evalue-desk.png') });
    // The two books without pages show the eValue pictures, each with its round logo.
    const logo = await share(page, EVALUE_LOGO, 16) * await page.evaluate(() => window.zovProbe.canvas().width * window.zovProbe.canvas().height);
    assert.ok(logo > 150, `${logo} pixels of the logos`);

    // A zoom posts the log: the document's key and the login.
    const from = service.requests.length;
    await zoomInto(page, rgb(HARBOUR[0]));
    const posts = await waitFor(() => {
      const p = since(from, (r) => r.method === 'POST');
      return p.length && p;
    }, { what: 'the preview log' });
    assert.equal(posts.length, 1);
    assert.equal(posts[0].url, '/svc/log.asmx');
    assert.match(posts[0].type, /^text\/xml/);
    for (const piece of ['<logobject>abcdef123</logobject>', '<vfUser>user01</vfUser>', '<vfPassword></vfPassword>', '<cryptKey>rovorezedov</cryptKey>'])
      assert.ok(posts[0].body.includes(piece), `${piece} in ${posts[0].body}`);
    assert.deepEqual(since(0, (r) => r.url.includes('fkey=')), [], 'with a login nothing is fetched by key');

    // Back on the desk a click on the caption writes the address with the identifier.
    await call(page, 'ZoomDown');
    await page.waitForFunction(([c]) => window.zovColour.share(c, 12) < 0.03, [rgb(HARBOUR[0])], { timeout: 30_000, polling: 100 });
    await waitForRest(page, { quiet: 800 });
    const [first] = await waitForBoxes(page, (b) => b.length === 3, 'three captions again');
    await page.mouse.click(first.x + 40, first.y);
    const eventFile = join(stack.prepared.dataHome, 'ZOVuvazaR', 'Event', instance.toString(16).toUpperCase().padStart(8, '0') + '.txt');
    await waitFor(() => existsSync(eventFile), { what: 'the event file' });
    assert.equal(await readFile(eventFile, 'utf8'), 'open.htm?doc=DOC-1');

    // The selection comes back as identifiers in desk order.
    await call(page, 'SetAllSelectedFlag', true);
    assert.equal(await call(page, 'eValueGetSelectedFiles'), 'DOC-1/DOC-2/DOC-3');
    const ticked = await waitForBoxes(page, (b) => b.length === 3 && b.every((x) => x.ticked), 'three ticked boxes');
    await page.mouse.click(ticked[1].x, ticked[1].y);
    await waitForBoxes(page, (b) => b.length === 3 && !b[1].ticked, 'the middle box cleared');
    assert.equal(await call(page, 'eValueGetSelectedFiles'), 'DOC-1/DOC-3');
    assert.deepEqual(await shownBoxes(page), []);
    await page.close();
  });

  test('without a login: the previews and the log go to the service address by key', SLOW, async () => {
    const page = await openEValue();
    const from = service.requests.length;
    assert.ok(await call(page, 'eValueInit', 'en', 'C0C0C0', true, '', '', service.url('/svc/get')) > 0);
    assert.equal(await call(page, 'eValueSetFiles', 'ghijkl456', 'DOC-9', 'Ferry timetable', '0', ''), 0);
    await waitForColour(page, rgb(FERRY[0]));
    const fetched = since(from, () => true).map((r) => r.url);
    assert.ok(fetched.includes('/svc/get?fkey=ghijkl456_00000001'), fetched.join('\n'));
    assert.ok(fetched.every((u) => u.startsWith('/svc/get?fkey=ghijkl456')), fetched.join('\n'));

    await zoomInto(page, rgb(FERRY[0]));
    await waitFor(() => since(from, (r) => r.url === '/svc/get?fkey=ghijkl456&l=1').length === 1, { what: 'the log by key' });
    assert.deepEqual(since(from, (r) => r.method !== 'GET'), []);
    assert.deepEqual(await shownBoxes(page), []);
    await page.close();
  });
});

describe('a desk with its list', () => {
  let harbour, ferry;

  before(async () => {
    // Names of their own: notes are kept per file name.
    harbour = await solidPdfWithPreviews(stack.prepared, 'quay.pdf', HARBOUR);
    ferry = await solidPdfWithPreviews(stack.prepared, 'boat.pdf', FERRY);
  }, { timeout: 300_000 });

  // Which of a book's pages show, by their colours.
  const showing = async (page, colours) => {
    const out = [];
    for (const [i, c] of colours.entries()) if (await share(page, rgb(c)) > 0.002) out.push(i + 1);
    return out;
  };

  test('OpenPages opens each book at its page, Refresh keeps them there, SetAllSelectedFlag ticks every box, ZoomUpFirstObject after a new list zooms its first book', SLOW, async () => {
    const page = await openDemo();
    await call(page, 'SetFiles', `<${harbour}><${ferry}>`);
    await waitForColour(page, rgb(HARBOUR[0]));
    await waitForColour(page, rgb(FERRY[0]));
    await waitForRest(page, { quiet: 800 });

    // A book asked for page n is laid at position n - 2 and turns one leaf:
    // three faces up and then one more leaf shows pages 4 and 5; four shows page 4
    // alone, the last.
    await call(page, 'OpenPages', '3/4');
    await page.waitForFunction(([a, b]) => window.zovColour.share(a, 12) > 0.002 && window.zovColour.share(b, 12) > 0.002,
      [rgb(HARBOUR[4]), rgb(FERRY[3])], { timeout: 60_000, polling: 200 });
    await waitForRest(page, { quiet: 1000 });
    const opened = { harbour: await showing(page, HARBOUR), ferry: await showing(page, FERRY) };
    assert.deepEqual(opened, { harbour: [4, 5], ferry: [4] });

    await afterFrames(page, () => call(page, 'Refresh'));
    assert.deepEqual({ harbour: await showing(page, HARBOUR), ferry: await showing(page, FERRY) }, opened, 'the same pages after Refresh');

    await call(page, 'SetAllSelectedFlag', false);
    await waitForBoxes(page, (b) => b.length === 2 && b.every((x) => !x.ticked), 'two empty boxes');
    await call(page, 'SetAllSelectedFlag', true);
    await waitForBoxes(page, (b) => b.length === 2 && b.every((x) => x.ticked), 'two ticked boxes');
    assert.equal(await call(page, 'GetSelectedFiles'), `<${harbour}><${ferry}>`);

    // As a page does it: the new list, then the wish to see its first book.
    await call(page, 'SetFiles', `<${ferry}><${harbour}>`);
    await call(page, 'ZoomUpFirstObject');
    // Zoomed, a book covers far more than the desk's books do.
    await waitForColour(page, rgb(FERRY[0]), 0.05);
    await waitForRest(page, { quiet: 1000 });
    assert.ok(await share(page, rgb(HARBOUR[0])) < 0.03, 'the second book stays on the desk');
    assert.deepEqual(await shownBoxes(page), []);
    await page.close();
  });
});

describe('a zoomed book driven by the script', () => {
  // Twelve pages of their own colours; the keyword on pages 3 and 9.
  const LOG = [[0.2, 0.8, 0.4], [0.9, 0.1, 0.1], [0.1, 0.1, 0.9], [0.6, 0.2, 0.8], [0.1, 0.9, 0.9], [0.9, 0.5, 0.1],
    [0.5, 0.3, 0.1], [0.95, 0.6, 0.8], [0.3, 0.3, 0.3], [0.5, 0.9, 0.1], [0.9, 0.9, 0.1], [0.1, 0.5, 0.5]];
  const pages = LOG.map((colour, i) => ({ colour, text: i === 2 || i === 8 ? 'kiwi harvest' : 'page ' + (i + 1) }));
  let logbook;

  before(async () => {
    const folder = join(stack.prepared.dir, 'extra');
    await mkdir(folder, { recursive: true });
    logbook = join(folder, 'logbook.pdf');
    await writeFile(logbook, textPdf(pages));
    await convert(['--root', join(stack.prepared.dir, 'previews'), '--mode', 'Folder', logbook]);
  }, { timeout: 300_000 });

  const showing = async (page) => {
    const out = [];
    for (const [i, c] of LOG.entries()) if (await share(page, rgb(c)) > 0.01) out.push(i + 1);
    return out;
  };

  test('the flip, automatic flip, scale, text search and open-mode methods turn and size the zoomed book; Search opens it at its hit', SLOW, async () => {
    const page = await openDemo();
    await call(page, 'SetFiles', `<${logbook}>`);
    await waitForColour(page, rgb(LOG[0]));
    await waitForRest(page, { quiet: 800 });
    await zoomInto(page, rgb(LOG[0]));
    assert.deepEqual(await showing(page), [1]);
    const steps = [['FlipLeft2', [10, 11]], ['FlipRight2', [1]], ['FlipLeftClose', [10, 11]], ['FlipRightClose', [1]],
      ['FlipLeft', [2, 3]], ['FlipLeft', [4, 5]], ['FlipRight', [2, 3]]];
    for (const [method, faces] of steps) {
      await afterFrames(page, () => call(page, method));
      assert.deepEqual(await showing(page), faces, `after ${method}`);
    }

    const size = () => page.evaluate(([d]) => window.zovProbe.coverage(d, 6, 0.3).all, [DESK]);
    const full = await size();
    await afterFrames(page, () => call(page, 'ScaleDown'));
    const smaller = await size();
    assert.ok(smaller < full * 0.7, `ScaleDown: ${full} -> ${smaller}`);
    await afterFrames(page, () => call(page, 'ScaleUp'));
    assert.ok(Math.abs(await size() - full) < 0.02, 'ScaleUp gives the size back');

    // Turning on its own until told to stop; then the picture rests.
    await call(page, 'FlipAuto');
    await waitFor(async () => (await showing(page)).includes(7), { timeout: 60_000, what: 'the automatic turns' });
    await call(page, 'FlipAuto');
    await waitForRest(page, { quiet: 1500 });
    const stopped = await showing(page);
    assert.ok(stopped[0] >= 6, `stopped at ${stopped}`);
    await afterFrames(page, () => call(page, 'FlipRight2'));

    // From the cover the keyword's pages in turn, and back.
    for (const [method, faces] of [['TextSearchNext', [2, 3]], ['TextSearchNext', [8, 9]], ['TextSearchPrev', [2, 3]]]) {
      await afterFrames(page, () => call(page, method, 'kiwi'));
      assert.deepEqual(await showing(page), faces, `after ${method}`);
    }
    // The three ways to open a book: one page, the spread flat, the spread half open.
    await afterFrames(page, () => call(page, 'SingleOpenPage'));
    assert.deepEqual(await showing(page), [2]);
    const single = await size();
    await afterFrames(page, () => call(page, 'CompleteOpenPage'));
    assert.deepEqual(await showing(page), [2, 3]);
    const flat = await size();
    assert.ok(flat > single * 1.5, `a flat spread is two pages wide: ${single} -> ${flat}`);
    await afterFrames(page, () => call(page, 'UnCompleteOpenPage'));
    assert.deepEqual(await showing(page), [2, 3]);
    assert.ok(await size() < flat * 0.7, 'the half-open spread lifts its left page');

    // On the desk, Search opens the closed book at its first page with the keyword.
    await afterFrames(page, () => call(page, 'ZoomDown'));
    await afterFrames(page, () => call(page, 'Search', 'kiwi'));
    assert.deepEqual(await showing(page), [3]);
    assert.deepEqual(await shownBoxes(page), []);
    await page.close();
  });
});
