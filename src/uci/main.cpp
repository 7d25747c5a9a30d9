// SPDX-License-Identifier: GPL-3.0-or-later
// The engine program: one command loop over standard input until "quit" or end of input.
#include "uci/console.h"
#include "uci/engine.h"

int main() {
    zekora::initConsole();
    zekora::initEngine();
    // While idle the engine sleeps in the wait; only a running search polls.
    for (;;) {
        zekora::waitForInput();
        zekora::pollCommand();
    }
}
