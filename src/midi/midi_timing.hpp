// How long a song plays: the end of each MIDI track in ticks and the tempo
// changes that turn ticks into seconds.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace kdb2mid {

// A set-tempo meta event (FF 51 03 tt tt tt): microseconds per quarter note
// from `tick` on.
struct TempoChange {
    std::uint64_t tick;
    std::uint32_t microsecondsPerQuarter;
};

// Until the first set-tempo event a MIDI file plays at 120 quarters a minute.
inline constexpr std::uint32_t kDefaultMicrosecondsPerQuarter = 500000;

struct TrackTiming {
    std::uint64_t endTick = 0;  // time of the track's last event
    bool complete = false;      // the walk reached the end-of-track event or the data's end cleanly
};

// Walks the events of one track body (delta time, then a channel message with
// or without running status, a system-exclusive or a meta event) and appends
// its tempo changes to tempos. Stops at the end-of-track event, at the end of
// the data, or at the first event that cannot be read whole (complete false):
// never reads outside track.
TrackTiming scanTrackTiming(std::span<const std::uint8_t> track, std::vector<TempoChange>& tempos);

// The time in seconds at `tick` under the tempo changes (in any order; sorted
// here, the later of two at one tick wins) with `division` ticks per quarter.
double ticksToSeconds(std::uint64_t tick, std::vector<TempoChange> tempos, std::uint16_t division);

}  // namespace kdb2mid
