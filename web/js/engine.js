// The link to the engine: one engine module in one Web Worker, spoken to in its own
// protocol. Everything the page asks of the engine goes through an EngineSession, which
// runs one job at a time and first brings the engine to the job's position by the
// shortest way it knows (TAKEBACK and PLAY, or RESTART and zrboard).
//
// Two builds of the engine exist. The threaded one needs memory shared with its
// workers, which a page has only when it is cross-origin isolated; it searches on a
// thread of its own and stops a search at zrstop. The single-threaded one searches
// inside the command, so a search is stopped by ending the worker; the next job starts a
// fresh engine and sets the game up again.
import { parseEngineLine } from './engine_lines.js';
import { protocolCell, sameCell } from './notation.js';

export function threadsAvailable() {
  return globalThis.crossOriginIsolated === true && typeof SharedArrayBuffer === 'function';
}

class EngineWorker {
  constructor(url, onLine, onExit) {
    this.worker = new Worker(url);
    this.ready = new Promise((resolve, reject) => {
      this.worker.onmessage = (event) => {
        const message = event.data;
        if (message.type === 'ready') resolve(message);
        else if (message.type === 'line') onLine(message.line);
        else if (message.type === 'exit') onExit(`the engine ended (status ${message.status})`);
        else if (message.type === 'memory') this.onMemory?.(message.bytes);
        else if (message.type === 'error') console.warn('engine:', message.line);
      };
      this.worker.onerror = (event) => {
        event.preventDefault();
        const why = `the engine failed: ${event.message || 'could not load'}`;
        reject(new Error(why));
        onExit(why);
      };
    });
  }

  send(text) {
    this.worker.postMessage({ type: 'input', text });
  }

  memory() {
    return new Promise((resolve) => {
      this.onMemory = resolve;
      this.worker.postMessage({ type: 'memory' });
    });
  }

  terminate() {
    this.worker.terminate();
  }
}

// A job the page handed to the session: its promise resolves with the job's result, or
// with {skipped: true} when it was cancelled before it began, or {stopped: true} when the
// single-threaded engine was ended under it.
class Job {
  constructor(run) {
    this.run = run;
    this.cancelled = false;
    this.promise = new Promise((resolve) => {
      this.resolve = resolve;
    });
  }
}

const isMoveReply = (line) => line.kind === 'cells';
const isDone = (line) => line.kind === 'ok' || line.kind === 'error';

export class EngineSession {
  // base: the folder holding threaded/ and single/; log(direction, text) sees all traffic.
  constructor({ base = 'engine', threaded = threadsAvailable(), log = () => {}, onStatus = () => {} } = {}) {
    this.url = `${base}/${threaded ? 'threaded' : 'single'}/pbrain-zerin.js`;
    this.threaded = threaded;
    this.log = log;
    this.onStatus = onStatus;
    this.engine = null;
    this.held = null; // what the engine holds: {width, height, moves, blocked} (moves null: unknown)
    this.sentInfo = new Map();
    this.jobs = [];
    this.current = null; // the running job
    this.waiting = null; // the step waiting for its reply
    this.height = 15;
    this.starts = 0; // engines started (the single-threaded engine restarts after each stop)
  }

  // ---- The engine itself

  async ensureEngine() {
    if (this.engine) {
      await this.engine.ready;
      return;
    }
    this.held = null;
    this.sentInfo.clear();
    this.starts += 1;
    this.onStatus('starting');
    const engine = new EngineWorker(
      this.url,
      (line) => this.receive(line),
      (why) => this.ended(engine, why),
    );
    this.engine = engine;
    const ready = await engine.ready;
    this.memoryAtStart = ready.memory;
    this.onStatus('ready');
  }

  receive(line) {
    this.log('<', line);
    const parsed = parseEngineLine(line, this.height);
    const step = this.waiting;
    if (!step) return;
    step.lines.push(parsed);
    if (parsed.kind === 'error') step.errors.push(parsed.text);
    step.onLine?.(parsed);
    if (step.until(parsed)) {
      this.waiting = null;
      step.resolve({ lines: step.lines, last: parsed, errors: step.errors });
    }
  }

  ended(engine, why) {
    if (this.engine !== engine) return;
    this.log('!', why);
    engine.terminate();
    this.engine = null;
    this.held = null;
    const step = this.waiting;
    this.waiting = null;
    step?.resolve({ lines: step.lines, stopped: true, errors: step.errors });
  }

  // Sends text (one command, or a block: lines joined by newlines). With until, waits for
  // the reply line that satisfies it.
  step(text, until, onLine) {
    if (!this.engine) return Promise.resolve({ lines: [], stopped: true, errors: [] });
    this.log('>', text);
    this.engine.send(text + '\n');
    if (!until) return Promise.resolve({ lines: [], errors: [] });
    return new Promise((resolve) => {
      this.waiting = { until, onLine, resolve, lines: [], errors: [] };
    });
  }

  async memory() {
    return this.engine ? this.engine.memory() : 0;
  }

  // ---- Jobs

  enqueue(run) {
    const job = new Job(run);
    this.jobs.push(job);
    if (!this.current) this.next();
    return job;
  }

  async next() {
    while (this.jobs.length) {
      const job = this.jobs.shift();
      if (job.cancelled) {
        job.resolve({ skipped: true });
        continue;
      }
      this.current = job;
      let result;
      try {
        await this.ensureEngine();
        result = await job.run(job);
      } catch (error) {
        result = { failed: String(error.message || error) };
        this.log('!', result.failed);
      }
      this.current = null;
      job.resolve(result);
    }
  }

  // Ends the search of the running job: the threaded engine answers zrstop with its
  // best move so far; the single-threaded one is ended (its job resolves stopped).
  stop() {
    if (!this.current || !this.engine) return;
    if (this.threaded) {
      this.log('>', 'zrstop');
      this.engine.send('zrstop\n');
    } else {
      this.ended(this.engine, 'stopped by the page');
      // A fresh engine for the next job, loading meanwhile.
      this.ensureEngine().catch(() => {});
    }
  }

  // Cancels a job: skipped if it has not begun, its search stopped if it runs.
  cancel(job) {
    if (!job || job.cancelled) return;
    job.cancelled = true;
    if (this.current === job && job.searching) this.stop();
  }

  // Brings the engine to position {width, height, moves, blocked} with settings info
  // ({key: value} for INFO lines; hash_size before the first START sizes the tables).
  async sync(position, info) {
    const { width, height, moves, blocked } = position;
    this.height = height;
    for (const [key, value] of Object.entries(info)) {
      if (this.sentInfo.get(key) === String(value)) continue;
      await this.step(`INFO ${key} ${value}`);
      this.sentInfo.set(key, String(value));
    }
    const held = this.held;
    if (!held || held.width !== width || held.height !== height) {
      await this.step(width === height ? `START ${width}` : `RECTSTART ${width},${height}`, isDone);
      this.held = { width, height, moves: [], blocked: held ? held.blocked : '' };
    }
    const blockedKey = blocked.map(protocolCell).sort().join(' ');
    if (this.held.blocked !== blockedKey) {
      await this.step('zrblockreset');
      if (blocked.length) await this.step(['zrblock', ...blocked.map(protocolCell), 'done'].join('\n'));
      this.held.blocked = blockedKey;
    }
    await this.syncMoves(moves);
  }

  async syncMoves(moves) {
    const held = this.held;
    let common = 0;
    if (held.moves) while (common < held.moves.length && common < moves.length && sameCell(held.moves[common], moves[common])) ++common;
    const back = held.moves ? held.moves.length - common : Infinity;
    const forward = moves.length - common;
    if (back + forward <= 8) {
      for (let i = held.moves.length - 1; i >= common; --i) {
        const reply = await this.step(`TAKEBACK ${protocolCell(held.moves[i])}`, isDone);
        if (reply.stopped || reply.errors.length) return this.resetMoves(moves);
        held.moves.pop();
      }
      for (let i = common; i < moves.length; ++i) {
        const reply = await this.step(`PLAY ${protocolCell(moves[i])}`, isMoveReply);
        if (reply.stopped || reply.errors.length) return this.resetMoves(moves);
        held.moves.push(moves[i]);
      }
      return;
    }
    await this.resetMoves(moves);
  }

  // A new game of the same size with the moves set up at once.
  async resetMoves(moves) {
    if (!this.engine) return;
    await this.step('RESTART', isDone);
    this.held.moves = [];
    if (moves.length) {
      const lines = moves.map((c, i) => `${protocolCell(c)},${i % 2 === 0 ? 1 : 2}`);
      await this.step(['zrboard', ...lines, 'done'].join('\n'));
    }
    this.held.moves = moves.slice();
  }

  // Starts the engine and sets the position up, so that the first real job is quick.
  prepare(position, info) {
    return this.enqueue(async () => {
      await this.sync(position, info);
      return {};
    });
  }

  // The engine's move for the side to move (the engine records it). onLine sees every
  // line meanwhile. Resolves {move} or {stopped}.
  think(position, info, onLine) {
    return this.enqueue(async (job) => {
      await this.sync(position, info);
      if (job.cancelled) return { skipped: true };
      job.searching = true;
      const reply = await this.step('BEGIN', isMoveReply, onLine);
      job.searching = false;
      if (reply.stopped) return { stopped: true };
      const move = reply.last.cells[0];
      if (reply.errors.length) this.held.moves = null; // nothing free to play: not recorded
      else this.held.moves.push(move);
      return { move, lines: reply.lines };
    });
  }

  // Black's forbidden points (Renju): resolves {cells}.
  forbidden(position, info) {
    return this.enqueue(async (job) => {
      await this.sync(position, info);
      if (job.cancelled) return { skipped: true };
      const reply = await this.step('zrshowforbid', (line) => line.kind === 'forbid');
      return reply.stopped ? { stopped: true } : { cells: reply.last.cells };
    });
  }

  // zrbalanceone / zrbalancetwo: resolves {cells, distance, depth} from the final line.
  balance(position, info, pair, target, onLine) {
    return this.enqueue(async (job) => {
      await this.sync(position, info);
      if (job.cancelled) return { skipped: true };
      job.searching = true;
      const reply = await this.step(
        `${pair ? 'zrbalancetwo' : 'zrbalanceone'} ${target}`,
        (line) => line.kind === 'balance' && line.final,
        onLine,
      );
      job.searching = false;
      return reply.stopped ? { stopped: true } : reply.last;
    });
  }

  // SWAP2BOARD with the stones so far (0, 3 or 5): resolves {answer: 'SWAP' | cells}.
  // The engine's game record is empty afterwards.
  swap2(position, info, onLine) {
    return this.enqueue(async (job) => {
      await this.sync({ ...position, moves: [] }, info);
      if (job.cancelled) return { skipped: true };
      job.searching = true;
      const reply = await this.step(
        ['SWAP2BOARD', ...position.moves.map(protocolCell), 'done'].join('\n'),
        (line) => line.kind === 'swap' || line.kind === 'cells' || line.kind === 'error',
        onLine,
      );
      job.searching = false;
      if (reply.stopped) return { stopped: true };
      if (this.held) this.held.moves = [];
      if (reply.last.kind === 'error') return { failed: reply.last.text };
      return { answer: reply.last.kind === 'swap' ? 'SWAP' : reply.last.cells };
    });
  }
}
