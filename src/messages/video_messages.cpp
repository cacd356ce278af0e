#include "messages/video_messages.hpp"

#include <cerrno>

#include "messages/messages.hpp"
#include "video/video_settings.hpp"

namespace kdb2mid {

namespace {

std::string missingPhrase(const VideoStatus& status) {
    if (status.detail == "mp4") return "the installed FFmpeg has no MP4 muxer";
    return "the installed FFmpeg has no " + status.detail + " encoder";
}

// "No such file or directory", "it is not a picture (larger than ...)".
std::string backgroundReason(const VideoStatus& status) {
    using Picture = VideoStatus::Picture;
    if (status.code == VideoStatus::Code::backgroundMissing) return status.detail;
    switch (status.picture) {
        case Picture::tooLarge:
            return "it is not a picture (larger than " + std::to_string(kLargestPictureSide) +
                   " pixels on a side)";
        case Picture::pixelFormat: return "it is not a picture (its pixel format is not supported)";
        case Picture::notScaled: return "it is not a picture (it could not be scaled)";
        default: return "it is not a picture";
    }
}

std::string frameSize(int width, int height) {
    return std::to_string(width) + "x" + std::to_string(height);
}

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
    switch (status.code) {
        case Code::missingEncoder: return "Cannot make videos: " + missingPhrase(status);
        case Code::backgroundMissing:
        case Code::backgroundNotImage:
            // "red" is no colour name here but a file that is not there: the
            // forms the option takes say what to give instead.
            return backgroundRefused(displayName(background)) + " (" + displayName(background) +
                   ": " + backgroundReason(status) + ")";
        default: return withDetail("Cannot make videos", status.detail);
    }
}

std::string videoFailure(std::int32_t songNumber, const std::filesystem::path& path,
                         const VideoStatus& status, const std::filesystem::path& background) {
    using Code = VideoStatus::Code;
    switch (status.code) {
        case Code::output: return outputFailure(path, status.failure);
        case Code::interrupted: return outputFailure(path, {OutputFailure::Step::write, EINTR});
        case Code::missingEncoder: return cannotConvert(songNumber, missingPhrase(status));
        case Code::backgroundMissing:
        case Code::backgroundNotImage:
            return cannotConvert(songNumber, withDetail("background " + displayName(background),
                                                        backgroundReason(status)));
        case Code::noAudio:
            return cannotConvert(songNumber, "its video has no sound to go with it");
        case Code::subtitles:
            return cannotConvert(songNumber, "its lyrics could not be drawn on the video");
        default:
            return cannotConvert(songNumber,
                                 withDetail("its video could not be encoded", status.detail));
    }
}

std::string videoSizeRefused(std::string_view text) {
    return "--video-size " + std::string(text) + ": give WIDTHxHEIGHT, both even, from " +
           frameSize(kVideoMinWidth, kVideoMinHeight) + " to " +
           frameSize(kVideoMaxWidth, kVideoMaxHeight);
}

std::string backgroundRefused(std::string_view text) {
    return "--background " + std::string(text) + ": give black, #RRGGBB or a picture file";
}

std::string needsVideo(std::string_view option) { return std::string(option) + " needs --video"; }

}  // namespace kdb2mid
