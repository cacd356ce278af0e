#include "cli/console.hpp"

#include <cstdio>

namespace kdb2mid {

void printText(std::string_view text) { std::fwrite(text.data(), 1, text.size(), stdout); }

void printLine(std::string_view text) {
    printText(text);
    std::fputc('\n', stdout);
}

void printError(std::string_view text) {
    std::fputs("kdb2mid: ", stderr);
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fputc('\n', stderr);
}

MessageSink consoleSink() { return {printLine, printError}; }

}  // namespace kdb2mid
