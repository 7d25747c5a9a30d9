// SPDX-License-Identifier: GPL-3.0-or-later
// Perft that takes every move from the staged move picker, ply by ply as the tree search does.
#pragma once

#include <cstdint>

#include "board/position.h"

namespace zekora::tool {

// Leaves of the legal-move tree of the given depth below a node at the given ply.
uint64_t perftWithPicker(Position& pos, int depth, int ply);

// "perft --picker DEPTH [FEN]": the output of "perft", with the picker's move order.
int pickerPerftCommand(int argc, char** argv);

} // namespace zekora::tool
