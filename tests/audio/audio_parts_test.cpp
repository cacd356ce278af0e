// The pieces around the renderer: format names, the in-memory sink and the
// peak limiter.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "audio/audio_format.hpp"
#include "audio/audio_sink.hpp"
#include "audio/peak_limiter.hpp"

namespace kdb2mid {
namespace {

TEST(AudioFormat, NamesParseBackAndOthersAreRefused) {
    for (AudioFormat format : kAudioFormats) {
        EXPECT_EQ(parseAudioFormat(audioFormatName(format)), format);
    }
    for (const char* word : {"", "WAV", "mp4", "ogg ", "vorbis", "aiff"}) {
        EXPECT_FALSE(parseAudioFormat(word).has_value()) << word;
    }
    EXPECT_EQ(audioSampleRate(AudioFormat::opus), 48000);
    EXPECT_EQ(audioSampleRate(AudioFormat::flac), 44100);
    for (AudioFormat format : {AudioFormat::wav, AudioFormat::flac, AudioFormat::ogg,
                               AudioFormat::opus}) {
        EXPECT_TRUE(audioFormatSupported(format)) << audioFormatName(format);
    }
}

TEST(MemoryAudioSink, OverwritesAfterASeekAndExtendsPastTheEnd) {
    MemoryAudioSink sink;
    const std::vector<std::uint8_t> first{1, 2, 3, 4};
    const std::vector<std::uint8_t> patch{9, 8};
    ASSERT_TRUE(sink.write(first));
    ASSERT_TRUE(sink.seek(1));
    ASSERT_TRUE(sink.write(patch));
    EXPECT_EQ(sink.tell(), 3u);
    ASSERT_TRUE(sink.seek(6));
    ASSERT_TRUE(sink.write(patch));
    EXPECT_EQ(sink.bytes(), (std::vector<std::uint8_t>{1, 9, 8, 4, 0, 0, 9, 8}));
    EXPECT_EQ(sink.length(), 8u);
}

// Blocks of interleaved stereo at one level each.
std::vector<float> blockAt(float level, std::size_t frames = 256) {
    std::vector<float> block(frames * 2);
    for (std::size_t i = 0; i < block.size(); ++i) block[i] = (i % 4 < 2) ? level : -level;
    return block;
}

std::vector<float> limit(PeakLimiter& limiter, const std::vector<float>& levels) {
    std::vector<float> out;
    for (float level : levels) {
        const auto block = limiter.push(blockAt(level), 2);
        out.insert(out.end(), block.begin(), block.end());
    }
    const auto rest = limiter.flush(2);
    out.insert(out.end(), rest.begin(), rest.end());
    return out;
}

TEST(PeakLimiter, QuietAudioPassesUntouchedAndLoudNeverExceedsTheCeiling) {
    struct Case {
        const char* name;
        std::vector<float> levels;
        bool engages;
    };
    const Case cases[] = {
        {"quiet", {0.1f, 0.5f, 0.9f, 0.2f}, false},
        {"sudden peak", {0.1f, 0.1f, 3.0f, 0.1f, 0.1f}, true},
        {"loud from the start", {2.0f, 2.0f}, true},
        {"peak in the last block", {0.5f, 1.5f}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PeakLimiter limiter(0.9f, 1.0f / 44100.0f);
        const std::vector<float> out = limit(limiter, c.levels);
        ASSERT_EQ(out.size(), c.levels.size() * 256 * 2);
        EXPECT_LE(peakOf(out), 0.9f + 1e-6f);
        EXPECT_EQ(limiter.engaged(), c.engages);
        if (!c.engages) {
            std::vector<float> in;
            for (float level : c.levels) {
                const auto block = blockAt(level);
                in.insert(in.end(), block.begin(), block.end());
            }
            EXPECT_EQ(out, in);
        }
    }
}

TEST(PeakLimiter, GainClimbsBackAfterAPeak) {
    PeakLimiter limiter(0.9f, 1.0f / 4410.0f);  // back to unity within 0.1 s at 44.1 kHz
    std::vector<float> levels{2.0f};
    levels.resize(40, 0.5f);
    const std::vector<float> out = limit(limiter, levels);
    const std::span last(out.end() - 512, out.end());
    EXPECT_FLOAT_EQ(peakOf(last), 0.5f);
}

}  // namespace
}  // namespace kdb2mid
