/*
 * The page side of zov-host, bundled into the one classic script zov.js.
 *
 * A classic script on purpose: pages on other origins embed it with a plain
 * <script src="http://127.0.0.1:PORT/zov.js">, which needs no CORS.
 */
import { rememberScriptSource } from './connection.js';
import { ZovEventRelayElement } from './relay-element.js';
import { ZovViewerElement } from './viewer-element.js';

// Loaded twice (two script tags), the first definition stays.
if (typeof window !== 'undefined' && window.customElements && !window.customElements.get('zov-viewer')) {
  rememberScriptSource(document.currentScript && document.currentScript.src);
  window.customElements.define('zov-viewer', ZovViewerElement);
  window.ZovViewerElement = ZovViewerElement;
}
if (typeof window !== 'undefined' && window.customElements && !window.customElements.get('zov-event-relay')) {
  window.customElements.define('zov-event-relay', ZovEventRelayElement);
  window.ZovEventRelayElement = ZovEventRelayElement;
}
