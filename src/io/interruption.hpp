// A run asked to stop by a signal (Ctrl-C, SIGTERM). The handler
// (io/process.hpp) records the signal; outputs still being written give up
// (their temporary files are removed as they fail), a batch stops before its
// next song, and the command ends with its summary so far.
#pragma once

namespace kdb2mid {

// Records that the run was asked to stop by signal. Async-signal-safe: it
// only stores to a lock-free atomic.
void requestInterruption(int signal) noexcept;

// The signal that asked the run to stop, 0 while none has.
int interruptionSignal() noexcept;

inline bool interrupted() noexcept { return interruptionSignal() != 0; }

}  // namespace kdb2mid
