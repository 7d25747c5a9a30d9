// SPDX-License-Identifier: GPL-3.0-or-later
// Zekora as a library: start an engine, send it UCI commands, read its lines, and await the
// answer of a search. Importing this module starts nothing.
//   const engine = await Zekora.start();
//   engine.onLine((line) => console.log(line));
//   const {bestmove, ponder, info} = await engine.go('depth 12');
//   await engine.quit();

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

export class Zekora {
  // Starts an engine in a Worker and resolves once it has answered "uci" and "isready".
  // options.url: the folder of the engine's files (default: this module's own folder).
  // options.hash: the table's size in megabytes (the engine's default is 64).
  static async start(options = {}) {
    const base = new URL(options.url ?? './', import.meta.url);
    const engine = new Zekora(new Worker(new URL('zekora.js', base)));
    await engine.#until('uciok', 'uci');
    if (options.hash) engine.send(`setoption name Hash value ${options.hash}`);
    await engine.ready();
    return engine;
  }

  #worker;
  #listeners = new Set();
  #failure = null;

  constructor(worker) {
    this.#worker = worker;
    worker.onmessage = (event) => {
      for (const listener of [...this.#listeners]) listener(String(event.data));
    };
    worker.onerror = (event) => {
      this.#failure = new Error(`Zekora's engine failed: ${event.message || 'it did not load'}`);
      for (const listener of [...this.#listeners]) listener(null);
    };
  }

  // Calls listener with every line the engine writes; returns the function that stops it.
  onLine(listener) {
    const wrapped = (line) => { if (line !== null) listener(line); };
    this.#listeners.add(wrapped);
    return () => this.#listeners.delete(wrapped);
  }

  send(command) {
    this.#worker.postMessage(command);
  }

  // Resolves once the engine has answered "isready".
  ready() {
    return this.#until('readyok', 'isready');
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
          (await this.#until('bestmove', `go ${args}`.trim())).trim().split(' ');
      return {bestmove, ponder: ponder || undefined, info};
    } finally {
      stop();
    }
  }

  async quit() {
    this.send('quit');
    this.#worker.terminate();
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
