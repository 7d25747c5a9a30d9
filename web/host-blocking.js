// SPDX-License-Identifier: GPL-3.0-or-later
// The host of the build whose engine may block while it waits, which needs a thread of its
// own: under Node, and in a Worker of a cross-origin isolated page. The first thread (Node's
// main thread, or the Worker the page made) runs no engine: it starts the engine's thread and
// relays input to it through shared memory, whose count of arrivals the engine sleeps on while
// it waits (using no processor time). A poll during a search takes what has arrived without
// giving an event loop a turn, so the search runs without Asyncify; the first thread, never
// blocked, reads input as its host does and can end the program at any moment.
(function (host) {
  if (!host.isNode && !host.isWorker) throw new Error('Zekora runs in a Worker or under Node');
  var threads = host.isNode ? require('worker_threads') : null;
  // The page's Worker starts the engine's as a Worker of the same script, by this name.
  var EngineName = 'zekora-engine';
  // In a page input passes through a ring of bytes in shared memory: the first two numbers
  // count the bytes written and read, the ring follows.
  var RingBytes = 1 << 16;
  function ringOf(shared) {
    return { control: new Int32Array(shared, 0, 2), bytes: new Uint8Array(shared, 8, RingBytes) };
  }

  if (host.isNode ? threads.isMainThread : self.name != EngineName) {
    // This copy runs no engine: it never instantiates its WebAssembly.
    Module['instantiateWasm'] = function () { return {}; };
    if (host.isNode) relayStandardInput();
    else relayMessages();
    return;
  }

  // Node: chunks of standard input come as messages on a port, null at its end; a count in
  // shared memory wakes the engine.
  function relayStandardInput() {
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
  }

  // A page: each message is a command line, written into the ring that the engine's Worker
  // made and sent over (until then the lines wait here).
  function relayMessages() {
    var engine = new Worker(self.location.href, { name: EngineName });
    var encoder = new TextEncoder();
    var ring = null;
    var early = [];
    var write = function (bytes) {
      var control = ring.control;
      for (var done = 0; done < bytes.length;) {
        var written = Atomics.load(control, 0);
        var read = Atomics.load(control, 1);
        var free = RingBytes - ((written - read) | 0);
        if (!free) {
          Atomics.wait(control, 1, read, 10);
          continue;
        }
        var count = Math.min(free, bytes.length - done);
        for (var i = 0; i < count; ++i) {
          ring.bytes[(written + i) & (RingBytes - 1)] = bytes[done + i];
        }
        done += count;
        Atomics.store(control, 0, (written + count) | 0);
        Atomics.notify(control, 0);
      }
    };
    self.onmessage = function (event) {
      var bytes = encoder.encode(String(event.data) + '\n');
      if (ring) write(bytes);
      else early.push(bytes);
    };
    engine.onmessage = function (event) {
      var data = event.data;
      if (data && data.zekoraInput) {
        ring = ringOf(data.zekoraInput);
        early.forEach(write);
        early = null;
      } else if (data && data.zekoraExit !== undefined) {
        close();
      } else {
        postMessage(data);
      }
    };
    // The page's Worker reports a fault of the engine's as its own.
    engine.onerror = function (event) {
      event.preventDefault();
      setTimeout(function () { throw new Error(event.message); });
    };
  }

  // The engine's thread: collect() moves what has arrived into the queue, arrivals counts it.
  var arrivals, collect;
  if (host.isNode) {
    var input = threads.workerData.zekoraInput;
    arrivals = threads.workerData.arrivals;
    collect = function () {
      for (var message; (message = threads.receiveMessageOnPort(input));) {
        if (message.message === null) host.end();
        else host.deliver(message.message);
      }
    };
    host.isConsole = require('tty').isatty(0);
  } else {
    var shared = new SharedArrayBuffer(8 + RingBytes);
    var ring = ringOf(shared);
    arrivals = ring.control;
    collect = function () {
      var read = Atomics.load(arrivals, 1);
      var count = (Atomics.load(arrivals, 0) - read) | 0;
      if (!count) return;
      var bytes = new Uint8Array(count);
      for (var i = 0; i < count; ++i) bytes[i] = ring.bytes[(read + i) & (RingBytes - 1)];
      Atomics.store(arrivals, 1, (read + count) | 0);
      Atomics.notify(arrivals, 1);
      host.deliver(bytes);
    };
    postMessage({ zekoraInput: shared });
    // After "quit" both Workers end.
    Module['onExit'] = function (status) {
      postMessage({ zekoraExit: status });
      close();
    };
  }
  host.waitForInput = function () {
    for (;;) {
      var seen = Atomics.load(arrivals, 0);
      collect();
      if (host.inputWaits()) return;
      Atomics.wait(arrivals, 0, seen);
    }
  };
  host.pause = collect;
})(zekoraHost);
