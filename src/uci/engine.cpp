#include "uci/engine.h"

#include "board/attacks.h"
#include "eval/psqt.h"

namespace zekora {

// Later steps read tables built by earlier ones.
void initEngine() {
    initLineTables();
    initMagics();
    buildPieceSquareTables();
}

}  // namespace zekora
