// How quickly a page turn reaches the screen, and what a running turn costs:
// (a) from a FlipLeft() call to the first frame drawn after it;
// (b) frames drawn per second and bytes per frame while FlipAuto turns pages;
// (c) the ceiling: a bare WebSocket loop in the same browser with the median
// frame size, one message in flight and as many as the container allows.
import { chromium } from 'playwright-core';
import { startAll, probeSource, waitForRest } from '../tests/harness.mjs';
import { wireCeiling } from './wire.mjs';

// Frames the container keeps unanswered per element, and how many a loop
// with more in flight would reach.
const FRAMES_IN_FLIGHT = 1;
const MORE_IN_FLIGHT = 3;

const TURNS = 10;
const AUTO_SECONDS = 5;

function median(xs) {
  const s = [...xs].sort((a, b) => a - b);
  const m = s.length >> 1;
  return s.length % 2 ? s[m] : (s[m - 1] + s[m]) / 2;
}
const mean = (xs) => xs.reduce((a, b) => a + b, 0) / xs.length;
const ms = (x) => x.toFixed(1) + ' ms';

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

  // (b) A running turn.
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
    const many = await wireCeiling(stack.context, { size, inFlight: MORE_IN_FLIGHT });
    console.log(`Bare WebSocket loop of ${size}-byte messages: ${one.perSecond.toFixed(1)}/s with ${FRAMES_IN_FLIGHT} in flight` +
      ` (as the container allows), ${many.perSecond.toFixed(1)}/s with ${MORE_IN_FLIGHT}`);
    console.log(`FlipAuto against the ceiling: ${(fps / one.perSecond).toFixed(2)} ` +
      `(${fps.toFixed(1)} of ${one.perSecond.toFixed(1)} frames/s)`);
  }
} catch (err) {
  failed = true;
  console.error(err);
} finally {
  await stack.cleanup();
}
process.exitCode = failed ? 1 : 0;
