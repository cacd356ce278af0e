// The lines for videos that could not be made.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "video/video_status.hpp"

namespace kdb2mid {

// Before any song, when no video can be made: "Cannot make videos: the
// installed FFmpeg has no libx264 encoder", "Cannot use background
// stage.jpg: No such file or directory", "... : it is not a picture".
std::string videoSetupFailure(const VideoStatus& status, const std::filesystem::path& background);

// A song's video that was not made: outputFailure's line when its file could
// not be written (or the run was interrupted while writing), otherwise
// "Cannot convert song N: <why>".
std::string videoFailure(std::int32_t songNumber, const std::filesystem::path& path,
                         const VideoStatus& status, const std::filesystem::path& background = {});

// Usage errors: a --video-size or --background the command line refuses, and
// a video option given without --video.
std::string videoSizeRefused(std::string_view text);
std::string backgroundRefused(std::string_view text);
std::string needsVideo(std::string_view option);

}  // namespace kdb2mid
