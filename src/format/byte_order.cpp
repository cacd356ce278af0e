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

}  // namespace kdb2mid
