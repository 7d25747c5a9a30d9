// SPDX-License-Identifier: GPL-3.0-or-later
#include "movegen/movepick.h"

#include "board/movecheck.h"
#include "movegen/legal_oracle.h"
#include "movegen/picker_walk.h"

using namespace zekora;
using namespace zekora::test;

namespace {

struct Picker : ::testing::Test {
    static void SetUpTestSuite() { initEngineOnce(); }
};

// A move as the picker handed it out, with the stage it came from.
struct Picked {
    Move move;
    int stage;
};

std::vector<Picked> pickAll(Position& pos, SearchStackEntry& entry, uint32_t filterQuiets) {
    MovePicker picker;
    startMovePicker(picker, pos, entry.inCheck != 0, AllSquares, filterQuiets);
    std::vector<Picked> picked;
    while (Move m = nextMove(picker)) {
        picked.push_back({m, StageScript[picker.stage]});
        if (picked.size() > 300) break; // a picker that never ends
    }
    return picked;
}

std::vector<Move> movesOf(const std::vector<Picked>& picked) {
    std::vector<Move> moves;
    for (const Picked& p : picked) moves.push_back(p.move);
    return moves;
}

bool isCapture(const Position& pos, Move m) {
    return pos.board[moveTo(m)] != Empty || moveKind(m) == FlagEnPassant;
}

// What the captures stage produces.
bool isCaptureOrPromotion(const Position& pos, Move m) {
    return isCapture(pos, m) || isPromotion(m);
}

} // namespace

// Leaf counts of the published positions to depth 3, every move taken from the picker.
TEST_F(Picker, PerftThroughThePickerMatchesPublishedCounts) {
    std::vector<PerftCase> cases = loadPerftCases();
    ASSERT_GE(cases.size(), 100u);
    for (const PerftCase& c : cases) {
        Position pos = positionFromFen(c.fen);
        for (int depth = 1; depth <= 3; ++depth)
            ASSERT_EQ(pickerPerft(pos, depth, 0), c.leaves[depth]) << c.fen << " depth " << depth;
    }
}

// The Black stages mirror the White ones: the mirrored positions have the same counts.
TEST_F(Picker, PerftOfMirroredPositionsThroughThePicker) {
    for (const PerftCase& c : loadPerftCases()) {
        Position pos = positionFromFen(mirrorFen(c.fen));
        ASSERT_EQ(pickerPerft(pos, 3, 0), c.leaves[3]) << mirrorFen(c.fen);
    }
}

TEST_F(Picker, HashMovesAndKillersFromSiblingsLeaveTheCountsAlone) {
    Random random{99};
    std::memset(searchStack, 0, sizeof searchStack);
    std::vector<PerftCase> cases = loadPerftCases();
    for (size_t i = 0; i < cases.size(); i += 3) {
        Position pos = positionFromFen(cases[i].fen);
        ASSERT_EQ(pickerPerftWithGuesses(pos, 3, 0, random), cases[i].leaves[3]) << cases[i].fen;
    }
}

// With random hash moves and killers (from this position or from others, so often not
// even pseudo-legal here), the picker returns every legal move exactly once, in stage order.
TEST_F(Picker, ReturnsEachLegalMoveOnceWhateverTheHashMoveAndKillers) {
    std::vector<Position> positions = randomPositions(0xC0FFEE, 24);
    Random random{12345};
    std::vector<Move> foreign; // moves of earlier positions
    int withLegalHashMove = 0;
    for (Position& pos : positions) {
        std::vector<Move> pseudo = pseudoLegalMoves(pos);
        std::vector<Move> legal = legalMoves(pos);
        auto draw = [&]() -> Move {
            switch (random.below(4)) {
            case 0: return NoMove;
            case 1: return foreign.empty() ? NoMove : foreign[random.below(foreign.size())];
            default: return pseudo.empty() ? NoMove : pseudo[random.below(pseudo.size())];
            }
        };
        SearchStackEntry entry;
        enterNode(pos, entry, draw(), draw(), draw());
        uint32_t filter = uint32_t(random.below(2));
        std::vector<Picked> picked = pickAll(pos, entry, filter);
        std::vector<Move> moves = movesOf(picked);
        ASSERT_EQ(sorted(moves), sorted(legal)) << moveNames(moves) << "| " << moveNames(legal);
        std::vector<Move> unique = sorted(moves);
        ASSERT_EQ(std::adjacent_find(unique.begin(), unique.end()), unique.end());

        bool hashLegal = std::find(legal.begin(), legal.end(), entry.hashMove) != legal.end();
        if (hashLegal) {
            ++withLegalHashMove;
            ASSERT_EQ(picked[0].move, entry.hashMove);
        }
        for (size_t i = 0; i < picked.size(); ++i) {
            const Picked& p = picked[i];
            ASSERT_LE(picked[i ? i - 1 : 0].stage, p.stage);
            switch (p.stage) {
            case StageHashMove: ASSERT_EQ(p.move, entry.hashMove); break;
            case StageCaptures:
                ASSERT_TRUE(isCaptureOrPromotion(pos, p.move));
                ASSERT_GE(staticExchange(pos, p.move), 0);
                break;
            case StageKillers:
                ASSERT_TRUE(p.move == entry.killers[0] || p.move == entry.killers[1]);
                ASSERT_FALSE(isCaptureOrPromotion(pos, p.move));
                break;
            case StageQuiets: ASSERT_FALSE(isCaptureOrPromotion(pos, p.move)); break;
            case StagePostponed:
                ASSERT_LT(staticExchange(pos, p.move), 0);
                ASSERT_TRUE(filter || isCaptureOrPromotion(pos, p.move));
                break;
            default: ASSERT_TRUE(entry.inCheck && p.stage == StageEvasions);
            }
        }
        foreign.insert(foreign.end(), pseudo.begin(), pseudo.end());
        if (foreign.size() > 4000) foreign.erase(foreign.begin(), foreign.begin() + 2000);
    }
    EXPECT_GT(withLegalHashMove, 500);
}

TEST_F(Picker, LegalCaptureHashMoveComesFirstAndOnlyOnce) {
    // exd5 is the hash move; the captures stage would also produce it.
    Position pos = positionFromFen("rnbqkbnr/ppp1pppp/8/3p4/4P3/8/PPPP1PPP/RNBQKBNR w KQkq - 0 2");
    SearchStackEntry entry;
    Move hash = textToMove(pos, "e4d5");
    enterNode(pos, entry, hash);
    std::vector<Picked> picked = pickAll(pos, entry, 1);
    ASSERT_FALSE(picked.empty());
    EXPECT_EQ(picked[0].move, hash);
    EXPECT_EQ(picked[0].stage, StageHashMove);
    std::vector<Move> moves = movesOf(picked);
    EXPECT_EQ(std::count(moves.begin(), moves.end(), hash), 1);
}

TEST_F(Picker, KillerThatCapturesHereComesWithTheCaptures) {
    // Nf3xe5 was a quiet killer elsewhere; here e5 holds a pawn.
    Position pos =
        positionFromFen("rnbqkbnr/pppp1ppp/8/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 0 2");
    SearchStackEntry entry;
    Move capture = encodeMove(F3, E5);
    Move quiet = textToMove(pos, "b1c3");
    enterNode(pos, entry, NoMove, capture, quiet);
    std::vector<Picked> picked = pickAll(pos, entry, 1);
    int killerStage = 0;
    for (const Picked& p : picked) {
        if (p.move == capture) {
            EXPECT_EQ(p.stage, StageCaptures);
        }
        if (p.stage == StageKillers) {
            ++killerStage;
            EXPECT_EQ(p.move, quiet);
        }
    }
    EXPECT_EQ(killerStage, 1);
}

TEST_F(Picker, LosingCaptureComesAfterEveryQuietMove) {
    // Qd1xd5 takes a pawn defended by the pawn on e6: the exchange loses 900.
    Position pos = positionFromFen("4k3/8/4p3/3p4/8/8/8/3QK3 w - - 0 1");
    SearchStackEntry entry;
    enterNode(pos, entry);
    Move losing = textToMove(pos, "d1d5");
    ASSERT_EQ(staticExchange(pos, losing), -900);
    for (uint32_t filter : {0u, 1u}) {
        std::vector<Picked> picked = pickAll(pos, entry, filter);
        ASSERT_FALSE(picked.empty());
        EXPECT_EQ(picked.back().move, losing);
        EXPECT_EQ(picked.back().stage, StagePostponed);
    }
}

TEST_F(Picker, FilterDecidesWhereLosingQuietMovesGo) {
    // Qd1-d5 steps onto a square both pawns guard.
    Position pos = positionFromFen("4k3/8/2p1p3/8/8/8/8/3QK3 w - - 0 1");
    SearchStackEntry entry;
    enterNode(pos, entry);
    Move hanging = textToMove(pos, "d1d5");
    ASSERT_LT(staticExchange(pos, hanging), 0);
    for (uint32_t filter : {0u, 1u}) {
        int found = 0;
        for (const Picked& p : pickAll(pos, entry, filter)) {
            if (p.move != hanging) continue;
            ++found;
            EXPECT_EQ(p.stage, filter ? StagePostponed : StageQuiets);
        }
        EXPECT_EQ(found, 1);
    }
}

TEST_F(Picker, InCheckOnlyEvasionsWithTheHashMoveFirst) {
    // The rook on e8 checks; the king steps aside or the knight blocks on e2 or e4.
    Position pos = positionFromFen("4r2k/8/8/8/8/2N5/8/4K3 w - - 0 1");
    SearchStackEntry entry;
    Move hash = textToMove(pos, "e1f2");
    enterNode(pos, entry, hash, textToMove(pos, "c3e4"));
    ASSERT_EQ(entry.inCheck, 1);
    std::vector<Picked> picked = pickAll(pos, entry, 1);
    ASSERT_EQ(sorted(movesOf(picked)), sorted(legalMoves(pos)));
    EXPECT_EQ(picked[0].move, hash);
    // The others in the generator's order.
    MoveList list;
    list.clear();
    EvasionGenerators[White](pos, list);
    std::vector<Move> rest;
    for (int i = 0; i < list.count; ++i)
        if (list.moves[i] != hash) rest.push_back(list.moves[i]);
    std::vector<Move> pickedRest = movesOf(picked);
    pickedRest.erase(pickedRest.begin());
    EXPECT_EQ(pickedRest, rest);
}

TEST_F(Picker, ReturnsNoMoveForeverAfterTheEnd) {
    for (const char* fen : {"7k/8/8/8/8/8/8/K7 w - - 0 1", "4r2k/8/8/8/8/8/8/4K3 w - - 0 1",
                            "7k/5Q2/6K1/8/8/8/8/8 b - - 0 1"}) {
        Position pos = positionFromFen(fen);
        SearchStackEntry entry;
        enterNode(pos, entry);
        MovePicker picker;
        startMovePicker(picker, pos, entry.inCheck != 0, AllSquares, 1);
        int count = 0;
        while (nextMove(picker)) ++count;
        EXPECT_EQ(count, int(legalMoves(pos).size())) << fen;
        for (int i = 0; i < 5; ++i) EXPECT_EQ(nextMove(picker), NoMove) << fen;
    }
}
