#include "cli/progress_line.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

namespace kdb2mid {
namespace {

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
