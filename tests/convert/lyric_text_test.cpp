#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <utility>
#include <string>

#include "midi/midi_file.hpp"
#include "convert/convert_song.hpp"
#include "midi/kar_track.hpp"
#include "midi/text_track_reader.hpp"
#include "midi/vietnamese_song.hpp"
#include "format/vni_text.hpp"
#include "generator/database_writer.hpp"
#include "test_support.hpp"

namespace kdb2mid {
namespace {

ConvertOptions lyricOptions(LyricText text, bool karaoke) {
    ConvertOptions options;
    options.lyrics = text;
    if (karaoke) options.outputs.add(Output::karaoke);
    return options;
}


using test::Bytes;

std::string hex(const Bytes& data) {
    std::string out;
    char digits[3];
    for (std::uint8_t byte : data) {
        std::snprintf(digits, sizeof digits, "%02X", byte);
        out += digits;
    }
    return out;
}

// The .mid of the Vietnamese test song as the converter wrote it before the
// lyric text options existed: the default must stay exactly this.
const char* const kDefaultMidi =
    "4D546864000000060001000300784D54726B0000000B00FF510307A12000FF2F004D54726B0000001000C000"
    "00903C648360803C4000FF2F004D54726B0000013400FF030E4261F869204861F974205468F6FB00FF030744"
    "61E26E2063618360FF0501201EFF0501581EFF0501691EFF05016E1EFF0501201EFF0501631EFF0501681EFF"
    "050261F81EFF05016F8550FF05014E1EFF0501671EFF0501F61EFF0502F4F81EFF0501691EFF0501201EFF05"
    "01F11EFF050169856EFF0501541EFF0501721EFF05026FE11EFF05016E1EFF0501671EFF0501201EFF050163"
    "1EFF0501F41EFF05016D8550FF0501421EFF050265F81EFF05016F1EFF0501201EFF0501641EFF050261EF1E"
    "FF0501741EFF0501201EFF05016D1EFF050261E21EFF0501791EFF0501201EFF0501741EFF0501721EFF0502"
    "6FE21EFF050169837EFF0501D11EFF050265E21EFF05016D1EFF0501201EFF05016E1EFF0501611EFF050179"
    "860CFF0501481EFF050265E11EFF05017400FF2F00";

// A database in a scratch folder holding one song, 21090.
struct OneSong {
    test::TempDir dir;
    SongDatabase database;
    ConvertWorkspace work;

    explicit OneSong(const Bytes& record) {
        sample::writeDatabase({{record}, {}, {}}, dir.path());
        EXPECT_EQ(database.open(dir.path()), SongDatabase::OpenError::none);
    }
    SongResult convert(const ConvertOptions& options) {
        return convertSong(database, kFirstSongNumber, dir.path(), options, work);
    }
    SongResult convertInto(const std::filesystem::path& folder, const ConvertOptions& options) {
        return convertSong(database, kFirstSongNumber, folder, options, work);
    }
};

const std::vector<std::string> kDatabaseFiles = {"CHORUS.DAT", "CRS&TCK.IDX", "SONG.DAT", "SONG.IDX"};

std::vector<std::string> withDatabase(std::vector<std::string> names) {
    names.insert(names.end(), kDatabaseFiles.begin(), kDatabaseFiles.end());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(LyricText, DefaultOutputIsUnchanged) {
    OneSong song(sample::buildRecord(test::vietnameseSong()));
    const SongResult result = song.convert({});
    ASSERT_EQ(result.outcome, SongResult::Outcome::converted);
    const test::TempDir& dir = song.dir;
    EXPECT_EQ(hex(sample::readFile(dir / "21090.mid")), kDefaultMidi);
    EXPECT_EQ(dir.files(), withDatabase({"21090.mid"}));
}

// UTF-8 text also ends each lyric line as players that show lyric events
// expect: "\r" after a line, "\n" after a paragraph of four and the last.
TEST(LyricText, Utf8ChangesOnlyTheTextsOfTheLyricTrack) {
    OneSong song(sample::buildRecord(test::vietnameseSong()));
    ASSERT_EQ(song.convert({}).outcome, SongResult::Outcome::converted);
    const Bytes stored = sample::readFile(song.dir / "21090.mid");
    ASSERT_EQ(song.convert(lyricOptions(LyricText::utf8, false)).outcome, SongResult::Outcome::converted);
    const Bytes utf8 = sample::readFile(song.dir / "21090.mid");
    EXPECT_EQ(song.dir.files(), withDatabase({"21090.mid"}));

    const std::vector<test::Chunk> storedChunks = test::readChunks(stored);
    const std::vector<test::Chunk> utf8Chunks = test::readChunks(utf8);
    ASSERT_EQ(storedChunks.size(), utf8Chunks.size());
    for (std::size_t i = 0; i + 1 < storedChunks.size(); ++i) {
        EXPECT_EQ(storedChunks[i].body, utf8Chunks[i].body);
    }
    const auto storedEvents = test::readMetaEvents(storedChunks.back().body);
    const auto utf8Events = test::readMetaEvents(utf8Chunks.back().body);
    ASSERT_EQ(storedEvents.size(), utf8Events.size());
    std::vector<std::string> titles;
    std::string lyrics;
    for (std::size_t i = 0; i < utf8Events.size(); ++i) {
        // Same events at the same times; each text decoded on its own.
        EXPECT_EQ(utf8Events[i].type, storedEvents[i].type);
        EXPECT_EQ(utf8Events[i].time, storedEvents[i].time);
        const std::string& text = storedEvents[i].data;
        std::string decoded = utf8Events[i].data;
        if (!decoded.empty() && (decoded.back() == '\r' || decoded.back() == '\n')) {
            EXPECT_EQ(utf8Events[i].type, 0x05);
            decoded.pop_back();
        }
        EXPECT_EQ(decoded, decodeVniToUtf8(Bytes(text.begin(), text.end())));
        if (utf8Events[i].type == 0x03) titles.push_back(utf8Events[i].data);
        if (utf8Events[i].type == 0x05) lyrics += utf8Events[i].data;
    }
    EXPECT_EQ(titles, test::kVietnameseTitlesShown);
    const auto& lines = test::kVietnameseLinesShown;
    EXPECT_EQ(lyrics, lines[0] + "\r" + lines[1] + "\r" + lines[2] + "\r" + lines[3] + "\n" +
                          lines[4] + "\r" + lines[5] + "\n");
}

// The song's own tracks carry texts too (the first track's name is the
// title players show): decoded with the lyrics, as stored without.
TEST(LyricText, Utf8DecodesTheTextsOfTheDataTracks) {
    sample::SongSpec spec = test::vietnameseSong();
    // Track name "Trống Cơm" and a marker "Đêm", the tempo between them.
    const Bytes name = {'T', 'r', 'o', 0xE1, 'n', 'g', ' ', 'C', 0xF4, 'm'};
    Bytes conductor = {0x00, 0xFF, 0x03, static_cast<std::uint8_t>(name.size())};
    conductor.insert(conductor.end(), name.begin(), name.end());
    const Bytes rest = {0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20,  //
                        0x83, 0x60, 0xFF, 0x06, 0x04, 0xD1, 0x65, 0xE2, 'm', 0x00, 0xFF, 0x2F, 0x00};
    conductor.insert(conductor.end(), rest.begin(), rest.end());
    spec.tracks.front() = conductor;
    const Bytes record = sample::buildRecord(spec);

    Bytes stored;
    ASSERT_EQ(recordToMidi(record, stored, LyricText::stored), RecordError::none);
    EXPECT_EQ(test::readChunks(stored)[1].body, conductor);

    for (const bool karaoke : {false, true}) {
        Bytes file;
        ASSERT_EQ(karaoke ? recordToKaraoke(record, file, LyricText::utf8)
                          : recordToMidi(record, file, LyricText::utf8),
                  RecordError::none);
        const std::vector<test::Chunk> chunks = test::readChunks(file);
        ASSERT_EQ(chunks.size(), 4U);
        const auto events = test::readMetaEvents(chunks[1].body);
        ASSERT_EQ(events.size(), 4U);
        EXPECT_EQ(events[0].data, "Trống Cơm");
        EXPECT_EQ(events[2].type, 0x06);
        EXPECT_EQ(events[2].time, 480U);
        EXPECT_EQ(events[2].data, "Đêm");
        // The melody track has no text: as stored.
        EXPECT_EQ(chunks[2].body, test::readChunks(stored)[2].body);
    }
}

TEST(LyricText, KaraokeWritesTheKarNextToTheMid) {
    const Bytes record = sample::buildRecord(test::vietnameseSong());
    OneSong song(record);
    for (const LyricText text : {LyricText::utf8, LyricText::stored}) {
        const SongResult result = song.convert(lyricOptions(text, true));
        ASSERT_EQ(result.outcome, SongResult::Outcome::converted);
        EXPECT_TRUE(result.messages.empty());
        EXPECT_EQ(song.dir.files(), withDatabase({"21090.kar", "21090.mid"}));
        Bytes mid;
        Bytes kar;
        ASSERT_EQ(recordToMidi(record, mid, text), RecordError::none);
        ASSERT_EQ(recordToKaraoke(record, kar, text), RecordError::none);
        EXPECT_EQ(sample::readFile(song.dir / "21090.mid"), mid);
        EXPECT_EQ(sample::readFile(song.dir / "21090.kar"), kar);
    }
}

TEST(LyricText, KaraokeOfABrokenRecordWritesNothing) {
    Bytes record = sample::buildRecord(test::vietnameseSong());
    record.resize(48);  // the compressed stream cut short: its table points past it
    OneSong song(record);
    const SongResult result = song.convert(lyricOptions(LyricText::utf8, true));
    EXPECT_EQ(result.outcome, SongResult::Outcome::failed);
    EXPECT_EQ(result.messages.size(), 1u);  // the record is reported once
    EXPECT_EQ(song.dir.files(), withDatabase({}));
}

TEST(LyricText, KaraokeIntoAFolderThatIsNotThere) {
    OneSong song(sample::buildRecord(test::vietnameseSong()));
    const std::filesystem::path missing = song.dir / "missing";
    const SongResult result = song.convertInto(missing, lyricOptions(LyricText::utf8, true));
    EXPECT_EQ(result.outcome, SongResult::Outcome::failed);
    EXPECT_EQ(result.messages,
              (std::vector<std::string>{"Cannot open file " + displayName(missing / "21090.mid") +
                                            " for writing",
                                        "Cannot open file " + displayName(missing / "21090.kar") +
                                            " for writing"}));
}

TEST(LyricText, TellsWhetherASongHoldsTwoByteLetters) {
    sample::SongSpec ascii;
    ascii.lyricBlock = sample::buildLyricBlock({"Title"}, {{" la", false, {0, 1, 1}}});
    for (const auto& [spec, expected] :
         {std::pair{test::vietnameseSong(), true}, std::pair{ascii, false}}) {
        DecodedSong work;
        ASSERT_EQ(decodeSong(sample::buildRecord(spec), work), RecordError::none);
        EXPECT_EQ(hasEncodedLetters(work.image.bytes(), work.lyrics), expected);
    }
}

// The bundled sample database's Vietnamese songs, when it is there.
TEST(LyricText, SampleDatabaseTitlesDecode) {
    const std::filesystem::path folder = test::sampleDatabaseDir();
    if (!std::filesystem::exists(folder / "SONG.IDX")) GTEST_SKIP() << "no sample database";
    SongDatabase database;
    ASSERT_EQ(database.open(folder), SongDatabase::OpenError::none);
    const struct {
        std::int32_t song;
        const char* title;
    } songs[] = {{50004, "Trống Cơm"}, {50005, "Bèo Dạt Mây Trôi"}};
    for (const auto& expected : songs) {
        const RecordLookup where = database.locate(expected.song);
        ASSERT_EQ(where.outcome, RecordLookup::Outcome::found) << expected.song;
        Bytes record;
        ASSERT_TRUE(database.readRecord(where, record));
        DecodedSong work;
        ASSERT_EQ(decodeSong(record, work), RecordError::none);
        std::string titles;
        for (const TextRef& title : work.lyrics.titles) {
            titles += decodeVniToUtf8(textBytes(work.image.bytes(), title)) + "\n";
        }
        EXPECT_NE(titles.find(expected.title), std::string::npos) << titles;
        EXPECT_TRUE(hasEncodedLetters(work.image.bytes(), work.lyrics));

        test::TempDir out;
        ConvertWorkspace convertWork;
        const SongResult result =
            convertSong(database, expected.song, out.path(), lyricOptions(LyricText::utf8, true), convertWork);
        EXPECT_EQ(result.outcome, SongResult::Outcome::converted);
        EXPECT_TRUE(std::filesystem::exists(out / (std::to_string(expected.song) + ".kar")));
    }
}

}  // namespace
}  // namespace kdb2mid
