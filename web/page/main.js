// SPDX-License-Identifier: GPL-3.0-or-later
// The page: a game against Zekora (play.js) and an analysis board (analysis.js), sharing one
// board, one move list and one engine, with reviews and the game's data. Everything shown is
// drawn again from the state by render(), so nothing of a finished search or an earlier game
// can linger on the page.
import {Analysis} from './analysis.js';
import {Board} from './board.js';
import {Engine} from './engine.js';
import {Game, numbered} from './game.js';
import {MoveList} from './moves.js';
import {Play, today} from './play.js';
import {REVIEW_NODES, Reviews, THRESHOLDS, drawGraph, tally} from './review.js';
import {loadState, saveState} from './storage.js';
import {LEVELS} from './zekora/levels.js';

const $ = (id) => document.getElementById(id);
const COLOURS = {w: 'White', b: 'Black'};

const saved = loadState();
const settings = {
  side: 'w',
  // A level most newcomers can beat.
  level: LEVELS[Math.min(2, LEVELS.length - 1)].level,
  showThinking: false,
  analyse: true,
  ...saved.settings,
};
if (!LEVELS.some((entry) => entry.level === settings.level)) settings.level = LEVELS[0].level;

let mode = saved.mode === 'analysis' ? 'analysis' : 'play';
let orientation = saved.orientation === 'b' ? 'b' : 'w';
// What the game, the analysis and the reviews need of the page.
const app = {
  engine: null,
  failure: null,
  get playing() { return mode === 'play'; },
  render: () => render(),
  // An engine that stopped working ends play and analysis with a message.
  failed(error) {
    app.failure = `Zekora's engine stopped: ${error.message}. Reload the page to start it again.`;
    render();
    return null;
  },
};
let play = (saved.play && Play.restore(app, saved.play, settings.level)) ??
    new Play(app, {level: settings.level});
// The menu shows Zekora's level in the game, and sets it.
settings.level = play.level;
const analysis = new Analysis(app, restoreGame(saved.analysis?.game) ?? new Game(),
                              () => renderEvaluation());
const reviews = new Reviews(app);

const board = new Board($('board'), onBoardMove);
const moveList = new MoveList($('moves'), (ply) => show(ply));

function restoreGame(data) {
  try {
    return data ? Game.load(data) : null;
  } catch {
    return null;
  }
}

const current = () => (mode === 'play' ? play.game : analysis.game);

function newGame({fen, player} = {}) {
  const side = player ?? (settings.side === 'random' ? (Math.random() < 0.5 ? 'w' : 'b')
                                                     : settings.side);
  play.pause();
  play = new Play(app, {game: new Game(fen), player: side, level: settings.level});
  orientation = side;
  reviews.cancel();
  app.engine?.newGame();
  mode = 'play';
  render();
  play.zekoraMoves();
}

// ---- What is shown ----

// Who may move on the board now: the player's colour, either side on the analysis board, or
// nobody.
function movable() {
  if (app.failure) return null;
  if (mode === 'play') return play.movable();
  return analysis.game.end() ? null : analysis.game.turn();
}

function statusText() {
  if (app.failure) return app.failure;
  if (mode === 'play') return play.status();
  const game = analysis.game;
  const end = game.end();
  if (end?.winner) return `Checkmate: ${COLOURS[end.winner]} wins`;
  if (end) return `Draw by ${end.reason}`;
  return `${COLOURS[game.turn()]} to move`;
}

function render() {
  const game = current();
  const analysing = mode === 'analysis';
  document.body.dataset.mode = mode;
  $('mode-play').setAttribute('aria-pressed', String(!analysing));
  $('mode-analysis').setAttribute('aria-pressed', String(analysing));
  $('play-controls').hidden = analysing;
  $('analysis-controls').hidden = !analysing;

  board.orientation = orientation;
  board.show(game.fen(), game.ply ? game.moves[game.ply - 1] : null, movable());
  moveList.render(game, game.review?.marks);
  // Announced when it changes, and only then.
  const status = statusText();
  if ($('status').textContent !== status) $('status').textContent = status;

  // The names by the board's edges: the player's side below, unless the board is flipped.
  const names = analysing ? {w: game.tags.White, b: game.tags.Black} : play.names();
  const name = (side) => (names[side] && names[side] !== '?' ? names[side] : '');
  $('name-bottom').textContent = name(orientation);
  $('name-top').textContent = name(orientation === 'w' ? 'b' : 'w');

  if (analysing) {
    renderEvaluation();
  } else {
    board.arrow(play.hinted);
    $('thinking').textContent = settings.showThinking ? play.thought() : '';
  }
  // Only hidden, so that the board keeps its size from one mode to the other.
  $('eval-bar').style.visibility = analysing ? 'visible' : 'hidden';

  $('takeback').disabled = !play.canTakeback;
  $('resign').disabled = !!play.game.outcome() || !play.game.length;
  $('hint').disabled = !play.canHint;
  $('analyse-game').disabled = $('analyse-this').disabled = !play.game.length;
  $('play-from-here').disabled = !!game.end();
  $('first').disabled = $('previous').disabled = game.ply === 0;
  $('next').disabled = $('latest').disabled = game.atEnd;
  $('side').value = settings.side;
  $('level').value = String(settings.level);
  $('show-thinking').checked = settings.showThinking;
  $('analyse').checked = settings.analyse;
  renderReview(game);
  renderData(game);

  // A page in the background leaves the processor alone.
  analysis.update(analysing && settings.analyse && !reviews.running && !app.failure &&
                  document.visibilityState !== 'hidden');
  saveState({settings, mode, orientation, play: play.save(), analysis: {game: analysis.game.save()}});
}

// The analysis board's evaluation: the bar, the score, depth and line, the arrow.
function renderEvaluation() {
  if (mode !== 'analysis') return;
  const shown = analysis.shown;
  const bar = $('eval-bar');
  bar.classList.toggle('flipped', orientation === 'b');
  bar.firstElementChild.style.height = `${((shown?.share ?? 0.5) * 100).toFixed(1)}%`;
  board.arrow(shown?.arrow);
  if (shown) {
    $('thinking').textContent = shown.text;
  } else {
    const waiting = settings.analyse && !app.failure && !analysis.game.end();
    $('thinking').textContent = !waiting ? '' : !app.engine ? 'Starting the engine…'
      : reviews.running ? 'The analysis waits for the review.' : 'Zekora analyses…';
  }
}

function renderReview(game) {
  const running = reviews.running;
  const mine = running?.game === game;
  $('review-progress').hidden = !mine;
  if (mine) {
    $('review-bar').max = running.total;
    $('review-bar').value = running.done;
    $('review-count').textContent = `Reviewing: ${running.done} of ${running.total} positions`;
  }
  const ended = mode === 'analysis' || game.outcome();
  $('review-start').hidden = mine || !!game.review;
  $('review-start').disabled = !app.engine || !!running || !game.length || !ended;
  $('review-start').title = ended ? '' : 'After the game';
  const result = game.review;
  $('graph').toggleAttribute('hidden', !result);
  $('review-note').textContent = result || mine
    ? `Each position searched to ${REVIEW_NODES.toLocaleString('en')} nodes. Marked: ` +
      THRESHOLDS.slice().reverse().map(([kind, at]) => `${kind} (${at} centipawns lost or more)`)
          .join(', ') + '; evaluations capped at ±10 pawns.'
    : '';
  if (!result) {
    $('review-summary').textContent = $('review-move').textContent = '';
    return;
  }
  drawGraph($('graph'), result, game.ply, (ply) => show(ply));
  const counts = tally(game, result.marks);
  const names = game === play.game ? {[play.player]: 'You', [play.player === 'w' ? 'b' : 'w']: 'Zekora'}
                                   : COLOURS;
  $('review-summary').textContent = ['w', 'b'].map((side) => `${names[side]}: ` +
      THRESHOLDS.slice().reverse().map(([kind]) => plural(counts[side][kind], kind)).join(', '))
      .join('. ') + '.';
  const mark = result.marks[game.ply];
  const move = game.moves[game.ply - 1];
  $('review-move').textContent = mark
    ? `${numbered(move.before, [move.san])} was ${/^[aeiou]/.test(mark.kind) ? 'an' : 'a'} ` +
      `${mark.kind} (${(mark.loss / 100).toFixed(1)} pawns lost); Zekora preferred ${mark.best}.`
    : '';
}

const plural = (count, word) =>
  `${count} ${count === 1 ? word : word.replace(/y$/, 'ie') + 's'}`;

// The FEN and PGN fields follow the game, except while someone types in them.
const shownData = {fen: null, pgn: null};
function renderData(game) {
  if (game === play.game) game.tags = play.tags();
  for (const [id, text] of [['fen', game.fen()], ['pgn', game.pgn()]]) {
    if (shownData[id] !== text && document.activeElement !== $(id)) {
      $(id).value = shownData[id] = text;
    }
  }
}

// ---- What the player does ----

// Shows the position after ply moves of the game on show.
function show(ply) {
  const game = current();
  game.ply = Math.max(0, Math.min(game.length, ply));
  render();
}

// Shows the game against Zekora or the analysis board; again after its game changed, if asked.
function setMode(next, again = false) {
  if (next === mode && !again) return;
  if (next === 'analysis') play.pause();
  mode = next;
  render();
  play.zekoraMoves();
}

function onBoardMove(move) {
  if (mode === 'play') {
    if (!play.move(move)) render();
    return;
  }
  analysis.game.play(move);
  render();
}

// The move typed in the text box: SAN or UCI, for the player (or either side on the analysis
// board), in the position on show.
function onTypedMove(event) {
  event.preventDefault();
  const input = $('move-input');
  const text = input.value;
  const game = current();
  if (mode === 'play') game.ply = game.length;
  const move = game.parse(text);
  let note = '';
  if (!move) {
    note = text.trim() ? `“${text.trim()}” is not a legal move here.` : '';
  } else if (mode === 'play') {
    if (!play.move(move)) note = game.outcome() ? 'The game is over.' : 'Wait for your turn.';
  } else {
    onBoardMove(move);
  }
  $('move-note').textContent = note;
  if (!note) input.value = '';
  render();
}

async function copy(id, what) {
  const field = $(id);
  const text = id === 'pgn' ? current().pgn() : current().fen();
  try {
    await navigator.clipboard.writeText(text);
  } catch {
    field.value = text;
    field.select();
    if (!document.execCommand?.('copy')) {
      $('data-note').textContent = `Select the ${what} and copy it.`;
      return;
    }
  }
  $('data-note').textContent = `${what} copied.`;
}

function download() {
  const game = current();
  const date = (game.tags.Date ?? today()).replace(/\D+/g, '-').replace(/^-|-$/g, '');
  const url = URL.createObjectURL(new Blob([game.pgn() + '\n'], {type: 'application/x-chess-pgn'}));
  const link = Object.assign(document.createElement('a'), {href: url, download: `zekora-${date}.pgn`});
  document.body.append(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(url), 1000);
}

// A FEN, a PGN or a game put on the analysis board.
function load(make, what) {
  let game;
  try {
    game = make();
  } catch (error) {
    $('data-note').textContent = `Not a valid ${what}: ${error.message}`;
    return;
  }
  analysis.game = game;
  $('data-note').textContent = '';
  shownData.fen = shownData.pgn = null;
  setMode('analysis', true);
}

// ---- Wiring ----

for (const entry of LEVELS) {
  $('level').append(new Option(entry.label, String(entry.level)));
}
$('mode-play').onclick = () => setMode('play');
$('mode-analysis').onclick = () => setMode('analysis');
$('new-game').onclick = () => newGame();
$('takeback').onclick = () => play.takeback();
$('resign').onclick = () => play.resign();
$('hint').onclick = () => play.hint();
$('side').onchange = (event) => { settings.side = event.target.value; render(); };
$('level').onchange = (event) => {
  settings.level = play.level = Number(event.target.value);
  render();
};
$('show-thinking').onchange = (event) => { settings.showThinking = event.target.checked; render(); };
$('analyse').onchange = (event) => { settings.analyse = event.target.checked; render(); };
$('analyse-game').onclick = $('analyse-this').onclick = () => {
  const game = Game.load(play.game.save());
  game.review = play.game.review;
  game.tags = play.tags();
  load(() => game, 'game');
};
$('start-position').onclick = () => load(() => new Game(), 'position');
$('play-from-here').onclick = () => {
  const game = analysis.game;
  newGame({fen: game.fen(), player: game.turn()});
};
$('first').onclick = () => show(0);
$('previous').onclick = () => show(current().ply - 1);
$('next').onclick = () => show(current().ply + 1);
$('latest').onclick = () => show(current().length);
$('flip').onclick = () => { orientation = orientation === 'w' ? 'b' : 'w'; render(); };
$('review-start').onclick = () => reviews.start(current());
$('review-cancel').onclick = () => reviews.cancel();
$('move-form').onsubmit = onTypedMove;
$('fen-copy').onclick = () => copy('fen', 'FEN');
$('pgn-copy').onclick = () => copy('pgn', 'PGN');
$('pgn-download').onclick = download;
$('fen-load').onclick = () => load(() => new Game($('fen').value.trim()), 'FEN');
$('pgn-load').onclick = () => load(() => Game.fromPgn($('pgn').value), 'PGN');

// The arrow keys step through the moves, as do Home and End, wherever the focus is but in a
// field of text or a menu.
document.addEventListener('keydown', (event) => {
  if (event.altKey || event.ctrlKey || event.metaKey) return;
  if (event.target.closest?.('input, textarea, select, [role="dialog"]')) return;
  const game = current();
  const to = {ArrowLeft: game.ply - 1, ArrowRight: game.ply + 1, ArrowUp: 0, Home: 0,
              ArrowDown: game.length, End: game.length}[event.key];
  if (to === undefined) return;
  event.preventDefault();
  show(to);
});
document.addEventListener('visibilitychange', render);

if (document.documentElement.classList.contains('unsupported')) {
  // The message in index.html says why; the board stays still.
  board.show(current().fen(), null, null);
} else {
  render();
  Engine.start().then((engine) => {
    app.engine = engine;
    render();
    play.zekoraMoves();
  }, (error) => {
    app.failure = `Zekora's engine did not start: ${error.message}. Reload the page to try again.`;
    render();
  });
  // Offline after the first visit, from the folder the page is in.
  navigator.serviceWorker?.register('sw.js').catch(() => {});
}
