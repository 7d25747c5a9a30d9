// SPDX-License-Identifier: GPL-3.0-or-later
// How far a move is extended and whether it may be reduced or pruned, and how a fail high
// feeds the killer moves and the history table.
#pragma once

#include "board/position.h"
#include "movegen/movelist.h"

namespace zekora {

// Node kinds as the extension rules see them.
constexpr int NonPvNode = 0;
constexpr int PvNode = 1;

// In half plies: [0..1] recapture by node kind; [2..9] passed pawn at non-PV nodes and
// [10..17] at PV nodes, by the relative rank of the to-square.
extern const int32_t extensionTable[18];

// The quiet moves a node has tried (or pruned), in order.
struct QuietList {
    int32_t count;
    Move moves[MaxMoves];

    void clear() { count = 0; }
    // A node tries fewer moves than fit; the guard only keeps impossible positions in bounds.
    void add(Move m) {
        if (count < MaxMoves) moves[count++] = m;
    }
};

// For a move that does not give check, before it is made. The caller sets ext = 0 and
// lmrAllowed = 1; they are written only when a rule applies. nodeKind is PvNode at PV
// nodes and at the root, ply 0 at the root.
void moveExtension(const Position& pos, Move move, int nodeKind, int ply, int& ext,
                   int& lmrAllowed);

// After a fail high (the move already unmade): killers and history of quiet moves.
void recordCutoff(const Position& pos, SearchStackEntry& entry, Move move, bool quiet,
                  const QuietList& quiets, int depth);

} // namespace zekora
