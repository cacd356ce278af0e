#include "inspect/song_report.hpp"

#include <gtest/gtest.h>

#include "convert/batch_fixture.hpp"
#include "format/byte_order.hpp"

namespace kdb2mid {
namespace {

test::Bytes chorusEntries(std::initializer_list<ChorusIndexEntry> entries) {
    test::Bytes bytes;
    for (const ChorusIndexEntry& entry : entries) {
        appendBigEndian32(bytes, entry.partNumber);
        appendBigEndian32(bytes, entry.start);
        appendBigEndian32(bytes, entry.end);
    }
    return bytes;
}

TEST(SongInfo, DescribesTitlesTracksLengthLyricsAndChorus) {
    const test::Bytes record = test::fixtureDatabase().records[0];
    const test::Bytes entries = chorusEntries({{7, 0, 1}, {8, 1, 3}});
    ChorusFacts chorus{true, entries, 3 * kChorusDataUnit};
    DecodedSong work;
    std::string text;
    ASSERT_EQ(describeSong(21090, record, chorus, work, text), RecordError::none);
    // Tempo 500000 us per quarter for 480 ticks (2 s), then 250000 up to the
    // note track's end at 1200 (720 ticks, 1.5 s).
    EXPECT_EQ(text,
              "Song:               21090\n"
              "Record:             128 bytes, 96 decoded\n"
              "Title:              FIRST SONG\n"
              "Title:              SINGER\n"
              "Data tracks:        2\n"
              "Length:             1200 ticks, 3.5 seconds (0:04)\n"
              "Lyric lines:        2\n"
              "Lyric events:       8\n"
              "Two-byte letters:   no\n"
              "Melody:             none found (best track covers 0% of words)\n"
              "Chorus recordings:  2, from CRS&TCK.IDX entry 1\n"
              "  part 7: 2048 bytes, 21090_7.mp3\n"
              "  part 8: 4096 bytes, 21090_8.mp3\n"
              "Lyrics:\n"
              "  la la\n"
              "  do\n");
}

TEST(SongInfo, ChorusProblemsAreShownNotFatal) {
    const test::Bytes record = test::fixtureDatabase().records[0];
    const test::Bytes twoEntries = chorusEntries({{7, 0, 1}, {0x80000008U, 1, 3}});
    const test::Bytes backwards = chorusEntries({{7, 5, 1}, {8, 1, 3}});
    struct Case {
        const char* name;
        ChorusFacts chorus;
        std::string expected;  // from the chorus line on, up to the lyrics
    };
    const Case cases[] = {
        {"index missing", {false, {}, 3 * kChorusDataUnit},
         "Chorus recordings:  2, from CRS&TCK.IDX entry 1 (CRS&TCK.IDX cannot be opened)\n"},
        {"data missing", {true, twoEntries, std::nullopt},
         "Chorus recordings:  2, from CRS&TCK.IDX entry 1 (CHORUS.DAT cannot be opened)\n"
         "  part 7: 2048 bytes, 21090_7.mp3\n"
         "  part -2147483640: 4096 bytes, 21090_-2147483640.mp3\n"},
        {"index ends early", {true, std::span(twoEntries).first(12 + 5), 3 * kChorusDataUnit},
         "Chorus recordings:  2, from CRS&TCK.IDX entry 1\n"
         "  part 7: 2048 bytes, 21090_7.mp3\n"
         "  CRS&TCK.IDX ends before entry 2\n"},
        {"data too short", {true, twoEntries, 2 * kChorusDataUnit},
         "Chorus recordings:  2, from CRS&TCK.IDX entry 1\n"
         "  part 7: 2048 bytes, 21090_7.mp3\n"
         "  part -2147483640: 4096 bytes, 21090_-2147483640.mp3, runs past the end of CHORUS.DAT\n"},
        {"end before start", {true, backwards, 3 * kChorusDataUnit},
         "Chorus recordings:  2, from CRS&TCK.IDX entry 1\n"
         "  part 7: its end lies before its start\n"
         "  part 8: 4096 bytes, 21090_8.mp3\n"},
    };
    for (const Case& c : cases) {
        DecodedSong work;
        std::string text;
        ASSERT_EQ(describeSong(21090, record, c.chorus, work, text), RecordError::none) << c.name;
        const auto from = text.find("Chorus recordings:");
        const auto to = text.find("Lyrics:");
        ASSERT_NE(from, std::string::npos) << c.name;
        EXPECT_EQ(text.substr(from, to - from), c.expected) << c.name;
    }
}

TEST(SongInfo, TellsWhetherTextHoldsTwoByteLetters) {
    const sample::Database database = test::fixtureDatabase();
    struct Case {
        std::size_t record;
        const char* expected;
    };
    const Case cases[] = {
        {0, "Two-byte letters:   no\n"},
        {4, "Two-byte letters:   yes (--lyrics utf8 writes them as UTF-8)\n"},
    };
    for (const Case& c : cases) {
        DecodedSong work;
        std::string text;
        ASSERT_EQ(describeSong(21090, database.records[c.record], {}, work, text), RecordError::none);
        EXPECT_NE(text.find(c.expected), std::string::npos) << text;
    }
}

TEST(SongInfo, RefusesWhatCannotBeDecoded) {
    struct Case {
        test::Bytes record;
        RecordError expected;
    };
    const Case cases[] = {
        {{}, RecordError::recordTooShort},
        {test::Bytes(5, 0), RecordError::recordTooShort},
        {test::Bytes(32, 0), RecordError::tableTooSmall},
    };
    for (const Case& c : cases) {
        DecodedSong work;
        std::string text = "stale";
        EXPECT_EQ(describeSong(21090, c.record, {}, work, text), c.expected);
        EXPECT_EQ(text, "");
    }
}

}  // namespace
}  // namespace kdb2mid
