// SPDX-License-Identifier: GPL-3.0-or-later
#include "eval/evaluate.h"

#include <algorithm>

#include "board/attacks.h"

namespace zekora {

EvalCacheEntry EvalCache[EvalCacheSize];

const int KingAttackScale[16] = {0,   0,   128, 192, 224, 240, 248, 252,
                                 254, 255, 256, 256, 256, 256, 256, 256};

const int Unstoppable[8] = {0, 400, 400, 480, 560, 640, 800, 0};
const int FreePathOwn[8] = {0, 0, 0, 2, 3, 4, 5, 0};
const int FreePathEnemy[8] = {0, 0, 0, 4, 6, 8, 10, 0};
const int SafePath[8] = {0, 0, 0, 10, 20, 30, 50, 0};
const int RookPawnVsKnights[8] = {0, 2, 2, 4, 8, 16, 32, 0};

namespace {

constexpr PackedScore S(int mg, int eg) { return pack(mg, eg); }

constexpr PackedScore PawnFork = S(45, 45);
constexpr PackedScore MinorMobility = S(4, 4);
constexpr PackedScore RookMobility = S(2, 2);
constexpr PackedScore QueenMobility = S(1, 1);
constexpr PackedScore PawnTargeted = S(1, 1); // a piece eyeing enemy pawns
constexpr PackedScore KnightFork = S(35, 35);
constexpr PackedScore BishopOutpost = S(5, 5);
constexpr PackedScore RookOnSeventh = S(2, 8);
constexpr PackedScore RookBehindPasser = S(20, 10);
constexpr PackedScore EnemyRookBehindPasser = S(0, 15);
constexpr PackedScore TrappedBishop = S(50, 0);
constexpr PackedScore BlockedBishop = S(30, 0);
constexpr PackedScore TrappedRook = S(30, 0);

// King-attack accumulator increments: one attacker and its weight.
constexpr PackedScore KnightAttack = S(1, 10);
constexpr PackedScore BishopAttack = S(1, 10);
constexpr PackedScore RookAttack = S(1, 20);
constexpr PackedScore QueenAttackWeight = S(1, 40);
constexpr PackedScore PawnZoneWeight = S(0, 5);

constexpr Bitboard bit(Square s) { return 1ULL << s; }

template <int Us>
constexpr Square relative(Square s) {
    return Us == White ? s : flipRank(s);
}

// Scratch state of one evaluation; later steps read what earlier ones built.
struct EvalState {
    Bitboard occupied;
    Bitboard pawnAttacks[2];
    Bitboard attacks[2];       // running attack sets of both colours
    Bitboard area[2];          // mobility area of the rooks, then of the queens
    Bitboard kingZone[2];      // the squares next to each king
    PackedScore kingAttack[2]; // (attacker count, summed weight)
    uint8_t flags[2];
};

// A defended pawn forks when both squares it attacks hold enemy pieces: the pawns whose
// captures to either side both land on targets.
template <int Us>
PackedScore pawnForks(const Position& pos, const EvalState& st) {
    constexpr int Them = opponent(Us);
    constexpr Direction BackFromEast = Us == White ? SouthWest : NorthWest;
    constexpr Direction BackFromWest = Us == White ? SouthEast : NorthEast;
    Bitboard targets = pos.bitboards[Them] & ~pos.bitboards[Pawn + Them];
    Bitboard forks = pos.bitboards[Pawn + Us] & st.pawnAttacks[Us] & shift<BackFromEast>(targets) &
                     shift<BackFromWest>(targets);
    return popcount(forks) * PawnFork;
}

template <int Us>
PackedScore knights(const Position& pos, EvalState& st) {
    constexpr int Them = opponent(Us);
    Bitboard area = ~(pos.bitboards[Us] | st.pawnAttacks[Them]);
    Bitboard theirPawns = pos.bitboards[Pawn + Them];
    Bitboard forkTargets =
        pos.bitboards[King + Them] | pos.bitboards[Queen + Them] | pos.bitboards[Rook + Them];
    PackedScore score = 0;
    for (Bitboard b = pos.bitboards[Knight + Us]; b;) {
        Square q = popLsb(b);
        Bitboard a = KnightAttacks[q];
        st.attacks[Us] |= a;
        score += popcount(a & area) * MinorMobility;
        if (a & st.kingZone[Them]) st.kingAttack[Us] += KnightAttack;
        if (a & theirPawns) score += PawnTargeted;
        if (moreThanOne(a & forkTargets)) score += KnightFork;
        score += knightOutpost<Us>(q, st.pawnAttacks[Us], theirPawns);
    }
    return score;
}

template <int Us>
PackedScore bishops(const Position& pos, EvalState& st) {
    constexpr int Them = opponent(Us);
    constexpr Bitboard Zone = Us == White ? OutpostZoneWhite : OutpostZoneBlack;
    Bitboard area = ~(pos.bitboards[Us] | st.pawnAttacks[Them]);
    Bitboard theirPawns = pos.bitboards[Pawn + Them];
    PackedScore score = 0;
    for (Bitboard b = pos.bitboards[LightBishop + Us] | pos.bitboards[DarkBishop + Us]; b;) {
        Square q = popLsb(b);
        Bitboard a = bishopAttacks(q, st.occupied);
        st.attacks[Us] |= a;
        score += popcount(a & area) * MinorMobility;
        if (a & st.kingZone[Them]) st.kingAttack[Us] += BishopAttack;
        if (a & theirPawns) score += PawnTargeted;
        if ((st.pawnAttacks[Us] & Zone & bit(q)) && !(theirPawns & PassedMask[Us][q]))
            score += BishopOutpost;
    }
    return score;
}

// Rooks and queens count as mobile only on squares the enemy does not attack; the areas are
// taken once per piece kind, before either colour's loop adds its attacks.
void fixHeavyPieceAreas(const Position& pos, EvalState& st) {
    st.area[White] = ~(pos.bitboards[White] | st.attacks[Black]);
    st.area[Black] = ~(pos.bitboards[Black] | st.attacks[White]);
}

template <int Us>
PackedScore rooks(const Position& pos, EvalState& st, unsigned ownPawnFiles,
                  unsigned theirPawnFiles) {
    constexpr int Them = opponent(Us);
    constexpr Bitboard LastTwoRanks =
        Us == White ? rankMask(6) | rankMask(7) : rankMask(1) | rankMask(0);
    Bitboard theirPawns = pos.bitboards[Pawn + Them];
    bool queenAttack = st.flags[Us] & QueenAttack;
    int theirKingFile = fileOf(pos.kingSquare[Them]);
    bool seventhTargets = (theirPawns | pos.bitboards[King + Them]) & LastTwoRanks;
    PackedScore score = 0;
    for (Bitboard b = pos.bitboards[Rook + Us]; b;) {
        Square q = popLsb(b);
        Bitboard a = rookAttacks(q, st.occupied);
        st.attacks[Us] |= a;
        score += popcount(a & st.area[Us]) * RookMobility;
        if (a & st.kingZone[Them]) st.kingAttack[Us] += RookAttack;
        if (a & theirPawns) score += PawnTargeted;
        score += rookFileBonus(fileOf(q), ownPawnFiles, theirPawnFiles, queenAttack, theirKingFile);
        if (relativeRank(Us, q) == 6 && seventhTargets) score += RookOnSeventh;
    }
    return score;
}

template <int Us>
PackedScore queens(const Position& pos, EvalState& st, unsigned ownPawnFiles,
                   unsigned theirPawnFiles) {
    constexpr int Them = opponent(Us);
    Bitboard theirPawns = pos.bitboards[Pawn + Them];
    bool queenAttack = st.flags[Us] & QueenAttack;
    int theirKingFile = fileOf(pos.kingSquare[Them]);
    PackedScore score = 0;
    for (Bitboard b = pos.bitboards[Queen + Us]; b;) {
        Square q = popLsb(b);
        Bitboard a = bishopAttacks(q, st.occupied) | rookAttacks(q, st.occupied);
        st.attacks[Us] |= a;
        score += popcount(a & st.area[Us]) * QueenMobility;
        if (a & st.kingZone[Them]) st.kingAttack[Us] += QueenAttackWeight;
        if (a & theirPawns) score += PawnTargeted;
        score +=
            queenFileBonus(fileOf(q), ownPawnFiles, theirPawnFiles, queenAttack, theirKingFile);
    }
    return score;
}

// Middlegame only: the enemy king's shelter weakness plus the scaled attack weights.
template <int Us>
PackedScore kingAttack(const EvalState& st, int theirShelter) {
    if (!(st.flags[Us] & QueenAttack)) return 0;
    uint32_t accumulator = uint32_t(st.kingAttack[Us]);
    int count = std::min(15, int(accumulator >> 16));
    int weight = int(accumulator & 0xFFFF);
    return S(theirShelter + KingAttackScale[count] * weight / 256, 0);
}

template <int Us>
PackedScore passedPawns(const Position& pos, const EvalState& st, unsigned passedFiles) {
    constexpr int Them = opponent(Us);
    Bitboard ours = pos.bitboards[Pawn + Us];
    Bitboard theirKingAndPawns = pos.bitboards[King + Them] | pos.bitboards[Pawn + Them];
    bool theyHavePawnsOnly = pos.bitboards[Them] == theirKingAndPawns;
    bool theyHaveKnightsOnly =
        pos.bitboards[Them] == (theirKingAndPawns | pos.bitboards[Knight + Them]);
    Bitboard ownControl = st.attacks[Us] | st.kingZone[Us];
    Bitboard theirControl = st.attacks[Them] | st.kingZone[Them];
    Bitboard theirKing = bit(pos.kingSquare[Them]), ownKing = bit(pos.kingSquare[Us]);

    PackedScore score = 0;
    for (unsigned files = passedFiles; files; files &= files - 1) {
        int file = __builtin_ctz(files);
        Bitboard onFile = ours & fileMask(file);
        if (!onFile) continue; // only after a pawn-cache key collision
        Square p = foremostPawn<Us>(onFile);
        int r = relativeRank(Us, p);
        Bitboard span = FrontSpan[Us][p];

        int eg = 0;
        if (theyHavePawnsOnly &&
            (!(CatchSquares[Us][p][pos.sideToMove] & theirKing) || (KeySquares[Us][p] & ownKing)))
            eg += Unstoppable[r];
        if (!(span & pos.bitboards[Us])) eg += FreePathOwn[r];
        if (!(span & pos.bitboards[Them])) eg += FreePathEnemy[r];
        if (!(span & theirControl & ~ownControl)) eg += SafePath[r];
        if ((file == 0 || file == 7) && theyHaveKnightsOnly) eg += RookPawnVsKnights[r];
        score += eg;

        Bitboard behind = FrontSpan[Them][p];
        if (behind & pos.bitboards[Rook + Us]) score += RookBehindPasser;
        if (behind & pos.bitboards[Rook + Them]) score -= EnemyRookBehindPasser;
    }
    return score;
}

// Trapped and blocked pieces in their usual spots. Each pattern counts once.
template <int Us>
PackedScore patterns(const Position& pos) {
    constexpr int Them = opponent(Us);
    // The squares as White sees them, mirrored for Black; all masks are compile-time constants.
    constexpr auto at = [](auto... squares) { return (bit(relative<Us>(squares)) | ...); };
    Bitboard bishops = pos.bitboards[LightBishop + Us] | pos.bitboards[DarkBishop + Us];
    Bitboard ownPawns = pos.bitboards[Pawn + Us], theirPawns = pos.bitboards[Pawn + Them];
    Bitboard rooks = pos.bitboards[Rook + Us], king = pos.bitboards[King + Us];
    Bitboard occupied = pos.bitboards[White] | pos.bitboards[Black];

    PackedScore score = 0;
    // Bishops seldom stand in the enemy's corners: one test skips both trap patterns.
    if (bishops & at(A6, A7, B8, H6, H7, G8)) {
        if (((bishops & at(A6)) && (theirPawns & at(B5))) ||
            ((bishops & at(A7)) && (theirPawns & at(B6))) ||
            ((bishops & at(B8)) && (theirPawns & at(C7))))
            score -= TrappedBishop;
        if (((bishops & at(H6)) && (theirPawns & at(G5))) ||
            ((bishops & at(H7)) && (theirPawns & at(G6))) ||
            ((bishops & at(G8)) && (theirPawns & at(F7))))
            score -= TrappedBishop;
    }
    if ((bishops & at(C1)) && (ownPawns & at(D2)) && (occupied & at(D3))) score -= BlockedBishop;
    if ((bishops & at(F1)) && (ownPawns & at(E2)) && (occupied & at(E3))) score -= BlockedBishop;
    if ((rooks & at(A1, B1, A2)) && (king & at(B1, C1))) score -= TrappedRook;
    if ((rooks & at(G1, H1, H2)) && (king & at(F1, G1))) score -= TrappedRook;
    return score;
}

void initState(const Position& pos, const MaterialInfo& mi, EvalState& st) {
    st.occupied = pos.bitboards[White] | pos.bitboards[Black];
    st.pawnAttacks[White] = pawnAttacksOf<White>(pos.bitboards[WhitePawn]);
    st.pawnAttacks[Black] = pawnAttacksOf<Black>(pos.bitboards[BlackPawn]);
    st.attacks[White] = st.pawnAttacks[White];
    st.attacks[Black] = st.pawnAttacks[Black];
    st.kingZone[White] = KingAttacks[pos.kingSquare[White]];
    st.kingZone[Black] = KingAttacks[pos.kingSquare[Black]];
    st.kingAttack[White] = (st.pawnAttacks[White] & st.kingZone[Black]) ? PawnZoneWeight : 0;
    st.kingAttack[Black] = (st.pawnAttacks[Black] & st.kingZone[White]) ? PawnZoneWeight : 0;
    st.flags[White] = mi.whiteFlags;
    st.flags[Black] = mi.blackFlags;
}

// The phase blend, then the endgame scale in 128ths; both shifts round toward minus infinity.
int blendAndScale(PackedScore score, int phase, int scale) {
    return (scale * blend(score, phase)) >> FullScaleShift;
}

} // namespace

int evaluationScale(const Position& pos, const MaterialInfo& mi) {
    int scale = mi.scale;
    if (scale == 0) return 0;
    uint8_t flags = mi.whiteFlags | mi.blackFlags;
    if (flags & OneBishopColour) scale = std::min(scale, rookPawnBishopScale(pos, mi));
    if (scale == 0) return 0;
    if (flags & LonePawn) scale = std::min(scale, lonePawnScale(pos, mi));
    return scale;
}

PackedScore positionalScore(const Position& pos, const MaterialInfo& mi, const PawnHashEntry& pe) {
    EvalState st;
    initState(pos, mi, st);
    PackedScore acc = pos.psqScore + pe.score;
    acc += pawnForks<White>(pos, st) - pawnForks<Black>(pos, st);
    acc += knights<White>(pos, st) - knights<Black>(pos, st);
    acc += bishops<White>(pos, st) - bishops<Black>(pos, st);
    fixHeavyPieceAreas(pos, st);
    acc += rooks<White>(pos, st, pe.whitePawnFiles, pe.blackPawnFiles) -
           rooks<Black>(pos, st, pe.blackPawnFiles, pe.whitePawnFiles);
    fixHeavyPieceAreas(pos, st);
    acc += queens<White>(pos, st, pe.whitePawnFiles, pe.blackPawnFiles) -
           queens<Black>(pos, st, pe.blackPawnFiles, pe.whitePawnFiles);
    acc += kingAttack<White>(st, pe.blackShelter) - kingAttack<Black>(st, pe.whiteShelter);
    acc += passedPawns<White>(pos, st, pe.whitePassedFiles) -
           passedPawns<Black>(pos, st, pe.blackPassedFiles);
    acc += patterns<White>(pos) - patterns<Black>(pos);
    return acc;
}

int evaluate(const Position& pos, int, int) {
    EvalCacheEntry& cached = EvalCache[pos.key & (EvalCacheSize - 1)];
    uint32_t checkKey = uint32_t(pos.key >> 32);
    if (cached.checkKey == checkKey) return pos.sideToMove == White ? cached.value : -cached.value;

    const MaterialInfo& mi = probeMaterial(pos);
    const PawnHashEntry& pe = probePawnHash(pos);
    // Known draws return before anything is stored.
    int scale = evaluationScale(pos, mi);
    if (scale == 0) return 0;

    PackedScore acc = positionalScore(pos, mi, pe);
    int result = mi.value + blendAndScale(acc, mi.phase, scale);
    cached.checkKey = checkKey;
    cached.value = result;
    return pos.sideToMove == White ? result : -result;
}

} // namespace zekora
