// `kdb2mid convert --cdg` and `--cdg-zip`: the MP3+G pair through the
// command line (the graphics themselves are tested in tests/cdg/, and read
// back by ffmpeg there and in tests/scripts/check-cdg.sh). The suite's name
// holds "Audio": valgrind runs leave it out, as rendering is slow there.
#if defined(KDB2MID_HAVE_AUDIO) && defined(KDB2MID_HAVE_CDG)

#include <gtest/gtest.h>

#include <algorithm>

#include "cdg/cdg_packet.hpp"
#include "cdg/freetype_raster.hpp"
#include "cli/options_fixture.hpp"
#include "cli/exit_status.hpp"
#include "generator/database_writer.hpp"
#include "test_support.hpp"

namespace kdb2mid {
namespace {

using test::RunResult;
using test::TempDir;
using test::runTool;

using test::kSmallSoundFont;

class ConvertCdgAudio : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::filesystem::exists(kSmallSoundFont)) GTEST_SKIP() << kSmallSoundFont << " missing";
        if (!std::filesystem::exists(cdg::kDefaultFontPath)) GTEST_SKIP() << "no DejaVu font";
    }
    RunResult convert(const std::filesystem::path& db, std::vector<std::string> args) {
        args.insert(args.begin(), {"convert", "-C", db.string(), "-o", (work_ / "out").string(),
                                   "--soundfont", kSmallSoundFont.string()});
        return runTool(work_.path(), args);
    }
    TempDir work_;
};

bool contains(const test::Bytes& whole, const test::Bytes& part) {
    return std::search(whole.begin(), whole.end(), part.begin(), part.end()) != whole.end();
}

// The pair and the zip of one sample song: the .cdg in whole packets, about
// as long as the MP3 (192 kbit/s), both stored whole in the zip.
TEST_F(ConvertCdgAudio, PairAndZipOfASampleSong) {
    const RunResult run = convert(test::sampleDatabaseDir(), {"50004", "--cdg", "--cdg-zip", "--tempo", "80"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const auto files = test::treeContents(work_ / "out");
    const test::Bytes& cdgFile = files.at("50004.cdg");
    const test::Bytes& mp3 = files.at("50004.mp3");
    ASSERT_EQ(cdgFile.size() % cdg::kPacketSize, 0U);
    const double cdgSeconds = static_cast<double>(cdgFile.size()) / cdg::kBytesPerSecond;
    const double mp3Seconds = static_cast<double>(mp3.size()) * 8 / 192000;
    EXPECT_NEAR(cdgSeconds, mp3Seconds, 0.5);
    // The song is 24.6 s at its own tempo: at 80 % the music and the words
    // both last longer.
    EXPECT_GT(cdgSeconds, 28);
    EXPECT_TRUE(contains(files.at("50004.zip"), cdgFile));
    EXPECT_TRUE(contains(files.at("50004.zip"), mp3));
}

// No lyric lines: no pair, counted as without lyrics. A pair that cannot be
// written whole leaves neither file.
TEST_F(ConvertCdgAudio, NoPairWithoutLyricsNorHalfAPair) {
    sample::SongSpec song;
    song.tracks = {test::bytes({0x00, 0x90, 0x3C, 0x64, 0x78, 0x80, 0x3C, 0x00, 0x00, 0xFF, 0x2F, 0x00})};
    song.lyricBlock = sample::buildLyricBlock({"Song"}, {});
    sample::Database database;
    database.records = {sample::buildRecord(song)};
    sample::writeDatabase(database, work_ / "db");
    RunResult run = convert(work_ / "db", {"21090", "--cdg"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "1 converted, 0 skipped, 0 failed, 1 without lyrics\n");
    EXPECT_FALSE(std::filesystem::exists(work_ / "out" / "21090.cdg"));
    EXPECT_FALSE(std::filesystem::exists(work_ / "out" / "21090.mp3"));

    // A folder where the MP3 goes: the .cdg is not left alone.
    std::filesystem::create_directories(work_ / "out" / "50004.mp3" / "taken");
    run = convert(test::sampleDatabaseDir(), {"50004", "--cdg"});
    EXPECT_EQ(run.exitCode, kExitFailure);
    EXPECT_NE(run.out.find("50004.mp3"), std::string::npos) << run.out;
    EXPECT_FALSE(std::filesystem::exists(work_ / "out" / "50004.cdg"));
}

// --resume with both MP3+G outputs writes whichever is missing, from one
// render, the same bytes as the first run: the zip when the pair is there,
// the pair when the zip is.
TEST_F(ConvertCdgAudio, ResumeWritesTheMissingHalfOfPairAndZip) {
    const std::vector<std::string> args = {"50004", "--cdg", "--cdg-zip", "--resume"};
    RunResult run = convert(test::sampleDatabaseDir(), args);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const auto first = test::treeContents(work_ / "out");
    for (const char* name : {"50004.cdg", "50004.mp3", "50004.zip"}) ASSERT_TRUE(first.contains(name));
    for (const std::vector<std::string>& missing :
         {std::vector<std::string>{"50004.zip"}, {"50004.cdg", "50004.mp3"}}) {
        SCOPED_TRACE(missing.front());
        for (const std::string& name : missing) std::filesystem::remove(work_ / "out" / name);
        run = convert(test::sampleDatabaseDir(), args);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.out, "1 converted, 0 skipped, 0 failed\n");
        EXPECT_EQ(test::treeContents(work_ / "out"), first);
    }
}

TEST_F(ConvertCdgAudio, OpusAudioCannotShareTheRender) {
    const RunResult run = convert(test::sampleDatabaseDir(), {"50004", "--cdg", "--audio", "opus"});
    EXPECT_EQ(run.exitCode, kExitUsage);
    EXPECT_NE(run.err.find("--cdg writes 44,100 Hz MP3"), std::string::npos) << run.err;
}

}  // namespace
}  // namespace kdb2mid

#endif
