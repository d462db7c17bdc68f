// The person's gestures on the drawing, each turned into one request whose
// answer is the window as the library left it: place a step, drag it (its
// links follow as the library re-routes them), link two steps, pick a step
// or a link, delete with the Delete key.

import { post } from './api.js';
import { windowPoint, rubberBand } from './draw.js';
import { app, act, apply, select, selectLink, track } from './app.js';

// Half the size of a new step's picture, so that it lands centred on the
// pointer (the window gives pictures 1215 × 855 twips).
const HALF_W = 607, HALF_H = 427;

const TYPE_CAPTIONS = { 1: 'START', 2: 'PROCESS', 3: 'DECISION', 4: 'TARGET', 5: 'SOURCE', 6: 'DOCUMENT', 7: 'PREDEFINED', 8: 'WINDOW', 9: 'POINT', 10: 'END' };

// A caption no step has yet: TARGET, then TARGET2, TARGET3 ...
export function freshCaption(type) {
  const base = TYPE_CAPTIONS[type] || 'STEP';
  const taken = new Set(app.state.steps.map((s) => s.caption.toUpperCase()));
  if (!taken.has(base)) return base;
  for (let n = 2; ; n++) if (!taken.has(`${base}${n}`)) return `${base}${n}`;
}

function stepUnder(x, y) {
  const hit = document.elementFromPoint(x, y);
  const g = hit && hit.closest('.step');
  return g ? Number(g.dataset.index) : 0;
}

function pictureOf(index) {
  return app.state.window.find((c) => c.name === 'shp' && c.index === index);
}

// Sends moves one at a time: while one is on its way only the latest
// position waits, so a fast drag never queues a backlog.
function mover(index) {
  let busy = false, pending = null;
  const send = async (x, y) => {
    if (busy) { pending = { x, y }; return; }
    busy = true;
    try {
      const answer = await track(post(`/api/steps/${index}/move`, { x, y }));
      apply(answer.state, { panels: false });
    } finally {
      busy = false;
      if (pending) { const p = pending; pending = null; send(p.x, p.y); }
    }
  };
  return { send, settled: async () => { while (busy || pending) await new Promise((r) => setTimeout(r, 10)); } };
}

export function installCanvas(svg) {
  svg.addEventListener('pointerdown', async (e) => {
    if (e.button !== 0) return;
    const p = windowPoint(svg, e);
    if (app.placing) {
      const type = app.placing;
      app.setPlacing(null);
      await act(post('/api/steps', { type, x: Math.max(0, p.x - HALF_W), y: Math.max(0, p.y - HALF_H), caption: freshCaption(type) }));
      const added = app.state.steps[app.state.steps.length - 1];
      if (added) select(added.index);
      return;
    }
    const stepGroup = e.target.closest('.step');
    if (stepGroup) {
      const index = Number(stepGroup.dataset.index);
      const picture = pictureOf(index);
      if (!picture) return;
      e.preventDefault();
      svg.setPointerCapture(e.pointerId);
      if (app.linking) return dragLink(svg, e, index, picture);
      // The drag listens before the selection's answer comes, so that a
      // quick click's release is never missed.
      dragStep(svg, e, index, picture, p);
      return select(index);
    }
    const linkGroup = e.target.closest('.link-group');
    if (linkGroup) return selectLink(Number(linkGroup.dataset.index));
    select(null);
  });

  document.addEventListener('keydown', (e) => {
    if (e.key !== 'Delete' || e.target.closest('input, textarea, select')) return;
    if (app.selectedLink) deleteSelectedLink();
    else if (app.selectedStep) deleteSelectedStep();
  });
}

function dragStep(svg, down, index, picture, start) {
  const offset = { x: start.x - picture.left, y: start.y - picture.top };
  const moves = mover(index);
  let moved = false;
  const onMove = (e) => {
    const p = windowPoint(svg, e);
    moved = true;
    moves.send(Math.max(0, Math.round(p.x - offset.x)), Math.max(0, Math.round(p.y - offset.y)));
  };
  const onUp = async (e) => {
    svg.removeEventListener('pointermove', onMove);
    svg.removeEventListener('pointerup', onUp);
    if (moved) onMove(e);
    await moves.settled();
    if (moved) apply(app.state, { panels: 'step' });
  };
  svg.addEventListener('pointermove', onMove);
  svg.addEventListener('pointerup', onUp);
}

function dragLink(svg, down, from, picture) {
  const cx = picture.left + picture.width / 2, cy = picture.top + picture.height / 2;
  const onMove = (e) => {
    const p = windowPoint(svg, e);
    rubberBand(svg, cx, cy, p.x, p.y);
  };
  const onUp = async (e) => {
    svg.removeEventListener('pointermove', onMove);
    svg.removeEventListener('pointerup', onUp);
    svg.querySelector('.rubber')?.remove();
    // Released away from any step, the link's end is step 0, which the
    // library refuses with its own message.
    svg.releasePointerCapture(e.pointerId);
    const to = stepUnder(e.clientX, e.clientY);
    await act(post('/api/links', { from: String(from), to: String(to) }));
  };
  svg.addEventListener('pointermove', onMove);
  svg.addEventListener('pointerup', onUp);
}

export async function deleteSelectedStep() {
  const index = app.selectedStep;
  await act(post(`/api/steps/${index}/delete`));
  if (!app.state.steps.some((s) => s.index === index)) select(null);
}

export async function deleteSelectedLink() {
  const link = app.state.links.find((l) => l.index === app.selectedLink);
  if (!link) return;
  await act(post('/api/links/delete', { from: Number(link.from), to: Number(link.to) }));
  selectLink(null);
}
