// The rules as the page applies them to the moves on its board: who has won, a foul, a
// full board. Black's forbidden points under Renju come from the engine (zrshowforbid);
// here they are only named.

export const FREESTYLE = 0;
export const STANDARD = 1;
export const RENJU = 2;

export const RULE_NAMES = { [FREESTYLE]: 'Free-style', [STANDARD]: 'Standard', [RENJU]: 'Renju' };

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
//   {kind: 'overline', line}  six or more that do not win: standard Gomoku (no win, play
//                             goes on) or black under Renju (a foul)
//   null                      nothing
// Under Renju a five wins even when the same stone also makes an overline elsewhere.
export function lineResult(grid, x, y, colour, rule) {
  let overline = null;
  for (const [dx, dy] of DIRECTIONS) {
    const line = runThrough(grid, x, y, dx, dy, colour);
    if (line.length === 5) return { kind: 'five', line };
    if (line.length > 5) {
      const exact = rule === STANDARD || (rule === RENJU && colour === BLACK);
      if (!exact) return { kind: 'five', line };
      overline = overline || { kind: 'overline', line };
    }
  }
  return overline;
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
