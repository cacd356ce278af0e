#include "audio/loudness.hpp"

#include <ebur128.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>

#include "audio/true_peak_limiter.hpp"

namespace kdb2mid {

namespace {

// The meter's absolute gate: quieter blocks do not count, and a song with
// nothing louder is silent.
constexpr double kAbsoluteGate = -70.0;

}  // namespace

struct LoudnessMeter::State {
    ebur128_state* meter;
    explicit State(ebur128_state* made) : meter(made) {}
    State(const State&) = delete;
    State& operator=(const State&) = delete;
    ~State() { ebur128_destroy(&meter); }
};

LoudnessMeter::LoudnessMeter(int sampleRate) : sampleRate_(sampleRate) {
    ebur128_state* meter = ebur128_init(2, static_cast<unsigned long>(sampleRate), EBUR128_MODE_I);
    if (meter != nullptr) state_ = std::make_unique<State>(meter);
}

LoudnessMeter::~LoudnessMeter() = default;

void LoudnessMeter::add(std::span<const float> interleaved) {
    if (state_ == nullptr) return;
    const std::size_t frames = interleaved.size() / 2;
    ebur128_add_frames_float(state_->meter, interleaved.data(), frames);
    frames_ += frames;
}

std::optional<double> LoudnessMeter::loudness() const {
    if (state_ == nullptr || frames_ == 0) return std::nullopt;
    double lufs = -HUGE_VAL;
    if (ebur128_loudness_global(state_->meter, &lufs) != EBUR128_SUCCESS) return std::nullopt;
    // Shorter than one gating block: the whole song, still in the meter's
    // 400 ms window, is the one block there is.
    constexpr std::uint64_t kBlockMs = 400;
    const std::uint64_t ms = frames_ * 1000 / static_cast<std::uint64_t>(sampleRate_);
    if (!std::isfinite(lufs) && ms < kBlockMs &&
        ebur128_loudness_window(state_->meter, static_cast<unsigned long>(std::max<std::uint64_t>(ms, 1)),
                                &lufs) != EBUR128_SUCCESS) {
        return std::nullopt;
    }
    if (!std::isfinite(lufs) || lufs < kAbsoluteGate) return std::nullopt;
    return lufs;
}

bool parseLoudness(std::string_view text, std::optional<double>& target) noexcept {
    if (text.size() == 3 && std::tolower(static_cast<unsigned char>(text[0])) == 'o' &&
        std::tolower(static_cast<unsigned char>(text[1])) == 'f' &&
        std::tolower(static_cast<unsigned char>(text[2])) == 'f') {
        target.reset();
        return true;
    }
    double value = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value) ||
        value < kMinLoudness || value > kMaxLoudness) {
        return false;
    }
    target = value;
    return true;
}

double normalisingGain(std::optional<double> measured, double target) noexcept {
    return measured ? target - *measured : 0.0;
}

float amplitudeOf(double decibels) noexcept {
    return static_cast<float>(std::pow(10.0, decibels / 20.0));
}

LoudnessFacts normaliseLoudness(std::vector<float>& samples, int sampleRate, double target) {
    LoudnessFacts facts;
    LoudnessMeter meter(sampleRate);
    meter.add(samples);
    facts.measured = meter.loudness();
    facts.silent = !facts.measured;
    facts.gainDb = normalisingGain(facts.measured, target);
    TruePeakLimiter limiter(sampleRate, amplitudeOf(kLimiterCeiling), amplitudeOf(facts.gainDb));
    std::vector<float> out;
    out.reserve(samples.size());
    limiter.process(samples, out);
    limiter.finish(out);
    facts.limited = limiter.engaged();
    samples = std::move(out);
    return facts;
}

}  // namespace kdb2mid
