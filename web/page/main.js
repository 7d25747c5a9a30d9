// SPDX-License-Identifier: GPL-3.0-or-later
// The page: a game against Zekora at a chosen level, and an analysis board, sharing one board,
// one move list and one engine. Everything shown is drawn again from the state by render(),
// so nothing of a finished search or an earlier game can linger on the page.
import {Board} from './board.js';
import {Engine, scoreText, search, whiteShare, whiteView} from './engine.js';
import {Game, numbered, sanLine, uciMove} from './game.js';
import {MoveList} from './moves.js';
import {REVIEW_NODES, THRESHOLDS, drawGraph, reviewGame, tally} from './review.js';
import {loadState, saveState} from './storage.js';
import {LEVELS, chooseMove, createRandom} from './zekora/levels.js';

const $ = (id) => document.getElementById(id);
const COLOURS = {w: 'White', b: 'Black'};
const HINT_SEARCH = 'movetime 1000';

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

let engine = null;
let failure = null;
let mode = saved.mode === 'analysis' ? 'analysis' : 'play';
let orientation = saved.orientation === 'b' ? 'b' : 'w';
// The game against Zekora: the game, the player's colour, Zekora's level, the date; a token
// while Zekora searches; its last move's search (thought) and a hint, each for one ply.
let play = restorePlay(saved.play) ?? freshPlay(new Game(), 'w');
// The analysis board: its game, the position searched now, and the last line found for it.
let analysis = {game: restoreGame(saved.analysis?.game) ?? new Game(), running: null, info: null};
// The review under way: its game and progress.
let review = null;

const board = new Board($('board'), onBoardMove);
const moveList = new MoveList($('moves'), (ply) => show(ply));

function restoreGame(data) {
  try {
    return data ? Game.load(data) : null;
  } catch {
    return null;
  }
}

function restorePlay(data) {
  const game = restoreGame(data?.game);
  if (!game || !COLOURS[data.player]) return null;
  return {...freshPlay(game, data.player), level: data.level ?? settings.level,
          date: data.date ?? today()};
}

function freshPlay(game, player) {
  return {game, player, level: settings.level, date: today(), thinking: null, thought: null,
          hint: null, random: createRandom(Date.now() >>> 0)};
}

function today() {
  const now = new Date();
  return [now.getFullYear(), now.getMonth() + 1, now.getDate()]
      .map((part) => String(part).padStart(2, '0')).join('.');
}

const current = () => (mode === 'play' ? play.game : analysis.game);
const levelLabel = (level) => LEVELS.find((entry) => entry.level === level)?.label ?? `Level ${level}`;
const zekoraName = () => `Zekora (${levelLabel(play.level)})`;

// ---- Play ----

function newGame({fen, player} = {}) {
  const side = player ?? (settings.side === 'random' ? (Math.random() < 0.5 ? 'w' : 'b')
                                                     : settings.side);
  play = freshPlay(new Game(fen), side);
  orientation = side;
  if (review) review = null;
  engine?.newGame();
  engine?.stop();
  analysis.running = null;
  mode = 'play';
  render();
  zekoraMoves();
}

// Names and date for the PGN of the game against Zekora.
function playTags() {
  const you = 'Player';
  return {Event: 'Game against Zekora', Date: play.date,
          White: play.player === 'w' ? you : zekoraName(),
          Black: play.player === 'b' ? you : zekoraName()};
}

async function zekoraMoves() {
  const p = play;
  const game = p.game;
  if (!engine || mode !== 'play' || p.thinking || game.outcome() || game.turn() === p.player) {
    return;
  }
  const token = p.thinking = {};
  render();
  const position = game.position(game.length);
  const answer = await engine.run((zekora, signal) =>
    chooseMove(zekora, position, p.level, {random: p.random, signal})).catch(failed);
  // A new game, a takeback, a resignation or the analysis board took over meanwhile.
  if (p.thinking !== token) return;
  p.thinking = null;
  if (answer?.move) {
    const move = game.push(answer.move);
    p.thought = answer.info ? {ply: game.length, move, info: answer.info} : null;
  }
  render();
}

function playerMove(move) {
  const p = play;
  if (mode !== 'play' || movable() !== p.player) return false;
  try {
    p.game.push(move);
  } catch {
    return false;
  }
  p.hint = null;
  render();
  zekoraMoves();
  return true;
}

// Takes back the player's last move, and Zekora's answer to it if there is one.
function takeback() {
  const p = play;
  const game = p.game;
  if (!canTakeback()) return;
  engine?.stop();
  p.thinking = p.hint = p.thought = null;
  game.truncate(game.length - (game.last.color === p.player ? 1 : 2));
  render();
}

const canTakeback = () => play.game.moves.some((move) => move.color === play.player);

function resign() {
  const p = play;
  if (p.game.outcome()) return;
  engine?.stop();
  p.thinking = p.hint = null;
  p.game.resigned = p.player;
  p.game.ply = p.game.length;
  render();
}

async function hint() {
  const p = play;
  const game = p.game;
  if (!engine || movable() !== p.player) return;
  const ply = game.length;
  p.hint = {ply};
  render();
  const position = game.position(ply);
  const answer = await engine.run((zekora, signal) =>
    search(zekora, position, HINT_SEARCH, signal)).catch(failed);
  if (p !== play || p.hint?.ply !== ply || game.length !== ply || !answer) return;
  p.hint = {ply, move: uciMove(answer.bestmove), san: sanLine(game.fen(ply), [answer.bestmove])[0]};
  render();
}

function resultText(outcome) {
  if (outcome.reason === 'resignation') {
    return outcome.winner === play.player ? 'Zekora resigned: you won' : 'You resigned: Zekora won';
  }
  if (outcome.reason === 'checkmate') {
    return outcome.winner === play.player ? 'You won by checkmate' : 'Zekora won by checkmate';
  }
  return `Draw by ${outcome.reason}`;
}

// Zekora's line for the move it just made: its score from White's view, the depth, and the
// line in SAN from the position before its move.
function thoughtText(thought) {
  const {move, info} = thought;
  const score = scoreText(whiteView(info.score, move.color));
  const pv = info.pv ?? [];
  // The search that chose the move searched either the position before it or the one after.
  const line = pv[0] === move.lan ? sanLine(move.before, pv)
                                  : [move.san, ...sanLine(move.after, pv)];
  return `Zekora: ${score}, depth ${info.depth ?? '?'}: ${numbered(move.before, line.slice(0, 12))}`;
}

// ---- Analysis ----

// Searches the position on show without end; a new position stops the search and starts
// another one.
function analyse() {
  const game = analysis.game;
  const key = game.position();
  // A page in the background leaves the processor alone.
  const wanted = engine && !failure && mode === 'analysis' && settings.analyse && !review &&
      document.visibilityState !== 'hidden' && !game.end();
  if (!wanted) {
    if (analysis.running) engine?.stop();
    analysis.running = null;
    return;
  }
  if (analysis.running === key) return;
  analysis.running = key;
  analysis.info = null;
  const turn = game.turn();
  const fen = game.fen();
  engine.run((zekora, signal) => search(zekora, key, 'infinite', signal, (info) => {
    if (analysis.running !== key) return;
    analysis.info = {key, fen, score: whiteView(info.score, turn), info};
    renderEvaluation();
  })).catch(failed).then(() => {
    if (analysis.running === key) analysis.running = null;
  });
}

function renderEvaluation() {
  const bar = $('eval-bar');
  const known = mode === 'analysis' && analysis.info?.key === current().position() &&
      analysis.running === analysis.info.key;
  // Only hidden, so that the board keeps its size from one mode to the other.
  bar.style.visibility = mode === 'analysis' ? 'visible' : 'hidden';
  bar.classList.toggle('flipped', orientation === 'b');
  const share = known ? whiteShare(analysis.info.score) : 0.5;
  bar.firstElementChild.style.height = `${(share * 100).toFixed(1)}%`;
  if (mode !== 'analysis') return;
  if (!known) {
    const waiting = settings.analyse && !failure && !current().end();
    $('thinking').textContent = !waiting ? '' : !engine ? 'Starting the engine…'
      : review ? 'The analysis waits for the review.' : 'Zekora analyses…';
    board.arrow(null);
    return;
  }
  const {fen, score, info} = analysis.info;
  const line = sanLine(fen, info.pv);
  $('thinking').textContent =
    `${scoreText(score)}, depth ${info.depth}: ${numbered(fen, line.slice(0, 12))}`;
  board.arrow(uciMove(info.pv[0]));
}

// ---- Review ----

async function startReview() {
  const game = current();
  if (!engine || review || !game.length) return;
  const run = review = {game, done: 0, total: game.length + 1};
  render();
  analyse();
  const result = await reviewGame(engine, game, (done) => {
    run.done = done;
    renderReview();
  }).catch(failed);
  if (review !== run) return;
  review = null;
  if (result && result.key === game.position(game.length)) game.review = result;
  render();
  analyse();
}

function cancelReview() {
  if (!review) return;
  review = null;
  engine?.stop();
  render();
  analyse();
}

function renderReview() {
  const game = current();
  const mine = review?.game === game;
  $('review-progress').hidden = !mine;
  if (mine) {
    $('review-bar').max = review.total;
    $('review-bar').value = review.done;
    $('review-count').textContent = `Reviewing: ${review.done} of ${review.total} positions`;
  }
  const ended = mode === 'analysis' || game.outcome();
  $('review-start').hidden = mine || !!game.review;
  $('review-start').disabled = !engine || !!review || !game.length || !ended;
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
  const names = mode === 'play' && game === play.game
    ? {[play.player]: 'You', [play.player === 'w' ? 'b' : 'w']: 'Zekora'} : COLOURS;
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

// An engine that stopped working ends the page's play and analysis with a message.
function failed(error) {
  failure = `Zekora's engine stopped: ${error.message}. Reload the page to start it again.`;
  render();
  return null;
}

// ---- Everything on show ----

// Who may move on the board now: the player's colour, 'w' or 'b' on the analysis board, or
// null.
function movable() {
  if (mode === 'analysis') {
    const game = analysis.game;
    return game.end() ? null : game.turn();
  }
  const game = play.game;
  if (game.outcome() || !game.atEnd || play.thinking || game.turn() !== play.player) return null;
  return play.player;
}

function statusText() {
  if (failure) return failure;
  const game = current();
  if (mode === 'analysis') {
    const end = game.end();
    if (end?.winner) return `Checkmate: ${COLOURS[end.winner]} wins`;
    if (end) return `Draw by ${end.reason}`;
    return `${COLOURS[game.turn()]} to move`;
  }
  const outcome = game.outcome();
  if (outcome) return resultText(outcome);
  if (game.turn() !== play.player) return engine ? 'Zekora thinks…' : 'Starting the engine…';
  const hinted = play.hint?.ply === game.length;
  if (hinted) return play.hint.san ? `Your move. Hint: ${play.hint.san}` : 'Your move. Looking for a hint…';
  return 'Your move';
}

function render() {
  const game = current();
  const analysing = mode === 'analysis';
  document.body.dataset.mode = mode;
  $('mode-play').setAttribute('aria-pressed', String(!analysing));
  $('mode-analysis').setAttribute('aria-pressed', String(analysing));
  $('play-controls').hidden = analysing;
  $('analysis-controls').hidden = !analysing;

  const last = game.ply ? game.moves[game.ply - 1] : null;
  board.orientation = orientation;
  board.show(game.fen(), last, failure ? null : movable());
  moveList.render(game, game.review?.marks);
  // Announced when it changes, and only then.
  const status = statusText();
  if ($('status').textContent !== status) $('status').textContent = status;

  // The names by the board's edges: the player's side below, unless the board is flipped.
  const names = analysing ? {w: game.tags.White ?? '', b: game.tags.Black ?? ''}
    : {[play.player]: 'You', [play.player === 'w' ? 'b' : 'w']: zekoraName()};
  $('name-bottom').textContent = names[orientation] === '?' ? '' : names[orientation];
  $('name-top').textContent = names[orientation === 'w' ? 'b' : 'w'] === '?' ? ''
    : names[orientation === 'w' ? 'b' : 'w'];

  if (analysing) {
    renderEvaluation();
  } else {
    const hinted = play.hint?.move && play.hint.ply === game.length && game.ply === game.length;
    board.arrow(hinted ? play.hint.move : null);
    $('eval-bar').style.visibility = 'hidden';
    const thought = play.thought;
    $('thinking').textContent = settings.showThinking && thought && thought.ply === game.ply &&
        game.atEnd && !game.outcome() ? thoughtText(thought) : '';
  }

  const ended = !!play.game.outcome();
  $('takeback').disabled = analysing || !canTakeback();
  $('resign').disabled = ended || !play.game.length;
  $('hint').disabled = !engine || movable() !== play.player || !!play.hint;
  $('analyse-game').disabled = !play.game.length;
  $('play-from-here').disabled = !!game.end();
  $('first').disabled = $('previous').disabled = game.ply === 0;
  $('next').disabled = $('latest').disabled = game.atEnd;
  $('side').value = settings.side;
  $('level').value = String(settings.level);
  $('show-thinking').checked = settings.showThinking;
  $('analyse').checked = settings.analyse;
  renderReview();
  renderData(game);

  saveState({settings, mode, orientation,
             play: {game: play.game.save(), player: play.player, level: play.level, date: play.date},
             analysis: {game: analysis.game.save()}});
}

// The FEN and PGN fields follow the game, except while someone types in them.
const shownData = {fen: null, pgn: null};
function renderData(game) {
  if (game === play.game) game.tags = playTags();
  for (const [id, text] of [['fen', game.fen()], ['pgn', game.pgn()]]) {
    if (shownData[id] !== text && document.activeElement !== $(id)) {
      $(id).value = shownData[id] = text;
    }
  }
}

// Shows the position after ply moves of the game on show.
function show(ply) {
  const game = current();
  game.ply = Math.max(0, Math.min(game.length, ply));
  render();
  analyse();
}

// Shows the game against Zekora or the analysis board; again after its game changed, if asked.
function setMode(next, again = false) {
  if (next === mode && !again) return;
  if (next === 'analysis' && play.thinking) {
    play.thinking = null;
    engine?.stop();
  }
  mode = next;
  render();
  analyse();
  zekoraMoves();
}

function onBoardMove(move) {
  if (mode === 'play') {
    if (!playerMove(move)) render();
    return;
  }
  analysis.game.play(move);
  render();
  analyse();
}

// The move typed in the text box: SAN or UCI, for the player (or either side on the analysis
// board), in the position on show.
function onTypedMove(event) {
  event.preventDefault();
  const input = $('move-input');
  const text = input.value;
  const game = current();
  if (mode === 'play' && !game.atEnd && movable() === null) {
    game.ply = game.length;
  }
  const move = game.parse(text);
  let note = '';
  if (!move) {
    note = text.trim() ? `“${text.trim()}” is not a legal move here.` : '';
  } else if (mode === 'play') {
    if (!playerMove(move)) note = game.outcome() ? 'The game is over.' : 'Wait for your turn.';
  } else {
    onBoardMove(move);
  }
  $('move-note').textContent = note;
  if (!note) input.value = '';
}

// ---- Game data ----

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
  const url = URL.createObjectURL(new Blob([game.pgn() + '\n'], {type: 'application/x-chess-pgn'}));
  const link = Object.assign(document.createElement('a'), {
    href: url,
    download: `zekora-${(game.tags.Date ?? today()).replace(/\D+/g, '-').replace(/^-|-$/g, '')}.pgn`,
  });
  document.body.append(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(url), 1000);
}

// A FEN or a PGN put on the analysis board.
function load(make, what) {
  let game;
  try {
    game = make();
  } catch (error) {
    $('data-note').textContent = `Not a valid ${what}: ${error.message}`;
    return;
  }
  analysis.game = game;
  analysis.running = null;
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
$('takeback').onclick = takeback;
$('resign').onclick = resign;
$('hint').onclick = hint;
$('side').onchange = (event) => { settings.side = event.target.value; render(); };
$('level').onchange = (event) => {
  settings.level = play.level = Number(event.target.value);
  render();
};
$('show-thinking').onchange = (event) => { settings.showThinking = event.target.checked; render(); };
$('analyse').onchange = (event) => {
  settings.analyse = event.target.checked;
  render();
  analyse();
};
$('analyse-game').onclick = () => {
  const copy = Game.load(play.game.save());
  copy.review = play.game.review;
  copy.tags = playTags();
  load(() => copy, 'game');
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
$('review-start').onclick = startReview;
$('review-cancel').onclick = cancelReview;
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

document.addEventListener('visibilitychange', analyse);

if (document.documentElement.classList.contains('unsupported')) {
  // The message in index.html says why; the board stays still.
  board.show(current().fen(), null, null);
} else {
  render();
  Engine.start().then((started) => {
    engine = started;
    render();
    zekoraMoves();
    analyse();
  }, (error) => {
    failure = `Zekora's engine did not start: ${error.message}. Reload the page to try again.`;
    render();
  });
  // Offline after the first visit, from the folder the page is in.
  navigator.serviceWorker?.register('sw.js').catch(() => {});
}
