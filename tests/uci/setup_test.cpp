// SPDX-License-Identifier: GPL-3.0-or-later
// Position setup from "position" lines: FEN fields, move lists, move text, and bad input.
#include "uci/setup.h"

#include <gtest/gtest.h>

#include <string>

#include "board/makemove.h"
#include "board/position_check.h"

using namespace zekora;

namespace {

struct Setup : ::testing::Test {
    static void SetUpTestSuite() { initEngineOnce(); }

    static const Position& set(const std::string& line) {
        setupPosition(line.c_str());
        return currentPosition;
    }
};

} // namespace

TEST_F(Setup, StartPositionAndMoves) {
    const Position& pos = set("position startpos");
    EXPECT_TRUE(currentPositionUsable);
    EXPECT_EQ(pos.castling, 15);
    EXPECT_EQ(pos.epSquare, NoSquare);
    EXPECT_EQ(pos.sideToMove, 0u);
    EXPECT_EQ(pos.historyCount, 1);
    EXPECT_EQ(pos.board[F1], WhiteLightBishop);
    EXPECT_EQ(pos.board[C1], WhiteDarkBishop);
    EXPECT_EQ(pos.board[C8], BlackLightBishop);
    expectConsistent(pos);

    set("position startpos moves e2e4 e7e5");
    EXPECT_EQ(pos.board[E5], BlackPawn);
    EXPECT_EQ(pos.sideToMove, 0u);
    EXPECT_EQ(pos.epSquare, E6);
    EXPECT_EQ(pos.historyCount, 3);
    expectConsistent(pos);

    // "startpos" wins over "fen"; the same game through a FEN gives the same key.
    uint64_t key = pos.key;
    set("position fen rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w KQkq e6 0 2");
    EXPECT_EQ(pos.key, key);
    set("position startpos fen 8/8/8/8/8/8/8/8 b - - 0 1");
    EXPECT_EQ(pos.bitboards[WhitePawn], 0xFF00u);
}

TEST_F(Setup, CastlingFieldInAnyOrderAndOnlyWithKingAndRookAtHome) {
    EXPECT_EQ(set("position fen r3k2r/8/8/8/8/8/8/R3K2R w kq - 0 1").castling, 12);
    EXPECT_EQ(set("position fen r3k2r/8/8/8/8/8/8/R3K2R w Kk - 0 1").castling, 5);
    EXPECT_EQ(set("position fen r3k2r/8/8/8/8/8/8/R3K2R w qkQK - 0 1").castling, 15);
    EXPECT_EQ(set("position fen r3k2r/8/8/8/8/8/8/R3K2R w - - 0 1").castling, 0);
    // No rook on h1, Black's king not on e8: those rights cannot exist.
    EXPECT_EQ(set("position fen r4k1r/8/8/8/8/8/8/R3K3 w KQkq - 0 1").castling, WhiteLong);
}

TEST_F(Setup, EnPassantSquareOnlyWhereAPawnHasJustDoubleStepped) {
    // Taken even though no Black pawn can capture.
    EXPECT_EQ(set("position fen 4k3/8/8/8/4P3/8/8/4K3 b - e3 0 1").epSquare, E3);
    // Wrong rank for the side to move, no pawn in front, or garbage: no square, so an
    // en-passant capture can never remove a piece that is not there.
    EXPECT_EQ(set("position fen 4k3/8/8/8/4P3/8/8/4K3 w - e3 0 1").epSquare, NoSquare);
    EXPECT_EQ(set("position fen 4k3/8/8/3P4/8/8/8/4K3 b - e3 0 1").epSquare, NoSquare);
    EXPECT_EQ(set("position fen 4k3/8/8/3pP3/8/8/8/4K3 w - e6 0 1").epSquare, NoSquare);
    EXPECT_EQ(set("position fen 4k3/8/8/3pP3/8/8/8/4K3 w - z9 0 1").epSquare, NoSquare);
    EXPECT_EQ(set("position fen 4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1").epSquare, D6);
    // A check through the skipped square cannot follow a double push (the fuzzer's find: the
    // capture f4e3 would block it); the position is the one without the square, key and all.
    const uint64_t key = set("position fen 8/8/8/8/3kPp2/8/8/3K2B1 b - - 0 1").key;
    EXPECT_EQ(set("position fen 8/8/8/8/3kPp2/8/8/3K2B1 b - e3 0 1").epSquare, NoSquare);
    EXPECT_EQ(currentPosition.key, key);
    EXPECT_EQ(currentPosition.keyHistory[0], key);
    // The pushed pawn giving the check itself is possible, and the capture answers it.
    EXPECT_EQ(set("position fen 8/8/8/3k4/4Pp2/8/8/3K4 b - e3 0 1").epSquare, E3);
}

TEST_F(Setup, MoveTextBothWays) {
    const Position& pos = set("position fen 7k/1P2P3/8/8/8/8/1p6/R3K3 w - - 0 1");
    EXPECT_EQ(textToMove(pos, "e7e8"), NoMove); // a promotion needs its letter
    EXPECT_EQ(textToMove(pos, "e7e8q"), encodeMove(E7, E8, WhiteQueen));
    EXPECT_EQ(textToMove(pos, "e7e8Q"), encodeMove(E7, E8, WhiteQueen));
    EXPECT_EQ(textToMove(pos, "b7b8b"), encodeMove(B7, B8, WhiteDarkBishop));
    EXPECT_EQ(textToMove(pos, "e7e8b"), encodeMove(E7, E8, WhiteLightBishop));
    EXPECT_EQ(textToMove(pos, "e1d1"), encodeMove(E1, D1));
    EXPECT_EQ(textToMove(pos, "e1e3"), NoMove);
    EXPECT_EQ(textToMove(pos, "e1"), NoMove);
    EXPECT_EQ(textToMove(pos, "i1e3"), NoMove);

    EXPECT_STREQ(moveToText(encodeMove(B2, A1, BlackKnight)), "b2a1n");
    EXPECT_STREQ(moveToText(encodeMove(E7, E8, WhiteLightBishop)), "e7e8b");
    EXPECT_STREQ(moveToText(encodeMove(E1, G1, FlagCastle)), "e1g1");
    EXPECT_STREQ(moveToText(NoMove), "a1a1");
    EXPECT_STREQ(moveToText(NullMoveCode), "0000");
}

TEST_F(Setup, MoveListReading) {
    // Blanks anywhere, nothing after "moves", a trailing blank.
    EXPECT_EQ(set("position startpos moves").historyCount, 1);
    EXPECT_EQ(set("position startpos moves ").historyCount, 1);
    EXPECT_EQ(set("position startpos moves  e2e4   e7e5 ").historyCount, 3);
    // A text that names no move ends the list; the moves before it stay played.
    const Position& pos = set("position startpos moves e2e4 e7e6 e2e5 d2d4");
    EXPECT_EQ(pos.historyCount, 3);
    EXPECT_EQ(pos.board[E6], BlackPawn);
    EXPECT_EQ(set("position startpos moves e2e4 e7e6xy d2d4").historyCount, 2);

    // "0000" passes the turn: the side flips and the key goes into the history.
    set("position startpos moves e2e4 0000 d2d4");
    EXPECT_EQ(pos.historyCount, 4);
    EXPECT_EQ(pos.sideToMove, 1u);
    EXPECT_EQ(pos.board[D4], WhitePawn);
    EXPECT_TRUE(currentPositionUsable);
    expectConsistent(pos);
}

TEST_F(Setup, AGameLongerThanTheKeyHistoryKeepsTheReachableKeys) {
    std::string line = "position startpos moves";
    const char* shuffle[4] = {" g1f3", " g8f6", " f3g1", " f6g8"};
    for (int i = 0; i < 1500; ++i) line += shuffle[i % 4];
    const Position& pos = set(line);
    EXPECT_LE(pos.historyCount, KeyHistorySize - MaxPly - 1);
    EXPECT_GE(pos.historyCount, 256);
    expectConsistent(pos);
    EXPECT_EQ(pos.halfmoveClock, 255);
    // 1500 plies is a whole number of shuffles: the start position, repeated every 4 plies.
    set("position startpos");
    uint64_t startKey = pos.key;
    set(line);
    EXPECT_EQ(pos.key, startKey);
    for (int back = 4; back < 256; back += 4)
        EXPECT_EQ(pos.keyHistory[pos.historyCount - 1 - back], startKey) << back;
}

TEST_F(Setup, BadInputNeverReadsOrWritesPastItsBounds) {
    const char* lines[] = {
        "position",
        "position fen",
        "position fen ",
        "position fen 8/8",
        "position fen rnbqkbnr/pppppppp",
        "position fen kK",
        "position fen 99999999/8/8/8/8/8/8/8 w",
        "position fen xyz/?!/8/8 w KQkq e3 12",
        "position fen pppppppppppppppppppppppppppppppppppppppppppppppppppppppppppppppppppppppppp",
        "position fen 4k3/8/8/8/8/8/8/4K3 w KQkq e",
        "position fen 4k3/8/8/8/8/8/8/4K3 w KQkq - 99999999999999999999",
        "position fen 4k3/8/8/8/8/8/8/4K3 w - - 0 1 moves e1e2 e8e7 e2",
        "position startpos moves 0000 0000 0000 e2e4 0000",
        "position fen 4k3/8/8/8/8/8/8/4K3 moves e1e2",
        "debugFen",
    };
    for (const char* line : lines) {
        set(line);
        expectConsistent(currentPosition);
    }
    EXPECT_EQ(set("position fen 4k3/8/8/8/8/8/8/4K3 w - - 300 1").halfmoveClock, 255);
    // Missing fields read as White to move, no castling, no en passant, clock 0.
    const Position& pos = set("position fen 4k3/8/8/8/8/8/8/4K3");
    EXPECT_EQ(pos.sideToMove, 0u);
    EXPECT_EQ(pos.castling, 0);
    EXPECT_EQ(pos.epSquare, NoSquare);
    EXPECT_EQ(pos.halfmoveClock, 0);
    EXPECT_TRUE(currentPositionUsable);
    // The move list after a FEN with missing fields is still played.
    EXPECT_EQ(set("position fen 4k3/8/8/8/8/8/8/4K3 moves e1e2").board[E2], WhiteKing);
}

TEST_F(Setup, PositionsTheSearchCannotHandleAreMarkedUnusable) {
    const char* unusable[] = {
        "debugFen",                                                 // no pieces at all
        "position fen 8/8/8/8/8/8/8/4K3 w - - 0 1",                 // no Black king
        "position fen 4k3/8/8/8/8/8/8/3KK3 w - - 0 1",              // two White kings
        "position fen 4k3/8/8/8/8/P7/PPPPPPPP/4K3 w - - 0 1",       // nine pawns
        "position fen 4k2P/8/8/8/8/8/8/4K3 w - - 0 1",              // pawn on the last rank
        "position fen 4k3/8/8/8/8/8/8/p3K3 w - - 0 1",              // pawn on the first rank
        "position fen 4k3/8/8/NNNNNNNN/NNN5/8/8/4K3 w - - 0 1",     // eleven knights
        "position fen 4k3/1P6/8/8/8/NNNNNNNN/NN6/4K3 w - - 0 1",    // a promotion would make 11
        "position fen 4k3/8/8/8/8/1B6/PPPPPPPP/RNBQKBNR w - - 0 1", // seventeen pieces
        "position fen 4k3/4Q3/8/8/8/8/8/4K3 w - - 0 1", // Black is in check, White moves
        // f7f6 leaves Black's king open (pseudo-legal moves are accepted); h5e8 names no move.
        "position startpos moves e2e4 e7e5 d1h5 f7f6 h5e8",
    };
    for (const char* line : unusable) {
        set(line);
        EXPECT_FALSE(currentPositionUsable) << line;
        expectConsistent(currentPosition);
        for (int c = White; c <= Black; ++c) {
            EXPECT_GE(currentPosition.kingSquare[c], 0);
            EXPECT_LT(currentPosition.kingSquare[c], 64);
        }
    }
    // Passing the turn while in check leaves a position where the king could be taken.
    set("position startpos moves e2e4 f7f6 d1h5 0000");
    EXPECT_FALSE(currentPositionUsable);
    set("position startpos moves e2e4 f7f6 d1h5");
    EXPECT_TRUE(currentPositionUsable);
    // An unusable position plays no moves at all.
    EXPECT_EQ(set("position fen 4k3/8/8/NNNNNNNN/NNN5/8/8/4K3 w - - 0 1 moves e1e2").historyCount,
              1);
}
