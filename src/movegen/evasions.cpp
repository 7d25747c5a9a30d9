// SPDX-License-Identifier: GPL-3.0-or-later
#include "movegen/evasions.h"

#include "board/attacks.h"
#include "movegen/captures.h"

namespace zekora {

namespace {

// Squares from which a pawn of Us captures onto a square, in the order they are tried:
// from the queen's side of the capture first (to - 9 for White, to + 9 for Black).
template <int Us>
constexpr int CaptureFrom[2] = {Us == White ? -9 : 9, Us == White ? -7 : 7};

template <int Us>
bool enPassantIsSafe(Position& pos, Square from, Square to) {
    constexpr int Them = opponent(Us);
    // The captured pawn stands behind the en-passant square, seen from the mover.
    const Bitboard moved = SquareBit[from] | SquareBit[to];
    const Bitboard victim = SquareBit[to - PawnPush<Us>];
    Bitboard* bb = pos.bitboards;
    bb[Pawn + Us] ^= moved;
    bb[Us] ^= moved;
    bb[Pawn + Them] ^= victim;
    bb[Them] ^= victim;
    bool attacked = isSquareAttacked(pos, pos.kingSquare[Us], Them);
    bb[Pawn + Us] ^= moved;
    bb[Us] ^= moved;
    bb[Pawn + Them] ^= victim;
    bb[Them] ^= victim;
    return !attacked;
}

// A pawn move, or the four promotions when it reaches the last rank (queen first).
template <int Us>
void addPawnMove(MoveList& list, Square from, Square to, int score) {
    if (relativeRank(Us, to) != 7) {
        list.add(encodeMove(from, to), score);
        return;
    }
    list.add(encodeMove(from, to, Queen + Us), score + QueenPromotionBonus);
    list.add(encodeMove(from, to, Rook + Us), score);
    list.add(encodeMove(from, to, Knight + Us), score);
    list.add(encodeMove(from, to, bishopCode(Us, to)), score);
}

template <int Us>
void addPieceMoves(const Position& pos, MoveList& list, Bitboard pieces, Bitboard targets) {
    const Bitboard occ = pos.occupied();
    while (pieces) {
        Square from = popLsb(pieces);
        int piece = pos.board[from];
        for (Bitboard to = AttackFunction[piece](from, occ) & targets; to;) {
            Square t = popLsb(to);
            list.add(encodeMove(from, t), CaptureScore[piece][pos.board[t]]);
        }
    }
}

template <int Us>
void generateEvasions(Position& pos, MoveList& list) {
    constexpr int Them = opponent(Us);
    const Square king = pos.kingSquare[Us];
    const Bitboard checkers = attackersTo(pos, king, Them);
    const Bitboard pinned = pos.stackEntry ? pos.stackEntry->pinned : pinnedPieces(pos, Us);
    const Bitboard occ = pos.occupied();
    const Bitboard* bb = pos.bitboards;

    // King moves. The king still blocks a checking slider's ray, so the squares behind it on
    // that line would look safe: they are removed first. A pawn's check has no line.
    Bitboard kingTargets = KingAttacks[king] & ~bb[Us];
    for (Bitboard b = checkers; b;) {
        Square c = popLsb(b);
        if (!isPawn(pos.board[c])) kingTargets &= ~(Line[king][c] & ~SquareBit[c]);
    }
    while (kingTargets) {
        Square to = popLsb(kingTargets);
        if (!isSquareAttacked(pos, to, Them))
            list.add(encodeMove(king, to), CaptureScore[King + Us][pos.board[to]]);
    }
    // Against two checkers only the king can move; nothing to sort.
    if (!checkers || moreThanOne(checkers)) return;

    const Square c = lsb(checkers);
    const int checker = pos.board[c];
    const Bitboard block = Between[king][c];
    const Bitboard empty = ~occ;
    // A pinned piece cannot resolve a check: it could only move along its pin line.
    const Bitboard pawns = bb[Pawn + Us] & ~pinned;

    const Bitboard pawnCapturers = PawnAttacks[Them][c] & pawns;
    for (int delta : CaptureFrom<Us>) {
        Square from = c + delta;
        if (from >= 0 && from < 64 && (pawnCapturers & SquareBit[from]))
            addPawnMove<Us>(list, from, c, CaptureScore[Pawn + Us][checker]);
    }

    // The checker is the pawn that has just stepped twice. Pins are tested by playing the
    // capture on the bitboards, since removing the victim can open a line as well.
    if (pos.epSquare != NoSquare && pos.epSquare == c + PawnPush<Us>) {
        const Square ep = pos.epSquare;
        const Bitboard epCapturers = PawnAttacks[Them][ep] & bb[Pawn + Us];
        for (int delta : CaptureFrom<Us>) {
            Square from = ep + delta;
            if (from >= 0 && from < 64 && (epCapturers & SquareBit[from]) &&
                enPassantIsSafe<Us>(pos, from, ep))
                list.add(encodeMove(from, ep, FlagEnPassant), CaptureScore[Pawn + Us][Pawn + Them]);
        }
    }

    const int pawnStepScore = CaptureScore[Pawn + Us][Empty];
    for (Bitboard steps = pawnPushOf<Us>(pawns) & empty & block; steps;) {
        Square to = popLsb(steps);
        addPawnMove<Us>(list, to - PawnPush<Us>, to, pawnStepScore);
    }
    const Bitboard thirdRank = rankMask(Us == White ? 2 : 5);
    const Bitboard overThird = pawnPushOf<Us>(pawns) & empty & thirdRank;
    for (Bitboard steps = pawnPushOf<Us>(overThird) & empty & block; steps;) {
        Square to = popLsb(steps);
        list.add(encodeMove(to - 2 * PawnPush<Us>, to, FlagDoublePush), pawnStepScore);
    }

    const Bitboard targets = block | SquareBit[c];
    addPieceMoves<Us>(pos, list, bb[Knight + Us] & ~pinned, targets);
    addPieceMoves<Us>(pos, list, (bb[LightBishop + Us] | bb[DarkBishop + Us]) & ~pinned, targets);
    addPieceMoves<Us>(pos, list, bb[Rook + Us] & ~pinned, targets);
    addPieceMoves<Us>(pos, list, bb[Queen + Us] & ~pinned, targets);
    sortMoves(list);
}

} // namespace

void generateEvasionsWhite(Position& pos, MoveList& list) { generateEvasions<White>(pos, list); }
void generateEvasionsBlack(Position& pos, MoveList& list) { generateEvasions<Black>(pos, list); }

bool enPassantIsSafeWhite(Position& pos, Square from, Square to) {
    return enPassantIsSafe<White>(pos, from, to);
}
bool enPassantIsSafeBlack(Position& pos, Square from, Square to) {
    return enPassantIsSafe<Black>(pos, from, to);
}

const EvasionGeneratorFn EvasionGenerators[2] = {generateEvasionsWhite, generateEvasionsBlack};

} // namespace zekora
