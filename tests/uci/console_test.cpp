// SPDX-License-Identifier: GPL-3.0-or-later
// The command reader inside the process: standard input and output are swapped for pipes,
// so the tests play the interface.
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <string>
#include <unistd.h>

#include <gtest/gtest.h>

#include "search/timeman.h"
#include "uci/console.h"
#include "uci/uci.h"

using namespace zekora;

namespace {

class Console : public ::testing::Test {
  protected:
    void SetUp() override {
        limits = SearchLimits{};
        searchRunning = false;
        savedInput = dup(0);
        reopenInput();
    }
    void TearDown() override {
        // Every test leaves no input behind for the next one.
        EXPECT_FALSE(inputAvailable()) << "unread input left";
        dup2(savedInput, 0);
        close(savedInput);
        if (toEngine >= 0) close(toEngine);
        limits = SearchLimits{};
    }

    // A fresh pipe on standard input.
    void reopenInput() {
        int ends[2];
        ASSERT_EQ(pipe(ends), 0);
        dup2(ends[0], 0);
        close(ends[0]);
        if (toEngine >= 0) close(toEngine);
        toEngine = ends[1];
    }
    void type(const std::string& text) {
        ASSERT_EQ(write(toEngine, text.data(), text.size()), ssize_t(text.size()));
    }
    void closeInput() {
        close(toEngine);
        toEngine = -1;
    }

    // What the engine wrote to standard output while running the action.
    static std::string output(const std::function<void()>& action) {
        std::fflush(stdout);
        int ends[2];
        if (pipe(ends)) return "pipe failed";
        int savedOutput = dup(1);
        dup2(ends[1], 1);
        close(ends[1]);
        action();
        std::fflush(stdout);
        dup2(savedOutput, 1);
        close(savedOutput);
        fcntl(ends[0], F_SETFL, O_NONBLOCK);
        std::string text;
        char buffer[1024];
        for (ssize_t n; (n = read(ends[0], buffer, sizeof buffer)) > 0;) text.append(buffer, n);
        close(ends[0]);
        return text;
    }

    int savedInput = -1;
    int toEngine = -1;
};

TEST_F(Console, PollNeverBlocksAndWaitsForWholeLines) {
    EXPECT_FALSE(inputAvailable());
    EXPECT_EQ(output(pollCommand), "");
    type("isre");
    EXPECT_FALSE(inputAvailable());
    EXPECT_EQ(output(pollCommand), "");
    type("ady\n");
    EXPECT_TRUE(inputAvailable());
    EXPECT_EQ(output(pollCommand), "readyok\n");
}

// Input already read from the descriptor must not be missed by the next poll, which sees an
// empty pipe: both lines of one write are executed, one per poll.
TEST_F(Console, SeveralLinesInOneRead) {
    type("isready\nisready\n");
    EXPECT_EQ(output(pollCommand), "readyok\n");
    EXPECT_TRUE(inputAvailable());
    EXPECT_EQ(output(pollCommand), "readyok\n");
    EXPECT_EQ(output(pollCommand), "");
}

TEST_F(Console, NoPonderWaitOutsidePondering) {
    type("isready\n");
    // Not pondering; pondering but infinite; pondering but already stopped or released.
    const int32_t cases[][4] = {{0, 0, 0, 0}, {1, 1, 0, 0}, {1, 0, 1, 0}, {1, 0, 0, 1}};
    for (auto [ponder, infinite, stop, hit] : cases) {
        limits.ponder = ponder;
        limits.infinite = infinite;
        limits.stopRequested = stop;
        limits.ponderhitReceived = hit;
        EXPECT_EQ(output(waitForPonderEnd), "");
    }
    EXPECT_EQ(output(pollCommand), "readyok\n");
}

// While the answer is held back, isready is answered at once, other lines are dropped, and
// only an exact ponderhit or stop releases it.
TEST_F(Console, PonderWaitAnswersIsReady) {
    limits.ponder = 1;
    type("isready\nuci\nponderhit \ngo depth 3\nisready\nponderhit\n");
    EXPECT_EQ(output(waitForPonderEnd), "readyok\nreadyok\n");
    EXPECT_EQ(limits.depth, 0) << "a go line was executed during the wait";
    type("stop\nisready\n");
    EXPECT_EQ(output(waitForPonderEnd), "");
    EXPECT_EQ(output(pollCommand), "readyok\n");
}

TEST_F(Console, QuitDuringThePonderWaitEndsTheProcess) {
    limits.ponder = 1;
    type("quit\n");
    EXPECT_EXIT(waitForPonderEnd(), ::testing::ExitedWithCode(0), "");
    // The line was taken by the child process; nothing is left here.
    EXPECT_FALSE(inputAvailable());
}

TEST_F(Console, EndOfInputWhileIdleEndsTheProcess) {
    closeInput();
    EXPECT_EXIT(
        {
            waitForInput();
            pollCommand();
            std::exit(3);
        },
        ::testing::ExitedWithCode(0), "");
    // Only the child saw the end; this process gets a fresh input for the checks that follow.
    reopenInput();
}

// With input gone a search that only stop could end is stopped, one with limits of its own
// runs on; the process ends only once the engine is idle again.
TEST_F(Console, EndOfInputDuringASearch) {
    closeInput();
    EXPECT_EXIT(
        {
            searchRunning = true;
            limits.depth = 5;
            pollCommand();
            bool finiteGoesOn = !limits.stopRequested;
            limits.infinite = 1;
            pollCommand();
            bool infiniteStopped = limits.stopRequested;
            searchRunning = false;
            if (finiteGoesOn && infiniteStopped) pollCommand();
            std::exit(3);
        },
        ::testing::ExitedWithCode(0), "");
    reopenInput();
}

} // namespace
