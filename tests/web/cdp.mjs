// A small client of the Chrome DevTools protocol over --remote-debugging-pipe: it
// starts the system's chromium headless and drives pages, with nothing downloaded. The
// browser reads commands from its file descriptor 3 and writes replies and events to its
// descriptor 4, each message JSON ended by a NUL byte.
import { spawn } from 'node:child_process';
import { mkdtempSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';

export const CHROMIUM = process.env.ZERIN_CHROMIUM || '/usr/bin/chromium';

export class Browser {
  static async launch({ executable = CHROMIUM, args = [] } = {}) {
    const profile = mkdtempSync(join(tmpdir(), 'zerin-chromium-'));
    const child = spawn(
      executable,
      [
        '--headless',
        '--no-sandbox',
        '--disable-gpu',
        '--no-first-run',
        '--disable-background-networking',
        '--disable-component-update',
        '--disable-sync',
        '--disable-extensions',
        '--mute-audio',
        `--user-data-dir=${profile}`,
        '--remote-debugging-pipe',
        ...args,
        'about:blank',
      ],
      { stdio: ['ignore', 'ignore', 'pipe', 'pipe', 'pipe'] },
    );
    const browser = new Browser(child, profile);
    await browser.send('Target.setDiscoverTargets', { discover: true });
    return browser;
  }

  constructor(child, profile) {
    this.child = child;
    this.profile = profile;
    this.nextId = 1;
    this.calls = new Map();
    this.listeners = new Set();
    this.stderr = '';
    this.exited = new Promise((resolve) => child.on('exit', resolve));
    child.stderr.on('data', (chunk) => {
      this.stderr = (this.stderr + chunk).slice(-20000);
    });
    let buffered = '';
    child.stdio[4].on('data', (chunk) => {
      buffered += chunk.toString('utf8');
      let end;
      while ((end = buffered.indexOf('\0')) >= 0) {
        const message = JSON.parse(buffered.slice(0, end));
        buffered = buffered.slice(end + 1);
        this.dispatch(message);
      }
    });
    child.on('exit', () => {
      for (const { reject } of this.calls.values()) reject(new Error('the browser exited'));
      this.calls.clear();
    });
  }

  dispatch(message) {
    if (message.id !== undefined) {
      const call = this.calls.get(message.id);
      if (!call) return;
      this.calls.delete(message.id);
      if (message.error) call.reject(new Error(`${call.method}: ${message.error.message}`));
      else call.resolve(message.result);
      return;
    }
    for (const listener of this.listeners) listener(message);
  }

  send(method, params = {}, sessionId = undefined) {
    const id = this.nextId++;
    const message = { id, method, params };
    if (sessionId) message.sessionId = sessionId;
    return new Promise((resolve, reject) => {
      this.calls.set(id, { resolve, reject, method });
      this.child.stdio[3].write(JSON.stringify(message) + '\0');
    });
  }

  async newPage() {
    const { targetId } = await this.send('Target.createTarget', { url: 'about:blank' });
    const { sessionId } = await this.send('Target.attachToTarget', { targetId, flatten: true });
    const page = new Page(this, sessionId, targetId);
    await page.enable();
    return page;
  }

  async close() {
    try {
      await Promise.race([this.send('Browser.close'), new Promise((r) => setTimeout(r, 3000))]);
    } catch {
      // already gone
    }
    const timer = setTimeout(() => this.child.kill('SIGKILL'), 5000);
    await this.exited;
    clearTimeout(timer);
    rmSync(this.profile, { recursive: true, force: true });
  }
}

export class Page {
  constructor(browser, sessionId, targetId) {
    this.browser = browser;
    this.sessionId = sessionId;
    this.targetId = targetId;
    this.errors = []; // uncaught exceptions and console errors of the page and its workers
    this.console = [];
    browser.listeners.add((message) => {
      if (message.sessionId !== sessionId) return;
      if (message.method === 'Runtime.exceptionThrown') {
        const d = message.params.exceptionDetails;
        this.errors.push((d.exception && d.exception.description) || d.text);
      } else if (message.method === 'Runtime.consoleAPICalled') {
        const text = message.params.args.map((a) => (a.value !== undefined ? a.value : a.description)).join(' ');
        this.console.push(`${message.params.type}: ${text}`);
        if (message.params.type === 'error') this.errors.push(text);
      } else if (message.method === 'Log.entryAdded' && message.params.entry.level === 'error') {
        this.errors.push(`${message.params.entry.text} ${message.params.entry.url || ''}`.trim());
      }
    });
  }

  send(method, params = {}) {
    return this.browser.send(method, params, this.sessionId);
  }

  async enable() {
    await this.send('Page.enable');
    await this.send('Runtime.enable');
    await this.send('Log.enable');
  }

  async setViewport(width, height, { mobile = false, scale = 1 } = {}) {
    await this.send('Emulation.setDeviceMetricsOverride', { width, height, deviceScaleFactor: scale, mobile });
    if (mobile) await this.send('Emulation.setTouchEmulationEnabled', { enabled: true, maxTouchPoints: 5 });
  }

  async goto(url) {
    const loaded = new Promise((resolve) => {
      const listener = (message) => {
        if (message.sessionId === this.sessionId && message.method === 'Page.loadEventFired') {
          this.browser.listeners.delete(listener);
          resolve();
        }
      };
      this.browser.listeners.add(listener);
    });
    await this.send('Page.navigate', { url });
    await loaded;
  }

  // The value of a JavaScript expression in the page (promises awaited).
  async evaluate(expression) {
    const { result, exceptionDetails } = await this.send('Runtime.evaluate', {
      expression,
      returnByValue: true,
      awaitPromise: true,
    });
    if (exceptionDetails) throw new Error(`in the page: ${exceptionDetails.exception?.description || exceptionDetails.text}`);
    return result.value;
  }

  // Polls expression until it is truthy; returns its value, or throws after timeout ms.
  async waitFor(expression, timeout, what = expression) {
    const start = Date.now();
    for (;;) {
      const value = await this.evaluate(expression);
      if (value) return value;
      if (Date.now() - start > timeout) throw new Error(`timed out after ${timeout} ms waiting for ${what}`);
      await new Promise((r) => setTimeout(r, 50));
    }
  }

  // A mouse click at a point of the page's viewport.
  async click(x, y) {
    const base = { x, y, button: 'left', clickCount: 1, pointerType: 'mouse' };
    await this.send('Input.dispatchMouseEvent', { ...base, type: 'mouseMoved', button: 'none' });
    await this.send('Input.dispatchMouseEvent', { ...base, type: 'mousePressed' });
    await this.send('Input.dispatchMouseEvent', { ...base, type: 'mouseReleased' });
  }

  // A tap of a finger at a point.
  async tap(x, y) {
    await this.send('Input.dispatchTouchEvent', { type: 'touchStart', touchPoints: [{ x, y }] });
    await this.send('Input.dispatchTouchEvent', { type: 'touchEnd', touchPoints: [] });
  }

  async screenshot(path) {
    const { data } = await this.send('Page.captureScreenshot', { format: 'png' });
    writeFileSync(path, Buffer.from(data, 'base64'));
  }
}
