// SPDX-License-Identifier: GPL-3.0-or-later
#include "board/attacks.h"

#include <cstdlib>

namespace zekora {

Bitboard SquareBit[64];
Bitboard FileMask[64];
Bitboard AdjacentFiles[8];
Bitboard Line[64][64];
Bitboard Between[64][64];
Bitboard KnightAttacks[64];
Bitboard KingAttacks[64];
Bitboard PawnAttacks[2][64];
Bitboard BishopMask[64];
Bitboard RookMask[64];
Bitboard SliderAttacks[SliderAttackEntries];

const Bitboard BishopMagic[64] = {
    0x0020811009010068ULL, 0x0004150222220042ULL, 0x0048080112248400ULL, 0x0009040F00002014ULL,
    0x0002021003020006ULL, 0x0019052840000024ULL, 0x000202100A184000ULL, 0x0088108084202000ULL,
    0x0040281110122042ULL, 0x0000F40800840680ULL, 0x0000102302003102ULL, 0x0081882080280C20ULL,
    0x0000040CA0000800ULL, 0x0008082410083007ULL, 0x0000004206904003ULL, 0x000A008228023200ULL,
    0x0020000988300080ULL, 0x0010000404480C48ULL, 0x0008080408105210ULL, 0x0028242404049009ULL,
    0x000A000422010060ULL, 0x0000402200D04400ULL, 0x003B008400821060ULL, 0x0015020084049200ULL,
    0x000404001021080BULL, 0x0010080402080104ULL, 0x0000C04284010200ULL, 0x0008802228020060ULL,
    0x0005010100104000ULL, 0x001041000180A028ULL, 0x0001060000421080ULL, 0x0012084200271803ULL,
    0x0010119004140431ULL, 0x0058822000308410ULL, 0x0032004040040100ULL, 0x00020040C0340100ULL,
    0x0018048400090500ULL, 0x0009250200210802ULL, 0x00080122401C0A00ULL, 0x00082088A0018A00ULL,
    0x0010840460414020ULL, 0x0003010120903000ULL, 0x0048220026003000ULL, 0x0080804202002022ULL,
    0x0002089010102100ULL, 0x008E020041001200ULL, 0x0090100590800108ULL, 0x0002242122000020ULL,
    0x0002421804400428ULL, 0x0000821809140818ULL, 0x0011008048080000ULL, 0x0028000084240002ULL,
    0x000050102A020000ULL, 0x0000608803484204ULL, 0x0010200800888004ULL, 0x0002080704008000ULL,
    0x0020C02090101000ULL, 0x00000100480C0440ULL, 0x0004128040441000ULL, 0x0008304004841408ULL,
    0x0000502121024400ULL, 0x00000C0408D00901ULL, 0x0011941810240880ULL, 0x00C0256806014840ULL,
};

const Bitboard RookMagic[64] = {
    0x0080004000228010ULL, 0x00802000C0001080ULL, 0x0080200080081000ULL, 0x0080080084805000ULL,
    0x008014000A080080ULL, 0x008002002C008007ULL, 0x0080560001000880ULL, 0x0080010000624080ULL,
    0x0002002542050080ULL, 0x0001C01002402000ULL, 0x00C2002090804601ULL, 0x0002001042012008ULL,
    0x0010800400800800ULL, 0x0002000824100200ULL, 0x0002002600146108ULL, 0x0012000046012084ULL,
    0x008000C00051A007ULL, 0x0010024014402000ULL, 0x002084805000A000ULL, 0x0001808030000800ULL,
    0x0008818024014800ULL, 0x0030808002000C01ULL, 0x0044310100020004ULL, 0x00D0160001008444ULL,
    0x00C080008020C008ULL, 0x0024400700208104ULL, 0x00C0100080200180ULL, 0x0001000D00209000ULL,
    0x0080080080040080ULL, 0x0002001200082450ULL, 0x0014103400020801ULL, 0x0042208A00004409ULL,
    0x00C0004020800080ULL, 0x0000844000806001ULL, 0x0000422001001900ULL, 0x0000100101000820ULL,
    0x0000808800800C02ULL, 0x0000800400800200ULL, 0x0002001882000104ULL, 0x0004210046000084ULL,
    0x0010802040088000ULL, 0x0005088040010020ULL, 0x0040200041050014ULL, 0x0020120018220040ULL,
    0x0092000810A20004ULL, 0x0000201040980104ULL, 0x0002100205040088ULL, 0x00000400588A0005ULL,
    0x0000800301C03100ULL, 0x0008802009401480ULL, 0x0040805001600080ULL, 0x000A100280280080ULL,
    0x000E00080410A200ULL, 0x0001000400020900ULL, 0x0080801200010080ULL, 0x002003040080C600ULL,
    0x0002590080014221ULL, 0x0048230040009081ULL, 0x0091200100400851ULL, 0x0001082090000501ULL,
    0x004100700C0A0801ULL, 0x0002002418100102ULL, 0x0038081002008104ULL, 0x0040A1810820C402ULL,
};

// 64 minus the number of relevant occupancy bits.
const int32_t BishopShift[64] = {
    58, 59, 59, 59, 59, 59, 59, 58, 59, 59, 59, 59, 59, 59, 59, 59, 59, 59, 57, 57, 57, 57,
    59, 59, 59, 59, 57, 55, 55, 57, 59, 59, 59, 59, 57, 55, 55, 57, 59, 59, 59, 59, 57, 57,
    57, 57, 59, 59, 59, 59, 59, 59, 59, 59, 59, 59, 58, 59, 59, 59, 59, 59, 59, 58,
};
const int32_t RookShift[64] = {
    52, 53, 53, 53, 53, 53, 53, 52, 53, 54, 54, 54, 54, 54, 54, 53, 53, 54, 54, 54, 54, 54,
    54, 53, 53, 54, 54, 54, 54, 54, 54, 53, 53, 54, 54, 54, 54, 54, 54, 53, 53, 54, 54, 54,
    54, 54, 54, 53, 53, 54, 54, 54, 54, 54, 54, 53, 52, 53, 53, 53, 53, 53, 53, 52,
};
// Start of each square's block in SliderAttacks: bishops first, then rooks.
const int32_t BishopOffset[64] = {
    0,    64,   96,   128,  160,  192,  224,  256,  320,  352,  384,  416,  448,  480,  512,  544,
    576,  608,  640,  768,  896,  1024, 1152, 1184, 1216, 1248, 1280, 1408, 1920, 2432, 2560, 2592,
    2624, 2656, 2688, 2816, 3328, 3840, 3968, 4000, 4032, 4064, 4096, 4224, 4352, 4480, 4608, 4640,
    4672, 4704, 4736, 4768, 4800, 4832, 4864, 4896, 4928, 4992, 5024, 5056, 5088, 5120, 5152, 5184,
};
const int32_t RookOffset[64] = {
    5248,  9344,  11392, 13440, 15488, 17536, 19584, 21632, 25728, 27776, 28800,  29824,  30848,
    31872, 32896, 33920, 35968, 38016, 39040, 40064, 41088, 42112, 43136, 44160,  46208,  48256,
    49280, 50304, 51328, 52352, 53376, 54400, 56448, 58496, 59520, 60544, 61568,  62592,  63616,
    64640, 66688, 68736, 69760, 70784, 71808, 72832, 73856, 74880, 76928, 78976,  80000,  81024,
    82048, 83072, 84096, 85120, 87168, 91264, 93312, 95360, 97408, 99456, 101504, 103552,
};

namespace {

Bitboard noAttacks(Square, Bitboard) { return 0; }
Bitboard whitePawnAttacks(Square s, Bitboard) { return PawnAttacks[White][s]; }
Bitboard blackPawnAttacks(Square s, Bitboard) { return PawnAttacks[Black][s]; }
Bitboard knightAttacksFn(Square s, Bitboard) { return KnightAttacks[s]; }
Bitboard kingAttacksFn(Square s, Bitboard) { return KingAttacks[s]; }

// Squares reached from s by the given steps (file, rank), each taken once.
Bitboard stepAttacks(Square s, const int (*steps)[2], int count) {
    Bitboard result = 0;
    for (int i = 0; i < count; ++i) {
        int f = fileOf(s) + steps[i][0], r = rankOf(s) + steps[i][1];
        if (f >= 0 && f < 8 && r >= 0 && r < 8) result |= 1ULL << makeSquare(f, r);
    }
    return result;
}

// Slider attacks by walking the four rays; the first occupied square ends a ray.
Bitboard rayAttacks(Square s, Bitboard occupancy, const int (*dirs)[2]) {
    Bitboard result = 0;
    for (int d = 0; d < 4; ++d) {
        int f = fileOf(s) + dirs[d][0], r = rankOf(s) + dirs[d][1];
        for (; f >= 0 && f < 8 && r >= 0 && r < 8; f += dirs[d][0], r += dirs[d][1]) {
            Bitboard bit = 1ULL << makeSquare(f, r);
            result |= bit;
            if (occupancy & bit) break;
        }
    }
    return result;
}

constexpr int BishopDirs[4][2] = {{1, 1}, {-1, 1}, {1, -1}, {-1, -1}};
constexpr int RookDirs[4][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};

Bitboard diagonalOf(Square s) {
    int d = fileOf(s) - rankOf(s);
    Bitboard main = 0x8040201008040201ULL;
    return d > 0 ? main >> (8 * d) : main << (8 * -d);
}

Bitboard antiDiagonalOf(Square s) {
    int d = 7 - fileOf(s) - rankOf(s);
    Bitboard anti = 0x0102040810204080ULL;
    return d > 0 ? anti >> (8 * d) : anti << (8 * -d);
}

void fillSliderBlocks(Bitboard* masks, const Bitboard* magics, const int32_t* shifts,
                      const int32_t* offsets, const int (*dirs)[2]) {
    for (Square s = 0; s < 64; ++s) {
        Square listed[12];
        int n = 0;
        for (Bitboard m = masks[s]; m;) listed[n++] = popLsb(m);
        for (uint32_t j = 0; j < (1u << n); ++j) {
            Bitboard subset = 0;
            for (int k = 0; k < n; ++k)
                if (j & (1u << k)) subset |= SquareBit[listed[k]];
            uint32_t index = uint32_t((subset * magics[s]) >> shifts[s]);
            SliderAttacks[offsets[s] + index] = rayAttacks(s, subset, dirs);
        }
    }
}

} // namespace

const AttackFn AttackFunction[16] = {
    noAttacks,       noAttacks,       whitePawnAttacks, blackPawnAttacks,
    knightAttacksFn, knightAttacksFn, bishopAttacks,    bishopAttacks,
    bishopAttacks,   bishopAttacks,   rookAttacks,      rookAttacks,
    queenAttacks,    queenAttacks,    kingAttacksFn,    kingAttacksFn,
};

void initLineTables() {
    static constexpr int KnightSteps[8][2] = {{1, 2},   {2, 1},   {2, -1}, {1, -2},
                                              {-1, -2}, {-2, -1}, {-2, 1}, {-1, 2}};
    static constexpr int KingSteps[8][2] = {{1, 0},  {1, 1},   {0, 1},  {-1, 1},
                                            {-1, 0}, {-1, -1}, {0, -1}, {1, -1}};
    static constexpr int WhitePawnSteps[2][2] = {{-1, 1}, {1, 1}};
    static constexpr int BlackPawnSteps[2][2] = {{-1, -1}, {1, -1}};

    Bitboard rankOfSq[64], fileOfSq[64], diag[64], anti[64];
    for (Square s = 0; s < 64; ++s) {
        SquareBit[s] = 1ULL << s;
        FileMask[s] = FileABB << fileOf(s);
        fileOfSq[s] = FileMask[s];
        rankOfSq[s] = rankMask(rankOf(s));
        diag[s] = diagonalOf(s);
        anti[s] = antiDiagonalOf(s);
        KnightAttacks[s] = stepAttacks(s, KnightSteps, 8);
        KingAttacks[s] = stepAttacks(s, KingSteps, 8);
        PawnAttacks[White][s] = rankOf(s) == 7 ? 0 : stepAttacks(s, WhitePawnSteps, 2);
        PawnAttacks[Black][s] = rankOf(s) == 0 ? 0 : stepAttacks(s, BlackPawnSteps, 2);
    }
    for (int f = 0; f < 8; ++f)
        AdjacentFiles[f] = (f > 0 ? fileMask(f - 1) : 0) | (f < 7 ? fileMask(f + 1) : 0);
    for (Square i = 0; i < 64; ++i) {
        for (Square j = 0; j < 64; ++j) {
            Bitboard line = (rankOfSq[i] & rankOfSq[j]) | (fileOfSq[i] & fileOfSq[j]) |
                            (diag[i] & diag[j]) | (anti[i] & anti[j]);
            Line[i][j] = line;
            Square lo = i < j ? i : j, hi = i < j ? j : i;
            Bitboard span = (hi == lo) ? 0 : ((1ULL << hi) - 1) & ~((1ULL << lo) - 1);
            Bitboard between = line & span;
            between &= between - 1; // drop the square lo itself
            Between[i][j] = (i == j) ? 0 : between;
        }
    }
}

void initMagics() {
    constexpr Bitboard Inner = 0x007E7E7E7E7E7E00ULL;
    for (Square s = 0; s < 64; ++s) {
        BishopMask[s] = (diagonalOf(s) | antiDiagonalOf(s)) & ~SquareBit[s] & Inner;
        Bitboard rook = (rankMask(rankOf(s)) | FileMask[s]) & ~SquareBit[s];
        if (fileOf(s) != 0) rook &= ~FileABB;
        if (fileOf(s) != 7) rook &= ~FileHBB;
        if (rankOf(s) != 0) rook &= ~Rank1BB;
        if (rankOf(s) != 7) rook &= ~Rank8BB;
        RookMask[s] = rook;
    }
    fillSliderBlocks(BishopMask, BishopMagic, BishopShift, BishopOffset, BishopDirs);
    fillSliderBlocks(RookMask, RookMagic, RookShift, RookOffset, RookDirs);
}

bool isSquareAttacked(const Position& pos, Square s, int byColor) {
    const Bitboard* bb = pos.bitboards;
    if (PawnAttacks[opponent(byColor)][s] & bb[Pawn + byColor]) return true;
    if (KnightAttacks[s] & bb[Knight + byColor]) return true;
    if (KingAttacks[s] & bb[King + byColor]) return true;
    Bitboard occ = pos.occupied();
    if (bishopAttacks(s, occ) & diagonalSliders(pos, byColor)) return true;
    return (rookAttacks(s, occ) & straightSliders(pos, byColor)) != 0;
}

Bitboard attackersTo(const Position& pos, Square s, int color) {
    const Bitboard* bb = pos.bitboards;
    Bitboard occ = pos.occupied();
    return (PawnAttacks[opponent(color)][s] & bb[Pawn + color]) |
           (KnightAttacks[s] & bb[Knight + color]) | (KingAttacks[s] & bb[King + color]) |
           (bishopAttacks(s, occ) & diagonalSliders(pos, color)) |
           (rookAttacks(s, occ) & straightSliders(pos, color));
}

Bitboard sliderAttackersThrough(const Position& pos, Bitboard occupancy, Square s, int color) {
    return ((bishopAttacks(s, occupancy) & diagonalSliders(pos, color)) |
            (rookAttacks(s, occupancy) & straightSliders(pos, color))) &
           occupancy;
}

Bitboard pinnedPieces(const Position& pos, int color) {
    const Square k = pos.kingSquare[color];
    const Bitboard occ = pos.occupied();
    const int them = opponent(color);
    // Enemy sliders on the king's lines, seen through everything; a piece of colour is pinned
    // when it stands alone between one of them and the king.
    Bitboard snipers = (bishopAttacks(k, 0) & diagonalSliders(pos, them)) |
                       (rookAttacks(k, 0) & straightSliders(pos, them));
    Bitboard result = 0;
    while (snipers) {
        const Bitboard between = Between[k][popLsb(snipers)] & occ;
        if (between && !moreThanOne(between)) result |= between & pos.bitboards[color];
    }
    return result;
}

} // namespace zekora
