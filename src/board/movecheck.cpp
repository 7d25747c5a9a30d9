// SPDX-License-Identifier: GPL-3.0-or-later
#include "board/movecheck.h"

#include <algorithm>

#include "board/attacks.h"
#include "board/makemove.h"

namespace zekora {

const int32_t ExchangeValue[16] = {0,   0,   100, 100, 300,  300,  300,   300,
                                   300, 300, 500, 500, 1000, 1000, 10000, 10000};

namespace {

// What a castling move needs, in the order the generators test it.
struct CastlingRule {
    Move move;
    int right;
    Square king;
    Square rook;
    Bitboard mustBeEmpty;
    Square mustBeSafe[3]; // king square first
};

constexpr Bitboard bit(Square s) { return 1ULL << s; }

constexpr CastlingRule CastlingRules[4] = {
    {encodeMove(E1, G1, FlagCastle), WhiteShort, E1, H1, bit(F1) | bit(G1), {E1, F1, G1}},
    {encodeMove(E1, C1, FlagCastle), WhiteLong, E1, A1, bit(B1) | bit(C1) | bit(D1), {E1, D1, C1}},
    {encodeMove(E8, G8, FlagCastle), BlackShort, E8, H8, bit(F8) | bit(G8), {E8, F8, G8}},
    {encodeMove(E8, C8, FlagCastle), BlackLong, E8, A8, bit(B8) | bit(C8) | bit(D8), {E8, D8, C8}},
};

constexpr int pawnPush(int us) { return us == White ? North : South; }

bool castlingIsPseudoLegal(const Position& pos, Move move) {
    int us = pos.sideToMove;
    for (int i = 2 * us; i < 2 * us + 2; ++i) {
        const CastlingRule& rule = CastlingRules[i];
        if (move != rule.move) continue;
        if (!(pos.castling & rule.right) || pos.board[rule.king] != King + us ||
            pos.board[rule.rook] != Rook + us || (pos.occupied() & rule.mustBeEmpty))
            return false;
        for (Square s : rule.mustBeSafe)
            if (isSquareAttacked(pos, s, opponent(us))) return false;
        return true;
    }
    return false;
}

// A pawn move without a special kind: a single step or a capture, never onto the last rank.
bool pawnMoveIsPseudoLegal(int us, Square from, Square to, int captured) {
    if (relativeRank(us, from) >= 6) return false; // that move must carry a promotion kind
    if (captured == Empty) return to == from + pawnPush(us);
    return (PawnAttacks[us][from] & SquareBit[to]) != 0;
}

bool promotionIsPseudoLegal(int us, int piece, Square from, Square to, int captured, int kind) {
    if (piece != Pawn + us || relativeRank(us, to) != 7) return false;
    // Only the pieces the generators promote to: knight, rook, queen and the bishop whose
    // code fits the promotion square.
    if (kind > Queen + 1 || colorOf(kind) != us) return false;
    if (isBishop(kind) && kind != bishopCode(us, to)) return false;
    if (captured == Empty) return to == from + pawnPush(us);
    return (PawnAttacks[us][from] & SquareBit[to]) != 0;
}

// Plays the move and looks at the mover's king; the answer for the cases the short cuts
// cannot decide.
bool kingSafeAfter(Position& pos, Move move) {
    int us = pos.sideToMove;
    UndoRecord undo;
    makeMove(pos, undo, move);
    bool safe = !isSquareAttacked(pos, pos.kingSquare[us], opponent(us));
    unmakeMove(pos, undo, move);
    return safe;
}

} // namespace

bool isPseudoLegal(const Position& pos, Move move) {
    if (move == NoMove || move == NullMoveCode) return false;
    Square from = moveFrom(move), to = moveTo(move);
    int us = pos.sideToMove;
    int piece = pos.board[from];
    int captured = pos.board[to];
    if (piece == Empty || colorOf(piece) != us) return false;
    if (captured != Empty && (colorOf(captured) == us || isKing(captured))) return false;

    int kind = moveKind(move);
    switch (kind) {
    case FlagNormal:
        if (isPawn(piece)) return pawnMoveIsPseudoLegal(us, from, to, captured);
        return (AttackFunction[piece](from, pos.occupied()) & SquareBit[to]) != 0;
    case FlagCastle: return castlingIsPseudoLegal(pos, move);
    case FlagEnPassant:
        return pos.epSquare != NoSquare && to == pos.epSquare && piece == Pawn + us &&
               relativeRank(us, from) == 4 && (PawnAttacks[us][from] & SquareBit[to]);
    case FlagDoublePush:
        return piece == Pawn + us && relativeRank(us, from) == 1 && to == from + 2 * pawnPush(us) &&
               !(pos.occupied() & (SquareBit[from + pawnPush(us)] | SquareBit[to]));
    default: return promotionIsPseudoLegal(us, piece, from, to, captured, kind);
    }
}

bool isLegal(Position& pos, Move move) {
    const SearchStackEntry* entry = pos.stackEntry;
    // Without a stack entry (outside the tree search) nothing is known about checks and
    // pins, so the move is played.
    if (!entry || entry->inCheck || moveKind(move) == FlagEnPassant)
        return kingSafeAfter(pos, move);

    int us = pos.sideToMove;
    Square from = moveFrom(move), to = moveTo(move);
    // Not in check, so no slider's ray passes the king: testing the target square with the
    // king still on its square is enough.
    if (isKing(pos.board[from])) return !isSquareAttacked(pos, to, opponent(us));
    if (!(entry->pinned & SquareBit[from])) return true;
    Square king = pos.kingSquare[us];
    return Line[king][to] == Line[king][from];
}

bool givesCheck(Position& pos, Move move) {
    int us = pos.sideToMove;
    Square from = moveFrom(move), to = moveTo(move);
    Square theirKing = pos.kingSquare[opponent(us)];
    Bitboard occ = pos.occupied();
    int kind = moveKind(move);

    if (kind == FlagCastle) {
        // Only the rook can check; it lands next to the king's home square, which is empty.
        Square rookTo = to > from ? from + 1 : from - 1;
        return (rookAttacks(rookTo, occ ^ SquareBit[from]) & SquareBit[theirKing]) != 0;
    }
    if (kind == FlagEnPassant || isPromotion(move)) {
        UndoRecord undo;
        makeMove(pos, undo, move);
        bool check = isSquareAttacked(pos, theirKing, us);
        unmakeMove(pos, undo, move);
        return check;
    }
    if (AttackFunction[pos.board[from]](to, occ) & SquareBit[theirKing]) return true;
    // Discovered check: a slider behind the from-square now sees the king.
    Bitboard after = (occ ^ SquareBit[from]) | SquareBit[to];
    return (bishopAttacks(theirKing, after) & diagonalSliders(pos, us)) ||
           (rookAttacks(theirKing, after) & straightSliders(pos, us));
}

void prepareCheckInfo(const Position& pos, CheckInfo& info) {
    const int us = pos.sideToMove, them = opponent(us);
    const Square king = pos.kingSquare[them];
    const Bitboard occ = pos.occupied();
    const Bitboard diagonal = bishopAttacks(king, occ), straight = rookAttacks(king, occ);
    info.theirKing = king;
    info.checkSquares[Pawn + us] = PawnAttacks[them][king];
    info.checkSquares[Knight + us] = KnightAttacks[king];
    info.checkSquares[LightBishop + us] = info.checkSquares[DarkBishop + us] = diagonal;
    info.checkSquares[Rook + us] = straight;
    info.checkSquares[Queen + us] = diagonal | straight;
    info.checkSquares[King + us] = KingAttacks[king];
    // Own sliders on the king's lines with exactly one piece, an own one, in between.
    Bitboard snipers = (bishopAttacks(king, 0) & diagonalSliders(pos, us)) |
                       (rookAttacks(king, 0) & straightSliders(pos, us));
    info.discoverers = 0;
    while (snipers) {
        const Bitboard between = Between[king][popLsb(snipers)] & occ;
        if (between && !moreThanOne(between)) info.discoverers |= between & pos.bitboards[us];
    }
}

bool givesCheck(Position& pos, Move move, const CheckInfo& info) {
    const int kind = moveKind(move);
    if (kind != FlagNormal && kind != FlagDoublePush) return givesCheck(pos, move);
    const Square from = moveFrom(move), to = moveTo(move);
    if (info.checkSquares[pos.board[from]] & SquareBit[to]) return true;
    // The opponent is not in check, so a line opens onto the king only when the piece that
    // leaves it was the line's one blocker and does not stay on it.
    return (info.discoverers & SquareBit[from]) && !(Line[info.theirKing][from] & SquareBit[to]);
}

namespace {

// A capture sequence on one square, each side always taking with its least valuable piece;
// pieces behind a capturer join when its departure opens their line (x-rays).
struct ExchangeSequence {
    const Bitboard* bb;
    Square to;
    Bitboard occ;
    Bitboard attackers;
    Bitboard diagonal, straight;           // sliders of both colours
    Bitboard diagonalLines, straightLines; // the square's empty-board rays
    Bitboard diagonalRays, straightRays;   // the rays over the current occupancy
    Bitboard xrayCarriers;                 // pieces whose departure can open a slider's line
    bool diagonalOpened, straightOpened;
    int capturer;          // the piece standing on the square after the latest capture
    Square capturerSquare; // where it came from
    int side;              // the side to capture next

    // After the move's own capture.
    ExchangeSequence(const Position& pos, Move move)
        : bb(pos.bitboards), to(moveTo(move)), occ(pos.occupied()),
          diagonal(diagonalSliders(pos, White) | diagonalSliders(pos, Black)),
          straight(straightSliders(pos, White) | straightSliders(pos, Black)),
          diagonalLines(bishopAttacks(to, 0)), straightLines(rookAttacks(to, 0)),
          diagonalRays(bishopAttacks(to, occ)), straightRays(rookAttacks(to, occ)),
          xrayCarriers(occ & ~(bb[WhiteKnight] | bb[BlackKnight] | bb[WhiteKing] | bb[BlackKing])),
          diagonalOpened(false), straightOpened(false), capturer(pos.board[moveFrom(move)]),
          capturerSquare(moveFrom(move)), side(opponent(colorOf(capturer))) {
        attackers =
            (PawnAttacks[Black][to] & bb[WhitePawn]) | (PawnAttacks[White][to] & bb[BlackPawn]) |
            (KnightAttacks[to] & (bb[WhiteKnight] | bb[BlackKnight])) |
            (KingAttacks[to] & (bb[WhiteKing] | bb[BlackKing])) | (diagonalRays & diagonal) |
            (straightRays & straight) | SquareBit[moveFrom(move)];
    }

    // The side to move takes the piece on the square with its least valuable attacker; false
    // when it has none. A departure changes only the rays through its own square, so each
    // kind is recomputed only after one of its lines has been opened.
    bool next() {
        const Bitboard gone = SquareBit[capturerSquare];
        attackers &= ~gone;
        occ &= ~gone;
        diagonalOpened |= (diagonalLines & gone) != 0;
        straightOpened |= (straightLines & gone) != 0;
        if (xrayCarriers & gone) {
            if (diagonalOpened) diagonalRays = bishopAttacks(to, occ);
            if (straightOpened) straightRays = rookAttacks(to, occ);
            diagonalOpened = straightOpened = false;
            attackers |= ((diagonalRays & diagonal) | (straightRays & straight)) & occ;
        }
        if (!(attackers & bb[side])) return false;
        for (int code = Pawn + side; code <= King + side; code += 2) {
            const Bitboard candidates = bb[code] & attackers;
            if (candidates) {
                capturer = code;
                capturerSquare = lsb(candidates);
                side = opponent(side);
                return true;
            }
        }
        return false;
    }
};

} // namespace

int staticExchange(const Position& pos, Move move) {
    const int kind = moveKind(move);
    if (kind == FlagCastle) return 0;
    if (kind == FlagEnPassant) return ExchangeValue[WhitePawn];

    ExchangeSequence sequence(pos, move);
    // One entry per capture; every capture removes a piece, so the board bounds the count.
    int gain[66];
    gain[0] = ExchangeValue[pos.board[moveTo(move)]];
    int depth = 0;
    for (;;) {
        ++depth;
        gain[depth] = ExchangeValue[sequence.capturer] - gain[depth - 1];
        // Neither side can gain by going on: the result is already settled.
        if (std::max(-gain[depth - 1], gain[depth]) < 0) break;
        if (!sequence.next()) break;
    }
    // Each side may stop capturing when going on would lose; the last gain is never used.
    while (--depth) gain[depth - 1] = -std::max(-gain[depth - 1], gain[depth]);
    return gain[0];
}

namespace {

// Whether the exchange reaches the threshold, by the full minimax of the sequence. With S(k)
// the gain of the k-th capture for its maker, who may decline it (0 when no piece can make it):
// the result is at least t exactly when S(2) <= v0 - t; S(k) <= b needs b >= 0 and then
// S(k+1) >= v - b, where v is the piece that capture k takes; S(k) >= c holds when c <= 0 and
// otherwise needs S(k+1) <= v - c. Each step settles the question or moves it one capture on.
// As S(2) = max(0, v1 - S(3)) and 0 <= S(3) <= v2, with v2 the first recapturer, the result
// lies between v0 - v1 and v0 - v1 + v2.
bool exchangeReaches(const Position& pos, Move move, int threshold) {
    const int kind = moveKind(move);
    if (kind == FlagCastle) return 0 >= threshold;
    if (kind == FlagEnPassant) return ExchangeValue[WhitePawn] >= threshold;

    // Those bounds settle many questions without the sequence: the first recapturer is a pawn
    // whenever an enemy pawn guards the square.
    const Square from = moveFrom(move), to = moveTo(move);
    const int mover = pos.board[from];
    const int balance = ExchangeValue[pos.board[to]] - ExchangeValue[mover];
    if (balance >= threshold) return true;
    const int them = opponent(colorOf(mover));
    if (balance + ExchangeValue[Pawn + them] < threshold &&
        (PawnAttacks[colorOf(mover)][to] & pos.bitboards[Pawn + them]))
        return false;

    ExchangeSequence sequence(pos, move);
    int bound = ExchangeValue[pos.board[to]] - threshold;
    bool atMost = true; // the question is S(k) <= bound, else S(k) >= bound
    for (;;) {
        if (atMost ? bound < 0 : bound <= 0) return !atMost;
        const int victim = ExchangeValue[sequence.capturer];
        if (!sequence.next()) return atMost;
        bound = victim - bound;
        atMost = !atMost;
    }
}

} // namespace

// staticExchange stops a sequence early once the side that just captured stays ahead even if
// the other side goes on. That can change the size of the result but never its sign (the side
// ahead stays ahead either way), so the full minimax answers both sign questions.
bool exchangeNotLosing(const Position& pos, Move move) { return exchangeReaches(pos, move, 0); }

bool exchangeWinning(const Position& pos, Move move) { return exchangeReaches(pos, move, 1); }

} // namespace zekora
