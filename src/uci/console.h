// Standard input and output: the non-blocking command poll, the blocking idle wait,
// formatted replies to the interface, and holding back the answer of a pondering search.
#pragma once

#include <cstddef>

namespace zekora {

// Every reader of command lines has a buffer of this size; a line keeps at most
// MaxLineLength characters plus its terminating NUL, the rest of a longer line is dropped.
constexpr size_t LineBufferSize = 65536;
constexpr size_t MaxLineLength = LineBufferSize - 1;

// True when standard input is a terminal rather than a pipe from an interface.
extern bool stdinIsConsole;

void initConsole();

// Never blocks: true when a whole command line is waiting, or when input has ended.
bool inputAvailable();

// Blocks without using the processor until inputAvailable would report true.
void waitForInput();

// Executes at most one waiting command line; returns at once when none is waiting.
void pollCommand();

// Formatted write to standard output, flushed at once.
void sendText(const char* format, ...) __attribute__((format(printf, 1, 2)));

// At the end of a pondering search: waits for "ponderhit" or "stop" before the best move may
// be reported, answering "isready" meanwhile; "quit" ends the process.
void waitForPonderEnd();

} // namespace zekora
