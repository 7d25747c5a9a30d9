// SPDX-License-Identifier: GPL-3.0-or-later
// Zekora as a library, in a page (the engine in a Worker) and under Node (in a thread): start
// an engine, send it UCI commands, read its lines, and await the answer of a search. Importing
// this module starts nothing.
//   const engine = await Zekora.start();
//   engine.onLine((line) => console.log(line));
//   const {bestmove, ponder, info} = await engine.go('depth 12');
//   await engine.quit();
// tools/build-web.sh makes index.cjs, the CommonJS form, from this file: it keeps to
// "export function/class" and finds its own address only through import.meta.

// The fields of an "info" line: numbers as numbers, the score as {cp} or {mate} (with
// bound: 'lower' or 'upper' when it is one), the principal variation as a list of moves.
// null for any other line.
export function parseInfo(line) {
  const fields = line.trim().split(/\s+/);
  if (fields[0] !== 'info') return null;
  const info = {};
  for (let i = 1; i < fields.length; ++i) {
    const name = fields[i];
    if (name === 'score') {
      const kind = fields[++i];
      info.score = {[kind === 'mate' ? 'mate' : 'cp']: Number(fields[++i])};
      if (/^(lower|upper)bound$/.test(fields[i + 1])) info.score.bound = fields[++i].slice(0, 5);
    } else if (name === 'pv') {
      info.pv = fields.slice(i + 1);
      break;
    } else if (name === 'string') {
      info.string = fields.slice(i + 1).join(' ');
      break;
    } else if (name === 'currmove') {
      info.currmove = fields[++i];
    } else if (i + 1 < fields.length) {
      info[name] = Number(fields[++i]);
    }
  }
  return info;
}

const inNode = typeof process === 'object' && typeof process.versions?.node === 'string' &&
    typeof document === 'undefined' && typeof importScripts === 'undefined';

// The builds this host can run, the faster first. The blocking one needs a thread of its own,
// fed through shared memory: under Node, and in a page that really has SharedArrayBuffer (a
// cross-origin isolated page may lack it: WebKit). The suspending one runs anywhere.
function builds() {
  if (inNode) return ['blocking'];
  const shared = globalThis.crossOriginIsolated === true && typeof SharedArrayBuffer === 'function';
  return shared ? ['blocking', 'suspending'] : ['suspending'];
}

// Input to a blocking engine goes through the ring of bytes in shared memory that the engine
// makes (web/host-blocking.js: four counters, then the bytes). This thread may not wait, so
// what does not fit waits here until the engine has read.
function ringWriter(shared) {
  const Changes = 0, Written = 1, Read = 2;
  const control = new Int32Array(shared, 0, 4);
  const ring = new Uint8Array(shared, 16);
  const waiting = [];
  let retry = null;
  const flush = () => {
    retry = null;
    while (waiting.length) {
      const bytes = waiting[0];
      const written = Atomics.load(control, Written);
      const free = ring.length - ((written - Atomics.load(control, Read)) | 0);
      const count = Math.min(free, bytes.length);
      for (let i = 0; i < count; ++i) ring[(written + i) & (ring.length - 1)] = bytes[i];
      Atomics.store(control, Written, (written + count) | 0);
      Atomics.add(control, Changes, 1);
      Atomics.notify(control, Changes);
      if (count < bytes.length) {
        waiting[0] = bytes.subarray(count);
        retry = setTimeout(flush, 1);
        return;
      }
      waiting.shift();
    }
  };
  return (bytes) => {
    waiting.push(bytes);
    if (!retry) flush();
  };
}

// The input of a blocking engine: commands wait here until the engine has sent its ring.
function ringInput() {
  const encoder = new TextEncoder();
  const early = [];
  let write = (bytes) => early.push(bytes);
  return {
    ring(shared) {
      write = ringWriter(shared);
      early.forEach(write);
    },
    send(command) {
      write(encoder.encode(command + '\n'));
    },
  };
}

// A page's engine: a Worker made from the build's source (a module of the package, which
// bundlers carry like any other), or from its file in the folder options.url.
async function pageTransport(build, options, events) {
  let url;
  if (options.url) {
    const page = globalThis.document?.baseURI ?? self.location.href;
    url = new URL(`zekora-${build}.js`, new URL(options.url, page));
  } else {
    const {default: source} = await (build === 'blocking' ? import('./engine-blocking.js')
                                                          : import('./engine-suspending.js'));
    url = URL.createObjectURL(new Blob([source], {type: 'text/javascript'}));
  }
  // The name tells the engine the table to start with (web/host.js).
  const worker = new Worker(url, {name: options.hash ? `zekora hash=${options.hash}` : 'zekora'});
  const input = ringInput();
  worker.onmessage = ({data}) => {
    if (typeof data === 'string') {
      events.line(data);
    } else if (data?.zekoraInput) {
      input.ring(data.zekoraInput);
    } else if (data?.zekoraExit !== undefined) {
      events.exit();
    }
  };
  worker.onerror = (event) => {
    event.preventDefault();
    events.fault(new Error(`Zekora's engine failed: ${event.message || 'it did not load'}`));
  };
  return {
    // Only the blocking build tells when it has quit.
    reportsExit: build === 'blocking',
    send(command) {
      if (build === 'suspending') worker.postMessage(command);
      else input.send(command);
    },
    close() {
      worker.terminate();
      if (!options.url) URL.revokeObjectURL(url);
    },
  };
}

// Node's engine: the blocking build in a thread, its lines posted back to this one; the
// process's standard input and output stay the program's.
async function nodeTransport(options, events) {
  const {Worker} = process.getBuiltinModule('node:worker_threads');
  const {pathToFileURL} = process.getBuiltinModule('node:url');
  const given = options.url === undefined ? null : String(options.url);
  // In a variable of its own, so that bundlers do not take the folder for an asset to copy.
  const here = import.meta.url;
  const folder = given === null ? new URL('./', here)
      : /^file:/.test(given) ? new URL(given.endsWith('/') ? given : given + '/')
      : pathToFileURL(given.endsWith('/') ? given : given + '/');
  const thread = new Worker(new URL('zekora-blocking.js', folder),
                            {workerData: {zekoraLibrary: true, zekoraHash: options.hash}});
  const input = ringInput();
  thread.on('message', (data) => {
    if (typeof data === 'string') events.line(data);
    else if (data?.zekoraInput) input.ring(data.zekoraInput);
  });
  thread.on('error', (error) => {
    events.fault(new Error(`Zekora's engine failed: ${error.message}`));
  });
  thread.on('exit', () => events.exit());
  return {
    reportsExit: true,
    send: input.send,
    close() {
      thread.terminate();
    },
  };
}

// How long an engine may take to answer "uci" before start() gives up on it and tries the
// next build, or fails: never a page waiting for ever.
const StartTimeout = 10000;

export class Zekora {
  // Starts an engine and resolves once it has answered "uci" and "isready".
  // options.hash: the table's size in megabytes (the engine's default is 64).
  // options.url: the folder of the engine's files (zekora-blocking.js, zekora-suspending.js)
  //   for a page that serves them itself, relative to the page; under Node a path or a file
  //   URL. By default a page makes its engine from the package's modules, Node from the
  //   package's folder.
  // options.timeout: milliseconds to wait for each start (default 10000).
  static async start(options = {}) {
    let failure = null;
    for (const build of builds()) {
      const engine = new Zekora();
      const timeout = options.timeout ?? StartTimeout;
      try {
        await engine.#open(build, options);
        let timer;
        const late = new Promise((_, reject) => {
          timer = setTimeout(() => reject(new Error(
              `Zekora's engine (${build}) did not answer within ${timeout} ms`)), timeout);
        });
        try {
          await Promise.race([engine.#until('uciok', 'uci'), late]);
        } finally {
          clearTimeout(timer);
        }
        if (options.hash) engine.send(`setoption name Hash value ${options.hash}`);
        await engine.ready();
        return engine;
      } catch (error) {
        engine.#transport?.close();
        failure = error;
      }
    }
    throw failure;
  }

  // 'blocking' or 'suspending': the build this engine runs.
  build = null;
  #transport = null;
  #listeners = new Set();
  #failure = null;
  #exited = null;
  #exit = null;

  async #open(build, options) {
    this.build = build;
    this.#exited = new Promise((resolve) => { this.#exit = resolve; });
    const events = {
      line: (line) => {
        for (const listener of [...this.#listeners]) listener(line);
      },
      fault: (error) => {
        this.#failure ??= error;
        for (const listener of [...this.#listeners]) listener(null);
      },
      // After this every wait fails at once.
      exit: () => {
        this.#exit();
        events.fault(new Error("Zekora's engine has quit"));
      },
    };
    this.#transport = inNode ? await nodeTransport(options, events)
                             : await pageTransport(build, options, events);
  }

  // Calls listener with every line the engine writes; returns the function that stops it.
  onLine(listener) {
    const wrapped = (line) => { if (line !== null) listener(line); };
    this.#listeners.add(wrapped);
    return () => this.#listeners.delete(wrapped);
  }

  // Sends any UCI command.
  send(command) {
    this.#transport.send(command);
  }

  // Resolves once the engine has answered "isready".
  async ready() {
    await this.#until('readyok', 'isready');
  }

  // Searches with any "go" arguments and resolves at "bestmove" with the move, the ponder
  // move (if any) and the last info line with a principal variation, parsed.
  async go(args = '') {
    let info = null;
    const stop = this.onLine((line) => {
      const parsed = parseInfo(line);
      if (parsed?.pv) info = parsed;
    });
    try {
      const [, bestmove, , ponder] =
          (await this.#until('bestmove', `go ${args}`.trim())).trim().split(/\s+/);
      return {bestmove, ponder: ponder || undefined, info};
    } finally {
      stop();
    }
  }

  // Ends the engine (a search in progress too), and with it its Worker or thread.
  async quit() {
    if (this.#failure) return this.#transport.close();
    this.send('quit');
    if (this.#transport.reportsExit) {
      let timer;
      const late = new Promise((resolve) => { timer = setTimeout(resolve, 1000); });
      await Promise.race([this.#exited, late]);
      clearTimeout(timer);
    }
    this.#transport.close();
  }

  // Sends command and resolves with the first line that starts with prefix.
  #until(prefix, command) {
    return new Promise((resolve, reject) => {
      if (this.#failure) return reject(this.#failure);
      const listener = (line) => {
        if (line === null) {
          this.#listeners.delete(listener);
          reject(this.#failure);
        } else if (line.trim() === prefix || line.startsWith(prefix + ' ')) {
          this.#listeners.delete(listener);
          resolve(line);
        }
      };
      this.#listeners.add(listener);
      this.send(command);
    });
  }
}
