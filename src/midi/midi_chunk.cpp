#include "midi/midi_chunk.hpp"

#include <cstring>
#include <limits>

#include "midi/midi_format.hpp"

namespace kdb2mid {

namespace {

constexpr std::size_t kChunkHeadSize = 8;

void putBigEndian32(std::uint8_t* out, std::uint32_t value) {
    out[0] = static_cast<std::uint8_t>(value >> 24);
    out[1] = static_cast<std::uint8_t>(value >> 16);
    out[2] = static_cast<std::uint8_t>(value >> 8);
    out[3] = static_cast<std::uint8_t>(value);
}

void putBigEndian16(std::uint8_t* out, std::uint16_t value) {
    out[0] = static_cast<std::uint8_t>(value >> 8);
    out[1] = static_cast<std::uint8_t>(value);
}

}  // namespace

std::size_t writeVarLen(std::uint32_t value, std::vector<std::uint8_t>& out) {
    std::uint8_t bytes[5];
    const std::uint8_t* const end = putVarLen(bytes, value);
    out.insert(out.end(), static_cast<const std::uint8_t*>(bytes), end);
    return static_cast<std::size_t>(end - bytes);
}

void appendMetaEvent(std::vector<std::uint8_t>& chunk, std::uint32_t delta, std::uint8_t type,
                     std::string_view data) {
    writeVarLen(delta, chunk);
    chunk.insert(chunk.end(), {kMetaEvent, type});
    writeVarLen(static_cast<std::uint32_t>(data.size()), chunk);
    chunk.insert(chunk.end(), data.begin(), data.end());
}

std::size_t beginTrackChunk(std::vector<std::uint8_t>& chunk) {
    const std::size_t head = chunk.size();
    chunk.insert(chunk.end(), {'M', 'T', 'r', 'k', 0, 0, 0, 0});
    return head;
}

RecordError endTrackChunk(std::vector<std::uint8_t>& chunk, std::size_t head) {
    chunk.insert(chunk.end(), {0x00, kMetaEvent, kMetaEndOfTrack, 0x00});
    const std::size_t length = chunk.size() - head - kChunkHeadSize;
    if (length > std::numeric_limits<std::uint32_t>::max()) return RecordError::textTooLong;
    putBigEndian32(chunk.data() + head + 4, static_cast<std::uint32_t>(length));
    return RecordError::none;
}

void writeHeaderChunk(ByteSink& out, std::uint16_t tracks) {
    std::uint8_t header[14] = {'M', 'T', 'h', 'd'};
    putBigEndian32(header + 4, 6);
    putBigEndian16(header + 8, kMidiFormat);
    putBigEndian16(header + 10, tracks);
    putBigEndian16(header + 12, kMidiDivision);
    out.write(header);
}

void writeTrackChunk(ByteSink& out, std::span<const std::uint8_t> body) {
    std::uint8_t head[kChunkHeadSize] = {'M', 'T', 'r', 'k'};
    putBigEndian32(head + 4, static_cast<std::uint32_t>(body.size()));
    out.write(head);
    out.write(body);
}

}  // namespace kdb2mid
