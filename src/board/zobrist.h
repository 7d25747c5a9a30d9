// SPDX-License-Identifier: GPL-3.0-or-later
// Zobrist keys: the random tables, the from-scratch keys and the castling-move keys.
#pragma once

#include "board/position.h"

namespace zekora {

extern uint64_t PieceSquareKey[16][64];
extern uint64_t EnPassantKey[65];
extern uint64_t CastlingKey[16];
extern uint64_t SideKey[2];
// Piece counts 0..MaxMaterialCount of one code have a material key.
constexpr int MaxMaterialCount = 10;
extern uint64_t MaterialKeyTable[16][MaxMaterialCount + 1];
// XOR of the four piece-square keys a castling move changes: White short, White long,
// Black short, Black long.
extern uint64_t CastleMoveKey[4];

void initZobrist();
// Sets key, pawnKey and materialKey of a position from its board and state fields.
void computeKeys(Position& pos);

} // namespace zekora
