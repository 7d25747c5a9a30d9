// SPDX-License-Identifier: GPL-3.0-or-later
#include "movegen/checks.h"

#include "board/attacks.h"
#include "movegen/legal_oracle.h"

using namespace zekora;
using namespace zekora::test;

namespace {

struct Checks : ::testing::Test {
    static void SetUpTestSuite() { initEngineOnce(); }
};

std::vector<Move> checkMoves(const Position& pos) {
    MoveList list;
    list.clear();
    CheckGenerators[pos.sideToMove](pos, list);
    return toVector(list);
}

std::vector<Move> quietMoves(const Position& pos) {
    MoveList list;
    list.clear();
    QuietGenerators[pos.sideToMove](pos, list, ~Bitboard(0));
    return toVector(list);
}

// True when taking the piece off the board exposes the enemy king to one of our sliders.
bool masksCheck(const Position& pos, Square from) {
    Position without = pos;
    int piece = without.board[from];
    without.board[from] = Empty;
    without.bitboards[piece] ^= SquareBit[from];
    without.bitboards[colorOf(piece)] ^= SquareBit[from];
    int us = int(pos.sideToMove);
    return isSquareAttacked(without, without.kingSquare[opponent(us)], us);
}

bool contains(const std::vector<Move>& moves, Move m) {
    return std::find(moves.begin(), moves.end(), m) != moves.end();
}

} // namespace

// Every generated move is a quiet, non-promoting pseudo-legal move that gives check, listed
// once; every quiet move that gives check is generated, except a piece unmasking a check
// that moves along its own line, a king move that unmasks nothing, and castling whose rook
// checks only through the square its own king leaves.
TEST_F(Checks, ExactlyTheQuietChecksOfRandomPositions) {
    int generatedChecks = 0, castlingChecks = 0;
    for (Position pos : randomPositions(0x7777, 40)) {
        if (inCheck(pos)) continue; // the quiescence search asks only outside check
        std::vector<Move> checks = checkMoves(pos);
        std::vector<Move> quiets = quietMoves(pos);
        std::vector<Move> unique = sorted(checks);
        ASSERT_EQ(std::adjacent_find(unique.begin(), unique.end()), unique.end());
        for (Move m : checks) {
            ASSERT_TRUE(contains(quiets, m)) << moveName(m);
            ASSERT_TRUE(checksAfter(pos, m)) << moveName(m);
            castlingChecks += moveKind(m) == FlagCastle;
        }
        generatedChecks += int(checks.size());

        const Square theirKing = pos.kingSquare[opponent(int(pos.sideToMove))];
        for (Move m : quiets) {
            if (!checksAfter(pos, m) || contains(checks, m)) continue;
            Square from = moveFrom(m);
            bool unmasking = masksCheck(pos, from);
            bool alongItsLine = unmasking && (Line[theirKing][from] & SquareBit[moveTo(m)]);
            bool castling = moveKind(m) == FlagCastle;
            bool plainKingMove = isKing(pos.board[from]) && !castling && !unmasking;
            Square rookLanding = moveTo(m) > from ? Square(from + 1) : Square(from - 1);
            bool rookSeesThroughKing =
                castling && !(rookAttacks(theirKing, pos.occupied()) & SquareBit[rookLanding]);
            ASSERT_TRUE(alongItsLine || plainKingMove || rookSeesThroughKing)
                << "missing " << moveName(m);
        }
    }
    EXPECT_GT(generatedChecks, 3000);
    std::printf("%d quiet checks, %d by castling\n", generatedChecks, castlingChecks);
}

TEST_F(Checks, PieceUnmaskingARookMovesOffTheFileOnly) {
    // Rook a1, knight a4, enemy king a8: every knight move leaves the a-file and discovers.
    Position pos = positionFromFen("k7/8/8/8/N7/8/8/R3K3 w - - 0 1");
    std::vector<Move> checks = checkMoves(pos);
    int knightMoves = 0;
    for (Move m : checks) knightMoves += moveFrom(m) == A4;
    EXPECT_EQ(knightMoves, 4); // b2, c3, c5, b6, each once
    EXPECT_TRUE(contains(checks, encodeMove(A4, B6)));
}

TEST_F(Checks, PawnUnmaskingABishopStepsOnceAndTwice) {
    Position pos = positionFromFen("8/8/8/4k3/8/8/1P6/B3K3 w - - 0 1");
    std::vector<Move> checks = checkMoves(pos);
    EXPECT_TRUE(contains(checks, encodeMove(B2, B3)));
    EXPECT_TRUE(contains(checks, encodeMove(B2, B4, FlagDoublePush)));
}

TEST_F(Checks, KingUnmaskingAQueenMovesOffTheLine) {
    // The own king on d4 stands between the queen on b2 and the king on f6.
    Position pos = positionFromFen("8/8/5k2/8/3K4/8/1Q6/8 w - - 0 1");
    std::vector<Move> checks = checkMoves(pos);
    EXPECT_TRUE(contains(checks, encodeMove(D4, D3)));
    EXPECT_FALSE(contains(checks, encodeMove(D4, E5))); // along the line
    EXPECT_FALSE(contains(checks, encodeMove(D4, C3))); // along the line
}

TEST_F(Checks, CastlingOnlyWhenTheRookLandsWithCheck) {
    struct Case {
        const char* fen;
        Move castle;
        bool listed;
    } cases[] = {
        {"5k2/8/8/8/8/8/8/4K2R w K - 0 1", encodeMove(E1, G1, FlagCastle), true},
        {"6k1/8/8/8/8/8/8/4K2R w K - 0 1", encodeMove(E1, G1, FlagCastle), false},
        {"3k4/8/8/8/8/8/8/R3K3 w Q - 0 1", encodeMove(E1, C1, FlagCastle), true},
        // The rook would check, but the king would pass d1, which the bishop attacks.
        {"3k4/8/8/7b/8/8/8/R3K3 w Q - 0 1", encodeMove(E1, C1, FlagCastle), false},
        // The rook would see the king only through the square the own king leaves.
        {"8/8/8/8/8/8/8/2k1K2R w K - 0 1", encodeMove(E1, G1, FlagCastle), false},
        {"8/8/8/8/8/8/8/R3K1k1 w Q - 0 1", encodeMove(E1, C1, FlagCastle), false},
        {"r3k3/8/8/8/8/8/8/6K1 b q - 0 1", encodeMove(E8, C8, FlagCastle), false},
        {"r3k3/8/8/8/8/8/8/3K4 b q - 0 1", encodeMove(E8, C8, FlagCastle), true},
    };
    for (const Case& c : cases) {
        Position pos = positionFromFen(c.fen);
        EXPECT_EQ(contains(checkMoves(pos), c.castle), c.listed) << c.fen;
    }
}
