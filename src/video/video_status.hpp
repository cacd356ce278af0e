// What can stop a karaoke video from being made, as a value; messages/ words
// it. Header only and free of FFmpeg, so that the wording needs no video build.
#pragma once

#include <cstdint>
#include <string>

#include "io/file_io.hpp"

namespace kdb2mid {

// A background picture larger than this on a side is refused before it is decoded.
inline constexpr int kLargestPictureSide = 16384;

struct VideoStatus {
    enum class Code : std::uint8_t {
        ok,
        noModule,            // the video module did not load; detail says why
        missingEncoder,      // detail: the encoder or muxer the installed FFmpeg lacks
        backgroundMissing,   // the background picture file does not open
        backgroundNotImage,  // it opens but holds no picture we can use
        noAudio,             // no samples, or a rate or channel count AAC cannot take
        subtitles,           // libass could not read the lyric document
        encoding,            // FFmpeg failed; detail: its reason
        output,              // the file could not be made; failure says why
        interrupted,         // the run was asked to stop
    };
    // For Code::backgroundNotImage: what about the file is of no use.
    enum class Picture : std::uint8_t {
        unknown,      // no picture FFmpeg can decode
        tooLarge,     // a side over kLargestPictureSide
        pixelFormat,  // its pixels cannot be turned into the video's
        notScaled,    // scaling it to the frame failed
    };
    Code code = Code::ok;
    std::string detail;
    OutputFailure failure;  // for Code::output
    Picture picture = Picture::unknown;

    bool ok() const noexcept { return code == Code::ok; }
};

}  // namespace kdb2mid
