#include "convert/batch.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>
#include <set>
#include <thread>

#include "convert/batch_fixture.hpp"

namespace kdb2mid {
namespace {

using test::TempDir;

class RecordingObserver final : public BatchObserver {
public:
    void songFinished(std::int32_t songNumber, const SongResult& result) override {
        finished.emplace_back(songNumber, result.outcome);
        for (const std::string& line : result.messages) messages.push_back(line);
    }
    void progressed(const BatchProgress& progress) override { steps.push_back(progress); }

    std::vector<std::pair<std::int32_t, SongResult::Outcome>> finished;
    std::vector<std::string> messages;
    std::vector<BatchProgress> steps;
};

TEST(BatchConversion, ReportsEverySongInListOrderUnderAnyThreadCount) {
    TempDir folder;
    sample::writeDatabase(test::fixtureDatabase(), folder.path());
    SongDatabase database;
    ASSERT_EQ(database.open(folder.path()), SongDatabase::OpenError::none);
    using Outcome = SongResult::Outcome;
    // Out of number order, with the failing song in the middle and a number
    // SONG.IDX has no entry for.
    const std::vector<std::int32_t> songs = {test::kLettersSong, test::kChorusSong,
                                             test::kBrokenSong,  test::kEmptySong,
                                             test::kPlainSong,   99999};
    const std::vector<std::pair<std::int32_t, Outcome>> expected = {
        {test::kLettersSong, Outcome::converted}, {test::kChorusSong, Outcome::converted},
        {test::kBrokenSong, Outcome::failed},     {test::kEmptySong, Outcome::skipped},
        {test::kPlainSong, Outcome::converted},   {99999, Outcome::failed}};

    for (unsigned threads : {1U, 2U, 4U, 16U}) {
        SCOPED_TRACE(threads);
        TempDir out;
        RecordingObserver observer;
        const BatchTotals totals =
            convertSongs(database, songs, out.path(), ConvertOptions{}, threads, observer);
        EXPECT_EQ(totals.converted, 3U);
        EXPECT_EQ(totals.skipped, 1U);
        EXPECT_EQ(totals.failed, 2U);
        EXPECT_EQ(observer.finished, expected);
        EXPECT_EQ(observer.messages,
                  (std::vector<std::string>{
                      "Cannot convert song 21092: track table has fewer than two entries",
                      "Cannot convert song 21091: it has no record",
                      "Cannot convert song 99999: SONG.IDX has no entry for it"}));
        // The progress counts songs to convert: the entry without a record is none.
        std::vector<std::size_t> done;
        for (const BatchProgress& step : observer.steps) {
            done.push_back(step.songsDone);
            EXPECT_EQ(step.songsTotal, songs.size() - 1);
        }
        // An entry without a record that finishes first redraws the count at 0.
        std::set<std::size_t> counts(done.begin(), done.end());
        counts.erase(0);
        EXPECT_EQ(counts, (std::set<std::size_t>{1, 2, 3, 4, 5}));
        EXPECT_TRUE(std::is_sorted(done.begin(), done.end()));

        // Again with --resume: the songs found done leave the count and the
        // total; the two that failed are still to convert.
        ConvertOptions resume;
        resume.resume = true;
        RecordingObserver again;
        convertSongs(database, songs, out.path(), resume, threads, again);
        EXPECT_EQ(again.steps.back().songsTotal, 2U);
        EXPECT_EQ(again.steps.back().songsDone, 2U);
        EXPECT_GT(observer.steps.back().bytesTotal, 0U);
        EXPECT_EQ(observer.steps.back().bytesDone, observer.steps.back().bytesTotal);
        EXPECT_EQ(out.files(), (std::vector<std::string>{"21090.mid", "21090_7.mp3",
                                                         "21090_8.mp3", "21093.mid",
                                                         "21094.mid"}));
    }
}

TEST(BatchConversion, EmptySongListConvertsNothing) {
    TempDir folder;
    sample::writeDatabase(test::fixtureDatabase(), folder.path());
    SongDatabase database;
    ASSERT_EQ(database.open(folder.path()), SongDatabase::OpenError::none);
    RecordingObserver observer;
    const BatchTotals totals = convertSongs(database, {}, folder.path(), {}, 4, observer);
    EXPECT_EQ(totals.converted + totals.skipped + totals.failed, 0U);
    EXPECT_TRUE(observer.finished.empty());
}

TEST(BatchConversion, OutputMatchesSingleSongRunsOnTheFixtureDatabase) {
    TempDir folder;
    sample::writeDatabase(test::fixtureDatabase(), folder.path());
    test::expectBatchMatchesSingleSongs(folder.path(), {1, 4});
}

TEST(BatchConversion, OutputMatchesSingleSongRunsOnTheSampleDatabase) {
    const std::filesystem::path sample = test::sampleDatabaseDir();
    if (!std::filesystem::exists(sample / kSongIndexFile)) {
        GTEST_SKIP() << "no sample database at " << sample;
    }
    test::expectBatchMatchesSingleSongs(sample, {1, 4});
}

}  // namespace
}  // namespace kdb2mid
