// The .lrc and .ass of every song of the sample database, compared with the
// files committed under tests/golden/. To write them afresh after a wanted
// change, run the test with KDB2MID_UPDATE_GOLDEN=1 and review the diff.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "midi/midi_file.hpp"
#include "io/song_database.hpp"
#include "export/ass_file.hpp"
#include "export/lrc_file.hpp"
#include "test_support.hpp"

namespace kdb2mid {
namespace {

// The files carry this in place of the tool's version, which changes.
constexpr const char* kGoldenVersion = "VERSION";

std::string readText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void checkGolden(const std::filesystem::path& path, const std::string& made) {
    if (std::getenv("KDB2MID_UPDATE_GOLDEN") != nullptr) {
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << made;
    }
    EXPECT_EQ(made, readText(path)) << path;
}

TEST(LyricFilesGolden, SampleDatabase) {
    SongDatabase database;
    ASSERT_EQ(database.open(test::sampleDatabaseDir()), SongDatabase::OpenError::none);
    const std::filesystem::path golden = test::sourceDir() / "tests" / "golden";
    DecodedSong work;
    for (const std::int32_t song : {50001, 50002, 50003, 50004, 50005}) {
        SCOPED_TRACE(song);
        const RecordLookup where = database.locate(song);
        ASSERT_EQ(where.outcome, RecordLookup::Outcome::found);
        std::vector<std::uint8_t> record;
        ASSERT_TRUE(database.readRecord(where, record));
        ASSERT_EQ(decodeSong(record, work), RecordError::none);

        const std::span<const std::uint8_t> image = work.image.bytes();
        const SongTiming timing = songTiming(image, work.table, work.lyrics);
        const TimedLyrics lyrics = timedLyrics(image, work.lyrics);
        ASSERT_FALSE(lyrics.lines.empty());
        const std::string name = std::to_string(song);
        checkGolden(golden / "lrc" / (name + ".lrc"),
                    writeLrc({lyrics, timing.tempo, timing.lengthSeconds(), kGoldenVersion}));
        checkGolden(golden / "ass" / (name + ".ass"),
                    writeAss({lyrics, timing.tempo, kGoldenVersion}));
    }
}

}  // namespace
}  // namespace kdb2mid
