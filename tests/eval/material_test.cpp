// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "eval_support.h"

using namespace zekora;
using namespace zekora::test;

namespace {

struct Material : ::testing::Test {
    static void SetUpTestSuite() { initEngineOnce(); }

    static MaterialInfo infoOf(const char* fen) {
        MaterialInfo info;
        computeMaterialInfo(positionFromFen(fen), info);
        return info;
    }
};

} // namespace

TEST_F(Material, StartPositionIsLevelAndCountsBlackAsStronger) {
    MaterialInfo info = infoOf(StartFen);
    EXPECT_EQ(info.phase, 32);
    EXPECT_EQ(info.value, 0);
    EXPECT_EQ(info.strongerSide, StrongerBlack);
    EXPECT_EQ(info.scale, 128);
    EXPECT_EQ(info.whiteFlags, QueenAttack);
    EXPECT_EQ(info.blackFlags, QueenAttack);
}

TEST_F(Material, BishopPairAndPawnDependentImbalance) {
    // Two bishops against two knights, four pawns each: the pair (47) plus Black's knights
    // losing 5 for each pawn short of five, twice (10).
    MaterialInfo info = infoOf("2n1kn2/pppp4/8/8/8/8/PPPP4/2B1KB2 w - - 0 1");
    EXPECT_EQ(info.phase, 4);
    EXPECT_EQ(info.value, 57);
    EXPECT_EQ(info.strongerSide, StrongerWhite);
    // A knight with eight pawns gains 15 against a bishop.
    EXPECT_EQ(infoOf("4kb2/pppppppp/8/8/8/8/PPPPPPPP/4KN2 w - - 0 1").value, 15);
}

TEST_F(Material, EndgameScalesOfKnownDraws) {
    struct Case {
        const char* fen;
        int scale;
        const char* why;
    } cases[] = {
        {"8/8/8/4k3/8/8/8/1NN1K3 w - - 0 1", 0, "two knights cannot mate"},
        {"8/8/8/4k3/8/4p3/8/1NN1K3 w - - 0 1", 64, "two knights against a pawn"},
        {"4k3/8/8/8/8/8/4P3/3NK3 w - - 0 1", 128, "minor and pawn against a bare king"},
        {"4k3/8/8/8/8/8/3n4/R3K3 w - - 0 1", 64, "rook against a minor, no pawns"},
        {"4k3/8/8/8/8/8/3n4/R3K3 b - - 0 1", 64, "the side to move plays no part"},
        {"4kb2/8/8/8/8/8/8/4KN2 w - - 0 1", 0, "minor against minor"},
        {"4k3/pp6/8/8/8/8/PPP5/4K3 w - - 0 1", 128, "pawn endings are never scaled"},
        {"4k3/8/8/8/8/8/8/R3K3 w - - 0 1", 128, "a rook up"},
    };
    for (const Case& c : cases) EXPECT_EQ(infoOf(c.fen).scale, c.scale) << c.why;
}

TEST_F(Material, EndgameScaleTableRows) {
    // Bishop pair against two knights, pawnless.
    EXPECT_EQ(endgameScale(0, 0, 1, 1, 0, 0, 0, 2, 0, 0, 0, 0), 4);
    // Two minors against a rook, the weaker side with three pawns.
    EXPECT_EQ(endgameScale(0, 1, 1, 0, 0, 0, 3, 0, 0, 0, 1, 0), (4 - 3) * 8);
    // Three minors against two: the pawnless column, then the general rule with one pawn.
    EXPECT_EQ(endgameScale(0, 2, 1, 0, 0, 0, 2, 1, 1, 0, 0, 0), (8 - 2) * 8);
    EXPECT_EQ(endgameScale(1, 2, 1, 0, 0, 0, 2, 1, 1, 0, 0, 0), (32 - 2) * 4);
    // Two pawns always play on.
    EXPECT_EQ(endgameScale(2, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0, 0), 128);
}

TEST_F(Material, RookPawnWithTheWrongBishop) {
    // a8 is light: a dark-squared bishop cannot drive the king from the corner.
    Position wrong = positionFromFen("1k6/8/8/8/8/8/P7/2B1K3 w - - 0 1");
    MaterialInfo info;
    computeMaterialInfo(wrong, info);
    EXPECT_EQ(info.scale, 128);
    EXPECT_TRUE(info.whiteFlags & OneBishopColour);
    EXPECT_EQ(rookPawnBishopScale(wrong, info), 0);

    Position right = positionFromFen("1k6/8/8/8/8/8/P7/3BK3 w - - 0 1");
    computeMaterialInfo(right, info);
    EXPECT_EQ(rookPawnBishopScale(right, info), 128);

    Position far = positionFromFen("8/8/8/3k4/8/8/P7/2B1K3 w - - 0 1");
    computeMaterialInfo(far, info);
    EXPECT_EQ(rookPawnBishopScale(far, info), 128);

    // Black's h-pawn promotes on the light h1: a dark-squared bishop does not help.
    Position black = positionFromFen("4k3/7p/8/8/8/4b3/8/7K b - - 0 1");
    computeMaterialInfo(black, info);
    EXPECT_EQ(info.strongerSide, StrongerBlack);
    EXPECT_EQ(rookPawnBishopScale(black, info), 0);
    Position blackRight = positionFromFen("4k3/7p/8/8/8/3b4/8/7K b - - 0 1");
    computeMaterialInfo(blackRight, info);
    EXPECT_EQ(rookPawnBishopScale(blackRight, info), 128);
}

TEST_F(Material, LonePawnWithTheKingInFront) {
    struct Case {
        const char* fen;
        int scale;
    } cases[] = {
        {"8/8/k7/8/8/8/P7/4K3 w - - 0 1", 0},  // anywhere ahead on the rook file
        {"1k6/8/8/8/8/8/P7/4K3 w - - 0 1", 0}, // b8 guards the corner
        {"8/1k6/8/8/8/8/P7/4K3 w - - 0 1", 0}, // b7 as well
        {"8/8/1k6/8/8/8/P7/4K3 w - - 0 1", 128},
        {"8/6k1/8/8/8/8/7P/4K3 b - - 0 1", 0},  // g7 for the h-pawn
        {"8/8/4k3/8/4P3/8/8/4K3 w - - 0 1", 0}, // two squares ahead
        {"8/4k3/8/8/4P3/8/8/4K3 w - - 0 1", 128},
        {"4k3/4P3/8/8/8/8/8/4K3 w - - 0 1", 128}, // the rules end at the sixth rank
        {"8/4k3/4P3/8/8/8/8/4K3 w - - 0 1", 0},   // rank 6: directly in front
        {"4k3/8/4P3/8/8/8/8/4K3 w - - 0 1", 128},
        {"4k3/8/8/4p3/8/4K3/8/8 b - - 0 1", 0}, // Black's pawn, read on the mirrored board
        {"4k3/8/8/4p3/8/8/4K3/8 b - - 0 1", 128},
    };
    for (const Case& c : cases) {
        Position pos = positionFromFen(c.fen);
        MaterialInfo info;
        computeMaterialInfo(pos, info);
        EXPECT_TRUE((info.whiteFlags | info.blackFlags) & LonePawn) << c.fen;
        EXPECT_EQ(lonePawnScale(pos, info), c.scale) << c.fen;
    }
}

TEST_F(Material, ProbeFillsOnceAndKeepsTheEntry) {
    Position pos = positionFromFen("4k3/8/3n4/8/8/8/8/R3K3 w - - 0 1");
    MaterialInfo& entry = probeMaterial(pos);
    EXPECT_EQ(entry.checkKey, uint32_t(pos.materialKey >> 32));
    entry.value = 1234; // a second probe must not recompute
    EXPECT_EQ(probeMaterial(pos).value, 1234);
    computeMaterialInfo(pos, entry);
}
