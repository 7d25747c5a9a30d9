// SPDX-License-Identifier: GPL-3.0-or-later
// Bit helpers. The "-popcnt" builds count bits with the processor instruction, the
// others with the parallel bit-summing method; both give the same results.
#pragma once

#include "board/types.h"

#ifndef ZEKORA_HW_POPCNT
#define ZEKORA_HW_POPCNT 1
#endif

namespace zekora {

inline int popcount(Bitboard b) {
#if ZEKORA_HW_POPCNT
    return __builtin_popcountll(b);
#else
    b = b - ((b >> 1) & 0x5555555555555555ULL);
    b = (b & 0x3333333333333333ULL) + ((b >> 2) & 0x3333333333333333ULL);
    b = (b + (b >> 4)) & 0x0F0F0F0F0F0F0F0FULL;
    return int((b * 0x0101010101010101ULL) >> 56);
#endif
}

// Lowest set square; b must not be empty.
inline Square lsb(Bitboard b) { return __builtin_ctzll(b); }
// Highest set square; b must not be empty.
inline Square msb(Bitboard b) { return 63 ^ __builtin_clzll(b); }

// Removes and returns the lowest set square; b must not be empty.
inline Square popLsb(Bitboard& b) {
    Square s = lsb(b);
    b &= b - 1;
    return s;
}

constexpr bool moreThanOne(Bitboard b) { return (b & (b - 1)) != 0; }

} // namespace zekora
