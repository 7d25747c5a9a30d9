// SPDX-License-Identifier: GPL-3.0-or-later
#include "uci/console.h"

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/os.h"
#include "search/timeman.h"
#include "uci/uci.h"

namespace zekora {

bool stdinIsConsole = false;
void (*exitHook)(int status) = nullptr;

namespace {

constexpr size_t ChunkSize = 4096;
// Large enough for the longest info line, so each line reaches the interface in one write.
constexpr size_t OutputBufferSize = 16384;

// Input is read from the system directly, never through stdio: bytes that stdio had read
// ahead would be invisible to the next poll of the system, and a command could wait
// unanswered. Bytes read but not yet taken into a line wait here.
char chunk[ChunkSize];
size_t chunkPos = 0;
size_t chunkEnd = 0;

// The line being assembled from the chunks.
char pendingLine[LineBufferSize];
size_t pendingLength = 0;
bool lineComplete = false;
bool endOfInput = false;

char outputBuffer[OutputBufferSize];

// Takes buffered bytes into the pending line up to the end of a line. Characters beyond
// MaxLineLength are dropped, so an overlong line is cut, and its rest never becomes a line.
void assembleLine() {
    while (!lineComplete && chunkPos < chunkEnd) {
        char c = chunk[chunkPos++];
        if (c == '\n')
            lineComplete = true;
        else if (pendingLength < MaxLineLength)
            pendingLine[pendingLength++] = c;
    }
}

// One read of whatever is waiting, after waiting for it when asked to.
void readInput(bool wait) {
    if (endOfInput || chunkPos < chunkEnd) return;
    const long count = os::readInput(chunk, ChunkSize, wait);
    if (count > 0) {
        chunkPos = 0;
        chunkEnd = size_t(count);
        return;
    }
    if (count == os::NothingWaiting) return;
    endOfInput = true;
    // A last line without its newline is still a command.
    if (pendingLength > 0) lineComplete = true;
}

// Copies the waiting line out and forgets it, so that it is never handed out twice.
// False when no line is left because input has ended.
bool takeLine(char* line) {
    if (!lineComplete) return false;
    size_t length = pendingLength;
    // Interfaces written for another platform end their lines with "\r\n"; a Windows program
    // writing that through a text-mode stream sends "\r\r\n".
    while (length > 0 && pendingLine[length - 1] == '\r') --length;
    std::memcpy(line, pendingLine, length);
    line[length] = '\0';
    pendingLength = 0;
    lineComplete = false;
    return true;
}

// How often a search whose input has ended asks whether its output is still read.
constexpr int64_t ReaderCheckIntervalMs = 100;

// Input has ended: nobody can send "stop" or "quit" any more. A search with limits of its
// own runs to its end so that a scripted session still gets its answer; one that only
// "stop" could end is stopped. Outside a search the process ends.
void handleEndOfInput() {
    if (!searchRunning) endProcess(EXIT_SUCCESS);
    if (limits.infinite || limits.ponder) limits.stopRequested = 1;
    // An interface that has gone closed both pipes: a long iteration that prints nothing
    // would otherwise search on for nobody until its first write fails.
    static int64_t nextReaderCheck = 0;
    const int64_t now = os::tickMilliseconds();
    if (now < nextReaderCheck) return;
    nextReaderCheck = now + ReaderCheckIntervalMs;
    if (!os::outputHasReader()) endProcess(ReaderGoneStatus);
}

// Every line is flushed by its writer; when that fails the reader has gone, and nobody will
// ever see what the engine does next. (Windows' C library may return success from a flush
// that failed; the stream's error flag tells.)
void flushLine() {
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) endProcess(ReaderGoneStatus);
}

} // namespace

void initConsole() {
    stdinIsConsole = os::openStandardInput();
    // Whole lines only: every writer flushes at the end of its line (sendText, endLine), so an
    // interface sees each line as soon as it is complete and never half an info line. (Line
    // buffering would do the same on Linux, but Windows' C library has none.)
    std::setvbuf(stdout, outputBuffer, _IOFBF, sizeof outputBuffer);
}

bool inputAvailable() {
    assembleLine();
    if (!lineComplete) {
        readInput(false);
        assembleLine();
    }
    return lineComplete || endOfInput;
}

void waitForInput() {
    while (!inputAvailable()) readInput(true);
}

void pollCommand() {
    static char line[LineBufferSize];
    if (!inputAvailable()) return;
    if (takeLine(line))
        dispatchCommand(line);
    else
        handleEndOfInput();
}

void endProcess(int status) {
    if (exitHook) exitHook(status);
    std::exit(status);
}

void restartInput() {
    chunkPos = chunkEnd = 0;
    pendingLength = 0;
    lineComplete = false;
    endOfInput = false;
}

void sendText(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vprintf(format, args);
    va_end(args);
    flushLine();
}

void endLine() { flushLine(); }

void waitForPonderEnd() {
    static char line[LineBufferSize];
    if (!limits.ponder || limits.stopRequested || limits.ponderhitReceived || limits.infinite)
        return;
    for (;;) {
        waitForInput();
        // With input ended no release can come; the move is reported and the idle loop ends.
        if (!takeLine(line)) return;
        if (!std::strcmp(line, "ponderhit") || !std::strcmp(line, "stop")) return;
        if (!std::strcmp(line, "quit")) endProcess(EXIT_SUCCESS);
        // Every "isready" must be answered, or the interface hangs waiting for it.
        if (!std::strcmp(line, "isready")) sendText("readyok\n");
    }
}

} // namespace zekora
