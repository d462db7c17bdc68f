// The formulas panel: the list, and an editor for the picked formula whose
// Check button runs the library's CheckFormula against the steps and points
// at the line the script engine complains about. Deleting and renaming are
// refused while a mapping uses the formula.

import { post } from './api.js';
import { app, act, showMessage } from './app.js';
import { h, field } from './panels.js';

let picked = null; // the name of the formula in the editor
let draft = '';     // the new formula's name as typed, kept across redraws
const edits = new Map(); // formula name -> text typed but not yet kept

const TEMPLATE = 'Function Main()\n  Main = ""\nEnd Function\n';

function lineRange(text, line) {
  let start = 0;
  for (let n = 1; n < line; n++) {
    const next = text.indexOf('\n', start);
    if (next < 0) return null;
    start = next + 1;
  }
  const end = text.indexOf('\n', start);
  return [start, end < 0 ? text.length : end];
}

function editor(formula) {
  const text = h('textarea', { name: 'formulaText', value: edits.get(formula.name) ?? formula.formula, rows: 12, spellcheck: false });
  text.addEventListener('input', () => edits.set(formula.name, text.value));
  const result = h('div', { className: 'check-result', role: 'status' });
  const check = async () => {
    const r = await post('/api/formulas/check', { text: text.value });
    result.className = `check-result ${r.error ? 'bad' : 'ok'}`;
    result.textContent = r.error ? (r.line ? `Line ${r.line}: ${r.error}` : r.error) : 'The formula passes the check.';
    if (r.line) {
      const range = lineRange(text.value, r.line);
      if (range) { text.focus(); text.setSelectionRange(range[0], range[1]); }
    }
    return r;
  };
  const saveText = async () => {
    const a = await act(post('/api/formulas/text', { name: formula.name, text: text.value }));
    if (a && !a.message) edits.delete(formula.name);
  };
  return h('div', { className: 'formula-editor' },
    h('h3', { text: formula.name + (formula.used ? ' (used by a mapping)' : '') }),
    text,
    h('div', { className: 'row' },
      h('button', { text: 'Check', onclick: check }),
      h('button', { text: 'Keep text', onclick: saveText }),
      h('button', {
        text: 'Rename',
        onclick: async () => {
          const name = prompt('New name of the formula', formula.name);
          if (!name || name === formula.name) return;
          const a = await act(post('/api/formulas/rename', { name: formula.name, newName: name }));
          if (a && !a.message) { picked = name; act(Promise.resolve({ state: app.state })); }
        },
      }),
      h('button', {
        text: 'Delete',
        className: 'danger',
        onclick: async () => {
          const a = await act(post('/api/formulas/delete', { name: formula.name }));
          if (a && !a.message) picked = null;
          act(Promise.resolve({ message: a?.message, state: app.state }));
        },
      })),
    result);
}

export function renderFormulas(panel) {
  panel.replaceChildren();
  const name = h('input', { name: 'newFormula', placeholder: 'Name', value: draft, oninput: (e) => { draft = e.target.value; } });
  const add = h('button', {
    text: 'Add',
    onclick: async () => {
      if (!name.value) return showMessage('A formula needs a name.');
      const a = await act(post('/api/formulas', { name: name.value, text: TEMPLATE }));
      if (a && !a.message) { picked = name.value; draft = ''; act(Promise.resolve({ state: app.state })); }
    },
  });
  const list = h('ul', { className: 'formula-list' });
  for (const f of app.state.formulas) {
    const item = h('li', { className: f.name === picked ? 'picked' : '' },
      h('button', { text: f.name, className: 'link-button', onclick: () => { picked = f.name; renderFormulas(panel); } }));
    list.append(item);
  }
  panel.append(h('h2', { text: 'Formulas' }), h('div', { className: 'row' }, name, add), list);
  const formula = app.state.formulas.find((f) => f.name === picked);
  if (formula) panel.append(editor(formula));
  else panel.append(field('', h('span', { className: 'hint', text: 'Pick a formula to edit it.' })));
}
