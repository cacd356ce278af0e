#include "convert/convert_song.hpp"

#include <gtest/gtest.h>

#include "midi/midi_file.hpp"
#include "format/byte_order.hpp"
#include "generator/database_writer.hpp"
#include "test_support.hpp"

namespace kdb2mid {
namespace {

using test::bytes;
using test::Bytes;
using Outcome = SongResult::Outcome;

constexpr std::int32_t kSong = 21092;

sample::SongSpec simpleSong() {
    sample::SongSpec song;
    song.tracks = {bytes({0x00, 0x90, 0x3C, 0x64, 0x78, 0x80, 0x3C, 0x00, 0x00, 0xFF, 0x2F, 0x00})};
    song.lyricBlock = sample::buildLyricBlock({"Song"}, {{" La", false, {0, 60, 60}}});
    return song;
}

sample::SongSpec chorusSong(std::uint8_t count, std::uint16_t firstEntry) {
    sample::SongSpec song = simpleSong();
    song.flags = 0x80;
    song.chorusCount = count;
    song.chorusIndex = firstEntry;
    return song;
}

// CHORUS.DAT of `units` 2048-byte units, each filled with its own number.
Bytes chorusData(std::size_t units) {
    Bytes data;
    for (std::size_t unit = 0; unit < units; ++unit) data.insert(data.end(), 2048, static_cast<std::uint8_t>(unit));
    return data;
}

struct Fixture {
    test::TempDir db;
    test::TempDir out;
    SongDatabase database;
    ConvertWorkspace work;

    explicit Fixture(const sample::Database& contents) {
        sample::writeDatabase(contents, db.path());
    }
    SongResult convert(std::int32_t song) {
        EXPECT_EQ(database.open(db.path()), SongDatabase::OpenError::none);
        return convertSong(database, song, out.path(), ConvertOptions{}, work);
    }
};

sample::Database databaseWith(const sample::SongSpec& song) {
    sample::Database contents;
    contents.records.resize(kSong - kFirstSongNumber);
    contents.records.push_back(sample::buildRecord(song));
    contents.records.push_back(sample::buildRecord(simpleSong()));
    contents.chorusData = chorusData(16);
    return contents;
}

TEST(ConvertSong, WritesTheMidiFileAndEachChorusPart) {
    sample::Database contents = databaseWith(chorusSong(3, 1));
    contents.chorusIndex = {{99, 0, 1}, {7, 10, 12}, {8, 12, 15}, {9, 15, 15}};
    Fixture f(contents);
    const SongResult result = f.convert(kSong);
    EXPECT_EQ(result.outcome, Outcome::converted);
    EXPECT_TRUE(result.messages.empty());
    EXPECT_EQ(f.out.files(), (std::vector<std::string>{"21092.mid", "21092_7.mp3", "21092_8.mp3",
                                                        "21092_9.mp3"}));
    Bytes midi;
    ASSERT_EQ(recordToMidi(sample::buildRecord(chorusSong(3, 1)), midi), RecordError::none);
    EXPECT_EQ(sample::readFile(f.out / "21092.mid"), midi);
    const Bytes data = chorusData(16);
    EXPECT_EQ(sample::readFile(f.out / "21092_7.mp3"), Bytes(data.begin() + 10 * 2048, data.begin() + 12 * 2048));
    EXPECT_EQ(sample::readFile(f.out / "21092_8.mp3"), Bytes(data.begin() + 12 * 2048, data.begin() + 15 * 2048));
    EXPECT_TRUE(sample::readFile(f.out / "21092_9.mp3").empty());
}

TEST(ConvertSong, ChorusNamingAndHeaderTests) {
    struct Case {
        const char* what;
        sample::SongSpec song;
        std::vector<ChorusIndexEntry> index;
        std::vector<std::string> files;
    };
    sample::SongSpec noCount = chorusSong(0, 0);
    sample::SongSpec highByte = chorusSong(2, 0xFF05);
    sample::SongSpec lowByte = chorusSong(2, 0x00FF);
    sample::SongSpec noFlag = chorusSong(2, 0);
    noFlag.flags = 0x7F;
    const Case cases[] = {
        {"no recordings", noCount, {{1, 0, 1}}, {"21092.mid"}},
        {"index high byte FF", highByte, {{1, 0, 1}, {2, 1, 2}}, {"21092.mid"}},
        {"index low byte FF", lowByte, {{1, 0, 1}, {2, 1, 2}}, {"21092.mid"}},
        {"flag clear", noFlag, {{1, 0, 1}, {2, 1, 2}}, {"21092.mid"}},
        {"negative part number", chorusSong(1, 0), {{0x80000007, 0, 1}},
         {"21092.mid", "21092_-2147483641.mp3"}},
        {"same part twice", chorusSong(2, 0), {{5, 0, 1}, {5, 2, 3}}, {"21092.mid", "21092_5.mp3"}},
    };
    for (const Case& c : cases) {
        sample::Database contents = databaseWith(c.song);
        contents.chorusIndex = c.index;
        Fixture f(contents);
        const SongResult result = f.convert(kSong);
        EXPECT_EQ(result.outcome, Outcome::converted) << c.what;
        EXPECT_EQ(f.out.files(), c.files) << c.what;
        if (std::string(c.what) == "same part twice") {
            // The later entry replaces the earlier file: unit 2.
            EXPECT_EQ(sample::readFile(f.out / "21092_5.mp3"), Bytes(2048, 2));
        }
    }
}

TEST(ConvertSong, RefusesSongsWithoutAUsableRecord) {
    struct Case {
        const char* what;
        std::int32_t song;
        std::string message;
        Outcome outcome;
    };
    const Case cases[] = {
        {"below the first song", 21089, "Cannot convert song 21089: song numbers start at 21090",
         Outcome::failed},
        {"negative number", -5, "Cannot convert song -5: song numbers start at 21090", Outcome::failed},
        {"past the index", 21094, "Cannot convert song 21094: SONG.IDX has no entry for it",
         Outcome::failed},
        {"far past the index", 2147483647,
         "Cannot convert song 2147483647: SONG.IDX has no entry for it", Outcome::failed},
        {"equal entries", 21090, "Cannot convert song 21090: it has no record", Outcome::skipped},
    };
    for (const Case& c : cases) {
        Fixture f(databaseWith(simpleSong()));
        const SongResult result = f.convert(c.song);
        EXPECT_EQ(result.outcome, c.outcome) << c.what;
        EXPECT_EQ(result.messages, std::vector<std::string>{c.message}) << c.what;
        EXPECT_TRUE(f.out.files().empty()) << c.what;
    }
}

TEST(ConvertSong, RefusesDamagedIndexAndData) {
    Fixture f(databaseWith(simpleSong()));
    // Song 21093's end entry (bytes 16..19) below its start.
    Bytes index = sample::readFile(f.db / "SONG.IDX");
    const Bytes saved = index;
    std::fill(index.begin() + 16, index.begin() + 20, 0);
    sample::writeFile(f.db / "SONG.IDX", index);
    EXPECT_EQ(f.convert(21093).messages,
              std::vector<std::string>{"Cannot convert song 21093: its SONG.IDX entries end before they start"});

    // SONG.DAT cut short inside song 21093's record.
    sample::writeFile(f.db / "SONG.IDX", saved);
    Bytes data = sample::readFile(f.db / "SONG.DAT");
    data.resize(data.size() - 16);
    sample::writeFile(f.db / "SONG.DAT", data);
    EXPECT_EQ(f.convert(21093).messages,
              std::vector<std::string>{"Cannot convert song 21093: its record runs past the end of SONG.DAT"});
    EXPECT_TRUE(f.out.files().empty());
}

TEST(ConvertSong, DamagedRecordLeavesAnExistingFileUntouched) {
    sample::Database contents = databaseWith(simpleSong());
    Bytes& record = contents.records[kSong - kFirstSongNumber];
    record[23] = 20;  // V = 20: no room for two table entries
    Fixture f(contents);
    sample::writeFile(f.out / "21092.mid", bytes({'k', 'e', 'e', 'p'}));
    const SongResult result = f.convert(kSong);
    EXPECT_EQ(result.outcome, Outcome::failed);
    EXPECT_EQ(result.messages,
              std::vector<std::string>{"Cannot convert song 21092: track table has fewer than two entries"});
    EXPECT_EQ(f.out.files(), std::vector<std::string>{"21092.mid"});
    EXPECT_EQ(sample::readFile(f.out / "21092.mid"), bytes({'k', 'e', 'e', 'p'}));
}

TEST(ConvertSong, ShortRecords) {
    // A 16-byte record: too short for the table, but its header still asks
    // for a chorus recording, which is exported.
    sample::Database contents = databaseWith(simpleSong());
    contents.records[kSong - kFirstSongNumber] = bytes({0x80, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    contents.chorusIndex = {{4, 1, 2}};
    Fixture f(contents);
    const SongResult result = f.convert(kSong);
    EXPECT_EQ(result.outcome, Outcome::failed);
    EXPECT_EQ(result.messages,
              std::vector<std::string>{"Cannot convert song 21092: record is shorter than its header"});
    EXPECT_EQ(f.out.files(), std::vector<std::string>{"21092_4.mp3"});
}

TEST(ConvertSong, ChorusFailuresAreReportedAndTheRestExported) {
    struct Case {
        const char* what;
        std::vector<ChorusIndexEntry> index;
        std::vector<std::string> messages;
        std::vector<std::string> files;
    };
    const Case cases[] = {
        {"index ends early", {{1, 0, 1}},
         {"Cannot export chorus of song 21092: CRS&TCK.IDX ends before entry 1"},
         {"21092.mid", "21092_1.mp3"}},
        {"end before start", {{1, 3, 2}, {2, 0, 1}, {3, 0, 1}},
         {"Cannot export chorus part 1 of song 21092: its end lies before its start"},
         {"21092.mid", "21092_2.mp3", "21092_3.mp3"}},
        {"past CHORUS.DAT", {{1, 15, 17}, {2, 0, 1}, {3, 16, 16}},
         {"Cannot export chorus part 1 of song 21092: it runs past the end of CHORUS.DAT"},
         {"21092.mid", "21092_2.mp3", "21092_3.mp3"}},
        {"size near 2^32 units", {{1, 0, 0xFFFFFFFF}, {2, 0, 1}, {3, 0, 1}},
         {"Cannot export chorus part 1 of song 21092: it runs past the end of CHORUS.DAT"},
         {"21092.mid", "21092_2.mp3", "21092_3.mp3"}},
    };
    for (const Case& c : cases) {
        sample::Database contents = databaseWith(chorusSong(3, 0));
        contents.chorusIndex = c.index;
        Fixture f(contents);
        const SongResult result = f.convert(kSong);
        EXPECT_EQ(result.outcome, Outcome::failed) << c.what;
        EXPECT_EQ(result.messages, c.messages) << c.what;
        EXPECT_EQ(f.out.files(), c.files) << c.what;
    }
}

TEST(ConvertSong, MissingChorusFilesAndUncreatableOutputs) {
    sample::Database contents = databaseWith(chorusSong(1, 0));
    contents.chorusIndex = {{1, 0, 1}};
    {
        Fixture f(contents);
        std::filesystem::remove(f.db / "CRS&TCK.IDX");
        const SongResult result = f.convert(kSong);
        EXPECT_EQ(result.messages,
                  std::vector<std::string>{"Cannot export chorus of song 21092: cannot open CRS&TCK.IDX"});
        EXPECT_EQ(f.out.files(), std::vector<std::string>{"21092.mid"});
    }
    {
        Fixture f(contents);
        std::filesystem::remove(f.db / "CHORUS.DAT");
        EXPECT_EQ(f.convert(kSong).messages,
                  std::vector<std::string>{"Cannot export chorus of song 21092: cannot open CHORUS.DAT"});
    }
    {
        Fixture f(contents);
        ASSERT_EQ(f.database.open(f.db.path()), SongDatabase::OpenError::none);
        const std::filesystem::path missing = f.out / "no-such-folder";
        const SongResult result = convertSong(f.database, kSong, missing, ConvertOptions{}, f.work);
        EXPECT_EQ(result.outcome, Outcome::failed);
        EXPECT_EQ(result.messages,
                  (std::vector<std::string>{
                      "Cannot open file " + (missing / "21092.mid").string() + " for writing",
                      "Cannot open file " + (missing / "21092_1.mp3").string() + " for writing"}));
    }
    {
        // Folders that hold the outputs' names cannot be replaced: each
        // output is reported as one that cannot be opened, the folders stay.
        Fixture f(contents);
        ASSERT_EQ(f.database.open(f.db.path()), SongDatabase::OpenError::none);
        const std::vector<std::string> names = {"21092.kar", "21092.mid", "21092_1.mp3"};
        for (const std::string& name : names) std::filesystem::create_directory(f.out / name);
        ConvertOptions options;
        options.outputs.add(Output::karaoke);
        const SongResult result = convertSong(f.database, kSong, f.out.path(), options, f.work);
        EXPECT_EQ(result.outcome, Outcome::failed);
        std::vector<std::string> expected;
        for (const char* name : {"21092.mid", "21092.kar", "21092_1.mp3"}) {
            expected.push_back("Cannot open file " + (f.out / name).string() + " for writing");
        }
        EXPECT_EQ(result.messages, expected);
        EXPECT_EQ(f.out.files(), names);
        for (const std::string& name : names) {
            EXPECT_TRUE(std::filesystem::is_directory(f.out / name)) << name;
        }
    }
}

}  // namespace
}  // namespace kdb2mid
