#include "export/timed_lyrics.hpp"

#include <gtest/gtest.h>

#include <cmath>

#include "generator/database_writer.hpp"

namespace kdb2mid {
namespace {

// A stored line whose events come at the given absolute ticks (the first is
// stored as it is, the others as deltas).
sample::LyricLine line(const std::string& text, std::vector<std::uint16_t> ticks,
                       bool mark = false) {
    for (std::size_t i = ticks.size() - 1; i > 0; --i) ticks[i] -= ticks[i - 1];
    return {text, mark, ticks};
}

TimedLyrics timedOf(const std::vector<std::string>& titles,
                    const std::vector<sample::LyricLine>& lines) {
    const sample::Bytes image = sample::buildLyricBlock(titles, lines);
    TrackOffsetTable table;
    table.entries = {0, 0, 0};
    LyricBlock lyrics;
    EXPECT_EQ(parseLyricBlock(image, table, lyrics), RecordError::none);
    return timedLyrics(image, lyrics);
}

using Words = std::vector<std::pair<std::string, std::uint64_t>>;

std::vector<Words> wordsOf(const TimedLyrics& timed) {
    std::vector<Words> lines;
    for (const TimedLine& timedLine : timed.lines) {
        Words words;
        for (const TimedWord& word : timedLine.words) words.emplace_back(word.text, word.tick);
        lines.push_back(words);
    }
    return lines;
}

TEST(TimedLyrics, WordsAreLettersBetweenSpacesAtTheirFirstLetter) {
    struct Case {
        const char* name;
        std::vector<sample::LyricLine> lines;
        std::vector<Words> expected;
    };
    const Case cases[] = {
        {"plain words", {line(" Hi you", {10, 20, 30, 40, 50, 60, 70})},
         {{{"Hi", 20}, {"you", 50}}}},
        // o + 0xE1 is one letter and one event: ố.
        {"two-byte letters", {line(" Tro\xE1ng", {0, 100, 110, 120, 130, 140})},
         {{{"Tr\xE1\xBB\x91ng", 100}}}},
        {"lines of spaces only are dropped",
         {line(" A", {5, 6}), line("   ", {7, 8, 9}), line("B", {10})},
         {{{"A", 6}}, {{"B", 10}}}},
        // b and DEL are one event (DEL is above the plain letters).
        {"control characters part words", {line(" a\tb\x7F" "c", {0, 1, 2, 3, 4})},
         {{{"a", 1}, {"b", 3}, {"c", 4}}}},
        {"marked lines and times across lines",
         {line(" ab", {0, 100, 200}), line("cd", {300, 400}, true)},
         {{{"ab", 100}}, {{"cd", 300}}}},
        // The second line's start lies before the first line's end: delta 0.
        {"a line whose time goes back is held",
         {line(" ab", {0, 100, 500}), line("c", {200})},
         {{{"ab", 100}}, {{"c", 500}}}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(wordsOf(timedOf({"T"}, c.lines)), c.expected) << c.name;
    }
}

TEST(TimedLyrics, TitlesAreDecoded) {
    const TimedLyrics timed =
        timedOf({"Tro\xE1ng C\xF4m", "a\rb", ""}, {line(" x", {0, 1})});
    EXPECT_EQ(timed.titles,
              (std::vector<std::string>{"Tr\xE1\xBB\x91ng C\xC6\xA1m", "a b", ""}));
}

TEST(TimedLyrics, CentisecondsRoundToTheNearest) {
    const std::pair<double, std::int64_t> cases[] = {
        {0.0, 0},        {0.004, 0},         {0.005, 1},         {1.234, 123},
        {59.999, 6000},  {-1.0, 0},          {std::nan(""), 0},  {1e300, 100000000000},
    };
    for (const auto& [seconds, expected] : cases) EXPECT_EQ(centiseconds(seconds), expected);
}

}  // namespace
}  // namespace kdb2mid
