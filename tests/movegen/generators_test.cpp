// SPDX-License-Identifier: GPL-3.0-or-later
// Capture and quiet generators: order and scores, target masks, castling conditions, the
// bound of the list, and White/Black twins as exact mirrors.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "board/position_check.h"
#include "movegen/captures.h"
#include "movegen/perft_data.h"
#include "movegen/quiets.h"

using namespace zekora;

namespace {

struct Generators : ::testing::Test {
    static void SetUpTestSuite() { initEngineOnce(); }
    void TearDown() override { std::memset(historyTable, 0, sizeof historyTable); }

    static MoveList captures(const Position& pos, Bitboard mask = ~Bitboard(0)) {
        MoveList list;
        list.clear();
        CaptureGenerators[pos.sideToMove](pos, list, mask);
        return list;
    }
    static MoveList quiets(const Position& pos, Bitboard mask = ~Bitboard(0)) {
        MoveList list;
        list.clear();
        QuietGenerators[pos.sideToMove](pos, list, mask);
        return list;
    }
    static bool contains(const MoveList& list, Move m) {
        return std::find(list.moves, list.moves + list.count, m) != list.moves + list.count;
    }
};

// The same piece with the other colour, seen in a board turned upside down: a bishop's square
// changes colour, so a light-squared bishop becomes a dark-squared one.
int mirrorCode(int code) {
    if (code == Empty) return Empty;
    int other = (code & 1) ^ 1;
    if (isBishop(code)) return ((code & ~1) == LightBishop ? DarkBishop : LightBishop) + other;
    return code ^ 1;
}

Move mirrorMove(Move m) {
    int kind = moveKind(m);
    return encodeMove(moveFrom(m) ^ 56, moveTo(m) ^ 56, isPromotion(m) ? mirrorCode(kind) : kind);
}

// The colour-flipped FEN: ranks reversed, case swapped, side, castling and en passant mirrored.
std::string mirrorFen(const std::string& fen) {
    std::vector<std::string> fields;
    size_t start = 0;
    while (start < fen.size()) {
        size_t end = fen.find(' ', start);
        if (end == std::string::npos) end = fen.size();
        fields.push_back(fen.substr(start, end - start));
        start = end + 1;
    }
    auto swapCase = [](std::string s) {
        for (char& c : s) c = std::isupper(c) ? char(std::tolower(c)) : char(std::toupper(c));
        return s;
    };
    std::vector<std::string> ranks;
    for (size_t a = 0, b; a <= fields[0].size(); a = b + 1) {
        b = fields[0].find('/', a);
        if (b == std::string::npos) b = fields[0].size();
        ranks.push_back(fields[0].substr(a, b - a));
    }
    std::string placement;
    for (size_t i = ranks.size(); i-- > 0;) placement += ranks[i] + (i ? "/" : "");
    std::string castling = fields[2] == "-" ? "-" : swapCase(fields[2]);
    std::string ep = fields[3];
    if (ep != "-") ep[1] = char('1' + ('8' - ep[1]));
    return swapCase(placement) + (fields[1] == "w" ? " b " : " w ") + castling + " " + ep + " " +
           fields[4] + " 1";
}

std::vector<std::pair<Move, int>> entries(const MoveList& list, bool mirrored) {
    std::vector<std::pair<Move, int>> v;
    for (int i = 0; i < list.count; ++i)
        v.push_back({mirrored ? mirrorMove(list.moves[i]) : list.moves[i], list.scores[i]});
    std::sort(v.begin(), v.end());
    return v;
}

} // namespace

TEST_F(Generators, PromotionsComeInOrderWithTheirScores) {
    Position pos = positionFromFen("r3k3/1P6/8/8/8/8/8/4K3 w - - 0 1");
    MoveList list = captures(pos);
    std::vector<std::pair<Move, int>> expected = {
        {encodeMove(B7, A8, WhiteQueen), 232},  {encodeMove(B7, A8, WhiteRook), 200},
        {encodeMove(B7, A8, WhiteKnight), 200}, {encodeMove(B7, A8, WhiteLightBishop), 200},
        {encodeMove(B7, B8, WhiteQueen), 38},   {encodeMove(B7, B8, WhiteRook), 6},
        {encodeMove(B7, B8, WhiteKnight), 6},   {encodeMove(B7, B8, WhiteDarkBishop), 6},
    };
    ASSERT_EQ(list.count, expected.size());
    for (int i = 0; i < list.count; ++i) {
        EXPECT_EQ(list.moves[i], expected[i].first) << i;
        EXPECT_EQ(list.scores[i], expected[i].second) << i;
    }
    // A pawn on the seventh rank has no quiet move.
    MoveList q = quiets(pos);
    for (int i = 0; i < q.count; ++i) EXPECT_NE(moveFrom(q.moves[i]), B7);
}

TEST_F(Generators, CapturesAreOrderedByVictimThenAttackerAndRespectTheMask) {
    // The queen on d5 is attacked by the pawn e4, the knight f4 and the rook d1; the knight f4
    // also attacks a knight.
    Position pos = positionFromFen("3rk3/8/4n3/3q4/4PN2/8/8/3RK3 w - - 0 1");
    MoveList list = captures(pos);
    ASSERT_EQ(list.count, 4);
    EXPECT_EQ(list.moves[0], encodeMove(E4, D5));
    EXPECT_EQ(list.scores[0], 208);
    EXPECT_EQ(list.moves[1], encodeMove(F4, D5));
    EXPECT_EQ(list.moves[2], encodeMove(D1, D5));
    EXPECT_EQ(list.moves[3], encodeMove(F4, E6));
    EXPECT_EQ(list.scores[3], 183);
    for (int i = 1; i < list.count; ++i) EXPECT_GE(list.scores[i - 1], list.scores[i]);

    MoveList onlyQueen = captures(pos, SquareBit[D5]);
    EXPECT_EQ(onlyQueen.count, 3);
    for (int i = 0; i < onlyQueen.count; ++i) EXPECT_EQ(moveTo(onlyQueen.moves[i]), D5);
}

TEST_F(Generators, TheKingIsNeverCaptured) {
    // Black to move could take the White king (an impossible position): no move lists it.
    Position pos = positionFromFen("4k3/8/8/8/8/8/3q4/4K3 b - - 0 1");
    MoveList list = captures(pos);
    for (int i = 0; i < list.count; ++i) EXPECT_NE(moveTo(list.moves[i]), E1);
}

TEST_F(Generators, EnPassantIsListedEvenForAPinnedPawn) {
    Position pos = positionFromFen("4k3/4r3/8/3pP3/8/8/8/4K3 w - d6 0 1");
    MoveList list = captures(pos);
    EXPECT_TRUE(contains(list, encodeMove(E5, D6, FlagEnPassant)));
    // Two Black pawns beside the double-stepped pawn: both captures, from e4 first, then c4.
    pos = positionFromFen("4k3/8/8/8/2pPp3/8/8/4K3 b - d3 0 1");
    list = captures(pos);
    ASSERT_EQ(list.count, 2);
    EXPECT_EQ(list.moves[0], encodeMove(E4, D3, FlagEnPassant));
    EXPECT_EQ(list.moves[1], encodeMove(C4, D3, FlagEnPassant));
}

TEST_F(Generators, QuietsFollowTheHistoryTableKeepingGenerationOrderOnTies) {
    Position pos = positionFromFen(StartFen);
    MoveList list = quiets(pos);
    ASSERT_EQ(list.count, 20);
    EXPECT_EQ(list.moves[0], encodeMove(A2, A3));
    EXPECT_EQ(list.moves[8], encodeMove(A2, A4, FlagDoublePush));
    EXPECT_EQ(list.moves[16], encodeMove(B1, A3));
    historyTable[WhiteKnight][F3] = 500;
    historyTable[WhitePawn][E4] = 300;
    list = quiets(pos);
    EXPECT_EQ(list.moves[0], encodeMove(G1, F3));
    EXPECT_EQ(list.scores[0], 500);
    EXPECT_EQ(list.moves[1], encodeMove(E2, E4, FlagDoublePush));
    EXPECT_EQ(list.moves[2], encodeMove(A2, A3));
}

TEST_F(Generators, CastlingNeedsRightsEmptySquaresAndASafePath) {
    const Move Short = encodeMove(E1, G1, FlagCastle), Long = encodeMove(E1, C1, FlagCastle);
    struct {
        const char* fen;
        bool shortOk, longOk;
    } cases[] = {
        {"r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", true, true},
        {"r3k2r/8/8/8/8/8/8/R3K2R w Qkq - 0 1", false, true},
        {"r3k2r/8/8/8/8/8/8/R3K2R w - - 0 1", false, false},
        {"r3k2r/8/8/8/8/8/8/RN2K2R w KQkq - 0 1", true, false},   // b1 occupied
        {"r3k2r/8/8/8/8/8/8/R3K1NR w KQkq - 0 1", false, true},   // g1 occupied
        {"r3k2r/8/8/8/8/8/5p2/R3K2R w KQkq - 0 1", false, false}, // in check (pawn f2)
        {"r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", true, true},
        {"r4rk1/8/8/8/8/8/8/R3K2R w KQ - 0 1", false, true}, // f1 attacked
        {"2r1k3/8/8/8/8/8/8/R3K2R w KQ - 0 1", true, false}, // c1 attacked
        {"1r2k3/8/8/8/8/8/8/R3K2R w KQ - 0 1", true, true},  // only b1 attacked: allowed
    };
    for (const auto& c : cases) {
        Position pos = positionFromFen(c.fen);
        MoveList list = quiets(pos);
        EXPECT_EQ(contains(list, Short), c.shortOk) << c.fen;
        EXPECT_EQ(contains(list, Long), c.longOk) << c.fen;
    }
    // A mask without g1 suppresses the short castling.
    Position pos = positionFromFen("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1");
    MoveList list = quiets(pos, ~SquareBit[G1]);
    EXPECT_FALSE(contains(list, Short));
    EXPECT_TRUE(contains(list, Long));
}

TEST_F(Generators, TheListNeverOverflows) {
    // 16 captures and 240 quiet moves: one more than a list holds. Setup refuses to search
    // such a position, but the generators must still stop at the bound.
    const char* fen = "QQQQQ1Qq/Q6Q/5Q1Q/1Q5n/Q6Q/Q1Q5/Q6Q/1QbQQQQq w - - 0 1";
    Position pos = positionFromFen(fen);
    EXPECT_FALSE(currentPositionUsable);
    EXPECT_EQ(captures(pos).count + quiets(pos).count, MaxMoves + 1);
    MoveList list;
    generatePseudoLegal(pos, list);
    EXPECT_EQ(list.count, MaxMoves);
}

TEST_F(Generators, BlackTwinsMirrorTheWhiteOnes) {
    for (const PerftCase& c : loadPerftCases()) {
        Position pos = positionFromFen(c.fen);
        Position mirrored = positionFromFen(mirrorFen(c.fen));
        for (int s = 0; s < 64; ++s) ASSERT_EQ(mirrored.board[s ^ 56], mirrorCode(pos.board[s]));
        ASSERT_EQ(entries(captures(pos), false), entries(captures(mirrored), true)) << c.fen;
        ASSERT_EQ(entries(quiets(pos), false), entries(quiets(mirrored), true)) << c.fen;
    }
}
