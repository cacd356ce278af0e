// Writing the command line's lines: results and failure lines on standard
// output, usage errors on standard error.
#pragma once

#include <string_view>

#include "messages/message_sink.hpp"

namespace kdb2mid {

// Writes text and a line end to standard output.
void printLine(std::string_view text);
// Writes text as it is to standard output.
void printText(std::string_view text);
// Writes "kdb2mid: <text>" and a line end to standard error.
void printError(std::string_view text);
// printLine and printError, for the libraries that say what they find as they go.
MessageSink consoleSink();

}  // namespace kdb2mid
