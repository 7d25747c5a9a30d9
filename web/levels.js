// SPDX-License-Identifier: GPL-3.0-or-later
// Playing strength from a beginner's to Zekora's full strength, made by the program that drives
// the engine, from plain UCI: every search has a node or depth limit, never a time, so a level
// plays the same moves in every build (the page's and the native programs') for the same random
// seed and engine state (the table's size and the commands since it was last emptied).
//   import {LEVELS, createRandom, chooseMove} from './levels.js';
//   const {move, info} = await chooseMove(engine, 'startpos moves e2e4', 3, {random});
// engine: anything with send(command) and onLine(listener) -> unsubscribe (a Zekora instance,
// or a native program behind a pipe).
import {parseInfo} from './index.js';

// Full strength: the engine's own choice after a search of this many nodes.
const FULL_NODES = 1_000_000;

// A search ends at the first check of its node count past the limit; checks come this often.
const CHECK = 1024;

// How each level chooses. {nodes, jitter}: one search of about that many nodes (the limit
// drawn within +-jitter of it, so that games differ), the engine's move. {depth | child,
// sigma}: every legal move searched in the position after it, to that depth or with that many
// nodes (fewer where the moves are so many that all of them would cost more than full
// strength's one search), and the move with the best score after Gaussian noise of sigma
// centipawns is added to each: shallow sight misses deeper tactics, the noise makes small and
// moderate errors common and large ones rare.
const PLAY = [
  {depth: 1, sigma: 150},
  {depth: 1, sigma: 75},
  {depth: 1, sigma: 50},
  {depth: 2, sigma: 50},
  {depth: 3, sigma: 50},
  {child: 2000, sigma: 30},
  {child: 8000, sigma: 18},
  {nodes: 8_000, jitter: 0.3},
  {nodes: 30_000, jitter: 0.3},
  {nodes: 150_000, jitter: 0.3},
  {nodes: FULL_NODES, jitter: 0},
];

// The ratings measured by tools/calibrate-levels.mjs (see the README's table), to 50 points;
// interim, from 24 games a level (the first: a guess).
const RATINGS = [600, 1000, 1150, 1400, 1500, 1650, 1800, 1850, 2000, 2100, 2300];

const DESCRIPTIONS = [
  'a beginner: looks one move ahead, and often leaves a piece hanging',
  'looks one move ahead, often misjudges it',
  'looks one move ahead, misjudges it now and then',
  'looks two moves ahead, misjudges them now and then',
  'sees simple tactics, still errs',
  'sees short tactics, errs now and then',
  'solid, with occasional inaccuracies',
  'a quick search of 8 000 nodes',
  'a short search of 30 000 nodes',
  'a search of 150 000 nodes',
  'full strength: a search of a million nodes',
];

export const LEVELS = PLAY.map((play, i) => ({
  level: i + 1,
  label: RATINGS[i] ? `Level ${i + 1}, about ${RATINGS[i]}` : `Level ${i + 1}`,
  rating: RATINGS[i],
  description: DESCRIPTIONS[i],
  // The most nodes the level searches for one move, all its searches together.
  nodes: play.nodes ? Math.ceil(play.nodes * (1 + play.jitter)) : FULL_NODES,
}));
LEVELS.at(-1).nodes = FULL_NODES;

// A repeatable source of numbers in [0, 1) (mulberry32) from a number or a string.
export function createRandom(seed = Date.now() ^ (Math.random() * 2 ** 32)) {
  let state = 0x9e3779b9;
  for (const c of String(seed)) state = Math.imul(state ^ c.charCodeAt(0), 0x01000193);
  return () => {
    state = (state + 0x6d2b79f5) | 0;
    let t = Math.imul(state ^ (state >>> 15), 1 | state);
    t = (t + Math.imul(t ^ (t >>> 7), 61 | t)) ^ t;
    return ((t ^ (t >>> 14)) >>> 0) / 2 ** 32;
  };
}

// Chooses a move for the side to move in position (what follows "position ", e.g. 'startpos
// moves e2e4' or 'fen ... moves ...') at the given level (a LEVELS entry's number). Resolves
// {move, info}: the move in UCI notation and parseInfo of the search that chose it, with the
// score from the mover's side (null where no search was needed); null when signal aborted it,
// once the engine is idle. The engine must be idle when it is called. The engine's own lines
// meanwhile belong to the level's searches: below level 7 those of the positions after each
// move, scored for the other side; show the info resolved instead.
export async function chooseMove(engine, position, level, {random = createRandom(), signal} = {}) {
  const play = PLAY[level - 1];
  if (!play) throw new RangeError(`no level ${level}`);
  const moves = legalMoves(position);
  if (!moves.length) throw new RangeError(`no legal move in "${position}"`);
  if (play.nodes) {
    const nodes = Math.round(play.nodes * (1 + play.jitter * (2 * random() - 1)));
    const result = await search(engine, position, `nodes ${nodes}`, signal);
    return result && {move: result.bestmove, info: result.info};
  }
  if (moves.length === 1) return {move: moves[0], info: null};
  const limit = play.depth ? `depth ${play.depth}` :
      `nodes ${Math.max(1, Math.min(play.child, Math.floor(FULL_NODES / moves.length) - CHECK))}`;
  const base = position.trim().replace(/\s+moves$/, '');
  const after = base.includes(' moves ') ? base + ' ' : base + ' moves ';
  let best = null;
  for (const move of moves) {
    const result = await search(engine, after + move, limit, signal);
    if (!result) return null;
    const score = -centipawns(result.info?.score);
    const noisy = score + play.sigma * gaussian(random);
    if (!best || noisy > best.noisy) best = {move, noisy, info: result.info};
  }
  const {move, info} = best;
  return {move, info: info && {...info, depth: info.depth + 1, score: moverScore(info.score),
                               pv: [move, ...(info.pv ?? [])]}};
}

// One search with the given limit: {bestmove, info} (info: the last line with a score), or null
// if signal aborted it (after "stop" and its answer).
function search(engine, position, limit, signal) {
  if (signal?.aborted) return Promise.resolve(null);
  return new Promise((resolve) => {
    let info = null;
    const abort = () => engine.send('stop');
    signal?.addEventListener('abort', abort);
    const off = engine.onLine((line) => {
      if (line.startsWith('bestmove')) {
        off();
        signal?.removeEventListener('abort', abort);
        resolve(signal?.aborted ? null : {bestmove: line.split(/\s+/)[1], info});
      } else {
        const parsed = parseInfo(line);
        if (parsed?.score) info = parsed;
      }
    });
    engine.send(`position ${position}`);
    engine.send(`go ${limit}`);
  });
}

// Mate scores beyond every evaluation, a faster mate higher.
function centipawns(score) {
  if (!score) return 0;
  if (score.mate === undefined) return score.cp;
  return score.mate > 0 ? 100000 - score.mate : -100000 - score.mate;
}

// A score of the position after a move, from the side that made it.
function moverScore(score) {
  if (!score) return score;
  if (score.mate === undefined) return {cp: -score.cp};
  return {mate: score.mate > 0 ? -score.mate : 1 - score.mate};
}

function gaussian(random) {
  return Math.sqrt(-2 * Math.log(1 - random())) * Math.cos(2 * Math.PI * random());
}

// The rules, as far as a list of legal moves needs them: a 0x88 board of FEN letters.
const START = 'rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1';
const KNIGHT = [33, 31, 18, 14, -14, -18, -31, -33];
const KING = [17, 16, 15, 1, -1, -15, -16, -17];
const DIAGONAL = [17, 15, -15, -17];
const STRAIGHT = [16, 1, -1, -16];
const off = (square) => square & 0x88;
const isWhite = (piece) => piece < 'a';
const square = (name) => (name.charCodeAt(1) - 49) * 16 + name.charCodeAt(0) - 97;
const name = (sq) => String.fromCharCode(97 + (sq & 7), 49 + (sq >> 4));

// The legal moves in UCI notation after "position " text; throws on text it cannot read or a
// move that is not legal.
function legalMoves(position) {
  const words = position.trim().split(/\s+/);
  const movesAt = words.indexOf('moves');
  const setup = movesAt < 0 ? words : words.slice(0, movesAt);
  let board;
  if (setup[0] === 'startpos' && setup.length === 1) board = readFen(START);
  else if (setup[0] === 'fen') board = readFen(setup.slice(1).join(' '));
  else throw new RangeError(`cannot read position "${position}"`);
  for (const move of movesAt < 0 ? [] : words.slice(movesAt + 1)) {
    const found = generate(board).find((m) => m.text === move);
    if (!found) throw new RangeError(`illegal move ${move} in "${position}"`);
    board = found.after;
  }
  return generate(board).map((m) => m.text);
}

function readFen(fen) {
  const [placement, side, castling = '-', ep = '-'] = fen.split(' ');
  const squares = new Array(128).fill('');
  const ranks = placement.split('/');
  if (ranks.length !== 8 || !/^[wb]$/.test(side)) throw new RangeError(`cannot read FEN "${fen}"`);
  ranks.forEach((text, i) => {
    let file = 0;
    for (const c of text) {
      if (/[1-8]/.test(c)) file += Number(c);
      else if (/[pnbrqkPNBRQK]/.test(c) && file < 8) squares[(7 - i) * 16 + file++] = c;
      else throw new RangeError(`cannot read FEN "${fen}"`);
    }
  });
  return {squares, white: side === 'w', castling: castling.replace('-', ''),
          ep: /^[a-h][36]$/.test(ep) ? square(ep) : -1};
}

function attacked(squares, sq, byWhite) {
  const by = (piece, kinds) => piece && isWhite(piece) === byWhite && kinds.includes(piece.toLowerCase());
  for (const d of byWhite ? [-15, -17] : [15, 17]) {
    if (!off(sq + d) && squares[sq + d] === (byWhite ? 'P' : 'p')) return true;
  }
  for (const [steps, kinds, slides] of [[KNIGHT, 'n', false], [KING, 'k', false],
                                        [DIAGONAL, 'bq', true], [STRAIGHT, 'rq', true]]) {
    for (const d of steps) {
      for (let to = sq + d; !off(to); to += d) {
        if (by(squares[to], kinds)) return true;
        if (squares[to] || !slides) break;
      }
    }
  }
  return false;
}

function generate(board) {
  const {squares, white} = board;
  const moves = [];
  const add = (from, to, promotion = '') => {
    const after = play(board, from, to, promotion);
    const king = after.squares.indexOf(white ? 'K' : 'k');
    if (king < 0 || !attacked(after.squares, king, !white)) {
      moves.push({text: name(from) + name(to) + promotion, after});
    }
  };
  const enemy = (to) => squares[to] && isWhite(squares[to]) !== white;
  for (let from = 0; from < 120; ++from) {
    const piece = squares[from];
    if (off(from) || !piece || isWhite(piece) !== white) continue;
    const kind = piece.toLowerCase();
    if (kind === 'p') {
      const up = white ? 16 : -16;
      const pawnTo = (to) => {
        if ((to >> 4) % 7 === 0) for (const p of 'qrbn') add(from, to, p);
        else add(from, to);
      };
      if (!squares[from + up]) {
        pawnTo(from + up);
        if ((from >> 4) === (white ? 1 : 6) && !squares[from + 2 * up]) add(from, from + 2 * up);
      }
      for (const to of [from + up - 1, from + up + 1]) {
        if (!off(to) && (enemy(to) || to === board.ep)) pawnTo(to);
      }
      continue;
    }
    const slides = kind !== 'n' && kind !== 'k';
    const steps = kind === 'n' ? KNIGHT : kind === 'b' ? DIAGONAL : kind === 'r' ? STRAIGHT : KING;
    for (const d of steps) {
      for (let to = from + d; !off(to); to += d) {
        if (squares[to] && !enemy(to)) break;
        add(from, to);
        if (squares[to] || !slides) break;
      }
    }
  }
  // Castling: king and rook at home, the squares between empty, the king's path not attacked.
  const home = white ? 0 : 0x70;
  const [king, rook] = white ? ['K', 'R'] : ['k', 'r'];
  if (squares[home + 4] === king && !attacked(squares, home + 4, !white)) {
    for (const [right, rookAt, empty, path] of [['k', 7, [5, 6], [5, 6]], ['q', 0, [1, 2, 3], [3, 2]]]) {
      if (board.castling.includes(white ? right.toUpperCase() : right) &&
          squares[home + rookAt] === rook && empty.every((f) => !squares[home + f]) &&
          path.every((f) => !attacked(squares, home + f, !white))) {
        add(home + 4, home + path[1]);
      }
    }
  }
  return moves;
}

// A move from or to a king's or rook's home square ends the castling rights that need it.
const LOST = {0: 'Q', 4: 'KQ', 7: 'K', 0x70: 'q', 0x74: 'kq', 0x77: 'k'};

// The board after a move (castling is the king's two-square move).
function play(board, from, to, promotion) {
  const squares = board.squares.slice();
  const piece = squares[from];
  const kind = piece.toLowerCase();
  squares[to] = promotion ? (board.white ? promotion.toUpperCase() : promotion) : piece;
  squares[from] = '';
  if (kind === 'p' && to === board.ep) squares[to + (board.white ? -16 : 16)] = '';
  if (kind === 'k' && Math.abs(to - from) === 2) {
    const [rookFrom, rookTo] = to > from ? [from + 3, from + 1] : [from - 4, from - 1];
    squares[rookTo] = squares[rookFrom];
    squares[rookFrom] = '';
  }
  const castling = [...board.castling]
      .filter((r) => !(LOST[from] ?? '').includes(r) && !(LOST[to] ?? '').includes(r)).join('');
  const ep = kind === 'p' && Math.abs(to - from) === 32 ? (from + to) / 2 : -1;
  return {squares, white: !board.white, castling, ep};
}
