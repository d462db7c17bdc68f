// The mapping grid of a TARGET step: one row per column of the target
// table (read from the database) and per column already mapped. A value is
// a column of a step's current row, picked from that step's fields and
// written CAPTION([FIELD]), or a formula, written FORMULA!Name, or any text
// typed in; the lookup expression makes the column part of the key.

import { post } from './api.js';
import { app, act, apply, track } from './app.js';
import { h, payloadsSent, currentPayload } from './panels.js';

const columnsRead = new Map(); // step number -> the target table's columns, as last read

// The values a column can take from the other steps and the formulas.
function valueChoices(step) {
  const groups = [];
  for (const s of app.state.steps) {
    if (s.index === step.index || !s.payload.fields || !s.payload.fields.length) continue;
    groups.push({ label: `${s.caption} fields`, values: s.payload.fields.map((f) => `${s.caption}([${f.name}])`) });
  }
  groups.push({ label: 'Formulas', values: app.state.formulas.map((f) => `FORMULA!${f.name}`) });
  return groups;
}

export function mappingGrid(step, payload, send) {
  const mapped = payload.fields;
  const read = columnsRead.get(step.index) || [];
  const rows = [...mapped];
  for (const c of read) {
    if (!rows.some((f) => f.name.toLowerCase() === c.name.toLowerCase())) rows.push({ ...c, value: '', lookup: '' });
  }
  const choices = valueChoices(step);

  // Sends the mapping as the grid shows it: mapped columns keep their
  // order, columns given a value join at the end, emptied ones leave.
  const commit = (row, change) => send((current) => {
    const next = [];
    let found = false;
    for (const f of current.fields) {
      if (f.name !== row.name) { next.push(f); continue; }
      found = true;
      const changed = { ...f, ...change };
      if (changed.value || changed.lookup) next.push(changed);
    }
    const added = { name: row.name, type: row.type || 0, size: row.size || 0, value: '', lookup: '', ...change };
    if (!found && (added.value || added.lookup)) next.push(added);
    return { fields: next };
  });

  const table = h('table', { className: 'mapping' },
    h('thead', {}, h('tr', {}, h('th', { text: 'Column' }), h('th', { text: 'Value' }), h('th', { text: 'Lookup' }))));
  const body = h('tbody');
  for (const row of rows) {
    const pick = h('select', { className: 'value-pick', 'aria-label': `value of ${row.name}` }, h('option', { value: '', text: '(not mapped)' }));
    for (const g of choices) pick.append(h('optgroup', { label: g.label }, ...g.values.map((v) => h('option', { value: v, text: v }))));
    const known = choices.some((g) => g.values.includes(row.value));
    if (row.value && !known) pick.append(h('option', { value: row.value, text: row.value }));
    pick.value = row.value || '';
    const text = h('input', { className: 'value-text', value: row.value || '', spellcheck: false, 'aria-label': `value text of ${row.name}` });
    const lookup = h('input', { className: 'lookup', value: row.lookup || '', spellcheck: false, 'aria-label': `lookup of ${row.name}` });
    pick.addEventListener('change', () => commit(row, { value: pick.value }));
    text.addEventListener('change', () => commit(row, { value: text.value }));
    lookup.addEventListener('change', () => commit(row, { lookup: lookup.value }));
    body.append(h('tr', { 'data-column': row.name }, h('td', { text: row.name }), h('td', {}, pick, text), h('td', {}, lookup)));
  }
  table.append(body);

  const readColumns = h('button', {
    text: 'Read columns from the database',
    onclick: () => track((async () => {
      // The record as the server has it once the changes sent before the
      // click have come back.
      await payloadsSent();
      const now = currentPayload(step, payload);
      const r = await post('/api/db/columns', { connString: now.connString, table: now.target });
      if (r.error) return act(Promise.resolve({ message: r.error }));
      columnsRead.set(step.index, r.columns);
      apply(app.state); // the grid again, with the columns read
    })()),
  });
  return h('div', { className: 'mapping-box' }, h('h3', { text: `Mapping (${mapped.length} of ${rows.length} columns)` }), readColumns, table);
}
