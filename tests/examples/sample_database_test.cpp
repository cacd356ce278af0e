// The bundled sample database: the committed files are what the generator
// makes, and every song converts with its titles, lyrics and chorus parts.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "convert/convert_song.hpp"
#include "midi/midi_file.hpp"
#include "io/song_database.hpp"
#include "format/byte_order.hpp"
#include "generator/database_writer.hpp"
#include "generator/sample_songs.hpp"
#include "test_support.hpp"

namespace kdb2mid {
namespace {

using test::Bytes;
using test::TempDir;

Bytes toBytes(const std::string& text) { return Bytes(text.begin(), text.end()); }

const char* const kDatabaseFiles[] = {kSongIndexFile, kSongDataFile, kChorusIndexFile,
                                      kChorusDataFile};

TEST(SampleDatabase, CommittedFilesAreWhatTheGeneratorWrites) {
    TempDir fresh;
    sample::writeDatabase(sample::buildSampleDatabase(), fresh.path());
    for (const char* name : kDatabaseFiles) {
        const Bytes made = sample::readFile(fresh / name);
        const Bytes committed = sample::readFile(test::sampleDatabaseDir() / name);
        EXPECT_EQ(made.size(), committed.size()) << name;
        EXPECT_TRUE(made == committed) << name << " differs: regenerate examples/sample-db";
    }
}

// Reads the song's record and decodes it.
void decodeSample(const SongDatabase& database, std::int32_t song, DecodedSong& work) {
    const RecordLookup where = database.locate(song);
    ASSERT_EQ(where.outcome, RecordLookup::Outcome::found) << song;
    std::vector<std::uint8_t> record;
    ASSERT_TRUE(database.readRecord(where, record));
    ASSERT_EQ(decodeSong(record, work), RecordError::none) << song;
}

std::string textOf(const DecodedSong& work, TextRef ref) {
    const auto bytes = work.image.bytes().subspan(ref.offset, ref.length);
    return std::string(bytes.begin(), bytes.end());
}

struct ExpectedSong {
    std::int32_t number;
    std::uint16_t tracks;  // in the MIDI file, the lyric track included
    const char* title;     // stored bytes
    const char* subtitle;
    std::vector<std::pair<std::string, std::uint64_t>> chorusFiles;  // name, size
};

const std::vector<ExpectedSong>& expectedSongs() {
    static const std::vector<ExpectedSong> songs = {
        {50001, 5, "Twinkle, Twinkle, Little Star", "Traditional, words by Jane Taylor", {}},
        {50002, 5, "Ode to Joy", "Ludwig van Beethoven, words by Henry van Dyke", {}},
        {50003, 6, "Fre\xF8re Jacques", "Traditional (France)", {}},
        {50004, 5, "Tro\xE1ng C\xF4m", "Da\xE2n ca Ba\xE9" "c Bo\xE4",
         {{"50004_1.mp3", 3 * 2048}, {"50004_2.mp3", 2 * 2048}}},
        {50005, 4, "Be\xF8o Da\xEFt Ma\xE2y Tro\xE2i", "Da\xE2n ca Ba\xE9" "c Bo\xE4", {}},
    };
    return songs;
}

TEST(SampleDatabase, EverySongConvertsWithItsTracksTitlesAndChorusParts) {
    SongDatabase database;
    ASSERT_EQ(database.open(test::sampleDatabaseDir()), SongDatabase::OpenError::none);
    ConvertWorkspace work;
    for (const ExpectedSong& song : expectedSongs()) {
        SCOPED_TRACE(song.number);
        TempDir out;
        const SongResult result = convertSong(database, song.number, out.path(), {}, work);
        EXPECT_EQ(result.outcome, SongResult::Outcome::converted);
        EXPECT_TRUE(result.messages.empty());

        std::vector<std::string> expectedFiles{std::to_string(song.number) + ".mid"};
        for (const auto& [name, size] : song.chorusFiles) {
            expectedFiles.push_back(name);
            const Bytes mp3 = sample::readFile(out / name);
            EXPECT_EQ(mp3.size(), size) << name;
            ASSERT_GE(mp3.size(), 4U);
            EXPECT_EQ(Bytes(mp3.begin(), mp3.begin() + 4), test::bytes({0xFF, 0xFB, 0x90, 0xC4}));
        }
        EXPECT_EQ(out.files(), expectedFiles);

        const Bytes midi = sample::readFile(out / expectedFiles.front());
        ASSERT_GE(midi.size(), 14U);
        EXPECT_EQ(Bytes(midi.begin(), midi.begin() + 10),
                  toBytes(std::string("MThd\0\0\0\6\0\1", 10)));
        EXPECT_EQ(readBigEndian16(midi, 10), song.tracks);
        EXPECT_EQ(readBigEndian16(midi, 12), 120);
        // The chunks fill the file exactly.
        std::size_t at = 14;
        std::uint16_t chunks = 0;
        while (at + 8 <= midi.size() &&
               Bytes(midi.begin() + static_cast<std::ptrdiff_t>(at),
                     midi.begin() + static_cast<std::ptrdiff_t>(at) + 4) == toBytes("MTrk")) {
            at += 8 + readBigEndian32(midi, at + 4);
            ++chunks;
        }
        EXPECT_EQ(at, midi.size());
        EXPECT_EQ(chunks, song.tracks);

        decodeSample(database, song.number, work.song);
        ASSERT_EQ(work.song.lyrics.titles.size(), 2U);
        EXPECT_EQ(textOf(work.song, work.song.lyrics.titles[0]), song.title);
        EXPECT_EQ(textOf(work.song, work.song.lyrics.titles[1]), song.subtitle);
    }
    EXPECT_EQ(database.locate(50000).outcome, RecordLookup::Outcome::empty);
    EXPECT_EQ(database.locate(21090).outcome, RecordLookup::Outcome::empty);
}

// Absolute times of the note-ons in a track body (running status allowed).
std::set<std::uint32_t> noteOnTimes(std::span<const std::uint8_t> track) {
    std::set<std::uint32_t> times;
    std::uint32_t time = 0;
    std::uint8_t status = 0;
    std::size_t p = 0;
    const auto varLen = [&] {
        std::uint32_t value = 0;
        std::uint8_t byte = 0x80;
        while ((byte & 0x80) != 0 && p < track.size()) {
            byte = track[p++];
            value = (value << 7) | (byte & 0x7F);
        }
        return value;
    };
    while (p < track.size()) {
        time += varLen();
        if (p >= track.size()) break;
        if ((track[p] & 0x80) != 0) status = track[p++];
        if (status == 0xFF) {
            ++p;  // meta type
            p += varLen();
        } else if (status == 0xF0 || status == 0xF7) {
            p += varLen();
        } else {
            const bool oneDataByte = (status & 0xE0) == 0xC0;  // program change, channel pressure
            if ((status & 0xF0) == 0x90 && p + 1 < track.size() && track[p + 1] != 0) {
                times.insert(time);
            }
            p += oneDataByte ? 1 : 2;
        }
    }
    return times;
}

TEST(SampleDatabase, LyricLettersStartOnMelodyNotes) {
    SongDatabase database;
    ASSERT_EQ(database.open(test::sampleDatabaseDir()), SongDatabase::OpenError::none);
    DecodedSong work;
    for (const ExpectedSong& song : expectedSongs()) {
        SCOPED_TRACE(song.number);
        decodeSample(database, song.number, work);
        const auto& entries = work.table.entries;
        const auto melody =
            noteOnTimes(work.image.bytes().subspan(entries[1], entries[2] - entries[1]));
        ASSERT_FALSE(melody.empty());
        ASSERT_FALSE(work.lyrics.events.empty());
        EXPECT_GT(work.lyrics.lineCount, 3U);
        std::uint32_t time = 0;
        std::set<std::uint32_t> sung;
        for (const LyricEvent& event : work.lyrics.events) {
            time += event.delta;
            EXPECT_TRUE(melody.contains(time))
                << "lyric at " << time << ": " << textOf(work, event.text);
            sung.insert(time);
        }
        EXPECT_EQ(*sung.begin(), *melody.begin()) << "the first letter goes with the first note";
        EXPECT_LE(time, 65535U);
    }
}

TEST(SampleDatabase, VietnameseLyricsKeepTwoByteLettersInOneEvent) {
    struct Case {
        std::int32_t song;
        std::vector<std::string> letters;  // events the lyrics must contain
    };
    const Case cases[] = {
        // ì and đ are single bytes; Ố / ố a base and a modifier, capital and small; ơ a
        // single-byte letter that takes tones; ằ and ă the breve with and without a tone.
        {50004, {"\xEC", "\xF1", "O\xC1", "o\xE1", "\xF4", "a\xE8", "a\xEA"}},
        // è, ạ, â, ô, ẫ, and ợ: the base ơ with a dot below.
        {50005, {"e\xF8", "a\xEF", "a\xE2", "o\xE2", "a\xE3", "\xF4\xEF", "\xF1"}},
    };
    SongDatabase database;
    ASSERT_EQ(database.open(test::sampleDatabaseDir()), SongDatabase::OpenError::none);
    DecodedSong work;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.song);
        decodeSample(database, c.song, work);
        std::set<std::string> events;
        for (const LyricEvent& event : work.lyrics.events) events.insert(textOf(work, event.text));
        for (const std::string& letter : c.letters) {
            EXPECT_TRUE(events.contains(letter))
                << "no lyric event " << testing::PrintToString(letter);
        }
    }
}

}  // namespace
}  // namespace kdb2mid
