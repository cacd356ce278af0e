#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "io/song_database.hpp"
#include "generator/synthetic_song.hpp"
#include "search/catalogue.hpp"
#include "search/search_fixture.hpp"
#include "format/utf8_text.hpp"
#include "test_support.hpp"

namespace kdb2mid {
namespace {

const std::vector<std::string> kTitles = test::kVietnameseTitlesShown;

struct EntryCase {
    const char* what;
    std::string storedName;
    bool withRecord;
    bool damagedRecord;
    std::string name;
    std::vector<std::string> titles;
};

TEST(Catalogue, EntryTakesNameElseFirstTitle) {
    const test::Bytes record = sample::buildRecord(test::vietnameseSong());
    const EntryCase cases[] = {
        {"name and titles", "TRO\xC1NG C\xD4M", true, false, "TRỐNG CƠM", kTitles},
        {"no name", "", true, false, kTitles[0], kTitles},
        {"a name of spaces", "   ", true, false, kTitles[0], kTitles},
        {"spaces around", "  BE\xD8O  ", true, false, "BÈO", kTitles},
        {"no record", "ODE", false, false, "ODE", {}},
        {"damaged record", "ODE", true, true, "ODE", {}},
        {"nothing at all", "", false, false, "", {}},
        {"hostile bytes", "A\x1B[2J\nB\tC\r\x7F\x81", false, false, "A?[2J?B?C???", {}},
    };
    DecodedSong work;
    for (const EntryCase& c : cases) {
        std::span<const std::uint8_t> bytes;
        if (c.withRecord) bytes = std::span(record).first(c.damagedRecord ? 40 : record.size());
        const std::span name(reinterpret_cast<const std::uint8_t*>(c.storedName.data()),
                             c.storedName.size());
        const CatalogueEntry entry = makeCatalogueEntry(50004, name, bytes, work);
        EXPECT_EQ(entry.song, 50004) << c.what;
        EXPECT_EQ(entry.name, c.name) << c.what;
        EXPECT_EQ(entry.titles, c.titles) << c.what;
        EXPECT_TRUE(isPrintableUtf8(entry.name)) << c.what;
    }
}

// readTitles must find exactly the titles the lyric track's reader finds.
TEST(Catalogue, TitlesAreThoseOfTheLyricBlock) {
    std::vector<test::Bytes> records = {sample::buildRecord(test::vietnameseSong()),
                                        sample::buildRecord(sample::syntheticSong(7, 20000))};
    // Titles up to the image's end without the 0x20 that ends the list, an
    // empty title, and none at all.
    sample::SongSpec unended = test::vietnameseSong();
    const test::Bytes text(40, 'A');
    unended.lyricBlock =
        test::concat({{0x01}, text, {0x00, 0x0D, 0x00, 0x0D}, text, {0x00, 0x0D}, text});
    records.push_back(sample::buildRecord(unended));
    unended.lyricBlock = test::concat({{0x01}, text});
    records.push_back(sample::buildRecord(unended));
    SongDatabase database;
    ASSERT_EQ(database.open(test::sampleDatabaseDir()), SongDatabase::OpenError::none);
    for (std::int32_t song = 50001; song <= 50005; ++song) {
        test::Bytes record;
        ASSERT_TRUE(database.readRecord(database.locate(song), record));
        records.push_back(record);
    }
    DecodedSong work;
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (decodeSong(records[i], work) != RecordError::none) {
            ADD_FAILURE() << "record " << i << " does not decode";
            continue;
        }
        std::vector<TextRef> titles;
        readTitles(work.image.bytes(), work.table, 100, titles);
        ASSERT_EQ(titles.size(), work.lyrics.titles.size()) << "record " << i;
        for (std::size_t t = 0; t < titles.size(); ++t) {
            EXPECT_EQ(titles[t].offset, work.lyrics.titles[t].offset) << "record " << i;
            EXPECT_EQ(titles[t].length, work.lyrics.titles[t].length) << "record " << i;
        }
        readTitles(work.image.bytes(), work.table, 1, titles);
        EXPECT_LE(titles.size(), 1U);
    }
}

TEST(Catalogue, TextIsOnePrintableLineOfBoundedLength) {
    test::Bytes stored;
    for (int i = 0; i < 3000; ++i) stored.push_back(static_cast<std::uint8_t>(i * 7));
    const std::string text = catalogueText(stored);
    EXPECT_LE(text.size(), kMaxCatalogueTextBytes);
    EXPECT_TRUE(isPrintableUtf8(text));
    EXPECT_EQ(text.find('\n'), std::string::npos);
}

TEST(Catalogue, ListsEverySongWithARecordInOrder) {
    test::TempDir folder;
    test::writeSearchDatabase(folder.path());
    test::writeNames(folder.path(), {"TRO\xC1NG C\xD4M", "ODE", "", ""});
    SongDatabase database;
    ASSERT_EQ(database.open(folder.path()), SongDatabase::OpenError::none);
    const std::vector<CatalogueEntry> expected = {
        {21090, "TRỐNG CƠM", kTitles},
        {21092, "", {}},  // cut short: listed, no titles
        {21093, kTitles[0], kTitles},
    };
    for (const unsigned threads : {1U, 2U, 0U}) {
        EXPECT_EQ(buildCatalogue(database, threads), expected) << threads << " threads";
    }
}

TEST(Catalogue, SampleDatabaseUsesItsNames) {
    SongDatabase database;
    ASSERT_EQ(database.open(test::sampleDatabaseDir()), SongDatabase::OpenError::none);
    const std::vector<CatalogueEntry> entries = buildCatalogue(database);
    ASSERT_FALSE(entries.empty());
    bool found = false;
    for (const CatalogueEntry& entry : entries) {
        if (entry.song == 50004) found = entry.name == "TRỐNG CƠM";
    }
    EXPECT_TRUE(found);
}

}  // namespace
}  // namespace kdb2mid
