// SPDX-License-Identifier: GPL-3.0-or-later
#include "search/tt.h"

#include <cstdlib>
#include <cstring>

#include "platform/os.h"

namespace zekora {

TranspositionTable transpositionTable;
int32_t tableMegabytesCap = MaxHashMegabytes;

namespace {

constexpr uint64_t Megabyte = 1ULL << 20;
constexpr uint64_t HugePageBytes = 2 * Megabyte;

int largestPowerOfTwoAtMost(int n) {
    int p = 1;
    while (p <= n / 2) p *= 2;
    return p;
}

// The mapping behind a table of this many bytes: room to align its start to a huge page.
uint64_t mappingBytes(uint64_t tableBytes) { return tableBytes + HugePageBytes; }

// Fresh anonymous memory, so zero-filled and committed only as it is used. The table starts
// on a 2 MB boundary (so a bucket never straddles two cache lines) and is offered to the
// kernel for transparent huge pages: a probe at a random place in a large table then rarely
// misses in the address translation caches, a miss that costs about as much as the memory
// access itself.
bool allocateEntries(uint64_t bytes) {
    if (mappingBytes(bytes) > SIZE_MAX) return false;
    void* block = os::reserveZeroed(size_t(mappingBytes(bytes)));
    if (!block) return false;
    uintptr_t aligned = (uintptr_t(block) + HugePageBytes - 1) & ~uintptr_t(HugePageBytes - 1);
    os::offerHugePages(reinterpret_cast<void*>(aligned), size_t(bytes));
    transpositionTable.allocation = block;
    transpositionTable.entries = reinterpret_cast<HashEntry*>(aligned);
    return true;
}

} // namespace

void resizeTable(int megabytes) {
    if (megabytes < MinHashMegabytes) megabytes = MinHashMegabytes;
    if (megabytes > MaxHashMegabytes) megabytes = MaxHashMegabytes;
    if (megabytes > tableMegabytesCap) megabytes = tableMegabytesCap;
    uint64_t mb = uint64_t(largestPowerOfTwoAtMost(megabytes));
    // The same size again keeps the table; only clearTable empties it.
    if (transpositionTable.entries && transpositionTable.sizeBytes == mb * Megabyte) return;

    if (transpositionTable.allocation)
        os::release(transpositionTable.allocation,
                    size_t(mappingBytes(transpositionTable.sizeBytes)));
    transpositionTable.allocation = nullptr;
    transpositionTable.entries = nullptr;
    // A large table may not fit this machine or address space: settle for the largest that does,
    // so a usable table always exists.
    while (!allocateEntries(mb * Megabyte) && mb > 1) mb /= 2;
    if (!transpositionTable.entries) std::abort(); // not even one megabyte is left

    transpositionTable.sizeBytes = mb * Megabyte;
    transpositionTable.entryCount = transpositionTable.sizeBytes / sizeof(HashEntry);
    transpositionTable.indexMask = transpositionTable.entryCount - 1;
    transpositionTable.freshlyMapped = true;
}

// A table just mapped is zero already. Writing it would commit every page at once, which
// defeats the smaller-table fallback where the system promises more memory than it has.
void clearTable() {
    if (!transpositionTable.freshlyMapped)
        std::memset(static_cast<void*>(transpositionTable.entries), 0,
                    size_t(transpositionTable.sizeBytes));
    // From now on entries may be stored: the next clear must write.
    transpositionTable.freshlyMapped = false;
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
