// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "eval_support.h"

using namespace zekora;
using namespace zekora::test;

namespace {

struct Pawns : ::testing::Test {
    static void SetUpTestSuite() { initEngineOnce(); }

    static PawnHashEntry entryOf(const char* fen) {
        PawnHashEntry entry;
        evaluatePawns(positionFromFen(fen), entry);
        return entry;
    }
};

Bitboard bits(std::initializer_list<int> squares) {
    Bitboard b = 0;
    for (int s : squares) b |= 1ULL << s;
    return b;
}

} // namespace

TEST_F(Pawns, StartPositionCancelsAndShelterIsTen) {
    PawnHashEntry entry = entryOf(StartFen);
    EXPECT_EQ(entry.score, 0);
    EXPECT_EQ(entry.whitePassedFiles | entry.blackPassedFiles, 0);
    EXPECT_EQ(entry.whitePawnFiles, 0xFF);
    EXPECT_EQ(entry.blackPawnFiles, 0xFF);
    EXPECT_EQ(entry.whiteShelter, 10);
    EXPECT_EQ(entry.blackShelter, 10);
}

// Whole structure scores worked out term by term (kings on e1 and e8 unless given).
TEST_F(Pawns, StructureScores) {
    struct Case {
        const char* fen;
        PackedScore score;
        int whitePassed;
        const char* terms;
    } cases[] = {
        {"4k3/8/8/4P3/8/8/8/4K3 w - - 0 1", pack(20, 24), 1 << 4,
         "passed e5 (20, 30), isolated open (0, 5), own king 5 from e6 (0, 16), enemy king 2 "
         "ahead (0, 15)"},
        {"8/8/4K3/4P3/8/8/8/k7 w - - 0 1", pack(20, 63), 1 << 4,
         "the same pawns right after, kings elsewhere: own king on the stop square (0, -2), "
         "enemy king 5 behind (0, 40)"},
        {"4k3/8/8/4P3/8/4P3/8/4K3 w - - 0 1", pack(16, 6), 1 << 4,
         "front pawn passed as above; the rear one doubled (0, 12) and isolated closed (4, 6)"},
        {"4k3/8/3p4/4P3/3P4/8/8/4K3 w - - 0 1", pack(20, 33), 0,
         "e5 defended (1, 2) and a candidate (15, 25); d6 isolated closed (4, 6)"},
        {"4k3/3p4/8/4P3/3P4/8/8/4K3 w - - 0 1", pack(5, 8), 0,
         "d7 stops the candidate: e5 defended (1, 2); d7 isolated closed (4, 6)"},
        {"4k3/8/3p4/5p2/3P4/4P3/8/4K3 w - - 0 1", pack(13, 17), 0,
         "d4 defended (1, 2), e3 backward (8, 12); d6 isolated closed (4, 6), f5 isolated open "
         "(10, 15), two Black islands (6, 6)"},
        {"4k3/8/8/8/8/8/P1P1P1P1/4K3 w - - 0 1", pack(-45, 31), 0x55,
         "four passed isolated pawns: 4 x (5, 5) - 4 x (10, 15), king distances (0, -24 + 120), "
         "four islands (25, 25)"},
    };
    for (const Case& c : cases) {
        PawnHashEntry entry = entryOf(c.fen);
        EXPECT_EQ(mgOf(entry.score), mgOf(c.score)) << c.fen << ": " << c.terms;
        EXPECT_EQ(egOf(entry.score), egOf(c.score)) << c.fen << ": " << c.terms;
        EXPECT_EQ(entry.whitePassedFiles, c.whitePassed) << c.fen;
    }
}

TEST_F(Pawns, ShelterAndStorm) {
    // Black pawn on f3, none on g and h, Black king on the queen side: storm 30 + 10 + 10.
    EXPECT_EQ(kingShelter(positionFromFen("2k5/8/8/8/8/5p2/5PPP/6K1 w - - 0 1"), G1), 10 + 50);
    // Same wing: no storm. f2 (0), g3 on the king's file (15), h4 (15).
    EXPECT_EQ(kingShelter(positionFromFen("6k1/8/8/8/7P/6P1/5P2/6K1 w - - 0 1"), G1), 30);
    // No pawns at all: empty files 30 + 55 + 30, storm 3 x 10.
    EXPECT_EQ(kingShelter(positionFromFen("k7/8/8/8/8/8/8/6K1 w - - 0 1"), G1), 145);
    // On the edge only two files count.
    EXPECT_EQ(kingShelter(positionFromFen("k7/8/8/8/8/8/6PP/7K w - - 0 1"), H1), 10 + 20);
    // The nearest Black pawn is its highest one.
    EXPECT_EQ(kingShelterBlack(positionFromFen("6k1/5p2/6p1/7p/8/8/8/6K1 b - - 0 1"), G8), 30);
}

TEST_F(Pawns, CastlingRightsLetTheKingUseTheBetterShelterAndKeyTheCache) {
    Position castles = positionFromFen("4k3/8/8/8/8/8/5PPP/4K2R w K - 0 1");
    Position stays = positionFromFen("4k3/8/8/8/8/8/5PPP/4K2R w - - 0 1");
    // Probed one after the other, so a cache key without the rights would mix them up.
    // g1: an intact shelter (10) facing a storm on three empty files (30).
    EXPECT_EQ(probePawnHash(castles).whiteShelter, 10 + 30);
    EXPECT_EQ(probePawnHash(stays).whiteShelter, 30 + 55 + 0);
    EXPECT_EQ(probePawnHash(castles).whiteShelter, 10 + 30);
    EXPECT_EQ(probePawnHash(stays).blackShelter, 30 + 55 + 30);
}

TEST_F(Pawns, KingCatchesPawnWithAndWithoutTheTempo) {
    // Tempo and adjacency cancel the double step.
    EXPECT_TRUE(kingCatchesPawn(D1, E2, 1));
    EXPECT_FALSE(kingCatchesPawn(D1, E2, 0));
    EXPECT_FALSE(kingCatchesPawn(C1, E2, 1));
    EXPECT_TRUE(kingCatchesPawn(D7, A6, 1));
    EXPECT_FALSE(kingCatchesPawn(D7, A6, 0));

    EXPECT_TRUE(CatchSquares[White][E2][Black] & bits({D1}));
    EXPECT_FALSE(CatchSquares[White][E2][White] & bits({D1}));
    EXPECT_TRUE(CatchSquares[Black][E7][White] & bits({D8}));
    EXPECT_FALSE(CatchSquares[Black][E7][Black] & bits({D8}));
}

TEST_F(Pawns, KeySquares) {
    EXPECT_EQ(KeySquares[White][H4], 0u);
    EXPECT_EQ(KeySquares[White][A5], bits({B7}));
    EXPECT_EQ(KeySquares[White][E4], bits({D6, E6, F6}));
    EXPECT_EQ(KeySquares[White][E6], bits({D7, E7, F7, D8, E8, F8}));
    EXPECT_EQ(KeySquares[White][E7], bits({D7, F7, D8, E8, F8}));
    EXPECT_EQ(KeySquares[Black][H4], bits({G2}));
    EXPECT_EQ(KeySquares[Black][E5], bits({D3, E3, F3}));
    EXPECT_EQ(KeySquares[Black][A3], bits({B2, B1}));
}
