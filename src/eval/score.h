// SPDX-License-Identifier: GPL-3.0-or-later
// Packed middlegame/endgame scores: value = mg * 65536 + eg in one 32-bit integer,
// so that one addition updates both halves.
#pragma once

#include <cstdint>

namespace zekora {

using PackedScore = int32_t;

constexpr PackedScore pack(int mg, int eg) {
    return PackedScore(uint32_t(mg) * 65536u + uint32_t(eg));
}

// Endgame half: the low 16 bits read as signed.
constexpr int egOf(PackedScore s) { return int16_t(uint16_t(uint32_t(s) & 0xFFFF)); }

// Middlegame half: corrected by one when the endgame half borrowed from it.
constexpr int mgOf(PackedScore s) { return int16_t(uint16_t((uint32_t(s) + 0x8000u) >> 16)); }

// Game phase 0..32, 32 = full material.
constexpr int MaxPhase = 32;
constexpr int PhaseShift = 5;
static_assert(MaxPhase == 1 << PhaseShift);

// Blend by game phase p: (mg * p + eg * (32 - p)) >> 5. The shift rounds toward minus
// infinity, so a position and its colour mirror may blend a point apart; that is intended.
constexpr int blend(PackedScore s, int phase) {
    return (mgOf(s) * phase + egOf(s) * (MaxPhase - phase)) >> PhaseShift;
}

} // namespace zekora
