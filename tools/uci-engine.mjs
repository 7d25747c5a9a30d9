// SPDX-License-Identifier: GPL-3.0-or-later
// A native UCI program under Node, with the interface web/levels.js drives: send(command) and
// onLine(listener) -> unsubscribe; plus until(), go() and quit() for the scripts that play it.
import {spawn} from 'node:child_process';
import {createInterface} from 'node:readline';

export async function startEngine(path, {args = [], options = {}} = {}) {
  const child = spawn(path, args, {stdio: ['pipe', 'pipe', 'inherit']});
  const listeners = new Set();
  createInterface({input: child.stdout}).on('line', (line) => {
    for (const listener of [...listeners]) listener(line);
  });
  const waiters = new Set(); // the rejections of pending until()s, for a program that ends
  const exited = new Promise((resolve) => child.on('exit', () => {
    for (const reject of waiters) reject(new Error(`${path} ended`));
    resolve();
  }));
  child.stdin.on('error', () => {}); // a program that died is reported by until()

  const engine = {
    pid: child.pid,
    send(command) {
      child.stdin.write(command + '\n');
    },
    onLine(listener) {
      listeners.add(listener);
      return () => listeners.delete(listener);
    },
    // Sends command and resolves with the first line starting with prefix.
    until(prefix, command) {
      return new Promise((resolve, reject) => {
        const off = engine.onLine((line) => {
          if (line === prefix || line.startsWith(prefix + ' ')) {
            off();
            waiters.delete(reject);
            resolve(line);
          }
        });
        waiters.add(reject);
        engine.send(command);
      });
    },
    // Searches with the given "go" arguments; resolves with the bestmove line's move.
    async go(args) {
      return (await engine.until('bestmove', `go ${args}`)).split(/\s+/)[1];
    },
    async quit() {
      engine.send('quit');
      child.stdin.end();
      const timer = setTimeout(() => child.kill(), 2000);
      await exited;
      clearTimeout(timer);
    },
  };
  await engine.until('uciok', 'uci');
  for (const [name, value] of Object.entries(options)) {
    engine.send(`setoption name ${name} value ${value}`);
  }
  await engine.until('readyok', 'isready');
  return engine;
}
