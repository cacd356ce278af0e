// Lyric lines laid out for a CD+G screen: each stored line becomes one or
// more screen lines 288 pixels wide and three tiles high, its words centred
// inside the screen's 5 % margin (270 pixels), the largest size that fits
// chosen, a line too long for any size wrapped between words. A screen
// line's picture is built only when it is drawn.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cdg/cdg_packet.hpp"
#include "cdg/text_raster.hpp"

namespace kdb2mid::cdg {

inline constexpr int kLineWidth = kScreenWidth - 2 * kTileWidth;  // 288, inside the border
inline constexpr int kLineTileRows = 3;
inline constexpr int kLineHeight = kLineTileRows * kTileHeight;  // 36
// The widest a line's words may be: 15 pixels (5 %) from each side of the screen.
inline constexpr int kTextWidth = kLineWidth - 2 * (kScreenWidth / 20 - kTileWidth);  // 270
// From the line's top: room above for a capital with two stacked marks (Ẫ,
// 26 pixels at 24), below for descenders (6), each with its outline.
inline constexpr int kBaseline = 28;
// Letter sizes tried in turn for a line that must fit on one screen line,
// and the size long lines are wrapped at. At 24 pixels a capital is 18
// pixels tall (8 % of the screen) and stacked marks stand apart.
inline constexpr int kFontSizes[] = {24, 22, 20};
inline constexpr int kWrapSize = 24;
// More words than this never share a screen line, however narrow.
inline constexpr std::size_t kMaxLineWords = 96;

struct PlacedWord {
    std::size_t word;  // index into the texts the line was laid out from
    int x;             // where its pen starts, from the line's left edge
    // For a word too wide for a line by itself: the letters that fit, then
    // an ellipsis, drawn in its place. Empty for a word drawn whole.
    std::string shortened = {};
};

struct ScreenLine {
    int pixelSize = kFontSizes[0];
    std::vector<PlacedWord> words;  // left to right
};

// The screen lines for words texts[first, last): one if they fit at some
// size; otherwise wrapped at kWrapSize into lines as even as they can be, a
// word that alone is too wide on a line of its own, shortened to the letters
// that fit and an ellipsis. With wrap off, the words shrink to the smallest
// size and are clipped.
std::vector<ScreenLine> layoutWords(std::span<const std::string_view> texts, std::size_t first,
                                    std::size_t last, TextRasteriser& font, bool wrap = true);

enum class Ink : std::uint8_t { background = 0, outline = 1, letter = 2 };

// A screen line's pixels: letters, the one-pixel outline around them, and
// for each letter pixel which of the line's words it belongs to.
struct LineImage {
    std::vector<Ink> ink = std::vector<Ink>(kLineWidth * kLineHeight, Ink::background);
    // 1 + the word's position in ScreenLine::words; 0 where there is no letter.
    std::vector<std::uint16_t> owner = std::vector<std::uint16_t>(kLineWidth * kLineHeight, 0);
    bool blank = true;

    Ink inkAt(int x, int y) const noexcept { return ink[static_cast<std::size_t>(y * kLineWidth + x)]; }
    std::uint16_t ownerAt(int x, int y) const noexcept {
        return owner[static_cast<std::size_t>(y * kLineWidth + x)];
    }
};

LineImage drawScreenLine(const ScreenLine& line, std::span<const std::string_view> texts,
                         TextRasteriser& font);

}  // namespace kdb2mid::cdg
