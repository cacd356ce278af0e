#include "format/display_text.hpp"

#include "format/vni_text.hpp"

namespace kdb2mid {

namespace {

constexpr char kReplacement = '?';

// Length of the well-formed UTF-8 sequence at text[pos] and its code point,
// or 0 when the bytes there are not one.
std::size_t sequenceAt(std::string_view text, std::size_t pos, char32_t& codePoint) {
    const auto lead = static_cast<unsigned char>(text[pos]);
    std::size_t length = 0;
    char32_t minimum = 0;
    if (lead < 0x80) {
        codePoint = lead;
        return 1;
    }
    if ((lead & 0xE0) == 0xC0) {
        length = 2;
        minimum = 0x80;
        codePoint = lead & 0x1FU;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        minimum = 0x800;
        codePoint = lead & 0x0FU;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        minimum = 0x10000;
        codePoint = lead & 0x07U;
    } else {
        return 0;
    }
    if (text.size() - pos < length) return 0;
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[pos + i]);
        if ((next & 0xC0) != 0x80) return 0;
        codePoint = (codePoint << 6) | (next & 0x3FU);
    }
    const bool surrogate = codePoint >= 0xD800 && codePoint <= 0xDFFF;
    if (codePoint < minimum || codePoint > 0x10FFFF || surrogate) return 0;
    return length;
}

bool isControl(char32_t codePoint) {
    return codePoint < 0x20 || (codePoint >= 0x7F && codePoint <= 0x9F);
}

}  // namespace

std::string printableUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        char32_t codePoint = 0;
        const std::size_t length = sequenceAt(text, pos, codePoint);
        if (length == 0 || isControl(codePoint)) {
            out += kReplacement;
            pos += length == 0 ? 1 : length;
            continue;
        }
        out.append(text.substr(pos, length));
        pos += length;
    }
    return out;
}

std::string displayText(std::span<const std::uint8_t> stored) {
    return printableUtf8(decodeVniToUtf8(stored));
}

}  // namespace kdb2mid
