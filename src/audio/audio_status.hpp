// What went wrong in rendering or encoding a song's audio, as codes: the
// words are messages/'s.
#pragma once

#include <cstdint>
#include <string>

namespace kdb2mid {

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

// Which step failed, where the error alone does not say.
enum class AudioStep : std::uint8_t {
    none = 0,
    // The MIDI file's chunks, checked before FluidSynth reads them.
    noMidiHeader,
    noTracks,
    trackMissing,
    trackPastEnd,
    // The encoder's steps.
    formatUnwritable,  // this libsndfile cannot write the format
    sampleRate,        // the audio is not at the format's sample rate
    startFile,
    setQuality,
    encode,
    finishFile,
};

// Worded by describe(AudioStatus) in messages/messages.hpp.
struct AudioStatus {
    AudioError error = AudioError::none;
    AudioStep step = AudioStep::none;
    bool outputFailed = false;  // the sink could not take the file
    // What the library said, when it said something ("" otherwise).
    std::string detail;

    explicit operator bool() const noexcept { return error == AudioError::none; }
};

}  // namespace kdb2mid
