'use strict';
// The studio's page. Everything it shows comes from the vask process that
// served it: frames and the effects' own controls as PNG pictures, values as
// JSON. Requests that a plug-in answers may come back "pending" while the
// plug-in shows a box, a dialog or the wait cursor; api() shows those and
// asks again until the request is done.

const token = new URLSearchParams(location.search).get('token') || '';
const $ = (id) => document.getElementById(id);

// Latencies measured in the page, read by the benchmark (bench/studio).
window.vaskTimings = { pointer: [], preview: [] };

const state = {
  doc: null,          // /api/describe
  frame: 0,
  selected: null,     // {layer, effect, info}
  values: new Map(),  // param index -> {value, keyed, keys}
  playing: false,
  modalId: 0,
  busy: 0,            // requests pending on the host thread
};

// ---- requests -----------------------------------------------------------------

async function api(method, path, body) {
  const headers = { 'X-Vask-Token': token };
  if (body !== undefined) headers['Content-Type'] = 'application/json';
  let res = await fetch(path, { method, headers, body: body === undefined ? undefined : JSON.stringify(body) });
  state.busy++;
  try {
    while (res.status === 202) {
      const p = await res.json();
      if (p.pending === undefined) return { status: 202, json: p };
      showDesktop(p);
      res = await fetch(`/api/job?id=${p.pending}&seen=${p.changes}`, { headers });
    }
  } finally {
    state.busy--;
    if (state.busy === 0) document.body.classList.remove('waiting');
  }
  // A request can finish right after its box was answered: what the page
  // still shows is checked against what is up now.
  if (state.modalId && path !== '/api/modal' && path !== '/api/status') {
    const s = await fetch('/api/status', { headers });
    if (s.ok) showDesktop(await s.json());
  }
  const type = res.headers.get('content-type') || '';
  if (type.startsWith('image/')) return { status: res.status, blob: await res.blob() };
  const json = await res.json().catch(() => ({ error: `HTTP ${res.status}` }));
  return { status: res.status, json };
}

function say(text) { $('status').textContent = text; }

function failed(r) {
  if (r.status >= 200 && r.status < 300 && !(r.json && r.json.effectError)) return false;
  say((r.json && (r.json.error || r.json.effectError)) || `failed (${r.status})`);
  return r.status >= 300;
}

// ---- what the plug-ins show: boxes, the file picker, dialogs, the cursor -------

function showDesktop(p) {
  document.body.classList.toggle('waiting', p.cursor === 'wait' && state.busy > 0);
  const m = p.modal;
  if (!m) { closeModal(); return; }
  if (m.id === state.modalId) return;
  closeModal();
  state.modalId = m.id;
  $('modal').hidden = false;
  if (m.kind === 'alert') {
    $('alert-caption').textContent = m.caption || 'Message';
    $('alert-text').textContent = m.text;
    $('alert').hidden = false;
    $('alert-ok').focus();
  } else if (m.kind === 'openFile') {
    openPicker(m);
  } else if (m.kind === 'dialog') {
    const img = $('dialog-picture');
    img.src = m.picture;
    img.width = m.width;
    img.height = m.height;
    $('dialog').hidden = false;
  }
}

function closeModal() {
  if (!state.modalId) return;
  state.modalId = 0;
  for (const id of ['alert', 'picker', 'dialog']) $(id).hidden = true;
  $('modal').hidden = $('fullview').hidden;
}

async function answer(body) {
  const r = await api('POST', '/api/modal', { id: state.modalId, ...body });
  if (r.status !== 200) say(r.json.error);
}

$('alert-ok').addEventListener('click', () => answer({ kind: 'alert' }));
$('dialog').addEventListener('mousedown', (e) => {
  const button = ['left', 'middle', 'right'][e.button] || 'left';
  answer({ kind: 'dialog', message: 'click', button });
});
$('dialog').addEventListener('contextmenu', (e) => e.preventDefault());

// The picker shows the project's folder and its subfolders only: the server
// lists nothing else and takes no other file.
const picker = { dir: '', chosen: null, filters: [], listing: 0 };

function globToRegExp(pattern) {
  const parts = pattern.split(';').map((g) => g.trim()).filter(Boolean).map((g) =>
    g.replace(/[.+^${}()|[\]\\]/g, '\\$&').replace(/\*/g, '.*').replace(/\?/g, '.'));
  return new RegExp(`^(${parts.join('|')})$`, 'i');
}

function openPicker(m) {
  picker.filters = m.filters || [];
  const select = $('picker-filter');
  select.replaceChildren(...picker.filters.map((f, i) => new Option(f.label, String(i))));
  select.value = String(Math.max(0, Math.min(picker.filters.length - 1, (m.filterIndex || 1) - 1)));
  $('picker').hidden = false;
  listFolder('');
}

async function listFolder(dir) {
  picker.dir = dir;
  picker.chosen = null;
  $('picker-open').disabled = true;
  $('picker-path').textContent = `Project folder/${dir}`;
  // Nothing of the folder shown before stays while this one loads, and only
  // the newest listing asked for is shown.
  const list = $('picker-list');
  list.replaceChildren();
  list.dataset.loaded = '0';
  const listing = ++picker.listing;
  const r = await api('GET', `/api/files?dir=${encodeURIComponent(dir)}`);
  if (listing !== picker.listing) return;
  if (r.status !== 200) { say(r.json.error); return; }
  const f = picker.filters[Number($('picker-filter').value)];
  const match = f ? globToRegExp(f.pattern) : /.*/;
  const items = [];
  if (dir) items.push({ name: '..', folder: true, up: true });
  for (const e of r.json.entries) if (e.folder || match.test(e.name)) items.push(e);
  list.replaceChildren(...items.map((e) => {
    const li = document.createElement('li');
    li.textContent = e.name;
    li.className = e.folder ? 'folder' : 'file';
    li.dataset.name = e.name;
    const path = e.up ? dir.split('/').slice(0, -1).join('/') : (dir ? `${dir}/${e.name}` : e.name);
    li.addEventListener('click', () => {
      if (e.folder) { listFolder(path); return; }
      for (const other of $('picker-list').children) other.classList.remove('selected');
      li.classList.add('selected');
      picker.chosen = path;
      $('picker-open').disabled = false;
    });
    li.addEventListener('dblclick', () => { if (!e.folder) answer({ kind: 'openFile', file: path }); });
    return li;
  }));
  list.dataset.loaded = '1';
}

$('picker-filter').addEventListener('change', () => listFolder(picker.dir));
$('picker-open').addEventListener('click', () => { if (picker.chosen) answer({ kind: 'openFile', file: picker.chosen }); });
$('picker-cancel').addEventListener('click', () => answer({ kind: 'openFile', file: null }));

document.addEventListener('keydown', (e) => {
  if (e.target instanceof HTMLInputElement && e.target.type !== 'range' && e.target.type !== 'checkbox') return;
  if (!$('fullview').hidden && (e.key === 'Escape' || e.key === 'Enter')) { closeFullView(); return; }
  if (state.modalId) {
    if (!$('alert').hidden && (e.key === 'Enter' || e.key === 'Escape')) answer({ kind: 'alert' });
    else if (!$('dialog').hidden && e.key === 'Enter') answer({ kind: 'dialog', message: 'ok' });
    else if (!$('picker').hidden && e.key === 'Escape') answer({ kind: 'openFile', file: null });
    e.preventDefault();
    return;
  }
  if (e.key === 'Escape') {
    // Stops a long import; the plug-in asks for the key while it reads.
    api('POST', '/api/key', { key: 'Escape' });
  } else if (e.key === ' ' && !(e.target instanceof HTMLButtonElement)) {
    e.preventDefault();
    togglePlay();
  }
});

// ---- the viewer -------------------------------------------------------------------

let frameWanted = null;  // {frame, started, draft}
let frameLoading = false;

// Draft frames, at half the size, keep the viewer moving during a drag.
function requestFrame(started = performance.now(), draft = false) {
  frameWanted = { frame: state.frame, started, draft };
  if (!frameLoading) loadFrame();
}

async function loadFrame() {
  if (!frameWanted) return;
  const want = frameWanted;
  frameWanted = null;
  frameLoading = true;
  try {
    const r = await api('GET', `/api/frame?frame=${want.frame}${want.draft ? '&draft=1' : ''}`);
    if (r.blob) {
      await showFrame(r.blob);
      if (!want.draft) window.vaskTimings.preview.push(performance.now() - want.started);
      $('viewer').dataset.frame = String(want.frame);
    } else {
      failed(r);
    }
  } finally {
    frameLoading = false;
  }
  if (frameWanted) loadFrame();
}

function showFrame(blob) {
  const img = $('viewer');
  const old = img.src;
  const url = URL.createObjectURL(blob);
  return new Promise((resolve) => {
    img.onload = () => { if (old.startsWith('blob:')) URL.revokeObjectURL(old); resolve(); };
    img.onerror = () => resolve();
    img.src = url;
  });
}

function setFrame(f, { refresh = true } = {}) {
  const doc = state.doc;
  state.frame = Math.max(0, Math.min(doc.frames - 1, f));
  $('scrubber').value = String(state.frame);
  $('frame-label').textContent = `Frame ${state.frame}`;
  $('time-label').textContent = `${(state.frame / doc.fps).toFixed(3)} s`;
  if (refresh) {
    requestFrame();
    refreshSelected();
  }
}

$('scrubber').addEventListener('input', () => setFrame(Number($('scrubber').value)));

async function togglePlay() {
  state.playing = !state.playing;
  $('play').textContent = state.playing ? 'Stop' : 'Play';
  const period = 1000 / state.doc.fps;
  while (state.playing) {
    const started = performance.now();
    setFrame((state.frame + 1) % state.doc.frames, { refresh: false });
    const r = await api('GET', `/api/frame?frame=${state.frame}&ahead=1`);
    if (!r.blob) { failed(r); break; }
    await showFrame(r.blob);
    $('viewer').dataset.frame = String(state.frame);
    const left = period - (performance.now() - started);
    if (left > 0) await new Promise((ok) => setTimeout(ok, left));
  }
  state.playing = false;
  $('play').textContent = 'Play';
  refreshSelected();
}
$('play').addEventListener('click', togglePlay);

$('full-size').addEventListener('click', async () => {
  const r = await api('GET', `/api/frame?frame=${state.frame}&full=1`);
  if (!r.blob) { failed(r); return; }
  $('fullview-picture').src = URL.createObjectURL(r.blob);
  $('fullview').hidden = false;
  $('modal').hidden = false;
  requestFrame();  // the viewer goes back to the preview size
});
function closeFullView() {
  $('fullview').hidden = true;
  $('modal').hidden = !state.modalId;
}
$('fullview').addEventListener('click', closeFullView);

// ---- layers and effects ----------------------------------------------------------

function buildLayers() {
  const list = $('layers');
  list.replaceChildren();
  // Top layer first, as a timeline shows them.
  for (let li = state.doc.layers.length - 1; li >= 0; li--) {
    const layer = state.doc.layers[li];
    const item = document.createElement('li');
    item.className = 'layer' + (layer.visible ? '' : ' hidden-layer');
    item.textContent = layer.name;
    const effects = document.createElement('ul');
    for (const fx of layer.effects) {
      const b = document.createElement('button');
      b.type = 'button';
      b.className = 'effect';
      b.textContent = fx.name;
      b.dataset.layer = layer.name;
      b.dataset.effect = fx.name;
      b.addEventListener('click', () => selectEffect(fx, b));
      const e = document.createElement('li');
      e.append(b);
      effects.append(e);
    }
    item.append(effects);
    list.append(item);
  }
}

async function selectEffect(fx, button) {
  for (const b of document.querySelectorAll('button.effect')) b.classList.remove('selected');
  button.classList.add('selected');
  state.selected = { layer: fx.layer, effect: fx.effect, info: fx };
  $('effect').hidden = false;
  $('effect-title').textContent = `${state.doc.layers[fx.layer].name}: ${fx.name}`;
  $('panel-box').hidden = !fx.customControls;
  buildParams(fx);
  await refreshSelected();
}

let refreshing = false, refreshAgain = false;
async function refreshSelected() {
  if (!state.selected || state.playing) return;
  if (refreshing) { refreshAgain = true; return; }
  refreshing = true;
  try {
    const { layer, effect, info } = state.selected;
    const q = `layer=${layer}&effect=${effect}&frame=${state.frame}`;
    const r = await api('GET', `/api/params?${q}`);
    if (r.status === 200) for (const p of r.json.params) showValue(p);
    if (info.customControls) {
      const c = await api('GET', `/api/controls?${q}`);
      if (c.status === 200) showPanel(c.json); else failed(c);
    }
  } finally {
    refreshing = false;
  }
  if (refreshAgain) { refreshAgain = false; refreshSelected(); }
}

$('about').addEventListener('click', async () => {
  if (!state.selected) return;
  failed(await api('POST', '/api/about', { layer: state.selected.layer, effect: state.selected.effect }));
});

// ---- generated controls ------------------------------------------------------------

const hex2 = (n) => n.toString(16).padStart(2, '0');
const colourHex = (v) => { const c = v.length === 4 ? v.slice(1) : v; return '#' + c.map(hex2).join(''); };

function buildParams(fx) {
  const form = $('params');
  form.replaceChildren();
  state.values.clear();
  for (const p of fx.params) {
    const row = document.createElement('div');
    row.className = 'param';
    row.dataset.param = p.name;
    row.dataset.index = String(p.index);
    const key = document.createElement('button');
    key.type = 'button';
    key.className = 'key';
    key.title = 'Keyframes';
    key.textContent = '◇';
    key.addEventListener('click', () => {
      const v = state.values.get(p.index);
      sendParam(p, { keyed: !(v && v.keyed) });
    });
    const name = document.createElement('label');
    name.className = 'name';
    name.textContent = p.name;
    name.title = p.name;
    const value = document.createElement('div');
    value.className = 'value';
    row.append(key, name, value);
    buildEditor(p, value);
    form.append(row);
  }
}

function buildEditor(p, box) {
  const send = (v) => sendParam(p, { value: v });
  if (p.type === 'slider') {
    const step = Math.pow(10, -Math.max(0, p.precision || 0));
    const range = Object.assign(document.createElement('input'), { type: 'range', min: p.sliderMin, max: p.sliderMax, step });
    const num = Object.assign(document.createElement('input'), { type: 'number', min: p.min, max: p.max, step });
    range.addEventListener('input', () => { num.value = range.value; send(Number(range.value)); });
    num.addEventListener('change', () => { if (num.value !== '') send(Number(num.value)); });
    box.append(range, num);
  } else if (p.type === 'angle') {
    const dial = Object.assign(document.createElement('canvas'), { width: 28, height: 28, className: 'dial' });
    const num = Object.assign(document.createElement('input'), { type: 'number', step: 0.1 });
    const fromPointer = (e) => {
      const r = dial.getBoundingClientRect();
      const dx = e.clientX - r.left - r.width / 2, dy = e.clientY - r.top - r.height / 2;
      const current = Number(num.value) || 0;
      // Keeps whole turns: the dial shows where the angle points.
      let a = Math.round(Math.atan2(dx, -dy) * 180 / Math.PI);
      const turns = Math.round((current - a) / 360);
      a += turns * 360;
      num.value = String(a);
      drawDial(dial, a);
      send(a);
    };
    dial.addEventListener('pointerdown', (e) => { dial.setPointerCapture(e.pointerId); fromPointer(e); });
    dial.addEventListener('pointermove', (e) => { if (e.buttons) fromPointer(e); });
    num.addEventListener('change', () => { if (num.value !== '') { drawDial(dial, Number(num.value)); send(Number(num.value)); } });
    box.append(dial, num);
  } else if (p.type === 'checkbox') {
    const cb = Object.assign(document.createElement('input'), { type: 'checkbox' });
    const label = document.createElement('span');
    label.textContent = p.label || '';
    cb.addEventListener('change', () => send(cb.checked));
    box.append(cb, label);
  } else if (p.type === 'color') {
    const c = Object.assign(document.createElement('input'), { type: 'color' });
    c.addEventListener('input', () => send(c.value));
    box.append(c);
  } else if (p.type === 'popup') {
    const s = document.createElement('select');
    s.append(...p.choices.map((c) => new Option(c, c)));
    s.addEventListener('change', () => send(s.value));
    box.append(s);
  } else if (p.type === 'layer') {
    const s = document.createElement('select');
    s.append(new Option('None', ''), ...state.doc.layers.map((l) => new Option(l.name, l.name)));
    s.addEventListener('change', () => send(s.value === '' ? null : s.value));
    box.append(s);
  }
}

function drawDial(canvas, degrees) {
  const g = canvas.getContext('2d');
  const r = canvas.width / 2;
  g.clearRect(0, 0, canvas.width, canvas.height);
  g.strokeStyle = '#9fb3c8';
  g.lineWidth = 1.5;
  g.beginPath(); g.arc(r, r, r - 2, 0, 2 * Math.PI); g.stroke();
  const a = degrees * Math.PI / 180;
  g.beginPath(); g.moveTo(r, r); g.lineTo(r + Math.sin(a) * (r - 3), r - Math.cos(a) * (r - 3)); g.stroke();
}

function showValue(p) {
  state.values.set(p.index, p);
  const row = document.querySelector(`#params .param[data-index="${p.index}"]`);
  if (!row) return;
  const key = row.querySelector('button.key');
  key.classList.toggle('keyed', p.keyed);
  const onKey = p.keyed && p.keys.some((k) => Math.abs(k - state.frame) < 1e-6);
  key.classList.toggle('on-key', onKey);
  key.textContent = p.keyed ? '◆' : '◇';
  key.title = p.keyed ? `${p.keys.length} keyframe${p.keys.length === 1 ? '' : 's'}; click to remove them` : 'Add keyframes';
  const v = p.value;
  const focused = document.activeElement;
  for (const input of row.querySelectorAll('input, select')) {
    if (input === focused && input.type === 'number') continue;
    if (input.type === 'checkbox') input.checked = !!v;
    else if (input.type === 'color') input.value = colourHex(v);
    else if (input.tagName === 'SELECT') input.value = v === null ? '' : String(v);
    else input.value = String(Math.round(v * 10000) / 10000);
  }
  const dial = row.querySelector('canvas.dial');
  if (dial) drawDial(dial, v);
}

// Value changes go out one at a time, in order. A newer change of the same
// parameter replaces one not yet sent; another parameter's waits its turn.
const paramQueue = [];
let paramSending = false;
async function sendParam(p, change) {
  const { layer, effect } = state.selected;
  const job = { body: { layer, effect, index: p.index, frame: state.frame, ...change }, started: performance.now() };
  const last = paramQueue[paramQueue.length - 1];
  const same = last && ['layer', 'effect', 'index', 'frame'].every((k) => last.body[k] === job.body[k]) &&
    ('value' in last.body) === ('value' in job.body);
  if (same) paramQueue[paramQueue.length - 1] = job; else paramQueue.push(job);
  if (paramSending) return;
  paramSending = true;
  try {
    while (paramQueue.length) {
      const next = paramQueue.shift();
      const r = await api('POST', '/api/param', next.body);
      if (failed(r)) { refreshSelected(); continue; }
      // The rows shown may be another effect's by now.
      const shown = state.selected && state.selected.layer === next.body.layer && state.selected.effect === next.body.effect;
      if (shown) showValue(r.json);
      if (r.json.warnings && r.json.warnings.length) say(r.json.warnings.join('; '));
      if (shown && r.json.controls) showPanel(r.json.controls);
      requestFrame(next.started);
    }
  } finally {
    paramSending = false;
  }
}

// ---- the effect's own controls: pictures out, pointer events in --------------------

function showPanel(w, started) {
  const img = $('panel');
  if (started !== undefined) {
    img.onload = () => { window.vaskTimings.pointer.push(performance.now() - started); img.onload = null; };
  }
  img.src = w.image;
  img.width = w.width;
  img.height = w.height;
}

const pointer = { queue: [], sending: false, down: false };

function panelPoint(e) {
  const img = $('panel');
  const r = img.getBoundingClientRect();
  return { x: Math.round((e.clientX - r.left) * img.naturalWidth / r.width),
           y: Math.round((e.clientY - r.top) * img.naturalHeight / r.height) };
}

function queuePointer(kind, e) {
  const at = panelPoint(e);
  const last = pointer.queue[pointer.queue.length - 1];
  const item = { kind, ...at, shift: e.shiftKey, started: performance.now() };
  // Moves not yet sent merge into the newest: the effect sees where the pointer is.
  if (kind === 'move' && last && last.kind === 'move') pointer.queue[pointer.queue.length - 1] = item;
  else pointer.queue.push(item);
  if (!pointer.sending) sendPointer();
}

async function sendPointer() {
  pointer.sending = true;
  let changed = false;
  try {
    while (pointer.queue.length) {
      const ev = pointer.queue.shift();
      const { layer, effect } = state.selected;
      const r = await api('POST', '/api/pointer', { layer, effect, frame: state.frame, kind: ev.kind, x: ev.x, y: ev.y, shift: ev.shift });
      if (r.status !== 200) { failed(r); continue; }
      if (r.json.effectError) say(r.json.effectError);
      showPanel(r.json, ev.started);
      for (const c of r.json.changed) {
        const known = state.values.get(c.index);
        showValue({ ...(known || { keyed: false, keys: [] }), index: c.index, value: c.value });
      }
      if (r.json.rerender) changed = true;
      // The viewer follows when no move waits: a frame in the way of the
      // next move would make the control lag.
      if (changed && pointer.down && !pointer.queue.length) requestFrame(ev.started, true);
    }
  } finally {
    pointer.sending = false;
  }
  if (changed && !pointer.down) {
    requestFrame();
    refreshSelected();
  }
}

$('panel').addEventListener('pointerdown', (e) => {
  if (e.button !== 0) return;
  $('panel').setPointerCapture(e.pointerId);
  pointer.down = true;
  queuePointer('down', e);
});
$('panel').addEventListener('pointermove', (e) => { if (pointer.down) queuePointer('move', e); });
const pointerUp = (e) => {
  if (!pointer.down) return;
  pointer.down = false;
  queuePointer('up', e);
};
$('panel').addEventListener('pointerup', pointerUp);
$('panel').addEventListener('pointercancel', pointerUp);

// ---- save and render -----------------------------------------------------------------

$('save').addEventListener('click', async () => {
  say('Saving…');
  const r = await api('POST', '/api/save', {});
  if (!failed(r)) say(`Saved ${r.json.saved}`);
});

$('render').addEventListener('click', async () => {
  const r = await api('POST', '/api/render', {});
  if (r.status !== 202) { failed(r); return; }
  $('render').disabled = true;
  $('render-stop').hidden = false;
  $('render-progress').hidden = false;
  for (;;) {
    await new Promise((ok) => setTimeout(ok, 250));
    const s = await api('GET', '/api/status');
    const p = s.json.render;
    $('render-progress').max = Math.max(1, p.total);
    $('render-progress').value = p.done;
    say(`Rendering: ${p.done} of ${p.total} frames`);
    if (s.json.modal) showDesktop(s.json);
    if (!p.running && (p.done > 0 || p.error || p.stopped || p.total > 0)) {
      say(p.error ? `Render failed: ${p.error}`
        : p.stopped ? `Render stopped: ${p.done} of ${p.total} frames in ${p.folder}`
          : `Rendered ${p.done} frames into ${p.folder}`);
      break;
    }
  }
  $('render').disabled = false;
  $('render-stop').hidden = true;
  $('render-progress').hidden = true;
});
$('render-stop').addEventListener('click', () => api('POST', '/api/render/stop', {}));

// ---- start ---------------------------------------------------------------------------

async function start() {
  say('Loading…');
  const r = await api('GET', '/api/describe');
  if (r.status !== 200) { failed(r); return; }
  state.doc = r.json;
  $('project-name').textContent = state.doc.file;
  document.title = `${state.doc.file} — vask studio`;
  $('scrubber').max = String(state.doc.frames - 1);
  const v = $('viewer');
  v.width = state.doc.preview.width;
  v.height = state.doc.preview.height;
  buildLayers();
  setFrame(0);
  say('Ready');
  document.body.dataset.ready = '1';
}
start();
