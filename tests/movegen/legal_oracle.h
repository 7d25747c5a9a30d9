// SPDX-License-Identifier: GPL-3.0-or-later
// Brute-force references for the move tests, the evasion and check generators and the move
// picker: all pseudo-legal moves, filtered by playing each one and looking at the king.
#pragma once

#include <algorithm>
#include <cctype>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "board/attacks.h"
#include "board/makemove.h"
#include "board/zobrist.h"
#include "eval/psqt.h"
#include "movegen/movelist.h"
#include "movegen/movepick.h"
#include "movegen/perft_data.h"
#include "support/test_position.h"
#include "uci/setup.h"

namespace zekora::test {

inline bool inCheck(const Position& pos) {
    int us = int(pos.sideToMove);
    return isSquareAttacked(pos, pos.kingSquare[us], opponent(us));
}

// Fills a search stack entry the way the tree search does and points the position at it.
inline void enterNode(Position& pos, SearchStackEntry& entry, Move hashMove = NoMove,
                      Move killer0 = NoMove, Move killer1 = NoMove) {
    entry.inCheck = inCheck(pos) ? 1 : 0;
    entry.pinned = pinnedPieces(pos, int(pos.sideToMove));
    entry.hashMove = hashMove;
    entry.killers[0] = killer0;
    entry.killers[1] = killer1;
    entry.captureSquare = NoSquare;
    pos.stackEntry = &entry;
}

inline std::vector<Move> toVector(const MoveList& list) {
    return std::vector<Move>(list.moves, list.moves + list.count);
}

inline std::vector<Move> sorted(std::vector<Move> moves) {
    std::sort(moves.begin(), moves.end());
    return moves;
}

// Captures, promotions and quiet moves as the generators list them.
inline std::vector<Move> pseudoLegalMoves(const Position& pos) {
    std::vector<Move> moves;
    MoveList list;
    for (GeneratorFn generate :
         {CaptureGenerators[pos.sideToMove], QuietGenerators[pos.sideToMove]}) {
        list.clear();
        generate(pos, list, ~Bitboard(0));
        for (int i = 0; i < list.count; ++i) moves.push_back(list.moves[i]);
    }
    return moves;
}

inline bool kingSafeAfter(Position& pos, Move move) {
    int us = int(pos.sideToMove);
    UndoRecord undo;
    makeMove(pos, undo, move);
    bool safe = !isSquareAttacked(pos, pos.kingSquare[us], opponent(us));
    unmakeMove(pos, undo, move);
    return safe;
}

inline bool checksAfter(Position& pos, Move move) {
    UndoRecord undo;
    makeMove(pos, undo, move);
    bool check = inCheck(pos);
    unmakeMove(pos, undo, move);
    return check;
}

inline std::vector<Move> legalMoves(Position& pos) {
    std::vector<Move> legal;
    for (Move m : pseudoLegalMoves(pos))
        if (kingSafeAfter(pos, m)) legal.push_back(m);
    return legal;
}

inline std::string moveName(Move m) { return moveToText(m); }

inline std::string moveNames(const std::vector<Move>& moves) {
    std::string text;
    for (Move m : moves) text += moveName(m) + " ";
    return text;
}

// The same position with colours exchanged and the board turned upside down.
inline std::string mirrorFen(const std::string& fen) {
    std::istringstream in(fen);
    std::string placement, side, castling = "-", ep = "-", halfmove = "0", fullmove = "1";
    in >> placement >> side >> castling >> ep >> halfmove >> fullmove;
    auto swapCase = [](std::string text) {
        for (char& c : text) c = std::isupper(c) ? char(std::tolower(c)) : char(std::toupper(c));
        return text;
    };
    std::string mirrored;
    for (size_t end = placement.size(); end != std::string::npos;) {
        size_t slash = placement.rfind('/', end - 1);
        size_t begin = slash == std::string::npos ? 0 : slash + 1;
        mirrored += placement.substr(begin, end - begin);
        if (slash == std::string::npos) break;
        mirrored += '/';
        end = slash;
    }
    if (ep != "-") ep[1] = char('1' + '8' - ep[1]);
    return swapCase(mirrored) + (side == "w" ? " b " : " w ") + swapCase(castling) + " " + ep +
           " " + halfmove + " " + fullmove;
}

// The move of the mirrored position; bishops change square colour as well as side.
inline Move mirrorMove(Move m) {
    int kind = moveKind(m);
    if (isPromotion(m)) kind = isBishop(kind) ? 15 - kind : kind ^ 1;
    return encodeMove(moveFrom(m) ^ 56, moveTo(m) ^ 56, kind);
}

// Small deterministic generator, so that failures can be replayed.
struct Random {
    uint64_t state;
    uint64_t next() {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return state;
    }
    size_t below(size_t n) { return size_t(next() % n); }
};

// Number of pieces checking the side to move after the move.
inline int checkersAfter(Position& pos, Move move) {
    UndoRecord undo;
    makeMove(pos, undo, move);
    int us = int(pos.sideToMove);
    int checkers = popcount(attackersTo(pos, pos.kingSquare[us], opponent(us)));
    unmakeMove(pos, undo, move);
    return checkers;
}

// Positions reached by random games from the perft positions. Checking moves, and double
// checks most of all, are preferred, so that many positions are in check.
inline std::vector<Position> randomPositions(uint64_t seed, int pliesPerGame) {
    Random random{seed};
    std::vector<Position> positions;
    for (const PerftCase& c : loadPerftCases()) {
        Position pos = positionFromFen(c.fen);
        for (int ply = 0; ply < pliesPerGame; ++ply) {
            positions.push_back(pos);
            std::vector<Move> moves = legalMoves(pos);
            if (moves.empty() || pos.historyCount > 900) break;
            std::vector<Move> checks, doubleChecks;
            for (Move m : moves) {
                int checkers = checkersAfter(pos, m);
                if (checkers) checks.push_back(m);
                if (checkers > 1) doubleChecks.push_back(m);
            }
            for (Move m : doubleChecks) { // rare in play: every one found is kept
                Position child = pos;
                UndoRecord undo;
                makeMove(child, undo, m);
                positions.push_back(child);
            }
            const std::vector<Move>& pool = !doubleChecks.empty() && random.below(2) ? doubleChecks
                                            : !checks.empty() && random.below(2)     ? checks
                                                                                     : moves;
            UndoRecord undo;
            makeMove(pos, undo, pool[random.below(pool.size())]);
        }
    }
    return positions;
}

} // namespace zekora::test
