// `kdb2mid convert` rendering audio and UltraStar folders, with the small GM
// soundfont TimGM6mb for speed. Rendering is slow under valgrind, so every
// test here is in the suite ConvertAudioCommand, which
// scripts/valgrind-tests.sh leaves out (the renderer itself is tested in
// process, under valgrind too, in tests/audio/).
#ifdef KDB2MID_HAVE_AUDIO

#include <ebur128.h>
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <regex>

#include "cli/exit_status.hpp"
#include "cli/options_fixture.hpp"
#include "export/ultrastar_reader.hpp"
#include "format/byte_order.hpp"
#include "generator/database_writer.hpp"

namespace kdb2mid {
namespace {

using test::RunResult;
using test::TempDir;
using test::runTool;

using test::kSmallSoundFont;

class ConvertAudioCommand : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::filesystem::exists(kSmallSoundFont)) {
            GTEST_SKIP() << kSmallSoundFont << " missing (timgm6mb-soundfont)";
        }
    }
    RunResult convert(std::vector<std::string> args) {
        args.insert(args.begin(), {"convert", "-C", test::sampleDatabaseDir().string()});
        args.insert(args.end(), {"-o", (work_ / "out").string()});
        return runTool(work_.path(), args);
    }
    TempDir work_;
};

std::uint32_t le32(std::span<const std::uint8_t> b, std::size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (std::uint32_t{b[at + 3]} << 24);
}
std::uint16_t le16(std::span<const std::uint8_t> b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

struct Wave {
    unsigned channels = 0;
    unsigned rate = 0;
    double seconds = 0;
    double rmsDbfs = -200;
    double lufs = -200;  // integrated loudness, libebur128's measure
};

// A 16-bit PCM WAV file's format, length and loudness.
Wave readWave(std::span<const std::uint8_t> file) {
    Wave wave;
    if (file.size() < 12 || le32(file, 0) != 0x46464952 || le32(file, 8) != 0x45564157) return wave;
    unsigned bits = 0;
    for (std::size_t at = 12; at + 8 <= file.size();) {
        const std::uint32_t size = le32(file, at + 4);
        const std::size_t body = at + 8;
        if (body + size > file.size()) break;
        if (le32(file, at) == 0x20746D66 && size >= 16) {  // "fmt "
            wave.channels = le16(file, body + 2);
            wave.rate = le32(file, body + 4);
            bits = le16(file, body + 14);
        } else if (le32(file, at) == 0x61746164 && bits == 16 && wave.channels > 0) {  // "data"
            double sum = 0;
            const std::size_t samples = size / 2;
            for (std::size_t i = 0; i < samples; ++i) {
                const double s = static_cast<std::int16_t>(le16(file, body + 2 * i)) / 32768.0;
                sum += s * s;
            }
            wave.seconds = static_cast<double>(samples) / wave.channels / wave.rate;
            if (samples > 0 && sum > 0) wave.rmsDbfs = 10 * std::log10(sum / static_cast<double>(samples));
            std::vector<short> pcm(samples);
            for (std::size_t i = 0; i < samples; ++i) {
                pcm[i] = static_cast<std::int16_t>(le16(file, body + 2 * i));
            }
            ebur128_state* meter = ebur128_init(wave.channels, wave.rate, EBUR128_MODE_I);
            ebur128_add_frames_short(meter, pcm.data(), samples / wave.channels);
            ebur128_loudness_global(meter, &wave.lufs);
            ebur128_destroy(&meter);
        }
        at = body + size + (size & 1);
    }
    return wave;
}

// The song's length in seconds as `kdb2mid info` tells it.
double infoSeconds(const std::filesystem::path& folder, const std::string& song) {
    const RunResult info = runTool(folder, {"info", song, "-C", test::sampleDatabaseDir().string()});
    static const std::regex length(R"(([0-9.]+) seconds)");
    std::smatch match;
    if (!std::regex_search(info.out, match, length)) return -1;
    return std::stod(match[1]);
}

TEST_F(ConvertAudioCommand, WavIsStereoAtCdRateAsLongAsTheSongAndAudible) {
    const RunResult run = convert({"50001", "--audio", "wav", "--soundfont", kSmallSoundFont.string()});
    ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_EQ(run.out, "1 converted, 0 skipped, 0 failed\n");
    EXPECT_EQ(work_.files(), (std::vector<std::string>{"out"}));
    const auto files = test::treeContents(work_ / "out");
    EXPECT_EQ(files.size(), 2U);  // 50001.mid and 50001.wav, no temporary file left
    ASSERT_TRUE(files.contains("50001.wav"));
    const Wave wave = readWave(files.at("50001.wav"));
    EXPECT_EQ(wave.channels, 2U);
    EXPECT_EQ(wave.rate, 44100U);
    EXPECT_GT(wave.rmsDbfs, -30.0);  // brought to -16 LUFS
    const double song = infoSeconds(work_.path(), "50001");
    ASSERT_GT(song, 1.0);
    EXPECT_GE(wave.seconds, song);
    EXPECT_LE(wave.seconds, song + 10.0);
}

TEST_F(ConvertAudioCommand, ABadSoundFontIsOneLineAndNothingWritten) {
    sample::writeFile(work_ / "fake.sf2", test::bytes({'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'A', 'V', 'E'}));
    for (const std::string& font : {(work_ / "none.sf2").string(), (work_ / "fake.sf2").string()}) {
        for (const char* kind : {"--audio", "--ultrastar"}) {
            std::vector<std::string> args = {"--all", kind, "--soundfont", font};
            if (std::string(kind) == "--audio") args.insert(args.begin() + 2, "ogg");
            const RunResult run = convert(args);
            EXPECT_EQ(run.exitCode, kExitUsage) << font << " " << kind;
            EXPECT_EQ(run.out, "");
            EXPECT_EQ(run.err.rfind("kdb2mid convert: --soundfont ", 0), 0U) << run.err;
            EXPECT_EQ(run.err.substr(run.err.find('\n')), "\nRun with --help for more information.\n");
        }
    }
    EXPECT_EQ(work_.files(), (std::vector<std::string>{"fake.sf2"}));
}

TEST_F(ConvertAudioCommand, ASongWithoutNotesIsWrittenAsSilenceWithANotice) {
    sample::SongSpec song;
    song.tracks = {test::bytes({0x83, 0x60, 0xFF, 0x2F, 0x00})};  // two beats, no note
    song.lyricBlock = sample::buildLyricBlock({"Song"}, {{" La", false, {0, 60, 60}}});
    sample::Database database;
    database.records = {sample::buildRecord(song)};
    sample::writeDatabase(database, work_ / "db");
    const RunResult run = runTool(work_.path(), {"convert", "21090", "-C", (work_ / "db").string(),
                                                 "-o", (work_ / "out").string(), "--audio", "wav",
                                                 "--soundfont", kSmallSoundFont.string()});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "Song 21090: no note sounds; its audio is silence\n"
                       "1 converted, 0 skipped, 0 failed\n");
    const Wave wave = readWave(test::treeContents(work_ / "out").at("21090.wav"));
    EXPECT_EQ(wave.rate, 44100U);
    EXPECT_GT(wave.seconds, 0.5);
    EXPECT_EQ(wave.rmsDbfs, -200);  // every sample zero
}

TEST_F(ConvertAudioCommand, UltraStarFoldersHoldTheGoldenTextAndItsAudio) {
    const RunResult run = convert({"--all", "--ultrastar", "--soundfont", kSmallSoundFont.string()});
    ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_TRUE(run.out.ends_with("5 converted, 0 skipped, 0 failed\n")) << run.out;
    const auto files = test::treeContents(work_ / "out");
    const std::filesystem::path golden = test::sourceDir() / "tests" / "golden" / "ultrastar";
    for (const std::string song : {"50001", "50002", "50003", "50004", "50005"}) {
        SCOPED_TRACE(song);
        const std::string folder = song + "/";
        ASSERT_TRUE(files.contains(folder + song + ".txt"));
        ASSERT_TRUE(files.contains(folder + song + ".ogg"));
        EXPECT_TRUE(files.contains(song + ".mid"));
        const auto& ogg = files.at(folder + song + ".ogg");
        EXPECT_TRUE(ogg.size() > 1000 && std::equal(ogg.begin(), ogg.begin() + 4, "OggS"));

        const auto& bytes = files.at(folder + song + ".txt");
        const std::string text(bytes.begin(), bytes.end());
        const test::UltraStarRead read = test::readUltraStar(text);
        ASSERT_TRUE(read.song) << read.error;
        EXPECT_EQ(read.song->header("AUDIO"), song + ".ogg");
        EXPECT_EQ(read.song->header("MP3"), song + ".ogg");
        EXPECT_EQ(test::timingFaults(*read.song), "");

        const std::filesystem::path expected = golden / (song + ".txt");
        if (std::getenv("KDB2MID_UPDATE_GOLDEN") != nullptr) {
            std::filesystem::create_directories(golden);
            sample::writeFile(expected, bytes);
        }
        EXPECT_EQ(text, test::readText(expected));
    }
    // Each song folder holds its two files and nothing else.
    EXPECT_EQ(files.size(), 5U * 3 + 2);  // .mid, .txt, .ogg; 50004's chorus recordings
}

// --resume writes each output whose files are missing, and renders the
// song only when an output that sounds is among them.
TEST_F(ConvertAudioCommand, ResumeRendersOnlyForTheAudioMissing) {
    const std::filesystem::path out = work_ / "out";
    const std::vector<std::string> args = {"50004", "--audio", "wav", "--soundfont",
                                           kSmallSoundFont, "--resume", "-j", "1"};
    ASSERT_EQ(convert(args).exitCode, kExitSuccess);
    const test::Bytes firstWave = test::treeContents(out).at("50004.wav");
    const auto rendered = std::filesystem::last_write_time(out / "50004.wav");

    std::vector<std::string> withLyrics = args;
    withLyrics.push_back("--lrc");
    RunResult run = convert(withLyrics);
    EXPECT_EQ(run.out, "1 converted, 0 skipped, 0 failed\n");
    EXPECT_TRUE(std::filesystem::exists(out / "50004.lrc"));
    EXPECT_EQ(std::filesystem::last_write_time(out / "50004.wav"), rendered);

    // The .mid alone written again; the audio, rendered from the same bytes
    // when it is missing, comes out as before.
    std::filesystem::remove(out / "50004.mid");
    ASSERT_EQ(convert(args).exitCode, kExitSuccess);
    EXPECT_TRUE(std::filesystem::exists(out / "50004.mid"));
    EXPECT_EQ(std::filesystem::last_write_time(out / "50004.wav"), rendered);
    std::filesystem::remove(out / "50004.wav");
    ASSERT_EQ(convert(args).exitCode, kExitSuccess);
    EXPECT_TRUE(test::treeContents(out).at("50004.wav") == firstWave);

    // UltraStar added: its folder gets the same audio; --audio's file stays.
    const auto again = std::filesystem::last_write_time(out / "50004.wav");
    std::vector<std::string> withGame = args;
    withGame.push_back("--ultrastar");
    ASSERT_EQ(convert(withGame).exitCode, kExitSuccess);
    EXPECT_EQ(std::filesystem::last_write_time(out / "50004.wav"), again);
    EXPECT_TRUE(test::treeContents(out / "50004").at("50004.wav") == firstWave);
}

// A loud target some songs' peaks leave no room for: each such song is
// named with the loudness it has, as a meter reads the file, and the
// summary counts them; the others reach the target.
TEST_F(ConvertAudioCommand, SongsTheCeilingHoldsBelowTheTargetAreNamed) {
    const RunResult run = convert({"--all", "--audio", "wav", "--loudness", "-9", "--soundfont",
                                   kSmallSoundFont.string()});
    ASSERT_EQ(run.exitCode, kExitSuccess) << run.err;
    const std::regex held(
        R"(Song (\d+): the -1 dBTP true-peak ceiling holds it at (-[\d.]+) LUFS, not the -9 asked for)");
    std::map<std::string, double> named;
    for (std::sregex_iterator it(run.out.begin(), run.out.end(), held), end; it != end; ++it) {
        named[(*it)[1]] = std::stod((*it)[2]);
    }
    ASSERT_FALSE(named.empty()) << run.out;
    EXPECT_NE(run.out.find(", " + std::to_string(named.size()) + " below the loudness asked for\n"),
              std::string::npos)
        << run.out;
    for (const auto& [name, bytes] : test::treeContents(work_ / "out")) {
        if (!name.ends_with(".wav")) continue;
        const std::string song = name.substr(0, name.size() - 4);
        const double lufs = readWave(bytes).lufs;
        if (named.contains(song)) {
            EXPECT_NEAR(lufs, named[song], 0.1) << song;
            EXPECT_LT(lufs, -9.5) << song;
        } else {
            EXPECT_GE(lufs, -9.5) << song;
        }
    }
}

}  // namespace
}  // namespace kdb2mid

#endif  // KDB2MID_HAVE_AUDIO
