// SPDX-License-Identifier: GPL-3.0-or-later
#include "search/tt.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "search/timeman.h"

using namespace zekora;

namespace {

constexpr int TestMegabytes = 1; // 65536 entries, index mask 0xFFFF

struct HashTable : ::testing::Test {
    void SetUp() override {
        resizeTable(TestMegabytes);
        clearTable();
        searchGeneration = 7;
    }
    static void TearDownTestSuite() {
        resizeTable(TestMegabytes);
        clearTable();
    }

    // Positions whose keys share the bucket of `index` and differ in the check key.
    static Position& at(uint64_t index, uint32_t check) {
        static Position pos;
        pos.key = (uint64_t(check) << 32) | index;
        return pos;
    }
};

// A key with this index puts its own slot third in its group: probe order 2, 3, 0, 1.
constexpr uint64_t Index = 0x1236;

TEST_F(HashTable, SizeFollowsTheHashOptionInPowersOfTwoWithinOneTo2048Megabytes) {
    const struct {
        int megabytes;
        uint64_t entries;
    } cases[] = {{1, 65536},
                 {2, 131072},
                 {3, 131072},
                 {0, 65536},
                 {-5, 65536},
                 {100, 64 * 65536ULL},
                 {1023, 512 * 65536ULL},
                 {4096, 2048 * 65536ULL}};
    for (const auto& c : cases) {
        resizeTable(c.megabytes); // not cleared: the large sizes are never touched
        EXPECT_EQ(transpositionTable.entryCount, c.entries) << c.megabytes;
        EXPECT_EQ(transpositionTable.sizeBytes, c.entries * sizeof(HashEntry)) << c.megabytes;
        EXPECT_EQ(transpositionTable.indexMask, c.entries - 1) << c.megabytes;
        // Buckets lie on 64-byte boundaries.
        EXPECT_EQ(uintptr_t(transpositionTable.entries) % 64, 0u);
    }
}

TEST_F(HashTable, SecondStoreOfAPositionKeepsTheNewerDataEvenWhenShallower) {
    Position& pos = at(Index, 0xABCDEF01);
    storeEntry(pos, encodeMove(G1, F3), 20, 0, BoundLower, 55);
    storeEntry(pos, encodeMove(B1, C3), 4, 0, BoundUpper, -12);
    ProbeResult r;
    ASSERT_TRUE(probeEntry(pos, 0, r));
    EXPECT_EQ(r.move, encodeMove(B1, C3));
    EXPECT_EQ(r.depth, 4);
    EXPECT_EQ(r.bound, BoundUpper);
    EXPECT_EQ(r.score, -12);

    // A store without a move keeps the old one but replaces everything else.
    storeEntry(pos, NoMove, 6, 0, BoundLower, 300);
    ASSERT_TRUE(probeEntry(pos, 0, r));
    EXPECT_EQ(r.move, encodeMove(B1, C3));
    EXPECT_EQ(r.depth, 6);
    EXPECT_EQ(r.bound, BoundLower);
    EXPECT_EQ(r.score, 300);

    // The principal-variation seed: only the move survives.
    storeEntry(pos, encodeMove(D2, D4), 0, 0, BoundNone, 0);
    ASSERT_TRUE(probeEntry(pos, 0, r));
    EXPECT_EQ(r.move, encodeMove(D2, D4));
    EXPECT_EQ(r.depth, 0);
    EXPECT_EQ(r.bound, BoundNone);
    EXPECT_EQ(r.score, 0);
}

TEST_F(HashTable, MateScoresAreStoredRelativeToTheNode) {
    Position& pos = at(Index, 77);
    // Mate found 5 plies beyond a node at ply 3: 30000 - 8 on the root's scale.
    storeEntry(pos, NoMove, 10, 3, BoundExact, 30000 - 8);
    EXPECT_EQ(hashSlot(pos.key, 0).score, 30000 - 5);
    ProbeResult r;
    ASSERT_TRUE(probeEntry(pos, 7, r));
    EXPECT_EQ(r.score, 30000 - 12);

    storeEntry(pos, NoMove, 10, 3, BoundExact, -(30000 - 8));
    EXPECT_EQ(hashSlot(pos.key, 0).score, -(30000 - 5));
    ASSERT_TRUE(probeEntry(pos, 7, r));
    EXPECT_EQ(r.score, -(30000 - 12));

    // The bound itself is an ordinary score.
    storeEntry(pos, NoMove, 10, 3, BoundExact, 29744);
    ASSERT_TRUE(probeEntry(pos, 7, r));
    EXPECT_EQ(r.score, 29744);
}

// Fills the bucket of Index with four other positions of the given ages and depths.
void fillBucket(const uint8_t ages[4], const int16_t depths[4]) {
    for (int i = 0; i < 4; ++i) {
        HashEntry& e = hashSlot(Index, i);
        e.checkKey = 1000 + i;
        e.age = ages[i];
        e.depth = depths[i];
    }
}

int replacedSlot() {
    storeEntry(HashTable::at(Index, 5000), encodeMove(H2, H3), 1, 0, BoundUpper, 0);
    for (int i = 0; i < 4; ++i)
        if (hashSlot(Index, i).checkKey == 5000) return i;
    return -1;
}

// Within a full bucket: entries of earlier searches first, even the deepest (up to 256 half
// plies deeper), then the shallowest; on equal terms the earlier slot in probe order.
TEST_F(HashTable, AFullBucketGivesUpItsLeastValuableEntry) {
    const struct {
        uint8_t ages[4];
        int16_t depths[4];
        int replaced;
    } cases[] = {
        {{7, 7, 7, 7}, {12, 30, 4, 9}, 2},
        {{7, 7, 6, 7}, {12, 2, 200, 9}, 2},
        {{7, 7, 6, 7}, {12, 2, 260, 9}, 1},
        {{3, 3, 3, 3}, {5, 5, 5, 5}, 0},
    };
    for (const auto& c : cases) {
        fillBucket(c.ages, c.depths);
        EXPECT_EQ(replacedSlot(), c.replaced);
        EXPECT_EQ(hashSlot(Index, c.replaced).move, encodeMove(H2, H3));
        EXPECT_EQ(hashSlot(Index, c.replaced).age, 7);
    }
}

#if defined(__SANITIZE_ADDRESS__)
#define ZEKORA_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZEKORA_ASAN 1
#endif
#endif

TEST_F(HashTable, AnAllocationThatFailsIsHalvedUntilItFits) {
#ifdef ZEKORA_ASAN
    GTEST_SKIP() << "the sanitizers need more address space than the limit allows";
#else
    // In a child with 400 MB of address space a 2048 MB table cannot be had; less can.
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        rlimit limit{400ULL << 20, 400ULL << 20};
        setrlimit(RLIMIT_AS, &limit);
        resizeTable(2048);
        const uint64_t mb = transpositionTable.sizeBytes >> 20;
        const bool usable = mb >= 1 && mb <= 256 && transpositionTable.entries;
        if (usable) { // both ends of the table are really there
            transpositionTable.entries[0].depth = 1;
            transpositionTable.entries[transpositionTable.indexMask].depth = 1;
        }
        _exit(usable ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
#endif
}

} // namespace
