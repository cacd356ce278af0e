#include "cli/command_line.hpp"

#include <gtest/gtest.h>

#include "generator/database_writer.hpp"
#include "test_support.hpp"

namespace kdb2mid {
namespace {

class SingleSong : public ::testing::Test {
protected:
    test::TempDir dir;

    void writeDatabase() {
        sample::SongSpec song;
        song.tracks = {test::bytes({0x00, 0xFF, 0x2F, 0x00})};
        song.lyricBlock = sample::buildLyricBlock({"T"}, {{" a", false, {0, 10}}});
        sample::Database contents;
        contents.records = {sample::buildRecord(song), {}};
        sample::writeDatabase(contents, dir.path());
    }
};

TEST_F(SingleSong, NoArgumentIsAUsageError) {
    const test::RunResult run = test::runTool(dir.path(), {});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("usage"), std::string::npos);
}

TEST_F(SingleSong, MissingDatabaseFiles) {
    test::RunResult run = test::runTool(dir.path(), {"21090"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, "Cannot open SONG.IDX\n");

    sample::writeFile(dir / "SONG.IDX", test::Bytes(8, 0));
    run = test::runTool(dir.path(), {"21090"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, "Cannot open SONG.DAT\n");
    EXPECT_EQ(dir.files(), std::vector<std::string>{"SONG.IDX"});
}

TEST_F(SingleSong, ConvertsOneSongQuietly) {
    writeDatabase();
    test::RunResult run = test::runTool(dir.path(), {" 21090xyz"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, "");
    EXPECT_TRUE(std::filesystem::exists(dir / "21090.mid"));

    run = test::runTool(dir.path(), {"21091"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, "Cannot convert song 21091: it has no record\n");
}

}  // namespace
}  // namespace kdb2mid
