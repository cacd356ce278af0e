// What the process needs around any command: signals that must not end it
// silently, and standard output checked when it is closed.
#pragma once

namespace kdb2mid {

// Before the command runs. A file-size limit (ulimit -f) makes a write fail
// with EFBIG, reported against its file, instead of killing the process by
// SIGXFSZ. SIGINT and SIGTERM ask the run to stop (io/interruption.hpp): the
// outputs in progress are abandoned and the command ends with what it has
// done so far; the same signal a second time ends the process at once.
void prepareProcess();

// After the command, with its exit status: flushes and closes standard output
// and on failure prints "kdb2mid: write error: <reason>" on standard error and
// returns 1, since the output was lost. An interrupted run returns 128 plus
// the signal's number, as a shell reports a process the signal ended.
int finishProcess(int status);

}  // namespace kdb2mid
