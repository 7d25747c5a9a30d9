// SPDX-License-Identifier: GPL-3.0-or-later
#include "movegen/captures.h"

#include "board/attacks.h"

namespace zekora {

namespace {

// Rank of a piece kind as attacker (cheaper first) and as victim (dearer first).
constexpr int attackerRank(int code) {
    switch (code & ~1) {
    case Pawn: return 0;
    case Knight: return 1;
    case LightBishop:
    case DarkBishop: return 2;
    case Rook: return 3;
    case Queen: return 4;
    default: return 5; // king
    }
}

constexpr int victimRank(int code) { return attackerRank(code) + 1; }

// Order of non-captures of each attacker (its column for an empty to-square).
constexpr int quietRank(int code) { return (code & ~1) == King ? 7 : 6 - attackerRank(code); }

constexpr int BaseCaptureScore = 168;

constexpr CaptureScoreTable buildCaptureScores() {
    CaptureScoreTable score{};
    for (int a = WhitePawn; a <= BlackKing; ++a) {
        score[a][Empty] = quietRank(a);
        for (int v = WhitePawn; v <= BlackKing; ++v)
            if (colorOf(v) != colorOf(a) && !isKing(v))
                score[a][v] = BaseCaptureScore + 8 * victimRank(v) - attackerRank(a);
    }
    return score;
}

// Moves of the pieces in set, each to the targets in its attack set.
template <typename AttackOf>
inline void addPieceCaptures(const Position& pos, MoveList& list, Bitboard pieces, Bitboard victims,
                             AttackOf attacks) {
    while (pieces) {
        Square from = popLsb(pieces);
        const auto& row = CaptureScore[pos.board[from]];
        Bitboard targets = attacks(from) & victims;
        while (targets) {
            Square to = popLsb(targets);
            list.add(encodeMove(from, to), row[pos.board[to]]);
        }
    }
}

// The four promotions of one pawn move, queen first; the bishop follows the square colour.
template <int Us>
inline void addPromotions(MoveList& list, Square from, Square to, int score) {
    list.add(encodeMove(from, to, Queen + Us), score + QueenPromotionBonus);
    list.add(encodeMove(from, to, Rook + Us), score);
    list.add(encodeMove(from, to, Knight + Us), score);
    list.add(encodeMove(from, to, bishopCode(Us, to)), score);
}

// Pawn captures to the squares in targets, each coming from to - delta.
template <int Us>
inline void addPawnCaptures(const Position& pos, MoveList& list, Bitboard targets, int delta) {
    constexpr int PromotionRank = Us == White ? 7 : 0;
    const auto& row = CaptureScore[Pawn + Us];
    while (targets) {
        Square to = popLsb(targets);
        Square from = to - delta;
        int score = row[pos.board[to]];
        if (rankOf(to) == PromotionRank)
            addPromotions<Us>(list, from, to, score);
        else
            list.add(encodeMove(from, to), score);
    }
}

template <int Us>
void generateCaptures(const Position& pos, MoveList& list, Bitboard targetMask) {
    constexpr int Them = Us ^ 1;
    constexpr Direction Up = Us == White ? North : South;
    // The first capture direction is towards the h-file for White, the a-file for Black.
    constexpr Direction CaptureA = Us == White ? NorthEast : SouthWest;
    constexpr Direction CaptureB = Us == White ? NorthWest : SouthEast;
    constexpr Bitboard SeventhRank = rankMask(Us == White ? 6 : 1);

    const Bitboard* bb = pos.bitboards;
    const Bitboard occ = pos.occupied();
    const Bitboard victims = bb[Them] & ~bb[King + Them] & targetMask;
    const Bitboard pawns = bb[Pawn + Us];

    addPawnCaptures<Us>(pos, list, shift<CaptureA>(pawns) & victims, int(CaptureA));
    addPawnCaptures<Us>(pos, list, shift<CaptureB>(pawns) & victims, int(CaptureB));

    Bitboard pushes = shift<Up>(pawns & SeventhRank) & ~occ & targetMask;
    while (pushes) {
        Square to = popLsb(pushes);
        addPromotions<Us>(list, to - int(Up), to, CaptureScore[Pawn + Us][Empty]);
    }

    const Square ep = pos.epSquare;
    if (ep != NoSquare && (SquareBit[ep] & targetMask)) {
        // Pawns that a pawn of the other side on ep would attack; the one nine squares back
        // first, then the one seven back.
        const Bitboard capturers = PawnAttacks[Them][ep] & pawns;
        const int score = CaptureScore[Pawn + Us][Pawn + Them];
        for (int delta : {9, 7}) {
            Square from = Us == White ? ep - delta : ep + delta;
            if (from >= 0 && from < 64 && (capturers & SquareBit[from]))
                list.add(encodeMove(from, ep, FlagEnPassant), score);
        }
    }

    addPieceCaptures(pos, list, bb[Knight + Us], victims,
                     [](Square s) { return KnightAttacks[s]; });
    addPieceCaptures(pos, list, bb[LightBishop + Us] | bb[DarkBishop + Us], victims,
                     [occ](Square s) { return bishopAttacks(s, occ); });
    addPieceCaptures(pos, list, bb[Rook + Us], victims,
                     [occ](Square s) { return rookAttacks(s, occ); });
    addPieceCaptures(pos, list, bb[Queen + Us], victims,
                     [occ](Square s) { return queenAttacks(s, occ); });
    // Walks the king set rather than kingSquare, so a position without a king lists nothing.
    addPieceCaptures(pos, list, bb[King + Us], victims, [](Square s) { return KingAttacks[s]; });

    sortMoves(list);
}

} // namespace

const CaptureScoreTable CaptureScore = buildCaptureScores();

void generateCapturesWhite(const Position& pos, MoveList& list, Bitboard targetMask) {
    generateCaptures<White>(pos, list, targetMask);
}

void generateCapturesBlack(const Position& pos, MoveList& list, Bitboard targetMask) {
    generateCaptures<Black>(pos, list, targetMask);
}

} // namespace zekora
