// The folder tree: a child window the container fills item by item. The
// items live in the container's control; the element only shows them, as a
// tree view a keyboard can walk (arrows, Home, End, Enter), and reports what
// the reader opens, closes and chooses. An item without text is the
// container's mark that a folder has children not yet listed: it shows no
// row, only the folder's open button.
import { isInt, isStr, placeChild, readRect } from './util.js';

// More items than the container keeps, or longer texts, are a damaged message.
const MAX_ITEMS = 50000, MAX_TEXT = 1024, MAX_OPS = 10000;
// Pointer moves over the tree reach the container at most this often.
const MOVE_INTERVAL_MS = 100;
const ICON = 16;

export const TREE_STYLE = [
  '.tree { position: absolute; z-index: 1; background: #fff; border: 1px solid #a0a0a0; box-sizing: border-box;',
  '  overflow-x: hidden; overflow-y: auto; font: 12px/18px system-ui, "Segoe UI", sans-serif; color: #000;',
  '  user-select: none; }',
  '.tree:focus-visible { outline: 2px solid #1a5fb4; outline-offset: -2px; }',
  '.tree ul { list-style: none; margin: 0; padding: 0; }',
  '.tree ul[role="group"] { padding-left: 16px; }',
  '.tree li[data-empty] { display: none; }',
  '.tree .row { display: flex; align-items: center; white-space: nowrap; height: 18px; cursor: default; }',
  '.tree .tg { flex: none; width: 12px; height: 12px; margin: 0 2px; box-sizing: border-box; font: 10px/10px monospace;',
  '  text-align: center; border: 1px solid transparent; color: #404040; }',
  '.tree li.parent > .row > .tg { border-color: #919191; }',
  '.tree li.parent > .row > .tg::before { content: "+"; }',
  '.tree li.parent[aria-expanded="true"] > .row > .tg::before { content: "\\2212"; }',
  '.tree .ic { flex: none; width: 16px; height: 16px; margin-right: 3px; background-repeat: no-repeat; }',
  '.tree .lb { padding: 0 2px; }',
  '.tree li[aria-selected="true"] > .row > .lb { background: #1a5fb4; color: #fff; }',
  '.tree li.current > .row > .lb { outline: 1px dotted #404040; }',
  '.tree li:not([aria-expanded="true"]) > ul { display: none; }'
].join('\n');

export class FolderTree {
  // `element` draws it (shadowRoot, _imageLists, _cssScale()) and posts its
  // events (_post, _el); `msg` is the container's `child` message.
  constructor(element, msg) {
    this.element = element;
    this.h = msg.h;
    this.rect = readRect(msg.rect) || { x: 0, y: 0, w: 0, h: 0 };
    this.items = new Map();   // item -> {node, row, group, text, image, openImage, parent}
    this.selected = 0;
    this.current = 0;         // the item the keyboard is on
    this.icons = null;        // {url, w, h, count}
    this.lastMove = 0;

    const node = document.createElement('div');
    node.className = 'tree';
    node.setAttribute('part', 'tree');
    node.setAttribute('role', 'tree');
    node.setAttribute('aria-label', 'Folders');
    node.tabIndex = 0;
    this.node = node;
    this.root = document.createElement('ul');
    this.root.setAttribute('role', 'none');
    node.appendChild(this.root);
    this.wire();
    element.shadowRoot.appendChild(node);
    this.layout();
  }

  wire() {
    const n = this.node;
    n.addEventListener('click', (e) => {
      const li = e.target.closest('li');
      const item = li && this.itemOf(li);
      if (!item) return;
      if (e.target.classList.contains('tg')) this.toggle(item);
      else this.choose(item);
    });
    n.addEventListener('dblclick', (e) => {
      const li = e.target.closest('li');
      const item = li && this.itemOf(li);
      if (item && !e.target.classList.contains('tg')) this.toggle(item);
    });
    n.addEventListener('keydown', (e) => this.key(e));
    n.addEventListener('focus', () => {
      if (!this.current || !this.items.has(this.current)) this.moveTo(this.visible()[0] || 0);
    });
    // The pointer over the tree: the container slides it open.
    const moved = (e) => {
      const now = performance.now();
      if (e.type === 'pointermove' && now - this.lastMove < MOVE_INTERVAL_MS) return;
      this.lastMove = now;
      const s = this.element._cssScale();
      const box = n.getBoundingClientRect();
      const x = Math.max(0, Math.round((e.clientX - box.left) * s));
      const y = Math.max(0, Math.round((e.clientY - box.top) * s));
      this.post({ e: 'mousemove', x, y });
    };
    n.addEventListener('pointerenter', moved);
    n.addEventListener('pointermove', moved);
  }

  itemOf(li) {
    const id = Number(li.dataset.item);
    return this.items.has(id) ? id : 0;
  }

  post(fields) {
    const el = this.element;
    el._post({ t: 'childEvent', el: el._el, h: this.h, ...fields });
  }

  layout() {
    placeChild(this.node, this.rect, this.element._cssScale());
  }

  update(msg) {
    const rect = readRect(msg.rect);
    if (rect) {
      this.rect = rect;
      this.layout();
    }
    if (!Array.isArray(msg.tree)) return;
    for (const op of msg.tree.slice(0, MAX_OPS)) if (op && typeof op === 'object') this.apply(op);
  }

  apply(op) {
    switch (op.op) {
      case 'insert': return this.insert(op);
      case 'delete': return this.removeItem(op.item);
      case 'expand': {
        const it = this.items.get(op.item);
        if (it && typeof op.v === 'boolean') this.showExpanded(it, op.v);
        return;
      }
      case 'select': return this.showSelected(isInt(op.item) ? op.item : 0);
      case 'images': return this.takeImages(op.images);
    }
  }

  insert(op) {
    if (!isInt(op.item) || op.item <= 0 || this.items.has(op.item) || this.items.size >= MAX_ITEMS) return;
    const parent = isInt(op.parent) && op.parent !== 0 ? this.items.get(op.parent) : null;
    if (op.parent !== 0 && !parent) return;
    const text = isStr(op.text) ? op.text.slice(0, MAX_TEXT) : '';
    const li = document.createElement('li');
    li.setAttribute('role', 'treeitem');
    li.dataset.item = String(op.item);
    li.setAttribute('aria-selected', 'false');
    const row = document.createElement('div');
    row.className = 'row';
    const toggle = document.createElement('span');
    toggle.className = 'tg';
    toggle.setAttribute('aria-hidden', 'true');
    const icon = document.createElement('span');
    icon.className = 'ic';
    icon.setAttribute('aria-hidden', 'true');
    const label = document.createElement('span');
    label.className = 'lb';
    label.textContent = text;
    row.append(toggle, icon, label);
    li.appendChild(row);
    const it = {
      id: op.item, node: li, row, icon, group: null, text, parent: parent ? op.parent : 0,
      image: isInt(op.image) ? op.image : -1, openImage: isInt(op.openImage) ? op.openImage : -1, expanded: false
    };
    if (!text) li.dataset.empty = '';
    this.items.set(op.item, it);
    const level = parent ? Number(parent.node.getAttribute('aria-level')) + 1 : 1;
    li.setAttribute('aria-level', String(level));
    if (parent) {
      if (!parent.group) {
        parent.group = document.createElement('ul');
        parent.group.setAttribute('role', 'group');
        parent.node.appendChild(parent.group);
      }
      parent.group.appendChild(li);
      this.markParent(parent);
    } else {
      this.root.appendChild(li);
    }
    this.paintIcon(it);
  }

  // A folder with items below it, shown or not, has an open button.
  markParent(it) {
    const has = !!(it.group && it.group.firstChild);
    it.node.classList.toggle('parent', has);
    if (has) it.node.setAttribute('aria-expanded', String(it.expanded));
    else it.node.removeAttribute('aria-expanded');
  }

  removeItem(id) {
    if (id === 0) {
      this.items.clear();
      this.root.replaceChildren();
      this.selected = this.current = 0;
      return;
    }
    const it = this.items.get(id);
    if (!it) return;
    const hadFocus = this.node.contains(this.element.shadowRoot.activeElement) && this.current;
    const forget = (x) => {
      this.items.delete(x.id);
      if (x.group) for (const li of x.group.children) {
        const child = this.items.get(Number(li.dataset.item));
        if (child) forget(child);
      }
      if (this.selected === x.id) this.selected = 0;
      if (this.current === x.id) this.current = 0;
    };
    forget(it);
    it.node.remove();
    const parent = this.items.get(it.parent);
    if (parent) {
      this.markParent(parent);
      if (!this.current && hadFocus) this.moveTo(parent.id);
    }
  }

  showExpanded(it, expanded) {
    it.expanded = expanded;
    this.markParent(it);
    this.paintIcon(it);
  }

  showSelected(id) {
    const old = this.items.get(this.selected);
    if (old) old.node.setAttribute('aria-selected', 'false');
    this.selected = this.items.has(id) ? id : 0;
    const now = this.items.get(this.selected);
    if (now) {
      now.node.setAttribute('aria-selected', 'true');
      this.moveTo(now.id, false);
    }
  }

  takeImages(handle) {
    const list = isInt(handle) ? this.element._imageLists.get(handle) : null;
    // The strip is kept as a picture of its own: the element's lists make
    // room for later toolbars, the tree's pictures stay.
    this.icons = list ? { url: list.canvas.toDataURL(), w: list.w, h: list.h, count: list.count } : null;
    for (const it of this.items.values()) this.paintIcon(it);
  }

  paintIcon(it) {
    const index = it.expanded && it.openImage >= 0 ? it.openImage : it.image;
    const st = it.icon.style;
    if (!this.icons || index < 0 || index >= this.icons.count) {
      st.backgroundImage = '';
      return;
    }
    const scale = ICON / this.icons.h;
    st.backgroundImage = `url("${this.icons.url}")`;
    st.backgroundSize = `${this.icons.w * this.icons.count * scale}px ${ICON}px`;
    st.backgroundPosition = `${-index * this.icons.w * scale}px 0px`;
  }

  // The reader opens or closes a folder: the container lists it again or forgets it.
  toggle(id) {
    const it = this.items.get(id);
    if (!it || !it.node.classList.contains('parent')) return;
    this.showExpanded(it, !it.expanded);
    this.moveTo(id);
    this.post({ e: 'expand', item: id, v: it.expanded });
  }

  choose(id) {
    if (!this.items.has(id)) return;
    this.showSelected(id);
    this.post({ e: 'select', item: id });
  }

  // The rows a reader can see, top to bottom.
  visible() {
    const rows = [];
    const walk = (ul) => {
      for (const li of ul.children) {
        const it = this.items.get(Number(li.dataset.item));
        if (!it || !it.text) continue;
        rows.push(it.id);
        if (it.expanded && it.group) walk(it.group);
      }
    };
    walk(this.root);
    return rows;
  }

  moveTo(id, focus = true) {
    const old = this.items.get(this.current);
    if (old) old.node.classList.remove('current');
    this.current = this.items.has(id) ? id : 0;
    const it = this.items.get(this.current);
    if (!it) {
      this.node.removeAttribute('aria-activedescendant');
      return;
    }
    it.node.classList.add('current');
    it.node.id = 'tree-item-' + it.id;
    this.node.setAttribute('aria-activedescendant', it.node.id);
    if (focus) it.row.scrollIntoView({ block: 'nearest' });
  }

  key(e) {
    const rows = this.visible();
    if (!rows.length) return;
    const at = rows.indexOf(this.current);
    const it = this.items.get(this.current);
    let handled = true;
    switch (e.key) {
      case 'ArrowDown': this.moveTo(rows[Math.min(rows.length - 1, at + 1)]); break;
      case 'ArrowUp': this.moveTo(rows[Math.max(0, at < 0 ? 0 : at - 1)]); break;
      case 'Home': this.moveTo(rows[0]); break;
      case 'End': this.moveTo(rows[rows.length - 1]); break;
      case 'ArrowRight':
        if (it && it.node.classList.contains('parent') && !it.expanded) this.toggle(it.id);
        else if (it && it.expanded && at + 1 < rows.length) this.moveTo(rows[at + 1]);
        break;
      case 'ArrowLeft':
        if (it && it.expanded) this.toggle(it.id);
        else if (it && it.parent) this.moveTo(it.parent);
        break;
      case 'Enter':
      case ' ':
        if (it) this.choose(it.id);
        break;
      default: handled = false;
    }
    if (handled) e.preventDefault();
  }

  // The tree goes; returns whether it had the focus.
  remove() {
    const focused = this.node.contains(this.element.shadowRoot.activeElement);
    this.node.remove();
    return focused;
  }
}
