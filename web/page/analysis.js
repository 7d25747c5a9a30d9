// SPDX-License-Identifier: GPL-3.0-or-later
// The analysis board's engine: Zekora searches the position on show without end, and a new
// position stops that search and starts another; its last line for the position on show is
// what the page shows, from White's view.
import {Game, numbered, sanLine, uciMove} from './game.js';
import {scoreText, search, whiteShare, whiteView} from './engine.js';

export class Analysis {
  #app;
  #running = null; // the position searched now
  #search = null; // its search
  #line = null; // the last line found: {key, fen, score, info}

  // app: {engine, failed(error)}; onLine() is called with each new line.
  constructor(app, game = new Game(), onLine = () => {}) {
    this.#app = app;
    this.game = game;
    this.onLine = onLine;
  }

  // Searches the position on show if wanted, else stops.
  update(wanted) {
    const app = this.#app;
    const game = this.game;
    if (!wanted || !app.engine || game.end()) {
      this.#search?.stop();
      this.#running = this.#search = null;
      return;
    }
    const key = game.position();
    if (this.#running === key) return;
    this.#running = key;
    this.#line = null;
    const turn = game.turn();
    const fen = game.fen();
    const running = this.#search = app.engine.run((zekora, signal) =>
      search(zekora, key, 'infinite', signal, (info) => {
        if (this.#running !== key) return;
        this.#line = {key, fen, score: whiteView(info.score, turn), info};
        this.onLine();
      }));
    running.catch(app.failed).then(() => {
      if (this.#search === running) this.#running = this.#search = null;
    });
  }

  // What to show of the search of the position on show: White's share of the bar, the score,
  // depth and line as text, the move as an arrow; null while there is none.
  get shown() {
    const line = this.#line;
    if (!line || line.key !== this.#running || line.key !== this.game.position()) return null;
    const {fen, score, info} = line;
    return {share: whiteShare(score), arrow: uciMove(info.pv[0]),
            text: `${scoreText(score)}, depth ${info.depth}: ` +
                  numbered(fen, sanLine(fen, info.pv).slice(0, 12))};
  }
}
