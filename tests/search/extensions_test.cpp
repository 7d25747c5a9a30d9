// SPDX-License-Identifier: GPL-3.0-or-later
#include "search/extensions.h"

#include "search/search_support.h"

using namespace zekora;
using namespace zekora::test;

namespace {

struct Extension {
    int ext = 0;
    int lmrAllowed = 1;
};

Extension extensionOf(const Position& pos, const char* move, int nodeKind, int ply) {
    Extension e;
    moveExtension(pos, parseMove(pos, move), nodeKind, ply, e.ext, e.lmrAllowed);
    return e;
}

void expectExtension(const Position& pos, const char* move, int nodeKind, int ply, int ext,
                     int lmrAllowed) {
    const Extension e = extensionOf(pos, move, nodeKind, ply);
    EXPECT_EQ(e.ext, ext) << move << " kind " << nodeKind << " ply " << ply;
    EXPECT_EQ(e.lmrAllowed, lmrAllowed) << move << " kind " << nodeKind << " ply " << ply;
}

using Extensions = SearchTest;
using CutoffStatistics = SearchTest;

} // namespace

TEST_F(Extensions, ProfitableRecaptureOnTheLastCaptureSquare) {
    // A black knight has just taken on d5; exd5 wins it (retaking with the c6 pawn does not pay).
    Position pos = positionFromFen("4k3/8/2p5/3n4/4P3/8/8/4K3 w - - 0 1");
    searchStack[1].captureSquare = D5;
    expectExtension(pos, "e4d5", PvNode, 2, 2, 0);
    expectExtension(pos, "e4d5", NonPvNode, 2, 0, 0);
    // The same capture elsewhere than on the last capture square is an ordinary pawn move
    // (not passed: the c6 pawn stands ahead on an adjacent file).
    searchStack[1].captureSquare = E5;
    expectExtension(pos, "e4d5", PvNode, 2, 0, 1);
    searchStack[1].captureSquare = NoSquare;
    expectExtension(pos, "e4d5", PvNode, 2, 0, 1);
}

TEST_F(Extensions, RecaptureThatOnlyBreaksEvenIsAnOrdinaryMove) {
    // Nxd5 Pxd5: exchange value exactly 0.
    Position pos = positionFromFen("4k3/8/2p5/3n4/8/4N3/8/4K3 w - - 0 1");
    searchStack[1].captureSquare = D5;
    expectExtension(pos, "e3d5", PvNode, 2, 0, 1);
}

TEST_F(Extensions, ChildrenOfTheRootNeverCountARecapture) {
    Position pos = positionFromFen("4k3/8/2p5/3n4/4P3/8/8/4K3 w - - 0 1");
    searchStack[0].captureSquare = D5;
    expectExtension(pos, "e4d5", PvNode, 1, 0, 1);
}

TEST_F(Extensions, PassedPawnReachingItsSeventhRankIsExtended) {
    Position white = positionFromFen("7k/8/4P3/8/8/8/8/4K3 w - - 0 1");
    expectExtension(white, "e6e7", NonPvNode, 3, 2, 0);
    expectExtension(white, "e6e7", PvNode, 3, 2, 0);
    Position black = positionFromFen("4k3/8/8/8/8/4p3/8/K7 b - - 0 1");
    expectExtension(black, "e3e2", NonPvNode, 3, 2, 0);
    // One rank short: exempt from reductions, not extended.
    Position fifth = positionFromFen("4k3/8/8/4P3/8/8/8/4K3 w - - 0 1");
    expectExtension(fifth, "e5e6", PvNode, 3, 0, 0);
}

TEST_F(Extensions, PawnWithAnEnemyPawnAheadOrLosingTheExchangeIsOrdinary) {
    // A black pawn on d7 stands ahead of e6 on an adjacent file.
    Position blocked = positionFromFen("4k3/3p4/8/4P3/8/8/8/4K3 w - - 0 1");
    expectExtension(blocked, "e5e6", PvNode, 3, 0, 1);
    // e7 is covered by the black king and undefended: the push loses the pawn.
    Position losing = positionFromFen("8/5k2/4P3/8/8/8/8/4K3 w - - 0 1");
    expectExtension(losing, "e6e7", PvNode, 3, 0, 1);
}

TEST_F(Extensions, CastlingIsNeverReducedNorExtended) {
    Position pos = positionFromFen("4k3/8/8/8/8/8/8/4K2R w K - 0 1");
    expectExtension(pos, "e1g1", NonPvNode, 3, 0, 0);
    expectExtension(pos, "e1g1", PvNode, 0, 0, 0);
}

TEST_F(Extensions, RootCapturesThatKeepMaterialAreExtended) {
    Position pos = positionFromFen("4k3/8/2p5/3n4/4P3/8/8/4KQ2 w - - 0 1");
    expectExtension(pos, "e4d5", PvNode, 0, 2, 0);
    // Queen takes the pawn-defended knight: negative exchange value, nothing.
    Position queen = positionFromFen("4k3/8/2p5/3n4/8/8/8/3QK3 w - - 0 1");
    expectExtension(queen, "d1d5", PvNode, 0, 0, 1);
}

TEST_F(Extensions, EnPassantAtTheRootIsNotACapture) {
    // exd6 e.p.; the c7 pawn keeps the capturing pawn from being passed.
    Position pos = positionFromFen("4k3/2p5/8/3pP3/8/8/8/4K3 w - d6 0 1");
    expectExtension(pos, "e5d6", PvNode, 0, 0, 1);
}

TEST_F(CutoffStatistics, HistorySaturatesAtPlusAndMinus32000) {
    Position pos = positionFromFen("4k3/8/8/8/8/8/8/1N2K1N1 w - - 0 1");
    const Move toC3 = parseMove(pos, "b1c3");
    const Move toF3 = parseMove(pos, "g1f3");
    historyTable[WhiteKnight][F3] = 32000 - 10;
    historyTable[WhiteKnight][C3] = -32000 + 50;
    QuietList quiets;
    quiets.clear();
    quiets.add(toC3);
    quiets.add(toF3);
    recordCutoff(pos, searchStack[3], toF3, true, quiets, 10);
    EXPECT_EQ(historyTable[WhiteKnight][F3], 32000);
    EXPECT_EQ(historyTable[WhiteKnight][C3], -32000);
}

TEST_F(CutoffStatistics, KillersKeepTheTwoMostRecentDistinctQuietCutoffs) {
    Position pos = positionFromFen("4k3/8/8/8/8/8/8/1N2K1N1 w - - 0 1");
    const Move a = parseMove(pos, "b1c3");
    const Move b = parseMove(pos, "g1f3");
    SearchStackEntry& entry = searchStack[4];
    QuietList quiets;
    quiets.clear();
    quiets.add(a);
    recordCutoff(pos, entry, a, true, quiets, 8);
    EXPECT_EQ(entry.killers[0], a);
    EXPECT_EQ(entry.killers[1], NoMove);
    quiets.add(b);
    recordCutoff(pos, entry, b, true, quiets, 8);
    EXPECT_EQ(entry.killers[0], b);
    EXPECT_EQ(entry.killers[1], a);
    // The same move again leaves both slots as they are.
    recordCutoff(pos, entry, b, true, quiets, 8);
    EXPECT_EQ(entry.killers[0], b);
    EXPECT_EQ(entry.killers[1], a);
}

TEST_F(CutoffStatistics, QuietCutoffRewardsItselfAndPenalisesTheEarlierQuiets) {
    Position pos = positionFromFen("4k3/8/8/8/8/8/8/1N2K1N1 w - - 0 1");
    QuietList quiets;
    quiets.clear();
    quiets.add(parseMove(pos, "b1a3"));
    quiets.add(parseMove(pos, "e1d2"));
    quiets.add(parseMove(pos, "g1f3"));
    recordCutoff(pos, searchStack[2], quiets.moves[2], true, quiets, 6);
    EXPECT_EQ(historyTable[WhiteKnight][A3], -36);
    EXPECT_EQ(historyTable[WhiteKing][D2], -36);
    EXPECT_EQ(historyTable[WhiteKnight][F3], 36);
}

TEST_F(CutoffStatistics, TacticalCutoffSparesTheLastQuietMoveAndTheKillers) {
    Position pos = positionFromFen("4k3/8/8/8/8/2p5/8/1N2K1N1 w - - 0 1");
    const Move capture = parseMove(pos, "b1c3");
    QuietList quiets;
    quiets.clear();
    quiets.add(parseMove(pos, "b1a3"));
    quiets.add(parseMove(pos, "e1d2"));
    quiets.add(parseMove(pos, "g1f3"));
    recordCutoff(pos, searchStack[2], capture, false, quiets, 4);
    EXPECT_EQ(historyTable[WhiteKnight][A3], -16);
    EXPECT_EQ(historyTable[WhiteKing][D2], -16);
    EXPECT_EQ(historyTable[WhiteKnight][F3], 0);
    EXPECT_EQ(historyTable[WhiteKnight][C3], 0);
    EXPECT_EQ(searchStack[2].killers[0], NoMove);
}
