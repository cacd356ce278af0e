// A song rendered to sound and brought to its loudness, before any encoding:
// what the audio files, the video's soundtrack and the MP3+G audio are all
// made from.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "audio/audio_format.hpp"
#include "audio/loudness.hpp"

namespace kdb2mid {

struct RenderedAudio {
    int sampleRate = kAudioSampleRate;
    // Interleaved left/right, normalised and limited, every sample within
    // [-1, 1].
    std::vector<float> samples;
    LoudnessFacts loudness;
    // The serial of its Ogg stream when encoded as ogg or opus, from the song.
    std::uint32_t streamSerial = 0;
    // How hard its lossless encoder works: quick for a song's instrumental
    // and guide.
    EncodingEffort effort = EncodingEffort::standard;
    // Frames of silence samples start with before the song: the karaoke
    // pictures' lead-in, in the buffer they share with the audio files,
    // which leave it out (song()).
    std::uint64_t leadInFrames = 0;

    // The song without the lead-in.
    std::span<const float> song() const noexcept {
        const auto skip = static_cast<std::size_t>(leadInFrames) * kAudioChannels;
        return std::span<const float>(samples).subspan(std::min(skip, samples.size()));
    }

    // With the lead-in, as the pictures play it.
    std::uint64_t frames() const noexcept { return samples.size() / kAudioChannels; }
    double seconds() const noexcept {
        return sampleRate > 0 ? static_cast<double>(frames()) / sampleRate : 0.0;
    }
};

}  // namespace kdb2mid
