// The board page: the game, the engine's part in it, and the controls around the board.
// The game and the rules live in game.js and rules.js, the drawing in board_view.js, the
// pointer input in board_events.js and the engine behind engine.js; this module decides
// what happens when.
import { bindBoardEvents } from './board_events.js';
import { BoardView } from './board_view.js';
import { EngineSession } from './engine.js';
import { describeValue } from './engine_lines.js';
import { Game } from './game.js';
import { cellName, decodePosition, encodePosition, formatMoves, onBoard, parseMoves, sameCell } from './notation.js';
import { BLACK, COLOUR_NAMES, RENJU, WHITE, forbiddenKind } from './rules.js';
import { ENGINE, Swap2Opening, YOU } from './swap2.js';

const $ = (id) => document.getElementById(id);

// ---- Settings, kept in the browser between visits

const DEFAULTS = {
  width: 15,
  height: 15,
  rule: 0,
  time: 1000,
  threads: 1,
  hash: 131072, // buckets: 48 MiB of hash tables
  opening: 'free',
  numbers: false,
  confirmTaps: true,
  allowFouls: false,
  mode: 'black',
};

function loadSettings() {
  try {
    return { ...DEFAULTS, ...JSON.parse(localStorage.getItem('zerin-settings') || '{}') };
  } catch {
    return { ...DEFAULTS };
  }
}

const settings = loadSettings();

function saveSettings() {
  try {
    localStorage.setItem('zerin-settings', JSON.stringify(settings));
  } catch {
    // Private windows may refuse storage; the settings then last for the visit.
  }
}

// ---- The page's state

const page = {
  game: new Game(settings.width, settings.height, settings.rule),
  mode: settings.mode, // black, white (your colour against the engine), self, two
  swap2: null, // a Swap2Opening while one is under way
  analysing: false,
  blockMode: false,
  gen: 0, // bumped by every change of the position: engine results of older ones are dropped
  forbidden: { gen: 0, cells: [], ready: Promise.resolve() },
  search: null, // the engine's running search: see startSearch
  last: null, // the last finished search, for the figures
  jobs: new Set(), // engine jobs not finished yet
  lastSpeed: null, // nodes per ms of the last search that reported one
  hint: null,
  balance: [],
  balanceJob: null,
  notice: null, // {text, kind}
  hover: null,
  tap: null, // a tapped cell waiting for its confirming tap
  engineStatus: 'starting', // or 'ready'
  memory: 0, // the engine module's memory, bytes
};

const LOG_LINES = 400;
const logLines = [];

function log(direction, text) {
  for (const line of text.split('\n')) logLines.push(`${direction} ${line}`);
  if (logLines.length > LOG_LINES) logLines.splice(0, logLines.length - LOG_LINES);
  scheduleRender();
}

const session = new EngineSession({
  base: 'engine',
  log,
  onStatus: (status) => {
    page.engineStatus = status;
    scheduleRender();
  },
});

const boardView = new BoardView($('board'));

// ---- Whose turn

function engineColour() {
  if (page.mode === 'black') return WHITE;
  if (page.mode === 'white') return BLACK;
  return null;
}

function openingUnderWay() {
  return page.swap2 !== null && !page.swap2.done;
}

function engineToMove() {
  const { game } = page;
  if (game.end) return false;
  if (openingUnderWay()) return page.swap2.actor() === ENGINE;
  if (page.mode === 'self') return true;
  return game.toMove === engineColour();
}

function yourTurn() {
  const { game } = page;
  if (game.end || engineToMove()) return false;
  if (openingUnderWay()) return page.swap2.stonesWanted() > game.moves.length;
  return true;
}

// ---- Talking to the engine

function position() {
  const { game } = page;
  return { width: game.width, height: game.height, moves: game.moves.slice(), blocked: game.blocked.slice() };
}

// INFO settings for a job. kind: move, hint, quick (a fast move after a stop), analysis.
function engineInfo(kind) {
  const info = { hash_size: settings.hash };
  if (session.threaded) info.thread_num = settings.threads;
  info.rule = page.game.rule;
  info.show_detail = 1;
  if (kind === 'analysis') {
    info.max_node = -1;
  } else {
    info.max_node = 2000000000;
    info.timeout_turn = kind === 'quick' ? 200 : settings.time;
  }
  return info;
}

function track(job) {
  page.jobs.add(job);
  job.promise.then((result) => {
    page.jobs.delete(job);
    if (result && result.failed) showNotice(`The engine failed: ${result.failed}`, 'refused');
    if (page.jobs.size === 0) queryMemory();
  });
  return job;
}

function cancelEngineWork() {
  for (const job of page.jobs) session.cancel(job);
  if (page.search) {
    page.last = page.search;
    page.search = null;
  }
}

async function queryMemory() {
  const bytes = await session.memory();
  if (bytes) page.memory = bytes;
  scheduleRender();
}

function requestForbidden() {
  const gen = page.gen;
  const job = track(session.forbidden(position(), engineInfo('move')));
  page.forbidden = {
    gen,
    cells: [],
    ready: job.promise.then((result) => {
      if (page.gen === gen && result.cells) page.forbidden.cells = result.cells;
      scheduleRender();
    }),
  };
}

// A search of the engine's: kind move (its move, played when it comes), quick (the same
// with a short time), hint (shown, not played), analysis (until stopped), swap2.
function startSearch(kind) {
  const search = {
    kind,
    gen: page.gen,
    side: page.game.toMove,
    depth: null,
    reached: null,
    value: null,
    speed: null,
    best: null,
    pv: [],
    searching: null,
    job: null,
  };
  page.search = search;
  const onLine = (line) => searchLine(search, line);
  if (kind === 'swap2') {
    search.job = track(session.swap2(position(), engineInfo('move'), onLine));
    search.job.promise.then((result) => swap2Answered(search, result));
  } else {
    search.job = track(session.think(position(), engineInfo(kind), onLine));
    search.job.promise.then((result) => searchDone(search, result));
  }
  return search;
}

function searchLine(search, line) {
  switch (line.kind) {
    case 'detail':
      search.depth = line.depth;
      search.reached = line.reached;
      search.value = line.value;
      if (line.cells.length) search.best = line.cells[0];
      if (line.nodes >= 1e6 && line.time > 0) page.lastSpeed = search.speed = Math.round(line.nodes / line.time);
      break;
    case 'summary':
      search.depth = line.depth;
      search.reached = line.reached;
      break;
    case 'speed':
      search.speed = line.speed;
      page.lastSpeed = line.speed;
      search.value = line.value;
      break;
    case 'bestline':
      if (line.line.length) search.pv = line.line;
      break;
    case 'realtime':
      if (line.what === 'pv' && line.line.length) {
        search.pv = line.line;
        search.best = line.line[0];
      } else if (line.what === 'val') search.value = line.value;
      else if (line.what === 'best') search.best = line.cell;
      else if (line.what === 'pos') search.searching = line.cell;
      break;
    default:
      return;
  }
  scheduleRender();
}

function endSearch(search) {
  search.searching = null;
  if (page.search === search) {
    page.search = null;
    page.last = search;
  }
}

function searchDone(search, result) {
  endSearch(search);
  scheduleRender();
  if (search.gen !== page.gen || result.skipped || result.failed) return;
  if (search.kind === 'hint') {
    page.hint = result.move || search.best;
    return;
  }
  if (search.kind === 'analysis') return;
  // The engine's own move. Stopped without threads, it has only what it reported.
  let move = result.move;
  if (result.stopped) move = search.best && page.game.isFree(search.best) ? search.best : null;
  if (!move) {
    startSearch('quick');
    return;
  }
  playMove(move);
}

// ---- What happens next

// After every change of the position: older engine work is dropped, the forbidden
// points are asked for, and the engine moves or analyses when that is its part.
function changed({ keepBalance = false } = {}) {
  page.gen += 1;
  cancelEngineWork();
  page.hint = null;
  page.tap = null;
  if (!keepBalance) {
    page.balance = [];
    $('balance-result').textContent = '';
  }
  page.forbidden = { gen: page.gen, cells: [], ready: Promise.resolve() };
  writeAddress();
  schedule();
  scheduleRender();
}

function schedule() {
  const { game } = page;
  if (game.end) return;
  if (game.rule === RENJU && game.toMove === BLACK && !openingUnderWay()) requestForbidden();
  if (page.search) return;
  if (openingUnderWay()) {
    if (page.swap2.actor() === ENGINE) startSearch('swap2');
    return;
  }
  if (engineToMove()) startSearch('move');
  else if (page.analysing && page.mode === 'two') startSearch('analysis');
}

function playMove(cell) {
  const { game } = page;
  const forbidden = page.forbidden.gen === page.gen ? page.forbidden.cells : [];
  if (!game.play(cell, forbidden)) return false;
  if (game.notes.length) showNotice(`${cellName(cell, game.height)}: ${game.notes.join('; ')}.`);
  else if (!game.end) clearNotice();
  changed();
  return true;
}

function showNotice(text, kind = '') {
  page.notice = { text, kind };
  scheduleRender();
}

function clearNotice() {
  page.notice = null;
}

// ---- Your input on the board

async function select(cell, pointerType) {
  const { game } = page;
  if (page.blockMode) {
    if (game.toggleBlocked(cell)) changed({ keepBalance: true });
    return;
  }
  if (game.end) {
    showNotice('The game is over: start a new game, or take moves back.');
    return;
  }
  if (!yourTurn()) {
    if (page.search) showNotice('The engine is thinking; “Play now” makes it move.');
    return;
  }
  if (!game.isFree(cell)) return;
  if (pointerType === 'touch' && settings.confirmTaps && !(page.tap && sameCell(page.tap, cell))) {
    page.tap = cell;
    scheduleRender();
    return;
  }
  page.tap = null;
  if (openingUnderWay()) {
    game.play(cell);
    if (game.moves.length === page.swap2.stonesWanted()) page.swap2.stonesPlaced();
    changed();
    return;
  }
  if (game.rule === RENJU && game.toMove === BLACK) {
    const gen = page.gen;
    await page.forbidden.ready;
    if (gen !== page.gen) return;
    if (page.forbidden.cells.some((f) => sameCell(f, cell)) && !settings.allowFouls) {
      const why = forbiddenKind(game.grid(), cell.x, cell.y);
      showNotice(`${cellName(cell, game.height)} is forbidden for black: ${why}.`, 'refused');
      return;
    }
  }
  playMove(cell);
}

function hover(cell) {
  const same = (a, b) => (a === null && b === null) || (a && b && sameCell(a, b));
  if (same(cell, page.hover)) return;
  page.hover = cell;
  scheduleRender();
}

bindBoardEvents($('board'), boardView, { select, hover });

// ---- Buttons

function newGame() {
  cancelEngineWork();
  const blocked = page.game.blocked.filter((c) => onBoard(c, settings.width, settings.height));
  page.game = new Game(settings.width, settings.height, settings.rule);
  page.game.blocked = blocked;
  page.swap2 = null;
  if (settings.opening !== 'free' && page.mode !== 'two')
    page.swap2 = new Swap2Opening(settings.opening === 'swap2-you' ? YOU : ENGINE, page.mode === 'self');
  page.last = null;
  clearNotice();
  changed();
}

function undo() {
  const { game } = page;
  if (openingUnderWay() || !game.moves.length) return;
  if (page.mode === 'self') {
    setMode('two');
    showNotice('Self-play paused: two players now (choose the mode again to go on).');
  }
  game.undo();
  if (engineColour()) while (game.moves.length && game.toMove === engineColour()) game.undo();
  changed();
}

function redo() {
  const { game } = page;
  if (openingUnderWay() || !game.undone.length || game.end) return;
  if (page.mode === 'self') setMode('two');
  const forbidden = page.forbidden.gen === page.gen ? page.forbidden.cells : [];
  game.redo(forbidden);
  if (engineColour()) while (game.undone.length && !game.end && game.toMove === engineColour()) game.redo();
  changed();
}

function playNow() {
  if (page.search && (page.search.kind === 'move' || page.search.kind === 'swap2')) session.stop();
}

function hint() {
  if (!yourTurn() || openingUnderWay()) return;
  if (page.search && page.search.kind === 'analysis') {
    page.hint = page.search.best;
    scheduleRender();
    return;
  }
  if (page.search) return;
  page.hint = null;
  startSearch('hint');
}

function setAnalysing(on) {
  page.analysing = on;
  $('analyse').checked = on;
  if (on) schedule();
  else if (page.search && page.search.kind === 'analysis') {
    session.cancel(page.search.job);
    endSearch(page.search);
  }
  scheduleRender();
}

function balance(pair) {
  const { game } = page;
  if (game.end || openingUnderWay()) return;
  if (page.search && page.search.kind !== 'analysis') return;
  const target = Math.max(-2000, Math.min(2000, Math.round(Number($('balance-target').value) || 0)));
  if (page.search) {
    session.cancel(page.search.job);
    endSearch(page.search);
  }
  const gen = page.gen;
  page.balance = [];
  $('balance-result').textContent = 'Searching…';
  const job = track(
    session.balance(position(), engineInfo('move'), pair, target, (line) => {
      if (line.kind === 'balance' && !line.final) {
        $('balance-result').textContent = `Depth ${line.depth}: ${line.cells.map((c) => cellName(c, game.height)).join(' ')}, ${line.distance} from ${target}`;
      }
    }),
  );
  page.balanceJob = job;
  job.promise.then((result) => {
    page.balanceJob = null;
    if (gen !== page.gen || !result.cells) {
      $('balance-result').textContent = '';
      return;
    }
    page.balance = result.cells;
    const names = result.cells.map((c) => cellName(c, game.height)).join(', then ');
    $('balance-result').textContent =
      `${names}: the value lies ${result.distance} from the target ${target} (search depth ${result.depth}).`;
    scheduleRender();
    schedule();
  });
}

function setMode(mode) {
  page.mode = mode;
  settings.mode = mode;
  saveSettings();
  $('mode').value = mode;
  if (mode !== 'two' && page.analysing) setAnalysing(false);
}

// ---- Swap2

function swap2Answered(search, result) {
  endSearch(search);
  if (search.gen !== page.gen || result.skipped) return;
  const opening = page.swap2;
  if (result.failed || !opening) {
    page.swap2 = null;
    scheduleRender();
    return;
  }
  if (result.stopped) {
    // Without threads a stop ends the engine: ask again, quickly.
    const s = startSearch('swap2');
    s.quick = true;
    return;
  }
  const phase = opening.phase;
  const cells = opening.engineAnswered(result.answer);
  for (const c of cells) page.game.play(c);
  const names = cells.map((c) => cellName(c, page.game.height)).join(' ');
  if (phase === 'open') showNotice(`The engine opens with ${names}.`);
  else if (result.answer === 'SWAP') showNotice('The engine takes black.');
  else if (cells.length === 1) showNotice(`The engine stays white and plays ${names}.`);
  else if (opening.phase === 'choose') showNotice(`The engine places ${names}: now choose your colour.`);
  else showNotice(`The engine places ${names}.`);
  if (opening.done && !opening.selfPlay) setMode(opening.yourColour === BLACK ? 'black' : 'white');
  changed();
}

function swap2Choice(choice) {
  const opening = page.swap2;
  if (!opening || !opening.choices().includes(choice)) return;
  opening.choose(choice);
  if (opening.done) setMode(opening.yourColour === BLACK ? 'black' : 'white');
  clearNotice();
  changed();
}

function swap2Prompt() {
  const opening = page.swap2;
  const left = opening.stonesWanted() - page.game.moves.length;
  switch (opening.phase) {
    case 'open':
      return opening.actor() === YOU
        ? `Place three stones: black, white, black (${left} to go).`
        : 'The engine is choosing three opening stones…';
    case 'answer3':
      return opening.actor() === YOU
        ? 'Take black, take white and play the fourth stone, or place two more stones (white, then black) and let the engine choose.'
        : 'The engine is deciding: black, white, or two more stones…';
    case 'place2':
      return `Place two more stones: white, then black (${left} to go).`;
    case 'answer5':
      return 'The engine is choosing its colour…';
    case 'choose':
      return opening.selfPlay ? 'The engine is choosing its colour…' : 'Choose your colour.';
    default:
      return '';
  }
}

// ---- The game record and the address

function writeAddress() {
  const { game } = page;
  const hash = encodePosition({ width: game.width, height: game.height, rule: game.rule, moves: game.moves, blocked: game.blocked });
  if (location.hash !== hash) history.replaceState(null, '', hash);
}

// Sets up a position: a link's or a pasted record's. Under Renju a black last move is
// judged with the engine's forbidden points before it.
async function setUp({ width, height, rule, moves, blocked }) {
  cancelEngineWork();
  settings.width = width;
  settings.height = height;
  settings.rule = rule;
  saveSettings();
  const game = new Game(width, height, rule);
  game.blocked = blocked;
  let forbidden = [];
  if (rule === RENJU && moves.length % 2 === 1) {
    const before = { width, height, moves: moves.slice(0, -1), blocked };
    const result = await track(session.forbidden(before, { ...engineInfo('move'), rule })).promise;
    forbidden = result.cells || [];
  }
  const loaded = game.load(moves, forbidden);
  if (loaded.error) {
    showNotice(`Not set up: ${loaded.error}.`, 'refused');
    return;
  }
  page.game = game;
  page.swap2 = null;
  page.last = null;
  if (page.mode !== 'two' && engineToMove() && moves.length) setMode('two');
  clearNotice();
  showSettings();
  changed();
}

function loadRecord() {
  const { game } = page;
  const parsed = parseMoves($('record').value, game.width, game.height);
  if (parsed.error) {
    showNotice(`Not set up: ${parsed.error}.`, 'refused');
    return;
  }
  const taken = parsed.moves.find((m) => game.blocked.some((b) => sameCell(b, m)));
  const blocked = taken ? [] : game.blocked;
  setUp({ width: game.width, height: game.height, rule: game.rule, moves: parsed.moves, blocked });
}

async function copyText(text, what) {
  try {
    await navigator.clipboard.writeText(text);
    showNotice(`${what} copied.`);
  } catch {
    const area = $('record');
    area.value = text;
    area.select();
    showNotice(`Select and copy the ${what.toLowerCase()} from the record box.`);
  }
}

function readAddress() {
  const position = decodePosition(location.hash);
  if (!position) return false;
  if (position.error) showNotice(`The link's position has a fault: ${position.error}.`, 'refused');
  setUp(position);
  return true;
}

// ---- Settings panel

function showSettings() {
  $('width').value = settings.width;
  $('height').value = settings.height;
  $('rule').value = String(page.game.rule);
  $('time').value = String(settings.time);
  $('hash').value = String(settings.hash);
  $('opening').value = settings.opening;
  $('numbers').checked = settings.numbers;
  $('confirm-taps').checked = settings.confirmTaps;
  $('allow-fouls').checked = settings.allowFouls;
  $('mode').value = page.mode;
  $('threads').value = String(settings.threads);
}

function setUpControls() {
  const threads = $('threads');
  const most = session.threaded ? Math.max(1, Math.min(navigator.hardwareConcurrency || 2, 16)) : 1;
  for (let n = 1; n <= most; ++n) threads.append(new Option(String(n), String(n)));
  settings.threads = Math.min(settings.threads, most);
  $('threads-field').hidden = !session.threaded;
  showSettings();

  const onSize = () => {
    const clamp = (v) => Math.max(5, Math.min(24, Math.round(Number(v)) || 15));
    settings.width = clamp($('width').value);
    settings.height = clamp($('height').value);
    saveSettings();
    showSettings();
    newGame();
  };
  $('width').addEventListener('change', onSize);
  $('height').addEventListener('change', onSize);
  $('rule').addEventListener('change', () => {
    settings.rule = Number($('rule').value);
    saveSettings();
    page.game.rule = settings.rule;
    page.game.judge([]);
    changed();
  });
  $('time').addEventListener('change', () => {
    settings.time = Number($('time').value);
    saveSettings();
  });
  threads.addEventListener('change', () => {
    settings.threads = Number(threads.value);
    saveSettings();
  });
  $('hash').addEventListener('change', () => {
    settings.hash = Number($('hash').value);
    saveSettings();
  });
  $('opening').addEventListener('change', () => {
    settings.opening = $('opening').value;
    saveSettings();
    newGame();
  });
  $('numbers').addEventListener('change', () => {
    settings.numbers = $('numbers').checked;
    saveSettings();
    scheduleRender();
  });
  $('confirm-taps').addEventListener('change', () => {
    settings.confirmTaps = $('confirm-taps').checked;
    saveSettings();
  });
  $('allow-fouls').addEventListener('change', () => {
    settings.allowFouls = $('allow-fouls').checked;
    saveSettings();
  });
  $('mode').addEventListener('change', () => {
    const wasSwap2 = openingUnderWay();
    setMode($('mode').value);
    if (wasSwap2) page.swap2 = null;
    changed({ keepBalance: true });
  });

  $('new-game').addEventListener('click', newGame);
  $('undo').addEventListener('click', undo);
  $('redo').addEventListener('click', redo);
  $('play-now').addEventListener('click', playNow);
  $('hint').addEventListener('click', hint);
  $('analyse').addEventListener('change', () => setAnalysing($('analyse').checked));
  $('balance-one').addEventListener('click', () => balance(false));
  $('balance-two').addEventListener('click', () => balance(true));
  $('block-mode').addEventListener('change', () => {
    page.blockMode = $('block-mode').checked;
    scheduleRender();
  });
  $('free-all').addEventListener('click', () => {
    page.game.blocked = [];
    changed({ keepBalance: true });
  });
  for (const button of $('swap2-choices').querySelectorAll('button'))
    button.addEventListener('click', () => swap2Choice(button.dataset.choice));
  $('copy-record').addEventListener('click', () => copyText(formatMoves(page.game.moves, page.game.height), 'Moves'));
  $('load-record').addEventListener('click', loadRecord);
  $('copy-link').addEventListener('click', () => copyText(location.href, 'Link'));
  window.addEventListener('hashchange', readAddress);
  document.addEventListener('keydown', (event) => {
    if (event.target instanceof HTMLInputElement || event.target instanceof HTMLTextAreaElement) return;
    if (event.key === 'ArrowLeft') undo();
    else if (event.key === 'ArrowRight') redo();
  });
}

// ---- Drawing

let renderPending = false;

function scheduleRender() {
  if (renderPending) return;
  renderPending = true;
  requestAnimationFrame(() => {
    renderPending = false;
    render();
  });
}

function statusText() {
  const { game } = page;
  const end = game.end;
  if (end) {
    if (end.kind === 'five') return `${COLOUR_NAMES[end.winner]} wins with five in a row.`;
    if (end.kind === 'foul') return `White wins: black's ${end.why} at ${cellName(end.cell, game.height)} is a foul.`;
    return 'Draw: the board is full.';
  }
  if (openingUnderWay()) return `Swap2 opening: ${page.swap2.actor() === YOU ? 'your part' : 'the engine’s part'}.`;
  const side = COLOUR_NAMES[game.toMove];
  if (page.search && (page.search.kind === 'move' || page.search.kind === 'quick'))
    return `${side} to move: the engine is thinking…`;
  if (page.mode === 'two') return `${side} to move.${page.analysing ? ' The engine analyses.' : ''}`;
  if (page.mode === 'self') return `${side} to move.`;
  return `${side} to move: your turn.`;
}

function figures() {
  const search = page.search || page.last;
  const names = (cells) => cells.map((c) => cellName(c, page.game.height)).join(' ');
  if (!search || search.depth === null) {
    return {
      depth: search && page.search ? '…' : '–',
      value: '–',
      speed: '–',
      line: search && search.pv.length ? names(search.pv) : '–',
    };
  }
  return {
    depth: `${search.depth}${search.reached ? `-${search.reached}` : ''}`,
    value: search.value === null ? '–' : describeValue(search.value),
    valueLabel: `Value (${COLOUR_NAMES[search.side].toLowerCase()})`,
    // Until a search has its own figure (after about a million nodes), the last one's.
    speed: search.speed
      ? `${search.speed.toLocaleString('en')} k/s`
      : page.lastSpeed
        ? `≈${page.lastSpeed.toLocaleString('en')} k/s`
        : '–',
    line: search.pv.length ? names(search.pv) : search.best ? names([search.best]) : '–',
  };
}

function render() {
  const { game } = page;
  const search = page.search;
  const current = search && search.gen === page.gen ? search : page.last && page.last.gen === page.gen ? page.last : null;
  // The best line's stones, numbered in order, where no other mark stands (null: not drawn).
  const marked = [...page.balance, ...(page.hint ? [page.hint] : [])];
  const ghosts =
    current && current.kind !== 'swap2'
      ? current.pv.map((c) => (game.isFree(c) && !marked.some((m) => sameCell(m, c)) ? c : null))
      : [];
  let hoverStone = null;
  const pointed = page.tap || page.hover;
  if (pointed && !page.blockMode && yourTurn() && game.isFree(pointed)) hoverStone = { cell: pointed, colour: game.toMove };
  const forbidden =
    game.rule === RENJU && game.toMove === BLACK && page.forbidden.gen === page.gen && !game.end ? page.forbidden.cells : [];
  boardView.render({
    width: game.width,
    height: game.height,
    moves: game.moves,
    numbers: settings.numbers,
    blocked: game.blocked,
    forbidden,
    ghosts: page.blockMode ? [] : ghosts.slice(0, 12),
    hover: hoverStone,
    hint: page.hint,
    balance: page.balance,
    winLine: game.end && game.end.line ? game.end.line : null,
    searching: search && search.kind !== 'swap2' ? search.searching : null,
  });

  $('status').textContent = statusText();
  const notice = $('notice');
  if (game.end) {
    notice.hidden = false;
    notice.className = 'notice end';
    notice.textContent = statusText() + (page.notice ? ` ${page.notice.text}` : '');
  } else if (page.notice) {
    notice.hidden = false;
    notice.className = `notice ${page.notice.kind}`;
    notice.textContent = page.notice.text;
  } else {
    notice.hidden = true;
  }

  const f = figures();
  $('depth').textContent = f.depth;
  $('value').textContent = f.value;
  $('value-label').textContent = f.valueLabel || 'Value';
  $('speed').textContent = f.speed;
  $('bestline').textContent = f.line;

  const thinkingMove = search && (search.kind === 'move' || search.kind === 'swap2');
  $('play-now').disabled = !thinkingMove;
  $('hint').disabled = !yourTurn() || openingUnderWay() || (search && search.kind !== 'analysis');
  $('undo').disabled = openingUnderWay() || game.moves.length === 0;
  $('redo').disabled = openingUnderWay() || game.undone.length === 0 || Boolean(game.end);
  $('analyse').disabled = page.mode !== 'two';
  const balanceBusy = Boolean(page.balanceJob) || (search && search.kind !== 'analysis');
  $('balance-one').disabled = balanceBusy || Boolean(game.end);
  $('balance-two').disabled = balanceBusy || Boolean(game.end);

  const swap2Card = $('swap2');
  swap2Card.hidden = !openingUnderWay();
  if (openingUnderWay()) {
    $('swap2-prompt').textContent = swap2Prompt();
    const choices = page.swap2.choices();
    for (const button of $('swap2-choices').querySelectorAll('button')) button.hidden = !choices.includes(button.dataset.choice);
  }

  const record = $('record');
  if (document.activeElement !== record) record.value = formatMoves(game.moves, game.height);

  const memory = page.memory ? `, memory ${Math.round(page.memory / 1048576)} MiB` : '';
  $('engine-kind').textContent = session.threaded
    ? `Threaded engine (${settings.threads} thread${settings.threads > 1 ? 's' : ''}${memory}).`
    : `Single-threaded engine: this page is not cross-origin isolated, so a stop restarts the engine${memory}.`;
  if (page.engineStatus === 'starting') $('engine-kind').textContent = 'Starting the engine…';

  const logElement = $('log');
  if (logElement.closest('details').open) logElement.textContent = logLines.join('\n');
}

// ---- For tests and for people curious about the page's state (the browser console)

window.zerinPage = {
  snapshot() {
    const { game } = page;
    const search = page.search || page.last;
    return {
      moves: formatMoves(game.moves, game.height),
      toMove: COLOUR_NAMES[game.toMove],
      end: game.end ? { kind: game.end.kind, winner: COLOUR_NAMES[game.end.winner] || null } : null,
      thinking: page.search ? page.search.kind : null,
      depth: search ? search.depth : null,
      pv: search ? search.pv.length : 0,
      forbidden: page.forbidden.gen === page.gen ? page.forbidden.cells.map((c) => cellName(c, game.height)) : [],
      notice: page.notice ? page.notice.text : null,
      status: $('status').textContent,
      threaded: session.threaded,
      engineStarts: session.starts,
      engineReady: page.engineStatus === 'ready',
      memory: page.memory || 0,
      swap2: page.swap2 ? page.swap2.phase : null,
    };
  },
  // The screen point of a cell named as players write it, for clicks.
  cellPoint(name) {
    const { game } = page;
    const cell = parseMoves(name, game.width, game.height).moves[0];
    return boardView.clientPoint(cell);
  },
};

setUpControls();
if (!readAddress()) newGame();
// The engine starts at once, so that it is ready for the first move.
track(session.prepare(position(), engineInfo('move')));
