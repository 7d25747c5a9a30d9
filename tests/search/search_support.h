// SPDX-License-Identifier: GPL-3.0-or-later
// Helpers of the tree-search tests: tables, positions from FEN, a fresh search state.
#pragma once

#include <gtest/gtest.h>

#include <cstring>

#include "board/attacks.h"
#include "board/makemove.h"
#include "eval/evaluate.h"
#include "movegen/movelist.h"
#include "search/search.h"
#include "search/timeman.h"
#include "search/tt.h"
#include "support/test_position.h"
#include "uci/engine.h"
#include "uci/setup.h"

namespace zekora::test {

// A small table keeps the per-test clearing cheap.
constexpr int SearchTestMegabytes = 4;

// What the driver does before a search, minus the clock: an empty table, no history, no
// killers, counters at zero. Iteration depth 0 keeps the time check from stopping the search
// or reading input.
inline void freshSearch() {
    resizeTable(SearchTestMegabytes);
    clearTable();
    std::memset(historyTable, 0, sizeof historyTable);
    for (SearchStackEntry& e : searchStack) {
        e.killers[0] = e.killers[1] = NoMove;
        e.captureSquare = NoSquare;
    }
    nodeCount = 0;
    selDepth = 0;
    iterationDepth = 0;
}

// Points the position at the stack entry of ply, filled as a node would fill it.
inline void enterPly(Position& pos, int ply) {
    SearchStackEntry& e = searchStack[ply];
    pos.stackEntry = &e;
    e.inCheck = isSquareAttacked(pos, pos.kingSquare[pos.sideToMove], opponent(pos.sideToMove));
    e.pinned = pinnedPieces(pos, pos.sideToMove);
    e.hashMove = NoMove;
}

inline Move parseMove(const Position& pos, const char* text) {
    const Move m = textToMove(pos, text);
    EXPECT_NE(m, NoMove) << text;
    return m;
}

inline int staticScore(const Position& pos) { return evaluate(pos, -MateValue, MateValue); }

struct SearchTest : ::testing::Test {
    static void SetUpTestSuite() { initEngineOnce(); }
    void SetUp() override { freshSearch(); }
};

} // namespace zekora::test
