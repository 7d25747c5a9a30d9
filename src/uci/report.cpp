// SPDX-License-Identifier: GPL-3.0-or-later
#include "uci/report.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "search/timeman.h"
#include "uci/console.h"
#include "uci/setup.h"
#include "uci/uci.h"

namespace zekora {

double lastCurrmoveTime;
double lastStatsTime;

namespace {

// Seconds between throttled lines, on the wall clock.
constexpr double ThrottleSeconds = 1000;
// From this depth (half plies) on every due currmove and statistics line is printed.
constexpr int VerboseDepth = 20;
constexpr int MaxPrintedPvMoves = 127;

bool trafficAllowsByLimit(int depth, int kind) {
    const bool deepEnough = depth >= trafficDepthHalfPlies;
    switch (trafficLimit) {
    case TrafficFast: return kind == ReportIterationEnd && deepEnough;
    case TrafficNormal: return kind != ReportCurrmove && deepEnough;
    case TrafficAnalyse: return deepEnough;
    case TrafficIgnore: return true;
    default: return false; // Ultrafast and unknown codes
    }
}

// Nodes per second; 0 until the clock has moved.
double nodesPerSecond() {
    const double elapsed = searchClock.wallElapsed;
    return elapsed > 0 ? double(nodeCount) / elapsed : 0.0;
}

void printThrottledCurrmove(Move move, int number, bool due) {
    if (!due && searchClock.wallNow - lastCurrmoveTime <= ThrottleSeconds) return;
    printCurrmove(move, number);
    lastCurrmoveTime = searchClock.wallNow;
}

} // namespace

bool trafficAllows(int depth, int kind) {
    return limits.infinite || trafficAllowsByLimit(depth, kind);
}

void printScore(int score) {
    if (score >= -MateBound && score <= MateBound) {
        std::printf("score cp %d ", score);
        return;
    }
    // Plies to mate, rounded up to whole moves; negative when the side to move is mated.
    int plies = score > 0 ? MateValue - score : -MateValue - score;
    if (plies & 1) ++plies;
    std::printf("score mate %d ", plies / 2);
}

void printCurrmove(Move move, int number) {
    std::printf("info currmove %s currmovenumber %d\n", moveToText(move), number);
    endLine();
}

void printStats(bool force) {
    if (!force && searchClock.wallNow - lastStatsTime <= ThrottleSeconds) return;
    std::printf("info nodes %" PRIu64 " nps %0.f time %0.f hashfull %d \n", nodeCount,
                nodesPerSecond(), searchClock.wallElapsed * 1000, 0);
    endLine();
    lastStatsTime = searchClock.wallNow;
}

void printPvMoves(const PrincipalVariation& pv) {
    // "pv " and up to 127 moves of at most five letters, each with its blank.
    char text[4 + MaxPrintedPvMoves * 6];
    size_t length = 0;
    std::memcpy(text, "pv ", 3);
    length = 3;
    const int count = pv.count < MaxPrintedPvMoves ? pv.count : MaxPrintedPvMoves;
    for (int i = 0; i < count; ++i) {
        const char* move = moveToText(pv.moves[i]);
        const size_t n = std::strlen(move);
        std::memcpy(text + length, move, n);
        length += n;
        text[length++] = ' ';
    }
    text[length] = '\0';
    std::printf("%s ", text);
}

void printPvLine(int score, int depth, int selDepth, const PrincipalVariation& pv) {
    std::printf("info depth %d seldepth %d nodes %" PRIu64 " ", depth, selDepth, nodeCount);
    printScore(score);
    std::printf("nps %0.f ", nodesPerSecond());
    printPvMoves(pv);
    std::printf("\n");
    endLine();
}

void reportBestMove(Move move, const PrincipalVariation& pv) {
    waitForPonderEnd();
    char best[8];
    std::snprintf(best, sizeof best, "%s", moveToText(move));
    if (pv.count >= 2) {
        char ponder[8];
        std::snprintf(ponder, sizeof ponder, "%s", moveToText(pv.moves[1]));
        sendText("bestmove %s ponder %s \n", best, ponder);
    } else {
        sendText("bestmove %s \n", best);
    }
}

void reportRootMove(Move move, int number, int depth) {
    if (!trafficAllows(depth, ReportCurrmove)) return;
    printThrottledCurrmove(move, number, depth >= VerboseDepth || (number == 1 && limits.infinite));
}

void reportNewBestMove(Move move, int number, int score, int depth, const PrincipalVariation& pv) {
    if (!trafficAllows(depth, ReportNewBest)) return;
    const bool verbose = depth >= VerboseDepth || limits.infinite;
    printThrottledCurrmove(move, number, verbose);
    printStats(verbose);
    printPvLine(score, depth / 2, selDepth, pv);
}

void reportIterationEnd(int score, int depth, const PrincipalVariation& pv) {
    if (trafficAllows(depth, ReportIterationEnd)) printPvLine(score, depth / 2, selDepth, pv);
}

} // namespace zekora
