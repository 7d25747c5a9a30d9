// SPDX-License-Identifier: GPL-3.0-or-later
// zekora-tool bench [DEPTH]: a fixed set of positions, each searched from an empty table to a
// fixed depth; the node count identifies the search, the speed measures it.
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "movegen/movelist.h"
#include "search/driver.h"
#include "search/timeman.h"
#include "search/tt.h"
#include "tools/commands.h"
#include "uci/setup.h"
#include "uci/uci.h"

namespace zekora::tool {

namespace {

constexpr int DefaultBenchDepth = 12;

// Openings, middlegames, endgames, sides in check, promotions.
constexpr const char* BenchPositions[] = {
    // Openings
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
    "rnbqkb1r/1p2pppp/p2p1n2/8/3NP3/2N5/PPP2PPP/R1BQKB1R w KQkq - 0 6",
    "rnbqkb1r/ppp2ppp/4pn2/3p4/2PP4/2N5/PP2PPPP/R1BQKBNR w KQkq - 2 4",
    "r1bqk1nr/pppp1ppp/2n5/2b1p3/2B1P3/5N2/PPPP1PPP/RNBQK2R w KQkq - 4 4",
    "rnbqkbnr/ppp2ppp/4p3/3pP3/3P4/8/PPP2PPP/RNBQKBNR b KQkq - 0 3",
    "rnbq1rk1/ppp1ppbp/3p1np1/8/2PPP3/2N2N2/PP3PPP/R1BQKB1R w KQ - 1 6",
    "rnbqkbnr/ppp1p1pp/8/3pPp2/8/8/PPPP1PPP/RNBQKBNR w KQkq f6 0 3",
    // Middlegames
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
    "r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP1B1PPP/R2QKB1R w KQ - 0 8",
    "2rq1rk1/pp1bppbp/3p1np1/8/3NP3/1BN1BP2/PPPQ2PP/2KR3R b - - 0 13",
    "r2q1rk1/1b2bppp/p2ppn2/1p6/3NP3/1BN1B3/PPPQ1PPP/R4RK1 w - - 0 11",
    "r4rk1/pp1n1ppp/2pbpq2/3p4/2PP4/1PN1PN2/P4PPP/R2Q1RK1 w - - 0 12",
    "3r1rk1/p4ppp/1qp1b3/4P3/2P1Q3/1P3N2/P4PPP/3R1RK1 w - - 0 20",
    "r3k2r/pppq1ppp/2npbn2/2b1p3/2B1P3/2NPBN2/PPPQ1PPP/R3K2R w KQkq - 2 8",
    "r1b1kb1r/pppp1ppp/5q2/4n3/3KP3/2N3PN/PPP4P/R1BQ1B1R b kq - 0 1",
    "r1bqkb1r/pppp1ppp/2n2n2/4p2Q/2B1P3/8/PPPP1PPP/RNB1K1NR w KQkq - 4 4",
    // In check
    "r1bqkbnr/pppp1Bpp/2n5/4p3/4P3/8/PPPP1PPP/RNBQK1NR b KQkq - 0 3",
    "rnbqk1nr/pppp1ppp/8/4p3/1b1P4/8/PPP1PPPP/RNBQKBNR w KQkq - 1 3",
    // Endgames
    "8/8/8/4k3/8/8/4P3/4K3 w - - 0 1",
    "1K1k4/1P6/8/8/8/8/r7/2R5 w - - 0 1",
    "8/3k4/8/3PK3/8/8/r7/5R2 w - - 0 1",
    "8/8/8/3k4/8/8/3r4/K2Q4 w - - 0 1",
    "8/8/8/4k3/8/8/8/KBN5 w - - 0 1",
    "8/k7/3p4/p2P1p2/P2P1P2/8/8/K7 w - - 0 1",
    "8/5k2/4b3/2p1P3/2P1KB2/8/8/8 w - - 0 1",
    "8/3n4/4k3/8/2P5/4K3/4N3/8 w - - 0 1",
    "6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1",
    // Promotions
    "8/P7/8/8/8/8/7K/k7 w - - 0 1",
    "3r4/4P3/8/8/8/8/k7/4K3 w - - 0 1",
    "8/8/8/8/8/2k5/p7/4K3 b - - 0 1",
    "1r6/P4pk1/8/8/8/8/5PK1/8 w - - 0 1",
};

// Processor time of this thread in seconds: on a machine busy with other work the speed is
// still that of the search itself. Where there is no such clock (WebAssembly hosts), the
// monotonic clock.
double threadSeconds() {
    timespec ts;
    if (clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts) != 0) clock_gettime(CLOCK_MONOTONIC, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

} // namespace

int benchCommand(int argc, char** argv) {
    const int depth = argc > 0 ? std::atoi(argv[0]) : DefaultBenchDepth;
    if (depth < 1 || depth > 255) {
        std::printf("usage: zekora-tool bench [DEPTH], DEPTH 1 to 255\n");
        return 2;
    }
    // No info lines and no reading of standard input: only the searches themselves.
    trafficLimit = TrafficUltrafast;
    inputPolling = false;

    uint64_t totalNodes = 0;
    double seconds = 0; // searching only, without setting up and clearing the table
    int number = 0;
    for (const char* fen : BenchPositions) {
        char command[128];
        std::snprintf(command, sizeof command, "position fen %s", fen);
        setupPosition(command);
        ++number;
        if (!currentPositionUsable) {
            std::printf("position %d cannot be searched: %s\n", number, fen);
            return 1;
        }
        // Nothing carries over from the previous position, not even the root move order.
        clearTable();
        std::memset(historyTable, 0, sizeof historyTable);
        limits = SearchLimits{};
        limits.depth = uint16_t(depth);
        prepareSearch(int(currentPosition.sideToMove));
        const double start = threadSeconds();
        searchPosition(currentPosition);
        seconds += threadSeconds() - start;
        totalNodes += nodeCount;
        std::printf("%2d bestmove %-5s score %6d nodes %12" PRIu64 "  %s\n", number,
                    moveToText(searchResult.bestMove), searchResult.score, nodeCount, fen);
    }
    std::printf("%" PRIu64 " nodes %.0f nps\n", totalNodes,
                seconds > 0 ? double(totalNodes) / seconds : 0.0);
    return 0;
}

} // namespace zekora::tool
