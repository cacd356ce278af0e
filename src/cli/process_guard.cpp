#include "cli/process_guard.hpp"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <string>

#include "cli/console.hpp"
#include "cli/exit_status.hpp"
#include "io/interruption.hpp"
#include "messages/command_help.hpp"
#include "messages/messages.hpp"

namespace kdb2mid {

namespace {

extern "C" void onStopSignal(int signal) { requestInterruption(signal); }

}  // namespace

void prepareProcess() {
#ifdef _WIN32
    std::signal(SIGINT, onStopSignal);
    std::signal(SIGTERM, onStopSignal);
#else
    std::signal(SIGXFSZ, SIG_IGN);
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    // SA_RESTART: a write in progress goes on rather than failing with EINTR.
    // SA_RESETHAND: a second Ctrl-C is not asked but obeyed.
    action.sa_flags = static_cast<int>(SA_RESTART | SA_RESETHAND);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
#endif
}

int finishProcess(int status) {
    // As coreutils' close_stdout: a stream that was closed before the program
    // started (EBADF) is no failure unless something was written to it.
    errno = 0;
    const bool earlier = std::ferror(stdout) != 0;
    const bool flushed = std::fflush(stdout) == 0;
    int error = flushed ? 0 : errno;
    const bool closed = std::fclose(stdout) == 0;
    if (!closed && flushed && !earlier && errno == EBADF) {
        // Nothing was pending and nothing failed: standard output was not open.
    } else if (earlier || !flushed || !closed) {
        if (error == 0 && !closed) error = errno;
        std::string line = help::kWriteError;
        if (error != 0) line += ": " + systemReason(error);
        printError(line);
        status = kExitFailure;
    }
    if (const int signal = interruptionSignal(); signal != 0) status = 128 + signal;
    return status;
}

}  // namespace kdb2mid
