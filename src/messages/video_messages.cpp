#include "messages/video_messages.hpp"

#include <cerrno>

#include "messages/messages.hpp"

namespace kdb2mid {

namespace {

std::string withDetail(std::string line, const std::string& detail) {
    if (!detail.empty()) {
        line += ": ";
        line += detail;
    }
    return line;
}

}  // namespace

std::string videoSetupFailure(const VideoStatus& status, const std::filesystem::path& background) {
    using Code = VideoStatus::Code;
    const std::string picture = "Cannot use background " + displayName(background);
    switch (status.code) {
        case Code::missingEncoder:
            if (status.detail == "mp4") return "Cannot make videos: the installed FFmpeg has no MP4 muxer";
            return "Cannot make videos: the installed FFmpeg has no " + status.detail + " encoder";
        case Code::backgroundMissing: return withDetail(picture, status.detail);
        case Code::backgroundNotImage:
            return picture + ": it is not a picture" +
                   (status.detail.empty() ? std::string() : " (" + status.detail + ")");
        default: return withDetail("Cannot make videos", status.detail);
    }
}

std::string videoFailure(std::int32_t songNumber, const std::filesystem::path& path,
                         const VideoStatus& status) {
    using Code = VideoStatus::Code;
    switch (status.code) {
        case Code::output: return outputFailure(path, status.failure);
        case Code::interrupted: return outputFailure(path, {OutputFailure::Step::write, EINTR});
        case Code::noAudio: return cannotConvert(songNumber, "its video has no sound to go with it");
        case Code::subtitles:
            return cannotConvert(songNumber, "its lyrics could not be drawn on the video");
        case Code::encoding:
            return cannotConvert(songNumber, withDetail("its video could not be encoded", status.detail));
        default: return cannotConvert(songNumber, videoSetupFailure(status, {}));
    }
}

}  // namespace kdb2mid
