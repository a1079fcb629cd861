// The engine module's host side (linked in front of the compiled engine). It connects the
// engine's standard input and output to whatever runs the module:
//
// - under node, the process's own standard input and output, so that `node
//   pbrain-zerin.js` is a console brain like the native program;
// - in a page's dedicated worker, messages: the page posts {type: "input", text} (whole
//   lines; a block such as BOARD ... done in one message) and {type: "end"}, and receives
//   {type: "ready", threads, memory}, {type: "line", line} for every reply line and
//   {type: "exit", status} when the engine has ended; {type: "memory"} is answered with
//   {type: "memory", bytes}, the module's memory (a busy engine without threads answers
//   when its command ends).
//
// Threads of the engine (pthreads) load this same file; they leave all of it alone.
/* global Module, wasmMemory */

if (!Module['ENVIRONMENT_IS_PTHREAD']) {
  (function () {
    const inNode = typeof process === 'object' && typeof process.versions === 'object' &&
      typeof process.versions.node === 'string' && typeof importScripts !== 'function';
    const inWorker = typeof importScripts === 'function' && typeof postMessage === 'function';
    if (!inNode && !inWorker) return;

    // Input that came before the module was ready waits here.
    const waiting = [];
    let ready = false;
    let ended = false;

    function handOver(bytes) {
      if (bytes.length === 0) return;
      const pointer = Module['_malloc'](bytes.length);
      new Uint8Array(wasmMemory.buffer, pointer, bytes.length).set(bytes);
      Module['_zerin_input'](pointer, bytes.length);
      Module['_free'](pointer);
    }

    function input(bytes) {
      if (ready) handOver(bytes);
      else waiting.push(bytes);
    }

    function end() {
      ended = true;
      if (ready) Module['_zerin_input_end']();
    }

    const previousInit = Module['onRuntimeInitialized'];
    Module['onRuntimeInitialized'] = function () {
      if (previousInit) previousInit();
      ready = true;
      for (const bytes of waiting.splice(0)) handOver(bytes);
      if (ended) Module['_zerin_input_end']();
      if (inWorker) {
        postMessage({
          type: 'ready',
          threads: typeof SharedArrayBuffer !== 'undefined' && wasmMemory.buffer instanceof SharedArrayBuffer,
          memory: wasmMemory.buffer.byteLength,
        });
      }
    };

    if (inNode) {
      // `bench` reads no input; anything else is a brain reading its commands.
      if (process.argv.slice(2).indexOf('bench') !== 0) {
        process.stdin.on('data', (chunk) => input(chunk));
        process.stdin.on('end', end);
      }
      return;
    }

    const encoder = new TextEncoder();
    Module['print'] = (line) => postMessage({ type: 'line', line });
    Module['printErr'] = (line) => postMessage({ type: 'error', line });
    // The engine ended (END, or the end of input): tell the page, and end the worker
    // with the engine's threads.
    Module['quit'] = (status, toThrow) => {
      postMessage({ type: 'exit', status });
      close();
      throw toThrow;
    };
    onmessage = (event) => {
      const message = event.data;
      if (message.type === 'input') input(encoder.encode(message.text));
      else if (message.type === 'end') end();
      else if (message.type === 'memory') postMessage({ type: 'memory', bytes: ready ? wasmMemory.buffer.byteLength : 0 });
    };
  })();
}
