// SPDX-License-Identifier: GPL-3.0-or-later
#include "search/timeman.h"

#include <gtest/gtest.h>

#include "board/types.h"

using namespace zekora;

namespace {

// Prepares a search from the given "go" parameters and puts it after `plies` finished
// iterations, `seconds` into the search.
struct TimeLimits : ::testing::Test {
    // The "go" parameters are given as field settings, e.g. go([](auto& l) { l.depth = 3; }).
    template <typename Fill>
    void go(Fill fill, int side = White) {
        limits = SearchLimits{};
        fill(limits);
        prepareSearch(side);
    }
    bool stopsAt(int plies, double seconds, double factor = 1.0, bool armed = true) {
        iterationDepth = 2 * (plies + 1);
        searchClock.wallElapsed = seconds;
        timeFactor = factor;
        softStopArmed = armed;
        return searchLimitReached();
    }
    void TearDown() override { limits = SearchLimits{}; }
};

TEST_F(TimeLimits, BudgetSpreadsClockAndIncrementOverTheMovesToGo) {
    go([](auto& l) { l.whiteTime = 100000; });
    EXPECT_EQ(targetMs, 2571);
    EXPECT_EQ(hardLimitMs, 25000);
    EXPECT_EQ(lowTime, 0);
    EXPECT_EQ(timeFactor, 1.0);

    go([](auto& l) {
        l.whiteTime = 10000;
        l.whiteIncrement = 1000;
    });
    EXPECT_EQ(targetMs, 25 + 257);

    go([](auto& l) { l.whiteTime = 800; });
    EXPECT_EQ(lowTime, 1);
    go([](auto& l) {
        l.whiteTime = 800;
        l.whiteIncrement = 10;
    });
    EXPECT_EQ(lowTime, 0);

    // Black to move reads Black's clock; movestogo replaces the 35 moves.
    go(
        [](auto& l) {
            l.whiteTime = 100000;
            l.blackTime = 20000;
            l.blackIncrement = 500;
            l.movesToGo = 10;
        },
        Black);
    EXPECT_EQ(targetMs, 45 + 1800);
    EXPECT_EQ(hardLimitMs, 5000);
}

TEST_F(TimeLimits, DepthNodesAndMateSearchesEndAtTheirCount) {
    go([](auto& l) { l.depth = 3; });
    EXPECT_FALSE(stopsAt(2, 1e6));
    EXPECT_TRUE(stopsAt(3, 0));

    go([](auto& l) { l.nodeLimit = 5000; });
    nodeCount = 5000;
    EXPECT_FALSE(stopsAt(1, 1e6));
    nodeCount = 5001;
    EXPECT_TRUE(stopsAt(1, 0));

    // The first limit given decides, in fixed order.
    go([](auto& l) {
        l.ponder = 1;
        l.infinite = 1;
        l.depth = 4;
        l.mate = 2;
    });
    EXPECT_EQ(limitMode, ModeDepth);
    go([](auto& l) {
        l.ponder = 1;
        l.moveTime = 5;
        l.whiteTime = 100;
    });
    EXPECT_EQ(limitMode, ModePonder);

    // A mate in 3 needs at most 6 plies: searched like "go depth 6", not one iteration.
    go([](auto& l) { l.mate = 3; });
    EXPECT_FALSE(stopsAt(1, 1e6));
    EXPECT_FALSE(stopsAt(5, 1e6));
    EXPECT_TRUE(stopsAt(6, 0));
}

TEST_F(TimeLimits, InfiniteAndPonderSearchesIgnoreTheClock) {
    go([](auto& l) {
        l.infinite = 1;
        l.whiteTime = 1;
    });
    EXPECT_FALSE(stopsAt(100, 1e6, 4.0));
    EXPECT_TRUE(stopsAt(255, 0)); // the deepest iteration is done

    go([](auto& l) {
        l.ponder = 1;
        l.whiteTime = 1000;
        l.blackTime = 1000;
    });
    EXPECT_FALSE(stopsAt(30, 1e6, 4.0));
    limits.ponderhitReceived = 1;
    EXPECT_TRUE(stopsAt(30, 0));
}

TEST_F(TimeLimits, HardLimitStretchesWithTheFactorButNeverPastHalfTheClock) {
    go([](auto& l) { l.whiteTime = 10000; }); // hard 2500 ms
    EXPECT_FALSE(stopsAt(5, 2.4, 1.0, false));
    EXPECT_TRUE(stopsAt(5, 2.6, 1.0, false));
    EXPECT_TRUE(stopsAt(5, 1.3, 0.5, false));
    // Factor 4 would allow the whole clock; half of it is the most one move may use.
    EXPECT_FALSE(stopsAt(5, 4.9, 4.0, false));
    EXPECT_TRUE(stopsAt(5, 5.1, 4.0, false));
}

TEST_F(TimeLimits, TargetEndsTheSearchOnlyWhenArmed) {
    go([](auto& l) { l.whiteTime = 100000; }); // target 2571 ms
    EXPECT_FALSE(stopsAt(5, 2.5, 1.0, true));
    EXPECT_TRUE(stopsAt(5, 2.6, 1.0, true));
    EXPECT_FALSE(stopsAt(5, 2.6, 1.0, false));
    EXPECT_FALSE(stopsAt(5, 5.0, 2.0, true));
    EXPECT_TRUE(stopsAt(5, 5.2, 2.0, true));
}

TEST_F(TimeLimits, MoveTimeMayBeShortenedButNeverStretched) {
    go([](auto& l) { l.moveTime = 1000; });
    EXPECT_EQ(lowTime, 1); // no clock given
    // Ten milliseconds are kept back for the interface.
    EXPECT_FALSE(stopsAt(5, 0.985, 4.0, true));
    EXPECT_TRUE(stopsAt(5, 0.995, 4.0, true));
    EXPECT_TRUE(stopsAt(5, 0.995, 4.0, false)); // even inside an iteration
    EXPECT_TRUE(stopsAt(5, 0.6, 0.5, true));
    EXPECT_FALSE(stopsAt(5, 0.6, 0.5, false));
}

TEST_F(TimeLimits, TimeCheckLeavesTheFirstIterationAloneAndJumpsOutLater) {
    go([](auto& l) { l.depth = 1; });
    limits.stopRequested = 1;
    startClock();
    iterationDepth = 2;
    timeCheck(); // returns: the first iteration always finishes

    iterationDepth = 4;
    volatile bool jumped = false;
    if (setjmp(abortPoint) == 0)
        timeCheck();
    else
        jumped = true;
    EXPECT_TRUE(jumped);
}

// Times no game has, as a broken script may send them: budgets saturate instead of
// overflowing, and a movetime past 2^31 milliseconds does not wrap to a short one.
TEST_F(TimeLimits, HugeTimesSaturateAndNeverWrap) {
    go([](auto& l) {
        l.whiteTime = INT64_MAX;
        l.whiteIncrement = INT64_MAX;
    });
    EXPECT_EQ(hardLimitMs, INT32_MAX);
    EXPECT_EQ(targetMs, INT32_MAX);
    EXPECT_FALSE(stopsAt(5, 3600.0));
    go([](auto& l) { l.whiteTime = INT64_MIN; });
    EXPECT_EQ(hardLimitMs, INT32_MIN);
    EXPECT_TRUE(stopsAt(5, 0.0));

    go([](auto& l) { l.moveTime = (int64_t(1) << 32) + 20; });
    EXPECT_FALSE(stopsAt(5, 1.0));
    // The node cap a fuzzing harness sets ends even that search.
    searchNodeCap = 5000;
    nodeCount = 5001;
    EXPECT_TRUE(stopsAt(5, 1.0));
    searchNodeCap = 0;
}

} // namespace
