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

// Blend by game phase p in 0..32 (32 = full material): (mg * p + eg * (32 - p)) >> 5.
constexpr int blend(PackedScore s, int phase) {
    return (mgOf(s) * phase + egOf(s) * (32 - phase)) >> 5;
}

} // namespace zekora
