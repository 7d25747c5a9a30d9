// SPDX-License-Identifier: GPL-3.0-or-later
#include "board/position.h"

namespace zekora {

SearchStackEntry searchStack[MaxPly];

} // namespace zekora
