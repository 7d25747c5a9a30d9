// SPDX-License-Identifier: GPL-3.0-or-later
#include "uci/engine.h"

#include "board/attacks.h"
#include "board/zobrist.h"
#include "eval/pawns.h"
#include "eval/psqt.h"
#include "movegen/movepick.h"
#include "search/search.h"
#include "search/tt.h"

namespace zekora {

// Later steps read tables built by earlier ones.
void initEngine() {
    initLineTables();
    initMagics();
    initZobrist();
    buildPieceSquareTables();
    initMoveStages();
    resizeTable(DefaultHashMegabytes);
    clearTable();
    initPawnMasks();
    initPawnRaceTables();
    buildPruningTables();
}

} // namespace zekora
