// Sizes that the index files claim are checked against the file they address
// before anything is allocated from them: a damaged entry costs a message,
// not gigabytes.
#include <gtest/gtest.h>

#include "convert/convert_song.hpp"
#include "export/legacy_record.hpp"
#include "format/byte_order.hpp"
#include "generator/database_writer.hpp"
#include "test_support.hpp"

namespace kdb2mid {
namespace {

using test::Bytes;

constexpr std::int32_t kSong = 21091;

sample::SongSpec chorusSong() {
    sample::SongSpec song;
    song.tracks = {test::bytes({0x00, 0x90, 0x3C, 0x64, 0x78, 0x80, 0x3C, 0x00})};
    song.lyricBlock = sample::buildLyricBlock({"Song"}, {{" La", false, {0, 60, 60}}});
    song.flags = 0x80;
    song.chorusCount = 1;
    song.chorusIndex = 0;
    return song;
}

struct Database {
    test::TempDir db;
    test::TempDir out;

    explicit Database(const ChorusIndexEntry& chorus) {
        sample::Database contents;
        contents.records = {sample::buildRecord(chorusSong()), sample::buildRecord(chorusSong())};
        contents.chorusIndex = {chorus};
        contents.chorusData = Bytes(4 * kChorusDataUnit, 0x55);
        sample::writeDatabase(contents, db.path());
    }
    // Replaces song kSong's SONG.IDX entries (its start and its end).
    void setRecordEntries(std::uint32_t start, std::uint32_t end) {
        Bytes index = sample::readFile(db / "SONG.IDX");
        Bytes entries;
        appendBigEndian32(entries, start);
        appendBigEndian32(entries, end);
        std::copy(entries.begin(), entries.end(), index.begin() + 4);
        sample::writeFile(db / "SONG.IDX", index);
    }
    SongResult convert(ConvertWorkspace& work) {
        SongDatabase database;
        EXPECT_EQ(database.open(db.path()), SongDatabase::OpenError::none);
        return convertSong(database, kSong, out.path(), ConvertOptions{}, work);
    }
};

TEST(ClaimedSizes, RecordBeyondSongDataIsRefusedBeforeAllocation) {
    struct Case {
        const char* what;
        std::uint32_t start;  // 16-byte units
        std::uint32_t end;
    };
    const std::uint32_t dataUnits =
        static_cast<std::uint32_t>(sample::buildRecord(chorusSong()).size() * 2 / kSongDataUnit);
    const Case cases[] = {
        {"4 GiB record", 0, 0x10000000},
        {"end entry near 2^32 units", 0, 0xFFFFFFFF},
        {"both entries near 2^32 units", 0xFFFFFFF0, 0xFFFFFFFF},
        {"one unit past SONG.DAT", 1, dataUnits + 1},
    };
    for (const Case& c : cases) {
        Database database({1, 0, 1});
        database.setRecordEntries(c.start, c.end);
        ConvertWorkspace work;
        const SongResult result = database.convert(work);
        EXPECT_EQ(result.outcome, SongResult::Outcome::failed) << c.what;
        EXPECT_EQ(result.messages, std::vector<std::string>{
                                       "Cannot convert song 21091: its record runs past the end of SONG.DAT"})
            << c.what;
        EXPECT_EQ(work.record.capacity(), 0U) << c.what;
        EXPECT_EQ(work.song.image.capacity(), 0U) << c.what;
        EXPECT_TRUE(database.out.files().empty()) << c.what;
    }
}

TEST(ClaimedSizes, ChorusRecordingBeyondChorusDataIsRefusedBeforeAllocation) {
    struct Case {
        const char* what;
        ChorusIndexEntry entry;  // part number, start and end in 2048-byte units
    };
    const Case cases[] = {
        {"size near 2^32 units", {1, 0, 0xFFFFFFFF}},
        {"one unit near 2^32 units", {1, 0xFFFFFFFE, 0xFFFFFFFF}},
        {"one unit past CHORUS.DAT", {1, 3, 5}},
    };
    for (const Case& c : cases) {
        Database database(c.entry);
        ConvertWorkspace work;
        const SongResult result = database.convert(work);
        EXPECT_EQ(result.outcome, SongResult::Outcome::failed) << c.what;
        EXPECT_EQ(result.messages,
                  std::vector<std::string>{
                      "Cannot export chorus part 1 of song 21091: it runs past the end of CHORUS.DAT"})
            << c.what;
        EXPECT_EQ(work.copyBuffer.capacity(), 0U) << c.what;
        EXPECT_EQ(database.out.files(), std::vector<std::string>{"21091.mid"}) << c.what;
    }
}

TEST(ClaimedSizes, LegacyRecordBeyondSongDatIsRefusedAndCopiesUseABoundedBuffer) {
    using Outcome = LegacyRecordLocation::Outcome;
    const std::uint8_t nearTwoTo32[8] = {0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF};
    const LegacyRecordLocation refused = legacyRecordAt(nearTwoTo32, 4 * kChorusDataUnit);
    EXPECT_EQ(refused.outcome, Outcome::pastDataEnd);

    // A record as large as song.dat is copied through a buffer of fixed size.
    test::TempDir dir;
    const Bytes data(3 << 20, 0x5A);
    sample::writeFile(dir / "song.dat", data);
    RandomAccessFile file;
    ASSERT_TRUE(file.open(dir / "song.dat"));
    const std::uint8_t wholeFile[8] = {0, 0, 0, 0, 0x00, 0x30, 0x00, 0x00};
    const LegacyRecordLocation where = legacyRecordAt(wholeFile, data.size());
    ASSERT_EQ(where.outcome, Outcome::found);
    std::vector<std::uint8_t> buffer;
    Bytes copied;
    VectorSink sink(copied);
    ASSERT_TRUE(extractLegacyRecord(file, where, sink, buffer));
    EXPECT_EQ(copied, data);
    EXPECT_LE(buffer.capacity(), std::size_t{1} << 20);
}

}  // namespace
}  // namespace kdb2mid
