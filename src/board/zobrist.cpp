// SPDX-License-Identifier: GPL-3.0-or-later
#include "board/zobrist.h"

#include "board/bitops.h"

namespace zekora {

uint64_t PieceSquareKey[16][64];
uint64_t EnPassantKey[65];
uint64_t CastlingKey[16];
uint64_t SideKey[2];
uint64_t MaterialKeyTable[16][MaxMaterialCount + 1];
uint64_t CastleMoveKey[4];

namespace {

// Our own fixed generator (SplitMix64), so that the keys, and with them every search, are the
// same on every platform and in every build; the C library's rand differs between libraries.
class KeyGenerator {
  public:
    uint32_t next() {
        uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return uint32_t(z ^ (z >> 31));
    }

    // Eight draws, the first giving the most significant byte; only the low byte of each counts.
    uint64_t nextKey() {
        uint64_t key = 0;
        for (int i = 0; i < 8; ++i) key = (key << 8) | (next() & 0xFF);
        return key;
    }

  private:
    uint64_t state = 0;
};

uint64_t castleMoveKey(int king, Square kingFrom, Square kingTo, int rook, Square rookFrom,
                       Square rookTo) {
    return PieceSquareKey[king][kingFrom] ^ PieceSquareKey[king][kingTo] ^
           PieceSquareKey[rook][rookFrom] ^ PieceSquareKey[rook][rookTo];
}

} // namespace

void initZobrist() {
    KeyGenerator rng;
    for (int code = WhitePawn; code <= BlackKing; ++code)
        for (Square s = 0; s < 64; ++s) PieceSquareKey[code][s] = rng.nextKey();
    EnPassantKey[NoSquare] = rng.nextKey();
    for (Square s = A3; s <= H3; ++s) EnPassantKey[s] = rng.nextKey();
    for (Square s = A6; s <= H6; ++s) EnPassantKey[s] = rng.nextKey();
    for (int rights = 0; rights < 16; ++rights) CastlingKey[rights] = rng.nextKey();
    SideKey[White] = rng.nextKey();
    SideKey[Black] = rng.nextKey();
    for (int code = WhitePawn; code <= BlackKing; ++code)
        for (int n = 0; n <= MaxMaterialCount; ++n) MaterialKeyTable[code][n] = rng.nextKey();

    CastleMoveKey[0] = castleMoveKey(WhiteKing, E1, G1, WhiteRook, H1, F1);
    CastleMoveKey[1] = castleMoveKey(WhiteKing, E1, C1, WhiteRook, A1, D1);
    CastleMoveKey[2] = castleMoveKey(BlackKing, E8, G8, BlackRook, H8, F8);
    CastleMoveKey[3] = castleMoveKey(BlackKing, E8, C8, BlackRook, A8, D8);
}

void computeKeys(Position& pos) {
    uint64_t key = 0, pawnKey = 0, materialKey = 0;
    for (Square s = 0; s < 64; ++s) {
        int code = pos.board[s];
        if (code < WhitePawn || code > BlackKing) continue;
        key ^= PieceSquareKey[code][s];
        if (isPawn(code)) pawnKey ^= PieceSquareKey[code][s];
    }
    for (int code = WhitePawn; code <= BlackKing; ++code) {
        // Impossible counts are refused by setup; clamp so the table is never overrun.
        int n = popcount(pos.bitboards[code]);
        materialKey ^= MaterialKeyTable[code][n > MaxMaterialCount ? MaxMaterialCount : n];
    }
    int ep = pos.epSquare >= 0 && pos.epSquare <= NoSquare ? pos.epSquare : NoSquare;
    pos.key = key ^ CastlingKey[pos.castling & 15] ^ EnPassantKey[ep] ^ SideKey[pos.sideToMove & 1];
    pos.pawnKey = pawnKey;
    pos.materialKey = materialKey;
}

} // namespace zekora
