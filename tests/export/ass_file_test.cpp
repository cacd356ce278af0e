#include "export/ass_file.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

namespace kdb2mid {
namespace {

TimedLine lineOf(std::vector<TimedWord> words) { return {std::move(words)}; }

// The Dialogue lines of a file; with styles, only those in one of them.
std::vector<std::string> dialogues(const std::string& ass,
                                   std::vector<std::string> styles = {"Upper", "Lower"}) {
    std::vector<std::string> lines;
    std::istringstream in(ass);
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("Dialogue: ", 0) != 0) continue;
        // Layer, Start, End, Style: the style is the fourth field.
        std::size_t at = 0;
        for (int field = 0; field < 3; ++field) at = line.find(',', at) + 1;
        const std::string style = line.substr(at, line.find(',', at) - at);
        if (std::find(styles.begin(), styles.end(), style) != styles.end()) lines.push_back(line);
    }
    return lines;
}

TEST(AssFile, LinesTakeTurnsOnTwoRows) {
    // At 120 quarters a minute, 24 ticks are 0.1 s.
    const TimedLyrics lyrics{{"Song", "By"},
                             {lineOf({{"Hello", 480}, {"world", 600}}),
                              lineOf({{"Second", 960}}),
                              lineOf({{"third", 1200}, {"{x}", 1272}})}};
    const std::string ass = writeAss({lyrics, TempoMap{}, "1.2.3"});
    EXPECT_EQ(ass.rfind("[Script Info]\n; Karaoke subtitles written by kdb2mid 1.2.3\n"
                        "Title: Song\nScriptType: v4.00+\n", 0),
              0U);
    for (const char* part : {"PlayResX: 1920\n", "PlayResY: 1080\n", "[V4+ Styles]\n",
                             "Style: Upper,DejaVu Sans,", "Style: Lower,DejaVu Sans,",
                             "\n[Events]\nFormat: Layer, Start, End, Style, Name, "}) {
        EXPECT_NE(ass.find(part), std::string::npos) << part;
    }
    // Line 1 shows from 0 (2 s lead-in), its last word fills until line 2.
    // Line 3 waits for line 1 to leave the upper row at 4 s.
    EXPECT_EQ(dialogues(ass),
              (std::vector<std::string>{
                  "Dialogue: 0,0:00:00.00,0:00:04.00,Upper,,0,0,0,,{\\k200}{\\kf50}Hello "
                  "{\\kf100}world",
                  "Dialogue: 0,0:00:02.00,0:00:05.50,Lower,,0,0,0,,{\\k200}{\\kf100}Second",
                  "Dialogue: 0,0:00:04.00,0:00:06.80,Upper,,0,0,0,,{\\k100}{\\kf30}third "
                  "{\\kf100}\\{x\\}",
              }));
}

// Each word starts filling at the line's start plus the durations before it:
// exactly its own rounded time, however many words came before.
TEST(AssFile, WordsStartOnTimeWithoutDrift) {
    TimedLine line;
    // 1 tick is 1/240 s, so these times fall between hundredths.
    for (std::uint64_t tick = 1000; tick < 1000 + 7 * 300; tick += 7) {
        line.words.push_back({"la", tick});
    }
    const TimedLyrics lyrics{{}, {line}};
    const std::vector<std::string> lines = dialogues(writeAss({lyrics, TempoMap{}, "x"}));
    ASSERT_EQ(lines.size(), 1U);
    const std::string& text = lines[0];
    // Start time H:MM:SS.CC after "Dialogue: 0,".
    const std::string start = text.substr(12, 10);
    std::int64_t clock = std::stoll(start.substr(0, 1)) * 360000 +
                         std::stoll(start.substr(2, 2)) * 6000 +
                         std::stoll(start.substr(5, 2)) * 100 + std::stoll(start.substr(8, 2));
    std::size_t word = 0;
    for (std::size_t at = text.find("{\\k"); at != std::string::npos;
         at = text.find("{\\k", at + 1)) {
        const bool fill = text.compare(at, 4, "{\\kf") == 0;
        const std::int64_t duration = std::stoll(text.substr(at + (fill ? 4 : 3)));
        if (fill) {
            ASSERT_LT(word, line.words.size());
            const double seconds = static_cast<double>(line.words[word].tick) / 240;
            EXPECT_LE(std::abs(static_cast<double>(clock) / 100 - seconds), 0.005 + 1e-9) << word;
            ++word;
        }
        clock += duration;
    }
    EXPECT_EQ(word, line.words.size());
}

// In hundredths of a second, 240 ticks a second at the default tempo.
TimedLyrics linesAt(std::vector<std::string> titles, std::initializer_list<int> firstWords) {
    TimedLyrics lyrics{std::move(titles), {}};
    for (const int at : firstWords) {
        lyrics.lines.push_back(lineOf({{"la", static_cast<std::uint64_t>(at) * 240 / 100}}));
    }
    return lyrics;
}

TEST(AssFile, TitleCardUntilTheFirstLineAndCountdownsBeforeSinging) {
    const struct {
        const char* name;
        TimedLyrics lyrics;
        std::vector<std::string> expected;  // the Title and Countdown events
    } cases[] = {
        {"a long intro: the title card until 0.5 s before the first line shows, "
         "three dots in the last three seconds",
         linesAt({"Song {1}", "Artist"}, {1000}),
         {"Dialogue: 0,0:00:00.00,0:00:07.50,Title,,0,0,0,,{\\fad(0,300)}Song \\{1\\}\\N{\\fs64}Artist",
          "Dialogue: 0,0:00:07.00,0:00:08.00,Countdown,,0,0,0,,\u25CF \u25CF \u25CF",
          "Dialogue: 0,0:00:08.00,0:00:09.00,Countdown,,0,0,0,,\u25CF \u25CF",
          "Dialogue: 0,0:00:09.00,0:00:10.00,Countdown,,0,0,0,,\u25CF"}},
        {"no artist; a break of 8 s after a line's last word gets a countdown",
         linesAt({"Song"}, {350, 1250}),
         {"Dialogue: 0,0:00:00.00,0:00:01.00,Title,,0,0,0,,{\\fad(0,300)}Song",
          "Dialogue: 0,0:00:00.50,0:00:01.50,Countdown,,0,0,0,,\u25CF \u25CF \u25CF",
          "Dialogue: 0,0:00:01.50,0:00:02.50,Countdown,,0,0,0,,\u25CF \u25CF",
          "Dialogue: 0,0:00:02.50,0:00:03.50,Countdown,,0,0,0,,\u25CF",
          "Dialogue: 0,0:00:09.50,0:00:10.50,Countdown,,0,0,0,,\u25CF \u25CF \u25CF",
          "Dialogue: 0,0:00:10.50,0:00:11.50,Countdown,,0,0,0,,\u25CF \u25CF",
          "Dialogue: 0,0:00:11.50,0:00:12.50,Countdown,,0,0,0,,\u25CF"}},
        {"a break just short of 8 s: none; the first line soon: no title card, the dots that fit",
         linesAt({"Song", "Artist"}, {150, 1049}),
         {"Dialogue: 0,0:00:00.00,0:00:00.50,Countdown,,0,0,0,,\u25CF \u25CF",
          "Dialogue: 0,0:00:00.50,0:00:01.50,Countdown,,0,0,0,,\u25CF"}},
        {"no titles: no title card", linesAt({"", ""}, {400}),
         {"Dialogue: 0,0:00:01.00,0:00:02.00,Countdown,,0,0,0,,\u25CF \u25CF \u25CF",
          "Dialogue: 0,0:00:02.00,0:00:03.00,Countdown,,0,0,0,,\u25CF \u25CF",
          "Dialogue: 0,0:00:03.00,0:00:04.00,Countdown,,0,0,0,,\u25CF"}},
    };
    for (const auto& test : cases) {
        EXPECT_EQ(dialogues(writeAss({test.lyrics, TempoMap{}, "x"}), {"Title", "Countdown"}),
                  test.expected)
            << test.name;
    }
}

TEST(AssFile, OverrideCharactersAreEscaped) {
    const std::pair<const char*, const char*> cases[] = {
        {"plain", "plain"},
        {"{\\b1}", "\\{\\\u2060b1\\}"},
        {"a\\N", "a\\\u2060N"},
        {"ti\xCC\x81", "ti\xCC\x81"},
    };
    for (const auto& [text, expected] : cases) EXPECT_EQ(escapeAssText(text), expected) << text;
}

}  // namespace
}  // namespace kdb2mid
