#include "board/position.h"

namespace zekora {

SearchStackEntry searchStack[MaxPly];

} // namespace zekora
