// SPDX-License-Identifier: GPL-3.0-or-later
// The search driver: one "go" from the root move list through iterative deepening to the
// bestmove line.
#pragma once

#include "board/position.h"
#include "movegen/movelist.h"
#include "search/search.h"

namespace zekora {

// What the last finished iteration found; the only result ever reported.
struct SearchResult {
    Move bestMove;
    int32_t score;
    int32_t depth; // plies
    int32_t selDepth;
    PrincipalVariation pv;
    bool scored; // false when the search was cut before any root move was finished
};

extern SearchResult searchResult;

// Searches the current position under the limits prepared by prepareSearch and prints the
// final info line and bestmove. Commands arriving meanwhile run from the time check.
void runSearch();

// Iterative deepening on a private copy of pos until a limit, "stop" or a found mate ends it;
// leaves the last finished iteration in searchResult and prints no final report.
void searchPosition(const Position& pos);

// The legal moves, hash move first, then captures and quiet moves in generator order. Clears
// the history table and the killers for the new search.
void buildRootMoves(Position& pos, MoveList& list);

// One iteration over every root move with the full window; depth in half plies.
int searchRoot(Position& pos, MoveList& list, int depth);

// Puts the move first, the others after it in their present order; rewinds the list.
void moveToFront(MoveList& list, Move move);

// Stores each move of the principal variation from index on as the hash move of its position.
void seedPrincipalVariation(Position& pos, const PrincipalVariation& pv, int index, Move move);

} // namespace zekora
