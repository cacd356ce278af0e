#include "io/interruption.hpp"

#include <atomic>

namespace kdb2mid {

namespace {

// A signal handler may only touch lock-free atomics.
std::atomic<int> stopSignal{0};
static_assert(std::atomic<int>::is_always_lock_free);

}  // namespace

void requestInterruption(int signal) noexcept { stopSignal.store(signal, std::memory_order_relaxed); }

int interruptionSignal() noexcept { return stopSignal.load(std::memory_order_relaxed); }

}  // namespace kdb2mid
