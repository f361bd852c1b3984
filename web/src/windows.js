// Browser windows the container asks for: a launch page to open in a new
// window, and a window to bring to the front.
import { isStr } from './util.js';

// A launch page's address: the container keeps the page under a random token.
const LAUNCH_PATH = /^\/launch\/([0-9a-f]{32})$/;
let launchTaken = false;

// The launch token of this page, for the first element made on it only:
// that element's control is the one the launch prepared.
export function launchToken() {
  if (launchTaken || typeof location === 'undefined') return null;
  const m = LAUNCH_PATH.exec(location.pathname);
  if (!m) return null;
  launchTaken = true;
  return m[1];
}

// The container's address over HTTP, from the socket's.
function httpBase(server) {
  const u = new URL(server);
  u.protocol = u.protocol === 'wss:' ? 'https:' : 'http:';
  u.pathname = '/';
  return u;
}

// Opens the launch page `msg.url` in a new window. A page that wants to
// open it its own way cancels the `zov-open` event; `zov-open-blocked`
// says the browser refused the window (its address is in the detail).
export function openLaunch(element, msg) {
  if (!isStr(msg.url) || !LAUNCH_PATH.test(msg.url)) return;
  let url;
  try {
    url = new URL(msg.url, httpBase(element.server)).href;
  } catch (e) {
    return;
  }
  const detail = { url };
  if (!element.dispatchEvent(new CustomEvent('zov-open', { detail, cancelable: true }))) return;
  const features = isStr(msg.features) && msg.features.length < 200 ? msg.features : '';
  let opened = null;
  try {
    opened = window.open(url, '_blank', features);
  } catch (e) {
    opened = null;
  }
  if (!opened) element.dispatchEvent(new CustomEvent('zov-open-blocked', { detail }));
}

// Another page asked for this window: browsers let a page raise itself only
// now and then, but let the page that opened a window raise it, so that page
// is asked too; the page itself hears of it (`zov-focus`).
export function raiseWindow(element) {
  try { window.focus(); } catch (e) { /* not allowed */ }
  try {
    if (window.opener) window.opener.postMessage({ zov: 'raise' }, '*');
  } catch (e) { /* the opener is gone */ }
  element.dispatchEvent(new CustomEvent('zov-focus'));
}

// The opener's side: a window this page opened asks to be raised. Only a
// window it opened itself is raised, and nothing else is done for anyone.
if (typeof window !== 'undefined' && !window.__zovRaiseListener) {
  window.__zovRaiseListener = true;
  window.addEventListener('message', (e) => {
    if (!e.data || e.data.zov !== 'raise' || !e.source) return;
    try {
      if (e.source.opener === window) e.source.focus();
    } catch (e2) { /* a window that went */ }
  });
}
