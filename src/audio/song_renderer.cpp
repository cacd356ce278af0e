#include "audio/song_renderer.hpp"

#include <fluidsynth.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "audio/audio_encoder.hpp"
#include "audio/ogg_serial.hpp"
#include "audio/render_store.hpp"
#include "audio/true_peak_limiter.hpp"

namespace kdb2mid {

namespace {

// Frames rendered and encoded at a time: FluidSynth works in 64-frame steps
// whatever the request, so the size only trades calls for memory.
constexpr int kBlockFrames = 1024;
// A block whose loudest sample is below this (-80 dBFS, three steps of
// 16-bit audio) counts as silence once the song's events are over.
constexpr float kSilence = 1.0e-4f;

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

AudioStatus failure(AudioError error, std::string detail = lastLibraryError,
                    AudioStep step = AudioStep::none) {
    return AudioStatus{error, step, false, std::move(detail)};
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

// Why FluidSynth would refuse midi, or none when its chunks are whole: a
// header chunk announcing at least one track, and that many track chunks
// inside the data. FluidSynth's player drops a file it cannot read without
// always saying so; this says so first.
AudioStep midiFault(std::span<const std::uint8_t> midi) {
    constexpr std::size_t kChunkHead = 8;  // type and length
    constexpr std::uint8_t kHeader[] = {'M', 'T', 'h', 'd'};
    constexpr std::uint8_t kTrack[] = {'M', 'T', 'r', 'k'};
    if (midi.size() < kChunkHead + 6 || !std::equal(kHeader, kHeader + 4, midi.begin())) {
        return AudioStep::noMidiHeader;
    }
    const std::uint32_t headerLength = bigEndian(midi.subspan(4, 4));
    if (headerLength < 6 || headerLength > midi.size() - kChunkHead) return AudioStep::noMidiHeader;
    const std::uint32_t tracks = bigEndian(midi.subspan(10, 2));
    if (tracks == 0) return AudioStep::noTracks;
    std::size_t at = kChunkHead + headerLength;
    for (std::uint32_t track = 0; track < tracks;) {
        if (midi.size() - at < kChunkHead) return AudioStep::trackMissing;
        const std::uint32_t length = bigEndian(midi.subspan(at + 4, 4));
        if (length > midi.size() - at - kChunkHead) return AudioStep::trackPastEnd;
        if (std::equal(kTrack, kTrack + 4, midi.begin() + static_cast<std::ptrdiff_t>(at))) ++track;
        at += kChunkHead + length;
    }
    return AudioStep::none;
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

    // One load at a time: FluidSynth adds a soundfont's samples to its cache
    // only once their load has finished, so a load waiting here finds them.
    static std::mutex loading;
    const std::lock_guard lock(loading);
    lastLibraryError.clear();
    auto library = std::make_unique<Library>();
    library->settings = new_fluid_settings();
    if (library->settings == nullptr) return failure(AudioError::synthFailed);
    fluid_settings_t* settings = library->settings;
    fluid_settings_setnum(settings, "synth.sample-rate", audioSampleRate(settings_.format));
    fluid_settings_setnum(settings, "synth.gain", static_cast<double>(kSynthGain));
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

namespace {

// Whether a render scaled by gain may reach the true-peak ceiling anywhere:
// only then can the limiter hold it below the target, and only then is it
// measured a second time, as written.
bool mayReachCeiling(const LoudnessFacts& facts, float gain) {
    return facts.peak * gain >
           amplitudeOf(kLimiterCeiling) / TruePeakDetector().overshootBound();
}

// Scales and limits the stored render to the loudness wanted, or without a
// target clamps it to full scale, handing it on in blocks to emit.
template <typename Emit>
bool finishLoudness(RenderStore& store, const LoudnessMeter* meter, int rate,
                    std::optional<double> target, LoudnessFacts& facts, Emit&& emit) {
    std::vector<float> block;
    if (!target || meter == nullptr) {
        return store.take([&](std::span<const float> chunk) {
            block.resize(chunk.size());
            std::transform(chunk.begin(), chunk.end(), block.begin(),
                           [](float sample) { return std::clamp(sample, -1.0f, 1.0f); });
            return emit(std::span<const float>(block));
        });
    }
    facts.measured = meter->loudness();
    facts.gainDb = normalisingGain(facts.measured, *target);
    // What little a silent song's synthesizer makes is dropped.
    const float gain = facts.silent ? 0.0f : amplitudeOf(facts.gainDb);
    TruePeakLimiter limiter(rate, amplitudeOf(kLimiterCeiling), gain);
    std::optional<LoudnessMeter> written;
    if (mayReachCeiling(facts, gain)) written.emplace(rate);
    const auto hand = [&] {
        if (written) written->add(block);
        return emit(std::span<const float>(block));
    };
    const bool drained = store.take([&](std::span<const float> chunk) {
        block.clear();
        limiter.process(chunk, block);
        return hand();
    });
    if (!drained) return false;
    block.clear();
    limiter.finish(block);
    facts.limited = limiter.engaged();
    if (!hand()) return false;
    if (written && facts.limited) facts.reached = written->loudness();
    return true;
}

// One pass of player over a split song brought to its loudness, each stretch
// handed to emit (false: stop); then, as finishLoudness does for a song
// alone, whether the limiter turned anything down and, if it did, the full
// song's loudness as written.
template <typename Emit>
bool passSplit(PartsPlayer& player, RenderedParts& parts, Emit&& emit) {
    LoudnessFacts& facts = parts.loudness;
    const float gain = facts.silent ? 0.0f : amplitudeOf(facts.gainDb);
    std::optional<LoudnessMeter> written;
    if (mayReachCeiling(facts, gain)) written.emplace(parts.sampleRate);
    for (std::array<std::span<const float>, 3> stretch = player.next(); !stretch[0].empty();
         stretch = player.next()) {
        if (written) written->add(stretch[0]);
        if (!emit(stretch)) return false;
    }
    facts.limited = player.limited();
    if (written && facts.limited) facts.reached = written->loudness();
    return true;
}

}  // namespace

// One MIDI file on a synthesizer of its own.
struct SongRenderer::Voice {
    SynthHandle synth;
    PlayerHandle player;
    std::vector<float> block;
    bool ended = false;  // its last event has been played

    // Renders the next block; whether the player is still playing.
    bool sound() {
        fluid_synth_write_float(synth.get(), kBlockFrames, block.data(), 0, 2, block.data(), 1, 2);
        return fluid_player_get_status(player.get()) == FLUID_PLAYER_PLAYING;
    }
};

// The guide melody played block by block as its frames are asked for, so
// that it is never stored whole: the full song decides the length. Each
// block is rounded as a stored guide is (RenderStore), so that a song's parts
// are the same whether they were written as rendered or from memory.
class SongRenderer::Guide {
public:
    explicit Guide(Voice& voice) : voice_(voice) {}

    // The block ending at frame `end` (the song's last, cut short) is faded
    // out as the full song's was.
    void fadeBlockEndingAt(std::uint64_t end) { fadeAt_ = end; }

    // The next frames; valid until the next call.
    std::span<const float> take(std::size_t frames) {
        samples_.erase(samples_.begin(), samples_.begin() + static_cast<std::ptrdiff_t>(taken_));
        while (samples_.size() < frames * kAudioChannels) {
            voice_.sound();
            rendered_ += kBlockFrames;
            if (rendered_ == fadeAt_) fadeOut(voice_.block);
            RenderStore::roundAsStored(voice_.block);
            samples_.insert(samples_.end(), voice_.block.begin(), voice_.block.end());
        }
        taken_ = frames * kAudioChannels;
        return std::span<const float>(samples_.data(), taken_);
    }

private:
    Voice& voice_;
    std::vector<float> samples_;  // rendered, not yet taken, from taken_ on
    std::size_t taken_ = 0;
    std::uint64_t rendered_ = 0;
    std::uint64_t fadeAt_ = 0;
};

AudioStatus SongRenderer::start(std::span<const std::uint8_t> midi, Voice& voice) {
    if (const AudioStep fault = midiFault(midi); fault != AudioStep::none) {
        return failure(AudioError::midiRefused, "", fault);
    }
    lastLibraryError.clear();
    voice.synth.reset(new_fluid_synth(library_->settings));
    if (!voice.synth) return failure(AudioError::synthFailed);
    if (fluid_synth_add_sfont(voice.synth.get(), library_->font) == FLUID_FAILED) {
        return failure(AudioError::soundFontRefused);
    }
    voice.synth.get_deleter().borrowed = library_->font;
    voice.player.reset(new_fluid_player(voice.synth.get()));
    if (!voice.player ||
        fluid_player_add_mem(voice.player.get(), midi.data(), midi.size()) != FLUID_OK ||
        fluid_player_play(voice.player.get()) != FLUID_OK) {
        return failure(AudioError::midiRefused);
    }
    voice.block.resize(static_cast<std::size_t>(kBlockFrames) * kAudioChannels);
    return {};
}

RenderResult SongRenderer::play(std::span<const std::uint8_t> midi, const Consume& consume) {
    RenderResult result;
    Voice voice;
    result.status = start(midi, voice);
    if (!result.status) return result;

    const auto rate = static_cast<std::uint64_t>(audioSampleRate(settings_.format));
    const auto maxSongFrames = static_cast<std::uint64_t>(kMaxSongSeconds * static_cast<double>(rate));
    const auto maxFadeFrames = static_cast<std::uint64_t>(kMaxFadeSeconds * static_cast<double>(rate));
    constexpr std::uint64_t kNotYet = std::numeric_limits<std::uint64_t>::max();
    std::uint64_t endFrame = kNotYet;  // when the last event was played
    std::uint64_t frames = 0;
    float songPeak = 0.0f;
    for (bool last = false; !last;) {
        frames += kBlockFrames;
        const bool playing = voice.sound();
        if (!voice.ended) {
            fluid_player_t* player = voice.player.get();
            const int total = fluid_player_get_total_ticks(player);
            if (!playing && total == 0 && !lastLibraryError.empty()) {
                result.status = failure(AudioError::midiRefused);
                return result;
            }
            voice.ended = !playing || fluid_player_get_current_tick(player) >= total;
        }
        const float peak = peakOf(voice.block);
        songPeak = std::max(songPeak, peak);
        if (endFrame == kNotYet) {
            if (voice.ended) {
                endFrame = frames;
            } else if (frames > maxSongFrames) {
                result.status = failure(AudioError::songTooLong, "");
                return result;
            }
        }
        bool fadedOut = false;
        if (endFrame != kNotYet) {
            // Past the last event only fading notes and reverb sound; the
            // song ends when they have died away or the player says so.
            if (frames >= endFrame + maxFadeFrames) {
                fadeOut(voice.block);
                fadedOut = true;
                last = true;
            } else if (!playing || peak < kSilence) {
                last = true;
            }
        }
        if (!consume(voice.block, fadedOut)) break;
    }
    result.frames = frames;
    result.seconds = static_cast<double>(frames) / static_cast<double>(rate);
    result.loudness.silent = songPeak < kSilence;
    result.loudness.peak = songPeak;
    return result;
}

RenderResult SongRenderer::renderSong(std::span<const std::uint8_t> midi, RenderedAudio& out,
                                      std::uint64_t leadInFrames) {
    out = RenderedAudio{};
    const int rate = audioSampleRate(settings_.format);
    out.sampleRate = rate;
    RenderStore store;
    std::optional<LoudnessMeter> meter;
    if (settings_.loudnessTarget) meter.emplace(rate);
    RenderResult result = play(midi, [&](std::span<const float> block, bool) {
        if (meter) meter->add(block);
        store.append(block);
        return true;
    });
    if (!result.status) return result;
    const std::size_t silence = static_cast<std::size_t>(leadInFrames) * kAudioChannels;
    out.samples.reserve(silence + store.size());
    out.samples.assign(silence, 0.0f);
    out.leadInFrames = leadInFrames;
    finishLoudness(store, meter ? &*meter : nullptr, rate, settings_.loudnessTarget,
                   result.loudness, [&](std::span<const float> block) {
                       out.samples.insert(out.samples.end(), block.begin(), block.end());
                       return true;
                   });
    out.loudness = result.loudness;
    out.streamSerial = streamSerialFor(midi);
    return result;
}

RenderResult SongRenderer::render(std::span<const std::uint8_t> midi, AudioSink& out) {
    RenderResult result;
    AudioEncoder encoder;
    if (!encoder.open(settings_.format, out, streamSerialFor(midi))) {
        result.status = encoder.status();
        return result;
    }
    auto encode = [&](std::span<const float> samples) {
        return samples.empty() || encoder.write(samples);
    };
    if (!settings_.loudnessTarget) {
        // FluidSynth's level: nothing to wait for, encoded as it is rendered.
        result = play(midi, [&](std::span<const float> block, bool) { return encode(block); });
    } else {
        const int rate = audioSampleRate(settings_.format);
        RenderStore store;
        LoudnessMeter meter(rate);
        result = play(midi, [&](std::span<const float> block, bool) {
            meter.add(block);
            store.append(block);
            return true;
        });
        if (result.status) {
            finishLoudness(store, &meter, rate, settings_.loudnessTarget, result.loudness, encode);
        }
    }
    if (!result.status) return result;
    if (!encoder.close()) result.status = encoder.status();
    return result;
}

namespace {

// The Ogg serials of a split song's three files: the full song's is the one
// it has rendered alone; all are the same on every run, and differ.
std::array<std::uint32_t, 3> partSerials(const SongParts& midi) {
    const std::uint32_t full = streamSerialFor(midi.full);
    const std::uint32_t guide = streamSerialFor(midi.guide);
    return {full, full ^ guide ^ 0x5A5A5A5AU, guide};
}

}  // namespace

// The full song of a split song rendered into parts.full, with what finishes
// it: the sample rate, the loudness target, the serials and, with a target,
// the song's gain to it from its meter, as finishLoudness finds it for a
// song alone. fadedOut: whether its last block was faded out.
RenderResult SongRenderer::storeFull(const SongParts& midi, RenderedParts& parts,
                                     bool& fadedOut) {
    parts.sampleRate = audioSampleRate(settings_.format);
    parts.target = settings_.loudnessTarget;
    parts.serials = partSerials(midi);
    std::optional<LoudnessMeter> meter;
    if (parts.target) meter.emplace(parts.sampleRate);
    RenderResult result = play(midi.full, [&](std::span<const float> block, bool faded) {
        if (meter) meter->add(block);
        parts.full.append(block);
        fadedOut = faded;
        return true;
    });
    parts.loudness = result.loudness;
    if (meter && result.status) {
        parts.loudness.measured = meter->loudness();
        parts.loudness.gainDb = normalisingGain(parts.loudness.measured, *parts.target);
    }
    return result;
}

// The full song is rendered and finished as render does it; the guide is
// played beside it (at FluidSynth's level) or while the full song is
// finished (at a loudness, which waits for the whole song), as its frames
// are asked for, so it is never held whole.
template <typename Emit>
RenderResult SongRenderer::renderPartsTo(const SongParts& midi, Emit&& emit) {
    RenderResult result;
    Voice guideVoice;
    result.status = start(midi.guide, guideVoice);
    if (!result.status) return result;
    Guide guide(guideVoice);
    if (!settings_.loudnessTarget) {
        std::vector<float> rest;
        std::uint64_t frames = 0;
        result = play(midi.full, [&](std::span<const float> block, bool fadedOut) {
            frames += block.size() / kAudioChannels;
            if (fadedOut) guide.fadeBlockEndingAt(frames);
            const std::span<const float> melody = guide.take(block.size() / kAudioChannels);
            rest.resize(block.size());
            for (std::size_t k = 0; k < block.size(); ++k) rest[k] = block[k] - melody[k];
            return emit(std::array<std::span<const float>, 3>{block, rest, melody});
        });
        return result;
    }
    RenderedParts finish;
    bool fadedOut = false;
    result = storeFull(midi, finish, fadedOut);
    if (!result.status) return result;
    if (fadedOut) guide.fadeBlockEndingAt(result.frames);
    PartsPlayer player(finish.full, [&](std::size_t frames) { return guide.take(frames); }, finish);
    if (!passSplit(player, finish, emit)) result.status = failure(AudioError::encoderFailed, "");
    result.loudness = finish.loudness;
    return result;
}


RenderResult SongRenderer::renderParts(const SongParts& midi, RenderedParts& out,
                                       std::uint64_t leadInFrames) {
    out = RenderedParts{};
    RenderResult result;
    Voice guideVoice;
    result.status = start(midi.guide, guideVoice);
    if (!result.status) return result;
    bool fadedOut = false;
    result = storeFull(midi, out, fadedOut);
    if (!result.status) return result;
    out.leadInFrames = leadInFrames;
    // The guide as long as the full song, its last block faded with the song's.
    for (std::uint64_t frames = kBlockFrames; frames <= result.frames; frames += kBlockFrames) {
        guideVoice.sound();
        if (fadedOut && frames == result.frames) fadeOut(guideVoice.block);
        out.guide.append(guideVoice.block);
    }
    // Only a song that may reach the ceiling needs a pass to know whether it did.
    if (out.target && mayReachCeiling(out.loudness, amplitudeOf(out.loudness.gainDb))) {
        PartsPlayer player(out);
        const auto ignore = [](const std::array<std::span<const float>, 3>&) { return true; };
        passSplit(player, out, ignore);
    }
    result.loudness = out.loudness;
    return result;
}

RenderResult SongRenderer::renderParts(const SongParts& midi, AudioSink& full,
                                       AudioSink& instrumental, AudioSink& guide) {
    RenderResult result;
    PartsEncoder encoder;
    result.status =
        encoder.open(settings_.format, {&full, &instrumental, &guide}, partSerials(midi));
    if (!result.status) return result;
    std::optional<AudioStatus> failed;
    result = renderPartsTo(midi, [&](const std::array<std::span<const float>, 3>& blocks) {
        if (AudioStatus status = encoder.write(blocks); !status) failed = std::move(status);
        return !failed;
    });
    if (failed) result.status = *failed;
    if (result.status) result.status = encoder.close();
    return result;
}

namespace {

constexpr std::size_t kEncodeBlockSamples = std::size_t{1} << 16;

// How a part is encoded: its sample rate, Ogg serial and encoder effort.
struct PartEncoding {
    int rate;
    std::uint32_t serial;
    EncodingEffort effort;
};

// Encodes samples in blocks of kEncodeBlockSamples made by fill(at, count, block).
template <typename Fill>
AudioStatus encodeBlocks(std::size_t samples, PartEncoding part, AudioFormat format,
                         AudioSink& out, Fill&& fill) {
    if (part.rate != audioSampleRate(format)) {
        return failure(AudioError::encoderFailed, "", AudioStep::sampleRate);
    }
    AudioEncoder encoder;
    if (!encoder.open(format, out, part.serial, part.effort)) return encoder.status();
    for (std::size_t at = 0; at < samples; at += kEncodeBlockSamples) {
        if (!encoder.write(fill(at, std::min(kEncodeBlockSamples, samples - at)))) break;
    }
    if (!encoder.close()) return encoder.status();
    return {};
}

}  // namespace

AudioStatus encodeAudio(const RenderedAudio& audio, AudioFormat format, AudioSink& out,
                        bool withLeadIn) {
    const std::span<const float> samples =
        withLeadIn ? std::span<const float>(audio.samples) : audio.song();
    const PartEncoding part{audio.sampleRate, audio.streamSerial, audio.effort};
    return encodeBlocks(samples.size(), part, format, out, [&](std::size_t at, std::size_t count) {
        return samples.subspan(at, count);
    });
}

}  // namespace kdb2mid
