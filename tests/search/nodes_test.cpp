// SPDX-License-Identifier: GPL-3.0-or-later
#include "board/movecheck.h"
#include "board/position_check.h"
#include "search/quiesce.h"
#include "search/search_support.h"

using namespace zekora;
using namespace zekora::test;

namespace {

const char* const MiddleGame = "r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3";
const char* const BlackMated = "R5k1/5ppp/8/8/8/8/8/6K1 b - - 0 1";
const char* const BlackStalemated = "7k/5Q2/6K1/8/8/8/8/8 b - - 0 1";
const char* const MateInTwo = "r2qkb1r/pp2nppp/3p4/2pNN1B1/2BnP3/3P4/PPP2PPP/R2bK2R w KQkq - 1 1";
const char* const MateInThree = "r1b1kb1r/pppp1ppp/5q2/4n3/3KP3/2N3PN/PPP4P/R1BQ1B1R b kq - 0 1";

using Nodes = SearchTest;

bool hasTableEntry(const Position& pos) {
    ProbeResult r;
    return probeEntry(pos, 0, r);
}

// A PV search of the position through the entry its check state selects.
int pvSearch(Position& pos, int depth, int ply, PrincipalVariation& pv) {
    pv.clear();
    const int us = pos.sideToMove;
    const bool inCheck = isSquareAttacked(pos, pos.kingSquare[us], opponent(us));
    return pvNodeTable[inCheck](pos, -MateValue, MateValue, depth, ply, pv);
}

// Plays the line on a copy, each move checked to be legal where it is played.
Position playLine(const Position& start, const PrincipalVariation& pv, int firstPly) {
    Position pos = start;
    for (int i = 0; i < pv.count; ++i) {
        enterPly(pos, firstPly + i);
        const Move m = pv.moves[i];
        EXPECT_TRUE(isPseudoLegal(pos, m) && isLegal(pos, m)) << "move " << i << " of the line";
        UndoRecord undo;
        makeMove(pos, undo, m);
    }
    return pos;
}

bool isCheckmate(Position& pos) {
    enterPly(pos, 0);
    if (!pos.stackEntry->inCheck) return false;
    MoveList list;
    list.clear();
    EvasionGenerators[pos.sideToMove](pos, list);
    return list.count == 0;
}

} // namespace

TEST_F(Nodes, MateDistancePruningEndsNodesThatCannotBeatAShorterMate) {
    Position pos = positionFromFen(MiddleGame);
    PrincipalVariation pv;
    pv.clear();
    // At ply 5 no line can score above 30000 - 5, so a window from 30000 - 4 is already decided.
    EXPECT_EQ(searchPV(pos, MateValue - 4, MateValue, 8, 5, pv), MateValue - 4);
    EXPECT_EQ(nodeCount, 1u);
    EXPECT_EQ(searchCut(pos, MateValue - 4, 10, 5, AllNodeFlags), MateValue - 5);
    EXPECT_EQ(searchAll(pos, -MateValue + 4, 10, 5, AllNodeFlags), -MateValue + 5);
    EXPECT_EQ(nodeCount, 3u);
}

TEST_F(Nodes, TheLastPlyReturnsTheStaticEvaluationWithoutRaisingSelDepth) {
    Position pos = positionFromFen(MiddleGame);
    PrincipalVariation pv;
    pv.clear();
    const int eval = staticScore(pos);
    EXPECT_EQ(searchPV(pos, -MateValue, MateValue, 6, MaxPly, pv), eval);
    EXPECT_EQ(searchCut(pos, eval + 1, 10, MaxPly, AllNodeFlags), eval);
    EXPECT_EQ(searchShallow(pos, eval + 1, 4, MaxPly, AllNodeFlags), eval);
    EXPECT_EQ(quiesce(pos, eval + 1, 0, MaxPly), eval);
    EXPECT_EQ(selDepth, 0);
}

TEST_F(Nodes, CheckmateScoresPlyMinusMateValueAndStoresNothing) {
    Position pos = positionFromFen(BlackMated);
    PrincipalVariation pv;
    pv.clear();
    EXPECT_EQ(searchPVInCheck(pos, -MateValue, MateValue, 4, 3, pv), 3 - MateValue);
    EXPECT_EQ(pv.count, 0);
    EXPECT_EQ(searchPVInCheck(pos, -MateValue, MateValue, 10, 3, pv), 3 - MateValue);
    EXPECT_EQ(searchCutInCheck(pos, 0, 12, 3, AllNodeFlags), 3 - MateValue);
    EXPECT_EQ(searchAllInCheck(pos, 0, 8, 3, AllNodeFlags), 3 - MateValue);
    EXPECT_EQ(searchShallowInCheck(pos, 0, 4, 3, AllNodeFlags), 3 - MateValue);
    EXPECT_FALSE(hasTableEntry(pos));
}

TEST_F(Nodes, StalemateScoresZeroAndStoresNothing) {
    Position pos = positionFromFen(BlackStalemated);
    PrincipalVariation pv;
    EXPECT_EQ(pvSearch(pos, 4, 3, pv), 0);
    EXPECT_EQ(searchCut(pos, 1, 10, 3, AllNodeFlags), 0);
    EXPECT_EQ(searchShallow(pos, -29000, 4, 3, AllNodeFlags), 0);
    EXPECT_FALSE(hasTableEntry(pos));
}

TEST_F(Nodes, ZeroWindowNodesCutOnACoveringTableEntryPvNodesOnlyTakeItsMove) {
    Position pos = positionFromFen(MiddleGame);
    const Move stored = parseMove(pos, "f1c4");
    storeEntry(pos, stored, 20, 2, BoundLower, 500);
    EXPECT_EQ(searchCut(pos, 100, 10, 2, AllNodeFlags), 500);
    EXPECT_EQ(nodeCount, 1u);
    // Too shallow: searched.
    freshSearch();
    storeEntry(pos, stored, 9, 2, BoundLower, 500);
    searchCut(pos, 100, 10, 2, AllNodeFlags);
    EXPECT_GT(nodeCount, 1u);
    // An upper bound above beta proves nothing.
    freshSearch();
    storeEntry(pos, stored, 20, 2, BoundUpper, 500);
    searchAll(pos, 100, 10, 2, AllNodeFlags);
    EXPECT_GT(nodeCount, 1u);
    // The PV node searches in spite of a deep exact entry.
    freshSearch();
    storeEntry(pos, stored, 20, 2, BoundExact, 500);
    PrincipalVariation pv;
    pv.clear();
    searchPV(pos, 0, 1000, 8, 2, pv);
    EXPECT_GT(nodeCount, 1u);
}

TEST_F(Nodes, ShallowNodeFarBelowBetaRazorsThroughQuiescence) {
    // King and pawn: no capture, no check, no null move; quiescence stands at eval.
    Position pos = positionFromFen("4k3/8/8/8/8/8/4P3/4K3 w - - 0 1");
    const int eval = staticScore(pos);
    // Depth 3, eval = beta - 200: quiescence against beta - 195 stays below it.
    EXPECT_EQ(searchShallow(pos, eval + 200, 3, 2, AllNodeFlags), eval);
    EXPECT_EQ(nodeCount, 2u);
    freshSearch();
    searchShallow(pos, eval + 195, 3, 2, AllNodeFlags);
    EXPECT_GT(nodeCount, 2u);
}

TEST_F(Nodes, ShallowNodeFarAboveBetaFailsHighWithoutSearching) {
    Position pos = positionFromFen("4k3/8/8/8/8/8/4P3/3NK3 w - - 0 1");
    const int eval = staticScore(pos);
    // Depth 4: the margin is 4 x 55.
    EXPECT_EQ(searchShallow(pos, eval - 220, 4, 2, AllNodeFlags), eval - 220);
    EXPECT_EQ(nodeCount, 1u);
    // Not after a null move.
    freshSearch();
    searchShallow(pos, eval - 220, 4, 2, NoNullFlags);
    EXPECT_GT(nodeCount, 1u);
    // Not with king and pawns alone.
    freshSearch();
    Position pawns = positionFromFen("4k3/8/8/8/8/8/4P3/4K3 w - - 0 1");
    searchShallow(pawns, staticScore(pawns) - 220, 4, 2, AllNodeFlags);
    EXPECT_GT(nodeCount, 1u);
}

TEST_F(Nodes, TableMateScoresAreReadBackAtTheNodesDistanceFromTheRoot) {
    Position pos = positionFromFen(MiddleGame);
    // A mate 5 plies beyond a node at ply 3 (30000 - 8 from the root), read at ply 7.
    storeEntry(pos, NoMove, 20, 3, BoundLower, MateValue - 8);
    EXPECT_EQ(searchCut(pos, 100, 10, 7, AllNodeFlags), MateValue - 12);
}

TEST_F(Nodes, FindsMatesAndReportsTheirDistance) {
    // Shallower, the razoring quiescence of a shallow node drops the mating pawn capture Bxf7 by
    // delta pruning.
    Position two = positionFromFen(MateInTwo);
    PrincipalVariation pv;
    EXPECT_EQ(pvSearch(two, 8, 0, pv), MateValue - 3);
    ASSERT_EQ(pv.count, 3);
    EXPECT_EQ(pv.moves[0], parseMove(two, "d5f6"));
    Position end = playLine(two, pv, 0);
    EXPECT_TRUE(isCheckmate(end));

    freshSearch();
    Position three = positionFromFen(MateInThree);
    EXPECT_EQ(pvSearch(three, 10, 0, pv), MateValue - 5);
    ASSERT_EQ(pv.count, 5);
    EXPECT_EQ(pv.moves[0], parseMove(three, "f8c5"));
    end = playLine(three, pv, 0);
    EXPECT_TRUE(isCheckmate(end));
}

TEST_F(Nodes, SearchLeavesThePositionAsItFoundItAndReturnsAPlayableLine) {
    const char* const fens[] = {
        MiddleGame,
        "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
        "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
        "r2q1rk1/pP1p2pp/Q4n2/bbp1p3/Np6/1B3NBn/pPPP1PPP/R3K2R b KQ - 0 1",
        "8/8/1k6/8/2pP4/8/5K2/8 b - d3 0 1",
        "4k3/1P6/8/8/8/8/6p1/4K3 w - - 0 1",
    };
    for (const char* fen : fens) {
        freshSearch();
        Position pos = positionFromFen(fen);
        pos.stackEntry = &searchStack[1]; // a node leaves the position on its own entry
        const Position before = pos;
        PrincipalVariation pv;
        const int score = pvSearch(pos, 10, 1, pv);
        expectSamePosition(pos, before);
        EXPECT_GT(score, -MateValue) << fen;
        EXPECT_LT(score, MateValue) << fen;
        EXPECT_GE(pv.count, 1) << fen;
        EXPECT_LE(pv.count, MaxPvLength) << fen;
        playLine(pos, pv, 1);
    }
}

TEST_F(Nodes, SearchesAreRepeatableFromTheSameState) {
    Position pos =
        positionFromFen("r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1");
    PrincipalVariation pv;
    const int first = pvSearch(pos, 10, 1, pv);
    const uint64_t firstNodes = nodeCount;
    freshSearch();
    const int second = pvSearch(pos, 10, 1, pv);
    EXPECT_EQ(first, second);
    EXPECT_EQ(firstNodes, nodeCount);
}

TEST(PrincipalVariationBuffer, LinesAreCutTo127Moves) {
    PrincipalVariation child;
    child.count = MaxPvLength;
    for (int i = 0; i < MaxPvLength; ++i) child.moves[i] = Move(100 + i);
    PrincipalVariation pv;
    pv.set(Move(7), child);
    EXPECT_EQ(pv.count, MaxPvLength);
    EXPECT_EQ(pv.moves[0], Move(7));
    EXPECT_EQ(pv.moves[MaxPvLength - 1], Move(100 + MaxPvLength - 2));
    static_assert(sizeof(PrincipalVariation) == 128 * sizeof(uint16_t));
}
