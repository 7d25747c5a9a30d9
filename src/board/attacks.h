// SPDX-License-Identifier: GPL-3.0-or-later
// Precomputed bitboard tables and the attack queries built on them.
#pragma once

#include "board/bitops.h"
#include "board/position.h"

namespace zekora {

extern Bitboard SquareBit[64];
extern Bitboard FileMask[64];
extern Bitboard AdjacentFiles[8];
extern Bitboard Line[64][64];
extern Bitboard Between[64][64];
extern Bitboard KnightAttacks[64];
extern Bitboard KingAttacks[64];
extern Bitboard PawnAttacks[2][64];
extern Bitboard BishopMask[64];
extern Bitboard RookMask[64];
extern const Bitboard BishopMagic[64];
extern const Bitboard RookMagic[64];
extern const int32_t BishopShift[64];
extern const int32_t RookShift[64];
extern const int32_t BishopOffset[64];
extern const int32_t RookOffset[64];

constexpr int SliderAttackEntries = 107648;
extern Bitboard SliderAttacks[SliderAttackEntries];

constexpr Bitboard FileABB = 0x0101010101010101ULL;
constexpr Bitboard FileHBB = FileABB << 7;
constexpr Bitboard Rank1BB = 0xFFULL;
constexpr Bitboard Rank8BB = Rank1BB << 56;
constexpr Bitboard rankMask(int rank) { return Rank1BB << (8 * rank); }
constexpr Bitboard fileMask(int file) { return FileABB << file; }

inline Bitboard bishopAttacks(Square s, Bitboard occupancy) {
    uint32_t index = uint32_t(((occupancy & BishopMask[s]) * BishopMagic[s]) >> BishopShift[s]);
    return SliderAttacks[BishopOffset[s] + index];
}

inline Bitboard rookAttacks(Square s, Bitboard occupancy) {
    uint32_t index = uint32_t(((occupancy & RookMask[s]) * RookMagic[s]) >> RookShift[s]);
    return SliderAttacks[RookOffset[s] + index];
}

inline Bitboard queenAttacks(Square s, Bitboard occupancy) {
    return bishopAttacks(s, occupancy) | rookAttacks(s, occupancy);
}

// Attack set of a piece code on a square, indexed by piece code (0 and 1 attack nothing).
using AttackFn = Bitboard (*)(Square, Bitboard);
extern const AttackFn AttackFunction[16];

// Shifts a bitboard one step in a direction, dropping what falls off the board.
enum Direction : int {
    North = 8,
    South = -8,
    East = 1,
    West = -1,
    NorthEast = 9,
    NorthWest = 7,
    SouthEast = -7,
    SouthWest = -9
};

template <Direction D>
constexpr Bitboard shift(Bitboard b) {
    if constexpr (D == North)
        return b << 8;
    else if constexpr (D == South)
        return b >> 8;
    else if constexpr (D == East)
        return (b & ~FileHBB) << 1;
    else if constexpr (D == West)
        return (b & ~FileABB) >> 1;
    else if constexpr (D == NorthEast)
        return (b & ~FileHBB) << 9;
    else if constexpr (D == NorthWest)
        return (b & ~FileABB) << 7;
    else if constexpr (D == SouthEast)
        return (b & ~FileHBB) >> 7;
    else
        return (b & ~FileABB) >> 9;
}

// The direction in which the pawns of colour C advance, and the set b moved one step that way.
template <int C>
constexpr Direction PawnPush = C == White ? North : South;

template <int C>
constexpr Bitboard pawnPushOf(Bitboard b) {
    return shift<PawnPush<C>>(b);
}

// All squares attacked by the pawns of colour c in the set b.
template <int C>
constexpr Bitboard pawnAttacksOf(Bitboard b) {
    if constexpr (C == White)
        return shift<NorthEast>(b) | shift<NorthWest>(b);
    else
        return shift<SouthEast>(b) | shift<SouthWest>(b);
}

bool isSquareAttacked(const Position& pos, Square s, int byColor);
Bitboard attackersTo(const Position& pos, Square s, int color);
Bitboard sliderAttackersThrough(const Position& pos, Bitboard occupancy, Square s, int color);
Bitboard pinnedPieces(const Position& pos, int color);

// Bishops and queens / rooks and queens of a colour.
inline Bitboard diagonalSliders(const Position& pos, int c) {
    return pos.bitboards[LightBishop + c] | pos.bitboards[DarkBishop + c] |
           pos.bitboards[Queen + c];
}
inline Bitboard straightSliders(const Position& pos, int c) {
    return pos.bitboards[Rook + c] | pos.bitboards[Queen + c];
}

void initLineTables();
void initMagics();

} // namespace zekora
