// SPDX-License-Identifier: GPL-3.0-or-later
// Subcommands of the developer tool; each returns the process exit status.
#pragma once

namespace zekora::tool {

int perftCommand(int argc, char** argv);
int evalCommand(int argc, char** argv);
int benchCommand(int argc, char** argv);

} // namespace zekora::tool
