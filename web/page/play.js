// SPDX-License-Identifier: GPL-3.0-or-later
// Play against Zekora: the board takes the player's moves, chess.js knows the rules and the
// end of the game, and the engine runs in a Worker that speaks UCI, one line per message.
import {Chessboard, COLOR, FEN, INPUT_EVENT_TYPE} from './vendor/cm-chessboard/src/Chessboard.js';
import {Markers} from './vendor/cm-chessboard/src/extensions/markers/Markers.js';
import {PromotionDialog, PROMOTION_DIALOG_RESULT_TYPE} from
  './vendor/cm-chessboard/src/extensions/promotion-dialog/PromotionDialog.js';
import {Chess} from './vendor/chess.js/chess.js';

const $ = (id) => document.getElementById(id);
const game = new Chess();
const board = new Chessboard($('board'), {
  position: FEN.start,
  assetsUrl: 'vendor/cm-chessboard/assets/',
  style: {animationDuration: 150},
  extensions: [{class: Markers}, {class: PromotionDialog}],
});
const engine = new Worker('zekora/zekora.js');

let player = 'w';
let engineReady = false;
let thinking = false;
// Answers of searches abandoned by a new game, still to come and to be ignored.
let staleAnswers = 0;

engine.onmessage = (event) => {
  const line = String(event.data);
  if (line === 'uciok') {
    engineReady = true;
    newGame();
  } else if (line.startsWith('info ') && line.includes(' pv ')) {
    showThinking(line);
  } else if (line.startsWith('bestmove ')) {
    if (staleAnswers > 0) {
      --staleAnswers;
      return;
    }
    thinking = false;
    playEngineMove(line.split(' ')[1]);
  }
};
// A Worker that fails to load (a page opened as a file, say) or fails later says so, rather
// than leaving the page waiting for a move.
engine.onerror = (event) => {
  board.disableMoveInput();
  $('status').textContent = `Zekora's engine failed: ${event.message || 'the Worker did not load'}`;
};
engine.postMessage('uci');

function send(command) { engine.postMessage(command); }

function newGame() {
  if (thinking) {
    send('stop');
    ++staleAnswers;
    thinking = false;
  }
  player = $('side').value;
  game.reset();
  board.setOrientation(player === 'w' ? COLOR.white : COLOR.black);
  board.setPosition(game.fen());
  board.removeMarkers();
  $('moves').replaceChildren();
  $('score').textContent = $('line').textContent = '';
  send('ucinewgame');
  nextTurn();
}

function nextTurn() {
  if (endOfGame()) return;
  if (game.turn() === player) {
    $('status').textContent = 'Your move';
    board.enableMoveInput(onMoveInput, player === 'w' ? COLOR.white : COLOR.black);
  } else {
    board.disableMoveInput();
    $('status').textContent = 'Zekora thinks…';
    thinking = true;
    const moves = game.history({verbose: true}).map((m) => m.lan);
    send('position startpos' + (moves.length ? ' moves ' + moves.join(' ') : ''));
    send('go movetime ' + $('movetime').value);
  }
}

function endOfGame() {
  if (!game.isGameOver()) return false;
  board.disableMoveInput();
  const winner = game.turn() === 'w' ? 'Black' : 'White';
  $('status').textContent =
    game.isCheckmate() ? `Checkmate: ${winner} wins` :
    game.isStalemate() ? 'Draw by stalemate' :
    game.isThreefoldRepetition() ? 'Draw by threefold repetition' :
    game.isInsufficientMaterial() ? 'Draw: insufficient material' : 'Draw by the fifty-move rule';
  return true;
}

function play(move) {
  const played = game.move(move);
  const item = document.createElement('li');
  item.textContent = played.san;
  // Each numbered item holds one full move: White's and Black's.
  const items = $('moves').children;
  if (played.color === 'b' && items.length && items[items.length - 1].dataset.white) {
    items[items.length - 1].textContent += ' ' + played.san;
    delete items[items.length - 1].dataset.white;
  } else {
    if (played.color === 'b') item.textContent = '… ' + played.san;
    else item.dataset.white = '1';
    $('moves').append(item);
  }
  $('moves').scrollTop = $('moves').scrollHeight;
  board.removeMarkers();
  board.setPosition(game.fen(), true);
  nextTurn();
}

function onMoveInput(event) {
  if (event.type === INPUT_EVENT_TYPE.moveInputStarted) {
    return game.moves({square: event.squareFrom}).length > 0;
  }
  if (event.type !== INPUT_EVENT_TYPE.validateMoveInput) return;
  const legal = game.moves({square: event.squareFrom, verbose: true})
      .filter((m) => m.to === event.squareTo);
  if (!legal.length) return false;
  if (legal[0].promotion) {
    board.showPromotionDialog(event.squareTo, player === 'w' ? COLOR.white : COLOR.black,
        (result) => {
          if (result.type === PROMOTION_DIALOG_RESULT_TYPE.pieceSelected) {
            play({from: event.squareFrom, to: event.squareTo, promotion: result.piece.charAt(1)});
          } else {
            board.setPosition(game.fen());
          }
        });
    return true;
  }
  // After the board's own animation of the move; castling and en passant then show in full.
  setTimeout(() => play({from: event.squareFrom, to: event.squareTo}));
  return true;
}

function playEngineMove(lan) {
  play({from: lan.slice(0, 2), to: lan.slice(2, 4), promotion: lan[4]});
  // The line Zekora thought with starts with the move just played: what is left is the
  // continuation it expects from here.
  const line = $('line').textContent.split(' ');
  if (line[0] === game.history().at(-1)) $('line').textContent = line.slice(1).join(' ');
}

// Zekora's score (from its own side) and its line, in the notation of the move list.
function showThinking(line) {
  const fields = line.split(' ');
  const at = (name) => fields.indexOf(name);
  const depth = fields[at('depth') + 1];
  const kind = fields[at('score') + 1];
  const value = Number(fields[at('score') + 2]);
  $('score').textContent = `Zekora, depth ${depth}: ` +
    (kind === 'mate' ? `mate in ${Math.abs(value)}${value < 0 ? ' against Zekora' : ''}`
                     : `${value >= 0 ? '+' : ''}${(value / 100).toFixed(2)}`);
  const future = new Chess(game.fen());
  const san = [];
  for (const lan of fields.slice(at('pv') + 1).filter(Boolean)) {
    try {
      san.push(future.move({from: lan.slice(0, 2), to: lan.slice(2, 4), promotion: lan[4]}).san);
    } catch {
      break;
    }
  }
  $('line').textContent = san.join(' ');
}

$('new-game').addEventListener('click', () => { if (engineReady) newGame(); });
