// The designer's UI. The server holds the design; this script draws what it
// is told (the controls as their own preview pictures, the property
// inspector, the rendered page), turns the mouse and the keyboard into edits
// (select one or several, move, resize, align, drop from the palette, drop
// into another container, copy and paste) and shows the library's refusals
// as a warning box. Positions sent to the server are always page pixels,
// whatever the zoom. Plain script, no libraries.
'use strict';

const designer = (() => {
  const $ = (id) => document.getElementById(id);
  const surface = $('surface');
  const overlay = $('overlay');
  const properties = $('properties');
  const rendered = $('rendered');

  let state = null;        // the last state the server sent
  let shownVersion = -1;   // the version the surface and frame show
  let selection = [];      // names selected, in the order chosen
  let selected = null;     // the one of them the inspector shows (the last chosen)
  let nodes = new Map();   // name -> { node, div, absLeft, absTop, parent }
  let pending = 0;         // requests and pictures still on their way
  let waiters = [];
  let drag = null;         // the drag in progress
  let inspected = null;    // the component the inspector shows
  let queue = Promise.resolve();  // edits run one after the other

  // The grid and the zoom are the person's settings, kept by the browser.
  const settings = (() => {
    let kept = {};
    try {
      kept = JSON.parse(localStorage.getItem('tavkit.designer') || '{}') || {};
    } catch (e) {
      kept = {};
    }
    return {
      grid: kept.grid !== false,
      step: Number.isInteger(kept.step) && kept.step >= 2 && kept.step <= 64 ? kept.step : 8,
      zoom: zoomSteps().includes(kept.zoom) ? kept.zoom : 1,
    };
  })();
  function keepSettings() {
    try {
      localStorage.setItem('tavkit.designer', JSON.stringify(settings));
    } catch (e) {
      // a browser that keeps nothing still designs; the settings last the visit
    }
  }
  function zoomSteps() { return [0.5, 0.75, 1, 1.5, 2, 3, 4]; }

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

  // ---- The warning box and the help panel ------------------------------------

  function showBox(text, kind) {
    $('modalTitle').textContent = kind === 'error' ? 'Error' : 'Warning';
    $('modal').classList.toggle('error', kind === 'error');
    $('modalText').textContent = text;
    $('modal').hidden = false;
    $('modalOk').focus();
  }
  $('modalOk').addEventListener('click', () => { $('modal').hidden = true; });

  function toggleHelp(show) {
    $('help').hidden = !show;
    if (show) $('helpClose').focus();
  }
  $('helpClose').addEventListener('click', () => toggleHelp(false));
  $('helpButton').addEventListener('click', () => toggleHelp(true));

  // ---- State: toolbar, surface, tray, frame --------------------------------

  // With keepPictures (the edit only moved controls) the previews drawn
  // before stay: a control's preview paints it alone, at its own size.
  function applyState(next, keepPictures) {
    state = next;
    $('file').textContent = next.file + (next.modified ? ' *' : '');
    $('undo').disabled = !next.canUndo;
    $('redo').disabled = !next.canRedo;
    $('status').textContent = next.modified ? 'Not saved' : 'Saved';
    showWarnings(next.warnings || []);
    if (next.version !== shownVersion) {
      shownVersion = next.version;
      // The page is asked for first: the browser takes a few requests to a
      // server at a time, and the previews would otherwise go ahead of it.
      track(rendered, '/page/?v=' + next.version);
      buildSurface(next.design, keepPictures);
      buildTray(next.design);
    }
    selection = selection.filter((name) => nodes.has(name) || trayHas(name));
    if (!selection.includes(selected)) selected = selection.length ? selection[selection.length - 1] : null;
    showSelection();
    showToolbar();
  }

  function trayHas(name) {
    return state.design.components.some((c) => c.name === name);
  }

  let designSize = { width: 100, height: 100 };

  function buildSurface(design, keepPictures) {
    for (const old of [...surface.children]) if (old !== overlay) old.remove();
    const before = nodes;
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
        const drawn = keepPictures && before.get(node.name);
        if (drawn && drawn.picture && drawn.node.class === node.class &&
            drawn.node.width === node.width && drawn.node.height === node.height) picture.src = drawn.picture;
        else track(picture, '/preview/' + encodeURIComponent(node.name) + '.png?v=' + state.version);
        div.appendChild(picture);
      }
      container.appendChild(div);
      const shown = div.querySelector('img.preview');
      nodes.set(node.name, { node, div, absLeft, absTop, parent, picture: shown && shown.src });
      width = Math.max(width, absLeft + node.width);
      height = Math.max(height, absTop + node.height);
      for (const child of node.children)
        add(child, div, absLeft + child.left, absTop + child.top, node.name);
    };
    for (const node of design.controls) add(node, surface, node.left, node.top, null);
    designSize = { width: Math.max(width, 100), height: Math.max(height, 100) };
    surface.appendChild(overlay);
    applyZoom();
  }

  // The design view is drawn at page size and scaled; the box around it
  // takes the scaled size so that the view scrolls as far as it reaches.
  function applyZoom() {
    const z = settings.zoom;
    surface.style.width = designSize.width + 'px';
    surface.style.height = designSize.height + 'px';
    surface.style.transform = z === 1 ? '' : 'scale(' + z + ')';
    $('zoomBox').style.width = designSize.width * z + 'px';
    $('zoomBox').style.height = designSize.height * z + 'px';
    $('zoom').value = String(z);
    surface.style.setProperty('--grid', settings.step + 'px');
    surface.classList.toggle('gridOn', settings.grid);
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
      item.addEventListener('mousedown', (event) => select(component.name, event.shiftKey));
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

  // Why data-bound parts of the design are empty, one line each.
  function showWarnings(lines) {
    const bar = $('warnings');
    bar.hidden = lines.length === 0;
    bar.textContent = '';
    for (const line of lines) {
      const item = document.createElement('div');
      item.textContent = line;
      bar.appendChild(item);
    }
  }

  // A form made by the designer starts with an empty page: its size is
  // asked for once, before the first component.
  let sizeAsked = false;
  function offerPageSize() {
    const page = state.design.controls.find((c) => c.class === 'TWvPage');
    if (sizeAsked || !state.new || !page || page.children.length) return;
    sizeAsked = true;
    $('pageWidth').value = String(page.width);
    $('pageHeight').value = String(page.height);
    $('pageSize').dataset.page = page.name;
    $('pageSize').hidden = false;
    $('pageWidth').focus();
  }
  for (const preset of document.querySelectorAll('#pageSize [data-size]'))
    preset.addEventListener('click', () => {
      const [w, h] = preset.dataset.size.split('x');
      $('pageWidth').value = w;
      $('pageHeight').value = h;
    });
  $('pageSizeSkip').addEventListener('click', () => { $('pageSize').hidden = true; });
  $('pageSizeOk').addEventListener('click', () => {
    const width = Number($('pageWidth').value);
    const height = Number($('pageHeight').value);
    if (!Number.isInteger(width) || !Number.isInteger(height) || width <= 0 || height <= 0) {
      showBox('The page size takes two whole numbers above 0', 'error');
      return;
    }
    $('pageSize').hidden = true;
    const page = nodes.get($('pageSize').dataset.page);
    run(() => edit('/api/bounds', { component: page.node.name, left: page.node.left, top: page.node.top, width, height }));
  });

  // ---- Selection -------------------------------------------------------------

  const handleNames = ['nw', 'n', 'ne', 'e', 'se', 's', 'sw', 'w'];

  function rectOf(name) {
    const entry = nodes.get(name);
    if (drag && drag.rects && drag.rects.has(name)) return drag.rects.get(name);
    return { left: entry.absLeft, top: entry.absTop, width: entry.node.width, height: entry.node.height };
  }

  function showSelection() {
    overlay.textContent = '';
    for (const item of document.querySelectorAll('.trayItem'))
      item.classList.toggle('selected', selection.includes(item.dataset.name));
    const shown = selection.filter((name) => nodes.has(name));
    for (const name of shown) {
      const rect = rectOf(name);
      const frame = document.createElement('div');
      frame.className = 'selection' + (name === selected && shown.length > 1 ? ' primary' : '');
      frame.dataset.name = name;
      Object.assign(frame.style, {
        left: rect.left + 'px', top: rect.top + 'px', width: rect.width + 'px', height: rect.height + 'px',
      });
      overlay.appendChild(frame);
    }
    if (drag && drag.band) overlay.appendChild(box('band', drag.band));
    if (drag && drag.guides) {
      for (const x of drag.guides.x)
        overlay.appendChild(box('guide', { left: x, top: 0, width: 0, height: designSize.height }));
      for (const y of drag.guides.y)
        overlay.appendChild(box('guide', { left: 0, top: y, width: designSize.width, height: 0 }));
    }
    if (shown.length !== 1 || selection.length !== 1) return;
    const rect = rectOf(shown[0]);
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

  function box(kind, rect) {
    const div = document.createElement('div');
    div.className = kind;
    Object.assign(div.style, {
      left: rect.left + 'px', top: rect.top + 'px', width: rect.width + 'px', height: rect.height + 'px',
    });
    return div;
  }

  // Several may be selected together when they share a parent (controls) or
  // are all components that are no controls, so that every edit on them
  // means the same thing for each.
  function groupOf(name) {
    return nodes.has(name) ? 'control:' + (nodes.get(name).parent || '') : 'component';
  }

  // Selects name alone, or with adding, adds it to the selection (or takes
  // it out when it is there); a component of another group starts afresh.
  async function select(name, adding) {
    if (adding && selection.length && groupOf(selection[0]) === groupOf(name)) {
      if (selection.includes(name)) selection = selection.filter((n) => n !== name);
      else selection = [...selection, name];
    } else {
      if (selection.length === 1 && selected === name) return;
      selection = name ? [name] : [];
    }
    await chosen();
  }

  async function selectAll(names) {
    selection = names.slice();
    await chosen();
  }

  async function chosen() {
    selected = selection.length ? selection[selection.length - 1] : null;
    showSelection();
    showToolbar();
    begin();
    try {
      await refreshInspector();
    } finally {
      end();
    }
  }

  // The selected controls in the design's order.
  function selectedControls() {
    return [...nodes.keys()].filter((name) => selection.includes(name));
  }

  function showToolbar() {
    const count = selectedControls().length;
    for (const button of document.querySelectorAll('#arrange button'))
      button.disabled = count < Number(button.dataset.least);
    $('delete').disabled = selection.length === 0;
  }

  // ---- Dragging ----------------------------------------------------------------

  // A point of the mouse in page pixels, whatever the zoom.
  function surfacePoint(event) {
    const bounds = surface.getBoundingClientRect();
    return {
      x: Math.round((event.clientX - bounds.left) / settings.zoom),
      y: Math.round((event.clientY - bounds.top) / settings.zoom),
    };
  }

  // The innermost control under a point of the surface that accepts
  // controls, leaving out the dragged ones and what they hold.
  function containerAt(point, excluded) {
    let best = null;
    let depth = -1;
    for (const [name, entry] of nodes) {
      if (!entry.node.accepts || (excluded && excluded.some((e) => isWithin(name, e)))) continue;
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

  function parentOrigin(name) {
    const parent = nodes.get(name).parent;
    return parent ? { x: nodes.get(parent).absLeft, y: nodes.get(parent).absTop } : { x: 0, y: 0 };
  }

  // A position in the parent's pixels on the grid, unless the grid is off or
  // Alt is held to place freely.
  function snap(value, event) {
    if (!settings.grid || event.altKey) return value;
    return Math.round(value / settings.step) * settings.step;
  }

  // Guide lines: where a left, centre or right (top, middle, bottom) of the
  // moved rectangles meets that of a control that does not move.
  function guidesFor(rects, moving) {
    const xs = new Set();
    const ys = new Set();
    for (const [name, entry] of nodes) {
      if (moving.some((m) => isWithin(name, m))) continue;
      const n = entry.node;
      xs.add(entry.absLeft).add(entry.absLeft + n.width / 2).add(entry.absLeft + n.width);
      ys.add(entry.absTop).add(entry.absTop + n.height / 2).add(entry.absTop + n.height);
    }
    const found = { x: new Set(), y: new Set() };
    for (const r of rects) {
      for (const x of [r.left, r.left + r.width / 2, r.left + r.width]) if (xs.has(x)) found.x.add(x);
      for (const y of [r.top, r.top + r.height / 2, r.top + r.height]) if (ys.has(y)) found.y.add(y);
    }
    return { x: [...found.x], y: [...found.y] };
  }

  surface.addEventListener('mousedown', (event) => {
    if (event.button !== 0 || event.target.classList.contains('handle')) return;
    const div = event.target.closest('.ctl');
    event.preventDefault();
    document.activeElement && document.activeElement.blur && document.activeElement.blur();
    const name = div ? div.dataset.name : null;
    // A drag on a page, on the ground around it, or with Ctrl on any
    // container draws a rectangle that selects what it touches inside.
    const entry = name ? nodes.get(name) : null;
    if (!entry || (entry.node.accepts && (!entry.parent || event.ctrlKey))) {
      drag = { kind: 'band', container: name, start: surfacePoint(event), moved: false, adding: event.shiftKey };
      return;
    }
    if (event.shiftKey) {
      select(name, true);
      return;
    }
    if (!selection.includes(name) || groupOf(selection[0]) !== groupOf(name)) select(name, false);
    else if (selected !== name) {
      selection = [...selection.filter((n) => n !== name), name];
      chosen();
    }
    drag = { kind: 'move', name, start: surfacePoint(event), moved: false };
  });

  function startResize(event, handle) {
    if (event.button !== 0 || !selected || !nodes.has(selected)) return;
    event.preventDefault();
    event.stopPropagation();
    drag = { kind: 'resize', name: selected, handle, start: surfacePoint(event), moved: false };
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
    const bounds = element.getBoundingClientRect();
    return event.clientX >= bounds.left && event.clientX < bounds.right &&
      event.clientY >= bounds.top && event.clientY < bounds.bottom;
  }

  function overSurface(event) {
    return over($('surfaceScroll'), event);
  }

  // Where the moved controls are for the mouse's move: the grabbed one's
  // new place in its parent snaps to the grid and the others follow it.
  function moveRects(event, dx, dy) {
    const moving = selectedControls();
    const grabbed = nodes.get(drag.name);
    const origin = parentOrigin(drag.name);
    const left = snap(grabbed.absLeft + dx - origin.x, event) + origin.x;
    const top = snap(grabbed.absTop + dy - origin.y, event) + origin.y;
    const shift = { x: left - grabbed.absLeft, y: top - grabbed.absTop };
    const rects = new Map();
    for (const name of moving) {
      const e = nodes.get(name);
      rects.set(name, { left: e.absLeft + shift.x, top: e.absTop + shift.y, width: e.node.width, height: e.node.height });
    }
    return rects;
  }

  // The rectangle of a control sized by a handle: the edges it moves
  // snap to the grid of the parent.
  function resizeRect(event, dx, dy) {
    const e = nodes.get(drag.name);
    const origin = parentOrigin(drag.name);
    const o = { left: e.absLeft, top: e.absTop, width: e.node.width, height: e.node.height };
    const h = drag.handle;
    let left = o.left, top = o.top, right = o.left + o.width, bottom = o.top + o.height;
    if (h.includes('w')) left = Math.min(snap(o.left + dx - origin.x, event) + origin.x, right);
    if (h.includes('e')) right = Math.max(snap(right + dx - origin.x, event) + origin.x, left);
    if (h.includes('n')) top = Math.min(snap(o.top + dy - origin.y, event) + origin.y, bottom);
    if (h.includes('s')) bottom = Math.max(snap(bottom + dy - origin.y, event) + origin.y, top);
    return { left, top, width: right - left, height: bottom - top };
  }

  function bandRect(start, point) {
    const s = start;
    return {
      left: Math.min(s.x, point.x), top: Math.min(s.y, point.y),
      width: Math.abs(point.x - s.x), height: Math.abs(point.y - s.y),
    };
  }

  document.addEventListener('mousemove', (event) => {
    if (!drag) return;
    // The rendered page would take the mouse from a drag that passes over it.
    document.body.classList.add('dragging');
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
    if (drag.kind === 'band') {
      drag.band = bandRect(drag.start, point);
      showSelection();
      return;
    }
    if (drag.kind === 'move') {
      drag.rects = moveRects(event, dx, dy);
      markTarget(containerAt(point, selectedControls()));
    } else {
      drag.rects = new Map([[drag.name, resizeRect(event, dx, dy)]]);
    }
    for (const [name, rect] of drag.rects) {
      const entry = nodes.get(name);
      const origin = parentOrigin(name);
      Object.assign(entry.div.style, {
        left: rect.left - origin.x + 'px', top: rect.top - origin.y + 'px',
        width: rect.width + 'px', height: rect.height + 'px',
      });
    }
    drag.guides = guidesFor([...drag.rects.values()], [...drag.rects.keys()]);
    showSelection();
  });

  document.addEventListener('mouseup', (event) => {
    if (!drag) return;
    const done = drag;
    drag = null;
    document.body.classList.remove('dragging');
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
      run(() => edit('/api/insert', {
        class: done.tool.class, parent: parent || '',
        left: point.x - at.absLeft, top: point.y - at.absTop,
      }));
      return;
    }
    if (done.kind === 'band') {
      finishBand(done, surfacePoint(event));
      return;
    }
    showSelection();
    if (!done.moved || !done.rects) return;
    const edits = [];
    const target = done.kind === 'move' ? containerAt(surfacePoint(event), [...done.rects.keys()]) : undefined;
    for (const [name, rect] of done.rects) {
      if (target !== undefined && target !== nodes.get(name).parent) {
        const at = target ? nodes.get(target) : { absLeft: 0, absTop: 0 };
        edits.push({ route: 'parent', component: name, parent: target || '',
          left: rect.left - at.absLeft, top: rect.top - at.absTop });
      } else {
        const origin = parentOrigin(name);
        edits.push({ route: 'bounds', component: name, left: rect.left - origin.x,
          top: rect.top - origin.y, width: rect.width, height: rect.height });
      }
    }
    run(() => editAll(edits));
  });

  // The band selects the children of its container that it touches; a click
  // without a drag selects the container itself.
  function finishBand(done, point) {
    showSelection();
    if (!done.moved) {
      if (done.container) select(done.container, done.adding);
      return;
    }
    const band = bandRect(done.start, point);
    const touched = [...nodes.entries()].filter(([, e]) => (e.parent || null) === (done.container || null) &&
      e.absLeft < band.left + band.width && band.left < e.absLeft + e.node.width &&
      e.absTop < band.top + band.height && band.top < e.absTop + e.node.height).map(([name]) => name);
    if (touched.length === 0) {
      if (done.container) select(done.container, false);
      return;
    }
    const kept = done.adding && selection.length && groupOf(selection[0]) === groupOf(touched[0]) ? selection : [];
    selectAll([...kept.filter((n) => !touched.includes(n)), ...touched]);
  }

  // ---- Edits ---------------------------------------------------------------------

  // Edits run one after the other, each computed when its turn comes, so
  // that a key held down moves from where the last press left the design.
  function run(work) {
    begin();
    queue = queue.then(work).catch((e) => showBox(String(e), 'error')).finally(end);
    return queue;
  }

  // The whole edit counts as one thing on its way, pictures and inspector
  // included, so that idle() never resolves halfway through it.
  async function edit(path, body) {
    begin();
    try {
      const moves = onlyMoves(path, body);
      const result = await api(path, body);
      if (result.name) selection = [result.name];
      if (result.names) selection = result.names.slice();
      // Whatever became of the edit, the surface shows the design as it is:
      // a refused move goes back where it was.
      shownVersion = -1;
      if (result.state) applyState(result.state, moves && !result.warning && !result.error);
      else await refresh();
      if (result.warning) showBox(result.warning, 'warning');
      else if (result.error) showBox(result.error, 'error');
      selected = selection.length ? selection[selection.length - 1] : null;
      showSelection();
      await refreshInspector();
      return result;
    } finally {
      end();
    }
  }

  // Whether an edit only moves controls, keeping their sizes and parents.
  function onlyMoves(path, body) {
    const edits = path === '/api/batch' ? body.edits : path === '/api/bounds' ? [{ route: 'bounds', ...body }] : [];
    return edits.length > 0 && edits.every((e) => e.route === 'bounds' && nodes.has(e.component) &&
      nodes.get(e.component).node.width === e.width && nodes.get(e.component).node.height === e.height);
  }

  // Several edits as one step of undo: all are made or none.
  function editAll(edits) {
    if (edits.length === 0) return Promise.resolve({});
    if (edits.length === 1) {
      const { route, ...body } = edits[0];
      return edit('/api/' + route, body);
    }
    return edit('/api/batch', { edits });
  }

  async function refresh() {
    const next = await api('/api/state');
    if (!next.error) applyState(next);
  }

  // Edits go to the component the inspector shows, which may still be the
  // one selected before: a field left by clicking on another control tells
  // its change after that control was selected.
  function setProperty(path, value) {
    if (Array.isArray(inspected))
      return run(() => editAll(inspected.map((component) => ({ route: 'property', component, path, value }))));
    return run(() => edit('/api/property', { component: inspected, path, value }));
  }

  $('undo').addEventListener('click', () => run(() => edit('/api/undo', {})));
  $('redo').addEventListener('click', () => run(() => edit('/api/redo', {})));
  $('save').addEventListener('click', () => run(() => edit('/api/save', {})));
  $('delete').addEventListener('click', deleteSelected);

  function deleteSelected() {
    if (selection.length === 0) return;
    const names = selection;
    selection = [];
    return run(() => editAll(names.map((component) => ({ route: 'delete', component }))));
  }

  // ---- Copy and paste ------------------------------------------------------------

  // The text of a copy is a form file; it goes on the system clipboard so
  // that another designer window pastes it, and is kept here too for a
  // browser that does not let the page at its clipboard.
  let copied = { text: '', names: [], parent: null };

  async function copy(cut) {
    const names = selection.slice();
    if (names.length === 0) return;
    const result = await api('/api/copy', { components: names });
    if (result.error || result.warning) {
      showBox(result.error || result.warning, result.error ? 'error' : 'warning');
      return;
    }
    copied = { text: result.text, names, parent: nodes.has(names[0]) ? nodes.get(names[0]).parent || '' : '' };
    try {
      await navigator.clipboard.writeText(result.text);
    } catch (e) {
      // kept in this window only; pasting here still works
    }
    if (cut) {
      selection = [];
      await editAll(names.map((component) => ({ route: 'delete', component })));
    }
  }

  async function paste() {
    let text = '';
    try {
      text = await navigator.clipboard.readText();
    } catch (e) {
      text = '';
    }
    if (!text) text = copied.text;
    if (!text) return;
    await edit('/api/paste', { text, parent: pasteParent(text) });
  }

  // Into the selected container, unless it is what was just copied: a
  // panel copied and pasted at once goes beside itself, not into itself.
  function pasteParent(text) {
    const own = text === copied.text;
    const entry = selection.length === 1 && nodes.get(selected);
    if (entry && entry.node.accepts && !(own && copied.names.includes(selected))) return selected;
    if (own && (copied.parent === '' || nodes.has(copied.parent))) return copied.parent;
    if (entry) return entry.parent || '';
    return '';
  }

  // Bounds edits for the selected controls from a function giving each
  // one's new rectangle in page pixels; those that stay put are left out.
  function reshape(place) {
    return run(() => {
      const names = selectedControls();
      const rects = names.map((name) => ({ name, ...rectOf(name) }));
      const placed = place(rects);
      const edits = [];
      rects.forEach((r, i) => {
        const p = placed[i];
        if (p.left === r.left && p.top === r.top && p.width === r.width && p.height === r.height) return;
        const origin = parentOrigin(r.name);
        edits.push({ route: 'bounds', component: r.name, left: p.left - origin.x, top: p.top - origin.y,
          width: p.width, height: p.height });
      });
      return editAll(edits);
    });
  }

  // The toolbar's arrangements. Aligning goes to the outermost edge (or the
  // centre of the rectangle around all of them); the same size is that of
  // the control the inspector shows; spacing keeps the first and the last
  // where they are and makes the gaps between the others equal.
  const arrangements = {
    left: (rs) => { const l = Math.min(...rs.map((r) => r.left)); return rs.map((r) => ({ ...r, left: l })); },
    right: (rs) => {
      const e = Math.max(...rs.map((r) => r.left + r.width));
      return rs.map((r) => ({ ...r, left: e - r.width }));
    },
    top: (rs) => { const t = Math.min(...rs.map((r) => r.top)); return rs.map((r) => ({ ...r, top: t })); },
    bottom: (rs) => {
      const e = Math.max(...rs.map((r) => r.top + r.height));
      return rs.map((r) => ({ ...r, top: e - r.height }));
    },
    centerX: (rs) => {
      const c = (Math.min(...rs.map((r) => r.left)) + Math.max(...rs.map((r) => r.left + r.width))) / 2;
      return rs.map((r) => ({ ...r, left: Math.round(c - r.width / 2) }));
    },
    centerY: (rs) => {
      const c = (Math.min(...rs.map((r) => r.top)) + Math.max(...rs.map((r) => r.top + r.height))) / 2;
      return rs.map((r) => ({ ...r, top: Math.round(c - r.height / 2) }));
    },
    width: (rs) => { const w = rectOf(selected).width; return rs.map((r) => ({ ...r, width: w })); },
    height: (rs) => { const h = rectOf(selected).height; return rs.map((r) => ({ ...r, height: h })); },
    across: (rs) => spread(rs, 'left', 'width'),
    down: (rs) => spread(rs, 'top', 'height'),
  };

  function spread(rs, at, size) {
    const order = rs.map((r, i) => i).sort((a, b) => rs[a][at] - rs[b][at]);
    const first = rs[order[0]];
    const last = rs[order[order.length - 1]];
    const used = order.reduce((sum, i) => sum + rs[i][size], 0);
    const gap = (last[at] + last[size] - first[at] - used) / (order.length - 1);
    const placed = rs.map((r) => ({ ...r }));
    let before = 0;
    order.forEach((i, k) => {
      placed[i][at] = first[at] + before + Math.round(gap * k);
      before += rs[i][size];
    });
    return placed;
  }

  for (const button of document.querySelectorAll('#arrange button'))
    button.addEventListener('click', () => reshape(arrangements[button.dataset.arrange]));

  // ---- Grid and zoom ---------------------------------------------------------

  $('gridOn').checked = settings.grid;
  $('gridStep').value = String(settings.step);
  $('gridOn').addEventListener('change', () => {
    settings.grid = $('gridOn').checked;
    keepSettings();
    applyZoom();
  });
  $('gridStep').addEventListener('change', () => {
    const step = Number($('gridStep').value);
    if (Number.isInteger(step) && step >= 2 && step <= 64) settings.step = step;
    $('gridStep').value = String(settings.step);
    keepSettings();
    applyZoom();
  });
  for (const z of zoomSteps()) $('zoom').appendChild(new Option(z * 100 + '%', String(z)));
  $('zoom').addEventListener('change', () => setZoom(Number($('zoom').value)));

  function setZoom(z) {
    settings.zoom = z;
    keepSettings();
    applyZoom();
    showSelection();
  }

  function zoomBy(direction) {
    const steps = zoomSteps();
    const at = steps.indexOf(settings.zoom) + direction;
    if (at >= 0 && at < steps.length) setZoom(steps[at]);
  }

  // ---- The keyboard ------------------------------------------------------------

  const arrows = { ArrowLeft: [-1, 0], ArrowRight: [1, 0], ArrowUp: [0, -1], ArrowDown: [0, 1] };

  // An arrow key: Shift moves by a grid step, Ctrl changes the size
  // (right and down make it larger); one press is one step of undo.
  function arrowKey(event) {
    const [x, y] = arrows[event.key];
    const by = event.shiftKey ? settings.step : 1;
    const sizing = event.ctrlKey || event.metaKey;
    return reshape((rs) => rs.map((r) => sizing ?
      { ...r, width: Math.max(0, r.width + x * by), height: Math.max(0, r.height + y * by) } :
      { ...r, left: r.left + x * by, top: r.top + y * by }));
  }

  // Tab walks the controls in the order of the design, then the other
  // components; Shift+Tab walks back.
  function walk(back) {
    const order = [...nodes.keys(), ...state.design.components.map((c) => c.name)];
    if (order.length === 0) return;
    const at = order.indexOf(selected);
    const next = at < 0 ? (back ? order.length - 1 : 0) : (at + (back ? -1 : 1) + order.length) % order.length;
    select(order[next], false);
  }

  function selectParent() {
    const entry = selected && nodes.get(selected);
    if (entry && entry.parent) select(entry.parent, false);
  }

  document.addEventListener('keydown', (event) => {
    if (!$('modal').hidden) {
      if (event.key === 'Enter' || event.key === 'Escape') $('modal').hidden = true;
      return;
    }
    if (!$('pageSize').hidden) {
      if (event.key === 'Enter') $('pageSizeOk').click();
      if (event.key === 'Escape') $('pageSize').hidden = true;
      return;
    }
    if (!$('help').hidden) {
      if (event.key === 'Escape' || event.key === '?') {
        event.preventDefault();
        toggleHelp(false);
      }
      return;
    }
    const typing = event.target.closest && event.target.closest('input, textarea, select');
    const key = event.key.toLowerCase();
    const command = event.ctrlKey || event.metaKey;
    if (command && key === 's') {
      event.preventDefault();
      run(() => edit('/api/save', {}));
      return;
    }
    if (typing) return;
    let handled = true;
    if (command && key === 'z') run(() => edit(event.shiftKey ? '/api/redo' : '/api/undo', {}));
    else if (command && key === 'y') run(() => edit('/api/redo', {}));
    else if (command && key === 'a') selectSiblings();
    else if (command && (key === 'c' || key === 'x')) run(() => copy(key === 'x'));
    else if (command && key === 'v') run(paste);
    else if (event.key in arrows && selectedControls().length) arrowKey(event);
    else if (event.key === 'Tab') walk(event.shiftKey);
    else if (event.key === 'Escape') selectParent();
    else if (event.key === 'Delete') deleteSelected();
    else if (event.key === '?') toggleHelp(true);
    else if (event.key === '+' || event.key === '=') zoomBy(1);
    else if (event.key === '-') zoomBy(-1);
    else handled = false;
    if (handled) event.preventDefault();
  });

  // Ctrl+A: every control beside the selected ones, or the children of the
  // selected container when it is alone.
  function selectSiblings() {
    if (!selected || !nodes.has(selected)) return;
    const single = selection.length === 1 && nodes.get(selected).node.accepts;
    const parent = single ? selected : nodes.get(selected).parent;
    const names = [...nodes.keys()].filter((n) => nodes.get(n).parent === parent);
    if (names.length) selectAll(names);
  }
  // ---- The property inspector ------------------------------------------------------

  async function refreshInspector() {
    const name = selected;
    if (!name) {
      inspected = null;
      $('inspectorTitle').textContent = 'Properties';
      properties.innerHTML = '<p class="hint">Select a component to see its properties.</p>';
      return;
    }
    if (selection.length > 1) {
      const names = selection.slice();
      const shared = await api('/api/shared', { components: names });
      if (names.join() !== selection.join()) return;  // the selection changed meanwhile
      inspected = names;
      $('inspectorTitle').textContent = names.length + ' selected';
      properties.textContent = '';
      const hint = document.createElement('p');
      hint.className = 'hint';
      hint.textContent = names.join(', ') + '. A blank value differs among them.';
      properties.appendChild(hint);
      if (shared.error) {
        properties.appendChild(document.createTextNode(shared.error));
        return;
      }
      const list = Array.isArray(shared) ? shared : shared.properties || [];
      for (const prop of list) properties.appendChild(editorRow(prop, [prop.name]));
      return;
    }
    const described = await api('/api/component?name=' + encodeURIComponent(name));
    if (name !== selected || selection.length !== 1) return;  // another was selected meanwhile
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
    input.addEventListener('change', () => run(() => edit('/api/rename', { component: name, name: input.value })));
    const kind = document.createElement('span');
    kind.className = 'class';
    kind.textContent = described.class;
    row.append(input, kind);
    properties.appendChild(row);
    if (described.pictureError) {
      const why = document.createElement('p');
      why.className = 'pictureError';
      why.textContent = described.pictureError;
      properties.appendChild(why);
    }
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
      } else if (prop.items === null) {
        group.appendChild(differs());
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
        element.value = prop.value === null ? '' : prop.value;
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
        element.indeterminate = prop.value === null;
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
        for (const choice of prop.choices || []) list.appendChild(new Option(choice, choice));
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

  // A list of several components' that is not the same for all of them.
  function differs() {
    const note = document.createElement('p');
    note.className = 'hint';
    note.textContent = 'differs among them';
    return note;
  }

  function choiceList(choices, value) {
    choices = choices || [];
    const list = document.createElement('select');
    if (value === null) list.appendChild(new Option('', ''));
    for (const choice of choices) list.appendChild(new Option(choice === '' ? '(none)' : choice, choice));
    if (value !== null && !choices.includes(value)) list.appendChild(new Option(String(value), String(value)));
    list.value = value === null ? '' : value;
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
    const choices = prop.choices || [];
    for (const name of choices) names.appendChild(new Option(name, name));
    names.value = choices.includes(prop.value) ? prop.value : '';
    names.dataset.role = 'constant';
    const text = document.createElement('input');
    text.type = 'text';
    text.value = prop.value === null ? '' : prop.value;
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
      applyZoom();
      await Promise.all([buildPalette(), refresh()]);
      // The address may name the component to select (#Name); else the page.
      const wanted = decodeURIComponent(location.hash.slice(1));
      const firstPage = state && state.design.controls.find((c) => c.class === 'TWvPage');
      if (state && (nodes.has(wanted) || trayHas(wanted))) await select(wanted, false);
      else if (firstPage) await select(firstPage.name, false);
      else await refreshInspector();
      if (state) offerPageSize();
    } finally {
      end();
    }
  }
  start();

  return {
    idle,
    state: () => state,
    selected: () => selected,
    selection: () => selection.slice(),
    select,
    refresh,
  };
})();
window.designer = designer;
