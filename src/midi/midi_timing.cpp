#include "midi/midi_timing.hpp"

#include <algorithm>
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

// Data bytes after a status byte in 0x80..0xFE (meta and system exclusive
// events carry their own length).
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

TrackTiming scanTrackTiming(std::span<const std::uint8_t> track, std::vector<TempoChange>& tempos) {
    TrackTiming timing;
    std::size_t pos = 0;
    std::uint64_t tick = 0;
    std::uint8_t running = 0;  // status of the last channel message, 0 when none applies
    while (pos < track.size()) {
        const std::optional<std::uint32_t> delta = readVarLen(track, pos);
        if (!delta || pos >= track.size()) return timing;
        tick += *delta;
        const std::uint8_t lead = track[pos];
        if (lead == kMetaEvent || lead == kSysEx || lead == kSysExEscape) {
            ++pos;
            std::uint8_t type = 0;
            if (lead == kMetaEvent) {
                if (pos >= track.size()) return timing;
                type = track[pos++];
            }
            const std::optional<std::uint32_t> length = readVarLen(track, pos);
            if (!length || *length > track.size() - pos) return timing;
            timing.endTick = tick;
            running = 0;
            if (lead == kMetaEvent && type == kMetaSetTempo && *length >= 3) {
                const std::uint32_t tempo = (std::uint32_t{track[pos]} << 16) |
                                            (std::uint32_t{track[pos + 1]} << 8) | track[pos + 2];
                if (tempo > 0) tempos.push_back({tick, tempo});
            }
            pos += *length;
            if (lead == kMetaEvent && type == kMetaEndOfTrack) {
                timing.complete = true;
                return timing;
            }
            continue;
        }
        std::uint8_t status = running;
        if (lead & 0x80) {
            status = lead;
            ++pos;
            running = lead < 0xF0 ? lead : 0;
        }
        if (status == 0) return timing;  // a data byte with no status before it
        const std::size_t size = dataBytesAfter(status);
        if (size > track.size() - pos) return timing;
        pos += size;
        timing.endTick = tick;
    }
    timing.complete = true;
    return timing;
}

double ticksToSeconds(std::uint64_t tick, std::vector<TempoChange> tempos, std::uint16_t division) {
    if (division == 0) return 0;
    std::stable_sort(tempos.begin(), tempos.end(),
                     [](const TempoChange& a, const TempoChange& b) { return a.tick < b.tick; });
    double seconds = 0;
    std::uint64_t at = 0;
    std::uint32_t tempo = kDefaultMicrosecondsPerQuarter;
    const double ticksPerQuarter = division;
    for (const TempoChange& change : tempos) {
        if (change.tick >= tick) break;
        seconds += static_cast<double>(change.tick - at) * tempo / ticksPerQuarter / 1e6;
        at = change.tick;
        tempo = change.microsecondsPerQuarter;
    }
    seconds += static_cast<double>(tick - at) * tempo / ticksPerQuarter / 1e6;
    return seconds;
}

}  // namespace kdb2mid
