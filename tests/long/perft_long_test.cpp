// SPDX-License-Identifier: GPL-3.0-or-later
// Deep perft counts and whole-tree make/unmake checks; slow, so kept out of the default suite.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "board/position_check.h"
#include "movegen/perft_data.h"

using namespace zekora;

namespace {

uint64_t toolPerft(int depth, const std::string& fen) {
    std::string command = std::string(ZEKORA_BIN_DIR) + "/zekora-tool perft " +
                          std::to_string(depth) + " \"" + fen + "\"";
    FILE* out = popen(command.c_str(), "r");
    if (!out) return 0;
    char buffer[512];
    uint64_t nodes = 0;
    while (std::fgets(buffer, sizeof buffer, out))
        if (std::sscanf(buffer, "nodes %llu", (unsigned long long*)&nodes) == 1) break;
    pclose(out);
    return nodes;
}

void walk(Position& pos, int depth) {
    if (depth == 0) return;
    MoveList list;
    generatePseudoLegal(pos, list);
    int us = int(pos.sideToMove);
    for (int i = 0; i < list.count && !::testing::Test::HasFatalFailure(); ++i) {
        Position before = pos;
        UndoRecord undo;
        makeMove(pos, undo, list.moves[i]);
        ASSERT_NO_FATAL_FAILURE(expectConsistent(pos));
        if (!isSquareAttacked(pos, pos.kingSquare[us], us ^ 1)) walk(pos, depth - 1);
        unmakeMove(pos, undo, list.moves[i]);
        ASSERT_NO_FATAL_FAILURE(expectSamePosition(pos, before));
    }
}

} // namespace

TEST(PerftLong, PublishedDeepCounts) {
    struct {
        const char* fen;
        int depth;
        uint64_t leaves;
    } cases[] = {
        {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", 6, 119060324},
        {"r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1", 5, 193690690},
        {"8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1", 6, 11030083},
        {"r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1", 5, 15833292},
        {"rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8", 5, 89941194},
        {"r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10", 5, 164075551},
    };
    for (const auto& c : cases) EXPECT_EQ(toolPerft(c.depth, c.fen), c.leaves) << c.fen;
}

TEST(PerftLong, EveryTestPositionToDepthFour) {
    initEngineOnce();
    for (const PerftCase& c : loadPerftCases()) {
        Position pos = positionFromFen(c.fen);
        EXPECT_EQ(referencePerft(pos, 4), c.leaves[4]) << c.fen;
        EXPECT_EQ(toolPerft(4, c.fen), c.leaves[4]) << c.fen;
    }
}

TEST(PerftLong, MakeUnmakeRoundTripsToDepthThree) {
    initEngineOnce();
    for (const PerftCase& c : loadPerftCases()) {
        Position pos = positionFromFen(c.fen);
        ASSERT_NO_FATAL_FAILURE(walk(pos, 3)) << c.fen;
    }
}
