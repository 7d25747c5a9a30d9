// SPDX-License-Identifier: GPL-3.0-or-later
#include "movegen/checks.h"

#include "board/attacks.h"
#include "movegen/quiets.h"

namespace zekora {

namespace {

// Pieces of Us that stand between one of their sliders and the enemy king, each as the only
// piece on that line: moving one off the line discovers check. Their moves are added here.
template <int Us>
Bitboard addDiscoveredChecks(const Position& pos, MoveList& list) {
    const Square king = pos.kingSquare[opponent(Us)];
    const Bitboard occ = pos.occupied();
    const Bitboard empty = ~occ;
    const Bitboard diagonal = diagonalSliders(pos, Us);
    const Bitboard straight = straightSliders(pos, Us);
    Bitboard candidates = (rookAttacks(king, occ) | bishopAttacks(king, occ)) & pos.bitboards[Us];
    Bitboard discovering = 0;
    while (candidates) {
        Square from = popLsb(candidates);
        const Bitboard line = Line[king][from];
        const Bitboard opened = occ ^ SquareBit[from];
        const Bitboard behind =
            ((bishopAttacks(king, opened) & diagonal) | (rookAttacks(king, opened) & straight)) &
            line & ~SquareBit[from];
        if (!behind) continue;
        discovering |= SquareBit[from];
        const Bitboard away = empty & ~line;
        const int piece = pos.board[from];
        if (!isPawn(piece)) {
            for (Bitboard to = AttackFunction[piece](from, occ) & away; to;)
                list.add(encodeMove(from, popLsb(to)), 0);
            continue;
        }
        // Steps onto the last rank are promotions and belong to the capture generator.
        const Square front = from + PawnPush<Us>;
        if (relativeRank(Us, from) > 5 || !(away & SquareBit[front])) continue;
        list.add(encodeMove(from, front), 0);
        if (relativeRank(Us, front) == 2 && (away & SquareBit[front + PawnPush<Us>]))
            list.add(encodeMove(from, front + PawnPush<Us>, FlagDoublePush), 0);
    }
    return discovering;
}

template <int Us>
void addDirectChecks(const Position& pos, MoveList& list, Bitboard discovering) {
    constexpr int Them = opponent(Us);
    const Square king = pos.kingSquare[Them];
    const Bitboard occ = pos.occupied();
    const Bitboard empty = ~occ;
    const Bitboard* bb = pos.bitboards;

    // Squares from which a pawn of Us would attack the king; never on the last rank.
    const Bitboard pawnChecks = PawnAttacks[Them][king] & empty;
    const Bitboard pawns = bb[Pawn + Us] & ~discovering;
    for (Bitboard to = pawnPushOf<Us>(pawns) & pawnChecks; to;) {
        Square t = popLsb(to);
        list.add(encodeMove(t - PawnPush<Us>, t), 0);
    }
    const Bitboard overThird = pawnPushOf<Us>(pawns) & empty & rankMask(Us == White ? 2 : 5);
    for (Bitboard to = pawnPushOf<Us>(overThird) & pawnChecks; to;) {
        Square t = popLsb(to);
        list.add(encodeMove(t - 2 * PawnPush<Us>, t, FlagDoublePush), 0);
    }

    for (Bitboard b = bb[Knight + Us] & ~discovering; b;) {
        Square from = popLsb(b);
        for (Bitboard to = KnightAttacks[from] & KnightAttacks[king] & empty; to;)
            list.add(encodeMove(from, popLsb(to)), 0);
    }
    const Bitboard bishopChecks = bishopAttacks(king, occ) & empty;
    const Bitboard rookChecks = rookAttacks(king, occ) & empty;
    for (Bitboard b = (bb[LightBishop + Us] | bb[DarkBishop + Us]) & ~discovering; b;) {
        Square from = popLsb(b);
        for (Bitboard to = bishopAttacks(from, occ) & bishopChecks; to;)
            list.add(encodeMove(from, popLsb(to)), 0);
    }
    for (Bitboard b = bb[Rook + Us] & ~discovering; b;) {
        Square from = popLsb(b);
        for (Bitboard to = rookAttacks(from, occ) & rookChecks; to;)
            list.add(encodeMove(from, popLsb(to)), 0);
    }
    for (Bitboard b = bb[Queen + Us] & ~discovering; b;) {
        Square from = popLsb(b);
        for (Bitboard to = queenAttacks(from, occ) & (bishopChecks | rookChecks); to;)
            list.add(encodeMove(from, popLsb(to)), 0);
    }
}

// Castling checks when the rook's landing square sees the enemy king on the board as it
// stands. A rook that would check only through the square its own king leaves is not looked
// for: such rare checks are left to the search's other stages.
template <int Us>
void addCastlingChecks(const Position& pos, MoveList& list) {
    const Square king = pos.kingSquare[opponent(Us)];
    const Bitboard rays = rookAttacks(king, pos.occupied());
    if constexpr (Us == White) {
        if ((pos.castling & WhiteShort) && (rays & SquareBit[F1])) addCastleWhiteShort(pos, list);
        if ((pos.castling & WhiteLong) && (rays & SquareBit[D1])) addCastleWhiteLong(pos, list);
    } else {
        if ((pos.castling & BlackShort) && (rays & SquareBit[F8])) addCastleBlackShort(pos, list);
        if ((pos.castling & BlackLong) && (rays & SquareBit[D8])) addCastleBlackLong(pos, list);
    }
}

template <int Us>
void generateChecks(const Position& pos, MoveList& list) {
    Bitboard discovering = addDiscoveredChecks<Us>(pos, list);
    addDirectChecks<Us>(pos, list, discovering);
    addCastlingChecks<Us>(pos, list);
}

} // namespace

void generateChecksWhite(const Position& pos, MoveList& list) { generateChecks<White>(pos, list); }
void generateChecksBlack(const Position& pos, MoveList& list) { generateChecks<Black>(pos, list); }

const CheckGeneratorFn CheckGenerators[2] = {generateChecksWhite, generateChecksBlack};

} // namespace zekora
