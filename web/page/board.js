// SPDX-License-Identifier: GPL-3.0-or-later
// The board on the page: cm-chessboard draws it and takes moves by click or drag; this module
// marks the last move, a king in check and the legal destinations of the piece taken, asks
// for the promotion piece, and hands each legal move to onMove({from, to, promotion}).
import {Chessboard, COLOR, INPUT_EVENT_TYPE} from './vendor/cm-chessboard/src/Chessboard.js';
import {Markers} from './vendor/cm-chessboard/src/extensions/markers/Markers.js';
import {Arrows, ARROW_TYPE} from './vendor/cm-chessboard/src/extensions/arrows/Arrows.js';
import {PromotionDialog, PROMOTION_DIALOG_RESULT_TYPE} from
  './vendor/cm-chessboard/src/extensions/promotion-dialog/PromotionDialog.js';
import {Chess} from './vendor/chess.js/chess.js';

const LAST_MOVE = {class: 'marker-last-move', slice: 'markerSquare'};
const CHECK = {class: 'marker-check', slice: 'markerCircleFilled'};
const colour = (side) => (side === 'w' ? COLOR.white : COLOR.black);

export class Board {
  #board;
  #chess = new Chess();
  #movable = null;
  #orientation = 'w';
  #turning = false;
  #onMove;

  constructor(element, onMove) {
    this.#onMove = onMove;
    this.#board = new Chessboard(element, {
      position: this.#chess.fen(),
      assetsUrl: 'vendor/cm-chessboard/assets/',
      style: {animationDuration: 150},
      extensions: [{class: Markers, props: {autoMarkers: null}}, {class: Arrows},
                   {class: PromotionDialog}],
    });
  }

  // Shows the position fen, the last move ({from, to}) and a king in check, and lets the
  // player move the pieces of movable: 'w', 'b', 'both' or null (none).
  show(fen, last, movable) {
    const board = this.#board;
    if (fen !== this.#chess.fen()) {
      this.#chess = new Chess(fen);
      board.setPosition(fen, true);
    }
    board.removeMarkers();
    if (last) {
      board.addMarker(LAST_MOVE, last.from);
      board.addMarker(LAST_MOVE, last.to);
    }
    if (this.#chess.inCheck()) {
      board.addMarker(CHECK, this.#chess.findPiece({type: 'k', color: this.#chess.turn()})[0]);
    }
    // cm-chessboard refuses to enable input twice: the board is switched off first, always.
    if (movable !== this.#movable) {
      this.#movable = movable;
      board.disableMoveInput();
      if (movable) {
        board.enableMoveInput((event) => this.#input(event),
                              movable === 'both' ? undefined : colour(movable));
      }
    }
  }

  // The side at the bottom. The board turns a moment later, one turn at a time.
  get orientation() { return this.#orientation; }
  set orientation(side) {
    this.#orientation = side;
    if (!this.#turning) this.#turn();
  }

  async #turn() {
    this.#turning = true;
    while (this.#board.getOrientation() !== colour(this.#orientation)) {
      await this.#board.setOrientation(colour(this.#orientation));
    }
    this.#turning = false;
  }

  // An arrow for a suggested move, or none.
  arrow(move) {
    this.#board.removeArrows();
    if (move) this.#board.addArrow(ARROW_TYPE.default, move.from, move.to);
  }

  #input(event) {
    const board = this.#board;
    switch (event.type) {
      case INPUT_EVENT_TYPE.moveInputStarted: {
        const moves = this.#chess.moves({square: event.squareFrom, verbose: true});
        board.addLegalMovesMarkers(moves);
        return moves.length > 0;
      }
      case INPUT_EVENT_TYPE.validateMoveInput: {
        board.removeLegalMovesMarkers();
        const legal = this.#chess.moves({square: event.squareFrom, verbose: true})
            .filter((move) => move.to === event.squareTo);
        if (!legal.length) return false;
        const move = {from: event.squareFrom, to: event.squareTo};
        if (legal[0].promotion) {
          board.showPromotionDialog(event.squareTo, colour(this.#chess.turn()), (result) => {
            if (result.type === PROMOTION_DIALOG_RESULT_TYPE.pieceSelected) {
              this.#onMove({...move, promotion: result.piece.charAt(1)});
            } else {
              board.setPosition(this.#chess.fen());
            }
          });
        } else {
          // After the board's own animation of the move, so that the position shown next
          // (with a castling rook or a pawn taken en passant) follows it.
          setTimeout(() => this.#onMove(move));
        }
        return true;
      }
      case INPUT_EVENT_TYPE.moveInputCanceled:
      case INPUT_EVENT_TYPE.moveInputFinished:
        board.removeLegalMovesMarkers();
    }
    return undefined;
  }
}
