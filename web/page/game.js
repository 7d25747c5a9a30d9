// SPDX-License-Identifier: GPL-3.0-or-later
// A game as the page keeps it: a start position, the moves from it, and the position on show
// (any ply from the start to the last move); in and out of PGN, FEN and the UCI "position"
// command. chess.js knows the rules.
import {Chess, DEFAULT_POSITION} from './vendor/chess.js/chess.js';

export {DEFAULT_POSITION};

const DRAWS = [
  ['isStalemate', 'stalemate'], ['isThreefoldRepetition', 'repetition'],
  ['isInsufficientMaterial', 'insufficient material'], ['isDrawByFiftyMoves', 'the fifty-move rule'],
];

export class Game {
  #ends = new Map();

  // Throws on a FEN chess.js rejects, or on a move that is not legal.
  constructor(fen = DEFAULT_POSITION, moves = []) {
    this.chess = new Chess(fen);
    this.start = this.chess.fen();
    this.moves = []; // chess.js's verbose moves: san, lan, from, to, before, after, ...
    this.ply = 0;
    this.resigned = null; // the colour that resigned
    this.tags = {}; // PGN tags beyond the result: Event, Date, White, Black, ...
    this.review = null; // the review of these moves, if one was made
    for (const move of moves) this.push(move);
  }

  get length() { return this.moves.length; }
  get last() { return this.moves.at(-1); }
  get atEnd() { return this.ply === this.length; }

  // Plays move (SAN, UCI or {from, to, promotion}) after the last one.
  push(move) {
    const played = this.chess.move(typeof move === 'string' ? uciMove(move) ?? move : move);
    this.moves.push(played);
    this.ply = this.length;
    this.review = null;
    if (this.#ends.size) this.#ends.set(this.length, endOf(this.chess));
    return played;
  }

  // Keeps the first n moves.
  truncate(n) {
    while (this.length > n) {
      this.chess.undo();
      this.moves.pop();
      this.#ends.delete(this.length + 1);
    }
    this.ply = Math.min(this.ply, n);
    this.resigned = null;
    this.review = null;
  }

  fen(ply = this.ply) { return ply ? this.moves[ply - 1].after : this.start; }
  turn(ply = this.ply) { return this.fen(ply).split(' ')[1]; }

  // The end of the game by the rules (mate or a draw) in the position at ply, or null. Worked
  // out for every position at once, on the first question.
  end(ply = this.ply) {
    if (!this.#ends.size) {
      const chess = new Chess(this.start);
      this.#ends.set(0, endOf(chess));
      this.moves.forEach((move, i) => {
        chess.move(uciMove(move.lan));
        this.#ends.set(i + 1, endOf(chess));
      });
    }
    return this.#ends.get(ply);
  }

  // Plays move in the position on show: the next move of the game if it is that one, else
  // the moves after the position on show give way to it.
  play(move) {
    const next = this.moves[this.ply];
    if (next && next.lan === this.parse(typeof move === 'string' ? move : uciText(move))?.lan) {
      ++this.ply;
      return next;
    }
    if (!this.atEnd) this.truncate(this.ply);
    return this.push(move);
  }

  // What follows "position " in UCI for the position at ply, with the moves that led to it
  // (so that the engine sees repetitions).
  position(ply = this.ply) {
    const moves = this.moves.slice(0, ply).map((move) => move.lan);
    return (this.start === DEFAULT_POSITION ? 'startpos' : `fen ${this.start}`) +
        (moves.length ? ` moves ${moves.join(' ')}` : '');
  }

  // The end of the game, or null while it goes on: {result: '1-0' | '0-1' | '1/2-1/2',
  // winner: 'w' | 'b' | null, reason}.
  outcome() {
    if (this.resigned) {
      const winner = this.resigned === 'w' ? 'b' : 'w';
      return {result: winner === 'w' ? '1-0' : '0-1', winner, reason: 'resignation'};
    }
    return endOf(this.chess);
  }

  // A legal move in the position on show from what a player typed: SAN ("Nf3", "exd5",
  // "O-O", "e8=Q") or UCI ("g1f3", "e7e8q"); null if it is neither.
  parse(text) {
    const typed = text.trim();
    if (!typed || typed.startsWith('-')) return null;
    try {
      return new Chess(this.fen()).move(uciMove(typed.toLowerCase()) ?? typed);
    } catch {
      return null;
    }
  }

  // The game in PGN: the seven tags of the roster first, the result from the game.
  pgn() {
    const outcome = this.outcome();
    const tags = {Event: '?', Site: '?', Date: '????.??.??', Round: '?', White: '?', Black: '?',
                  ...this.tags, Result: outcome ? outcome.result : '*'};
    if (this.start !== DEFAULT_POSITION) Object.assign(tags, {SetUp: '1', FEN: this.start});
    if (outcome?.reason === 'resignation') {
      tags.Termination = `${this.resigned === 'w' ? 'White' : 'Black'} resigns`;
    }
    const lines = Object.entries(tags).map(([name, value]) =>
      `[${name} "${String(value).replace(/[\\"]/g, '\\$&')}"]`);
    lines.push('');
    // The move text, in lines of at most 79 characters.
    let line = '';
    for (const word of [...numbered(this.start, this.moves.map((move) => move.san), '...')
                             .split(' '), tags.Result]) {
      if (line && line.length + 1 + word.length > 79) {
        lines.push(line);
        line = word;
      } else {
        line = line ? `${line} ${word}` : word;
      }
    }
    lines.push(line);
    return lines.join('\n');
  }

  static fromPgn(text) {
    const chess = new Chess();
    chess.loadPgn(text);
    // The tags that describe the position and the result come back from the game itself.
    const {FEN: fen = DEFAULT_POSITION, SetUp, Result: result, ...tags} = chess.getHeaders();
    const game = new Game(fen);
    game.moves = chess.history({verbose: true});
    game.chess = chess;
    game.ply = game.length;
    game.tags = tags;
    // A game that ended without mate or a draw by the rules ended by resignation (or time).
    if (!game.outcome() && (result === '1-0' || result === '0-1')) {
      game.resigned = result === '1-0' ? 'b' : 'w';
    }
    return game;
  }

  // What localStorage keeps, and back.
  save() {
    return {fen: this.start, moves: this.moves.map((move) => move.lan), ply: this.ply,
            resigned: this.resigned, tags: this.tags};
  }

  static load(saved) {
    const game = new Game(saved.fen, saved.moves);
    game.ply = Math.min(Math.max(0, saved.ply ?? game.length), game.length);
    game.resigned = saved.resigned ?? null;
    game.tags = saved.tags ?? {};
    return game;
  }
}

function endOf(chess) {
  if (chess.isCheckmate()) {
    const winner = chess.turn() === 'w' ? 'b' : 'w';
    return {result: winner === 'w' ? '1-0' : '0-1', winner, reason: 'checkmate'};
  }
  const draw = DRAWS.find(([test]) => chess[test]());
  return draw ? {result: '1/2-1/2', winner: null, reason: draw[1]} : null;
}

const uciText = ({from, to, promotion}) => from + to + (promotion ?? '');

// {from, to, promotion} of a move in UCI notation, or undefined.
export function uciMove(text) {
  const match = /^([a-h][1-8])([a-h][1-8])([qrbn]?)$/.exec(text);
  return match ? {from: match[1], to: match[2], promotion: match[3] || undefined} : undefined;
}

// The moves of a UCI line as SAN from the position fen, as far as they are legal there.
export function sanLine(fen, uciMoves) {
  const chess = new Chess(fen);
  const san = [];
  for (const lan of uciMoves) {
    try {
      san.push(chess.move(uciMove(lan)).san);
    } catch {
      break;
    }
  }
  return san;
}

// A line of SAN moves with their numbers, starting in the position fen: "12… Nf6 13. d4"
// (with ellipsis '...', as PGN has it: "12... Nf6 13. d4").
export function numbered(fen, san, ellipsis = '…') {
  const [, turn, , , , number] = fen.split(' ');
  let move = Number(number) || 1;
  let white = turn === 'w';
  const parts = [];
  san.forEach((text, i) => {
    if (white) parts.push(`${move}. ${text}`);
    else parts.push(i === 0 ? `${move}${ellipsis} ${text}` : text);
    if (!white) ++move;
    white = !white;
  });
  return parts.join(' ');
}
