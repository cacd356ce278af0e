// The pieces around the renderer: format names and the in-memory sink.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "audio/audio_format.hpp"
#include "audio/audio_sink.hpp"

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

}  // namespace
}  // namespace kdb2mid
