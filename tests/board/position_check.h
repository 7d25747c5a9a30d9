// SPDX-License-Identifier: GPL-3.0-or-later
// Checks of a position against values recomputed from scratch, shared by the board tests.
#pragma once

#include <gtest/gtest.h>

#include "board/attacks.h"
#include "board/bitops.h"
#include "board/position.h"
#include "board/zobrist.h"
#include "eval/psqt.h"
#include "support/test_position.h"

namespace zekora {

using test::initEngineOnce;
using test::positionFromFen;

// Bitboards, king squares, keys and the piece-square sum agree with the board.
inline void expectConsistent(const Position& pos) {
    Bitboard byCode[16] = {};
    PackedScore psq = 0;
    for (Square s = 0; s < 64; ++s) {
        int code = pos.board[s];
        if (code == Empty) continue;
        ASSERT_GE(code, WhitePawn);
        ASSERT_LE(code, BlackKing);
        byCode[code] |= 1ULL << s;
        byCode[code & 1] |= 1ULL << s;
        psq += PieceSquareTable[code][s];
    }
    for (int code = 0; code < 16; ++code) ASSERT_EQ(pos.bitboards[code], byCode[code]) << code;
    for (int c = White; c <= Black; ++c) {
        if (byCode[King + c]) {
            ASSERT_EQ(pos.kingSquare[c], lsb(byCode[King + c]));
        }
    }
    ASSERT_EQ(pos.psqScore, psq);
    Position fresh = pos;
    computeKeys(fresh);
    ASSERT_EQ(pos.key, fresh.key);
    ASSERT_EQ(pos.pawnKey, fresh.pawnKey);
    ASSERT_EQ(pos.materialKey, fresh.materialKey);
    ASSERT_GE(pos.historyCount, 1);
    ASSERT_EQ(pos.keyHistory[pos.historyCount - 1], pos.key);
}

// Every field equal; the key history only up to its valid entries.
inline void expectSamePosition(const Position& a, const Position& b) {
    for (Square s = 0; s < 64; ++s) ASSERT_EQ(a.board[s], b.board[s]) << s;
    for (int code = 0; code < 16; ++code) ASSERT_EQ(a.bitboards[code], b.bitboards[code]);
    ASSERT_EQ(a.epSquare, b.epSquare);
    ASSERT_EQ(a.castling, b.castling);
    ASSERT_EQ(a.halfmoveClock, b.halfmoveClock);
    ASSERT_EQ(a.sideToMove, b.sideToMove);
    ASSERT_EQ(a.kingSquare[0], b.kingSquare[0]);
    ASSERT_EQ(a.kingSquare[1], b.kingSquare[1]);
    ASSERT_EQ(a.key, b.key);
    ASSERT_EQ(a.pawnKey, b.pawnKey);
    ASSERT_EQ(a.materialKey, b.materialKey);
    ASSERT_EQ(a.psqScore, b.psqScore);
    ASSERT_EQ(a.historyCount, b.historyCount);
    for (int i = 0; i < a.historyCount; ++i) ASSERT_EQ(a.keyHistory[i], b.keyHistory[i]);
    ASSERT_EQ(a.stackEntry, b.stackEntry);
}

} // namespace zekora
