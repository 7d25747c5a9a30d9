// SPDX-License-Identifier: GPL-3.0-or-later
// Deeper perft through the move picker: every published position and its colour mirror to
// depth 4, plain and with hash moves and killers left by sibling subtrees.
#include "movegen/picker_walk.h"

using namespace zekora;
using namespace zekora::test;

namespace {

struct PickerPerft : ::testing::Test {
    static void SetUpTestSuite() { initEngineOnce(); }
};

} // namespace

TEST_F(PickerPerft, PublishedPositionsAndTheirMirrorsToDepthFour) {
    for (const PerftCase& c : loadPerftCases()) {
        Position pos = positionFromFen(c.fen);
        ASSERT_EQ(pickerPerft(pos, 4, 0), c.leaves[4]) << c.fen;
        Position mirrored = positionFromFen(mirrorFen(c.fen));
        ASSERT_EQ(pickerPerft(mirrored, 4, 0), c.leaves[4]) << mirrorFen(c.fen);
    }
}

TEST_F(PickerPerft, HashMovesAndKillersToDepthFour) {
    Random random{2024};
    std::memset(searchStack, 0, sizeof searchStack);
    for (const PerftCase& c : loadPerftCases()) {
        Position pos = positionFromFen(c.fen);
        ASSERT_EQ(pickerPerftWithGuesses(pos, 4, 0, random), c.leaves[4]) << c.fen;
    }
}
