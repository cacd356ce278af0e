// A font for testing the CD+G layout and timing without FreeType: every
// letter (every UTF-8 lead byte) a solid block, sized with the letter size.
#pragma once

#include <string_view>

#include "cdg/text_raster.hpp"

namespace kdb2mid::cdg::test {

class BlockFont final : public TextRasteriser {
public:
    static int letterAdvance(int size) { return size / 2; }

    InkBitmap render(std::string_view utf8, int size) override {
        int letters = 0;
        for (const char c : utf8) letters += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
        InkBitmap word;
        word.advance = std::min(letters * letterAdvance(size), kMaxInkWidth);
        word.width = std::max(0, word.advance - 1);
        word.height = size * 2 / 3;
        word.top = word.height;
        word.ink.assign(static_cast<std::size_t>(word.width * word.height), 1);
        return word;
    }
    int spaceAdvance(int size) override { return size / 3; }
};

}  // namespace kdb2mid::cdg::test
