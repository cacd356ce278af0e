// What the command line says to someone who typed it not quite right: the
// bare form with more after the song number, a mistyped command, arguments
// that belong to another option; and what its help leaves out.
#include <gtest/gtest.h>

#include "cli/exit_status.hpp"
#include "convert/batch_fixture.hpp"

namespace kdb2mid {
namespace {

using test::RunResult;
using test::runTool;
using test::TempDir;

class Usage : public ::testing::Test {
protected:
    void SetUp() override { sample::writeDatabase(test::fixtureDatabase(), dir_.path()); }
    // The database's own files: a usage error adds none.
    void expectNothingWritten() {
        EXPECT_EQ(dir_.files(),
                  (std::vector<std::string>{"CHORUS.DAT", "CRS&TCK.IDX", "SONG.DAT", "SONG.IDX"}));
    }
    TempDir dir_;
};

TEST_F(Usage, BareFormTakesTheSongNumberAlone) {
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"21090", "--kar"}, "usage: kdb2mid convert 21090 --kar"},
        {{"21090", "-o", "out"}, "usage: kdb2mid convert 21090 -o out"},
        {{"21093", "21090"}, "usage: kdb2mid convert 21093 21090"},
        {{"21090x", "my songs"}, "usage: kdb2mid convert 21090x 'my songs'"},
    };
    for (const auto& [args, expected] : cases) {
        const RunResult run = runTool(dir_.path(), args);
        EXPECT_EQ(run.exitCode, kExitUsage) << expected;
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, expected + "   (kdb2mid SONG takes the song number alone)\n");
    }
    expectNothingWritten();
}

TEST_F(Usage, UnknownCommandSuggestsTheNearest) {
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"conver", "21090"}, "kdb2mid: unknown command \"conver\"; did you mean: kdb2mid convert?"},
        {{"lst"}, "kdb2mid: unknown command \"lst\"; did you mean: kdb2mid list?"},
        {{"help"}, "kdb2mid: unknown command \"help\"; for help run: kdb2mid --help"},
        {{"abc"}, "kdb2mid: unknown command \"abc\""},
        {{""}, "kdb2mid: unknown command \"\""},
    };
    for (const auto& [args, expected] : cases) {
        const RunResult run = runTool(dir_.path(), args);
        EXPECT_EQ(run.exitCode, kExitUsage) << expected;
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err.substr(0, run.err.find('\n')), expected);
        EXPECT_NE(run.err.find("\nusage: kdb2mid SONG"), std::string::npos) << run.err;
    }
    expectNothingWritten();
}

TEST_F(Usage, ArgumentsMeantForAnotherOptionSaySo) {
    sample::writeFile(dir_ / "taken", {1});
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"convert", "21090-21093"},
         "not a song number: 21090-21093 (for the songs 21090 to 21093 use --range 21090-21093)"},
        {{"convert", "--range", "21093-21090"},
         "FROM is above TO in 21093-21090 (the range from the lower number is 21090-21093)"},
        {{"convert", "21090", "-o", "taken"},
         "taken is a file; -o names the folder the files are written into"},
        {{"names", "-o", "SONG.IDX"},
         "SONG.IDX is a file; -o names the folder the files are written into"},
    };
    for (const auto& [args, expected] : cases) {
        const RunResult run = runTool(dir_.path(), args);
        EXPECT_EQ(run.exitCode, kExitUsage) << expected;
        EXPECT_EQ(run.out, "");
        EXPECT_NE(run.err.find(expected), std::string::npos) << run.err;
    }
    std::filesystem::remove(dir_ / "taken");
    expectNothingWritten();
}

TEST_F(Usage, EveryCommandNamesItselfAndTheOptionATypoMeant) {
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"convert", "21090", "--lyrcs=utf8"},
         "kdb2mid convert: unknown option --lyrcs; did you mean --lyrics?"},
        {{"convert", "21090", "--resmue"},
         "kdb2mid convert: unknown option --resmue; did you mean --resume?"},
        {{"convert", "21090", "--tempo=90", "--trnaspose=2"},
         "kdb2mid convert: unknown option --trnaspose; did you mean --transpose?"},
        {{"convert", "21090", "--zzzzzzzz"}, "kdb2mid convert: unknown option --zzzzzzzz\n"},
        {{"info", "21090", "--jsno"}, "kdb2mid info: unknown option --jsno; did you mean --json?"},
        {{"list", "--jsn"}, "kdb2mid list: unknown option --jsn; did you mean --json?"},
        {{"search", "x", "--limt", "3"},
         "kdb2mid search: unknown option --limt; did you mean --limit?"},
        {{"names", "--outptu", "x"},
         "kdb2mid names: unknown option --outptu; did you mean --output?"},
        // Named before what the parser found missing because of it.
        {{"search", "-x"}, "kdb2mid search: unknown option -x\n"},
        {{"--vers"}, "kdb2mid: unknown option --vers; did you mean --version?"},
        {{"convert", "21090", "-j", "0"}, "kdb2mid convert: --jobs: Value 0 not in range"},
        {{"convert"}, "kdb2mid convert: give song numbers, --all or --range FROM-TO"},
        {{"convert", "21090", "--shard", "auto"}, "kdb2mid convert: --shard auto: no Slurm"},
    };
    for (const auto& [args, expected] : cases) {
        const RunResult run = runTool(dir_.path(), args);
        EXPECT_EQ(run.exitCode, kExitUsage) << expected;
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err.rfind(expected, 0), 0U) << run.err;
    }
    expectNothingWritten();
}

TEST_F(Usage, LyricsTakesEitherSpellingOfUtf8) {
    for (const char* spelling : {"utf8", "utf-8", "UTF-8", "VNI"}) {
        const RunResult run =
            runTool(dir_.path(), {"convert", "21093", "--lyrics", spelling, "-o", "out", "-q"});
        EXPECT_EQ(run.exitCode, kExitSuccess) << spelling << run.err;
        EXPECT_TRUE(std::filesystem::exists(dir_ / "out" / "21093.mid")) << spelling;
    }
}

TEST_F(Usage, HelpShowsNoParserNotesAndTheBareFormOnce) {
    const std::vector<std::vector<std::string>> commands = {
        {}, {"convert"}, {"info"}, {"list"}, {"names"}, {"chorus-index"}, {"legacy"}};
    for (std::vector<std::string> args : commands) {
        args.emplace_back("--help");
        const RunResult run = runTool(dir_.path(), args);
        SCOPED_TRACE(args[0]);
        EXPECT_EQ(run.exitCode, kExitSuccess);
        for (const char* noise : {"REQUIRED", "Excludes", "SONG SONG", "TEXT"}) {
            EXPECT_EQ(run.out.find(noise), std::string::npos) << noise << "\n" << run.out;
        }
        const bool bareForm = run.out.find("kdb2mid SONG converts") != std::string::npos;
        EXPECT_EQ(bareForm, args.size() == 1);
        EXPECT_NE(run.out.find("Exit status:"), std::string::npos);
    }
    const RunResult legacy = runTool(dir_.path(), {"legacy", "--help"});
    EXPECT_NE(legacy.out.find("DBDIR/9703/song.idx"), std::string::npos) << legacy.out;
    const RunResult names = runTool(dir_.path(), {"names", "--help"});
    EXPECT_NE(names.out.find("OUTDIR/Output.txt"), std::string::npos) << names.out;
}

}  // namespace
}  // namespace kdb2mid
