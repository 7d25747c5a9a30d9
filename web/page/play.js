// SPDX-License-Identifier: GPL-3.0-or-later
// A game against Zekora: the player's side, Zekora's level, whose move it is, and what the
// player may ask for (a takeback, a hint, to resign). Zekora's answers come from the engine's
// queue; one that arrives after the game moved on (a takeback, a new game, the analysis board
// taking the engine) is dropped.
import {Game, numbered, sanLine, uciMove} from './game.js';
import {scoreText, search, whiteView} from './engine.js';
import {LEVELS, chooseMove, createRandom} from './zekora/levels.js';

const HINT_SEARCH = 'movetime 1000';
const other = (side) => (side === 'w' ? 'b' : 'w');

export function today() {
  const now = new Date();
  return [now.getFullYear(), now.getMonth() + 1, now.getDate()]
      .map((part) => String(part).padStart(2, '0')).join('.');
}

export const levelLabel = (level) =>
  LEVELS.find((entry) => entry.level === level)?.label ?? `Level ${level}`;

export class Play {
  #app;
  #random = createRandom(Date.now() >>> 0);
  #thinking = null; // Zekora's search while it runs
  #thought = null; // Zekora's search for its last move: {ply, move, info}
  #hint = null; // {ply} while the hint is searched, then {ply, move, san}

  // app: {engine (null until it runs), playing (the page shows this game), render(),
  // failed(error)}.
  constructor(app, {game = new Game(), player = 'w', level, date = today()}) {
    this.#app = app;
    this.game = game;
    this.player = player;
    this.level = level;
    this.date = date;
  }

  static restore(app, data, level) {
    try {
      if (data.player !== 'w' && data.player !== 'b') return null;
      const known = LEVELS.some((entry) => entry.level === data.level);
      return new Play(app, {game: Game.load(data.game), player: data.player,
                            level: known ? data.level : level, date: data.date});
    } catch {
      return null;
    }
  }

  save() {
    return {game: this.game.save(), player: this.player, level: this.level, date: this.date};
  }

  get name() { return `Zekora (${levelLabel(this.level)})`; }
  get thinking() { return !!this.#thinking; }

  // The player's colour while the player may move on the board, else null.
  movable() {
    const game = this.game;
    if (game.outcome() || !game.atEnd || this.#thinking || game.turn() !== this.player) return null;
    return this.player;
  }

  status() {
    const game = this.game;
    const outcome = game.outcome();
    if (outcome?.reason === 'resignation') {
      return outcome.winner === this.player ? 'Zekora resigned: you won' : 'You resigned: Zekora won';
    }
    if (outcome?.reason === 'checkmate') {
      return outcome.winner === this.player ? 'You won by checkmate' : 'Zekora won by checkmate';
    }
    if (outcome) return `Draw by ${outcome.reason}`;
    if (game.turn() !== this.player) return this.#app.engine ? 'Zekora thinks…' : 'Starting the engine…';
    if (this.#hint?.ply === game.length) {
      return this.#hint.san ? `Your move. Hint: ${this.#hint.san}` : 'Your move. Looking for a hint…';
    }
    return 'Your move';
  }

  // PGN tags naming the players, and the date.
  tags() {
    return {Event: 'Game against Zekora', Date: this.date,
            [this.player === 'w' ? 'White' : 'Black']: 'Player',
            [this.player === 'w' ? 'Black' : 'White']: this.name};
  }

  names() {
    return {[this.player]: 'You', [other(this.player)]: this.name};
  }

  // Lets Zekora choose its move, if it is its turn and the page shows the game.
  async zekoraMoves() {
    const app = this.#app;
    const game = this.game;
    if (!app.engine || !app.playing || this.#thinking || game.outcome() ||
        game.turn() === this.player) {
      return;
    }
    const position = game.position(game.length);
    const search = this.#thinking = app.engine.run((zekora, signal) =>
      chooseMove(zekora, position, this.level, {random: this.#random, signal}));
    app.render();
    const answer = await search.catch(app.failed);
    if (this.#thinking !== search) return;
    this.#thinking = null;
    if (answer?.move) {
      const move = game.push(answer.move);
      this.#thought = answer.info ? {ply: game.length, move, info: answer.info} : null;
    }
    app.render();
  }

  // Gives up Zekora's search under way; zekoraMoves() starts it again.
  pause() {
    this.#thinking?.stop();
    this.#thinking = null;
  }

  // The player's move: true if it was the player's turn and the move legal.
  move(move) {
    if (this.movable() !== this.player) return false;
    try {
      this.game.push(move);
    } catch {
      return false;
    }
    this.#hint = null;
    this.#app.render();
    this.zekoraMoves();
    return true;
  }

  get canTakeback() { return this.game.moves.some((move) => move.color === this.player); }

  // Takes back the player's last move, and Zekora's answer to it if there is one.
  takeback() {
    const game = this.game;
    if (!this.canTakeback) return;
    this.pause();
    this.#hint = this.#thought = null;
    game.truncate(game.length - (game.last.color === this.player ? 1 : 2));
    this.#app.render();
  }

  resign() {
    const game = this.game;
    if (game.outcome()) return;
    this.pause();
    this.#hint = null;
    game.resigned = this.player;
    game.ply = game.length;
    this.#app.render();
  }

  get canHint() { return !!this.#app.engine && this.movable() === this.player && !this.#hint; }

  async hint() {
    const app = this.#app;
    const game = this.game;
    if (!this.canHint) return;
    const ply = game.length;
    const hint = this.#hint = {ply};
    app.render();
    const position = game.position(ply);
    const answer = await app.engine.run((zekora, signal) =>
      search(zekora, position, HINT_SEARCH, signal)).catch(app.failed);
    if (this.#hint !== hint || !answer) return;
    this.#hint = {ply, move: uciMove(answer.bestmove),
                  san: sanLine(game.fen(ply), [answer.bestmove])[0]};
    app.render();
  }

  // The hinted move while it is the player's turn and the last position shows.
  get hinted() {
    const game = this.game;
    return this.#hint?.ply === game.length && game.atEnd ? this.#hint.move ?? null : null;
  }

  // Zekora's thinking for the move it just made, while that position shows and the game
  // goes on: its score from White's view, the depth, and its line in SAN from the position
  // before its move. Empty otherwise.
  thought() {
    const thought = this.#thought;
    const game = this.game;
    if (!thought || thought.ply !== game.ply || !game.atEnd || game.outcome()) return '';
    const {move, info} = thought;
    const pv = info.pv ?? [];
    // The search that chose the move searched either the position before it or the one after.
    const line = pv[0] === move.lan ? sanLine(move.before, pv)
                                    : [move.san, ...sanLine(move.after, pv)];
    return `Zekora: ${scoreText(whiteView(info.score, move.color))}, depth ` +
           `${info.depth ?? '?'}: ${numbered(move.before, line.slice(0, 12))}`;
  }
}
