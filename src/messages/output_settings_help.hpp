// The --help lines of the outputs' own settings (the rendered sound's and
// the videos'), built from the limits the settings are checked against.
#pragma once

#include <string>
#include <string_view>

namespace kdb2mid::help {

std::string soundFont(std::string_view defaultFile);
// The loudness range in LUFS, the true-peak ceiling in dBTP, the default.
std::string loudness(double lowest, double highest, double peakCeiling, double byDefault);
inline constexpr const char* kMuteMelody =
    "Render the audio without the melody track: an instrumental";

struct FrameSize {
    int width;
    int height;
};
std::string videoSize(FrameSize smallest, FrameSize largest, FrameSize byDefault);
inline constexpr const char* kBackground =
    "What the videos' lyrics are drawn over: black (the default), "
    "a colour #RRGGBB or a picture file, scaled to fit";

}  // namespace kdb2mid::help
