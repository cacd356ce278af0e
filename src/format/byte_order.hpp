// Big-endian numbers as the song database and MIDI files store them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace kdb2mid {

// Rewrites each element in place as the big-endian number its own four bytes
// spell (most significant byte first). Reads only the given elements.
void loadBigEndian32(std::span<std::uint32_t> values) noexcept;

// Rewrites each element in place as the big-endian number its two bytes spell.
void loadBigEndian16(std::span<std::uint16_t> values) noexcept;

// Reverses the byte order of a value read from a file as four raw bytes, so
// that on a little-endian host the result is the big-endian number they spell.
constexpr std::uint32_t byteSwap32(std::uint32_t value) noexcept {
    return (value >> 24) | ((value >> 8) & 0x0000FF00U) | ((value << 8) & 0x00FF0000U) |
           (value << 24);
}

// The big-endian 32-bit value at bytes[offset..offset+3]. The caller has
// checked that the four bytes lie inside the span.
constexpr std::uint32_t readBigEndian32(std::span<const std::uint8_t> bytes,
                                        std::size_t offset) noexcept {
    return (std::uint32_t{bytes[offset]} << 24) | (std::uint32_t{bytes[offset + 1]} << 16) |
           (std::uint32_t{bytes[offset + 2]} << 8) | std::uint32_t{bytes[offset + 3]};
}

constexpr std::uint16_t readBigEndian16(std::span<const std::uint8_t> bytes,
                                        std::size_t offset) noexcept {
    return static_cast<std::uint16_t>((bytes[offset] << 8) | bytes[offset + 1]);
}

void appendBigEndian32(std::vector<std::uint8_t>& out, std::uint32_t value);
void appendBigEndian16(std::vector<std::uint8_t>& out, std::uint16_t value);

}  // namespace kdb2mid
