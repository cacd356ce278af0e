// Songs played through FluidSynth into audio files. A renderer loads the
// soundfont once; it renders one complete
// Standard MIDI File at a time, offline (no audio driver: the MIDI player
// keeps time by the samples rendered), and encodes block by block into an
// AudioSink, so a song costs a few hundred kilobytes whatever its length.
//
// Every song is played by a synthesizer of its own, made afresh from the
// loaded soundfont, so no state of one song (reverb and chorus lines, their
// modulation, controllers) reaches the next: a song sounds the same whatever
// was rendered before it, and exactly as FluidSynth's own file renderer
// renders it at the same gain.
//
// One renderer per thread. Renderers in one process that load the same
// soundfont file share its sample data (FluidSynth caches it process-wide by
// file name and modification time); each holds its own presets and voices.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>

#include "audio/audio_format.hpp"
#include "audio/audio_sink.hpp"

namespace kdb2mid {

// Debian's soundfont (package fluid-soundfont-gm, or whichever GM soundfont
// the alternatives system points at).
inline constexpr const char* kDefaultSoundFont = "/usr/share/sounds/sf2/default-GM.sf2";

// FluidSynth's own default gain of 0.2 leaves typical songs near -35 dBFS
// RMS; 0.5 (8 dB more) brings them to about -27 dBFS, and the limiter keeps
// dense songs from clipping.
inline constexpr float kRenderGain = 0.5f;

// The sound goes on after the last event until it has died away, but never
// longer than this.
inline constexpr double kMaxFadeSeconds = 10.0;
// A song whose events span more than this is refused rather than rendered
// as hours of audio.
inline constexpr double kMaxSongSeconds = 3600.0;

enum class AudioError : std::uint8_t {
    none = 0,
    soundFontMissing,   // no file at the soundfont path
    notASoundFont,      // the file is not a SoundFont 2 / 3 file
    soundFontRefused,   // FluidSynth could not load it
    synthFailed,        // the synthesizer could not be created
    midiRefused,        // FluidSynth cannot play the MIDI file
    songTooLong,        // the events run past kMaxSongSeconds
    formatUnsupported,  // this libsndfile cannot write the format
    encoderFailed,      // libsndfile or the sink failed while encoding
};

// Worded by describe(AudioError) in messages/messages.hpp.

struct AudioStatus {
    AudioError error = AudioError::none;
    // What the library said, when it said something ("" otherwise).
    std::string detail;

    explicit operator bool() const noexcept { return error == AudioError::none; }
};

struct RenderSettings {
    AudioFormat format = AudioFormat::wav;
    float gain = kRenderGain;
    // Scale loud passages down so no sample clips; off reproduces FluidSynth's
    // own file renderer, which clips.
    bool limit = true;
};

struct RenderResult {
    AudioStatus status;
    std::uint64_t frames = 0;  // rendered, at the format's sample rate
    double seconds = 0.0;      // of audio written
    bool limited = false;      // the limiter turned some passage down
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

    // Plays midi (a whole Standard MIDI File) on a fresh synthesizer and
    // encodes it into out. The audio ends once the sound after the last
    // event has died away, at most kMaxFadeSeconds after it. On an error the
    // sink holds an incomplete file the caller drops.
    RenderResult render(std::span<const std::uint8_t> midi, AudioSink& out);

    const RenderSettings& settings() const noexcept { return settings_; }

private:
    struct Library;
    SongRenderer(std::filesystem::path soundFont, const RenderSettings& settings);
    AudioStatus load();

    std::filesystem::path soundFont_;
    RenderSettings settings_;
    std::unique_ptr<Library> library_;
};

}  // namespace kdb2mid
