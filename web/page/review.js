// SPDX-License-Identifier: GPL-3.0-or-later
// The review of a game: Zekora searches every position to the same number of nodes (so that a
// review gives the same marks in every browser), and each move that lost enough of the
// evaluation, seen from its player's side, is marked, with the move Zekora preferred.
import {sanLine} from './game.js';
import {search, whiteView} from './engine.js';

export const REVIEW_NODES = 100000;
// Centipawns lost, the worst first.
export const THRESHOLDS = [['blunder', 300], ['mistake', 100], ['inaccuracy', 50]];
// Evaluations are capped here, mates too: in a won position only a move that throws the win
// away counts, not one that wins a little more slowly.
const CAP = 1000;

// The review under way, if any: game, done and total (positions), and the search; the
// review of a game that has not changed since is kept as game.review.
export class Reviews {
  #app;
  running = null;

  // app: {engine, render(), failed(error)}
  constructor(app) { this.#app = app; }

  async start(game) {
    const app = this.#app;
    if (!app.engine || this.running || !game.length) return;
    const run = this.running = {game, done: 0, total: game.length + 1};
    run.search = reviewGame(app.engine, game, (done) => {
      run.done = done;
      app.render();
    });
    app.render();
    const result = await run.search.catch(app.failed);
    if (this.running !== run) return;
    this.running = null;
    if (result && result.key === game.position(game.length)) game.review = result;
    app.render();
  }

  cancel() {
    this.running?.search.stop();
    this.running = null;
    this.#app.render();
  }
}

// Reviews game on engine, calling onProgress(done, total) after each position. Resolves with
// {key, evals, marks}, or null if it was stopped. evals: per ply, White's view in centipawns
// (capped); marks: per ply of a marked move, {kind, loss, best} (best in SAN).
function reviewGame(engine, game, onProgress) {
  const total = game.length + 1;
  // From an empty table, so that the same game always gets the same review.
  engine.newGame();
  return engine.run(async (zekora, signal) => {
    const evals = [];
    const best = [];
    for (let ply = 0; ply < total && !signal.aborted; ++ply) {
      const end = game.end(ply);
      if (end) {
        evals[ply] = end.winner ? (end.winner === 'w' ? CAP : -CAP) : 0;
      } else {
        const answer = await search(zekora, game.position(ply), `nodes ${REVIEW_NODES}`, signal);
        best[ply] = answer.bestmove;
        evals[ply] = answer.info ? centipawns(whiteView(answer.info.score, game.turn(ply)))
                                 : evals[ply - 1] ?? 0;
      }
      if (!signal.aborted) onProgress(ply + 1, total);
    }
    return {key: game.position(game.length), evals, marks: judge(game, evals, best)};
  });
}

function centipawns(score) {
  if (score.mate !== undefined) return score.mate > 0 ? CAP : -CAP;
  return Math.max(-CAP, Math.min(CAP, score.cp));
}

function judge(game, evals, best) {
  const marks = [];
  game.moves.forEach((move, i) => {
    if (move.lan === best[i] || best[i] === undefined) return;
    const loss = (move.color === 'w' ? 1 : -1) * (evals[i] - evals[i + 1]);
    const kind = THRESHOLDS.find(([, at]) => loss >= at)?.[0];
    if (kind) marks[i + 1] = {kind, loss, best: sanLine(move.before, [best[i]])[0]};
  });
  return marks;
}

// How many of each kind each side made: {w: {inaccuracy, mistake, blunder}, b: {...}}.
export function tally(game, marks) {
  const counts = {w: {}, b: {}};
  for (const side of ['w', 'b']) for (const [kind] of THRESHOLDS) counts[side][kind] = 0;
  marks.forEach((mark, ply) => { if (mark) ++counts[game.moves[ply - 1].color][mark.kind]; });
  return counts;
}

const SVG = 'http://www.w3.org/2000/svg';
const svgElement = (name, attributes) => {
  const element = document.createElementNS(SVG, name);
  for (const [key, value] of Object.entries(attributes)) element.setAttribute(key, value);
  return element;
};

// The evaluation over the game as an SVG graph: White's share above the dark ground, a line
// at each marked move in its colour, and one at the move on show. onSelect(ply) on a click.
export function drawGraph(svg, review, ply, onSelect) {
  const last = review.evals.length - 1;
  const width = Math.max(last, 1);
  const y = (cp) => 50 - 50 * Math.tanh(cp / 400);
  svg.setAttribute('viewBox', `0 0 ${width} 100`);
  svg.setAttribute('preserveAspectRatio', 'none');
  const points = review.evals.map((cp, i) => `${i},${y(cp).toFixed(2)}`);
  const items = [
    svgElement('rect', {class: 'ground', x: 0, y: 0, width, height: 100}),
    svgElement('path', {class: 'white', d: `M0,100 L${points.join(' L')} L${last},100 Z`}),
    svgElement('line', {class: 'middle', x1: 0, x2: width, y1: 50, y2: 50}),
  ];
  review.marks.forEach((mark, i) => {
    if (mark) items.push(svgElement('line', {class: mark.kind, x1: i, x2: i, y1: 0, y2: 100}));
  });
  items.push(svgElement('line', {class: 'current', x1: ply, x2: ply, y1: 0, y2: 100}));
  svg.replaceChildren(...items);
  svg.onclick = (event) => {
    const box = svg.getBoundingClientRect();
    onSelect(Math.round(((event.clientX - box.left) / box.width) * width));
  };
}
