// SPDX-License-Identifier: GPL-3.0-or-later
// Quiescence search: captures (and, near its entry, quiet checks and all evasions) until the
// position is quiet. Its depth counter is its own: it starts at 0 (1 from some PV nodes) and
// falls by one per quiescence ply; quiet checks are tried while it is at least 0.
#pragma once

#include "board/position.h"
#include "search/search.h"

namespace zekora {

// Zero window (beta - 1, beta).
int quiesce(Position& pos, int beta, int depth, int ply);
int quiesceInCheck(Position& pos, int beta, int depth, int ply);

// Open window, with a principal variation.
int quiescePV(Position& pos, int alpha, int beta, int depth, int ply, PrincipalVariation& pv);
int quiescePVInCheck(Position& pos, int alpha, int beta, int depth, int ply,
                     PrincipalVariation& pv);

} // namespace zekora
