// `kdb2mid convert --stems`: the full song, its instrumental and its guide
// melody decoded by libsndfile, not by our model of them; the full song the
// same bytes as without --stems. In the suite
// StemsAudioCommand, which the valgrind run leaves out (it renders).
#ifdef KDB2MID_HAVE_AUDIO

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <fstream>
#include <iterator>

#include "cli/exit_status.hpp"
#include "cli/options_fixture.hpp"
#include "convert/outputs.hpp"
#include "inspect/melody.hpp"
#include "io/song_database.hpp"

namespace kdb2mid {
namespace {

using test::kSmallSoundFont;

struct Decoded {
    int rate = 0;
    std::vector<float> samples;  // interleaved stereo
};

Decoded decode(const std::filesystem::path& path) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.string().c_str(), SFM_READ, &info);
    Decoded out;
    if (file == nullptr || info.channels != 2) {
        if (file != nullptr) sf_close(file);
        return out;
    }
    out.rate = info.samplerate;
    out.samples.resize(static_cast<std::size_t>(info.frames) * 2);
    const sf_count_t read = sf_readf_float(file, out.samples.data(), info.frames);
    out.samples.resize(static_cast<std::size_t>(read) * 2);
    sf_close(file);
    return out;
}

double rms(std::span<const float> samples) {
    double sum = 0;
    for (const float s : samples) sum += static_cast<double>(s) * static_cast<double>(s);
    return samples.empty() ? 0.0 : std::sqrt(sum / static_cast<double>(samples.size()));
}

double decibels(double ratio) { return 20.0 * std::log10(std::max(ratio, 1e-12)); }

// The melody's notes of a sample song, in seconds, as the converter chooses them.
std::vector<std::pair<double, double>> melodyTimes(std::int32_t number) {
    SongDatabase database;
    std::vector<std::pair<double, double>> times;
    if (database.open(test::sampleDatabaseDir()) != SongDatabase::OpenError::none) return times;
    std::vector<std::uint8_t> record;
    DecodedSong song;
    if (!database.readRecord(database.locate(number), record) ||
        decodeSong(record, song) != RecordError::none) {
        return times;
    }
    const TimedLyrics lyrics = timedLyrics(song.imageBytes(), song.lyrics);
    std::vector<std::vector<Note>> notes;
    const MelodyChoice melody = songMelody(song, lyrics, notes);
    if (melody.track < 0) return times;
    const SongTiming timing = songTiming(dataTracksOf(song), song.lyrics);
    for (const Note& note : notes[static_cast<std::size_t>(melody.track)]) {
        times.emplace_back(timing.tempo.secondsAt(note.startTick),
                           timing.tempo.secondsAt(note.endTick));
    }
    return times;
}

class StemsAudioCommand : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::filesystem::exists(kSmallSoundFont)) {
            GTEST_SKIP() << kSmallSoundFont << " missing (timgm6mb-soundfont)";
        }
    }
    test::RunResult convert(std::vector<std::string> args) {
        args.insert(args.begin(), {"convert", "-C", test::sampleDatabaseDir().string(), "-o",
                                   out().string(), "--soundfont", kSmallSoundFont.string()});
        return test::runTool(work_.path(), args);
    }
    std::filesystem::path out() const { return work_ / "out"; }
    test::TempDir work_;
};

std::vector<std::uint8_t> bytesOf(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Encoded as the song is finished (--audio alone), and from memory beside a
// picture whose sound starts with a lead-in (which the audio files leave out).
TEST_F(StemsAudioCommand, InstrumentalPlusGuideIsTheFullSongAndTheGuideSoundsWithTheMelody) {
    struct Case {
        std::int32_t number;
        bool cdg;  // with --cdg: a picture with a lead-in shares the render
    };
    for (const Case& run : {Case{50001, false}, Case{50004, false}, Case{50004, true}}) {
#ifndef KDB2MID_HAVE_CDG
        if (run.cdg) continue;
#endif
        const std::int32_t number = run.number;
        SCOPED_TRACE(testing::Message() << number << (run.cdg ? " --cdg" : ""));
        const std::string song = std::to_string(number);
        std::vector<std::string> args = {song, "--audio", "flac", "--stems", "-q"};
        if (run.cdg) args.emplace_back("--cdg");
        ASSERT_EQ(convert(args).exitCode, kExitSuccess);
        const Decoded full = decode(out() / (song + ".flac"));
        const Decoded instrumental = decode(out() / (song + ".instrumental.flac"));
        const Decoded guide = decode(out() / (song + ".guide.flac"));
        // The full song is the file --audio writes without --stems; with
        // --cdg sharing the render, the parts are those written without it.
        const std::filesystem::path split = work_ / (song + ".split.flac");
        std::filesystem::rename(out() / (song + ".flac"), split);
        if (run.cdg) {
            for (const char* part : {".instrumental.flac", ".guide.flac"}) {
                std::filesystem::rename(out() / (song + part), work_ / (song + part));
            }
            ASSERT_EQ(convert({song, "--audio", "flac", "--stems", "-q"}).exitCode, kExitSuccess);
            for (const char* part : {".instrumental.flac", ".guide.flac"}) {
                EXPECT_TRUE(bytesOf(work_ / (song + part)) == bytesOf(out() / (song + part)))
                    << part;
            }
        }
        ASSERT_EQ(convert({song, "--audio", "flac", "-q"}).exitCode, kExitSuccess);
        EXPECT_TRUE(bytesOf(split) == bytesOf(out() / (song + ".flac")));
        ASSERT_GT(full.samples.size(), 0U);
        ASSERT_EQ(instrumental.samples.size(), full.samples.size());
        ASSERT_EQ(guide.samples.size(), full.samples.size());

        std::vector<float> residual(full.samples.size());
        for (std::size_t k = 0; k < residual.size(); ++k) {
            residual[k] = instrumental.samples[k] + guide.samples[k] - full.samples[k];
        }
        const double level = rms(full.samples);
        EXPECT_LE(decibels(rms(residual) / level), -50.0);

        // 50 ms windows: where a melody note sounds the guide does; before
        // the first note and three seconds after one ended (a long release
        // and the reverb gone) it is silent, the accompaniment alone.
        constexpr double kRelease = 3.0;
        const std::vector<std::pair<double, double>> notes = melodyTimes(number);
        ASSERT_FALSE(notes.empty());
        const auto window = static_cast<std::size_t>(full.rate / 20) * 2;
        std::vector<float> sounding;
        std::vector<float> resting;
        for (std::size_t at = 0; at + window <= guide.samples.size(); at += window) {
            const double from = static_cast<double>(at / 2) / full.rate;
            const double to = from + 0.05;
            bool inNote = false;
            bool nearNote = false;
            for (const auto& [start, end] : notes) {
                inNote = inNote || (start <= from && to <= end);
                nearNote = nearNote || (start < to + 0.05 && from < end + kRelease);
            }
            const std::span<const float> piece(guide.samples.data() + at, window);
            if (inNote) sounding.insert(sounding.end(), piece.begin(), piece.end());
            if (!nearNote) resting.insert(resting.end(), piece.begin(), piece.end());
        }
        ASSERT_FALSE(sounding.empty());
        EXPECT_GE(decibels(rms(sounding) / level), -30.0);
        ASSERT_FALSE(resting.empty());
        EXPECT_LE(decibels(rms(resting) / level), -60.0);
    }
}

TEST_F(StemsAudioCommand, StemsNeedAnOutputToSplitAndCannotMuteTheMelody) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"50004", "--stems"}, {"50004", "--stems", "--lrc", "--cdg"},
          {"50004", "--stems", "--audio", "wav", "--mute-melody"}}) {
        const test::RunResult run = convert(args);
        EXPECT_EQ(run.exitCode, kExitUsage) << args.size();
        EXPECT_FALSE(std::filesystem::exists(out() / "50004.mid"));
    }
}

}  // namespace
}  // namespace kdb2mid

#endif  // KDB2MID_HAVE_AUDIO
