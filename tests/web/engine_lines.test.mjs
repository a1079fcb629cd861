// The engine's reply lines as the page reads them (the forms of the README's Reports).
import assert from 'node:assert/strict';
import { describe, test } from 'node:test';
import { describeValue, parseEngineLine } from '../../web/js/engine_lines.js';

const read = (line) => parseEngineLine(line, 15);

describe('replies', () => {
  test('moves, echoes and Swap2 answers are cells', () => {
    assert.deepEqual(read('7,7'), { kind: 'cells', cells: [{ x: 7, y: 7 }] });
    assert.deepEqual(read('7,7 8,9 9,9').cells, [
      { x: 7, y: 7 },
      { x: 8, y: 9 },
      { x: 9, y: 9 },
    ]);
    assert.deepEqual(read('SWAP'), { kind: 'swap' });
  });

  test('OK, errors, unknown commands, ABOUT', () => {
    assert.equal(read('OK').kind, 'ok');
    assert.deepEqual(read('ERROR bad coordinates'), { kind: 'error', text: 'bad coordinates' });
    assert.equal(read('UNKNOWN command').kind, 'unknown');
    assert.equal(read('name="Zerin", author="Quendel", version="2015 Kernal 0.4.47"').kind, 'about');
  });

  test('forbidden points: two digits of x, two of y', () => {
    assert.deepEqual(read('FORBID 07080910.').cells, [
      { x: 7, y: 8 },
      { x: 9, y: 10 },
    ]);
    assert.deepEqual(read('FORBID .').cells, []);
  });
});

describe('reports while the engine searches', () => {
  test('realtime lines', () => {
    assert.deepEqual(read('MESSAGE REALTIME BEST 7,9'), { kind: 'realtime', what: 'best', cell: { x: 7, y: 9 } });
    assert.deepEqual(read('MESSAGE REALTIME POS 9,7').cell, { x: 9, y: 7 });
    assert.equal(read('MESSAGE REALTIME DONE 9,7').what, 'done');
    assert.equal(read('MESSAGE REALTIME LOSE 1,2').what, 'lose');
    assert.deepEqual(read('MESSAGE REALTIME VAL -183'), { kind: 'realtime', what: 'val', value: -183 });
    assert.equal(read('MESSAGE REALTIME REFRESH').what, 'refresh');
    const pv = read('MESSAGE REALTIME PV [8J] [10H] [6H]');
    assert.deepEqual(pv.line, [
      { x: 7, y: 9 },
      { x: 5, y: 7 },
      { x: 9, y: 7 },
    ]);
  });

  test('iteration lines, starred or not', () => {
    assert.deepEqual(read('MESSAGE DETAIL DEPTH:7-11 VAL:-76 TIME:373ms NODE:0m [8,J]'), {
      kind: 'detail',
      depth: 7,
      reached: 11,
      starred: false,
      value: -76,
      time: 373,
      nodes: 0,
      cells: [{ x: 7, y: 9 }],
    });
    const starred = read('MESSAGE DETAIL DEPTH:10-28* VAL:-65 TIME:1970ms NODE:1m [8,I]');
    assert.equal(starred.starred, true);
    assert.equal(starred.nodes, 1e6);
  });

  test('the summary after a decision', () => {
    assert.deepEqual(read('MESSAGE Complexity: 28.8, 2.3 | Depth: 10-28 | Time: 1970ms | Node: 1m'), {
      kind: 'summary',
      depth: 10,
      reached: 28,
      time: 1970,
      nodes: 1e6,
    });
    assert.deepEqual(read('MESSAGE Speed: 679 | Evaluation: -65 '), { kind: 'speed', speed: 679, value: -65 });
    assert.deepEqual(read('MESSAGE Speed: 706 | Evaluation: 10000 :-)').value, 10000);
    assert.equal(read('MESSAGE Bestline: [8I] [9I] [7G] ').line.length, 3);
    assert.deepEqual(read('MESSAGE Bestline: ').line, []);
  });

  test('balance searches: the target with its sign turned, one or two cells', () => {
    const one = read('MESSAGE DETAIL DEPTH:3-7 |VAL-200|:236 TIME:106ms NODE:0m [7,G]');
    assert.equal(one.kind, 'balance');
    assert.equal(one.final, false);
    assert.equal(one.target, 200);
    assert.equal(one.distance, 236);
    const two = read('MESSAGE DETAIL (BALANCE) DEPTH:4-10 |VAL+100|:75 TIME:260ms NODE:0m [7,H][8,I]');
    assert.equal(two.final, true);
    assert.equal(two.target, -100);
    assert.deepEqual(two.cells, [
      { x: 8, y: 7 },
      { x: 7, y: 8 },
    ]);
    assert.equal(read('MESSAGE DETAIL (BALANCE) DEPTH:0-0 |VAL+0|:12 TIME:3ms NODE:0m [8,H]').target, 0);
  });

  test('other messages', () => {
    assert.deepEqual(read('MESSAGE Rule Renju'), { kind: 'rule', text: 'Renju' });
    assert.deepEqual(read('MESSAGE Zerin 2015 Kernal 0.4.47 :-)'), { kind: 'message', text: 'Zerin 2015 Kernal 0.4.47 :-)' });
    assert.deepEqual(read('MESSAGE '), { kind: 'message', text: '' });
    assert.equal(read('MESSAGE SWAP2 WHITE VAL:-55 DEPTH:9 TIME:479ms NODE:0m [8,8]').kind, 'message');
  });
});

test('values as people read them', () => {
  assert.equal(describeValue(35), '+35');
  assert.equal(describeValue(-120), '-120');
  assert.equal(describeValue(0), '0');
  assert.equal(describeValue(10000), 'wins');
  assert.equal(describeValue(-10000), 'loses');
});
