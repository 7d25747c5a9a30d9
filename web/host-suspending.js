// SPDX-License-Identifier: GPL-3.0-or-later
// The host of the build for Web Workers, where the engine runs on the host's only thread: input
// arrives only while the engine lets the event loop run, so every wait suspends the engine
// (Asyncify) until input comes, and a poll during a search gives the loop one turn. Under Node
// this build reads standard input the same way (the tests run it there).
(function (host) {
  var wake = null;
  host.onInput = function () {
    if (!wake) return;
    var resume = wake;
    wake = null;
    resume();
  };

  host.waitForInput = function () {
    return Asyncify.handleAsync(function () {
      if (host.inputWaits()) return Promise.resolve();
      return new Promise(function (resolve) { wake = resolve; });
    });
  };

  // One turn of the event loop, so that waiting messages or input reach the queue.
  // (setTimeout would do, but browsers delay nested timeouts by 4 ms.)
  var channel = null;
  var turnDone = null;
  function nextTurn(resolve) {
    if (typeof setImmediate == 'function') return setImmediate(resolve);
    if (!channel) {
      channel = new MessageChannel();
      channel.port1.onmessage = function () { turnDone(); };
    }
    turnDone = resolve;
    channel.port2.postMessage(0);
  }
  host.pause = function () {
    return Asyncify.handleAsync(function () { return new Promise(nextTurn); });
  };

  if (host.isNode) {
    host.isConsole = !!process.stdin.isTTY;
    process.stdin.on('data', function (data) {
      host.deliver(new Uint8Array(data.buffer, data.byteOffset, data.length));
    });
    process.stdin.on('end', host.end);
  } else if (host.isWorker) {
    var encoder = new TextEncoder();
    self.onmessage = function (event) { host.deliver(encoder.encode(String(event.data) + '\n')); };
  }
})(zekoraHost);
