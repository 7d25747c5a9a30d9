// SPDX-License-Identifier: GPL-3.0-or-later
// The zero-window nodes (beta - 1, beta): cut and all nodes from depth 7, shallow nodes
// from 2 to 6, and their in-check twins. All pruning of the search happens here.
#include "board/makemove.h"
#include "board/movecheck.h"
#include "movegen/movepick.h"
#include "search/extensions.h"
#include "search/node.h"
#include "search/quiesce.h"
#include "search/search.h"

namespace zekora {

namespace {

using namespace node;

enum class Kind { Cut, All, Shallow };

// A cut node's children are all nodes and the other way round; shallow nodes stay shallow.
template <Kind K>
constexpr const ZeroWindowNodeFn* ChildTable = K == Kind::Cut   ? allNodeTable
                                               : K == Kind::All ? cutNodeTable
                                                                : shallowNodeTable;

// A late quiet move that is not worth searching: beyond the move count of its depth, beyond
// the futility count when the node is far below beta, or beyond the exchange count when it
// loses material.
bool prunedLateMove(const Position& pos, Move m, int n, int depth, int eval, int beta) {
    const int d = pruningIndex(depth);
    if (n > moveCountLimit[d]) return true;
    if (n > futilityMoveLimit[d] && eval + FutilityMargin < beta) return true;
    return n > seeMoveLimit[d] && !exchangeNotLosing(pos, m);
}

// Reductions and pruning apply to late moves of the quiet and postponed stages, and only
// while some move has escaped being mated.
bool lateMoveEligible(const MovePicker& picker, int lmrAllowed, int n, int best) {
    return lmrAllowed && n >= FirstLateMove && StageScript[picker.stage] >= StageQuiets &&
           best > -MateBound;
}

// The per-move bookkeeping shared by every zero-window node: the child's check flag, the
// capture square or quiet list, and the extension.
struct MoveFacts {
    int childInCheck;
    bool tactical;
    int ext;
    int lmrAllowed;
};

MoveFacts examineMove(Position& pos, SearchStackEntry& entry, QuietList& quiets,
                      const CheckInfo& checks, Move m, int ply) {
    MoveFacts f{givesCheck(pos, m, checks), isTactical(pos, m), 0, 1};
    if (f.tactical)
        entry.captureSquare = moveTo(m);
    else
        quiets.add(m);
    if (f.childInCheck) {
        f.ext = CheckExtension;
        f.lmrAllowed = 0;
    } else {
        moveExtension(pos, m, NonPvNode, ply, f.ext, f.lmrAllowed);
    }
    return f;
}

// A child's score taken into the node's best; a score at or above beta ends the node, which
// then records the cutoff in the statistics and stores the move in the table.
inline bool failsHigh(Position& pos, SearchStackEntry& entry, QuietList& quiets, Move m,
                      const MoveFacts& f, int depth, int ply, int beta, int score, int& best) {
    if (score <= best) return false;
    best = score;
    if (score < beta) return false;
    recordCutoff(pos, entry, m, !f.tactical, quiets, depth);
    storeEntry(pos, m, depth, ply, BoundLower, score);
    return true;
}

// Null move at cut and all nodes: if passing still fails high, and a shallower search of the
// node without null move confirms it, the node fails high.
bool nullMoveCutoff(Position& pos, int beta, int depth, int ply, int eval, int& score) {
    const int nullDepth =
        depth - (eval - DeepNullEvalMargin < beta ? NullReduction : DeepNullReduction);
    UndoRecord undo;
    makeNullMove(pos, undo);
    const int v =
        -allNodeTable[sideToMoveInCheck(pos)](pos, 1 - beta, nullDepth, ply + 1, NoNullFlags);
    unmakeNullMove(pos, undo);
    if (v < beta) return false;
    const int verified = searchCut(pos, beta, nullDepth, ply, NoNullFlags);
    if (verified < beta) return false;
    storeEntry(pos, NoMove, depth, ply, BoundLower, verified);
    score = verified;
    return true;
}

// Cut and all nodes, side to move not in check.
template <Kind K>
int fullNode(Position& pos, int beta, int depth, int ply, int nodeFlags) {
    // Step 1. Below depth 7 the node is a shallow node.
    if (depth < FullNodeMinDepth) return searchShallow(pos, beta, depth, ply, nodeFlags);
    // Steps 2 to 7. Count, stack limit, mate distance, draw, transposition table.
    Move hashMove;
    int score;
    if (zeroWindowPrologue(pos, beta, depth, ply, hashMove, score)) return score;
    // Step 8. Static evaluation.
    const int eval = staticEval(pos);
    // Step 9. Null move with verification. The stack entry of this ply still holds what the
    // previous node at this ply left there; this node takes it over only in step 11.
    if (hasPieces(pos) && !isMateBound(beta) && (nodeFlags & NullAllowed) && eval >= beta &&
        nullMoveCutoff(pos, beta, depth, ply, eval, score))
        return score;
    // Step 10. Internal iterative deepening at cut nodes without a table move.
    if constexpr (K == Kind::Cut) {
        if (depth >= CutIidMinDepth && hashMove == NoMove) {
            searchCut(pos, beta, depth - IidReduction, ply, NoNullFlags);
            hashMove = probeMove(pos);
        }
    }
    // Step 11. Own stack entry and move picker.
    SearchStackEntry& entry = enterNode(pos, ply, 0, hashMove);
    MovePicker picker;
    startMovePicker(picker, pos, false, AllSquares, 1);
    // Step 12. No legal move: stalemate.
    Move m = nextMove(picker);
    if (m == NoMove) return DrawScore;
    // Step 13. The moves, late ones reduced or pruned.
    constexpr const ZeroWindowNodeFn* children = ChildTable<K>;
    int best = NoScore;
    QuietList quiets;
    quiets.clear();
    CheckInfo checks;
    prepareCheckInfo(pos, checks);
    for (int n = 1; m != NoMove; m = nextMove(picker), ++n) {
        const MoveFacts f = examineMove(pos, entry, quiets, checks, m, ply);
        const int newDepth = depth - OnePly + f.ext;
        int reduction = 0;
        if (lateMoveEligible(picker, f.lmrAllowed, n, best)) {
            if (f.tactical)
                reduction = LateTacticalReduction;
            else if (prunedLateMove(pos, m, n, depth, eval, beta))
                continue; // stays in the quiet list
            else
                reduction = floorLog2(n);
        }
        UndoRecord undo;
        makeSearchMove(pos, undo, m, newDepth - reduction);
        score =
            -children[f.childInCheck](pos, 1 - beta, newDepth - reduction, ply + 1, AllNodeFlags);
        if (reduction > 0 && score >= beta)
            score = -children[f.childInCheck](pos, 1 - beta, newDepth, ply + 1, AllNodeFlags);
        unmakeMove(pos, undo, m);
        if (failsHigh(pos, entry, quiets, m, f, depth, ply, beta, score, best)) return score;
    }
    // Step 14. Fail low.
    storeEntry(pos, NoMove, depth, ply, BoundUpper, best);
    return best;
}

// Shallow nodes (depth 2 to 6), side to move not in check: razoring, static null move and a
// null move straight into quiescence; late quiet moves are pruned, never reduced.
int shallowNode(Position& pos, int beta, int depth, int ply, int nodeFlags) {
    // Step 1. Below depth 2 the node is a quiescence node at quiescence depth 0.
    if (depth < ShallowMinDepth) return quiesce(pos, beta, 0, ply);
    // Steps 2 to 7. Count, stack limit, mate distance, draw, transposition table.
    Move hashMove;
    int score;
    if (zeroWindowPrologue(pos, beta, depth, ply, hashMove, score)) return score;
    // Step 8. Static evaluation.
    const int eval = staticEval(pos);
    const bool mateWindow = isMateBound(beta);
    const bool nullAllowed = (nodeFlags & NullAllowed) != 0;
    // Step 9. Razoring: far below beta, trust quiescence when it confirms the fail low.
    const int razorBeta = beta - RazorMarginPerDepth * depth;
    if (eval < razorBeta && !mateWindow) {
        const int v = quiesce(pos, razorBeta, 0, ply);
        if (v < razorBeta) return v;
    }
    if (hasPieces(pos)) {
        // Step 10. Static null-move pruning: far enough above beta, fail high at once.
        const int margin = StaticNullMarginPerDepth * depth;
        if (nullAllowed && !mateWindow && eval - margin >= beta) return eval - margin;
        // Step 11. Null move into quiescence, without verification or store.
        if (depth >= ShallowNullMinDepth && !mateWindow && nullAllowed && eval >= beta) {
            UndoRecord undo;
            makeNullMove(pos, undo);
            const int v = -quiesceNodeTable[sideToMoveInCheck(pos)](pos, 1 - beta, 0, ply + 1);
            unmakeNullMove(pos, undo);
            if (v >= beta) return v;
        }
    }
    // Step 12. Own stack entry and move picker (bad quiet moves are not postponed).
    SearchStackEntry& entry = enterNode(pos, ply, 0, hashMove);
    MovePicker picker;
    startMovePicker(picker, pos, false, AllSquares, 0);
    // Step 13. No legal move: stalemate.
    Move m = nextMove(picker);
    if (m == NoMove) return DrawScore;
    // Step 14. The moves, late quiet ones pruned.
    int best = NoScore;
    QuietList quiets;
    quiets.clear();
    CheckInfo checks;
    prepareCheckInfo(pos, checks);
    for (int n = 1; m != NoMove; m = nextMove(picker), ++n) {
        const MoveFacts f = examineMove(pos, entry, quiets, checks, m, ply);
        if (!f.tactical && lateMoveEligible(picker, f.lmrAllowed, n, best) &&
            prunedLateMove(pos, m, n, depth, eval, beta))
            continue; // stays in the quiet list
        UndoRecord undo;
        makeSearchMove(pos, undo, m, depth - OnePly + f.ext);
        score = -shallowNodeTable[f.childInCheck](pos, 1 - beta, depth - OnePly + f.ext, ply + 1,
                                                  AllNodeFlags);
        unmakeMove(pos, undo, m);
        if (failsHigh(pos, entry, quiets, m, f, depth, ply, beta, score, best)) return score;
    }
    // Step 15. Fail low.
    storeEntry(pos, NoMove, depth, ply, BoundUpper, best);
    return best;
}

// The in-check twins of all three kinds: every evasion at full depth, nothing pruned.
template <Kind K>
int evasionNode(Position& pos, int beta, int depth, int ply, int nodeFlags) {
    // Step 1. Below their depth ranges cut and all nodes become shallow nodes, and shallow
    // nodes quiescence nodes at quiescence depth 0.
    if constexpr (K == Kind::Shallow) {
        if (depth < ShallowMinDepth) return quiesceInCheck(pos, beta, 0, ply);
    } else {
        if (depth < FullNodeMinDepth) return searchShallowInCheck(pos, beta, depth, ply, nodeFlags);
    }
    // Steps 2 to 7. Count, stack limit, mate distance, draw, transposition table.
    Move hashMove;
    int score;
    if (zeroWindowPrologue(pos, beta, depth, ply, hashMove, score)) return score;
    // Step 8. Internal iterative deepening at cut nodes without a table move.
    if constexpr (K == Kind::Cut) {
        if (depth >= CutIidMinDepth && hashMove == NoMove) {
            searchCutInCheck(pos, beta, depth - IidReduction, ply, NoNullFlags);
            hashMove = probeMove(pos);
        }
    }
    // Step 9. Own stack entry and move picker for the evasions.
    SearchStackEntry& entry = enterNode(pos, ply, 1, hashMove);
    MovePicker picker;
    startMovePicker(picker, pos, true, AllSquares, 0);
    // Step 10. No evasion: checkmate.
    Move m = nextMove(picker);
    if (m == NoMove) return ply - MateValue;
    // Step 11. Every evasion at full depth.
    constexpr const ZeroWindowNodeFn* children = ChildTable<K>;
    int best = NoScore;
    QuietList quiets;
    quiets.clear();
    CheckInfo checks;
    prepareCheckInfo(pos, checks);
    for (; m != NoMove; m = nextMove(picker)) {
        const MoveFacts f = examineMove(pos, entry, quiets, checks, m, ply);
        UndoRecord undo;
        makeSearchMove(pos, undo, m, depth - OnePly + f.ext);
        score =
            -children[f.childInCheck](pos, 1 - beta, depth - OnePly + f.ext, ply + 1, AllNodeFlags);
        unmakeMove(pos, undo, m);
        if (failsHigh(pos, entry, quiets, m, f, depth, ply, beta, score, best)) return score;
    }
    // Step 12. Fail low.
    storeEntry(pos, NoMove, depth, ply, BoundUpper, best);
    return best;
}

} // namespace

int searchCut(Position& pos, int beta, int depth, int ply, int nodeFlags) {
    return fullNode<Kind::Cut>(pos, beta, depth, ply, nodeFlags);
}

int searchAll(Position& pos, int beta, int depth, int ply, int nodeFlags) {
    return fullNode<Kind::All>(pos, beta, depth, ply, nodeFlags);
}

int searchShallow(Position& pos, int beta, int depth, int ply, int nodeFlags) {
    return shallowNode(pos, beta, depth, ply, nodeFlags);
}

int searchCutInCheck(Position& pos, int beta, int depth, int ply, int nodeFlags) {
    return evasionNode<Kind::Cut>(pos, beta, depth, ply, nodeFlags);
}

int searchAllInCheck(Position& pos, int beta, int depth, int ply, int nodeFlags) {
    return evasionNode<Kind::All>(pos, beta, depth, ply, nodeFlags);
}

int searchShallowInCheck(Position& pos, int beta, int depth, int ply, int nodeFlags) {
    return evasionNode<Kind::Shallow>(pos, beta, depth, ply, nodeFlags);
}

} // namespace zekora
