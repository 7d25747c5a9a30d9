// SPDX-License-Identifier: GPL-3.0-or-later
#include "uci/setup.h"

#include <cstring>

#include "board/attacks.h"
#include "board/makemove.h"
#include "board/zobrist.h"
#include "eval/psqt.h"
#include "movegen/movelist.h"

namespace zekora {

Position currentPosition;
bool currentPositionUsable = false;

const char* const StartFen = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";

namespace {

constexpr uint8_t MaxHalfmoveClock = 255;
// Keys that repetition detection can still reach: it never looks back further than the
// halfmove clock, which stops at 255.
constexpr int ReachableKeys = 256;
// A position from setup leaves room in the key history for the deepest search line.
constexpr int MaxGameKeys = KeyHistorySize - MaxPly - 1;

// The text between begin and end, read field by field; never reads past end.
class FieldReader {
  public:
    FieldReader(const char* begin, const char* end) : cursor(begin), end(end) {}

    // The next blank-separated field, or an empty one (begin == end) when the text is used up.
    bool next(const char*& fieldBegin, const char*& fieldEnd) {
        while (cursor < end && isBlank(*cursor)) ++cursor;
        fieldBegin = cursor;
        while (cursor < end && !isBlank(*cursor)) ++cursor;
        fieldEnd = cursor;
        return fieldBegin < fieldEnd;
    }

    static bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

  private:
    const char* cursor;
    const char* end;
};

int pieceCodeOf(char letter, Square s) {
    switch (letter) {
    case 'P': return WhitePawn;
    case 'p': return BlackPawn;
    case 'N': return WhiteKnight;
    case 'n': return BlackKnight;
    case 'B': return bishopCode(White, s);
    case 'b': return bishopCode(Black, s);
    case 'R': return WhiteRook;
    case 'r': return BlackRook;
    case 'Q': return WhiteQueen;
    case 'q': return BlackQueen;
    case 'K': return WhiteKing;
    case 'k': return BlackKing;
    default: return Empty;
    }
}

// Squares a8, b8, ..., h8, a7, ..., h1; extra squares and unknown characters are ignored.
void readPlacement(Position& pos, const char* begin, const char* end) {
    int counter = 63; // the square is counter ^ 7
    for (const char* c = begin; c < end && counter >= 0; ++c) {
        if (*c >= '1' && *c <= '8') {
            counter -= *c - '0';
        } else if (int code = pieceCodeOf(*c, counter ^ 7)) {
            pos.board[counter ^ 7] = code;
            --counter;
        }
    }
}

// Letters in any order; a right is kept only while its king and rook stand at home.
uint8_t readCastling(const Position& pos, const char* begin, const char* end) {
    uint8_t rights = 0;
    for (const char* c = begin; c < end; ++c) {
        if (*c == 'K') rights |= WhiteShort;
        if (*c == 'Q') rights |= WhiteLong;
        if (*c == 'k') rights |= BlackShort;
        if (*c == 'q') rights |= BlackLong;
    }
    const int32_t* b = pos.board;
    if (b[E1] != WhiteKing || b[H1] != WhiteRook) rights &= ~WhiteShort;
    if (b[E1] != WhiteKing || b[A1] != WhiteRook) rights &= ~WhiteLong;
    if (b[E8] != BlackKing || b[H8] != BlackRook) rights &= ~BlackShort;
    if (b[E8] != BlackKing || b[A8] != BlackRook) rights &= ~BlackLong;
    return rights;
}

// The square a pawn of the side not to move has just skipped; anything else (a square on the
// wrong rank, no such pawn in front of it) would let an en-passant capture remove a piece that
// is not there, so it reads as no square.
int32_t readEnPassant(const Position& pos, const char* begin, const char* end) {
    if (end - begin < 2 || begin[0] < 'a' || begin[0] > 'h' || begin[1] < '1' || begin[1] > '8')
        return NoSquare;
    Square ep = makeSquare(begin[0] - 'a', begin[1] - '1');
    int us = int(pos.sideToMove), them = us ^ 1;
    if (rankOf(ep) != (us == White ? 5 : 2)) return NoSquare;
    Square pawnSquare = us == White ? ep - 8 : ep + 8;
    Square origin = us == White ? ep + 8 : ep - 8;
    if (pos.board[pawnSquare] != Pawn + them || pos.board[ep] != Empty ||
        pos.board[origin] != Empty)
        return NoSquare;
    return ep;
}

uint8_t readClock(const char* begin, const char* end) {
    int value = 0;
    for (const char* c = begin; c < end && *c >= '0' && *c <= '9'; ++c) {
        value = value * 10 + (*c - '0');
        if (value >= MaxHalfmoveClock) return MaxHalfmoveClock; // saturate, never wrap
    }
    return uint8_t(value);
}

// Missing fields read as White to move, no castling, no en passant, clock 0.
void readFen(Position& pos, const char* begin, const char* end) {
    FieldReader reader(begin, end);
    const char *b, *e;
    reader.next(b, e);
    readPlacement(pos, b, e);
    pos.sideToMove = reader.next(b, e) && *b != 'w' ? Black : White;
    pos.castling = 0;
    if (reader.next(b, e)) pos.castling = readCastling(pos, b, e);
    pos.epSquare = NoSquare;
    if (reader.next(b, e)) pos.epSquare = readEnPassant(pos, b, e);
    pos.halfmoveClock = 0;
    if (reader.next(b, e)) pos.halfmoveClock = readClock(b, e);
}

// First occurrence of word in [begin, end), or null.
const char* findWord(const char* begin, const char* end, const char* word) {
    size_t n = std::strlen(word);
    for (const char* c = begin; c + n <= end; ++c)
        if (std::memcmp(c, word, n) == 0) return c;
    return nullptr;
}

// A check along a line through the en-passant square: the line was as open before the double
// push, so the side to move would have left its king in check; no game reaches that. The
// capture would block the check, which no evasion expects, so the square is dropped.
void dropEnPassantThroughCheck(Position& pos) {
    if (pos.epSquare == NoSquare) return;
    const int us = int(pos.sideToMove);
    const Square king = pos.kingSquare[us];
    for (Bitboard checkers = attackersTo(pos, king, us ^ 1); checkers; checkers &= checkers - 1)
        if (Between[lsb(checkers)][king] & SquareBit[pos.epSquare]) {
            pos.epSquare = NoSquare;
            computeKeys(pos);
            pos.keyHistory[0] = pos.key;
            return;
        }
}

void loadPositionRange(const char* begin, const char* end) {
    std::memset(&currentPosition, 0, sizeof currentPosition);
    if (findWord(begin, end, "startpos")) {
        parseFen(currentPosition, StartFen);
    } else if (const char* fen = findWord(begin, end, "fen")) {
        readFen(currentPosition, fen + 3, end);
    }
    completePosition(currentPosition);
    dropEnPassantThroughCheck(currentPosition);
}

// Positions the search cannot handle soundly: not one king a side, impossible piece counts
// (a count that a promotion could push past the material-key table included), pawns on the
// first or last rank, or the side to move able to capture the king.
bool isUsable(const Position& pos) {
    const Bitboard* bb = pos.bitboards;
    if ((bb[WhitePawn] | bb[BlackPawn]) & (Rank1BB | Rank8BB)) return false;
    for (int c = White; c <= Black; ++c) {
        int pawns = popcount(bb[Pawn + c]);
        if (popcount(bb[King + c]) != 1 || popcount(bb[c]) > 16 || pawns > 8) return false;
        for (int code = Knight + c; code < King; code += 2)
            if (popcount(bb[code]) + pawns > MaxMaterialCount) return false;
    }
    int us = int(pos.sideToMove);
    return !isSquareAttacked(pos, pos.kingSquare[us ^ 1], us);
}

// Drops the keys repetition detection can no longer reach, keeping the last ones.
void trimKeyHistory(Position& pos) {
    if (pos.historyCount < MaxGameKeys) return;
    std::memmove(pos.keyHistory, pos.keyHistory + pos.historyCount - ReachableKeys,
                 ReachableKeys * sizeof pos.keyHistory[0]);
    pos.historyCount = ReachableKeys;
}

// Plays the moves of the list; a text that names no move ends the list there.
void playMoves(const char* begin, const char* end) {
    FieldReader reader(begin, end);
    const char *b, *e;
    while (reader.next(b, e)) {
        if (e - b > 5) return;
        char text[6] = {};
        std::memcpy(text, b, size_t(e - b));
        trimKeyHistory(currentPosition);
        UndoRecord undo; // thrown away: the game's keys stay in the history
        if (std::strcmp(text, "0000") == 0) {
            makeNullMove(currentPosition, undo); // the interface's way of passing the turn
            continue;
        }
        Move m = textToMove(currentPosition, text);
        if (m == NoMove) return;
        makeMove(currentPosition, undo, m);
    }
}

} // namespace

void parseFen(Position& pos, const char* fen) { readFen(pos, fen, fen + std::strlen(fen)); }

void completePosition(Position& pos) {
    for (Square s = 0; s < 64; ++s) {
        int code = pos.board[s];
        if (code < WhitePawn || code > BlackKing) {
            pos.board[s] = Empty;
            continue;
        }
        pos.bitboards[code] |= SquareBit[s];
        pos.bitboards[code & 1] |= SquareBit[s];
        pos.psqScore += PieceSquareTable[code][s];
    }
    // A missing king still gets a square that indexes every table; such a position is marked
    // unusable and never searched.
    for (int c = White; c <= Black; ++c)
        pos.kingSquare[c] = pos.bitboards[King + c] ? lsb(pos.bitboards[King + c]) : A1;
    computeKeys(pos);
    pos.historyCount = 1;
    pos.keyHistory[0] = pos.key;
}

void loadPosition(const char* text) {
    const char* end = text + std::strlen(text);
    if (const char* moves = findWord(text, end, "moves")) end = moves;
    loadPositionRange(text, end);
    currentPositionUsable = isUsable(currentPosition);
}

void setupPosition(const char* line) {
    const char* end = line + std::strlen(line);
    const char* moves = findWord(line, end, "moves");
    loadPositionRange(line, moves ? moves : end);
    // Moves are played only from a sound position, so no table is ever overrun.
    if (moves && isUsable(currentPosition)) playMoves(moves + 5, end);
    currentPositionUsable = isUsable(currentPosition);
}

Move textToMove(const Position& pos, const char* text) {
    for (int i = 0; i < 4; ++i) {
        char lo = i % 2 == 0 ? 'a' : '1';
        if (text[i] < lo || text[i] > lo + 7) return NoMove; // also stops at the end of text
    }
    Square from = makeSquare(text[0] - 'a', text[1] - '1');
    Square to = makeSquare(text[2] - 'a', text[3] - '1');
    char promotion = text[4] | 0x20; // lower case; NUL stays a non-letter

    MoveList list;
    list.clear();
    CaptureGenerators[pos.sideToMove & 1](pos, list, ~Bitboard(0));
    QuietGenerators[pos.sideToMove & 1](pos, list, ~Bitboard(0));
    for (int i = 0; i < list.count; ++i) {
        Move m = list.moves[i];
        if (moveFrom(m) != from || moveTo(m) != to) continue;
        if (!isPromotion(m)) return m;
        int kind = moveKind(m) & ~1;
        if ((kind == Queen && promotion == 'q') || (kind == Rook && promotion == 'r') ||
            (kind == Knight && promotion == 'n') ||
            ((kind == LightBishop || kind == DarkBishop) && promotion == 'b'))
            return m;
    }
    return NoMove;
}

const char* moveToText(Move move) {
    static char text[6];
    if (move == NullMoveCode) return std::strcpy(text, "0000"); // the interface's null move
    Square from = moveFrom(move), to = moveTo(move);
    text[0] = char('a' + fileOf(from));
    text[1] = char('1' + rankOf(from));
    text[2] = char('a' + fileOf(to));
    text[3] = char('1' + rankOf(to));
    text[4] = text[5] = '\0';
    if (isPromotion(move)) {
        switch (moveKind(move) & ~1) {
        case Knight: text[4] = 'n'; break;
        case Rook: text[4] = 'r'; break;
        case Queen: text[4] = 'q'; break;
        default: text[4] = 'b'; break;
        }
    }
    return text;
}

} // namespace zekora
