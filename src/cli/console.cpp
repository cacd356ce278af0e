#include "cli/console.hpp"

#include <cstdio>
#include <optional>

#include "cli/exit_status.hpp"
#include "io/interruption.hpp"
#include "io/process.hpp"
#include "messages/command_help.hpp"

namespace kdb2mid {

void printLine(std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fputc('\n', stdout);
}

void printError(std::string_view text) {
    std::fputs("kdb2mid: ", stderr);
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fputc('\n', stderr);
}

MessageSink consoleSink() { return {printLine, printError}; }

int finishProcess(int status) {
    if (const std::optional<int> error = closeStandardOutput()) {
        printError(help::writeError(*error));
        status = kExitFailure;
    }
    if (const int signal = interruptionSignal(); signal != 0) status = 128 + signal;
    return status;
}

}  // namespace kdb2mid
