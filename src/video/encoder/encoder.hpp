// What the video module does, behind video/video_module.hpp's table.
#pragma once

#include <filesystem>

#include "video/karaoke_video.hpp"

namespace kdb2mid {

// prepareVideo's work: the encoders are there, the background is read.
VideoStatus prepareEncoder(const VideoSettings& settings, PreparedVideo& out);

// writeKaraokeVideo's work, into temporary and then renamed to output.
VideoStatus encodeVideo(const PreparedVideo& video, const KaraokeVideoInput& input,
                        const std::filesystem::path& output, const std::filesystem::path& temporary,
                        bool (*interrupted)(), VideoStats* stats);

}  // namespace kdb2mid
