// SPDX-License-Identifier: GPL-3.0-or-later
// Perft walks through the move picker, the way the tree search walks: every ply fills its
// search stack entry, points the position at it and takes its moves from a picker.
#pragma once

#include "movegen/legal_oracle.h"

namespace zekora::test {

constexpr Bitboard AllSquares = ~Bitboard(0);

// Leaves below the node at the given ply; no hash move, no killers.
inline uint64_t pickerPerft(Position& pos, int depth, int ply) {
    SearchStackEntry& entry = searchStack[ply];
    enterNode(pos, entry);
    MovePicker picker;
    startMovePicker(picker, pos, entry.inCheck != 0, AllSquares, 1);
    uint64_t leaves = 0;
    while (Move m = nextMove(picker)) {
        if (depth == 1) {
            ++leaves;
            continue;
        }
        UndoRecord undo;
        makeMove(pos, undo, m);
        leaves += pickerPerft(pos, depth - 1, ply + 1);
        unmakeMove(pos, undo, m);
    }
    return leaves;
}

// The same walk, with hash moves and killers as a search leaves them: killers are quiet
// moves played earlier at the same ply in sibling subtrees, the hash move is a move of an
// earlier node of that ply. Neither may change the leaf count.
inline Move lastMoveAtPly[MaxPly];

inline uint64_t pickerPerftWithGuesses(Position& pos, int depth, int ply, Random& random) {
    SearchStackEntry& entry = searchStack[ply];
    enterNode(pos, entry, random.below(3) ? lastMoveAtPly[ply] : NoMove, entry.killers[0],
              entry.killers[1]);
    MovePicker picker;
    startMovePicker(picker, pos, entry.inCheck != 0, AllSquares, uint32_t(random.below(2)));
    uint64_t leaves = 0;
    Move newKiller = NoMove;
    while (Move m = nextMove(picker)) {
        lastMoveAtPly[ply] = m; // the hash move of a later node at this ply
        bool quiet =
            pos.board[moveTo(m)] == Empty && !isPromotion(m) && moveKind(m) != FlagEnPassant;
        if (quiet && random.below(3) == 0) newKiller = m;
        if (depth == 1) {
            ++leaves;
            continue;
        }
        UndoRecord undo;
        makeMove(pos, undo, m);
        leaves += pickerPerftWithGuesses(pos, depth - 1, ply + 1, random);
        unmakeMove(pos, undo, m);
    }
    // As a cut-off would record it, once the node's picker is done with.
    if (newKiller && newKiller != entry.killers[0]) {
        entry.killers[1] = entry.killers[0];
        entry.killers[0] = newKiller;
    }
    return leaves;
}

} // namespace zekora::test
