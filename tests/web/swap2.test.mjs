// Whose part it is in a Swap2 opening, and what the engine's answers mean.
import assert from 'node:assert/strict';
import { describe, test } from 'node:test';
import { BLACK, WHITE } from '../../web/js/rules.js';
import { ENGINE, Swap2Opening, YOU } from '../../web/js/swap2.js';

const cell = (x, y) => ({ x, y });

describe('the engine opens', () => {
  test('you take white: you play the fourth stone', () => {
    const s = new Swap2Opening(ENGINE);
    assert.equal(s.actor(), ENGINE);
    assert.deepEqual(s.engineAnswered([cell(7, 7), cell(8, 9), cell(9, 9)]).length, 3);
    assert.equal(s.actor(), YOU);
    assert.deepEqual(s.choices(), ['black', 'white', 'two']);
    s.choose('white');
    assert.ok(s.done);
    assert.equal(s.yourColour, WHITE);
  });

  test('you place two more; the engine swaps to black, or stays white with a sixth stone', () => {
    for (const [answer, colour, placed] of [
      ['SWAP', WHITE, 0],
      [[cell(6, 6)], BLACK, 1],
    ]) {
      const s = new Swap2Opening(ENGINE);
      s.engineAnswered([cell(7, 7), cell(8, 9), cell(9, 9)]);
      s.choose('two');
      assert.equal(s.phase, 'place2');
      assert.equal(s.stonesWanted(), 5);
      s.stonesPlaced();
      assert.equal(s.actor(), ENGINE);
      assert.equal(s.engineAnswered(answer).length, placed);
      assert.ok(s.done);
      assert.equal(s.yourColour, colour);
    }
  });
});

describe('you open', () => {
  test('your three stones, then the engine answers', () => {
    const cases = [
      ['SWAP', WHITE], // it takes black: you are white and play the fourth stone
      [[cell(6, 8)], BLACK], // it stays white with the fourth stone: you are black
    ];
    for (const [answer, colour] of cases) {
      const s = new Swap2Opening(YOU);
      assert.equal(s.stonesWanted(), 3);
      s.stonesPlaced();
      assert.equal(s.actor(), ENGINE);
      s.engineAnswered(answer);
      assert.ok(s.done);
      assert.equal(s.yourColour, colour);
    }
  });

  test('the engine places two more and you choose', () => {
    const s = new Swap2Opening(YOU);
    s.stonesPlaced();
    assert.equal(s.engineAnswered([cell(6, 8), cell(8, 6)]).length, 2);
    assert.equal(s.phase, 'choose');
    assert.deepEqual(s.choices(), ['black', 'white']);
    s.choose('black');
    assert.equal(s.yourColour, BLACK);
    assert.ok(s.done);
  });
});

test('self-play: the engine answers its own opening', () => {
  const s = new Swap2Opening(YOU, true);
  assert.equal(s.actor(), ENGINE);
  s.engineAnswered([cell(7, 7), cell(8, 9), cell(9, 9)]);
  assert.equal(s.actor(), ENGINE);
  s.engineAnswered([cell(6, 8), cell(8, 6)]);
  assert.equal(s.phase, 'answer5');
  s.engineAnswered('SWAP');
  assert.ok(s.done);
  assert.equal(s.yourColour, null);
});
