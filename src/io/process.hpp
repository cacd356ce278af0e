// What the process needs around any command: its arguments in UTF-8, signals
// that must not end it silently, and standard output checked when it is
// closed.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace kdb2mid {

// The program's arguments in UTF-8, its name first: on Windows from the wide
// command line (main's are in the local code page, which cannot hold every
// file name), elsewhere argv as it is.
std::vector<std::string> utf8Arguments(int argc, char** argv);

// Before a command runs. SIGINT and SIGTERM ask the run to stop
// (io/interruption.hpp): the outputs in progress are abandoned and the
// command ends with what it has done so far; the same signal a second time
// ends the process at once. A file-size limit (ulimit -f) makes a write fail
// with EFBIG, reported against its file, instead of killing the process by
// SIGXFSZ.
void handleStopSignals();

// After the command: flushes and closes standard output. Nothing when all
// that was written arrived, or when standard output was never open and
// nothing was written to it; otherwise the output was lost, and this is the
// reason's errno (0 when none is known).
std::optional<int> closeStandardOutput();

}  // namespace kdb2mid
