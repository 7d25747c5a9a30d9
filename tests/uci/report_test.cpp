// SPDX-License-Identifier: GPL-3.0-or-later
#include "uci/report.h"

#include <gtest/gtest.h>

#include <string>

#include "search/timeman.h"
#include "uci/uci.h"

using namespace zekora;
using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStdout;

namespace {

struct Reports : ::testing::Test {
    void SetUp() override {
        limits = SearchLimits{};
        trafficLimit = TrafficNormal;
        trafficDepthHalfPlies = 20;
        nodeCount = 0;
        selDepth = 0;
        searchClock = SearchClock{};
    }
    void TearDown() override {
        limits = SearchLimits{};
        trafficLimit = TrafficNormal;
        trafficDepthHalfPlies = 20;
    }
};

template <typename Print>
std::string output(Print print) {
    CaptureStdout();
    print();
    std::fflush(stdout);
    return GetCapturedStdout();
}

PrincipalVariation line(std::initializer_list<Move> moves) {
    PrincipalVariation pv;
    pv.clear();
    for (Move m : moves) pv.moves[pv.count++] = m;
    return pv;
}

const Move E2E4 = encodeMove(E2, E4);
const Move E7E5 = encodeMove(E7, E5);
const Move G1F3 = encodeMove(G1, F3);

TEST_F(Reports, ScoresBeyondTheMateBoundAreReportedInMoves) {
    const struct {
        int score;
        const char* text;
    } cases[] = {
        {0, "score cp 0 "},
        {-57, "score cp -57 "},
        {29744, "score cp 29744 "},
        {-29744, "score cp -29744 "},
        {29745, "score mate 128 "},
        {30000 - 1, "score mate 1 "},
        {30000 - 3, "score mate 2 "},
        {30000 - 4, "score mate 2 "},
        {-(30000 - 2), "score mate -1 "},
        {-(30000 - 4), "score mate -2 "},
        {-30000, "score mate 0 "},
    };
    for (const auto& c : cases) EXPECT_EQ(output([&] { printScore(c.score); }), c.text);
}

TEST_F(Reports, PrincipalVariationFieldEndsWithTwoBlanksAndHoldsAtMost127Moves) {
    EXPECT_EQ(output([] { printPvMoves(line({})); }), "pv  ");
    EXPECT_EQ(output([] { printPvMoves(line({E2E4, E7E5})); }), "pv e2e4 e7e5  ");

    PrincipalVariation full;
    full.clear();
    std::string expected = "pv ";
    const Move promotion = encodeMove(B7, A8, WhiteQueen);
    for (int i = 0; i < MaxPvLength; ++i) {
        full.moves[full.count++] = promotion;
        expected += "b7a8q ";
    }
    EXPECT_EQ(output([&] { printPvMoves(full); }), expected + " ");
}

TEST_F(Reports, InfoLinesHaveTheirFieldsInFixedOrder) {
    nodeCount = 12345;
    EXPECT_EQ(output([] {
                  printPvLine(31, 5, 9, line({E2E4, E7E5}));
              }),
              "info depth 5 seldepth 9 nodes 12345 score cp 31 nps 0 pv e2e4 e7e5  \n");
    searchClock.wallElapsed = 0.4;
    nodeCount = 1000;
    EXPECT_EQ(output([] { printPvLine(30000 - 3, 3, 4, line({G1F3})); }),
              "info depth 3 seldepth 4 nodes 1000 score mate 2 nps 2500 pv g1f3  \n");
    EXPECT_EQ(output([] { printStats(true); }), "info nodes 1000 nps 2500 time 400 hashfull 0 \n");
    EXPECT_EQ(output([] { printCurrmove(G1F3, 3); }), "info currmove g1f3 currmovenumber 3\n");
}

TEST_F(Reports, BestMoveNamesThePonderMoveOnlyForALongerLine) {
    EXPECT_EQ(output([] {
                  reportBestMove(E2E4, line({E2E4, E7E5, G1F3}));
              }),
              "bestmove e2e4 ponder e7e5 \n");
    EXPECT_EQ(output([] { reportBestMove(E2E4, line({E2E4})); }), "bestmove e2e4 \n");
    EXPECT_EQ(output([] { reportBestMove(NoMove, line({})); }), "bestmove a1a1 \n");
}

TEST_F(Reports, StatisticsAndCurrmoveLinesAreThrottledUnlessDeepOrInfinite) {
    searchClock.wallNow = 5000;
    lastStatsTime = 4500;
    EXPECT_EQ(output([] { printStats(false); }), "");
    searchClock.wallNow = 5501;
    EXPECT_NE(output([] { printStats(false); }), "");
    EXPECT_EQ(lastStatsTime, 5501);

    trafficLimit = TrafficAnalyse;
    trafficDepthHalfPlies = 2;
    lastCurrmoveTime = 5000;
    EXPECT_EQ(output([] { reportRootMove(E2E4, 2, 18); }), "");
    EXPECT_EQ(output([] { reportRootMove(E2E4, 2, 20); }), "info currmove e2e4 currmovenumber 2\n");
    limits.infinite = 1;
    EXPECT_EQ(output([] { reportRootMove(E2E4, 1, 4); }), "info currmove e2e4 currmovenumber 1\n");
    EXPECT_EQ(output([] { reportRootMove(E2E4, 2, 4); }), "");
}

} // namespace
