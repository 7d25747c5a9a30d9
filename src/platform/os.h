// SPDX-License-Identifier: GPL-3.0-or-later
// The operating system beneath the engine: standard input and output, the millisecond tick
// and large zero-filled memory. One source per platform implements it (os_posix.cpp,
// os_windows.cpp; the build picks one), so nothing else in the engine asks where it runs.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zekora::os {

// Prepares standard input, which is then read only through readInput. True when it is an
// interactive console, false for a pipe (the normal case: an interface started the engine) or
// a file.
bool openStandardInput();

// What readInput returns when it has no bytes to give.
constexpr long NothingWaiting = 0;
constexpr long EndOfInput = -1;

// Takes waiting input, at most size bytes, and returns their number. Without wait it never
// blocks: NothingWaiting unless bytes of a pipe, or a whole line typed on a console, are
// waiting. With wait it blocks, without using the processor, until input or its end arrives.
long readInput(char* buffer, size_t size, bool wait);

// False once standard output is a pipe whose reader has gone (the interface closed it or
// ended); true while it has one, and for terminals and files. Never blocks.
bool outputHasReader();

// Milliseconds since an arbitrary origin; only differences are used. Does not wrap.
int64_t tickMilliseconds();

// Fresh zero-filled memory, given physical pages only as they are touched where the system
// can; nullptr when it is not available. The start may be passed to offerHugePages.
void* reserveZeroed(size_t bytes);
void release(void* block, size_t bytes);
// A hint that this range is probed at random, so large pages would spare translation misses.
void offerHugePages(void* start, size_t bytes);

} // namespace zekora::os
