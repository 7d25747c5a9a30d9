// SPDX-License-Identifier: GPL-3.0-or-later
#include "search/driver.h"

#include <csetjmp>
#include <cstring>
#include <type_traits>

#include "board/attacks.h"
#include "board/makemove.h"
#include "board/movecheck.h"
#include "search/extensions.h"
#include "search/timeman.h"
#include "search/tt.h"
#include "uci/console.h"
#include "uci/report.h"
#include "uci/setup.h"
#include "uci/uci.h"

namespace zekora {

SearchResult searchResult;

// The time check leaves the search by a longjmp across the driver's frames too: nothing in
// them may need destroying.
static_assert(std::is_trivially_destructible_v<PrincipalVariation>);
static_assert(std::is_trivially_destructible_v<UndoRecord>);
static_assert(std::is_trivially_destructible_v<MoveList>);

namespace {

// The search works on this copy, so an abandoned search leaves nothing to unmake and
// "position" commands arriving meanwhile do not disturb it. File-scope rather than locals of
// the function that sets the abort point: those would be indeterminate after the jump.
Position searchCopy;
MoveList rootMoves;

// Per iteration, for the choice of the next time factor.
int32_t bestMoveChanged; // a later root move overturned the first one's score
int32_t clearBestMove;   // the best root move is far ahead of every other
double previousFactor;
int32_t previousScore;

constexpr int ClearBestMargin = 150;
constexpr int FirstIterationDepth = 2; // half plies
constexpr Bitboard AllSquares = ~Bitboard(0);

// How much of the time budget the next iteration may use, from the course of this one.
double iterationFactor(int score) {
    const bool changed = bestMoveChanged != 0;
    if (rootMoves.count == 1) return 0.03125;
    if (clearBestMove) return changed ? 0.25 : 0.125;
    if (score > 1000) return changed ? 0.5 : 0.25;
    if (score < previousScore - 50 && score > -400) return changed ? 4.0 : 2.0;
    if (score < previousScore - 20 && score > -400) return changed ? 2.0 : 1.5;
    if (score > previousScore + 50 && score < 400) return changed ? 2.5 : 2.0;
    if (score > previousScore + 20 && score < 400) return changed ? 1.5 : 1.0;
    return changed ? 1.25 : 1.0;
}

void clearMoveStatistics() {
    std::memset(historyTable, 0, sizeof historyTable);
    for (SearchStackEntry& entry : searchStack) entry.killers[0] = entry.killers[1] = NoMove;
}

void prepareRootEntry(Position& pos) {
    const int us = int(pos.sideToMove);
    SearchStackEntry& root = searchStack[0];
    pos.stackEntry = &root;
    root.inCheck = isSquareAttacked(pos, pos.kingSquare[us], opponent(us));
    root.pinned = pinnedPieces(pos, us);
    root.hashMove = NoMove;
    // The root's tactical moves are not recorded: no reply at ply 1 counts as a recapture.
    root.captureSquare = NoSquare;
}

// Searches one root move; the later moves first with a zero window around alpha, and again
// with the full window only when they beat it.
int searchRootMove(Position& pos, Move move, bool first, int alpha, int depth,
                   PrincipalVariation& childPv) {
    const int check = givesCheck(pos, move) ? 1 : 0;
    int extension = 0;
    int lmrAllowed = 1;
    if (check)
        extension = 2;
    else
        moveExtension(pos, move, PvNode, 0, extension, lmrAllowed);
    const int newDepth = depth - 2 + extension;
    childPv.clear();

    UndoRecord undo;
    makeMove(pos, undo, move);
    int value;
    if (first) {
        value = -pvNodeTable[check](pos, -MateValue, -alpha, newDepth, 1, childPv);
    } else {
        value = -cutNodeTable[check](pos, -alpha, newDepth, 1, AllNodeFlags);
        if (value > alpha) {
            value = -pvNodeTable[check](pos, -MateValue, -alpha, newDepth, 1, childPv);
            if (value > alpha) bestMoveChanged = 1;
        }
    }
    unmakeMove(pos, undo, move);
    return value;
}

// Leaves the iteration's line in the table so that the next iteration searches it first.
void seedRootLine(Position& pos, const PrincipalVariation& pv) {
    if (pv.count == 0 || !isPseudoLegal(pos, pv.moves[0])) return;
    storeEntry(pos, pv.moves[0], 0, 0, BoundNone, 0);
    UndoRecord undo;
    makeMove(pos, undo, pv.moves[0]);
    if (pv.count > 1) seedPrincipalVariation(pos, pv, 1, pv.moves[1]);
    unmakeMove(pos, undo, pv.moves[0]);
}

// A first iteration cut short (see firstIterationNodes) before it finished any root move
// leaves no result: the first root move, the hash move or the generators' first, is the
// answer then, and no score is claimed for it.
void answerWithFirstRootMove() {
    if (searchResult.bestMove != NoMove || rootMoves.count == 0) return;
    PrincipalVariation nothingAfter;
    nothingAfter.clear();
    searchResult.bestMove = rootMoves.moves[0];
    searchResult.scored = false;
    searchResult.pv.set(rootMoves.moves[0], nothingAfter);
}

void recordResult(Move bestMove, int score, int depth, const PrincipalVariation& pv) {
    searchResult.bestMove = bestMove;
    searchResult.score = score;
    searchResult.depth = depth / 2;
    searchResult.selDepth = selDepth;
    searchResult.pv = pv;
    searchResult.scored = true;
}

// "go infinite" must not answer before "stop", even when the search ended on its own (a mate
// found, the deepest iteration done). Commands are served meanwhile as during the search.
void waitForStopWhenInfinite() {
    while (limits.infinite && !limits.stopRequested) {
        waitForInput();
        pollCommand();
    }
}

} // namespace

void moveToFront(MoveList& list, Move move) {
    list.next = 0;
    for (int i = 0; i < list.count; ++i) {
        if (list.moves[i] != move) continue;
        for (int j = i; j > 0; --j) list.moves[j] = list.moves[j - 1];
        list.moves[0] = move;
        return;
    }
}

void seedPrincipalVariation(Position& pos, const PrincipalVariation& pv, int index, Move move) {
    if (!isPseudoLegal(pos, move)) return;
    storeEntry(pos, move, 0, 0, BoundNone, 0);
    UndoRecord undo;
    makeMove(pos, undo, move);
    if (index + 1 != pv.count) seedPrincipalVariation(pos, pv, index + 1, pv.moves[index + 1]);
    unmakeMove(pos, undo, move);
}

void buildRootMoves(Position& pos, MoveList& list) {
    list.clear();
    const Move hashMove = probeMove(pos);
    const int us = int(pos.sideToMove);

    MoveList scratch;
    scratch.clear();
    CaptureGenerators[us](pos, scratch, AllSquares);
    QuietGenerators[us](pos, scratch, AllSquares);

    const bool hashFirst = hashMove != NoMove && isPseudoLegal(pos, hashMove);
    if (hashFirst && isLegal(pos, hashMove)) {
        list.moves[list.count] = hashMove;
        list.scores[list.count++] = 0;
    }
    for (int i = 0; i < scratch.count; ++i) {
        const Move m = scratch.moves[i];
        if (hashFirst && m == hashMove) continue;
        if (!isLegal(pos, m)) continue;
        list.moves[list.count] = m;
        list.scores[list.count++] = 0;
    }
    clearMoveStatistics();
}

int searchRoot(Position& pos, MoveList& list, int depth) {
    int alpha = -MateValue;
    int best = NoScore;
    Move bestMove = NoMove;
    int topScore = NoScore;
    int runnerUpScore = NoScore;
    PrincipalVariation pv;
    PrincipalVariation childPv;
    pv.clear();

    while (list.next < list.count) {
        const Move move = list.moves[list.next++];
        if (move == NoMove) break;
        const int number = list.next;
        reportRootMove(move, number, depth);

        const int value = searchRootMove(pos, move, number == 1, alpha, depth, childPv);

        if (value > topScore) {
            runnerUpScore = topScore;
            topScore = value;
        } else if (value > runnerUpScore) {
            runnerUpScore = value;
        }
        if (value > best) {
            alpha = best = value;
            bestMove = move;
            pv.set(move, childPv);
            reportNewBestMove(move, number, best, depth, pv);
            // Until the first iteration is complete its best move so far is the answer, should
            // the search be cut.
            if (depth == FirstIterationDepth) recordResult(bestMove, best, depth, pv);
        }
    }

    // Without a legal move the side to move is mated or stalemated; say so rather than report
    // the empty score.
    if (bestMove == NoMove) best = searchStack[0].inCheck ? -MateValue : DrawScore;

    if (topScore > runnerUpScore + ClearBestMargin) clearBestMove = 1;
    moveToFront(list, bestMove);
    seedRootLine(pos, pv);
    reportIterationEnd(best, depth, pv);
    recordResult(bestMove, best, depth, pv);
    return best;
}

void searchPosition(const Position& pos) {
    searchResult.bestMove = NoMove;
    searchResult.score = NoScore;
    searchResult.depth = 0;
    searchResult.selDepth = 0;
    searchResult.pv.clear();
    searchResult.scored = false;
    searchCopy = pos;

    // The time check jumps back here to end the search; searchResult then holds the last
    // finished iteration.
    if (setjmp(abortPoint) != 0) {
        answerWithFirstRootMove();
        return;
    }

    startClock();
    prepareRootEntry(searchCopy);
    selDepth = 0;
    limits.ponderhitReceived = 0;
    buildRootMoves(searchCopy, rootMoves);
    previousFactor = 1.0;
    previousScore = NoScore;
    iterationDepth = FirstIterationDepth;
    timeCheck();

    for (;;) {
        softStopArmed = lowTime;
        bestMoveChanged = 0;
        clearBestMove = 0;
        rootMoves.next = 0;
        const int score = searchRoot(searchCopy, rootMoves, iterationDepth);

        const double factor = iterationFactor(score);
        previousScore = score;
        timeFactor = (previousFactor + factor) / 2;
        previousFactor = factor;
        softStopArmed = 1;
        if (score > MateBound) return; // the side to move mates: nothing better can be found

        iterationDepth += 2;
        timeCheck();
    }
}

void runSearch() {
    searchRunning = true;
    searchPosition(currentPosition);
    // The last report measures the search, not the wait for "stop" that may follow it.
    updateClock();
    const SearchClock searchEnd = searchClock;
    waitForStopWhenInfinite();
    searchClock = searchEnd;
    if (searchResult.scored)
        printPvLine(searchResult.score, searchResult.depth, searchResult.selDepth, searchResult.pv);
    reportBestMove(searchResult.bestMove, searchResult.pv);
    searchRunning = false;
}

} // namespace zekora
