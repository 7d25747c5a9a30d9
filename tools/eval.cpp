// SPDX-License-Identifier: GPL-3.0-or-later
// "eval FEN": the evaluation's parts for one position. "eval --speed": nanoseconds per
// evaluate call with the caches cold and warm, over a varied set of positions.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <time.h>
#include <vector>

#include "board/attacks.h"
#include "board/makemove.h"
#include "eval/evaluate.h"
#include "movegen/movelist.h"
#include "tools/commands.h"
#include "uci/setup.h"

namespace zekora::tool {

namespace {

// Openings, middlegames and endgames; the random games of the benchmark start from them.
const char* const SpeedFens[] = {
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
    "r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R w KQkq - 4 4",
    "rnbqkb1r/pp2pppp/3p1n2/8/3NP3/2N5/PPP2PPP/R1BQKB1R b KQkq - 2 5",
    "r1bq1rk1/pp2bppp/2n1pn2/2pp4/2PP4/2N1PN2/PP2BPPP/R2QKB1R w KQ - 0 8",
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
    "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10",
    "2r2rk1/pp1bqppp/2n1pn2/3p4/2PP4/P1N1PN2/1P1Q1PPP/2R1KB1R w K - 3 13",
    "r1b2rk1/2q1b1pp/p2ppn2/1p6/3QP3/1BN1B3/PPP3PP/R4RK1 w - - 0 14",
    "3r1rk1/p4ppp/1qp1b3/2b1p3/4P3/1BP2N2/P2Q1PPP/R4RK1 b - - 5 18",
    "6k1/5ppp/8/8/8/8/5PPP/6K1 w - - 0 40",
    "8/8/4k3/3p4/3P4/4K3/8/8 w - - 0 50",
    "8/5pk1/6p1/8/2P5/1P6/P4K2/8 w - - 0 45",
    "4k3/8/8/8/8/8/4P3/4K3 w - - 0 60",
    "8/8/8/4k3/8/8/2B5/K1N5 w - - 0 60",
    "6k1/5p2/6p1/8/7P/6P1/5PK1/3R4 w - - 0 38",
    "2r3k1/5ppp/8/8/8/8/5PPP/3R2K1 b - - 0 30",
    "8/3k4/2p5/1pPp4/1P1P4/4K3/8/8 w - - 0 55",
    "5rk1/ppp2ppp/8/3Np3/4P3/8/PPP2PPP/3R2K1 w - - 0 25",
    "r5k1/5ppp/8/1P6/8/8/5PPP/6K1 w - - 0 35",
    "1k6/1p6/p1p5/P1P5/1P6/8/5K2/8 b - - 0 50",
    "8/8/1k6/8/8/8/6Kp/8 b - - 0 70",
    "2kr3r/ppp2ppp/2n5/2b1p3/2B1P1b1/2NP4/PPP2PPP/R1B2RK1 w - - 0 12",
    "rnb1k2r/ppppqppp/5n2/2b1p3/2B1P3/2N2N2/PPPP1PPP/R1BQK2R w KQkq - 6 5",
    "r2q1rk1/ppp1bppp/2np1n2/4p3/2B1P1b1/2NP1N2/PPP2PPP/R1BQ1RK1 w - - 0 8",
};

bool loadFen(const std::string& fen) {
    std::string text = "fen " + fen;
    loadPosition(text.c_str());
    return currentPositionUsable;
}

bool inCheckAfter(Position& pos, Move m) {
    int us = int(pos.sideToMove);
    UndoRecord undo;
    makeMove(pos, undo, m);
    bool attacked = isSquareAttacked(pos, pos.kingSquare[us], opponent(us));
    unmakeMove(pos, undo, m);
    return attacked;
}

// Plays a random legal move; false when there is none.
bool playRandomMove(Position& pos, uint64_t& seed) {
    MoveList list;
    list.clear();
    CaptureGenerators[pos.sideToMove](pos, list, ~Bitboard(0));
    QuietGenerators[pos.sideToMove](pos, list, ~Bitboard(0));
    Move legal[MaxMoves];
    int count = 0;
    for (int i = 0; i < list.count; ++i)
        if (!inCheckAfter(pos, list.moves[i])) legal[count++] = list.moves[i];
    if (count == 0) return false;
    seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
    UndoRecord undo;
    makeMove(pos, undo, legal[(seed >> 33) % uint64_t(count)]);
    pos.historyCount = 1; // keep the key history from filling up over long games
    pos.keyHistory[0] = pos.key;
    return true;
}

std::vector<Position> speedPositions() {
    constexpr int GamesPerFen = 4, PliesPerGame = 40;
    std::vector<Position> positions;
    uint64_t seed = 12345;
    for (const char* fen : SpeedFens) {
        if (!loadFen(fen)) continue;
        for (int game = 0; game < GamesPerFen; ++game) {
            Position pos = currentPosition;
            positions.push_back(pos);
            for (int ply = 0; ply < PliesPerGame && playRandomMove(pos, seed); ++ply)
                positions.push_back(pos);
        }
    }
    return positions;
}

void invalidateEvalEntry(const Position& pos) {
    EvalCache[pos.key & (EvalCacheSize - 1)].checkKey = uint32_t(pos.key >> 32) ^ 1;
}

void invalidateAllEntries(const Position& pos) {
    invalidateEvalEntry(pos);
    MaterialTable[pos.materialKey & (MaterialTableSize - 1)].checkKey =
        uint32_t(pos.materialKey >> 32) ^ 1;
    uint64_t pawnKey = pawnHashKey(pos);
    PawnHashTable[pawnKey & (PawnHashSize - 1)].checkKey = uint32_t(pawnKey >> 32) ^ 1;
}

// The thread's processor time in nanoseconds: steadier than the wall clock on a busy machine.
double threadNanoseconds() {
    timespec now;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e9 + double(now.tv_nsec);
}

// Average nanoseconds per call over all positions, `passes` times; `prepare` runs before each
// call and is timed with it (a few stores).
template <typename Prepare>
double timeCalls(const std::vector<Position>& positions, int passes, Prepare prepare) {
    volatile int sink = 0;
    double start = threadNanoseconds();
    for (int pass = 0; pass < passes; ++pass)
        for (const Position& pos : positions) {
            prepare(pos);
            sink = sink + evaluate(pos, 0, 0);
        }
    double elapsed = threadNanoseconds() - start;
    return elapsed / (double(passes) * double(positions.size()));
}

int speedBenchmark(int passes) {
    std::vector<Position> positions = speedPositions();
    std::printf("positions %zu, passes %d\n", positions.size(), passes);
    for (const Position& pos : positions) evaluate(pos, 0, 0); // fault the tables in
    double cold = timeCalls(positions, passes, invalidateAllEntries);
    double fresh = timeCalls(positions, passes, invalidateEvalEntry);
    timeCalls(positions, 1, [](const Position&) {});
    double warm = timeCalls(positions, passes, [](const Position&) {});
    std::printf("processor time per call:\n");
    std::printf("cold (all three caches miss)        %.1f ns/evaluate\n", cold);
    std::printf("evaluation cache miss, others hit   %.1f ns/evaluate\n", fresh);
    std::printf("warm (evaluation cache hit)         %.1f ns/evaluate\n", warm);
    return 0;
}

int evaluatePosition(const std::string& fen) {
    if (!loadFen(fen)) {
        std::printf("position not usable: %s\n", fen.c_str());
        return 1;
    }
    const Position& pos = currentPosition;
    const MaterialInfo& mi = probeMaterial(pos);
    const PawnHashEntry& pe = probePawnHash(pos);
    std::printf("phase %d\n", mi.phase);
    std::printf("scale %d\n", evaluationScale(pos, mi));
    std::printf("material %d (White's view)\n", mi.value);
    std::printf("pawns %d %d (middlegame, endgame; White's view)\n", mgOf(pe.score),
                egOf(pe.score));
    std::printf("eval %d\n", evaluate(pos, 0, 0));
    return 0;
}

} // namespace

int evalCommand(int argc, char** argv) {
    if (argc >= 1 && !std::strcmp(argv[0], "--speed")) {
        int passes = argc >= 2 ? std::atoi(argv[1]) : 200;
        return speedBenchmark(passes > 0 ? passes : 200);
    }
    if (argc < 1) {
        std::printf("usage: zekora-tool eval FEN | eval --speed [PASSES]\n");
        return 2;
    }
    // The FEN may come as one argument or as its six fields.
    std::string fen = argv[0];
    for (int i = 1; i < argc; ++i) fen += std::string(" ") + argv[i];
    return evaluatePosition(fen);
}

} // namespace zekora::tool
