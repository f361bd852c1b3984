// The element's own scroll bars, drawn in the page and driven by the control's
// scroll-bar fields: arrows and the track repeat while held, the thumb drags,
// and each action goes to the control as the Windows scroll code it stands for.
import { isInt, raf } from './util.js';

export const BAR = 16;  // CSS pixels, like the classic Windows scroll bar

const SB_LINEUP = 0, SB_LINEDOWN = 1, SB_PAGEUP = 2, SB_PAGEDOWN = 3,
    SB_THUMBPOSITION = 4, SB_THUMBTRACK = 5;

export const SCROLLBAR_STYLE = [
  '.bar { position: absolute; display: none; background: #f0f0f0; box-sizing: border-box; touch-action: none; }',
  '.bar.shown { display: flex; }',
  '.bar.v { flex-direction: column; right: 0; top: 0; width: ' + BAR + 'px; bottom: var(--zov-hbar, 0px); }',
  '.bar.h { flex-direction: row; left: 0; bottom: 0; height: ' + BAR + 'px; right: var(--zov-vbar, 0px); }',
  '.corner { position: absolute; right: 0; bottom: 0; width: ' + BAR + 'px; height: ' + BAR + 'px; background: #f0f0f0; display: none; }',
  '.corner.shown { display: block; }',
  '.arrow { flex: 0 0 ' + BAR + 'px; width: ' + BAR + 'px; height: ' + BAR + 'px; position: relative; }',
  '.arrow:hover { background: #dadada; } .arrow:active { background: #606060; }',
  '.arrow::after { content: ""; position: absolute; left: 4px; top: 4px; border: 4px solid transparent; }',
  '.v .arrow.lo::after { top: 2px; border-bottom-color: #606060; }',
  '.v .arrow.hi::after { top: 6px; border-top-color: #606060; }',
  '.h .arrow.lo::after { left: 2px; border-right-color: #606060; }',
  '.h .arrow.hi::after { left: 6px; border-left-color: #606060; }',
  '.arrow:active::after { filter: invert(1); }',
  '.arrow.off { pointer-events: none; } .arrow.off::after { opacity: 0.35; }',
  '.track { flex: 1 1 auto; position: relative; min-width: 0; min-height: 0; }',
  '.thumb { position: absolute; background: #cdcdcd; }',
  '.thumb:hover { background: #a6a6a6; } .thumb.drag { background: #606060; }',
  '.v .thumb { left: 2px; right: 2px; } .h .thumb { top: 2px; bottom: 2px; }',
  '.bar.off .thumb { display: none; } .bar.off .track { pointer-events: none; }'
].join('\n');

// A bar of `dir` ('v' or 'h') for `element`, which posts its messages
// (element._post) and lays both bars out when one shows or hides
// (element._layoutBars).
export function makeBar(element, dir) {
  const vertical = dir === 'v';
  const node = document.createElement('div');
  node.className = 'bar ' + dir;
  node.setAttribute('part', vertical ? 'vscroll' : 'hscroll');
  const lo = document.createElement('div');
  lo.className = 'arrow lo';
  const track = document.createElement('div');
  track.className = 'track';
  const thumb = document.createElement('div');
  thumb.className = 'thumb';
  track.appendChild(thumb);
  const hi = document.createElement('div');
  hi.className = 'arrow hi';
  node.append(lo, track, hi);

  const bar = {
    node, shown: false,
    min: 0, max: 0, page: 0, pos: 0, arrows: 0,
    drag: null,  // {start, startPos, pos} while the thumb is held
    repeat: 0
  };

  const span = () => (vertical ? track.clientHeight : track.clientWidth);
  const range = () => bar.max - bar.min + 1;
  const top = () => bar.max - Math.max(bar.page - 1, 0);  // the highest position
  function thumbLength() {
    const len = span();
    if (bar.page <= 0 || range() <= 0) return Math.min(len, BAR);
    return Math.max(Math.min(len, 8), Math.round(len * bar.page / range()));
  }
  function send(code, pos) {
    const msg = { t: 'scroll', el: element._el, bar: dir, code };
    if (pos !== undefined) msg.pos = pos;
    element._post(msg);
  }

  // For a finger that scrolls the desk as the thumb would.
  bar.clamp = (pos) => Math.max(bar.min, Math.min(top(), pos));
  bar.send = send;

  bar.layout = function () {
    if (!bar.shown) return;
    const len = span(), tl = thumbLength();
    const shownPos = bar.drag ? bar.drag.pos : bar.pos;
    const room = top() - bar.min;
    let at = room > 0 ? Math.round((len - tl) * (shownPos - bar.min) / room) : 0;
    at = Math.max(0, Math.min(len - tl, at));
    thumb.style[vertical ? 'top' : 'left'] = at + 'px';
    thumb.style[vertical ? 'height' : 'width'] = tl + 'px';
  };

  bar.info = function (msg) {
    // Fields left out keep their values, as with a partial SetScrollInfo.
    if (isInt(msg.min)) bar.min = msg.min;
    if (isInt(msg.max)) bar.max = msg.max;
    if (isInt(msg.page) && msg.page >= 0) bar.page = msg.page;
    if (isInt(msg.pos)) bar.pos = msg.pos;
    bar.pos = Math.max(bar.min, Math.min(top(), bar.pos));
    const shown = range() > bar.page && bar.max > bar.min;
    if (shown !== bar.shown) {
      bar.shown = shown;
      node.classList.toggle('shown', shown);
      element._layoutBars();
    } else {
      bar.layout();
    }
  };

  bar.enable = function (arrows) {
    bar.arrows = arrows & 3;
    lo.classList.toggle('off', (arrows & 1) !== 0);
    hi.classList.toggle('off', (arrows & 2) !== 0);
    node.classList.toggle('off', (arrows & 3) === 3);
  };

  function stopRepeat() {
    if (bar.repeat) { clearTimeout(bar.repeat); bar.repeat = 0; }
  }
  // Held arrows and tracks repeat, as native bars do.
  function press(e, code) {
    if (e.button !== 0) return;
    e.preventDefault();
    try { e.currentTarget.setPointerCapture(e.pointerId); } catch (err) { /* ignore */ }
    stopRepeat();
    send(code);
    const tick = () => { send(code); bar.repeat = setTimeout(tick, 50); };
    bar.repeat = setTimeout(tick, 400);
  }
  lo.addEventListener('pointerdown', (e) => press(e, SB_LINEUP));
  hi.addEventListener('pointerdown', (e) => press(e, SB_LINEDOWN));
  track.addEventListener('pointerdown', (e) => {
    if (e.target !== track) return;
    const r = thumb.getBoundingClientRect();
    const before = vertical ? e.clientY < r.top : e.clientX < r.left;
    press(e, before ? SB_PAGEUP : SB_PAGEDOWN);
  });
  for (const n of [lo, hi, track]) {
    n.addEventListener('pointerup', stopRepeat);
    n.addEventListener('pointercancel', stopRepeat);
    n.addEventListener('lostpointercapture', stopRepeat);
  }

  thumb.addEventListener('pointerdown', (e) => {
    if (e.button !== 0) return;
    e.preventDefault();
    e.stopPropagation();
    try { thumb.setPointerCapture(e.pointerId); } catch (err) { /* ignore */ }
    bar.drag = { start: vertical ? e.clientY : e.clientX, startPos: bar.pos, pos: bar.pos, sent: bar.pos, frame: 0 };
    thumb.classList.add('drag');
  });
  thumb.addEventListener('pointermove', (e) => {
    const d = bar.drag;
    if (!d) return;
    const free = span() - thumbLength(), room = top() - bar.min;
    const moved = (vertical ? e.clientY : e.clientX) - d.start;
    let pos = free > 0 ? d.startPos + Math.round(moved * room / free) : d.startPos;
    pos = Math.max(bar.min, Math.min(top(), pos));
    if (pos === d.pos) return;
    d.pos = pos;
    bar.layout();
    if (!d.frame) {
      d.frame = raf(() => {
        d.frame = 0;
        if (bar.drag === d && d.sent !== d.pos) send(SB_THUMBTRACK, d.sent = d.pos);
      });
    }
  });
  function endDrag() {
    const d = bar.drag;
    if (!d) return;
    bar.drag = null;
    thumb.classList.remove('drag');
    if (d.pos !== d.startPos) {
      if (d.sent !== d.pos) send(SB_THUMBTRACK, d.pos);
      send(SB_THUMBPOSITION, d.pos);
    }
    bar.layout();
  }
  thumb.addEventListener('pointerup', endDrag);
  thumb.addEventListener('pointercancel', endDrag);
  thumb.addEventListener('lostpointercapture', endDrag);
  return bar;
}
