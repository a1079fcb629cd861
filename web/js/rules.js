// The rules as the page applies them to the moves on its board: who has won, a foul, a
// full board. Black's forbidden points under Renju come from the engine (zrshowforbid);
// here they are only named.

export const FREESTYLE = 0;
export const STANDARD = 1;
export const RENJU = 2;
// Gomocup's Caro codes: 8 five or more, 9 exactly five; either way a run of exactly five
// with both cells past its ends blocked (an opponent's stone, a blocked cell or the board's
// edge) does not win.
export const CARO = 8;
export const CARO_EXACT = 9;

export const RULE_NAMES = {
  [FREESTYLE]: 'Free-style',
  [STANDARD]: 'Standard',
  [RENJU]: 'Renju',
  [CARO]: 'Caro',
  [CARO_EXACT]: 'Caro (exactly five)',
};

export function isCaro(rule) {
  return rule === CARO || rule === CARO_EXACT;
}

export const EMPTY = 0;
export const BLACK = 1;
export const WHITE = 2;
export const BLOCKED = 3;

export const COLOUR_NAMES = { [BLACK]: 'Black', [WHITE]: 'White' };

// Along a row, a column and both diagonals.
const DIRECTIONS = [
  [0, 1],
  [1, 0],
  [1, 1],
  [1, -1],
];

// A board as the rules read it: cells[x][y] holds EMPTY, BLACK, WHITE or BLOCKED.
export function makeGrid(width, height) {
  return Array.from({ length: height }, () => new Array(width).fill(EMPTY));
}

function at(grid, x, y) {
  return x >= 0 && x < grid.length && y >= 0 && y < grid[0].length ? grid[x][y] : BLOCKED;
}

// The unbroken run of colour through (x, y) along (dx, dy), the cell itself counted as
// colour: its length and its cells.
export function runThrough(grid, x, y, dx, dy, colour) {
  const cells = [{ x, y }];
  for (let s = 1; at(grid, x + s * dx, y + s * dy) === colour; ++s) cells.push({ x: x + s * dx, y: y + s * dy });
  for (let s = 1; at(grid, x - s * dx, y - s * dy) === colour; ++s) cells.unshift({ x: x - s * dx, y: y - s * dy });
  return cells;
}

// What the stone of colour just placed at (x, y) did under rule:
//   {kind: 'five', line}      a win for colour (line: the winning cells)
//   {kind: 'overline', line}  six or more that do not win: standard Gomoku and Caro with
//                             exactly five (no win, play goes on) or black under Renju (a foul)
//   {kind: 'blocked', line}   under Caro, exactly five blocked at both ends (no win)
//   null                      nothing
// Under Renju a five wins even when the same stone also makes an overline elsewhere.
export function lineResult(grid, x, y, colour, rule) {
  let other = null;
  for (const [dx, dy] of DIRECTIONS) {
    const line = runThrough(grid, x, y, dx, dy, colour);
    if (line.length === 5) {
      if (!isCaro(rule) || blockedEnds(grid, line, dx, dy) < 2) return { kind: 'five', line };
      other = other || { kind: 'blocked', line };
    }
    if (line.length > 5) {
      const exact = rule === STANDARD || rule === CARO_EXACT || (rule === RENJU && colour === BLACK);
      if (!exact) return { kind: 'five', line };
      if (!other || other.kind !== 'overline') other = { kind: 'overline', line };
    }
  }
  return other;
}

// How many of the two cells just past a run's ends are not free (off the board counts).
function blockedEnds(grid, line, dx, dy) {
  const first = line[0], last = line[line.length - 1];
  return (at(grid, first.x - dx, first.y - dy) !== EMPTY ? 1 : 0) + (at(grid, last.x + dx, last.y + dy) !== EMPTY ? 1 : 0);
}

// Why black may not play (x, y) under Renju, given that the engine lists it as
// forbidden: 'overline', 'double four' or 'double three' (the engine has checked which
// threes are real; what is left when it is neither of the others is a double three).
export function forbiddenKind(grid, x, y) {
  let fours = 0;
  for (const [dx, dy] of DIRECTIONS) {
    if (runThrough(grid, x, y, dx, dy, BLACK).length > 5) return 'overline';
    // The empty cells of this line that would turn the stone at (x, y) into exactly five.
    const completions = [];
    for (let s = -4; s <= 4; ++s) {
      const cx = x + s * dx;
      const cy = y + s * dy;
      if (s === 0 || at(grid, cx, cy) !== EMPTY) continue;
      grid[cx][cy] = BLACK;
      const saved = grid[x][y];
      grid[x][y] = BLACK;
      const run = runThrough(grid, cx, cy, dx, dy, BLACK);
      grid[x][y] = saved;
      grid[cx][cy] = EMPTY;
      if (run.length === 5 && run.some((c) => c.x === x && c.y === y)) completions.push(s);
    }
    // Two completions five apart are the two ends of one open four.
    if (completions.length === 2 && completions[1] - completions[0] === 5) fours += 1;
    else fours += completions.length;
  }
  return fours >= 2 ? 'double four' : 'double three';
}
