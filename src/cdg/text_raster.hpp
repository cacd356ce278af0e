// What the CD+G writer needs from a font: a word's letters as a one-bit
// picture placed against the baseline, and the width of a space. The writer
// only lays pictures out, so tests can hand it a fake font.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace kdb2mid::cdg {

// No word picture is wider than this: nothing wider fits on a screen even at
// the smallest size, and it keeps a hostile word's picture small.
inline constexpr int kMaxInkWidth = 1024;

struct InkBitmap {
    int advance = 0;  // how far the pen moves past the word, in pixels
    int left = 0;     // column 0's distance from where the pen started
    int top = 0;      // row 0's height above the baseline
    int width = 0;    // at most kMaxInkWidth
    int height = 0;
    std::vector<std::uint8_t> ink;  // width * height, row by row; 1 = letter

    bool at(int x, int y) const noexcept {
        return ink[static_cast<std::size_t>(y * width + x)] != 0;
    }
};

class TextRasteriser {
public:
    virtual ~TextRasteriser() = default;
    // The letters of utf8 at pixelSize (the font's em in pixels, 8 to 64).
    // Any bytes are accepted: a byte that is not UTF-8 and a letter the font
    // lacks are drawn as the font's replacement glyph, so every letter takes
    // its room on screen.
    virtual InkBitmap render(std::string_view utf8, int pixelSize) = 0;
    virtual int spaceAdvance(int pixelSize) = 0;
};

}  // namespace kdb2mid::cdg
