// One audio file being encoded by libsndfile into an AudioSink, fed with
// blocks of interleaved stereo samples as they are rendered, so a song of
// any length costs the same memory.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "audio/audio_format.hpp"
#include "audio/audio_sink.hpp"
#include "audio/ogg_serial.hpp"
#include "audio/audio_status.hpp"

struct sf_private_tag;

namespace kdb2mid {

class AudioEncoder {
public:
    AudioEncoder() = default;
    AudioEncoder(const AudioEncoder&) = delete;
    AudioEncoder& operator=(const AudioEncoder&) = delete;
    // Closes a file still open; what it wrote is incomplete, the caller drops it.
    ~AudioEncoder();

    // Starts a file of format in sink at the format's sample rate; false,
    // with what failed in status(), if libsndfile refuses. An Ogg stream
    // (ogg, opus) gets streamSerial as its serial, so that the same song
    // always makes the same file. effort chooses FLAC's compression level;
    // other formats do not change with it.
    bool open(AudioFormat format, AudioSink& sink, std::uint32_t streamSerial,
              EncodingEffort effort = EncodingEffort::standard);
    // Appends frames: interleaved left/right, full scale at +-1.0, anything
    // beyond clipped. False once anything failed.
    bool write(std::span<const float> interleaved);
    // Finishes the file (trailing pages, sizes in the header); false if this
    // or anything before failed. The sink then holds the whole file.
    bool close();

    // encoderFailed or formatUnsupported with the step, once anything failed.
    const AudioStatus& status() const noexcept { return status_; }

private:
    friend struct EncoderIo;

    bool fail(AudioStep step, const char* reason);

    sf_private_tag* file_ = nullptr;
    AudioSink* sink_ = nullptr;
    std::optional<OggSerialSink> ogg_;  // between libsndfile and the sink for Ogg formats
    bool sinkFailed_ = false;
    AudioStatus status_;
};

}  // namespace kdb2mid
