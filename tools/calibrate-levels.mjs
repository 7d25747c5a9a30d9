#!/usr/bin/env node
// SPDX-License-Identifier: GPL-3.0-or-later
// Measures the rating of each playing level of web/levels.js (a benchmark): each level plays
// games against Debian's stockfish 15.1 with UCI_LimitStrength on and UCI_Elo set, or, below
// Stockfish's lowest Elo (1350), against another level already rated that way. The native
// engine plays the levels (their node-limited searches give the page's moves); chess.js keeps
// the rules. Every game goes to a log as one JSON line as soon as it ends; a second run with
// the same log plays only the games still missing, and --report prints the table from the log.
//   npm ci --prefix web
//   node tools/calibrate-levels.mjs [--levels 1,2,3] [--games 100] [--concurrency 1]
//        [--seed 1] [--tc 5+0.05] [--tc-low 2+0.02] [--log tools/levels-calibration.jsonl]
//        [--engine build/bin/zekora64-popcnt] [--stockfish /usr/games/stockfish] [--report]
// Openings: the list below, each played with both colours against the same opponent. Games end
// by chess.js's rules (mate, stalemate, threefold repetition, fifty moves, insufficient
// material) or as a draw after MAX_PLIES; Stockfish's clock is kept but never flagged.
import {appendFileSync, existsSync, readFileSync} from 'node:fs';
import {createRequire} from 'node:module';
import {dirname, join} from 'node:path';
import {fileURLToPath} from 'node:url';
import {parseArgs} from 'node:util';

import {LEVELS, chooseMove, createRandom} from '../web/levels.js';
import {startEngine} from './uci-engine.mjs';

const root = join(dirname(fileURLToPath(import.meta.url)), '..');
const {Chess} = createRequire(join(root, 'web/package.json'))('chess.js');

// Who a level plays next: Stockfish 100 below or above (alternately, by opening pair) the
// level's rating as measured so far in the log (at first, its rating in LEVELS, or else the
// guess below), within UCI_Elo's range; a level measured below 1250 plays the next level up
// instead, rated by its own games.
const GUESS = [600, 1000, 1150, 1400, 1500, 1650, 1800, 1850, 2000, 2100, 2300];
const MAX_PLIES = 400;
const HASH_MB = 16; // as on the page
// Stockfish's clock counts nodes, not the wall clock, so the machine's load cannot weaken it:
// its time control holds as on a machine where it searches this many nodes a millisecond.
const NODES_PER_MS = 1000;
// At limited strength Stockfish picks its move once its search reaches a depth that grows
// with UCI_Elo (7 plies at 2000, within a few thousand nodes), and searching on changes
// nothing; up to this Elo it gets the shorter clock (--tc-low), which still reaches that depth.
const LOW_ELO = 2000;

const OPENINGS = [
  'e4 e5 Nf3 Nc6 Bb5 a6', 'e4 e5 Nf3 Nc6 Bc4 Bc5', 'e4 c5 Nf3 d6 d4 cxd4 Nxd4 Nf6',
  'e4 c5 Nc3 Nc6 g3', 'e4 e6 d4 d5 Nc3 Bb4', 'e4 c6 d4 d5 e5 Bf5', 'e4 d5 exd5 Qxd5 Nc3 Qa5',
  'e4 Nf6 e5 Nd5 d4 d6', 'e4 d6 d4 Nf6 Nc3 g6', 'd4 d5 c4 e6 Nc3 Nf6', 'd4 d5 c4 c6 Nf3 Nf6',
  'd4 d5 c4 dxc4 e3', 'd4 Nf6 c4 g6 Nc3 Bg7 e4 d6', 'd4 Nf6 c4 e6 Nc3 Bb4',
  'd4 Nf6 c4 c5 d5 b5', 'd4 f5 g3 Nf6 Bg2', 'c4 e5 Nc3 Nf6 g3', 'c4 c5 Nf3 Nc6 Nc3',
  'Nf3 d5 g3 Nf6 Bg2', 'e4 e5 f4 exf4 Nf3', 'e4 e5 Nf3 Nf6 Nxe5 d6', 'd4 Nf6 Bg5 e6 e4',
  'e4 e5 Nc3 Nf6 f4', 'd4 d5 Bf4 Nf6 e3 c5', 'b3 e5 Bb2 Nc6', 'e4 c5 Nf3 e6 d4 cxd4 Nxd4 a6',
].map((san) => {
  const chess = new Chess();
  return san.split(' ').map((move) => {
    const {from, to, promotion = ''} = chess.move(move);
    return from + to + promotion;
  });
});

const {values: options} = parseArgs({options: {
  levels: {type: 'string', default: LEVELS.map((l) => l.level).join(',')},
  games: {type: 'string', default: '100'},
  concurrency: {type: 'string', default: '1'},
  seed: {type: 'string', default: '1'},
  tc: {type: 'string', default: '5+0.05'},
  'tc-low': {type: 'string', default: '2+0.02'},
  log: {type: 'string', default: join(root, 'tools/levels-calibration.jsonl')},
  engine: {type: 'string', default: join(root, 'build/bin/zekora64-popcnt')},
  stockfish: {type: 'string', default: '/usr/games/stockfish'},
  report: {type: 'boolean', default: false},
}});

function readLog() {
  if (!existsSync(options.log)) return [];
  return readFileSync(options.log, 'utf8').split('\n').filter(Boolean).map((l) => JSON.parse(l));
}

// The rating at which the expected score against these opponents' ratings equals score
// (bisection; the expected score rises with the rating).
function ratingFor(opponentRatings, score) {
  let low = -2000, high = 6000;
  for (let i = 0; i < 60; ++i) {
    const mid = (low + high) / 2;
    const expected = opponentRatings.reduce((sum, r) => sum + 1 / (1 + 10 ** ((r - mid) / 400)), 0);
    if (expected < score) low = mid;
    else high = mid;
  }
  return (low + high) / 2;
}

// Per level: games, wins/draws/losses, score, rating and 95% margin (the score's normal
// interval carried through ratingFor; for a level rated against another level, that level's
// margin is added in quadrature). Levels rated against levels are resolved after their anchors.
function summarise(games) {
  const byLevel = new Map();
  for (const game of games) {
    if (!byLevel.has(game.level)) byLevel.set(game.level, []);
    byLevel.get(game.level).push(game);
  }
  const rows = new Map();
  for (let pass = 0; pass < LEVELS.length + 1; ++pass) {
    for (const [level, list] of byLevel) {
      if (rows.has(level)) continue;
      const anchors = list.map((g) => g.opponent.startsWith('level:') ?
          rows.get(Number(g.opponent.slice(6))) : {rating: Number(g.opponent.slice(3)), margin: 0});
      if (anchors.some((a) => !a)) continue;
      const n = list.length;
      const results = list.map((g) => g.result);
      const total = results.reduce((a, b) => a + b, 0);
      const mean = total / n;
      const sd = Math.sqrt(results.reduce((a, x) => a + (x - mean) ** 2, 0) / Math.max(1, n - 1));
      const ratings = anchors.map((a) => a.rating);
      const clamp = (s) => Math.min(n - 0.25, Math.max(0.25, s)); // no infinite ratings
      // A score without spread (all won, say) still has the uncertainty of its games.
      const p = clamp(total) / n;
      const half = 1.96 * Math.max(sd, Math.sqrt(p * (1 - p))) / Math.sqrt(n);
      const rating = ratingFor(ratings, clamp(total));
      const spread = (ratingFor(ratings, clamp((mean + half) * n)) -
                      ratingFor(ratings, clamp((mean - half) * n))) / 2;
      const anchorMargin = Math.max(...anchors.map((a) => a.margin));
      rows.set(level, {
        level, games: n, rating, margin: Math.hypot(spread, anchorMargin),
        wins: results.filter((x) => x === 1).length, draws: results.filter((x) => x === 0.5).length,
        losses: results.filter((x) => x === 0).length, score: mean,
        opponents: [...new Set(list.map((g) => g.opponent))].join(' '),
        clocks: [...new Set(list.map((g) => g.tc).filter(Boolean))].join(', '),
        first: list.map((g) => g.date).sort()[0].slice(0, 10),
        last: list.map((g) => g.date).sort().at(-1).slice(0, 10),
      });
    }
  }
  return [...rows.values()].sort((a, b) => a.level - b.level);
}

// A Markdown table, as in the README.
function printReport(games) {
  console.log(`Stockfish's clock: seconds + increment, at ${NODES_PER_MS} nodes a millisecond\n`);
  console.log('| Level | How it plays | Rating | 95% | Games (+ = -) | Score | Opponents | Clock | Dates |');
  console.log('|---|---|---|---|---|---|---|---|---|');
  for (const r of summarise(games)) {
    const elos = r.opponents.split(' ').filter((o) => o.startsWith('sf:')).map((o) => Number(o.slice(3)));
    const opponents = [
      ...r.opponents.split(' ').filter((o) => o.startsWith('level:')).map((o) => `level ${o.slice(6)}`),
      ...elos.length ? [`Stockfish ${Math.min(...elos)}` +
                        (elos.length > 1 ? ` to ${Math.max(...elos)}` : '')] : [],
    ].join(', ');
    const dates = r.first + (r.last !== r.first ? ' to ' + r.last : '');
    console.log(`| ${r.level} | ${LEVELS[r.level - 1].description} | ${Math.round(r.rating)} |` +
                ` ±${Math.round(r.margin)} | ${r.games} (${r.wins} ${r.draws} ${r.losses}) |` +
                ` ${(100 * r.score).toFixed(1)}% | ${opponents} | ${r.clocks || '-'} | ${dates} |`);
  }
}

// A player: a level of Zekora (a fresh engine each game) or Stockfish at an Elo, its clock
// kept by this tool.
async function startPlayer(spec, seed) {
  const [kind, value] = spec.split(':');
  if (kind === 'level') {
    const engine = await startEngine(options.engine, {options: {Hash: HASH_MB}});
    const random = createRandom(seed);
    return {
      async move(position) {
        return (await chooseMove(engine, position, Number(value), {random})).move;
      },
      quit: () => engine.quit(),
    };
  }
  const tc = Number(value) <= LOW_ELO ? options['tc-low'] : options.tc;
  const [base, increment] = tc.split('+').map((s) => Math.round(Number(s) * 1000));
  const engine = await startEngine(options.stockfish, {options: {
    Threads: 1, Hash: HASH_MB, nodestime: NODES_PER_MS, UCI_LimitStrength: 'true', UCI_Elo: value}});
  engine.send('ucinewgame');
  let clock = base;
  const stats = {moves: 0, depth: 0, nodes: 0, overtime: 0};
  let depth = 0;
  let nodes = 0;
  engine.onLine((line) => {
    const d = /^info depth (\d+)/.exec(line);
    if (d) depth = Number(d[1]);
    const n = / nodes (\d+)/.exec(line);
    if (n) nodes = Number(n[1]);
  });
  return {
    stats,
    tc,
    async move(position) {
      engine.send(`position ${position}`);
      const time = Math.max(Math.round(clock), 1);
      const move = await engine.go(`wtime ${time} btime ${time} winc ${increment} binc ${increment}`);
      // Stockfish keeps this clock itself once a game has begun; it is kept here to be told.
      clock += increment - nodes / NODES_PER_MS;
      if (clock <= 0) stats.overtime++;
      stats.moves++;
      stats.depth += depth;
      stats.nodes += nodes;
      return move;
    },
    quit: () => engine.quit(),
  };
}

function chooseOpponent(level, pair, games) {
  const row = summarise(games).find((r) => r.level === level && r.games >= 4);
  const rating = row ? row.rating : LEVELS[level - 1].rating ?? GUESS[level - 1];
  if (rating < 1250 && level < LEVELS.length) return `level:${level + 1}`;
  const elo = Math.round((rating + (pair % 2 ? 100 : -100)) / 50) * 50;
  return `sf:${Math.min(2850, Math.max(1350, elo))}`;
}

async function playGame(level, index, games) {
  const pair = Math.floor(index / 2);
  // Both colours of an opening against the same opponent.
  const partner = games.find((g) => g.level === level && g.game === (index ^ 1));
  const opponent = partner ? partner.opponent : chooseOpponent(level, pair, games);
  const opening = pair % OPENINGS.length;
  const levelIsWhite = index % 2 === 0;
  const seed = `${options.seed}:${level}:${index}`;
  const us = await startPlayer(`level:${level}`, seed);
  const them = await startPlayer(opponent, seed + ':opponent');
  const chess = new Chess();
  const moves = [];
  let reason = null;
  try {
    for (const move of OPENINGS[opening]) {
      chess.move({from: move.slice(0, 2), to: move.slice(2, 4)});
      moves.push(move);
    }
    while (!reason) {
      const player = (chess.turn() === 'w') === levelIsWhite ? us : them;
      const move = await player.move('startpos moves ' + moves.join(' '));
      chess.move({from: move.slice(0, 2), to: move.slice(2, 4), promotion: move[4]});
      moves.push(move);
      if (chess.isCheckmate()) reason = 'mate';
      else if (chess.isStalemate()) reason = 'stalemate';
      else if (chess.isInsufficientMaterial()) reason = 'material';
      else if (chess.isThreefoldRepetition()) reason = 'repetition';
      else if (chess.isDrawByFiftyMoves()) reason = 'fifty moves';
      else if (moves.length >= MAX_PLIES) reason = 'length';
    }
  } finally {
    await Promise.all([us.quit(), them.quit()]);
  }
  const levelWon = reason === 'mate' && (chess.turn() === 'w') !== levelIsWhite;
  const levelLost = reason === 'mate' && !levelWon;
  const s = them.stats;
  return {
    level, play: LEVELS[level - 1].description, game: index, opponent, white: levelIsWhite, opening,
    result: levelWon ? 1 : levelLost ? 0 : 0.5, reason, plies: moves.length,
    date: new Date().toISOString(), tc: them.tc,
    sf: s && {depth: s.depth / s.moves, nodes: Math.round(s.nodes / s.moves), overtime: s.overtime},
    moves: moves.join(' '),
  };
}

async function main() {
  const done = readLog();
  if (options.report) {
    printReport(done);
    return;
  }
  const have = new Set(done.map((g) => `${g.level}:${g.game}`));
  // Round by round, so that a run cut short has as many games for each level.
  const queue = [];
  const levels = options.levels.split(',').map(Number);
  for (let i = 0; i < Number(options.games); ++i) {
    for (const level of levels) {
      if (!have.has(`${level}:${i}`)) queue.push([level, i]);
    }
  }
  const games = [...done];
  const worker = async () => {
    while (queue.length) {
      const [level, index] = queue.shift();
      const game = await playGame(level, index, games);
      appendFileSync(options.log, JSON.stringify(game) + '\n');
      games.push(game);
      console.log(`level ${level} game ${index} vs ${game.opponent} ` +
                  `(${game.white ? 'White' : 'Black'}): ${game.result} by ${game.reason}, ` +
                  `${game.plies} plies`);
    }
  };
  await Promise.all(Array.from({length: Number(options.concurrency)}, worker));
  printReport(games);
}

await main();
