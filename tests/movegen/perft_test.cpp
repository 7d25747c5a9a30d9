// SPDX-License-Identifier: GPL-3.0-or-later
// Leaf counts of the legal-move tree against counts from an independent program, and
// make/unmake checked against from-scratch values at every node of whole walks.
#include <gtest/gtest.h>

#include "board/position_check.h"
#include "movegen/perft_data.h"

using namespace zekora;

namespace {

struct Perft : ::testing::Test {
    static void SetUpTestSuite() { initEngineOnce(); }
};

// Every make leaves a consistent position, every unmake restores every field.
void walk(Position& pos, int depth) {
    if (depth == 0) return;
    MoveList list;
    generatePseudoLegal(pos, list);
    int us = int(pos.sideToMove);
    for (int i = 0; i < list.count; ++i) {
        Move m = list.moves[i];
        Position before = pos;
        UndoRecord undo;
        makeMove(pos, undo, m);
        ASSERT_NO_FATAL_FAILURE(expectConsistent(pos)) << moveToText(m);
        if (!isSquareAttacked(pos, pos.kingSquare[us], us ^ 1)) walk(pos, depth - 1);
        unmakeMove(pos, undo, m);
        ASSERT_NO_FATAL_FAILURE(expectSamePosition(pos, before)) << moveToText(m);
        if (::testing::Test::HasFatalFailure()) return;
    }
    Position before = pos;
    UndoRecord undo;
    makeNullMove(pos, undo);
    ASSERT_NO_FATAL_FAILURE(expectConsistent(pos));
    unmakeNullMove(pos, undo);
    ASSERT_NO_FATAL_FAILURE(expectSamePosition(pos, before));
}

} // namespace

TEST_F(Perft, CountsMatchToDepthThree) {
    std::vector<PerftCase> cases = loadPerftCases();
    ASSERT_EQ(cases.size(), 150u);
    for (const PerftCase& c : cases) {
        loadPosition(("fen " + c.fen).c_str()); // the "position" command's path
        ASSERT_TRUE(currentPositionUsable) << c.fen;
        Position pos = currentPosition;
        for (int depth = 1; depth <= 3; ++depth)
            ASSERT_EQ(referencePerft(pos, depth), c.leaves[depth]) << c.fen << " depth " << depth;
    }
}

TEST_F(Perft, PublishedPositionsToModestDepth) {
    struct {
        const char* fen;
        int depth;
        uint64_t leaves;
    } cases[] = {
        {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", 4, 197281},
        {"r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1", 3, 97862},
        {"8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1", 4, 43238},
        {"r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1", 3, 9467},
        {"rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8", 3, 62379},
        {"r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10", 3, 89890},
    };
    for (const auto& c : cases) {
        Position pos = positionFromFen(c.fen);
        EXPECT_EQ(referencePerft(pos, c.depth), c.leaves) << c.fen;
    }
}

TEST_F(Perft, MakeUnmakeRoundTripsAlongWalks) {
    std::vector<PerftCase> cases = loadPerftCases();
    for (const PerftCase& c : cases) {
        Position pos = positionFromFen(c.fen);
        ASSERT_NO_FATAL_FAILURE(walk(pos, 2)) << c.fen;
    }
    // Deeper where castling, en passant and promotions meet.
    for (const char* fen : {"r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
                            "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1",
                            "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1"}) {
        Position pos = positionFromFen(fen);
        ASSERT_NO_FATAL_FAILURE(walk(pos, 3)) << fen;
    }
}
