// SPDX-License-Identifier: GPL-3.0-or-later
#include "movegen/movepick.h"

#include "board/movecheck.h"

namespace zekora {

int32_t StageScript[StageScriptLength];
int32_t EvasionStart;
int32_t NormalStart;

void initMoveStages() {
    // In check: the evasions, then the end. Otherwise the normal stages in the order the
    // picker falls through them.
    static constexpr int32_t Script[StageScriptLength] = {
        StageEvasions, StageEnd,    StageHashMove,  StageCaptures,
        StageKillers,  StageQuiets, StagePostponed, StageEnd};
    for (int i = 0; i < StageScriptLength; ++i) StageScript[i] = Script[i];
    EvasionStart = 0;
    NormalStart = 2;
}

namespace {

// The next stored move, or NoMove at the end of the list; a stored NoMove ends it too.
Move takeNext(MoveList& list) { return list.next < list.count ? list.moves[list.next++] : NoMove; }

void finishStage(MovePicker& picker) {
    ++picker.stage;
    picker.stageStarted = 1;
}

// Killers come from sibling nodes: only quiet kinds that fit this position are tried here.
// A killer that is a capture here comes, if at all, with the captures.
bool isKillerCandidate(const Position& pos, Move move) {
    int kind = moveKind(move);
    return (kind == FlagNormal || kind == FlagCastle || kind == FlagDoublePush) &&
           isPseudoLegal(pos, move) && pos.board[moveTo(move)] == Empty;
}

// Puts the hash move first, keeping the order of the moves it passes.
void moveToFront(MoveList& list, Move move) {
    for (int i = 0; i < list.count; ++i) {
        if (list.moves[i] != move) continue;
        for (int j = i; j > 0; --j) list.moves[j] = list.moves[j - 1];
        list.moves[0] = move;
        return;
    }
}

} // namespace

Move nextMove(MovePicker& picker) {
    Position& pos = *picker.position;
    const SearchStackEntry& entry = *pos.stackEntry;
    const Move hashMove = entry.hashMove;
    const Move killer0 = entry.killers[0];
    const Move killer1 = entry.killers[1];

    // The normal stages follow each other in the script, so a finished stage falls through
    // into the next one.
    for (;;) {
        switch (StageScript[picker.stage]) {
        case StageHashMove:
            if (picker.stageStarted) {
                picker.list.clear();
                picker.postponed.clear();
                if (isPseudoLegal(pos, hashMove) && isLegal(pos, hashMove)) {
                    picker.stageStarted = 0;
                    return hashMove;
                }
            }
            finishStage(picker);
            [[fallthrough]];

        case StageCaptures:
            if (picker.stageStarted) {
                picker.list.clear();
                CaptureGenerators[pos.sideToMove](pos, picker.list, picker.targetMask);
                picker.stageStarted = 0;
            }
            while (Move move = takeNext(picker.list)) {
                if (move == hashMove) continue;
                if (losesMaterial(pos, move)) {
                    picker.postponed.add(move, 0);
                    continue;
                }
                if (isLegal(pos, move)) return move;
            }
            finishStage(picker);
            [[fallthrough]];

        case StageKillers:
            if (picker.stageStarted) {
                picker.list.clear();
                if (isKillerCandidate(pos, killer0)) picker.list.add(killer0, 0);
                if (killer1 != killer0 && isKillerCandidate(pos, killer1))
                    picker.list.add(killer1, 0);
                picker.stageStarted = 0;
            }
            while (Move move = takeNext(picker.list)) {
                if (move == hashMove) continue;
                if (isLegal(pos, move)) return move;
            }
            finishStage(picker);
            [[fallthrough]];

        case StageQuiets:
            if (picker.stageStarted) {
                picker.list.clear();
                QuietGenerators[pos.sideToMove](pos, picker.list, picker.targetMask);
                picker.stageStarted = 0;
            }
            while (Move move = takeNext(picker.list)) {
                if (move == hashMove || move == killer0 || move == killer1) continue;
                if (picker.filterQuiets && !exchangeNotLosing(pos, move)) {
                    picker.postponed.add(move, 0);
                    continue;
                }
                if (isLegal(pos, move)) return move;
            }
            finishStage(picker);
            [[fallthrough]];

        case StagePostponed:
            picker.stageStarted = 0;
            while (Move move = takeNext(picker.postponed))
                if (isLegal(pos, move)) return move;
            finishStage(picker);
            [[fallthrough]];

        case StageEnd: return NoMove;

        case StageEvasions:
            if (picker.stageStarted) {
                picker.list.clear();
                EvasionGenerators[pos.sideToMove](pos, picker.list);
                moveToFront(picker.list, hashMove);
                picker.stageStarted = 0;
            }
            // The evasion generators produce legal moves only.
            if (Move move = takeNext(picker.list)) return move;
            finishStage(picker);
            continue;

        default: return NoMove;
        }
    }
}

} // namespace zekora
