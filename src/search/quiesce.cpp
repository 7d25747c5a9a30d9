// SPDX-License-Identifier: GPL-3.0-or-later
#include "search/quiesce.h"

#include "board/makemove.h"
#include "board/movecheck.h"
#include "movegen/movelist.h"
#include "search/node.h"

namespace zekora {

namespace {

using namespace node;

// Steps 1 to 4 of every quiescence node: count, stack limit, mate distance, draw. Returns
// true when the node ends here, with its result in score; narrows alpha and beta otherwise.
bool quiesceEntry(const Position& pos, int& alpha, int& beta, int ply, int& score) {
    countNode();
    if (ply == MaxPly) {
        score = staticEval(pos);
        return true;
    }
    alpha = std::max(alpha, ply - MateValue);
    beta = std::min(beta, MateValue - ply);
    if (alpha >= beta) {
        score = alpha;
        return true;
    }
    if (isDraw(pos)) {
        score = DrawScore;
        return true;
    }
    return false;
}

// A quiescence node's stack entry: no table move, no capture square.
void enterQuiesceNode(Position& pos, int ply, int inCheck) {
    SearchStackEntry& entry = searchStack[ply];
    pos.stackEntry = &entry;
    entry.inCheck = inCheck;
    entry.pinned = pinnedPieces(pos, pos.sideToMove);
    entry.hashMove = NoMove;
}

// Delta pruning: the capture targets that can still lift eval to beta. Whole classes of
// victims are dropped while even an optimistic gain from them falls short, and the node's
// best score starts from that optimistic gain instead of eval.
Bitboard deltaTargets(const Position& pos, int eval, int beta, int& best) {
    const int them = opponent(pos.sideToMove);
    const Bitboard* bb = pos.bitboards;
    Bitboard targets = AllSquares;
    if (eval + PawnDeltaMargin >= beta) return targets;
    targets &= ~bb[Pawn + them];
    if (pos.epSquare != NoSquare) targets &= ~SquareBit[pos.epSquare];
    best = eval + PawnDeltaScore;
    if (eval + MinorDeltaMargin >= beta) return targets;
    targets &= ~(bb[Knight + them] | bb[LightBishop + them] | bb[DarkBishop + them]);
    best = eval + MinorDeltaScore;
    if (eval + RookDeltaMargin >= beta) return targets;
    targets &= ~bb[Rook + them];
    best = eval + RookDeltaScore;
    return targets;
}

// A quiet check worth trying: legal and not losing material.
bool soundQuietCheck(Position& pos, Move m) { return isLegal(pos, m) && exchangeNotLosing(pos, m); }

} // namespace

int quiesce(Position& pos, int beta, int depth, int ply) {
    // Steps 1 to 4. Count, stack limit, mate distance, draw.
    int alpha = beta - 1, score;
    if (quiesceEntry(pos, alpha, beta, ply, score)) return score;
    // Step 5. Stand pat.
    const int eval = staticEval(pos);
    if (eval >= beta) return eval;
    // Step 6. Own stack entry.
    enterQuiesceNode(pos, ply, 0);
    // Step 7. Delta pruning by target squares.
    int best = eval;
    const Bitboard targets = deltaTargets(pos, eval, beta, best);
    // Step 8. Captures in generation order.
    MoveList list;
    list.clear();
    CaptureGenerators[pos.sideToMove](pos, list, targets);
    for (int i = 0; i < list.count; ++i) {
        const Move m = list.moves[i];
        if (!isLegal(pos, m) || losesMaterial(pos, m)) continue;
        UndoRecord undo;
        makeQuiesceMove(pos, undo, m);
        const int v = -quiesceNodeTable[sideToMoveInCheck(pos)](pos, 1 - beta, depth - 1, ply + 1);
        unmakeMove(pos, undo, m);
        if (v <= best) continue;
        if (v >= beta) return v;
        best = v;
    }
    // Step 9. Quiet checks only near the entry of quiescence.
    if (depth < QuiesceCheckDepth) return best;
    // Step 10. Quiet checks.
    list.clear();
    CheckGenerators[pos.sideToMove](pos, list);
    for (int i = 0; i < list.count; ++i) {
        const Move m = list.moves[i];
        if (!soundQuietCheck(pos, m)) continue;
        UndoRecord undo;
        makeMove(pos, undo, m);
        const int v = -quiesceInCheck(pos, 1 - beta, depth - 1, ply + 1);
        unmakeMove(pos, undo, m);
        if (v <= best) continue;
        best = v;
        if (v >= beta) break;
    }
    return best;
}

int quiesceInCheck(Position& pos, int beta, int depth, int ply) {
    // Steps 1 to 4. Count, stack limit, mate distance, draw. No stand pat in check.
    int alpha = beta - 1, score;
    if (quiesceEntry(pos, alpha, beta, ply, score)) return score;
    // Step 5. Own stack entry.
    enterQuiesceNode(pos, ply, 1);
    // Step 6. All evasions; none is checkmate.
    MoveList list;
    list.clear();
    EvasionGenerators[pos.sideToMove](pos, list);
    if (list.count == 0) return ply - MateValue;
    // Step 7. A single forced evasion does not use up quiescence depth.
    const int childDepth = list.count == 1 ? depth + 1 : depth - 1;
    // Step 8. The evasions (all legal).
    int best = NoScore;
    for (int i = 0; i < list.count; ++i) {
        const Move m = list.moves[i];
        UndoRecord undo;
        makeQuiesceMove(pos, undo, m);
        const int v = -quiesceNodeTable[sideToMoveInCheck(pos)](pos, 1 - beta, childDepth, ply + 1);
        unmakeMove(pos, undo, m);
        if (v <= best) continue;
        best = v;
        if (v >= beta) break;
    }
    return best;
}

int quiescePV(Position& pos, int alpha, int beta, int depth, int ply, PrincipalVariation& pv) {
    // Steps 1 to 4. Count, stack limit, mate distance, draw.
    int score;
    if (quiesceEntry(pos, alpha, beta, ply, score)) return score;
    // Step 5. Stand pat.
    const int eval = staticEval(pos);
    if (eval >= beta) return eval;
    // Step 6. Own stack entry.
    enterQuiesceNode(pos, ply, 0);
    // Step 7. Every capture, no delta pruning and no exchange filter.
    int a = std::max(alpha, eval);
    int best = eval;
    MoveList list;
    list.clear();
    CaptureGenerators[pos.sideToMove](pos, list, AllSquares);
    PrincipalVariation childPv;
    for (int i = 0; i < list.count; ++i) {
        const Move m = list.moves[i];
        if (!isLegal(pos, m)) continue;
        UndoRecord undo;
        makeQuiesceMove(pos, undo, m);
        childPv.clear();
        const int v = -quiescePVNodeTable[sideToMoveInCheck(pos)](pos, -beta, -a, depth - 1,
                                                                  ply + 1, childPv);
        unmakeMove(pos, undo, m);
        if (v <= best) continue;
        if (v > a) {
            pv.set(m, childPv);
            if (v >= beta) return v;
            a = v;
        }
        best = v;
    }
    // Step 8. Quiet checks only near the entry of quiescence.
    if (depth < QuiescePVCheckDepth) return best;
    // Step 9. Quiet checks.
    list.clear();
    CheckGenerators[pos.sideToMove](pos, list);
    for (int i = 0; i < list.count; ++i) {
        const Move m = list.moves[i];
        if (!soundQuietCheck(pos, m)) continue;
        UndoRecord undo;
        makeMove(pos, undo, m);
        childPv.clear();
        const int v = -quiescePVInCheck(pos, -beta, -a, depth - 1, ply + 1, childPv);
        unmakeMove(pos, undo, m);
        if (v <= best) continue;
        if (v > a) {
            pv.set(m, childPv);
            if (v >= beta) return v;
            a = v;
        }
        best = v;
    }
    return best;
}

int quiescePVInCheck(Position& pos, int alpha, int beta, int depth, int ply,
                     PrincipalVariation& pv) {
    // Steps 1 to 4. Count, stack limit, mate distance, draw. No stand pat in check.
    int score;
    if (quiesceEntry(pos, alpha, beta, ply, score)) return score;
    // Step 5. Own stack entry.
    enterQuiesceNode(pos, ply, 1);
    // Step 6. All evasions; none is checkmate.
    MoveList list;
    list.clear();
    EvasionGenerators[pos.sideToMove](pos, list);
    if (list.count == 0) return ply - MateValue;
    // Step 7. A single forced evasion does not use up quiescence depth.
    if (list.count == 1) depth += 2;
    // Step 8. The evasions (all legal).
    int best = NoScore;
    int a = alpha;
    PrincipalVariation childPv;
    for (int i = 0; i < list.count; ++i) {
        const Move m = list.moves[i];
        UndoRecord undo;
        makeQuiesceMove(pos, undo, m);
        childPv.clear();
        const int v = -quiescePVNodeTable[sideToMoveInCheck(pos)](pos, -beta, -a, depth - 1,
                                                                  ply + 1, childPv);
        unmakeMove(pos, undo, m);
        if (v <= best) continue;
        best = v;
        if (v > a) {
            pv.set(m, childPv);
            if (v >= beta) break;
            a = v;
        }
    }
    return best;
}

} // namespace zekora
