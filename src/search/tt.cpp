#include "search/tt.h"

#include <cstdlib>
#include <cstring>

namespace zekora {

TranspositionTable transpositionTable;
int32_t tableMegabytesCap = MaxHashMegabytes;

namespace {

constexpr uint64_t Megabyte = 1ULL << 20;
constexpr size_t BucketBytes = BucketSize * sizeof(HashEntry);

int largestPowerOfTwoAtMost(int n) {
    int p = 1;
    while (p <= n / 2) p *= 2;
    return p;
}

// Zero-filled and aligned to a bucket, so that a probe touches a single cache line.
bool allocateEntries(uint64_t bytes) {
    if (bytes + BucketBytes > SIZE_MAX) return false;
    void* block = std::calloc(size_t(bytes + BucketBytes), 1);
    if (!block) return false;
    uintptr_t aligned = (uintptr_t(block) + BucketBytes - 1) & ~uintptr_t(BucketBytes - 1);
    transpositionTable.allocation = block;
    transpositionTable.entries = reinterpret_cast<HashEntry*>(aligned);
    return true;
}

} // namespace

void resizeTable(int megabytes) {
    std::free(transpositionTable.allocation);
    transpositionTable.allocation = nullptr;
    transpositionTable.entries = nullptr;

    if (megabytes < MinHashMegabytes) megabytes = MinHashMegabytes;
    if (megabytes > MaxHashMegabytes) megabytes = MaxHashMegabytes;
    if (megabytes > tableMegabytesCap) megabytes = tableMegabytesCap;
    uint64_t mb = uint64_t(largestPowerOfTwoAtMost(megabytes));
    // A large table may not fit this machine or address space: settle for the largest that does,
    // so a usable table always exists.
    while (!allocateEntries(mb * Megabyte) && mb > 1) mb /= 2;
    if (!transpositionTable.entries) std::abort(); // not even one megabyte is left

    transpositionTable.sizeBytes = mb * Megabyte;
    transpositionTable.entryCount = transpositionTable.sizeBytes / sizeof(HashEntry);
    transpositionTable.indexMask = transpositionTable.entryCount - 1;
}

void clearTable() {
    std::memset(static_cast<void*>(transpositionTable.entries), 0,
                size_t(transpositionTable.sizeBytes));
}

Move probeMove(const Position& pos) {
    const uint32_t check = checkKeyOf(pos.key);
    for (int i = 0; i < BucketSize; ++i) {
        const HashEntry& e = hashSlot(pos.key, i);
        if (e.checkKey == check) return e.move;
    }
    return NoMove;
}

void storeEntry(const Position& pos, Move move, int depth, int ply, int bound, int score) {
    const uint32_t check = checkKeyOf(pos.key);
    const int16_t stored = int16_t(scoreToTable(score, ply));
    const uint8_t generation = uint8_t(searchGeneration);

    HashEntry* victim = nullptr;
    int victimValue = 0;
    for (int i = 0; i < BucketSize; ++i) {
        HashEntry& e = hashSlot(pos.key, i);
        if (e.checkKey == check) {
            // The same position is always overwritten, whatever its depth.
            if (move == NoMove) move = e.move;
            e.age = generation;
            e.move = move;
            e.bound = uint8_t(bound);
            e.score = stored;
            e.depth = int16_t(depth);
            return;
        }
        // Entries the current search has not touched go first, then the shallowest.
        int value = (e.age == generation ? 256 : 512) - e.depth;
        if (!victim || value > victimValue) {
            victim = &e;
            victimValue = value;
        }
    }
    victim->checkKey = check;
    victim->age = generation;
    victim->bound = uint8_t(bound);
    victim->depth = int16_t(depth);
    victim->move = move;
    victim->score = stored;
}

} // namespace zekora
