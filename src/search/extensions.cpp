// SPDX-License-Identifier: GPL-3.0-or-later
#include "search/extensions.h"

#include <algorithm>

#include "board/attacks.h"
#include "board/movecheck.h"
#include "eval/pawns.h"
#include "search/margins.h"

namespace zekora {

const int32_t extensionTable[18] = {
    0, 2,                   // recapture: non-PV, PV
    0, 0, 0, 0, 0, 0, 2, 0, // passed pawn, non-PV, by relative rank
    0, 0, 0, 0, 0, 0, 2, 0, // passed pawn, PV, by relative rank
};

namespace {

constexpr int RecaptureIndex = 0;
constexpr int PassedPawnIndex = 2;
constexpr int HistoryLimit = 32000;

// The root does not track its tactical moves in its stack entry, so the children of the
// root (ply 1) never count a move as a recapture.
constexpr int FirstRecapturePly = 2;

} // namespace

void moveExtension(const Position& pos, Move move, int nodeKind, int ply, int& ext,
                   int& lmrAllowed) {
    const Square to = moveTo(move);
    const bool capture = pos.board[to] != Empty; // en passant is not a capture here
    if (ply == 0) {
        if (capture && exchangeNotLosing(pos, move)) {
            ext = OnePly;
            lmrAllowed = 0;
            return;
        }
    } else if (capture && ply >= FirstRecapturePly && to == searchStack[ply - 1].captureSquare &&
               exchangeWinning(pos, move)) {
        ext = extensionTable[RecaptureIndex + nodeKind];
        lmrAllowed = 0;
        return;
    }
    if (moveKind(move) == FlagCastle) {
        ext = 0;
        lmrAllowed = 0;
        return;
    }
    const int piece = pos.board[moveFrom(move)];
    if (!isPawn(piece)) return;
    const int us = colorOf(piece);
    if (PassedMask[us][to] & pos.bitboards[Pawn + opponent(us)]) return;
    if (losesMaterial(pos, move)) return;
    ext = extensionTable[PassedPawnIndex + 8 * nodeKind + relativeRank(us, to)];
    lmrAllowed = 0;
}

void recordCutoff(const Position& pos, SearchStackEntry& entry, Move move, bool quiet,
                  const QuietList& quiets, int depth) {
    const int bonus = depth * depth;
    if (quiet) {
        if (move != entry.killers[0]) {
            entry.killers[1] = entry.killers[0];
            entry.killers[0] = move;
        }
        int32_t& h = historyTable[pos.board[moveFrom(move)]][moveTo(move)];
        h = std::min(h + bonus, HistoryLimit);
    }
    // The most recent quiet move is spared: it is the cutoff move itself when that is quiet.
    for (int i = 0; i < quiets.count - 1; ++i) {
        const Move m = quiets.moves[i];
        int32_t& h = historyTable[pos.board[moveFrom(m)]][moveTo(m)];
        h = std::max(h - bonus, -HistoryLimit);
    }
}

} // namespace zekora
