#include "convert/batch_text.hpp"

#include <gtest/gtest.h>

#include <utility>

#include "convert/output_set.hpp"
#include "messages/messages.hpp"

namespace kdb2mid {
namespace {

TEST(BatchText, FormatsDurations) {
    const std::pair<double, const char*> cases[] = {
        {0, "0:00"},        {7.4, "0:07"},   {59.6, "1:00"},     {62, "1:02"},
        {3599, "59:59"},    {3723, "1:02:03"}, {-5, "0:00"},    {1e30, "277777:46:40"},
    };
    for (const auto& [seconds, expected] : cases) EXPECT_EQ(formatDuration(seconds), expected) << seconds;
}

TEST(BatchText, FormatsSongsRateAndTimeLeft) {
    struct Case {
        BatchProgress progress;
        double elapsed;
        const char* expected;
    };
    const Case cases[] = {
        {{0, 500, 0, 1000000}, 0, "0/500 songs, 0.0 MB/s, --:-- left"},
        {{100, 500, 2000000, 10000000}, 2, "100/500 songs, 1.0 MB/s, 0:08 left"},
        {{500, 500, 10000000, 10000000}, 4, "500/500 songs, 2.5 MB/s, 0:00 left"},
        // No record bytes yet (songs without records): estimated from songs.
        {{10, 40, 0, 0}, 5, "10/40 songs, 0.0 MB/s, 0:15 left"},
    };
    for (const Case& c : cases) EXPECT_EQ(formatProgress(c.progress, c.elapsed), c.expected);
}

// Audio or videos set the pace: minutes made, times real time; of both, the video's.
TEST(BatchText, SoundOrPicturesMadeSetThePace) {
    BatchProgress audio{5, 10, 500, 1000};
    audio.secondsMade[outputIndex(Output::audio)] = 300;
    EXPECT_EQ(formatProgress(audio, 20), "5/10 songs, 5.0 min of audio, 15.0x real time, 0:20 left");
    BatchProgress both = audio;
    both.secondsMade[outputIndex(Output::video)] = 300;
    EXPECT_EQ(formatProgress(both, 60), "5/10 songs, 5.0 min of video, 5.0x real time, 1:00 left");
}

}  // namespace
}  // namespace kdb2mid
