// SPDX-License-Identifier: GPL-3.0-or-later
// The perft command of the developer tool, run as a program: its output format and its
// counts, which take the shortcut of counting the last ply without playing it.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::vector<std::string> runTool(const std::string& arguments) {
    std::string command = std::string(ZEKORA_BIN_DIR) + "/zekora-tool perft " + arguments;
    std::vector<std::string> lines;
    FILE* out = popen(command.c_str(), "r");
    if (!out) return lines;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, out)) {
        std::string line = buffer;
        if (!line.empty() && line.back() == '\n') line.pop_back();
        lines.push_back(line);
    }
    pclose(out);
    return lines;
}

uint64_t nodes(const std::vector<std::string>& lines) {
    if (lines.empty() || lines.back().rfind("nodes ", 0) != 0) return 0;
    return std::stoull(lines.back().substr(6));
}

} // namespace

TEST(PerftTool, PrintsEachRootMoveThenTimeThenNodes) {
    std::vector<std::string> lines = runTool("2");
    ASSERT_EQ(lines.size(), 22u);
    uint64_t sum = 0;
    for (int i = 0; i < 20; ++i) {
        size_t colon = lines[i].find(": ");
        ASSERT_EQ(colon, 4u) << lines[i];
        sum += std::stoull(lines[i].substr(colon + 2));
    }
    EXPECT_NE(lines[20].find("leaves per second"), std::string::npos);
    EXPECT_EQ(lines[21], "nodes 400");
    EXPECT_EQ(sum, 400u);
    // The FEN as one argument or as several.
    EXPECT_EQ(nodes(runTool("3 \"8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1\"")), 2812u);
    EXPECT_EQ(nodes(runTool("3 8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1")), 2812u);
}

TEST(PerftTool, BulkCountsMatchWherePinsChecksAndEnPassantMeet) {
    // The last ply is counted without playing it (pins, checks, king moves); these positions
    // exercise each case. Every test position goes through the tool in the long tests.
    struct {
        const char* fen;
        int depth;
        uint64_t leaves;
    } cases[] = {
        {"r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1", 3, 97862},
        {"8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1", 5, 674624},
        {"r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1", 4, 422333},
        {"rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8", 3, 62379},
        {"1rq1kbr1/5pp1/p1pp3p/4pP2/P2P1P2/8/RP2K2P/1NBQ2NR w - e6 0 16", 4, 821197},
    };
    for (const auto& c : cases)
        EXPECT_EQ(nodes(runTool(std::to_string(c.depth) + " \"" + c.fen + "\"")), c.leaves)
            << c.fen;
}
