// SPDX-License-Identifier: GPL-3.0-or-later
// The playing levels (web/levels.js) under Node, driving the native engine: every level's move
// is legal and costs no more nodes than full strength's; a seed repeats a game and other seeds
// vary the lower levels; full strength is the engine's own choice; a mate in one is never
// missed and its score is the mover's; an abort leaves the engine idle.
//   node tests/web/levels_test.mjs NATIVE-PROGRAM
// Exits 77 (skipped) where the npm modules of web/ (chess.js) are missing.
import assert from 'node:assert/strict';
import {checker, require} from './harness.mjs';
import {startEngine} from '../../tools/uci-engine.mjs';

let Chess;
try {
  ({Chess} = require('chess.js'));
} catch {
  console.log('skipped: no chess.js (npm ci --prefix web)');
  process.exit(77);
}
const {LEVELS, chooseMove, createRandom} = await import('../../web/levels.js');
const [native] = process.argv.slice(2);
const {check, exit} = checker();
const start = () => startEngine(native, {options: {Hash: 16}});
const full = LEVELS.at(-1);

const positions = [
  'startpos',
  'startpos moves e2e4 c7c5 g1f3 d7d6 d2d4 c5d4 f3d4 g8f6 b1c3 a7a6',
  // Black to move, a rook and a passed pawn each; captures and promotion near.
  'fen 8/1P3k2/8/4p3/3r4/8/5PK1/1R6 b - - 0 50',
];

// The nodes of every search the engine answers: the last "nodes" before each "bestmove".
function countNodes(engine) {
  let last = 0;
  const counter = {total: 0, searches: 0};
  engine.onLine((line) => {
    const nodes = / nodes (\d+)/.exec(line);
    if (nodes) last = Number(nodes[1]);
    if (line.startsWith('bestmove')) {
      counter.total += last;
      counter.searches++;
      last = 0;
    }
  });
  return counter;
}

function legal(position, move) {
  const [, fen, moves = ''] = /^(?:fen (.*?)|startpos)(?: moves (.*))?$/.exec(position);
  const chess = new Chess(fen);
  for (const m of moves.split(' ').filter(Boolean)) {
    chess.move({from: m.slice(0, 2), to: m.slice(2, 4), promotion: m[4]});
  }
  return chess.moves({verbose: true}).some((m) => m.lan === move);
}

await check('every level plays a legal move, searching no more nodes than full strength', async () => {
  const engine = await start();
  const counter = countNodes(engine);
  for (const position of positions) {
    const used = [];
    for (const {level} of LEVELS) {
      counter.total = 0;
      const started = Date.now();
      const {move} = await chooseMove(engine, position, level, {random: createRandom(level)});
      assert.ok(legal(position, move), `level ${level} played ${move} in ${position}`);
      used.push({level, nodes: counter.total, ms: Date.now() - started});
    }
    const fullNodes = used.at(-1).nodes;
    for (const u of used) {
      assert.ok(u.nodes <= fullNodes, `level ${u.level}: ${u.nodes} nodes, full ${fullNodes}`);
    }
    console.log(`  ${position.slice(0, 40)}: ` + used.map((u) => `${u.nodes}/${u.ms}ms`).join(' '));
  }
  await assert.rejects(chooseMove(engine, 'startpos moves e2e5', 1), RangeError);
  await assert.rejects(chooseMove(engine, 'fen 7k/5Q2/6K1/8/8/8/8/8 b - - 0 1', 1), RangeError);
  await engine.quit();
});

await check('a seed repeats the moves; other seeds vary the lower levels', async () => {
  // Two fresh engines given the same commands hold the same table, so they search alike.
  const play = async (seed) => {
    const engine = await start();
    const random = createRandom(seed);
    const moves = [];
    for (const {level} of LEVELS.slice(0, -1)) {
      moves.push((await chooseMove(engine, positions[1], level, {random})).move);
    }
    await engine.quit();
    return moves;
  };
  const first = await play('a');
  assert.deepEqual(await play('a'), first);
  // Levels 1 to 7 choose among all moves with noise; the searches above them vary only by
  // their node limit, which changes the move now and then.
  const engine = await start();
  for (const level of [1, 2, 3, 4, 5, 6, 7]) {
    const moves = new Set();
    for (let seed = 0; seed < 6; ++seed) {
      moves.add((await chooseMove(engine, 'startpos', level, {random: createRandom(seed)})).move);
    }
    assert.ok(moves.size >= 2, `level ${level} always played ${[...moves]}`);
  }
  await engine.quit();
});

await check('full strength plays the engine\'s own move for the same node limit', async () => {
  for (const position of positions) {
    const a = await start();
    const b = await start();
    const {move, info} = await chooseMove(a, position, full.level);
    b.send(`position ${position}`);
    assert.equal(move, await b.go(`nodes ${full.nodes}`));
    assert.equal(info.pv[0], move);
    await Promise.all([a.quit(), b.quit()]);
  }
});

await check('every level mates in one, and scores it as the mover\'s mate', async () => {
  const engine = await start();
  const position = 'fen 6k1/5ppp/8/8/8/8/5PPP/R5K1 w - - 0 1';
  for (const {level} of LEVELS) {
    const {move, info} = await chooseMove(engine, position, level, {random: createRandom(level)});
    assert.equal(move, 'a1a8', `level ${level}`);
    assert.deepEqual(info.score, {mate: 1}, `level ${level}`);
  }
  await engine.quit();
});

await check('an aborted choice resolves null and leaves the engine idle', async () => {
  const engine = await start();
  for (const level of [5, full.level]) {
    // Aborted at the engine's first line, in the middle of the choice.
    const controller = new AbortController();
    const off = engine.onLine(() => controller.abort());
    const choice = chooseMove(engine, positions[1], level, {signal: controller.signal});
    assert.equal(await choice, null);
    off();
    await engine.until('readyok', 'isready');
    // The next search is answered by itself, not by a late answer of the aborted one.
    const {move} = await chooseMove(engine, 'fen 6k1/5ppp/8/8/8/8/5PPP/R5K1 w - - 0 1', level);
    assert.equal(move, 'a1a8');
  }
  await engine.quit();
});

exit();
