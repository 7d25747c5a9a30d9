// SPDX-License-Identifier: GPL-3.0-or-later
// Captures and promotions, ordered most valuable victim first, least valuable attacker first.
#pragma once

#include <array>

#include "movegen/movelist.h"

namespace zekora {

// [attacker code][victim code]; the empty column orders non-capturing moves of each piece.
using CaptureScoreTable = std::array<std::array<int32_t, 16>, 16>;
extern const CaptureScoreTable CaptureScore;

// Bonus that puts a queen promotion ahead of the other promotions of the same pawn.
constexpr int QueenPromotionBonus = 32;

void generateCapturesWhite(const Position& pos, MoveList& list, Bitboard targetMask);
void generateCapturesBlack(const Position& pos, MoveList& list, Bitboard targetMask);

} // namespace zekora
