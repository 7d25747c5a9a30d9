// SPDX-License-Identifier: GPL-3.0-or-later
#include "eval/pawns.h"

#include <algorithm>

#include "board/attacks.h"
#include "board/zobrist.h"

namespace zekora {

Bitboard FrontSpan[2][64];
Bitboard AdjacentFront[2][64];
Bitboard PassedMask[2][64];
Bitboard NeighbourSquares[64];
Bitboard KeySquares[2][64];
Bitboard CatchSquares[2][64][2];
PawnHashEntry PawnHashTable[PawnHashSize];

namespace {

// The pawn terms that do not depend on the kings, per pawn configuration alone. A king move or
// a lost castling right misses the pawn cache with the pawns unchanged; then only the king
// terms are computed again. The full key is checked, so an entry is never taken for another
// configuration; a zero entry stands for no pawns at all (key 0), and is right for it.
struct PawnStructureEntry {
    uint64_t pawnKey;
    PackedScore score; // White's view
    uint8_t whitePassedFiles, blackPassedFiles, whitePawnFiles, blackPawnFiles;
};
constexpr int PawnStructureSize = 4096;
PawnStructureEntry PawnStructureTable[PawnStructureSize];

constexpr PackedScore S(int mg, int eg) { return pack(mg, eg); }

// Indexed by the pawn's rank counted from its own side (0 = first rank).
constexpr PackedScore PassedBase[8] = {0,         S(5, 5),   S(5, 5),   S(5, 10),
                                       S(20, 30), S(40, 50), S(60, 70), 0};
constexpr PackedScore PassedPhalanx[8] = {0, 0, 0, 0, S(15, 10), S(20, 15), S(30, 20), 0};
constexpr PackedScore PassedDefended[8] = {0, 0, 0, 0, S(15, 10), S(20, 15), S(30, 20), 0};
constexpr PackedScore PassedEdgeFile[8] = {0, 0, 0, S(5, 5), S(6, 8), S(8, 10), S(10, 15), 0};
constexpr PackedScore Candidate[8] = {0, 0, 0, 0, S(15, 25), S(35, 45), 0, 0};
constexpr PackedScore IsolatedOpen[8] = {0, S(10, 15), S(10, 15), S(10, 15), S(0, 5), 0, 0, 0};
constexpr PackedScore IsolatedClosed[8] = {0, S(4, 6), S(4, 6), S(4, 6), 0, 0, 0, 0};
constexpr PackedScore BackwardOpen[8] = {0, S(8, 12), S(8, 12), 0, 0, 0, 0, 0};
constexpr PackedScore BlockedByPawn[8] = {0, 0, 0, 0, S(0, 8), S(0, 10), 0, 0};
constexpr PackedScore DefendedPawn = S(1, 2);
constexpr PackedScore PhalanxPawn = S(1, 1);
constexpr PackedScore DoubledPawn = S(0, 12);

// Endgame only, by Chebyshev distance to the passed pawn's stop square.
constexpr int OwnKingDistance[8] = {2, 0, 4, 8, 12, 16, 20, 24};
constexpr int EnemyKingDistanceAhead[8] = {0, 10, 15, 20, 25, 30, 35, 40};
constexpr int EnemyKingDistanceBehind[8] = {0, 20, 25, 30, 35, 40, 45, 50};

// By number of pawn islands; eight files hold at most four.
constexpr PackedScore IslandsPenalty[5] = {0, 0, S(6, 6), S(14, 14), S(25, 25)};

// Shelter and storm, by the pawn's rank counted from the king's side; a file without a
// pawn takes the separate constant.
constexpr int ShelterAdjacentFile[8] = {0, 0, 5, 15, 20, 25, 25, 0};
constexpr int ShelterAdjacentFileEmpty = 30;
constexpr int ShelterOwnFile[8] = {0, 0, 15, 40, 50, 55, 55, 0};
constexpr int ShelterOwnFileEmpty = 55;
constexpr int StormFile[8] = {0, 0, 30, 20, 10, 0, 0, 0};
constexpr int StormFileEmpty = 10;
// An intact shelter is not free: it still weighs a little against an attack.
constexpr int IntactShelter = 10;

// Pawns never stand on the first or last rank; ignoring such squares keeps every s +- 8 and
// s +- 16 below on the board even for a malformed position.
constexpr Bitboard PawnRanks = ~(Rank1BB | Rank8BB);

constexpr Bitboard bit(Square s) { return 1ULL << s; }
constexpr Bitboard ranksAbove(int rank) { return rank >= 7 ? 0 : ~0ULL << (8 * (rank + 1)); }
constexpr Bitboard ranksBelow(int rank) { return (1ULL << (8 * rank)) - 1; }
inline Bitboard flipBoard(Bitboard b) { return __builtin_bswap64(b); }

Bitboard whiteKeySquares(Square s) {
    int file = fileOf(s), rank = rankOf(s);
    if (rank == 0 || rank == 7) return 0;
    if (file == 0) return (rank >= 4 ? bit(B7) : 0) | (rank >= 5 ? bit(B8) : 0);
    if (file == 7) return (rank >= 4 ? bit(G7) : 0) | (rank >= 5 ? bit(G8) : 0);
    Bitboard threeFiles = FileMask[s] | AdjacentFiles[file];
    if (rank <= 4) return threeFiles & rankMask(rank + 2);
    if (rank == 5) return threeFiles & (rankMask(6) | rankMask(7));
    return NeighbourSquares[s] | (threeFiles & rankMask(7));
}

// The own pawn nearest the king's side of the board: lowest for White, highest for Black.
template <int Us>
Square rearmost(Bitboard b) {
    return Us == White ? lsb(b) : msb(b);
}

template <int Us>
int shelterOf(const Position& pos, Square square) {
    constexpr int Them = opponent(Us);
    Bitboard ours = pos.bitboards[Pawn + Us], theirs = pos.bitboards[Pawn + Them];
    int file = fileOf(square);
    int first = std::max(0, file - 1), last = std::min(7, file + 1);

    int total = 0;
    for (int f = first; f <= last; ++f) {
        Bitboard own = ours & fileMask(f);
        if (f == file)
            total +=
                own ? ShelterOwnFile[relativeRank(Us, rearmost<Us>(own))] : ShelterOwnFileEmpty;
        else
            total += own ? ShelterAdjacentFile[relativeRank(Us, rearmost<Us>(own))]
                         : ShelterAdjacentFileEmpty;
    }
    if (total == 0) total = IntactShelter;

    // Pawn storms only matter when the kings stand on opposite wings.
    int theirKingFile = fileOf(pos.kingSquare[Them]);
    bool oppositeWings = (file >= 5 && theirKingFile <= 4) || (file <= 2 && theirKingFile >= 3);
    if (!oppositeWings) return total;
    for (int f = first; f <= last; ++f) {
        Bitboard enemy = theirs & fileMask(f);
        total += enemy ? StormFile[relativeRank(Us, rearmost<Us>(enemy))] : StormFileEmpty;
    }
    return total;
}

template <int Us>
int castledShelter(const Position& pos) {
    constexpr int ShortRight = Us == White ? WhiteShort : BlackShort;
    constexpr int LongRight = Us == White ? WhiteLong : BlackLong;
    constexpr Square ShortSquare = Us == White ? G1 : G8;
    constexpr Square LongSquare = Us == White ? C1 : C8;
    int best = shelterOf<Us>(pos, pos.kingSquare[Us]);
    if (pos.castling & ShortRight) best = std::min(best, shelterOf<Us>(pos, ShortSquare));
    if (pos.castling & LongRight) best = std::min(best, shelterOf<Us>(pos, LongSquare));
    return best;
}

struct PawnSide {
    PackedScore score; // from the side's own point of view
    uint8_t pawnFiles;
    uint8_t passedFiles;
};

template <int Us>
PackedScore passedPawnTerms(Square s, int rank, bool phalanx, bool defended) {
    int file = fileOf(s);
    PackedScore score = PassedBase[rank];
    if (phalanx) score += PassedPhalanx[rank];
    if (defended) score += PassedDefended[rank];
    if (file <= 1 || file >= 6) score += PassedEdgeFile[rank];
    return score;
}

// The kings' distances to the stop squares of the side's passed pawns (the foremost pawn of
// each file in passedFiles).
template <int Us>
PackedScore passedPawnKingTerms(const Position& pos, unsigned passedFiles) {
    constexpr int Them = opponent(Us);
    constexpr int Up = Us == White ? North : South;
    Bitboard ours = pos.bitboards[Pawn + Us] & PawnRanks;
    Square ownKing = pos.kingSquare[Us], theirKing = pos.kingSquare[Them];
    PackedScore score = 0;
    for (unsigned files = passedFiles; files; files &= files - 1) {
        Square s = foremostPawn<Us>(ours & fileMask(__builtin_ctz(files)));
        Square stop = s + Up;
        score -= OwnKingDistance[squareDistance(ownKing, stop)];
        int d = squareDistance(theirKing, stop);
        bool kingBehind = relativeRank(Us, theirKing) < relativeRank(Us, s);
        score += kingBehind ? EnemyKingDistanceBehind[d] : EnemyKingDistanceAhead[d];
    }
    return score;
}

// Everything but the king terms, so it depends on the pawns alone.
template <int Us>
PawnSide pawnStructure(const Position& pos) {
    constexpr int Them = opponent(Us);
    constexpr int Up = Us == White ? North : South;
    Bitboard ours = pos.bitboards[Pawn + Us], theirs = pos.bitboards[Pawn + Them];
    Bitboard defendedSquares = pawnAttacksOf<Us>(ours);

    PawnSide side{0, 0, 0};
    for (Bitboard b = ours & PawnRanks; b;) {
        Square s = popLsb(b);
        int file = fileOf(s), rank = relativeRank(Us, s);
        side.pawnFiles |= uint8_t(1 << file);
        bool open = !((ours | theirs) & FrontSpan[Us][s]);

        if (theirs & bit(s + Up)) side.score += BlockedByPawn[rank];
        bool defended = defendedSquares & bit(s);
        if (defended) side.score += DefendedPawn;
        bool phalanx = ours & NeighbourSquares[s];
        if (phalanx) side.score += PhalanxPawn;
        if (!(ours & AdjacentFiles[file]))
            side.score -= open ? IsolatedOpen[rank] : IsolatedClosed[rank];
        bool doubled = ours & FrontSpan[Us][s];
        if (doubled) side.score -= DoubledPawn;

        // Backward: no neighbour level or behind, and an enemy pawn already guards the stop.
        if (open && rank <= 4 && !(ours & (AdjacentFront[Them][s] | NeighbourSquares[s])) &&
            (theirs & NeighbourSquares[s + 2 * Up]))
            side.score -= BackwardOpen[rank];

        if (!(theirs & PassedMask[Us][s]) && !doubled) {
            side.passedFiles |= uint8_t(1 << file);
            side.score += passedPawnTerms<Us>(s, rank, phalanx, defended);
        } else if (open && !(theirs & PassedMask[Us][s + Up]) &&
                   popcount(ours & NeighbourSquares[s - Up]) >=
                       popcount(theirs & NeighbourSquares[s + Up])) {
            // Candidate: its defenders outnumber the enemy pawns beside its stop square.
            side.score += Candidate[rank];
        }
    }

    unsigned files = side.pawnFiles;
    int islands = popcount(files & ~(files << 1) & 0xFF);
    side.score -= IslandsPenalty[islands];
    return side;
}

} // namespace

void initPawnMasks() {
    for (Square s = 0; s < 64; ++s) {
        int file = fileOf(s), rank = rankOf(s);
        FrontSpan[White][s] = FileMask[s] & ranksAbove(rank);
        FrontSpan[Black][s] = FileMask[s] & ranksBelow(rank);
        AdjacentFront[White][s] = AdjacentFiles[file] & ranksAbove(rank);
        AdjacentFront[Black][s] = AdjacentFiles[file] & ranksBelow(rank);
        for (int c = White; c <= Black; ++c)
            PassedMask[c][s] = FrontSpan[c][s] | AdjacentFront[c][s];
        NeighbourSquares[s] = rank == 0 || rank == 7 ? 0 : AdjacentFiles[file] & rankMask(rank);
    }
    // Key squares read NeighbourSquares, so they come second; Black's are the mirror image.
    for (Square s = 0; s < 64; ++s) KeySquares[White][s] = whiteKeySquares(s);
    for (Square s = 0; s < 64; ++s)
        KeySquares[Black][s] = flipBoard(KeySquares[White][flipRank(s)]);
}

bool kingCatchesPawn(Square king, Square pawn, int tempo) {
    Square promotion = makeSquare(fileOf(pawn), 7);
    int allowance = 7 - rankOf(pawn) + tempo;
    // The double step gains a move, unless the king to move can take the pawn at once.
    bool kingTakes = tempo == 1 && squareDistance(king, pawn) == 1;
    if (rankOf(pawn) <= 1 && !kingTakes) allowance -= 1;
    return squareDistance(king, promotion) <= allowance;
}

void initPawnRaceTables() {
    for (Square s = 0; s < 64; ++s)
        for (int stm = White; stm <= Black; ++stm) {
            Bitboard white = 0, black = 0;
            for (Square k = 0; k < 64; ++k) {
                if (kingCatchesPawn(k, s, stm == Black)) white |= bit(k);
                if (kingCatchesPawn(flipRank(k), flipRank(s), stm == White)) black |= bit(k);
            }
            CatchSquares[White][s][stm] = white;
            CatchSquares[Black][s][stm] = black;
        }
}

int kingShelter(const Position& pos, Square square) { return shelterOf<White>(pos, square); }
int kingShelterBlack(const Position& pos, Square square) { return shelterOf<Black>(pos, square); }

uint64_t pawnHashKey(const Position& pos) {
    return pos.pawnKey ^ CastlingKey[pos.castling] ^
           PieceSquareKey[WhiteKing][pos.kingSquare[White]] ^
           PieceSquareKey[BlackKing][pos.kingSquare[Black]];
}

namespace {

const PawnStructureEntry& probePawnStructure(const Position& pos) {
    PawnStructureEntry& e = PawnStructureTable[pos.pawnKey & (PawnStructureSize - 1)];
    if (e.pawnKey != pos.pawnKey) {
        PawnSide white = pawnStructure<White>(pos), black = pawnStructure<Black>(pos);
        e.pawnKey = pos.pawnKey;
        e.score = white.score - black.score;
        e.whitePassedFiles = white.passedFiles;
        e.blackPassedFiles = black.passedFiles;
        e.whitePawnFiles = white.pawnFiles;
        e.blackPawnFiles = black.pawnFiles;
    }
    return e;
}

} // namespace

PackedScore evaluatePawns(const Position& pos, PawnHashEntry& entry) {
    const PawnStructureEntry& structure = probePawnStructure(pos);
    entry.checkKey = uint32_t(pawnHashKey(pos) >> 32);
    entry.score = structure.score + passedPawnKingTerms<White>(pos, structure.whitePassedFiles) -
                  passedPawnKingTerms<Black>(pos, structure.blackPassedFiles);
    entry.whiteShelter = uint8_t(castledShelter<White>(pos));
    entry.blackShelter = uint8_t(castledShelter<Black>(pos));
    entry.whitePassedFiles = structure.whitePassedFiles;
    entry.blackPassedFiles = structure.blackPassedFiles;
    entry.whitePawnFiles = structure.whitePawnFiles;
    entry.blackPawnFiles = structure.blackPawnFiles;
    return entry.score;
}

PawnHashEntry& probePawnHash(const Position& pos) {
    uint64_t key = pawnHashKey(pos);
    PawnHashEntry& entry = PawnHashTable[key & (PawnHashSize - 1)];
    if (entry.checkKey != uint32_t(key >> 32)) evaluatePawns(pos, entry);
    return entry;
}

} // namespace zekora
