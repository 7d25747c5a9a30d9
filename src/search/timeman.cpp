// SPDX-License-Identifier: GPL-3.0-or-later
#include "search/timeman.h"

#include <algorithm>
#include <cstdint>

#include "board/types.h"
#include "platform/os.h"
#include "uci/console.h"

namespace zekora {

SearchLimits limits;
int32_t limitMode;
int32_t lowTime;
int32_t hardLimitMs;
int32_t targetMs;
double timeFactor = 1.0;
uint64_t nodeCount;
uint8_t searchGeneration;
int32_t iterationDepth;
int32_t softStopArmed;
SearchClock searchClock;
bool inputPolling = true;
uint64_t searchNodeCap = 0;
uint64_t firstIterationNodes = 1 << 20;
std::jmp_buf abortPoint;

namespace {

constexpr int DefaultMovesToGo = 35;
constexpr double BudgetShare = 0.9;     // of clock and increment, spread over the moves to go
constexpr double HardLimitShare = 0.25; // of the clock, before the iteration factor
constexpr double MaxClockShare = 0.5;   // no move may take more than this share of the clock
// Kept back from the clock for what the engine cannot see: reading the command, writing the
// answer, and the interface's own delay.
constexpr double MoveOverheadMs = 10;
constexpr int64_t LowTimeMs = 1000;
// Iterations end at 255 plies: the search stack has one entry per ply.
constexpr int DeepestIteration = MaxPly;

// The most one move may use: half of the side to move's clock, less the overhead.
double clockCapMs;

int32_t chooseLimitMode() {
    if (limits.depth) return ModeDepth;
    if (limits.infinite) return ModeInfinite;
    if (limits.mate) return ModeMate;
    if (limits.nodeLimit) return ModeNodes;
    if (limits.ponder) return ModePonder;
    if (limits.moveTime) return ModeMoveTime;
    return ModeClock;
}

bool exceeded(double limitMs) { return searchClock.wallElapsed > limitMs / 1000.0; }

// Milliseconds as the int32 budget fields hold them: truncated, and saturated rather than
// overflowing for a clock that no game has.
int32_t budgetMs(double ms) {
    return int32_t(std::clamp(ms, double(INT32_MIN), double(INT32_MAX)));
}

} // namespace

// The limit rules in order; the first that applies decides.
bool searchLimitReached() {
    if (iterationDepth / 2 == DeepestIteration) return true;
    if (searchNodeCap && nodeCount > searchNodeCap) return true;
    if (limitMode & ModeInfinite) return false;
    if ((limitMode & ModeDepth) && iterationDepth > 2 * int(limits.depth)) return true;
    if ((limitMode & ModeNodes) && nodeCount > limits.nodeLimit) return true;
    // A mate in N needs at most 2N plies: search like "go depth 2N". The driver ends the
    // search earlier as soon as it finds a mate.
    if ((limitMode & ModeMate) && iterationDepth > 4 * int(limits.mate)) return true;
    if (limits.ponderhitReceived) return true;
    if (!limits.ponder && (limitMode & ModeClock) &&
        exceeded(std::min(hardLimitMs * timeFactor, clockCapMs)))
        return true;
    if (limitMode & ModeMoveTime) {
        // The factor may end a movetime search early but never stretch it past movetime,
        // less the overhead the interface also counts.
        const double moveTimeMs = std::max(double(limits.moveTime) - MoveOverheadMs, 0.0);
        if (exceeded(moveTimeMs)) return true;
        if (exceeded(moveTimeMs * std::min(timeFactor, 1.0))) return softStopArmed != 0;
    }
    if (!limits.ponder && (limitMode & ModeClock) && exceeded(targetMs * timeFactor) &&
        softStopArmed)
        return true;
    return false;
}

double readWallClock() { return double(os::tickMilliseconds()) / 1000.0; }

void updateClock() {
    searchClock.wallNow = readWallClock();
    searchClock.wallElapsed = searchClock.wallNow - searchClock.wallStart;
}

void startClock() {
    searchClock.wallStart = searchClock.wallNow = readWallClock();
    searchClock.wallElapsed = 0;
}

void allocateTime(int sideToMove) {
    const double t = double(sideToMove == White ? limits.whiteTime : limits.blackTime);
    const double i = double(sideToMove == White ? limits.whiteIncrement : limits.blackIncrement);
    const double m = limits.movesToGo ? limits.movesToGo : DefaultMovesToGo;
    lowTime = (t <= LowTimeMs && i == 0) ? 1 : 0;
    hardLimitMs = budgetMs(t * HardLimitShare);
    timeFactor = 1.0;
    // The increment is spread over the moves to go like the clock time, not added whole.
    targetMs = budgetMs(double(budgetMs(i * BudgetShare / m)) + budgetMs(t * BudgetShare / m));
    clockCapMs = std::max(t - MoveOverheadMs, 0.0) * MaxClockShare;
}

void prepareSearch(int sideToMove) {
    limitMode = chooseLimitMode();
    allocateTime(sideToMove);
    nodeCount = 0;
    iterationDepth = 0;
    ++searchGeneration; // wraps at 256
}

void timeCheck() {
    updateClock();
    if (iterationDepth <= 2 && nodeCount <= firstIterationNodes) return;
    const bool stop = searchLimitReached();
    if (!stop && inputPolling) pollCommand();
    if (stop || limits.stopRequested) abandonSearch();
}

[[noreturn]] void abandonSearch() { std::longjmp(abortPoint, 1); }

} // namespace zekora
