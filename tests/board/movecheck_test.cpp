// SPDX-License-Identifier: GPL-3.0-or-later
#include "board/movecheck.h"

#include "board/attacks.h"
#include "movegen/legal_oracle.h"

using namespace zekora;
using namespace zekora::test;

namespace {

struct MoveCheck : ::testing::Test {
    static void SetUpTestSuite() { initEngineOnce(); }
};

Move move(const Position& pos, const char* text) { return textToMove(pos, text); }

} // namespace

// Over every 16-bit code, isPseudoLegal accepts exactly what the generators produce: moves
// stored in the transposition table or the killer slots of other positions are then safe.
TEST_F(MoveCheck, PseudoLegalExactlyWhenGenerated) {
    std::vector<Position> positions = randomPositions(0xABC, 30);
    for (size_t i = 0; i < positions.size(); i += 23) {
        const Position& pos = positions[i];
        std::vector<bool> generated(1 << 16);
        for (Move m : pseudoLegalMoves(pos)) generated[m] = true;
        for (uint32_t code = 0; code < (1u << 16); ++code)
            ASSERT_EQ(isPseudoLegal(pos, Move(code)), generated[code])
                << moveName(Move(code)) << " kind " << (code >> 12) << " in "
                << moveNames(pseudoLegalMoves(pos));
    }
}

TEST_F(MoveCheck, PseudoLegalRejectsMovesThatDoNotFit) {
    Position start = positionFromFen(StartFen);
    EXPECT_FALSE(isPseudoLegal(start, NoMove));
    EXPECT_FALSE(isPseudoLegal(start, NullMoveCode));
    EXPECT_FALSE(isPseudoLegal(start, encodeMove(E7, E5, FlagDoublePush))); // not our pawn
    EXPECT_FALSE(isPseudoLegal(start, encodeMove(D1, D2)));                 // own piece
    EXPECT_FALSE(isPseudoLegal(start, encodeMove(E5, D6, FlagEnPassant)));  // no ep square
    EXPECT_TRUE(isPseudoLegal(start, encodeMove(E2, E4, FlagDoublePush)));

    // A double step over an occupied square.
    Position blocked = positionFromFen("4k3/8/8/8/8/4n3/4P3/4K3 w - - 0 1");
    EXPECT_FALSE(isPseudoLegal(blocked, encodeMove(E2, E4, FlagDoublePush)));

    // Capturing a king is never a move (the position is not legal, but may be searched into).
    Position kingEnPrise = positionFromFen("4k3/3P4/8/8/8/8/8/4K3 w - - 0 1");
    EXPECT_FALSE(isPseudoLegal(kingEnPrise, encodeMove(D7, E8, WhiteQueen)));

    // A pawn reaching the last rank must carry its promotion.
    Position promoting = positionFromFen("4k3/1P6/8/8/8/8/8/4K3 w - - 0 1");
    EXPECT_FALSE(isPseudoLegal(promoting, encodeMove(B7, B8)));
    EXPECT_TRUE(isPseudoLegal(promoting, encodeMove(B7, B8, WhiteQueen)));
    EXPECT_TRUE(isPseudoLegal(promoting, encodeMove(B7, B8, WhiteDarkBishop)));
    EXPECT_FALSE(isPseudoLegal(promoting, encodeMove(B7, B8, WhiteLightBishop)));
    EXPECT_FALSE(isPseudoLegal(promoting, encodeMove(B7, B8, BlackQueen)));

    // Castling without the right, and through an attacked square.
    Position castle = positionFromFen("r3k2r/8/8/8/8/8/8/R3K2R w Qkq - 0 1");
    EXPECT_FALSE(isPseudoLegal(castle, encodeMove(E1, G1, FlagCastle)));
    EXPECT_TRUE(isPseudoLegal(castle, encodeMove(E1, C1, FlagCastle)));
    Position attacked = positionFromFen("r3k2r/8/8/8/8/8/3r4/R3K2R w KQkq - 0 1");
    EXPECT_FALSE(isPseudoLegal(attacked, encodeMove(E1, C1, FlagCastle))); // d1 attacked
    EXPECT_TRUE(isPseudoLegal(attacked, encodeMove(E1, G1, FlagCastle)));
    Position check = positionFromFen("r3k2r/8/8/4r3/8/8/8/R3K2R w KQkq - 0 1");
    EXPECT_FALSE(isPseudoLegal(check, encodeMove(E1, G1, FlagCastle)));
    Position b1Attacked = positionFromFen("r3k2r/8/8/8/8/8/1r6/R3K2R w KQkq - 0 1");
    EXPECT_TRUE(isPseudoLegal(b1Attacked, encodeMove(E1, C1, FlagCastle)));
}

// isLegal's short cuts (king moves, pins) agree with playing the move, in check or not, and
// also without a search stack entry.
TEST_F(MoveCheck, LegalAgreesWithPlayingTheMove) {
    int inCheckPositions = 0;
    for (Position pos : randomPositions(0xD1CE, 30)) {
        SearchStackEntry entry;
        enterNode(pos, entry);
        inCheckPositions += entry.inCheck;
        for (Move m : pseudoLegalMoves(pos)) {
            bool expected = kingSafeAfter(pos, m);
            ASSERT_EQ(isLegal(pos, m), expected) << moveName(m);
            pos.stackEntry = nullptr;
            ASSERT_EQ(isLegal(pos, m), expected) << moveName(m);
            pos.stackEntry = &entry;
        }
    }
    EXPECT_GT(inCheckPositions, 500);
}

TEST_F(MoveCheck, PinnedRookMovesOnlyAlongThePin) {
    Position pos = positionFromFen("4r2k/8/8/8/8/8/4R3/4K3 w - - 0 1");
    SearchStackEntry entry;
    enterNode(pos, entry);
    ASSERT_EQ(entry.pinned, SquareBit[E2]);
    EXPECT_TRUE(isLegal(pos, move(pos, "e2e5")));
    EXPECT_TRUE(isLegal(pos, move(pos, "e2e8")));
    EXPECT_FALSE(isLegal(pos, move(pos, "e2d2")));
}

// givesCheck agrees with playing the move and looking at the opponent's king.
TEST_F(MoveCheck, GivesCheckAgreesWithPlayingTheMove) {
    int checks = 0;
    for (Position pos : randomPositions(0xFEED, 30)) {
        for (Move m : legalMoves(pos)) {
            bool expected = checksAfter(pos, m);
            checks += expected;
            ASSERT_EQ(givesCheck(pos, m), expected) << moveName(m);
        }
    }
    EXPECT_GT(checks, 2000);
}

TEST_F(MoveCheck, CastlingChecksWithTheRook) {
    // The rook lands on f1 and sees the king on f8 along the open file.
    Position shortCastle = positionFromFen("5k2/8/8/8/8/8/8/4K2R w K - 0 1");
    EXPECT_TRUE(givesCheck(shortCastle, encodeMove(E1, G1, FlagCastle)));
    // The rook lands on d1 and sees the king on g1 once the own king has left e1.
    Position longCastle = positionFromFen("8/8/8/8/8/8/8/R3K1k1 w Q - 0 1");
    EXPECT_TRUE(givesCheck(longCastle, encodeMove(E1, C1, FlagCastle)));
    Position noCheck = positionFromFen("4k3/8/8/8/8/8/8/4K2R w K - 0 1");
    EXPECT_FALSE(givesCheck(noCheck, encodeMove(E1, G1, FlagCastle)));
}

TEST_F(MoveCheck, StaticExchangeExamples) {
    // A pawn takes an undefended knight.
    Position knight = positionFromFen("4k3/8/8/3n4/4P3/8/8/4K3 w - - 0 1");
    EXPECT_EQ(staticExchange(knight, move(knight, "e4d5")), 300);
    // A queen takes a pawn a pawn defends.
    Position pawn = positionFromFen("4k3/8/4p3/3p4/8/8/8/3QK3 w - - 0 1");
    EXPECT_EQ(staticExchange(pawn, move(pawn, "d1d5")), -900);
    // A rook takes a rook a bishop defends; the queen behind the rook joins once it has gone.
    Position xray = positionFromFen("4k3/1b6/8/3r4/8/8/3R4/3QK3 w - - 0 1");
    EXPECT_EQ(staticExchange(xray, move(xray, "d2d5")), 300);
    // Without the queen the bishop wins the rook back.
    Position noXray = positionFromFen("4k3/1b6/8/3r4/8/8/3R4/4K3 w - - 0 1");
    EXPECT_EQ(staticExchange(noXray, move(noXray, "d2d5")), 0);
    // A bishop behind a capturing pawn joins on the diagonal.
    Position pawnXray = positionFromFen("4k3/8/2n5/3p4/4P3/5B2/8/4K3 w - - 0 1");
    EXPECT_EQ(staticExchange(pawnXray, move(pawnXray, "e4d5")), 100);
    // Castling and en passant.
    Position castle = positionFromFen("4k3/8/8/8/8/8/8/4K2R w K - 0 1");
    EXPECT_EQ(staticExchange(castle, encodeMove(E1, G1, FlagCastle)), 0);
    Position ep = positionFromFen("4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1");
    EXPECT_EQ(staticExchange(ep, move(ep, "e5d6")), 100);
    // A promotion onto a square only the opponent covers counts as a lost pawn.
    Position promote = positionFromFen("1r2k3/P7/8/8/8/8/8/4K3 w - - 0 1");
    EXPECT_EQ(staticExchange(promote, move(promote, "a7a8q")), -100);
    // Quiet moves: onto a guarded square, and onto a safe one.
    Position quiet = positionFromFen("4k3/8/2p5/8/8/8/8/3QK3 w - - 0 1");
    EXPECT_EQ(staticExchange(quiet, move(quiet, "d1d5")), -1000);
    EXPECT_EQ(staticExchange(quiet, move(quiet, "d1d4")), 0);
}
