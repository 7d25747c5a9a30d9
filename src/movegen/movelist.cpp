#include "movegen/movelist.h"

#include "movegen/captures.h"
#include "movegen/quiets.h"

namespace zekora {

int32_t historyTable[16][64];

const GeneratorFn CaptureGenerators[2] = {generateCapturesWhite, generateCapturesBlack};
const GeneratorFn QuietGenerators[2] = {generateQuietsWhite, generateQuietsBlack};

void sortMoves(MoveList& list) {
    for (int i = 1; i < list.count; ++i) {
        Move move = list.moves[i];
        int16_t score = list.scores[i];
        int j = i;
        // Strictly lower only: equal scores keep their generation order.
        for (; j > 0 && list.scores[j - 1] < score; --j) {
            list.moves[j] = list.moves[j - 1];
            list.scores[j] = list.scores[j - 1];
        }
        list.moves[j] = move;
        list.scores[j] = score;
    }
}

} // namespace zekora
