// The outputs table against what a conversion really writes: every file a
// row plans for a song is written, and nothing else, so --resume (which
// checks the planned files) and the writers can't drift apart, and the file
// endings a row states are those of the files it plans.
#include "convert/outputs.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

#include "convert/convert_run.hpp"
#include "generator/database_writer.hpp"
#include "test_support.hpp"

namespace kdb2mid {
namespace {

constexpr std::int32_t kSong = 21090;

sample::SongSpec songWithLyrics(bool lyrics) {
    sample::SongSpec song;
    song.tracks = {test::bytes({0x00, 0x90, 0x3C, 0x64, 0x78, 0x80, 0x3C, 0x00, 0x00, 0xFF, 0x2F,
                                0x00})};
    std::vector<sample::LyricLine> lines;
    if (lyrics) lines.push_back({" La", false, {0, 60, 60}});
    song.lyricBlock = sample::buildLyricBlock({"Song"}, lines);
    return song;
}

// The files the table plans for the song, relative to the output folder.
std::set<std::string> plannedFiles(const SongDatabase& database, const ConvertOptions& options,
                                   const std::filesystem::path& out) {
    ConvertWorkspace work;
    SongResult result;
    std::vector<std::uint8_t> record;
    EXPECT_TRUE(database.readRecord(database.locate(kSong), record));
    const RecordError decoded = decodeSong(record, work.song);
    SongContext song(kSong, std::to_string(kSong), out, options, work, result, decoded);
    planOutputs(song);
    std::set<std::string> files;
    for (const PlannedOutput& output : song.planned()) {
        for (const std::filesystem::path& path : output.files) {
            files.insert(std::filesystem::relative(path, out).generic_string());
        }
    }
    return files;
}

std::set<std::string> writtenFiles(const std::filesystem::path& out) {
    std::set<std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(out)) {
        if (entry.is_regular_file()) {
            files.insert(std::filesystem::relative(entry.path(), out).generic_string());
        }
    }
    return files;
}

TEST(OutputsTable, EachRowWritesTheFilesItPlansAndResumeFindsThem) {
    ConvertOptions every;
    for (const OutputRow& row : outputTable()) {
        if (!row.option.empty()) every.outputs.add(row.id);
    }
#ifdef KDB2MID_HAVE_AUDIO
    every.soundFont = "/usr/share/sounds/sf2/TimGM6mb.sf2";
    every.audioFormat = AudioFormat::wav;
    if (!std::filesystem::exists(every.soundFont)) {
        // The rows without rendered audio are still checked.
        every.outputs.remove(Output::audio);
        every.outputs.remove(Output::ultrastar);
#ifdef KDB2MID_HAVE_VIDEO
        every.outputs.remove(Output::video);
#endif
    }
#endif
#ifdef KDB2MID_HAVE_VIDEO
    // Small frames: the test is about the files, not the picture.
    every.videoSettings.size = {320, 240};
#endif
    ConvertOptions withoutUltraStar = every;
    withoutUltraStar.outputs.remove(Output::ultrastar);

    struct Case {
        const char* what;
        bool lyrics;
        const ConvertOptions& options;
    };
    for (const Case& c : {Case{"every output", true, every},
                          Case{"every output, song without lyrics", false, every},
                          Case{"all but UltraStar", true, withoutUltraStar}}) {
        SCOPED_TRACE(c.what);
        test::TempDir db;
        test::TempDir out;
        sample::Database contents;
        contents.records.push_back(sample::buildRecord(songWithLyrics(c.lyrics)));
        sample::writeDatabase(contents, db.path());
        SongDatabase database;
        ASSERT_EQ(database.open(db.path()), SongDatabase::OpenError::none);

        ConvertWorkspace work;
        const SongResult first = convertSong(database, kSong, out.path(), c.options, work);
        EXPECT_EQ(first.outcome, SongResult::Outcome::converted);
        EXPECT_EQ(first.withoutLyrics, !c.lyrics);
        const std::set<std::string> planned = plannedFiles(database, c.options, out.path());
        EXPECT_EQ(writtenFiles(out.path()), planned);
        EXPECT_TRUE(planned.contains("21090.mid"));
        EXPECT_EQ(planned.contains("21090.lrc"), c.lyrics);
        // Every file a row plans beside the .mid ends in one of the endings
        // it states, which --name checks names against (a row may state more:
        // --stems' parts exist only for a song whose melody splits off).
        std::set<std::string> endings;
        for (const std::string& ending : songFileSuffixes(c.options, {})) {
            endings.insert(std::to_string(kSong) + ending);
        }
        for (const std::string& file : planned) {
            if (file.find('/') == std::string::npos) {
                EXPECT_TRUE(endings.contains(file)) << file;
            }
        }

        ConvertOptions resume = c.options;
        resume.resume = true;
        const SongResult again = convertSong(database, kSong, out.path(), resume, work);
        EXPECT_TRUE(again.alreadyDone);
        EXPECT_EQ(again.withoutLyrics, !c.lyrics);
    }
}

// Every setting a row owns, given alone, is refused naming it as of no use;
// given with its output, a good value is taken and a bad one refused naming
// it. A setting added to a row without a case here fails, so that each is checked.
TEST(OutputsTable, EachRowsSettingsServeOnlyItsOutputAndCheckTheirValues) {
    struct Values {
        std::string good;
        std::string bad;  // empty for a flag
    };
    const std::map<std::string_view, Values> values = {
        {"--soundfont", {"other.sf2", ""}}, {"--loudness", {"-20", "-31"}},
        {"--mute-melody", {"", ""}},        {"--video-size", {"640x360", "641x360"}},
        {"--background", {"#102030", "#1020"}},
    };
    for (const OutputRow& row : outputTable()) {
        for (const OutputSetting& setting : row.settings) {
            SCOPED_TRACE(setting.option);
            ASSERT_TRUE(values.contains(setting.option)) << "no case for this setting";
            EXPECT_FALSE(setting.help.empty());
            const Values& value = values.at(setting.option);
            ConvertOptions alone;
            alone.outputs.add(Output::lrc);
            const GivenSetting good[] = {{&row, &setting, value.good}};
            const std::string unused = takeSettings(alone, good);
            EXPECT_NE(unused.find(setting.option), std::string::npos) << unused;

            ConvertOptions with;
            with.outputs.add(row.id);
            EXPECT_EQ(takeSettings(with, good), "");
            if (value.bad.empty()) continue;
            const GivenSetting bad[] = {{&row, &setting, value.bad}};
            ConvertOptions refused;
            refused.outputs.add(row.id);
            const std::string line = takeSettings(refused, bad);
            EXPECT_NE(line.find(setting.option), std::string::npos) << line;
        }
    }
}

}  // namespace
}  // namespace kdb2mid
