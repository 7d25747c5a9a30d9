// SPDX-License-Identifier: GPL-3.0-or-later
// A Windows chess interface in miniature, for the end-to-end tests under Wine: it starts an
// engine with Windows' own pipes, as the interfaces do, and relays between its own standard
// streams and the engine's.
//
//   gui-launcher anonymous|named ENGINE
//
// "anonymous": two CreatePipe pairs, as Arena and ChessBase make them. "named": a pair of
// named pipes whose interface ends are overlapped servers and whose engine ends are opened by
// name, as Qt's QProcess (Cute Chess) makes them. The engine writes its standard error
// straight into the launcher's.
//
// The launcher's standard input is framed, so that any bytes can reach the engine and no
// command to the launcher can be taken for them:
//   "D <n>\n" and n bytes   the bytes go to the engine
//   "G <ms>\n"              the interface goes: both of its pipe ends are closed, and after the
//                           engine has ended, or ms have passed, one line says which:
//                           "gui-launcher: ended <ms> <exit code>" or "gui-launcher: running";
//                           a running engine is then killed, and the launcher ends
//   "K\n"                   the engine is killed, as from the task manager
// The end of the launcher's input closes the engine's input. When the engine's output ends,
// the launcher ends with the engine's exit status.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr DWORD PipeSize = 1 << 20;
constexpr UINT KilledStatus = 9;

HANDLE engine = nullptr;
HANDLE toEngine = INVALID_HANDLE_VALUE;
HANDLE fromEngine = INVALID_HANDLE_VALUE;
HANDLE outputRelay = nullptr;
volatile LONG relayStopping = 0;

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "gui-launcher: %s failed (error %lu)\n", what, GetLastError());
    ExitProcess(127);
}

void writeAll(HANDLE handle, const char* bytes, DWORD size) {
    OVERLAPPED overlapped{};
    overlapped.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    for (DWORD done = 0; done < size;) {
        DWORD count = 0;
        // The interface's own ends may be overlapped (named pipes): wait for each write.
        if (!WriteFile(handle, bytes + done, size - done, &count, &overlapped) &&
            (GetLastError() != ERROR_IO_PENDING ||
             !GetOverlappedResult(handle, &overlapped, &count, TRUE)))
            break;
        done += count;
    }
    CloseHandle(overlapped.hEvent);
}

void report(const std::string& line) {
    writeAll(GetStdHandle(STD_OUTPUT_HANDLE), line.data(), DWORD(line.size()));
}

// Copies the engine's output to the launcher's. It never blocks in a read, so that the
// interface's ends can be closed at any moment (a pending read would keep its end open): it
// asks how much is waiting and sleeps a little when nothing is.
DWORD WINAPI relayOutput(void*) {
    static char buffer[1 << 16];
    OVERLAPPED overlapped{};
    overlapped.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    DWORD idle = 0;
    while (!relayStopping) {
        DWORD waiting = 0;
        if (!PeekNamedPipe(fromEngine, nullptr, 0, nullptr, &waiting, nullptr)) break;
        if (waiting == 0) {
            Sleep(idle < 100 ? 1 : 10);
            ++idle;
            continue;
        }
        idle = 0;
        DWORD count = 0;
        if (!ReadFile(fromEngine, buffer, waiting < sizeof buffer ? waiting : sizeof buffer, &count,
                      &overlapped) &&
            (GetLastError() != ERROR_IO_PENDING ||
             !GetOverlappedResult(fromEngine, &overlapped, &count, TRUE)))
            break;
        writeAll(GetStdHandle(STD_OUTPUT_HANDLE), buffer, count);
    }
    if (relayStopping) return 0;
    // The engine's output has ended: so has the engine, or it soon will.
    WaitForSingleObject(engine, INFINITE);
    DWORD status = 0;
    GetExitCodeProcess(engine, &status);
    ExitProcess(status);
}

void makeAnonymousPipes(HANDLE& engineInput, HANDLE& engineOutput) {
    SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
    if (!CreatePipe(&engineInput, &toEngine, &inherited, 0) ||
        !CreatePipe(&fromEngine, &engineOutput, &inherited, 0))
        fail("CreatePipe");
}

// One named pipe as QProcess makes it: an overlapped server end for the interface, connected
// to a client end that the engine inherits.
void makeNamedPipe(bool toChild, HANDLE& server, HANDLE& client) {
    static int number = 0;
    char name[96];
    std::snprintf(name, sizeof name, "\\\\.\\pipe\\zekora-gui-launcher-%lu-%d",
                  GetCurrentProcessId(), number++);
    server = CreateNamedPipeA(
        name, FILE_FLAG_OVERLAPPED | (toChild ? PIPE_ACCESS_OUTBOUND : PIPE_ACCESS_INBOUND),
        PIPE_TYPE_BYTE | PIPE_WAIT, 1, toChild ? PipeSize : 0, toChild ? 0 : PipeSize, 0, nullptr);
    if (server == INVALID_HANDLE_VALUE) fail("CreateNamedPipe");
    SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
    client = CreateFileA(name, toChild ? GENERIC_READ | FILE_WRITE_ATTRIBUTES : GENERIC_WRITE, 0,
                         &inherited, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (client == INVALID_HANDLE_VALUE) fail("CreateFile on the named pipe");
    OVERLAPPED overlapped{};
    overlapped.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!ConnectNamedPipe(server, &overlapped)) {
        DWORD error = GetLastError(), count = 0;
        if (error == ERROR_IO_PENDING)
            GetOverlappedResult(server, &overlapped, &count, TRUE);
        else if (error != ERROR_PIPE_CONNECTED)
            fail("ConnectNamedPipe");
    }
    CloseHandle(overlapped.hEvent);
}

void startEngine(bool named, const char* program) {
    HANDLE engineInput, engineOutput;
    if (named) {
        makeNamedPipe(true, toEngine, engineInput);
        makeNamedPipe(false, fromEngine, engineOutput);
    } else {
        makeAnonymousPipes(engineInput, engineOutput);
    }
    // Only the engine's ends are inherited: with a copy of ours it would never see them close.
    SetHandleInformation(toEngine, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(fromEngine, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = engineInput;
    startup.hStdOutput = engineOutput;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    std::string commandLine = std::string("\"") + program + "\"";
    PROCESS_INFORMATION started{};
    if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                        nullptr, nullptr, &startup, &started))
        fail("CreateProcess");
    CloseHandle(started.hThread);
    engine = started.hProcess;
    CloseHandle(engineInput);
    CloseHandle(engineOutput);
}

// The launcher's own input, a byte at a time from a buffer.
class InputReader {
  public:
    // -1 at the end of input.
    int next() {
        if (position_ == size_) {
            DWORD count = 0;
            if (!ReadFile(GetStdHandle(STD_INPUT_HANDLE), buffer_, sizeof buffer_, &count,
                          nullptr) ||
                count == 0)
                return -1;
            position_ = 0;
            size_ = count;
        }
        return static_cast<unsigned char>(buffer_[position_++]);
    }
    bool line(std::string& text) {
        text.clear();
        for (int c; (c = next()) >= 0;) {
            if (c == '\n') return true;
            text += char(c);
        }
        return false;
    }

  private:
    char buffer_[1 << 16];
    DWORD position_ = 0, size_ = 0;
};

void interfaceGoes(DWORD patienceMs) {
    InterlockedExchange(&relayStopping, 1);
    WaitForSingleObject(outputRelay, INFINITE);
    CloseHandle(toEngine);
    CloseHandle(fromEngine);
    const ULONGLONG start = GetTickCount64();
    const bool ended = WaitForSingleObject(engine, patienceMs) == WAIT_OBJECT_0;
    const ULONGLONG elapsed = GetTickCount64() - start;
    DWORD status = 0;
    GetExitCodeProcess(engine, &status);
    report(ended ? "gui-launcher: ended " + std::to_string(elapsed) + " " + std::to_string(status) +
                       "\n"
                 : std::string("gui-launcher: running\n"));
    if (!ended) TerminateProcess(engine, KilledStatus);
    ExitProcess(0);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3 || (std::strcmp(argv[1], "anonymous") && std::strcmp(argv[1], "named"))) {
        std::fprintf(stderr, "usage: gui-launcher anonymous|named ENGINE\n");
        return 2;
    }
    startEngine(std::strcmp(argv[1], "named") == 0, argv[2]);
    outputRelay = CreateThread(nullptr, 0, relayOutput, nullptr, 0, nullptr);
    if (!outputRelay) fail("CreateThread");

    InputReader input;
    std::string header;
    std::string bytes;
    while (input.line(header)) {
        if (header.rfind("D ", 0) == 0) {
            bytes.clear();
            for (long n = std::atol(header.c_str() + 2); n > 0; --n) {
                const int c = input.next();
                if (c < 0) break;
                bytes += char(c);
            }
            writeAll(toEngine, bytes.data(), DWORD(bytes.size()));
        } else if (header.rfind("G ", 0) == 0) {
            interfaceGoes(DWORD(std::atol(header.c_str() + 2)));
        } else if (header == "K") {
            TerminateProcess(engine, KilledStatus);
        }
    }
    // Input has ended: so does the engine's; the relay ends the launcher with the engine.
    CloseHandle(toEngine);
    WaitForSingleObject(outputRelay, INFINITE);
    return 0;
}
