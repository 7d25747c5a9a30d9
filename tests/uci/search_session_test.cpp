// SPDX-License-Identifier: GPL-3.0-or-later
// Searches driven end to end through the real programs: every kind of "go", commands that
// arrive while a search runs, the volume of info lines, mates, and identical searches in
// every build.
#include <algorithm>
#include <cctype>
#include <chrono>
#include <set>
#include <sstream>
#include <thread>

#include "board/attacks.h"
#include "board/makemove.h"
#include "movegen/movelist.h"
#include "support/uci_session.h"
#include "uci/engine.h"
#include "uci/setup.h"

using namespace zekora;
using namespace zekora::test;
using namespace std::chrono_literals;

namespace {

// Generous: the sanitizer builds search many times slower.
constexpr Millis SearchTimeout{120000};

const std::string Kiwipete =
    "position fen r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1";
const std::string RookEnding = "position fen 8/3k4/8/3PK3/8/8/r7/5R2 w - - 0 1";
const std::string Opening = "position startpos moves e2e4 c7c5 g1f3 d7d6";
// Mate in two, only by 1. Nf6+ gxf6 2. Bxf7.
const std::string MateInTwo =
    "position fen r2qkb1r/pp2nppp/3p4/2pNN1B1/2BnP3/3P4/PPP2PPP/R2bK2R w KQkq - 1 1";
const std::string MateInTwoMove = "d5f6";
// Mate in three, only by 1. Ra6.
const std::string MateInThree = "position fen r5rk/5p1p/5R2/4B3/8/8/7P/7K w - - 0 1";
const std::string MateInThreeMove = "f6a6";
const std::string MateInOne = "position fen 6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1";
const std::string Checkmated =
    "position fen rnb1kbnr/pppp1ppp/8/4p3/6Pq/5P2/PPPPP2P/RNBQKBNR w KQkq - 1 3";
const std::string Stalemate = "position fen 7k/5Q2/6K1/8/8/8/8/8 b - - 0 1";

// The legal moves of a position, found with the library: every generated move that does not
// leave the mover's king attacked.
std::set<std::string> legalMoves(const std::string& positionCommand) {
    static bool tablesBuilt = false;
    if (!tablesBuilt) initEngine();
    tablesBuilt = true;
    setupPosition(positionCommand.c_str());
    Position pos = currentPosition;
    SearchStackEntry entries[2] = {};
    pos.stackEntry = entries;
    const int us = int(pos.sideToMove);
    MoveList list;
    list.clear();
    CaptureGenerators[us](pos, list, ~Bitboard(0));
    QuietGenerators[us](pos, list, ~Bitboard(0));
    std::set<std::string> legal;
    for (int i = 0; i < list.count; ++i) {
        UndoRecord undo;
        makeMove(pos, undo, list.moves[i]);
        if (!isSquareAttacked(pos, pos.kingSquare[us], opponent(us)))
            legal.insert(moveToText(list.moves[i]));
        unmakeMove(pos, undo, list.moves[i]);
    }
    return legal;
}

std::vector<std::string> words(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> result;
    for (std::string w; in >> w;) result.push_back(w);
    return result;
}

// The word after `key` in an info line, or "" when there is none.
std::string field(const std::string& line, const std::string& key) {
    auto w = words(line);
    for (size_t i = 0; i + 1 < w.size(); ++i)
        if (w[i] == key) return w[i + 1];
    return "";
}

std::vector<std::string> pvOf(const std::string& line) {
    auto w = words(line);
    auto at = std::find(w.begin(), w.end(), "pv");
    return at == w.end() ? std::vector<std::string>{} : std::vector<std::string>(at + 1, w.end());
}

bool startsWith(const std::string& line, const std::string& prefix) {
    return line.compare(0, prefix.size(), prefix) == 0;
}

// One search: every line it printed up to and including bestmove.
struct Search {
    std::vector<std::string> lines;
    std::string bestLine;
    std::string best;
    std::string ponder;
    bool finished = false;

    std::vector<std::string> starting(const std::string& prefix) const {
        std::vector<std::string> result;
        for (const auto& l : lines)
            if (startsWith(l, prefix)) result.push_back(l);
        return result;
    }
    // The principal-variation line printed right before bestmove.
    std::string finalInfo() const {
        return lines.size() >= 2 ? lines[lines.size() - 2] : std::string();
    }
};

Search collect(UciSession& session, Millis timeout = SearchTimeout) {
    Search search;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (auto line = session.readLine(
               std::chrono::duration_cast<Millis>(deadline - std::chrono::steady_clock::now()))) {
        search.lines.push_back(*line);
        if (startsWith(*line, "bestmove")) {
            search.finished = true;
            search.bestLine = *line;
            auto w = words(*line);
            search.best = w.size() > 1 ? w[1] : "";
            search.ponder = w.size() > 3 && w[2] == "ponder" ? w[3] : "";
            break;
        }
    }
    return search;
}

Search go(UciSession& session, const std::string& position, const std::string& goLine) {
    session.send(position);
    session.send(goLine);
    return collect(session);
}

// Run for zekora64-popcnt and the 64-bit Windows programs.
class SearchSession : public ::testing::TestWithParam<std::string> {
  protected:
    void TearDown() override { EXPECT_EQ(session.errorOutput(), "") << "on standard error"; }

    // bestmove names a legal move of the position, and the ponder move is the second move of
    // the final principal variation.
    void expectSoundEnd(const Search& search, const std::string& position) {
        ASSERT_TRUE(search.finished) << "no bestmove";
        EXPECT_TRUE(legalMoves(position).count(search.best)) << search.bestLine;
        const std::string info = search.finalInfo();
        ASSERT_TRUE(startsWith(info, "info depth ")) << info;
        auto pv = pvOf(info);
        ASSERT_FALSE(pv.empty()) << info;
        EXPECT_EQ(pv[0], search.best) << info;
        EXPECT_EQ(search.ponder, pv.size() >= 2 ? pv[1] : "") << search.bestLine;
    }

    UciSession session{GetParam()};
};

INSTANTIATE_TEST_SUITE_P(Programs, SearchSession, ::testing::ValuesIn(sessionPrograms()),
                         programTestName);

TEST_P(SearchSession, DepthSearchReportsEachIterationAndEndsAtItsDepth) {
    session.send("setoption name Traffic Depth value 1");
    Search search = go(session, Opening, "go depth 5");
    expectSoundEnd(search, Opening);
    std::vector<int> ends;
    for (const auto& line : search.starting("info depth "))
        ends.push_back(std::stoi(field(line, "depth")));
    ASSERT_FALSE(ends.empty());
    EXPECT_TRUE(std::is_sorted(ends.begin(), ends.end()));
    EXPECT_EQ(ends.front(), 1);
    EXPECT_EQ(ends.back(), 5);
    EXPECT_EQ(field(search.finalInfo(), "depth"), "5");

    Search shallow = go(session, Opening, "go depth 1");
    expectSoundEnd(shallow, Opening);
    EXPECT_EQ(field(shallow.finalInfo(), "depth"), "1");
}

TEST_P(SearchSession, NodeLimitStopsAtTheFirstCheckPastIt) {
    Search search = go(session, Kiwipete, "go nodes 5000");
    expectSoundEnd(search, Kiwipete);
    const long long nodes = std::stoll(field(search.finalInfo(), "nodes"));
    EXPECT_GT(nodes, 5000);
    EXPECT_LE(nodes, 5120); // the tree search checks every 1024 nodes
}

TEST_P(SearchSession, TimedSearchesEndOnTheirOwnWithALegalMove) {
    for (const char* goLine :
         {"go movetime 300", "go wtime 3000 btime 3000 winc 100 binc 100 movestogo 20",
          "go wtime 40 btime 40", "go btime 1000 wtime 1000 binc 10 winc 10"}) {
        Search search = go(session, Kiwipete, goLine);
        expectSoundEnd(search, Kiwipete);
        SCOPED_TRACE(goLine);
    }
    Search black = go(session, Opening + " b1c3", "go wtime 2000 btime 2000");
    expectSoundEnd(black, Opening + " b1c3");
}

TEST_P(SearchSession, MatesAreFoundAndReportedInMoves) {
    Search two = go(session, MateInTwo, "go mate 2");
    expectSoundEnd(two, MateInTwo);
    EXPECT_EQ(field(two.finalInfo(), "mate"), "2") << two.finalInfo();
    EXPECT_EQ(two.best, MateInTwoMove);

    Search three = go(session, MateInThree, "go depth 8");
    expectSoundEnd(three, MateInThree);
    EXPECT_EQ(field(three.finalInfo(), "mate"), "3") << three.finalInfo();
    EXPECT_EQ(three.best, MateInThreeMove);

    // "go mate 3" searches deep enough to find it, and stops once it has.
    Search byMate = go(session, MateInThree, "go mate 3");
    expectSoundEnd(byMate, MateInThree);
    EXPECT_EQ(field(byMate.finalInfo(), "mate"), "3") << byMate.finalInfo();
}

TEST_P(SearchSession, NoLegalMoveOrNoSoundPositionAnswersA1A1) {
    for (const std::string& position : {Checkmated, Stalemate}) {
        Search search = go(session, position, "go depth 3");
        ASSERT_TRUE(search.finished);
        EXPECT_EQ(search.bestLine, "bestmove a1a1 ") << position;
        const std::string score = position == Checkmated ? "score mate 0 " : "score cp 0 ";
        EXPECT_NE(search.finalInfo().find(score), std::string::npos) << search.finalInfo();
    }
    Search none = go(session, "position fen 8/8/8/8/8/8/8/8 w - - 0 1", "go infinite");
    ASSERT_TRUE(none.finished) << "an unusable position must be answered at once";
    EXPECT_EQ(none.bestLine, "bestmove a1a1 ");
    EXPECT_EQ(none.lines.size(), 1u);
}

TEST_P(SearchSession, InfiniteSearchPrintsEveryKindOfLineAndWaitsForStop) {
    session.send(Kiwipete);
    session.send("go infinite");
    auto firstDepth = session.readUntil("info depth 1 ");
    ASSERT_TRUE(firstDepth);
    const auto& seen = session.transcript();
    EXPECT_TRUE(std::any_of(seen.begin(), seen.end(), [](const std::string& l) {
        return startsWith(l, "info currmove ") && l.find("currmovenumber 1") != std::string::npos;
    }));
    EXPECT_TRUE(std::any_of(seen.begin(), seen.end(),
                            [](const std::string& l) { return startsWith(l, "info nodes "); }));
    ASSERT_TRUE(session.readUntil("info depth 4 "));
    session.send("stop");
    Search search = collect(session);
    expectSoundEnd(search, Kiwipete);

    // A mate found ends the deepening, but the answer still waits for "stop".
    session.send(MateInOne);
    session.send("go infinite");
    auto mate = session.readUntil("info depth 1 ");
    ASSERT_TRUE(mate);
    for (const auto& line : session.readLines(1000, 700ms))
        EXPECT_FALSE(startsWith(line, "bestmove")) << "answered before stop";
    session.send("stop");
    Search stopped = collect(session);
    ASSERT_TRUE(stopped.finished);
    EXPECT_EQ(stopped.best, "d1d8");
    // The final line measures the search, not the wait: counting the 700 ms wait would bring
    // the reported speed below nodes per 0.7 s.
    const double nodes = std::stod(field(stopped.finalInfo(), "nodes"));
    const double nps = std::stod(field(stopped.finalInfo(), "nps"));
    EXPECT_TRUE(nps == 0 || nodes / nps < 0.35) << stopped.finalInfo();
}

TEST_P(SearchSession, PonderSearchAnswersOnlyAfterPonderhitOrStop) {
    session.send("setoption name Traffic Limit value Ultrafast");
    session.send(Kiwipete);
    session.send("go ponder wtime 10000 btime 10000");
    EXPECT_TRUE(session.silentFor(500ms));
    session.send("ponderhit");
    expectSoundEnd(collect(session), Kiwipete);

    session.send("go ponder wtime 10000 btime 10000");
    EXPECT_TRUE(session.silentFor(300ms));
    session.send("stop");
    expectSoundEnd(collect(session), Kiwipete);

    // A ponder search that ends by itself holds its answer back.
    // Its final info line comes at once, the bestmove line only after ponderhit.
    session.send(MateInOne);
    session.send("go ponder wtime 10000 btime 10000");
    ASSERT_TRUE(session.readUntil("info depth "));
    EXPECT_TRUE(session.silentFor(500ms));
    session.send("ponderhit");
    Search search = collect(session);
    ASSERT_TRUE(search.finished);
    EXPECT_EQ(search.lines.size(), 1u);
    EXPECT_EQ(search.best, "d1d8");
}

TEST_P(SearchSession, CommandsDuringASearchAreServedWithoutDisturbingIt) {
    // The search polls its input every few milliseconds (the web program lets its host
    // deliver input every 20 ms), so answers come at once. The bound is generous because the
    // suite runs sanitizer builds and Wine side by side; a poll that stopped working would
    // never answer this infinite search.
    constexpr Millis ReactionTime{1500};
    session.send(Kiwipete);
    session.send("go infinite");
    ASSERT_TRUE(session.readUntil("info depth 2 "));
    session.send("isready");
    ASSERT_TRUE(session.readUntil("readyok", ReactionTime));
    session.send("position startpos moves e2e4"); // for the next search, not this one
    session.send("setoption name Hash value 8");
    session.send("go depth 1"); // ignored: a search is running
    session.send("isready");
    ASSERT_TRUE(session.readUntil("readyok"));
    session.send("stop");
    Search search = collect(session, ReactionTime);
    expectSoundEnd(search, Kiwipete);
    auto after = session.sync();
    ASSERT_TRUE(after);
    for (const auto& line : *after) EXPECT_FALSE(startsWith(line, "bestmove")) << line;

    session.send("go depth 3");
    expectSoundEnd(collect(session), "position startpos moves e2e4");
}

TEST_P(SearchSession, QuitDuringASearchEndsAtOnceWithoutAnswer) {
    session.send(Kiwipete);
    session.send("go infinite");
    ASSERT_TRUE(session.readUntil("info depth 3 "));
    session.send("quit");
    auto status = session.waitExit();
    ASSERT_TRUE(status);
    EXPECT_TRUE(status->cleanExit());
    for (const auto& line : session.readLines(1000, 200ms))
        EXPECT_FALSE(startsWith(line, "bestmove"));
}

TEST_P(SearchSession, NewGameKeepsTheTableAndHashClearsIt) {
    auto nodesOf = [&](const char* goLine) {
        Search s = go(session, RookEnding, goLine);
        return std::stoll(field(s.finalInfo(), "nodes"));
    };
    const long long fresh = nodesOf("go depth 12");
    session.send("ucinewgame");
    const long long again = nodesOf("go depth 12");
    EXPECT_LT(again, fresh) << "the second search found nothing in the table";
    session.send("setoption name Hash value 64");
    const long long cleared = nodesOf("go depth 12");
    EXPECT_GT(cleared, again);
}

TEST_P(SearchSession, TrafficOptionsSetTheVolumeOfInfoLines) {
    session.send("setoption name Traffic Limit value Ultrafast");
    Search ultrafast = go(session, Kiwipete, "go depth 6");
    ASSERT_TRUE(ultrafast.finished);
    EXPECT_EQ(ultrafast.lines.size(), 2u) << "one info line and bestmove";

    session.send("setoption name Traffic Limit value Normal");
    session.send("setoption name Traffic Depth value 10");
    Search belowDepth = go(session, Kiwipete, "go depth 6");
    ASSERT_TRUE(belowDepth.finished);
    EXPECT_EQ(belowDepth.lines.size(), 2u) << "only the final line below the traffic depth";

    // From the traffic depth on (10 plies: every due line is printed) each new best root move
    // gets a currmove, a statistics and a principal-variation line; never a currmove line
    // before a root move.
    Search normal = go(session, RookEnding, "go depth 11");
    ASSERT_TRUE(normal.finished);
    int newBest = 0;
    for (size_t i = 0; i < normal.lines.size(); ++i) {
        const std::string& line = normal.lines[i];
        if (startsWith(line, "info depth ")) {
            EXPECT_GE(std::stoi(field(line, "depth")), 10) << line;
        }
        if (!startsWith(line, "info currmove ")) continue;
        ++newBest;
        ASSERT_LT(i + 2, normal.lines.size());
        EXPECT_TRUE(startsWith(normal.lines[i + 1], "info nodes ")) << normal.lines[i + 1];
        EXPECT_TRUE(startsWith(normal.lines[i + 2], "info depth ")) << normal.lines[i + 2];
    }
    EXPECT_GE(newBest, 2) << "one new best move at least in each of the depths 10 and 11";
}

// The same session in every build, Linux and Windows, prints the same searches, up to the
// speed.

// The line without its " nps N" field, the one part that depends on the machine's speed.
std::string withoutSpeed(std::string line) {
    const size_t at = line.find(" nps ");
    if (at == std::string::npos) return line;
    const size_t end = line.find(' ', at + 5);
    return line.erase(at, end == std::string::npos ? std::string::npos : end - at);
}

TEST(EveryBuild, SearchesIdentically) {
    auto transcriptOf = [](const std::string& program) {
        UciSession session(program);
        session.send("setoption name Traffic Depth value 1");
        std::vector<std::string> lines;
        const std::pair<std::string, std::string> searches[] = {
            {"position startpos", "go depth 8"}, {Kiwipete, "go depth 6"},
            {RookEnding, "go depth 12"},         {Opening + " b1c3 g8f6", "go depth 7"},
            {MateInTwo, "go depth 6"},
        };
        for (const auto& [position, goLine] : searches) {
            Search s = go(session, position, goLine);
            EXPECT_TRUE(s.finished) << program << ": " << goLine;
            for (const auto& line : s.lines)
                if (!startsWith(line, "info nodes ")) // statistics lines carry the time
                    lines.push_back(withoutSpeed(line));
        }
        EXPECT_EQ(session.errorOutput(), "") << program;
        return lines;
    };
    const auto programs = allPrograms();
    ASSERT_FALSE(programs.empty());
    const auto reference = transcriptOf(programs.front());
    EXPECT_GT(reference.size(), 20u);
    for (size_t i = 1; i < programs.size(); ++i)
        EXPECT_EQ(transcriptOf(programs[i]), reference)
            << programs[i] << " differs from " << programs.front();
}

} // namespace
