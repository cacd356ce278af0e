#include "audio/song_renderer.hpp"

#include <fluidsynth.h>

#include <algorithm>
#include <limits>
#include <mutex>
#include <system_error>
#include <vector>

#include "audio/audio_encoder.hpp"
#include "audio/peak_limiter.hpp"

namespace kdb2mid {

namespace {

// Frames rendered and encoded at a time: FluidSynth works in 64-frame steps
// whatever the request, so the size only trades calls for memory. It is
// also the limiter's look-ahead (23 ms).
constexpr int kBlockFrames = 1024;
// A block whose loudest sample is below this (-80 dBFS, three steps of
// 16-bit audio) counts as silence once the song's events are over.
constexpr float kSilence = 1.0e-4f;
// Just below full scale, so encoders that overshoot a little do not clip.
constexpr float kLimiterCeiling = 0.97f;

// FluidSynth reports through a process-wide log function; it is silenced,
// and the last error each thread caused is kept for our messages.
thread_local std::string lastLibraryError;

void keepError(int level, const char* message, void*) {
    if ((level == FLUID_PANIC || level == FLUID_ERR) && message != nullptr) {
        lastLibraryError = message;
    }
}

void silenceLibraryLog() {
    static std::once_flag once;
    std::call_once(once, [] {
        for (int level : {FLUID_PANIC, FLUID_ERR, FLUID_WARN, FLUID_INFO, FLUID_DBG}) {
            fluid_set_log_function(level, keepError, nullptr);
        }
    });
}

AudioStatus failure(AudioError error, std::string detail = lastLibraryError) {
    return AudioStatus{error, std::move(detail)};
}

struct PlayerDeleter {
    void operator()(fluid_player_t* player) const noexcept {
        fluid_player_stop(player);
        delete_fluid_player(player);
    }
};
using PlayerHandle = std::unique_ptr<fluid_player_t, PlayerDeleter>;

std::uint32_t bigEndian(std::span<const std::uint8_t> bytes) {
    std::uint32_t value = 0;
    for (std::uint8_t byte : bytes) value = (value << 8) | byte;
    return value;
}

// Why FluidSynth would refuse midi, or nullptr when its chunks are whole: a
// header chunk announcing at least one track, and that many track chunks
// inside the data. FluidSynth's player drops a file it cannot read without
// always saying so; this says so first.
const char* midiFault(std::span<const std::uint8_t> midi) {
    constexpr std::size_t kChunkHead = 8;  // type and length
    constexpr std::uint8_t kHeader[] = {'M', 'T', 'h', 'd'};
    constexpr std::uint8_t kTrack[] = {'M', 'T', 'r', 'k'};
    if (midi.size() < kChunkHead + 6 || !std::equal(kHeader, kHeader + 4, midi.begin())) {
        return "no MIDI file header";
    }
    const std::uint32_t headerLength = bigEndian(midi.subspan(4, 4));
    if (headerLength < 6 || headerLength > midi.size() - kChunkHead) return "no MIDI file header";
    const std::uint32_t tracks = bigEndian(midi.subspan(10, 2));
    if (tracks == 0) return "no tracks in the MIDI file";
    std::size_t at = kChunkHead + headerLength;
    for (std::uint32_t track = 0; track < tracks;) {
        if (midi.size() - at < kChunkHead) return "a track is missing from the MIDI file";
        const std::uint32_t length = bigEndian(midi.subspan(at + 4, 4));
        if (length > midi.size() - at - kChunkHead) return "a track runs past the MIDI file's end";
        if (std::equal(kTrack, kTrack + 4, midi.begin() + static_cast<std::ptrdiff_t>(at))) ++track;
        at += kChunkHead + length;
    }
    return nullptr;
}

// Scales a block from full volume down to silence, for a song cut short.
void fadeOut(std::vector<float>& block) {
    const std::size_t frames = block.size() / kAudioChannels;
    for (std::size_t frame = 0; frame < frames; ++frame) {
        const float gain = 1.0f - static_cast<float>(frame + 1) / static_cast<float>(frames);
        for (std::size_t c = 0; c < kAudioChannels; ++c) block[frame * kAudioChannels + c] *= gain;
    }
}

}  // namespace

// The soundfont stays loaded in a synthesizer that never plays (the one
// FluidSynth loaded it with, which owns it and its loader); each song's
// synthesizer borrows it for the song.
struct SongRenderer::Library {
    fluid_settings_t* settings = nullptr;
    fluid_synth_t* holder = nullptr;
    fluid_sfont_t* font = nullptr;

    Library() = default;
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;
    ~Library() {
        if (holder != nullptr) delete_fluid_synth(holder);
        if (settings != nullptr) delete_fluid_settings(settings);
    }
};

namespace {

struct SynthDeleter {
    fluid_sfont_t* borrowed = nullptr;
    void operator()(fluid_synth_t* synth) const noexcept {
        if (borrowed != nullptr) fluid_synth_remove_sfont(synth, borrowed);
        delete_fluid_synth(synth);
    }
};
using SynthHandle = std::unique_ptr<fluid_synth_t, SynthDeleter>;

}  // namespace

SongRenderer::SongRenderer(std::filesystem::path soundFont, const RenderSettings& settings)
    : soundFont_(std::move(soundFont)), settings_(settings) {}

SongRenderer::~SongRenderer() = default;

std::unique_ptr<SongRenderer> SongRenderer::open(const std::filesystem::path& soundFont,
                                                 const RenderSettings& settings,
                                                 AudioStatus& status) {
    silenceLibraryLog();
    status = {};
    if (!audioFormatSupported(settings.format)) {
        status = failure(AudioError::formatUnsupported, "");
        return nullptr;
    }
    std::unique_ptr<SongRenderer> renderer(new SongRenderer(soundFont, settings));
    status = renderer->load();
    if (!status) return nullptr;
    return renderer;
}

// Synthesizers as FluidSynth's own file renderer sets one up (default reverb,
// chorus, polyphony and interpolation; the player timed by the samples
// rendered), with our gain and the format's sample rate. Each is used from
// one thread only, so its API needs no locking.
AudioStatus SongRenderer::load() {
    std::error_code error;
    if (!std::filesystem::is_regular_file(soundFont_, error)) {
        return failure(AudioError::soundFontMissing, "");
    }
    const std::string path = soundFont_.string();
    if (!fluid_is_soundfont(path.c_str())) return failure(AudioError::notASoundFont, "");

    lastLibraryError.clear();
    auto library = std::make_unique<Library>();
    library->settings = new_fluid_settings();
    if (library->settings == nullptr) return failure(AudioError::synthFailed);
    fluid_settings_t* settings = library->settings;
    fluid_settings_setnum(settings, "synth.sample-rate", audioSampleRate(settings_.format));
    fluid_settings_setnum(settings, "synth.gain", static_cast<double>(settings_.gain));
    fluid_settings_setstr(settings, "player.timing-source", "sample");
    fluid_settings_setint(settings, "synth.lock-memory", 0);
    fluid_settings_setint(settings, "synth.threadsafe-api", 0);
    library->holder = new_fluid_synth(settings);
    if (library->holder == nullptr) return failure(AudioError::synthFailed);
    const int id = fluid_synth_sfload(library->holder, path.c_str(), 1);
    if (id == FLUID_FAILED) return failure(AudioError::soundFontRefused);
    library->font = fluid_synth_get_sfont_by_id(library->holder, id);
    if (library->font == nullptr) return failure(AudioError::soundFontRefused);
    library_ = std::move(library);
    return {};
}

RenderResult SongRenderer::render(std::span<const std::uint8_t> midi, AudioSink& out) {
    RenderResult result;
    if (const char* fault = midiFault(midi)) {
        result.status = failure(AudioError::midiRefused, fault);
        return result;
    }
    lastLibraryError.clear();
    SynthHandle synthHandle(new_fluid_synth(library_->settings));
    if (!synthHandle) {
        result.status = failure(AudioError::synthFailed);
        return result;
    }
    if (fluid_synth_add_sfont(synthHandle.get(), library_->font) == FLUID_FAILED) {
        result.status = failure(AudioError::soundFontRefused);
        return result;
    }
    synthHandle.get_deleter().borrowed = library_->font;
    fluid_synth_t* synth = synthHandle.get();

    PlayerHandle player(new_fluid_player(synth));
    if (!player || fluid_player_add_mem(player.get(), midi.data(), midi.size()) != FLUID_OK ||
        fluid_player_play(player.get()) != FLUID_OK) {
        result.status = failure(AudioError::midiRefused);
        return result;
    }

    AudioEncoder encoder;
    if (!encoder.open(settings_.format, out)) {
        result.status = failure(AudioError::encoderFailed, encoder.error());
        return result;
    }

    const auto rate = static_cast<std::uint64_t>(audioSampleRate(settings_.format));
    const auto maxSongFrames = static_cast<std::uint64_t>(kMaxSongSeconds * static_cast<double>(rate));
    const auto maxFadeFrames = static_cast<std::uint64_t>(kMaxFadeSeconds * static_cast<double>(rate));
    constexpr std::uint64_t kNotYet = std::numeric_limits<std::uint64_t>::max();
    std::uint64_t endFrame = kNotYet;  // when the last event was played
    std::uint64_t frames = 0;

    PeakLimiter limiter(kLimiterCeiling, 1.0f / static_cast<float>(rate));
    std::vector<float> block(static_cast<std::size_t>(kBlockFrames) * kAudioChannels);
    auto encode = [&](std::span<const float> samples) {
        return samples.empty() || encoder.write(samples);
    };

    for (bool last = false; !last;) {
        fluid_synth_write_float(synth, kBlockFrames, block.data(), 0, 2, block.data(), 1, 2);
        frames += kBlockFrames;
        const bool playing = fluid_player_get_status(player.get()) == FLUID_PLAYER_PLAYING;
        if (endFrame == kNotYet) {
            const int total = fluid_player_get_total_ticks(player.get());
            if (!playing && total == 0 && !lastLibraryError.empty()) {
                result.status = failure(AudioError::midiRefused);
                return result;
            }
            if (!playing || fluid_player_get_current_tick(player.get()) >= total) {
                endFrame = frames;
            } else if (frames > maxSongFrames) {
                result.status = failure(AudioError::songTooLong, "");
                return result;
            }
        }
        if (endFrame != kNotYet) {
            // Past the last event only fading notes and reverb sound; the
            // song ends when they have died away or the player says so.
            if (frames >= endFrame + maxFadeFrames) {
                fadeOut(block);
                last = true;
            } else if (!playing || peakOf(block) < kSilence) {
                last = true;
            }
        }
        const bool written = settings_.limit ? encode(limiter.push(block, kAudioChannels))
                                             : encode(block);
        if (!written) break;
    }
    if (settings_.limit) encode(limiter.flush(kAudioChannels));
    if (!encoder.close()) {
        result.status = failure(AudioError::encoderFailed, encoder.error());
        return result;
    }
    result.frames = frames;
    result.seconds = static_cast<double>(frames) / static_cast<double>(rate);
    result.limited = limiter.engaged();
    return result;
}

}  // namespace kdb2mid
