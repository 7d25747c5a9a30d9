// SPDX-License-Identifier: GPL-3.0-or-later
// Move lists, their sort, the generator tables and the history table.
#pragma once

#include "board/position.h"

namespace zekora {

constexpr int MaxMoves = 255;

struct MoveList {
    uint16_t next;
    uint16_t count;
    Move moves[MaxMoves];
    int16_t scores[MaxMoves];

    void clear() { next = count = 0; }

    // Appends unless full: an impossible position may have more pseudo-legal moves than fit.
    void add(Move m, int score) {
        if (count < MaxMoves) {
            moves[count] = m;
            scores[count] = int16_t(score);
            ++count;
        }
    }
};

// Stable insertion sort by score, highest first.
void sortMoves(MoveList& list);

// Generators appending to a list, indexed by the side to move.
using GeneratorFn = void (*)(const Position&, MoveList&, Bitboard targetMask);
using EvasionGeneratorFn = void (*)(Position&, MoveList&);
using CheckGeneratorFn = void (*)(const Position&, MoveList&);

extern const GeneratorFn CaptureGenerators[2];
extern const GeneratorFn QuietGenerators[2];
extern const EvasionGeneratorFn EvasionGenerators[2];
extern const CheckGeneratorFn CheckGenerators[2];

// Quiet-move ordering scores by moving piece code and to-square, within -32000..32000.
extern int32_t historyTable[16][64];

} // namespace zekora
