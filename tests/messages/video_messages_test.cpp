#include "messages/video_messages.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

namespace kdb2mid {
namespace {

TEST(VideoMessages, OneLineNamingWhatIsWrong) {
    using Code = VideoStatus::Code;
    using Picture = VideoStatus::Picture;
    const std::filesystem::path background = "stage.jpg";
    const std::filesystem::path video = "out/50004.mp4";
    const std::pair<std::string, std::string> cases[] = {
        {videoSetupFailure({Code::missingEncoder, "libx264", {}}, background),
         "Cannot make videos: the installed FFmpeg has no libx264 encoder"},
        {videoSetupFailure({Code::missingEncoder, "mp4", {}}, background),
         "Cannot make videos: the installed FFmpeg has no MP4 muxer"},
        {videoSetupFailure({Code::backgroundMissing, "No such file or directory", {}}, background),
         "--background stage.jpg: give black, #RRGGBB or a picture file (stage.jpg: No such file "
         "or directory)"},
        {videoSetupFailure({Code::backgroundNotImage, {}, {}}, background),
         "--background stage.jpg: give black, #RRGGBB or a picture file (stage.jpg: it is not "
         "a picture)"},
        {videoFailure(50004, video, {Code::encoding, "Invalid argument", {}}),
         "Cannot convert song 50004: its video could not be encoded: Invalid argument"},
        {videoFailure(50004, video, {Code::interrupted, {}, {}}),
         "Cannot write file out/50004.mp4: " + std::string(std::strerror(EINTR))},
        {videoFailure(50004, video, {Code::output, {}, {OutputFailure::Step::open, ENOENT}}),
         "Cannot open file out/50004.mp4 for writing"},
        {videoFailure(50004, video, {Code::backgroundNotImage, {}, {}}, background),
         "Cannot convert song 50004: background stage.jpg: it is not a picture"},
        {videoSetupFailure({Code::backgroundNotImage, {}, {}, Picture::tooLarge}, background),
         "--background stage.jpg: give black, #RRGGBB or a picture file (stage.jpg: it is not "
         "a picture (larger than 16384 pixels on a side))"},
        {videoSizeRefused("100x100"),
         "--video-size 100x100: give WIDTHxHEIGHT, both even, from 320x240 to 3840x2160"},
    };
    for (const auto& [line, expected] : cases) EXPECT_EQ(line, expected);
}

}  // namespace
}  // namespace kdb2mid
