// SPDX-License-Identifier: GPL-3.0-or-later
#include "search/draw.h"

namespace zekora {

namespace {

constexpr int FiftyMoveLimit = 100;
// A repetition needs at least two moves by each side.
constexpr int ShortestRepetition = 4;

} // namespace

bool isDraw(const Position& pos) {
    const int clock = pos.halfmoveClock;
    if (clock >= FiftyMoveLimit) return true;
    if (clock < ShortestRepetition) return false;
    // A FEN may state a larger clock than the history holds: never read before entry 0.
    const int current = pos.historyCount - 1;
    for (int back = ShortestRepetition; back <= clock && current - back >= 0; back += 2)
        if (pos.keyHistory[current - back] == pos.key) return true;
    return false;
}

} // namespace zekora
