// SPDX-License-Identifier: GPL-3.0-or-later
// What the node functions of the tree search share: counting, the prologue, the stack entry,
// the table probe and small move classifications. Internal to the tree search.
#pragma once

#include <algorithm>
#include <bit>

#include "board/attacks.h"
#include "board/makemove.h"
#include "eval/evaluate.h"
#include "search/draw.h"
#include "search/margins.h"
#include "search/search.h"
#include "search/timeman.h"
#include "search/tt.h"

namespace zekora::node {

constexpr Bitboard AllSquares = ~0ULL;

// Counts the node; every 1024th one reads the clock and polls input, and may abandon the
// search from here.
inline void countNode() {
    if ((++nodeCount & (TimeCheckInterval - 1)) == 0) timeCheck();
}

inline int staticEval(const Position& pos) { return evaluate(pos, -MateValue, MateValue); }

// A move is tactical when it captures (en passant included) or promotes; the rest are quiet.
inline bool isTactical(const Position& pos, Move m) {
    return pos.board[moveTo(m)] != Empty || moveKind(m) == FlagEnPassant || isPromotion(m);
}

// Windows at or beyond these can only be decided by mates, where pruning is unsound.
inline bool isMateBound(int beta) { return beta <= -MateBound || beta >= MateBound; }

// The side to move owns a piece other than pawns and its king (no zugzwang risk for the
// null move).
inline bool hasPieces(const Position& pos) {
    const int us = pos.sideToMove;
    return (pos.bitboards[us] & ~pos.bitboards[Pawn + us] & ~pos.bitboards[King + us]) != 0;
}

// Whether the side to move is in check; used after a move or a null move.
inline bool sideToMoveInCheck(const Position& pos) {
    const int us = pos.sideToMove;
    return isSquareAttacked(pos, pos.kingSquare[us], opponent(us));
}

// The pruning tables end at depth 255; deeper nodes use their saturated values.
inline int pruningIndex(int depth) { return std::clamp(depth, 0, LastPruningTableDepth); }

inline int floorLog2(int n) { return std::bit_width(unsigned(n)) - 1; }

// Children below this depth are quiescence nodes, which never look at the table.
constexpr int FirstProbingDepth = ShallowMinDepth;
static_assert(PvMinDepth == ShallowMinDepth, "PV and zero-window children probe from one depth");

// Makes a move for a quiescence child that evaluates, whose evaluation cache entry is fetched
// from memory while it starts up. A quiet check's child is in check and never evaluates.
inline void makeQuiesceMove(Position& pos, UndoRecord& undo, Move m) {
    makeMove(pos, undo, m);
    __builtin_prefetch(&EvalCache[pos.key & (EvalCacheSize - 1)]);
}

// Makes a move for a child searched to childDepth. A child that probes the table gets its
// bucket fetched too; no other child pays for that fetch, which stalls on a miss in the
// address translation as much as a load would.
inline void makeSearchMove(Position& pos, UndoRecord& undo, Move m, int childDepth) {
    makeQuiesceMove(pos, undo, m);
    if (childDepth >= FirstProbingDepth) __builtin_prefetch(&hashSlot(pos.key, 0));
}

// Makes entry ply of the search stack the node's own, for the move tests and the picker.
inline SearchStackEntry& enterNode(Position& pos, int ply, int inCheck, Move hashMove) {
    SearchStackEntry& entry = searchStack[ply];
    pos.stackEntry = &entry;
    entry.inCheck = inCheck;
    entry.pinned = pinnedPieces(pos, pos.sideToMove);
    entry.hashMove = hashMove;
    entry.captureSquare = NoSquare;
    return entry;
}

// The table probe of the prologue. Finds the position's slot, refreshes its age and returns
// its move in hashMove (NoMove without a slot). A zero-window node may end here: then the
// function returns true with the stored score in score.
template <bool ZeroWindow>
inline bool probeTable(const Position& pos, int depth, int ply, int beta, Move& hashMove,
                       int& score) {
    const uint32_t check = checkKeyOf(pos.key);
    for (int i = 0; i < BucketSize; ++i) {
        HashEntry& slot = hashSlot(pos.key, i);
        if (slot.checkKey != check) continue;
        hashMove = slot.move;
        slot.age = searchGeneration;
        if constexpr (ZeroWindow) {
            const int stored = scoreFromTable(slot.score, ply);
            const bool covers = stored >= beta ? (slot.bound & (BoundExact | BoundLower)) != 0
                                               : (slot.bound & (BoundUpper | BoundExact)) != 0;
            if (slot.depth >= depth && covers) {
                score = stored;
                return true;
            }
        }
        return false;
    }
    hashMove = NoMove;
    return false;
}

// The prologue of the zero-window nodes after the low-depth hand-over: returns true when the
// node ends here, with its result in score; otherwise hashMove holds the table move.
inline bool zeroWindowPrologue(Position& pos, int beta, int depth, int ply, Move& hashMove,
                               int& score) {
    // Step 2. Count the node (the clock may end the search here).
    countNode();
    // Step 3. The search stack ends at MaxPly.
    if (ply == MaxPly) {
        score = staticEval(pos);
        return true;
    }
    // Step 4. Deepest ply reached.
    selDepth = std::max(selDepth, ply);
    // Step 5. Mate-distance pruning: no result here can beat a mate found nearer the root.
    const int alpha = std::max(beta - 1, ply - MateValue);
    if (alpha >= std::min(beta, MateValue - ply)) {
        score = alpha;
        return true;
    }
    // Step 6. Fifty-move rule and repetitions.
    if (isDraw(pos)) {
        score = DrawScore;
        return true;
    }
    // Step 7. Transposition table.
    return probeTable<true>(pos, depth, ply, beta, hashMove, score);
}

} // namespace zekora::node
