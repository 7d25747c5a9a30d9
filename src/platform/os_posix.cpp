// SPDX-License-Identifier: GPL-3.0-or-later
// The operating system interface on Linux and other POSIX systems.
#include "platform/os.h"

#include <cerrno>
#include <csignal>
#include <ctime>
#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>

namespace zekora::os {

namespace {

constexpr int InputDescriptor = 0;
constexpr int OutputDescriptor = 1;

} // namespace

bool openStandardInput() {
    // A write to a pipe nobody reads then fails like any other, and the engine ends the same
    // way on every platform, instead of being killed by the signal.
    std::signal(SIGPIPE, SIG_IGN);
    return isatty(InputDescriptor) != 0;
}

long readInput(char* buffer, size_t size, bool wait) {
    pollfd request{InputDescriptor, POLLIN, 0};
    int ready = poll(&request, 1, wait ? -1 : 0);
    if (ready == 0 || (ready < 0 && errno == EINTR)) return NothingWaiting;
    // A failed poll falls through to the read, which then meets the input or its end.
    ssize_t count = read(InputDescriptor, buffer, size);
    if (count > 0) return long(count);
    if (count < 0 && (errno == EINTR || errno == EAGAIN)) return NothingWaiting;
    return EndOfInput;
}

bool outputHasReader() {
    pollfd request{OutputDescriptor, 0, 0};
    // A pipe without a reader reports an error on its write end; terminals and files never do.
    return poll(&request, 1, 0) <= 0 || !(request.revents & (POLLERR | POLLHUP));
}

int64_t tickMilliseconds() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

void* reserveZeroed(size_t bytes) {
    // Anonymous memory is zero-filled and committed only as it is used.
    void* block = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return block == MAP_FAILED ? nullptr : block;
}

void release(void* block, size_t bytes) { munmap(block, bytes); }

void offerHugePages([[maybe_unused]] void* start, [[maybe_unused]] size_t bytes) {
#ifdef MADV_HUGEPAGE
    madvise(start, bytes, MADV_HUGEPAGE);
#endif
}

} // namespace zekora::os
