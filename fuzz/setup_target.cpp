// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target: the input is the text of a "position" command (a FEN or "startpos", and a move
// list). Setup must always leave derived fields that agree with the board; on a position it
// marks usable, every generated move is then played and taken back, checked against a
// from-scratch rebuild each time, and the single-move questions (isPseudoLegal, isLegal,
// givesCheck) must agree with what playing the move shows.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "board/attacks.h"
#include "board/makemove.h"
#include "board/movecheck.h"
#include "board/zobrist.h"
#include "eval/psqt.h"
#include "movegen/movelist.h"
#include "uci/engine.h"
#include "uci/setup.h"

using namespace zekora;

namespace {

const char* currentInput = "";

// A failed check is a crash for libFuzzer, which then keeps the input.
void require(bool condition, const char* what, Move move = NoMove) {
    if (condition) return;
    std::fprintf(stderr, "setup fuzz: %s (move %s) after \"%s\"\n", what, moveToText(move),
                 currentInput);
    std::abort();
}

// Board, bitboards, king squares, keys and the piece-square sum as a fresh setup of the same
// board and state would derive them.
void requireConsistent(const Position& pos, Move lastMove) {
    static Position fresh;
    fresh = Position{};
    for (Square s = 0; s < 64; ++s) {
        require(pos.board[s] == Empty || (pos.board[s] >= WhitePawn && pos.board[s] <= BlackKing),
                "piece code out of range", lastMove);
        fresh.board[s] = pos.board[s];
    }
    fresh.sideToMove = pos.sideToMove;
    fresh.castling = pos.castling;
    fresh.epSquare = pos.epSquare;
    fresh.halfmoveClock = pos.halfmoveClock;
    completePosition(fresh);
    for (int code = 0; code < 16; ++code)
        require(pos.bitboards[code] == fresh.bitboards[code], "bitboards", lastMove);
    for (int c = White; c <= Black; ++c)
        if (fresh.bitboards[King + c])
            require(pos.kingSquare[c] == fresh.kingSquare[c], "king square", lastMove);
    require(pos.key == fresh.key, "key", lastMove);
    require(pos.pawnKey == fresh.pawnKey, "pawn key", lastMove);
    require(pos.materialKey == fresh.materialKey, "material key", lastMove);
    require(pos.psqScore == fresh.psqScore, "piece-square sum", lastMove);
    require(pos.historyCount >= 1 && pos.historyCount <= KeyHistorySize, "history count", lastMove);
    require(pos.keyHistory[pos.historyCount - 1] == pos.key, "last history key", lastMove);
}

// Every field an unmake restores, and the history up to its count.
bool samePosition(const Position& a, const Position& b) {
    for (Square s = 0; s < 64; ++s)
        if (a.board[s] != b.board[s]) return false;
    for (int code = 0; code < 16; ++code)
        if (a.bitboards[code] != b.bitboards[code]) return false;
    if (a.epSquare != b.epSquare || a.castling != b.castling ||
        a.halfmoveClock != b.halfmoveClock || a.sideToMove != b.sideToMove ||
        a.kingSquare[0] != b.kingSquare[0] || a.kingSquare[1] != b.kingSquare[1] ||
        a.key != b.key || a.pawnKey != b.pawnKey || a.materialKey != b.materialKey ||
        a.psqScore != b.psqScore || a.historyCount != b.historyCount ||
        a.stackEntry != b.stackEntry)
        return false;
    for (int i = 0; i < a.historyCount; ++i)
        if (a.keyHistory[i] != b.keyHistory[i]) return false;
    return true;
}

bool contains(const MoveList& list, Move move) {
    for (int i = 0; i < list.count; ++i)
        if (list.moves[i] == move) return true;
    return false;
}

// The search's view of the side to move, which isLegal and the evasion generator read.
void prepareStackEntry(Position& pos, SearchStackEntry& entry) {
    const int us = int(pos.sideToMove);
    entry = SearchStackEntry{};
    entry.inCheck = isSquareAttacked(pos, pos.kingSquare[us], opponent(us));
    entry.pinned = pinnedPieces(pos, us);
    pos.stackEntry = &entry;
}

void generatePseudoLegal(const Position& pos, MoveList& list) {
    const int us = int(pos.sideToMove);
    list.clear();
    CaptureGenerators[us](pos, list, ~Bitboard(0));
    QuietGenerators[us](pos, list, ~Bitboard(0));
}

// What playing the move shows about it.
struct Outcome {
    bool legal;
    bool checks;
};

// Plays the move, checks the result against a rebuild, and with a legal move also that every
// move of the parent position the child accepts as pseudo-legal (as a hash move from another
// position would be) is one the child's generators produce. Takes it back and checks that
// nothing is left of it.
Outcome playAndTakeBack(Position& pos, Move move, const MoveList& parentMoves) {
    static Position before;
    before = pos;
    const int us = int(pos.sideToMove);
    UndoRecord undo;
    makeMove(pos, undo, move);
    requireConsistent(pos, move);
    require(pos.historyCount == before.historyCount + 1, "history grows by one", move);
    Outcome outcome;
    outcome.legal = !isSquareAttacked(pos, pos.kingSquare[us], opponent(us));
    outcome.checks = isSquareAttacked(pos, pos.kingSquare[opponent(us)], us);
    if (outcome.legal) {
        MoveList childMoves;
        generatePseudoLegal(pos, childMoves);
        for (int i = 0; i < parentMoves.count; ++i)
            if (isPseudoLegal(pos, parentMoves.moves[i]))
                require(contains(childMoves, parentMoves.moves[i]),
                        "accepted as pseudo-legal but never generated", parentMoves.moves[i]);
    }
    unmakeMove(pos, undo, move);
    require(samePosition(pos, before), "unmake restores the position", move);
    return outcome;
}

void checkNullMove(Position& pos) {
    static Position before;
    before = pos;
    UndoRecord undo;
    makeNullMove(pos, undo);
    requireConsistent(pos, NullMoveCode);
    unmakeNullMove(pos, undo);
    require(samePosition(pos, before), "null move taken back", NullMoveCode);
}

void checkEveryMove(Position& pos) {
    SearchStackEntry entry;
    prepareStackEntry(pos, entry);
    const int us = int(pos.sideToMove);

    MoveList moves;
    generatePseudoLegal(pos, moves);
    MoveList legal;
    legal.clear();
    for (int i = 0; i < moves.count; ++i) {
        const Move m = moves.moves[i];
        for (int j = 0; j < i; ++j) require(moves.moves[j] != m, "generated twice", m);
        require(isPseudoLegal(pos, m), "generated but not pseudo-legal", m);
        const Outcome outcome = playAndTakeBack(pos, m, moves);
        require(isLegal(pos, m) == outcome.legal, "isLegal disagrees with play", m);
        if (!outcome.legal) continue;
        legal.add(m, 0);
        require(givesCheck(pos, m) == outcome.checks, "givesCheck disagrees with play", m);
    }

    if (entry.inCheck) {
        // Evasions are exactly the legal moves.
        MoveList evasions;
        evasions.clear();
        EvasionGenerators[us](pos, evasions);
        require(evasions.count == legal.count, "evasion count");
        for (int i = 0; i < evasions.count; ++i) {
            const Move m = evasions.moves[i];
            require(contains(legal, m), "evasion not legal", m);
            for (int j = 0; j < i; ++j) require(evasions.moves[j] != m, "evasion twice", m);
        }
    } else {
        MoveList checks;
        checks.clear();
        CheckGenerators[us](pos, checks);
        for (int i = 0; i < checks.count; ++i) {
            const Move m = checks.moves[i];
            require(contains(moves, m) && pos.board[moveTo(m)] == Empty && !isPromotion(m) &&
                        moveKind(m) != FlagEnPassant,
                    "quiet check not among the quiet moves", m);
            if (contains(legal, m)) require(givesCheck(pos, m), "quiet check gives none", m);
        }
        checkNullMove(pos);
    }
    pos.stackEntry = nullptr;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    initEngine();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // As a command line: the text ends at the first NUL.
    const std::string line(reinterpret_cast<const char*>(data), size);
    currentInput = line.c_str();
    setupPosition(line.c_str());
    requireConsistent(currentPosition, NoMove);
    for (int c = White; c <= Black; ++c)
        require(currentPosition.kingSquare[c] >= 0 && currentPosition.kingSquare[c] < 64,
                "king square off the board");
    if (currentPositionUsable) checkEveryMove(currentPosition);
    return 0;
}
