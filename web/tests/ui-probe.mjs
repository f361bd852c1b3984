// Installed in test pages next to the harness's probe (context.addInitScript):
// window.zovUi reads what the element shows of the control's own face, and
// window.zovColour measures the canvas by colour.
export const uiProbeSource = String.raw`
window.zovUi = {
  root(sel) {
    const el = document.querySelector(sel || 'zov-viewer');
    return el && el.shadowRoot;
  },
  // The toolbar's buttons and separators in order, positions relative to the toolbar.
  toolbar(sel) {
    const root = this.root(sel), bar = root && root.querySelector('.toolbar');
    if (!bar) return null;
    const r = bar.getBoundingClientRect();
    const items = Array.from(bar.children).map((n) => {
      const b = n.getBoundingClientRect();
      if (n.getAttribute('role') === 'separator') return { sep: true, left: b.left - r.left };
      const pic = n.querySelector('canvas');
      let inked = 0;
      if (pic.width && pic.height) {
        const d = pic.getContext('2d').getImageData(0, 0, pic.width, pic.height).data;
        for (let i = 3; i < d.length; i += 4) if (d[i] > 0) inked++;
      }
      return { id: Number(n.dataset.id), label: n.getAttribute('aria-label'), disabled: n.disabled,
        pressed: n.getAttribute('aria-pressed') === 'true', left: b.left - r.left, width: b.width,
        height: b.height, pic: pic.width, picHeight: pic.height, inked };
    });
    return { left: r.left, top: r.top, width: r.width, height: r.height, bottom: r.bottom, role: bar.getAttribute('role'), items };
  },
  tip(sel) {
    const root = this.root(sel), tip = root && root.querySelector('.tip');
    if (!tip || tip.hidden) return null;
    const r = tip.getBoundingClientRect();
    return { text: tip.textContent, left: r.left, top: r.top, width: r.width, height: r.height };
  },
  menu(sel) {
    const root = this.root(sel), menu = root && root.querySelector('[role="menu"]');
    if (!menu) return null;
    const r = menu.getBoundingClientRect();
    const items = Array.from(menu.children).map((n) => n.getAttribute('role') === 'separator' ? { sep: true } : {
      id: Number(n.dataset.id), text: n.textContent.replace(/^\u2713/, ''), role: n.getAttribute('role'),
      disabled: n.getAttribute('aria-disabled') === 'true', checked: n.getAttribute('aria-checked') === 'true' });
    return { left: r.left, top: r.top, right: r.right, bottom: r.bottom, items };
  },
  dialog(sel) {
    const root = this.root(sel), dlg = root && root.querySelector('[role="dialog"]');
    if (!dlg) return null;
    const title = root.getElementById(dlg.getAttribute('aria-labelledby'));
    const active = root.activeElement;
    return {
      modal: dlg.getAttribute('aria-modal'), title: title && title.textContent,
      tabs: Array.from(dlg.querySelectorAll('[role="tab"]')).map((t) => t.textContent),
      panel: !!dlg.querySelector('[role="tabpanel"]'),
      buttons: Array.from(dlg.querySelectorAll('button.dlg-button')).map((b) => ({ ctl: Number(b.dataset.ctl), text: b.textContent, disabled: b.disabled })),
      edits: Array.from(dlg.querySelectorAll('.dlg-edit')).map((e) => ({ ctl: Number(e.dataset.ctl), value: e.value })),
      progress: Array.from(dlg.querySelectorAll('progress')).map((p) => ({ value: p.value, max: p.max })),
      focused: active && dlg.contains(active) ? (active.dataset.ctl ? Number(active.dataset.ctl) : active.tagName) : null,
    };
  },
  focused(sel) {
    const root = this.root(sel), a = root && root.activeElement;
    return a ? a.tagName.toLowerCase() + (a.dataset.id ? '#' + a.dataset.id : '') : null;
  },
};
window.zovColour = {
  // Share of canvas pixels within tol of [r, g, b].
  share(rgb, tol, sel) {
    const p = window.zovProbe.pixels(sel);
    if (!p) return 0;
    let n = 0;
    for (let i = 0; i < p.data.length; i += 4) {
      if (Math.abs(p.data[i] - rgb[0]) <= tol && Math.abs(p.data[i + 1] - rgb[1]) <= tol && Math.abs(p.data[i + 2] - rgb[2]) <= tol) n++;
    }
    return n / (p.w * p.h);
  },
};
`;
