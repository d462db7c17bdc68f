// The side panel of the picked step or link: its caption, and for SOURCE,
// TARGET and decision steps their record. Every change is sent whole to the
// server (the library's AddElementsToNode) and the panel redrawn from the
// answer.

import { get, post } from './api.js';
import { app, act, track } from './app.js';
import { deleteSelectedStep, deleteSelectedLink } from './canvas.js';
import { mappingGrid } from './mapping.js';

const TYPE_NAMES = { 0: 'nothing', 1: 'START', 2: 'process', 3: 'decision', 4: 'TARGET', 5: 'SOURCE', 6: 'document', 7: 'predefined process', 8: 'window', 9: 'point', 10: 'END' };
export const OPERATIONS = ['Insert', 'Update', 'UpdateInsert', 'Delete', 'Lookup'];

// A small element builder: h('label', {text: 'Name'}, child, ...).
export function h(tag, props = {}, ...children) {
  const node = document.createElement(tag);
  for (const [k, v] of Object.entries(props)) {
    if (k === 'text') node.textContent = v;
    else if (k.startsWith('on')) node.addEventListener(k.slice(2), v);
    else if (k in node && k !== 'list') node[k] = v;
    else node.setAttribute(k, v);
  }
  for (const c of children) if (c) node.append(c);
  return node;
}

export function field(labelText, input) {
  return h('label', { className: 'field' }, h('span', { text: labelText }), input);
}

// Changes go out one at a time, each onto the record as the server last
// reported it, so that a panel drawn before an earlier change's answer
// cannot undo that change. `changes` is the members to change, or a
// function from the current record to them.
let sending = Promise.resolve();
function sendPayload(step, changes) {
  sending = track(sending.then(() => {
    const now = app.state.steps.find((s) => s.index === step.index);
    if (!now) return null;
    const change = typeof changes === 'function' ? changes(now.payload) : changes;
    return act(post(`/api/steps/${step.index}/payload`, { payload: { ...now.payload, ...change } }));
  }));
  return sending;
}

// Resolves once every change sent so far has come back: a button that
// reads the database for a record waits for it, so that a table name typed
// just before the click counts.
export const payloadsSent = () => sending;

// The step's record as the server last reported it.
export function currentPayload(step, fallback) {
  return app.state.steps.find((s) => s.index === step.index)?.payload ?? fallback;
}

let registry = null; // the connection registry, read once per page
async function connections() {
  if (!registry) {
    try { registry = await get('/api/connections'); } catch { registry = []; }
  }
  return registry;
}

// Connection by registry name or as a string, with a Test button.
function connectionEditor(step, payload) {
  const box = h('fieldset', {}, h('legend', { text: 'Connection' }));
  const nameSelect = h('select', { name: 'connName' }, h('option', { value: '', text: '(a string of its own)' }));
  const stringInput = h('input', { name: 'connString', value: payload.connString, spellcheck: false });
  const result = h('span', { className: 'test-result' });
  connections().then((list) => {
    for (const c of list) nameSelect.append(h('option', { value: c.name, text: c.name }));
    // A name the document carries but the registry lacks is kept, and said so.
    if (payload.connName && !list.some((c) => c.name === payload.connName)) {
      nameSelect.append(h('option', { value: payload.connName, text: `${payload.connName} (not in the registry)` }));
    }
    nameSelect.value = payload.connName;
  });
  nameSelect.addEventListener('change', async () => {
    const chosen = (await connections()).find((c) => c.name === nameSelect.value);
    sendPayload(step, { connName: nameSelect.value, connString: chosen ? chosen.connString : payload.connString });
  });
  stringInput.addEventListener('change', () => sendPayload(step, { connString: stringInput.value }));
  const test = h('button', {
    text: 'Test',
    onclick: async () => {
      result.textContent = '…';
      try {
        const r = await post('/api/db/test', { connString: stringInput.value });
        result.textContent = r.ok ? 'opens' : r.error;
        result.className = `test-result ${r.ok ? 'ok' : 'bad'}`;
      } catch (e) { result.textContent = e.message; }
    },
  });
  box.append(field('Registry name', nameSelect), field('Connection string', stringInput), h('div', { className: 'row' }, test, result));
  return box;
}

// A table name with the database's tables to pick from.
function tablePicker(name, value, connStringOf, onPick) {
  const listId = `tables-${name}`;
  const input = h('input', { name, value, list: listId, spellcheck: false });
  input.setAttribute('list', listId);
  const list = h('datalist', { id: listId });
  const load = h('button', {
    text: 'List tables',
    onclick: async () => {
      await payloadsSent();
      const r = await post('/api/db/tables', { connString: connStringOf() });
      list.replaceChildren(...(r.tables || []).map((t) => h('option', { value: t })));
      if (r.error) act(Promise.resolve({ message: r.error }));
      input.focus();
    },
  });
  input.addEventListener('change', () => onPick(input.value));
  return h('div', { className: 'row' }, input, list, load);
}

function sourceEditor(step, payload) {
  const isTable = payload.sourcetype === 'table';
  const kind = h('select', { name: 'sourcetype' }, h('option', { value: 'table', text: 'table' }), h('option', { value: 'sql', text: 'query' }));
  kind.value = isTable ? 'table' : 'sql';
  kind.addEventListener('change', () => sendPayload(step, { sourcetype: kind.value }));
  const source = isTable
    ? tablePicker('Source', payload.Source, () => currentPayload(step, payload).connString, (v) => sendPayload(step, { Source: v }))
    : h('textarea', { name: 'Source', value: payload.Source, rows: 4, spellcheck: false, onchange: (e) => sendPayload(step, { Source: e.target.value }) });
  const readFields = h('button', {
    text: 'Read fields from the database',
    onclick: () => track((async () => {
      await payloadsSent();
      const now = currentPayload(step, payload);
      const r = await post('/api/db/columns', isTable ? { connString: now.connString, table: now.Source } : { connString: now.connString, query: now.Source });
      if (r.error) return act(Promise.resolve({ message: r.error }));
      await sendPayload(step, { fields: r.columns });
    })()),
  });
  const fields = h('ul', { className: 'fields' }, ...payload.fields.map((f) => h('li', { text: f.name })));
  return h('div', {}, connectionEditor(step, payload), field('Source is a', kind), field(isTable ? 'Table' : 'Query', source),
    h('h3', { text: `Fields (${payload.fields.length})` }), readFields, fields);
}

function targetEditor(step, payload) {
  const op = h('select', { name: 'shpOperation' }, ...OPERATIONS.map((o) => h('option', { value: o, text: o })));
  op.value = payload.shpOperation;
  op.addEventListener('change', () => sendPayload(step, { shpOperation: op.value }));
  // A new TARGET step has no target type yet; a table is what it names.
  const table = tablePicker('target', payload.target, () => currentPayload(step, payload).connString, (v) => sendPayload(step, { target: v, targettype: payload.targettype || 'table' }));
  return h('div', {}, connectionEditor(step, payload), field('Operation', op), field('Table', table),
    mappingGrid(step, payload, (changes) => sendPayload(step, changes)));
}

function decisionEditor(step, payload) {
  const condition = h('textarea', { name: 'condition', value: payload.condition, rows: 3, spellcheck: false });
  condition.addEventListener('change', () => sendPayload(step, { condition: condition.value }));
  return field('Condition', condition);
}

function linkPanel(panel) {
  const link = app.state.links.find((l) => l.index === app.selectedLink);
  if (!link) return panel.append(h('p', { className: 'hint', text: 'Pick a step or a link on the drawing.' }));
  const caption = (n) => app.state.steps.find((s) => String(s.index) === n)?.caption ?? n;
  const input = h('input', { name: 'linkCaption', value: link.caption });
  input.addEventListener('change', () => act(post('/api/links/caption', { from: link.from, to: link.to, caption: input.value })));
  panel.append(h('h2', { text: `Link ${caption(link.from)} → ${caption(link.to)}` }), field('Caption', input),
    h('button', { text: 'Delete link', className: 'danger', onclick: deleteSelectedLink }));
}

export function renderSidePanel(panel) {
  panel.replaceChildren();
  const step = app.state.steps.find((s) => s.index === app.selectedStep);
  if (!step) return linkPanel(panel);
  const caption = h('input', { name: 'caption', value: step.caption });
  caption.addEventListener('change', () => act(post(`/api/steps/${step.index}/caption`, { caption: caption.value })));
  panel.append(h('h2', { text: `${TYPE_NAMES[step.type] ?? step.type} step ${step.key}` }), field('Caption', caption));
  const p = step.payload;
  if (p.kind === 'source') panel.append(sourceEditor(step, p));
  else if (p.kind === 'target') panel.append(targetEditor(step, p));
  else if (p.kind === 'decision') panel.append(decisionEditor(step, p));
  // START and END have their places; every other step can be put before END.
  const movable = step.type !== 1 && step.type !== 10;
  panel.append(h('div', { className: 'row actions' },
    movable && h('button', { text: 'Put before END', title: 'The link into END now leaves this step', onclick: () => act(post(`/api/steps/${step.index}/insert-at-end`)) }),
    h('button', { text: 'Delete step', className: 'danger', onclick: deleteSelectedStep })));
}
