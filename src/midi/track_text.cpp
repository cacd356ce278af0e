#include "midi/track_text.hpp"

#include <limits>
#include <optional>

#include "format/vni_text.hpp"
#include "midi/midi_chunk.hpp"
#include "midi/midi_format.hpp"

namespace kdb2mid {

namespace {

// A variable-length number has at most four bytes in a MIDI file.
constexpr int kMaxVarLenBytes = 4;

std::optional<std::uint32_t> readVarLen(std::span<const std::uint8_t> data, std::size_t& pos) {
    std::uint32_t value = 0;
    for (int i = 0; i < kMaxVarLenBytes; ++i) {
        if (pos >= data.size()) return std::nullopt;
        const std::uint8_t byte = data[pos++];
        value = (value << 7) | (byte & 0x7FU);
        if ((byte & 0x80) == 0) return value;
    }
    return std::nullopt;
}

// Data bytes after a channel or system common status byte.
std::size_t dataBytesAfter(std::uint8_t status) {
    switch (status & 0xF0) {
        case 0xC0:
        case 0xD0: return 1;
        case 0xF0:
            if (status == 0xF1 || status == 0xF3) return 1;
            if (status == 0xF2) return 2;
            return 0;
        default: return 2;
    }
}

void append(std::vector<std::uint8_t>& out, std::span<const std::uint8_t> bytes) {
    out.insert(out.end(), bytes.begin(), bytes.end());
}

}  // namespace

RecordError appendUtf8TrackChunk(std::span<const std::uint8_t> body, std::vector<std::uint8_t>& chunk,
                                 std::string& scratch) {
    const std::size_t head = chunk.size();
    chunk.insert(chunk.end(), {'M', 'T', 'r', 'k', 0, 0, 0, 0});
    chunk.reserve(chunk.size() + body.size());
    std::size_t pos = 0;
    std::size_t copied = 0;  // body bytes before this are in chunk
    // Players keep a channel message's running status across meta events,
    // so the walk does too: it only has to find where events end.
    std::uint8_t running = 0;
    while (pos < body.size()) {
        if (!readVarLen(body, pos) || pos >= body.size()) break;
        const std::uint8_t lead = body[pos];
        if (lead == kMetaEvent || lead == kSysEx || lead == kSysExEscape) {
            std::size_t at = pos + 1;
            std::uint8_t type = 0;
            if (lead == kMetaEvent) {
                if (at >= body.size()) break;
                type = body[at++];
            }
            const std::size_t lengthAt = at;
            const std::optional<std::uint32_t> length = readVarLen(body, at);
            if (!length || *length > body.size() - at) break;
            const bool text = lead == kMetaEvent && type >= kFirstTextMeta && type <= kLastTextMeta;
            if (text) {
                // Delta, FF and type as stored; the text and its length anew.
                append(chunk, body.subspan(copied, lengthAt - copied));
                scratch.clear();
                appendVniAsUtf8(body.subspan(at, *length), scratch);
                if (scratch.size() > kMaxMidiVarLen) return RecordError::textTooLong;
                writeVarLen(static_cast<std::uint32_t>(scratch.size()), chunk);
                chunk.insert(chunk.end(), scratch.begin(), scratch.end());
                copied = at + *length;
            }
            pos = at + *length;
            continue;
        }
        std::uint8_t status = running;
        if (lead & 0x80) {
            status = lead;
            ++pos;
            running = lead < 0xF0 ? lead : 0;
        }
        if (status == 0) break;  // a data byte with no status before it
        const std::size_t size = dataBytesAfter(status);
        if (size > body.size() - pos) break;
        pos += size;
    }
    append(chunk, body.subspan(copied));
    const std::size_t length = chunk.size() - head - 8;
    if (length > std::numeric_limits<std::uint32_t>::max()) return RecordError::textTooLong;
    for (int i = 0; i < 4; ++i) {
        chunk[head + 4 + static_cast<std::size_t>(i)] =
            static_cast<std::uint8_t>(length >> (24 - 8 * i));
    }
    return RecordError::none;
}

}  // namespace kdb2mid
