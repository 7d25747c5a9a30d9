// SPDX-License-Identifier: GPL-3.0-or-later
// Helpers of the evaluation tests: tables, positions from FEN, colour flips, random games.
#pragma once

#include <cstring>
#include <string>
#include <vector>

#include "board/attacks.h"
#include "board/makemove.h"
#include "board/zobrist.h"
#include "eval/evaluate.h"
#include "eval/psqt.h"
#include "movegen/movelist.h"
#include "support/test_position.h"
#include "uci/setup.h"

namespace zekora::test {

// Ranks mirrored, colours swapped, the other side to move.
inline Position colourFlipped(const Position& pos) {
    Position flip;
    std::memset(&flip, 0, sizeof flip);
    for (Square s = 0; s < 64; ++s) {
        int code = pos.board[s];
        if (!code) continue;
        Square to = flipRank(s);
        int colour = opponent(colorOf(code));
        flip.board[to] = isBishop(code) ? bishopCode(colour, to) : withColor(code, colour);
    }
    flip.sideToMove = pos.sideToMove ^ 1;
    flip.castling = uint8_t(((pos.castling & 3) << 2) | ((pos.castling >> 2) & 3));
    flip.epSquare = pos.epSquare == NoSquare ? NoSquare : flipRank(pos.epSquare);
    flip.halfmoveClock = pos.halfmoveClock;
    completePosition(flip);
    return flip;
}

inline void clearEvalCaches() {
    std::memset(EvalCache, 0, sizeof EvalCache);
    std::memset(MaterialTable, 0, sizeof MaterialTable);
    std::memset(PawnHashTable, 0, sizeof PawnHashTable);
}

// The evaluation from White's point of view.
inline int whiteView(const Position& pos) {
    int score = evaluate(pos, 0, 0);
    return pos.sideToMove == White ? score : -score;
}

// Plays a random legal move; false when there is none.
inline bool playRandomMove(Position& pos, uint64_t& seed) {
    MoveList list;
    list.clear();
    CaptureGenerators[pos.sideToMove](pos, list, ~Bitboard(0));
    QuietGenerators[pos.sideToMove](pos, list, ~Bitboard(0));
    std::vector<Move> legal;
    for (int i = 0; i < list.count; ++i) {
        int us = int(pos.sideToMove);
        UndoRecord undo;
        makeMove(pos, undo, list.moves[i]);
        if (!isSquareAttacked(pos, pos.kingSquare[us], opponent(us)))
            legal.push_back(list.moves[i]);
        unmakeMove(pos, undo, list.moves[i]);
    }
    if (legal.empty()) return false;
    seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
    UndoRecord undo;
    makeMove(pos, undo, legal[(seed >> 33) % legal.size()]);
    pos.historyCount = 1; // long games must not fill the key history
    pos.keyHistory[0] = pos.key;
    return true;
}

// Positions along random games from each start position.
inline std::vector<Position> randomGamePositions(const std::vector<std::string>& fens, int games,
                                                 int plies, uint64_t seed) {
    std::vector<Position> positions;
    for (const std::string& fen : fens)
        for (int game = 0; game < games; ++game) {
            Position pos = positionFromFen(fen);
            positions.push_back(pos);
            for (int ply = 0; ply < plies && playRandomMove(pos, seed); ++ply)
                positions.push_back(pos);
        }
    return positions;
}

} // namespace zekora::test
