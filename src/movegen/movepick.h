// SPDX-License-Identifier: GPL-3.0-or-later
// Staged move selection: a node's moves handed out one at a time, each stage generated only
// when it is reached, so that an early cut-off saves the later ones.
#pragma once

#include <type_traits>

#include "movegen/movelist.h"

namespace zekora {

// Stage codes.
constexpr int32_t StageHashMove = 1;
constexpr int32_t StageCaptures = 2; // captures and promotions that do not lose material
constexpr int32_t StageKillers = 3;
constexpr int32_t StageQuiets = 4;
constexpr int32_t StagePostponed = 5; // losing captures, and losing quiet moves when filtered
constexpr int32_t StageEnd = 6;
constexpr int32_t StageEvasions = 7;

constexpr int StageScriptLength = 8;
// The stage codes in the order a picker walks them; set by initMoveStages.
extern int32_t StageScript[StageScriptLength];
// Where a picker starts in the script: in check, and otherwise.
extern int32_t EvasionStart;
extern int32_t NormalStart;

void initMoveStages();

// One per node, on the searcher's stack. Trivially destructible, so that a search abandoned
// by a non-local jump leaves nothing behind.
struct MovePicker {
    MoveList list;      // the current stage's moves
    MoveList postponed; // moves put off until the postponed stage; scores unused
    Position* position;
    Bitboard targetMask;   // to-squares the generators may produce; all bits in a normal search
    int32_t stage;         // index into StageScript
    int32_t stageStarted;  // 1 while the current stage still has to be prepared
    uint32_t filterQuiets; // nonzero: quiet moves that lose material are postponed too
};

static_assert(std::is_trivially_destructible_v<MovePicker>);

// Prepares a picker for the node whose search stack entry the position points at.
inline void startMovePicker(MovePicker& picker, Position& pos, bool inCheck, Bitboard targetMask,
                            uint32_t filterQuiets) {
    picker.position = &pos;
    picker.targetMask = targetMask;
    picker.filterQuiets = filterQuiets;
    picker.stage = inCheck ? EvasionStart : NormalStart;
    picker.stageStarted = 1;
}

// The next legal move, or NoMove once every stage is done (and on every call after that).
// The position's stackEntry must point at the node's entry (inCheck, pinned, hashMove,
// killers); hashMove and killers are read on every call, so they must not change while the
// picker is in use.
Move nextMove(MovePicker& picker);

} // namespace zekora
