// The end of a game as the page judges it: fives, overlines by rule, Caro's blocked fives, Renju fouls, a full
// board; and moves taken back and replayed.
import assert from 'node:assert/strict';
import { describe, test } from 'node:test';
import { Game } from '../../web/js/game.js';
import { parseMoves } from '../../web/js/notation.js';
import { BLACK, CARO, CARO_EXACT, FREESTYLE, RENJU, STANDARD, WHITE, forbiddenKind } from '../../web/js/rules.js';

// A game of the given rule on 15 by 15 with these moves (players' notation).
function game(rule, record) {
  const g = new Game(15, 15, rule);
  const { moves, error } = parseMoves(record, 15, 15);
  assert.equal(error, undefined);
  for (const m of moves.slice(0, -1)) g.moves.push(m);
  if (moves.length) assert.ok(g.play(moves[moves.length - 1]));
  return g;
}

const cells = (record) => parseMoves(record, 15, 15).moves;

describe('fives', () => {
  test('in each direction, for either colour, the last stone anywhere in the five', () => {
    // Black's row h8..l8 completed in the middle; white's column and both diagonals.
    assert.deepEqual(game(FREESTYLE, 'h8 a1 i8 a2 k8 a3 l8 a4 j8').end.winner, BLACK);
    assert.equal(game(FREESTYLE, 'h8 a1 h9 a2 h10 a3 h11 a4 o15 a5').end.winner, WHITE);
    assert.equal(game(FREESTYLE, 'a1 h8 a3 i9 a5 j10 a7 k11 a9 l12').end.winner, WHITE);
    assert.equal(game(FREESTYLE, 'a1 h8 a3 i7 a5 j6 a7 k5 a9 l4').end.winner, WHITE);
    const g = game(FREESTYLE, 'h8 a1 i8 a2 k8 a3 l8 a4 j8');
    assert.equal(g.end.kind, 'five');
    assert.deepEqual(g.end.line.length, 5);
  });

  test('four is not five', () => {
    assert.equal(game(FREESTYLE, 'h8 a1 i8 a2 j8 a3 k8').end, null);
  });
});

describe('overlines by rule', () => {
  const six = 'h8 a1 i8 a2 j8 a3 l8 a4 m8 a5 k8'; // black's six, completed at k8
  test('free-style: an overline wins', () => {
    assert.equal(game(FREESTYLE, six).end.winner, BLACK);
  });

  test('standard: no win, play goes on with a note', () => {
    const g = game(STANDARD, six);
    assert.equal(g.end, null);
    assert.match(g.notes[0], /overline does not win/);
  });

  test("Renju: black's overline is a foul, white's wins", () => {
    const g = game(RENJU, six);
    assert.equal(g.end.kind, 'foul');
    assert.equal(g.end.winner, WHITE);
    assert.equal(g.end.why, 'overline');
    assert.equal(game(RENJU, 'a1 h8 a2 i8 a3 j8 a5 l8 a7 m8 a9 k8').end.winner, WHITE);
  });

  test('Renju: a five wins even when the same stone makes an overline elsewhere', () => {
    // k8 ends black's six on row 8 and a five on column k.
    const g = game(RENJU, 'h8 a1 i8 a2 j8 a3 l8 a4 m8 a5 k4 a6 k5 a7 k6 a8 k7 a9 k8');
    assert.equal(g.end.kind, 'five');
    assert.equal(g.end.winner, BLACK);
  });
});

describe('Caro', () => {
  test('a five blocked at both ends does not win; with one end free it does', () => {
    const blocked = game(CARO, 'h8 g8 i8 m8 j8 a1 k8 a2 l8');
    assert.equal(blocked.end, null);
    assert.match(blocked.notes[0], /blocked at both ends/);
    assert.equal(game(CARO_EXACT, 'h8 g8 i8 m8 j8 a1 k8 a2 l8').end, null);
    assert.equal(game(CARO, 'h8 g8 i8 a3 j8 a1 k8 a2 l8').end.winner, BLACK);
    assert.equal(game(FREESTYLE, 'h8 g8 i8 m8 j8 a1 k8 a2 l8').end.winner, BLACK);
  });

  test("the board's edge blocks as a stone does", () => {
    assert.equal(game(CARO, 'a8 f8 b8 o1 c8 o2 d8 o3 e8').end, null);
    assert.equal(game(CARO, 'a8 o4 b8 o1 c8 o2 d8 o3 e8').end.winner, BLACK);
  });

  test('an overline wins under 8 even when blocked, and never under 9', () => {
    const six = 'g8 f8 h8 n8 i8 a1 k8 a2 l8 a3 m8 a4 j8'; // black's g8..m8, white at f8 and n8
    assert.equal(game(CARO, six).end.winner, BLACK);
    const g = game(CARO_EXACT, six);
    assert.equal(g.end, null);
    assert.match(g.notes[0], /overline does not win under the Caro rule/);
  });
});

describe('Renju fouls', () => {
  test("a forbidden point the engine named ends the game, with its kind", () => {
    const g = new Game(15, 15, RENJU);
    for (const m of cells('f8 a1 g8 b1 h10 a2 h9 c1')) g.moves.push(m);
    const [h8] = cells('h8');
    g.play(h8, [h8]);
    assert.deepEqual({ kind: g.end.kind, winner: g.end.winner, why: g.end.why }, { kind: 'foul', winner: WHITE, why: 'double three' });
  });

  test('the kind of a forbidden point', () => {
    const grid = (record) => {
      const g = new Game(15, 15, RENJU);
      // Black's stones only: white's go to the far corner column, out of the way.
      const whites = cells('a1 a3 a5 a7 a9 a11 a13 a15');
      cells(record).forEach((m, i) => g.moves.push(m, whites[i]));
      return g.grid();
    };
    const [h8] = cells('h8');
    assert.equal(forbiddenKind(grid('f8 g8 h10 h9'), h8.x, h8.y), 'double three');
    assert.equal(forbiddenKind(grid('e8 f8 g8 h11 h10 h9'), h8.x, h8.y), 'double four');
    // Two fours on one line: e8 _ g8 h8 i8 _ k8, completed at f8 or at j8.
    assert.equal(forbiddenKind(grid('e8 g8 i8 k8'), h8.x, h8.y), 'double four');
    // An open four (two completions five apart) and a three: one four only.
    assert.equal(forbiddenKind(grid('f8 g8 i8 h10 h9'), h8.x, h8.y), 'double three');
    assert.equal(forbiddenKind(grid('d8 e8 f8 g8 i8'), h8.x, h8.y), 'overline');
  });
});

describe('a full board', () => {
  test('no free cell and no five is a draw', () => {
    const g = new Game(5, 5, FREESTYLE);
    for (let x = 0; x < 5; ++x) for (let y = 0; y < 5; ++y) if (x > 0) g.blocked.push({ x, y });
    for (const y of [0, 1, 2, 3]) g.moves.push({ x: 0, y });
    assert.ok(g.play({ x: 0, y: 4 }));
    assert.deepEqual(g.end, { kind: 'full' });
  });
});

describe('undo and redo', () => {
  test('undo reopens a finished game; a new move clears what redo had', () => {
    const g = game(FREESTYLE, 'h8 a1 i8 a2 j8 a3 k8 a4 l8');
    assert.ok(g.end);
    assert.deepEqual(g.undo(), cells('l8')[0]);
    assert.equal(g.end, null);
    assert.deepEqual(g.redo(), cells('l8')[0]);
    assert.equal(g.end.winner, BLACK);
    g.undo();
    g.undo();
    assert.ok(g.play(cells('o15')[0]));
    assert.equal(g.undone.length, 0);
    assert.equal(g.redo(), null);
  });

  test('no move on a stone, a blocked cell, or after the end', () => {
    const g = game(FREESTYLE, 'h8');
    assert.equal(g.play(cells('h8')[0]), false);
    assert.ok(g.toggleBlocked(cells('a1')[0]));
    assert.equal(g.play(cells('a1')[0]), false);
    assert.equal(g.toggleBlocked(cells('h8')[0]), false);
    assert.ok(g.toggleBlocked(cells('a1')[0]));
    assert.ok(g.play(cells('a1')[0]));
  });

  test('a loaded record: a five before its last move is refused', () => {
    const g = new Game(15, 15, FREESTYLE);
    assert.match(g.load(cells('h8 a1 i8 a2 j8 a3 k8 a4 l8 a5')).error, /over after move 9/);
    assert.equal(g.moves.length, 0);
    assert.deepEqual(g.load(cells('h8 a1 i8 a2 j8 a3 k8 a4 l8')), {});
    assert.equal(g.end.winner, BLACK);
  });
});
