// The designer page: holds the last state the server reported (the window's
// controls, the steps' records, the links, the formulas) and redraws from
// it after every answer. What is selected, and which panel is open, is the
// page's only state of its own.

import { get, post } from './api.js';
import { drawWindow } from './draw.js';
import { installCanvas } from './canvas.js';
import { renderSidePanel } from './panels.js';
import { renderFormulas } from './formulas.js';
import { installTools } from './tools.js';

const PALETTE = [[5, 'SOURCE'], [4, 'TARGET'], [3, 'Decision'], [2, 'Process'], [6, 'Document'], [7, 'Predefined'],
  [8, 'Window'], [9, 'Point'], [1, 'START'], [10, 'END']];

export const app = {
  state: null,        // the server's last report
  selectedStep: null, // the number of the step whose panel is open
  selectedLink: null, // the control index of the picked link
  placing: null,      // the step type waiting to be placed
  linking: false,     // the Link tool is on
  setPlacing(type) {
    app.placing = type;
    document.querySelectorAll('#palette-steps button').forEach((b) => b.setAttribute('aria-pressed', String(Number(b.dataset.type) === type)));
    document.body.classList.toggle('placing', type !== null);
  },
};

const $ = (id) => document.getElementById(id);

export function showMessage(text, kind = 'refusal') {
  const box = $('message');
  box.textContent = text;
  box.className = kind;
  box.hidden = !text;
}

// How many requests are on their way or not yet drawn; the page says so on
// its body (data-busy), so that a script driving it knows when it is quiet.
let busy = 0;
export async function track(pending) {
  document.body.dataset.busy = ++busy;
  try {
    return await pending;
  } finally {
    document.body.dataset.busy = --busy;
  }
}

// Runs a request; shows the library's refusal or the failure, and draws the
// state the answer carries.
export function act(pending, options) {
  return track(answer(pending, options));
}

async function answer(pending, { panels = true } = {}) {
  try {
    const answer = await pending;
    showMessage(answer.message || '');
    if (answer.state) apply(answer.state, { panels });
    return answer;
  } catch (error) {
    showMessage(error.message, 'error');
    return null;
  }
}

export function apply(state, { panels = true } = {}) {
  app.state = state;
  drawWindow($('canvas'), state.window, { selectedLink: app.selectedLink });
  $('doc-name').textContent = state.name;
  $('dirty-mark').hidden = !state.dirty;
  document.title = `${state.dirty ? '● ' : ''}${state.name} — Veldrane designer`;
  if (panels) renderSidePanel($('panel-step'));
  // The formulas panel only when a change can touch it: a step's move or
  // record cannot, and redrawing it would take the editor's text away.
  if (panels && panels !== 'step') renderFormulas($('panel-formulas'));
}

export async function select(index) {
  app.selectedStep = index;
  app.selectedLink = null;
  showTab('step');
  if (index !== null) await act(post(`/api/steps/${index}/select`));
  else apply(app.state);
}

export function selectLink(index) {
  app.selectedLink = index;
  app.selectedStep = null;
  showTab('step');
  apply(app.state);
}

export function showTab(name) {
  for (const tab of ['step', 'formulas']) {
    $(`tab-${tab}`).setAttribute('aria-selected', String(tab === name));
    $(`panel-${tab}`).hidden = tab !== name;
  }
}

export async function save() {
  return act(post('/api/save'));
}

async function start() {
  const palette = $('palette-steps');
  for (const [type, name] of PALETTE) {
    const b = document.createElement('button');
    b.textContent = name;
    b.dataset.type = type;
    b.className = 'palette-step';
    b.addEventListener('click', () => {
      app.linking = false;
      $('tool-link').setAttribute('aria-pressed', 'false');
      app.setPlacing(app.placing === type ? null : type);
    });
    palette.appendChild(b);
  }
  $('tool-link').addEventListener('click', () => {
    app.setPlacing(null);
    app.linking = !app.linking;
    $('tool-link').setAttribute('aria-pressed', String(app.linking));
  });
  $('tab-step').addEventListener('click', () => showTab('step'));
  $('tab-formulas').addEventListener('click', () => showTab('formulas'));
  $('btn-save').addEventListener('click', save);
  document.addEventListener('keydown', (e) => {
    if ((e.ctrlKey || e.metaKey) && e.key === 's') { e.preventDefault(); save(); }
    if (e.key === 'Escape') app.setPlacing(null);
  });
  window.addEventListener('beforeunload', (e) => {
    if (app.state && app.state.dirty) { e.preventDefault(); e.returnValue = ''; }
  });
  installCanvas($('canvas'));
  installTools();
  try {
    apply(await get('/api/state'));
  } catch (error) {
    showMessage(error.message, 'error');
  }
}

start();
