// SPDX-License-Identifier: GPL-3.0-or-later
#include "board/zobrist.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "board/position_check.h"

using namespace zekora;

namespace {

struct Zobrist : ::testing::Test {
    static void SetUpTestSuite() { initEngineOnce(); }
};

} // namespace

TEST_F(Zobrist, KeysAreFixedDistinctAndOnlyWhereDrawn) {
    uint64_t saved[16][64];
    std::memcpy(saved, PieceSquareKey, sizeof saved);
    initZobrist();
    EXPECT_EQ(std::memcmp(saved, PieceSquareKey, sizeof saved), 0);

    std::set<uint64_t> keys;
    int drawn = 0;
    auto add = [&](uint64_t k) {
        ++drawn;
        keys.insert(k);
        EXPECT_NE(k, 0u);
    };
    for (int code = WhitePawn; code <= BlackKing; ++code) {
        for (Square s = 0; s < 64; ++s) add(PieceSquareKey[code][s]);
        for (int n = 0; n <= MaxMaterialCount; ++n) add(MaterialKeyTable[code][n]);
    }
    for (Square s = 0; s <= NoSquare; ++s) {
        bool used = s == NoSquare || rankOf(s) == 2 || rankOf(s) == 5;
        if (used)
            add(EnPassantKey[s]);
        else
            EXPECT_EQ(EnPassantKey[s], 0u) << s;
    }
    for (int r = 0; r < 16; ++r) add(CastlingKey[r]);
    add(SideKey[White]);
    add(SideKey[Black]);
    EXPECT_EQ(drawn, 1085);
    EXPECT_EQ(keys.size(), 1085u);
    for (Square s = 0; s < 64; ++s) EXPECT_EQ(PieceSquareKey[0][s] | PieceSquareKey[1][s], 0u);
}
