// Cells in players' notation and the engine's, game records, and the position in the
// page's address.
import assert from 'node:assert/strict';
import { describe, test } from 'node:test';
import {
  cellName,
  decodePosition,
  encodePosition,
  formatMoves,
  parseBoardCells,
  parseCellName,
  parseMoves,
} from '../../web/js/notation.js';

describe('players notation', () => {
  test('the corners and the centre of 15 by 15', () => {
    assert.equal(cellName({ x: 7, y: 7 }, 15), 'h8');
    assert.equal(cellName({ x: 0, y: 0 }, 15), 'a15');
    assert.equal(cellName({ x: 14, y: 14 }, 15), 'o1');
    assert.deepEqual(parseCellName('H8', 15, 15), { x: 7, y: 7 });
  });

  test('a rectangle: letters along the width, numbers up the height', () => {
    // START 20 10: width 20 (y up to 19, letter t), height 10 (x up to 9).
    assert.equal(cellName({ x: 9, y: 19 }, 10), 't1');
    assert.deepEqual(parseCellName('t10', 20, 10), { x: 0, y: 19 });
    assert.equal(parseCellName('u1', 20, 10), null);
    assert.equal(parseCellName('a11', 20, 10), null);
  });

  test('every cell of 24 by 24 reads back as itself', () => {
    for (let x = 0; x < 24; ++x)
      for (let y = 0; y < 24; ++y) assert.deepEqual(parseCellName(cellName({ x, y }, 24), 24, 24), { x, y });
  });

  test('not a cell', () => {
    for (const text of ['', 'h', '8', 'h0', 'hh8', 'h8x', 'y1']) assert.equal(parseCellName(text, 24, 24), null, text);
  });
});

describe('game records', () => {
  test('separators, move numbers and letter case do not matter', () => {
    const expected = [
      { x: 7, y: 7 },
      { x: 6, y: 8 },
      { x: 5, y: 9 },
    ];
    for (const text of ['h8 i9 j10', 'h8,i9,j10', 'h8i9j10', '1. h8 2. i9 3. j10', 'H8 I9\nJ10'])
      assert.deepEqual(parseMoves(text, 15, 15).moves, expected, text);
  });

  test('a record written and read back', () => {
    const moves = [
      { x: 0, y: 0 },
      { x: 14, y: 14 },
      { x: 9, y: 3 },
    ];
    assert.equal(formatMoves(moves, 15), 'a15 o1 d6');
    assert.deepEqual(parseMoves(formatMoves(moves, 15), 15, 15).moves, moves);
  });

  test('faults are named', () => {
    assert.match(parseMoves('h8 p1', 15, 15).error, /p1 is not on the 15 by 15 board/);
    assert.match(parseMoves('h8 h16', 15, 15).error, /h16/);
    assert.match(parseMoves('h8 i9 h8', 15, 15).error, /h8 is played twice/);
    assert.match(parseMoves('hello?', 15, 15).error, /no moves found/);
    assert.deepEqual(parseMoves('  ', 15, 15), { moves: [] });
  });
});

describe("the engine's board notation", () => {
  test('[NL] and [N,L]: N counts rows from the bottom, L columns from A', () => {
    assert.deepEqual(parseBoardCells('MESSAGE REALTIME PV [8J] [10H]', 15), [
      { x: 7, y: 9 },
      { x: 5, y: 7 },
    ]);
    assert.deepEqual(parseBoardCells('[8,I]', 15), [{ x: 7, y: 8 }]);
    assert.deepEqual(parseBoardCells('[7,H][8,I]', 15), [
      { x: 8, y: 7 },
      { x: 7, y: 8 },
    ]);
    // On 20 by 10 row 1 is x 9.
    assert.deepEqual(parseBoardCells('[1T]', 10), [{ x: 9, y: 19 }]);
  });
});

describe("the page's address", () => {
  test('a position survives the round trip', () => {
    const position = {
      width: 20,
      height: 10,
      rule: 2,
      moves: [
        { x: 4, y: 9 },
        { x: 5, y: 10 },
      ],
      blocked: [{ x: 0, y: 0 }],
    };
    const hash = encodePosition(position);
    assert.equal(hash, '#w=20&h=10&rule=2&moves=j6k5&blocked=a10');
    assert.deepEqual(decodePosition(hash), { ...position, error: null });
  });

  test('no position, and wrong fields falling back', () => {
    assert.equal(decodePosition(''), null);
    assert.equal(decodePosition('#'), null);
    const p = decodePosition('#w=99&rule=7&moves=h8');
    assert.equal(p.width, 15);
    assert.equal(p.height, 15);
    assert.equal(p.rule, 0);
    assert.deepEqual(p.moves, [{ x: 7, y: 7 }]);
    assert.match(decodePosition('#w=9&moves=z1').error, /z1/);
  });
});
