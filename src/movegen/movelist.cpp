// SPDX-License-Identifier: GPL-3.0-or-later
#include "movegen/movelist.h"

#include "movegen/captures.h"
#include "movegen/quiets.h"

namespace zekora {

int32_t historyTable[16][64];

const GeneratorFn CaptureGenerators[2] = {generateCapturesWhite, generateCapturesBlack};
const GeneratorFn QuietGenerators[2] = {generateQuietsWhite, generateQuietsBlack};

void sortMoves(MoveList& list) {
    // The count is read once: stores into the score array could otherwise alias it.
    const int n = list.count;
    Move* const moves = list.moves;
    int16_t* const scores = list.scores;
    for (int i = 1; i < n; ++i) {
        const Move move = moves[i];
        const int16_t score = scores[i];
        int j = i;
        // Strictly lower only: equal scores keep their generation order.
        for (; j > 0 && scores[j - 1] < score; --j) {
            moves[j] = moves[j - 1];
            scores[j] = scores[j - 1];
        }
        moves[j] = move;
        scores[j] = score;
    }
}

} // namespace zekora
