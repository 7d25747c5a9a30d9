// SPDX-License-Identifier: GPL-3.0-or-later
// A real engine program driven over pipes, the way a chess GUI drives it: lines go to its
// standard input, lines come back from its standard output with a timeout, and everything it
// writes to standard error is kept so that tests can check it stayed silent there. Windows
// programs (.exe) run under Wine; their lines may end in "\r\n", read as "\n". The web
// programs (.js) run under Node.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

#include <gtest/gtest.h>

namespace zekora::test {

using Millis = std::chrono::milliseconds;

// Generous: under the sanitizers and a loaded machine replies can take a while.
constexpr Millis DefaultTimeout{20000};

// Names of the programs this build produced (zekora64-popcnt, zekora64, ...).
std::vector<std::string> builtPrograms();
// Full path of a built program.
std::string programPath(const std::string& name);
// The Windows programs (full paths of .exe files) tested under Wine: none where they were not
// built, where Wine is missing, or where this machine cannot run them (32-bit Wine on a
// kernel without 32-bit support).
std::vector<std::string> windowsPrograms();
// The web programs (full paths of .js files) tested under Node: none where they were not built.
std::vector<std::string> webPrograms();
// A Windows program as a Windows interface starts it: "PATH" followed by one of these runs
// the tests' launcher under Wine (tests/support/windows/gui_launcher.cpp), which starts the
// program with Windows' own pipes and relays. Without it, Wine hands the program the pipes of
// this system, which the program then reads through a relay thread of its own.
constexpr const char* ThroughAnonymousPipes = " through anonymous pipes";
constexpr const char* ThroughNamedPipes = " through named pipes";
// The programs of the end-to-end checks: zekora64-popcnt, the Windows programs, and the web
// programs; zekora64-popcnt.exe also through both kinds of Windows pipes unless left out.
std::vector<std::string> sessionPrograms(bool throughWindowsPipes = true);
// The ARM programs (full paths), run under qemu: none where they were not built. They take the
// session checks and the checks of every program, not the whole suite.
std::vector<std::string> armPrograms();
// Every program, Linux, Windows, ARM and web, for checks that they all behave alike.
std::vector<std::string> allPrograms();
// The file name of a program given by name or by path.
std::string programName(const std::string& program);
// A test name suffix for a program parameter: its file name, "_" for other than letters and
// digits.
std::string programTestName(const ::testing::TestParamInfo<std::string>& info);

// How the program ended: by exiting with a status, or by a signal.
struct ExitStatus {
    bool exited = false;
    int code = 0;   // the exit status when exited
    int signal = 0; // the signal that ended it otherwise
    bool cleanExit() const { return exited && code == 0; }
};

// How commands reach the program: through a pipe, as from an interface, or typed on a
// terminal (a console window on Windows; Wine makes one of a terminal).
enum class Input { Pipe, Terminal };

// How the program is started: directly, under Wine, or by the launcher under Wine.
enum class Launch { Direct, Wine, WindowsAnonymousPipes, WindowsNamedPipes };

class UciSession {
  public:
    // Starts a built program by name (see builtPrograms), or any program by absolute path.
    explicit UciSession(const std::string& program = "zekora64-popcnt", Input input = Input::Pipe);
    // Kills the program if it is still running.
    ~UciSession();
    UciSession(const UciSession&) = delete;
    UciSession& operator=(const UciSession&) = delete;

    bool started() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }
    const std::string& program() const { return program_; }
    // True when the program runs under an emulator (32-bit programs on a kernel that cannot
    // run them itself); it is then several times slower.
    bool emulated() const { return emulated_; }
    // True for a Windows program, run under Wine.
    bool windows() const { return launch_ != Launch::Direct; }
    Launch launch() const { return launch_; }

    // Writes the line and its newline (on a terminal: the line and the Enter key).
    void send(const std::string& line);
    // Writes exactly these bytes (partial lines, several lines at once, "\r\n" endings).
    void sendRaw(const std::string& bytes);
    // Closes the program's standard input, as a GUI that goes away does.
    void closeInput();
    // Acts out an interface that has gone (crashed, killed, or given up): both of its pipe
    // ends close at once. Returns how the program ended, or nullopt when it still ran after
    // the timeout (it is then killed).
    std::optional<ExitStatus> interfaceGone(Millis timeout);
    // Kills the program, as from a task manager.
    void killProgram();

    // The next line of standard output without its newline; nullopt when none arrives in
    // time or output has ended.
    std::optional<std::string> readLine(Millis timeout = DefaultTimeout);
    // Reads lines until one begins with prefix and returns it; the lines passed over are in
    // the transcript. nullopt when none arrives in time.
    std::optional<std::string> readUntil(const std::string& prefix,
                                         Millis timeout = DefaultTimeout);
    // Up to count lines; fewer when the timeout runs out first.
    std::vector<std::string> readLines(size_t count, Millis timeout = DefaultTimeout);
    // Succeeds when the next line is exactly expected.
    ::testing::AssertionResult expectLine(const std::string& expected,
                                          Millis timeout = DefaultTimeout);
    // Sends "isready" and returns every line printed before "readyok": a way to check that
    // earlier commands printed exactly what they should, and nothing more. nullopt when
    // "readyok" never comes.
    std::optional<std::vector<std::string>> sync(Millis timeout = DefaultTimeout);
    // True when no output at all arrives during the period.
    bool silentFor(Millis period);

    // Waits for the program to end; nullopt when it is still running after the timeout.
    std::optional<ExitStatus> waitExit(Millis timeout = DefaultTimeout);
    // Everything the program wrote to standard error so far.
    const std::string& errorOutput();
    // Every line of standard output read so far, in order.
    const std::vector<std::string>& transcript() const { return transcript_; }
    // Processor time (user + system) the program has used so far, in seconds (the engine's
    // own, when the launcher started it).
    double cpuSeconds() const;

  private:
    // Starts arguments[0] with the given pipe ends as its standard streams and this
    // environment; 0 or an errno.
    int spawn(std::vector<std::string> arguments, int input, int output, int errors,
              char* const* environment);
    // Waits up to the deadline for output on either pipe and takes what is there; false
    // when nothing came or both pipes have ended.
    bool pump(std::chrono::steady_clock::time_point deadline);
    std::optional<std::string> takeBufferedLine();
    void drainErrors();

    std::string program_;
    pid_t pid_ = -1;
    bool emulated_ = false;
    Launch launch_ = Launch::Direct;
    // Set in the launcher's environment, which the program inherits: finds its process.
    std::string launchMark_;
    mutable pid_t enginePid_ = -1;
    bool terminal_ = false;
    bool drainTerminal_ = false;
    int toProgram_ = -1;
    int fromProgram_ = -1;
    int errorsFromProgram_ = -1;
    std::string outputBuffer_;
    std::string errors_;
    std::vector<std::string> transcript_;
    std::optional<ExitStatus> exitStatus_;
};

// Sends "quit": the program must end at once, with status 0 and nothing on standard error.
inline void expectQuitsCleanly(UciSession& session) {
    session.send("quit");
    const auto status = session.waitExit();
    ASSERT_TRUE(status) << "still running after quit";
    EXPECT_TRUE(status->cleanExit());
    EXPECT_EQ(session.errorOutput(), "");
}

} // namespace zekora::test
