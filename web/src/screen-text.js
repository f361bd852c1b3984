// What the viewer shows, as text for screen readers: the desk as a list of its
// documents and, of the zoomed book, the pages facing up with their texts,
// announced politely when a page turns. The canvas says nothing to them.
// Choosing a document clicks it, as a reader with a mouse would; one that is
// off the window is scrolled to first, and with another book zoomed the
// viewer goes back to the desk first.
import { isInt, isStr } from './util.js';

const VK_ESCAPE = 0x1B, SB_THUMBPOSITION = 4;
// How long a chosen document waits for the desk to bring it into view.
const OPEN_WAIT = 3000;
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
    this.books = [];
    this.zoomed = -1;
    this.listKey = '';
    this.pagesKey = '';
    this.pending = null;  // {index, until} of a document chosen but not yet clickable
  }

  clear() {
    this.books = [];
    this.zoomed = -1;
    this.listKey = '';
    this.pagesKey = '';
    this.pending = null;
    this.list.replaceChildren();
    this.pages.replaceChildren();
    this.open.hidden = true;
  }

  update(msg) {
    const books = (Array.isArray(msg.books) ? msg.books : []).slice(0, MAX_BOOKS).map((b) => ({
      caption: b && isStr(b.caption) ? b.caption : '',
      pages: b && isInt(b.pages) && b.pages >= 0 ? b.pages : 0,
      selected: !!(b && b.selected === true),
      click: b && Array.isArray(b.click) && isInt(b.click[0]) && isInt(b.click[1]) ? b.click : null
    }));
    this.books = books;
    this.zoomed = isInt(msg.zoomed) && msg.zoomed >= 0 && msg.zoomed < books.length ? msg.zoomed : -1;
    const listKey = JSON.stringify(books.map((b) => [b.caption, b.pages, b.selected])) + '|' + this.zoomed;
    if (listKey !== this.listKey) {
      this.listKey = listKey;
      this.renderList();
    }
    const pages = (Array.isArray(msg.pages) ? msg.pages : []).slice(0, MAX_PAGES)
      .filter((p) => p && isInt(p.n)).map((p) => ({ n: p.n, text: isStr(p.text) ? p.text : '' }));
    const pagesKey = this.zoomed < 0 ? '' : JSON.stringify([books[this.zoomed].caption, pages]);
    if (pagesKey !== this.pagesKey) {
      this.pagesKey = pagesKey;
      this.renderPages(pages);
    }
    this.openPending();
  }

  renderList() {
    const items = this.books.map((book, index) => {
      const item = document.createElement('div');
      item.setAttribute('role', 'listitem');
      const button = document.createElement('button');
      // Reached by a screen reader's own keys; Tab stays with the toolbar.
      button.tabIndex = -1;
      const parts = [book.caption || 'Untitled', pagesWord(book.pages)];
      if (book.selected) parts.push('selected');
      if (index === this.zoomed) parts.push('open');
      button.textContent = parts.join(', ');
      if (index === this.zoomed) button.setAttribute('aria-current', 'true');
      button.addEventListener('click', () => this.choose(index));
      item.appendChild(button);
      return item;
    });
    this.list.replaceChildren(...items);
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
    this.pending = { index, until: performance.now() + OPEN_WAIT };
    if (this.zoomed >= 0 && this.zoomed !== index) {
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
