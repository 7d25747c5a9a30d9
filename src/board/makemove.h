// SPDX-License-Identifier: GPL-3.0-or-later
// Playing and taking back moves and null moves, fully incrementally.
#pragma once

#include "board/position.h"

namespace zekora {

void makeMove(Position& pos, UndoRecord& undo, Move move);
void unmakeMove(Position& pos, const UndoRecord& undo, Move move);
void makeNullMove(Position& pos, UndoRecord& undo);
void unmakeNullMove(Position& pos, const UndoRecord& undo);

} // namespace zekora
