// SPDX-License-Identifier: GPL-3.0-or-later
// The real programs over pipes: identification, command matching, line handling, the end of
// input, and an idle engine that sleeps.
#include <algorithm>
#include <chrono>
#include <thread>

#include "support/uci_session.h"

using namespace zekora::test;
using namespace std::chrono_literals;

namespace {

// The build tag each program must print: "A" for ARM, word size, then "o" for the processor's
// population count or "n" for counting in software.
std::string expectedTag(const std::string& program) {
    const std::string name = programName(program);
    if (name.ends_with(".js")) return "SPWo"; // WebAssembly, with its population count
    if (name == "zekora-arm64") return "SPA64o";
    if (name == "zekora-armv7") return "SPA32n";
    std::string bits = name.find("32") != std::string::npos ? "SP32" : "SP64";
    return bits + (name.find("-popcnt") != std::string::npos ? "o" : "n");
}

std::string idLine(const std::string& program) {
    return "id name Zeko " + expectedTag(program) + " 1.0 Beta ";
}

// The end-to-end checks run zekora64-popcnt and the Windows, ARM and web programs; every
// program must leave standard error untouched, whatever the test did.
class EngineSession : public ::testing::TestWithParam<std::string> {
  protected:
    void TearDown() override { EXPECT_EQ(session.errorOutput(), "") << "on standard error"; }
    UciSession session{GetParam()};
};

std::vector<std::string> engineSessionPrograms() {
    std::vector<std::string> programs = sessionPrograms();
    for (const std::string& path : armPrograms()) programs.push_back(path);
    return programs;
}

INSTANTIATE_TEST_SUITE_P(Programs, EngineSession, ::testing::ValuesIn(engineSessionPrograms()),
                         programTestName);

class EveryProgram : public ::testing::TestWithParam<std::string> {};

TEST_P(EveryProgram, IdentifiesItselfDeclaresOptionsAndQuits) {
    UciSession session(GetParam());
    session.send("uci");
    const std::vector<std::string> expected = {
        idLine(GetParam()),
        "id author the Zekora developers ",
        "option name Hash type spin default 64 min 1 max 2048 ",
        "option name Traffic Limit type combo default Normal var Ultrafast var Fast var Normal "
        "var Analyse var Ignore ",
        "option name Traffic Depth type spin default 10 min 0 max 255 ",
        "uciok",
    };
    EXPECT_EQ(session.readLines(expected.size()), expected);
    auto extra = session.sync();
    ASSERT_TRUE(extra);
    EXPECT_TRUE(extra->empty()) << "more than six lines after uci";
    expectQuitsCleanly(session);
}

INSTANTIATE_TEST_SUITE_P(Programs, EveryProgram, ::testing::ValuesIn(allPrograms()),
                         programTestName);

TEST(Programs, BothSixtyFourBitProgramsAreBuilt) {
    auto programs = builtPrograms();
    for (const char* name : {"zekora64", "zekora64-popcnt"})
        EXPECT_NE(std::find(programs.begin(), programs.end(), name), programs.end()) << name;
}

// Exact words must be the whole line; a trailing blank or extra letters make another line,
// which is ignored without an answer.
TEST_P(EngineSession, ExactCommandsIgnoreAnythingElse) {
    for (const char* line : {"uci ", " uci", "UCI", "isready ", "isreadyx", "quit ", "quitnow",
                             "stop ", "ucinewgame ", "hello", ""})
        session.send(line);
    auto printed = session.sync();
    ASSERT_TRUE(printed);
    EXPECT_TRUE(printed->empty()) << "first stray line: " << printed->front();
    EXPECT_FALSE(session.waitExit(0ms)) << "a line that is not exactly quit ended the process";
}

// Commands that change state answer nothing, idle or not.
TEST_P(EngineSession, SilentCommandsPrintNothing) {
    for (const char* line : {"ucinewgame", "stop", "ponderhit",
                             "setoption name Traffic Depth "
                             "value 7",
                             "setoption name Traffic Limit value Fast",
                             "setoptionname Traffic Depth value 1", "setoption name Nothing"})
        session.send(line);
    auto printed = session.sync();
    ASSERT_TRUE(printed);
    EXPECT_TRUE(printed->empty()) << "first stray line: " << printed->front();
}

TEST_P(EngineSession, AnswersEveryIsReadyInOrder) {
    session.sendRaw("isready\nisready\nisready\n");
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(session.expectLine("readyok"));
    session.send("uci");
    EXPECT_TRUE(session.expectLine(idLine(GetParam())));
}

// Also "\r\r\n", from a Windows program writing "\r\n" through a text-mode stream.
TEST_P(EngineSession, AcceptsCarriageReturnLineEnds) {
    session.sendRaw("isready\r\nuci\r\nisready\r\r\n");
    EXPECT_TRUE(session.expectLine("readyok"));
    EXPECT_TRUE(session.readUntil("uciok"));
    EXPECT_TRUE(session.expectLine("readyok"));
}

// As other engines do: the same answer as after "position startpos".
TEST_P(EngineSession, GoBeforeAnyPositionSearchesTheStartPosition) {
    session.send("go depth 3");
    const auto first = session.readUntil("bestmove ");
    session.send("position startpos");
    session.send("go depth 3");
    EXPECT_EQ(session.readUntil("bestmove "), first);
    ASSERT_TRUE(first);
    EXPECT_NE(*first, "bestmove a1a1 ");
}

// A line written in pieces is one command, answered only when its newline arrives.
TEST_P(EngineSession, WaitsForTheWholeLine) {
    session.sendRaw("isre");
    EXPECT_TRUE(session.silentFor(300ms));
    session.sendRaw("ady");
    EXPECT_TRUE(session.silentFor(300ms));
    session.sendRaw("\n");
    EXPECT_TRUE(session.expectLine("readyok"));
}

// An overlong line is cut: its rest, whatever it holds, never becomes a command of its own.
TEST_P(EngineSession, CutsOverlongLinesAndDropsTheirRest) {
    const std::string overlong = std::string(65535, 'x') + "isready";
    session.send(overlong);
    session.send(std::string(200000, 'y') + "quit");
    session.send("isready");
    EXPECT_TRUE(session.expectLine("readyok"));
    session.send("uci");
    EXPECT_TRUE(session.expectLine(idLine(GetParam())))
        << "the rest of an overlong line was taken as a command";
    EXPECT_FALSE(session.waitExit(0ms));
}

TEST_P(EngineSession, QuitIgnoresEverythingAfterIt) {
    session.sendRaw("quit\nisready\n");
    auto status = session.waitExit();
    ASSERT_TRUE(status);
    EXPECT_TRUE(status->cleanExit());
    EXPECT_FALSE(session.readLine(0ms)) << "a line after quit was answered";
}

TEST_P(EngineSession, EndsWithinASecondWhenInputCloses) {
    ASSERT_TRUE(session.sync());
    session.closeInput();
    auto status = session.waitExit(1000ms);
    ASSERT_TRUE(status) << "still running a second after its input closed";
    EXPECT_TRUE(status->cleanExit());
}

// A last line without its newline still counts, and is answered once.
TEST_P(EngineSession, AnswersAnUnterminatedLastLine) {
    session.sendRaw("isready\nisready");
    session.closeInput();
    auto status = session.waitExit();
    ASSERT_TRUE(status);
    EXPECT_TRUE(status->cleanExit());
    EXPECT_EQ(session.readLines(3, 1s), std::vector<std::string>({"readyok", "readyok"}));
}

// A scripted session may close its input right after "go": a search with limits of its own
// still gives its answer while its output is read (the engine keeps asking whether it is),
// and the process ends after it.
TEST_P(EngineSession, ScriptedSearchAnswersAfterInputEnds) {
    for (const char* go :
         {"go depth 6", "go movetime 400", "go wtime 3000 btime 3000", "go nodes 300000"}) {
        UciSession scripted(GetParam());
        scripted.sendRaw(std::string("position startpos\n") + go + "\n");
        scripted.closeInput();
        EXPECT_TRUE(scripted.readUntil("bestmove ")) << go;
        auto status = scripted.waitExit();
        ASSERT_TRUE(status) << go;
        EXPECT_TRUE(status->cleanExit()) << go;
        EXPECT_EQ(scripted.errorOutput(), "") << go;
    }
}

// Only "stop" could end an infinite search; with input gone it ends, answers, and the
// process ends.
TEST_P(EngineSession, EndOfInputStopsAnInfiniteSearch) {
    session.send("position startpos");
    session.send("go infinite");
    ASSERT_TRUE(session.readUntil("info depth 2 "));
    session.closeInput();
    EXPECT_TRUE(session.readUntil("bestmove "));
    auto status = session.waitExit();
    ASSERT_TRUE(status);
    EXPECT_TRUE(status->cleanExit());
}

// An interface that crashes or gives up closes both pipes: the engine must not search on for
// nobody, even in an iteration that prints nothing for minutes (here: no lines at all).
// Where nothing can tell the engine that its output has no reader any more (Wine's relay of
// this system's pipes, Node), its next write does: there lines come from every iteration.
TEST_P(EngineSession, EndsSoonWhenTheInterfaceGoesDuringALongSearch) {
    const bool silent =
        session.launch() != Launch::Wine && !programName(GetParam()).ends_with(".js");
    session.send(silent ? "setoption name Traffic Limit value Ultrafast"
                        : "setoption name Traffic Depth value 1");
    session.send("position startpos");
    session.send("go depth 40");
    ASSERT_TRUE(session.sync());
    std::this_thread::sleep_for(300ms);
    const auto status = session.interfaceGone(2000ms);
    ASSERT_TRUE(status) << "still searching 2 s after its interface went";
    EXPECT_TRUE(status->exited);
    EXPECT_EQ(status->code, 1) << "the exit status for a lost reader";
}

// A killed engine leaves nothing behind that keeps its pipes open: the interface sees its
// output end at once.
TEST_P(EngineSession, AKilledEngineEndsItsOutput) {
    session.send("position startpos");
    session.send("go infinite");
    ASSERT_TRUE(session.sync());
    session.killProgram();
    const auto start = std::chrono::steady_clock::now();
    while (session.readLine(2000ms)) {
    }
    const auto status = session.waitExit(2000ms);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2000ms);
    ASSERT_TRUE(status);
    EXPECT_FALSE(status->cleanExit());
}

// A ponder search that ends by itself (here: mate found at once) holds its answer back until
// ponderhit, and meanwhile answers isready; other lines are dropped.
TEST_P(EngineSession, PonderWaitAnswersIsReady) {
    session.send("position fen 6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1");
    session.send("go ponder");
    session.send("uci");
    auto before = session.sync();
    ASSERT_TRUE(before);
    for (const std::string& line : *before) {
        EXPECT_EQ(line.rfind("bestmove", 0), std::string::npos) << "answer not held back";
        EXPECT_EQ(line.rfind("id ", 0), std::string::npos) << "uci answered while pondering";
    }
    session.send("ponderhit");
    EXPECT_EQ(session.readUntil("bestmove"), "bestmove a1a8 ");
    ASSERT_TRUE(session.sync());
}

// Typed on a terminal rather than piped (on Windows: a console window, as after a
// double-click): whole typed lines are commands, and half a line typed meanwhile never holds
// a search up.
class TypedCommands : public ::testing::TestWithParam<std::string> {};

TEST_P(TypedCommands, AreReadLineByLineWithoutBlockingASearch) {
    UciSession typed(GetParam(), Input::Terminal);
    // Wine sets its console up a moment after the start and drops what was typed before.
    std::optional<std::string> ready;
    for (int tries = 0; tries < 30 && !ready; ++tries) {
        typed.send("isready");
        ready = typed.readUntil("readyok", 1000ms);
    }
    ASSERT_TRUE(ready) << "typed commands are not answered";
    typed.send("uci");
    ASSERT_TRUE(typed.readUntil("uciok"));
    const auto& seen = typed.transcript();
    EXPECT_NE(std::find(seen.begin(), seen.end(), idLine(GetParam())), seen.end());

    typed.send("position startpos");
    typed.sendRaw("go depth 10\risre");
    EXPECT_TRUE(typed.readUntil("bestmove ")) << "the search waited for a whole line";
    typed.send("ady");
    EXPECT_TRUE(typed.readUntil("readyok"));
    expectQuitsCleanly(typed);
}

INSTANTIATE_TEST_SUITE_P(Programs, TypedCommands, ::testing::ValuesIn(sessionPrograms(false)),
                         programTestName);

// Waiting for input, with or without half a line already read, must not keep a processor busy.
TEST_P(EngineSession, SleepsWhileIdle) {
    ASSERT_TRUE(session.sync());
    for (const char* partial : {"", "isre"}) {
        session.sendRaw(partial);
        double before = session.cpuSeconds();
        auto start = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(1s);
        double wall =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        double used = session.cpuSeconds() - before;
        EXPECT_LT(used, 0.05 * wall)
            << "idle engine used " << used << " s of processor time in " << wall << " s";
    }
    session.sendRaw("ady\n");
    EXPECT_TRUE(session.expectLine("readyok"));
}

} // namespace
