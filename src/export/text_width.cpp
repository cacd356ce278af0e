#include "export/text_width.hpp"

#include <array>

#include "format/utf8_text.hpp"

namespace kdb2mid {

namespace {

// DejaVu Sans Bold's advances for ' ' to '~'.
constexpr std::array<std::uint16_t, 95> kAsciiAdvance = {
    713,  934,  1067, 1716, 1425, 2052, 1786, 627,  936,  936,  1071, 1716, 778,  850,  778,  748,
    1425, 1425, 1425, 1425, 1425, 1425, 1425, 1425, 1425, 1425, 819,  819,  1716, 1716, 1716, 1188,
    2048, 1585, 1561, 1503, 1700, 1399, 1399, 1681, 1714, 762,  762,  1587, 1305, 2038, 1714, 1741,
    1501, 1741, 1577, 1475, 1397, 1663, 1585, 2259, 1579, 1483, 1485, 936,  748,  936,  1716, 1024,
    1024, 1382, 1466, 1214, 1466, 1389, 891,  1466, 1458, 702,  702,  1362, 702,  2134, 1458, 1407,
    1466, 1466, 1010, 1219, 979,  1458, 1335, 1892, 1321, 1335, 1192, 1458, 748,  1458, 1716,
};
// The widest capital and small letter that Vietnamese builds on (O, D; o, d).
constexpr std::uint16_t kWideCapital = 1741;
constexpr std::uint16_t kWideSmall = 1466;

bool isCombiningMark(char32_t c) { return c >= 0x0300 && c <= 0x036F; }

// Capitals of the Latin blocks Vietnamese letters come from: Latin-1's
// U+00C0-U+00DE, and in Latin Extended-A and Extended Additional the even
// code points (each capital is followed by its small letter).
bool isCapital(char32_t c) {
    if (c >= 0x00C0 && c <= 0x00DE) return c != 0x00D7;
    if ((c >= 0x0100 && c <= 0x017F) || (c >= 0x1E00 && c <= 0x1EFF)) return c % 2 == 0;
    return c == 0x01A0 || c == 0x01AF;
}

}  // namespace

std::int64_t textAdvance(std::string_view utf8) noexcept {
    std::int64_t width = 0;
    for (std::size_t pos = 0; pos < utf8.size();) {
        char32_t c = 0;
        const std::size_t length = utf8SequenceAt(utf8, pos, c);
        if (length == 0) {
            width += kWideCapital;
            ++pos;
            continue;
        }
        pos += length;
        if (c >= 0x20 && c < 0x7F) {
            width += kAsciiAdvance[c - 0x20];
        } else if (!isCombiningMark(c)) {
            width += isCapital(c) ? kWideCapital : kWideSmall;
        }
    }
    return width;
}

}  // namespace kdb2mid
