// SPDX-License-Identifier: GPL-3.0-or-later
// Quiet moves (no captures, no promotions), castling included, ordered by history score.
#pragma once

#include "movegen/movelist.h"

namespace zekora {

void generateQuietsWhite(const Position& pos, MoveList& list, Bitboard targetMask);
void generateQuietsBlack(const Position& pos, MoveList& list, Bitboard targetMask);

// Each appends its castling move when the right, the board and the attacks allow it now.
void addCastleWhiteShort(const Position& pos, MoveList& list);
void addCastleWhiteLong(const Position& pos, MoveList& list);
void addCastleBlackShort(const Position& pos, MoveList& list);
void addCastleBlackLong(const Position& pos, MoveList& list);

} // namespace zekora
