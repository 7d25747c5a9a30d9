// SPDX-License-Identifier: GPL-3.0-or-later
// Pawn structure and king shelter, cached per pawn configuration, king squares and castling
// rights; and the pawn geometry masks the evaluation shares.
#pragma once

#include "board/bitops.h"
#include "board/position.h"
#include "eval/score.h"

namespace zekora {

// Squares on the file strictly ahead of the square, ahead meaning towards the colour's
// promotion rank.
extern Bitboard FrontSpan[2][64];
// Squares on the neighbouring files strictly ahead of the square's rank.
extern Bitboard AdjacentFront[2][64];
// FrontSpan | AdjacentFront: no enemy pawn may stand there for a pawn to be passed.
extern Bitboard PassedMask[2][64];
// The squares left and right on the same rank; empty on ranks 1 and 8.
extern Bitboard NeighbourSquares[64];
// Squares on which the own king escorts the pawn home.
extern Bitboard KeySquares[2][64];
// [pawn colour][pawn square][side to move]: enemy king squares that catch the pawn.
extern Bitboard CatchSquares[2][64][2];

void initPawnMasks();
void initPawnRaceTables(); // after initPawnMasks

// Square rule for a White pawn; tempo = 1 when the king's side is to move.
bool kingCatchesPawn(Square king, Square pawn, int tempo);

inline int squareDistance(Square a, Square b) {
    int df = fileOf(a) - fileOf(b), dr = rankOf(a) - rankOf(b);
    df = df < 0 ? -df : df;
    dr = dr < 0 ? -dr : dr;
    return df > dr ? df : dr;
}

// The side's most advanced pawn among pawns on a file (pawns nonempty).
template <int Us>
inline Square foremostPawn(Bitboard pawns) {
    return Us == White ? msb(pawns) : lsb(pawns);
}

struct PawnHashEntry {
    uint32_t checkKey;
    PackedScore score; // White's view
    uint8_t whiteShelter;
    uint8_t blackShelter;
    uint8_t whitePassedFiles;
    uint8_t blackPassedFiles;
    uint8_t whitePawnFiles;
    uint8_t blackPawnFiles;
};

constexpr int PawnHashSize = 16384;
extern PawnHashEntry PawnHashTable[PawnHashSize];

// The pawn key combined with both king squares and the castling rights, since the shelter
// depends on them.
uint64_t pawnHashKey(const Position& pos);
PawnHashEntry& probePawnHash(const Position& pos);
// Fills every field of the entry and returns its score.
PackedScore evaluatePawns(const Position& pos, PawnHashEntry& entry);

// Shelter and storm penalty of a king standing on the square (smaller is safer).
int kingShelter(const Position& pos, Square square);
int kingShelterBlack(const Position& pos, Square square);

} // namespace zekora
