// The gain and limiter stage on synthetic signals, checked by libebur128's
// own true-peak meter rather than by the limiter's detector.
#include <gtest/gtest.h>
#include <ebur128.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "audio/loudness.hpp"
#include "audio/true_peak_limiter.hpp"

namespace kdb2mid {
namespace {

constexpr int kRate = 44100;

// Stereo: a sine of frequency at amplitude for seconds, and a click (a
// few samples at clickLevel) every clickEvery seconds when given.
std::vector<float> signal(double seconds, double amplitude, double frequency = 1000.0,
                          double clickEvery = 0.0, float clickLevel = 0.0f) {
    const auto frames = static_cast<std::size_t>(seconds * kRate);
    std::vector<float> out(frames * 2);
    const auto clickFrames = static_cast<std::size_t>(clickEvery * kRate);
    for (std::size_t i = 0; i < frames; ++i) {
        float value = static_cast<float>(
            amplitude * std::sin(2 * std::numbers::pi * frequency * static_cast<double>(i) / kRate));
        if (clickFrames > 0 && i % clickFrames < 3) value = (i % clickFrames == 1) ? -clickLevel : clickLevel;
        out[2 * i] = out[2 * i + 1] = value;
    }
    return out;
}

struct Measured {
    double lufs;
    double truePeakDb;
};

Measured measure(const std::vector<float>& samples) {
    ebur128_state* state = ebur128_init(2, kRate, EBUR128_MODE_I | EBUR128_MODE_TRUE_PEAK);
    ebur128_add_frames_float(state, samples.data(), samples.size() / 2);
    Measured m{};
    ebur128_loudness_global(state, &m.lufs);
    double peak = 0.0;
    for (unsigned c = 0; c < 2; ++c) {
        double channel = 0.0;
        ebur128_true_peak(state, c, &channel);
        peak = std::max(peak, channel);
    }
    m.truePeakDb = 20 * std::log10(std::max(peak, 1e-12));
    ebur128_destroy(&state);
    return m;
}

TEST(Loudness, SignalsLandAtTheTargetWithTheirTruePeakUnderTheCeiling) {
    struct Case {
        const char* name;
        std::vector<float> in;
        double target;
        bool limited;
    };
    const Case cases[] = {
        {"quiet sine raised", signal(5, 0.01), -16, false},
        {"loud sine lowered", signal(5, 0.9), -23, false},
        {"sine at the highest target", signal(5, 0.05, 440), kMaxLoudness, false},
        // The clicks would reach about +8 dBFS at the sine's gain.
        {"clicks over a quiet sine", signal(5, 0.01, 1000, 1.0, 0.12f), -16, true},
        {"clicks over a loud bass", signal(5, 0.5, 60, 0.5, 1.0f), kMaxLoudness, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<float> out = c.in;
        const LoudnessFacts facts = normaliseLoudness(out, kRate, c.target);
        ASSERT_EQ(out.size(), c.in.size());
        ASSERT_TRUE(facts.measured);
        EXPECT_NEAR(*facts.measured, measure(c.in).lufs, 0.01);
        EXPECT_FALSE(facts.silent);
        EXPECT_EQ(facts.limited, c.limited);
        const Measured after = measure(out);
        EXPECT_NEAR(after.lufs, c.target, c.limited ? 1.0 : 0.05);
        EXPECT_LE(after.truePeakDb, kTruePeakCeiling);
    }
}

TEST(Loudness, SilenceStaysSilentAndASongShorterThanOneBlockIsStillMeasured) {
    std::vector<float> silence(kRate * 2, 0.0f);
    const LoudnessFacts quiet = normaliseLoudness(silence, kRate, -16);
    EXPECT_TRUE(quiet.silent);
    EXPECT_FALSE(quiet.measured);
    EXPECT_EQ(quiet.gainDb, 0.0);
    EXPECT_EQ(silence, std::vector<float>(kRate * 2, 0.0f));

    // 200 ms, half of the meter's gating block.
    std::vector<float> blip = signal(0.2, 0.01);
    const LoudnessFacts short_ = normaliseLoudness(blip, kRate, -16);
    ASSERT_TRUE(short_.measured);
    EXPECT_NEAR(short_.gainDb, -16 - *short_.measured, 1e-9);
    LoudnessMeter meter(kRate);
    meter.add(blip);
    ASSERT_TRUE(meter.loudness());
    EXPECT_NEAR(*meter.loudness(), -16, 0.2);
}

TEST(TruePeakLimiter, PassesQuietAudioExactlyAndLetsGoSoonAfterATransient) {
    // A quiet sine with one click far above the ceiling in the middle.
    std::vector<float> in = signal(1.0, 0.1);
    const std::size_t click = in.size() / 2;
    in[click] = in[click + 1] = 3.0f;
    TruePeakLimiter limiter(kRate, 0.5f);
    std::vector<float> out;
    limiter.process(in, out);
    limiter.finish(out);
    ASSERT_EQ(out.size(), in.size());
    EXPECT_TRUE(limiter.engaged());
    EXPECT_LT(measure(out).truePeakDb, 20 * std::log10(0.5) + 0.1);
    // Untouched until the look-ahead before the click; within 0.1 dB 0.2 s
    // after it, and untouched again 0.4 s after it.
    const std::size_t untilRamp = click - limiter.latency() * 2 - 8;
    const std::size_t nearly = click + static_cast<std::size_t>(0.2 * kRate) * 2;
    const std::size_t fromRelease = click + static_cast<std::size_t>(0.4 * kRate) * 2;
    for (std::size_t i = 0; i < in.size(); ++i) {
        if (i < untilRamp || i >= fromRelease) {
            ASSERT_EQ(out[i], in[i]) << i;
        } else if (i >= nearly) {
            ASSERT_NEAR(out[i], in[i], 0.012f * std::fabs(in[i])) << i;
        }
    }
}

TEST(Loudness, ArgumentIsOffOrATargetInRange) {
    struct Case {
        const char* text;
        bool accepted;
        std::optional<double> target;
    };
    const Case cases[] = {{"-16", true, -16.0}, {"-30", true, -30.0}, {"-9", true, -9.0},
                          {"-23.5", true, -23.5}, {"off", true, std::nullopt}, {"OFF", true, std::nullopt},
                          {"-31", false, {}}, {"-8.9", false, {}}, {"0", false, {}},
                          {"", false, {}}, {"-16 LUFS", false, {}}, {"nan", false, {}}, {"of", false, {}}};
    for (const Case& c : cases) {
        std::optional<double> target = 1.0;
        EXPECT_EQ(parseLoudness(c.text, target), c.accepted) << c.text;
        if (c.accepted) {
            EXPECT_EQ(target, c.target) << c.text;
        }
    }
}

}  // namespace
}  // namespace kdb2mid
