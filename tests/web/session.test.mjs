// The page's engine session against the real engine: the threaded WebAssembly build
// under node, standing in for the page's worker. Checks that the session brings the
// engine to each job's position by the short way (PLAY, TAKEBACK) or the long one
// (RESTART, zrboard), and that moves, forbidden points, balance searches, Swap2 and a
// stopped search come back as the page expects. Skipped when the build is missing
// (tools/build_web.sh makes it).
import assert from 'node:assert/strict';
import { spawn } from 'node:child_process';
import { existsSync } from 'node:fs';
import { dirname, join } from 'node:path';
import { after, describe, test } from 'node:test';
import { fileURLToPath } from 'node:url';
import { EngineSession } from '../../web/js/engine.js';

const root = join(dirname(fileURLToPath(import.meta.url)), '..', '..');
const enginePath = process.env.ZERIN_WEB_ENGINE || join(root, 'build-web-engine', 'threaded', 'pbrain-zerin.js');
const skip = existsSync(enginePath) ? false : `no engine at ${enginePath}`;

// A Web Worker of the page, as far as the session uses one: the engine under node,
// spoken to over its standard input and output.
const children = new Set();
class NodeEngineWorker {
  constructor() {
    this.child = spawn(process.execPath, ['--no-experimental-fetch', enginePath], { stdio: ['pipe', 'pipe', 'inherit'] });
    children.add(this.child);
    let buffered = '';
    this.child.stdout.on('data', (chunk) => {
      buffered += chunk;
      let end;
      while ((end = buffered.indexOf('\n')) >= 0) {
        const line = buffered.slice(0, end);
        buffered = buffered.slice(end + 1);
        this.onmessage?.({ data: { type: 'line', line } });
      }
    });
    this.child.on('exit', (status) => this.onmessage?.({ data: { type: 'exit', status } }));
    // The engine reads what comes before it is ready; the page's worker says ready then.
    setTimeout(() => this.onmessage?.({ data: { type: 'ready', threads: true, memory: 0 } }), 0);
  }

  postMessage(message) {
    if (message.type === 'input') this.child.stdin.write(message.text);
    else if (message.type === 'memory') setTimeout(() => this.onmessage?.({ data: { type: 'memory', bytes: 1 } }), 0);
  }

  terminate() {
    this.child.kill();
    children.delete(this.child);
  }
}
globalThis.Worker = NodeEngineWorker;

after(() => {
  for (const child of children) child.kill();
});

const sent = [];
function newSession() {
  sent.length = 0;
  return new EngineSession({
    threaded: true,
    log: (direction, text) => {
      if (direction === '>') sent.push(text.split('\n')[0]);
    },
  });
}

const INFO = { hash_size: 4096, rule: 0, show_detail: 1, max_node: 2000000000, timeout_turn: 100 };
const at = (x, y) => ({ x, y });
const position = (moves, extra = {}) => ({ width: 15, height: 15, moves, blocked: [], ...extra });

describe('the session against the engine', { skip }, () => {
  const session = newSession();

  test('the opening move, then a reply: set up with START, one PLAY, BEGIN', async () => {
    const first = await session.think(position([]), INFO).promise;
    assert.deepEqual(first.move, at(7, 7));
    sent.length = 0;
    const reply = await session.think(position([at(7, 7), at(8, 8)]), INFO).promise;
    assert.deepEqual(sent, ['PLAY 8,8', 'BEGIN']);
    assert.ok(reply.move.x >= 0 && reply.move.x < 15);
    assert.ok(reply.lines.some((l) => l.kind === 'rule'));
  });

  test('a shorter game is reached by TAKEBACK, a different one by RESTART and zrboard', async () => {
    sent.length = 0;
    await session.think(position([at(7, 7)]), INFO).promise;
    // The engine's reply goes first, then the 8,8 before it.
    assert.equal(sent.length, 3);
    assert.match(sent[0], /^TAKEBACK \d+,\d+$/);
    assert.deepEqual(sent.slice(1), ['TAKEBACK 8,8', 'BEGIN']);
    sent.length = 0;
    const moves = [at(0, 0), at(1, 1), at(2, 2), at(3, 3), at(4, 4), at(5, 5), at(6, 6), at(0, 14), at(1, 13), at(2, 12)];
    const result = await session.think(position(moves), INFO).promise;
    assert.deepEqual(sent, ['RESTART', 'zrboard', 'BEGIN']);
    assert.ok(!moves.some((m) => m.x === result.move.x && m.y === result.move.y), 'the move is on a free cell');
  });

  test("black's forbidden points under Renju", async () => {
    const moves = [at(7, 5), at(14, 0), at(7, 6), at(14, 1), at(5, 7), at(13, 0), at(6, 7), at(14, 2)];
    const result = await session.forbidden(position(moves), { ...INFO, rule: 2 }).promise;
    assert.deepEqual(result.cells, [at(7, 7)]);
  });

  test('blocked cells reach the engine, and the engine keeps off them', async () => {
    sent.length = 0;
    const blocked = [at(6, 6), at(6, 7), at(6, 8), at(7, 6), at(7, 8), at(8, 6), at(8, 7), at(8, 8)];
    const result = await session.think(position([at(7, 7)], { blocked }), INFO).promise;
    assert.ok(sent.includes('zrblockreset') && sent.includes('zrblock'));
    assert.ok(!blocked.some((b) => b.x === result.move.x && b.y === result.move.y));
    sent.length = 0;
    await session.think(position([at(7, 7)]), INFO).promise;
    assert.ok(sent.includes('zrblockreset') && !sent.includes('zrblock'));
  });

  test('a balance search for a pair', async () => {
    const result = await session.balance(position([at(7, 7)]), INFO, true, 0).promise;
    assert.equal(result.kind, 'balance');
    assert.equal(result.cells.length, 2);
  });

  test('Swap2: three stones proposed, then a game set up again on the emptied record', async () => {
    const proposal = await session.swap2(position([]), { ...INFO, rule: 1 }).promise;
    assert.equal(proposal.answer.length, 3);
    const answer = await session.swap2(position(proposal.answer), { ...INFO, rule: 1 }).promise;
    assert.ok(answer.answer === 'SWAP' || Array.isArray(answer.answer));
    sent.length = 0;
    const move = await session.think(position(proposal.answer), { ...INFO, rule: 1 }).promise;
    assert.deepEqual(sent, [...proposal.answer.map((c) => `PLAY ${c.x},${c.y}`), 'BEGIN']);
    assert.ok(!proposal.answer.some((c) => c.x === move.move.x && c.y === move.move.y));
  });

  test('a search without limits ends at a stop, with the best move so far', async () => {
    const job = session.think(position([at(7, 7), at(8, 8)]), { ...INFO, max_node: -1 });
    setTimeout(() => session.cancel(job), 300);
    const started = Date.now();
    const result = await job.promise;
    assert.ok(result.move, 'a move after zrstop');
    assert.ok(Date.now() - started < 5000);
    assert.ok(sent.includes('zrstop'));
  });

  test('a job cancelled before it begins is skipped', async () => {
    const first = session.think(position([at(7, 7)]), INFO);
    const second = session.think(position([at(7, 7), at(0, 0)]), INFO);
    session.cancel(second);
    assert.ok((await first.promise).move);
    assert.deepEqual(await second.promise, { skipped: true });
  });
});
