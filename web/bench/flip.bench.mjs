// How quickly a page turn reaches the screen, and what a running turn costs:
// (a) from a FlipLeft() call to the first frame drawn after it;
// (b) frames drawn per second and bytes per frame while FlipAuto turns pages;
// (c) the ceiling: a bare WebSocket loop in the same browser with the median
// frame size, one message in flight and as many as the container allows;
// (d) where a running turn's frames spend their time, from the container's
// frame trace (host/FrameTrace.h).
import { chromium } from 'playwright-core';
import { readFile, rm, writeFile } from 'node:fs/promises';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { startAll, probeSource, waitForRest } from '../tests/harness.mjs';
import { wireCeiling } from './wire.mjs';

// Frames the container keeps unanswered per element (host/TileFrame.h).
const FRAMES_IN_FLIGHT = 3;

const TURNS = 10;
const AUTO_SECONDS = 5;

function median(xs) {
  const s = [...xs].sort((a, b) => a - b);
  const m = s.length >> 1;
  return s.length % 2 ? s[m] : (s[m - 1] + s[m]) / 2;
}
const mean = (xs) => xs.reduce((a, b) => a + b, 0) / xs.length;
const ms = (x) => x.toFixed(1) + ' ms';
const quantile = (xs, q) => [...xs].sort((a, b) => a - b)[Math.min(xs.length - 1, Math.floor(q * xs.length))];

// The container writes a line per acknowledged frame:
// element sequence bytes tiles presented began ended acked (microseconds).
const TRACE = join(tmpdir(), `zov-frame-trace-${process.pid}.txt`);
process.env.ZOV_FRAME_TRACE = TRACE;

async function readTrace() {
  const lines = (await readFile(TRACE, 'utf8')).split('\n').filter(Boolean);
  return lines.map((l) => {
    const [el, seq, bytes, tiles, presented, began, ended, acked] = l.split(' ').map(Number);
    return { el, seq, bytes, tiles, presented, began, ended, acked };
  });
}

function printTrace(frames) {
  if (frames.length < 2) return;
  const stage = (name, xs) => console.log(`  ${name.padEnd(44)} median ${ms(median(xs))}, 90th ${ms(quantile(xs, 0.9))}`);
  const gaps = frames.slice(1).map((f, i) => (f.presented - frames[i].presented) / 1000);
  console.log(`FlipAuto frame trace (${frames.length} frames):`);
  stage('presented to presented (the viewer\'s pace)', gaps);
  stage('presented to encoding (waiting for credit)', frames.map((f) => (f.began - f.presented) / 1000));
  stage('encoding (compare and code the tiles)', frames.map((f) => (f.ended - f.began) / 1000));
  stage('encoded to acknowledged (send, draw, answer)', frames.map((f) => (f.acked - f.ended) / 1000));
}

const stack = await startAll({
  chromium,
  viewport: { width: 1920, height: 1080, deviceScaleFactor: 1 },
  hostArgs: ['--speed', '50'],
});
let failed = false;
try {
  await stack.context.addInitScript(probeSource);
  const page = await stack.context.newPage();
  await page.goto(stack.host.base + 'demo/?files=0');
  await page.evaluate(() => window.demo.started);
  await page.evaluate(async () => {
    await window.demo.viewer.ZoomUpFirstObject();
    await window.demo.showFiles();
  });
  await page.waitForFunction(() => window.zovProbe.lastChange() && window.zovProbe.lastChange().frames > 0, null,
    { timeout: 120_000 });
  await waitForRest(page, { quiet: 1000, timeout: 120_000 });
  const size = await page.evaluate(() => {
    const c = window.demo.viewer.shadowRoot.querySelector('canvas');
    return `${c.width} x ${c.height}`;
  });

  // (a) The latency of a turn.
  const latencies = [];
  for (let i = 0; i < TURNS; i++) {
    const latency = await page.evaluate(() => new Promise((resolve, reject) => {
      const v = window.demo.viewer;
      let start = 0;
      const timer = setTimeout(() => reject(new Error('no frame after FlipLeft')), 20_000);
      v.addEventListener('zov-frame', function first(e) {
        if (!start || !e.detail.tiles) return;
        v.removeEventListener('zov-frame', first);
        clearTimeout(timer);
        resolve(e.detail.time - start);
      });
      start = performance.now();
      v.FlipLeft().catch(reject);
    }));
    latencies.push(latency);
    await waitForRest(page, { quiet: 800, timeout: 60_000 });
  }

  // (b) A running turn, traced from here on.
  await writeFile(TRACE, '');
  const auto = await page.evaluate((seconds) => new Promise((resolve, reject) => {
    const v = window.demo.viewer;
    const frames = [];
    const onFrame = (e) => frames.push(e.detail);
    v.FlipAuto().catch(reject);
    // The first frame starts the clock, so that the call's own delay is not counted.
    v.addEventListener('zov-frame', function first(e) {
      v.removeEventListener('zov-frame', first);
      const t0 = e.detail.time;
      v.addEventListener('zov-frame', onFrame);
      setTimeout(() => {
        v.removeEventListener('zov-frame', onFrame);
        resolve({ elapsed: performance.now() - t0, frames });
      }, seconds * 1000);
    });
  }), AUTO_SECONDS);
  await page.evaluate(() => window.demo.viewer.FlipAuto());  // toggles the automatic turning off
  const traced = await readTrace();

  const bytes = auto.frames.map((f) => f.bytes);
  const withTiles = auto.frames.filter((f) => f.tiles > 0).length;
  console.log(`viewer: ${size} device pixels, --speed 50`);
  console.log(`FlipLeft to first frame: median ${ms(median(latencies))}, worst ${ms(Math.max(...latencies))} (${TURNS} turns)`);
  console.log(`FlipAuto: ${(auto.frames.length / (auto.elapsed / 1000)).toFixed(1)} frames/s over ${(auto.elapsed / 1000).toFixed(1)} s` +
    ` (${withTiles} of ${auto.frames.length} with changed tiles)`);
  if (bytes.length) {
    const draws = auto.frames.map((f) => f.draw);
    console.log(`FlipAuto bytes per frame: median ${Math.round(median(bytes))}, mean ${Math.round(mean(bytes))}`);
    console.log(`FlipAuto page time per frame (parse and draw): median ${ms(median(draws))}, worst ${ms(Math.max(...draws))}`);

    // (c) The ceiling, measured now so that it meets the same machine.
    const size = Math.round(median(bytes));
    const fps = auto.frames.length / (auto.elapsed / 1000);
    const one = await wireCeiling(stack.context, { size, inFlight: 1 });
    const many = await wireCeiling(stack.context, { size, inFlight: FRAMES_IN_FLIGHT });
    console.log(`Bare WebSocket loop of ${size}-byte messages: ${one.perSecond.toFixed(1)}/s one in flight, ` +
      `${many.perSecond.toFixed(1)}/s with ${FRAMES_IN_FLIGHT} in flight`);
    console.log(`FlipAuto against the ceiling: ${(fps / many.perSecond).toFixed(2)} ` +
      `(${fps.toFixed(1)} of ${many.perSecond.toFixed(1)} frames/s)`);
  }
  printTrace(traced);
} catch (err) {
  failed = true;
  console.error(err);
} finally {
  await stack.cleanup();
  await rm(TRACE, { force: true });
}
process.exitCode = failed ? 1 : 0;
