// SPDX-License-Identifier: GPL-3.0-or-later
// Transposition table: search results cached by position key, in buckets of four entries.
#pragma once

#include <cstddef>
#include <cstdint>

#include "board/position.h"
#include "search/timeman.h"

namespace zekora {

// Bound bits of an entry.
constexpr int BoundNone = 0;
constexpr int BoundUpper = 1; // the search failed low
constexpr int BoundExact = 2;
constexpr int BoundLower = 4; // the search failed high

// Scores beyond this are mates; they are stored relative to the node, not the root.
constexpr int HashMateBound = 29744;

struct HashEntry {
    uint32_t checkKey; // upper half of the position key
    uint8_t age;       // search generation of the last store or hit
    uint8_t bound;
    int16_t depth; // half plies
    uint16_t move;
    int16_t score;
    uint32_t padding; // 16 bytes an entry: four make one 64-byte bucket
};
static_assert(sizeof(HashEntry) == 16, "65536 entries per megabyte");

constexpr int BucketSize = 4;

struct TranspositionTable {
    uint64_t entryCount; // a power of two
    uint64_t sizeBytes;
    uint64_t indexMask;
    HashEntry* entries;
    void* allocation;   // the mapping behind entries, which are aligned inside it
    bool freshlyMapped; // nothing stored since the mapping: already zero
};

extern TranspositionTable transpositionTable;

constexpr int MinHashMegabytes = 1;
constexpr int MaxHashMegabytes = 2048;
constexpr int DefaultHashMegabytes = 64;
// MaxHashMegabytes in the programs; the fuzzing harness lowers it so that a "setoption" for a
// large table cannot make every input slow.
extern int32_t tableMegabytesCap;

// Allocates a zero-filled table of the largest power of two megabytes not above the request
// (clamped to 1..2048, and to tableMegabytesCap). When the allocation fails the size is
// halved until it succeeds.
void resizeTable(int megabytes);
void clearTable();

inline uint32_t checkKeyOf(uint64_t key) { return uint32_t(key >> 32); }

// Slot i (0..3) of the key's bucket: the key's own slot first, then the rest of its aligned
// group of four. The table may be reallocated by "setoption name Hash" from inside the time
// check, so never keep an entry pointer across a call that can reach the time check.
inline HashEntry& hashSlot(uint64_t key, int i) {
    return transpositionTable.entries[size_t((key & transpositionTable.indexMask) ^ uint64_t(i))];
}

// Mate scores are kept relative to the node that stores them, so that they stay right when the
// same position is reached at another distance from the root.
inline int scoreToTable(int score, int ply) {
    if (score > HashMateBound) return score + ply;
    if (score < -HashMateBound) return score - ply;
    return score;
}

inline int scoreFromTable(int score, int ply) {
    if (score > HashMateBound) return score - ply;
    if (score < -HashMateBound) return score + ply;
    return score;
}

// The stored move of the position's entry, or NoMove; changes nothing.
Move probeMove(const Position& pos);

struct ProbeResult {
    Move move;
    int score; // on the root's scale
    int depth;
    int bound;
};

// Looks the position up; on a hit fills the result and marks the entry as used by this search.
inline bool probeEntry(const Position& pos, int ply, ProbeResult& result) {
    const uint32_t check = checkKeyOf(pos.key);
    for (int i = 0; i < BucketSize; ++i) {
        HashEntry& e = hashSlot(pos.key, i);
        if (e.checkKey != check) continue;
        e.age = uint8_t(searchGeneration);
        result.move = e.move;
        result.score = scoreFromTable(e.score, ply);
        result.depth = e.depth;
        result.bound = e.bound;
        return true;
    }
    return false;
}

// Stores into the position's entry if it has one (keeping the old move when move is NoMove),
// else over the bucket's least valuable entry: older generations first, then the shallowest.
void storeEntry(const Position& pos, Move move, int depth, int ply, int bound, int score);

} // namespace zekora
