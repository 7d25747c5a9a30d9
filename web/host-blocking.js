// SPDX-License-Identifier: GPL-3.0-or-later
// The host of the build for Node, where the engine may block while it waits: it runs in a
// thread of its own, and the program's first thread only relays standard input to it, as
// messages counted in shared memory. A wait sleeps on that count (using no processor time); a
// poll during a search takes what has arrived without giving an event loop a turn. So the
// search runs without Asyncify, and the first thread, never blocked, reads input as Node does
// (end of input included) and can end the program at any moment.
(function (host) {
  if (!host.isNode) throw new Error('this build of Zekora runs under Node; in a page, load zekora.js');
  var threads = require('worker_threads');

  if (threads.isMainThread) {
    // This copy runs no engine: it never instantiates its WebAssembly.
    Module['instantiateWasm'] = function () { return {}; };
    var arrivals = new Int32Array(new SharedArrayBuffer(4));
    var channel = new threads.MessageChannel();
    var engine = new threads.Worker(__filename, {
      argv: process.argv.slice(2),
      workerData: { zekoraInput: channel.port2, arrivals: arrivals },
      transferList: [channel.port2]
    });
    var post = function (message) {
      channel.port1.postMessage(message);
      Atomics.add(arrivals, 0, 1);
      Atomics.notify(arrivals, 0);
    };
    // Copied, so that only the chunk's bytes cross over, not the pool it was cut from.
    process.stdin.on('data', function (chunk) { post(new Uint8Array(chunk)); });
    process.stdin.on('end', function () { post(null); });
    process.stdin.on('error', function () { post(null); });
    // A fault in the engine's thread ends it with status 1, after its report.
    engine.on('error', function (error) { process.stderr.write((error.stack || error) + '\n'); });
    engine.on('exit', function (status) { process.exit(status); });
    return;
  }

  var input = threads.workerData.zekoraInput;
  var count = threads.workerData.arrivals;
  function collect() {
    for (var message; (message = threads.receiveMessageOnPort(input));) {
      if (message.message === null) host.end();
      else host.deliver(message.message);
    }
  }
  host.isConsole = require('tty').isatty(0);
  host.waitForInput = function () {
    for (;;) {
      var seen = Atomics.load(count, 0);
      collect();
      if (host.inputWaits()) return;
      Atomics.wait(count, 0, seen);
    }
  };
  host.pause = collect;
})(zekoraHost);
