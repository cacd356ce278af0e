// The pieces the sample database is built from: letter encoding, lyric
// timing, MIDI track bodies and chorus data.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "midi/midi_file.hpp"
#include "generator/database_writer.hpp"
#include "generator/lead_sheet.hpp"
#include "generator/midi_track_builder.hpp"
#include "generator/vni_encoding.hpp"
#include "test_support.hpp"

namespace kdb2mid::sample {
namespace {

TEST(EncodeVni, StoresLettersAsTheDatabaseDoes) {
    const struct {
        const char* utf8;
        const char* stored;
    } cases[] = {
        {"Xin chào", "Xin cha\xF8o"},
        {"ÀÁẢÃẠ", "A\xD8" "A\xD9" "A\xDB" "A\xD5" "A\xCF"},
        {"ấầẩẫậ", "a\xE1" "a\xE0" "a\xE5" "a\xE3" "a\xE4"},
        {"ĂẮẰẲẴẶ", "A\xCA" "A\xC9" "A\xC8" "A\xDA" "A\xDC" "A\xCB"},
        {"ÊỆ", "E\xC2" "E\xC4"},
        {"ÍÌỈĨỊíìỉĩị", "\xCD\xCC\xC6\xD3\xD2\xED\xEC\xE6\xF3\xF2"},
        {"ƠỚờ", "\xD4\xD4\xD9\xF4\xF8"},
        {"ỔỘ", "O\xC5" "O\xC4"},
        {"ƯỨựừ", "\xD6\xD6\xD9\xF6\xEF\xF6\xF8"},
        {"ÚÙŨũ", "U\xD9" "U\xD8" "U\xD5" "u\xF5"},
        {"ÝỲỶỸỴýỵ", "Y\xD9" "Y\xD8" "Y\xDB" "Y\xD5" "\xCE" "y\xF9" "\xEE"},
        {"Đđ", "\xD1\xF1"},
        {"plain, ASCII 0-9!", "plain, ASCII 0-9!"},
    };
    for (const auto& c : cases) EXPECT_EQ(encodeVni(c.utf8), c.stored) << c.utf8;
}

TEST(EncodeVni, RefusesWhatItCannotStore) {
    // Cut-off sequences, a stray continuation byte, a letter outside the
    // table, and e followed by a combining acute.
    for (const char* bad : {"\xC3", "\xE1\xBB", "\x80", "ß", "e\xCC\x81"}) {
        EXPECT_THROW(encodeVni(bad), std::invalid_argument) << testing::PrintToString(bad);
    }
}

TEST(TimeLyricLine, TimesEveryLetterAtItsSyllable) {
    // "Tình " "bằng": T ì n h space / b ằ n g, ì a single byte, ằ two.
    const LyricLine line = timeLyricLine({"T\xECnh ", "ba\xE8ng"}, {480, 540}, true);
    EXPECT_EQ(line.text, "T\xECnh ba\xE8ng");
    EXPECT_TRUE(line.mark);
    EXPECT_EQ(line.words, (std::vector<std::uint16_t>{480, 0, 0, 0, 0, 60, 0, 0, 0}));

    // A line opening with a two-byte letter: its first event is still the absolute time.
    EXPECT_EQ(timeLyricLine({"O\xC1 ", "ma\xE1y"}, {1000, 1060}, false).words,
              (std::vector<std::uint16_t>{1000, 0, 60, 0, 0}));
}

TEST(TimeLyricLine, RefusesTimesTheLineCannotHold) {
    EXPECT_THROW(timeLyricLine({"a"}, {65536}, false), std::invalid_argument);
    EXPECT_THROW(timeLyricLine({"a", "b"}, {100, 50}, false), std::invalid_argument);
    // A syllable that begins with a modifier byte would share a letter with the one before.
    EXPECT_THROW(timeLyricLine({"a", "\xD9"}, {0, 10}, false), std::invalid_argument);
    EXPECT_THROW(timeLyricLine({"a"}, {}, false), std::invalid_argument);
}

TEST(MidiTrackBuilder, OrdersEventsAndReleasesBeforeRestriking) {
    MidiTrackBuilder track;
    track.note(120, 120, 0, 60, 100);  // ends where the next one starts
    track.note(240, 60, 0, 60, 90);
    track.programChange(0, 1, 33);
    track.tempo(0, 500000);
    EXPECT_EQ(track.finish(480),
              test::bytes({0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20,  // tempo first
                           0x00, 0xC1, 33,                            // then the program
                           0x78, 0x90, 60, 100,                       // 120
                           0x78, 0x80, 60, 64,                        // 240: off before on
                           0x00, 0x90, 60, 90,
                           0x3C, 0x80, 60, 64,                        // 300
                           0x81, 0x34, 0xFF, 0x2F, 0x00}));           // end at 480
}

TEST(ChorusData, RecordingsFillWholeUnitsAndGetConsecutiveEntries) {
    const Bytes frames = silentMp3Frames(3);
    ASSERT_EQ(frames.size(), 3U * 417);
    EXPECT_EQ(Bytes(frames.begin() + 417, frames.begin() + 421),
              test::bytes({0xFF, 0xFB, 0x90, 0xC4}));

    Database database;
    database.chorusData.assign(100, 0xAA);  // a partial unit before the first recording
    EXPECT_EQ(addChorusRecording(database, 7, frames), 0);
    EXPECT_EQ(addChorusRecording(database, 8, Bytes(2048, 1)), 1);
    ASSERT_EQ(database.chorusIndex.size(), 2U);
    EXPECT_EQ(database.chorusIndex[0].partNumber, 7U);
    EXPECT_EQ(database.chorusIndex[0].start, 1U);
    EXPECT_EQ(database.chorusIndex[0].end, 2U);
    EXPECT_EQ(database.chorusIndex[1].start, 2U);
    EXPECT_EQ(database.chorusIndex[1].end, 3U);
    EXPECT_EQ(database.chorusData.size(), 3U * 2048);
    EXPECT_EQ(database.chorusData[2048], 0xFF);
    EXPECT_EQ(database.chorusData[2048 + frames.size()], 0);
}

TEST(BuildRecord, PadsARecordTooShortForItsImage) {
    // 20000 equal bytes compress to about a tenth of that: without padding
    // the image would not fit the converter's 3 x record-length buffer.
    SongSpec song;
    song.tracks = {Bytes(20000, 0x90)};
    song.lyricBlock = buildLyricBlock({"T"}, {{" a", false, {0, 0}}});
    const Bytes record = buildRecord(song);
    EXPECT_EQ(record.size() % 16, 0U);
    EXPECT_GE(3 * record.size(), 20000U + song.lyricBlock.size());
    Bytes midi;
    EXPECT_EQ(recordToMidi(record, midi), RecordError::none);
}

}  // namespace
}  // namespace kdb2mid::sample
