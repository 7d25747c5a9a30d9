// SPDX-License-Identifier: GPL-3.0-or-later
// The operating system interface in a JavaScript host (a Web Worker, or Node): standard input
// is a queue of bytes that the host fills from its messages or its standard input (web/host.js,
// run before the engine starts). How the engine waits for input is the host's: where the
// engine has a thread of its own (Node, a cross-origin isolated page) it blocks there while
// another thread passes input on (web/host-blocking.js); elsewhere it runs on a Worker's only
// thread, so every wait suspends the engine until input comes, and a poll during a search
// lets the event loop run now and then (web/host-suspending.js, with Asyncify).
#include "platform/os.h"

#include <climits>
#include <cstdlib>
#include <emscripten.h>

namespace zekora::os {

namespace {

// How often a search lets the host deliver input: often enough that "stop" and "isready"
// are answered at once, rarely enough that the round trips cost nothing measurable.
constexpr double PauseIntervalMs = 20;
double lastPause = 0;

// The suspending build names the last two to Asyncify as the calls that may suspend.
// clang-format off
EM_JS(int, hostIsConsole, (), { return zekoraHost.isConsole ? 1 : 0; });
EM_JS(int, hostTakeInput, (char* buffer, int size), { return zekoraHost.take(buffer, size); });
EM_JS(void, hostWaitForInput, (), { return zekoraHost.waitForInput(); });
EM_JS(void, hostPause, (), { return zekoraHost.pause(); });
// clang-format on

long takeInput(char* buffer, size_t size) {
    return hostTakeInput(buffer, int(size < size_t(INT_MAX) ? size : size_t(INT_MAX)));
}

} // namespace

bool openStandardInput() { return hostIsConsole() != 0; }

long readInput(char* buffer, size_t size, bool wait) {
    const long count = takeInput(buffer, size);
    if (count != NothingWaiting) return count;
    if (wait) {
        hostWaitForInput();
    } else {
        if (emscripten_get_now() - lastPause < PauseIntervalMs) return NothingWaiting;
        hostPause();
    }
    lastPause = emscripten_get_now();
    return takeInput(buffer, size);
}

// Neither host tells when the reader of the output has gone: a Worker's page just stops
// listening, and Node learns of a closed pipe only by a failed write.
bool outputHasReader() { return true; }

int64_t tickMilliseconds() { return int64_t(emscripten_get_now()); }

// Memory grows on demand; the allocator gives nullptr when the host refuses more.
void* reserveZeroed(size_t bytes) { return std::calloc(1, bytes); }

void release(void* block, size_t) { std::free(block); }

void offerHugePages(void*, size_t) {}

} // namespace zekora::os
