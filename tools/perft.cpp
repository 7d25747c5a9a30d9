// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/perft.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "board/attacks.h"
#include "board/makemove.h"
#include "movegen/movelist.h"
#include "tools/commands.h"
#include "tools/perft_picker.h"
#include "uci/setup.h"

namespace zekora::tool {

namespace {

constexpr Bitboard AllSquares = ~Bitboard(0);

void generateAll(const Position& pos, MoveList& list) {
    list.clear();
    CaptureGenerators[pos.sideToMove](pos, list, AllSquares);
    QuietGenerators[pos.sideToMove](pos, list, AllSquares);
}

bool leavesKingAttacked(Position& pos, Move m) {
    int us = int(pos.sideToMove);
    UndoRecord undo;
    makeMove(pos, undo, m);
    bool attacked = isSquareAttacked(pos, pos.kingSquare[us], us ^ 1);
    unmakeMove(pos, undo, m);
    return attacked;
}

// Is the square attacked by them once our king has left the occupancy (so that it cannot
// hide behind itself from a slider)?
bool attackedWithoutKing(const Position& pos, Square s, int them, Bitboard occ) {
    const Bitboard* bb = pos.bitboards;
    return (PawnAttacks[them ^ 1][s] & bb[Pawn + them]) || (KnightAttacks[s] & bb[Knight + them]) ||
           (KingAttacks[s] & bb[King + them]) ||
           (bishopAttacks(s, occ) & diagonalSliders(pos, them)) ||
           (rookAttacks(s, occ) & straightSliders(pos, them));
}

// The number of legal moves in the list, the same as playing each and testing the king, but
// without playing any except en-passant captures.
uint64_t countLegal(Position& pos, const MoveList& list) {
    const int us = int(pos.sideToMove), them = us ^ 1;
    const Square king = pos.kingSquare[us];
    const Bitboard checkers = attackersTo(pos, king, them);
    const Bitboard pinned = pinnedPieces(pos, us);
    const Bitboard occWithoutKing = pos.occupied() ^ SquareBit[king];
    // Squares where a non-king move answers a single check: capture or block.
    const Bitboard answers = !checkers               ? AllSquares
                             : moreThanOne(checkers) ? 0
                                                     : checkers | Between[king][lsb(checkers)];

    uint64_t legal = 0;
    for (int i = 0; i < list.count; ++i) {
        Move m = list.moves[i];
        Square from = moveFrom(m), to = moveTo(m);
        if (from == king) {
            // Castling is fully tested by its generator.
            legal +=
                moveKind(m) == FlagCastle || !attackedWithoutKing(pos, to, them, occWithoutKing);
        } else if (moveKind(m) == FlagEnPassant) {
            legal += !leavesKingAttacked(pos, m);
        } else {
            legal += (SquareBit[to] & answers) &&
                     (!(pinned & SquareBit[from]) || (Line[king][from] & SquareBit[to]));
        }
    }
    return legal;
}

std::string joinArguments(int argc, char** argv) {
    std::string text;
    for (int i = 0; i < argc; ++i) {
        if (i) text += ' ';
        text += argv[i];
    }
    return text;
}

} // namespace

uint64_t perft(Position& pos, int depth) {
    if (depth <= 0) return 1;
    MoveList list;
    generateAll(pos, list);
    if (depth == 1) return countLegal(pos, list);
    const int us = int(pos.sideToMove);
    uint64_t leaves = 0;
    for (int i = 0; i < list.count; ++i) {
        UndoRecord undo;
        makeMove(pos, undo, list.moves[i]);
        if (!isSquareAttacked(pos, pos.kingSquare[us], us ^ 1)) leaves += perft(pos, depth - 1);
        unmakeMove(pos, undo, list.moves[i]);
    }
    return leaves;
}

int runPerft(int depth, const char* fen, LeafCounter count) {
    std::string command = std::string("fen ") + (fen ? fen : StartFen);
    loadPosition(command.c_str());
    if (!currentPositionUsable) {
        std::printf("not a position that can be played: %s\n", fen ? fen : StartFen);
        return 1;
    }
    static Position pos; // large; kept off the stack
    pos = currentPosition;
    const int us = int(pos.sideToMove);

    auto start = std::chrono::steady_clock::now();
    uint64_t total = 0;
    MoveList list;
    generateAll(pos, list);
    for (int i = 0; depth > 0 && i < list.count; ++i) {
        Move m = list.moves[i];
        UndoRecord undo;
        makeMove(pos, undo, m);
        if (!isSquareAttacked(pos, pos.kingSquare[us], us ^ 1)) {
            uint64_t leaves = count(pos, depth - 1);
            std::printf("%s: %llu\n", moveToText(m), (unsigned long long)leaves);
            total += leaves;
        }
        unmakeMove(pos, undo, m);
    }
    if (depth <= 0) total = 1;
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("time %.3f s, %.0f leaves per second\n", seconds,
                seconds > 0 ? double(total) / seconds : 0.0);
    std::printf("nodes %llu\n", (unsigned long long)total);
    return 0;
}

int perftCommand(int argc, char** argv) {
    if (argc >= 1 && std::string(argv[0]) == "--picker")
        return pickerPerftCommand(argc - 1, argv + 1);
    if (argc < 1 || std::atoi(argv[0]) < 0) {
        std::printf("usage: zekora-tool perft DEPTH [FEN]\n");
        return 2;
    }
    std::string fen = joinArguments(argc - 1, argv + 1);
    return runPerft(std::atoi(argv[0]), argc > 1 ? fen.c_str() : nullptr, perft);
}

} // namespace zekora::tool
