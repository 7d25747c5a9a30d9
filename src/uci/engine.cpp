#include "uci/engine.h"

#include "board/attacks.h"
#include "eval/psqt.h"
#include "search/tt.h"

namespace zekora {

// Later steps read tables built by earlier ones.
void initEngine() {
    initLineTables();
    initMagics();
    buildPieceSquareTables();
    resizeTable(DefaultHashMegabytes);
    clearTable();
}

}  // namespace zekora
