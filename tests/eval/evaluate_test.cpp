// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cstdlib>

#include "eval/psqt.h"
#include "eval_support.h"

using namespace zekora;
using namespace zekora::test;

namespace {

struct Evaluation : ::testing::Test {
    static void SetUpTestSuite() { initEngineOnce(); }
};

// Openings, middlegames with castling rights and en-passant squares, endings with passed
// pawns; each also serves as the start of random games.
const std::vector<std::string> SymmetryFens = {
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
    "rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w KQkq e6 0 2",
    "r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R b KQkq - 4 4",
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R b Kq - 0 1",
    "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10",
    "2kr3r/ppp2ppp/2n5/2b1p3/2B1P1b1/2NP4/PPP2PPP/R1B2RK1 w - - 0 12",
    "r1b2rk1/2q1b1pp/p2ppn2/1p6/3QP3/1BN1B3/PPP3PP/R4RK1 b - - 0 14",
    "2r3k1/pp3ppp/8/3P4/8/8/PP3PPP/2R3K1 w - - 0 25",
    "8/5pk1/6p1/8/2P5/1P6/P4K2/8 b - - 0 45",
    "8/3k4/2p5/1pPp4/1P1P4/4K3/8/8 w - - 0 55",
    "8/1P6/8/3k4/8/8/5K2/8 b - - 0 60",
    "7k/8/P7/8/8/8/8/K7 w - - 0 60",
    "r5k1/5ppp/8/1P6/8/8/5PPP/6K1 w - - 0 35",
    "6k1/5p2/6p1/8/7P/6P1/5PK1/3R4 w - - 0 38",
    "4k3/8/8/2n5/8/8/P6P/4K3 w - - 0 50",
    "8/8/4k3/8/2B5/8/P7/K7 w - - 0 50",
    "1k6/1p6/p1p5/P1P5/1P6/8/5K2/8 b - - 0 50",
    "3qk3/8/8/8/8/8/8/3QK2R w K - 0 1",
};

// A level balance takes Black as the stronger side in both the position and its flip, so the
// side whose scale candidate and wrong-bishop draw apply changes with the colours. Only the
// scale can differ: every other term mirrors exactly.
bool levelBalanceBreaksSymmetry(const Position& pos, const Position& flip) {
    MaterialInfo a, b;
    computeMaterialInfo(pos, a);
    computeMaterialInfo(flip, b);
    bool level = a.strongerSide == StrongerBlack && b.strongerSide == StrongerBlack;
    return level && evaluationScale(pos, a) != evaluationScale(flip, b);
}

// Every term mirrors exactly, and so does the material balance before its truncation toward
// zero. The final score need not: the phase blend and the scale both round toward minus
// infinity, which can put a position and its mirror up to two points apart.
void expectMirrored(const Position& pos, const Position& flip) {
    MaterialInfo a, b;
    computeMaterialInfo(pos, a);
    computeMaterialInfo(flip, b);
    PawnHashEntry pa = probePawnHash(pos), pb = probePawnHash(flip);
    ASSERT_EQ(a.value, -b.value);
    ASSERT_EQ(positionalScore(pos, a, pa), -positionalScore(flip, b, pb));
    ASSERT_LE(std::abs(evaluate(pos, 0, 0) - evaluate(flip, 0, 0)), 2);
}

} // namespace

TEST_F(Evaluation, StartPositionIsZeroForEitherSide) {
    EXPECT_EQ(evaluate(positionFromFen(StartFen), -30000, 30000), 0);
    EXPECT_EQ(evaluate(positionFromFen("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR b KQkq - 0 1"),
                       -30000, 30000),
              0);
}

TEST_F(Evaluation, ColourFlipMirrorsEveryTerm) {
    for (const std::string& fen : SymmetryFens) {
        Position pos = positionFromFen(fen);
        Position flip = colourFlipped(pos);
        ASSERT_FALSE(levelBalanceBreaksSymmetry(pos, flip)) << fen;
        expectMirrored(pos, flip);
        if (HasFailure()) FAIL() << fen;
    }
}

TEST_F(Evaluation, ColourFlipMirrorsEveryTermAlongRandomGames) {
    std::vector<Position> positions = randomGamePositions(SymmetryFens, 3, 70, 2024);
    int exceptions = 0;
    for (const Position& pos : positions) {
        Position flip = colourFlipped(pos);
        if (levelBalanceBreaksSymmetry(pos, flip)) {
            ++exceptions;
            continue;
        }
        expectMirrored(pos, flip);
        if (HasFailure()) FAIL() << "position " << (&pos - positions.data());
    }
    EXPECT_LT(exceptions * 100, int(positions.size()));
}

TEST_F(Evaluation, FinalStepFloorsTheBlendAndTheScale) {
    // Rook against bishop and pawn: a reduced scale and a negative, odd blend.
    Position pos = positionFromFen("4k3/3p4/8/3b4/8/8/8/R3K3 w - - 0 1");
    MaterialInfo mi;
    computeMaterialInfo(pos, mi);
    ASSERT_EQ(mi.value, 47);
    ASSERT_EQ(mi.phase, 4);
    ASSERT_EQ(evaluationScale(pos, mi), 56);
    ASSERT_EQ(positionalScore(pos, mi, probePawnHash(pos)), pack(-12, -24));
    // blend = (-12 * 4 + -24 * 28) >> 5 = -720 >> 5 = -23 (not -22.5 truncated to -22);
    // scaled = (56 * -23) >> 7 = -1288 >> 7 = -11 (not -10); 47 - 11 = 36.
    EXPECT_EQ(evaluate(pos, 0, 0), 36);
}

// White entries read off the printed tables, a few per piece and half; Black's are derived
// from White's, so a mistyped White entry would pass every mirror test.
TEST_F(Evaluation, PieceSquareEntriesMatchThePrintedTables) {
    struct Entry {
        int code;
        Square square;
        int mg, eg;
    } entries[] = {
        {WhitePawn, A2, -23, -7},       {WhitePawn, D4, 4, -12},      {WhitePawn, H7, -17, -2},
        {WhitePawn, E1, 0, 0},          {WhiteKnight, A8, -120, -15}, {WhiteKnight, E5, 26, 10},
        {WhiteKnight, B1, -42, -17},    {WhiteKnight, G3, -4, -4},    {WhiteLightBishop, D5, 15, 5},
        {WhiteDarkBishop, C1, -11, -2}, {WhiteLightBishop, B7, 3, 1}, {WhiteDarkBishop, H8, -2, 0},
        {WhiteRook, D1, 3, 0},          {WhiteRook, A7, -2, 1},       {WhiteRook, C3, 1, 0},
        {WhiteRook, H5, -2, 1},         {WhiteQueen, F8, 1, 1},       {WhiteQueen, C8, -1, -1},
        {WhiteQueen, E5, 3, 3},         {WhiteQueen, A1, -4, -4},     {WhiteKing, G1, 48, -54},
        {WhiteKing, F3, 12, 9},         {WhiteKing, G4, 39, -1},      {WhiteKing, B4, 39, -3},
        {WhiteKing, D8, -39, -9},       {WhiteKing, E5, -15, 27},
    };
    for (const Entry& e : entries)
        EXPECT_EQ(PieceSquareTable[e.code][e.square], pack(e.mg, e.eg))
            << "code " << e.code << " square " << int(e.square);
}

TEST_F(Evaluation, LevelRookPawnEndingIsNotSymmetric) {
    // a-pawns each, equal material, so Black counts as the stronger side in both colourings.
    // Here Black's pawn runs to a1 with the White king on b1: the wrong-bishop draw (no
    // bishop at all) applies. In the flip Black is the former White, whose king is far from
    // the corner of the former Black pawn, so the draw does not apply.
    Position pos = positionFromFen("8/p7/8/4k3/8/8/P7/1K6 w - - 0 1");
    Position flip = colourFlipped(pos);
    ASSERT_TRUE(levelBalanceBreaksSymmetry(pos, flip));
    EXPECT_EQ(evaluate(pos, 0, 0), 0);
    EXPECT_NE(evaluate(flip, 0, 0), 0);
}

TEST_F(Evaluation, CachedValueKeepsTheSignOfTheSideToMove) {
    Position pos = positionFromFen("r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/"
                                   "R4RK1 b - - 0 10");
    int first = evaluate(pos, 0, 0);
    const EvalCacheEntry& entry = EvalCache[pos.key & (EvalCacheSize - 1)];
    EXPECT_EQ(entry.checkKey, uint32_t(pos.key >> 32));
    EXPECT_EQ(entry.value, -first); // stored from White's point of view
    EXPECT_EQ(evaluate(pos, -100, 100), first);
}

TEST_F(Evaluation, WarmCachesAgreeWithFreshEvaluation) {
    // Positions that share pawns, material or index bits must never read each other's entries.
    std::vector<Position> positions = randomGamePositions(SymmetryFens, 2, 60, 77);
    clearEvalCaches();
    std::vector<int> warm;
    for (const Position& pos : positions) warm.push_back(evaluate(pos, 0, 0));
    for (size_t i = 0; i < positions.size(); ++i) {
        const Position& pos = positions[i];
        EvalCache[pos.key & (EvalCacheSize - 1)].checkKey ^= 1;
        computeMaterialInfo(pos, MaterialTable[pos.materialKey & (MaterialTableSize - 1)]);
        evaluatePawns(pos, PawnHashTable[pawnHashKey(pos) & (PawnHashSize - 1)]);
        ASSERT_EQ(evaluate(pos, 0, 0), warm[i]) << "position " << i;
    }
}

TEST_F(Evaluation, KnownDrawsScoreZeroAndStayOutOfTheCache) {
    const char* draws[] = {
        "8/8/8/4k3/8/8/8/1NN1K3 w - - 0 1", // two knights
        "1k6/8/8/8/8/8/P7/2B1K3 w - - 0 1", // rook pawn, wrong bishop
        "8/8/k7/8/8/8/P7/4K3 b - - 0 1",    // king in front of the rook pawn
        "8/8/4k3/8/4P3/8/8/4K3 w - - 0 1",  // king two squares in front
        "4kb2/8/8/8/8/8/8/4KN2 w - - 0 1",  // minor against minor
    };
    for (const char* fen : draws) {
        Position pos = positionFromFen(fen);
        EvalCacheEntry& entry = EvalCache[pos.key & (EvalCacheSize - 1)];
        entry = EvalCacheEntry{0, 0};
        EXPECT_EQ(evaluate(pos, 0, 0), 0) << fen;
        EXPECT_EQ(entry.checkKey, 0u) << fen;
    }
    // The right bishop wins.
    EXPECT_GT(evaluate(positionFromFen("1k6/8/8/8/8/8/P7/3BK3 w - - 0 1"), 0, 0), 200);
}

TEST_F(Evaluation, KnightOutpost) {
    Bitboard d4 = 1ULL << D4, d5 = 1ULL << D5;
    EXPECT_EQ(knightOutpost<White>(E5, pawnAttacksOf<White>(d4), 0), pack(15, 15));
    EXPECT_EQ(knightOutpost<White>(E5, pawnAttacksOf<White>(d4), 1ULL << F7), pack(10, 10));
    EXPECT_EQ(knightOutpost<White>(E5, 0, 0), 0);
    EXPECT_EQ(knightOutpost<White>(E6, pawnAttacksOf<White>(d5), 0), pack(12, 12));
    EXPECT_EQ(knightOutpost<White>(B7, pawnAttacksOf<White>(1ULL << A6), 0), 0); // beyond the zone
    EXPECT_EQ(knightOutpost<Black>(E4, pawnAttacksOf<Black>(d5), 0), pack(15, 15));
    EXPECT_EQ(knightOutpost<Black>(E4, pawnAttacksOf<Black>(d5), 1ULL << F2), pack(10, 10));
}

TEST_F(Evaluation, HeavyPiecesOnFilesNextToTheKingNeedTheQueenAttack) {
    EXPECT_EQ(rookFileBonus(4, 0, 0, true, 3), pack(36 + 12, 20 + 12));
    EXPECT_EQ(rookFileBonus(4, 0, 0, false, 3), pack(36, 20));
    EXPECT_EQ(rookFileBonus(4, 0, 0, true, 2), pack(36, 20));
    EXPECT_EQ(rookFileBonus(4, 0, 1 << 4, true, 5), pack(16 + 12, 12 + 12));
    EXPECT_EQ(rookFileBonus(4, 1 << 4, 0, true, 4), 0);
    EXPECT_EQ(queenFileBonus(0, 0, 0, true, 1), pack(20, 18));
    EXPECT_EQ(queenFileBonus(0, 0, 1, false, 1), pack(6, 6));
}

TEST_F(Evaluation, UnstoppablePassedPawnNeedsTheTempo) {
    // From d7 the Black king reaches a8 in three moves: in time only when Black is to move.
    // Nothing else depends on the side to move, so the scores differ by exactly the bonus.
    Position whiteToMove = positionFromFen("8/3k3p/P7/8/8/8/8/K7 w - - 0 1");
    Position blackToMove = positionFromFen("8/3k3p/P7/8/8/8/8/K7 b - - 0 1");
    EXPECT_EQ(whiteView(whiteToMove) - whiteView(blackToMove), Unstoppable[5]);
    // With a piece on the board the race is not counted.
    Position knight = positionFromFen("8/3k3p/P7/8/8/8/8/K5n1 w - - 0 1");
    Position knightBlack = positionFromFen("8/3k3p/P7/8/8/8/8/K5n1 b - - 0 1");
    EXPECT_EQ(whiteView(knight), whiteView(knightBlack));
}
