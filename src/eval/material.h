// SPDX-License-Identifier: GPL-3.0-or-later
// Material table: everything the evaluation derives from piece counts alone, cached per
// material configuration.
#pragma once

#include "board/position.h"

namespace zekora {

// Per-side material flags.
constexpr uint8_t QueenAttack = 1;     // a queen and at least one other piece: king attack counts
constexpr uint8_t OneBishopColour = 4; // pawns, and no pieces but bishops of one square colour
constexpr uint8_t LonePawn = 8;        // a single pawn against a bare king

constexpr uint8_t StrongerWhite = 1;
constexpr uint8_t StrongerBlack = 2;

constexpr int FullScale = 128; // scales are in 128ths
constexpr int FullScaleShift = 7;
static_assert(FullScale == 1 << FullScaleShift);

struct MaterialInfo {
    uint32_t checkKey;
    int16_t value; // White's view, blended by phase and scaled
    uint8_t strongerSide;
    uint8_t scale;
    uint8_t phase;
    uint8_t whiteFlags;
    uint8_t blackFlags;
};

constexpr int MaterialTableSize = 1024;
extern MaterialInfo MaterialTable[MaterialTableSize];

MaterialInfo& probeMaterial(const Position& pos);
void computeMaterialInfo(const Position& pos, MaterialInfo& entry);

// Scale in 128ths for the stronger side S against the weaker side W, from the piece counts
// (pawns, knights, light-squared bishops, dark-squared bishops, rooks, queens).
int endgameScale(int sP, int sN, int sBl, int sBd, int sR, int sQ, int wP, int wN, int wBl, int wBd,
                 int wR, int wQ);

// 0 for the rook pawn with the bishop of the wrong colour and the defending king in the
// corner, else the entry's scale.
int rookPawnBishopScale(const Position& pos, const MaterialInfo& entry);
// 0 when the bare king stands in front of the lone pawn, else 128.
int lonePawnScale(const Position& pos, const MaterialInfo& entry);

} // namespace zekora
