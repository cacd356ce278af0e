// The video encoder as a module loaded at run time: FFmpeg's and libass's
// libraries map some 200 MB of address space and take about 100 ms to load,
// which every run of the tool would pay, video or not. So they live in a
// module of their own (video/encoder/, built as kdb2mid-video.so) that the
// tool loads the first time a video is asked for; this is its interface.
// Module and tool are built together, by one compiler, from this header.
#pragma once

#include <filesystem>

#include "video/karaoke_video.hpp"

namespace kdb2mid {

struct VideoModule {
    VideoStatus (*prepare)(const VideoSettings& settings, PreparedVideo& out);
    // Writes the video to temporary, a name of the caller's in output's
    // folder, renames it to output when complete and removes it otherwise.
    // Gives up once interrupted() says so.
    VideoStatus (*write)(const PreparedVideo& video, const KaraokeVideoInput& input,
                         const std::filesystem::path& output,
                         const std::filesystem::path& temporary, bool (*interrupted)(),
                         VideoStats* stats);
};

// The module's one exported function, extern "C": its functions.
inline constexpr const char* kVideoModuleEntry = "kdb2mid_video_module";
// Its file name, beside the executable in the build tree and in
// KDB2MID_VIDEO_MODULE_DIR (relative to the executable's folder) once installed.
inline constexpr const char* kVideoModuleFile = "kdb2mid-video.so";

}  // namespace kdb2mid
