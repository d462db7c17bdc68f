// Check, Preview, Run and History, shown in the output area below the
// drawing. Check and Preview are the command's own reports on the saved
// document (saved first when changed); a problem that names a step links
// to it. A run shows its progress live from the run's events, then the
// counters and the history row it wrote.

import { get, post, followRun } from './api.js';
import { app, act, select } from './app.js';
import { h } from './panels.js';

const $ = (id) => document.getElementById(id);

// The document may have been saved before a report: the mark follows.
const refresh = () => act(get('/api/state').then((state) => ({ state })), { panels: false });

function open(title) {
  $('output').hidden = false;
  $('output-title').textContent = title;
  const body = $('output-body');
  body.replaceChildren();
  return body;
}

// The step a report line is about: lines name steps by caption ("TARGET:
// ...", "TARGET, field X: ...") or by key ("step k4: ...").
function stepOfLine(line) {
  const text = line.replace(/^\s*(ok|FAIL|note)\s+/, '');
  for (const s of app.state.steps) {
    if (text.startsWith(`step ${s.key}:`) || (s.caption && (text.startsWith(`${s.caption}:`) || text.startsWith(`${s.caption},`)))) return s;
  }
  return null;
}

function report(body, output) {
  const pre = h('div', { className: 'report' });
  for (const line of output.split('\n')) {
    const step = /^\s*FAIL\s/.test(line) ? stepOfLine(line) : null;
    const row = h('div', { className: /^\s*FAIL\s/.test(line) ? 'problem' : 'line' });
    if (step) row.append(h('button', { className: 'link-button', text: line, onclick: () => select(step.index) }));
    else row.textContent = line;
    pre.append(row);
  }
  body.append(pre);
}

async function check() {
  const body = open('Check');
  body.append(h('p', { className: 'hint', text: 'Checking the saved document…' }));
  const r = await act(post('/api/check'));
  refresh();
  body.replaceChildren(h('p', { className: r?.status === 0 ? 'ok' : 'bad', text: r?.status === 0 ? 'No problems found.' : 'Problems found:' }));
  if (r) report(body, r.output);
}

async function preview() {
  const body = open('Preview');
  const records = h('input', { type: 'number', min: 1, max: 1000, value: 10, name: 'records' });
  const out = h('div');
  const go = h('button', {
    text: 'Preview',
    onclick: async () => {
      out.replaceChildren(h('p', { className: 'hint', text: 'Running the first records and rolling them back…' }));
      const r = await act(post('/api/preview', { records: Number(records.value) }));
      refresh();
      out.replaceChildren();
      if (r) out.append(h('pre', { className: 'report', text: r.output }));
    },
  });
  body.append(h('div', { className: 'row' }, h('label', { text: 'Records ' }, records), go), out);
  go.click();
}

function countersTable(event) {
  return h('table', { className: 'counters' },
    h('thead', {}, h('tr', {}, ...['', 'Success', 'Errors', 'Total'].map((t) => h('th', { text: t })))),
    h('tbody', {}, ...event.counters.map((c) => h('tr', { 'data-kind': c.kind },
      h('th', { text: c.kind }), h('td', { text: String(c.success) }), h('td', { text: String(c.errors) }), h('td', { text: String(c.total) })))));
}

async function run() {
  const body = open('Run');
  const started = await act(post('/api/run'));
  refresh();
  if (!started) return;
  const bar = h('progress', { max: 1, value: 0 });
  const status = h('span', { className: 'run-status', text: 'Starting…' });
  const counters = h('div', { className: 'counters-box' });
  const log = h('pre', { className: 'report run-log' });
  const cancel = h('button', { text: 'Cancel', onclick: () => post('/api/run/cancel') });
  body.append(h('div', { className: 'row' }, bar, status, cancel), counters, log);
  followRun(started.run, (e) => {
    if (e.type === 'log') { log.textContent += `${e.text}\n`; return; }
    if (e.counters) counters.replaceChildren(countersTable(e));
    bar.max = Math.max(1, e.records);
    bar.value = e.record;
    status.textContent = `Record ${e.record} of ${e.records}`;
    if (e.type !== 'end') return;
    cancel.remove();
    status.textContent = e.completed ? `${e.cancelled ? 'Cancelled' : 'Finished'}: ${e.record} of ${e.records} records` : `Stopped: ${e.error || 'the run could not go on (see the log)'}`;
    status.className = `run-status ${e.completed && !e.cancelled ? 'ok' : 'bad'}`;
    log.textContent = e.log;
    if (e.history) body.append(h('h3', { text: 'History row' }), historyTable([e.history]));
  });
}

function historyTable(rows) {
  if (!rows.length) return h('p', { className: 'hint', text: 'No rows.' });
  const columns = Object.keys(rows[0]);
  return h('table', { className: 'history' },
    h('thead', {}, h('tr', {}, ...columns.map((c) => h('th', { text: c })))),
    h('tbody', {}, ...rows.map((r) => h('tr', {}, ...columns.map((c) => h('td', { text: r[c] === null ? '' : String(r[c]) }))))));
}

async function history() {
  const body = open('History');
  try {
    const [runs, errors] = await Promise.all([get('/api/history?kind=runs'), get('/api/history?kind=errors')]);
    body.append(h('h3', { text: 'Runs' }), historyTable(runs.rows.slice().reverse()),
      h('h3', { text: 'Failed records' }), historyTable(errors.rows.slice().reverse()));
  } catch (error) {
    body.append(h('p', { className: 'bad', text: error.message }));
  }
}

export function installTools() {
  $('btn-check').addEventListener('click', check);
  $('btn-preview').addEventListener('click', preview);
  $('btn-run').addEventListener('click', run);
  $('btn-history').addEventListener('click', history);
  $('output-close').addEventListener('click', () => { $('output').hidden = true; });
}
