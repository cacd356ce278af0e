#include "video/video_settings.hpp"

#include <charconv>

namespace kdb2mid {

namespace {

std::optional<int> number(std::string_view digits) {
    int value = 0;
    if (digits.empty() || digits.size() > 5) return std::nullopt;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
    return value;
}

std::optional<std::uint8_t> hexByte(std::string_view two) {
    unsigned value = 0;
    const auto [end, error] = std::from_chars(two.data(), two.data() + 2, value, 16);
    if (error != std::errc() || end != two.data() + 2) return std::nullopt;
    return static_cast<std::uint8_t>(value);
}

}  // namespace

std::optional<VideoSize> parseVideoSize(std::string_view text) {
    const std::size_t cross = text.find_first_of("xX");
    if (cross == std::string_view::npos) return std::nullopt;
    const std::optional<int> width = number(text.substr(0, cross));
    const std::optional<int> height = number(text.substr(cross + 1));
    if (!width || !height) return std::nullopt;
    if (*width < kVideoMinWidth || *width > kVideoMaxWidth || *height < kVideoMinHeight ||
        *height > kVideoMaxHeight || *width % 2 != 0 || *height % 2 != 0) {
        return std::nullopt;
    }
    return VideoSize{*width, *height};
}

std::optional<Background> parseBackground(std::string_view text) {
    if (text == "black") return Background{};
    if (text.empty()) return std::nullopt;
    if (text.front() != '#')
        return Background{{}, std::filesystem::path(std::u8string(text.begin(), text.end()))};
    if (text.size() != 7) return std::nullopt;
    const std::optional<std::uint8_t> red = hexByte(text.substr(1, 2));
    const std::optional<std::uint8_t> green = hexByte(text.substr(3, 2));
    const std::optional<std::uint8_t> blue = hexByte(text.substr(5, 2));
    if (!red || !green || !blue) return std::nullopt;
    return Background{{*red, *green, *blue}, {}};
}

}  // namespace kdb2mid
