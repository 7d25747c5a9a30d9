// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/perft_picker.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "board/attacks.h"
#include "board/makemove.h"
#include "movegen/movepick.h"
#include "uci/setup.h"

namespace zekora::tool {

namespace {

constexpr Bitboard AllSquares = ~Bitboard(0);

// What the tree search writes before it starts a picker: no hash move, no killers.
void enterNode(Position& pos, int ply) {
    SearchStackEntry& entry = searchStack[ply];
    const int us = int(pos.sideToMove);
    entry.inCheck = isSquareAttacked(pos, pos.kingSquare[us], opponent(us)) ? 1 : 0;
    entry.pinned = pinnedPieces(pos, us);
    entry.hashMove = NoMove;
    entry.killers[0] = entry.killers[1] = NoMove;
    entry.captureSquare = NoSquare;
    pos.stackEntry = &entry;
}

void startPicker(MovePicker& picker, Position& pos) {
    // Bad quiet moves are postponed as in the search, so that stage is walked too.
    startMovePicker(picker, pos, pos.stackEntry->inCheck != 0, AllSquares, 1);
}

} // namespace

uint64_t perftWithPicker(Position& pos, int depth, int ply) {
    if (depth <= 0) return 1;
    enterNode(pos, ply);
    MovePicker picker;
    startPicker(picker, pos);
    uint64_t leaves = 0;
    while (Move move = nextMove(picker)) {
        if (depth == 1) {
            ++leaves;
            continue;
        }
        UndoRecord undo;
        makeMove(pos, undo, move);
        leaves += perftWithPicker(pos, depth - 1, ply + 1);
        unmakeMove(pos, undo, move);
    }
    return leaves;
}

int pickerPerftCommand(int argc, char** argv) {
    // The search stack bounds the depth.
    if (argc < 1 || std::atoi(argv[0]) < 0 || std::atoi(argv[0]) >= MaxPly) {
        std::printf("usage: zekora-tool perft --picker DEPTH [FEN]\n");
        return 2;
    }
    const int depth = std::atoi(argv[0]);
    std::string fen = StartFen;
    if (argc > 1) {
        fen.clear();
        for (int i = 1; i < argc; ++i) fen += std::string(i > 1 ? " " : "") + argv[i];
    }
    loadPosition(("fen " + fen).c_str());
    if (!currentPositionUsable) {
        std::printf("not a position that can be played: %s\n", fen.c_str());
        return 1;
    }
    static Position pos; // large; kept off the stack
    pos = currentPosition;

    auto start = std::chrono::steady_clock::now();
    uint64_t total = depth <= 0 ? 1 : 0;
    if (depth > 0) {
        enterNode(pos, 0);
        MovePicker picker;
        startPicker(picker, pos);
        while (Move move = nextMove(picker)) {
            UndoRecord undo;
            makeMove(pos, undo, move);
            uint64_t leaves = perftWithPicker(pos, depth - 1, 1);
            unmakeMove(pos, undo, move);
            std::printf("%s: %llu\n", moveToText(move), (unsigned long long)leaves);
            total += leaves;
        }
    }
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("time %.3f s, %.0f leaves per second\n", seconds,
                seconds > 0 ? double(total) / seconds : 0.0);
    std::printf("nodes %llu\n", (unsigned long long)total);
    return 0;
}

} // namespace zekora::tool
