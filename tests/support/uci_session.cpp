// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/uci_session.h"

#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace zekora::test {

namespace {

using Clock = std::chrono::steady_clock;

int millisUntil(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<Millis>(deadline - Clock::now()).count();
    return left < 0 ? 0 : int(left);
}

void closeDescriptor(int& fd) {
    if (fd >= 0) close(fd);
    fd = -1;
}

// Reads what is waiting on fd into text; closes fd at the end of its stream.
// True when anything happened (data or end).
bool takeAvailable(int& fd, std::string& text) {
    char buffer[4096];
    ssize_t count = read(fd, buffer, sizeof buffer);
    if (count > 0) {
        text.append(buffer, size_t(count));
        return true;
    }
    if (count < 0 && (errno == EINTR || errno == EAGAIN)) return false;
    closeDescriptor(fd);
    return true;
}

ExitStatus decode(int status) {
    ExitStatus result;
    if (WIFEXITED(status)) {
        result.exited = true;
        result.code = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.signal = WTERMSIG(status);
    }
    return result;
}

// qemu's user-mode emulator and the processor it emulates for a Linux program of another
// processor, or a 32-bit x86 one on a kernel without 32-bit support, when one is installed.
// The ARM processors are the oldest each program is for: the Raspberry Pi 2's and 3's.
std::optional<std::vector<std::string>> emulatorFor(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    unsigned char header[20] = {};
    file.read(reinterpret_cast<char*>(header), sizeof header);
    if (!file || std::memcmp(header,
                             "\x7f"
                             "ELF",
                             4) != 0)
        return std::nullopt;
    std::vector<std::string> emulator;
    switch (header[18] | header[19] << 8) { // the ELF machine
    case 3: emulator = {"qemu-i386", "-cpu", "max"}; break;
    case 40: emulator = {"qemu-arm", "-cpu", "cortex-a7"}; break;
    case 183: emulator = {"qemu-aarch64", "-cpu", "cortex-a53"}; break;
    default: return std::nullopt;
    }
    const char* searchPath = std::getenv("PATH");
    std::istringstream directories(searchPath ? searchPath : "/usr/bin:/bin");
    for (std::string directory; std::getline(directories, directory, ':');)
        for (const std::string& name : {emulator[0], emulator[0] + "-static"})
            if (access((directory + "/" + name).c_str(), X_OK) == 0) {
                emulator[0] = directory + "/" + name;
                return emulator;
            }
    return std::nullopt;
}

bool endsWith(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// Takes the suffix off text when it is there.
bool stripSuffix(std::string& text, const std::string& suffix) {
    if (!endsWith(text, suffix)) return false;
    text.erase(text.size() - suffix.size());
    return true;
}

// What Windows programs under Wine call a file of this system (Wine's drive Z: is its root).
std::string windowsPath(std::string path) {
    for (char& c : path)
        if (c == '/') c = '\\';
    return "Z:" + path;
}

// A process other than `except` whose environment holds this entry, or -1.
pid_t processWithEnvironmentEntry(const std::string& entry, pid_t except) {
    DIR* processes = opendir("/proc");
    if (!processes) return -1;
    pid_t found = -1;
    while (dirent* process = readdir(processes)) {
        const pid_t pid = pid_t(std::atoi(process->d_name));
        if (pid <= 0 || pid == except) continue;
        std::ifstream file("/proc/" + std::to_string(pid) + "/environ", std::ios::binary);
        for (std::string variable; found < 0 && std::getline(file, variable, '\0');)
            if (variable == entry) found = pid;
        if (found >= 0) break;
    }
    closedir(processes);
    return found;
}

// The environment of a Windows program: this process's, with Wine set up the way the build
// prepared it (its own prefix, made at configure time), without its diagnostics on standard
// error, and without a display, so that nothing can open a window.
std::vector<std::string> wineEnvironment() {
    std::vector<std::string> result;
    for (char** variable = environ; *variable; ++variable) {
        const std::string entry = *variable;
        const std::string name = entry.substr(0, entry.find('='));
        if (name != "WINEPREFIX" && name != "WINEDEBUG" && name != "WINEDLLOVERRIDES" &&
            name != "WINEDLLPATH" && name != "DISPLAY" && name != "WAYLAND_DISPLAY")
            result.push_back(entry);
    }
    result.push_back(std::string("WINEPREFIX=") + ZEKORA_WINE_PREFIX);
    result.push_back("WINEDEBUG=-all");
    result.push_back("WINEDLLOVERRIDES=mscoree,mshtml=");
    // The 32-bit Windows DLLs the build fetched, where it did.
    if (*ZEKORA_WINE_DLL_PATH) result.push_back(std::string("WINEDLLPATH=") + ZEKORA_WINE_DLL_PATH);
    return result;
}

} // namespace

namespace {

// The build hands lists of paths over as one text, separated by "|".
std::vector<std::string> splitPaths(const char* text) {
    std::istringstream list(text);
    std::vector<std::string> paths;
    for (std::string path; std::getline(list, path, '|');)
        if (!path.empty()) paths.push_back(path);
    return paths;
}

} // namespace

std::vector<std::string> windowsPrograms() { return splitPaths(ZEKORA_WINDOWS_PROGRAM_LIST); }

std::vector<std::string> webPrograms() { return splitPaths(ZEKORA_WEB_PROGRAM_LIST); }

std::vector<std::string> sessionPrograms(bool throughWindowsPipes) {
    std::vector<std::string> programs = {"zekora64-popcnt"};
    for (const std::string& path : windowsPrograms()) {
        programs.push_back(path);
        if (throughWindowsPipes && *ZEKORA_GUI_LAUNCHER &&
            programName(path) == "zekora64-popcnt.exe")
            for (const char* pipes : {ThroughAnonymousPipes, ThroughNamedPipes})
                programs.push_back(path + pipes);
    }
    for (const std::string& path : webPrograms()) programs.push_back(path);
    return programs;
}

std::vector<std::string> armPrograms() { return splitPaths(ZEKORA_ARM_PROGRAM_LIST); }

std::vector<std::string> allPrograms() {
    std::vector<std::string> programs = builtPrograms();
    for (const std::string& path : windowsPrograms()) programs.push_back(path);
    for (const std::string& path : armPrograms()) programs.push_back(path);
    for (const std::string& path : webPrograms()) programs.push_back(path);
    return programs;
}

std::string programName(const std::string& program) {
    return program.substr(program.rfind('/') + 1);
}

std::string programTestName(const ::testing::TestParamInfo<std::string>& info) {
    std::string name = programName(info.param);
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return name;
}

std::vector<std::string> builtPrograms() {
    std::istringstream list(ZEKORA_PROGRAM_LIST);
    std::vector<std::string> names;
    for (std::string name; list >> name;) names.push_back(name);
    return names;
}

std::string programPath(const std::string& name) {
    return std::string(ZEKORA_BIN_DIR) + "/" + name;
}

int UciSession::spawn(std::vector<std::string> arguments, int input, int output, int errors,
                      char* const* environment) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input, 0);
    posix_spawn_file_actions_adddup2(&actions, output, 1);
    posix_spawn_file_actions_adddup2(&actions, errors, 2);
    // The program gets the usual SIGPIPE behaviour back, whatever the test process ignores.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);

    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    int failure = posix_spawn(&pid_, argv[0], &actions, &attributes, argv.data(), environment);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    return failure;
}

// A pseudo-terminal for the program's standard input: the program gets the terminal end, the
// test types into the other. No echo: nobody reads it back.
bool openTerminal(int ends[2]) {
    int typing = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (typing < 0 || grantpt(typing) || unlockpt(typing)) return false;
    int terminal = open(ptsname(typing), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (terminal < 0) return false;
    termios mode;
    tcgetattr(terminal, &mode);
    mode.c_lflag &= ~tcflag_t(ECHO | ECHONL);
    tcsetattr(terminal, TCSANOW, &mode);
    ends[0] = terminal;
    ends[1] = typing;
    return true;
}

UciSession::UciSession(const std::string& program, Input inputKind)
    : program_(program), terminal_(inputKind == Input::Terminal), drainTerminal_(terminal_) {
    // A program that has ended must fail the test, not kill the test process with SIGPIPE.
    std::signal(SIGPIPE, SIG_IGN);
    std::string path = program.find('/') == std::string::npos ? programPath(program) : program;

    // Close-on-exec everywhere, so that no program inherits another session's pipe ends
    // (which would keep that session's input from ever reaching its end).
    int input[2], output[2], errors[2];
    if ((terminal_ ? !openTerminal(input) : pipe2(input, O_CLOEXEC) != 0) ||
        pipe2(output, O_CLOEXEC) || pipe2(errors, O_CLOEXEC)) {
        ADD_FAILURE() << "cannot create pipes: " << std::strerror(errno);
        return;
    }
    int failure = 0;
    if (stripSuffix(path, ThroughAnonymousPipes))
        launch_ = Launch::WindowsAnonymousPipes;
    else if (stripSuffix(path, ThroughNamedPipes))
        launch_ = Launch::WindowsNamedPipes;
    else if (endsWith(path, ".exe"))
        launch_ = Launch::Wine;
    if (launch_ != Launch::Direct) {
        std::vector<std::string> variables = wineEnvironment();
        std::vector<std::string> command = {ZEKORA_WINE, path};
        if (launch_ != Launch::Wine) {
            static int launched = 0;
            launchMark_ =
                "ZEKORA_LAUNCH_MARK=" + std::to_string(getpid()) + "-" + std::to_string(++launched);
            variables.push_back(launchMark_);
            command = {ZEKORA_WINE, ZEKORA_GUI_LAUNCHER,
                       launch_ == Launch::WindowsNamedPipes ? "named" : "anonymous",
                       windowsPath(path)};
        }
        std::vector<char*> environment;
        for (std::string& variable : variables) environment.push_back(variable.data());
        environment.push_back(nullptr);
        failure = *ZEKORA_WINE ? spawn(command, input[0], output[1], errors[1], environment.data())
                               : ENOENT;
    } else if (endsWith(path, ".js")) {
        failure = spawn({ZEKORA_NODE, path}, input[0], output[1], errors[1], environ);
    } else {
        failure = spawn({path}, input[0], output[1], errors[1], environ);
    }
    if (failure == ENOEXEC) {
        // A program this kernel does not run; qemu's user-mode emulator can.
        if (auto emulator = emulatorFor(path)) {
            emulator->push_back(path);
            failure = spawn(*emulator, input[0], output[1], errors[1], environ);
            emulated_ = true;
        }
    }
    close(input[0]);
    close(output[1]);
    close(errors[1]);
    toProgram_ = input[1];
    fromProgram_ = output[0];
    errorsFromProgram_ = errors[0];
    if (failure) {
        pid_ = -1;
        ADD_FAILURE() << "cannot start " << path << ": " << std::strerror(failure)
                      << (failure == ENOEXEC ? " (to run programs of another processor, or "
                                               "32-bit ones on a kernel without 32-bit support, "
                                               "install qemu-user)"
                                             : "");
    }
}

UciSession::~UciSession() {
    if (pid_ > 0 && !exitStatus_) {
        kill(pid_, SIGKILL);
        int status;
        waitpid(pid_, &status, 0);
    }
    closeDescriptor(toProgram_);
    closeDescriptor(fromProgram_);
    closeDescriptor(errorsFromProgram_);
}

void UciSession::send(const std::string& line) { sendRaw(line + (terminal_ ? "\r" : "\n")); }

void UciSession::sendRaw(const std::string& bytes) {
    // The launcher takes the program's bytes in frames, so its own commands stand apart.
    const bool framed =
        launch_ == Launch::WindowsAnonymousPipes || launch_ == Launch::WindowsNamedPipes;
    const std::string data = framed ? "D " + std::to_string(bytes.size()) + "\n" + bytes : bytes;
    size_t written = 0;
    while (toProgram_ >= 0 && written < data.size()) {
        ssize_t count = write(toProgram_, data.data() + written, data.size() - written);
        if (count < 0 && errno == EINTR) continue;
        if (count < 0) return; // the program has gone; the test notices by its missing answers
        written += size_t(count);
    }
}

void UciSession::closeInput() { closeDescriptor(toProgram_); }

std::optional<ExitStatus> UciSession::interfaceGone(Millis timeout) {
    if (launch_ == Launch::Direct || launch_ == Launch::Wine) {
        closeDescriptor(toProgram_);
        closeDescriptor(fromProgram_);
        outputBuffer_.clear();
        return waitExit(timeout);
    }
    // The launcher closes its ends, and says how the program ended.
    const std::string command = "G " + std::to_string(timeout.count()) + "\n";
    if (write(toProgram_, command.data(), command.size()) != ssize_t(command.size()))
        return std::nullopt;
    const auto verdict = readUntil("gui-launcher: ", timeout + DefaultTimeout);
    waitExit();
    unsigned long elapsed = 0;
    int code = 0;
    if (!verdict ||
        std::sscanf(verdict->c_str(), "gui-launcher: ended %lu %d", &elapsed, &code) != 2)
        return std::nullopt;
    ExitStatus status;
    status.exited = true;
    status.code = code;
    return status;
}

void UciSession::killProgram() {
    if (launch_ == Launch::Direct || launch_ == Launch::Wine) {
        if (pid_ > 0 && !exitStatus_) kill(pid_, SIGKILL);
        return;
    }
    const std::string command = "K\n";
    if (write(toProgram_, command.data(), command.size()) < 0) return;
}

bool UciSession::pump(Clock::time_point deadline) {
    pollfd requests[3];
    int count = 0;
    if (fromProgram_ >= 0) requests[count++] = {fromProgram_, POLLIN, 0};
    if (errorsFromProgram_ >= 0) requests[count++] = {errorsFromProgram_, POLLIN, 0};
    // What Wine's console draws on the terminal is of no interest, but must not fill it up.
    if (drainTerminal_ && toProgram_ >= 0) requests[count++] = {toProgram_, POLLIN, 0};
    if (count == 0) {
        std::this_thread::sleep_until(deadline);
        return false;
    }
    int ready = poll(requests, nfds_t(count), millisUntil(deadline));
    if (ready <= 0) return false;
    bool gotOutput = false;
    for (int i = 0; i < count; ++i) {
        if (!requests[i].revents) continue;
        if (requests[i].fd == fromProgram_) {
            gotOutput = takeAvailable(fromProgram_, outputBuffer_);
        } else if (requests[i].fd == errorsFromProgram_) {
            takeAvailable(errorsFromProgram_, errors_);
        } else {
            char drawn[4096];
            if (read(toProgram_, drawn, sizeof drawn) <= 0) drainTerminal_ = false;
        }
    }
    return gotOutput;
}

std::optional<std::string> UciSession::takeBufferedLine() {
    size_t end = outputBuffer_.find('\n');
    if (end == std::string::npos) {
        // Output has ended: an unterminated rest is the last line.
        if (fromProgram_ >= 0 || outputBuffer_.empty()) return std::nullopt;
        end = outputBuffer_.size();
    }
    std::string line = outputBuffer_.substr(0, end);
    outputBuffer_.erase(0, std::min(end + 1, outputBuffer_.size()));
    // Windows' C library writes "\n" as "\r\n".
    if (windows() && !line.empty() && line.back() == '\r') line.pop_back();
    transcript_.push_back(line);
    return line;
}

std::optional<std::string> UciSession::readLine(Millis timeout) {
    auto deadline = Clock::now() + timeout;
    for (;;) {
        if (auto line = takeBufferedLine()) return line;
        if (fromProgram_ < 0 || Clock::now() >= deadline) return std::nullopt;
        pump(deadline);
    }
}

std::optional<std::string> UciSession::readUntil(const std::string& prefix, Millis timeout) {
    auto deadline = Clock::now() + timeout;
    while (auto line = readLine(std::chrono::duration_cast<Millis>(deadline - Clock::now())))
        if (line->compare(0, prefix.size(), prefix) == 0) return line;
    return std::nullopt;
}

std::vector<std::string> UciSession::readLines(size_t count, Millis timeout) {
    auto deadline = Clock::now() + timeout;
    std::vector<std::string> lines;
    while (lines.size() < count) {
        auto line = readLine(std::chrono::duration_cast<Millis>(deadline - Clock::now()));
        if (!line) break;
        lines.push_back(*line);
    }
    return lines;
}

::testing::AssertionResult UciSession::expectLine(const std::string& expected, Millis timeout) {
    auto line = readLine(timeout);
    if (!line)
        return ::testing::AssertionFailure()
               << program_ << ": expected \"" << expected << "\", got no line";
    if (*line != expected)
        return ::testing::AssertionFailure()
               << program_ << ": expected \"" << expected << "\", got \"" << *line << "\"";
    return ::testing::AssertionSuccess();
}

std::optional<std::vector<std::string>> UciSession::sync(Millis timeout) {
    send("isready");
    auto deadline = Clock::now() + timeout;
    std::vector<std::string> before;
    while (auto line = readLine(std::chrono::duration_cast<Millis>(deadline - Clock::now()))) {
        if (*line == "readyok") return before;
        before.push_back(*line);
    }
    return std::nullopt;
}

bool UciSession::silentFor(Millis period) {
    auto deadline = Clock::now() + period;
    while (outputBuffer_.empty() && Clock::now() < deadline) pump(deadline);
    return outputBuffer_.empty();
}

std::optional<ExitStatus> UciSession::waitExit(Millis timeout) {
    if (exitStatus_) return exitStatus_;
    if (pid_ <= 0) return std::nullopt;
    auto deadline = Clock::now() + timeout;
    for (;;) {
        int status;
        pid_t done = waitpid(pid_, &status, WNOHANG);
        if (done == pid_) {
            exitStatus_ = decode(status);
            // Collect the rest of its output, which ends now that the program has. Standard
            // error may stay open: a wineserver that the program started keeps it; what the
            // program wrote there is waiting already.
            const auto collected = Clock::now() + Millis(5000);
            while (fromProgram_ >= 0 && Clock::now() < collected) pump(collected);
            drainErrors();
            return exitStatus_;
        }
        if (Clock::now() >= deadline) return std::nullopt;
        // Keep reading meanwhile, so that a program writing a lot never blocks on a full pipe.
        pump(std::min(deadline, Clock::now() + Millis(10)));
    }
}

void UciSession::drainErrors() {
    while (errorsFromProgram_ >= 0) {
        pollfd request{errorsFromProgram_, POLLIN, 0};
        if (poll(&request, 1, 0) <= 0) return;
        takeAvailable(errorsFromProgram_, errors_);
    }
}

const std::string& UciSession::errorOutput() {
    drainErrors();
    return errors_;
}

double UciSession::cpuSeconds() const {
    pid_t pid = pid_;
    if (!launchMark_.empty()) {
        // Wine starts the launcher's program as a process of its own, not as a child.
        if (enginePid_ <= 0) enginePid_ = processWithEnvironmentEntry(launchMark_, pid_);
        pid = enginePid_;
    }
    std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
    std::string stat((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    // The command name may hold blanks; the fields after it are plain numbers.
    size_t nameEnd = stat.rfind(')');
    if (nameEnd == std::string::npos) return -1;
    std::istringstream fields(stat.substr(nameEnd + 1));
    std::string field;
    // utime and stime are fields 14 and 15 of the line; the state (field 3) comes first here.
    constexpr int UserTimeIndex = 14 - 3;
    long long userTicks = 0, systemTicks = 0;
    for (int i = 0; fields >> field; ++i) {
        if (i == UserTimeIndex) userTicks = std::stoll(field);
        if (i == UserTimeIndex + 1) {
            systemTicks = std::stoll(field);
            break;
        }
    }
    return double(userTicks + systemTicks) / double(sysconf(_SC_CLK_TCK));
}

} // namespace zekora::test
