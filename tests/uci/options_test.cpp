// SPDX-License-Identifier: GPL-3.0-or-later
// "setoption" and "go" parsing, and the command table seen from inside the process.
#include <climits>
#include <string>

#include <gtest/gtest.h>

#include "search/timeman.h"
#include "uci/uci.h"

using namespace zekora;

namespace {

// Options and limits are process-wide; every test starts from the defaults.
class Options : public ::testing::Test {
  protected:
    void SetUp() override {
        hashMegabytes = 64;
        trafficLimit = TrafficNormal;
        trafficDepthHalfPlies = 20;
        searchRunning = false;
        limits = SearchLimits{};
    }
    void TearDown() override { SetUp(); }
};

bool allZero(const SearchLimits& l) {
    return !l.ponder && !l.infinite && !l.whiteTime && !l.blackTime && !l.whiteIncrement &&
           !l.blackIncrement && !l.movesToGo && !l.depth && !l.nodeLimit && !l.moveTime &&
           !l.mate && !l.stopRequested && !l.ponderhitReceived;
}

TEST_F(Options, TrafficDepthIsStoredInHalfPlies) {
    applySetOption("setoption name Traffic Depth value 7");
    EXPECT_EQ(trafficDepthHalfPlies, 14);
    applySetOption("setoption name Traffic Depth value 0");
    EXPECT_EQ(trafficDepthHalfPlies, 0);
    // Out of range values are not checked, but never overflow.
    applySetOption("setoption name Traffic Depth value 99999999999999999999");
    EXPECT_EQ(trafficDepthHalfPlies, INT32_MAX);
}

TEST_F(Options, TrafficLimitValues) {
    const std::pair<const char*, int> cases[] = {
        {"Ultrafast", TrafficUltrafast}, {"Fast", TrafficFast},     {"Normal", TrafficNormal},
        {"Analyse", TrafficAnalyse},     {"Ignore", TrafficIgnore}, {"Fastest", TrafficFast},
    };
    for (auto [value, code] : cases) {
        trafficLimit = -1;
        applySetOption((std::string("setoption name Traffic Limit value ") + value).c_str());
        EXPECT_EQ(trafficLimit, code) << value;
    }
    // A misspelled value leaves the option as it was.
    applySetOption("setoption name Traffic Limit value fast");
    EXPECT_EQ(trafficLimit, TrafficFast);
}

// The option text at the very end of the line reads as 0 and never reads past the line.
TEST_F(Options, ValueMissingAtTheEndOfTheLine) {
    std::string line = "setoption name Traffic Depth value";
    applySetOption(line.c_str());
    EXPECT_EQ(trafficDepthHalfPlies, 0);
}

TEST_F(Options, UnknownOptionsChangeNothing) {
    applySetOption("setoption name Contempt value 10");
    applySetOption("setoption name hash value 10");
    EXPECT_EQ(hashMegabytes, 64);
    EXPECT_EQ(trafficLimit, TrafficNormal);
    EXPECT_EQ(trafficDepthHalfPlies, 20);
}

TEST_F(Options, SetOptionIsMatchedByPrefix) {
    dispatchCommand("setoption name Traffic Depth value 3");
    EXPECT_EQ(trafficDepthHalfPlies, 6);
    dispatchCommand("setoptionname Traffic Depth value 4");
    EXPECT_EQ(trafficDepthHalfPlies, 8);
    dispatchCommand(" setoption name Traffic Depth value 5");
    EXPECT_EQ(trafficDepthHalfPlies, 8);
}

TEST_F(Options, ClockTimesAloneLeaveEveryOtherLimitZero) {
    parseGo("go wtime 300000 btime 299000");
    EXPECT_EQ(limits.whiteTime, 300000);
    EXPECT_EQ(limits.blackTime, 299000);
    SearchLimits rest = limits;
    rest.whiteTime = rest.blackTime = 0;
    EXPECT_TRUE(allZero(rest));
}

TEST_F(Options, EveryGoParameter) {
    parseGo("go ponder wtime 1000 btime 2000 winc 30 binc 40 movestogo 12 depth 9 nodes "
            "123456789012 movetime 5000 mate 3 infinite searchmoves e2e4 d2d4");
    EXPECT_EQ(limits.ponder, 1);
    EXPECT_EQ(limits.infinite, 1);
    EXPECT_EQ(limits.whiteTime, 1000);
    EXPECT_EQ(limits.blackTime, 2000);
    EXPECT_EQ(limits.whiteIncrement, 30);
    EXPECT_EQ(limits.blackIncrement, 40);
    EXPECT_EQ(limits.movesToGo, 12);
    EXPECT_EQ(limits.depth, 9);
    EXPECT_EQ(limits.nodeLimit, 123456789012ULL);
    EXPECT_EQ(limits.moveTime, 5000);
    EXPECT_EQ(limits.mate, 3);
}

// Each go starts from nothing: flags of the previous search and a stray stop are forgotten.
TEST_F(Options, GoForgetsThePreviousSearch) {
    parseGo("go infinite");
    limits.stopRequested = 1;
    limits.ponderhitReceived = 1;
    parseGo("go depth 4");
    EXPECT_EQ(limits.depth, 4);
    SearchLimits rest = limits;
    rest.depth = 0;
    EXPECT_TRUE(allZero(rest));
}

// Numbers read like the C library reads them: blanks, a sign, digits up to anything else.
TEST_F(Options, GoNumbers) {
    parseGo("go wtime   -250 btime +77ms winc x5 depth");
    EXPECT_EQ(limits.whiteTime, -250);
    EXPECT_EQ(limits.blackTime, 77);
    EXPECT_EQ(limits.whiteIncrement, 0);
    EXPECT_EQ(limits.depth, 0);
    // Narrow fields keep the low 16 bits.
    parseGo("go depth 65537 movestogo -1 mate 40000");
    EXPECT_EQ(limits.depth, 1);
    EXPECT_EQ(limits.movesToGo, 65535);
    EXPECT_EQ(limits.mate, int16_t(40000 - 65536));
}

TEST_F(Options, GoDuringASearchIsIgnored) {
    limits.whiteTime = 5000;
    searchRunning = true;
    dispatchCommand("go depth 3");
    EXPECT_EQ(limits.whiteTime, 5000);
    EXPECT_EQ(limits.depth, 0);
}

TEST_F(Options, StopAndPonderhitSetTheirFlagsOnlyWhenExact) {
    dispatchCommand("stop ");
    dispatchCommand("ponderhit now");
    EXPECT_FALSE(limits.stopRequested);
    EXPECT_FALSE(limits.ponderhitReceived);
    dispatchCommand("stop");
    dispatchCommand("ponderhit");
    EXPECT_TRUE(limits.stopRequested);
    EXPECT_TRUE(limits.ponderhitReceived);
}

} // namespace
