#include "export/legacy_record.hpp"

#include <gtest/gtest.h>

#include "format/byte_order.hpp"
#include "generator/database_writer.hpp"
#include "test_support.hpp"

namespace kdb2mid {
namespace {

using test::bytes;
using Outcome = LegacyRecordLocation::Outcome;

struct VectorSink final : ByteSink {
    test::Bytes bytes;
    void write(std::span<const std::uint8_t> data) override {
        bytes.insert(bytes.end(), data.begin(), data.end());
    }
};

TEST(LegacyRecordAt, ChecksTheRangeAgainstSongDat) {
    struct Case {
        std::uint32_t start;
        std::uint32_t end;
        Outcome outcome;
        std::uint64_t length;
    };
    const Case cases[] = {
        {4, 10, Outcome::found, 6},
        {7, 7, Outcome::found, 0},  // equal entries: an empty record
        {0, 100, Outcome::found, 100},  // ends exactly at the end of song.dat
        {0, 101, Outcome::pastDataEnd, 101},
        {200, 300, Outcome::pastDataEnd, 100},
        {10, 4, Outcome::endBeforeStart, 0},
        {0xFFFFFFF0, 0xFFFFFFFF, Outcome::pastDataEnd, 15},
    };
    for (const Case& c : cases) {
        test::Bytes entries;
        appendBigEndian32(entries, c.start);
        appendBigEndian32(entries, c.end);
        const LegacyRecordLocation where =
            legacyRecordAt(std::span<const std::uint8_t, 8>(entries.data(), 8), 100);
        EXPECT_EQ(where.outcome, c.outcome) << c.start << ".." << c.end;
        EXPECT_EQ(where.start, c.start);
        EXPECT_EQ(where.length, c.length) << c.start << ".." << c.end;
    }
}

TEST(LocateLegacyRecord, ReadsTheSongsEntryPair) {
    test::TempDir dir;
    // Entries of songs 21090, 21091, 21092 and half of 21093's.
    test::Bytes index;
    for (std::uint32_t entry : {0u, 3u, 8u}) appendBigEndian32(index, entry);
    index.push_back(0);
    sample::writeFile(dir / "song.idx", index);
    RandomAccessFile file;
    ASSERT_TRUE(file.open(dir / "song.idx"));

    struct Case {
        std::int32_t song;
        Outcome outcome;
        std::uint64_t start;
        std::uint64_t length;
    };
    const Case cases[] = {
        {21090, Outcome::found, 0, 3},
        {21091, Outcome::found, 3, 5},
        {21092, Outcome::pastIndexEnd, 0, 0},
        {-2147483647 - 1, Outcome::belowFirstSong, 0, 0},
    };
    for (const Case& c : cases) {
        const LegacyRecordLocation where = locateLegacyRecord(c.song, file, 100);
        EXPECT_EQ(where.outcome, c.outcome) << c.song;
        EXPECT_EQ(where.start, c.start) << c.song;
        EXPECT_EQ(where.length, c.length) << c.song;
    }
}

TEST(ExtractLegacyRecord, CopiesTheRecordUnchangedInBlocks) {
    test::TempDir dir;
    test::Bytes data(3 << 20);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
    sample::writeFile(dir / "song.dat", data);
    RandomAccessFile file;
    ASSERT_TRUE(file.open(dir / "song.dat"));

    for (const LegacyRecordLocation where :
         {LegacyRecordLocation{Outcome::found, 5, 0}, LegacyRecordLocation{Outcome::found, 5, 17},
          LegacyRecordLocation{Outcome::found, 1000, data.size() - 1000}}) {
        VectorSink sink;
        std::vector<std::uint8_t> buffer;
        ASSERT_TRUE(extractLegacyRecord(file, where, sink, buffer));
        const auto from = data.begin() + static_cast<std::ptrdiff_t>(where.start);
        EXPECT_EQ(sink.bytes, test::Bytes(from, from + static_cast<std::ptrdiff_t>(where.length)));
        EXPECT_LE(buffer.size(), std::size_t{1} << 20);
    }
}

}  // namespace
}  // namespace kdb2mid
