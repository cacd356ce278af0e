#include "midi/track_text.hpp"

#include <limits>

#include "format/vni_text.hpp"
#include "midi/midi_chunk.hpp"
#include "midi/midi_format.hpp"
#include "midi/track_events.hpp"

namespace kdb2mid {

namespace {

void append(std::vector<std::uint8_t>& out, std::span<const std::uint8_t> bytes) {
    out.insert(out.end(), bytes.begin(), bytes.end());
}

}  // namespace

RecordError appendUtf8TrackChunk(std::span<const std::uint8_t> body, std::vector<std::uint8_t>& chunk,
                                 std::string& scratch) {
    const std::size_t head = chunk.size();
    chunk.insert(chunk.end(), {'M', 'T', 'r', 'k', 0, 0, 0, 0});
    chunk.reserve(chunk.size() + body.size());
    std::size_t copied = 0;  // body bytes before this are in chunk
    TrackEventReader reader(body);
    TrackEvent event;
    while (reader.next(event)) {
        if (event.status != kMetaEvent || event.metaType < kFirstTextMeta ||
            event.metaType > kLastTextMeta) {
            continue;
        }
        // Delta, FF and type as stored; the text and its length anew.
        append(chunk, body.subspan(copied, event.start + 2 - copied));
        scratch.clear();
        appendVniAsUtf8(body.subspan(event.data, event.length), scratch);
        if (scratch.size() > kMaxMidiVarLen) return RecordError::textTooLong;
        writeVarLen(static_cast<std::uint32_t>(scratch.size()), chunk);
        chunk.insert(chunk.end(), scratch.begin(), scratch.end());
        copied = event.data + event.length;
    }
    if (!reader.readWhole()) {
        // Not an event stream throughout: what looks like a text event may
        // be inside another event, so the track stays exactly as stored.
        chunk.resize(head + 8);
        copied = 0;
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
