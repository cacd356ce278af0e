#include "messages/output_settings_help.hpp"

#include <cmath>
#include <cstdio>

namespace kdb2mid::help {

namespace {

// -16 as "-16", -1.5 as "-1.5".
std::string number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

std::string size(FrameSize frame) {
    return std::to_string(frame.width) + "x" + std::to_string(frame.height);
}

}  // namespace

std::string soundFont(std::string_view defaultFile) {
    return "SoundFont (.sf2/.sf3) to render with (default: " + std::string(defaultFile) + ")";
}

std::string loudness(double lowest, double highest, double peakCeiling, double byDefault) {
    return "Bring each song's audio to LUFS integrated loudness, " + number(lowest) + " to " +
           number(highest) + ", true peak at most " + number(peakCeiling) + " dBTP (default: " +
           number(byDefault) + "), or off: the synthesizer's own level";
}

std::string videoSize(FrameSize smallest, FrameSize largest, FrameSize byDefault) {
    return "Frame size of the videos, even numbers from " + size(smallest) + " to " +
           size(largest) + " (default: " + size(byDefault) + ")";
}

}  // namespace kdb2mid::help
