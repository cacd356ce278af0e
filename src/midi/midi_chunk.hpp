// The framing of every MIDI file this tool writes: the header chunk, track
// chunks ("MTrk", a 32-bit big-endian length, the events) and the
// variable-length numbers that delta times and event lengths are written in.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "format/byte_sink.hpp"
#include "format/record_error.hpp"

namespace kdb2mid {

// The largest value a MIDI variable-length quantity may carry (four groups).
inline constexpr std::uint32_t kMaxMidiVarLen = 0x0FFFFFFF;

// Bytes a variable-length quantity takes: 1 for 0..127, 2 up to 16383, 3 up
// to 2097151, 4 up to 268435455, 5 above (beyond what a MIDI file allows).
constexpr std::size_t varLenSize(std::uint32_t value) noexcept {
    std::size_t size = 1;
    while (value >>= 7) ++size;
    return size;
}

// Stores value as a variable-length quantity (7-bit groups, most significant
// first, bit 7 set on every byte but the last) at out, which has room for
// varLenSize(value) bytes, and returns the position after it.
inline std::uint8_t* putVarLen(std::uint8_t* out, std::uint32_t value) noexcept {
    const std::size_t size = varLenSize(value);
    for (std::size_t i = size - 1; i > 0; --i) {
        *out++ = static_cast<std::uint8_t>(((value >> (7 * i)) & 0x7F) | 0x80);
    }
    *out++ = static_cast<std::uint8_t>(value & 0x7F);
    return out;
}

// Appends value as a variable-length quantity; returns the bytes appended.
std::size_t writeVarLen(std::uint32_t value, std::vector<std::uint8_t>& out);

// Appends a meta event: delta time, FF, type, the data's length, the data.
// The caller keeps data within kMaxMidiVarLen bytes.
void appendMetaEvent(std::vector<std::uint8_t>& chunk, std::uint32_t delta, std::uint8_t type,
                     std::string_view data);

// Appends "MTrk" and a length placeholder; returns where the chunk starts.
std::size_t beginTrackChunk(std::vector<std::uint8_t>& chunk);

// Appends the end-of-track event and fills in the length of the chunk that
// starts at head. textTooLong if the body does not fit its 32-bit length.
RecordError endTrackChunk(std::vector<std::uint8_t>& chunk, std::size_t head);

// Writes the header chunk of a format 1 file of `tracks` tracks at the
// division the database's songs are timed in.
void writeHeaderChunk(ByteSink& out, std::uint16_t tracks);

// Writes a whole track chunk around a body that already ends with its
// end-of-track event. The body is at most 4 GiB - 1 bytes.
void writeTrackChunk(ByteSink& out, std::span<const std::uint8_t> body);

}  // namespace kdb2mid
