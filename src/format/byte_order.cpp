#include "format/byte_order.hpp"

#include <cstring>

namespace kdb2mid {

void loadBigEndian32(std::span<std::uint32_t> values) noexcept {
    for (std::uint32_t& value : values) {
        std::uint8_t bytes[4];
        std::memcpy(bytes, &value, sizeof bytes);
        value = readBigEndian32(bytes, 0);
    }
}

void loadBigEndian16(std::span<std::uint16_t> values) noexcept {
    for (std::uint16_t& value : values) {
        std::uint8_t bytes[2];
        std::memcpy(bytes, &value, sizeof bytes);
        value = readBigEndian16(bytes, 0);
    }
}

void appendBigEndian32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    const std::uint8_t bytes[4] = {
        static_cast<std::uint8_t>(value >> 24), static_cast<std::uint8_t>(value >> 16),
        static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value)};
    out.insert(out.end(), bytes, bytes + 4);
}

void appendBigEndian16(std::vector<std::uint8_t>& out, std::uint16_t value) {
    out.push_back(static_cast<std::uint8_t>(value >> 8));
    out.push_back(static_cast<std::uint8_t>(value));
}

int writeVarLen(std::int32_t value, std::vector<std::uint8_t>& out) {
    if (value < 0) {
        out.push_back(static_cast<std::uint8_t>(value & 0x7F));
        return 1;
    }
    auto rest = static_cast<std::uint32_t>(value);
    std::uint8_t groups[5];
    int count = 0;
    do {
        groups[count++] = static_cast<std::uint8_t>(rest & 0x7F);
        rest >>= 7;
    } while (rest != 0);
    for (int i = count - 1; i > 0; --i) {
        out.push_back(static_cast<std::uint8_t>(groups[i] | 0x80));
    }
    out.push_back(groups[0]);
    return count;
}

}  // namespace kdb2mid
