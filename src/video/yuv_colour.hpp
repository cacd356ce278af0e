// Colours in the videos' picture format: BT.709 Y'CbCr in limited range
// (Y 16..235, Cb and Cr 16..240), which HD players assume and the streams say.
#pragma once

#include <cstdint>

#include "video/video_settings.hpp"

namespace kdb2mid {

struct Yuv {
    std::uint8_t y = 16;
    std::uint8_t u = 128;
    std::uint8_t v = 128;
};

Yuv toYuv(Rgb colour) noexcept;

}  // namespace kdb2mid
