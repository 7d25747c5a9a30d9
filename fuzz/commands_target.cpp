// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target: the input is everything an interface writes to the engine's standard input.
// The harness makes those bytes the process's standard input and runs the program's own
// command loop over them, so that lines are cut, dispatched and polled from inside searches
// exactly as in the programs. Three things differ, all so that every input ends, and quickly:
// - searches stop past a node cap (searchNodeCap), whatever their "go" line says, the first
//   iteration included (firstIterationNodes);
// - the table never exceeds a small size, whatever "setoption name Hash" asks for;
// - the end of the process ("quit", or input ended while idle) goes through exitHook, which
//   longjmps back here. That is sound because every frame between this function and
//   endProcess, the search's included, is trivially destructible, as the search's own abort
//   already requires.
// "go infinite" and "go ponder" end as well: once the input is used up, the console reports its
// end, which stops a search that waits for "stop" and releases the ponder wait.
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include "search/timeman.h"
#include "search/tt.h"
#include "uci/console.h"
#include "uci/engine.h"
#include "uci/setup.h"
#include "uci/uci.h"

using namespace zekora;

namespace {

// Enough for a few iterations and for searches cut off in the middle, cheap under the
// sanitizers.
constexpr uint64_t NodeCap = 3000;
constexpr int32_t TableMegabytes = 1;
constexpr int StandardInput = 0;
constexpr int StandardOutput = 1;

int inputFile = -1;
std::jmp_buf harnessReturn;

[[noreturn]] void returnToHarness(int) { std::longjmp(harnessReturn, 1); }

// The input becomes the whole content of standard input: an in-memory file behind descriptor
// 0, read from its start, whose end is the end of input.
bool feedAsStandardInput(const uint8_t* data, size_t size) {
    if (ftruncate(inputFile, 0) != 0) return false;
    size_t written = 0;
    while (written < size) {
        const ssize_t count = pwrite(inputFile, data + written, size - written, off_t(written));
        if (count <= 0) return false;
        written += size_t(count);
    }
    if (lseek(StandardInput, 0, SEEK_SET) != 0) return false;
    restartInput();
    return true;
}

// Every input meets the engine as a freshly started program would: default options, an
// empty table, no position.
void resetEngine() {
    hashMegabytes = DefaultHashMegabytes;
    trafficLimit = TrafficNormal;
    trafficDepthHalfPlies = 20;
    clearTable();
    std::memset(&currentPosition, 0, sizeof currentPosition);
    currentPositionUsable = false;
    searchRunning = false;
    limits = SearchLimits{};
    searchGeneration = 0;
}

// The programs' main loop.
[[noreturn]] void runCommandLoop() {
    for (;;) {
        waitForInput();
        pollCommand();
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    searchNodeCap = NodeCap;
    firstIterationNodes = NodeCap;
    tableMegabytesCap = TableMegabytes;
    initConsole();
    initEngine();
    // The engine's answers go nowhere; libFuzzer reports on standard error.
    const int devNull = open("/dev/null", O_WRONLY);
    dup2(devNull, StandardOutput);
    close(devNull);
    inputFile = memfd_create("zekora-fuzz-input", 0);
    if (inputFile < 0 || dup2(inputFile, StandardInput) < 0) {
        std::perror("zekora fuzz: standard input");
        std::abort();
    }
    exitHook = returnToHarness;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!feedAsStandardInput(data, size)) return 0;
    resetEngine();
    if (setjmp(harnessReturn) == 0) runCommandLoop();
    // A "quit" from inside a search leaves without passing the search's own end.
    searchRunning = false;
    return 0;
}
