// Writing the command line's lines: results and failure lines on standard
// output, usage errors on standard error; standard output checked when it
// is closed.
#pragma once

#include <string_view>

#include "messages/message_sink.hpp"

namespace kdb2mid {

// Writes text and a line end to standard output.
void printLine(std::string_view text);
// Writes "kdb2mid: <text>" and a line end to standard error.
void printError(std::string_view text);
// printLine and printError, for the libraries that say what they find as they go.
MessageSink consoleSink();

// After the command, with its exit status: flushes and closes standard output
// and on failure prints "kdb2mid: write error: <reason>" on standard error and
// returns 1, since the output was lost. An interrupted run returns 128 plus
// the signal's number, as a shell reports a process the signal ended.
int finishProcess(int status);

}  // namespace kdb2mid
