// SPDX-License-Identifier: GPL-3.0-or-later
// The perft test positions and a plain reference perft for the generator tests.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "board/attacks.h"
#include "board/makemove.h"
#include "movegen/movelist.h"
#include "support/test_position.h"
#include "uci/setup.h"

namespace zekora {

struct PerftCase {
    std::string fen;
    uint64_t leaves[5]; // by depth; [0] unused
};

// tests/data/perft.epd: "FEN ;D1 n ;D2 n ;D3 n ;D4 n" a line.
inline std::vector<PerftCase> loadPerftCases() {
    std::vector<PerftCase> cases;
    std::ifstream in(ZEKORA_TEST_DATA "/perft.epd");
    std::string line;
    while (std::getline(in, line)) {
        size_t semi = line.find(" ;");
        if (semi == std::string::npos) continue;
        PerftCase c{line.substr(0, semi), {1, 0, 0, 0, 0}};
        for (int d = 1; d <= 4; ++d) {
            std::string tag = ";D" + std::to_string(d) + " ";
            size_t at = line.find(tag);
            if (at != std::string::npos) c.leaves[d] = std::strtoull(line.c_str() + at + 4, 0, 10);
        }
        cases.push_back(c);
    }
    return cases;
}

using test::positionFromFen;

inline void generatePseudoLegal(const Position& pos, MoveList& list) {
    list.clear();
    CaptureGenerators[pos.sideToMove](pos, list, ~Bitboard(0));
    QuietGenerators[pos.sideToMove](pos, list, ~Bitboard(0));
}

// Plays every generated move and keeps those that do not leave the mover's king attacked.
inline uint64_t referencePerft(Position& pos, int depth) {
    if (depth == 0) return 1;
    MoveList list;
    generatePseudoLegal(pos, list);
    int us = int(pos.sideToMove);
    uint64_t leaves = 0;
    for (int i = 0; i < list.count; ++i) {
        UndoRecord undo;
        makeMove(pos, undo, list.moves[i]);
        if (!isSquareAttacked(pos, pos.kingSquare[us], us ^ 1))
            leaves += referencePerft(pos, depth - 1);
        unmakeMove(pos, undo, list.moves[i]);
    }
    return leaves;
}

} // namespace zekora
