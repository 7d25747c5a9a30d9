// SPDX-License-Identifier: GPL-3.0-or-later
// Leaf counts of the legal-move tree, for checking the move generators against known counts.
#pragma once

#include <cstdint>

#include "board/position.h"

namespace zekora::tool {

// Leaves of the legal-move tree of the given depth (1 at depth 0).
uint64_t perft(Position& pos, int depth);

using LeafCounter = uint64_t (*)(Position&, int depth);

// Sets up the FEN (the start position when null), prints one line per legal root move with
// the leaves below it, then the time and speed, then "nodes N". Returns the exit status.
int runPerft(int depth, const char* fen, LeafCounter count);

} // namespace zekora::tool
