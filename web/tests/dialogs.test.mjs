// A modeless dialog with a colour swatch and a colour button, as a reader
// sees it: through a real zov-host and a real headless Chromium, with the
// test server of the container's tests (tests/host/RecordingControl.cpp),
// whose dialog shows the chosen colour when the container tells it. Also
// whether the container learns that the element cannot be seen.
import { describe, test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { execFile } from 'node:child_process';
import { promisify } from 'node:util';
import { chromium } from 'playwright-core';
import { startAll, paths, waitFor } from './harness.mjs';

const SLOW = { timeout: 180_000 };
const RECORDING = '{6A1F3C52-8E0B-4D7A-B915-2C4E7F0A9D36}';
const SWATCH = 5, COLOUR_BUTTON = 4, COMMENT = 253;

let stack, page;

before(async () => {
  stack = await startAll({ chromium, viewport: { width: 1280, height: 800 } });
  await promisify(execFile)(paths().regsvr, [paths().recording], { env: stack.prepared.env });
  page = await stack.context.newPage();
  page.on('pageerror', (err) => console.error('page error:', err));
  await page.goto(stack.host.base + 'demo/?files=0');
  await page.evaluate(async (clsid) => {
    const v = document.createElement('zov-viewer');
    v.id = 'rec';
    v.setAttribute('clsid', clsid);
    v.style.cssText = 'position: fixed; left: 0; top: 0; width: 640px; height: 420px; z-index: 10;';
    document.body.append(v);
    await v.ready;
    // The chooser is the browser's own window; the test sees that it was
    // asked for, and whether from the reader's click.
    window.zovPickers = [];
    HTMLInputElement.prototype.showPicker = function () {
      window.zovPickers.push({ type: this.type, value: this.value, active: navigator.userActivation.isActive });
    };
  }, RECORDING);
}, { timeout: 600_000 });

after(async () => {
  await page?.close();
  if (stack) await stack.cleanup();
});

const call = (name, args = []) => page.evaluate(([n, a]) => document.getElementById('rec').invoke(n, a), [name, args]);
const report = (h) => call('Report', [h]);
const activations = async (h) => Number(/activations (\d+)/.exec(await report(h))[1]);

// Where the dialog's parts are, in CSS pixels of the page.
function layout() {
  return page.evaluate(([swatch, button, comment]) => {
    const root = document.getElementById('rec').shadowRoot, dlg = root.querySelector('.dlg');
    if (!dlg) return null;
    const box = (n) => {
      if (!n) return null;
      const r = n.getBoundingClientRect();
      return { left: r.left, right: r.right, top: r.top, bottom: r.bottom, width: r.width, height: r.height };
    };
    const sw = dlg.querySelector(`[data-ctl="${swatch}"]`);
    const active = root.activeElement;
    return {
      hidden: dlg.hidden, modal: dlg.getAttribute('aria-modal'),
      swatch: box(sw), background: sw && getComputedStyle(sw).backgroundColor,
      button: box(dlg.querySelector(`button[data-ctl="${button}"]`)),
      comment: dlg.querySelector(`[data-ctl="${comment}"]`)?.tagName,
      focused: active && dlg.contains(active) ? Number(active.dataset.ctl) || active.tagName : null,
    };
  }, [SWATCH, COLOUR_BUTTON, COMMENT]);
}

describe('a modeless dialog with a colour', () => {
  let dialog;

  test('the swatch stands beside the colour button, and the dialog is active when it comes', SLOW, async () => {
    dialog = await call('Dialog');
    assert.ok(dialog >= 2000, `a handle, not ${dialog}`);
    const shown = await waitFor(layout, { what: 'the dialog' });
    assert.equal(shown.modal, 'false');
    assert.equal(shown.comment, 'TEXTAREA');
    assert.equal(shown.focused, COMMENT);
    const { swatch, button } = shown;
    assert.ok(Math.abs(swatch.height - button.height) < 0.5, `as high as the button: ${swatch.height} ${button.height}`);
    assert.ok(Math.abs(swatch.top - button.top) < 0.5, 'on one line with it');
    assert.ok(Math.abs(swatch.width - 1.6 * button.height) < 0.5, `1.6 times as wide as high: ${swatch.width}`);
    assert.ok(Math.abs(button.left - swatch.right - 10) < 0.5, `10 px left of it: ${button.left - swatch.right}`);
    assert.equal(shown.background, 'rgb(255, 255, 255)');
    // Shown with the focus in it: the control heard that it became active.
    await waitFor(async () => (await activations(dialog)) === 1, { what: 'the activation' });
  });

  test('the colour button opens the chooser from the click, and the choice comes back through the container', SLOW, async () => {
    const root = page.locator('#rec');
    await root.locator(`button[data-ctl="${COLOUR_BUTTON}"]`).click();
    const pickers = await page.evaluate(() => window.zovPickers);
    assert.deepEqual(pickers, [{ type: 'color', value: '#ffffff', active: true }]);

    // The chooser closes on a colour.
    await page.evaluate(() => {
      const input = document.getElementById('rec').shadowRoot.querySelector('input[type="color"]');
      input.value = '#1a2b3c';
      input.dispatchEvent(new Event('change', { bubbles: true }));
    });
    await waitFor(async () => (await layout()).background === 'rgb(26, 43, 60)', { what: 'the swatch to change' });
    assert.match(await report(dialog), /colour #1a2b3c/);
    // The next opening starts from it.
    await root.locator(`button[data-ctl="${COLOUR_BUTTON}"]`).click();
    assert.equal((await page.evaluate(() => window.zovPickers))[1].value, '#1a2b3c');
  });

  test('the dialog is activated by the keyboard or by being shown, not by a click into it', SLOW, async () => {
    const before = await activations(dialog);
    const focusCanvas = () => page.evaluate(() => document.getElementById('rec')._focusCanvas());
    await focusCanvas();
    await page.locator('#rec').locator(`[data-ctl="${COMMENT}"]`).click();
    assert.equal((await layout()).focused, COMMENT);
    // Nothing is sent for the click; a later message proves none was.
    assert.equal(await activations(dialog), before);

    await focusCanvas();
    await page.keyboard.press('Tab');
    assert.notEqual((await layout()).focused, null, 'Tab goes from the picture into the dialog');
    await waitFor(async () => (await activations(dialog)) === before + 1, { what: 'the activation by Tab' });

    await call('Show', [dialog, false]);
    await waitFor(async () => (await layout()).hidden === true, { what: 'the dialog to hide' });
    await call('Show', [dialog, true]);
    await waitFor(async () => (await layout()).hidden === false, { what: 'the dialog to show' });
    assert.equal((await layout()).focused, COMMENT);
    await waitFor(async () => (await activations(dialog)) === before + 2, { what: 'the activation by showing' });
  });

  test('OK ends the dialog', SLOW, async () => {
    await page.locator('#rec').locator('button.dlg-button[data-ctl="1"]').click();
    await waitFor(async () => (await layout()) === null, { what: 'the dialog to go' });
    assert.match(await report(dialog), /destroyed/);
  });
});

describe('whether the element can be seen', () => {
  test('the container hears when the element is hidden and shown again', SLOW, async () => {
    assert.equal(await call('Visible'), true);
    // The demo page's own style makes viewers blocks: display none hides it.
    await page.evaluate(() => { document.getElementById('rec').style.display = 'none'; });
    await waitFor(async () => (await call('Visible')) === false, { what: 'not visible' });
    await page.evaluate(() => { document.getElementById('rec').style.display = ''; });
    await waitFor(async () => (await call('Visible')) === true, { what: 'visible again' });
    // Out of the viewport counts as unseen too.
    await page.evaluate(() => { document.getElementById('rec').style.top = '5000px'; });
    await waitFor(async () => (await call('Visible')) === false, { what: 'not visible when scrolled away' });
    await page.evaluate(() => { document.getElementById('rec').style.top = '0px'; });
    await waitFor(async () => (await call('Visible')) === true, { what: 'visible at the top' });
  });
});
