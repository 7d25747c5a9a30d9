// SPDX-License-Identifier: GPL-3.0-or-later
// Piece-square table: a packed (middlegame, endgame) bonus for each piece code on each square.
#pragma once

#include "board/types.h"
#include "eval/score.h"

namespace zekora {

extern PackedScore PieceSquareTable[16][64];

void buildPieceSquareTables();

} // namespace zekora
