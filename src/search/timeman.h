// Search limits of the current "go", the time budget, the search clock and the time check.
#pragma once

#include <cstdint>

namespace zekora {

struct SearchLimits {
    int32_t ponder;
    int32_t infinite;
    int64_t whiteTime;
    int64_t blackTime;
    int64_t whiteIncrement;
    int64_t blackIncrement;
    uint16_t movesToGo;
    uint16_t depth;
    uint64_t nodeLimit;
    int64_t moveTime;
    int16_t mate;
    int32_t stopRequested;
    int32_t ponderhitReceived;
};

extern SearchLimits limits;

}  // namespace zekora
