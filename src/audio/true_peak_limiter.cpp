#include "audio/true_peak_limiter.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace kdb2mid {

float peakOf(std::span<const float> samples) noexcept {
    float peak = 0.0f;
    for (float sample : samples) peak = std::max(peak, std::fabs(sample));
    return peak;
}

namespace {

// The zeroth-order modified Bessel function, for the Kaiser window.
double besselI0(double x) {
    double sum = 1.0;
    double term = 1.0;
    for (int k = 1; k < 30; ++k) {
        term *= (x / (2.0 * k)) * (x / (2.0 * k));
        sum += term;
    }
    return sum;
}

constexpr double kKaiserBeta = 6.0;
constexpr double kLookAheadSeconds = 0.005;
constexpr double kReleaseSeconds = 0.040;
// Closer to unity than this (a thousandth of a decibel) is unity.
constexpr float kUnityBelow = 1.0f - 1.0e-4f;

}  // namespace

// A windowed sinc of 48 taps at four times the rate, split into its four
// phases; each phase is scaled to pass a constant level unchanged.
TruePeakDetector::TruePeakDetector() {
    constexpr int kLength = kPhases * kTaps;
    constexpr double kCentre = (kLength - 1) / 2.0;
    for (int p = 0; p < kPhases; ++p) {
        double sum = 0.0;
        std::array<double, kTaps> taps{};
        for (int k = 0; k < kTaps; ++k) {
            const int i = k * kPhases + p;
            const double x = (i - kCentre) / kPhases;
            const double sinc = x == 0.0 ? 1.0 : std::sin(std::numbers::pi * x) / (std::numbers::pi * x);
            const double r = (i - kCentre) / (kLength / 2.0);
            const double window = besselI0(kKaiserBeta * std::sqrt(std::max(0.0, 1.0 - r * r))) /
                                  besselI0(kKaiserBeta);
            taps[static_cast<std::size_t>(k)] = sinc * window;
            sum += taps[static_cast<std::size_t>(k)];
        }
        double absolute = 0.0;
        for (int k = 0; k < kTaps; ++k) {
            const double tap = taps[static_cast<std::size_t>(k)] / sum;
            phases_[static_cast<std::size_t>(p)][static_cast<std::size_t>(k)] = static_cast<float>(tap);
            absolute += std::fabs(tap);
        }
        bound_ = std::max(bound_, static_cast<float>(absolute));
    }
}

void TruePeakDetector::reset() noexcept {
    for (auto& channel : history_) channel.fill(0.0f);
    at_ = 0;
}

void TruePeakDetector::feed(float left, float right) noexcept {
    // The window runs oldest first: history_[c][at_ .. at_ + kTaps).
    const auto slot = static_cast<std::size_t>(at_);
    history_[0][slot] = history_[0][slot + kTaps] = left;
    history_[1][slot] = history_[1][slot + kTaps] = right;
    at_ = (at_ + 1) % kTaps;
}

float TruePeakDetector::push(float left, float right) noexcept {
    feed(left, right);
    float peak = 0.0f;
    for (std::size_t c = 0; c < 2; ++c) {
        const float* window = history_[c].data() + at_;  // window[kTaps - 1] is the newest
        peak = std::max(peak, std::fabs(window[kTaps - 1 - kDelay]));
        for (const auto& taps : phases_) {
            float value = 0.0f;
            // taps[k] weighs the sample k frames back.
            for (int k = 0; k < kTaps; ++k) value += taps[static_cast<std::size_t>(k)] * window[kTaps - 1 - k];
            peak = std::max(peak, std::fabs(value));
        }
    }
    return peak;
}

// A frame's wanted gain is the ceiling over its true peak. The gain given is
// the mean of the held gains over the look-ahead, and a held gain is the
// minimum of the wanted ones over a window a little longer than the
// look-ahead plus the detector's reach, so every gain the mean takes in is
// already at or below what each peak near the frame leaving wants: the ramp
// has reached it in time. Released, the held gain climbs back exponentially.
TruePeakLimiter::TruePeakLimiter(int sampleRate, float ceiling, float gain)
    : ceiling_(ceiling),
      gain_(gain),
      lookAhead_(static_cast<std::size_t>(kLookAheadSeconds * sampleRate)),
      window_(lookAhead_ + 2 * TruePeakDetector::kTaps + 4),
      delay_(lookAhead_ + 2 * TruePeakDetector::kTaps),
      release_(static_cast<float>(1.0 - std::exp(-1.0 / (kReleaseSeconds * sampleRate)))),
      minValues_(window_ + 1),
      minIndex_(window_ + 1),
      held_(lookAhead_ + 1, 1.0f),
      heldSum_(static_cast<double>(lookAhead_ + 1)),
      delayed_(delay_ * 2, 0.0f),
      quietBelow_(ceiling / detector_.overshootBound()) {}

void TruePeakLimiter::step(float left, float right, std::vector<float>& out) {
    left *= gain_;
    right *= gain_;
    // The wanted gain. Where no sample in the detector's reach comes near
    // the ceiling, no point between them can pass it either.
    float wanted = 1.0f;
    if (std::max(std::fabs(left), std::fabs(right)) > quietBelow_) loudAt_ = frame_ + 1;
    if (loudAt_ == 0 || frame_ + 1 - loudAt_ >= TruePeakDetector::kTaps) {
        detector_.feed(left, right);
    } else {
        const float peak = detector_.push(left, right);
        if (peak > ceiling_) wanted = ceiling_ / peak;
    }

    // The minimum of the wanted gains over the window.
    const std::size_t capacity = minValues_.size();
    while (minSize_ > 0) {
        const std::size_t back = (minHead_ + minSize_ - 1) % capacity;
        if (minValues_[back] < wanted) break;
        --minSize_;
    }
    const std::size_t slot = (minHead_ + minSize_) % capacity;
    minValues_[slot] = wanted;
    minIndex_[slot] = frame_;
    ++minSize_;
    while (frame_ - minIndex_[minHead_] > window_) {
        minHead_ = (minHead_ + 1) % capacity;
        --minSize_;
    }
    const float minimum = minValues_[minHead_];

    envelope_ = std::min(minimum, envelope_ + (1.0f - envelope_) * release_);
    // The climb would otherwise take long to close the last small gap.
    if (envelope_ > kUnityBelow && minimum >= 1.0f) envelope_ = 1.0f;
    unityFor_ = envelope_ >= 1.0f ? unityFor_ + 1 : 0;
    float& heldSlot = held_[frame_ % held_.size()];
    heldSum_ += static_cast<double>(envelope_) - static_cast<double>(heldSlot);
    heldSlot = envelope_;
    const float gain = std::min(1.0f, static_cast<float>(heldSum_ / static_cast<double>(held_.size())));

    const std::size_t at = (frame_ % delay_) * 2;
    if (frame_ >= delay_) {
        lowest_ = std::min(lowest_, gain);
        out.push_back(delayed_[at] * gain);
        out.push_back(delayed_[at + 1] * gain);
        if (gains_ != nullptr) gains_->push_back(gain);
    }
    delayed_[at] = left;
    delayed_[at + 1] = right;
    ++frame_;
}

bool TruePeakLimiter::idle() const noexcept {
    return frame_ >= delay_ && unityFor_ > held_.size() && (minSize_ == 0 || minValues_[minHead_] >= 1.0f) &&
           (loudAt_ == 0 || frame_ + 1 - loudAt_ >= TruePeakDetector::kTaps);
}

// At rest, with quiet frames coming, every gain is 1 and the frames only
// pass through the delay: the state is brought along without the work.
void TruePeakLimiter::pass(std::span<const float> in, std::vector<float>& out) {
    const std::size_t frames = in.size() / 2;
    for (std::size_t i = frames > TruePeakDetector::kTaps ? frames - TruePeakDetector::kTaps : 0;
         i < frames; ++i) {
        detector_.feed(in[2 * i] * gain_, in[2 * i + 1] * gain_);
    }
    const std::size_t start = out.size();
    out.resize(start + 2 * frames);
    float* to = out.data() + start;
    float* ring = delayed_.data();
    std::size_t at = (frame_ % delay_) * 2;
    for (std::size_t i = 0; i < 2 * frames; i += 2) {
        to[i] = ring[at];
        to[i + 1] = ring[at + 1];
        ring[at] = in[i] * gain_;
        ring[at + 1] = in[i + 1] * gain_;
        at += 2;
        if (at == delayed_.size()) at = 0;
    }
    frame_ += frames;
    if (gains_ != nullptr) gains_->insert(gains_->end(), frames, 1.0f);
    if (minSize_ > 0) minIndex_[minHead_] = frame_ - 1;
    heldSum_ = static_cast<double>(held_.size());
}

void TruePeakLimiter::process(std::span<const float> in, std::vector<float>& out) {
    const std::size_t frames = in.size() / 2;
    for (std::size_t i = 0; i < frames;) {
        if (idle()) {
            const float below = quietBelow_ / gain_;
            std::size_t quiet = i;
            while (quiet < frames && std::fabs(in[2 * quiet]) <= below &&
                   std::fabs(in[2 * quiet + 1]) <= below) {
                ++quiet;
            }
            if (quiet > i) {
                pass(in.subspan(2 * i, 2 * (quiet - i)), out);
                i = quiet;
                continue;
            }
        }
        step(in[2 * i], in[2 * i + 1], out);
        ++i;
    }
}

void TruePeakLimiter::finish(std::vector<float>& out) {
    for (std::size_t i = 0; i < delay_; ++i) step(0.0f, 0.0f, out);
}

}  // namespace kdb2mid
