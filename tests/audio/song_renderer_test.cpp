// Songs rendered with the small GM soundfont TimGM6mb to every format and
// read back with libsndfile: rate, channels, length against the song's own,
// loudness; the same song unnormalised; and what the renderer refuses.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <vector>

#include "audio/true_peak_limiter.hpp"
#include "audio/song_renderer.hpp"
#include "messages/messages.hpp"
#include "midi/midi_file.hpp"
#include "midi/midi_timing.hpp"
#include "io/song_database.hpp"
#include "generator/midi_track_builder.hpp"
#include "test_support.hpp"

namespace kdb2mid {
namespace {

using test::Bytes;

using test::kSmallSoundFont;

bool haveSoundFont() { return std::filesystem::exists(kSmallSoundFont); }

#define REQUIRE_SOUNDFONT()                                                          \
    if (!haveSoundFont()) GTEST_SKIP() << kSmallSoundFont << " missing (timgm6mb-soundfont)"

// One renderer per format and target for the whole test program.
SongRenderer& renderer(AudioFormat format, std::optional<double> loudness = kDefaultLoudness) {
    static std::map<std::pair<AudioFormat, std::optional<double>>, std::unique_ptr<SongRenderer>>
        renderers;
    auto& slot = renderers[{format, loudness}];
    if (!slot) {
        AudioStatus status;
        RenderSettings settings;
        settings.format = format;
        settings.loudnessTarget = loudness;
        slot = SongRenderer::open(kSmallSoundFont, settings, status);
        EXPECT_TRUE(status) << describe(status);
    }
    return *slot;
}

Bytes sampleSong(std::int32_t number) {
    SongDatabase database;
    EXPECT_EQ(database.open(test::sampleDatabaseDir()), SongDatabase::OpenError::none);
    Bytes record;
    EXPECT_TRUE(database.readRecord(database.locate(number), record));
    Bytes midi;
    EXPECT_EQ(recordToMidi(record, midi), RecordError::none);
    return midi;
}

void putBig(Bytes& out, std::uint32_t value, int bytes) {
    for (int shift = 8 * (bytes - 1); shift >= 0; shift -= 8) {
        out.push_back(static_cast<std::uint8_t>(value >> shift));
    }
}

// A format 1 MIDI file at 120 ticks a quarter note holding the track bodies.
Bytes midiFile(const std::vector<Bytes>& tracks) {
    Bytes file{'M', 'T', 'h', 'd'};
    putBig(file, 6, 4);
    putBig(file, 1, 2);
    putBig(file, static_cast<std::uint32_t>(tracks.size()), 2);
    putBig(file, 120, 2);
    for (const Bytes& track : tracks) {
        file.insert(file.end(), {'M', 'T', 'r', 'k'});
        putBig(file, static_cast<std::uint32_t>(track.size()), 4);
        file.insert(file.end(), track.begin(), track.end());
    }
    return file;
}

// A short tune: piano on channel 1 and a drum on channel 10, shifted by
// transpose semitones.
Bytes tune(int transpose = 0) {
    sample::MidiTrackBuilder track;
    track.programChange(0, 0, 0);
    for (std::uint32_t i = 0; i < 8; ++i) {
        const auto key = static_cast<std::uint8_t>(60 + transpose + static_cast<int>(i % 4) * 2);
        track.note(i * 120, 110, 0, key, 100);
        track.note(i * 120, 60, sample::kDrumChannel, 42, 90);
    }
    return midiFile({track.finish()});
}

// When the last event of midi happens, in seconds.
double songSeconds(const Bytes& midi) {
    std::vector<TempoChange> tempos;
    std::uint64_t end = 0;
    for (std::size_t at = 14; at + 8 <= midi.size();) {
        const std::size_t length = (std::size_t{midi[at + 4]} << 24) |
                                   (std::size_t{midi[at + 5]} << 16) |
                                   (std::size_t{midi[at + 6]} << 8) | midi[at + 7];
        const std::span body(midi.data() + at + 8, std::min(length, midi.size() - at - 8));
        end = std::max(end, scanTrackTiming(body, tempos).endTick);
        at += 8 + length;
    }
    return ticksToSeconds(end, tempos, 120);
}

struct Decoded {
    SF_INFO info{};
    std::vector<float> samples;  // interleaved
    double seconds() const { return static_cast<double>(info.frames) / info.samplerate; }
    double lufs() const {
        LoudnessMeter meter(info.samplerate);
        meter.add(samples);
        return meter.loudness().value_or(-HUGE_VAL);
    }
    double rmsDb() const {
        double sum = 0;
        for (float s : samples) sum += static_cast<double>(s) * static_cast<double>(s);
        return 10 * std::log10(sum / static_cast<double>(samples.size()) + 1e-30);
    }
};

struct Reader {
    const Bytes* bytes;
    sf_count_t at = 0;
};

// Reads an audio file from memory with libsndfile, as a player would.
Decoded decode(const Bytes& file) {
    SF_VIRTUAL_IO io{
        [](void* r) { return static_cast<sf_count_t>(static_cast<Reader*>(r)->bytes->size()); },
        [](sf_count_t offset, int whence, void* r) {
            auto& reader = *static_cast<Reader*>(r);
            const auto size = static_cast<sf_count_t>(reader.bytes->size());
            reader.at = std::clamp<sf_count_t>(
                (whence == SEEK_SET ? 0 : whence == SEEK_CUR ? reader.at : size) + offset, 0, size);
            return reader.at;
        },
        [](void* out, sf_count_t count, void* r) {
            auto& reader = *static_cast<Reader*>(r);
            const auto size = static_cast<sf_count_t>(reader.bytes->size());
            const sf_count_t n = std::min(count, size - reader.at);
            std::memcpy(out, reader.bytes->data() + reader.at, static_cast<std::size_t>(n));
            reader.at += n;
            return n;
        },
        [](const void*, sf_count_t, void*) { return sf_count_t{0}; },
        [](void* r) { return static_cast<Reader*>(r)->at; }};
    Reader reader{&file};
    Decoded decoded;
    SNDFILE* sound = sf_open_virtual(&io, SFM_READ, &decoded.info, &reader);
    EXPECT_NE(sound, nullptr) << sf_strerror(nullptr);
    if (sound == nullptr) return decoded;
    std::vector<float> block(4096 * 2);
    for (sf_count_t n; (n = sf_readf_float(sound, block.data(), 4096)) > 0;) {
        decoded.samples.insert(decoded.samples.end(), block.begin(), block.begin() + n * 2);
    }
    sf_close(sound);
    decoded.info.frames = static_cast<sf_count_t>(decoded.samples.size() / 2);
    return decoded;
}

Bytes render(AudioFormat format, const Bytes& midi, RenderResult* out = nullptr,
             std::optional<double> loudness = kDefaultLoudness) {
    MemoryAudioSink sink;
    const RenderResult result = renderer(format, loudness).render(midi, sink);
    EXPECT_TRUE(result.status) << describe(result.status);
    if (out != nullptr) *out = result;
    return sink.bytes();
}

// One test per format, so that ctest -j spreads the slow encoders.
class EveryFormat : public testing::TestWithParam<AudioFormat> {};

TEST_P(EveryFormat, SampleSongIsStereoAtItsRateAsLongAsTheSongAndAtTheTargetLoudness) {
    REQUIRE_SOUNDFONT();
    const AudioFormat format = GetParam();
    if (!audioFormatSupported(format)) GTEST_SKIP() << "this libsndfile cannot write it";
    const Bytes midi = sampleSong(50004);  // the shortest sample song
    const double length = songSeconds(midi);
    ASSERT_GT(length, 20.0);
    RenderResult result;
    const Decoded audio = decode(render(format, midi, &result));
    EXPECT_EQ(audio.info.samplerate, audioSampleRate(format));
    EXPECT_EQ(audio.info.channels, 2);
    // Encoders add a few milliseconds of padding at most.
    EXPECT_GE(audio.seconds(), length);
    EXPECT_LE(audio.seconds(), length + kMaxFadeSeconds + 0.1);
    EXPECT_NEAR(result.seconds, audio.seconds(), 0.1);
    EXPECT_NEAR(audio.lufs(), kDefaultLoudness, 0.5);
    EXPECT_LE(peakOf(audio.samples), 1.0f);
}

INSTANTIATE_TEST_SUITE_P(SongRenderer, EveryFormat, testing::ValuesIn(kAudioFormats),
                         [](const auto& param) { return std::string(audioFormatName(param.param)); });

// The same song gives the same bytes on every run, whatever was rendered
// before; an Ogg stream's serial comes from the song, and the pages' checksums
// with it hold (libogg, reading them back, drops a page whose checksum is wrong).
TEST(SongRenderer, SongsDoNotDependOnWhatWasRenderedBefore) {
    REQUIRE_SOUNDFONT();
    for (const AudioFormat format : {AudioFormat::wav, AudioFormat::ogg, AudioFormat::opus}) {
        if (!audioFormatSupported(format)) continue;
        SCOPED_TRACE(audioFormatName(format));
        const Bytes first = render(format, sampleSong(50003));
        const Bytes other = render(format, sampleSong(50005));
        EXPECT_TRUE(render(format, sampleSong(50003)) == first);
        if (format == AudioFormat::wav) continue;
        const auto serial = [](const Bytes& file) {
            return std::vector(file.begin() + 14, file.begin() + 18);
        };
        EXPECT_NE(serial(first), serial(other));
        // Held in memory first (when several outputs share the sound): the same serial.
        RenderedAudio audio;
        ASSERT_TRUE(renderer(format).renderSong(sampleSong(50003), audio).status);
        MemoryAudioSink sink;
        ASSERT_TRUE(encodeAudio(audio, format, sink));
        EXPECT_EQ(serial(sink.bytes()), serial(first));
        EXPECT_NEAR(decode(sink.bytes()).seconds(), audio.seconds(), 0.1);
    }
}

TEST(SongRenderer, RenderIsRenderSongThenEncodeAndOffIsTheSameMusicAtTheSynthesizersLevel) {
    REQUIRE_SOUNDFONT();
    const Bytes midi = sampleSong(50003);  // never near the true-peak ceiling
    RenderResult rendered;
    const Bytes file = render(AudioFormat::wav, midi, &rendered);

    RenderedAudio audio;
    const RenderResult result = renderer(AudioFormat::wav).renderSong(midi, audio);
    ASSERT_TRUE(result.status);
    EXPECT_EQ(audio.sampleRate, kAudioSampleRate);
    EXPECT_EQ(audio.frames(), result.frames);
    ASSERT_TRUE(audio.loudness.measured);
    EXPECT_EQ(audio.loudness.gainDb, rendered.loudness.gainDb);
    EXPECT_NEAR(audio.loudness.gainDb, kDefaultLoudness - *audio.loudness.measured, 1e-9);
    MemoryAudioSink sink;
    ASSERT_TRUE(encodeAudio(audio, AudioFormat::wav, sink));
    EXPECT_TRUE(sink.bytes() == file);
    EXPECT_FALSE(encodeAudio(audio, AudioFormat::opus, sink));  // 48 kHz only

    // Unnormalised: the same samples, before the gain, up to 16-bit rounding
    // (of the file, and of the render held in memory).
    RenderResult plainResult;
    const Decoded plain = decode(render(AudioFormat::wav, midi, &plainResult, std::nullopt));
    EXPECT_FALSE(plainResult.loudness.measured);
    ASSERT_EQ(plain.samples.size(), audio.samples.size());
    ASSERT_FALSE(audio.loudness.limited);
    const float gain = amplitudeOf(audio.loudness.gainDb);
    float worst = 0.0f;
    for (std::size_t i = 0; i < plain.samples.size(); ++i) {
        worst = std::max(worst, std::fabs(plain.samples[i] * gain - audio.samples[i]));
    }
    EXPECT_LT(worst, 2 * gain / 32768.0f);
}

// A stem written with less effort decodes to the very samples the standard
// effort gives: FLAC packs them less tightly (a larger file, so the level
// really changed), and the formats without a level write the same bytes.
TEST(SongRenderer, QuickEffortChangesOnlyHowTightlyFlacPacksTheSamples) {
    REQUIRE_SOUNDFONT();
    struct Case {
        AudioFormat format;
        bool packedDifferently;
    };
    for (const Case& run : {Case{AudioFormat::flac, true}, Case{AudioFormat::wav, false},
                            Case{AudioFormat::ogg, false}}) {
        SCOPED_TRACE(audioFormatName(run.format));
        RenderedAudio audio;
        ASSERT_TRUE(renderer(run.format).renderSong(sampleSong(50004), audio).status);
        MemoryAudioSink standard;
        ASSERT_TRUE(encodeAudio(audio, run.format, standard));
        audio.effort = EncodingEffort::quick;
        MemoryAudioSink quick;
        ASSERT_TRUE(encodeAudio(audio, run.format, quick));
        const Decoded packed = decode(standard.bytes());
        const Decoded loose = decode(quick.bytes());
        ASSERT_GT(packed.samples.size(), 0U);
        EXPECT_TRUE(packed.samples == loose.samples);
        if (run.packedDifferently) {
            EXPECT_GT(quick.length(), standard.length());
        } else {
            EXPECT_TRUE(quick.bytes() == standard.bytes());
        }
    }
}

// A split song held in memory and read in odd-sized pieces by two readers
// at once, as a video's two sound tracks read it while they are encoded,
// is what its files hold once libsndfile decodes them: the lead-in's
// silence, then the same samples (within 16-bit rounding), in step.
TEST(SongRenderer, SplitSongReadInPiecesByTwoReadersIsWhatItsFilesHold) {
    REQUIRE_SOUNDFONT();
    constexpr std::uint64_t kLeadIn = 3001;
    RenderedParts parts;
    const Bytes song = sampleSong(50004);
    const Bytes melody = tune();
    ASSERT_TRUE(renderer(AudioFormat::wav).renderParts({song, melody}, parts, kLeadIn).status);
    MemoryAudioSink files[3];
    ASSERT_TRUE(encodeParts(parts, AudioFormat::wav, {&files[0], &files[1], &files[2]}));
    const Part read[2] = {Part::instrumental, Part::full};
    PartReader first(parts, read[0], true);
    PartReader second(parts, read[1], true);
    const std::size_t samples = static_cast<std::size_t>(parts.frames()) * 2;
    std::vector<float> got[2];
    std::vector<float> piece(2 * 999);
    for (std::size_t done = 0; done < samples; done += piece.size()) {
        first.read(piece);
        got[0].insert(got[0].end(), piece.begin(), piece.end());
        second.read(piece);
        got[1].insert(got[1].end(), piece.begin(), piece.end());
    }
    for (int r = 0; r < 2; ++r) {
        SCOPED_TRACE(r);
        const Decoded file = decode(files[static_cast<std::size_t>(read[r])].bytes());
        ASSERT_EQ(file.samples.size() + 2 * kLeadIn, samples);
        const auto leadInEnd = got[r].begin() + 2 * kLeadIn;
        EXPECT_TRUE(std::all_of(got[r].begin(), leadInEnd, [](float s) { return s == 0.0f; }));
        float worst = 0.0f;
        for (std::size_t k = 0; k < file.samples.size(); ++k) {
            worst = std::max(worst, std::abs(leadInEnd[static_cast<std::ptrdiff_t>(k)] -
                                             file.samples[k]));
        }
        EXPECT_LE(worst * 32768.0f, 3.0f);
    }
}

TEST(SongRenderer, TransposedOrSilentMusicSoundsDifferent) {
    REQUIRE_SOUNDFONT();
    const Decoded plain = decode(render(AudioFormat::wav, tune()));
    const Decoded transposed = decode(render(AudioFormat::wav, tune(-2)));
    EXPECT_GT(plain.rmsDb(), -40.0);
    EXPECT_NE(plain.samples, transposed.samples);

    // Only an end of track at two beats: no sound, and it ends with the track.
    const Decoded silent = decode(render(AudioFormat::wav, midiFile({{0x81, 0x70, 0xFF, 0x2F, 0x00}})));
    EXPECT_LT(silent.seconds(), 1.1);
    EXPECT_LT(silent.rmsDb(), -90.0);
    RenderedAudio nothing;
    const RenderResult result =
        renderer(AudioFormat::wav).renderSong(midiFile({{0x81, 0x70, 0xFF, 0x2F, 0x00}}), nothing);
    EXPECT_TRUE(result.status);
    EXPECT_TRUE(result.loudness.silent);
    EXPECT_EQ(peakOf(nothing.samples), 0.0f);
}

TEST(SongRenderer, ANoteNeverReleasedIsFadedTenSecondsAfterTheLastEvent) {
    REQUIRE_SOUNDFONT();
    // Church organ (a looped sample), a note-on without its note-off, and the
    // end of track two beats (one second) later.
    const Bytes midi = midiFile({{0x00, 0xC0, 0x13, 0x00, 0x90, 0x3C, 0x64, 0x81, 0x70, 0xFF,
                                  0x2F, 0x00}});
    const Decoded audio = decode(render(AudioFormat::wav, midi));
    EXPECT_NEAR(audio.seconds(), 1.0 + kMaxFadeSeconds, 0.1);
    const std::span tail(audio.samples.end() - 64, audio.samples.end());
    EXPECT_LT(peakOf(tail), 0.01f);
}

TEST(SongRenderer, RefusesWhatIsNotASoundFontOrNotAMidiFile) {
    REQUIRE_SOUNDFONT();
    test::TempDir folder;
    std::ofstream(folder / "fake.sf2") << "RIFF\x10\0\0\0WAVEfmt this is not a soundfont";
    struct Case {
        std::filesystem::path path;
        AudioError expected;
    };
    for (const Case& c : {Case{folder / "fake.sf2", AudioError::notASoundFont},
                          Case{folder / "none.sf2", AudioError::soundFontMissing},
                          Case{folder.path(), AudioError::soundFontMissing}}) {
        AudioStatus status;
        EXPECT_EQ(SongRenderer::open(c.path, {}, status), nullptr);
        EXPECT_EQ(status.error, c.expected) << c.path;
    }

    Bytes truncated = sampleSong(50001);
    truncated.resize(40);
    for (const Bytes& midi : {Bytes{}, Bytes{'M', 'T', 'h', 'd', 0, 0}, Bytes(100, 0x55), truncated}) {
        MemoryAudioSink sink;
        const RenderResult result = renderer(AudioFormat::wav).render(midi, sink);
        EXPECT_EQ(result.status.error, AudioError::midiRefused) << midi.size();
        EXPECT_NE(result.status.step, AudioStep::none);
    }
}

}  // namespace
}  // namespace kdb2mid
