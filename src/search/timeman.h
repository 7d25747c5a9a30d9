// SPDX-License-Identifier: GPL-3.0-or-later
// Search limits of the current "go", the time budget, the search clock and the time check.
#pragma once

#include <csetjmp>
#include <cstdint>

namespace zekora {

struct SearchLimits {
    int32_t ponder;
    int32_t infinite;
    int64_t whiteTime;
    int64_t blackTime;
    int64_t whiteIncrement;
    int64_t blackIncrement;
    uint16_t movesToGo;
    uint16_t depth;
    uint64_t nodeLimit;
    int64_t moveTime;
    int16_t mate;
    int32_t stopRequested;
    int32_t ponderhitReceived;
};

extern SearchLimits limits;

// What ends the search, one of these; the time check tests bits, so ponder searches are clock
// searches whose clock rules are switched off while pondering.
constexpr int32_t ModeDepth = 1;
constexpr int32_t ModeInfinite = 2;
constexpr int32_t ModeMate = 4;
constexpr int32_t ModeNodes = 8;
constexpr int32_t ModePonder = 0x50;
constexpr int32_t ModeMoveTime = 0x20;
constexpr int32_t ModeClock = 0x40;

extern int32_t limitMode;

// The time budget of a clock search.
extern int32_t lowTime; // little time and no increment: the target may end an iteration early
extern int32_t hardLimitMs;
extern int32_t targetMs;
extern double timeFactor; // set by the driver after each iteration

// Nodes searched since "go"; the tree search calls timeCheck whenever the count, just raised,
// is a multiple of TimeCheckInterval.
extern uint64_t nodeCount;
constexpr uint64_t TimeCheckInterval = 1024;

// Incremented by every "go"; the age of transposition table entries.
extern uint8_t searchGeneration;

// Depth of the current iteration in half plies (2, 4, 6, ...).
extern int32_t iterationDepth;
// Whether the target and movetime limits may end the search at the next check.
extern int32_t softStopArmed;

// Wall clock in seconds, origin at system start, millisecond resolution.
struct SearchClock {
    double wallStart;
    double wallNow;     // at the last reading
    double wallElapsed; // wallNow - wallStart
};
extern SearchClock searchClock;

double readWallClock();
// Reads the clock into wallNow and wallElapsed.
void updateClock();
void startClock();

// Called by "go" after its parameters are parsed: limit mode, time budget, counters, generation.
// The budget is taken from the clock of the side to move.
void prepareSearch(int sideToMove);
void allocateTime(int sideToMove);

// Ends the search by a jump to the driver's abort point when a limit is reached or "stop" has
// arrived; otherwise polls one command line and returns. Leaves the first iteration alone for
// its first firstIterationNodes nodes.
void timeCheck();
// The first iteration finishes so that a result exists, unless it takes more nodes than this:
// only where many queens stand can it explode, to minutes in which not even "isready" would be
// answered. Past it, limits and commands apply as later on, and a cut first iteration answers
// with the first root move. Lowered by the fuzzing harness along with its node cap.
extern uint64_t firstIterationNodes;
// Off for searches that are not driven by the interface (bench): the time check then reads no
// commands.
extern bool inputPolling;
// 0 in the programs. The fuzzing harness sets it so that every search it starts ends, whatever
// its "go" line says: the time check treats more nodes than this as a stop.
extern uint64_t searchNodeCap;
// The stop rules of the time check on the clock as last read; true means the search must end.
bool searchLimitReached();

// The driver's abort point, set with setjmp by runSearch. The jump crosses every frame of the
// tree search without running destructors, so only trivially destructible objects may live in
// the frames between runSearch and the time check.
extern std::jmp_buf abortPoint;
[[noreturn]] void abandonSearch();

} // namespace zekora
