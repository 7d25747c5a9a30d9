// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up: builds every table of the engine once, in dependency order.
#pragma once

namespace zekora {

void initEngine();

} // namespace zekora
