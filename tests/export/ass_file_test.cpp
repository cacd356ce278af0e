#include "export/ass_file.hpp"
#include "export/title_lead_in.hpp"

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

TEST(AssFile, LinesTakeTurnsOnTwoRowsAndReadAhead) {
    // At 120 quarters a minute, 24 ticks are 0.1 s.
    const TimedLyrics lyrics{{"Song", "By"},
                             {lineOf({{"Hello", 480}, {"world", 600}}),
                              lineOf({{"Second", 960}}),
                              lineOf({{"third", 1200}, {"{x}", 1272}}),
                              lineOf({{"far", 6000}})}};
    const std::string ass = writeAss({lyrics, TempoMap{}, "1.2.3"});
    EXPECT_EQ(ass.rfind("[Script Info]\n; Karaoke subtitles written by kdb2mid 1.2.3\n"
                        "Title: Song\nScriptType: v4.00+\n", 0),
              0U);
    for (const char* part : {"PlayResX: 1920\n", "PlayResY: 1080\n", "[V4+ Styles]\n",
                             "Style: Upper,DejaVu Sans,144,", "Style: Lower,DejaVu Sans,144,",
                             "\n[Events]\nFormat: Layer, Start, End, Style, Name, "}) {
        EXPECT_NE(ass.find(part), std::string::npos) << part;
    }
    // The first word at 2 s leaves no room for a title screen: the first two
    // lines show from the start. Line 3 comes up as soon as line 1 has been
    // sung (its last word filled for 1 s, then 0.2 s); line 4 once line 2 has
    // gone, but no more than 8 s before its word at 25 s.
    EXPECT_EQ(dialogues(ass),
              (std::vector<std::string>{
                  "Dialogue: 0,0:00:00.00,0:00:03.70,Upper,,0,0,0,,{\\k200}{\\kf50}Hello "
                  "{\\kf100}world",
                  "Dialogue: 0,0:00:00.00,0:00:05.20,Lower,,0,0,0,,{\\k400}{\\kf100}Second",
                  "Dialogue: 0,0:00:03.70,0:00:06.50,Upper,,0,0,0,,{\\k130}{\\kf30}third "
                  "{\\kf100}\\{x\\}",
                  "Dialogue: 0,0:00:17.00,0:00:26.20,Lower,,0,0,0,,{\\k800}{\\kf100}far",
              }));
}

// Each word starts filling at the line's start plus the durations before it:
// exactly its own rounded time, however many words came before.
TEST(AssFile, WordsStartOnTimeWithoutDrift) {
    TimedLine line;
    // 1 tick is 1/240 s, so these times fall between hundredths.
    for (std::uint64_t tick = 1000; tick < 1000 + 7 * 24; tick += 7) {
        line.words.push_back({"la", tick});
    }
    const TimedLyrics lyrics{{}, {line}};
    const std::vector<std::string> lines = dialogues(writeAss({lyrics, TempoMap{}, "x"}));
    ASSERT_EQ(lines.size(), 1U);
    const std::string& text = lines[0];
    EXPECT_EQ(text.find("\u2026"), std::string::npos) << "no word cut off";
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

TEST(AssFile, TitleScreenBreaksAndCountdowns) {
    const std::vector<std::string> around = {"Title", "Countdown", "BreakTitle", "Bar"};
    const struct {
        const char* name;
        TimedLyrics lyrics;
        std::int64_t leadIn;
        std::vector<std::string> expected;  // the events around the lyric lines
    } cases[] = {
        {"a long intro: the title until the first lines come up 8 s before their word, "
         "three dots in the last three seconds",
         linesAt({"Song {1}", "Artist"}, {1500}), 0,
         {"Dialogue: 0,0:00:00.00,0:00:07.00,Title,,0,0,0,,{\\fad(0,200)}Song \\{1\\}\\N{\\fs84}Artist",
          "Dialogue: 0,0:00:12.00,0:00:13.00,Countdown,,0,0,0,,\u25CF \u25CF \u25CF",
          "Dialogue: 0,0:00:13.00,0:00:14.00,Countdown,,0,0,0,,\u25CF \u25CF",
          "Dialogue: 0,0:00:14.00,0:00:15.00,Countdown,,0,0,0,,\u25CF"}},
        {"the video's lead-in: a first word at 0 s comes at 5 s, after 3 s of title",
         linesAt({"Song"}, {0}), 500,
         {"Dialogue: 0,0:00:00.00,0:00:03.00,Title,,0,0,0,,{\\fad(0,200)}Song",
          "Dialogue: 0,0:00:02.00,0:00:03.00,Countdown,,0,0,0,,\u25CF \u25CF \u25CF",
          "Dialogue: 0,0:00:03.00,0:00:04.00,Countdown,,0,0,0,,\u25CF \u25CF",
          "Dialogue: 0,0:00:04.00,0:00:05.00,Countdown,,0,0,0,,\u25CF"}},
        {"a break of 8 s after a line's last word: the title small and a bar until the "
         "next line is sung, and a countdown",
         linesAt({"Song"}, {350, 1250}), 0,
         {"Dialogue: 0,0:00:00.00,0:00:01.50,Title,,0,0,0,,{\\fad(0,200)}Song",
          "Dialogue: 0,0:00:00.50,0:00:01.50,Countdown,,0,0,0,,\u25CF \u25CF \u25CF",
          "Dialogue: 0,0:00:01.50,0:00:02.50,Countdown,,0,0,0,,\u25CF \u25CF",
          "Dialogue: 0,0:00:02.50,0:00:03.50,Countdown,,0,0,0,,\u25CF",
          "Dialogue: 0,0:00:04.70,0:00:12.50,BreakTitle,,0,0,0,,Song",
          "Dialogue: 0,0:00:04.70,0:00:12.50,Bar,,0,0,0,,{\\pos(360,900)\\c&H404040&\\p1}"
          "m 0 0 l 1200 0 1200 24 0 24",
          "Dialogue: 1,0:00:04.70,0:00:12.50,Bar,,0,0,0,,{\\pos(360,900)\\p1\\t(0,7800,\\fscx0)}"
          "m 0 0 l 1200 0 1200 24 0 24",
          "Dialogue: 0,0:00:09.50,0:00:10.50,Countdown,,0,0,0,,\u25CF \u25CF \u25CF",
          "Dialogue: 0,0:00:10.50,0:00:11.50,Countdown,,0,0,0,,\u25CF \u25CF",
          "Dialogue: 0,0:00:11.50,0:00:12.50,Countdown,,0,0,0,,\u25CF"}},
        {"a break just short of 8 s: none; the first word soon and no lead-in: no title "
         "screen, the dots that fit",
         linesAt({"Song", "Artist"}, {150, 1049}), 0,
         {"Dialogue: 0,0:00:00.00,0:00:00.50,Countdown,,0,0,0,,\u25CF \u25CF",
          "Dialogue: 0,0:00:00.50,0:00:01.50,Countdown,,0,0,0,,\u25CF"}},
        {"no titles: no title screen, and no title in a break", linesAt({"", " "}, {400, 1400}),
         0,
         {"Dialogue: 0,0:00:01.00,0:00:02.00,Countdown,,0,0,0,,\u25CF \u25CF \u25CF",
          "Dialogue: 0,0:00:02.00,0:00:03.00,Countdown,,0,0,0,,\u25CF \u25CF",
          "Dialogue: 0,0:00:03.00,0:00:04.00,Countdown,,0,0,0,,\u25CF",
          "Dialogue: 0,0:00:05.20,0:00:14.00,Bar,,0,0,0,,{\\pos(360,900)\\c&H404040&\\p1}"
          "m 0 0 l 1200 0 1200 24 0 24",
          "Dialogue: 1,0:00:05.20,0:00:14.00,Bar,,0,0,0,,{\\pos(360,900)\\p1\\t(0,8800,\\fscx0)}"
          "m 0 0 l 1200 0 1200 24 0 24",
          "Dialogue: 0,0:00:11.00,0:00:12.00,Countdown,,0,0,0,,\u25CF \u25CF \u25CF",
          "Dialogue: 0,0:00:12.00,0:00:13.00,Countdown,,0,0,0,,\u25CF \u25CF",
          "Dialogue: 0,0:00:13.00,0:00:14.00,Countdown,,0,0,0,,\u25CF"}},
    };
    for (const auto& test : cases) {
        EXPECT_EQ(dialogues(writeAss({test.lyrics, TempoMap{}, "x", test.leadIn}), around),
                  test.expected)
            << test.name;
    }
}

// The lead-in makes room for 3 s of title and 2 s of the first lines.
TEST(AssFile, TitleLeadInOnlyWhereTheIntroIsShort) {
    const struct {
        TimedLyrics lyrics;
        std::int64_t expected;
    } cases[] = {
        {linesAt({"Song"}, {0}), 500},
        {linesAt({"Song", "Artist"}, {240}), 260},
        {linesAt({"", "Artist"}, {499}), 1},
        {linesAt({"Song"}, {500}), 0},
        {linesAt({" ", ""}, {0}), 0},
        {TimedLyrics{{"Song"}, {}}, 0},
    };
    for (const auto& test : cases) {
        EXPECT_EQ(titleLeadIn(test.lyrics, TempoMap{}), test.expected)
            << test.lyrics.titles.size() << " titles";
    }
}

// Lines too wide for the picture at 144: split where the halves are most
// even, then smaller, then cut with an ellipsis, never wider than the safe
// area as the face's widths say. A title the same way.
TEST(AssFile, LongLinesWrapThenShrinkThenEndInAnEllipsis) {
    const auto words = [](int count, const std::string& word) {
        TimedLine line;
        for (int i = 0; i < count; ++i) {
            line.words.push_back({word, static_cast<std::uint64_t>(2400 + i * 24)});
        }
        return line;
    };
    const struct {
        const char* name;
        TimedLine line;
        const char* expected;  // the text after the karaoke tags are taken out
    } cases[] = {
        {"fits", words(3, "mây"), "mây mây mây"},
        {"two rows at the largest size, the split most even", words(7, "trông"),
         "trông trông trông\\Ntrông trông trông trông"},
        {"smaller on two rows", words(10, "trông"),
         "{\\fs115}trông trông trông trông trông\\Ntrông trông trông trông trông"},
        {"cut after two rows at the smallest size", words(40, "trông"),
         "{\\fs96}trông trông trông trông trông\\Ntrông trông trông trông trông\u2026"},
        {"one word too wide for a row", words(1, std::string(60, 'W')),
         "{\\fs96}WWWWWWWWWWWWWWWWW\u2026"},
    };
    for (const auto& test : cases) {
        const std::vector<std::string> lines =
            dialogues(writeAss({TimedLyrics{{}, {test.line}}, TempoMap{}, "x"}));
        ASSERT_EQ(lines.size(), 1U) << test.name;
        std::string text = lines[0].substr(lines[0].find(",,0,0,0,,") + 9);
        for (std::size_t at; (at = text.find("{\\k")) != std::string::npos;) {
            text.erase(at, text.find('}', at) + 1 - at);
        }
        EXPECT_EQ(text, test.expected) << test.name;
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
