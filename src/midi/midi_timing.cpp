#include "midi/midi_timing.hpp"

#include <algorithm>
#include "midi/midi_format.hpp"
#include "midi/track_events.hpp"

namespace kdb2mid {

TrackTiming scanTrackTiming(std::span<const std::uint8_t> track, std::vector<TempoChange>& tempos) {
    TrackTiming timing;
    TrackEventReader reader(track);
    TrackEvent event;
    while (reader.next(event)) {
        timing.endTick = event.tick;
        if (event.status != kMetaEvent) continue;
        if (event.metaType == kMetaSetTempo && event.length >= 3) {
            const std::size_t at = event.data;
            const std::uint32_t tempo = (std::uint32_t{track[at]} << 16) |
                                        (std::uint32_t{track[at + 1]} << 8) | track[at + 2];
            if (tempo > 0) tempos.push_back({event.tick, tempo});
        }
        if (event.metaType == kMetaEndOfTrack) {
            timing.complete = true;
            return timing;
        }
    }
    // Complete when every byte belonged to a whole event.
    timing.complete = reader.position() == track.size();
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
