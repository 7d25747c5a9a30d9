// SPDX-License-Identifier: GPL-3.0-or-later
// Questions about a single move, asked without generating a move list: could it have been
// generated here, is it legal, does it give check, and what does it win on its to-square.
#pragma once

#include "board/position.h"

namespace zekora {

// Material values of the exchange evaluation, indexed by piece code.
extern const int32_t ExchangeValue[16];

// True when the generators could have produced the move in this position. Used for moves
// that come from the transposition table or the killer slots of another position.
bool isPseudoLegal(const Position& pos, Move move);

// True when a pseudo-legal move leaves the mover's king safe. Reads inCheck and pinned from
// the position's search stack entry.
bool isLegal(Position& pos, Move move);

// True when a legal move checks the opponent's king.
bool givesCheck(Position& pos, Move move);

// What decides whether a move checks the opponent's king, gathered once for a node whose
// moves are all asked about.
struct CheckInfo {
    Bitboard checkSquares[16]; // by piece code of the side to move: squares it would check from
    Bitboard discoverers;      // own pieces alone on a line between an own slider and the king
    Square theirKing;
};

void prepareCheckInfo(const Position& pos, CheckInfo& info);

// givesCheck(pos, move), answered for the most part from the prepared facts.
bool givesCheck(Position& pos, Move move, const CheckInfo& info);

// Material balance of the capture sequence on the move's to-square, from the mover's side.
int staticExchange(const Position& pos, Move move);

// staticExchange(pos, move) >= 0 and staticExchange(pos, move) > 0, each settled as soon as the
// capture sequence allows.
bool exchangeNotLosing(const Position& pos, Move move);
bool exchangeWinning(const Position& pos, Move move);

// staticExchange(pos, move) < 0. A capture of a piece worth at least the capturer never loses
// material (the capturer can stop after any recapture), so it skips the exchange.
inline bool losesMaterial(const Position& pos, Move move) {
    return ExchangeValue[pos.board[moveTo(move)]] < ExchangeValue[pos.board[moveFrom(move)]] &&
           !exchangeNotLosing(pos, move);
}

} // namespace zekora
