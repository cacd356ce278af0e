// `kdb2mid search`, `list` and `info` with --json as users run them: what
// reaches standard output and standard error, and the search cache.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/exit_status.hpp"
#include "inspect/song_report.hpp"
#include "convert/batch_fixture.hpp"
#include "midi/vietnamese_song.hpp"
#include "search/search_cache.hpp"
#include "search/search_fixture.hpp"

namespace kdb2mid {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;
using test::RunResult;
using test::TempDir;
using test::runTool;

// Songs 21090..21094 each with the Vietnamese song's record (titles "Bài
// Hát Thử", "Dân ca"), 21095 without a record, named:
//   TRỐNG CƠM, TRONG COMPA, ĐÊM, (no name), XUÂN + ESC [31m
void writeNamedDatabase(const fs::path& folder) {
    sample::Database database;
    const sample::Bytes song = sample::buildRecord(test::vietnameseSong());
    database.records = {song, song, song, song, song, {}};
    sample::writeDatabase(database, folder);
    test::writeNames(folder, {"TRO\xC1NG C\xD4M", "TRONG COMPA", "\xD1" "E\xC2M", "",
                              "XUA\xC2N \x1B[31m"});
}

// Every test's cache goes to a folder of its own, never the user's.
class Inspect : public testing::Test {
protected:
    void SetUp() override {
        writeNamedDatabase(db_ / "db");
        ASSERT_EQ(setenv("XDG_CACHE_HOME", cache_.path().c_str(), 1), 0);
    }
    void TearDown() override { unsetenv("XDG_CACHE_HOME"); }

    RunResult search(std::vector<std::string> words) {
        words.insert(words.begin(), "search");
        words.insert(words.end(), {"-C", "db"});
        return runTool(db_.path(), words);
    }
    fs::path db() const { return db_ / "db"; }
    std::vector<fs::path> cacheFiles() const {
        std::vector<fs::path> files;
        if (!fs::exists(cache_ / "kdb2mid")) return files;
        for (const auto& entry : fs::directory_iterator(cache_ / "kdb2mid")) {
            files.push_back(entry.path());
        }
        return files;
    }

    TempDir db_;
    TempDir cache_;
};

TEST_F(Inspect, SearchFindsWordsWithoutMarksInAnyOrderBestFirst) {
    struct Case {
        std::vector<std::string> words;
        std::string out;
    };
    const Case cases[] = {
        // Whole words before word starts ("com" starts COMPA).
        {{"trong", "com"}, "21090\tTRỐNG CƠM\n21091\tTRONG COMPA\n"},
        {{"com", "trong"}, "21090\tTRỐNG CƠM\n21091\tTRONG COMPA\n"},
        {{"TRỐNG", "Cơm"}, "21090\tTRỐNG CƠM\n21091\tTRONG COMPA\n"},
        {{"trong com"}, "21090\tTRỐNG CƠM\n21091\tTRONG COMPA\n"},
        {{"compa"}, "21091\tTRONG COMPA\n"},
        {{"tro", "co"}, "21090\tTRỐNG CƠM\n21091\tTRONG COMPA\n"},
        {{"dem"}, "21092\tĐÊM\n"},
        {{"Đêm"}, "21092\tĐÊM\n"},
        {{"đêm"}, "21092\tĐÊM\n"},
        // Titles count too; a song without a name is listed under its first.
        {{"bai", "thu", "dem"}, "21092\tĐÊM\n"},
        {{"bai", "hat", "thu"},
         "21090\tTRỐNG CƠM\n21091\tTRONG COMPA\n21092\tĐÊM\n21093\tBài Hát Thử\n"
         "21094\tXUÂN ?[31m\n"},
        {{"trong", "--limit", "1"}, "21090\tTRỐNG CƠM\n"},
    };
    for (const Case& c : cases) {
        const RunResult run = search(c.words);
        SCOPED_TRACE(c.words[0]);
        EXPECT_EQ(run.exitCode, kExitSuccess);
        EXPECT_EQ(run.out, c.out);
        EXPECT_EQ(run.err, "");
    }
}

TEST_F(Inspect, SearchWithoutMatchesOrWordsFails) {
    struct Case {
        std::vector<std::string> args;
        int exitCode;
        bool err;
    };
    const Case cases[] = {
        {{"search", "xyz", "-C", "db"}, kExitFailure, false},
        {{"search", "trong", "xyz", "-C", "db"}, kExitFailure, false},
        {{"search", "-C", "db"}, kExitUsage, true},
        {{"search", "-C", "db", "--", "-!-"}, kExitUsage, true},
        {{"search", "trong", "--limit", "0", "-C", "db"}, kExitUsage, true},
        {{"search", "trong", "-C", "nowhere"}, kExitFailure, true},
    };
    for (const Case& c : cases) {
        const RunResult run = runTool(db_.path(), c.args);
        SCOPED_TRACE(c.args[1]);
        EXPECT_EQ(run.exitCode, c.exitCode);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err.empty(), !c.err) << run.err;
    }
}

TEST_F(Inspect, SearchOutputHoldsNoControlCharacters) {
    const RunResult run = search({"xuan"});
    EXPECT_EQ(run.exitCode, kExitSuccess);
    EXPECT_EQ(run.out, "21094\tXUÂN ?[31m\n");
    EXPECT_EQ(run.out.find('\x1B'), std::string::npos);
}

TEST_F(Inspect, SearchCacheIsWrittenRebuiltWhenStaleAndReplacedWhenDamaged) {
    EXPECT_EQ(search({"trong"}).exitCode, kExitSuccess);
    const std::vector<fs::path> files = cacheFiles();
    ASSERT_EQ(files.size(), 1U);
    const sample::Bytes first = sample::readFile(files[0]);
    ASSERT_TRUE(parseSearchCache(first));

    // The database changes: 21090 is renamed (name.tab changes size).
    test::writeNames(db(), {"BE\xD8O DA\xCFT", "TRONG COMPA"});
    RunResult run = search({"beo"});
    EXPECT_EQ(run.out, "21090\tBÈO DẠT\n");
    EXPECT_NE(sample::readFile(files[0]), first);

    // A damaged cache is ignored and replaced.
    sample::Bytes damaged = sample::readFile(files[0]);
    damaged[damaged.size() / 2] ^= 0x55;
    sample::writeFile(files[0], damaged);
    run = search({"trong"});
    EXPECT_EQ(run.exitCode, kExitSuccess);
    EXPECT_EQ(run.out, "21091\tTRONG COMPA\n");
    EXPECT_TRUE(parseSearchCache(sample::readFile(files[0])));
    sample::writeFile(files[0], test::bytes({'k', 'd', 'b'}));
    EXPECT_EQ(search({"beo"}).out, "21090\tBÈO DẠT\n");
    EXPECT_TRUE(parseSearchCache(sample::readFile(files[0])));
    EXPECT_EQ(cacheFiles().size(), 1U);
}

TEST_F(Inspect, ListNamesSongsLikeSearch) {
    RunResult run = runTool(db_.path(), {"list", "-C", "db"});
    EXPECT_EQ(run.exitCode, kExitSuccess);
    EXPECT_EQ(run.out,
              "21090\tTRỐNG CƠM\n21091\tTRONG COMPA\n21092\tĐÊM\n21093\tBài Hát Thử\n"
              "21094\tXUÂN ?[31m\n");
    EXPECT_EQ(run.err, "");

    // Without name.tab every song is listed under its first title, and the
    // user is told why.
    fs::remove(db() / "name.tab");
    run = runTool(db_.path(), {"list", "-C", "db"});
    EXPECT_EQ(run.exitCode, kExitSuccess);
    EXPECT_EQ(test::lines(run.out).size(), 5U);
    EXPECT_EQ(test::lines(run.out)[0], "21090\tBài Hát Thử");
    EXPECT_EQ(run.err, "kdb2mid: db/name.tab is missing: songs are listed under their first title\n");
    fs::remove(db() / "name.idx");
    run = runTool(db_.path(), {"list", "-C", "db"});
    EXPECT_EQ(run.err,
              "kdb2mid: db/name.idx and db/name.tab are missing: songs are listed under their "
              "first title\n");
}

TEST_F(Inspect, ListJsonIsOneObjectPerLineWithTextMadeValid) {
    // Names with a tab, a byte that is no character, and spaces around them.
    test::writeNames(db(), {"  TAB\x09X  ", "\x81", "", "", ""});
    const RunResult run = runTool(db_.path(), {"list", "--json", "-C", "db"});
    EXPECT_EQ(run.exitCode, kExitSuccess);
    const std::vector<std::string> lines = test::lines(run.out);
    ASSERT_EQ(lines.size(), 5U);
    const std::vector<std::string> names = {"TAB\tX", "\xEF\xBF\xBD", "Bài Hát Thử",
                                            "Bài Hát Thử", "Bài Hát Thử"};
    for (std::size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i].find('\t'), std::string::npos) << lines[i];
        const Json object = Json::parse(lines[i]);
        EXPECT_EQ(object["song"], 21090 + static_cast<int>(i));
        EXPECT_EQ(object["name"], names[i]);
        EXPECT_EQ(object.size(), 2U);
    }
}

TEST_F(Inspect, InfoJsonGivesTheFactsOfTheReport) {
    TempDir work;
    sample::writeDatabase(test::fixtureDatabase(), work / "db");
    const RunResult run = runTool(work.path(), {"info", "21090", "--json", "-C", "db"});
    EXPECT_EQ(run.exitCode, kExitSuccess);
    ASSERT_EQ(test::lines(run.out).size(), 1U);
    const Json facts = Json::parse(run.out);
    EXPECT_EQ(facts["song"], 21090);
    EXPECT_EQ(facts["titles"], Json({"FIRST SONG", "SINGER"}));
    EXPECT_EQ(facts["tracks"], 2);
    EXPECT_EQ(facts["ticks"], 1200);
    EXPECT_EQ(facts["seconds"], 3.5);
    EXPECT_EQ(facts["lyrics"], Json({"la la", "do"}));
    EXPECT_EQ(facts["chorus"], Json::parse(R"([{"part":7,"bytes":2048,"file":"21090_7.mp3"},
                                                {"part":8,"bytes":4096,"file":"21090_8.mp3"}])"));
    EXPECT_EQ(facts["melody"], Json::parse(R"({"track":null,"words":3,"covered":0})"));

    const RunResult failed = runTool(work.path(), {"info", "21091", "--json", "-C", "db"});
    EXPECT_EQ(failed.exitCode, kExitFailure);
    EXPECT_EQ(failed.out.find('{'), std::string::npos);
}

// Notes at ticks 0, 40 and 80 on channel (0, or 9 for drums), each 40 long;
// onlyFirst keeps the first and puts text events in the others' place.
sample::Bytes threeNotes(int channel, bool onlyFirst = false) {
    sample::Bytes track;
    for (const int key : {60, 62, 64}) {
        const sample::Bytes event =
            onlyFirst && key != 60
                ? test::bytes({0x28, 0xFF, 0x01, 0x00})
                : test::bytes({0x00, 0x90 | channel, key, 0x64, 0x28, 0x80 | channel, key, 0x00});
        track = test::concat({track, event});
    }
    return test::concat({track, test::bytes({0x00, 0xFF, 0x2F, 0x00})});
}

TEST(SongMelody, FindsTheTrackWhoseNotesBeginWithTheWords) {
    // Words "la" at 0, "la" at 40, "do" at 80.
    const sample::Bytes lyrics =
        sample::buildLyricBlock({"T"}, {{" la la do", false, {0, 0, 0, 40, 0, 0, 40, 0, 0}}});
    struct Case {
        const char* name;
        std::vector<sample::Bytes> tracks;
        std::string shown;
    };
    const Case cases[] = {
        {"melody after drums", {threeNotes(9), threeNotes(0)}, "track 2, 3 of 3 words (100%)"},
        {"drums only", {threeNotes(9)}, "none found (best track covers 0% of words)"},
        {"one word of three", {threeNotes(0, true)}, "none found (best track covers 33% of words)"},
    };
    for (const Case& c : cases) {
        sample::SongSpec spec;
        spec.tracks = c.tracks;
        spec.lyricBlock = lyrics;
        DecodedSong song;
        SongFacts facts;
        ASSERT_EQ(gatherSongFacts(1, sample::buildRecord(spec), {}, song, facts), RecordError::none)
            << c.name;
        EXPECT_EQ(describeMelody(facts.melody), c.shown) << c.name;
    }
    EXPECT_EQ(describeMelody({}), "none (no words to sing)");
    EXPECT_EQ(describeMelody({1, 5, 3}), "track 1, 3 of 5 words (60%)");
}

}  // namespace
}  // namespace kdb2mid
