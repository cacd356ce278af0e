#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "io/song_database.hpp"
#include "midi/vietnamese_song.hpp"
#include "format/byte_order.hpp"
#include "inspect/song_report.hpp"
#include "format/vni_text.hpp"
#include "inspect/song_facts.hpp"
#include "test_support.hpp"

namespace kdb2mid {
namespace {

// Stored texts as UTF-8.
std::vector<std::string> shown(const std::vector<std::vector<std::uint8_t>>& stored) {
    std::vector<std::string> texts;
    for (const auto& text : stored) texts.push_back(decodeVniToUtf8(text));
    return texts;
}

TEST(SongFacts, TitlesLyricsAndChorusParts) {
    sample::SongSpec song = test::vietnameseSong();
    song.flags = kChorusFlag;
    song.chorusCount = 3;
    song.chorusIndex = 0;
    const test::Bytes record = sample::buildRecord(song);
    test::Bytes entries;
    for (const std::uint32_t value : {1U, 0U, 2U, 2U, 2U, 4U, 3U, 5U, 4U}) {
        appendBigEndian32(entries, value);
    }
    ChorusFacts chorus;
    chorus.indexOpen = true;
    chorus.entries = entries;
    chorus.dataSize = 3 * kChorusDataUnit;

    DecodedSong work;
    SongFacts facts;
    ASSERT_EQ(gatherSongFacts(50004, record, chorus, work, facts), RecordError::none);
    EXPECT_EQ(facts.song, 50004);
    EXPECT_EQ(shown(facts.titles), test::kVietnameseTitlesShown);
    EXPECT_TRUE(facts.twoByteLetters);
    EXPECT_EQ(facts.tracks, 2U);
    const std::vector<std::string> lines = test::kVietnameseLinesShown;
    EXPECT_EQ(shown(facts.lyricLines), lines);
    EXPECT_GT(facts.ticks, test::lineStartTime(lines.size() - 1));
    EXPECT_GT(facts.seconds, 0.0);

    ASSERT_EQ(facts.chorusParts.size(), 3U);
    EXPECT_EQ(facts.chorusParts[0].part, 1U);
    EXPECT_EQ(facts.chorusParts[0].bytes, 2 * kChorusDataUnit);
    EXPECT_EQ(facts.chorusParts[0].problem, ChorusPartProblem::none);
    EXPECT_FALSE(facts.chorusParts[0].file.empty());
    EXPECT_EQ(facts.chorusParts[1].problem, ChorusPartProblem::pastDataEnd);
    EXPECT_EQ(facts.chorusParts[2].problem, ChorusPartProblem::endBeforeStart);
}

TEST(SongFacts, AgreeWithTheInfoReport) {
    SongDatabase database;
    ASSERT_EQ(database.open(test::sampleDatabaseDir()), SongDatabase::OpenError::none);
    DecodedSong work;
    for (std::int32_t song = 50001; song <= 50005; ++song) {
        test::Bytes record;
        ASSERT_TRUE(database.readRecord(database.locate(song), record));
        SongFacts facts;
        std::string report;
        ASSERT_EQ(gatherSongFacts(song, record, {}, work, facts), RecordError::none);
        ASSERT_EQ(describeSong(song, record, {}, work, report), RecordError::none);
        EXPECT_NE(report.find(std::to_string(facts.ticks) + " ticks"), std::string::npos) << song;
        EXPECT_NE(report.find("Data tracks:        " + std::to_string(facts.tracks) + "\n"),
                  std::string::npos)
            << song;
        for (const std::string& title : shown(facts.titles)) {
            EXPECT_NE(report.find("Title:              " + title + "\n"), std::string::npos)
                << song;
        }
        for (std::string line : shown(facts.lyricLines)) {
            line.erase(0, std::min(line.find_first_not_of(' '), line.size()));
            EXPECT_NE(report.find("  " + line + "\n"), std::string::npos) << song << " " << line;
        }
    }
}

TEST(SongFacts, DamagedRecordLeavesFactsAlone) {
    const test::Bytes record = sample::buildRecord(test::vietnameseSong());
    DecodedSong work;
    SongFacts facts;
    facts.song = 7;
    EXPECT_NE(gatherSongFacts(50004, std::span(record).first(40), {}, work, facts),
              RecordError::none);
    EXPECT_NE(gatherSongFacts(50004, std::span(record).first(3), {}, work, facts),
              RecordError::none);
    EXPECT_EQ(facts.song, 7);
}

}  // namespace
}  // namespace kdb2mid
