// SPDX-License-Identifier: GPL-3.0-or-later
#include "board/makemove.h"

#include <gtest/gtest.h>

#include <cstring>

#include "board/position_check.h"
#include "uci/setup.h"

using namespace zekora;

namespace {

struct MakeMove : ::testing::Test {
    static void SetUpTestSuite() { initEngineOnce(); }

    static Position load(const char* fen) {
        Position pos;
        std::memset(&pos, 0, sizeof pos);
        parseFen(pos, fen);
        completePosition(pos);
        return pos;
    }

    // Plays a move, checks the result from scratch, takes it back and checks every byte.
    static Position playAndUndo(const Position& before, Move m) {
        Position pos = before;
        UndoRecord undo;
        makeMove(pos, undo, m);
        expectConsistent(pos);
        Position after = pos;
        unmakeMove(pos, undo, m);
        expectSamePosition(pos, before);
        return after;
    }
};

} // namespace

TEST_F(MakeMove, DoubleStepSetsEnPassantSquareAndUndoRestoresEverything) {
    Position start = load(StartFen);
    Position after = playAndUndo(start, encodeMove(E2, E4, FlagDoublePush));
    EXPECT_EQ(after.epSquare, E3);
    EXPECT_EQ(after.halfmoveClock, 0);
    EXPECT_EQ(after.castling, 15);
    EXPECT_EQ(after.sideToMove, 1u);
    EXPECT_EQ(after.historyCount, 2);
    EXPECT_EQ(after.keyHistory[1], after.key);

    // The same squares without the en-passant square have a different key.
    Position noEp = after;
    noEp.epSquare = NoSquare;
    computeKeys(noEp);
    EXPECT_NE(noEp.key, after.key);
}

TEST_F(MakeMove, CapturingARookOnItsHomeSquareTakesTheRight) {
    Position pos = load("r3k2r/p6p/8/8/8/8/P6P/R3K2R w KQkq - 0 1");
    // Rook takes rook on h8: White loses the h1 right (rook left), Black the h8 right.
    Position after = playAndUndo(pos, encodeMove(H1, H8));
    EXPECT_EQ(after.castling, WhiteLong | BlackLong);
    after = playAndUndo(pos, encodeMove(A1, A8));
    EXPECT_EQ(after.castling, WhiteShort | BlackShort);
    // A king move gives up both rights of its side.
    after = playAndUndo(pos, encodeMove(E1, F1));
    EXPECT_EQ(after.castling, BlackShort | BlackLong);
    EXPECT_EQ(after.halfmoveClock, 1);
}

TEST_F(MakeMove, EnPassantAndPromotionsKeepKeysExact) {
    Position pos = load("3r1k2/4P3/8/3pP3/8/8/8/4K3 w - d6 7 1");
    Position after = playAndUndo(pos, encodeMove(E5, D6, FlagEnPassant));
    EXPECT_EQ(after.board[D5], Empty);
    EXPECT_EQ(after.halfmoveClock, 0);
    EXPECT_EQ(after.pawnKey, pos.pawnKey ^ PieceSquareKey[WhitePawn][E5] ^
                                 PieceSquareKey[WhitePawn][D6] ^ PieceSquareKey[BlackPawn][D5]);

    // Capture-promotion on d8 (a light square) to a queen and to a bishop.
    after = playAndUndo(pos, encodeMove(E7, D8, WhiteQueen));
    EXPECT_EQ(after.board[D8], WhiteQueen);
    EXPECT_EQ(after.bitboards[BlackRook], 0u);
    after = playAndUndo(pos, encodeMove(E7, D8, WhiteLightBishop));
    EXPECT_EQ(after.board[D8], WhiteLightBishop);
    after = playAndUndo(pos, encodeMove(E7, E8, WhiteKnight));
    EXPECT_EQ(after.board[E8], WhiteKnight);
}

TEST_F(MakeMove, NullMoveClearsEnPassantAndClockAndUndoes) {
    Position pos = load("4k3/8/8/3pP3/8/8/8/4K3 w - d6 9 1");
    Position before = pos;
    UndoRecord undo;
    makeNullMove(pos, undo);
    EXPECT_EQ(pos.epSquare, NoSquare);
    EXPECT_EQ(pos.halfmoveClock, 0);
    EXPECT_EQ(pos.sideToMove, 1u);
    expectConsistent(pos);
    unmakeNullMove(pos, undo);
    expectSamePosition(pos, before);
}

TEST_F(MakeMove, HalfmoveClockSaturatesInsteadOfWrapping) {
    Position pos = load("4k3/8/8/8/8/8/8/R3K3 w - - 255 1");
    UndoRecord undo;
    makeMove(pos, undo, encodeMove(A1, A2));
    EXPECT_EQ(pos.halfmoveClock, 255);
}
