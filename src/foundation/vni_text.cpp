#include "foundation/vni_text.hpp"

namespace kdb2mid {

// Placeholder until the full letter table lands: Latin-1 for every byte.
std::string decodeVniToUtf8(std::span<const std::uint8_t> text) {
    std::string out;
    for (std::uint8_t byte : text) {
        if (byte < 0x80) {
            out += static_cast<char>(byte);
        } else {
            out += static_cast<char>(0xC0 | (byte >> 6));
            out += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return out;
}

bool hasEncodedLetters(std::span<const std::uint8_t> text) noexcept {
    for (std::uint8_t byte : text) {
        if (byte > 0x7F) return true;
    }
    return false;
}

}  // namespace kdb2mid
