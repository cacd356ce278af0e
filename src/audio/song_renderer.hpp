// Songs played through FluidSynth into audio. A renderer loads the soundfont
// once; it renders one complete Standard MIDI File at a time, offline (no
// audio driver: the MIDI player keeps time by the samples rendered).
//
// A song needs its whole loudness before its gain is known, so it is
// rendered once into memory while a loudness meter listens, then scaled to
// the target loudness, its transients held under the true-peak ceiling, and
// encoded. Without a target it is FluidSynth's render at FluidSynth's own
// gain, encoded block by block as it is rendered: sample for sample what
// FluidSynth's file renderer writes.
//
// Every song is played by a synthesizer of its own, made afresh from the
// loaded soundfont, so no state of one song (reverb and chorus lines, their
// modulation, controllers) reaches the next: a song sounds the same whatever
// was rendered before it.
//
// One renderer per thread. Renderers load one after another, never at the
// same time, so every load after the first finds the soundfont's samples in
// FluidSynth's process-wide sample cache (by file name and modification
// time) and shares them: the samples are in memory once however many threads
// render, as long as one renderer holds them. Each renderer holds its own
// presets and voices; no FluidSynth object is used by two threads.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "audio/audio_format.hpp"
#include "audio/audio_sink.hpp"
#include "audio/audio_status.hpp"
#include "audio/loudness.hpp"
#include "audio/rendered_audio.hpp"
#include "audio/rendered_parts.hpp"

namespace kdb2mid {

// Debian's soundfont (package fluid-soundfont-gm, or whichever GM soundfont
// the alternatives system points at).
inline constexpr const char* kDefaultSoundFont = "/usr/share/sounds/sf2/default-GM.sf2";

// FluidSynth's own default gain: songs are rendered at it, and written at it
// when not normalised.
inline constexpr float kSynthGain = 0.2f;

// The sound goes on after the last event until it has died away, but never
// longer than this.
inline constexpr double kMaxFadeSeconds = 10.0;
// A song whose events span more than this is refused rather than rendered
// as hours of audio.
inline constexpr double kMaxSongSeconds = 3600.0;

struct RenderSettings {
    // Also decides the sample rate: 48 kHz for Opus, 44.1 kHz otherwise.
    AudioFormat format = AudioFormat::wav;
    // Integrated loudness every song is brought to, in LUFS
    // (kMinLoudness..kMaxLoudness), with its true peak at most
    // kTruePeakCeiling; none keeps FluidSynth's level, unlimited, as its own
    // file renderer writes it (clipping where the song is too loud).
    std::optional<double> loudnessTarget = kDefaultLoudness;
};

// A song and its guide melody, each a whole Standard MIDI File: the song as
// it is rendered alone, and its melody track's notes alone. The guide keeps
// every controller, program and tempo event, so each note sounds as in the
// song.
struct SongParts {
    std::span<const std::uint8_t> full;
    std::span<const std::uint8_t> guide;
};

struct RenderResult {
    AudioStatus status;
    std::uint64_t frames = 0;  // rendered, at the format's sample rate
    double seconds = 0.0;      // of audio written
    LoudnessFacts loudness;
};

class SongRenderer {
public:
    // Loads the soundfont into a new synthesizer. On failure returns null and
    // says why in status; callers check the soundfont this way once, before
    // any song.
    static std::unique_ptr<SongRenderer> open(const std::filesystem::path& soundFont,
                                              const RenderSettings& settings,
                                              AudioStatus& status);
    ~SongRenderer();
    SongRenderer(const SongRenderer&) = delete;
    SongRenderer& operator=(const SongRenderer&) = delete;

    // Plays midi (a whole Standard MIDI File) on a fresh synthesizer into
    // out, at the loudness the settings ask for. The audio ends once the
    // sound after the last event has died away, at most kMaxFadeSeconds
    // after it. A song with nothing to hear is silence, loudness.silent set,
    // and no error. out takes 21 MB a minute at 44.1 kHz (23 MB at 48 kHz):
    // 1.27 GB for a song at the one-hour cap, 1.38 GB at 48 kHz. out starts
    // with leadInFrames of silence (out.leadInFrames), for the karaoke
    // pictures that share the sound with the audio files.
    RenderResult renderSong(std::span<const std::uint8_t> midi, RenderedAudio& out,
                            std::uint64_t leadInFrames = 0);

    // renderSong, then encodeAudio into out in the settings' format, the
    // same bytes, holding only the synthesizer's render in memory at 16 bits
    // (650 MB for a song at the one-hour cap; without a loudness target not
    // even that). On an error the sink holds an incomplete file the caller
    // drops.
    RenderResult render(std::span<const std::uint8_t> midi, AudioSink& out);

    // The song and its guide melody, each on a synthesizer of its own, held
    // in out until its outputs take them (RenderedParts): the full song
    // exactly as renderSong and render make it (the same samples), the guide
    // melody brought to the full song's loudness gain and its limiter's gain
    // curve, and the instrumental the full song less the guide, so that the
    // parts add up to the full song. Memory: the two stores, 21 MB a minute
    // of song at 44.1 kHz. Each part is played with leadInFrames of silence
    // before it when asked for.
    RenderResult renderParts(const SongParts& midi, RenderedParts& out,
                             std::uint64_t leadInFrames = 0);
    // renderParts encoded into three sinks as it is finished, holding what
    // render holds.
    RenderResult renderParts(const SongParts& midi, AudioSink& full, AudioSink& instrumental,
                             AudioSink& guide);

    const RenderSettings& settings() const noexcept { return settings_; }

private:
    struct Library;
    struct Voice;
    class Guide;
    // What play hands on for each block, and whether it was faded out (the
    // last block of a song cut kMaxFadeSeconds after its last event).
    using Consume = std::function<bool(std::span<const float> block, bool fadedOut)>;
    // Starts midi on a synthesizer of its own.
    AudioStatus start(std::span<const std::uint8_t> midi, Voice& voice);
    // Renders midi, handing each block to consume (false: stop, the sink
    // failed); fills in frames, seconds and loudness.silent. The song lasts
    // until its events are played and their sound has died away.
    RenderResult play(std::span<const std::uint8_t> midi, const Consume& consume);
    template <typename Emit>
    RenderResult renderPartsTo(const SongParts& midi, Emit&& emit);
    RenderResult storeFull(const SongParts& midi, RenderedParts& parts, bool& fadedOut);
    SongRenderer(std::filesystem::path soundFont, const RenderSettings& settings);
    AudioStatus load();

    std::filesystem::path soundFont_;
    RenderSettings settings_;
    std::unique_ptr<Library> library_;
};

// Encodes rendered audio into out as format, the song alone or, withLeadIn,
// after its lead-in (the karaoke pictures' sound); the audio's sample rate
// must be the format's.
AudioStatus encodeAudio(const RenderedAudio& audio, AudioFormat format, AudioSink& out,
                        bool withLeadIn = false);
}  // namespace kdb2mid
