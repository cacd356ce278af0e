#include "io/song_database.hpp"

#include <gtest/gtest.h>

#include <limits>

#include "format/byte_order.hpp"
#include "generator/database_writer.hpp"
#include "test_support.hpp"
#include "messages/messages.hpp"

namespace kdb2mid {
namespace {

using Outcome = RecordLookup::Outcome;

// The index read whole must answer every lookup exactly as the two entries
// read from the file do: a batch and a single song must agree on every song.
TEST(SongDatabaseIndex, LoadedIndexLocatesAsTheFileDoes) {
    test::TempDir folder;
    // Entries in 16-byte units: 0, 2, 2, 1 (goes back), 3, 40 (past SONG.DAT's
    // 48 bytes), and a last entry that only ends the song before it.
    test::Bytes index;
    for (std::uint32_t entry : {0U, 2U, 2U, 1U, 3U, 40U}) appendBigEndian32(index, entry);
    index.push_back(0xAB);  // a stray byte: not a whole entry
    sample::writeFile(folder / kSongIndexFile, index);
    sample::writeFile(folder / kSongDataFile, test::Bytes(48, 0x11));

    struct Case {
        std::int32_t song;
        RecordLookup expected;
    };
    const Case cases[] = {
        {kFirstSongNumber - 1, {Outcome::belowFirstSong}},
        {std::numeric_limits<std::int32_t>::min(), {Outcome::belowFirstSong}},
        {21090, {Outcome::found, 0, 32}},
        {21091, {Outcome::empty, 32, 0}},
        {21092, {Outcome::endBeforeStart}},
        {21093, {Outcome::found, 16, 32}},
        {21094, {Outcome::pastDataEnd, 48, 592}},
        {21095, {Outcome::pastIndexEnd}},
        {21096, {Outcome::pastIndexEnd}},
        {std::numeric_limits<std::int32_t>::max(), {Outcome::pastIndexEnd}},
    };
    SongDatabase database;
    ASSERT_EQ(database.open(folder.path()), SongDatabase::OpenError::none);
    // By offset, and through one block kept from lookup to lookup.
    IndexBlock block;
    for (const Case& c : cases) {
        for (const bool blocked : {false, true}) {
            const RecordLookup got = blocked ? database.locate(c.song, block) : database.locate(c.song);
            EXPECT_EQ(got.outcome, c.expected.outcome) << c.song;
            if (got.outcome == Outcome::found || got.outcome == Outcome::empty ||
                got.outcome == Outcome::pastDataEnd) {
                EXPECT_EQ(got.start, c.expected.start) << c.song;
                EXPECT_EQ(got.length, c.expected.length) << c.song;
            }
        }
    }
    EXPECT_EQ(database.songCount(), 5);
}

TEST(SongDatabaseIndex, EmptyIndexLoadsAndAddressesNoSong) {
    test::TempDir folder;
    sample::writeFile(folder / kSongIndexFile, {});
    sample::writeFile(folder / kSongDataFile, {});
    SongDatabase database;
    ASSERT_EQ(database.open(folder.path()), SongDatabase::OpenError::none);
    EXPECT_EQ(database.songCount(), 0);
    EXPECT_EQ(database.locate(kFirstSongNumber).outcome, Outcome::pastIndexEnd);
}

TEST(SongDatabaseIndex, OpenErrorsNameTheMissingFile) {
    test::TempDir folder;
    SongDatabase database;
    EXPECT_EQ(database.open(folder.path()), SongDatabase::OpenError::songIndex);
    sample::writeFile(folder / kSongIndexFile, {});
    EXPECT_EQ(database.open(folder.path()), SongDatabase::OpenError::songData);
    EXPECT_STREQ(databaseOpenFailure(SongDatabase::OpenError::songIndex), "Cannot open SONG.IDX");
    EXPECT_STREQ(databaseOpenFailure(SongDatabase::OpenError::songData), "Cannot open SONG.DAT");
}

}  // namespace
}  // namespace kdb2mid
