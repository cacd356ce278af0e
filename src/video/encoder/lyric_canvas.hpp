// The lyrics drawn onto video frames: libass renders the ASS document at a
// frame's time and its images are blended straight into the 4:2:0 frame.
//
// A frame is drawn only when libass says its images changed; then only the
// areas where an image came, went or changed (while a line is sung, the
// letters changing colour) get the background back and every image over
// them blended on again, so a line that stays as it was is not redrawn.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

struct ass_library;
struct ass_renderer;
struct ass_track;
struct AVFrame;

namespace kdb2mid {

class LyricCanvas {
public:
    LyricCanvas() = default;
    LyricCanvas(const LyricCanvas&) = delete;
    LyricCanvas& operator=(const LyricCanvas&) = delete;
    ~LyricCanvas();

    // Reads the document for frames of width x height over background (a
    // packed 4:2:0 picture of that size, which must outlive the canvas).
    // False if libass cannot start or the document has no events it can read.
    bool open(std::string_view document, int width, int height,
              std::span<const std::uint8_t> background);

    // Brings frame (a writable 4:2:0 picture of the canvas's size, holding
    // what the previous call left, or anything on the first call) to the
    // lyrics at the time. Returns whether the picture changed.
    bool draw(long long milliseconds, AVFrame& frame);

    struct Area {
        int left, top, right, bottom;  // in luma pixels, even, right and bottom exclusive
    };

private:
    // An image as drawn: where, its colour and its coverage, to tell whether
    // the next frame's image is the same.
    struct Drawn {
        int x, y, w, h;
        std::uint32_t color;
        std::vector<std::uint8_t> mask;  // w * h, rows packed
    };
    void restore(const Area& area, AVFrame& frame) const;

    ass_library* library_ = nullptr;
    ass_renderer* renderer_ = nullptr;
    ass_track* track_ = nullptr;
    int width_ = 0;
    int height_ = 0;
    std::span<const std::uint8_t> background_;
    std::vector<Drawn> shown_;  // the images the frame shows, in drawing order
    bool drawn_ = false;         // whether the frame holds a drawn picture
};

}  // namespace kdb2mid
