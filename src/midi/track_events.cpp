#include "midi/track_events.hpp"

#include <optional>

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

// Data bytes after a status byte in 0x80..0xFE other than meta and system
// exclusive, which carry their own length.
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

}  // namespace

bool TrackEventReader::next(TrackEvent& event) noexcept {
    if (ended_ || pos_ >= track_.size()) return false;
    std::size_t pos = pos_;
    const std::optional<std::uint32_t> delta = readVarLen(track_, pos);
    if (!delta || pos >= track_.size()) return false;
    const std::uint8_t lead = track_[pos];
    TrackEvent read;
    read.tick = tick_ + *delta;
    read.start = pos;
    std::uint8_t running = running_;
    if (lead == kMetaEvent || lead == kSysEx || lead == kSysExEscape) {
        ++pos;
        if (lead == kMetaEvent) {
            if (pos >= track_.size()) return false;
            read.metaType = track_[pos++];
        }
        const std::optional<std::uint32_t> length = readVarLen(track_, pos);
        if (!length || *length > track_.size() - pos) return false;
        read.status = lead;
        read.length = *length;
        running = 0;
    } else {
        read.status = running;
        if (lead & 0x80) {
            read.status = lead;
            ++pos;
            running = lead < 0xF0 ? lead : 0;
        }
        if (read.status == 0) return false;
        read.length = dataBytesAfter(read.status);
        if (read.length > track_.size() - pos) return false;
    }
    read.data = pos;
    pos_ = pos + read.length;
    tick_ = read.tick;
    running_ = running;
    ended_ = read.status == kMetaEvent && read.metaType == kMetaEndOfTrack;
    event = read;
    return true;
}

}  // namespace kdb2mid
