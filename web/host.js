// SPDX-License-Identifier: GPL-3.0-or-later
// The engine's host, run before the engine starts: in a Web Worker each message is one command
// line and each output line is posted back as one message; under Node the engine speaks on
// standard input and output. Either way input waits in a queue until the engine takes it
// (src/platform/os_web.cpp).
var zekoraHost = (function () {
  var chunks = [];
  var ended = false;
  var wake = null;
  var host = { isConsole: false };

  function deliver(bytes) {
    if (bytes.length) chunks.push(bytes);
    if (wake) {
      var resume = wake;
      wake = null;
      resume();
    }
  }

  // Copies at most size waiting bytes to the engine's buffer: their number, 0 when nothing
  // waits, -1 once input has ended and everything has been taken.
  host.take = function (buffer, size) {
    if (!chunks.length) return ended ? -1 : 0;
    var chunk = chunks[0];
    var count = Math.min(size, chunk.length);
    HEAPU8.set(chunk.subarray(0, count), buffer);
    if (count < chunk.length) chunks[0] = chunk.subarray(count);
    else chunks.shift();
    return count;
  };

  host.waitForInput = function () {
    if (chunks.length || ended) return Promise.resolve();
    return new Promise(function (resolve) { wake = resolve; });
  };

  // One turn of the event loop, so that waiting messages or input reach the queue.
  // (setTimeout would do, but browsers delay nested timeouts by 4 ms.)
  var pauseChannel = null;
  var pauseDone = null;
  host.pause = function () {
    return new Promise(function (resolve) {
      if (typeof setImmediate == 'function') return setImmediate(resolve);
      if (!pauseChannel) {
        pauseChannel = new MessageChannel();
        pauseChannel.port1.onmessage = function () { pauseDone(); };
      }
      pauseDone = resolve;
      pauseChannel.port2.postMessage(0);
    });
  };

  var isNode = typeof process == 'object' && typeof process.versions == 'object' &&
      typeof process.versions.node == 'string';
  if (isNode) {
    host.isConsole = !!process.stdin.isTTY;
    process.stdin.on('data', function (data) {
      deliver(new Uint8Array(data.buffer, data.byteOffset, data.length));
    });
    process.stdin.on('end', function () {
      ended = true;
      deliver(new Uint8Array(0));
    });
  } else if (typeof importScripts == 'function') {
    var encoder = new TextEncoder();
    self.onmessage = function (event) { deliver(encoder.encode(String(event.data) + '\n')); };
    Module['print'] = function (line) { postMessage(line); };
    // After "quit" the Worker has nothing left to do.
    Module['onExit'] = function () { close(); };
  }
  return host;
})();
