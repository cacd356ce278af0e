#include "format/display_text.hpp"

#include "format/utf8_text.hpp"
#include "format/vni_text.hpp"

namespace kdb2mid {

namespace {

constexpr char kReplacement = '?';

}  // namespace

std::string printableUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        char32_t codePoint = 0;
        const std::size_t length = utf8SequenceAt(text, pos, codePoint);
        if (length == 0 || isControlCharacter(codePoint)) {
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
