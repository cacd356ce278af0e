#include "export/lrc_file.hpp"

#include <gtest/gtest.h>

namespace kdb2mid {
namespace {

// At the default 120 quarters a minute and division 120, 24 ticks are 0.1 s.
TimedLine lineOf(std::vector<TimedWord> words) { return {std::move(words)}; }

std::string lrc(const TimedLyrics& lyrics, const TempoMap& tempo = {}, double length = 30.4) {
    return writeLrc({lyrics, tempo, length, "1.2.3"});
}

TEST(LrcFile, TagsThenOneLinePerLyricLine) {
    const TimedLyrics lyrics{{"Trống Cơm", "Dân ca"},
                             {lineOf({{"Tình", 240}, {"bằng", 264}}), lineOf({{"có", 2400}})}};
    EXPECT_EQ(lrc(lyrics),
              "[ti:Trống Cơm]\n"
              "[ar:Dân ca]\n"
              "[length:00:30]\n"
              "[re:kdb2mid 1.2.3]\n"
              "[00:01.00]<00:01.00>Tình <00:01.10>bằng\n"
              "[00:10.00]<00:10.00>có\n");
}

TEST(LrcFile, TagsFollowTheTitles) {
    struct Case {
        std::vector<std::string> titles;
        double length;
        const char* head;
    };
    const Case cases[] = {
        {{}, 0, "[length:00:00]\n"},
        {{"A"}, 59.5, "[ti:A]\n[length:01:00]\n"},
        {{"A", ""}, 59.49, "[ti:A]\n[length:00:59]\n"},
        {{"", "B"}, 6000, "[ar:B]\n[length:100:00]\n"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(lrc({c.titles, {}}, {}, c.length),
                  std::string(c.head) + "[re:kdb2mid 1.2.3]\n")
            << c.head;
    }
}

TEST(LrcFile, TimesRoundToHundredthsAndNeverDecrease) {
    struct Case {
        const char* name;
        std::vector<TimedWord> words;
        std::vector<TempoChange> tempo;
        const char* line;
    };
    const Case cases[] = {
        // 1 tick is 1/240 s: 0.0042 s rounds down, 2 ticks (0.0083 s) up.
        {"rounding", {{"a", 1}, {"b", 2}, {"c", 3}}, {}, "[00:00.00]<00:00.00>a <00:00.01>b <00:00.01>c"},
        {"minutes", {{"a", 240 * 61 + 12}}, {}, "[01:01.05]<01:01.05>a"},
        {"past 99 minutes", {{"a", 240 * 6000}}, {}, "[100:00.00]<100:00.00>a"},
        {"backwards held", {{"a", 480}, {"b", 240}}, {}, "[00:02.00]<00:02.00>a <00:02.00>b"},
        // The tempo halves at tick 120 (0.5 s).
        {"tempo change between words", {{"a", 100}, {"b", 140}}, {{120, 1000000}},
         "[00:00.42]<00:00.42>a <00:00.67>b"},
    };
    for (const Case& c : cases) {
        const std::string out = lrc({{}, {lineOf(c.words)}}, TempoMap(c.tempo));
        const std::size_t last = out.rfind("[re:");
        ASSERT_NE(last, std::string::npos);
        const std::string body = out.substr(out.find('\n', last) + 1);
        EXPECT_EQ(body, std::string(c.line) + "\n") << c.name;
    }
}

}  // namespace
}  // namespace kdb2mid
