// SPDX-License-Identifier: GPL-3.0-or-later
// The exchange evaluation and its sign questions against its plain form: both colours' attackers
// gathered anew, and every slider line recomputed after each departure that can open one.
#include <algorithm>

#include "board/attacks.h"
#include "board/movecheck.h"
#include "movegen/legal_oracle.h"

using namespace zekora;
using namespace zekora::test;

namespace {

struct Exchange : ::testing::Test {
    static void SetUpTestSuite() { initEngineOnce(); }
};

int plainExchange(const Position& pos, Move move) {
    if (moveKind(move) == FlagCastle) return 0;
    if (moveKind(move) == FlagEnPassant) return ExchangeValue[WhitePawn];
    const Square from = moveFrom(move), to = moveTo(move);
    int gain[66];
    gain[0] = ExchangeValue[pos.board[to]];
    int capturer = pos.board[from];
    Square capturerSquare = from;
    Bitboard occ = pos.occupied();
    Bitboard attackers =
        attackersTo(pos, to, White) | attackersTo(pos, to, Black) | SquareBit[from];
    const Bitboard leapers = pos.bitboards[WhiteKnight] | pos.bitboards[BlackKnight] |
                             pos.bitboards[WhiteKing] | pos.bitboards[BlackKing];
    int side = opponent(colorOf(capturer));
    int depth = 0;
    for (;;) {
        ++depth;
        gain[depth] = ExchangeValue[capturer] - gain[depth - 1];
        if (std::max(-gain[depth - 1], gain[depth]) < 0) break;
        attackers &= ~SquareBit[capturerSquare];
        occ &= ~SquareBit[capturerSquare];
        if (!(leapers & SquareBit[capturerSquare]))
            attackers |= sliderAttackersThrough(pos, occ, to, White) |
                         sliderAttackersThrough(pos, occ, to, Black);
        capturer = Empty;
        for (int code = Pawn + side; code <= King + side && capturer == Empty; code += 2)
            if (Bitboard candidates = pos.bitboards[code] & attackers) {
                capturer = code;
                capturerSquare = lsb(candidates);
            }
        if (capturer == Empty) break;
        side = opponent(side);
    }
    while (--depth) gain[depth - 1] = -std::max(-gain[depth - 1], gain[depth]);
    return gain[0];
}

} // namespace

// Every pseudo-legal move of positions from random games, crowded exchanges among them (the
// kings joining in, x-rays behind pawns, queens and rooks on both kinds of line).
TEST_F(Exchange, AgreesWithThePlainFormOnEveryMove) {
    std::vector<Position> positions = randomPositions(0x5EE, 40);
    for (const char* fen : {"3r1k2/4q3/2n1r3/3p4/2bRQ3/4K3/3R4/3B4 w - - 0 1",
                            "1k1r4/1q1r4/3n4/2Bp4/4P3/1B1R1N2/3Q4/3RK3 w - - 0 1",
                            "7k/8/3q4/2KpB3/2P1b3/8/8/8 w - - 0 1"})
        positions.push_back(positionFromFen(fen));
    int losing = 0, winning = 0;
    for (const Position& pos : positions) {
        for (Move m : pseudoLegalMoves(pos)) {
            const int expected = plainExchange(pos, m);
            ASSERT_EQ(staticExchange(pos, m), expected) << moveName(m);
            ASSERT_EQ(losesMaterial(pos, m), expected < 0) << moveName(m);
            ASSERT_EQ(exchangeNotLosing(pos, m), expected >= 0) << moveName(m);
            ASSERT_EQ(exchangeWinning(pos, m), expected > 0) << moveName(m);
            losing += expected < 0;
            winning += expected > 0;
        }
    }
    EXPECT_GT(losing, 1000);
    EXPECT_GT(winning, 1000);
}
