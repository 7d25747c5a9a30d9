// SPDX-License-Identifier: GPL-3.0-or-later
#include "board/attacks.h"

#include <gtest/gtest.h>

using namespace zekora;

namespace {

struct Tables : ::testing::Test {
    static void SetUpTestSuite() {
        initLineTables();
        initMagics();
    }
};

Bitboard bits(std::initializer_list<int> squares) {
    Bitboard b = 0;
    for (int s : squares) b |= 1ULL << s;
    return b;
}

// Slow reference: walk each ray until the first occupied square.
Bitboard slowSlider(Square s, Bitboard occ, bool diagonal) {
    static const int Diag[4][2] = {{1, 1}, {-1, 1}, {1, -1}, {-1, -1}};
    static const int Orth[4][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
    const int(*dirs)[2] = diagonal ? Diag : Orth;
    Bitboard result = 0;
    for (int d = 0; d < 4; ++d)
        for (int f = fileOf(s) + dirs[d][0], r = rankOf(s) + dirs[d][1];
             f >= 0 && f < 8 && r >= 0 && r < 8; f += dirs[d][0], r += dirs[d][1]) {
            result |= 1ULL << makeSquare(f, r);
            if (occ >> makeSquare(f, r) & 1) break;
        }
    return result;
}

} // namespace

TEST_F(Tables, MagicLookupsMatchRayWalksForRandomOccupancies) {
    uint64_t x = 0x9E3779B97F4A7C15ULL;
    for (int i = 0; i < 20000; ++i) {
        x ^= x << 13, x ^= x >> 7, x ^= x << 17;
        Bitboard occ = x & (x >> 11) & (x << 5); // sparse and dense mixes
        if (i & 1) occ = x;
        Square s = i % 64;
        ASSERT_EQ(bishopAttacks(s, occ), slowSlider(s, occ, true)) << s;
        ASSERT_EQ(rookAttacks(s, occ), slowSlider(s, occ, false)) << s;
    }
}

TEST_F(Tables, KnownSliderAndLineValues) {
    EXPECT_EQ(bishopAttacks(A1, 0), bits({B2, C3, D4, E5, F6, G7, H8}));
    EXPECT_EQ(rookAttacks(A1, bits({A3, C1})), bits({A2, A3, B1, C1}));
    EXPECT_EQ(Line[A1][C3], bits({A1, B2, C3, D4, E5, F6, G7, H8}));
    EXPECT_EQ(Line[A1][B3], 0u);
    EXPECT_EQ(Between[A1][D4], bits({B2, C3}));
    EXPECT_EQ(Between[A1][B2], 0u);
    EXPECT_EQ(Between[H1][A8], bits({G2, F3, E4, D5, C6, B7}));
    EXPECT_EQ(Between[E1][E1], 0u);
    EXPECT_EQ(PawnAttacks[White][H8], 0u);
    EXPECT_EQ(PawnAttacks[Black][A1], 0u);
    EXPECT_EQ(PawnAttacks[White][A2], bits({B3}));
    EXPECT_EQ(KnightAttacks[A1], bits({B3, C2}));
    EXPECT_EQ(AdjacentFiles[0], FileABB << 1);
    EXPECT_EQ(AdjacentFiles[4], (FileABB << 3) | (FileABB << 5));
    EXPECT_EQ(popcount(Line[D4][D4]), 8 + 8 + 8 + 7 - 3); // rank, file, both diagonals
}

TEST_F(Tables, SoftwareAndHardwareBitCountsAgree) {
    uint64_t x = 1;
    for (int i = 0; i < 1000; ++i) {
        x = x * 6364136223846793005ULL + 1442695040888963407ULL;
        EXPECT_EQ(popcount(x), __builtin_popcountll(x));
    }
}
