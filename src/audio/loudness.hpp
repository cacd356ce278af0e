// Loudness as broadcasters and streaming services measure it (EBU R128,
// ITU-R BS.1770: K-weighted, gated, in LUFS), by libebur128, and the gain
// that brings a song to a target loudness with its true peak under a ceiling.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace kdb2mid {

// Where every song lands unless told otherwise, and the targets allowed.
inline constexpr double kDefaultLoudness = -16.0;  // LUFS
inline constexpr double kMinLoudness = -30.0;
inline constexpr double kMaxLoudness = -9.0;
// The highest true peak a normalised song may reach, in dBTP. The limiter
// aims half a decibel lower: meters interpolate a little differently, and
// 16-bit rounding and lossy encoders move peaks slightly.
inline constexpr double kTruePeakCeiling = -1.0;
inline constexpr double kLimiterCeiling = -1.5;

// Reads a --loudness argument: "off" (any case) sets target to none, a
// number from kMinLoudness to kMaxLoudness sets it; anything else is false.
bool parseLoudness(std::string_view text, std::optional<double>& target) noexcept;

// What normalising did to one song.
struct LoudnessFacts {
    // The synthesizer's render before any gain, in LUFS; none when nothing
    // sounded above the meter's -70 LUFS gate, or when not normalised.
    std::optional<double> measured;
    double gainDb = 0.0;    // applied to the synthesizer's render
    bool limited = false;   // the true-peak limiter turned some transient down
    // The render's loudest sample before any gain (full scale 1.0).
    float peak = 0.0f;
    // The loudness as written, in LUFS, measured again when the limiter
    // turned the song down: below the target when the ceiling held it there.
    std::optional<double> reached;
    bool silent = false;    // nothing sounded: the audio is silence
};

// Integrated loudness of interleaved stereo audio, fed block by block.
class LoudnessMeter {
public:
    explicit LoudnessMeter(int sampleRate);
    ~LoudnessMeter();
    LoudnessMeter(const LoudnessMeter&) = delete;
    LoudnessMeter& operator=(const LoudnessMeter&) = delete;

    // False when libebur128 could not be set up (out of memory).
    bool ok() const noexcept { return state_ != nullptr; }
    void add(std::span<const float> interleaved);
    // Loudness in LUFS of everything added. Audio shorter than the meter's
    // 400 ms block is measured over its whole length. None when silent.
    std::optional<double> loudness() const;

private:
    struct State;  // libebur128's meter
    std::unique_ptr<State> state_;
    int sampleRate_;
    std::uint64_t frames_ = 0;
};

// The gain in dB that brings audio measured at `measured` LUFS to target;
// 0 for silence, which no gain makes louder.
double normalisingGain(std::optional<double> measured, double target) noexcept;

// Linear amplitude of a level in dB.
float amplitudeOf(double decibels) noexcept;

// Brings interleaved stereo audio at sampleRate to target LUFS with its true
// peak under kLimiterCeiling, in place: measure, scale, limit. The renderer
// does the same while it renders; this is the whole step at once.
LoudnessFacts normaliseLoudness(std::vector<float>& samples, int sampleRate, double target);

}  // namespace kdb2mid
