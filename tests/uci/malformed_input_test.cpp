// SPDX-License-Identifier: GPL-3.0-or-later
// Input as a broken script or a new user's interface may send it, thrown at the real program:
// after every piece of it "isready" is answered, every "go" gets exactly one bestmove naming
// a legal move (or a1a1 where there is none), the program never crashes, quits cleanly at the
// end, and writes nothing to standard error.
#include <set>
#include <string>
#include <vector>

#include "movegen/legal_oracle.h"
#include "support/uci_session.h"

using namespace zekora;
using namespace zekora::test;

namespace {

// Every byte but the newline, from 0x80 on round to 0x7f: control characters, NULs, escape
// sequences and text that is not UTF-8, in lines no command begins.
std::string garbage(size_t length) {
    std::string bytes;
    for (size_t i = 0; bytes.size() < length; ++i) {
        const char c = char(0x80 + i);
        if (c != '\n') bytes += c;
    }
    return bytes;
}

// One piece of input, sent as raw bytes; whether it starts a search, and whether it asks
// "isready" itself. Searches are followed by "stop", so that even those without limits of
// their own end.
struct Piece {
    std::string bytes;
    bool searches;
    bool asksReady = false;
};

std::vector<Piece> nastyInput() {
    std::vector<Piece> pieces = {
        {"\n", false},
        {"\r\n", false},
        {"\r\r\r\n", false},
        {" \t \n", false},
        {garbage(4000) + "\n", false},
        {"\x01\x02isready\x7f\n", false},
        {garbage(100000) + "\n", false}, // longer than any line buffer
        {"isready\r\n", false, true},
        {"isready\r\r\n", false, true},
        // Numbers beyond every field, negative times, zero and missing values.
        {"position startpos\n", false},
        {"go depth 99999999999999999999999999\n", true},
        {"go nodes 18446744073709551616\n", true},
        {"go nodes -1\n", true},
        {"go mate -1\n", true},
        {"go mate 99999999999\n", true},
        {"go wtime -1000 btime -1000 winc -5 binc -5\n", true},
        {"go wtime 9223372036854775807 btime 9223372036854775807 winc 99999999999999999999\n",
         true},
        {"go movestogo -1 wtime 100 btime 100\n", true},
        {"go movestogo 0 wtime 100\n", true},
        {"go movetime -20\n", true},
        {"go movetime 99999999999999\n", true},
        {"go depth\n", true},
        {"go searchmoves zzzz a1a1 depth 2\n", true},
        {"go infinite\n", true},
        {"go ponder\n", true},
        {"go ponder wtime 10 btime 10\r\n", true},
        {"go\n", true},
        // Absurd positions; "go" must still answer at once with a sound move or a1a1.
        {"position fen\n", false},
        {"position fen //////////////////////////////// w KQkq z9 -5 -7\ngo depth 2\n", true},
        {"position fen 99999999999999999999/kkkkkkkkkkkk/QQQQQQQQQQQQQ w\ngo depth 2\n", true},
        {"position fen 8/8/8/8/8/8/8/8 b - - 0 1\ngo depth 2\n", true},
        {"position fen 4k3/8/8/8/8/8/8/4K3 b KQkq e3 -1 -1\ngo depth 2\n", true},
        {"position fen 4k3/4Q3/8/8/8/8/8/4K3 w - - 0 1\ngo depth 2\n", true},
        {"position startpos moves e2e4 e2e4 e7e5 0000 0000 a1a1 h8h8 zzzz\ngo depth 2\n", true},
        {"position startpos moves e2e4  e7e5\t g1f3 \ngo depth 2\n", true},
        {"position startpos moves e7e5 e2e4\ngo depth 2\n", true},
        {"position startpos moves 0000 0000 0000 0000 0000 0000\ngo depth 2\n", true},
        {"positionstartpos fen moves\ngo depth 2\n", true},
        {"debugFen\ngo depth 2\n", true},
        // A queen for every pawn: the first iteration alone would take minutes; "stop" and
        // "isready" must still be served.
        {"position fen rnbqkbnr/qqqqqqqq/8/8/8/8/QQQQQQQQ/RNBQKBNR w - - 0 1\ngo infinite\n", true},
        // Options with missing or absurd values.
        {"setoption\n", false},
        {"setoption name\n", false},
        {"setoption name Hash\n", false},
        {"setoption name Hash value\n", false},
        {"setoption name Hash value -5\n", false},
        {"setoption name Hash value zero\n", false},
        {"setoption name Traffic Limit value\n", false},
        {"setoption name Traffic Limit value Fastest Ignore\n", false},
        {"setoption name Traffic Depth value -2147483648\n", false},
        {"setoption name Traffic Depth value 99999999999999999999\n", false},
        {"setoption name Nothing value 3\n", false},
        {"position startpos\ngo depth 3\n", true},
        {"setoption name Hash value 16\n", false},
        {"ponderhit\nstop\nstop\nucinewgame\nucinewgame\n", false},
    };
    return pieces;
}

// Sets up, in this process, the position the program holds after these lines.
void followPositionCommands(const std::string& bytes) {
    initEngineOnce();
    size_t begin = 0;
    while (begin < bytes.size()) {
        size_t end = bytes.find('\n', begin);
        if (end == std::string::npos) end = bytes.size();
        std::string line = bytes.substr(begin, end - begin);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.rfind("position", 0) == 0) setupPosition(line.c_str());
        if (line.rfind("debugFen", 0) == 0) setupPosition("");
        begin = end + 1;
    }
}

class MalformedInput : public ::testing::TestWithParam<std::string> {};

TEST_P(MalformedInput, EveryIsReadyIsAnsweredAndNothingBreaks) {
    UciSession session(GetParam());
    int pieceNumber = 0;
    for (const Piece& piece : nastyInput()) {
        ++pieceNumber;
        const std::string label =
            "piece " + std::to_string(pieceNumber) + ": " + piece.bytes.substr(0, 60);
        session.sendRaw(piece.bytes);
        followPositionCommands(piece.bytes);
        if (piece.searches) session.send("stop");
        if (piece.asksReady) {
            ASSERT_TRUE(session.readUntil("readyok")) << label;
        }
        const auto printed = session.sync();
        ASSERT_TRUE(printed) << "no readyok after " << label;
        std::vector<std::string> answers;
        for (const std::string& line : *printed)
            if (line.rfind("bestmove ", 0) == 0) answers.push_back(line);
        ASSERT_EQ(answers.size(), piece.searches ? 1u : 0u) << label;
        if (!piece.searches) continue;
        // The move is legal in the position the program searched, or a1a1 when it had none.
        const std::string best = answers[0].substr(9, answers[0].find(' ', 9) - 9);
        Position pos = currentPosition;
        std::set<std::string> legal;
        if (currentPositionUsable)
            for (Move m : legalMoves(pos)) legal.insert(moveName(m));
        if (legal.empty())
            EXPECT_EQ(best, "a1a1") << label;
        else
            EXPECT_TRUE(legal.count(best)) << label << " answered " << best;
    }
    expectQuitsCleanly(session);
}

INSTANTIATE_TEST_SUITE_P(Programs, MalformedInput, ::testing::ValuesIn(sessionPrograms(false)),
                         programTestName);

} // namespace
