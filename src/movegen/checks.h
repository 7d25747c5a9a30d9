// SPDX-License-Identifier: GPL-3.0-or-later
// Quiet moves that give check, for the quiescence search: discovered checks, direct checks
// by pawn steps and pieces, and castling whose rook lands with check.
#pragma once

#include "movegen/movelist.h"

namespace zekora {

// Append pseudo-legal quiet, non-promoting checking moves, unsorted. Left out: moves of a
// piece that unmasks a check along its own line, and king moves that unmask nothing.
void generateChecksWhite(const Position& pos, MoveList& list);
void generateChecksBlack(const Position& pos, MoveList& list);

} // namespace zekora
