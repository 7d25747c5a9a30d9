// SPDX-License-Identifier: GPL-3.0-or-later
// The tree search: score constants, the principal-variation buffer, the node functions of
// every kind and the tables through which a parent picks its child's function.
//
// Depths are in half plies (one ply = 2), scores in centipawns from the side to move's
// point of view. Every node kind exists twice, for a side to move not in check (entry 0 of
// its table) and in check (entry 1); a parent calls entry c of the child kind's table, c
// being the child's in-check flag.
//
// The search is abandoned by a longjmp from the time check back to the driver, so every
// object in a search frame must be trivially destructible (see the asserts in search.cpp).
//
// The root (ply 0) belongs to the driver, which does not record its tactical moves in
// searchStack[0].captureSquare: the children of the root never count a move as a recapture.
#pragma once

#include <cstdint>

#include "board/position.h"

namespace zekora {

constexpr int MateValue = 30000;
constexpr int MateBound = 29744; // beyond it (either sign) a score is a mate: 30000 - 256
constexpr int NoScore = -32000;  // the best score of a node before any move is searched
constexpr int DrawScore = 0;

// Bits of nodeFlags. Normal children get AllNodeFlags; the child of a null move, the
// null-move verification and the internal iterative deepening of a cut node get NoNullFlags.
constexpr int NullAllowed = 1;
constexpr int AllNodeFlags = -1;
constexpr int NoNullFlags = -2;

constexpr int MaxPvLength = 127;

// A line of moves from a node on: count, then up to 127 moves.
struct PrincipalVariation {
    uint16_t count;
    Move moves[MaxPvLength];

    void clear() { count = 0; }
    // The line becomes the move followed by as much of the child's line as fits.
    void set(Move first, const PrincipalVariation& child) {
        const int n = child.count < MaxPvLength - 1 ? child.count : MaxPvLength - 1;
        moves[0] = first;
        for (int i = 0; i < n; ++i) moves[i + 1] = child.moves[i];
        count = uint16_t(n + 1);
    }
};

// The greatest ply a main-search node has reached in this search; reset by the driver.
extern int32_t selDepth;

using PvNodeFn = int (*)(Position&, int alpha, int beta, int depth, int ply,
                         PrincipalVariation& pv);
using ZeroWindowNodeFn = int (*)(Position&, int beta, int depth, int ply, int nodeFlags);
using QuiesceNodeFn = int (*)(Position&, int beta, int depth, int ply);

extern const PvNodeFn pvNodeTable[2];
extern const ZeroWindowNodeFn cutNodeTable[2];
extern const ZeroWindowNodeFn allNodeTable[2];
extern const ZeroWindowNodeFn shallowNodeTable[2];
extern const QuiesceNodeFn quiesceNodeTable[2];
extern const PvNodeFn quiescePVNodeTable[2];

// Open window; depth 2 and more (below it: quiescence PV).
int searchPV(Position& pos, int alpha, int beta, int depth, int ply, PrincipalVariation& pv);
int searchPVInCheck(Position& pos, int alpha, int beta, int depth, int ply, PrincipalVariation& pv);

// Zero window (beta - 1, beta); cut and all nodes from depth 7, shallow nodes 2 to 6.
int searchCut(Position& pos, int beta, int depth, int ply, int nodeFlags);
int searchCutInCheck(Position& pos, int beta, int depth, int ply, int nodeFlags);
int searchAll(Position& pos, int beta, int depth, int ply, int nodeFlags);
int searchAllInCheck(Position& pos, int beta, int depth, int ply, int nodeFlags);
int searchShallow(Position& pos, int beta, int depth, int ply, int nodeFlags);
int searchShallowInCheck(Position& pos, int beta, int depth, int ply, int nodeFlags);

// Move-count pruning limits by depth in half plies (0..255), built once at start-up.
extern uint8_t moveCountLimit[256];
extern uint8_t futilityMoveLimit[256];
extern uint8_t seeMoveLimit[256];
void buildPruningTables();

} // namespace zekora
