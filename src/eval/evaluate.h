// SPDX-License-Identifier: GPL-3.0-or-later
// Static evaluation: the whole score of a position for the side to move, cached per position.
#pragma once

#include "board/position.h"
#include "eval/material.h"
#include "eval/pawns.h"
#include "eval/score.h"

namespace zekora {

struct EvalCacheEntry {
    uint32_t checkKey;
    int32_t value; // White's view
};

constexpr int EvalCacheSize = 65536;
extern EvalCacheEntry EvalCache[EvalCacheSize];

// By number of pieces attacking the king zone, in 256ths of the summed attack weights.
extern const int KingAttackScale[16];

// Passed-pawn terms by the pawn's rank from its own side, endgame only.
extern const int Unstoppable[8];
extern const int FreePathOwn[8];
extern const int FreePathEnemy[8];
extern const int SafePath[8];
extern const int RookPawnVsKnights[8];

constexpr Bitboard OutpostZoneWhite = 0x7E7E7E000000ULL; // files b-g, ranks 4-6
constexpr Bitboard OutpostZoneBlack = 0x7E7E7E0000ULL;   // files b-g, ranks 3-5
constexpr Bitboard CentreFiles = 0x1818181818181818ULL;  // files d and e

// Score for the side to move. The window is accepted for the search's convenience; the
// result never depends on it.
int evaluate(const Position& pos, int alpha, int beta);

// Every term but material, as one middlegame/endgame pair from White's point of view: what
// the phase blend and the scale turn into the final score.
PackedScore positionalScore(const Position& pos, const MaterialInfo& mi, const PawnHashEntry& pe);

// The scale (in 128ths) the evaluation applies: the material table's, lowered by the
// wrong-bishop and lone-pawn draws.
int evaluationScale(const Position& pos, const MaterialInfo& mi);

// Bonus of a knight of colour Us on q, given its own pawns' attacks and the enemy pawns.
template <int Us>
inline PackedScore knightOutpost(Square q, Bitboard ownPawnAttacks, Bitboard theirPawns) {
    constexpr Bitboard Zone = Us == White ? OutpostZoneWhite : OutpostZoneBlack;
    Bitboard bit = 1ULL << q;
    if (!(ownPawnAttacks & Zone & bit)) return 0;
    PackedScore bonus = pack(5, 5);
    if (CentreFiles & bit) bonus += pack(2, 2);
    if (relativeRank(Us, q) == 4) bonus += pack(3, 3);
    if (!(theirPawns & PassedMask[Us][q])) bonus += pack(5, 5);
    return bonus;
}

// Open and half-open file bonus of a rook on the file; the extra bonus next to the enemy
// king counts only when the side can mount a king attack.
constexpr PackedScore rookFileBonus(int file, unsigned ownPawnFiles, unsigned theirPawnFiles,
                                    bool queenAttack, int theirKingFile) {
    if ((ownPawnFiles >> file) & 1) return 0;
    PackedScore bonus = pack(16, 12);
    if (!((theirPawnFiles >> file) & 1)) bonus += pack(20, 8);
    int distance = file > theirKingFile ? file - theirKingFile : theirKingFile - file;
    if (queenAttack && distance <= 1) bonus += pack(12, 12);
    return bonus;
}

constexpr PackedScore queenFileBonus(int file, unsigned ownPawnFiles, unsigned theirPawnFiles,
                                     bool queenAttack, int theirKingFile) {
    if ((ownPawnFiles >> file) & 1) return 0;
    PackedScore bonus = pack(6, 6);
    if (!((theirPawnFiles >> file) & 1)) bonus += pack(8, 6);
    int distance = file > theirKingFile ? file - theirKingFile : theirKingFile - file;
    if (queenAttack && distance <= 1) bonus += pack(6, 6);
    return bonus;
}

} // namespace zekora
