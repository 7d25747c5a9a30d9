// SPDX-License-Identifier: GPL-3.0-or-later
#include "eval/psqt.h"

namespace zekora {

PackedScore PieceSquareTable[16][64];

namespace {

// Value tables from White's point of view, printed as a board: rank 8 on the first line,
// files a to h from left to right, so square s is entry s ^ 56.
constexpr int PawnMg[64] = {
    0,   0,   0,  0, 0, 0,  0,   0,   // 8
    -17, -5,  1,  8, 8, 1,  -5,  -17, // 7
    -18, -6,  0,  7, 7, 0,  -6,  -18, // 6
    -19, -7,  -1, 6, 6, -1, -7,  -19, // 5
    -21, -9,  -3, 4, 4, -3, -9,  -21, // 4
    -22, -10, -4, 3, 3, -4, -10, -22, // 3
    -23, -11, -5, 2, 2, -5, -11, -23, // 2
    0,   0,   0,  0, 0, 0,  0,   0,   // 1
};

constexpr int PawnEg[64] = {
    0,  0,  0,   0,   0,   0,   0,  0,  // 8
    -2, -4, -6,  -8,  -8,  -6,  -4, -2, // 7
    -4, -6, -8,  -10, -10, -8,  -6, -4, // 6
    -5, -7, -9,  -11, -11, -9,  -7, -5, // 5
    -6, -8, -10, -12, -12, -10, -8, -6, // 4
    -7, -9, -11, -13, -13, -11, -9, -7, // 3
    -7, -9, -11, -13, -13, -11, -9, -7, // 2
    0,  0,  0,   0,   0,   0,   0,  0,  // 1
};

constexpr int KnightMg[64] = {
    -120, -21, -10, -6,  -6,  -10, -21, -120, // 8
    -16,  0,   11,  15,  15,  11,  0,   -16,  // 7
    -7,   9,   20,  24,  24,  20,  9,   -7,   // 6
    -5,   11,  22,  26,  26,  22,  11,  -5,   // 5
    -11,  5,   16,  20,  20,  16,  5,   -11,  // 4
    -20,  -4,  7,   11,  11,  7,   -4,  -20,  // 3
    -36,  -20, -9,  -5,  -5,  -9,  -20, -36,  // 2
    -58,  -42, -31, -27, -27, -31, -42, -58,  // 1
};

constexpr int KnightEg[64] = {
    -15, -10, -5,  -2, -2, -5,  -10, -15, // 8
    -8,  -1,  3,   5,  5,  3,   -1,  -8,  // 7
    -3,  3,   8,   10, 10, 8,   3,   -3,  // 6
    -4,  1,   6,   10, 10, 6,   1,   -4,  // 5
    -6,  -1,  4,   8,  8,  4,   -1,  -6,  // 4
    -10, -4,  1,   3,  3,  1,   -4,  -10, // 3
    -15, -8,  -4,  -2, -2, -4,  -8,  -15, // 2
    -22, -17, -12, -9, -9, -12, -17, -22, // 1
};

constexpr int BishopMg[64] = {
    -2, -3, -6,  -8,  -8,  -6,  -3, -2, // 8
    -3, 3,  0,   -2,  -2,  0,   3,  -3, // 7
    -6, 0,  7,   6,   6,   7,   0,  -6, // 6
    -8, -2, 6,   15,  15,  6,   -2, -8, // 5
    -8, -2, 6,   15,  15,  6,   -2, -8, // 4
    -6, 0,  7,   6,   6,   7,   0,  -6, // 3
    -3, 3,  0,   -2,  -2,  0,   3,  -3, // 2
    -7, -8, -11, -13, -13, -11, -8, -7, // 1
};

constexpr int BishopEg[64] = {
    0,  -1, -2, -2, -2, -2, -1, 0,  // 8
    -1, 1,  0,  0,  0,  0,  1,  -1, // 7
    -2, 0,  3,  2,  2,  3,  0,  -2, // 6
    -2, 0,  2,  5,  5,  2,  0,  -2, // 5
    -2, 0,  2,  5,  5,  2,  0,  -2, // 4
    -2, 0,  3,  2,  2,  3,  0,  -2, // 3
    -1, 1,  0,  0,  0,  0,  1,  -1, // 2
    0,  -1, -2, -2, -2, -2, -1, 0,  // 1
};

constexpr int RookMg[64] = {
    -2, -1, 0, 1, 1, 0, -1, -2, // 8
    -2, -1, 0, 1, 1, 0, -1, -2, // 7
    -2, -1, 0, 1, 1, 0, -1, -2, // 6
    -2, -1, 0, 1, 1, 0, -1, -2, // 5
    -2, -1, 0, 1, 1, 0, -1, -2, // 4
    -1, -1, 1, 2, 2, 1, -1, -1, // 3
    -1, -1, 1, 2, 2, 1, -1, -1, // 2
    0,  -1, 2, 3, 3, 2, -1, 0,  // 1
};

// The queen uses one table for both halves; note f8 is +1.
constexpr int QueenBoth[64] = {
    -3, -2, -1, 0,  0,  1,  -2, -3, // 8
    -2, -1, 0,  1,  1,  0,  -1, -2, // 7
    -1, 0,  1,  2,  2,  1,  0,  -1, // 6
    0,  1,  2,  3,  3,  2,  1,  0,  // 5
    -1, 0,  1,  2,  2,  1,  0,  -1, // 4
    -2, -1, 0,  1,  1,  0,  -1, -2, // 3
    -3, -2, -1, 0,  0,  -1, -2, -3, // 2
    -4, -3, -2, -1, -1, -2, -3, -4, // 1
};

constexpr int KingMg[64] = {
    6,  9,  -21, -39, -39, -21, 9,  6,  // 8
    15, 21, -9,  -30, -30, -9,  21, 15, // 7
    24, 30, 0,   -21, -21, 0,   30, 24, // 6
    30, 36, 6,   -15, -15, 6,   36, 30, // 5
    36, 39, 9,   -9,  -9,  9,   39, 36, // 4
    39, 42, 12,  -6,  -6,  12,  42, 39, // 3
    42, 45, 15,  -3,  -3,  15,  45, 42, // 2
    45, 48, 18,  0,   0,   18,  48, 45, // 1
};

constexpr int KingEg[64] = {
    -48, -30, -15, -9,  -9,  -15, -30, -48, // 8
    -36, -9,  3,   9,   9,   3,   -9,  -36, // 7
    -24, -3,  12,  18,  18,  12,  -3,  -24, // 6
    -18, 3,   18,  27,  27,  18,  3,   -18, // 5
    -24, -3,  12,  21,  21,  12,  -1,  -24, // 4
    -27, -9,  6,   12,  12,  9,   -9,  -27, // 3
    -39, -15, -3,  3,   3,   -3,  -15, -39, // 2
    -54, -54, -34, -28, -28, -34, -54, -54, // 1
};

// Rook endgame: +1 on ranks 5, 6 and 7.
constexpr int rookEg(Square s) { return rankOf(s) >= 4 && rankOf(s) <= 6 ? 1 : 0; }

} // namespace

void buildPieceSquareTables() {
    for (Square s = 0; s < 64; ++s) {
        Square v = s ^ 56;
        PieceSquareTable[WhitePawn][s] = pack(PawnMg[v], PawnEg[v]);
        PieceSquareTable[WhiteKnight][s] = pack(KnightMg[v], KnightEg[v]);
        PieceSquareTable[WhiteLightBishop][s] = pack(BishopMg[v], BishopEg[v]);
        PieceSquareTable[WhiteDarkBishop][s] = pack(BishopMg[v], BishopEg[v]);
        PieceSquareTable[WhiteRook][s] = pack(RookMg[v], rookEg(s));
        PieceSquareTable[WhiteQueen][s] = pack(QueenBoth[v], QueenBoth[v]);
        PieceSquareTable[WhiteKing][s] = pack(KingMg[v], KingEg[v]);
    }
    // Black is the negated White entry on the vertically mirrored square; a bishop's mirror
    // square has the other colour, so the light-squared Black bishop takes the dark row.
    for (Square s = 0; s < 64; ++s) {
        Square m = flipRank(s);
        PieceSquareTable[BlackPawn][s] = -PieceSquareTable[WhitePawn][m];
        PieceSquareTable[BlackKnight][s] = -PieceSquareTable[WhiteKnight][m];
        PieceSquareTable[BlackLightBishop][s] = -PieceSquareTable[WhiteDarkBishop][m];
        PieceSquareTable[BlackDarkBishop][s] = -PieceSquareTable[WhiteLightBishop][m];
        PieceSquareTable[BlackRook][s] = -PieceSquareTable[WhiteRook][m];
        PieceSquareTable[BlackQueen][s] = -PieceSquareTable[WhiteQueen][m];
        PieceSquareTable[BlackKing][s] = -PieceSquareTable[WhiteKing][m];
    }
}

} // namespace zekora
