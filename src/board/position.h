// SPDX-License-Identifier: GPL-3.0-or-later
// The board record, the undo record and the per-ply search stack.
#pragma once

#include "board/types.h"
#include "eval/score.h"

namespace zekora {

// Per-ply facts the tree search hands to the move tests and the move picker.
struct SearchStackEntry {
    int32_t inCheck;
    Bitboard pinned;
    Move hashMove;
    Move killers[2];
    int32_t captureSquare;
};

extern SearchStackEntry searchStack[MaxPly];

// Room for the game's keys plus the deepest search line.
constexpr int KeyHistorySize = 1024;

struct Position {
    int32_t board[64];
    Bitboard bitboards[16]; // by piece code; 0 = all White pieces, 1 = all Black pieces
    int32_t epSquare;
    uint8_t castling;
    uint8_t halfmoveClock;
    uint32_t sideToMove;
    int32_t kingSquare[2];
    uint64_t key;
    uint64_t pawnKey;
    uint64_t materialKey;
    PackedScore psqScore;
    int32_t historyCount;
    uint64_t keyHistory[KeyHistorySize];
    SearchStackEntry* stackEntry;

    Bitboard pieces(int code) const { return bitboards[code]; }
    Bitboard occupancy(int color) const { return bitboards[color]; }
    Bitboard occupied() const { return bitboards[White] | bitboards[Black]; }
    int pieceOn(Square s) const { return board[s]; }
};

struct UndoRecord {
    Bitboard whiteOccupancy;
    Bitboard blackOccupancy;
    int32_t epSquare;
    uint8_t castling;
    uint8_t halfmoveClock;
    uint32_t sideToMove;
    int32_t kingSquare[2];
    uint64_t key;
    uint64_t pawnKey;
    uint64_t materialKey;
    PackedScore psqScore;
    int32_t movedPiece;
    int32_t capturedPiece;
    SearchStackEntry* stackEntry;
};

} // namespace zekora
