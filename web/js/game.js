// The game on the page's board: its size and rule, the moves in order (black first), the
// moves taken back that redo can replay, the blocked cells, and how the game ended.
import { cellKey, onBoard, sameCell } from './notation.js';
import { BLACK, BLOCKED, EMPTY, RENJU, STANDARD, WHITE, forbiddenKind, lineResult, makeGrid } from './rules.js';

export class Game {
  constructor(width = 15, height = width, rule = 0) {
    this.width = width;
    this.height = height;
    this.rule = rule;
    this.moves = [];
    this.undone = []; // moves taken back, the next to redo last
    this.blocked = [];
    this.end = null; // see judge()
    this.notes = []; // what the last move did without ending the game (an overline under the standard rule)
  }

  // The colour of the stone at place i of the record (black first).
  static colourOf(index) {
    return index % 2 === 0 ? BLACK : WHITE;
  }

  get toMove() {
    return Game.colourOf(this.moves.length);
  }

  get lastMove() {
    return this.moves.length ? this.moves[this.moves.length - 1] : null;
  }

  grid() {
    const grid = makeGrid(this.width, this.height);
    for (const c of this.blocked) grid[c.x][c.y] = BLOCKED;
    this.moves.forEach((c, i) => {
      grid[c.x][c.y] = Game.colourOf(i);
    });
    return grid;
  }

  cellAt(cell) {
    const i = this.moves.findIndex((m) => sameCell(m, cell));
    if (i >= 0) return Game.colourOf(i);
    return this.blocked.some((b) => sameCell(b, cell)) ? BLOCKED : EMPTY;
  }

  isFree(cell) {
    return onBoard(cell, this.width, this.height) && this.cellAt(cell) === EMPTY;
  }

  // Cells where a stone may still go.
  freeCells() {
    return this.width * this.height - this.moves.length - this.blocked.length;
  }

  // Plays cell for the side to move. forbidden: black's forbidden points before the move
  // (Renju), from the engine. Returns false, changing nothing, when the cell is taken or
  // the game is over.
  play(cell, forbidden = []) {
    if (this.end || !this.isFree(cell)) return false;
    this.moves.push({ x: cell.x, y: cell.y });
    this.undone = [];
    this.judge(forbidden);
    return true;
  }

  undo() {
    if (!this.moves.length) return null;
    const cell = this.moves.pop();
    this.undone.push(cell);
    this.end = null;
    this.notes = [];
    return cell;
  }

  redo(forbidden = []) {
    if (!this.undone.length || this.end) return null;
    const cell = this.undone.pop();
    this.moves.push(cell);
    this.judge(forbidden);
    return cell;
  }

  // Sets how the game stands after its last move:
  //   end = {kind: 'five', winner, line} | {kind: 'foul', winner: WHITE, why, cell, line?}
  //       | {kind: 'full'} | null
  judge(forbidden = []) {
    this.end = null;
    this.notes = [];
    const cell = this.lastMove;
    if (!cell) return;
    const colour = Game.colourOf(this.moves.length - 1);
    const grid = this.grid();
    const result = lineResult(grid, cell.x, cell.y, colour, this.rule);
    if (result && result.kind === 'five') {
      this.end = { kind: 'five', winner: colour, line: result.line };
      return;
    }
    if (this.rule === RENJU && colour === BLACK) {
      if (result && result.kind === 'overline') {
        this.end = { kind: 'foul', winner: WHITE, why: 'overline', cell, line: result.line };
        return;
      }
      if (forbidden.some((f) => sameCell(f, cell))) {
        grid[cell.x][cell.y] = EMPTY;
        this.end = { kind: 'foul', winner: WHITE, why: forbiddenKind(grid, cell.x, cell.y), cell };
        return;
      }
    } else if (result && result.kind === 'overline') {
      this.notes.push(`an overline does not win under the ${this.rule === STANDARD ? 'standard' : 'Caro'} rule`);
    } else if (result && result.kind === 'blocked') {
      this.notes.push('a five blocked at both ends does not win under the Caro rule');
    }
    if (this.freeCells() === 0) this.end = { kind: 'full' };
  }

  // Blocks a free cell, or frees a blocked one. Returns false for a stone.
  toggleBlocked(cell) {
    const i = this.blocked.findIndex((b) => sameCell(b, cell));
    if (i >= 0) {
      this.blocked.splice(i, 1);
      return true;
    }
    if (!this.isFree(cell)) return false;
    this.blocked.push({ x: cell.x, y: cell.y });
    return true;
  }

  // Replaces the moves (a pasted record, a link); stones on blocked cells free them.
  // Returns an error, changing nothing, when a five comes before the last move. The
  // last move is judged (black's fouls other than an overline need forbidden, the
  // engine's list before it).
  load(moves, forbidden = []) {
    const grid = makeGrid(this.width, this.height);
    for (let i = 0; i + 1 < moves.length; ++i) {
      const c = moves[i];
      grid[c.x][c.y] = Game.colourOf(i);
      const result = lineResult(grid, c.x, c.y, Game.colourOf(i), this.rule);
      if (result && result.kind === 'five') return { error: `the game was over after move ${i + 1}` };
    }
    const keys = new Set(moves.map(cellKey));
    this.blocked = this.blocked.filter((b) => !keys.has(cellKey(b)));
    this.moves = moves.map((c) => ({ x: c.x, y: c.y }));
    this.undone = [];
    this.judge(forbidden);
    return {};
  }
}
