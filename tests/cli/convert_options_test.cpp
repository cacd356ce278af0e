// `kdb2mid convert` with the options that name, split, resume and change the
// songs' files: --name, --shard, --resume, --transpose, --tempo, --lrc, --ass.
// Each test starts the built tool and looks at the files it wrote.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <fstream>
#include <iterator>
#include <regex>

#include "cli/exit_status.hpp"
#include "convert/batch_fixture.hpp"
#include "format/byte_order.hpp"
#include "midi/track_events.hpp"
#include "cli/options_fixture.hpp"

namespace kdb2mid {
namespace {

using test::RunResult;
using test::TempDir;
using test::runTool;
using Tree = std::map<std::string, test::Bytes>;

class ConvertOptions : public ::testing::Test {
protected:
    void SetUp() override { sample::writeDatabase(test::titledDatabase(), work_ / "db"); }

    // `kdb2mid convert ARGS -o out/FOLDER` in the work folder.
    RunResult convert(std::vector<std::string> args, const std::string& folder) {
        args.insert(args.begin(), "convert");
        args.insert(args.end(), {"-o", (work_ / folder).string()});
        return runTool(work_.path(), args);
    }
    std::string sampleDb() const { return test::sampleDatabaseDir().string(); }
    std::string db() const { return (work_ / "db").string(); }

    TempDir work_;
};

// The song number a default-named file belongs to: "50004_1.mp3" -> "50004".
std::string songOf(const std::string& name) {
    return name.substr(0, name.find_first_not_of("0123456789"));
}

TEST_F(ConvertOptions, NamePatternRenamesEveryFileOfASongAndNothingElse) {
    ASSERT_EQ(convert({"--all", "-C", sampleDb(), "--kar", "--lrc"}, "plain").exitCode, 0);
    const RunResult run =
        convert({"--all", "-C", sampleDb(), "--kar", "--lrc", "--name", "{song} - {title}"}, "named");
    ASSERT_EQ(run.exitCode, 0) << run.out;
    EXPECT_EQ(run.out, "5 converted, 0 skipped, 0 failed\n");

    const Tree plain = test::treeContents(work_ / "plain");
    const Tree named = test::treeContents(work_ / "named");
    ASSERT_EQ(named.size(), plain.size());
    for (const char* name : {"50004 - Trống Cơm.mid", "50004 - Trống Cơm.kar",
                             "50004 - Trống Cơm.lrc", "50004 - Trống Cơm_1.mp3",
                             "50004 - Trống Cơm_2.mp3"}) {
        EXPECT_TRUE(named.contains(name)) << name;
    }
    // Each plain file has its twin under one stem per song, same bytes.
    std::map<std::string, std::string> stems;
    for (const auto& [name, bytes] : plain) {
        const std::string song = songOf(name);
        const std::string rest = name.substr(song.size());
        std::vector<std::string> twins;
        for (const auto& [other, otherBytes] : named) {
            if (other.starts_with(song + " - ") && other.ends_with(rest) && otherBytes == bytes) {
                twins.push_back(other.substr(0, other.size() - rest.size()));
            }
        }
        ASSERT_EQ(twins.size(), 1U) << name;
        const auto [stem, fresh] = stems.emplace(song, twins[0]);
        EXPECT_EQ(stem->second, twins[0]) << name;
    }
    EXPECT_EQ(stems.size(), 5U);
}

TEST_F(ConvertOptions, SongsWithTheSameTitleAreToldApart) {
    const RunResult run = convert({"--all", "-C", db(), "--name", "{title}"}, "out");
    EXPECT_EQ(run.exitCode, 1);  // the fixture's broken record
    const std::vector<std::string> expected = {
        "DRUMS.mid", "FIRST SONG.mid", "FIRST SONG_7.mp3", "FIRST SONG_8.mp3", "PLAIN (2).mid",
        "PLAIN (3).mid",  "PLAIN.mid",        "Plain (4).mid",    "SILENT.mid",
        "TIĨNG.mid",
    };
    std::vector<std::string> written;
    for (const auto& [name, bytes] : test::treeContents(work_ / "out")) written.push_back(name);
    EXPECT_EQ(written, expected);
}

TEST_F(ConvertOptions, ShardsTogetherWriteExactlyTheFilesOfOneRun) {
    struct Case {
        std::string database;
        std::vector<std::string> options;
        int shards;
    };
    const Case cases[] = {
        {sampleDb(), {"--kar"}, 3},
        {sampleDb(), {}, 7},  // more shards than songs
        // Names told apart over the whole run, not within one shard.
        {db(), {"--name", "{title}"}, 2},
        {db(), {"--name", "{title}"}, 3},
    };
    int n = 0;
    for (const Case& c : cases) {
        const std::string whole = "whole" + std::to_string(n);
        const std::string parts = "parts" + std::to_string(n++);
        std::vector<std::string> args = {"--all", "-C", c.database};
        args.insert(args.end(), c.options.begin(), c.options.end());
        convert(args, whole);
        for (int i = 1; i <= c.shards; ++i) {
            std::vector<std::string> shard = args;
            shard.insert(shard.end(), {"--shard", std::to_string(i) + "/" + std::to_string(c.shards)});
            convert(shard, parts);
        }
        const Tree expected = test::treeContents(work_ / whole);
        ASSERT_FALSE(expected.empty());
        EXPECT_TRUE(test::treeContents(work_ / parts) == expected) << parts;
    }
}

TEST_F(ConvertOptions, BadValuesAreUsageErrorsThatWriteNothing) {
    const std::vector<std::vector<std::string>> cases = {
        {"--shard", "0/3"},    {"--shard", "4/3"},     {"--shard", "x"},
        {"--shard", "1/0"},    {"--shard", "/3"},      {"--shard", "1/"},
        {"--shard", "-1/3"},   {"--shard", "1/3/3"},   {"--transpose", "-13"},
        {"--transpose", "13"}, {"--transpose", "24"},  {"--transpose", "x"},
        {"--transpose", "1.5"}, {"--tempo", "24"},     {"--tempo", "401"},
        {"--tempo", "0"},      {"--tempo", "x"},       {"--name", ""},
        {"--name", "{foo}"},   {"--name", "{song"},    {"--mute-melody"},
        {"--mute-melody", "--lrc"}, {"--audio", "aiff"}, {"--loudness", "-31"},
        {"--loudness", "-8"},  {"--loudness", "loud"},
        // Sound options without an output that renders sound.
        {"--soundfont", "x.sf2"},   {"--soundfont", "x.sf2", "--kar", "--lrc", "--ass"},
        {"--loudness", "-20", "--lrc"},
    };
    for (const auto& options : cases) {
        std::vector<std::string> args = {"--all", "-C", sampleDb()};
        args.insert(args.end(), options.begin(), options.end());
        const RunResult run = convert(args, "out");
        const std::string shown = options[0] + " " + (options.size() > 1 ? options[1] : "");
        EXPECT_EQ(run.exitCode, kExitUsage) << shown;
        EXPECT_EQ(run.out, "") << shown;
        EXPECT_NE(run.err.find(options[0]), std::string::npos) << shown << run.err;
    }
    EXPECT_EQ(work_.files(), std::vector<std::string>{"db"});
}

TEST_F(ConvertOptions, ResumeWritesOnlyTheFilesMissing) {
    using Times = std::map<std::string, std::filesystem::file_time_type>;
    const auto times = [&] {
        Times t;
        for (const auto& entry : std::filesystem::directory_iterator(work_ / "out")) {
            t[entry.path().filename().string()] = entry.last_write_time();
        }
        return t;
    };
    const std::vector<std::string> args = {"--all", "-C", sampleDb(), "--kar", "--lrc", "--resume",
                                           "--name", "{song} - {title}"};
    ASSERT_EQ(convert(args, "out").out, "5 converted, 0 skipped, 0 failed\n");
    const Times first = times();

    RunResult again = convert(args, "out");
    EXPECT_EQ(again.exitCode, 0);
    EXPECT_EQ(again.out, "0 converted, 0 skipped, 0 failed, 5 already done\n");
    EXPECT_EQ(times(), first);

    // One file of a song missing, whichever kind: that file, and only that
    // file, is written again (a chorus recording with its song's others).
    Times before = first;
    for (const auto& [song, missing] : {std::pair{"50004", "_2.mp3"}, std::pair{"50003", ".lrc"},
                                        std::pair{"50001", ".kar"}}) {
        std::string file;
        for (const auto& [name, time] : before) {
            if (name.starts_with(std::string(song) + " - ") && name.ends_with(missing)) file = name;
        }
        ASSERT_FALSE(file.empty()) << song << missing;
        std::filesystem::remove(work_ / "out" / file);
        again = convert(args, "out");
        EXPECT_EQ(again.out, "1 converted, 0 skipped, 0 failed, 4 already done\n") << file;
        const Times after = times();
        ASSERT_EQ(after.size(), before.size()) << file;
        for (const auto& [name, time] : before) {
            const bool chorus = std::string_view(missing).ends_with(".mp3") &&
                                name.starts_with(std::string(song) + " ") && name.ends_with(".mp3");
            if (name == file || chorus) {
                EXPECT_GT(after.at(name), time) << name;
            } else {
                EXPECT_EQ(after.at(name), time) << name;
            }
        }
        before = after;
    }

    // Asking for a file no song has yet writes it for every song, and
    // leaves the files already there as they are.
    std::vector<std::string> more = args;
    more.push_back("--ass");
    EXPECT_EQ(convert(more, "out").out, "5 converted, 0 skipped, 0 failed\n");
    const Times withAss = times();
    EXPECT_EQ(withAss.size(), before.size() + 5);
    for (const auto& [name, time] : before) EXPECT_EQ(withAss.at(name), time) << name;
}

// Every "[mm:ss.xx]" and "<mm:ss.xx>" time of an .lrc, in seconds, in order.
std::vector<double> lrcTimes(const std::string& text) {
    static const std::regex time(R"([\[<](\d\d):(\d\d)\.(\d\d)[\]>])");
    std::vector<double> seconds;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), time);
         it != std::sregex_iterator(); ++it) {
        seconds.push_back(std::stoi((*it)[1]) * 60 + std::stoi((*it)[2]) +
                          std::stoi((*it)[3]) / 100.0);
    }
    return seconds;
}

// The track bodies of a Standard MIDI File.
std::vector<std::span<const std::uint8_t>> midiTracks(std::span<const std::uint8_t> file) {
    std::vector<std::span<const std::uint8_t>> tracks;
    std::size_t at = 14;
    while (at + 8 <= file.size()) {
        const std::size_t length = readBigEndian32(file, at + 4);
        if (at + 8 + length > file.size()) break;
        tracks.push_back(file.subspan(at + 8, length));
        at += 8 + length;
    }
    return tracks;
}

bool isTempo(const TrackEvent& event) {
    return event.status == 0xFF && event.metaType == 0x51 && event.length == 3;
}

std::uint32_t tempoOf(std::span<const std::uint8_t> track, const TrackEvent& event) {
    return (std::uint32_t{track[event.data]} << 16) | (track[event.data + 1] << 8) |
           track[event.data + 2];
}

struct Moved {
    std::size_t notes = 0;
    std::size_t drums = 0;
    std::size_t tempos = 0;
};

// Walks the two files event by event: the same events at the same ticks,
// except keys of every channel but 10 moved by `semitones` (an octave back
// when they would leave 0..127) and tempos scaled by 100/percent.
void expectChanged(std::span<const std::uint8_t> plain, std::span<const std::uint8_t> changed,
                   int semitones, int percent, Moved& moved) {
    EXPECT_TRUE(std::equal(plain.begin(), plain.begin() + 14, changed.begin()));
    const auto a = midiTracks(plain);
    const auto b = midiTracks(changed);
    EXPECT_EQ(a.size(), b.size());
    for (std::size_t t = 0; t < std::min(a.size(), b.size()); ++t) {
        TrackEventReader ra(a[t]);
        TrackEventReader rb(b[t]);
        TrackEvent ea;
        TrackEvent eb;
        while (ra.next(ea)) {
            ASSERT_TRUE(rb.next(eb)) << "track " << t;
            if (isTempo(eb) && eb.tick == 0 && !(isTempo(ea) && ea.tick == 0)) {
                // A song without a tempo at its start gets 120 bpm, scaled.
                EXPECT_NEAR(tempoOf(b[t], eb), 500000.0 * 100 / percent, 1.0);
                ++moved.tempos;
                ASSERT_TRUE(rb.next(eb));
            }
            ASSERT_EQ(ea.tick, eb.tick) << "track " << t;
            ASSERT_EQ(ea.status, eb.status) << "track " << t << " tick " << ea.tick;
            ASSERT_EQ(ea.length, eb.length);
            const auto da = a[t].subspan(ea.data, ea.length);
            const auto db = b[t].subspan(eb.data, eb.length);
            const std::uint8_t kind = ea.status & 0xF0;
            if ((kind == 0x80 || kind == 0x90 || kind == 0xA0) && ea.length == 2) {
                int key = da[0];
                if ((ea.status & 0x0F) == 9) {
                    ++moved.drums;
                } else {
                    key += semitones;
                    if (key < 0) key += 12;
                    if (key > 127) key -= 12;
                    ++moved.notes;
                }
                EXPECT_EQ(db[0], key) << "track " << t << " tick " << ea.tick;
                EXPECT_EQ(db[1], da[1]);
            } else if (isTempo(ea)) {
                EXPECT_NEAR(tempoOf(b[t], eb), tempoOf(a[t], ea) * 100.0 / percent, 0.5 + 1e-9);
                ++moved.tempos;
            } else {
                EXPECT_TRUE(std::equal(da.begin(), da.end(), db.begin())) << "track " << t;
            }
        }
        EXPECT_FALSE(rb.next(eb)) << "track " << t << ": events added";
    }
}

TEST_F(ConvertOptions, TransposeAndTempoMoveNotesTemposAndLyricTimes) {
    const std::vector<std::string> songs = {"50001", "50002", "50003", "50004", "50005", "21090",
                                            "21093", "21095", "21099"};
    for (const std::string& folder : {std::string("plain"), std::string("identity"),
                                      std::string("changed")}) {
        for (const std::string& database : {sampleDb(), db()}) {
            std::vector<std::string> args = {"-C", database, "--kar", "--lrc"};
            args.insert(args.end(), songs.begin(), songs.end());
            if (folder == "identity") args.insert(args.end(), {"--transpose", "0", "--tempo", "100"});
            if (folder == "changed") args.insert(args.end(), {"--transpose", "-2", "--tempo", "90"});
            convert(args, folder);
        }
    }
    const Tree plain = test::treeContents(work_ / "plain");
    const Tree changed = test::treeContents(work_ / "changed");
    EXPECT_TRUE(test::treeContents(work_ / "identity") == plain);
    ASSERT_EQ(changed.size(), plain.size());

    Moved total;
    for (const auto& [name, bytes] : plain) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(changed.contains(name));
        const test::Bytes& other = changed.at(name);
        if (name.ends_with(".mid") || name.ends_with(".kar")) {
            expectChanged(bytes, other, -2, 90, total);
        } else if (name.ends_with(".lrc")) {
            const std::vector<double> before = lrcTimes(std::string(bytes.begin(), bytes.end()));
            const std::vector<double> after = lrcTimes(std::string(other.begin(), other.end()));
            ASSERT_EQ(after.size(), before.size());
            ASSERT_FALSE(before.empty());
            // Both rounded to hundredths: at most half of one from each.
            for (std::size_t i = 0; i < before.size(); ++i) {
                EXPECT_NEAR(after[i], before[i] * 100 / 90, 0.005 + 0.005 * 100 / 90 + 1e-9) << i;
            }
        } else {
            EXPECT_TRUE(other == bytes);  // chorus recordings are copied as they are
        }
    }
    EXPECT_GT(total.notes, 100U);
    EXPECT_GT(total.drums, 0U);
    EXPECT_GT(total.tempos, 0U);
}

TEST_F(ConvertOptions, LyricFilesAreTheGoldenOnesAndSongsWithoutLyricsGetNone) {
    const RunResult version = runTool(work_.path(), {"--version"});
    ASSERT_TRUE(version.out.starts_with("kdb2mid ")) << version.out;
    const std::string number = version.out.substr(8, version.out.find('\n') - 8);

    RunResult run = convert({"--all", "-C", sampleDb(), "--lrc", "--ass"}, "sample");
    EXPECT_EQ(run.out, "5 converted, 0 skipped, 0 failed\n");
    const std::filesystem::path golden = test::sourceDir() / "tests" / "golden";
    for (const char* song : {"50001", "50002", "50003", "50004", "50005"}) {
        for (const char* kind : {"lrc", "ass"}) {
            const std::string name = std::string(song) + "." + kind;
            std::string expected = test::readText(golden / kind / name);
            const std::size_t at = expected.find("VERSION");
            ASSERT_NE(at, std::string::npos) << name;
            expected.replace(at, 7, number);
            EXPECT_EQ(test::readText(work_ / "sample" / name), expected) << name;
        }
    }

    run = convert({"--all", "-C", db(), "--lrc", "--ass"}, "fixture");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.out.ends_with(" 1 failed, 1 without lyrics\n")) << run.out;
    const Tree files = test::treeContents(work_ / "fixture");
    EXPECT_TRUE(files.contains(std::to_string(test::kSilentSong) + ".mid"));
    EXPECT_FALSE(files.contains(std::to_string(test::kSilentSong) + ".lrc"));
    EXPECT_FALSE(files.contains(std::to_string(test::kSilentSong) + ".ass"));
    EXPECT_TRUE(files.contains(std::to_string(test::kPlainSong) + ".ass"));
}

}  // namespace
}  // namespace kdb2mid
