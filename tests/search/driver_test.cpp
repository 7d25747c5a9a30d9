// SPDX-License-Identifier: GPL-3.0-or-later
#include "search/driver.h"

#include <gtest/gtest.h>

#include <cstring>

#include "board/makemove.h"
#include "search/timeman.h"
#include "search/tt.h"
#include "uci/engine.h"
#include "uci/setup.h"
#include "uci/uci.h"

using namespace zekora;

namespace {

// Searches in this process: no info lines, no reading of standard input.
struct Driver : ::testing::Test {
    static void SetUpTestSuite() {
        static bool built = false;
        if (!built) initEngine();
        built = true;
    }
    void SetUp() override {
        savedTraffic = trafficLimit;
        trafficLimit = TrafficUltrafast;
        inputPolling = false;
    }
    void TearDown() override {
        trafficLimit = savedTraffic;
        inputPolling = true;
        limits = SearchLimits{};
    }

    // A search of the position as "go" would run it, from an empty table and history.
    template <typename Fill>
    void search(const char* fen, Fill fill) {
        std::string command = std::string("position fen ") + fen;
        setupPosition(command.c_str());
        ASSERT_TRUE(currentPositionUsable);
        clearTable();
        std::memset(historyTable, 0, sizeof historyTable);
        limits = SearchLimits{};
        fill(limits);
        prepareSearch(int(currentPosition.sideToMove));
        searchPosition(currentPosition);
    }

    int32_t savedTraffic = 0;
};

const char* const Middlegame = "r4rk1/pp1n1ppp/2pbpq2/3p4/2PP4/1PN1PN2/P4PPP/R2Q1RK1 w - - 0 12";

TEST_F(Driver, RootListHoldsTheLegalMovesWithTheHashMoveFirst) {
    setupPosition("position startpos moves e2e4 e7e5 g1f3");
    Position pos = currentPosition;
    pos.stackEntry = &searchStack[0];
    searchStack[0].inCheck = 0;
    searchStack[0].pinned = 0;
    clearTable();
    const Move hashMove = encodeMove(F8, C5);
    storeEntry(pos, hashMove, 4, 0, BoundExact, 10);
    searchStack[7].killers[0] = encodeMove(A7, A6);
    historyTable[BlackPawn][A5] = 500;

    MoveList list;
    buildRootMoves(pos, list);
    EXPECT_EQ(list.count, 29);
    EXPECT_EQ(list.moves[0], hashMove);
    for (int i = 1; i < list.count; ++i) EXPECT_NE(list.moves[i], hashMove);
    // The new search starts without the statistics of the last one.
    EXPECT_EQ(searchStack[7].killers[0], NoMove);
    EXPECT_EQ(historyTable[BlackPawn][A5], 0);
}

TEST_F(Driver, EachIterationLeavesItsLineInTheTable) {
    search(Middlegame, [](auto& l) { l.depth = 6; });
    EXPECT_EQ(searchResult.depth, 6);
    const PrincipalVariation pv = searchResult.pv;
    ASSERT_GE(pv.count, 2);
    EXPECT_EQ(searchResult.bestMove, pv.moves[0]);
    Position pos = currentPosition;
    UndoRecord undo[MaxPvLength];
    for (int i = 0; i < pv.count; ++i) {
        EXPECT_EQ(probeMove(pos), pv.moves[i]) << "move " << i;
        makeMove(pos, undo[i], pv.moves[i]);
    }
}

// Stopped in the middle of an iteration, the search reports the last finished one: exactly
// what a search to that depth finds.
TEST_F(Driver, AnAbandonedIterationLeavesTheLastFinishedResult) {
    search(Middlegame, [](auto& l) { l.nodeLimit = 20000; });
    const SearchResult stopped = searchResult;
    EXPECT_GT(nodeCount, 20000u);
    EXPECT_LE(nodeCount, 20480u);
    ASSERT_GE(stopped.depth, 1);

    search(Middlegame, [&](auto& l) { l.depth = uint16_t(stopped.depth); });
    EXPECT_EQ(searchResult.bestMove, stopped.bestMove);
    EXPECT_EQ(searchResult.score, stopped.score);
    ASSERT_EQ(searchResult.pv.count, stopped.pv.count);
    for (int i = 0; i < stopped.pv.count; ++i)
        EXPECT_EQ(searchResult.pv.moves[i], stopped.pv.moves[i]);
}

// Past firstIterationNodes even the first iteration obeys the limits. Cut there, the search
// answers the best root move it finished, with that move's score, or, if it finished none, the
// first root move without a score.
TEST_F(Driver, AFirstIterationCutShortClaimsOnlyWhatItSearched) {
    const uint64_t savedFirstIterationNodes = firstIterationNodes;
    // Extra queens for both: the first iteration takes about 4900 nodes, its first root move
    // about 1200 and its second about 500.
    const char* queens = "rnbqkbnr/ppppqqqq/8/8/8/8/PPPPQQQQ/RNBQKBNR w KQkq - 0 1";
    search(queens, [](auto& l) { l.depth = 1; });
    const SearchResult whole = searchResult;
    const uint64_t wholeNodes = nodeCount;

    // Cut at the time check after 2048 nodes: two root moves are done.
    firstIterationNodes = 1500;
    search(queens, [](auto& l) { l.nodeLimit = 1; });
    EXPECT_LT(nodeCount, wholeNodes);
    EXPECT_TRUE(searchResult.scored);
    EXPECT_EQ(searchResult.depth, 1);
    ASSERT_GE(searchResult.pv.count, 1);
    EXPECT_EQ(searchResult.pv.moves[0], searchResult.bestMove);
    EXPECT_LE(searchResult.score, whole.score); // the best of fewer moves

    // Cut at the first time check, inside the first root move.
    firstIterationNodes = 0;
    search(queens, [](auto& l) { l.nodeLimit = 1; });
    EXPECT_FALSE(searchResult.scored);
    EXPECT_NE(searchResult.bestMove, NoMove);
    EXPECT_EQ(searchResult.pv.count, 1);

    firstIterationNodes = savedFirstIterationNodes;
}

TEST_F(Driver, AMateForTheSideToMoveEndsTheDeepening) {
    search("6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1", [](auto& l) { l.depth = 20; });
    EXPECT_EQ(searchResult.depth, 1);
    EXPECT_EQ(searchResult.score, 30000 - 1);
    EXPECT_EQ(searchResult.bestMove, encodeMove(D1, D8));
}

TEST_F(Driver, OneLegalMoveShrinksTheTimeFactor) {
    const char* fen = "7k/8/8/8/8/8/6q1/7K w - - 0 1"; // only Kxg2
    search(fen, [](auto& l) { l.depth = 1; });
    EXPECT_EQ(timeFactor, 0.515625);
    search(fen, [](auto& l) { l.depth = 4; });
    EXPECT_EQ(timeFactor, 0.03125);
    EXPECT_EQ(searchResult.bestMove, encodeMove(H1, G2));
}

} // namespace
