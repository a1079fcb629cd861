// Cells, and how players and the engine write them.
//
// The engine numbers a cell x,y with x from 0 to height-1 (rows, top first) and y from 0
// to width-1 (columns, left first). Players write a column letter and a row number
// counted from the bottom: on 15 by 15 the centre 7,7 is h8, and 0,0 is a15. The
// engine's own reports write the same cell as [8H] or [8,H].

export const MIN_SIDE = 5;
export const MAX_SIDE = 24;

const LETTERS = 'abcdefghijklmnopqrstuvwx';

export function columnLetter(y) {
  return LETTERS[y];
}

export function onBoard(cell, width, height) {
  return cell.x >= 0 && cell.x < height && cell.y >= 0 && cell.y < width;
}

// Players' notation: "h8".
export function cellName(cell, height) {
  return `${LETTERS[cell.y]}${height - cell.x}`;
}

// "h8" (any letter case) to a cell, or null when it is not a cell of this board.
export function parseCellName(text, width, height) {
  const m = /^\s*([a-x])(\d{1,2})\s*$/i.exec(text);
  if (!m) return null;
  const cell = { x: height - Number(m[2]), y: LETTERS.indexOf(m[1].toLowerCase()) };
  return onBoard(cell, width, height) ? cell : null;
}

// The protocol's "x,y".
export function protocolCell(cell) {
  return `${cell.x},${cell.y}`;
}

export function sameCell(a, b) {
  return a.x === b.x && a.y === b.y;
}

// A key for sets and maps of cells.
export function cellKey(cell) {
  return cell.x * 32 + cell.y;
}

// A game record as players write it: "h8 i9 j10".
export function formatMoves(moves, height) {
  return moves.map((cell) => cellName(cell, height)).join(' ');
}

// A pasted record to moves. Every letter followed by digits is a move, so "h8 i9",
// "h8,i9", "h8i9" and "1. h8 2. i9" all read the same; numbers without a letter (move
// numbers) are skipped. Returns {moves} or {error}.
export function parseMoves(text, width, height) {
  const moves = [];
  const seen = new Set();
  for (const m of text.matchAll(/([a-z])(\d+)/gi)) {
    const name = m[0].toLowerCase();
    const cell = parseCellName(name, width, height);
    if (!cell) return { error: `${name} is not on the ${width} by ${height} board` };
    if (seen.has(cellKey(cell))) return { error: `${name} is played twice` };
    seen.add(cellKey(cell));
    moves.push(cell);
  }
  if (moves.length === 0 && /\S/.test(text)) return { error: 'no moves found (write them as h8 i9 j10 ...)' };
  return { moves };
}

// The engine's board notation in its reports: [8H] or [8,H], N = height - x and the
// letter 'A' + y. Every such cell in text, in order.
export function parseBoardCells(text, height) {
  const cells = [];
  for (const m of text.matchAll(/\[(\d+),?([A-X])\]/g)) {
    cells.push({ x: height - Number(m[1]), y: m[2].charCodeAt(0) - 65 });
  }
  return cells;
}

// The position in the page's address: "#w=15&h=15&rule=2&moves=h8i9j10&blocked=a1".
// Moves are written without separators (each is a letter and a number).
export function encodePosition({ width, height, rule, moves, blocked }) {
  const parts = [`w=${width}`, `h=${height}`, `rule=${rule}`];
  if (moves.length) parts.push(`moves=${moves.map((c) => cellName(c, height)).join('')}`);
  if (blocked.length) parts.push(`blocked=${blocked.map((c) => cellName(c, height)).join('')}`);
  return '#' + parts.join('&');
}

// The address's position, or null when it names none; fields that are missing or wrong
// fall back to 15 by 15, free-style, no moves.
export function decodePosition(hash) {
  const text = hash.replace(/^#/, '');
  if (!text) return null;
  const fields = new URLSearchParams(text);
  const side = (name) => {
    const v = Number(fields.get(name));
    return Number.isInteger(v) && v >= MIN_SIDE && v <= MAX_SIDE ? v : 15;
  };
  const width = side('w');
  const height = fields.has('h') ? side('h') : width;
  const ruleValue = Number(fields.get('rule'));
  const rule = [0, 1, 2, 8, 9].includes(ruleValue) ? ruleValue : 0;
  const moves = parseMoves(fields.get('moves') || '', width, height);
  const blocked = parseMoves(fields.get('blocked') || '', width, height);
  return {
    width,
    height,
    rule,
    moves: moves.moves || [],
    blocked: blocked.moves || [],
    error: moves.error || blocked.error || null,
  };
}
