// The kdb2mid executable as users run it: exit status, standard output,
// standard error and the files written.
#include "cli/command_line.hpp"

#include <gtest/gtest.h>

#include "convert/batch_fixture.hpp"

namespace kdb2mid {
namespace {

using test::RunResult;
using test::TempDir;
using test::runTool;

class CommandLine : public ::testing::Test {
protected:
    void SetUp() override { sample::writeDatabase(test::fixtureDatabase(), db_ / "db"); }
    std::filesystem::path db() const { return db_ / "db"; }
    TempDir db_;
};

TEST_F(CommandLine, UsageErrorsExitTwoAndWriteOnlyStandardError) {
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"--bogus"},
        {"-x"},
        {"convert"},
        {"convert", "-C", "db"},
        {"convert", "--all", "21090"},
        {"convert", "--all", "--range", "21090-21091"},
        {"convert", "21090", "--range", "21090-21091"},
        {"convert", "--range", "21095-21090"},
        {"convert", "--range", "21090"},
        {"convert", "2109x"},
        {"convert", "--all", "-j", "0"},
        {"convert", "--all", "-j", "many"},
        {"convert", "--all", "--lyrics", "latin1"},
        {"convert", "--all", "-o"},
        {"info"},
        {"info", "abc"},
        {"info", "21090", "21091"},
        {"list", "21090"},
        {"legacy"},
        {"legacy", "21090", "--root"},
        {"names", "--bogus"},
    };
    for (const auto& args : cases) {
        const RunResult run = runTool(db_.path(), args);
        const std::string shown = args.empty() ? "(none)" : args[0] + " ...";
        EXPECT_EQ(run.exitCode, kExitUsage) << shown << " " << args.size();
        EXPECT_EQ(run.out, "") << shown;
        EXPECT_NE(run.err, "") << shown;
    }
    EXPECT_EQ(db_.files(), std::vector<std::string>{"db"});
}

TEST_F(CommandLine, HelpAndVersionGoToStandardOutput) {
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"--help"}, "Usage: kdb2mid [OPTIONS] SUBCOMMAND"},
        {{"-h"}, "kdb2mid SONG converts one song"},
        {{"--version"}, "kdb2mid "},
        {{"convert", "--help"}, "--range FROM-TO"},
        {{"info", "--help"}, "Usage: kdb2mid info"},
        {{"list", "-h"}, "Usage: kdb2mid list"},
    };
    for (const auto& [args, expected] : cases) {
        const RunResult run = runTool(db_.path(), args);
        EXPECT_EQ(run.exitCode, kExitSuccess) << args[0];
        EXPECT_NE(run.out.find(expected), std::string::npos) << run.out;
        EXPECT_EQ(run.err, "");
    }
}

// The bare song number converts in the current folder, as it always has.
TEST_F(CommandLine, BareSongNumberIsTheSingleSongConversion) {
    struct Case {
        std::string argument;
        int exitCode;
        std::string out;
        std::vector<std::string> written;
    };
    const Case cases[] = {
        {"21090", 0, "", {"21090.mid", "21090_7.mp3", "21090_8.mp3"}},
        {" +21093xyz", 0, "", {"21093.mid"}},
        {"21091", 1, "Cannot convert song 21091: it has no record\n", {}},
        {"21092", 1, "Cannot convert song 21092: track table has fewer than two entries\n", {}},
        {"-5", 1, "Cannot convert song -5: song numbers start at 21090\n", {}},
    };
    const std::vector<std::string> databaseFiles = {"CHORUS.DAT", "CRS&TCK.IDX", "SONG.DAT",
                                                    "SONG.IDX"};
    for (const Case& c : cases) {
        TempDir folder;
        sample::writeDatabase(test::fixtureDatabase(), folder.path());
        const RunResult run = runTool(folder.path(), {c.argument});
        EXPECT_EQ(run.exitCode, c.exitCode) << c.argument;
        EXPECT_EQ(run.out, c.out) << c.argument;
        EXPECT_EQ(run.err, "") << c.argument;
        std::vector<std::string> expected = databaseFiles;
        expected.insert(expected.end(), c.written.begin(), c.written.end());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(folder.files(), expected) << c.argument;
    }
}

TEST_F(CommandLine, ConvertChoosesSongsAndSummarises) {
    struct Case {
        std::vector<std::string> args;
        int exitCode;
        std::string out;
        std::vector<std::string> written;
    };
    const Case cases[] = {
        {{"convert", "21093", "21094", "21093"}, 0, "2 converted, 0 skipped, 0 failed\n",
         {"21093.mid", "21094.mid"}},
        // A song named by number that has no record is told; an empty entry
        // that --all or --range meets is no song and is not counted.
        {{"convert", "21091"}, 0,
         "Cannot convert song 21091: it has no record\n0 converted, 1 skipped, 0 failed\n", {}},
        {{"convert", "21093", "99999"}, 1,
         "Cannot convert song 99999: SONG.IDX has no entry for it\n"
         "1 converted, 0 skipped, 1 failed\n",
         {"21093.mid"}},
        // The failing song in the middle of the batch is reported and the rest converted.
        {{"convert", "--all", "-j", "4"}, 1,
         "Cannot convert song 21092: track table has fewer than two entries\n"
         "3 converted, 0 skipped, 1 failed\n",
         {"21090.mid", "21090_7.mp3", "21090_8.mp3", "21093.mid", "21094.mid"}},
        {{"convert", "--range", "21092-21100", "-j", "2"}, 1,
         "Range 21092-21100: 6 songs have no SONG.IDX entry\n"
         "Cannot convert song 21092: track table has fewer than two entries\n"
         "2 converted, 0 skipped, 1 failed\n",
         {"21093.mid", "21094.mid"}},
        {{"convert", "--range", "30000-30001"}, 0,
         "Range 30000-30001: 2 songs have no SONG.IDX entry\n"
         "0 converted, 0 skipped, 0 failed\n",
         {}},
        // Quiet keeps the failure lines only.
        {{"convert", "-q", "--all"}, 1,
         "Cannot convert song 21092: track table has fewer than two entries\n",
         {"21090.mid", "21090_7.mp3", "21090_8.mp3", "21093.mid", "21094.mid"}},
        {{"convert", "--all", "--kar", "--lyrics", "vni"}, 1,
         "Cannot convert song 21092: track table has fewer than two entries\n"
         "3 converted, 0 skipped, 1 failed\n",
         {"21090.kar", "21090.mid", "21090_7.mp3", "21090_8.mp3", "21093.kar", "21093.mid",
          "21094.kar", "21094.mid"}},
    };
    for (const Case& c : cases) {
        TempDir work;
        std::vector<std::string> args = c.args;
        for (const char* option : {"-C", "db", "-o", "out/new"}) args.emplace_back(option);
        std::filesystem::copy(db(), work / "db");
        const RunResult run = runTool(work.path(), args);
        SCOPED_TRACE(c.args[1]);
        EXPECT_EQ(run.exitCode, c.exitCode);
        EXPECT_EQ(run.out, c.out);
        EXPECT_EQ(run.err, "");
        std::vector<std::string> written;
        if (std::filesystem::exists(work / "out/new")) {
            for (const auto& entry : std::filesystem::directory_iterator(work / "out/new")) {
                written.push_back(entry.path().filename().string());
            }
        }
        std::sort(written.begin(), written.end());
        EXPECT_EQ(written, c.written);
    }
}

TEST_F(CommandLine, ConvertReportsMissingDatabaseAndUncreatableFolder) {
    TempDir work;
    sample::writeFile(work / "plain-file", {1});
    std::filesystem::create_directory(work / "half");
    sample::writeFile(work / "half" / kSongIndexFile, {});
    struct Case {
        std::vector<std::string> args;
        std::string out;
        std::string err;
    };
    // The database file is named with its folder when -C gives one; convert
    // reports on standard output, info and list keep it for their data.
    const Case cases[] = {
        {{"convert", "--all", "-C", "nowhere"}, "Cannot open nowhere/SONG.IDX\n", ""},
        {{"convert", "--all", "-C", "half"}, "Cannot open half/SONG.DAT\n", ""},
        {{"info", "21090", "-C", "nowhere"}, "", "kdb2mid: Cannot open nowhere/SONG.IDX\n"},
        {{"list", "-C", "nowhere"}, "", "kdb2mid: Cannot open nowhere/SONG.IDX\n"},
        {{"list", "-C", "half"}, "", "kdb2mid: Cannot open half/SONG.DAT\n"},
        {{"list"}, "",
         "kdb2mid: Cannot open SONG.IDX in " + work.path().string() +
             " (use -C FOLDER to name the database folder)\n"},
        {{"convert", "--all", "-C", db().string(), "-o", "plain-file/out"},
         "Cannot create folder plain-file/out: Not a directory\n", ""},
        {{"chorus-index", "-C", db().string(), "-o", "plain-file/out"},
         "Cannot create folder plain-file/out: Not a directory\n", ""},
    };
    for (const Case& c : cases) {
        const RunResult run = runTool(work.path(), c.args);
        SCOPED_TRACE(c.args[0] + " " + c.args.back());
        EXPECT_EQ(run.exitCode, kExitFailure);
        EXPECT_EQ(run.out, c.out);
        EXPECT_EQ(run.err, c.err);
    }
}

TEST_F(CommandLine, InfoShowsOneSongOrWhyNot) {
    const RunResult shown = runTool(db_.path(), {"info", "21090", "-C", "db"});
    EXPECT_EQ(shown.exitCode, kExitSuccess);
    EXPECT_NE(shown.out.find("Title:              FIRST SONG\n"), std::string::npos) << shown.out;
    EXPECT_NE(shown.out.find("  part 8: 4096 bytes, 21090_8.mp3\n"), std::string::npos) << shown.out;

    const std::pair<std::string, std::string> failures[] = {
        {"21091", "Cannot read song 21091: it has no record\n"},
        {"21092", "Cannot read song 21092: track table has fewer than two entries\n"},
        {"99999", "Cannot read song 99999: SONG.IDX has no entry for it\n"},
        {"5", "Cannot read song 5: song numbers start at 21090\n"},
    };
    for (const auto& [song, expected] : failures) {
        const RunResult run = runTool(db_.path(), {"info", song, "-C", "db"});
        EXPECT_EQ(run.exitCode, kExitFailure) << song;
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, "kdb2mid: " + expected);
    }
}

TEST_F(CommandLine, ListsSongsWithRecordsAndTheirNames) {
    // Without name.idx and name.tab songs are listed under their first title.
    const RunResult titles = runTool(db_.path(), {"list", "-C", "db"});
    EXPECT_EQ(titles.out, "21090\tFIRST SONG\n21092\t\n21093\tPLAIN\n21094\tTIĨNG\n");
    EXPECT_NE(titles.err, "");

    // Names of songs 21090..21094: "FIRST", none, "" (one byte apart), a name
    // with a tab in it, and one that runs past the end of name.tab.
    test::Bytes nameIndex;
    for (std::uint32_t entry : {0U, 6U, 6U, 7U, 13U, 99U}) appendBigEndian32(nameIndex, entry);
    sample::writeFile(db() / kNameIndexFile, nameIndex);
    sample::writeFile(db() / kNameTableFile, test::bytes({'F', 'I', 'R', 'S', 'T', 0, 0,
                                                          'A', 0x09, 'B', 'C', 'D', 0}));
    const RunResult run = runTool(db_.path(), {"list", "-C", "db"});
    EXPECT_EQ(run.exitCode, kExitSuccess);
    EXPECT_EQ(run.out, "21090\tFIRST\n21092\t\n21093\tA?BCD\n21094\tTIĨNG\n");
    EXPECT_EQ(run.err, "");
}

TEST_F(CommandLine, InfoAndListOnTheSampleDatabase) {
    const std::filesystem::path sample = test::sampleDatabaseDir();
    if (!std::filesystem::exists(sample / kSongIndexFile)) {
        GTEST_SKIP() << "no sample database at " << sample;
    }
    const RunResult list = runTool(db_.path(), {"list", "-C", sample.string()});
    EXPECT_EQ(list.exitCode, kExitSuccess);
    std::vector<std::string> numbers;
    for (const std::string& line : test::lines(list.out)) numbers.push_back(line.substr(0, line.find('\t')));
    EXPECT_EQ(numbers, (std::vector<std::string>{"50001", "50002", "50003", "50004", "50005"}));
    for (const std::string& song : numbers) {
        const RunResult info = runTool(db_.path(), {"info", song, "-C", sample.string()});
        EXPECT_EQ(info.exitCode, kExitSuccess) << song << info.out;
        EXPECT_EQ(info.out.rfind("Song:               " + song + "\n", 0), 0U) << info.out;
        const bool chorus = info.out.find("Chorus recordings:  none") == std::string::npos;
        EXPECT_EQ(chorus, song == "50004") << info.out;
    }
}

}  // namespace
}  // namespace kdb2mid
