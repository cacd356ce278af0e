#include "video/video_settings.hpp"

#include <gtest/gtest.h>

#include <array>

#include "video/yuv_colour.hpp"

namespace kdb2mid {
namespace {

TEST(VideoSettings, SizesAreEvenAndWithinLimits) {
    const std::pair<const char*, std::optional<std::pair<int, int>>> cases[] = {
        {"1280x720", std::pair{1280, 720}},
        {"1920X1080", std::pair{1920, 1080}},
        {"320x240", std::pair{320, 240}},
        {"3840x2160", std::pair{3840, 2160}},
        {"318x240", std::nullopt},    // too narrow
        {"3842x2160", std::nullopt},  // too wide
        {"3840x2162", std::nullopt},  // too tall
        {"1281x720", std::nullopt},   // odd
        {"1280x721", std::nullopt},
        {"1280", std::nullopt},
        {"x720", std::nullopt},
        {"1280x", std::nullopt},
        {"-1280x720", std::nullopt},
        {"+1280x720", std::nullopt},
        {"1280x720p", std::nullopt},
        {"99999999999x720", std::nullopt},
    };
    for (const auto& [text, expected] : cases) {
        const std::optional<VideoSize> size = parseVideoSize(text);
        ASSERT_EQ(size.has_value(), expected.has_value()) << text;
        if (size) {
            EXPECT_EQ(size->width, expected->first) << text;
            EXPECT_EQ(size->height, expected->second) << text;
        }
    }
}

TEST(VideoSettings, BackgroundIsAColourOrAPicture) {
    const struct {
        const char* text;
        bool valid;
        Rgb colour;
        const char* image;
    } cases[] = {
        {"black", true, {0, 0, 0}, ""},
        {"#FFd700", true, {255, 215, 0}, ""},
        {"#102030", true, {16, 32, 48}, ""},
        {"stage.jpg", true, {}, "stage.jpg"},
        {"#12345", false, {}, ""},
        {"#1234567", false, {}, ""},
        {"#GG0000", false, {}, ""},
        {"#-10000", false, {}, ""},
        {"", false, {}, ""},
    };
    for (const auto& test : cases) {
        const std::optional<Background> background = parseBackground(test.text);
        ASSERT_EQ(background.has_value(), test.valid) << test.text;
        if (!background) continue;
        EXPECT_EQ(background->colour, test.colour) << test.text;
        EXPECT_EQ(background->image, std::filesystem::path(test.image)) << test.text;
    }
}

// BT.709's published levels (BT.601 would make red 81, 90, 240).
TEST(VideoSettings, ColoursInTheVideosPictureFormat) {
    const std::pair<Rgb, std::array<int, 3>> cases[] = {
        {{0, 0, 0}, {16, 128, 128}},
        {{255, 255, 255}, {235, 128, 128}},
        {{255, 0, 0}, {63, 102, 240}},
        {{0, 0, 255}, {32, 240, 118}},
    };
    for (const auto& [rgb, expected] : cases) {
        const Yuv yuv = toYuv(rgb);
        EXPECT_EQ((std::array<int, 3>{yuv.y, yuv.u, yuv.v}), expected)
            << int(rgb.red) << "," << int(rgb.green) << "," << int(rgb.blue);
    }
}

}  // namespace
}  // namespace kdb2mid
