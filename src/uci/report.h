// SPDX-License-Identifier: GPL-3.0-or-later
// What the engine says about a search: currmove, statistics and principal-variation info
// lines under the traffic options, and the bestmove line.
#pragma once

#include "board/types.h"
#include "search/search.h"

namespace zekora {

// Kinds of report the driver asks about.
constexpr int ReportIterationEnd = 0;
constexpr int ReportNewBest = 1;
constexpr int ReportCurrmove = 2;

// Wall clock (seconds) when the last currmove / statistics line was printed; kept for the
// life of the process.
extern double lastCurrmoveTime;
extern double lastStatsTime;

// depth in half plies.
bool trafficAllows(int depth, int kind);

void printScore(int score);
void printCurrmove(Move move, int number);
void printStats(bool force);
// depth in plies.
void printPvLine(int score, int depth, int selDepth, const PrincipalVariation& pv);
void printPvMoves(const PrincipalVariation& pv);
// Holds the answer of a pondering search until the interface releases it.
void reportBestMove(Move move, const PrincipalVariation& pv);

// The reports the driver makes at the root; depth in half plies, number 1-based.
void reportRootMove(Move move, int number, int depth);
void reportNewBestMove(Move move, int number, int score, int depth, const PrincipalVariation& pv);
void reportIterationEnd(int score, int depth, const PrincipalVariation& pv);

} // namespace zekora
