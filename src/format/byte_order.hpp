// Big-endian numbers as the song database and MIDI files store them, and the
// MIDI variable-length quantity.
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

// Appends value as a MIDI variable-length quantity (7-bit groups, most
// significant first, bit 7 set on every byte but the last) and returns the
// number of bytes appended: 1 for 0..127, 2 up to 16383, 3 up to 2097151,
// 4 up to 268435455, 5 above. A negative value is written as one byte, its
// low seven bits, as the database's own tools did.
int writeVarLen(std::int32_t value, std::vector<std::uint8_t>& out);

// Bytes writeVarLen takes for a value that is not negative.
constexpr std::size_t varLenSize(std::uint32_t value) noexcept {
    std::size_t size = 1;
    while (value >>= 7) ++size;
    return size;
}

// Stores a non-negative value as writeVarLen would into out, which has room
// for varLenSize(value) bytes, and returns the position after it.
inline std::uint8_t* putVarLen(std::uint8_t* out, std::uint32_t value) noexcept {
    const std::size_t size = varLenSize(value);
    for (std::size_t i = size - 1; i > 0; --i) {
        *out++ = static_cast<std::uint8_t>(((value >> (7 * i)) & 0x7F) | 0x80);
    }
    *out++ = static_cast<std::uint8_t>(value & 0x7F);
    return out;
}

// The largest value a MIDI variable-length quantity may carry (four groups).
inline constexpr std::uint32_t kMaxMidiVarLen = 0x0FFFFFFF;

}  // namespace kdb2mid
