// Pictures of the demo for the documentation: the desk with its books, and a zoomed
// book in the middle of a turn. Written to doc/screenshots/ at the top of the tree.
import { mkdir } from 'node:fs/promises';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';
import { chromium } from 'playwright-core';
import { startAll, probeSource, waitForRest } from '../tests/harness.mjs';

const out = resolve(dirname(fileURLToPath(import.meta.url)), '..', '..', 'doc', 'screenshots');
const DESK = [0xc0, 0xc0, 0xc0];

const stack = await startAll({ chromium, viewport: { width: 1280, height: 800, deviceScaleFactor: 1 } });
let failed = false;
try {
  await mkdir(out, { recursive: true });
  await stack.context.addInitScript(probeSource);
  const page = await stack.context.newPage();
  await page.goto(stack.host.base + 'demo/');
  await page.evaluate(() => window.demo.started);
  await page.waitForFunction((d) => {
    const c = window.zovProbe.coverage(d, 6, 0.3);
    return c && c.all > 0.02;
  }, DESK, { timeout: 120_000, polling: 200 });
  await waitForRest(page, { quiet: 1000, timeout: 120_000 });
  await page.screenshot({ path: join(out, 'desk.png') });
  console.log('wrote', join(out, 'desk.png'));

  // The toolbar with a tooltip, the speed menu and a dialog, in English.
  const shot = async (p, name) => {
    // Past the tooltip's delay.
    await p.waitForTimeout(900);
    await p.screenshot({ path: join(out, name) });
    console.log('wrote', join(out, name));
  };
  const toolbarButton = (p, id) => p.locator(`#viewer .toolbar button[data-id="${id}"]`);
  await toolbarButton(page, 5).hover();
  await shot(page, 'toolbar-en.png');
  await toolbarButton(page, 10).click();
  await page.locator('#viewer [role="menu"]').waitFor({ timeout: 30_000 });
  await shot(page, 'menu.png');
  await page.keyboard.press('Escape');
  // The About box is modal: its call returns once it is closed.
  const about = page.evaluate(() => window.demo.viewer.AboutBox());
  await page.locator('#viewer [role="dialog"]').waitFor({ timeout: 30_000 });
  await shot(page, 'dialog.png');
  await page.keyboard.press('Enter');
  await about;
  await page.close();

  const japanese = await stack.context.newPage();
  await japanese.goto(stack.host.base + 'demo/?lang=ja');
  await japanese.evaluate(() => window.demo.started);
  await waitForRest(japanese, { quiet: 1000, timeout: 120_000 });
  await toolbarButton(japanese, 9).hover();
  await shot(japanese, 'toolbar-ja.png');
  await japanese.close();

  // A fresh viewer that zooms the first book up as soon as it is loaded.
  const zoomed = await stack.context.newPage();
  await zoomed.goto(stack.host.base + 'demo/?files=0');
  await zoomed.evaluate(async () => {
    await window.demo.started;
    await window.demo.viewer.ZoomUpFirstObject();
    await window.demo.showFiles();
  });
  await zoomed.waitForFunction((d) => {
    const c = window.zovProbe.coverage(d, 6, 0.3);
    return c && c.all > 0.25;
  }, DESK, { timeout: 120_000, polling: 200 });
  await waitForRest(zoomed, { quiet: 1000, timeout: 120_000 });
  // A few frames into the turn, when the curl is well under way.
  await zoomed.evaluate(() => new Promise((resolve, reject) => {
    const v = window.demo.viewer;
    let n = 0;
    const timer = setTimeout(() => reject(new Error('the page did not turn')), 20_000);
    v.addEventListener('zov-frame', function count(e) {
      if (!e.detail.tiles || ++n < 3) return;
      v.removeEventListener('zov-frame', count);
      clearTimeout(timer);
      resolve();
    });
    v.FlipLeft().catch(reject);
  }));
  await zoomed.screenshot({ path: join(out, 'turning.png') });
  console.log('wrote', join(out, 'turning.png'));
} catch (err) {
  failed = true;
  console.error(err);
} finally {
  await stack.cleanup();
}
process.exitCode = failed ? 1 : 0;
