// SPDX-License-Identifier: GPL-3.0-or-later
#include "movegen/evasions.h"

#include "board/attacks.h"
#include "movegen/captures.h"
#include "movegen/legal_oracle.h"

using namespace zekora;
using namespace zekora::test;

namespace {

struct Evasions : ::testing::Test {
    static void SetUpTestSuite() { initEngineOnce(); }

    SearchStackEntry entry{};

    MoveList evasions(Position& pos) {
        enterNode(pos, entry);
        MoveList list;
        list.clear();
        EvasionGenerators[pos.sideToMove](pos, list);
        return list;
    }
};

Move move(const Position& pos, const char* text) { return textToMove(pos, text); }

bool contains(const MoveList& list, Move m) {
    return std::find(list.moves, list.moves + list.count, m) != list.moves + list.count;
}

int countCheckers(const Position& pos) {
    int us = int(pos.sideToMove);
    return popcount(attackersTo(pos, pos.kingSquare[us], opponent(us)));
}

} // namespace

// The generator's list is exactly the set of legal moves, in every position in check that
// random games reach, in score order (or, in double check, king moves in square order).
TEST_F(Evasions, EqualTheLegalMovesOfRandomPositionsInCheck) {
    int tested = 0, doubleChecks = 0;
    for (Position pos : randomPositions(0x5EED1, 40)) {
        if (!inCheck(pos)) continue;
        ++tested;
        MoveList list = evasions(pos);
        std::vector<Move> generated = toVector(list);
        std::vector<Move> set = sorted(generated);
        ASSERT_EQ(set, sorted(legalMoves(pos)))
            << moveNames(generated) << "| " << moveNames(legalMoves(pos));
        ASSERT_EQ(std::adjacent_find(set.begin(), set.end()), set.end());
        if (countCheckers(pos) > 1) {
            ++doubleChecks;
            for (int i = 0; i < list.count; ++i) {
                ASSERT_EQ(moveFrom(list.moves[i]), pos.kingSquare[pos.sideToMove]);
                if (i) {
                    ASSERT_LT(moveTo(list.moves[i - 1]), moveTo(list.moves[i]));
                }
            }
        } else {
            for (int i = 1; i < list.count; ++i) ASSERT_GE(list.scores[i - 1], list.scores[i]);
        }
    }
    std::printf("%d positions in check, %d double checks\n", tested, doubleChecks);
    EXPECT_GT(tested, 1000);
    EXPECT_GT(doubleChecks, 3);
}

// Hand-made checks of every kind, and their colour mirrors, against brute force. Double checks
// are rare in random play; a king that can take one of two checkers is among them.
TEST_F(Evasions, HandMadeChecksOfBothColoursEqualTheLegalMoves) {
    const char* fens[] = {
        "4r2k/8/8/8/8/3n4/8/4K3 w - - 0 1",   "4r2k/8/8/8/1b6/8/8/4K3 w - - 0 1",
        "4r2k/8/8/8/8/8/3p4/4K3 w - - 0 1",   "k7/8/8/8/8/5n2/8/q3K3 w - - 0 1",
        "7k/8/8/8/8/3n4/4r3/4K3 w - - 0 1",   "7k/8/8/8/1b6/8/2n5/4K3 w - - 0 1",
        "r6K/3P4/8/8/8/8/8/k7 w - - 0 1",     "7k/8/8/3pP3/4K3/8/8/8 w - d6 0 1",
        "4r2k/8/8/3pP3/4K3/8/8/8 w - d6 0 1", "r6k/8/8/8/8/2b5/N7/K7 w - - 0 1",
        "2r4k/1P6/8/8/8/8/6B1/2K5 w - - 0 1", "4k3/8/8/8/1b6/8/5N2/R3K2R w KQ - 0 1",
        "k7/8/8/8/8/8/4q3/3NKN2 w - - 0 1",   "3k4/8/8/8/1b6/8/2P1PP2/4K3 w - - 0 1",
    };
    int doubleChecks = 0;
    for (const char* text : fens) {
        Position white = positionFromFen(text);
        ASSERT_TRUE(inCheck(white)) << text;
        doubleChecks += countCheckers(white) > 1;
        MoveList w = evasions(white);
        EXPECT_EQ(sorted(toVector(w)), sorted(legalMoves(white))) << text;
        // The Black twin gives the mirrored moves with the same scores.
        Position black = positionFromFen(mirrorFen(text));
        MoveList b = evasions(black);
        std::vector<std::pair<Move, int>> expected, actual;
        for (int i = 0; i < w.count; ++i) expected.push_back({mirrorMove(w.moves[i]), w.scores[i]});
        for (int i = 0; i < b.count; ++i) actual.push_back({b.moves[i], b.scores[i]});
        std::sort(expected.begin(), expected.end());
        std::sort(actual.begin(), actual.end());
        EXPECT_EQ(expected, actual) << text;
    }
    EXPECT_EQ(doubleChecks, 6);
}

TEST_F(Evasions, DoubleCheckOffersOnlyKingMovesOffTheRookLine) {
    // Rook e8 and knight d3 both check the king on e1.
    Position pos = positionFromFen("4r2k/8/8/8/8/3n4/8/4K3 w - - 0 1");
    MoveList list = evasions(pos);
    EXPECT_EQ(moveNames(toVector(list)), "e1d1 e1f1 e1d2 ");
    EXPECT_FALSE(contains(list, move(pos, "e1e2")));
}

TEST_F(Evasions, KingMayStepBackAlongThePawnsDiagonal) {
    Position pos = positionFromFen("7k/8/8/3p4/4K3/8/8/8 w - - 0 1");
    MoveList list = evasions(pos);
    EXPECT_TRUE(contains(list, move(pos, "e4f3")));
    EXPECT_TRUE(contains(list, move(pos, "e4d5")));
}

TEST_F(Evasions, EnPassantCaptureOfTheCheckerOnlyWhenItIsSafe) {
    struct Case {
        const char* fen;
        const char* capture;
        bool safe;
    } cases[] = {
        {"7k/8/8/3pP3/4K3/8/8/8 w - d6 0 1", "e5d6", true},
        // The captured pawn shields the king from the bishop on b7.
        {"7k/1b6/8/3pP3/4K3/8/8/8 w - d6 0 1", "e5d6", false},
        // The capturing pawn shields the king from the rook on e8.
        {"4r2k/8/8/3pP3/4K3/8/8/8 w - d6 0 1", "e5d6", false},
        // Black twins.
        {"8/8/8/4k3/3Pp3/8/8/7K b - d3 0 1", "e4d3", true},
        {"7K/8/8/4k3/3Pp3/8/1B6/8 b - d3 0 1", "e4d3", false},
    };
    for (const Case& c : cases) {
        Position pos = positionFromFen(c.fen);
        Position before = pos;
        MoveList list = evasions(pos);
        Move ep = move(pos, c.capture); // generated as a capture even where it is illegal
        ASSERT_EQ(moveKind(ep), FlagEnPassant) << c.fen;
        EXPECT_EQ(contains(list, ep), c.safe) << c.fen;
        for (int i = 0; i < list.count; ++i)
            if (list.moves[i] == ep) {
                EXPECT_EQ(list.scores[i], 176);
            }
        for (int code = 0; code < 16; ++code)
            EXPECT_EQ(pos.bitboards[code], before.bitboards[code]);
        Square from = moveFrom(ep), to = moveTo(ep);
        bool safe = pos.sideToMove == White ? enPassantIsSafeWhite(pos, from, to)
                                            : enPassantIsSafeBlack(pos, from, to);
        EXPECT_EQ(safe, c.safe) << c.fen;
        for (int code = 0; code < 16; ++code)
            EXPECT_EQ(pos.bitboards[code], before.bitboards[code]);
    }
}

TEST_F(Evasions, PinnedPiecesDoNotResolveTheCheck) {
    // The knight on a2 could take the checking bishop but is pinned by the rook on a8.
    Position pos = positionFromFen("r6k/8/8/8/8/2b5/N7/K7 w - - 0 1");
    MoveList list = evasions(pos);
    EXPECT_FALSE(contains(list, move(pos, "a2c3")));
    EXPECT_EQ(moveNames(toVector(list)), "a1b1 ");
}

TEST_F(Evasions, BlockingOnTheLastRankPromotesQueenFirst) {
    Position pos = positionFromFen("r6K/3P4/8/8/8/8/8/k7 w - - 0 1");
    MoveList list = evasions(pos);
    ASSERT_GE(list.count, 4);
    EXPECT_EQ(list.moves[0], encodeMove(D7, D8, WhiteQueen));
    EXPECT_EQ(list.scores[0], 38);
    EXPECT_TRUE(contains(list, encodeMove(D7, D8, WhiteRook)));
    EXPECT_TRUE(contains(list, encodeMove(D7, D8, WhiteKnight)));
    EXPECT_TRUE(contains(list, encodeMove(D7, D8, WhiteDarkBishop))); // d8 is a dark square
    EXPECT_FALSE(contains(list, encodeMove(H8, G8)));                 // on the rook's line
}

TEST_F(Evasions, CapturingTheCheckerOnTheLastRankPromotes) {
    // The rook on c8 checks the king on c1: b7xc8 promotes, the bishop on g2 can block.
    Position pos = positionFromFen("2r4k/1P6/8/8/8/8/6B1/2K5 w - - 0 1");
    MoveList list = evasions(pos);
    EXPECT_EQ(list.moves[0], encodeMove(B7, C8, WhiteQueen));
    EXPECT_EQ(list.scores[0], CaptureScore[WhitePawn][BlackRook] + QueenPromotionBonus);
    EXPECT_TRUE(contains(list, encodeMove(B7, C8, WhiteLightBishop)));
    EXPECT_TRUE(contains(list, encodeMove(G2, C6))); // the bishop blocks
}
