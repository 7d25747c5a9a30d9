// SPDX-License-Identifier: GPL-3.0-or-later
// Draws the tree search recognises by itself: the fifty-move rule and repetition.
#pragma once

#include "board/position.h"

namespace zekora {

// True when the position is drawn by the fifty-move rule or repeats a position with the
// same side to move since the last irreversible move (a null move counts as one).
bool isDraw(const Position& pos);

} // namespace zekora
