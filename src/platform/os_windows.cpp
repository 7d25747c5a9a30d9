// SPDX-License-Identifier: GPL-3.0-or-later
// The operating system interface on Windows.
#include "platform/os.h"

#include <vector>
#include <windows.h>

namespace zekora::os {

namespace {

HANDLE input = INVALID_HANDLE_VALUE;
bool inputIsConsole = false;
// A file (or a device such as NUL): reading it never waits, so every poll may read.
bool inputNeverWaits = false;

// Write end of the pipe the relay fills; see startRelay.
HANDLE relayTarget = INVALID_HANDLE_VALUE;

DWORD WINAPI relayInput(void* source) {
    char buffer[4096];
    DWORD count = 0;
    while (ReadFile(source, buffer, sizeof buffer, &count, nullptr) && count > 0) {
        for (DWORD done = 0; done < count;) {
            DWORD written = 0;
            if (!WriteFile(relayTarget, buffer + done, count - done, &written, nullptr)) return 0;
            done += written;
        }
    }
    // The engine's reads now meet the end of input once the pipe is empty.
    CloseHandle(relayTarget);
    return 0;
}

// A pipe whose waiting bytes cannot be counted: what Wine hands a program whose standard input
// is a pipe of the host system. Every pipe a Windows interface creates can be counted. A second
// thread, which does nothing but copy, moves the bytes into a pipe of Windows' own, which the
// engine's thread then reads and counts as usual.
void startRelay() {
    HANDLE readEnd, writeEnd;
    if (!CreatePipe(&readEnd, &writeEnd, nullptr, 1 << 16)) return;
    relayTarget = writeEnd;
    HANDLE thread = CreateThread(nullptr, 1 << 16, relayInput, input, 0, nullptr);
    if (!thread) {
        CloseHandle(readEnd);
        CloseHandle(writeEnd);
        return;
    }
    CloseHandle(thread);
    input = readEnd;
}

// Bytes waiting on a pipe; false when the pipe cannot say (ended, or not countable).
bool pipeBytesWaiting(DWORD& count) {
    count = 0;
    return PeekNamedPipe(input, nullptr, 0, nullptr, &count, nullptr) != 0;
}

// True when the console holds a typed line: a pressed Enter among its waiting events. Reading
// then returns that line at once; before it, reading would wait for the rest of the line.
bool consoleLineWaiting() {
    DWORD events = 0;
    // A console that cannot be asked has gone: the read meets the end of input.
    if (!GetNumberOfConsoleInputEvents(input, &events)) return true;
    if (events == 0) return false;
    static std::vector<INPUT_RECORD> records;
    if (records.size() < events) records.resize(events);
    DWORD seen = 0;
    if (!PeekConsoleInputA(input, records.data(), events, &seen)) return true;
    for (DWORD i = 0; i < seen; ++i) {
        const INPUT_RECORD& record = records[i];
        if (record.EventType == KEY_EVENT && record.Event.KeyEvent.bKeyDown &&
            record.Event.KeyEvent.uChar.AsciiChar == '\r')
            return true;
    }
    return false;
}

// What the native interface says about a pipe end: winternl.h does not have all of it.
struct IoStatus {
    void* status;
    ULONG_PTR information;
};
struct PipeLocalInformation {
    ULONG namedPipeType, namedPipeConfiguration, maximumInstances, currentInstances;
    ULONG inboundQuota, readDataAvailable, outboundQuota, writeQuotaAvailable;
    ULONG namedPipeState, namedPipeEnd;
};
constexpr ULONG FilePipeLocalInformation = 24;
constexpr ULONG PipeConnectedState = 3;
using QueryFile = LONG(WINAPI*)(HANDLE, IoStatus*, void*, ULONG, ULONG);

} // namespace

bool openStandardInput() {
    input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    inputIsConsole = GetConsoleMode(input, &mode) != 0;
    if (inputIsConsole) {
        // Mouse and window events are of no use to a line reader. What was typed before the
        // engine was ready is kept: those are commands too.
        SetConsoleMode(input, mode & ~DWORD(ENABLE_MOUSE_INPUT | ENABLE_WINDOW_INPUT));
    } else if (GetFileType(input) == FILE_TYPE_PIPE) {
        DWORD count;
        if (!pipeBytesWaiting(count) && GetLastError() != ERROR_BROKEN_PIPE) startRelay();
    } else {
        inputNeverWaits = true;
    }
    return inputIsConsole;
}

long readInput(char* buffer, size_t size, bool wait) {
    DWORD wanted = DWORD(size);
    if (!wait && inputIsConsole && !consoleLineWaiting()) return NothingWaiting;
    if (!wait && !inputIsConsole && !inputNeverWaits) {
        DWORD waiting;
        // A failed count means the writer has gone: the read below meets the end.
        if (pipeBytesWaiting(waiting)) {
            if (waiting == 0) return NothingWaiting;
            if (waiting < wanted) wanted = waiting;
        }
    }
    DWORD count = 0;
    // No bytes from a successful read: the end of a file, or Ctrl+Z typed on a console.
    if (!ReadFile(input, buffer, wanted, &count, nullptr) || count == 0) return EndOfInput;
    return long(count);
}

bool outputHasReader() {
    static const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    static const bool outputIsPipe = GetFileType(output) == FILE_TYPE_PIPE;
    if (!outputIsPipe) return true;
    // The state of this end of the pipe, where the handle may be asked (Windows' own pipes,
    // anonymous or named, need read-attributes access for it): the reader's closing shows.
    static const auto queryFile = reinterpret_cast<QueryFile>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryInformationFile")));
    if (queryFile) {
        PipeLocalInformation state{};
        IoStatus status{};
        if (queryFile(output, &status, &state, sizeof state, FilePipeLocalInformation) >= 0)
            return state.namedPipeState == PipeConnectedState;
    }
    // Otherwise an empty write, which sends nothing but fails on a pipe without its reader.
    // (Wine's pipes of the host system answer neither; there only a real write notices.)
    DWORD written = 0;
    if (WriteFile(output, "", 0, &written, nullptr)) return true;
    const DWORD error = GetLastError();
    return error != ERROR_NO_DATA && error != ERROR_BROKEN_PIPE &&
           error != ERROR_PIPE_NOT_CONNECTED;
}

int64_t tickMilliseconds() {
    static const int64_t frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return int64_t(f.QuadPart);
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    const int64_t ticks = now.QuadPart;
    return ticks / frequency * 1000 + ticks % frequency * 1000 / frequency;
}

void* reserveZeroed(size_t bytes) {
    // Committed memory is zero-filled, and gets physical pages only as it is touched.
    return VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
}

void release(void* block, size_t) { VirtualFree(block, 0, MEM_RELEASE); }

// Large pages need a privilege that ordinary users lack; the table does without them.
void offerHugePages(void*, size_t) {}

} // namespace zekora::os
