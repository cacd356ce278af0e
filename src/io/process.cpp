#include "io/process.hpp"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <utility>

#include "io/interruption.hpp"

#ifdef _WIN32
// windows.h first: shellapi.h builds on its declarations.
#include <windows.h>

#include <shellapi.h>
#endif

namespace kdb2mid {

namespace {

extern "C" void onStopSignal(int signal) { requestInterruption(signal); }

}  // namespace

std::vector<std::string> utf8Arguments(int argc, char** argv) {
    std::vector<std::string> arguments;
#ifdef _WIN32
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide != nullptr) {
        for (int i = 0; i < count; ++i) {
            const int size =
                WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
            std::string text(size > 0 ? static_cast<std::size_t>(size) : 1U, '\0');
            if (size > 0) {
                WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, text.data(), size, nullptr, nullptr);
            }
            text.resize(text.size() - 1);  // the terminating NUL
            arguments.push_back(std::move(text));
        }
        LocalFree(wide);
    }
    if (!arguments.empty()) return arguments;
#endif
    arguments.assign(argv, argv + argc);
    return arguments;
}

void handleStopSignals() {
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

std::optional<int> closeStandardOutput() {
    // As coreutils' close_stdout: a stream that was closed before the program
    // started (EBADF) is no failure unless something was written to it.
    errno = 0;
    const bool earlier = std::ferror(stdout) != 0;
    const bool flushed = std::fflush(stdout) == 0;
    int error = flushed ? 0 : errno;
    const bool closed = std::fclose(stdout) == 0;
    if (!closed && flushed && !earlier && errno == EBADF) return std::nullopt;
    if (!earlier && flushed && closed) return std::nullopt;
    if (error == 0 && !closed) error = errno;
    return error;
}

}  // namespace kdb2mid
