// SPDX-License-Identifier: GPL-3.0-or-later
// Games of thousands of moves through the real programs: the fifty-move count past 255, a key
// history longer than its table, repetitions that reach back into the game, and every time a
// legal answer with nothing on standard error.
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "movegen/legal_oracle.h"
#include "support/uci_session.h"

using namespace zekora;
using namespace zekora::test;

namespace {

// Generous: the sanitizer builds and the emulated 32-bit programs are many times slower.
constexpr Millis SearchTimeout{120000};

// A position command whose move list goes round the cycle for `plies` moves, then plays `tail`.
std::string game(const std::string& start, const std::vector<std::string>& cycle, int plies,
                 const std::string& tail = "") {
    std::string line = "position " + start + " moves";
    for (int i = 0; i < plies; ++i) line += " " + cycle[size_t(i) % cycle.size()];
    return line + tail;
}

std::set<std::string> legalMovesAfter(const std::string& positionCommand) {
    initEngineOnce();
    setupPosition(positionCommand.c_str());
    Position pos = currentPosition;
    std::set<std::string> names;
    for (Move m : legalMoves(pos)) names.insert(moveName(m));
    return names;
}

// The word after `key` in a line, or "" when there is none.
std::string wordAfter(const std::string& line, const std::string& key) {
    std::istringstream in(line);
    for (std::string word; in >> word;)
        if (word == key && in >> word) return word;
    return "";
}

struct Answer {
    bool finished = false;
    std::string best;
    std::string score; // "cp 12" or "mate 3", from the line before bestmove
    std::string nodes;
};

Answer search(UciSession& program, const std::string& position, const std::string& go) {
    program.send(position);
    program.send(go);
    Answer answer;
    std::string last;
    while (auto line = program.readLine(SearchTimeout)) {
        if (line->rfind("bestmove ", 0) == 0) {
            answer.finished = true;
            answer.best = wordAfter(*line, "bestmove");
            break;
        }
        last = *line;
    }
    const std::string kind = wordAfter(last, "score");
    answer.score = kind + " " + wordAfter(last, kind);
    answer.nodes = wordAfter(last, "nodes");
    return answer;
}

// Centipawns, with mates as far beyond every material score.
int scoreValue(const Answer& answer) {
    constexpr int MateScore = 100000;
    const std::string mate = wordAfter(answer.score, "mate");
    if (!mate.empty()) return std::stoi(mate) > 0 ? MateScore : -MateScore;
    const std::string cp = wordAfter(answer.score, "cp");
    return cp.empty() ? 0 : std::stoi(cp);
}

class LongGame : public ::testing::Test {
  protected:
    void TearDown() override { EXPECT_EQ(session.errorOutput(), "") << "on standard error"; }
    UciSession session;
};

// White has a queen more, but the game's fifty-move count has long passed 100: every reply
// is a draw, and so the position is. Had the count wrapped at 256 (2056 plies leave 8), the
// queen's new squares would win.
TEST_F(LongGame, FiftyMoveCountPastTwoHundredFiftyFiveDrawsEveryContinuation) {
    const std::string start = "fen 7k/8/8/8/8/8/8/K2Q4 w - - 0 1";
    const std::string line = game(start, {"d1d2", "h8g8", "d2d1", "g8h8"}, 2056);
    const Answer drawn = search(session, line, "go depth 6");
    ASSERT_TRUE(drawn.finished);
    EXPECT_EQ(drawn.score, "cp 0");
    EXPECT_TRUE(legalMovesAfter(line).count(drawn.best)) << drawn.best;

    // Eight plies of the same shuffle, what a wrapped count would say, leave the win.
    const Answer won =
        search(session, game(start, {"d1d2", "h8g8", "d2d1", "g8h8"}, 8), "go depth 6");
    ASSERT_TRUE(won.finished);
    EXPECT_GT(scoreValue(won), 500) << won.score;
}

// After thousands of shuffles a pawn move restarts the count; four plies later Black, a queen
// down, can only save itself by going back to a position of the game. Without that history
// the same position is lost.
TEST_F(LongGame, RepetitionOfAGamePositionIsTheDefendersDraw) {
    const std::string start = "fen k7/8/8/8/8/8/7P/4Q1K1 w - - 0 1";
    const std::string line =
        game(start, {"g1h1", "a8b8", "h1g1", "b8a8"}, 3000, " h2h3 a8a7 g1h2 a7a8 h2g1");
    const Answer saved = search(session, line, "go depth 6");
    ASSERT_TRUE(saved.finished);
    EXPECT_EQ(saved.best, "a8a7");
    EXPECT_EQ(saved.score, "cp 0");

    const Answer lost =
        search(session, "position fen k7/8/8/8/8/7P/8/4Q1K1 b - - 4 3", "go depth 6");
    ASSERT_TRUE(lost.finished);
    EXPECT_LT(scoreValue(lost), -500) << lost.score;
}

// Knight shuffles from the start position for 3000 plies: every build answers with the same
// legal move after the same search, and no worse than a draw, since every knight move is one.
TEST(LongGames, KnightShufflesSearchAlikeInEveryBuild) {
    const std::string line = game("startpos", {"g1f3", "g8f6", "f3g1", "f6g8"}, 3000);
    const auto legal = legalMovesAfter(line);
    std::string reference;
    for (const std::string& program : builtPrograms()) {
        UciSession session(program);
        const Answer answer = search(session, line, "go depth 5");
        ASSERT_TRUE(answer.finished) << program;
        EXPECT_TRUE(legal.count(answer.best)) << program << ": " << answer.best;
        EXPECT_GE(scoreValue(answer), 0) << program << ": " << answer.score;
        const std::string summary = answer.best + " " + answer.score + " " + answer.nodes;
        if (reference.empty()) reference = summary;
        EXPECT_EQ(summary, reference) << program;
        EXPECT_EQ(session.errorOutput(), "") << program;
    }
}

} // namespace
