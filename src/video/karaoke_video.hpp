// Karaoke videos: a song's ASS lyric document rendered by libass over a
// background, with the song's sound, as H.264 (4:2:0) and AAC stereo in an
// MP4 whose index comes first, so players start before the whole file has
// arrived.
//
// Frames are made one at a time and go to the encoder as they are made; the
// sound is encoded meanwhile on a second thread, at most a second or two
// ahead, so memory does not grow with the song's length. A frame whose lyrics look as in the one
// before is that frame again (libass says so); otherwise only the parts the lyrics covered before
// or cover now are redrawn.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <string_view>
#include <vector>

#include "video/video_settings.hpp"
#include "video/video_status.hpp"

namespace kdb2mid {

// What every video of a run shares, made once before the first song and then
// read by any number of threads: the settings and the background as a 4:2:0
// picture of the frame's size (BT.709, limited range).
struct PreparedVideo {
    VideoSettings settings;
    std::vector<std::uint8_t> background;  // the Y plane, then U, then V, rows packed
};

// Both load the video module on first use (video/video_module.hpp); without
// it they return Code::noModule.
//
// Checks that the installed FFmpeg has the H.264 (libx264) and AAC encoders
// and the MP4 muxer, and reads the background picture if there is one.
// settings.size must be one parseVideoSize accepts.
VideoStatus prepareVideo(const VideoSettings& settings, PreparedVideo& out);

// A sound track handed over in order as it is encoded, so that it need not
// be held whole: its length in samples (interleaved stereo), and what fills
// out with its next samples, called from one thread at a time.
struct StreamedStereo {
    std::size_t samples = 0;
    std::function<void(std::span<float> out)> next;
};

struct KaraokeVideoInput {
    std::string_view assDocument;              // UTF-8, as writeAss makes it
    std::span<const float> interleavedStereo;  // left, right, left, ...: the whole song
    int sampleRate = 44100;
    // Called now and then from the writing thread with the seconds of video made.
    std::function<void(double seconds)> progress;
    // The song's sound streamed instead of given whole (interleavedStereo
    // empty).
    StreamedStereo streamed{};
    // A second sound track, as long as the first, at its rate; none when it
    // has no samples. With it each track is titled (players list them by
    // name) and the first is the one played unless the viewer picks the
    // other. The two tracks are read at once, by two threads.
    StreamedStereo second{};
    std::string_view firstTitle{};
    std::string_view secondTitle{};
};

// How a video was made: for tests and benchmarks.
struct VideoStats {
    std::uint64_t frames = 0;
    std::uint64_t redrawn = 0;  // frames whose lyrics changed and were drawn again
};

// Writes the video to output, complete or not at all: it is written under a
// temporary name in the same folder (the MP4 muxer reads it back to move its
// index to the front) and renamed into place when finished; on any failure,
// or once the run is interrupted, the temporary file is removed and an
// existing file of that name is left as it was.
// The video lasts as long as the sound, rounded up to a whole frame.
VideoStatus writeKaraokeVideo(const PreparedVideo& video, const KaraokeVideoInput& input,
                              const std::filesystem::path& output, VideoStats* stats = nullptr);

}  // namespace kdb2mid
