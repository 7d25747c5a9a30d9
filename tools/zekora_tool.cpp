// SPDX-License-Identifier: GPL-3.0-or-later
// zekora-tool: developer commands (perft, eval, bench) over the engine library.
#include <cstdio>
#include <cstring>

#include "tools/commands.h"
#include "uci/engine.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::printf("usage: zekora-tool perft [--picker] DEPTH [FEN] | eval FEN | bench [DEPTH]\n");
        return 2;
    }
    zekora::initEngine();
    const char* command = argv[1];
    if (!std::strcmp(command, "perft")) return zekora::tool::perftCommand(argc - 2, argv + 2);
    if (!std::strcmp(command, "eval")) return zekora::tool::evalCommand(argc - 2, argv + 2);
    if (!std::strcmp(command, "bench")) return zekora::tool::benchCommand(argc - 2, argv + 2);
    std::printf("unknown command: %s\n", command);
    return 2;
}
