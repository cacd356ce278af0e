// Keeps audio under a true-peak ceiling: the peaks a player's reconstruction
// filter makes between samples count, not only the samples themselves. It
// looks ahead a few milliseconds, so the gain has already ramped down when a
// peak arrives and no peak passes, and lets go with a fast release, so only
// transients are touched: a passage that stays under the ceiling leaves
// exactly as it came in, one look-ahead later.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace kdb2mid {

// A 4x interpolating filter: between two samples it estimates the signal at
// four points, which is how meters of true peak (ITU-R BS.1770) see it.
class TruePeakDetector {
public:
    static constexpr int kPhases = 4;
    static constexpr int kTaps = 12;  // per phase: six samples either side

    TruePeakDetector();
    // Takes the next frame (left, right) and returns the largest magnitude of
    // the signal around the frame kDelay frames back, interpolated points
    // included.
    float push(float left, float right) noexcept;
    // Takes the next frame without measuring: for stretches known to be quiet.
    void feed(float left, float right) noexcept;
    void reset() noexcept;
    // Upper bound of |interpolated| / the largest |sample| nearby: blocks whose
    // samples stay below ceiling / bound cannot peak above the ceiling.
    float overshootBound() const noexcept { return bound_; }

    static constexpr int kDelay = kTaps / 2;

private:
    std::array<std::array<float, kTaps>, kPhases> phases_{};
    // Each channel's last kTaps samples, stored twice so the window is contiguous.
    std::array<std::array<float, 2 * kTaps>, 2> history_{};
    int at_ = 0;
    float bound_ = 1.0f;
};

class TruePeakLimiter {
public:
    // ceiling: the largest true peak let out (linear, full scale 1.0); gain:
    // what every frame is scaled by before it is limited.
    TruePeakLimiter(int sampleRate, float ceiling, float gain = 1.0f);

    // Takes interleaved stereo frames and appends as many frames, scaled,
    // from latency() frames before, to out (fewer until the look-ahead has filled).
    void process(std::span<const float> in, std::vector<float>& out);
    // Appends the frames still held, at the end of the audio.
    void finish(std::vector<float>& out);
    // From now on also appends to gains, for every frame appended to out, the
    // gain it was given after the scaling: the limiter's gain curve, which
    // parts of the audio (a song's instrumental and its melody) can be given
    // so that they add up to what the limiter let out. Null stops it.
    void keepGains(std::vector<float>* gains) noexcept { gains_ = gains; }

    // Frames between a frame going in and coming out.
    std::size_t latency() const noexcept { return delay_; }
    // Whether any frame left turned down.
    bool engaged() const noexcept { return lowest_ < 1.0f; }
    // The lowest gain given so far (1 when never engaged).
    float lowestGain() const noexcept { return lowest_; }

private:
    void step(float left, float right, std::vector<float>& out);
    bool idle() const noexcept;
    void pass(std::span<const float> in, std::vector<float>& out);

    float ceiling_;
    float gain_;
    TruePeakDetector detector_;
    std::size_t lookAhead_;  // frames the gain takes to ramp down
    std::size_t window_;     // frames a peak's gain is held for
    std::size_t delay_;      // latency
    float release_;          // share of the distance to unity regained per frame

    // The wanted gains of the last window_ frames, as a deque of increasing
    // values: its front is their minimum.
    std::vector<float> minValues_;
    std::vector<std::uint64_t> minIndex_;
    std::size_t minHead_ = 0, minSize_ = 0;
    // The held gains of the last lookAhead_ + 1 frames and their sum: the
    // gain applied is their mean, a ramp as long as the look-ahead.
    std::vector<float> held_;
    double heldSum_ = 0.0;
    float envelope_ = 1.0f;
    // Frames the held gain has been at unity (counted from the start as if
    // it always had been).
    std::size_t unityFor_ = std::size_t{1} << 30;
    // The frames waiting to leave.
    std::vector<float> delayed_;
    std::uint64_t frame_ = 0;
    float lowest_ = 1.0f;
    // Samples at most this loud cannot make a true peak above the ceiling.
    float quietBelow_;
    std::uint64_t loudAt_ = 0;  // one past the last louder frame; 0: none yet
    std::vector<float>* gains_ = nullptr;
};

// The largest magnitude among samples.
float peakOf(std::span<const float> samples) noexcept;

}  // namespace kdb2mid
