#include "video/yuv_colour.hpp"

#include <cmath>

namespace kdb2mid {

Yuv toYuv(Rgb colour) noexcept {
    constexpr double kRed = 0.2126;
    constexpr double kBlue = 0.0722;
    const double r = colour.red / 255.0;
    const double g = colour.green / 255.0;
    const double b = colour.blue / 255.0;
    const double luma = kRed * r + (1 - kRed - kBlue) * g + kBlue * b;
    const double cb = (b - luma) / (2 * (1 - kBlue));
    const double cr = (r - luma) / (2 * (1 - kRed));
    const auto level = [](double value) { return static_cast<std::uint8_t>(std::lround(value)); };
    return {level(16 + 219 * luma), level(128 + 224 * cb), level(128 + 224 * cr)};
}

}  // namespace kdb2mid
