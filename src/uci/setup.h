// SPDX-License-Identifier: GPL-3.0-or-later
// Position setup from "position" commands, and the long-algebraic move text.
#pragma once

#include "board/position.h"

namespace zekora {

extern Position currentPosition;
// False when the current position cannot be searched soundly (no single king of each colour,
// impossible piece counts, pawns on the first or last rank); "go" then answers at once.
extern bool currentPositionUsable;

extern const char* const StartFen;

void setupPosition(const char* line);
void loadPosition(const char* text);
void parseFen(Position& pos, const char* fen);
void completePosition(Position& pos);
Move textToMove(const Position& pos, const char* text);
// Writes into a shared static buffer, overwritten by the next call.
const char* moveToText(Move move);

} // namespace zekora
