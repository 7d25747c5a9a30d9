// SPDX-License-Identifier: GPL-3.0-or-later
// The engine's host, run before the engine starts: in a Web Worker each message is one command
// line and each output line is posted back as one message; under Node the engine speaks on
// standard input and output, or, in a thread that the library (index.js) made, takes its input
// from that thread and posts its lines back to it. Either way input waits in a queue until the
// engine takes it (src/platform/os_web.cpp). How the engine waits for input, and how input
// reaches the queue, is the build's: host-suspending.js or host-blocking.js, run after this.
var zekoraHost = (function () {
  var chunks = [];
  var ended = false;
  var host = {
    isConsole: false,
    isNode: typeof process == 'object' && typeof process.versions == 'object' &&
        typeof process.versions.node == 'string',
    isWorker: typeof importScripts == 'function',
    // The library's engine thread under Node: its parent port, else null.
    libraryPort: null,
    // Called whenever input arrives or ends.
    onInput: function () {}
  };

  host.deliver = function (bytes) {
    if (bytes.length) chunks.push(bytes);
    host.onInput();
  };
  host.end = function () {
    ended = true;
    host.onInput();
  };
  host.inputWaits = function () { return chunks.length > 0 || ended; };

  // Copies at most size waiting bytes to the engine's buffer: their number, 0 when nothing
  // waits, -1 once input has ended and everything has been taken.
  host.take = function (buffer, size) {
    if (host.started) host.started();
    if (!chunks.length) return ended ? -1 : 0;
    var chunk = chunks[0];
    var count = Math.min(size, chunk.length);
    HEAPU8.set(chunk.subarray(0, count), buffer);
    if (count < chunk.length) chunks[0] = chunk.subarray(count);
    else chunks.shift();
    return count;
  };

  var asked = 0;
  if (host.isNode) {
    var threads = require('worker_threads');
    if (!threads.isMainThread && threads.workerData && threads.workerData.zekoraLibrary) {
      host.libraryPort = threads.parentPort;
      asked = threads.workerData.zekoraHash || 0;
    }
  } else if (host.isWorker) {
    asked = Number((/\bhash=(\d+)/.exec(self.name) || [])[1] || 0);
  }

  // The engine makes its table (64 MB) as it starts, and memory once grown is never given
  // back, so an engine that should have a smaller table must not make that one first. A host
  // can ask for the smaller one as it makes the engine (hash=N in the Worker's name, or the
  // library thread's data): until the engine first takes input, memory may grow no further
  // than that table needs, and the engine settles for it (it halves a table that it cannot
  // have until one fits).
  if (asked > 0 && asked < 64) {
    var table = 1;
    while (table * 2 <= asked) table *= 2;
    var largestHeap = _emscripten_get_heap_max;
    var heapLimit = 0;
    // The table, its alignment to 2 MB, and what else the engine allocates as it starts.
    Module['onRuntimeInitialized'] = function () {
      heapLimit = Module['_sbrk'](0) + (table + 2) * 1048576 + 524288;
    };
    _emscripten_get_heap_max = function () { return heapLimit || largestHeap(); };
    host.started = function () {
      heapLimit = 0;
      host.started = null;
    };
  }
  if (host.libraryPort) {
    Module['print'] = function (line) { host.libraryPort.postMessage(line); };
  } else if (host.isNode) {
    // Each line goes out whole before the engine goes on, even while it then blocks; when the
    // reader has gone, the engine ends with status 1, as the native programs do.
    var fs = require('fs');
    var writeLine = function (fd, line) {
      var bytes = Buffer.from(line + '\n');
      for (var done = 0; done < bytes.length;) {
        try {
          done += fs.writeSync(fd, bytes, done);
        } catch (e) {
          if (e.code != 'EAGAIN') process.exit(1);
          Atomics.wait(new Int32Array(new SharedArrayBuffer(4)), 0, 0, 1);
        }
      }
    };
    Module['print'] = function (line) { writeLine(1, line); };
    Module['printErr'] = function (line) { writeLine(2, line); };
  } else if (host.isWorker) {
    Module['print'] = function (line) { postMessage(line); };
    // After "quit" the Worker has nothing left to do.
    Module['onExit'] = function () { close(); };
  }
  return host;
})();
