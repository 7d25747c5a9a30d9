// SPDX-License-Identifier: GPL-3.0-or-later
// What most unit tests need: the engine's tables built once, and positions from FEN.
#pragma once

#include <cstring>
#include <string>

#include "board/position.h"
#include "uci/engine.h"
#include "uci/setup.h"

namespace zekora::test {

inline void initEngineOnce() {
    static const bool done = (initEngine(), true);
    (void)done;
}

inline Position positionFromFen(const std::string& fen) {
    Position pos;
    std::memset(&pos, 0, sizeof pos);
    parseFen(pos, fen.c_str());
    completePosition(pos);
    return pos;
}

} // namespace zekora::test
