// Draws the designer window's controls as the server reports them, in the
// window's own drawing order and units (twips; 15 to a screen pixel), with
// the same shapes as `veldrane render`. Nothing is drawn that the window
// does not hold: the page's picture is the window's state.

const NS = 'http://www.w3.org/2000/svg';
export const TWIPS_PER_PIXEL = 15;
const STROKE = 1.5 * TWIPS_PER_PIXEL;

function el(name, attrs = {}, parent) {
  const node = document.createElementNS(NS, name);
  for (const [k, v] of Object.entries(attrs)) node.setAttribute(k, v);
  if (parent) parent.appendChild(node);
  return node;
}

// The outline of a step picture of kind `picture` in the box x, y, w, h.
function stepShape(g, picture, x, y, w, h) {
  const style = { class: 'shape' };
  switch (picture) {
    case 'start':
    case 'stop':
      return el('rect', { ...style, x, y, width: w, height: h, rx: h / 2 }, g);
    case 'decission':
      return el('polygon', { ...style, points: `${x + w / 2},${y} ${x + w},${y + h / 2} ${x + w / 2},${y + h} ${x},${y + h / 2}` }, g);
    case 'data': {
      const s = w / 6;
      return el('polygon', { ...style, points: `${x + s},${y} ${x + w},${y} ${x + w - s},${y + h} ${x},${y + h}` }, g);
    }
    case 'storage': {
      const ry = h / 8;
      el('path', { ...style, d: `M ${x} ${y + ry} A ${w / 2} ${ry} 0 0 1 ${x + w} ${y + ry} L ${x + w} ${y + h - ry} A ${w / 2} ${ry} 0 0 1 ${x} ${y + h - ry} Z` }, g);
      return el('path', { class: 'rim', d: `M ${x} ${y + ry} A ${w / 2} ${ry} 0 0 0 ${x + w} ${y + ry}` }, g);
    }
    case 'document': {
      const wave = h / 8;
      return el('path', { ...style, d: `M ${x} ${y} L ${x + w} ${y} L ${x + w} ${y + h - wave} Q ${x + w * 0.75} ${y + h - 3 * wave} ${x + w / 2} ${y + h - wave} T ${x} ${y + h - wave} Z` }, g);
    }
    case 'point':
      return el('circle', { ...style, cx: x + w / 2, cy: y + h / 2, r: Math.min(w, h) / 4 }, g);
    default: {
      el('rect', { ...style, x, y, width: w, height: h }, g);
      if (picture === 'processpredef') {
        const i = w / 10;
        el('path', { class: 'rim', d: `M ${x + i} ${y} L ${x + i} ${y + h} M ${x + w - i} ${y} L ${x + w - i} ${y + h}` }, g);
      } else if (picture === 'window') {
        el('rect', { class: 'titlebar', x, y, width: w, height: h / 6 }, g);
      }
    }
  }
}

function label(parent, c, cls) {
  const t = el('text', { class: cls, x: c.left + c.width / 2, y: c.top + c.height / 2, 'text-anchor': 'middle', 'dominant-baseline': 'middle' }, parent);
  t.textContent = c.caption;
  return t;
}

// Draws `controls` (the window, back to front) into `svg`. `links` maps a
// link's control index to its ends, so that a line can be picked.
export function drawWindow(svg, controls, { selectedLink = null } = {}) {
  svg.replaceChildren();
  let right = 0, bottom = 0;
  const grow = (x, y) => { right = Math.max(right, x); bottom = Math.max(bottom, y); };
  for (const c of controls) {
    if (c.kind === 'picture' && c.name === 'shp') {
      const g = el('g', { class: 'step', id: `step${c.index}`, 'data-index': c.index, 'data-type': c.picture }, svg);
      stepShape(g, c.picture, c.left, c.top, c.width, c.height);
      grow(c.left + c.width, c.top + c.height);
    } else if (c.kind === 'label' && c.caption) {
      const cls = c.name === 'lblShapeCap' ? 'caption' : 'link-caption';
      const t = label(svg, c, cls);
      t.dataset.index = c.index;
      grow(c.left + c.width, c.top + c.height);
    } else if (c.kind === 'line') {
      const cls = c.name === 'ln' ? 'link' : 'barb';
      const g = el('g', { class: `${cls}-group`, 'data-index': c.index }, svg);
      if (c.name === 'ln') {
        g.id = `link${c.index}`;
        // A wide, invisible twin makes a thin line easy to pick.
        el('line', { class: 'link-hit', x1: c.x1, y1: c.y1, x2: c.x2, y2: c.y2 }, g);
        if (selectedLink === c.index) g.classList.add('selected');
      }
      el('line', { class: cls, x1: c.x1, y1: c.y1, x2: c.x2, y2: c.y2 }, g);
      grow(Math.max(c.x1, c.x2), Math.max(c.y1, c.y2));
    } else if (c.kind === 'shape' && c.name === 'aDot') {
      el('circle', { class: 'end', 'data-index': c.index, cx: c.left + c.width / 2, cy: c.top + c.height / 2, r: c.width / 2 }, svg);
    } else if (c.kind === 'shape') {
      // The selection markers shpSelector and shpPrevious.
      el('rect', { class: `marker ${c.name}`, x: c.left, y: c.top, width: c.width, height: c.height }, svg);
    }
  }
  // Room to grow to the right and below, at least the visible area.
  const box = svg.parentElement.getBoundingClientRect();
  const w = Math.max(right + 3000, box.width * TWIPS_PER_PIXEL);
  const h = Math.max(bottom + 3000, box.height * TWIPS_PER_PIXEL);
  svg.setAttribute('viewBox', `0 0 ${w} ${h}`);
  svg.setAttribute('width', w / TWIPS_PER_PIXEL);
  svg.setAttribute('height', h / TWIPS_PER_PIXEL);
}

// The window point (twips) under a pointer event.
export function windowPoint(svg, event) {
  const r = svg.getBoundingClientRect();
  return { x: (event.clientX - r.left) * TWIPS_PER_PIXEL, y: (event.clientY - r.top) * TWIPS_PER_PIXEL };
}

// A rubber-band line from (x1, y1) to (x2, y2) while a link is drawn.
export function rubberBand(svg, x1, y1, x2, y2) {
  let line = svg.querySelector('.rubber');
  if (!line) line = el('line', { class: 'rubber' }, svg);
  line.setAttribute('x1', x1);
  line.setAttribute('y1', y1);
  line.setAttribute('x2', x2);
  line.setAttribute('y2', y2);
  return line;
}

export const STROKE_WIDTH = STROKE;
