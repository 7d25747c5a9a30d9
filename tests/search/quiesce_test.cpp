// SPDX-License-Identifier: GPL-3.0-or-later
#include "search/quiesce.h"

#include "search/search_support.h"

using namespace zekora;
using namespace zekora::test;

namespace {

// Quiescence depth below the quiet-check threshold: captures only.
constexpr int NoChecks = -1;
constexpr int Ply = 2;

struct Quiescence : SearchTest {
    // Runs the zero-window quiescence and reports how many nodes it visited.
    int run(Position& pos, int beta, int depth, uint64_t& nodes) {
        nodeCount = 0;
        const int v = quiesce(pos, beta, depth, Ply);
        nodes = nodeCount;
        return v;
    }
    int runPV(Position& pos, int alpha, int beta, int depth, uint64_t& nodes) {
        PrincipalVariation pv;
        pv.clear();
        nodeCount = 0;
        const int v = quiescePV(pos, alpha, beta, depth, Ply, pv);
        nodes = nodeCount;
        return v;
    }
};

} // namespace

TEST_F(Quiescence, PawnCapturesAreDroppedWhenEvenWinningAPawnCannotReachBeta) {
    Position pos = positionFromFen("4k3/8/8/8/3p4/8/8/3RK3 w - - 0 1"); // Rxd4 only
    const int eval = staticScore(pos);
    uint64_t nodes;
    EXPECT_EQ(run(pos, eval + 151, NoChecks, nodes), eval + 95);
    EXPECT_EQ(nodes, 1u);
    run(pos, eval + 150, NoChecks, nodes);
    EXPECT_GT(nodes, 1u);
    // En passant goes with the pawn captures.
    Position ep = positionFromFen("4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1");
    const int epEval = staticScore(ep);
    EXPECT_EQ(run(ep, epEval + 151, NoChecks, nodes), epEval + 95);
    EXPECT_EQ(nodes, 1u);
    run(ep, epEval + 150, NoChecks, nodes);
    EXPECT_GT(nodes, 1u);
}

TEST_F(Quiescence, MinorAndRookCapturesAreDroppedAtTheirMargins) {
    Position knight = positionFromFen("4k3/8/8/8/3n4/8/8/3RK3 w - - 0 1");
    const int ke = staticScore(knight);
    uint64_t nodes;
    EXPECT_EQ(run(knight, ke + 499, NoChecks, nodes), ke + 308);
    EXPECT_EQ(nodes, 1u);
    run(knight, ke + 498, NoChecks, nodes);
    EXPECT_GT(nodes, 1u);

    Position rook = positionFromFen("4k3/8/8/8/3r4/8/8/3RK3 w - - 0 1");
    const int re = staticScore(rook);
    EXPECT_EQ(run(rook, re + 761, NoChecks, nodes), re + 475);
    EXPECT_EQ(nodes, 1u);
    run(rook, re + 760, NoChecks, nodes);
    EXPECT_GT(nodes, 1u);
}

TEST_F(Quiescence, QueenCapturesAreNeverDropped) {
    Position pos = positionFromFen("4k3/8/8/8/3q4/8/8/3RK3 w - - 0 1");
    const int eval = staticScore(pos);
    uint64_t nodes;
    const int v = run(pos, eval + 2000, NoChecks, nodes);
    EXPECT_GT(nodes, 1u);
    EXPECT_GE(v, eval + 475);
}

TEST_F(Quiescence, CaptureFilterSkipsLosingCapturesByMoreValuablePiecesOnlyInZeroWindow) {
    // A pawn takes a defended rook: searched without question.
    Position rook = positionFromFen("4k3/8/2p5/3r4/4P3/8/8/4K3 w - - 0 1");
    uint64_t nodes;
    run(rook, staticScore(rook) + 1, NoChecks, nodes);
    EXPECT_GT(nodes, 1u);
    // The queen takes a pawn defended by a pawn: skipped here, searched at PV nodes.
    Position queen = positionFromFen("4k3/8/2p5/3p4/8/8/8/3QK3 w - - 0 1");
    const int eval = staticScore(queen);
    EXPECT_EQ(run(queen, eval + 1, NoChecks, nodes), eval);
    EXPECT_EQ(nodes, 1u);
    runPV(queen, eval - 1, eval + 1, NoChecks, nodes);
    EXPECT_GT(nodes, 1u);
}

TEST_F(Quiescence, QuietChecksAtDepthZeroButNotBelow) {
    Position pos = positionFromFen("4k3/8/8/8/8/8/8/R3K3 w - - 0 1"); // Ra8+ is the only check
    const int eval = staticScore(pos);
    uint64_t nodes;
    run(pos, eval + 1, 0, nodes);
    EXPECT_GT(nodes, 1u);
    run(pos, eval + 1, -1, nodes);
    EXPECT_EQ(nodes, 1u);
    runPV(pos, eval - 1, eval + 1, 0, nodes);
    EXPECT_GT(nodes, 1u);
    runPV(pos, eval - 1, eval + 1, -1, nodes);
    EXPECT_EQ(nodes, 1u);
}

TEST_F(Quiescence, SingleEvasionKeepsTheQuietChecksOfTheNextPly) {
    // Kg8 is the only way out of Rh1's check; White then has the safe quiet check Bc4+.
    Position pos = positionFromFen("7k/6p1/8/8/8/8/4B3/K6R b - - 0 1");
    Position after = pos;
    UndoRecord undo;
    makeMove(after, undo, parseMove(pos, "h8g8"));
    const int whiteEval = staticScore(after);
    // Beta so that White neither stands pat nor prunes by delta in the child.
    const int beta = -whiteEval - 100;
    nodeCount = 0;
    quiesceInCheck(pos, beta, -1, Ply);
    // This node, White's node at quiescence depth 0 again, and at least the check's child.
    EXPECT_GE(nodeCount, 3u);
}

TEST_F(Quiescence, CheckmateScoresByDistanceFromTheRoot) {
    Position pos = positionFromFen("R5k1/5ppp/8/8/8/8/8/6K1 b - - 0 1");
    EXPECT_EQ(quiesceInCheck(pos, 0, 0, 3), 3 - MateValue);
    PrincipalVariation pv;
    pv.clear();
    EXPECT_EQ(quiescePVInCheck(pos, -MateValue, MateValue, 0, 5, pv), 5 - MateValue);
    EXPECT_EQ(pv.count, 0);
}

TEST_F(Quiescence, FiftyMoveClockOfOneHundredScoresZeroBeforeAnything) {
    Position mated = positionFromFen("R5k1/5ppp/8/8/8/8/8/6K1 b - - 100 80");
    EXPECT_EQ(quiesceInCheck(mated, 0, 0, 3), 0);
    Position pos = positionFromFen("4k3/8/8/8/8/8/8/R3K3 w - - 100 80");
    EXPECT_EQ(quiesce(pos, -500, 0, 3), 0); // not the stand-pat score
    PrincipalVariation pv;
    pv.clear();
    EXPECT_EQ(quiescePV(pos, -600, -500, 0, 3, pv), 0);
}

TEST_F(Quiescence, PrincipalVariationFollowsTheWinningCaptures) {
    // Rxd4 wins a knight; the line starts with it and is playable.
    Position pos = positionFromFen("4k3/8/8/8/3n4/8/8/3RK3 w - - 0 1");
    PrincipalVariation pv;
    pv.clear();
    const int v = quiescePV(pos, -MateValue, MateValue, 0, Ply, pv);
    ASSERT_GE(pv.count, 1);
    EXPECT_EQ(pv.moves[0], parseMove(pos, "d1d4"));
    EXPECT_GT(v, staticScore(pos));
}
