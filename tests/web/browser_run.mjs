// The board page in headless Chromium, driven over the DevTools protocol (cdp.mjs): once
// served cross-origin isolated (the threaded engine) and once without the headers (the
// single-threaded one). Each run plays a short game by clicks and checks that the engine
// answers within its time, that its realtime figures and best line appear, that undo
// takes moves back, that a Renju position shows black's forbidden points and refuses a
// click on one, and that a five ends the game. Prints each step's time.
//
//   node tests/web/browser_run.mjs [--site build-web] [--shots DIR]
//
// --shots saves screenshots there: mid-game.png (desktop width, the engine thinking),
// phone.png (a phone's width, a tapped stone shown), single-threaded.png. Exit status 1
// on a failure.
import { spawn } from 'node:child_process';
import { mkdirSync } from 'node:fs';
import { join } from 'node:path';
import { parseArgs } from 'node:util';
import { Browser } from './cdp.mjs';

const { values: options } = parseArgs({
  options: { site: { type: 'string', default: 'build-web' }, shots: { type: 'string' } },
});

const MOVE_TIME = 1000; // the page's time per move in these games, ms
// The reply may come this much after the move time: the engine's reply margin is 30 ms,
// the rest is the page, the worker and a loaded machine.
const REPLY_SLACK = 1500;

let failures = 0;
const timings = [];

function check(condition, what) {
  if (!condition) {
    failures += 1;
    console.log(`    FAILED: ${what}`);
  }
  return condition;
}

async function step(name, body) {
  const start = Date.now();
  try {
    await body();
  } catch (error) {
    failures += 1;
    console.log(`    FAILED: ${error.message}`);
  }
  const ms = Date.now() - start;
  timings.push([name, ms]);
  console.log(`  ${name}: ${ms} ms`);
}

function serve(isolated) {
  const args = ['tools/serve_web.py', '--port', '0', '--quiet', options.site];
  if (!isolated) args.splice(1, 0, '--no-isolation');
  const server = spawn('python3', args, { stdio: ['ignore', 'pipe', 'inherit'] });
  return new Promise((resolve, reject) => {
    let text = '';
    server.stdout.on('data', (chunk) => {
      text += chunk;
      const m = /on (http:\/\/\S+?)\/? \(/.exec(text);
      if (m) resolve({ server, url: m[1] });
    });
    server.on('exit', (code) => reject(new Error(`the server ended (status ${code})`)));
  });
}

// The engine's bench in a worker of the page, as a page would start the threaded engine
// but with the argument "bench": its output lines.
const BENCH_IN_WORKER = `new Promise((resolve) => {
  const base = new URL('engine/threaded/', location.href).href;
  const source = "self.Module = { arguments: ['bench'], mainScriptUrlOrBlob: '" + base + "pbrain-zerin.js', " +
    "locateFile: (path) => '" + base + "' + path }; importScripts('" + base + "pbrain-zerin.js');";
  const worker = new Worker(URL.createObjectURL(new Blob([source], { type: 'text/javascript' })));
  const lines = [];
  worker.onmessage = (event) => {
    if (event.data.type === 'line') lines.push(event.data.line);
    if (event.data.type === 'exit') resolve(lines);
  };
  worker.onerror = (event) => resolve(lines.concat(['error: ' + event.message]));
})`;

const snapshot = (page) => page.evaluate('window.zerinPage && window.zerinPage.snapshot()');

async function clickCell(page, name) {
  const p = await page.evaluate(`window.zerinPage.cellPoint(${JSON.stringify(name)})`);
  await page.click(p.x, p.y);
}

async function setControl(page, id, value) {
  await page.evaluate(`(() => { const e = document.getElementById(${JSON.stringify(id)});
    e.value = ${JSON.stringify(String(value))}; e.dispatchEvent(new Event('change')); return true; })()`);
}

async function clickButton(page, id) {
  const rect = await page.evaluate(`(() => { const r = document.getElementById(${JSON.stringify(id)}).getBoundingClientRect();
    return { x: r.x + r.width / 2, y: r.y + r.height / 2 }; })()`);
  await page.click(rect.x, rect.y);
}

// The first free cell of names, for a move that cannot land on a stone.
async function freeCell(page, names) {
  const s = await snapshot(page);
  const taken = new Set(s.moves.split(' '));
  return names.find((n) => !taken.has(n));
}

const moveCount = (s) => (s.moves ? s.moves.split(' ').length : 0);

async function openPage(browser, url, width = 1280, height = 860) {
  const page = await browser.newPage();
  await page.setViewport(width, height);
  await page.goto(url);
  await page.waitFor('window.zerinPage && window.zerinPage.snapshot().engineReady', 20000, 'the engine to start');
  return page;
}

// Black (you) plays one move by a click; the engine's reply must come within its time.
async function playAndAwaitReply(page, name) {
  const before = moveCount(await snapshot(page));
  const start = Date.now();
  await clickCell(page, name);
  await page.waitFor(`window.zerinPage.snapshot().moves.split(' ').length === ${before + 2}`, MOVE_TIME + REPLY_SLACK + 5000, `the reply to ${name}`);
  const ms = Date.now() - start;
  check(ms <= MOVE_TIME + REPLY_SLACK, `the reply to ${name} took ${ms} ms, more than ${MOVE_TIME} + ${REPLY_SLACK}`);
  return ms;
}

async function gameChecks(page, label, shots) {
  const s0 = await snapshot(page);
  console.log(`  (${label}: threaded ${s0.threaded}, crossOriginIsolated ${await page.evaluate('crossOriginIsolated')})`);
  await setControl(page, 'time', MOVE_TIME);

  await step(`${label}: first move h8, the engine replies`, async () => {
    const ms = await playAndAwaitReply(page, 'h8');
    console.log(`    reply after ${ms} ms`);
  });

  await step(`${label}: second move, realtime figures and best line while the engine thinks`, async () => {
    const name = await freeCell(page, ['i9', 'g7', 'i7', 'g9', 'j8']);
    const before = moveCount(await snapshot(page));
    await clickCell(page, name);
    const seen = await page.waitFor(
      `(() => { const s = window.zerinPage.snapshot(); return s.thinking === 'move' && s.depth !== null && s.pv > 0 && document.getElementById('depth').textContent !== '–' ? s : null; })()`,
      MOVE_TIME + REPLY_SLACK,
      'depth, value and best line during the search',
    );
    // Drawn at the next frame.
    const ghosts = await page
      .waitFor("document.querySelectorAll('#board .ghost').length", 1000, 'the best line drawn as numbered stones')
      .catch((error) => check(false, error.message));
    console.log(`    depth ${seen.depth}, best line of ${seen.pv} moves, ${ghosts} ghost stones`);
    await page.waitFor(`window.zerinPage.snapshot().moves.split(' ').length === ${before + 2}`, MOVE_TIME + REPLY_SLACK, 'the reply');
  });

  await step(`${label}: third move${shots ? ', a screenshot while the engine thinks' : ''}`, async () => {
    const name = await freeCell(page, ['g9', 'i7', 'j10', 'f6', 'k11']);
    if (!shots) {
      await playAndAwaitReply(page, name);
      return;
    }
    const before = moveCount(await snapshot(page));
    await clickCell(page, name);
    // The picture is best with a long best line drawn; a slow machine may not get that far.
    await page
      .waitFor("document.querySelectorAll('#board .ghost').length >= 6 || window.zerinPage.snapshot().thinking === null", MOVE_TIME + REPLY_SLACK, 'the best line')
      .catch(() => {});
    await page.screenshot(join(shots, 'mid-game.png'));
    await page.waitFor(`window.zerinPage.snapshot().moves.split(' ').length === ${before + 2}`, MOVE_TIME + REPLY_SLACK, 'the reply');
  });

  await step(`${label}: undo takes back the engine's move and yours`, async () => {
    const before = await snapshot(page);
    await clickButton(page, 'undo');
    const after = await page.waitFor(
      `(() => { const s = window.zerinPage.snapshot(); return s.moves.split(' ').length === ${moveCount(before) - 2} ? s : null; })()`,
      3000,
      'two moves fewer',
    );
    check(after.toMove === 'Black' && after.thinking === null, 'black (you) to move after undo, the engine idle');
    // The engine follows: the next move gets a reply on the shorter game.
    const name = await freeCell(page, ['j10', 'f6', 'k11', 'e5']);
    await playAndAwaitReply(page, name);
  });

  await step(`${label}: Renju, black's forbidden point marked and a click on it refused`, async () => {
    // Black f8 g8 h10 h9 with white far off: h8 makes two threes.
    await page.evaluate("location.hash = '#w=15&h=15&rule=2&moves=f8a1g8b1h10a2h9c1'; true");
    const s = await page.waitFor(
      "(() => { const s = window.zerinPage.snapshot(); return s.moves.split(' ').length === 8 && s.forbidden.length ? s : null; })()",
      5000,
      'the forbidden points',
    );
    check(s.forbidden.includes('h8'), `h8 among the forbidden points (${s.forbidden.join(' ')})`);
    await page.waitFor("document.querySelectorAll('#board .forbidden[data-cell=\"h8\"]').length === 1", 2000, 'h8 marked on the board');
    await clickCell(page, 'h8');
    const refused = await page.waitFor("window.zerinPage.snapshot().notice", 2000, 'a word why');
    check(/forbidden for black: double three/.test(refused), `the refusal says why (${refused})`);
    check(moveCount(await snapshot(page)) === 8, 'the forbidden move not played');
  });

  await step(`${label}: a five ends the game`, async () => {
    await page.evaluate("location.hash = '#w=15&h=15&rule=0&moves=h8a1i8a2j8a3k8a4'; true");
    await page.waitFor("window.zerinPage.snapshot().moves.split(' ').length === 8", 5000, 'the position');
    await clickCell(page, 'l8');
    const s = await page.waitFor("(() => { const s = window.zerinPage.snapshot(); return s.end && /wins/.test(s.status) ? s : null; })()", 3000, 'the end');
    check(s.end.kind === 'five' && s.end.winner === 'Black', 'black wins with five');
    check(/Black wins/.test(s.status), `the end announced (${s.status})`);
    check(s.thinking === null, 'the engine does not move after the end');
  });
}

async function main() {
  if (options.shots) mkdirSync(options.shots, { recursive: true });
  const browser = await Browser.launch();
  const servers = [];
  try {
    console.log('cross-origin isolated (threaded engine):');
    const isolated = await serve(true);
    servers.push(isolated.server);
    let page;
    await step('isolated: page load and engine start', async () => {
      page = await openPage(browser, isolated.url + '/');
    });
    const s = await snapshot(page);
    check(s.threaded === true, 'the threaded engine runs');
    await gameChecks(page, 'isolated', options.shots);

    await step('isolated: bench in a worker, the same signature', async () => {
      const lines = await page.evaluate(BENCH_IN_WORKER);
      const nodes = lines.find((l) => l.startsWith('Nodes searched'));
      const speed = lines.find((l) => l.startsWith('Nodes/second'));
      check(nodes === 'Nodes searched  : 2559630', `the bench signature (${nodes || lines.slice(-3).join(' | ')})`);
      console.log(`    ${nodes}; ${speed}`);
    });

    await step("phone width: a tap shows the stone, a second tap plays it", async () => {
      const phone = await browser.newPage();
      await phone.setViewport(390, 844, { mobile: true, scale: 2 });
      await phone.goto(isolated.url + '/#w=15&h=15&rule=2&moves=h8i9i8g8j7j8h7h9');
      await phone.waitFor("window.zerinPage && window.zerinPage.snapshot().engineReady", 20000, 'the engine');
      const p = await phone.evaluate("window.zerinPage.cellPoint('k6')");
      await phone.tap(p.x, p.y);
      await phone.waitFor("document.querySelectorAll('#board .hover').length === 1", 1000, 'the stone shown');
      check((await snapshot(phone)).moves.split(' ').length === 8, 'one tap plays nothing');
      if (options.shots) await phone.screenshot(join(options.shots, 'phone.png'));
      await phone.tap(p.x, p.y);
      await phone.waitFor("window.zerinPage.snapshot().moves.split(' ').length >= 9", 2000, 'the second tap playing k6');
      await phone.send('Page.close').catch(() => {});
    });

    console.log('no isolation headers (single-threaded engine):');
    const plain = await serve(false);
    servers.push(plain.server);
    let single;
    await step('single: page load and engine start', async () => {
      single = await openPage(browser, plain.url + '/');
    });
    check((await snapshot(single)).threaded === false, 'the single-threaded engine runs');
    await gameChecks(single, 'single', null);

    await step('single: play now ends the search, the engine restarts', async () => {
      await single.evaluate("location.hash = '#w=15&h=15&rule=0'; true");
      await single.waitFor("window.zerinPage.snapshot().moves === ''", 5000, 'an empty board');
      await clickCell(single, 'h8');
      await single.waitFor("window.zerinPage.snapshot().moves.split(' ').length === 2", 5000, 'the opening reply');
      await setControl(single, 'time', 30000);
      const starts = (await snapshot(single)).engineStarts;
      await clickCell(single, await freeCell(single, ['i9', 'g7', 'j8']));
      await single.waitFor("(() => { const s = window.zerinPage.snapshot(); return s.thinking === 'move' && s.depth >= 5; })()", 10000, 'a searched best move');
      const start = Date.now();
      await clickButton(single, 'play-now');
      await single.waitFor("window.zerinPage.snapshot().moves.split(' ').length === 4", 3000, 'the move after play now');
      const ms = Date.now() - start;
      const after = await single.waitFor(
        `(() => { const s = window.zerinPage.snapshot(); return s.engineStarts > ${starts} && s.engineReady ? s : null; })()`,
        10000,
        'the engine to start again',
      );
      console.log(`    move ${ms} ms after play now; engine starts ${starts} -> ${after.engineStarts}`);
      if (options.shots) await single.screenshot(join(options.shots, 'single-threaded.png'));
      await setControl(single, 'time', MOVE_TIME);
    });

    for (const [p, label] of [
      [page, 'isolated'],
      [single, 'single'],
    ]) {
      if (p && p.errors.length) {
        failures += 1;
        console.log(`    FAILED: errors in the ${label} page: ${p.errors.join(' | ')}`);
      }
    }
  } finally {
    await browser.close();
    for (const server of servers) server.kill();
  }
  const total = timings.reduce((sum, [, ms]) => sum + ms, 0);
  console.log(`${timings.length} steps, ${total} ms; ${failures ? `${failures} FAILED` : 'all passed'}`);
  process.exit(failures ? 1 : 0);
}

main().catch((error) => {
  console.error(error);
  process.exit(1);
});
