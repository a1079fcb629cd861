// Drawing the board as SVG: the grid with its coordinates (redrawn when the size
// changes), and over it the stones and every mark (redrawn on each change).
import { cellName, columnLetter } from './notation.js';
import { BLACK, WHITE } from './rules.js';

const SVG = 'http://www.w3.org/2000/svg';
export const SPACING = 40; // between lines, in the SVG's own units
const MARGIN = { left: 44, right: 22, top: 22, bottom: 44 };
const STONE = 0.47 * SPACING;

export function point(cell) {
  return { px: MARGIN.left + cell.y * SPACING, py: MARGIN.top + cell.x * SPACING };
}

function element(name, attributes = {}, text) {
  const e = document.createElementNS(SVG, name);
  for (const [k, v] of Object.entries(attributes)) e.setAttribute(k, v);
  if (text !== undefined) e.textContent = text;
  return e;
}

// The star points players use to find their way: the centre, and on larger boards the
// points three lines in from each corner.
function starPoints(width, height) {
  const points = [{ x: (height - 1) >> 1, y: (width - 1) >> 1 }];
  if (width >= 13 && height >= 13) {
    for (const x of [3, height - 4]) for (const y of [3, width - 4]) points.push({ x, y });
  }
  return points;
}

export class BoardView {
  constructor(svg) {
    this.svg = svg;
    this.size = null;
    this.grid = element('g', { class: 'grid' });
    this.layer = element('g', { class: 'marks' });
    this.defs = element('defs');
    this.defs.innerHTML = `
      <linearGradient id="wood" x1="0" y1="0" x2="1" y2="1">
        <stop offset="0%" stop-color="#e8c077"/><stop offset="55%" stop-color="#dcae5c"/><stop offset="100%" stop-color="#cf9d4a"/>
      </linearGradient>
      <radialGradient id="stone-black" cx="35%" cy="30%" r="70%">
        <stop offset="0%" stop-color="#6a6a6a"/><stop offset="45%" stop-color="#1d1d1d"/><stop offset="100%" stop-color="#000"/>
      </radialGradient>
      <radialGradient id="stone-white" cx="35%" cy="30%" r="75%">
        <stop offset="0%" stop-color="#ffffff"/><stop offset="70%" stop-color="#e9e6df"/><stop offset="100%" stop-color="#b9b4a8"/>
      </radialGradient>`;
    svg.append(this.defs, this.grid, this.layer);
  }

  // The cell whose intersection is nearest the client point, or null off the board.
  cellAt(clientX, clientY) {
    if (!this.size) return null;
    const matrix = this.svg.getScreenCTM();
    if (!matrix) return null;
    const p = new DOMPoint(clientX, clientY).matrixTransform(matrix.inverse());
    const y = Math.round((p.x - MARGIN.left) / SPACING);
    const x = Math.round((p.y - MARGIN.top) / SPACING);
    if (x < 0 || x >= this.size.height || y < 0 || y >= this.size.width) return null;
    return { x, y };
  }

  // Where a cell's intersection is on the screen (for tests and touch feedback).
  clientPoint(cell) {
    const matrix = this.svg.getScreenCTM();
    const { px, py } = point(cell);
    const p = new DOMPoint(px, py).matrixTransform(matrix);
    return { x: p.x, y: p.y };
  }

  drawGrid(width, height) {
    this.size = { width, height };
    const w = MARGIN.left + (width - 1) * SPACING + MARGIN.right;
    const h = MARGIN.top + (height - 1) * SPACING + MARGIN.bottom;
    this.svg.setAttribute('viewBox', `0 0 ${w} ${h}`);
    this.svg.style.aspectRatio = `${w} / ${h}`;
    const g = this.grid;
    g.replaceChildren();
    g.append(element('rect', { class: 'wood', x: 0, y: 0, width: w, height: h, rx: 10 }));
    const left = MARGIN.left;
    const top = MARGIN.top;
    const right = left + (width - 1) * SPACING;
    const bottom = top + (height - 1) * SPACING;
    let lines = '';
    for (let x = 0; x < height; ++x) lines += `M${left} ${top + x * SPACING}H${right}`;
    for (let y = 0; y < width; ++y) lines += `M${left + y * SPACING} ${top}V${bottom}`;
    g.append(element('path', { class: 'lines', d: lines }));
    g.append(element('rect', { class: 'edge', x: left, y: top, width: right - left, height: bottom - top }));
    for (const s of starPoints(width, height)) {
      const { px, py } = point(s);
      g.append(element('circle', { class: 'star', cx: px, cy: py, r: 4 }));
    }
    for (let y = 0; y < width; ++y)
      g.append(element('text', { class: 'coord', x: left + y * SPACING, y: bottom + 30 }, columnLetter(y)));
    for (let x = 0; x < height; ++x)
      g.append(element('text', { class: 'coord', x: left - 26, y: top + x * SPACING + 1 }, String(height - x)));
  }

  // Everything on the grid. view:
  //   moves (black first), numbers (bool), blocked, forbidden (cells), ghosts (the best
  //   line: cells, the first for the side to move; null where none is drawn), hover
  //   {cell, colour}, hint (cell),
  //   balance (cells), winLine (cells), searching (cell: the root move under search)
  render(view) {
    const { width, height } = view;
    if (!this.size || this.size.width !== width || this.size.height !== height) this.drawGrid(width, height);
    const layer = this.layer;
    layer.replaceChildren();
    for (const c of view.blocked) {
      const { px, py } = point(c);
      const r = 0.36 * SPACING;
      layer.append(
        element('rect', { class: 'blocked', x: px - r, y: py - r, width: 2 * r, height: 2 * r, rx: 4, 'data-cell': cellName(c, height) }),
      );
    }
    if (view.searching) {
      const { px, py } = point(view.searching);
      layer.append(element('circle', { class: 'searching', cx: px, cy: py, r: STONE }));
    }
    view.moves.forEach((c, i) => {
      const { px, py } = point(c);
      const colour = i % 2 === 0 ? BLACK : WHITE;
      const name = colour === BLACK ? 'black' : 'white';
      layer.append(element('circle', { class: `stone ${name}`, cx: px, cy: py, r: STONE, 'data-cell': cellName(c, height) }));
      if (view.numbers) layer.append(element('text', { class: `number on-${name}`, x: px, y: py + 1 }, String(i + 1)));
    });
    const last = view.moves[view.moves.length - 1];
    if (last && !view.numbers) {
      const { px, py } = point(last);
      layer.append(element('circle', { class: 'last-move', cx: px, cy: py, r: 0.16 * SPACING }));
    } else if (last) {
      const { px, py } = point(last);
      layer.append(element('circle', { class: 'last-ring', cx: px, cy: py, r: STONE + 1.5 }));
    }
    view.ghosts.forEach((c, i) => {
      if (!c) return;
      const { px, py } = point(c);
      const colour = (view.moves.length + i) % 2 === 0 ? 'black' : 'white';
      layer.append(element('circle', { class: `ghost ${colour}`, cx: px, cy: py, r: STONE }));
      layer.append(element('text', { class: `number ghost-number on-${colour}`, x: px, y: py + 1 }, String(i + 1)));
    });
    for (const c of view.forbidden) {
      const { px, py } = point(c);
      const r = 0.2 * SPACING;
      layer.append(
        element('path', {
          class: 'forbidden',
          d: `M${px - r} ${py - r}L${px + r} ${py + r}M${px + r} ${py - r}L${px - r} ${py + r}`,
          'data-cell': cellName(c, height),
        }),
      );
    }
    if (view.hint) {
      const { px, py } = point(view.hint);
      layer.append(element('circle', { class: 'hint', cx: px, cy: py, r: STONE - 2 }));
    }
    view.balance.forEach((c, i) => {
      const { px, py } = point(c);
      layer.append(element('circle', { class: 'balance', cx: px, cy: py, r: STONE - 2 }));
      layer.append(element('text', { class: 'balance-label', x: px, y: py + 1 }, view.balance.length > 1 ? `B${i + 1}` : 'B'));
    });
    if (view.winLine && view.winLine.length) {
      const a = point(view.winLine[0]);
      const b = point(view.winLine[view.winLine.length - 1]);
      layer.append(element('line', { class: 'win-line', x1: a.px, y1: a.py, x2: b.px, y2: b.py }));
    }
    if (view.hover) {
      const { px, py } = point(view.hover.cell);
      const name = view.hover.colour === BLACK ? 'black' : 'white';
      layer.append(element('circle', { class: `hover ${name}`, cx: px, cy: py, r: STONE }));
    }
  }
}
