// SPDX-License-Identifier: GPL-3.0-or-later
// The developer tool's "perft --picker" against its plain "perft": same root moves, same
// counts, same closing line.
#include <array>
#include <cstdio>
#include <memory>
#include <set>
#include <string>

#include <gtest/gtest.h>

namespace {

std::string run(const std::string& arguments) {
    std::string command = std::string(ZEKORA_BIN_DIR) + "/zekora-tool " + arguments;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    std::string output;
    std::array<char, 256> buffer;
    while (pipe && std::fgets(buffer.data(), int(buffer.size()), pipe.get()))
        output += buffer.data();
    return output;
}

// The per-move lines and the "nodes" line; the timing line differs from run to run.
std::set<std::string> countLines(const std::string& output) {
    std::set<std::string> lines;
    size_t begin = 0;
    while (begin < output.size()) {
        size_t end = output.find('\n', begin);
        if (end == std::string::npos) end = output.size();
        std::string line = output.substr(begin, end - begin);
        if (line.rfind("time ", 0) != 0) lines.insert(line);
        begin = end + 1;
    }
    return lines;
}

} // namespace

TEST(PerftPickerTool, SameRootMovesAndCountsAsPlainPerft) {
    for (std::string fen :
         {"", "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
          "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1"}) {
        std::string picker = run("perft --picker 3 " + fen);
        std::string plain = run("perft 3 " + fen);
        ASSERT_NE(picker.find("nodes "), std::string::npos) << picker;
        EXPECT_EQ(countLines(picker), countLines(plain)) << fen;
    }
    EXPECT_NE(run("perft --picker 3").find("nodes 8902\n"), std::string::npos);
}
