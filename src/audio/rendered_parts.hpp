// A song split in parts, held until each output takes its sound: the full
// song as the synthesizer rendered it and its guide melody as a second
// synthesizer played it alone, both before their loudness, in half the
// memory of finished floats each (RenderStore). Each pass over them finishes
// them afresh, the same way every time: the full song scaled to its loudness
// and held under the ceiling exactly as a song rendered alone, the guide given
// the same gain and, frame for frame, the limiter's gain, and the
// instrumental the full song less the guide, so the three add up. Passes are
// independent: the two sound tracks of a video are read at once, by two
// threads, while only the two stores are held (21 MB a minute of song, as
// much as one finished song in floats).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "audio/audio_encoder.hpp"
#include "audio/audio_format.hpp"
#include "audio/audio_sink.hpp"
#include "audio/audio_status.hpp"
#include "audio/loudness.hpp"
#include "audio/render_store.hpp"
#include "audio/true_peak_limiter.hpp"

namespace kdb2mid {

enum class Part : std::size_t { full = 0, instrumental = 1, guide = 2 };

struct RenderedParts {
    int sampleRate = kAudioSampleRate;
    // Frames of silence each part starts with before the song when it is
    // played with its lead-in (the karaoke pictures' sound).
    std::uint64_t leadInFrames = 0;
    LoudnessFacts loudness;
    // The loudness target, when the song is brought to one; none: FluidSynth's
    // level, clamped to full scale, as a song rendered alone without a target.
    std::optional<double> target;
    // The Ogg stream serials of the full song, the instrumental and the guide.
    std::array<std::uint32_t, 3> serials{};
    RenderStore full;   // stereo, as the synthesizer played the whole song
    RenderStore guide;  // stereo, the melody alone, as many samples

    std::uint64_t songFrames() const noexcept { return full.size() / kAudioChannels; }
    // With the lead-in, as the pictures play them.
    std::uint64_t frames() const noexcept { return leadInFrames + songFrames(); }
    double seconds() const noexcept {
        return sampleRate > 0 ? static_cast<double>(frames()) / sampleRate : 0.0;
    }
};

// One pass over a split song, from the start: next() hands on the next
// stretch of all three parts, equal in length, in Part order. The full song
// is read from its store; the guide from its own or, as a song is rendered
// straight into files, from its synthesizer as its frames are asked for.
class PartsPlayer {
public:
    // The guide's next frames (stereo samples), as many as asked for.
    using GuideFrames = std::function<std::span<const float>(std::size_t frames)>;

    explicit PartsPlayer(const RenderedParts& parts, bool withLeadIn = false);
    PartsPlayer(const RenderStore& full, GuideFrames guide, const RenderedParts& finish);
    PartsPlayer(const PartsPlayer&) = delete;
    PartsPlayer& operator=(const PartsPlayer&) = delete;
    // Empty spans after the last stretch; valid until the next call.
    std::array<std::span<const float>, 3> next();
    // Whether the limiter has turned any frame down so far.
    bool limited() const noexcept { return limiter_ && limiter_->engaged(); }

private:
    std::span<const float> storedGuide(std::size_t frames);

    RenderStore::Reader fullReader_;
    std::optional<RenderStore::Reader> guideReader_;
    GuideFrames guideFrames_;
    std::optional<TruePeakLimiter> limiter_;
    float gain_ = 1.0f;
    std::uint64_t leadInLeft_ = 0;  // frames
    bool finished_ = false;
    std::vector<float> gains_;
    std::vector<float> limited_;
    std::vector<float> melody_;
    std::vector<float> rest_;
    std::vector<float> guide_;  // decoded from the guide's store, not yet used from guideUsed_ on
    std::size_t guideUsed_ = 0;
};

// One part of rendered parts as samples in order: each read fills out with
// the next ones (silence past the end).
class PartReader {
public:
    PartReader(const RenderedParts& parts, Part part, bool withLeadIn)
        : player_(parts, withLeadIn), part_(static_cast<std::size_t>(part)) {}
    void read(std::span<float> out);

private:
    PartsPlayer player_;
    std::size_t part_;
    std::span<const float> stretch_;
};

// The encoders of a split song's files, one for each part that has a sink
// (null: that part is not written): the full song at the encoder's standard
// effort, the instrumental and the guide quickly.
class PartsEncoder {
public:
    AudioStatus open(AudioFormat format, const std::array<AudioSink*, 3>& sinks,
                     const std::array<std::uint32_t, 3>& serials);
    // Each part's samples of a stretch to its encoder.
    AudioStatus write(const std::array<std::span<const float>, 3>& stretch);
    AudioStatus close();

private:
    std::array<AudioEncoder, 3> encoders_;
    std::array<bool, 3> used_{};
};

// Encodes the parts that have a sink (null: that part is not written) in
// one pass, each into its sink as format: the full song at the encoder's
// standard effort, the instrumental and the guide quickly; the song alone or,
// withLeadIn, after its lead-in.
AudioStatus encodeParts(const RenderedParts& parts, AudioFormat format,
                        const std::array<AudioSink*, 3>& sinks, bool withLeadIn = false);

}  // namespace kdb2mid
