// SPDX-License-Identifier: GPL-3.0-or-later
#include "search/draw.h"

#include <gtest/gtest.h>

using namespace zekora;

namespace {

// A position whose key history holds the given keys, the last being the current key.
Position withHistory(std::initializer_list<uint64_t> keys, int clock) {
    Position pos{};
    for (uint64_t k : keys) pos.keyHistory[pos.historyCount++] = k;
    pos.key = pos.keyHistory[pos.historyCount - 1];
    pos.halfmoveClock = uint8_t(clock);
    return pos;
}

} // namespace

TEST(IsDraw, FiftyMoveRuleStartsAtAClockOfOneHundred) {
    EXPECT_FALSE(isDraw(withHistory({1, 2, 3, 4, 5, 6}, 99)));
    EXPECT_TRUE(isDraw(withHistory({1, 2, 3, 4, 5, 6}, 100)));
    EXPECT_TRUE(isDraw(withHistory({1}, 255)));
}

TEST(IsDraw, RepetitionNeedsFourReversiblePlies) {
    // Out and back for both sides: the position four plies back returns.
    EXPECT_TRUE(isDraw(withHistory({7, 2, 3, 4, 7}, 4)));
    // The same keys behind an irreversible move (clock 3) are out of reach.
    EXPECT_FALSE(isDraw(withHistory({7, 2, 3, 4, 7}, 3)));
    // Two plies back has the other side to move and is never compared.
    EXPECT_FALSE(isDraw(withHistory({1, 2, 3, 7, 2, 7}, 10)));
}

TEST(IsDraw, EarlierRepetitionsWithinTheClockCount) {
    EXPECT_TRUE(isDraw(withHistory({7, 1, 2, 3, 4, 5, 6, 8, 7}, 8)));
    EXPECT_FALSE(isDraw(withHistory({7, 1, 2, 3, 4, 5, 6, 8, 7}, 7)));
}

TEST(IsDraw, NullMoveResetsTheClockSoNoRepetitionIsSeenAcrossIt) {
    // The null move two plies ago reset the clock to 0.
    EXPECT_FALSE(isDraw(withHistory({7, 2, 3, 4, 7}, 2)));
}

TEST(IsDraw, ClockLargerThanTheHistoryNeverReadsBeforeItsStart) {
    // A FEN may carry a clock of 10 with no history behind it. Four entries before the start of
    // keyHistory lies the position's own key, so reading there would report a false draw.
    Position pos = withHistory({42}, 10);
    EXPECT_FALSE(isDraw(pos));
    pos = withHistory({42, 1, 2}, 40);
    EXPECT_FALSE(isDraw(pos));
}
