// What a karaoke video looks like: its frame size, frame rate and what the
// lyrics are drawn over. Plain values, parsed from the command line's text.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string_view>

namespace kdb2mid {

// Frame sizes a video may have: both sides even (4:2:0 pictures hold one
// colour sample per 2 x 2 pixels), from 320 x 240 to 3840 x 2160.
inline constexpr int kVideoMinWidth = 320;
inline constexpr int kVideoMinHeight = 240;
inline constexpr int kVideoMaxWidth = 3840;
inline constexpr int kVideoMaxHeight = 2160;

struct VideoSize {
    int width = 1280;
    int height = 720;
};

struct Rgb {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    bool operator==(const Rgb&) const = default;
};

// One colour, or a picture file (PNG, JPEG, ...) scaled to fit the frame,
// its uncovered edges black.
struct Background {
    Rgb colour;
    std::filesystem::path image;  // empty: the colour fills the frame
};

struct VideoSettings {
    VideoSize size;
    int fps = 25;
    Background background;
    // Threads for one video's encoder; 0 lets the encoder choose (all cores).
    int encoderThreads = 0;
};

// "WIDTHxHEIGHT" ("1920x1080", also with a capital X), within the limits
// above and both even; nothing otherwise.
std::optional<VideoSize> parseVideoSize(std::string_view text);

// "black", "#RRGGBB" (hex digits of either case) or else a picture file's
// path. Nothing for text that starts with '#' but is no such colour: a
// mistyped colour is not taken for a file name.
std::optional<Background> parseBackground(std::string_view text);

}  // namespace kdb2mid
