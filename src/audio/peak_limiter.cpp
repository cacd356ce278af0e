#include "audio/peak_limiter.hpp"

#include <algorithm>
#include <cmath>

namespace kdb2mid {

float peakOf(std::span<const float> samples) noexcept {
    float peak = 0.0f;
    for (float sample : samples) peak = std::max(peak, std::fabs(sample));
    return peak;
}

// The held block leaves with a gain that moves in a straight line from the
// current one to its target. The target respects both the held block's peak
// and the next one's, and the current gain already respected the held block's
// peak (it was the previous block's target), so every point of the line does.
std::span<const float> PeakLimiter::emit(float nextPeak, std::size_t channels) {
    const std::size_t frames = held_.size() / channels;
    const float loudest = std::max(heldPeak_, nextPeak);
    float target = loudest > ceiling_ ? ceiling_ / loudest : 1.0f;
    if (target > gain_) {
        target = std::min(target, gain_ + release_ * static_cast<float>(frames));
    }
    out_.resize(held_.size());
    if (target >= 1.0f && gain_ >= 1.0f) {
        std::copy(held_.begin(), held_.end(), out_.begin());
    } else {
        engaged_ = true;
        const float step = (target - gain_) / static_cast<float>(frames);
        for (std::size_t frame = 0; frame < frames; ++frame) {
            const float gain = gain_ + step * static_cast<float>(frame + 1);
            for (std::size_t c = 0; c < channels; ++c) {
                out_[frame * channels + c] = held_[frame * channels + c] * gain;
            }
        }
    }
    gain_ = target;
    return out_;
}

std::span<const float> PeakLimiter::push(std::span<const float> block, std::size_t channels) {
    const float peak = peakOf(block);
    std::span<const float> result;
    if (holding_ && !held_.empty()) {
        result = emit(peak, channels);
    } else if (peak > ceiling_) {
        // Nothing came before to ramp down in: start low.
        gain_ = std::min(gain_, ceiling_ / peak);
    }
    held_.assign(block.begin(), block.end());
    heldPeak_ = peak;
    holding_ = true;
    return result;
}

std::span<const float> PeakLimiter::flush(std::size_t channels) {
    if (!holding_ || held_.empty()) return {};
    holding_ = false;
    return emit(0.0f, channels);
}

void PeakLimiter::reset() noexcept {
    gain_ = 1.0f;
    engaged_ = false;
    holding_ = false;
    heldPeak_ = 0.0f;
    held_.clear();
}

}  // namespace kdb2mid
