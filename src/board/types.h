// SPDX-License-Identifier: GPL-3.0-or-later
// Basic numbering shared by the whole engine: squares, colours, piece codes, moves.
#pragma once

#include <cstdint>

namespace zekora {

using Bitboard = uint64_t;
using Square = int; // 0..63, a1 = 0, h1 = 7, a8 = 56, h8 = 63
using Move = uint16_t;

constexpr Square NoSquare = 64;
constexpr int MaxPly = 256;

enum Color : int { White = 0, Black = 1 };
constexpr int opponent(int c) { return c ^ 1; }

// Piece codes; the colour is the lowest bit. Bishops carry the colour of their square.
enum PieceCode : int {
    Empty = 0,
    WhitePawn = 2,
    BlackPawn = 3,
    WhiteKnight = 4,
    BlackKnight = 5,
    WhiteLightBishop = 6,
    BlackLightBishop = 7,
    WhiteDarkBishop = 8,
    BlackDarkBishop = 9,
    WhiteRook = 10,
    BlackRook = 11,
    WhiteQueen = 12,
    BlackQueen = 13,
    WhiteKing = 14,
    BlackKing = 15,
};

// Piece kinds without colour: code = kind + colour.
enum PieceKind : int {
    Pawn = 2,
    Knight = 4,
    LightBishop = 6,
    DarkBishop = 8,
    Rook = 10,
    Queen = 12,
    King = 14,
};

constexpr Bitboard LightSquares = 0x55AA55AA55AA55AAULL;

constexpr int colorOf(int code) { return code & 1; }
constexpr int withColor(int code, int c) { return (code & ~1) | c; }
constexpr bool isPawn(int code) { return (code & ~1) == Pawn; }
constexpr bool isKing(int code) { return (code & ~1) == King; }
constexpr bool isBishop(int code) {
    return (code & ~1) == LightBishop || (code & ~1) == DarkBishop;
}

constexpr int fileOf(Square s) { return s & 7; }
constexpr int rankOf(Square s) { return s >> 3; }
constexpr Square makeSquare(int file, int rank) { return rank * 8 + file; }
constexpr Square flipRank(Square s) { return s ^ 56; } // a1 <-> a8
// Rank seen from colour c's own side (0 = its first rank).
constexpr int relativeRank(int c, Square s) { return c == White ? rankOf(s) : 7 - rankOf(s); }
// Bishop code for a bishop of colour c standing on square s.
constexpr int bishopCode(int c, Square s) {
    return (((LightSquares >> s) & 1) ? LightBishop : DarkBishop) + c;
}

// clang-format off
enum Sq : int {
    A1, B1, C1, D1, E1, F1, G1, H1,
    A2, B2, C2, D2, E2, F2, G2, H2,
    A3, B3, C3, D3, E3, F3, G3, H3,
    A4, B4, C4, D4, E4, F4, G4, H4,
    A5, B5, C5, D5, E5, F5, G5, H5,
    A6, B6, C6, D6, E6, F6, G6, H6,
    A7, B7, C7, D7, E7, F7, G7, H7,
    A8, B8, C8, D8, E8, F8, G8, H8,
};
// clang-format on

// Move code: from = bits 0-5, to = bits 6-11, kind = bits 12-15.
constexpr Move NoMove = 0;
constexpr Move NullMoveCode = 0x0FFF; // the text "0000": h8 to h8
constexpr int FlagNormal = 0;
constexpr int FlagCastle = 1;
constexpr int FlagEnPassant = 2;
constexpr int FlagDoublePush = 3;

constexpr Move encodeMove(Square from, Square to, int kind = FlagNormal) {
    return Move(from | (to << 6) | (kind << 12));
}
constexpr Square moveFrom(Move m) { return m & 0x3F; }
constexpr Square moveTo(Move m) { return (m >> 6) & 0x3F; }
constexpr int moveKind(Move m) { return m >> 12; }
constexpr bool isPromotion(Move m) { return m >= 0x4000; }

// Castling right bits.
constexpr int WhiteShort = 1;
constexpr int WhiteLong = 2;
constexpr int BlackShort = 4;
constexpr int BlackLong = 8;

} // namespace zekora
