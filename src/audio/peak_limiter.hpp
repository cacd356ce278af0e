// Keeps rendered audio below full scale without touching music that already
// is: blocks pass through one block late, and the gain for a block is chosen
// knowing the next one, so it has fallen before a loud peak arrives (no
// sample ever exceeds the ceiling) and climbs back slowly afterwards.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

namespace kdb2mid {

class PeakLimiter {
public:
    // ceiling: the largest magnitude let out; releasePerFrame: how fast the
    // gain may climb back towards 1 after a peak.
    PeakLimiter(float ceiling, float releasePerFrame) noexcept
        : ceiling_(ceiling), release_(releasePerFrame) {}

    // Takes the next block of interleaved frames (channels samples each) and
    // returns the block before it, scaled; empty on the first block. The span
    // stays valid until the next call.
    std::span<const float> push(std::span<const float> block, std::size_t channels);
    // The block still held, scaled, at the end of the audio; then empty.
    std::span<const float> flush(std::size_t channels);
    // Forgets any held block and returns to unity gain.
    void reset() noexcept;

    // Whether the gain has been below 1 since the last reset.
    bool engaged() const noexcept { return engaged_; }

private:
    std::span<const float> emit(float nextPeak, std::size_t channels);

    float ceiling_;
    float release_;
    float gain_ = 1.0f;
    bool engaged_ = false;
    bool holding_ = false;
    float heldPeak_ = 0.0f;
    std::vector<float> held_;
    std::vector<float> out_;
};

// The largest magnitude among samples.
float peakOf(std::span<const float> samples) noexcept;

}  // namespace kdb2mid
