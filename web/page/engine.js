// SPDX-License-Identifier: GPL-3.0-or-later
// The page's one engine, and the order of its work: Zekora searches one thing at a time, so
// each task (a move to choose, a hint, an analysis, a review) first stops the one before it
// and waits until that one has ended. A task that was stopped resolves null, so no answer of
// an abandoned search ever reaches the page.
import {Zekora, parseInfo} from './zekora/index.js';

export {parseInfo};

export class Engine {
  static async start() {
    // The engine's own table size, as the levels were measured with it.
    return new Engine(await Zekora.start());
  }

  #zekora;
  #idle = Promise.resolve();
  #controller = null;
  #newGame = false;

  constructor(zekora) { this.#zekora = zekora; }

  // Runs task(zekora, signal) once the engine is idle, after stopping what runs now. Resolves
  // with the task's answer, or null if the task was stopped: by a later one, by stop(), or by
  // the stop() of the promise returned, which stops this task only.
  run(task) {
    this.#controller?.abort();
    const controller = this.#controller = new AbortController();
    const {signal} = controller;
    const result = this.#idle.then(async () => {
      if (signal.aborted) return null;
      if (this.#newGame) {
        this.#newGame = false;
        this.#zekora.send('ucinewgame');
        await this.#zekora.ready();
      }
      return task(this.#zekora, signal);
    });
    this.#idle = result.catch(() => {});
    const answer = result.then((value) => (signal.aborted ? null : value));
    answer.stop = () => controller.abort();
    return answer;
  }

  // Stops the task that runs now.
  stop() { this.#controller?.abort(); }

  // The next task starts with "ucinewgame".
  newGame() { this.#newGame = true; }
}

// Searches the position with the arguments of "go", calling onInfo(info) with each info line
// that has a score and a line, until "bestmove"; stopped when signal aborts. Resolves with
// {bestmove, info}.
export async function search(zekora, position, args, signal, onInfo = () => {}) {
  const off = zekora.onLine((line) => {
    const info = parseInfo(line);
    if (info?.score && info.pv?.length && !signal.aborted) onInfo(info);
  });
  const stop = () => zekora.send('stop');
  signal.addEventListener('abort', stop);
  try {
    zekora.send(`position ${position}`);
    return await zekora.go(args);
  } finally {
    signal.removeEventListener('abort', stop);
    off();
  }
}

// A score of the side to move from White's view, in centipawns or as mate in moves.
export function whiteView(score, turn) {
  const sign = turn === 'w' ? 1 : -1;
  return score.mate !== undefined ? {mate: sign * score.mate} : {cp: sign * score.cp};
}

// "+0.35", "−1.20", "#3" (White mates in 3), "#-3" (Black does).
export function scoreText(score) {
  if (score.mate !== undefined) return `#${score.mate}`;
  const pawns = (Math.abs(score.cp) / 100).toFixed(2);
  return score.cp > 0 ? `+${pawns}` : score.cp < 0 ? `−${pawns}` : '0.00';
}

// White's share of the evaluation bar, from 0 to 1.
export function whiteShare(score) {
  if (score.mate !== undefined) return score.mate > 0 ? 1 : 0;
  return 1 / (1 + Math.exp(-score.cp / 250));
}
