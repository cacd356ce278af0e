#include "cli/progress_line.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

namespace kdb2mid {
namespace {

TEST(ProgressLine, FormatsDurations) {
    const std::pair<double, const char*> cases[] = {
        {0, "0:00"},        {7.4, "0:07"},   {59.6, "1:00"},     {62, "1:02"},
        {3599, "59:59"},    {3723, "1:02:03"}, {-5, "0:00"},    {1e30, "277777:46:40"},
    };
    for (const auto& [seconds, expected] : cases) EXPECT_EQ(formatDuration(seconds), expected) << seconds;
}

TEST(ProgressLine, FormatsSongsRateAndTimeLeft) {
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
        // Audio or videos set the pace: minutes made, times real time.
        {{5, 10, 500, 1000, 300}, 20, "5/10 songs, 5.0 min of audio, 15.0x real time, 0:20 left"},
        {{5, 10, 500, 1000, 300, 300}, 60, "5/10 songs, 5.0 min of video, 5.0x real time, 1:00 left"},
    };
    for (const Case& c : cases) EXPECT_EQ(formatProgress(c.progress, c.elapsed), c.expected);
}

std::string contents(std::FILE* file) {
    std::rewind(file);
    std::string text;
    for (int c = std::fgetc(file); c != EOF; c = std::fgetc(file)) text += static_cast<char>(c);
    return text;
}

TEST(ProgressLine, RedrawsAtMostEveryIntervalAndClearsItself) {
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::tmpfile(), &std::fclose);
    ASSERT_NE(file, nullptr);
    using Clock = ProgressLine::Clock;
    const Clock::time_point start{};
    const auto at = [&](int ms) { return start + std::chrono::milliseconds(ms); };
    {
        ProgressLine line(file.get(), start);
        line.update({1, 20, 0, 0}, at(100));  // too soon after the start: not drawn
        line.update({2, 20, 0, 0}, at(1000));
        line.update({3, 20, 0, 0}, at(1100));  // too soon: not drawn
        line.update({10, 20, 0, 0}, at(1200));
        line.clear();
        line.update({11, 20, 0, 0}, at(1300));  // cleared, but still too soon
    }
    const std::string first = "2/20 songs, 0.0 MB/s, 0:09 left";
    const std::string second = "10/20 songs, 0.0 MB/s, 0:01 left";
    EXPECT_EQ(contents(file.get()), "\r" + first + "\r" + second + "\r" +
                                        std::string(second.size(), ' ') + "\r");
}

TEST(ProgressLine, DrawsNothingWithoutAFile) {
    ProgressLine line(nullptr);
    line.update({1, 2, 3, 4});
    line.clear();
}

}  // namespace
}  // namespace kdb2mid
