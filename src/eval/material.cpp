// SPDX-License-Identifier: GPL-3.0-or-later
#include "eval/material.h"

#include <algorithm>

#include "board/attacks.h"
#include "eval/score.h"

namespace zekora {

MaterialInfo MaterialTable[MaterialTableSize];

namespace {

constexpr PackedScore PawnValue = pack(95, 95);
constexpr PackedScore MinorValue = pack(324, 292);
constexpr PackedScore QueenValue = pack(925, 925);
constexpr PackedScore BishopPairValue = pack(47, 47);
constexpr int RookInPawns = 5;
constexpr int ImbalanceUnit = 5;     // per pawn above five, for each knight and against each rook
constexpr int ImbalancePawnBase = 5; // the pawn count at which knights and rooks are neutral

struct SideCounts {
    int p, n, bl, bd, r, q;
    int minors() const { return n + bl + bd; }
    int pieces() const { return minors() + r + q; }
};

template <int C>
SideCounts countMaterial(const Position& pos) {
    return {popcount(pos.bitboards[Pawn + C]),        popcount(pos.bitboards[Knight + C]),
            popcount(pos.bitboards[LightBishop + C]), popcount(pos.bitboards[DarkBishop + C]),
            popcount(pos.bitboards[Rook + C]),        popcount(pos.bitboards[Queen + C])};
}

uint8_t sideFlags(const SideCounts& own, const SideCounts& other) {
    uint8_t flags = 0;
    if (own.q >= 1 && own.pieces() >= 2) flags |= QueenAttack;
    bool onlyBishops = own.n == 0 && own.r == 0 && own.q == 0;
    if (own.p >= 1 && onlyBishops && (own.bl == 0 || own.bd == 0)) flags |= OneBishopColour;
    if (own.pieces() == 0 && own.p == 1 && other.pieces() == 0 && other.p == 0) flags |= LonePawn;
    return flags;
}

int scaleOf(const SideCounts& s, const SideCounts& w) {
    return endgameScale(s.p, s.n, s.bl, s.bd, s.r, s.q, w.p, w.n, w.bl, w.bd, w.r, w.q);
}

int weightOf(int minors, int rooks, int queens) { return minors + 2 * rooks + 4 * queens; }

// One column of the decision tables: the stronger side without a pawn or with exactly one.
int pick(int strongPawns, int pawnless, int onePawn) {
    return strongPawns == 0 ? pawnless : onePawn;
}

// Weight difference 1: one minor up, or the exchange up.
int scaleOneUp(int sP, int sm, int sR, int sQ, int wP, int wm, int wR) {
    int general = sP == 0 ? (24 - wP) * 4 : (wP >= 2 ? (32 - wP) * 4 : FullScale);
    int heavy = sR + sQ;
    if (sm == wm + 1) {
        if (heavy >= 2) return general;
        if (heavy == 0) {
            if (sm == 1) return pick(sP, 0, (16 - wP) * 8);
            if (sm == 2) return pick(sP, (4 - wP) * 8, (16 - wP) * 8);
            return pick(sP, (8 - wP) * 8, general);
        }
        if (sm == 1) return pick(sP, (4 - wP) * 8, (16 - wP) * 8);
        if (sm == 2) return pick(sP, (8 - wP) * 8, (16 - wP) * 8);
        return pick(sP, (12 - wP) * 8, general);
    }
    if (sR == wR + 1 && sm + 1 == wm) {
        if (heavy == 1 && sm <= 1) return pick(sP, (8 - wP) * 8, (16 - wP) * 8);
        return general;
    }
    return FullScale;
}

// Weight difference 0: level pieces, or two minors against a rook.
int scaleLevel(int sP, int sm, int sR, int sQ, int wP, int wm, int wR, int wQ) {
    bool heavy = sR + sQ > 0;
    if (sm == wm && sR + 2 * sQ == wR + 2 * wQ) {
        if (heavy) return FullScale;
        if (sm == 1) return pick(sP, 0, 32);
        if (sm == 2) return pick(sP, 4, 32);
        return FullScale;
    }
    if (sm == wm + 2 && sR + 1 == wR) {
        if (!heavy && sm == 2) return pick(sP, (4 - wP) * 8, (16 - wP) * 8);
        if (!heavy && sm == 3) return pick(sP, (8 - wP) * 8, (32 - wP) * 4);
        return pick(sP, (24 - wP) * 4, (32 - wP) * 4);
    }
    return FullScale;
}

} // namespace

int endgameScale(int sP, int sN, int sBl, int sBd, int sR, int sQ, int wP, int wN, int wBl, int wBd,
                 int wR, int wQ) {
    if (sP >= 2) return FullScale;
    int sm = sN + sBl + sBd, wm = wN + wBl + wBd;
    int d = weightOf(sm, sR, sQ) - weightOf(wm, wR, wQ);
    if (d > 2 || d < 0) return FullScale;
    if (d == 2) {
        bool twoKnightsOnly = sN == 2 && sBl + sBd == 0 && sR == 0 && sQ == 0 && sP == 0;
        if (!twoKnightsOnly) return FullScale;
        return wP == 0 ? 0 : 64;
    }
    if (d == 1) return scaleOneUp(sP, sm, sR, sQ, wP, wm, wR);
    return scaleLevel(sP, sm, sR, sQ, wP, wm, wR, wQ);
}

void computeMaterialInfo(const Position& pos, MaterialInfo& entry) {
    entry = MaterialInfo{};
    entry.checkKey = uint32_t(pos.materialKey >> 32);
    entry.scale = FullScale;

    SideCounts w = countMaterial<White>(pos), b = countMaterial<Black>(pos);
    int phase = std::min(MaxPhase, w.minors() + b.minors() + 3 * (w.r + b.r) + 6 * (w.q + b.q));

    PackedScore material = (w.minors() - b.minors()) * MinorValue +
                           (RookInPawns * (w.r - b.r) + (w.p - b.p)) * PawnValue +
                           (w.q - b.q) * QueenValue;
    if (w.bl > 0 && w.bd > 0) material += BishopPairValue;
    if (b.bl > 0 && b.bd > 0) material -= BishopPairValue;

    int imbalance = ImbalanceUnit * ((w.n - w.r) * (w.p - ImbalancePawnBase) +
                                     (b.r - b.n) * (b.p - ImbalancePawnBase));
    int balance = imbalance + blend(material, phase);

    // A level balance counts Black as the stronger side.
    bool whiteStronger = balance > 0;
    int scale = whiteStronger ? scaleOf(w, b) : scaleOf(b, w);
    // The tables can go below zero for counts no stronger side ever has; never invert the sign.
    scale = std::clamp(scale, 0, FullScale);

    entry.strongerSide = whiteStronger ? StrongerWhite : StrongerBlack;
    entry.scale = uint8_t(scale);
    entry.phase = uint8_t(phase);
    entry.value = int16_t(balance * scale / FullScale);
    entry.whiteFlags = sideFlags(w, b);
    entry.blackFlags = sideFlags(b, w);
}

MaterialInfo& probeMaterial(const Position& pos) {
    MaterialInfo& entry = MaterialTable[pos.materialKey & (MaterialTableSize - 1)];
    if (entry.checkKey != uint32_t(pos.materialKey >> 32)) computeMaterialInfo(pos, entry);
    return entry;
}

namespace {

constexpr Bitboard bit(Square s) { return 1ULL << s; }

// Rook pawns whose promotion square the bishops cannot cover, with the defending king in the
// promotion corner: a known draw. Us is the side with the pawns.
template <int Us>
bool wrongBishopCorner(const Position& pos) {
    constexpr int Them = opponent(Us);
    // The bishop that would cover the promotion corner: a8 and h1 are light, h8 and a1 dark.
    constexpr int ACornerCover = Us == White ? LightBishop : DarkBishop;
    constexpr int HCornerCover = Us == White ? DarkBishop : LightBishop;
    constexpr Bitboard ACorner =
        Us == White ? bit(A7) | bit(B7) | bit(A8) | bit(B8) : bit(A1) | bit(B1) | bit(A2) | bit(B2);
    constexpr Bitboard HCorner =
        Us == White ? bit(G7) | bit(H7) | bit(G8) | bit(H8) : bit(G1) | bit(H1) | bit(G2) | bit(H2);
    Bitboard pawns = pos.bitboards[Pawn + Us];
    Bitboard theirKing = bit(pos.kingSquare[Them]);
    if (!(pawns & ~FileABB) && !pos.bitboards[ACornerCover + Us] && (theirKing & ACorner))
        return true;
    return !(pawns & ~FileHBB) && !pos.bitboards[HCornerCover + Us] && (theirKing & HCorner);
}

} // namespace

int rookPawnBishopScale(const Position& pos, const MaterialInfo& entry) {
    if (entry.strongerSide == StrongerWhite && (entry.whiteFlags & OneBishopColour) &&
        wrongBishopCorner<White>(pos))
        return 0;
    if (entry.strongerSide == StrongerBlack && (entry.blackFlags & OneBishopColour) &&
        wrongBishopCorner<Black>(pos))
        return 0;
    return entry.scale;
}

int lonePawnScale(const Position& pos, const MaterialInfo& entry) {
    // Read Black's pawn on the mirrored board so that the rules below are White's.
    bool whitePawn = entry.value > 0;
    Bitboard pawns = pos.bitboards[whitePawn ? WhitePawn : BlackPawn];
    if (!pawns) return FullScale;
    Square pawn = whitePawn ? lsb(pawns) : flipRank(lsb(pawns));
    Square king = whitePawn ? pos.kingSquare[Black] : flipRank(pos.kingSquare[White]);
    int file = fileOf(pawn), rank = rankOf(pawn);
    bool kingAhead = fileOf(king) == file && rankOf(king) > rank;

    if (file == 0) return kingAhead || king == B7 || king == B8 ? 0 : FullScale;
    if (file == 7) return kingAhead || king == G7 || king == G8 ? 0 : FullScale;
    if (rank >= 1 && rank <= 4) return king == pawn + 8 || king == pawn + 16 ? 0 : FullScale;
    if (rank == 5) return king == pawn + 8 ? 0 : FullScale;
    return FullScale;
}

} // namespace zekora
