// The designer's UI. The server holds the design; this script draws what it
// is told (the controls as their own preview pictures, the property
// inspector, the rendered page), turns the mouse into edits (select, move,
// resize, drop from the palette, drop into another container) and shows the
// library's refusals as a warning box. Plain script, no libraries.
'use strict';

const designer = (() => {
  const $ = (id) => document.getElementById(id);
  const surface = $('surface');
  const overlay = $('overlay');
  const properties = $('properties');
  const rendered = $('rendered');

  let state = null;        // the last state the server sent
  let shownVersion = -1;   // the version the surface and frame show
  let selected = null;     // name of the selected component
  let nodes = new Map();   // name -> { node, div, absLeft, absTop, parent }
  let pending = 0;         // requests and pictures still on their way
  let waiters = [];
  let drag = null;         // the drag in progress
  let inspected = null;    // the component the inspector shows

  // ---- Requests and the idle signal the tests wait for -------------------

  function begin() { pending++; }
  function end() {
    pending--;
    if (pending === 0) {
      const ready = waiters;
      waiters = [];
      ready.forEach((resolve) => resolve());
    }
  }
  function idle() {
    return pending === 0 ? Promise.resolve() : new Promise((resolve) => waiters.push(resolve));
  }

  async function api(path, body) {
    begin();
    try {
      const options = body === undefined ? {} : {
        method: 'POST',
        headers: { 'Content-Type': 'application/json' },
        body: JSON.stringify(body),
      };
      const response = await fetch(path, options);
      let data;
      try {
        data = await response.json();
      } catch (e) {
        data = {};
      }
      if (!response.ok && !data.error) data.error = response.status + ' ' + response.statusText;
      return data;
    } catch (e) {
      return { error: 'The designer cannot be reached: ' + e.message };
    } finally {
      end();
    }
  }

  function track(element, source) {
    begin();
    let done = false;
    const finish = () => { if (!done) { done = true; end(); } };
    element.addEventListener('load', finish, { once: true });
    element.addEventListener('error', finish, { once: true });
    element.src = source;
  }

  // ---- The warning box -----------------------------------------------------

  function showBox(text, kind) {
    $('modalTitle').textContent = kind === 'error' ? 'Error' : 'Warning';
    $('modal').classList.toggle('error', kind === 'error');
    $('modalText').textContent = text;
    $('modal').hidden = false;
    $('modalOk').focus();
  }
  $('modalOk').addEventListener('click', () => { $('modal').hidden = true; });

  // ---- State: toolbar, surface, tray, frame --------------------------------

  function applyState(next) {
    state = next;
    $('file').textContent = next.file + (next.modified ? ' *' : '');
    $('undo').disabled = !next.canUndo;
    $('redo').disabled = !next.canRedo;
    $('status').textContent = next.modified ? 'Not saved' : 'Saved';
    if (next.version !== shownVersion) {
      shownVersion = next.version;
      buildSurface(next.design);
      buildTray(next.design);
      track(rendered, '/page/?v=' + next.version);
    }
    if (selected && !nodes.has(selected) && !trayHas(selected)) selected = null;
    showSelection();
  }

  function trayHas(name) {
    return state.design.components.some((c) => c.name === name);
  }

  function buildSurface(design) {
    for (const old of [...surface.children]) if (old !== overlay) old.remove();
    nodes = new Map();
    let width = 0;
    let height = 0;
    const add = (node, container, absLeft, absTop, parent) => {
      const div = document.createElement('div');
      div.className = 'ctl';
      div.dataset.name = node.name;
      div.title = node.name + ' (' + node.class + ')';
      Object.assign(div.style, {
        left: node.left + 'px', top: node.top + 'px',
        width: node.width + 'px', height: node.height + 'px',
      });
      if (node.width > 0 && node.height > 0) {
        const picture = document.createElement('img');
        picture.className = 'preview';
        picture.alt = '';
        picture.draggable = false;
        track(picture, '/preview/' + encodeURIComponent(node.name) + '.png?v=' + state.version);
        div.appendChild(picture);
      }
      container.appendChild(div);
      nodes.set(node.name, { node, div, absLeft, absTop, parent });
      width = Math.max(width, absLeft + node.width);
      height = Math.max(height, absTop + node.height);
      for (const child of node.children)
        add(child, div, absLeft + child.left, absTop + child.top, node.name);
    };
    for (const node of design.controls) add(node, surface, node.left, node.top, null);
    surface.style.width = Math.max(width, 100) + 'px';
    surface.style.height = Math.max(height, 100) + 'px';
    surface.appendChild(overlay);
  }

  function buildTray(design) {
    const tray = $('tray');
    tray.textContent = '';
    for (const component of design.components) {
      const item = document.createElement('div');
      item.className = 'trayItem';
      item.dataset.name = component.name;
      const icon = document.createElement('img');
      icon.alt = '';
      icon.src = '/palette/' + component.class + '.png';
      icon.addEventListener('error', () => { icon.style.visibility = 'hidden'; });
      item.append(icon, document.createTextNode(component.name));
      item.title = component.name + ' (' + component.class + ')';
      item.addEventListener('mousedown', () => select(component.name));
      tray.appendChild(item);
    }
  }

  async function buildPalette() {
    const palette = await api('/api/palette');
    const box = $('palette');
    for (const tool of palette) {
      const item = document.createElement('div');
      item.className = 'tool';
      item.dataset.class = tool.class;
      item.title = tool.class;
      if (tool.icon) {
        const icon = document.createElement('img');
        icon.alt = '';
        icon.draggable = false;
        icon.src = '/palette/' + tool.class + '.png';
        item.appendChild(icon);
      }
      item.appendChild(document.createTextNode(tool.class));
      item.addEventListener('mousedown', (event) => startInsert(event, tool));
      box.appendChild(item);
    }
  }

  // ---- Selection -------------------------------------------------------------

  const handleNames = ['nw', 'n', 'ne', 'e', 'se', 's', 'sw', 'w'];

  function showSelection() {
    overlay.textContent = '';
    for (const item of document.querySelectorAll('.trayItem'))
      item.classList.toggle('selected', item.dataset.name === selected);
    const entry = selected && nodes.get(selected);
    if (!entry) return;
    const rect = drag && drag.rect ? drag.rect :
      { left: entry.absLeft, top: entry.absTop, width: entry.node.width, height: entry.node.height };
    const frame = document.createElement('div');
    frame.className = 'selection';
    Object.assign(frame.style, {
      left: rect.left + 'px', top: rect.top + 'px', width: rect.width + 'px', height: rect.height + 'px',
    });
    overlay.appendChild(frame);
    for (const name of handleNames) {
      const handle = document.createElement('div');
      handle.className = 'handle ' + name;
      handle.dataset.handle = name;
      const x = name.includes('w') ? 0 : name.includes('e') ? 1 : 0.5;
      const y = name.includes('n') ? 0 : name.includes('s') ? 1 : 0.5;
      handle.style.left = rect.left + x * rect.width + 'px';
      handle.style.top = rect.top + y * rect.height + 'px';
      handle.addEventListener('mousedown', (event) => startResize(event, name));
      overlay.appendChild(handle);
    }
  }

  async function select(name) {
    if (selected === name) return;
    selected = name;
    showSelection();
    begin();
    try {
      await refreshInspector();
    } finally {
      end();
    }
  }

  // ---- Dragging ----------------------------------------------------------------

  function surfacePoint(event) {
    const box = surface.getBoundingClientRect();
    return { x: Math.round(event.clientX - box.left), y: Math.round(event.clientY - box.top) };
  }

  // The innermost control under a point of the surface that accepts
  // controls, leaving out the dragged one and what it holds.
  function containerAt(point, excluded) {
    let best = null;
    let depth = -1;
    for (const [name, entry] of nodes) {
      if (!entry.node.accepts || (excluded && isWithin(name, excluded))) continue;
      const inside = point.x >= entry.absLeft && point.y >= entry.absTop &&
        point.x < entry.absLeft + entry.node.width && point.y < entry.absTop + entry.node.height;
      if (!inside) continue;
      const level = levelOf(name);
      if (level > depth) {
        best = name;
        depth = level;
      }
    }
    return best;
  }

  function levelOf(name) {
    let level = 0;
    for (let at = nodes.get(name).parent; at; at = nodes.get(at).parent) level++;
    return level;
  }

  function isWithin(name, ancestor) {
    for (let at = name; at; at = nodes.get(at).parent) if (at === ancestor) return true;
    return false;
  }

  function markTarget(name) {
    for (const div of surface.querySelectorAll('.dropTarget')) div.classList.remove('dropTarget');
    if (name && nodes.has(name)) nodes.get(name).div.classList.add('dropTarget');
  }

  surface.addEventListener('mousedown', (event) => {
    if (event.button !== 0 || event.target.classList.contains('handle')) return;
    const div = event.target.closest('.ctl');
    if (!div) return;
    event.preventDefault();
    const name = div.dataset.name;
    select(name);
    const entry = nodes.get(name);
    drag = {
      kind: 'move', name, start: surfacePoint(event), moved: false,
      origin: { left: entry.absLeft, top: entry.absTop, width: entry.node.width, height: entry.node.height },
    };
  });

  function startResize(event, handle) {
    if (event.button !== 0 || !selected || !nodes.has(selected)) return;
    event.preventDefault();
    event.stopPropagation();
    const entry = nodes.get(selected);
    drag = {
      kind: 'resize', name: selected, handle, start: surfacePoint(event), moved: false,
      origin: { left: entry.absLeft, top: entry.absTop, width: entry.node.width, height: entry.node.height },
    };
  }

  function startInsert(event, tool) {
    if (event.button !== 0) return;
    event.preventDefault();
    drag = { kind: 'insert', tool, moved: false };
    const ghost = $('ghost');
    ghost.textContent = tool.class;
    ghost.hidden = false;
    moveGhost(event);
  }

  function moveGhost(event) {
    const ghost = $('ghost');
    ghost.style.left = event.clientX + 8 + 'px';
    ghost.style.top = event.clientY + 8 + 'px';
  }

  function over(element, event) {
    const box = element.getBoundingClientRect();
    return event.clientX >= box.left && event.clientX < box.right &&
      event.clientY >= box.top && event.clientY < box.bottom;
  }

  function overSurface(event) {
    return over($('surfaceScroll'), event);
  }

  document.addEventListener('mousemove', (event) => {
    if (!drag) return;
    if (drag.kind === 'insert') {
      drag.moved = true;
      moveGhost(event);
      markTarget(overSurface(event) && drag.tool.control ? containerAt(surfacePoint(event)) : null);
      return;
    }
    const point = surfacePoint(event);
    const dx = point.x - drag.start.x;
    const dy = point.y - drag.start.y;
    if (!drag.moved && Math.abs(dx) < 2 && Math.abs(dy) < 2) return;
    drag.moved = true;
    const o = drag.origin;
    let rect = { ...o };
    if (drag.kind === 'move') {
      rect.left = o.left + dx;
      rect.top = o.top + dy;
      markTarget(containerAt(point, drag.name));
    } else {
      const h = drag.handle;
      if (h.includes('w')) { rect.left = o.left + Math.min(dx, o.width); rect.width = o.width - Math.min(dx, o.width); }
      if (h.includes('e')) rect.width = Math.max(0, o.width + dx);
      if (h.includes('n')) { rect.top = o.top + Math.min(dy, o.height); rect.height = o.height - Math.min(dy, o.height); }
      if (h.includes('s')) rect.height = Math.max(0, o.height + dy);
    }
    drag.rect = rect;
    const entry = nodes.get(drag.name);
    const parent = entry.parent ? nodes.get(entry.parent) : null;
    Object.assign(entry.div.style, {
      left: rect.left - (parent ? parent.absLeft : 0) + 'px',
      top: rect.top - (parent ? parent.absTop : 0) + 'px',
      width: rect.width + 'px', height: rect.height + 'px',
    });
    showSelection();
  });

  document.addEventListener('mouseup', async (event) => {
    if (!drag) return;
    const done = drag;
    drag = null;
    markTarget(null);
    if (done.kind === 'insert') {
      $('ghost').hidden = true;
      // A component that is no control joins the form wherever it is dropped
      // on the surface or the components list; a control needs the surface.
      const onTray = !done.tool.control && over($('tray').parentElement, event);
      if (!done.moved || !(overSurface(event) || onTray)) return;
      const point = surfacePoint(event);
      const parent = done.tool.control ? containerAt(point) : null;
      const at = parent ? nodes.get(parent) : { absLeft: 0, absTop: 0 };
      await edit('/api/insert', {
        class: done.tool.class, parent: parent || '',
        left: point.x - at.absLeft, top: point.y - at.absTop,
      });
      return;
    }
    if (!done.moved || !done.rect) return;
    const entry = nodes.get(done.name);
    const rect = done.rect;
    if (done.kind === 'move') {
      const target = containerAt(surfacePoint(event), done.name);
      if (target !== entry.parent) {
        const at = target ? nodes.get(target) : { absLeft: 0, absTop: 0 };
        await edit('/api/parent', {
          component: done.name, parent: target || '',
          left: rect.left - at.absLeft, top: rect.top - at.absTop,
        });
        return;
      }
    }
    const parent = entry.parent ? nodes.get(entry.parent) : { absLeft: 0, absTop: 0 };
    await edit('/api/bounds', {
      component: done.name,
      left: rect.left - parent.absLeft, top: rect.top - parent.absTop,
      width: rect.width, height: rect.height,
    });
  });

  // ---- Edits ---------------------------------------------------------------------

  // The whole edit counts as one thing on its way, pictures and inspector
  // included, so that idle() never resolves halfway through it.
  async function edit(path, body) {
    begin();
    try {
      const result = await api(path, body);
      if (result.name) selected = result.name;
      // Whatever became of the edit, the surface shows the design as it is:
      // a refused move goes back where it was.
      shownVersion = -1;
      if (result.state) applyState(result.state);
      else await refresh();
      if (result.warning) showBox(result.warning, 'warning');
      else if (result.error) showBox(result.error, 'error');
      await refreshInspector();
      return result;
    } finally {
      end();
    }
  }

  async function refresh() {
    const next = await api('/api/state');
    if (!next.error) applyState(next);
  }

  // Edits go to the component the inspector shows, which may still be the
  // one selected before: a field left by clicking on another control tells
  // its change after that control was selected.
  function setProperty(path, value) {
    return edit('/api/property', { component: inspected, path, value });
  }

  $('undo').addEventListener('click', () => edit('/api/undo', {}));
  $('redo').addEventListener('click', () => edit('/api/redo', {}));
  $('save').addEventListener('click', () => edit('/api/save', {}));
  $('delete').addEventListener('click', deleteSelected);

  function deleteSelected() {
    if (!selected) return;
    const name = selected;
    selected = null;
    return edit('/api/delete', { component: name });
  }

  document.addEventListener('keydown', (event) => {
    if (!$('modal').hidden) {
      if (event.key === 'Enter' || event.key === 'Escape') $('modal').hidden = true;
      return;
    }
    const typing = event.target.closest && event.target.closest('input, textarea, select');
    const key = event.key.toLowerCase();
    if ((event.ctrlKey || event.metaKey) && key === 's') {
      event.preventDefault();
      edit('/api/save', {});
    } else if (typing) {
      return;
    } else if ((event.ctrlKey || event.metaKey) && key === 'z') {
      event.preventDefault();
      edit(event.shiftKey ? '/api/redo' : '/api/undo', {});
    } else if ((event.ctrlKey || event.metaKey) && key === 'y') {
      event.preventDefault();
      edit('/api/redo', {});
    } else if (event.key === 'Delete') {
      deleteSelected();
    }
  });

  // ---- The property inspector ------------------------------------------------------

  async function refreshInspector() {
    const name = selected;
    if (!name) {
      inspected = null;
      $('inspectorTitle').textContent = 'Properties';
      properties.innerHTML = '<p class="hint">Select a component to see its properties.</p>';
      return;
    }
    const described = await api('/api/component?name=' + encodeURIComponent(name));
    if (name !== selected) return;  // another was selected meanwhile
    properties.textContent = '';
    if (described.error) {
      properties.textContent = described.error;
      return;
    }
    inspected = described.name;
    $('inspectorTitle').textContent = 'Properties of ' + described.name;
    const row = document.createElement('div');
    row.className = 'nameRow';
    const input = document.createElement('input');
    input.type = 'text';
    input.value = described.name;
    input.dataset.path = '"Name"';
    input.addEventListener('change', () => edit('/api/rename', { component: name, name: input.value }));
    const kind = document.createElement('span');
    kind.className = 'class';
    kind.textContent = described.class;
    row.append(input, kind);
    properties.appendChild(row);
    for (const prop of described.properties) properties.appendChild(editorRow(prop, [prop.name]));
  }

  // The value a property holds, as the form file writes it.
  function valueOf(prop) {
    if (prop.kind === 'object') return Object.fromEntries(prop.properties.map((p) => [p.name, valueOf(p)]));
    if (prop.kind === 'collection') return prop.items.map(itemValue);
    return prop.value;
  }
  function itemValue(item) {
    return Object.fromEntries(item.map((p) => [p.name, valueOf(p)]));
  }

  function editorRow(prop, path) {
    if (prop.kind === 'object' || prop.kind === 'collection') {
      const group = document.createElement('fieldset');
      group.dataset.path = JSON.stringify(path);
      const legend = document.createElement('legend');
      legend.textContent = prop.name + (prop.class ? ' (' + prop.class + ')' : '');
      group.appendChild(legend);
      if (prop.kind === 'object') {
        for (const sub of prop.properties) group.appendChild(editorRow(sub, [...path, sub.name]));
      } else {
        collectionEditor(group, prop, path);
      }
      return group;
    }
    const row = document.createElement('div');
    row.className = 'prop';
    const label = document.createElement('label');
    label.textContent = prop.name;
    label.title = prop.name;
    row.append(label, editor(prop, path));
    return row;
  }

  function collectionEditor(group, prop, path) {
    const items = prop.items.map(itemValue);
    prop.items.forEach((item, index) => {
      const box = document.createElement('div');
      box.className = 'item';
      const head = document.createElement('div');
      head.className = 'itemHead';
      const title = document.createElement('span');
      title.textContent = 'Item ' + index;
      head.appendChild(title);
      const button = (text, tip, action, disabled) => {
        const b = document.createElement('button');
        b.textContent = text;
        b.title = tip;
        b.disabled = disabled;
        b.addEventListener('click', action);
        head.appendChild(b);
      };
      const moved = (from, to) => {
        const next = items.slice();
        next.splice(to, 0, next.splice(from, 1)[0]);
        return next;
      };
      button('\u2191', 'Move up', () => setProperty(path, moved(index, index - 1)), index === 0);
      button('\u2193', 'Move down', () => setProperty(path, moved(index, index + 1)), index === items.length - 1);
      button('\u2715', 'Remove', () => setProperty(path, items.filter((_, i) => i !== index)), false);
      box.appendChild(head);
      for (const sub of item) box.appendChild(editorRow(sub, [...path, index, sub.name]));
      group.appendChild(box);
    });
    const add = document.createElement('button');
    add.textContent = 'Add item';
    add.dataset.add = JSON.stringify(path);
    add.addEventListener('click', () => setProperty(path, [...items, {}]));
    group.appendChild(add);
  }

  function editor(prop, path) {
    const key = JSON.stringify(path);
    let element;
    const changed = (value) => setProperty(path, value);
    switch (prop.kind) {
      case 'integer':
        element = document.createElement('input');
        element.type = 'number';
        element.step = '1';
        element.value = prop.value;
        element.addEventListener('change', () => {
          const value = Number(element.value);
          if (Number.isInteger(value)) changed(value);
          else showBox(prop.name + ' takes a whole number', 'error');
        });
        break;
      case 'boolean':
        element = document.createElement('input');
        element.type = 'checkbox';
        element.checked = prop.value === true;
        element.addEventListener('change', () => changed(element.checked));
        break;
      case 'strings':
        element = document.createElement('textarea');
        element.rows = Math.min(12, Math.max(2, (prop.value || []).length + 1));
        element.value = (prop.value || []).join('\n');
        element.addEventListener('change', () => {
          changed(element.value === '' ? [] : element.value.split(/\r?\n/));
        });
        break;
      case 'enum':
      case 'component':
        element = choiceList(prop.choices, prop.value);
        element.addEventListener('change', () => changed(element.value));
        break;
      case 'color':
        element = colorEditor(prop, changed);
        break;
      case 'field': {
        element = document.createElement('input');
        element.type = 'text';
        element.value = prop.value || '';
        const list = document.createElement('datalist');
        list.id = 'choices' + Math.random().toString(36).slice(2);
        for (const choice of prop.choices) list.appendChild(new Option(choice, choice));
        element.setAttribute('list', list.id);
        element.addEventListener('change', () => changed(element.value));
        const wrap = document.createElement('div');
        wrap.append(element, list);
        element.dataset.path = key;
        element.disabled = !!prop.readOnly;
        return wrap;
      }
      default:
        element = document.createElement('input');
        element.type = 'text';
        element.value = prop.value === null || prop.value === undefined ? '' : prop.value;
        element.addEventListener('change', () => changed(element.value));
    }
    element.dataset.path = key;
    if (prop.readOnly) for (const e of [element, ...element.querySelectorAll('*')]) e.disabled = true;
    return element;
  }

  function choiceList(choices, value) {
    const list = document.createElement('select');
    for (const choice of choices) list.appendChild(new Option(choice === '' ? '(none)' : choice, choice));
    if (!choices.includes(value)) list.appendChild(new Option(String(value), String(value)));
    list.value = value;
    return list;
  }

  // A colour: the constants, a picker for any other colour, and the value as
  // the form file writes it (a name, "#RRGGBB" or the host's number).
  function colorEditor(prop, changed) {
    const box = document.createElement('div');
    box.className = 'color';
    const picker = document.createElement('input');
    picker.type = 'color';
    picker.value = (prop.rgb || '#000000').toLowerCase();
    picker.dataset.role = 'picker';
    const names = document.createElement('select');
    names.appendChild(new Option('(other)', ''));
    for (const name of prop.choices) names.appendChild(new Option(name, name));
    names.value = prop.choices.includes(prop.value) ? prop.value : '';
    names.dataset.role = 'constant';
    const text = document.createElement('input');
    text.type = 'text';
    text.value = prop.value;
    text.dataset.role = 'text';
    picker.addEventListener('change', () => changed(picker.value.toUpperCase()));
    names.addEventListener('change', () => { if (names.value) changed(names.value); });
    text.addEventListener('change', () => {
      const value = text.value.trim();
      changed(/^-?\d+$/.test(value) ? Number(value) : value);
    });
    box.append(picker, names, text);
    return box;
  }

  // ---- Start -------------------------------------------------------------------------

  async function start() {
    begin();
    try {
      await Promise.all([buildPalette(), refresh()]);
      // The address may name the component to select (#Name); else the page.
      const wanted = decodeURIComponent(location.hash.slice(1));
      const firstPage = state && state.design.controls.find((c) => c.class === 'TWvPage');
      if (state && (nodes.has(wanted) || trayHas(wanted))) await select(wanted);
      else if (firstPage) await select(firstPage.name);
      else await refreshInspector();
    } finally {
      end();
    }
  }
  start();

  return {
    idle,
    state: () => state,
    selected: () => selected,
    select,
    refresh,
  };
})();
window.designer = designer;
