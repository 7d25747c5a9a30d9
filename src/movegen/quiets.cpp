// SPDX-License-Identifier: GPL-3.0-or-later
#include "movegen/quiets.h"

#include "board/attacks.h"

namespace zekora {

namespace {

// One castling move: its right, the squares that must be empty, and the king's path (start,
// passage, destination), none of which may be attacked.
struct CastlingRule {
    int right;
    Square kingFrom, kingTo, rookFrom;
    Bitboard mustBeEmpty;
    Square path[3];
};

constexpr Bitboard bit(Square s) { return Bitboard(1) << s; }

constexpr CastlingRule WhiteShortRule = {WhiteShort, E1, G1, H1, bit(F1) | bit(G1), {E1, F1, G1}};
constexpr CastlingRule WhiteLongRule = {WhiteLong,   E1, C1, A1, bit(D1) | bit(C1) | bit(B1),
                                        {E1, D1, C1}};
constexpr CastlingRule BlackShortRule = {BlackShort, E8, G8, H8, bit(F8) | bit(G8), {E8, F8, G8}};
constexpr CastlingRule BlackLongRule = {BlackLong,   E8, C8, A8, bit(D8) | bit(C8) | bit(B8),
                                        {E8, D8, C8}};

template <int Us>
inline void addCastle(const Position& pos, MoveList& list, const CastlingRule& rule) {
    if (!(pos.castling & rule.right)) return;
    if (pos.board[rule.kingFrom] != King + Us || pos.board[rule.rookFrom] != Rook + Us) return;
    if (pos.occupied() & rule.mustBeEmpty) return;
    for (Square s : rule.path)
        if (isSquareAttacked(pos, s, Us ^ 1)) return;
    list.add(encodeMove(rule.kingFrom, rule.kingTo, FlagCastle),
             historyTable[King + Us][rule.kingTo]);
}

// Moves of the pieces in set to the empty target squares of their attack sets.
template <typename AttackOf>
inline void addPieceMoves(MoveList& list, Bitboard pieces, int code, Bitboard empty,
                          AttackOf attacks) {
    const int32_t* history = historyTable[code];
    while (pieces) {
        Square from = popLsb(pieces);
        Bitboard targets = attacks(from) & empty;
        while (targets) {
            Square to = popLsb(targets);
            list.add(encodeMove(from, to), history[to]);
        }
    }
}

template <int Us>
inline void addPawnPushes(MoveList& list, Bitboard targets, int back, int kind) {
    const int32_t* history = historyTable[Pawn + Us];
    while (targets) {
        Square to = popLsb(targets);
        list.add(encodeMove(to - back, to, kind), history[to]);
    }
}

template <int Us>
void generateQuiets(const Position& pos, MoveList& list, Bitboard targetMask) {
    constexpr Direction Up = Us == White ? North : South;
    constexpr Bitboard SeventhRank = rankMask(Us == White ? 6 : 1);
    constexpr Bitboard ThirdRank = rankMask(Us == White ? 2 : 5);
    constexpr CastlingRule Short = Us == White ? WhiteShortRule : BlackShortRule;
    constexpr CastlingRule Long = Us == White ? WhiteLongRule : BlackLongRule;

    const Bitboard* bb = pos.bitboards;
    const Bitboard occ = pos.occupied();
    const Bitboard empty = targetMask & ~occ;

    if ((pos.castling & Short.right) && (targetMask & SquareBit[Short.kingTo]))
        addCastle<Us>(pos, list, Short);
    if ((pos.castling & Long.right) && (targetMask & SquareBit[Long.kingTo]))
        addCastle<Us>(pos, list, Long);

    // Pawns on the seventh rank promote, which is the capture generator's business.
    const Bitboard pawns = bb[Pawn + Us] & ~SeventhRank;
    const Bitboard singles = shift<Up>(pawns) & ~occ;
    addPawnPushes<Us>(list, singles & targetMask, int(Up), FlagNormal);
    addPawnPushes<Us>(list, shift<Up>(singles & ThirdRank) & empty, 2 * int(Up), FlagDoublePush);

    addPieceMoves(list, bb[Knight + Us], Knight + Us, empty,
                  [](Square s) { return KnightAttacks[s]; });
    // Both bishop codes in one square-ordered walk; each keeps its own history row.
    Bitboard bishops = bb[LightBishop + Us] | bb[DarkBishop + Us];
    while (bishops) {
        Square from = popLsb(bishops);
        addPieceMoves(list, SquareBit[from], pos.board[from], empty,
                      [occ](Square s) { return bishopAttacks(s, occ); });
    }
    addPieceMoves(list, bb[Rook + Us], Rook + Us, empty,
                  [occ](Square s) { return rookAttacks(s, occ); });
    addPieceMoves(list, bb[Queen + Us], Queen + Us, empty,
                  [occ](Square s) { return queenAttacks(s, occ); });
    addPieceMoves(list, bb[King + Us], King + Us, empty, [](Square s) { return KingAttacks[s]; });

    sortMoves(list);
}

} // namespace

void generateQuietsWhite(const Position& pos, MoveList& list, Bitboard targetMask) {
    generateQuiets<White>(pos, list, targetMask);
}

void generateQuietsBlack(const Position& pos, MoveList& list, Bitboard targetMask) {
    generateQuiets<Black>(pos, list, targetMask);
}

void addCastleWhiteShort(const Position& pos, MoveList& list) {
    addCastle<White>(pos, list, WhiteShortRule);
}
void addCastleWhiteLong(const Position& pos, MoveList& list) {
    addCastle<White>(pos, list, WhiteLongRule);
}
void addCastleBlackShort(const Position& pos, MoveList& list) {
    addCastle<Black>(pos, list, BlackShortRule);
}
void addCastleBlackLong(const Position& pos, MoveList& list) {
    addCastle<Black>(pos, list, BlackLongRule);
}

} // namespace zekora
