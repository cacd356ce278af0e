#include "format/display_text.hpp"

#include <gtest/gtest.h>

namespace kdb2mid {
namespace {

TEST(DisplayText, ReplacesControlsAndMalformedSequences) {
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},
        {"PLAIN name", "PLAIN name"},
        {"tab\there", "tab?here"},
        {"line\nbreak\r", "line?break?"},
        {"\x1B[2Jclear", "?[2Jclear"},
        {"del\x7F", "del?"},
        {"\xC2\x9B" "31m", "?31m"},                    // C1 control (CSI)
        {"Vi\xE1\xBB\x87t", "Vi\xE1\xBB\x87t"},     // ệ stays
        {"\xF0\x9F\x8E\xA4", "\xF0\x9F\x8E\xA4"},     // four bytes stay
        {"\xC3", "?"},                                 // cut short
        {"\xC3(", "?("},
        {"\xC0\xAF", "??"},                            // overlong
        {"\xED\xA0\x80", "???"},                       // surrogate
        {"\xF4\x90\x80\x80", "????"},                  // above U+10FFFF
        {std::string("nul\0x", 5), "nul?x"},
    };
    for (const auto& [input, expected] : cases) EXPECT_EQ(printableUtf8(input), expected) << input;
}

TEST(DisplayText, DecodesStoredTextBeforeCleaningIt) {
    const std::uint8_t stored[] = {'A', 0x09, 'B'};
    EXPECT_EQ(displayText(stored), "A?B");
}

}  // namespace
}  // namespace kdb2mid
