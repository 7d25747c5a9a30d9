// SPDX-License-Identifier: GPL-3.0-or-later
#include "board/makemove.h"

#include <cstddef>
#include <cstring>
#include <type_traits>

#include "board/attacks.h"
#include "board/zobrist.h"
#include "eval/psqt.h"

namespace zekora {

namespace {

// Castling rights kept when a move touches a square (as from- or to-square): moving the king
// or a rook, or capturing a rook on its home square, gives up the matching rights.
constexpr uint8_t keepRightsWhenTouched(Square s) {
    switch (s) {
    case E1: return uint8_t(~(WhiteShort | WhiteLong) & 15);
    case H1: return uint8_t(~WhiteShort & 15);
    case A1: return uint8_t(~WhiteLong & 15);
    case E8: return uint8_t(~(BlackShort | BlackLong) & 15);
    case H8: return uint8_t(~BlackShort & 15);
    case A8: return uint8_t(~BlackLong & 15);
    default: return 15;
    }
}

struct CastlingRightsTable {
    uint8_t keep[64];
    constexpr CastlingRightsTable() : keep() {
        for (Square s = 0; s < 64; ++s) keep[s] = keepRightsWhenTouched(s);
    }
};
constexpr CastlingRightsTable KeepRights;

// Castling as a king move; index 0..3 = White short, White long, Black short, Black long,
// the order of CastleMoveKey.
constexpr Square CastleRookFrom[4] = {H1, A1, H8, A8};
constexpr Square CastleRookTo[4] = {F1, D1, F8, D8};

inline int castleIndex(Square kingTo) {
    return (fileOf(kingTo) == fileOf(C1) ? 1 : 0) + (rankOf(kingTo) == 7 ? 2 : 0);
}

constexpr uint8_t MaxHalfmoveClock = 255;

// Takes a piece of code x off square s in every field but the board, which the caller sets.
inline void removePiece(Position& pos, int x, Square s) {
    Bitboard bit = SquareBit[s];
    int n = popcount(pos.bitboards[x]);
    pos.bitboards[x] ^= bit;
    pos.bitboards[x & 1] ^= bit;
    pos.key ^= PieceSquareKey[x][s];
    if (isPawn(x)) pos.pawnKey ^= PieceSquareKey[x][s];
    pos.materialKey ^= MaterialKeyTable[x][n] ^ MaterialKeyTable[x][n - 1];
    pos.psqScore -= PieceSquareTable[x][s];
}

inline void movePiece(Position& pos, int p, Square from, Square to) {
    Bitboard ft = SquareBit[from] | SquareBit[to];
    pos.board[from] = Empty;
    pos.board[to] = p;
    pos.bitboards[p] ^= ft;
    pos.bitboards[p & 1] ^= ft;
    uint64_t k = PieceSquareKey[p][from] ^ PieceSquareKey[p][to];
    pos.key ^= k;
    if (isPawn(p)) pos.pawnKey ^= k;
    pos.psqScore += PieceSquareTable[p][to] - PieceSquareTable[p][from];
}

// The fields from epSquare to psqScore stand in the same order, with the same types, in the
// position and the undo record, so one block copy saves them and one restores them.
#define SAME_PLACE(field)                                                                          \
    static_assert(offsetof(Position, field) - offsetof(Position, epSquare) ==                      \
                  offsetof(UndoRecord, field) - offsetof(UndoRecord, epSquare))
SAME_PLACE(castling);
SAME_PLACE(halfmoveClock);
SAME_PLACE(sideToMove);
SAME_PLACE(kingSquare);
SAME_PLACE(key);
SAME_PLACE(pawnKey);
SAME_PLACE(materialKey);
SAME_PLACE(psqScore);
#undef SAME_PLACE
constexpr size_t StateBytes =
    offsetof(Position, psqScore) + sizeof(PackedScore) - offsetof(Position, epSquare);

// The first byte of those fields in either record, const or not.
template <typename Record>
auto* stateOf(Record& record) {
    using Byte = std::conditional_t<std::is_const_v<Record>, const unsigned char, unsigned char>;
    return reinterpret_cast<Byte*>(&record) + offsetof(std::remove_const_t<Record>, epSquare);
}

inline void saveState(const Position& pos, UndoRecord& undo) {
    undo.whiteOccupancy = pos.bitboards[White];
    undo.blackOccupancy = pos.bitboards[Black];
    std::memcpy(stateOf(undo), stateOf(pos), StateBytes);
    undo.stackEntry = pos.stackEntry;
}

} // namespace

void makeMove(Position& pos, UndoRecord& undo, Move move) {
    const Square from = moveFrom(move), to = moveTo(move);
    const int kind = moveKind(move);
    const int p = pos.board[from], c = p & 1;
    const int x = pos.board[to];

    saveState(pos, undo);
    undo.movedPiece = p;
    undo.capturedPiece = x;
    pos.stackEntry = nullptr;

    pos.castling &= KeepRights.keep[from] & KeepRights.keep[to];
    // Saturates rather than wraps, so a long quiet stretch never looks like a fresh one.
    if (isPawn(p) || x != Empty)
        pos.halfmoveClock = 0;
    else if (pos.halfmoveClock < MaxHalfmoveClock)
        ++pos.halfmoveClock;
    pos.epSquare = NoSquare;
    pos.sideToMove ^= 1;

    switch (kind) {
    case FlagNormal:
        if (x != Empty) removePiece(pos, x, to);
        movePiece(pos, p, from, to);
        break;
    case FlagDoublePush:
        movePiece(pos, p, from, to);
        pos.epSquare = (from + to) / 2; // the skipped square, whether or not it can be taken
        break;
    case FlagEnPassant: {
        Square victimSquare = c == White ? to - 8 : to + 8;
        removePiece(pos, Pawn + (c ^ 1), victimSquare);
        pos.board[victimSquare] = Empty;
        movePiece(pos, p, from, to);
        break;
    }
    case FlagCastle: {
        int i = castleIndex(to);
        int rook = Rook + c;
        Square rookFrom = CastleRookFrom[i], rookTo = CastleRookTo[i];
        Bitboard kingBits = SquareBit[from] | SquareBit[to];
        Bitboard rookBits = SquareBit[rookFrom] | SquareBit[rookTo];
        pos.board[from] = pos.board[rookFrom] = Empty;
        pos.board[to] = p;
        pos.board[rookTo] = rook;
        pos.bitboards[p] ^= kingBits;
        pos.bitboards[rook] ^= rookBits;
        pos.bitboards[c] ^= kingBits | rookBits;
        pos.key ^= CastleMoveKey[i];
        pos.psqScore += PieceSquareTable[p][to] - PieceSquareTable[p][from] +
                        PieceSquareTable[rook][rookTo] - PieceSquareTable[rook][rookFrom];
        break;
    }
    default: { // promotion: the kind is the new piece's code
        const int q = kind;
        if (x != Empty) removePiece(pos, x, to);
        int pawns = popcount(pos.bitboards[p]);
        int promoted = popcount(pos.bitboards[q]);
        pos.board[from] = Empty;
        pos.board[to] = q;
        pos.bitboards[p] ^= SquareBit[from];
        pos.bitboards[q] ^= SquareBit[to];
        pos.bitboards[c] ^= SquareBit[from] | SquareBit[to];
        pos.key ^= PieceSquareKey[p][from] ^ PieceSquareKey[q][to];
        pos.pawnKey ^= PieceSquareKey[p][from];
        pos.materialKey ^= MaterialKeyTable[p][pawns] ^ MaterialKeyTable[p][pawns - 1] ^
                           MaterialKeyTable[q][promoted] ^ MaterialKeyTable[q][promoted + 1];
        pos.psqScore += PieceSquareTable[q][to] - PieceSquareTable[p][from];
        break;
    }
    }

    if (isKing(p)) pos.kingSquare[c] = to;
    pos.key ^= CastlingKey[undo.castling] ^ CastlingKey[pos.castling] ^
               EnPassantKey[undo.epSquare] ^ EnPassantKey[pos.epSquare] ^ SideKey[undo.sideToMove] ^
               SideKey[pos.sideToMove];
    pos.keyHistory[pos.historyCount++] = pos.key;
}

void unmakeMove(Position& pos, const UndoRecord& undo, Move move) {
    const Square from = moveFrom(move), to = moveTo(move);
    const int kind = moveKind(move);
    const int p = undo.movedPiece, x = undo.capturedPiece;

    pos.bitboards[White] = undo.whiteOccupancy;
    pos.bitboards[Black] = undo.blackOccupancy;
    std::memcpy(stateOf(pos), stateOf(undo), StateBytes);
    pos.stackEntry = undo.stackEntry;

    const Bitboard fromBit = SquareBit[from], toBit = SquareBit[to];
    switch (kind) {
    case FlagNormal:
    case FlagDoublePush:
        pos.board[from] = p;
        pos.bitboards[p] ^= fromBit | toBit;
        pos.board[to] = x;
        if (x != Empty) pos.bitboards[x] ^= toBit;
        break;
    case FlagEnPassant: {
        const int c = p & 1;
        Square victimSquare = c == White ? to - 8 : to + 8;
        pos.board[from] = p;
        pos.board[to] = Empty;
        pos.bitboards[p] ^= fromBit | toBit;
        pos.board[victimSquare] = Pawn + (c ^ 1);
        pos.bitboards[Pawn + (c ^ 1)] ^= SquareBit[victimSquare];
        break;
    }
    case FlagCastle: {
        int i = castleIndex(to);
        int rook = Rook + (p & 1);
        Square rookFrom = CastleRookFrom[i], rookTo = CastleRookTo[i];
        pos.board[to] = pos.board[rookTo] = Empty;
        pos.board[from] = p;
        pos.board[rookFrom] = rook;
        pos.bitboards[p] ^= fromBit | toBit;
        pos.bitboards[rook] ^= SquareBit[rookFrom] | SquareBit[rookTo];
        break;
    }
    default:
        pos.board[from] = p;
        pos.bitboards[p] ^= fromBit;
        pos.bitboards[kind] ^= toBit;
        pos.board[to] = x;
        if (x != Empty) pos.bitboards[x] ^= toBit;
        break;
    }
    --pos.historyCount;
}

void makeNullMove(Position& pos, UndoRecord& undo) {
    undo.halfmoveClock = pos.halfmoveClock;
    undo.key = pos.key;
    undo.stackEntry = pos.stackEntry;
    undo.sideToMove = pos.sideToMove;
    undo.epSquare = pos.epSquare;

    pos.stackEntry = nullptr;
    // Restarting the clock keeps repetition detection from looking back past the null move.
    pos.halfmoveClock = 0;
    pos.key ^= EnPassantKey[pos.epSquare] ^ EnPassantKey[NoSquare] ^ SideKey[pos.sideToMove] ^
               SideKey[pos.sideToMove ^ 1];
    pos.epSquare = NoSquare;
    pos.sideToMove ^= 1;
    pos.keyHistory[pos.historyCount++] = pos.key;
}

void unmakeNullMove(Position& pos, const UndoRecord& undo) {
    pos.halfmoveClock = undo.halfmoveClock;
    pos.key = undo.key;
    pos.stackEntry = undo.stackEntry;
    pos.sideToMove = undo.sideToMove;
    pos.epSquare = undo.epSquare;
    --pos.historyCount;
}

} // namespace zekora
