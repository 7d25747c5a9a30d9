// SPDX-License-Identifier: GPL-3.0-or-later
#include "search/search.h"

#include <type_traits>

#include "board/makemove.h"
#include "board/movecheck.h"
#include "movegen/movepick.h"
#include "search/extensions.h"
#include "search/node.h"
#include "search/quiesce.h"

namespace zekora {

// The time check leaves the search by longjmp, skipping destructors: nothing in a search
// frame may need one.
static_assert(std::is_trivially_destructible_v<MovePicker>);
static_assert(std::is_trivially_destructible_v<MoveList>);
static_assert(std::is_trivially_destructible_v<UndoRecord>);
static_assert(std::is_trivially_destructible_v<PrincipalVariation>);
static_assert(std::is_trivially_destructible_v<QuietList>);
static_assert(std::is_trivially_destructible_v<CheckInfo>);

int32_t selDepth;

uint8_t moveCountLimit[256];
uint8_t futilityMoveLimit[256];
uint8_t seeMoveLimit[256];

void buildPruningTables() {
    for (int d = 0; d < 256; ++d) {
        moveCountLimit[d] = uint8_t(std::min(d * d / 4 + 3, 255));
        futilityMoveLimit[d] = uint8_t(std::min(d * d / 8 + 3, 255));
        seeMoveLimit[d] = uint8_t(std::min(d * d / 16 + 3, 255));
    }
}

const PvNodeFn pvNodeTable[2] = {searchPV, searchPVInCheck};
const ZeroWindowNodeFn cutNodeTable[2] = {searchCut, searchCutInCheck};
const ZeroWindowNodeFn allNodeTable[2] = {searchAll, searchAllInCheck};
const ZeroWindowNodeFn shallowNodeTable[2] = {searchShallow, searchShallowInCheck};
const QuiesceNodeFn quiesceNodeTable[2] = {quiesce, quiesceInCheck};
const PvNodeFn quiescePVNodeTable[2] = {quiescePV, quiescePVInCheck};

namespace {

using namespace node;

// The PV node: open window, the first move searched as a PV node, the later ones with a zero
// window first and again as PV nodes only when they beat alpha. No reductions, no pruning,
// no null move.
template <bool InCheck>
int pvNode(Position& pos, int alpha, int beta, int depth, int ply, PrincipalVariation& pv) {
    // Step 1. Below its depth range the node is a quiescence PV node with the same depth.
    if (depth < PvMinDepth) return quiescePVNodeTable[InCheck](pos, alpha, beta, depth, ply, pv);
    // Step 2. Count the node (the clock may end the search here).
    countNode();
    // Step 3. The search stack ends at MaxPly.
    if (ply == MaxPly) return staticEval(pos);
    // Step 4. Deepest ply reached.
    selDepth = std::max(selDepth, ply);
    // Step 5. Mate-distance pruning narrows the window.
    alpha = std::max(alpha, ply - MateValue);
    beta = std::min(beta, MateValue - ply);
    if (alpha >= beta) return alpha;
    // Step 6. Fifty-move rule and repetitions.
    if (isDraw(pos)) return DrawScore;
    // Step 7. Transposition table: a PV node takes only the move, never a cutoff.
    Move hashMove;
    int unused;
    probeTable<false>(pos, depth, ply, beta, hashMove, unused);
    // Step 8. Internal iterative deepening finds a move to search first.
    if (depth >= PvIidMinDepth && hashMove == NoMove) {
        pvNodeTable[InCheck](pos, alpha, beta, depth - IidReduction, ply, pv);
        hashMove = probeMove(pos);
    }
    // Step 9. Own stack entry and move picker.
    SearchStackEntry& entry = enterNode(pos, ply, InCheck, hashMove);
    MovePicker picker;
    startMovePicker(picker, pos, InCheck, AllSquares, 1);
    // Step 10. No legal move: checkmate or stalemate.
    Move m = nextMove(picker);
    if (m == NoMove) return InCheck ? ply - MateValue : DrawScore;
    // Step 11. The moves.
    int best = NoScore;
    Move bestMove = NoMove;
    int bound = BoundUpper;
    QuietList quiets;
    quiets.clear();
    CheckInfo checks;
    prepareCheckInfo(pos, checks);
    PrincipalVariation childPv;
    for (int n = 1; m != NoMove; m = nextMove(picker), ++n) {
        const int childInCheck = givesCheck(pos, m, checks);
        const bool tactical = isTactical(pos, m);
        if (tactical)
            entry.captureSquare = moveTo(m);
        else
            quiets.add(m);
        int ext = 0, lmrAllowed = 1;
        if (childInCheck)
            ext = CheckExtension;
        else
            moveExtension(pos, m, PvNode, ply, ext, lmrAllowed);
        const int newDepth = depth - OnePly + ext;
        UndoRecord undo;
        makeSearchMove(pos, undo, m, newDepth);
        childPv.clear();
        int score;
        if (n == 1) {
            score = -pvNodeTable[childInCheck](pos, -beta, -alpha, newDepth, ply + 1, childPv);
        } else {
            score = -cutNodeTable[childInCheck](pos, -alpha, newDepth, ply + 1, AllNodeFlags);
            if (score > alpha)
                score = -pvNodeTable[childInCheck](pos, -beta, -alpha, newDepth, ply + 1, childPv);
        }
        unmakeMove(pos, undo, m);
        if (score <= best) continue;
        best = score;
        if (score <= alpha) continue;
        pv.set(m, childPv);
        alpha = score;
        bestMove = m;
        bound = BoundExact;
        if (score >= beta) {
            recordCutoff(pos, entry, m, !tactical, quiets, depth);
            storeEntry(pos, m, depth, ply, BoundLower, score);
            return score;
        }
    }
    // Step 12. Store the exact score with the best move, or the upper bound.
    storeEntry(pos, bestMove, depth, ply, bound, best);
    return best;
}

} // namespace

int searchPV(Position& pos, int alpha, int beta, int depth, int ply, PrincipalVariation& pv) {
    return pvNode<false>(pos, alpha, beta, depth, ply, pv);
}

int searchPVInCheck(Position& pos, int alpha, int beta, int depth, int ply,
                    PrincipalVariation& pv) {
    return pvNode<true>(pos, alpha, beta, depth, ply, pv);
}

} // namespace zekora
