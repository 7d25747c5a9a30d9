// SPDX-License-Identifier: GPL-3.0-or-later
// The host of the build whose engine may block while it waits, which needs a thread of its
// own: a Worker that the library (index.js) made in a cross-origin isolated page, or a Node
// thread. The thread that feeds it writes input into a ring of bytes in shared memory that the
// engine makes and posts to it, and the engine sleeps on the ring while it waits (using no
// processor time). A poll during a search takes what has arrived without giving an event loop
// a turn, so the search runs without Asyncify.
// The ring: four counters (changes, bytes written, bytes read, input ended), then the bytes.
// Every write and the end add one to changes, on which the engine sleeps.
(function (host) {
  if (!host.isNode && !host.isWorker) throw new Error('Zekora runs in a Worker or under Node');
  var threads = host.isNode ? require('worker_threads') : null;
  var RingBytes = 1 << 16;
  var Changes = 0, Written = 1, Read = 2, Ended = 3;

  if (host.isNode && threads.isMainThread) {
    // "node zekora.js": this thread runs no engine (it never instantiates its WebAssembly), it
    // starts the engine's thread and relays standard input to it.
    Module['instantiateWasm'] = function () { return {}; };
    relayStandardInput();
    return;
  }

  // Starts the engine's thread and writes standard input into its ring, waiting while the
  // ring is full (Node's first thread may wait; in a page the library writes, without waiting).
  function relayStandardInput() {
    var engine = new threads.Worker(__filename, { argv: process.argv.slice(2) });
    var control = null, ring = null;
    var early = [];
    var write = function (bytes) {
      for (var done = 0; done < bytes.length;) {
        var written = Atomics.load(control, Written);
        var read = Atomics.load(control, Read);
        var free = RingBytes - ((written - read) | 0);
        if (!free) {
          Atomics.wait(control, Read, read, 10);
          continue;
        }
        var count = Math.min(free, bytes.length - done);
        for (var i = 0; i < count; ++i) ring[(written + i) & (RingBytes - 1)] = bytes[done + i];
        done += count;
        Atomics.store(control, Written, (written + count) | 0);
        Atomics.add(control, Changes, 1);
        Atomics.notify(control, Changes);
      }
    };
    var end = function () {
      Atomics.store(control, Ended, 1);
      Atomics.add(control, Changes, 1);
      Atomics.notify(control, Changes);
    };
    engine.on('message', function (message) {
      if (!message || !message.zekoraInput) return;
      control = new Int32Array(message.zekoraInput, 0, 4);
      ring = new Uint8Array(message.zekoraInput, 16, RingBytes);
      early.forEach(function (item) { if (item) write(item); else end(); });
      early = null;
    });
    var relay = function (item) {
      if (early) early.push(item);
      else if (item) write(item);
      else end();
    };
    process.stdin.on('data', relay);
    process.stdin.on('end', function () { relay(null); });
    process.stdin.on('error', function () { relay(null); });
    // A fault in the engine's thread ends it with status 1, after its report.
    engine.on('error', function (error) { process.stderr.write((error.stack || error) + '\n'); });
    engine.on('exit', function (status) { process.exit(status); });
  }

  // The engine's thread.
  var shared = new SharedArrayBuffer(16 + RingBytes);
  var control = new Int32Array(shared, 0, 4);
  var ring = new Uint8Array(shared, 16, RingBytes);
  var endSeen = false;
  // Moves what has arrived into the queue.
  var collect = function () {
    // The end is marked after the last write: seen first, it follows everything counted next.
    var ended = Atomics.load(control, Ended);
    var read = Atomics.load(control, Read);
    var count = (Atomics.load(control, Written) - read) | 0;
    if (count) {
      var bytes = new Uint8Array(count);
      for (var i = 0; i < count; ++i) bytes[i] = ring[(read + i) & (RingBytes - 1)];
      Atomics.store(control, Read, (read + count) | 0);
      Atomics.notify(control, Read);
      host.deliver(bytes);
    }
    if (ended && !count && !endSeen) {
      endSeen = true;
      host.end();
    }
  };
  if (host.isNode) {
    threads.parentPort.postMessage({ zekoraInput: shared });
    host.isConsole = !host.libraryPort && require('tty').isatty(0);
  } else {
    postMessage({ zekoraInput: shared });
    // After "quit" the Worker tells the page, which cannot see a Worker close.
    Module['onExit'] = function (status) {
      postMessage({ zekoraExit: status });
      close();
    };
  }
  host.waitForInput = function () {
    for (;;) {
      var seen = Atomics.load(control, Changes);
      collect();
      if (host.inputWaits()) return;
      Atomics.wait(control, Changes, seen);
    }
  };
  host.pause = collect;
})(zekoraHost);
