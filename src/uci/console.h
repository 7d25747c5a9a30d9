// SPDX-License-Identifier: GPL-3.0-or-later
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

// Sends the line just completed by plain formatted writes (the info lines) to the interface.
void endLine();

// At the end of a pondering search: waits for "ponderhit" or "stop" before the best move may
// be reported, answering "isready" meanwhile; "quit" ends the process.
void waitForPonderEnd();

// The exit status when standard output has lost its reader (a write to it failed, or a
// search found it unread after the end of input): not 0, since output was lost.
constexpr int ReaderGoneStatus = 1;

// Ends the process with this exit status ("quit", or input ended while idle), through
// exitHook when one is set.
[[noreturn]] void endProcess(int status);
// Null in the programs. A harness that runs the command loop over many inputs in one process
// sets a hook that must not return: the fuzzing harness longjmps back to its own frame, which
// is sound because every frame in between, the search's included, is trivially destructible.
extern void (*exitHook)(int status);

// Forgets buffered input and its end, as if standard input had just been opened: lets one
// process read several input streams one after another (the fuzzing harness).
void restartInput();

} // namespace zekora
