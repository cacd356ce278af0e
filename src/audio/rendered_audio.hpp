// A song rendered to sound and brought to its loudness, before any encoding:
// what the audio files, the video's soundtrack and the MP3+G audio are all
// made from.
#pragma once

#include <cstdint>
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

    std::uint64_t frames() const noexcept { return samples.size() / kAudioChannels; }
    double seconds() const noexcept {
        return sampleRate > 0 ? static_cast<double>(frames()) / sampleRate : 0.0;
    }
};

}  // namespace kdb2mid
