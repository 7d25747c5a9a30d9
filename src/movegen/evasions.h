// SPDX-License-Identifier: GPL-3.0-or-later
// Replies to a check: exactly the legal moves, ordered by the capture scores.
#pragma once

#include "movegen/movelist.h"

namespace zekora {

// Append the legal moves of a side in check; sorted, except in double check where only
// king moves exist. Read the pinned pieces from the position's search stack entry.
void generateEvasionsWhite(Position& pos, MoveList& list);
void generateEvasionsBlack(Position& pos, MoveList& list);

// True when the en-passant capture from -> to leaves the mover's king unattacked. Changes
// the bitboards for the test and restores them.
bool enPassantIsSafeWhite(Position& pos, Square from, Square to);
bool enPassantIsSafeBlack(Position& pos, Square from, Square to);

} // namespace zekora
