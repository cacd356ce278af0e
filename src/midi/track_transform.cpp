#include "midi/track_transform.hpp"

#include <algorithm>
#include <array>

#include "midi/midi_chunk.hpp"
#include "midi/midi_timing.hpp"
#include "midi/midi_format.hpp"
#include "midi/track_events.hpp"

namespace kdb2mid {

namespace {

constexpr std::uint8_t kPolyAftertouch = 0xA0;
constexpr int kOctave = 12;
constexpr int kHighestKey = 127;
constexpr std::uint32_t kMaxTempoValue = 0xFFFFFF;
constexpr std::uint8_t kTempoBytes = 3;
// Delta time 0, FF 51 03, the value.
constexpr std::size_t kStartTempoSize = 7;

bool movesKey(std::uint8_t status) {
    const std::uint8_t kind = status & 0xF0;
    return (kind == kNoteOff || kind == kNoteOn || kind == kPolyAftertouch) &&
           (status & 0x0F) != kDrumChannelIndex;
}

}  // namespace

std::uint8_t transposedKey(std::uint8_t key, int semitones) noexcept {
    int moved = key + semitones;
    if (moved > kHighestKey) moved -= (moved - kHighestKey + kOctave - 1) / kOctave * kOctave;
    if (moved < 0) moved += (-moved + kOctave - 1) / kOctave * kOctave;
    return static_cast<std::uint8_t>(moved);
}

std::vector<std::uint8_t> transposeTrack(std::span<const std::uint8_t> track, int semitones) {
    semitones = std::clamp(semitones, kMinTranspose, kMaxTranspose);
    std::vector<std::uint8_t> out(track.begin(), track.end());
    TrackEventReader reader(track);
    TrackEvent event;
    while (reader.next(event)) {
        // A data byte of 0x80 or above is no key; it is left as it is.
        if (movesKey(event.status) && track[event.data] < 0x80) {
            out[event.data] = transposedKey(track[event.data], semitones);
        }
    }
    return out;
}

std::uint32_t scaledTempo(std::uint32_t microsecondsPerQuarter, int percent) noexcept {
    const auto divisor = static_cast<std::uint64_t>(std::max(percent, 1));
    const std::uint64_t scaled = (std::uint64_t{microsecondsPerQuarter} * 100 + divisor / 2) / divisor;
    return static_cast<std::uint32_t>(std::clamp<std::uint64_t>(scaled, 1, kMaxTempoValue));
}

std::vector<std::uint8_t> scaleTempo(std::span<const std::uint8_t> track, int percent,
                                     bool addStartTempo) {
    percent = std::clamp(percent, kMinTempoPercent, kMaxTempoPercent);
    std::vector<std::uint8_t> out;
    out.reserve(track.size() + kStartTempoSize);
    if (addStartTempo) {
        const std::uint32_t tempo = scaledTempo(kDefaultMicrosecondsPerQuarter, percent);
        const std::array<std::uint8_t, kStartTempoSize> event = {
            0x00, kMetaEvent, kMetaSetTempo, kTempoBytes, static_cast<std::uint8_t>(tempo >> 16),
            static_cast<std::uint8_t>(tempo >> 8), static_cast<std::uint8_t>(tempo)};
        out.assign(event.begin(), event.end());
    }
    const std::size_t base = out.size();
    out.insert(out.end(), track.begin(), track.end());
    TrackEventReader reader(track);
    TrackEvent event;
    while (reader.next(event)) {
        if (event.status != kMetaEvent || event.metaType != kMetaSetTempo ||
            event.length < kTempoBytes) {
            continue;
        }
        // Only the first three bytes are the value, as readers take them.
        const std::size_t at = base + event.data;
        const std::uint32_t tempo = (std::uint32_t{out[at]} << 16) |
                                    (std::uint32_t{out[at + 1]} << 8) | out[at + 2];
        if (tempo == 0) continue;
        const std::uint32_t scaled = scaledTempo(tempo, percent);
        out[at] = static_cast<std::uint8_t>(scaled >> 16);
        out[at + 1] = static_cast<std::uint8_t>(scaled >> 8);
        out[at + 2] = static_cast<std::uint8_t>(scaled);
    }
    return out;
}

bool setsTempoAtStart(std::span<const std::span<const std::uint8_t>> tracks) {
    std::vector<TempoChange> changes;
    for (const std::span<const std::uint8_t> track : tracks) {
        changes.clear();
        scanTrackTiming(track, changes);
        if (!changes.empty() && changes.front().tick == 0) return true;
    }
    return false;
}

std::vector<std::vector<std::uint8_t>> transformTracks(
    std::span<const std::span<const std::uint8_t>> tracks, int semitones, int percent) {
    const bool scale = percent != 100;
    const bool addStart = scale && !setsTempoAtStart(tracks);
    std::vector<std::vector<std::uint8_t>> out;
    out.reserve(tracks.size());
    for (std::size_t i = 0; i < tracks.size(); ++i) {
        std::vector<std::uint8_t> track(tracks[i].begin(), tracks[i].end());
        if (semitones != 0) track = transposeTrack(track, semitones);
        if (scale) track = scaleTempo(track, percent, addStart && i == 0);
        out.push_back(std::move(track));
    }
    return out;
}

std::vector<std::uint8_t> withoutNotes(std::span<const std::uint8_t> track) {
    // A delta time holds at most 28 bits; a longer gap left by dropped notes
    // is bridged by empty text events.
    constexpr std::uint64_t kMaxDelta = 0x0FFFFFFF;
    std::vector<std::uint8_t> out;
    out.reserve(track.size());
    TrackEventReader reader(track);
    TrackEvent event;
    std::uint64_t written = 0;  // tick of the last event written
    bool ended = false;
    const auto putDelta = [&](std::uint64_t tick) {
        while (tick - written > kMaxDelta) {
            writeVarLen(static_cast<std::uint32_t>(kMaxDelta), out);
            out.insert(out.end(), {kMetaEvent, kMetaText, 0x00});
            written += kMaxDelta;
        }
        writeVarLen(static_cast<std::uint32_t>(tick - written), out);
        written = tick;
    };
    while (reader.next(event)) {
        const auto kind = static_cast<std::uint8_t>(event.status & 0xF0);
        const bool note = kind == kNoteOff || kind == kNoteOn || kind == kPolyAftertouch;
        if (event.status < kSysEx && note) {
            continue;
        }
        putDelta(event.tick);
        const bool channel = event.status < kSysEx;
        if (channel) out.push_back(event.status);
        const std::size_t first = channel ? event.data : event.start;
        out.insert(out.end(), track.begin() + static_cast<std::ptrdiff_t>(first),
                   track.begin() + static_cast<std::ptrdiff_t>(event.data + event.length));
        ended = event.status == kMetaEvent && event.metaType == kMetaEndOfTrack;
    }
    if (!ended) {
        putDelta(written);
        out.insert(out.end(), {kMetaEvent, kMetaEndOfTrack, 0x00});
    }
    return out;
}

}  // namespace kdb2mid
