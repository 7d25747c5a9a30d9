// SPDX-License-Identifier: GPL-3.0-or-later
// givesCheck from the facts a node prepares once, against playing the move and looking.
#include "board/attacks.h"
#include "board/movecheck.h"
#include "movegen/legal_oracle.h"

using namespace zekora;
using namespace zekora::test;

namespace {

struct PreparedChecks : ::testing::Test {
    static void SetUpTestSuite() { initEngineOnce(); }
};

// Checks given only by the line the mover leaves: no direct attack from its new square.
bool discoveredOnly(Position& pos, Move m) {
    const int us = int(pos.sideToMove);
    UndoRecord undo;
    makeMove(pos, undo, m);
    const Square king = pos.kingSquare[opponent(us)];
    const Bitboard checkers = attackersTo(pos, king, us);
    unmakeMove(pos, undo, m);
    return checkers && !(checkers & SquareBit[moveTo(m)]);
}

} // namespace

TEST_F(PreparedChecks, AgreeWithPlayingEveryLegalMove) {
    std::vector<Position> positions = randomPositions(0xC4EC, 40);
    // Discovered checks by king steps and pawn moves off the line (not by those along it),
    // and by a bishop leaving a file.
    for (const char* fen :
         {"4k3/8/8/8/8/8/4K3/4R3 w - - 0 1", "7k/8/5P2/8/3B4/8/8/K7 w - - 0 1",
          "4k3/8/8/3p4/4P3/8/8/4Q1K1 w - - 0 1", "3k4/8/3B4/8/8/8/8/3QK3 w - - 0 1"})
        positions.push_back(positionFromFen(fen));
    int checks = 0, discovered = 0;
    for (Position& pos : positions) {
        CheckInfo info;
        prepareCheckInfo(pos, info);
        for (Move m : legalMoves(pos)) {
            const bool expected = checksAfter(pos, m);
            checks += expected;
            discovered += expected && discoveredOnly(pos, m);
            ASSERT_EQ(givesCheck(pos, m, info), expected) << moveName(m);
        }
        // Moves that leave the own king attacked are still answered like the plain question.
        for (Move m : pseudoLegalMoves(pos))
            ASSERT_EQ(givesCheck(pos, m, info), givesCheck(pos, m)) << moveName(m);
    }
    EXPECT_GT(checks, 3000);
    EXPECT_GT(discovered, 100);
}
