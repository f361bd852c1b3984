// Start-up shared by the browser tests and the benchmarks: a demo corpus and its
// previews in a temporary folder, the server registered there, a real zov-host on a
// free port and a headless Chromium.
import { spawn, execFile } from 'node:child_process';
import { mkdtemp, mkdir, readdir, rm, writeFile } from 'node:fs/promises';
import { tmpdir } from 'node:os';
import { join, dirname, resolve } from 'node:path';
import { createInterface } from 'node:readline';
import { fileURLToPath } from 'node:url';
import { promisify } from 'node:util';

const execFileP = promisify(execFile);
const here = dirname(fileURLToPath(import.meta.url));
const repo = resolve(here, '..', '..');

// Where the binaries are: CTest passes them; by hand the sanitizer build is the default.
export function paths() {
  const build = join(repo, 'build', 'asan');
  return {
    host: process.env.ZOV_HOST || join(build, 'host', 'zov-host'),
    regsvr: process.env.ZOV_REGSVR || join(build, 'host', 'zov-regsvr'),
    serverLib: process.env.ZOV_SERVER_LIB || join(build, 'control', 'libZOVuvazaR.so'),
    relayLib: process.env.ZOV_RELAY_LIB || join(build, 'eventctl', 'libZOZozovuDOvezo.so'),
    // A test server that records what its window gives it (tests/host).
    recording: process.env.ZOV_RECORDING_CONTROL || join(build, 'tests', 'libzov_recording_control.so'),
    tools: process.env.ZOV_TOOLS || join(build, 'tools'),
    web: process.env.ZOV_WEB || join(build, 'web'),
  };
}

async function run(file, args, env) {
  try {
    return await execFileP(file, args, { env, maxBuffer: 64 << 20, timeout: 300_000 });
  } catch (err) {
    throw new Error(`${file} ${args.join(' ')} failed (${err.code ?? err.signal}):\n${err.stderr || err.message}`);
  }
}

// Makes the corpus, its previews and the registration in a fresh temporary folder.
export async function prepare() {
  const p = paths();
  const dir = await mkdtemp(join(tmpdir(), 'zov-web-'));
  const dataHome = join(dir, 'data-home');
  await mkdir(dataHome, { recursive: true });
  const env = { ...process.env, ZOV_DATA_HOME: dataHome };
  try {
    const corpus = join(dir, 'corpus');
    await run(join(p.tools, 'zov-demo-corpus'), [corpus], env);
    const docs = (await readdir(corpus))
      .filter((f) => /\.(pdf|png|jpg)$/i.test(f))
      .sort()
      .map((f) => join(corpus, f));
    await run(join(p.tools, 'zov-convert'), ['--root', join(dir, 'previews'), '--mode', 'Folder', ...docs], env);
    await run(p.regsvr, [p.serverLib], env);
    await run(p.regsvr, [p.relayLib], env);
    return { dir, dataHome, env, docs };
  } catch (err) {
    await rm(dir, { recursive: true, force: true });
    throw err;
  }
}

// Starts zov-host on a free port; resolves once it says where it listens.
export async function startHost(prepared, extraArgs = []) {
  const p = paths();
  // The host's data folder is where zov-regsvr wrote the registration.
  const args = ['--port', '0', '--data-dir', prepared.dataHome, '--web', p.web, '--demo', prepared.dir, ...extraArgs];
  const child = spawn(p.host, args, { env: prepared.env, stdio: ['ignore', 'pipe', 'pipe'] });
  const log = [];
  const remember = (line) => {
    log.push(line);
    if (log.length > 400) log.splice(0, log.length - 400);
  };
  createInterface({ input: child.stderr }).on('line', remember);
  const exited = new Promise((res) => child.once('exit', (code, signal) => res({ code, signal })));

  const base = await new Promise((res, rej) => {
    const timer = setTimeout(() => rej(new Error('zov-host did not start in time:\n' + log.join('\n'))), 120_000);
    const lines = createInterface({ input: child.stdout });
    lines.on('line', (line) => {
      remember(line);
      const m = /^zov-host: listening on (http:\/\/127\.0\.0\.1:(\d+)\/)/.exec(line);
      if (m) {
        clearTimeout(timer);
        res(m[1]);
      }
    });
    child.once('error', (err) => { clearTimeout(timer); rej(err); });
    exited.then(({ code, signal }) => {
      clearTimeout(timer);
      rej(new Error(`zov-host exited (${code ?? signal}) before listening:\n` + log.join('\n')));
    });
  });
  const port = Number(new URL(base).port);

  return {
    base, port, child, log,
    // Ends the host; resolves with how it ended.
    async stop() {
      if (child.exitCode !== null || child.signalCode !== null) return exited;
      child.kill('SIGTERM');
      const killer = setTimeout(() => child.kill('SIGKILL'), 10_000);
      const how = await exited;
      clearTimeout(killer);
      return how;
    },
  };
}

export async function launchBrowser(chromium, { width = 1280, height = 800, deviceScaleFactor = 1 } = {}) {
  const browser = await chromium.launch({
    executablePath: process.env.ZOV_CHROMIUM || '/usr/bin/chromium',
    args: ['--no-sandbox', '--disable-background-networking'],
    headless: true,
  });
  const context = await browser.newContext({ viewport: { width, height }, deviceScaleFactor });
  return { browser, context };
}

// Everything at once, with one function that undoes it all whatever went wrong.
export async function startAll({ chromium, viewport, hostArgs = [] } = {}) {
  const undo = [];
  const cleanup = async () => {
    const errors = [];
    while (undo.length) {
      try { await undo.pop()(); } catch (err) { errors.push(err); }
    }
    if (errors.length) console.error('cleanup:', ...errors);
  };
  try {
    const prepared = await prepare();
    undo.push(() => rm(prepared.dir, { recursive: true, force: true }));
    const host = await startHost(prepared, hostArgs);
    undo.push(async () => {
      const how = await host.stop();
      if (how.code !== 0 && how.signal !== 'SIGTERM')
        console.error(`zov-host ended with ${how.code ?? how.signal}:\n` + host.log.slice(-40).join('\n'));
    });
    const { browser, context } = await launchBrowser(chromium, viewport);
    undo.push(() => browser.close());
    return { prepared, host, browser, context, cleanup };
  } catch (err) {
    await cleanup();
    throw err;
  }
}

// A PDF of `colours.length` pages, each one solid colour ([r, g, b] in 0..1).
export function solidPdf(colours) {
  const objects = ['<< /Type /Catalog /Pages 2 0 R >>', ''];
  const kids = [];
  for (const [r, g, b] of colours) {
    const content = `${r} ${g} ${b} rg 0 0 420 595 re f`;
    const page = objects.length + 1;
    kids.push(`${page} 0 R`);
    objects.push(`<< /Type /Page /Parent 2 0 R /MediaBox [0 0 420 595] /Contents ${page + 1} 0 R >>`);
    objects.push(`<< /Length ${content.length} >>\nstream\n${content}\nendstream`);
  }
  objects[1] = `<< /Type /Pages /Kids [${kids.join(' ')}] /Count ${colours.length} >>`;
  let text = '%PDF-1.4\n';
  const offsets = [];
  objects.forEach((body, i) => {
    offsets.push(text.length);
    text += `${i + 1} 0 obj\n${body}\nendobj\n`;
  });
  const xref = text.length;
  text += `xref\n0 ${objects.length + 1}\n0000000000 65535 f \n`;
  for (const at of offsets) text += `${String(at).padStart(10, '0')} 00000 n \n`;
  text += `trailer\n<< /Size ${objects.length + 1} /Root 1 0 R >>\nstartxref\n${xref}\n%%EOF\n`;
  return text;
}

// A PDF whose pages are {colour, text}: one solid colour each with a line of text on it.
export function textPdf(pages) {
  const objects = ['<< /Type /Catalog /Pages 2 0 R >>', '', '<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>'];
  const kids = [];
  for (const { colour: [r, g, b], text } of pages) {
    const content = `${r} ${g} ${b} rg 0 0 420 595 re f 0 0 0 rg BT /F1 14 Tf 40 60 Td (${text}) Tj ET`;
    const page = objects.length + 1;
    kids.push(`${page} 0 R`);
    objects.push(`<< /Type /Page /Parent 2 0 R /MediaBox [0 0 420 595] /Resources << /Font << /F1 3 0 R >> >> /Contents ${page + 1} 0 R >>`);
    objects.push(`<< /Length ${content.length} >>\nstream\n${content}\nendstream`);
  }
  objects[1] = `<< /Type /Pages /Kids [${kids.join(' ')}] /Count ${pages.length} >>`;
  let out = '%PDF-1.4\n';
  const offsets = [];
  objects.forEach((body, i) => {
    offsets.push(out.length);
    out += `${i + 1} 0 obj\n${body}\nendobj\n`;
  });
  const xref = out.length;
  out += `xref\n0 ${objects.length + 1}\n0000000000 65535 f \n`;
  for (const at of offsets) out += `${String(at).padStart(10, '0')} 00000 n \n`;
  out += `trailer\n<< /Size ${objects.length + 1} /Root 1 0 R >>\nstartxref\n${xref}\n%%EOF\n`;
  return out;
}

// Writes a PDF of solid `colours` to `file` (beside the demo's documents, not among
// them: the demo lists its folder) and makes its previews where the demo's are.
export async function solidPdfWithPreviews(prepared, name, colours) {
  const folder = join(prepared.dir, 'extra');
  await mkdir(folder, { recursive: true });
  const file = join(folder, name);
  await writeFile(file, solidPdf(colours));
  await run(join(paths().tools, 'zov-convert'), ['--root', join(prepared.dir, 'previews'), '--mode', 'Folder', file], prepared.env);
  return file;
}

// ---------------------------------------------------------------------------
// Helpers run in the page (passed to page.evaluate / waitForFunction).

// Polls `fn` in node until it returns a truthy value.
export async function waitFor(fn, { timeout = 30_000, interval = 50, what = 'condition' } = {}) {
  const end = Date.now() + timeout;
  let last;
  for (;;) {
    last = await fn();
    if (last) return last;
    if (Date.now() > end) throw new Error(`timed out waiting for ${what}`);
    await new Promise((r) => setTimeout(r, interval));
  }
}

// The paths of the books on a viewer's desk, in desk order, by selecting them
// all (they stay selected).
export function deskPaths(page, sel = 'zov-viewer') {
  return page.evaluate(async (s) => {
    const v = document.querySelector(s);
    await v.SetAllSelectedFlag(true);
    const list = await v.GetSelectedFiles();
    return (list.match(/<[^>]*>/g) || []).map((item) => item.slice(1, -1));
  }, sel);
}

// Installs window.zovProbe in the page: pixel statistics of a viewer's canvas.
export const probeSource = String.raw`
window.zovProbe = {
  // When a frame last changed pixels, per element: empty frames do not count.
  changes: new WeakMap(),
  lastChange(sel) {
    const el = document.querySelector(sel || 'zov-viewer');
    return (el && this.changes.get(el)) || null;
  },
  canvas(sel) {
    const el = document.querySelector(sel || 'zov-viewer');
    return el && el.shadowRoot.querySelector('canvas');
  },
  pixels(sel) {
    const c = this.canvas(sel);
    if (!c || !c.width || !c.height) return null;
    return { w: c.width, h: c.height, data: c.getContext('2d').getImageData(0, 0, c.width, c.height).data };
  },
  isDesk(d, i, desk, tol) {
    return Math.abs(d[i] - desk[0]) <= tol && Math.abs(d[i + 1] - desk[1]) <= tol && Math.abs(d[i + 2] - desk[2]) <= tol;
  },
  // Share of non-desk pixels, overall and in a centred box of the given fraction.
  coverage(desk, tol, box, sel) {
    const p = this.pixels(sel);
    if (!p) return null;
    const bw = Math.floor(p.w * box), bh = Math.floor(p.h * box);
    const x0 = (p.w - bw) >> 1, y0 = (p.h - bh) >> 1;
    let all = 0, centre = 0;
    for (let y = 0; y < p.h; y++) {
      for (let x = 0; x < p.w; x++) {
        if (this.isDesk(p.data, (y * p.w + x) * 4, desk, tol)) continue;
        all++;
        if (x >= x0 && x < x0 + bw && y >= y0 && y < y0 + bh) centre++;
      }
    }
    return { all: all / (p.w * p.h), centre: centre / Math.max(1, bw * bh), w: p.w, h: p.h };
  },
  // A copy of the picture, kept in the page for comparisons.
  snapshot(name, sel) {
    const p = this.pixels(sel);
    this[name] = p && { w: p.w, h: p.h, data: p.data.slice() };
    return !!p;
  },
  // Share of pixels that differ clearly from a snapshot.
  changedSince(name, sel) {
    const a = this[name], b = this.pixels(sel);
    if (!a || !b) return null;
    if (a.w !== b.w || a.h !== b.h) return 1;
    let n = 0;
    for (let i = 0; i < a.data.length; i += 4) {
      if (Math.abs(a.data[i] - b.data[i]) + Math.abs(a.data[i + 1] - b.data[i + 1]) + Math.abs(a.data[i + 2] - b.data[i + 2]) > 24) n++;
    }
    return n / (a.w * a.h);
  },
  // The middle of the solid non-desk region with the most ink (a book with a picture
  // rather than a blank placeholder, a caption or a shadow), in CSS pixels relative
  // to the page; null when there is none.
  largestObject(desk, tol, sel) {
    const p = this.pixels(sel), cell = 8;
    if (!p) return null;
    const cw = Math.floor(p.w / cell), ch = Math.floor(p.h / cell);
    const solid = new Uint8Array(cw * ch), inked = new Uint8Array(cw * ch);
    for (let cy = 0; cy < ch; cy++) {
      for (let cx = 0; cx < cw; cx++) {
        let ok = 1, ink = 0;
        for (let y = cy * cell; ok && y < cy * cell + cell; y += 2) {
          for (let x = cx * cell; x < cx * cell + cell; x += 2) {
            const i = (y * p.w + x) * 4;
            if (this.isDesk(p.data, i, desk, tol)) { ok = 0; break; }
            if (p.data[i] + p.data[i + 1] + p.data[i + 2] < 600) ink = 1;
          }
        }
        solid[cy * cw + cx] = ok;
        inked[cy * cw + cx] = ok & ink;
      }
    }
    const seen = new Uint8Array(cw * ch);
    let best = null, bestInk = -1;
    for (let start = 0; start < solid.length; start++) {
      if (!solid[start] || seen[start]) continue;
      const stack = [start], cells = [];
      let ink = 0;
      seen[start] = 1;
      while (stack.length) {
        const i = stack.pop();
        cells.push(i);
        ink += inked[i];
        const x = i % cw, y = (i / cw) | 0;
        for (const [nx, ny] of [[x + 1, y], [x - 1, y], [x, y + 1], [x, y - 1]]) {
          if (nx < 0 || ny < 0 || nx >= cw || ny >= ch) continue;
          const j = ny * cw + nx;
          if (solid[j] && !seen[j]) { seen[j] = 1; stack.push(j); }
        }
      }
      if (ink > bestInk) { best = cells; bestInk = ink; }
    }
    if (!best) return null;
    // The solid cell nearest the region's centroid, so that odd shapes still hit.
    let sx = 0, sy = 0;
    for (const i of best) { sx += i % cw; sy += (i / cw) | 0; }
    sx /= best.length; sy /= best.length;
    let pick = best[0], dist = Infinity;
    for (const i of best) {
      const d = (i % cw - sx) ** 2 + (((i / cw) | 0) - sy) ** 2;
      if (d < dist) { dist = d; pick = i; }
    }
    const c = this.canvas(sel), rect = c.getBoundingClientRect(), dpr = devicePixelRatio;
    return {
      x: rect.left + ((pick % cw) * cell + cell / 2) / dpr,
      y: rect.top + (((pick / cw) | 0) * cell + cell / 2) / dpr,
      cells: best.length,
    };
  },
};
// Frame events do not bubble, but the capture phase sees them all.
window.addEventListener('zov-frame', (e) => {
  if (!e.detail || !e.detail.tiles) return;
  let c = window.zovProbe.changes.get(e.target);
  if (!c) window.zovProbe.changes.set(e.target, (c = { time: 0, frames: 0 }));
  c.time = e.detail.time;
  c.frames++;
}, true);
`;

// A new page of `stack` on the demo, once its books lie on the desk (some
// pixels differ from the desk colour, most do not) and the picture rests.
export async function openDemoDesk(stack) {
  const page = await stack.context.newPage();
  page.on('pageerror', (err) => console.error('page error:', err));
  await page.goto(stack.host.base + 'demo/');
  await page.waitForFunction(() => {
    const c = window.zovProbe.coverage([0xc0, 0xc0, 0xc0], 6, 0.3);
    return c && c.all > 0.02 && c.all < 0.8;
  }, null, { timeout: 120_000, polling: 200 });
  await waitForRest(page);
  return page;
}

// Resolves once the viewer's picture has not changed for `quiet` ms. The page must
// have the probe (context.addInitScript(probeSource)).
export async function waitForRest(page, { quiet = 600, timeout = 30_000, sel = 'zov-viewer' } = {}) {
  await page.waitForFunction(
    ([s, q]) => {
      const c = window.zovProbe.lastChange(s);
      return c && c.frames > 0 && performance.now() - c.time > q;
    },
    [sel, quiet],
    { timeout, polling: 100 },
  );
}
