// What the viewer shows, as text for screen readers: the desk as a list of its
// documents and, of the zoomed book, the pages facing up with their texts,
// announced politely when a page turns. The canvas says nothing to them.
// Choosing a document clicks it, as a reader with a mouse would; one that is
// off the window is scrolled to first, and with another book zoomed the
// viewer goes back to the desk first. The same list lets the left and right
// keys move the desk's highlight from book to book, by pointing at them.
import { isInt, isStr } from './util.js';

const VK_ESCAPE = 0x1B, SB_THUMBPOSITION = 4;
// How long a chosen document waits for the desk to bring it into view.
const OPEN_WAIT = 3000;
// How long a key that zooms in or out waits to be seen done.
const SETTLE_WAIT = 1500;
// What the container may send; more is ignored.
const MAX_BOOKS = 1000, MAX_PAGES = 4;

export const SCREEN_TEXT_STYLE = [
  // Heard, not seen: the canvas shows all of it.
  '.screen-text { position: absolute; left: 0; top: 0; width: 1px; height: 1px; overflow: hidden;',
  '  clip-path: inset(50%); white-space: nowrap; }',
  '.screen-text .page { white-space: pre-wrap; }'
].join('\n');

function pagesWord(n) {
  return n === 1 ? '1 page' : n + ' pages';
}

export class ScreenText {
  constructor(element) {
    this.element = element;
    this.node = document.createElement('div');
    this.node.className = 'screen-text';
    this.list = document.createElement('div');
    this.list.setAttribute('role', 'list');
    this.list.setAttribute('aria-label', 'Documents on the desk');
    this.open = document.createElement('section');
    this.open.hidden = true;
    this.heading = document.createElement('h2');
    this.pages = document.createElement('div');
    this.pages.setAttribute('aria-live', 'polite');
    this.open.append(this.heading, this.pages);
    this.node.append(this.list, this.open);
    this.clear();
  }

  // The next or previous book on the desk becomes the current one: the
  // pointer is moved onto it, which highlights it, and Enter then opens it.
  step(delta) {
    this.aim(Math.max(0, Math.min(this.books.length - 1, this.current < 0 ? 0 : this.current + delta)), false);
  }

  clear() {
    this.current = -1;    // the book the keys last pointed at
    this.books = [];
    this.zoomed = -1;
    this.pagesKey = '';
    this.shownPages = null;
    this.known = false;
    this.awaited = null;
    this.pending = null;  // {index, until, open} of a document chosen or pointed at, not yet in view
    this.list.replaceChildren();
    this.pages.replaceChildren();
    this.open.hidden = true;
  }

  // Before the first word from the container, and after a key that zooms in
  // or out until the container says it did (or a while has passed), what is
  // shown is not known: keys then go to the control.
  get deskShown() {
    const w = this.awaited;
    if (w && performance.now() < w.until && (this.zoomed >= 0) !== w.zoomed) return false;
    return this.known && this.zoomed < 0 && this.books.length > 0;
  }

  // A key that zooms in (`zoomed` true) or out was sent.
  changing(zoomed) {
    this.awaited = { zoomed, until: performance.now() + SETTLE_WAIT };
  }

  update(msg) {
    this.known = true;
    if (Array.isArray(msg.books)) {
      this.books = msg.books.slice(0, MAX_BOOKS).map((b) => ({
        caption: b && isStr(b.caption) ? b.caption : '',
        pages: b && isInt(b.pages) && b.pages >= 0 ? b.pages : 0,
        selected: !!(b && b.selected === true),
        click: null
      }));
    }
    const clicks = Array.isArray(msg.clicks) ? msg.clicks : [];
    this.books.forEach((book, i) => {
      const c = clicks[i];
      book.click = Array.isArray(c) && isInt(c[0]) && isInt(c[1]) ? c : null;
    });
    const zoomed = isInt(msg.zoomed) && msg.zoomed >= 0 && msg.zoomed < this.books.length ? msg.zoomed : -1;
    if (Array.isArray(msg.books) || zoomed !== this.zoomed) {
      this.zoomed = zoomed;
      this.renderList();
    }
    if (this.awaited && (zoomed >= 0) === this.awaited.zoomed) this.awaited = null;
    if (Array.isArray(msg.pages)) {
      this.shownPages = msg.pages.slice(0, MAX_PAGES).filter((p) => p && isInt(p.n))
        .map((p) => ({ n: p.n, text: isStr(p.text) ? p.text : null }));
    }
    // Pages still being read keep the last ones told, so that the live region
    // speaks once, with the texts.
    const pages = this.shownPages || [];
    const pagesKey = this.zoomed < 0 ? '' : JSON.stringify([this.books[this.zoomed].caption, pages]);
    if (pagesKey !== this.pagesKey && (this.zoomed < 0 || pages.every((p) => p.text !== null))) {
      this.pagesKey = pagesKey;
      this.renderPages(pages);
    }
    this.openPending();
  }

  // The list's nodes stay as they are where they can, so that a screen
  // reader's place in it is kept when a document opens.
  renderList() {
    const items = this.list.children;
    while (items.length > this.books.length) this.list.lastChild.remove();
    this.books.forEach((book, index) => {
      let button;
      if (index < items.length) {
        button = items[index].firstChild;
      } else {
        const item = document.createElement('div');
        item.setAttribute('role', 'listitem');
        button = document.createElement('button');
        // Reached by a screen reader's own keys; Tab stays with the toolbar.
        button.tabIndex = -1;
        button.addEventListener('click', () => this.choose(index));
        item.appendChild(button);
        this.list.appendChild(item);
      }
      const parts = [book.caption || 'Untitled', pagesWord(book.pages)];
      if (book.selected) parts.push('selected');
      if (index === this.zoomed) parts.push('open');
      const label = parts.join(', ');
      if (button.textContent !== label) button.textContent = label;
      if (index === this.zoomed) button.setAttribute('aria-current', 'true');
      else button.removeAttribute('aria-current');
    });
  }

  renderPages(pages) {
    if (this.zoomed < 0) {
      this.open.hidden = true;
      this.pages.replaceChildren();
      return;
    }
    const caption = this.books[this.zoomed].caption || 'Untitled';
    this.open.hidden = false;
    this.open.setAttribute('aria-label', 'Open book: ' + caption);
    this.heading.textContent = caption;
    const nodes = pages.map((page) => {
      const article = document.createElement('article');
      article.setAttribute('aria-label', 'Page ' + page.n);
      const title = document.createElement('h3');
      title.textContent = 'Page ' + page.n;
      const text = document.createElement('p');
      text.className = 'page';
      text.textContent = page.text || 'This page has no text.';
      article.append(title, text);
      return article;
    });
    this.pages.replaceChildren(...nodes);
  }

  // A click on the document once it can be clicked.
  choose(index) {
    this.aim(index, true);
  }

  // Points at the book, or opens it (`open`), once it is in view.
  aim(index, open) {
    this.current = index;
    this.pending = { index, until: performance.now() + OPEN_WAIT, open };
    if (open && this.zoomed >= 0 && this.zoomed !== index) {
      this.element._post({ t: 'key', el: this.element._el, e: 'down', code: VK_ESCAPE, k: 0 });
      return;
    }
    if (!this.openPending()) this.scrollTo(index);
  }

  openPending() {
    const p = this.pending;
    if (!p) return false;
    if (performance.now() > p.until) { this.pending = null; return false; }
    if (this.zoomed >= 0) {
      if (this.zoomed === p.index) this.pending = null;
      return false;
    }
    const book = this.books[p.index], size = this.element._size;
    if (!book || !book.click || !size) return false;
    const [x, y] = book.click;
    if (x < 0 || y < 0 || x >= size.w || y >= size.h) return false;
    this.pending = null;
    if (!p.open) {
      this.element._post({ t: 'mouse', el: this.element._el, e: 'move', x, y, k: 0 });
      return true;
    }
    this.element._post({ t: 'mouse', el: this.element._el, e: 'down', x, y, k: 1 });
    this.element._post({ t: 'mouse', el: this.element._el, e: 'up', x, y, k: 0 });
    return true;
  }

  // Brings a book below or above the window into it with the desk's bar.
  scrollTo(index) {
    const book = this.books[index], bar = this.element._bars && this.element._bars.v;
    if (!book || !book.click || !bar || !bar.shown) return;
    const size = this.element._size || { h: 0 };
    bar.send(SB_THUMBPOSITION, bar.clamp(bar.pos + book.click[1] - (size.h >> 1)));
  }
}
